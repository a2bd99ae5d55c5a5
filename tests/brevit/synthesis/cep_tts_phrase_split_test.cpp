#include "tests/brevit/synthesis/front_end_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace tts_front_end;

// Words b to g: syllables 2 1 3 1 2 1, tags 5 to 10; a full stop ends
// the text.
std::vector<VocabularyFixture::WordSpec> words()
{
    return {{u"b", u"", {"' K AA . T IY"}, true}, {u"c", u"", {"' EY"}, true},
            {u"d", u"", {"K AA . ' T IY . L EH"}, true}, {u"e", u"", {"' UW"}, true},
            {u"f", u"", {"B AO . ' R IH"}, true},   {u"g", u"", {"' IY"}, true},
            {u".", u"", {"h#"}, true},               {u",", u"", {"h#"}, true}};
}

// A break tree asking each word's own tag: b..f classes 3 1 4 0 2, g 5.
FrontEndFields splitting()
{
    FrontEndFields f = front_end_fixture::fields();
    f.breakTree = breakTreeOnOwnTag(3, {{5, 3}, {6, 1}, {7, 4}, {8, 0}, {9, 2}}, 5);
    f.breakClasses = {0, 1, 2, 3, 4, 5};
    f.breakClassCount = 6;
    return f;
}

FrontEndFields withCosts(int32_t slope)
{
    FrontEndFields f = splitting();
    f.phraseCostLength = 4;
    f.phraseCosts = {0, 40, 30, 8, 6};
    f.phraseCostSlope = slope;
    f.pieceCostWeight = 16;
    f.pieceCostOffset = 0;
    f.phraseSplitSyllables = 5;
    return f;
}

FrontEndFields withoutCosts(int32_t most)
{
    FrontEndFields f = splitting();
    f.phraseMaxSyllables = most;
    return f;
}

class PhraseSplit : public FrontEndTest {
protected:
    // Per phrase its words' break classes and its end type, e.g.
    // "3 1|1 4 0|1"; pauses counted apart.
    std::string phrases(const FrontEndFields& fields, const std::u16string& text, int32_t* pauses = nullptr)
    {
        CepTTSFrontEnd* f = load(fields);
        EXPECT_NE(f, nullptr);
        if (f == nullptr)
            return "";
        CepTTSUnits* u = CepTTSFrontEnd_UnitsFromText(f, VocabularyFixture::units(text));
        std::string out;
        const CepTTSUnitTree* t = u != nullptr ? u->tree : nullptr;
        for (int32_t p = 1; t != nullptr && p <= t->phraseCount; ++p) {
            for (int32_t w = t->phrases[p].firstWord; w < t->phrases[p].firstWord + t->phrases[p].wordCount; ++w)
                out += std::to_string(t->words[w].breakClass) + " ";
            out += "|" + std::to_string(t->phrases[p].endType) + " ";
        }
        if (pauses != nullptr) {
            *pauses = 0;
            for (int32_t k = 0; t != nullptr && k < t->phoneCount; ++k)
                *pauses += t->phones[k] == kCepTTSPause ? 1 : 0;
        }
        CepTTSUnits_Delete(u);
        return out;
    }
};

TEST_F(PhraseSplit, WithoutACostTableTheLowestClassCutsFirst)
{
    vocabulary(words());
    struct Row {
        int32_t most;
        std::string phrases;
        int32_t pauses;
    };
    const Row rows[] = {
        {4, "3 1 |1 4 0 |1 2 -1 |2 ", 4},
        {9, "3 1 4 0 |1 2 -1 |2 ", 3},
        {10, "3 1 4 0 2 -1 |2 ", 2},
    };
    for (const Row& row : rows) {
        int32_t pauses = 0;
        EXPECT_EQ(phrases(withoutCosts(row.most), u"b c d e f g.", &pauses), row.phrases) << row.most;
        EXPECT_EQ(pauses, row.pauses) << row.most;
    }
}

TEST_F(PhraseSplit, WithACostTableTheCheapestCoveringCuts)
{
    vocabulary(words());
    EXPECT_EQ(phrases(withCosts(3), u"b c d e f g."), "3 1 4 |1 0 2 -1 |2 ");
    EXPECT_EQ(phrases(withCosts(6), u"b c d e f g."), "3 1 |1 4 0 |1 2 -1 |2 ");
    // Short enough: not cut.
    EXPECT_EQ(phrases(withCosts(6), u"c d."), "1 -1 |2 ");
}

TEST_F(PhraseSplit, AMarkEndsThePhraseAndTheWordBeforeItTakesClassMinusOne)
{
    vocabulary(words());
    EXPECT_EQ(phrases(withoutCosts(100), u"b c, d e"), "3 -1 |1 4 0 |2 ");
}

TEST_F(PhraseSplit, ALeafPastTheClassesReadsAs255)
{
    vocabulary(words());
    FrontEndFields f = withoutCosts(100);
    f.breakClasses = {0, 1, 2};
    f.breakClassCount = 3;
    EXPECT_EQ(phrases(f, u"b c d e f"), "255 1 255 0 2 |2 ");
}

// Direct cuts: ties and costs that only fit in 64 bits.
class PhraseSplitCuts : public ::testing::Test {
protected:
    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(PhraseSplitCuts, EqualClassesPreferTheEvenerCutThenTheEarlier)
{
    CepTTSFrontEnd f{};
    f.phraseMaxSyllables = 3;
    const int32_t syllables[] = {1, 1, 1, 1};
    const int32_t classes[] = {2, 2, 2, 9};
    int32_t cuts[4];
    ASSERT_EQ(CepTTSFrontEnd_SplitPhrase(&f, syllables, classes, 4, cuts), 1);
    EXPECT_EQ(cuts[0], 2);
    const int32_t uneven[] = {2, 9, 2, 9};
    ASSERT_EQ(CepTTSFrontEnd_SplitPhrase(&f, syllables, uneven, 4, cuts), 1);
    EXPECT_EQ(cuts[0], 1);
    const int32_t one[] = {50};
    EXPECT_EQ(CepTTSFrontEnd_SplitPhrase(&f, one, classes, 1, cuts), 0);
}

// Rising classes cut each piece at its first word: a chain of cuts as long
// as the phrase.
TEST_F(PhraseSplitCuts, ALongChainOfCutsEndsEveryWordAlone)
{
    CepTTSFrontEnd f{};
    f.phraseMaxSyllables = 1;
    const int32_t n = 3000;
    std::vector<int32_t> syllables(n, 1), classes(n), cuts(n);
    for (int32_t k = 0; k < n; ++k)
        classes[k] = k;
    ASSERT_EQ(CepTTSFrontEnd_SplitPhrase(&f, syllables.data(), classes.data(), n, cuts.data()), n - 1);
    for (int32_t k = 0; k < n - 1; ++k)
        ASSERT_EQ(cuts[k], k + 1);
}

TEST_F(PhraseSplitCuts, PieceCostsDoNotWrap)
{
    uint8_t costs[] = {0, 0, 0, 0, 0};
    CepTTSFrontEnd f{};
    f.phraseCostLength = 4;
    f.phraseCosts = costs;
    f.phraseCostSlope = 1 << 30;
    f.pieceCostWeight = 16;
    f.phraseSplitSyllables = 4;
    const int32_t syllables[] = {3, 3, 3};
    const int32_t classes[] = {0, 0, 0};
    int32_t cuts[3];
    // Any piece over four syllables costs above 2^30: every word alone.
    ASSERT_EQ(CepTTSFrontEnd_SplitPhrase(&f, syllables, classes, 3, cuts), 2);
    EXPECT_EQ(cuts[0], 1);
    EXPECT_EQ(cuts[1], 2);
}

} // namespace
