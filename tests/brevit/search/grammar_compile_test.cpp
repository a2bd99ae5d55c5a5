#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "tests/brevit/search/grammar_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Words = std::vector<uint16_t>;

class GrammarCompileTest : public GrammarTest {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_compiled)
            Constraint_Delete(con, 0);
        m_compiled.clear();
        GrammarTest::TearDown();
    }

    Constraint* compile(const Grammar* g, const char* name)
    {
        Constraint* con = Grammar_CompileRule(g, name, "compiled", m_classes, m_words.voc());
        if (con != nullptr)
            m_compiled.push_back(con);
        return con;
    }

    static ClassPairConstraint* pair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

    // Walks the constraint's class graph: from the start through one class
    // per word, each word a one-word member of its class, to an end.
    bool accepts(Constraint* con, const Words& words)
    {
        EXPECT_EQ(ClassManager_FinishEdit(m_classes), 1);
        const ClassPairConstraint* c = pair(con);
        std::set<int32_t> states{0};
        for (uint16_t w : words) {
            std::set<int32_t> next;
            for (int32_t a : states)
                for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t) {
                    const int32_t b = static_cast<int32_t>(c->targets[t]);
                    if (ClassManager_HasMemberStartingWith(m_classes, c->classIds[b], w) != 0)
                        next.insert(b);
                }
            states = std::move(next);
        }
        for (int32_t a : states)
            if (a != 0 && c->endFlags[a] != 0)
                return true;
        return false;
    }

    // D = {1}, E = {2}, F = {3}; word 4 only "." takes.
    Grammar* lettersGrammar()
    {
        Grammar* g = make(16, 64);
        EXPECT_EQ(terminal(g, "D", {1}), kGrammarDone);
        EXPECT_EQ(terminal(g, "E", {2}), kGrammarDone);
        EXPECT_EQ(terminal(g, "F", {3}), kGrammarDone);
        return g;
    }

    std::vector<Constraint*> m_compiled;
};

// Every sequence of 1 to 5 of the words 1..4.
std::vector<Words> allSequences()
{
    std::vector<Words> out;
    std::vector<Words> layer{{}};
    for (int length = 1; length <= 5; ++length) {
        std::vector<Words> next;
        for (const Words& w : layer)
            for (uint16_t x = 1; x <= 4; ++x) {
                Words longer = w;
                longer.push_back(x);
                next.push_back(longer);
                out.push_back(longer);
            }
        layer = std::move(next);
    }
    return out;
}

struct AgreementCase {
    // Rules in order (name, alternative); the last one's name is checked.
    std::vector<std::pair<const char*, const char*>> rules;
};

// The compiled constraint, the parse check and the direct reference accept
// the same sequences.
TEST_F(GrammarCompileTest, CompilationAndParseCheckAcceptTheSameSequences)
{
    const std::vector<AgreementCase> cases = {
        {{{"R", "D{2,4}"}}},
        {{{"R", "D{2,}"}}},
        {{{"R", "E D{*} F"}}},
        {{{"R", "D{?} E{?}"}}},
        {{{"R", "D E{0,2} F"}, {"R", "F{2}"}}},
        {{{"X", "D"}, {"X", "E{1,2}"}, {"R", "X{*} F"}}},
        // These disagreed before an empty-deriving item was compiled as
        // optional, polarity 0 compiled to the words it does not list, and
        // {n, m} with n above m meant n repetitions for rules too.
        {{{"X", "D{?} E{?}"}, {"R", "X F"}}},
        {{{"R", "D{3,2}"}}},
        {{{"X", "D"}, {"R", "X{3,2}"}}},
        {{{"R", ". E"}}},
        {{{"X", "D{?}"}, {"R", "X{2,3} E"}}},
        // More of the same kinds.
        {{{"X", "D{?} E"}, {"X", "F{+}"}, {"R", "X{2} D"}}},
        {{{"X", "D{?} E{?}"}, {"Y", "X{2} F{?}"}, {"R", "Y{1,2} D{?}"}}},
        {{{"R", "NotD{2} ."}}},
        {{{"R", "D{?} E{?} F{?} D"}, {"R", "E{?} E{?} F"}}},
    };
    const std::vector<Words> sequences = allSequences();
    for (size_t k = 0; k < cases.size(); ++k) {
        Grammar* g = lettersGrammar();
        ASSERT_EQ(Grammar_AddTerminalExpression(g, "NotD", "~ D"), kGrammarDone);
        for (const auto& [name, text] : cases[k].rules)
            ASSERT_EQ(Grammar_AddNonTerminal(g, name, text), kGrammarDone) << k << " " << text;
        const char* name = cases[k].rules.back().first;
        Constraint* con = compile(g, name);
        ASSERT_NE(con, nullptr) << k;
        EXPECT_EQ(ClassPairConstraint_Check(con), 1);
        const int32_t rule = Grammar_FindName(g->ruleNames, g->ruleNameOffsets, g->ruleCount, name);
        int32_t accepted = 0;
        for (const Words& words : sequences) {
            WordIds listed;
            for (uint16_t w : words)
                listed.push_back(listedWord(w));
            const bool reference = ReferenceParser(g, listed).parses(rule);
            const bool parsed = parses(g, name, words) == 1;
            const bool walked = accepts(con, words);
            std::string text;
            for (uint16_t w : words)
                text += std::to_string(w) + " ";
            EXPECT_EQ(parsed, reference) << "case " << k << ": " << text;
            EXPECT_EQ(walked, reference) << "case " << k << ": " << text;
            accepted += reference ? 1 : 0;
        }
        EXPECT_GT(accepted, 0) << k;
    }
}

// Random small grammars: rules over D, E, F, "." and NotD and the rules
// before them, with bounds of every kind.
TEST_F(GrammarCompileTest, RandomGrammarsAgreeWithTheReference)
{
    std::mt19937 rng(79);
    const char* bounds[] = {"", "{?}", "{*}", "{+}", "{2}", "{2,3}", "{3,2}", "{0,2}", "{2,}"};
    std::vector<Words> sequences;
    for (const Words& w : allSequences())
        if (w.size() <= 4)
            sequences.push_back(w);
    for (int round = 0; round < 60; ++round) {
        Grammar* g = lettersGrammar();
        ASSERT_EQ(Grammar_AddTerminalExpression(g, "NotD", "~ D"), kGrammarDone);
        std::vector<std::string> symbols = {"D", "E", "F", ".", "NotD"};
        std::string text;
        const int rules = 1 + static_cast<int>(rng() % 3);
        for (int r = 0; r < rules; ++r) {
            const std::string name = "R" + std::to_string(r);
            const int alternatives = 1 + static_cast<int>(rng() % 2);
            for (int a = 0; a < alternatives; ++a) {
                std::string items;
                const int count = 1 + static_cast<int>(rng() % 3);
                for (int i = 0; i < count; ++i)
                    items += symbols[rng() % symbols.size()] + bounds[rng() % 9] + " ";
                ASSERT_EQ(Grammar_AddNonTerminal(g, name.c_str(), items.c_str()), kGrammarDone) << items;
                text += name + " = " + items + "| ";
            }
            symbols.push_back(name);
        }
        const std::string top = "R" + std::to_string(rules - 1);
        Constraint* con = compile(g, top.c_str());
        ASSERT_NE(con, nullptr) << text;
        const int32_t rule = rules - 1;
        for (const Words& words : sequences) {
            WordIds listed;
            for (uint16_t w : words)
                listed.push_back(listedWord(w));
            const bool reference = ReferenceParser(g, listed).parses(rule);
            EXPECT_EQ(parses(g, top.c_str(), words) == 1, reference) << text << words.size();
            EXPECT_EQ(accepts(con, words), reference) << text << words.size();
        }
        Constraint_Delete(con, 0);
        m_compiled.pop_back();
        ClassManager_RemoveUnreferencedClasses(m_classes);
    }
}

TEST_F(GrammarCompileTest, RepetitionsBecomeCopiesOfTheClass)
{
    Grammar* g = lettersGrammar();
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Range", "D{2,4}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Open", "D{2,}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Star", "E D{*}"), kGrammarDone);
    Constraint* range = compile(g, "Range");
    ASSERT_NE(range, nullptr);
    // Four copies of D's class in a row, ends after the second to the fourth.
    ASSERT_EQ(pair(range)->classCount, 5);
    std::vector<uint32_t> ends(8);
    EXPECT_EQ(ClassPairConstraint_GetPredecessors(range, 0, ends.data()), 3);
    EXPECT_EQ(accepts(range, {1}), false);
    EXPECT_EQ(accepts(range, {1, 1, 1, 1}), true);
    EXPECT_EQ(accepts(range, {1, 1, 1, 1, 1}), false);

    Constraint* open = compile(g, "Open");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(pair(open)->classCount, 3);
    EXPECT_TRUE(accepts(open, Words(9, 1)));

    Constraint* star = compile(g, "Star");
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(pair(star)->classCount, 3);
    EXPECT_TRUE(accepts(star, {2}));
    EXPECT_TRUE(accepts(star, {2, 1, 1}));
}

TEST_F(GrammarCompileTest, TerminalClassesTakeConsecutiveFreeNames)
{
    Grammar* g = lettersGrammar();
    Constraint* first = compile(g, "D");
    Constraint* second = compile(g, "D");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::string a = ClassManager_GetClassName(m_classes, pair(first)->classIds[1]);
    const std::string b = ClassManager_GetClassName(m_classes, pair(second)->classIds[1]);
    ASSERT_EQ(a.rfind("00__ClassName", 0), 0u);
    const unsigned k = static_cast<unsigned>(std::stoul(a.substr(13)));
    EXPECT_EQ(b, "00__ClassName" + std::to_string(k + 1));
    EXPECT_TRUE(accepts(first, {1}));
    EXPECT_FALSE(accepts(first, {1, 1}));

    // A name already taken (restored user state holds names made by an
    // earlier process) is passed over.
    const std::string taken = "00__ClassName" + std::to_string(k + 2);
    ASSERT_EQ(ClassManager_AddClass(m_classes, taken.c_str(), 1, 1, 0, 0, 0, 0), 1);
    Constraint* third = compile(g, "E");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(std::string(ClassManager_GetClassName(m_classes, pair(third)->classIds[1])),
              "00__ClassName" + std::to_string(k + 3));
    EXPECT_STREQ(third->name, "compiled");
    EXPECT_EQ(compile(g, "Undefined"), nullptr);
}

TEST_F(GrammarCompileTest, OptionalItemsAreSkippedOverInASequence)
{
    Grammar* g = lettersGrammar();
    Constraint* c[3] = {compile(g, "D"), compile(g, "E"), compile(g, "F")};
    const uint8_t optional[3] = {1, 1, 0};
    Constraint* seq = Grammar_CompileSequence(c, optional, "seq", m_classes, 3, 3);
    ASSERT_NE(seq, nullptr);
    m_compiled.push_back(seq);
    for (const auto& [words, accepted] : std::vector<std::pair<Words, bool>>{
             {{3}, true}, {{1, 3}, true}, {{2, 3}, true}, {{1, 2, 3}, true}, {{1, 2}, false}, {{2, 1, 3}, false}})
        EXPECT_EQ(accepts(seq, words), accepted) << words.size();
    // Between two and three in a row, no flags.
    Constraint* run = Grammar_CompileSequence(c, nullptr, "run", m_classes, 2, 3);
    ASSERT_NE(run, nullptr);
    m_compiled.push_back(run);
    EXPECT_FALSE(accepts(run, {1}));
    EXPECT_TRUE(accepts(run, {1, 2}));
    EXPECT_TRUE(accepts(run, {1, 2, 3}));
    EXPECT_EQ(Grammar_CompileSequence(c, nullptr, "none", m_classes, 1, 0), nullptr);
}

// Any allocation failing: none (or the engine error from the scratch stack),
// and everything made on the way is given back with the class manager.
TEST_F(GrammarCompileTest, AllocationFailuresLeaveNothingBehind)
{
    Grammar* g = lettersGrammar();
    ASSERT_EQ(Grammar_AddNonTerminal(g, "X", "D{?} E"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "R", "X{2,3} F{*} ."), kGrammarDone);
    // One compilation first, so that the scratch stack has its block.
    ASSERT_NE(compile(g, "R"), nullptr);
    for (uint64_t n = 1;; ++n) {
        const uint64_t failures = m_allocator.failures();
        Constraint* con = nullptr;
        m_allocator.failAt(m_allocator.calls() + n);
        const int raised =
            DVKErr_Protect([&] { con = Grammar_CompileRule(g, "R", "compiled", m_classes, m_words.voc()); });
        m_allocator.failAt(0);
        if (con != nullptr)
            m_compiled.push_back(con);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(raised, 0);
            ASSERT_NE(con, nullptr);
            EXPECT_TRUE(accepts(con, {2, 1, 2, 3, 3, 4}));
            EXPECT_GT(n, 1u);
            break;
        }
        EXPECT_EQ(raised, 0) << n;
        EXPECT_EQ(con, nullptr) << n;
        ClassManager_RemoveUnreferencedClasses(m_classes);
    }
}

} // namespace
