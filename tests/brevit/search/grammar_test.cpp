#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/search/grammar_test.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<uint32_t> listOf(const Grammar* g, const char* name)
{
    const int32_t t = Grammar_FindName(g->terminalNames, g->terminalNameOffsets, g->terminalCount, name);
    if (t < 0)
        return {};
    return std::vector<uint32_t>(g->words + g->terminalWordOffsets[t], g->words + g->terminalWordOffsets[t + 1]);
}

int32_t polarityOf(const Grammar* g, const char* name)
{
    const int32_t t = Grammar_FindName(g->terminalNames, g->terminalNameOffsets, g->terminalCount, name);
    return t < 0 ? -1 : g->terminalPolarity[t];
}

TEST_F(GrammarTest, AFreshGrammarHoldsOnlyTheDotAndKnownChecksums)
{
    Grammar* g = make(2, 4);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->terminalCount, 1);
    EXPECT_EQ(g->ruleCount, 0);
    EXPECT_EQ(Grammar_HasRule(g, "."), 1);
    EXPECT_EQ(Grammar_HasRule(g, "D"), 0);
    EXPECT_EQ(Grammar_ComputeCRC(g), 0x32DB80E5u);
    EXPECT_EQ(Grammar_ComputeCRC(nullptr), 0xFFFFFFFFu);
    // "." matches every word.
    EXPECT_EQ(parses(g, ".", {9}), 1);
    EXPECT_EQ(parses(g, ".", {1}), 1);

    const uint32_t words[2] = {0xC0000005u, 0xC0000003u};
    EXPECT_EQ(Grammar_AddTerminal(g, "A", 2, words, 1), kGrammarDone);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "R", "A{2}"), kGrammarDone);
    EXPECT_EQ(Grammar_ComputeCRC(g), 0x8EB62FE8u);
    EXPECT_EQ(listOf(g, "A"), (std::vector<uint32_t>{0xC0000003u, 0xC0000005u}));
}

struct ItemCase {
    const char* text;
    // (name, min, max) per item; empty with refused.
    std::vector<std::tuple<std::string, int32_t, int32_t>> items;
    bool refused = false;
};

TEST_F(GrammarTest, ReadsTheItemSyntax)
{
    const std::vector<ItemCase> cases = {
        {"D{3} Not0{0,2}", {{"D", 3, 3}, {"Not0", 0, 2}}},
        {"D{*}", {{"D", 0, 254}}},
        {"D{+}", {{"D", 1, 254}}},
        {"D{?}", {{"D", 0, 1}}},
        {"D{2,}", {{"D", 2, 254}}},
        {"D{0,}", {{"D", 0, 254}}},
        {"D{3,2}", {{"D", 3, 2}}},
        {"D{253}", {{"D", 253, 253}}},
        {"D{003}", {{"D", 3, 3}}},
        {".{2} D", {{".", 2, 2}, {"D", 1, 1}}},
        {". D", {{".", 1, 1}, {"D", 1, 1}}},
        {"\t a-b_c+1 \r\n", {{"a-b_c+1", 1, 1}}},
        {"D{0}", {}, true},
        {"D{254}", {}, true},
        {"D{1,254}", {}, true},
        {"D(3)", {}, true},
        {"D{0,0}", {}, true},
        {"D{ 3}", {}, true},
        {"D{3}x", {}, true},
        {"D {3} Not0", {}, true},
        {"D{3", {}, true},
        {"D{}", {}, true},
        {"D{,3}", {}, true},
        {".D", {}, true},
        {"D\xC3\xA9", {}, true},
    };
    for (const ItemCase& c : cases) {
        std::vector<std::tuple<std::string, int32_t, int32_t>> got;
        bool refused = false;
        GrammarItemText item;
        const char* p = c.text;
        for (int32_t r; (r = Grammar_NextItem(p, &item, &p)) != 0;) {
            if (r != 1) {
                refused = true;
                break;
            }
            got.emplace_back(std::string(item.name, static_cast<size_t>(item.length)), item.minimum, item.maximum);
        }
        EXPECT_EQ(refused, c.refused) << c.text;
        if (!c.refused) {
            EXPECT_EQ(got, c.items) << c.text;
        }
    }

    // Through the rule builder: refused text changes nothing.
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "D", {1}), kGrammarDone);
    ASSERT_EQ(terminal(g, "Not0", {2}), kGrammarDone);
    const uint32_t crc = Grammar_ComputeCRC(g);
    for (const char* text : {"D{0}", "D {3} Not0", "D{3}x", "", "   ", "Q", "D Q"})
        EXPECT_EQ(Grammar_AddNonTerminal(g, "R", text), kGrammarRefused) << text;
    EXPECT_EQ(Grammar_AddNonTerminal(g, "R", nullptr), kGrammarRefused);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "R", "D{3} Not0{0,2}"), kGrammarDone);
    ASSERT_EQ(g->ruleCount, 1);
    EXPECT_EQ(g->alternativeItemOffsets[1], 2);
    EXPECT_EQ(g->itemSymbols[0], -2);
    EXPECT_EQ(g->itemSymbols[1], -3);
    EXPECT_EQ(g->itemMinimum[1], 0);
    EXPECT_EQ(g->itemMaximum[1], 2);
}

struct ExpressionCase {
    const char* name;
    const char* expression;
    std::vector<uint16_t> words;   // empty with a refusal
    int32_t polarity;
    int32_t result = kGrammarDone;
};

TEST_F(GrammarTest, CombinesTerminalsByExpressions)
{
    Grammar* g = make(16, 64);
    ASSERT_EQ(terminal(g, "A", {1, 2, 3}), kGrammarDone);
    ASSERT_EQ(terminal(g, "B", {2, 4}), kGrammarDone);
    ASSERT_EQ(Grammar_AddTerminalExpression(g, "C", "~ ~ ."), kGrammarRefused);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Rule", "A"), kGrammarDone);
    ASSERT_EQ(Grammar_AddTerminalExpression(g, "NB", "~ B"), kGrammarDone);
    const std::vector<ExpressionCase> cases = {
        {"u", "A + B", {1, 2, 3, 4}, 1},
        {"i", "A ^ B", {2}, 1},
        {"d", "A ~ B", {1, 3}, 1},
        {"nb", "~\tB", {2, 4}, 0},
        {"ic", "A ^ .", {1, 2, 3}, 1},
        {"uc", "A + .", {}, 0},
        {"dc", "A ~ .", {}, 1},
        {"inb", " A ^ NB ", {1, 3}, 1},
        {"nba", "NB\n+\rA", {4}, 0},
        {"aa", "A ~ A", {}, 1},
        {"nd", "~ .", {}, 1},
        {"na", "~ A", {1, 2, 3}, 0},
        {"x1", "A", {}, 0, kGrammarRefused},
        {"x2", "A + B + A", {}, 0, kGrammarRefused},
        {"x3", "A - B", {}, 0, kGrammarRefused},
        {"x4", "A ++ B", {}, 0, kGrammarRefused},
        {"x5", "+ B", {}, 0, kGrammarRefused},
        {"x6", "A + Rule", {}, 0, kGrammarRefused},
        {"x7", "~ Rule", {}, 0, kGrammarRefused},
        {"x8", "Q ^ B", {}, 0, kGrammarRefused},
        {"x9", "", {}, 0, kGrammarRefused},
        {"Rule", "A + B", {}, 0, kGrammarRefused},
    };
    for (const ExpressionCase& c : cases) {
        EXPECT_EQ(Grammar_AddTerminalExpression(g, c.name, c.expression), c.result) << c.expression;
        if (c.result != kGrammarDone)
            continue;
        std::vector<uint32_t> expected;
        for (uint16_t w : c.words)
            expected.push_back(listedWord(w));
        EXPECT_EQ(listOf(g, c.name), expected) << c.expression;
        EXPECT_EQ(polarityOf(g, c.name), c.polarity) << c.expression;
    }
    // Each result matches what its operands say, word by word.
    for (uint16_t w : {1, 2, 3, 4, 9}) {
        const bool a = w <= 3;
        const bool b = w == 2 || w == 4;
        EXPECT_EQ(parses(g, "u", {w}), a || b ? 1 : 0) << w;
        EXPECT_EQ(parses(g, "nba", {w}), !b || a ? 1 : 0) << w;
        EXPECT_EQ(parses(g, "na", {w}), a ? 0 : 1) << w;
    }
}

TEST_F(GrammarTest, RepeatedTerminalsAndAlternativesChangeNothing)
{
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "A", {3, 1, 2}), kGrammarDone);
    const uint32_t crc = Grammar_ComputeCRC(g);
    EXPECT_EQ(terminal(g, "A", {2, 3, 1, 1, 3}), kGrammarDone);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    EXPECT_EQ(terminal(g, "A", {1, 2}), kGrammarRefused);
    EXPECT_EQ(terminal(g, "A", {1, 2, 3}, 0), kGrammarRefused);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    // A word the vocabulary cannot name is refused.
    const uint32_t unknown = 0x00000007u;
    EXPECT_EQ(Grammar_AddTerminal(g, "U", 1, &unknown, 1), kGrammarRefused);
    EXPECT_EQ(Grammar_AddTerminal(g, "U", 1, nullptr, 1), kGrammarRefused);
    EXPECT_EQ(Grammar_AddTerminal(g, "E", 0, nullptr, 1), kGrammarDone);

    ASSERT_EQ(Grammar_AddNonTerminal(g, "R", "A{2} ."), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "R", "A"), kGrammarDone);
    const uint32_t rules = Grammar_ComputeCRC(g);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "R", "  A{2}   . "), kGrammarDone);
    EXPECT_EQ(Grammar_ComputeCRC(g), rules);
    EXPECT_EQ(g->ruleAlternativeOffsets[1], 2);
    // Name clashes both ways.
    EXPECT_EQ(Grammar_AddNonTerminal(g, "A", "A"), kGrammarRefused);
    EXPECT_EQ(terminal(g, "R", {1}), kGrammarRefused);
    EXPECT_EQ(Grammar_AddTerminalExpression(g, "R", "~ A"), kGrammarRefused);
    EXPECT_EQ(Grammar_ComputeCRC(g), rules);
}

TEST_F(GrammarTest, RefusesRecursion)
{
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "D", {1}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "X", "D"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Y", "X D"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Z", "Y"), kGrammarDone);
    const uint32_t crc = Grammar_ComputeCRC(g);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "X"), kGrammarRefused);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "D Z{?}"), kGrammarRefused);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "Y", "Z"), kGrammarRefused);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    EXPECT_EQ(Grammar_ReachesRule(g, 2, 0), 1);
    EXPECT_EQ(Grammar_ReachesRule(g, 0, 2), 0);
    // An earlier rule may be extended with a later one that does not reach it.
    ASSERT_EQ(Grammar_AddNonTerminal(g, "W", "D{2}"), kGrammarDone);
    EXPECT_EQ(Grammar_AddNonTerminal(g, "X", "W"), kGrammarDone);
    EXPECT_EQ(parses(g, "Z", {1, 1, 1}), 1);
    EXPECT_EQ(parses(g, "Z", {1, 1}), 1);
}

// Each capacity filled up: the next addition yields 1 and changes nothing.
TEST_F(GrammarTest, FullTablesChangeNothing)
{
    struct Case {
        const char* what;
        int32_t capacity;
        int32_t words;
        std::function<int32_t(Grammar*)> fill;   // adds until the table is full
        std::function<int32_t(Grammar*)> more;
    };
    const std::vector<Case> cases = {
        {"terminals", 2, 8, [](Grammar* g) { return terminal(g, "A", {1}); },
         [](Grammar* g) { return terminal(g, "B", {1}); }},
        {"words", 4, 3, [](Grammar* g) { return terminal(g, "A", {1, 2, 3}); },
         [](Grammar* g) { return terminal(g, "B", {4}); }},
        {"terminal names", 3, 8, [](Grammar* g) { return terminal(g, std::string(45, 'a').c_str(), {1}); },
         [](Grammar* g) { return terminal(g, "b", {1}); }},
        {"rules", 2, 8,
         [](Grammar* g) {
             return terminal(g, "A", {1}) + Grammar_AddNonTerminal(g, "R", "A") + Grammar_AddNonTerminal(g, "S", "A");
         },
         [](Grammar* g) { return Grammar_AddNonTerminal(g, "T", "A"); }},
        {"rule names", 2, 8,
         [](Grammar* g) {
             return terminal(g, "A", {1}) + Grammar_AddNonTerminal(g, std::string(31, 'r').c_str(), "A");
         },
         [](Grammar* g) { return Grammar_AddNonTerminal(g, "S", "A"); }},
        {"alternatives", 1, 8,
         [](Grammar* g) {
             int32_t r = Grammar_AddNonTerminal(g, "R", ".");
             for (const char* text : {".{2}", ".{3}", ".{4}"})
                 r += Grammar_AddNonTerminal(g, "R", text);
             return r;
         },
         [](Grammar* g) { return Grammar_AddNonTerminal(g, "R", ".{5}"); }},
        {"items", 1, 8, [](Grammar* g) { return Grammar_AddNonTerminal(g, "R", ". . . . . . ."); },
         [](Grammar* g) { return Grammar_AddNonTerminal(g, "R", ".{2} ."); }},
    };
    for (const Case& c : cases) {
        Grammar* g = make(c.capacity, c.words);
        ASSERT_EQ(c.fill(g), kGrammarDone) << c.what;
        const uint32_t crc = Grammar_ComputeCRC(g);
        EXPECT_EQ(c.more(g), kGrammarFull) << c.what;
        EXPECT_EQ(Grammar_ComputeCRC(g), crc) << c.what;
    }
}

// Offsets are 16-bit: a word pool or name pool past 32,767 entries is full
// there rather than wrapping.
TEST_F(GrammarTest, OffsetsNeverPass32767)
{
    Grammar* g = make(2200, 40000);
    WordIds many;
    for (uint32_t i = 0; i < 32767; ++i)
        many.push_back(0xC0000000u | (i + 100));
    ASSERT_EQ(Grammar_AddTerminal(g, "Big", static_cast<int32_t>(many.size()), many.data(), 1), kGrammarDone);
    uint32_t crc = Grammar_ComputeCRC(g);
    EXPECT_EQ(terminal(g, "One", {1}), kGrammarFull);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    EXPECT_EQ(Grammar_AddTerminal(g, "None", 0, nullptr, 1), kGrammarDone);

    // Names of 15 characters and a NUL: 2,047 fit below 32,768 with the two
    // short names already there.
    int32_t result = kGrammarDone;
    int32_t added = 0;
    for (; result == kGrammarDone; ++added) {
        char name[16];
        std::snprintf(name, sizeof name, "n%014d", added);
        result = Grammar_AddTerminal(g, name, 0, nullptr, 1);
    }
    EXPECT_EQ(result, kGrammarFull);
    EXPECT_EQ(added, 2048);
    crc = Grammar_ComputeCRC(g);
    EXPECT_EQ(Grammar_AddTerminal(g, "n99999999999999", 0, nullptr, 1), kGrammarFull);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    // A shorter name still fits below the limit.
    EXPECT_EQ(Grammar_AddTerminal(g, "m", 0, nullptr, 1), kGrammarDone);
    EXPECT_LE(g->terminalNameOffsets[g->terminalCount], 32767);
    EXPECT_GT(g->terminalNameOffsets[g->terminalCount], 32767 - 16);
    EXPECT_EQ(Grammar_HasRule(g, "n00000000000000"), 1);
}

TEST_F(GrammarTest, ClearingANameRemovesItCompletely)
{
    // Built with and without the cleared names: equal checksums.
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "A", {1, 2}), kGrammarDone);
    ASSERT_EQ(terminal(g, "B", {3}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "P", "A{2}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "P", "A"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Q", "B ."), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Q", "B{2}"), kGrammarDone);
    const uint32_t crc = Grammar_ComputeCRC(g);
    EXPECT_EQ(Grammar_ClearRule(g, "A"), 0);
    EXPECT_EQ(Grammar_ClearRule(g, "nothing"), 0);
    EXPECT_EQ(Grammar_ClearRule(g, nullptr), 0);
    EXPECT_EQ(Grammar_ComputeCRC(g), crc);
    EXPECT_EQ(Grammar_ClearRule(g, "P"), 1);
    EXPECT_EQ(Grammar_ClearRule(g, "A"), 1);
    EXPECT_EQ(Grammar_HasRule(g, "A"), 0);
    EXPECT_EQ(Grammar_HasRule(g, "P"), 0);

    Grammar* direct = make();
    ASSERT_EQ(terminal(direct, "B", {3}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(direct, "Q", "B ."), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(direct, "Q", "B{2}"), kGrammarDone);
    EXPECT_EQ(Grammar_ComputeCRC(g), Grammar_ComputeCRC(direct));
    // The renumbered items still name B and ".".
    EXPECT_EQ(parses(g, "Q", {3, 9}), 1);
    EXPECT_EQ(parses(g, "Q", {3, 3}), 1);
    EXPECT_EQ(parses(g, "Q", {1, 3}), 0);

    // The built-in terminal goes like any other once nothing uses it.
    EXPECT_EQ(Grammar_ClearRule(g, "."), 0);
    EXPECT_EQ(Grammar_ClearRule(g, "Q"), 1);
    EXPECT_EQ(Grammar_ClearRule(g, "."), 1);
    EXPECT_EQ(g->terminalCount, 1);
    EXPECT_EQ(g->ruleCount, 0);
}

TEST_F(GrammarTest, ClearEmptiesAndAddsTheBuiltInsAgain)
{
    Grammar* g = make(2, 4);
    ASSERT_EQ(terminal(g, "A", {1}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "R", "A"), kGrammarDone);
    EXPECT_EQ(Grammar_Clear(g), kGrammarDone);
    EXPECT_EQ(Grammar_ComputeCRC(g), 0x32DB80E5u);
}

TEST_F(GrammarTest, DigitTerminalsTakeTheWordsTheVocabularyKnows)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamTerminalRules, 1));
    m_words.spell("1", {activeWord(1)});
    m_words.spell("2", {activeWord(2), listedWord(3)});
    Grammar* g = make(32, 256);
    ASSERT_NE(g, nullptr);
    // "Not012", "+", "0" and "3".."9" have no words: their rows are left out.
    EXPECT_EQ(g->terminalCount, 1 + 4 + 2);
    for (const char* name : {".", "D", "Not0", "Not1", "Not01", "1", "2"})
        EXPECT_EQ(Grammar_HasRule(g, name), 1) << name;
    for (const char* name : {"Not012", "+", "0", "3"})
        EXPECT_EQ(Grammar_HasRule(g, name), 0) << name;
    EXPECT_EQ(listOf(g, "D"), (std::vector<uint32_t>{listedWord(1), listedWord(2), listedWord(3)}));
    EXPECT_EQ(listOf(g, "Not1"), (std::vector<uint32_t>{listedWord(2), listedWord(3)}));
    EXPECT_EQ(listOf(g, "2"), (std::vector<uint32_t>{listedWord(2), listedWord(3)}));
    // The words spelled 1 and 2 under D{2}, D{3} and D itself.
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Two", "D{2}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Three", "D{3}"), kGrammarDone);
    const uint32_t oneTwo[2] = {activeWord(1), activeWord(2)};
    EXPECT_EQ(Grammar_ParseExists(g, "Two", 2, oneTwo), 1);
    EXPECT_EQ(Grammar_ParseExists(g, "Three", 2, oneTwo), 0);
    EXPECT_EQ(Grammar_ParseExists(g, "D", 2, oneTwo), 1);
    EXPECT_EQ(Grammar_Clear(g), 1);
    EXPECT_EQ(g->terminalCount, 7);
    EXPECT_EQ(g->ruleCount, 0);
    // Without room for them the step fails, and with it the creation.
    EXPECT_EQ(Grammar_Create(m_words.voc(), 4, 256), nullptr);
    EXPECT_EQ(Grammar_Create(m_words.voc(), 0, 0), nullptr);
}

TEST_F(GrammarTest, ParseCheckEdgeCases)
{
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "D", {1, 2}), kGrammarDone);
    ASSERT_EQ(terminal(g, "E", {3}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Two", "D{2}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Three", "D{3}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "None", "E D"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "None", "E{2}"), kGrammarDone);
    EXPECT_EQ(parses(g, "Two", {1, 2}), 1);
    EXPECT_EQ(parses(g, "Three", {1, 2}), 0);
    // A terminal tests its first word alone.
    EXPECT_EQ(parses(g, "D", {1, 2}), 1);
    EXPECT_EQ(parses(g, "D", {1, 3}), 1);
    EXPECT_EQ(parses(g, "D", {3, 1}), 0);
    EXPECT_EQ(parses(g, "None", {1, 2}), 0);
    EXPECT_EQ(parses(g, "Undefined", {1}), 0);
    EXPECT_EQ(parses(g, "Two", {}), 0);
    EXPECT_EQ(Grammar_ParseExists(g, "Two", 2, nullptr), 0);
    EXPECT_EQ(Grammar_ParseExists(nullptr, "Two", 0, nullptr), 0);
}

// X = D{?} D{?}, Y = X{*} E: the search without end-position sets took time
// exponential in the words; the answer is immediate now.
TEST_F(GrammarTest, NestedOptionalItemsParseWithoutBlowingUp)
{
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "D", {1}), kGrammarDone);
    ASSERT_EQ(terminal(g, "E", {3}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "X", "D{?} D{?}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Y", "X{*} E"), kGrammarDone);
    std::vector<uint16_t> words(40, 1);
    words.push_back(2);
    EXPECT_EQ(parses(g, "Y", words), 0);
    words.back() = 3;
    EXPECT_EQ(parses(g, "Y", words), 1);
}

struct DeepParse {
    const Grammar* grammar;
    WordIds words;
    int32_t result = -1;
};

void* deepParse(void* argument)
{
    auto* job = static_cast<DeepParse*>(argument);
    job->result = Grammar_ParseExists(job->grammar, "Y", static_cast<int32_t>(job->words.size()), job->words.data());
    return nullptr;
}

// The check keeps its pending work off the call stack: 10,000 words on a
// thread with a 64 KB stack.
TEST_F(GrammarTest, LongInputsNeedNoDeepStack)
{
    Grammar* g = make();
    ASSERT_EQ(terminal(g, "D", {1}), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "X", "D{*}"), kGrammarDone);
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Y", "X{*}"), kGrammarDone);
    DeepParse job{g, WordIds(10000, activeWord(1))};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, deepParse, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(job.result, 1);
    // D{*} repeats at most 254 times.
    ASSERT_EQ(Grammar_AddNonTerminal(g, "Z", "D{*}"), kGrammarDone);
    EXPECT_EQ(parses(g, "Z", std::vector<uint16_t>(254, 1)), 1);
    EXPECT_EQ(parses(g, "Z", std::vector<uint16_t>(255, 1)), 0);
}

} // namespace
