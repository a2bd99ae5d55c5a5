#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "tests/brevit/lexicon/word_store_test.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using WordStoreText = WordStoreTest;

std::vector<uint32_t> sorted(std::vector<uint32_t> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<uint32_t> matches(const MWLDynamic* s, const std::u16string& text, bool byCase, int32_t size = 16)
{
    std::vector<uint32_t> ids(static_cast<size_t>(std::max(size, 1)), 0);
    const int32_t code = byCase ? MWLCode_GetCode(units(text)) : 0;
    const int32_t n = MWLDynamic_GetMatches(s, units(text), code, ids.data(), size, 1);
    ids.resize(static_cast<size_t>(std::min(n, size)));
    return sorted(ids);
}

std::u16string surfaceOf(const MWLDynamic* s, uint32_t id)
{
    std::vector<uint16_t> out(static_cast<size_t>(s->maxima.surface) + 1, 0xEEEE);
    if (MWLDynamic_GetSurfaceAndSpokenForms(s, id, out.data(), nullptr, nullptr) != 1)
        return u"(none)";
    EXPECT_EQ(out.back(), 0xEEEE);
    return reinterpret_cast<const char16_t*>(out.data());
}

std::u16string spokenOf(const MWLDynamic* s, uint32_t id)
{
    std::vector<uint16_t> out(static_cast<size_t>(s->maxima.spoken) + 2, 0xEEEE);
    MWLDynamic_GetSurfaceAndSpokenForms(s, id, nullptr, nullptr, out.data());
    EXPECT_EQ(out.back(), 0xEEEE);
    return reinterpret_cast<const char16_t*>(out.data());
}

TEST_F(WordStoreText, WordsAreFoundByTheirFormsAndCase)
{
    MWLDynamic* s = create();
    const uint32_t River = add(s, u"River", {{5}});
    const uint32_t river = add(s, u"river", {{5}});
    const uint32_t eBook = add(s, u"eBook", {{5}});
    const uint32_t newYork = add(s, u"New York", {{5}}, u"new york");
    const uint32_t rsvp = add(s, u"RSVP", {{5}}, u"r s v p");

    EXPECT_EQ(MWLDynamic_GetId(s, units(u"River"), nullptr), River);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"river"), nullptr), river);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"eBook"), nullptr), eBook);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"ebook"), nullptr), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"RIVER"), nullptr), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"New York"), units(u"new york")), newYork);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"New York"), nullptr), kMWLDynamicNoWord);

    EXPECT_EQ(matches(s, u"river", false), (std::vector<uint32_t>{River, river}));
    EXPECT_EQ(matches(s, u"river", true), std::vector<uint32_t>{river});
    EXPECT_EQ(matches(s, u"River", true), std::vector<uint32_t>{River});
    EXPECT_EQ(matches(s, u"RIVER", true), std::vector<uint32_t>{});
    EXPECT_EQ(matches(s, u"EBOOK", false), std::vector<uint32_t>{eBook});
    EXPECT_EQ(matches(s, u"ebook", true), std::vector<uint32_t>{});
    EXPECT_EQ(matches(s, u"eBook", true), std::vector<uint32_t>{eBook});
    EXPECT_EQ(matches(s, u"rsvp", true), std::vector<uint32_t>{});
    EXPECT_EQ(matches(s, u"rsvp", false), std::vector<uint32_t>{rsvp});
    EXPECT_EQ(matches(s, u"river", false, 1).size(), 1u) << "the stop flag ends at the size";
    uint32_t none = 0;
    EXPECT_EQ(MWLDynamic_GetMatches(s, units(u"river"), 0, &none, 0, 0), 2) << "counting without writing";

    std::vector<uint32_t> ids(8, 0);
    int32_t n = MWLDynamic_GetMatchesAtStart(s, units(u"riverside"), 3, ids.data(), 8);
    ids.resize(static_cast<size_t>(n));
    EXPECT_EQ(sorted(ids), (std::vector<uint32_t>{River, river}));
    EXPECT_EQ(MWLDynamic_GetMatchesAtStart(s, units(u"riverside"), 6, ids.data(), 8), 0);
    EXPECT_EQ(MWLDynamic_GetMatchesAtStart(s, units(u"rive"), 1, ids.data(), 8), 0);
    EXPECT_EQ(MWLDynamic_GetMatchesAtStart(s, units(u"riverside"), 3, ids.data(), 1), 1);

    EXPECT_EQ(MWLDynamic_GetIdsFromSpoken(s, units(u"r s v p"), ids.data(), 8, 0), 1);
    EXPECT_EQ(ids[0], rsvp);
    EXPECT_EQ(MWLDynamic_GetIdsFromSpoken(s, units(u""), ids.data(), 8, 0), 3);
    EXPECT_EQ(MWLDynamic_GetIdsFromSpoken(s, units(u""), ids.data(), 1, 0), 1);
    EXPECT_EQ(MWLDynamic_GetIdsFromSpoken(s, units(u""), ids.data(), 0, 1), 3);
    EXPECT_EQ(MWLDynamic_GetIdsFromSpoken(s, units(u""), ids.data(), 0, 0), 0);

    EXPECT_EQ(surfaceOf(s, River), u"River");
    EXPECT_EQ(surfaceOf(s, eBook), u"eBook");
    EXPECT_EQ(surfaceOf(s, newYork), u"New York");
    EXPECT_EQ(spokenOf(s, newYork), u"new york");
    EXPECT_EQ(surfaceOf(s, 99), u"(none)");
    uint8_t key[16];
    MWLDynamic_GetSurfaceAndSpokenForms(s, River, nullptr, key, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(key), "river");
    EXPECT_EQ(s->maxima.surface, 9);
    EXPECT_EQ(s->maxima.spoken, 8);
    EXPECT_EQ(m_maxSurface, 9);
}

TEST_F(WordStoreText, CompactAndCaselessTextsComeBackAsWritten)
{
    struct Row {
        int32_t encoding;
        const char* language;
        int32_t exact;
        std::u16string surface;
        std::u16string spoken;
    };
    const Row rows[] = {
        {3, "ruru", 1, u"Дом", u""},           {3, "RURU", 1, u"ДОМ Книги", u"дом"},
        {2, "dede", 1, u"Straße", u"strasse"},  {3, "jajp", 0, u"愛", u"あい"},
        {4, "thth", 1, u"ไทย", u"ไทย"},         {1, "enus", 1, u"Zoë", u"zoe"},
    };
    for (const Row& row : rows) {
        MWLDynamic* s = create({.exactText = row.exact, .encoding = row.encoding, .language = row.language});
        const uint32_t id = add(s, row.surface, {{5}}, row.spoken.c_str());
        ASSERT_NE(id, kMWLDynamicNoWord) << row.language;
        EXPECT_EQ(surfaceOf(s, id), row.surface) << row.language;
        EXPECT_EQ(spokenOf(s, id), row.spoken) << row.language;
        EXPECT_EQ(MWLDynamic_GetId(s, units(row.surface), units(row.spoken)), id) << row.language;
        std::vector<uint16_t> text(32, 0);
        ASSERT_EQ(MWLDynamic_GetPronText(s, 0, text.data(), 32), 1);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text.data())),
                  row.spoken.empty() ? row.surface : row.spoken);
        EXPECT_EQ(MWLDynamic_GetPronText(s, 0, text.data(), 2), 0) << "no room";
        destroy(s);
    }
}

TEST_F(WordStoreText, ASurfaceWithoutAFormInTheEncodingIsRefused)
{
    MWLDynamic* s = create({.encoding = 1});
    const uint32_t crc = MWLDynamic_ComputeCRC(s);
    EXPECT_EQ(add(s, u"дом", {{5}}), kMWLDynamicNoWord);
    EXPECT_EQ(add(s, u"dom", {{5}}, u"дом"), kMWLDynamicNoWord);
    EXPECT_EQ(MWLDynamic_ComputeCRC(s), crc);
    EXPECT_EQ(MWLDynamic_GetId(s, units(u"дом"), nullptr), kMWLDynamicNoWord);
    uint32_t ids[2];
    EXPECT_EQ(MWLDynamic_GetMatches(s, units(u"дом"), 0, ids, 2, 1), 0);
}

// Adds and removes at random against a plain list of the words: every
// lookup answers what a scan of the list gives.
TEST_F(WordStoreText, LookupsAgreeWithAScanThroughAddsAndRemovals)
{
    struct Word {
        uint32_t id;
        std::u16string surface;
        std::u16string spoken;
    };
    MWLDynamic* s = create({.marker = 99});
    std::vector<Word> words;
    std::mt19937 random(7);
    const std::u16string letters = u"abAB é";
    auto text = [&](size_t most) {
        std::u16string t;
        for (size_t n = 1 + random() % most; n > 0; --n)
            t += letters[random() % letters.size()];
        return t;
    };
    auto lower = [](std::u16string t) {
        for (char16_t& c : t)
            c = static_cast<char16_t>(DVKUnicode_ToLower(c));
        return t;
    };
    for (int step = 0; step < 600; ++step) {
        if (!words.empty() && random() % 3 == 0) {
            const size_t k = random() % words.size();
            int32_t freed = 0;
            ASSERT_EQ(MWLDynamic_RemoveWord(s, words[k].id, &freed), 1);
            words.erase(words.begin() + static_cast<long>(k));
            continue;
        }
        Word w{0, text(4), random() % 2 == 0 ? u"" : text(3)};
        w.id = add(s, w.surface, {{5, static_cast<uint16_t>(random() % 50)}}, w.spoken.c_str());
        ASSERT_NE(w.id, kMWLDynamicNoWord);
        words.push_back(w);
    }
    for (const Word& w : words) {
        std::set<uint32_t> same;
        std::vector<uint32_t> folded;
        std::vector<uint32_t> bySpoken;
        for (const Word& v : words) {
            if (v.surface == w.surface && v.spoken == w.spoken)
                same.insert(v.id);
            if (lower(v.surface) == lower(w.surface))
                folded.push_back(v.id);
            if (v.spoken == w.spoken)
                bySpoken.push_back(v.id);
        }
        EXPECT_TRUE(same.count(MWLDynamic_GetId(s, units(w.surface), units(w.spoken))) == 1);
        EXPECT_EQ(matches(s, w.surface, false, 600), sorted(folded));
        std::vector<uint32_t> ids(600, 0);
        const int32_t n = MWLDynamic_GetIdsFromSpoken(s, units(w.spoken), ids.data(), 600, 0);
        ids.resize(static_cast<size_t>(n));
        EXPECT_EQ(ids, sorted(bySpoken)) << "in record order";
        EXPECT_EQ(surfaceOf(s, w.id), w.surface);
        EXPECT_EQ(spokenOf(s, w.id), w.spoken);
    }
    // The text order is sorted and lists every word once.
    ASSERT_EQ(s->textOrderCount, words.size());
    for (uint32_t pos = 1; pos < s->textOrderCount; ++pos) {
        const uint32_t mark = DVKTempMem_GetMark();
        const uint8_t* key = mwlCopyString(s->texts, mwlRecord(s, mwlAt<uint16_t>(s->textOrder, pos)).textOffset);
        EXPECT_LE(mwlCompareString(s->texts, mwlRecord(s, mwlAt<uint16_t>(s->textOrder, pos - 1)).textOffset, key, 64), 0);
        DVKTempMem_ReleaseToMark(mark);
    }
}

} // namespace
