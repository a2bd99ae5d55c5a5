// Whole-path checks over a scripted kind: start -> {10, 11} -> 20 (final).
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"

#include <vector>

namespace {

using Prons = std::vector<uint16_t>;

class ConstraintPaths : public ConstraintTest {
protected:
    ScriptedSpec chain(const std::string& name, int32_t type = kConstraintTypeWholeVocabulary)
    {
        ScriptedSpec spec = named(name, type);
        spec.slots |= slotBit(kSlotResetPointers);
        spec.steps = {{0, 10, 1, 0, 0}, {0, 11, 1, 0, 0}, {1, 20, 2, 1, 0}};
        return spec;
    }

    static int32_t legal(Constraint* const* array, int32_t n, const Prons& prons)
    {
        return Constraint_IsLegalPronSequence(array, n, prons.data(), static_cast<int32_t>(prons.size()));
    }
};

TEST_F(ConstraintPaths, PronSequencesWithOptionalSilenceAtEitherEnd)
{
    Constraint* con = owned(chain("chain"));
    const std::pair<Prons, int32_t> cases[] = {
        {{65534, 10, 20, 65534}, 1}, {{11, 20}, 1}, {{10, 20, 65534}, 1}, {{10}, 0}, {{20}, 0},
        {{65534}, 0}, {{65534, 65534}, 0}, {{}, 0}, {{10, 20, 20}, 0}, {{10, 65534, 20}, 0},
    };
    for (const auto& [prons, expected] : cases) {
        scriptedCalls().log.clear();
        EXPECT_EQ(legal(&con, 1, prons), expected) << ::testing::PrintToString(prons);
    }
}

TEST_F(ConstraintPaths, AnyConstraintOfTheArrayMayAcceptAfterItsPointersAreReset)
{
    ScriptedSpec other = named("other");
    other.slots |= slotBit(kSlotResetPointers);
    other.steps = {{0, 30, 1, 1, 0}};
    Constraint* array[2] = {owned(other), owned(chain("chain"))};
    EXPECT_EQ(legal(array, 2, {10, 20}), 1);
    EXPECT_EQ(calledFor(kSlotResetPointers), (std::vector<std::string>{"other", "chain"}));
    scriptedCalls().log.clear();
    EXPECT_EQ(legal(array, 2, {30}), 1);
    EXPECT_EQ(calledFor(kSlotResetPointers), (std::vector<std::string>{"other"}));
    EXPECT_EQ(legal(array, 2, {30, 20}), 0);
}

TEST_F(ConstraintPaths, ReverseSequencesUpToTheirLimit)
{
    Constraint* con = owned(chain("chain"));
    const Prons reversed = {20, 10};
    EXPECT_EQ(Constraint_IsLegalPronSequenceReverse(&con, 1, reversed.data(), 2), 1);
    const Prons forward = {10, 20};
    EXPECT_EQ(Constraint_IsLegalPronSequenceReverse(&con, 1, forward.data(), 2), 0);
    // 38 prons fit the reversing buffer; 39 do not and are refused.
    ScriptedSpec loop = named("loop");
    loop.steps = {{0, 5, 0, 1, 0}};
    Constraint* looping = owned(loop);
    const Prons fives38(38, 5);
    const Prons fives39(39, 5);
    EXPECT_EQ(Constraint_IsLegalPronSequenceReverse(&looping, 1, fives38.data(), 38), 1);
    EXPECT_EQ(Constraint_IsLegalPronSequenceReverse(&looping, 1, fives39.data(), 39), 0);
}

TEST_F(ConstraintPaths, ActivePathsTryEveryPronOfEachWord)
{
    FakeVocabulary voc({{3, {10, 11}}, {4, {20}}, {5, {}}});
    ScriptedSpec spec = chain("chain");
    spec.steps[0].pron = 12;   // only 3's second pron starts the chain
    spec.steps[1].pron = 11;
    Constraint* con = owned(spec);
    const std::pair<Prons, int32_t> cases[] = {
        {{3, 4}, 2}, {{65534, 3, 4, 65534}, 2}, {{4}, 0}, {{65534}, 0}, {{65534, 65534}, 0},
        {{3}, 0}, {{3, 4, 4}, 0}, {{5, 4}, 0}, {{}, 0},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(Constraint_IsLegalActivePath(con, voc.voc(), words.data(), static_cast<int32_t>(words.size())),
                  expected)
            << ::testing::PrintToString(words);
    // Words are asked for by their vocabulary ids, active-word kind.
    ASSERT_FALSE(voc.pronQueries().empty());
    for (uint32_t id : voc.pronQueries())
        EXPECT_EQ(id & 0xC0000000u, kFakeVocActiveKind);
}

TEST_F(ConstraintPaths, ChecksGiveBackTheirScratch)
{
    Constraint* con = owned(chain("chain", kConstraintTypeClassPair));
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(legal(&con, 1, {10, 20}), 1);
        EXPECT_EQ(DVKTempMem_GetMark(), 0u);
    }
}

} // namespace
