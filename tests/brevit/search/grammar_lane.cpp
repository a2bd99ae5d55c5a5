// The run-time grammar end to end over a real vocabulary: a rule built
// through the grammar's calls (with the built-in digit terminals) compiles
// into a class-pair constraint that the constraint manager holds, and the
// word sequences its iterators (plain and cached) accept are exactly those
// the parse check accepts. The grammar, the classes and the constraints are
// then saved ("grm1", "bcm1", "bcm0") and read into a fresh engine state:
// equal checksums, the same answers, and a rule compiled there works too.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/grammar.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Sequence = std::vector<uint32_t>;   // vocabulary ids
using Accepted = std::set<Sequence>;

constexpr size_t kLongest = 4;

// Digits for the built-in terminals, commands, a word of three prons and
// one that is not active.
std::vector<VocabularyFixture::WordSpec> laneWords()
{
    return {{u"0", u"zero", {"Z IY R"}, true},       {u"1", u"one", {"N AA N"}, true},
            {u"2", u"two", {"T UW"}, true},          {u"call", u"", {"K AO L"}, true},
            {u"river", u"", {"R IH V ER", "R IY V ER", "R IH V ER Z"}, true},
            {u"stop", u"", {"S T AA B"}, true},      {u"zed", u"", {"Z EH D"}, false}};
}

VocabularyFixture::Options laneOptions()
{
    VocabularyFixture::Options o;
    o.params = {{kBrevitParamTerminalRules, 1}, {kBrevitParamSuccessorPronPool, 400}};
    return o;
}

// One engine state: what the engine object holds of these components.
struct EngineState {
    Voc* voc = nullptr;
    ConstraintManager* constraints = nullptr;
    ClassManager* classes = nullptr;
    Grammar* grammar = nullptr;

    void release()
    {
        Grammar_Delete(grammar);
        ConstraintManager_Delete(constraints);
        ClassManager_RemoveUnreferencedClasses(classes);
        ClassManager_Delete(classes);
        *this = EngineState{};
    }
};

class GrammarLane : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_vocabulary = std::make_unique<VocabularyFixture>(laneWords(), laneOptions(), "grammar-lane.dvk");
        m_state.voc = m_vocabulary->voc();
        ASSERT_NE(m_state.voc, nullptr);
        m_state.constraints = ConstraintManager_Create(4);
        m_state.classes = ClassManager_Create(m_state.voc, nullptr, m_state.constraints, 4);
        ASSERT_NE(m_state.classes, nullptr);
        for (const auto& w : laneWords())
            m_ids[w.surface] = m_vocabulary->id(w.surface, w.spoken);
    }

    void TearDown() override
    {
        m_restored.release();
        m_state.release();
        m_vocabulary.reset();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    uint32_t id(const std::u16string& surface) { return m_ids.at(surface); }

    int32_t terminal(Grammar* g, const char* name, const std::vector<std::u16string>& words)
    {
        std::vector<uint32_t> ids;
        for (const auto& w : words)
            ids.push_back(id(w));
        return Grammar_AddTerminalU(g, name, static_cast<int32_t>(ids.size()), ids.data());
    }

    // Every sequence of 1..kLongest active words the parse check accepts.
    static Accepted parsed(const EngineState& s, const char* rule)
    {
        std::vector<uint32_t> active;
        for (int32_t a = 0; a < 64; ++a)
            if (Voc_IsActiveIdMapped(s.voc, a) != 0)
                active.push_back(Voc_ActiveIdToVocId(s.voc, a));
        EXPECT_EQ(active.size(), 6u);
        Accepted out;
        std::vector<Sequence> layer{{}};
        for (size_t length = 1; length <= kLongest; ++length) {
            std::vector<Sequence> next;
            for (const Sequence& q : layer)
                for (uint32_t w : active) {
                    Sequence longer = q;
                    longer.push_back(w);
                    if (Grammar_ParseExists(s.grammar, rule, static_cast<int32_t>(longer.size()), longer.data()) == 1)
                        out.insert(longer);
                    next.push_back(longer);
                }
            layer = std::move(next);
        }
        return out;
    }

    // Every sequence of 1..kLongest words the constraint's iterators reach an
    // end with, walking prons from the start as the decoder does.
    static Accepted walked(const EngineState& s, int32_t index)
    {
        Constraint* con = ConstraintManager_GetConstraint(s.constraints, index);
        EXPECT_NE(con, nullptr);
        Accepted out;
        if (con != nullptr) {
            Sequence words;
            walk(s, con, kConstraintSilencePron, Constraint_MakeStartActiveId(index), words, out);
        }
        return out;
    }

    static void walk(const EngineState& s, Constraint* con, uint16_t previous, ActiveId id, Sequence& words,
                     Accepted& out)
    {
        if (words.size() == kLongest)
            return;
        ConstraintIterator it;
        ClassPairConstraint_PrepareIterator(con, &it);
        Constraint_IteratorInit(con, &it, previous, 0, id, kConstraintNoPron);
        std::vector<ConstraintSuccessor> successors;
        ConstraintSuccessor next{};
        while (Constraint_IteratorNext(con, &it, &next) != 0)
            successors.push_back(next);
        for (const ConstraintSuccessor& step : successors) {
            int32_t pronIndex = -1;
            const uint16_t word = Voc_GetActiveIdFromPronId(s.voc, step.member, &pronIndex);
            words.push_back(Voc_ActiveIdToVocId(s.voc, word));
            if (step.final != 0)
                out.insert(words);
            walk(s, con, step.member, step.next, words, out);
            words.pop_back();
        }
    }

    // The rule compiled, held by the constraint manager, its classes ready.
    static int32_t compile(EngineState& s, const char* rule, const char* name)
    {
        Constraint* con = Grammar_CompileRule(s.grammar, rule, name, s.classes, s.voc);
        EXPECT_NE(con, nullptr) << rule;
        if (con == nullptr)
            return -1;
        EXPECT_EQ(ClassPairConstraint_Check(con), 1);
        const int32_t index = ConstraintManager_AddConstraint(s.constraints, con, 0);
        EXPECT_GE(index, 0);
        EXPECT_EQ(ClassManager_FinishEdit(s.classes), 1);
        return index;
    }

    // The sequences in one set and not the other, readably.
    static std::string difference(const EngineState& s, const Accepted& a, const Accepted& b)
    {
        std::string out;
        for (const Sequence& q : a) {
            if (b.count(q) != 0)
                continue;
            out += "[";
            for (uint32_t w : q) {
                std::vector<uint16_t> surface(32, 0);
                Voc_GetOrthography(s.voc, w, surface.data(), nullptr);
                for (uint16_t c : surface) {
                    if (c == 0)
                        break;
                    out += static_cast<char>(c);
                }
                out += " ";
            }
            out += "] ";
            if (out.size() > 600)
                break;
        }
        return out;
    }

    static void expectSame(const EngineState& s, const Accepted& walkedSet, const Accepted& expected,
                           const std::string& what)
    {
        EXPECT_TRUE(walkedSet == expected) << what << "\nonly walked: " << difference(s, walkedSet, expected)
                                           << "\nonly parsed: " << difference(s, expected, walkedSet);
    }

    // The plain walk, then the cached one the utterance set-up installs:
    // both accept what the parse check accepts.
    static void expectWalksParse(EngineState& s, int32_t index, const char* rule)
    {
        const Accepted expected = parsed(s, rule);
        EXPECT_GT(expected.size(), 10u) << rule;
        Constraint* con = ConstraintManager_GetConstraint(s.constraints, index);
        ASSERT_NE(con, nullptr);
        ClassPairConstraint_ResetPointers(con);
        expectSame(s, walked(s, index), expected, std::string(rule) + " plain");
        ASSERT_EQ(ClassManager_CreateSuccPronIds(s.classes), 1);
        int32_t refused[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        ASSERT_EQ(ClassPairConstraint_UttInit(con, refused, 1, 0), 1);
        EXPECT_EQ(con->ops.IteratorNext, &CCCache_IteratorNext) << rule;
        expectSame(s, walked(s, index), expected, std::string(rule) + " cached");
        ClassPairConstraint_ResetPointers(con);
    }

    // Numbers of one to three digits (not starting with 0 when longer),
    // commands with an optional number and places, and anything but a
    // command twice.
    void buildGrammar(Grammar* g)
    {
        ASSERT_EQ(terminal(g, "Cmd", {u"call", u"stop"}), kGrammarDone);
        ASSERT_EQ(terminal(g, "Place", {u"river", u"zed"}), kGrammarDone);
        ASSERT_EQ(Grammar_AddTerminalExpression(g, "Other", "~ Cmd"), kGrammarDone);
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Number", "D"), kGrammarDone);
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Number", "Not0 D{1,2}"), kGrammarDone);
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Say", "Cmd Number{?} Place{0,2}"), kGrammarDone);
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Say", "Other{2}"), kGrammarDone);
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Top", "Say{+} 0{?}"), kGrammarDone);
        // "." is every active word, the last one ("stop") included.
        ASSERT_EQ(Grammar_AddNonTerminal(g, "Loose", ".{1,2} Place"), kGrammarDone);
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    std::map<std::u16string, uint32_t> m_ids;
    EngineState m_state;
    EngineState m_restored;
};

TEST_F(GrammarLane, CompiledRulesAcceptWhatTheyParseBeforeAndAfterARestore)
{
    m_state.grammar = Grammar_Create(m_state.voc, 32, 256);
    ASSERT_NE(m_state.grammar, nullptr);
    // The digit rows the vocabulary knows: D, Not0, Not1, Not01, 0, 1, 2.
    for (const char* name : {"D", "Not0", "Not1", "Not01", "0", "1", "2"})
        EXPECT_EQ(Grammar_HasRule(m_state.grammar, name), 1) << name;
    EXPECT_EQ(Grammar_HasRule(m_state.grammar, "3"), 0);
    buildGrammar(m_state.grammar);
    if (HasFatalFailure())
        return;
    const int32_t top = compile(m_state, "Top", "top");
    const int32_t number = compile(m_state, "Number", "number");
    const int32_t loose = compile(m_state, "Loose", "loose");
    ASSERT_GE(top, 0);
    ASSERT_GE(number, 0);
    ASSERT_GE(loose, 0);
    expectWalksParse(m_state, top, "Top");
    expectWalksParse(m_state, number, "Number");
    expectWalksParse(m_state, loose, "Loose");

    // Saved in the engine's order and read into a fresh state over a
    // vocabulary loaded anew.
    ArchiveFixture saved("grammar-lane-user.dvk");
    ASSERT_EQ(ClassManager_WritePSAFile(m_state.classes, saved.tar(), "user/"), 1);
    ASSERT_EQ(ConstraintManager_WritePSAFile(m_state.constraints, saved.tar(), "user/"), 1);
    ASSERT_EQ(Grammar_WritePSAFile(m_state.grammar, saved.tar(), "user/"), 1);
    saved.finish();
    DVKTar* tar = saved.openMapped();
    ASSERT_NE(tar, nullptr);
    m_restored.voc = m_vocabulary->load();
    ASSERT_NE(m_restored.voc, nullptr);
    m_restored.constraints = ConstraintManager_Create(4);
    m_restored.classes = ClassManager_Create(m_restored.voc, nullptr, m_restored.constraints, 4);
    ASSERT_NE(m_restored.classes, nullptr);
    ASSERT_EQ(ClassManager_ReadPSAFile(m_restored.classes, tar, "user/", nullptr, 1), 1);
    ASSERT_EQ(ConstraintManager_ReadPSAFile(m_restored.constraints, tar, "user/", m_restored.voc,
                                            m_restored.classes),
              1);
    m_restored.grammar = Grammar_LoadFromBinFile(tar, "user/", m_restored.voc);
    ASSERT_NE(m_restored.grammar, nullptr);
    EXPECT_EQ(ClassManager_ComputeCRC(m_restored.classes, 0), ClassManager_ComputeCRC(m_state.classes, 0));
    EXPECT_EQ(ConstraintManager_ComputeCRC(m_restored.constraints), ConstraintManager_ComputeCRC(m_state.constraints));
    EXPECT_EQ(Grammar_ComputeCRC(m_restored.grammar), Grammar_ComputeCRC(m_state.grammar));
    EXPECT_TRUE(parsed(m_restored, "Top") == parsed(m_state, "Top"));
    expectWalksParse(m_restored, top, "Top");
    expectWalksParse(m_restored, number, "Number");
    expectWalksParse(m_restored, loose, "Loose");

    // Compiling in the restored state passes over the class names it holds.
    ASSERT_EQ(Grammar_AddNonTerminal(m_restored.grammar, "Again", "Number Cmd{?}"), kGrammarDone);
    const int32_t again = compile(m_restored, "Again", "again");
    ASSERT_GE(again, 0);
    expectWalksParse(m_restored, again, "Again");
}

} // namespace
