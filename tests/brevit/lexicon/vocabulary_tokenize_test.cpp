#include "tests/brevit/lexicon/vocabulary_tokenize_test.h"

#include "core/brevit/runtime/brevit_global_parameters.h"

#include <algorithm>
#include <string>

namespace {

constexpr VocId kNo = kVocNoId;

TEST_F(TokenizeTest, NumbersAndPunctuationTakeTheLanguagesSpokenWords)
{
    words();
    const VocId period = w(u".", u"period"), dot = w(u".", u"dot"), point = w(u".", u"point");
    const VocId three = w(u"3"), five = w(u"5"), a = w(u"a"), b = w(u"b");
    struct Case {
        std::u16string text;
        std::vector<VocId> ids;
        std::vector<int32_t> starts;
    };
    const Case cases[] = {
        {u"3.5", {three, point, five}, {0, 1, 2}},
        {u"3.5.3", {three, dot, five, dot, three}, {0, 1, 2, 3, 4}},
        {u"3.5 5.3", {three, point, five, five, point, three}, {0, 1, 2, 4, 5, 6}},
        {u"35.5", {three, five, point, five}, {0, 1, 2, 3}},
        {u"a.b", {a, dot, b}, {0, 1, 2}},
        {u"a.", {a, period}, {0, 1}},
        {u"a. b", {a, period, b}, {0, 1, 3}},
        {u"3.", {three, period}, {0, 1}},
    };
    for (const Case& c : cases) {
        const std::vector<Token> got = tokens(3, c.text);
        ASSERT_EQ(got.size(), c.ids.size()) << std::string(c.text.begin(), c.text.end());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].id, c.ids[k]) << k;
            EXPECT_EQ(got[k].start, c.starts[k]) << k;
            EXPECT_EQ(got[k].length, 1) << k;
        }
    }
}

TEST_F(TokenizeTest, WithoutPunctuationWordsTheTextIsOneUnknownToken)
{
    VocabularyFixture::Options other = tokenizeOptions();
    other.language = "xxxx";
    std::vector<VocabularyFixture::WordSpec> noPeriod = tokenizeWords();
    noPeriod.erase(noPeriod.begin() + 9);   // "." spoken period
    for (int round = 0; round < 2; ++round) {
        if (round == 0)
            words(tokenizeWords(), other);
        else
            words(noPeriod);
        int32_t n = 0;
        const std::vector<Token> got = tokens(3, u"a 3.5 b", 40, 0, 0, &n);
        EXPECT_EQ(n, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], (Token{kNo, 0, 7, 0, 0}));
    }
}

TEST_F(TokenizeTest, GeneralTokenizerTakesTheLongestWordEndingARun)
{
    words();
    const VocId newYork = w(u"New York", u"new york"), john = w(u"John");
    EXPECT_EQ(tokens(2, u"New York"), (std::vector<Token>{{newYork, 0, 8, 0, 1}}));
    EXPECT_EQ(tokens(2, u"new york"), (std::vector<Token>{{newYork, 0, 8, 0, 0}}));
    EXPECT_EQ(tokens(2, u"NewYork"), (std::vector<Token>{{kNo, 0, 7, 0, 0}}));
    EXPECT_EQ(tokens(2, u"  John  New "), (std::vector<Token>{{john, 2, 4, 0, 1}, {w(u"New"), 8, 3, 0, 1}}));
    // Another script after a word: an unknown run flagged as a script change.
    EXPECT_EQ(tokens(2, u"John \u6771\u4eac"), (std::vector<Token>{{john, 0, 4, 0, 1}, {kNo, 5, 2, 8, 0}}));
    // Type 1 is the list's own type.
    EXPECT_EQ(tokens(1, u"New York"), tokens(2, u"New York"));
    // Digit runs without a word go digit by digit.
    EXPECT_EQ(tokens(2, u"353"), (std::vector<Token>{{w(u"3"), 0, 1, 0, 0}, {w(u"5"), 1, 1, 0, 0}, {w(u"3"), 2, 1, 0, 0}}));
    // Case-sensitive matching finds no other case.
    EXPECT_EQ(tokens(2, u"new york", 40, 0, 1), (std::vector<Token>{{kNo, 0, 3, 0, 0}, {kNo, 4, 4, 0, 0}}));
}

TEST_F(TokenizeTest, TypesOutsideTheRangeOrAListOfTypeOneGiveNothing)
{
    VocabularyFixture::Options o = tokenizeOptions();
    o.tokenizeType = 1;
    words(tokenizeWords(), o);
    for (int32_t type : {0, 1, 10, -3})
        EXPECT_EQ(Voc_Tokenize(m_fixture->voc(), type, u16(u"New York"), 0, 0, 0, nullptr, nullptr, nullptr, nullptr,
                               nullptr),
                  0)
            << type;
    EXPECT_EQ(Voc_Tokenize(m_fixture->voc(), 2, u16(u"New York John"), 1, 0, 0, nullptr, nullptr, nullptr, nullptr,
                           nullptr),
              2);
}

TEST_F(TokenizeTest, ThirtyMatchesAtOnePlaceStopTokenizing)
{
    std::vector<VocabularyFixture::WordSpec> list = tokenizeWords();
    std::u16string text = u"q";
    for (int k = 0; k < 30; ++k) {
        list.push_back({text, u"", {"K"}, true});
        text += u"q";
    }
    VocabularyFixture::Options o = tokenizeOptions();
    o.params = {{kBrevitParamWarnings, 1}};
    words(list, o);
    int32_t n = -1;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(tokens(2, u"John " + text, 40, 0, 0, &n).size() == 0 || n == 0);
    EXPECT_EQ(n, 0);
    tokens(3, u"John " + text, 40, 0, 0, &n);
    EXPECT_EQ(n, 0);
    // 29 of them still tokenize, and say nothing.
    tokens(2, u"John " + text.substr(0, 29), 40, 0, 0, &n);
    EXPECT_EQ(n, 2);
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string line = "tokenizer: 30 words begin at character 5, the text is not tokenized\n";
    ASSERT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    // One line each from the general and the number tokenizer.
    ASSERT_NE(said.find(line), std::string::npos) << said;
    EXPECT_NE(said.find(line, said.find(line) + line.size()), std::string::npos) << said;
}

TEST_F(TokenizeTest, ScriptAwareTokenizerSplitsUncasedScriptsByCharacter)
{
    words();
    EXPECT_EQ(tokens(8, u"\u6771\u4eac"), (std::vector<Token>{{w(u"\u6771"), 0, 1, 0, 1}, {kNo, 1, 1, 0, 0}}));
    EXPECT_EQ(tokens(2, u"\u6771\u4eac"), (std::vector<Token>{{kNo, 0, 2, 0, 0}}));
    // Types 4 to 7 end with the script-aware pass.
    for (int32_t type : {4, 5, 6, 7})
        EXPECT_EQ(tokens(type, u"\u6771\u4eac"), tokens(8, u"\u6771\u4eac")) << type;
    EXPECT_EQ(tokens(8, u"New York \u6771"),
              (std::vector<Token>{{w(u"New York", u"new york"), 0, 8, 0, 1}, {w(u"\u6771"), 9, 1, 8, 1}}));
    // Type 9 looks later runs up as whole words.
    EXPECT_EQ(tokens(9, u"John New York"),
              (std::vector<Token>{{w(u"John"), 0, 4, 0, 1}, {w(u"New"), 5, 3, 0, 1}, {w(u"York"), 9, 4, 0, 1}}));

    std::vector<VocabularyFixture::WordSpec> list = tokenizeWords();
    list.erase(list.begin() + 6);   // 東
    words(list);
    EXPECT_EQ(tokens(8, u"\u6771\u4eac"), (std::vector<Token>{{kNo, 0, 2, 0, 0}}));
    EXPECT_EQ(tokens(8, u"\u6771 \u4eac"), (std::vector<Token>{{kNo, 0, 1, 0, 0}, {kNo, 2, 1, 0, 0}}));
}

TEST_F(TokenizeTest, OverflowCutsOrWrapsButCountsEveryToken)
{
    words();
    const VocId a = w(u"a"), b = w(u"b");
    int32_t n = 0;
    EXPECT_EQ(tokens(2, u"a b a b a", 2, 0, 0, &n), (std::vector<Token>{{a, 0, 1, 0, 1}, {b, 2, 1, 0, 1}}));
    EXPECT_EQ(n, 5);
    EXPECT_EQ(tokens(2, u"a b a b a", 2, 1, 0, &n), (std::vector<Token>{{b, 6, 1, 0, 1}, {a, 8, 1, 0, 1}}));
    EXPECT_EQ(n, 5);
    EXPECT_EQ(tokens(2, u"a b a b a", 3, 1, 0, &n),
              (std::vector<Token>{{a, 4, 1, 0, 1}, {b, 6, 1, 0, 1}, {a, 8, 1, 0, 1}}));
    // The script bit is set on the kept tokens, after the rotation.
    EXPECT_EQ(tokens(2, u"\u4eac a \u4eac a", 2, 1, 0, &n), (std::vector<Token>{{kNo, 4, 1, 0, 0}, {a, 6, 1, 8, 1}}));
    EXPECT_EQ(n, 4);
}

TEST_F(TokenizeTest, TheMatcherSeesOnlyTheLongestSurfaceForm)
{
    // A Latin-1 list: characters it cannot encode far ahead must not spoil
    // the lookup of a word before them.
    VocabularyFixture::Options o = tokenizeOptions();
    o.encoding = 1;
    std::vector<VocabularyFixture::WordSpec> list = {{u"Paris", u"", {"V AA R IH S"}, true},
                                                      {u"New", u"", {"N UW"}, true}};
    words(list, o);
    ASSERT_EQ(Voc_GetMaxSurfaceFormLength(m_fixture->voc()), 16);
    const std::vector<Token> got = tokens(2, u"Paris New New New \u6771\u4eac");
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], (Token{w(u"Paris"), 0, 5, 0, 1}));
    EXPECT_EQ(got[4], (Token{kNo, 18, 2, 8, 0}));
}

}  // namespace
