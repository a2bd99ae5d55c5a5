// Generic constraint operations: the `ActiveId` fields, dispatch through the
// operation table with its empty-slot rules, and the array operations.
#include "tests/brevit/search/constraint_test.h"

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_class.h"

#include <cstring>
#include <tuple>

namespace {

using Strings = std::vector<std::string>;

TEST(ActiveId, FieldsComeFromTheirBits)
{
    struct Case {
        uint32_t high, low;
        int32_t index;
        uint32_t state, member, sub;
    };
    const Case cases[] = {
        {0x00200000u, 0u, 1, 0, 0, 0},
        {0x7fffffffu, 0xffffffffu, 1023, 262143, 0x1ffffffu, 1023},
        {0x0040003Cu, 0x8D159D55u, 2, 7, 0x1234567u, 0x155},
        // The decoders' end flag is no part of the position.
        {0x8040003Cu, 0x8D159D55u, 2, 7, 0x1234567u, 0x155},
    };
    for (const Case& c : cases) {
        const ActiveId id = ActiveId_FromWords(c.high, c.low);
        EXPECT_EQ(ActiveId_GetConstraintIndex(id), c.index) << std::hex << c.high;
        EXPECT_EQ(ActiveId_GetState(id), c.state) << std::hex << c.high;
        EXPECT_EQ(ActiveId_GetMember(id), c.member) << std::hex << c.high;
        EXPECT_EQ(ActiveId_GetSubPosition(id), c.sub) << std::hex << c.high;
    }
    EXPECT_EQ(ActiveId_Make(2, 7, 0x1234567u, 0x155), ActiveId_FromWords(0x0040003Cu, 0x8D159D55u));
    EXPECT_EQ(ActiveId_Make(1023, 262143, 0x1ffffffu, 1023), ActiveId_FromWords(0x7fffffffu, 0xffffffffu));
    EXPECT_EQ(Constraint_MakeStartActiveId(5), ActiveId_FromWords(5u << 21, 0));
}

using ConstraintOperations = ConstraintTest;

TEST_F(ConstraintOperations, TransitionScoreCallsTheSlotOfTheIndexedConstraint)
{
    ScriptedSpec spec = named("scored");
    spec.slots |= slotBit(kSlotGetTransitionScore);
    Constraint* table[3] = {owned(named("a")), owned(named("b")), owned(spec)};

    scriptedCalls().scoreAnswer = 0x18000;
    const ActiveId id = ActiveId_FromWords(0x8040003Cu, 0x8D159D55u);
    EXPECT_EQ(Constraint_GetTransitionScore(table, id), -32768);
    const ScriptedCalls& calls = scriptedCalls();
    EXPECT_EQ(std::make_tuple(calls.scoreArgs[0], calls.scoreArgs[1], calls.scoreArgs[2], calls.scoreArgs[3]),
              std::make_tuple(7u, 0x1234567u, 0x155u, 0u));
    scriptedCalls().scoreAnswer = 40000;
    EXPECT_EQ(Constraint_GetTransitionScore(table, id), -25536);
    // Without the slot: no score.
    EXPECT_EQ(Constraint_GetTransitionScore(table, ActiveId_Make(1, 7, 1, 1)), 0);
    EXPECT_EQ(scriptedCalls().count[kSlotGetTransitionScore], 2);
}

TEST_F(ConstraintOperations, HeadFieldsAndSlotsThroughTheGenericCalls)
{
    ScriptedSpec spec = named("head", kConstraintTypeTranscription);
    spec.crc = 0xCAFEF00Du;
    spec.answer = 7;
    Constraint* con = owned(spec);
    con->owner = -1;
    EXPECT_EQ(Constraint_GetType(con), 1);
    EXPECT_STREQ(Constraint_GetName(con), "head");
    EXPECT_EQ(Constraint_GetOwner(con), -1);
    EXPECT_EQ(Constraint_GetRestrictionFlag(con), 1);
    EXPECT_EQ(Constraint_GetTranscriptionFlag(con), 1);
    EXPECT_EQ(Constraint_ComputeCRC(con, 0xFFFFFFFFu), 0xCAFEF00Du);
    EXPECT_EQ(Constraint_ComputeCRC(nullptr, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(Constraint_RemoveActiveId(con, 3), 7);
    int32_t first = 0, count = 0, single = 0;
    EXPECT_EQ(Constraint_GetMemberStartsWithPronId(con, 1, 2, &first, &count, &single), 7);

    // Slots that may be empty: printing and pointer resets do nothing, ending
    // phonemes give 65535.
    const uint16_t* phonemes = nullptr;
    Constraint_PrintAllTransitions(con, 0, 0);
    Constraint_PrintAllTransitions(nullptr, 0, 0);
    Constraint_ResetPointers(con);
    EXPECT_EQ(Constraint_GetEndingPhns(con, 1, 0, &phonemes), 65535);
    EXPECT_TRUE(scriptedCalls().log.size() == 2u);   // RemoveActiveId, GetMemberStartsWithPronId

    ScriptedSpec full = named("full");
    full.slots = kScriptedAllSlots;
    full.answer = 4;
    Constraint* all = owned(full);
    Constraint_PrintAllTransitions(all, 0, 0);
    Constraint_ResetPointers(all);
    EXPECT_EQ(Constraint_GetEndingPhns(all, 1, 0, &phonemes), 4);
    EXPECT_EQ(calledFor(kSlotPrintAllTransitions), Strings{"full"});
    EXPECT_EQ(calledFor(kSlotResetPointers), Strings{"full"});

    EXPECT_EQ(Constraint_MakeShadowConstraint(all), nullptr);
    Constraint_PrintPossiblePaths(all);
}

TEST_F(ConstraintOperations, IteratorFromActiveIdFallsBackOnPlainInit)
{
    ScriptedSpec plain = named("plain");
    plain.steps = {{0, 10, 1, 0, 0}, {0, 11, 2, 1, 0}};
    ScriptedSpec both = plain;
    both.name = "both";
    both.slots |= slotBit(kSlotIteratorInitFromActiveId);
    for (Constraint* con : {owned(plain), owned(both)}) {
        ConstraintIterator it;
        ConstraintSuccessor next;
        Constraint_IteratorInitFromActiveId(con, &it, 65534, 0, Constraint_MakeStartActiveId(4), 11);
        ASSERT_EQ(Constraint_IteratorNext(con, &it, &next), 1);
        EXPECT_EQ(next.member, 11);
        EXPECT_EQ(next.next, ActiveId_Make(4, 2, 0, 0));
        EXPECT_EQ(next.final, 1u);
        EXPECT_EQ(Constraint_IteratorNext(con, &it, &next), 0);
    }
    EXPECT_EQ(calledFor(kSlotIteratorInit), Strings{"plain"});
    EXPECT_EQ(calledFor(kSlotIteratorInitFromActiveId), Strings{"both"});
}

TEST_F(ConstraintOperations, DeleteClearsInUseBeforeTheKindAndIgnoresNull)
{
    Constraint_Delete(nullptr, 0);
    Constraint* con = ScriptedConstraint_Create(named("gone"));
    ASSERT_EQ(con->inUse, 1);
    Constraint_Delete(con, 0);
    EXPECT_EQ(calledFor(kSlotDelete), Strings{"gone"});
}

// A row per array operation: which constraints answer what, what the
// operation gives and which constraints' slots ran.
struct ArrayCase {
    const char* what;
    int32_t slot;
    std::vector<std::tuple<const char*, bool, int32_t>> constraints;   // name, slot filled, answer
    int32_t expected;
    Strings called;
};

int32_t runArrayOperation(int32_t slot, Constraint* const* array, int32_t n)
{
    switch (slot) {
    case kSlotCheck:
        return Constraint_CheckAll(array, n);
    case kSlotBuildActiveIdTable:
        return Constraint_BuildActiveIdTables(array, n);
    case kSlotHasOptionalEnding:
        return Constraint_AnyHasOptionalEnding(array, n);
    case kSlotIsSimple:
        return Constraint_AllAreSimple(array, n);
    case kSlotIsLegalPronEndingReverse: {
        const uint16_t prons[2] = {5, 6};
        return Constraint_AnyIsLegalPronEndingReverse(array, n, prons, 2);
    }
    case kSlotUttInit:
        return Constraint_UttInitAll(array, n, 0, 0);
    default:
        return -1;
    }
}

TEST_F(ConstraintOperations, ArrayOperationsFollowTheirEmptySlotAndStoppingRules)
{
    const ArrayCase cases[] = {
        {"check: empty slots pass, first failure stops", kSlotCheck,
         {{"a", true, 1}, {"b", false, 0}, {"c", true, 0}, {"d", true, 1}}, 0, {"a", "c"}},
        {"check: all pass", kSlotCheck, {{"a", true, 1}, {"b", true, 1}}, 1, {"a", "b"}},
        {"build: none filled counts as success", kSlotBuildActiveIdTable, {{"a", false, 0}}, 1, {}},
        {"build: stops at the first 0", kSlotBuildActiveIdTable,
         {{"a", true, 1}, {"b", true, 0}, {"c", true, 1}}, 0, {"a", "b"}},
        {"build: last result", kSlotBuildActiveIdTable, {{"a", true, 1}, {"b", true, 3}}, 3, {"a", "b"}},
        {"optional ending: an empty slot counts as 1", kSlotHasOptionalEnding,
         {{"a", true, 0}, {"b", false, 0}}, 1, {"a"}},
        {"optional ending: all answer 0", kSlotHasOptionalEnding, {{"a", true, 0}, {"b", true, 0}}, 0,
         {"a", "b"}},
        {"simple: every one", kSlotIsSimple, {{"a", true, 1}, {"b", true, 1}}, 1, {"a", "b"}},
        {"simple: one is not", kSlotIsSimple, {{"a", true, 0}, {"b", true, 1}}, 0, {"a"}},
        {"legal ending: empty slots skipped", kSlotIsLegalPronEndingReverse,
         {{"a", false, 1}, {"b", true, 0}, {"c", true, 1}}, 1, {"b", "c"}},
        {"legal ending: none accepts", kSlotIsLegalPronEndingReverse, {{"a", true, 0}}, 0, {"a"}},
        {"utt init: stops at the first 0", kSlotUttInit,
         {{"a", true, 1}, {"b", false, 0}, {"c", true, 0}, {"d", true, 1}}, 0, {"a", "c"}},
        {"utt init: nothing ran", kSlotUttInit, {{"a", false, 0}}, 1, {}},
    };
    for (const ArrayCase& c : cases) {
        scriptedCalls().log.clear();
        std::vector<Constraint*> array;
        for (const auto& [name, filled, answer] : c.constraints) {
            ScriptedSpec spec = named(name);
            spec.slots |= filled ? slotBit(c.slot) : 0u;
            spec.answer = answer;
            array.push_back(owned(spec));
        }
        array.insert(array.begin() + 1, nullptr);   // empty entries are passed over
        EXPECT_EQ(runArrayOperation(c.slot, array.data(), static_cast<int32_t>(array.size())), c.expected)
            << c.what;
        EXPECT_EQ(calledFor(c.slot), c.called) << c.what;
    }
}

TEST_F(ConstraintOperations, ArrayBoundsOfTheTableOperations)
{
    ScriptedSpec spec = named("x");
    spec.slots = kScriptedAllSlots;
    spec.answer = 0;
    std::vector<Constraint*> many(1025, owned(spec));
    EXPECT_EQ(Constraint_CheckAll(many.data(), 1025), 0);
    EXPECT_EQ(Constraint_BuildActiveIdTables(many.data(), 1025), 0);
    Constraint_FreeActiveIdTables(many.data(), 1025);
    Constraint_FreeActiveIdTables(many.data(), 0);
    EXPECT_TRUE(scriptedCalls().log.empty());
    EXPECT_EQ(Constraint_CheckAll(many.data(), 0), 1);
    EXPECT_EQ(Constraint_BuildActiveIdTables(many.data(), -1), 1);
    EXPECT_EQ(Constraint_AllAreSimple(many.data(), 0), 1);
    EXPECT_EQ(Constraint_AnyHasOptionalEnding(many.data(), 0), 0);

    // Freeing skips empty entries and constraints without the slot.
    ScriptedSpec bare = named("bare");
    Constraint* some[3] = {many[0], nullptr, owned(bare)};
    Constraint_FreeActiveIdTables(some, 3);
    EXPECT_EQ(calledFor(kSlotFreeActiveIdTable), Strings{"x"});
}

// A class manager with classes named by their member counts; deleted with the test.
class ClassesOf {
public:
    explicit ClassesOf(const std::vector<int32_t>& memberCounts)
        : m_manager(ClassManager_Create(nullptr, nullptr, nullptr, 4))
    {
        for (size_t k = 0; k < memberCounts.size(); ++k) {
            const std::string name = "class" + std::to_string(k);
            EXPECT_EQ(ClassManager_AddClass(m_manager, name.c_str(), 4, 4, 0, 0, 0, 0), 1);
            for (uint16_t w = 0; w < memberCounts[k]; ++w)
                EXPECT_EQ(ClassManager_AddClassMember(m_manager, name.c_str(), &w, 1, 0, 0), 1);
        }
    }
    ~ClassesOf() { ClassManager_Delete(m_manager); }
    ClassManager* get() { return m_manager; }

private:
    ClassManager* m_manager;
};

TEST_F(ConstraintOperations, UttInitAllInvalidatesEveryClassOfEveryClassPair)
{
    ClassesOf classes({1, 1, 1, 1});
    for (uint32_t id = 1; id <= 4; ++id)
        ClassManager_GetClass(classes.get(), id)->wordIndexBuilt = 1;
    ScriptedSpec pair = named("pair", kConstraintTypeClassPair);
    pair.classIds = {1, 3};
    pair.slots |= slotBit(kSlotUttInit);
    ScriptedSpec other = named("other", kConstraintTypeClassPair);
    other.classIds = {2};
    Constraint* array[3] = {owned(pair), owned(named("voc")), owned(other)};
    array[0]->classManager = classes.get();
    array[2]->classManager = classes.get();
    EXPECT_EQ(Constraint_UttInitAll(array, 3, 1, 2), 1);
    std::vector<int32_t> built;
    for (uint32_t id = 1; id <= 4; ++id)
        built.push_back(ClassManager_GetClass(classes.get(), id)->wordIndexBuilt);
    EXPECT_EQ(built, (std::vector<int32_t>{0, 0, 0, 1}));
    EXPECT_EQ(calledFor(kSlotUttInit), Strings{"pair"});
    EXPECT_EQ(DVKTempMem_GetMark(), 0u);
}

TEST_F(ConstraintOperations, FindBestParseKeepsTheLowestCostAndTheEarlierOfTies)
{
    auto parsing = [&](const char* name, int32_t type, int32_t answer, int32_t cost) {
        ScriptedSpec spec = named(name, type);
        spec.answer = answer;
        spec.parseCost = cost;
        return owned(spec);
    };
    Constraint* fails = parsing("fails", 2, 0, 1);
    Constraint* five = parsing("five", 3, 1, 5);
    Constraint* fiveAgain = parsing("fiveAgain", 3, 1, 5);
    Constraint* voc = parsing("voc", 2, 1, 2);
    Constraint* free = parsing("free", 3, 1, 0);
    Constraint* late = parsing("late", 3, 1, 0);
    const uint32_t words[2] = {4, 6};

    {
        Constraint* array[3] = {fails, five, fiveAgain};
        Constraint* best = nullptr;
        uint32_t path[2] = {};
        uint8_t flags[2] = {};
        int32_t cost = 0;
        EXPECT_EQ(Constraint_FindBestParse(array, 3, 2, words, &best, path, &cost, flags), 1);
        EXPECT_EQ(best, five);
        EXPECT_EQ(cost, 5);
        EXPECT_EQ(std::vector<uint32_t>(path, path + 2), (std::vector<uint32_t>{5004, 5006}));
        EXPECT_EQ(std::vector<uint8_t>(flags, flags + 2), (std::vector<uint8_t>{5, 6}));
    }
    {
        // A whole-vocabulary parse gives no class path; cost 0 ends the search.
        Constraint* array[4] = {five, voc, free, late};
        Constraint* best = nullptr;
        uint32_t path[2] = {77, 77};
        int32_t cost = 0;
        scriptedCalls().log.clear();
        EXPECT_EQ(Constraint_FindBestParse(array, 4, 2, words, &best, path, &cost, nullptr), 1);
        EXPECT_EQ(best, free);
        EXPECT_EQ(cost, 0);
        EXPECT_EQ(std::vector<uint32_t>(path, path + 2), (std::vector<uint32_t>{4, 6}));
        EXPECT_EQ(calledFor(kSlotFindParse), (Strings{"five", "voc", "free"}));
    }
    {
        Constraint* best = nullptr;
        uint32_t path[2] = {};
        int32_t cost = 0;
        EXPECT_EQ(Constraint_FindBestParse(&fails, 1, 2, words, &best, path, &cost, nullptr), 0);
        EXPECT_EQ(cost, 0x40000000);
    }
    EXPECT_EQ(DVKTempMem_GetMark(), 0u);
}

TEST_F(ConstraintOperations, ReadFromBinFileDispatchesOnTheType)
{
    EXPECT_EQ(Constraint_ReadFromBinFile(nullptr, 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(Constraint_ReadFromBinFile(nullptr, 4, nullptr, nullptr), nullptr);
}

TEST_F(ConstraintOperations, TransitionScoresAndIteratorsAllocateNothing)
{
    ScriptedSpec spec = named("hot");
    spec.slots |= slotBit(kSlotGetTransitionScore);
    spec.steps = {{0, 10, 1, 0, 0}, {0, 11, 1, 1, 0}, {1, 20, 2, 1, 0}};
    Constraint* table[1] = {owned(spec)};
    scriptedCalls().scoreAnswer = 12;
    const uint64_t before = m_allocator.calls();
    int64_t sum = 0;
    for (int i = 0; i < 10000; ++i) {
        sum += Constraint_GetTransitionScore(table, ActiveId_Make(0, 1, static_cast<uint32_t>(i), 0));
        ConstraintIterator it;
        ConstraintSuccessor next;
        Constraint_IteratorInit(table[0], &it, 65534, 0, 0, 65535);
        while (Constraint_IteratorNext(table[0], &it, &next) != 0)
            sum += next.member;
    }
    EXPECT_EQ(m_allocator.calls(), before);
    EXPECT_EQ(sum, 10000 * (12 + 21));
}

} // namespace
