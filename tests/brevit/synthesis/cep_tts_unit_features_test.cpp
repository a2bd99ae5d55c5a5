#include "tests/brevit/synthesis/front_end_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Features = std::array<uint8_t, kCepTTSFeatureCount>;

constexpr uint16_t kAccentClass = 7;

// A tree as nested lists, turned into the front end's arrays.
struct SyllableSpec {
    bool stress;
    bool accent;
    std::vector<uint16_t> phones;
};
struct WordSpec {
    uint16_t posClass;
    std::vector<SyllableSpec> syllables;
};
struct PhraseSpec {
    int32_t endType;
    std::vector<WordSpec> words;
};

CepTTSUnitTree* build(const std::vector<PhraseSpec>& spec)
{
    int64_t words = 0, syllables = 0, phones = 1;
    for (const PhraseSpec& p : spec) {
        ++phones;
        for (const WordSpec& w : p.words) {
            ++words;
            for (const SyllableSpec& y : w.syllables) {
                ++syllables;
                phones += static_cast<int64_t>(y.phones.size());
            }
        }
    }
    CepTTSUnitTree* t = CepTTSUnitTree_Create(static_cast<int64_t>(spec.size()), words, syllables, phones);
    int32_t f = 1;
    for (const PhraseSpec& p : spec) {
        CepTTSPhrase& phrase = t->phrases[++t->phraseCount];
        phrase = {p.endType, t->wordCount + 1, static_cast<int32_t>(p.words.size())};
        for (const WordSpec& w : p.words) {
            CepTTSWord& word = t->words[++t->wordCount];
            word.posClass = w.posClass;
            word.firstSyllable = t->syllableCount + 1;
            word.syllableCount = static_cast<int32_t>(w.syllables.size());
            word.firstPhone = f;
            for (const SyllableSpec& y : w.syllables) {
                CepTTSSyllable& s = t->syllables[++t->syllableCount];
                s = {static_cast<uint8_t>(y.accent), static_cast<uint8_t>(y.stress), f,
                     static_cast<int32_t>(y.phones.size())};
                for (uint16_t id : y.phones)
                    t->phones[f++] = id;
            }
            word.phoneCount = f - word.firstPhone;
        }
        t->phones[f++] = kCepTTSPause;
    }
    t->phoneCount = f;
    return t;
}

uint8_t count(int64_t v) { return v < 0 ? 255 : v >= 255 ? 254 : static_cast<uint8_t>(v); }
uint8_t id(uint32_t v) { return v >= 254 ? 254 : static_cast<uint8_t>(v); }

// Every unit's features counted straight from the nested lists.
std::vector<Features> reference(const std::vector<PhraseSpec>& spec)
{
    struct Unit {
        int32_t p, w, y, k;   // indices into the lists; -1 before the first
        bool pause;
    };
    std::vector<uint16_t> phones{0};
    std::vector<Unit> units{{-1, -1, -1, -1, true}};
    std::vector<std::pair<int32_t, int32_t>> wordAt;   // (phrase, word) by flat word index
    std::vector<const SyllableSpec*> syllableAt;
    std::vector<const WordSpec*> flatWords;
    for (int32_t p = 0; p < static_cast<int32_t>(spec.size()); ++p) {
        for (int32_t w = 0; w < static_cast<int32_t>(spec[p].words.size()); ++w) {
            flatWords.push_back(&spec[p].words[w]);
            for (int32_t y = 0; y < static_cast<int32_t>(spec[p].words[w].syllables.size()); ++y) {
                syllableAt.push_back(&spec[p].words[w].syllables[y]);
                for (int32_t k = 0; k < static_cast<int32_t>(spec[p].words[w].syllables[y].phones.size()); ++k) {
                    units.push_back({p, static_cast<int32_t>(flatWords.size()) - 1,
                                     static_cast<int32_t>(syllableAt.size()) - 1, k, false});
                    phones.push_back(spec[p].words[w].syllables[y].phones[k]);
                }
            }
        }
        units.push_back({p, static_cast<int32_t>(flatWords.size()) - 1, static_cast<int32_t>(syllableAt.size()) - 1,
                         -1, true});
        phones.push_back(0);
    }
    auto phraseSyllables = [&](int32_t p) {
        int64_t n = 0;
        if (p >= 0 && p < static_cast<int32_t>(spec.size()))
            for (const WordSpec& w : spec[p].words)
                n += static_cast<int64_t>(w.syllables.size());
        return n;
    };
    auto phraseWords = [&](int32_t p) {
        return p >= 0 && p < static_cast<int32_t>(spec.size()) ? static_cast<int64_t>(spec[p].words.size()) : 0;
    };
    const SyllableSpec none{};
    const WordSpec noWord{};
    auto syl = [&](int32_t y) -> const SyllableSpec& {
        return y >= 0 && y < static_cast<int32_t>(syllableAt.size()) ? *syllableAt[y] : none;
    };
    auto word = [&](int32_t w) -> const WordSpec& {
        return w >= 0 && w < static_cast<int32_t>(flatWords.size()) ? *flatWords[w] : noWord;
    };
    auto phone = [&](int64_t i) -> uint16_t {
        return i >= 0 && i < static_cast<int64_t>(phones.size()) ? phones[i] : 0;
    };
    const auto P = static_cast<int64_t>(spec.size());
    const auto S = static_cast<int64_t>(syllableAt.size());
    const auto W = static_cast<int64_t>(flatWords.size());
    std::vector<Features> out;
    for (size_t i = 0; i < units.size(); ++i) {
        const Unit& u = units[i];
        Features x{};
        x[0] = id(phone(static_cast<int64_t>(i) - 2));
        x[1] = id(phone(static_cast<int64_t>(i) - 1));
        x[3] = id(phone(static_cast<int64_t>(i) + 1));
        x[4] = id(phone(static_cast<int64_t>(i) + 2));
        x[50] = count(S);
        x[51] = count(W);
        x[52] = count(P);
        const SyllableSpec& Y = syl(u.y);
        const SyllableSpec& Y1 = syl(u.y + 1);
        const WordSpec& Wd = word(u.w);
        const WordSpec& W1 = word(u.w + 1);
        if (u.pause) {
            for (int b : {5, 6, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 31, 32, 33, 34, 35, 36,
                          37, 38, 43, 44})
                x[b] = 255;
            x[45] = 1;
            x[7] = Y.stress;
            x[8] = Y.accent;
            x[9] = count(static_cast<int64_t>(Y.phones.size()));
            x[26] = Y1.stress;
            x[27] = Y1.accent;
            x[28] = count(static_cast<int64_t>(Y1.phones.size()));
            x[29] = id(Wd.posClass);
            x[30] = count(static_cast<int64_t>(Wd.syllables.size()));
            x[39] = id(W1.posClass);
            x[40] = count(static_cast<int64_t>(W1.syllables.size()));
            x[41] = count(phraseSyllables(u.p));
            x[42] = count(phraseWords(u.p));
            x[46] = count(P);
            x[48] = u.p + 1 < P ? count(phraseSyllables(u.p + 1)) : 0;
            x[49] = u.p + 1 < P ? count(phraseWords(u.p + 1)) : 0;
            out.push_back(x);
            continue;
        }
        x[2] = id(phone(static_cast<int64_t>(i)));
        x[5] = count(u.k + 1);
        x[6] = count(static_cast<int64_t>(Y.phones.size()) - u.k);
        const SyllableSpec& Yb = syl(u.y - 1);
        x[7] = Yb.stress;
        x[8] = Yb.accent;
        x[9] = count(static_cast<int64_t>(Yb.phones.size()));
        x[10] = Y.stress;
        x[11] = Y.accent;
        x[12] = count(static_cast<int64_t>(Y.phones.size()));
        // The syllable's place in its word and phrase, by walking the lists.
        std::vector<const SyllableSpec*> inPhrase;
        int32_t inWord = -1, yInPhrase = -1;
        for (const WordSpec& w : spec[u.p].words)
            for (const SyllableSpec& y : w.syllables) {
                if (&y == &Y) {
                    yInPhrase = static_cast<int32_t>(inPhrase.size());
                    inWord = static_cast<int32_t>(&y - w.syllables.data());
                }
                inPhrase.push_back(&y);
            }
        x[13] = count(inWord + 1);
        x[14] = count(static_cast<int64_t>(Wd.syllables.size()) - inWord);
        x[15] = count(yInPhrase + 1);
        x[16] = count(static_cast<int64_t>(inPhrase.size()) - yInPhrase);
        for (int accent = 0; accent < 2; ++accent) {
            auto on = [&](int32_t k) { return accent ? inPhrase[k]->accent : inPhrase[k]->stress; };
            int64_t before = 0, after = 0, previous = 0, next = 0;
            for (int32_t k = 1; k < yInPhrase; ++k)
                before += on(k);
            for (int32_t k = yInPhrase + 1; k < static_cast<int32_t>(inPhrase.size()); ++k)
                after += on(k);
            for (int32_t k = 0; k < yInPhrase; ++k)
                if (on(k))
                    previous = yInPhrase - k;
            for (int32_t k = static_cast<int32_t>(inPhrase.size()) - 1; k > yInPhrase; --k)
                if (on(k))
                    next = k - yInPhrase;
            x[17 + 2 * accent] = count(1 + before);
            x[18 + 2 * accent] = count(1 + after);
            x[21 + 2 * accent] = count(previous);
            x[22 + 2 * accent] = count(next);
        }
        for (uint16_t ph : Y.phones)
            if (std::find(front_end_fixture::kVowels.begin(), front_end_fixture::kVowels.end(), ph) !=
                front_end_fixture::kVowels.end()) {
                x[25] = id(ph);
                break;
            }
        x[26] = Y1.stress;
        x[27] = Y1.accent;
        x[28] = count(static_cast<int64_t>(Y1.phones.size()));
        const WordSpec& Wb = word(u.w - 1);
        x[29] = id(Wb.posClass);
        x[30] = count(static_cast<int64_t>(Wb.syllables.size()));
        x[31] = id(Wd.posClass);
        x[32] = count(static_cast<int64_t>(Wd.syllables.size()));
        const std::vector<WordSpec>& pw = spec[u.p].words;
        const auto wIn = static_cast<int32_t>(&Wd - pw.data());
        x[33] = count(wIn + 1);
        x[34] = count(static_cast<int64_t>(pw.size()) - wIn);
        int64_t before = 0, after = 0, previous = 0, next = 0;
        for (int32_t k = 0; k < static_cast<int32_t>(pw.size()); ++k) {
            const bool c = pw[k].posClass == kAccentClass;
            before += c && k < wIn;
            after += c && k > wIn;
            if (c && k < wIn)
                previous = wIn - k;
            if (c && k > wIn && next == 0)
                next = k - wIn;
        }
        x[35] = count(1 + before);
        x[36] = count(after);
        x[37] = count(previous);
        x[38] = count(next);
        x[39] = id(W1.posClass);
        x[40] = count(static_cast<int64_t>(W1.syllables.size()));
        x[41] = count(phraseSyllables(u.p - 1));
        x[42] = count(phraseWords(u.p - 1));
        x[43] = count(phraseSyllables(u.p));
        x[44] = count(phraseWords(u.p));
        x[45] = count(u.p + 1);
        x[46] = count(P - u.p);
        x[47] = spec[u.p].endType == 1 || spec[u.p].endType == 2 ? static_cast<uint8_t>(spec[u.p].endType) : 0;
        x[48] = u.p + 1 < P ? count(phraseSyllables(u.p + 1)) : 0;
        x[49] = u.p + 1 < P ? count(phraseWords(u.p + 1)) : 0;
        out.push_back(x);
    }
    return out;
}

class UnitFeatures : public FrontEndTest {
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        m_frontEnd.phones = &m_phones;
        m_frontEnd.accentClass = kAccentClass;
    }

    // Walks the tree: every unit's features, then a call that answers 0 and
    // writes nothing.
    std::vector<Features> walk(CepTTSUnitTree* tree)
    {
        CepTTSUnits units{};
        units.tree = tree;
        std::vector<Features> out;
        Features x{};
        while (CepTTSFrontEnd_GetUnitFeatures(&m_frontEnd, &units, x.data()) == 1) {
            out.push_back(x);
            if (out.size() > 10000)
                break;
        }
        EXPECT_EQ(CepTTSUnits_IsFinished(&units), 1);
        Features untouched;
        untouched.fill(0xEE);
        Features after = untouched;
        EXPECT_EQ(CepTTSFrontEnd_GetUnitFeatures(&m_frontEnd, &units, after.data()), 0);
        EXPECT_EQ(after, untouched);
        CepTTSUnitTree_Delete(tree);
        return out;
    }

    CepTTSFrontEnd m_frontEnd{};
};

std::vector<PhraseSpec> randomTree(std::mt19937& random)
{
    auto below = [&](uint32_t n) { return static_cast<int32_t>(random() % n); };
    std::vector<PhraseSpec> spec(1 + below(4));
    for (PhraseSpec& p : spec) {
        p.endType = below(4);
        p.words.resize(1 + below(5));
        for (WordSpec& w : p.words) {
            w.posClass = below(3) == 0 ? kAccentClass : static_cast<uint16_t>(below(300));
            w.syllables.resize(1 + below(3));
            for (SyllableSpec& y : w.syllables) {
                y.stress = below(2) == 0;
                y.accent = y.stress && below(2) == 0;
                y.phones.resize(1 + below(4));
                for (uint16_t& ph : y.phones)
                    ph = below(4) == 0 ? front_end_fixture::kVowels[below(8)] : static_cast<uint16_t>(1 + below(300));
            }
        }
    }
    return spec;
}

TEST_F(UnitFeatures, RandomTreesAsCountedFromTheTree)
{
    std::mt19937 random(104);
    for (int32_t trial = 0; trial < 500; ++trial) {
        const std::vector<PhraseSpec> spec = randomTree(random);
        const std::vector<Features> expected = reference(spec);
        const std::vector<Features> got = walk(build(spec));
        ASSERT_EQ(got.size(), expected.size()) << trial;
        for (size_t u = 0; u < got.size(); ++u)
            for (int32_t b = 0; b < kCepTTSFeatureCount; ++b)
                ASSERT_EQ(got[u][b], expected[u][b]) << "trial " << trial << " unit " << u << " byte " << b;
    }
}

TEST_F(UnitFeatures, OneSyllableOneWord)
{
    const std::vector<Features> got = walk(build({{2, {{kAccentClass, {{true, true, {5, 3}}}}}}}));
    ASSERT_EQ(got.size(), 4u);   // opening pause, two phones, final pause
    Features pause{};
    std::copy(sPauseFeatures, sPauseFeatures + kCepTTSFeatureCount, pause.begin());
    EXPECT_EQ(got[0][2], 0);
    EXPECT_EQ(got[0][3], 5);
    EXPECT_EQ(got[0][0], 0);   // no neighbour before the opening pause
    for (const Features* f : {&got[1], &got[2]}) {
        EXPECT_EQ((*f)[13], 1);
        EXPECT_EQ((*f)[15], 1);
        EXPECT_EQ((*f)[25], 3);
        EXPECT_EQ((*f)[47], 2);
    }
    EXPECT_EQ(got[3][4], 0);   // nor after the final pause
    EXPECT_EQ(got[3][45], 1);
}

TEST_F(UnitFeatures, OnlyTheFirstSyllableStressed)
{
    std::vector<PhraseSpec> spec{{1, {{1, {{true, false, {5}}, {false, false, {6}}}}, {1, {{false, false, {7}}}}}}};
    const std::vector<Features> got = walk(build(spec));
    // Units: pause, then syllables 1, 2, 3 of the phrase.
    for (int32_t y = 2; y <= 3; ++y) {
        EXPECT_EQ(got[static_cast<size_t>(y)][17], 1) << y;
        EXPECT_EQ(got[static_cast<size_t>(y)][21], y - 1) << y;
    }
    EXPECT_EQ(got[1][21], 0);
}

TEST_F(UnitFeatures, IdsAndCountsAreCapped)
{
    std::vector<SyllableSpec> many(300, SyllableSpec{false, false, {7}});
    many[0].phones = {300};
    const std::vector<Features> got = walk(build({{2, {{300, many}}}}));
    EXPECT_EQ(got[1][2], 254);
    EXPECT_EQ(got[1][31], 254);
    EXPECT_EQ(got[1][32], 254);
    EXPECT_EQ(got[1][14], 254);
}

} // namespace
