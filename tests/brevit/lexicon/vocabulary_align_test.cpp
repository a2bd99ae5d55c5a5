#include "tests/brevit/lexicon/vocabulary_test_base.h"

namespace {

struct Aligned {
    VocId id;
    int32_t surfaceStart, surfaceLength, spokenStart, spokenLength;
    bool operator==(const Aligned&) const = default;
};

class AlignTest : public VocabularyTest {
protected:
    Voc* build(uint32_t candidateMode = 0)
    {
        VocabularyFixture::Options o;
        o.params = {{kBrevitParamCandidateMode, candidateMode}};
        return fixture({{u"New", u"new", {"N UW"}, true},
                        {u"York", u"york", {"Y AO R K"}, true},
                        {u"City", u"city", {"S IH T IY"}, true},
                        {u"New York", u"new york", {"N UW Y AO R K"}, true}},
                       o)
            .voc();
    }

    std::vector<Aligned> align(const std::u16string& surface, const std::u16string* spoken, int32_t keep = 1,
                               int32_t max = 8, bool alias = false, int32_t* result = nullptr)
    {
        std::vector<VocId> ids(static_cast<size_t>(max) + 1);
        std::vector<int32_t> a(ids.size()), b(ids.size()), c(ids.size()), d(ids.size());
        const uint16_t* sp = spoken != nullptr ? VocabularyFixture::units(*spoken) : nullptr;
        const int32_t n = (alias ? Voc_MakeSpokenPhraseActive : Voc_AlignSpokenPhrase)(
            m_fixture->voc(), VocabularyFixture::units(surface), sp, keep, 0, max, ids.data(), a.data(), b.data(),
            c.data(), d.data());
        if (result != nullptr)
            *result = n;
        std::vector<Aligned> out;
        for (int32_t k = 0; k < n; ++k)
            out.push_back({ids[k], a[k], b[k], c[k], d[k]});
        return out;
    }

    VocId w(const std::u16string& s, const std::u16string& p) { return m_fixture->id(s, p); }
};

TEST_F(AlignTest, UncoveredMiddleBecomesOneEntryBetweenBothPasses)
{
    build();
    const std::u16string spoken = u"new ipswich city";
    int32_t n = 0;
    const std::vector<Aligned> expected = {
        {w(u"New", u"new"), 0, 3, 0, 3}, {kVocNoId, 4, 7, 4, 7}, {w(u"City", u"city"), 12, 4, 12, 4}};
    EXPECT_EQ(align(u"New Ipswich City", &spoken, 1, 8, false, &n), expected);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(align(u"New Ipswich City", &spoken, 1, 2), (std::vector<Aligned>{expected[1], expected[2]}));
    EXPECT_EQ(align(u"New Ipswich City", &spoken, 0, 2), (std::vector<Aligned>{expected[0], expected[1]}));
    // Both texts covered from the left: the two-word word where it fits.
    const std::u16string whole = u"new york city";
    EXPECT_EQ(align(u"New York City", &whole),
              (std::vector<Aligned>{{w(u"New York", u"new york"), 0, 8, 0, 8}, {w(u"City", u"city"), 9, 4, 9, 4}}));
}

TEST_F(AlignTest, WithTheCandidateWordSetTheMiddleIsLookedUpAsOneWord)
{
    build(1);
    const std::u16string spoken = u"new ipswich city";
    const std::vector<Aligned> got = align(u"New Ipswich City", &spoken);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1], (Aligned{kVocNoId, 4, 7, 4, 7}));
}

TEST_F(AlignTest, WithoutSpokenTextTheFirstMatchAtEachStartIsTaken)
{
    build();
    const std::vector<Aligned> got = align(u"New York City", nullptr);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (Aligned{w(u"New", u"new"), 0, 3, 0, 0}));
    EXPECT_EQ(got[1], (Aligned{w(u"York", u"york"), 4, 4, 0, 0}));
    EXPECT_EQ(got[2], (Aligned{w(u"City", u"city"), 9, 4, 0, 0}));
    EXPECT_EQ(align(u"New York City", nullptr, 1, 8, true), got);
}

}  // namespace
