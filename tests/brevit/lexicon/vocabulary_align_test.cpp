#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <algorithm>

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

    // The right-to-left pass as a walk: at each end the longest word (the
    // lowest id among equals) whose forms end both texts there, until none
    // does; what is left before it is one entry. For phrases no word starts.
    std::vector<Aligned> walkFromRight(const std::u16string& surface, const std::u16string* spoken)
    {
        Voc* voc = m_fixture->voc();
        auto space = [](char16_t c) { return DVKUnicode_IsSpace(c); };
        auto back = [&](const std::u16string& t, int32_t at) {
            while (at > 0 && space(t[static_cast<size_t>(at - 1)]))
                --at;
            return at;
        };
        int32_t begin = 0;
        while (begin < static_cast<int32_t>(surface.size()) && space(surface[static_cast<size_t>(begin)]))
            ++begin;
        int32_t e = back(surface, static_cast<int32_t>(surface.size()));
        int32_t q = spoken != nullptr ? back(*spoken, static_cast<int32_t>(spoken->size())) : 0;
        std::vector<Aligned> found;
        const int32_t longest = Voc_GetMaxSurfaceFormLength(voc);
        for (bool moved = true; moved && e > begin;) {
            moved = false;
            for (int32_t length = std::min(longest, e - begin); length >= 1 && !moved; --length) {
                const std::u16string word = surface.substr(static_cast<size_t>(e - length), static_cast<size_t>(length));
                std::vector<VocId> ids(64);
                const int32_t n = Voc_GetMatches(voc, VocabularyFixture::units(word), 0, 1, 0, 64, ids.data());
                ids.resize(static_cast<size_t>(std::min(n, 64)));
                std::sort(ids.begin(), ids.end());
                for (VocId id : ids) {
                    std::vector<uint16_t> a(64, 0), b(64, 0);
                    Voc_GetOrthography(voc, id, a.data(), b.data());
                    const int32_t k = spoken != nullptr ? DVKUnicode_Length(b.data()) : 0;
                    if (spoken != nullptr &&
                        (k < 1 || q - k < 0 ||
                         spoken->compare(static_cast<size_t>(q - k), static_cast<size_t>(k),
                                         reinterpret_cast<const char16_t*>(b.data())) != 0))
                        continue;
                    found.push_back({id, e - length, length, spoken != nullptr ? q - k : 0, k});
                    e = back(surface, e - length);
                    q = spoken != nullptr ? back(*spoken, q - k) : 0;
                    moved = true;
                    break;
                }
            }
        }
        std::reverse(found.begin(), found.end());
        if (e > begin) {
            int32_t p = 0;
            while (spoken != nullptr && p < q && space((*spoken)[static_cast<size_t>(p)]))
                ++p;
            found.insert(found.begin(), {kVocNoId, begin, e - begin, p, spoken != nullptr ? q - p : 0});
        }
        return found;
    }
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

// Phrases whose first word is unknown are aligned from the right: the table
// of reached cells gives what the walk gives wherever the walk never gets
// stuck, and leaves less uncovered where it would.
TEST_F(AlignTest, FromTheRightTheTableAgreesWithTheWalkAndGoesOnWhereItStops)
{
    fixture({{u"New", u"new", {"N UW"}, true},
             {u"York", u"york", {"Y AO R K"}, true},
             {u"City", u"city", {"S IH T IY"}, true},
             {u"New York", u"new york", {"N UW Y AO R K"}, true},
             {u"a b", u"a b", {"AA B"}, true},
             {u"b c", u"b c", {"B S"}, true},
             {u"c", u"c", {"S"}, true},
             {u"york", u"york", {"Y AO R K"}, true}});
    const struct {
        std::u16string surface, spoken;
        bool walkStops;
    } rows[] = {
        {u"Ipswich New York City", u"ipswich new york city", false},
        {u"Ipswich  York  City ", u"ipswich york  city", false},
        {u"Ipswich york", u"ipswich york", false},
        {u"Zed c c c", u"zed c c c", false},
        {u"Zed City", u"zed", false},
        {u"Zed", u"zed", false},
        {u"Zed a b c", u"zed a b c", true},
        {u"Zed New a b c", u"zed new a b c", true},
    };
    for (const auto& row : rows) {
        for (const std::u16string* spoken : {&row.spoken, static_cast<const std::u16string*>(nullptr)}) {
            const std::string what = std::string(row.surface.begin(), row.surface.end()) + (spoken ? " spoken" : "");
            const std::vector<Aligned> table = align(row.surface, spoken, 1, 16);
            const std::vector<Aligned> walk = walkFromRight(row.surface, spoken);
            if (!row.walkStops) {
                EXPECT_EQ(table, walk) << what;
                continue;
            }
            ASSERT_FALSE(table.empty()) << what;
            ASSERT_FALSE(walk.empty()) << what;
            EXPECT_EQ(table.front().id, kVocNoId) << what;
            EXPECT_LT(table.front().surfaceLength, walk.front().surfaceLength) << what;
        }
    }
    // "a b" then "c" where the walk takes "b c" and finds nothing for "a".
    const std::u16string spoken = u"zed a b c";
    EXPECT_EQ(align(u"Zed a b c", &spoken, 1, 16),
              (std::vector<Aligned>{{kVocNoId, 0, 3, 0, 3}, {w(u"a b", u"a b"), 4, 3, 4, 3}, {w(u"c", u"c"), 8, 1, 8, 1}}));
    EXPECT_EQ(walkFromRight(u"Zed a b c", &spoken),
              (std::vector<Aligned>{{kVocNoId, 0, 5, 0, 5}, {w(u"b c", u"b c"), 6, 3, 6, 3}}));
}

}  // namespace
