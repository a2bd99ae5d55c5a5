// The pronunciation cache against the uncached answers of the vocabulary and
// the acoustic model, for every index kind, with and without phonemes and in
// single-unit mode; page and index edges; the stored form round-tripped with
// equal checksums and damaged records refused with the cache unchanged;
// allocation failure in turn.
#include "core/brevit/lexicon/pron_cache.h"

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "tests/brevit/lexicon/pron_cache_fixture.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <map>

namespace {

struct Kind {
    const char* name;
    int32_t hash;
    int32_t byId;
    int32_t keepPhonemes;
    bool singleUnit;
};

const Kind kKinds[] = {
    {"by id", 0, 1, 1, false},      {"by id, no phonemes", 0, 1, 0, false},
    {"hash", 1, 0, 1, false},       {"hash, no phonemes", 1, 0, 0, false},
    {"sorted", 0, 0, 1, false},     {"sorted, no phonemes", 0, 0, 0, false},
    {"single unit", 0, 0, 0, true},
};

// The unit length places after p, through the page table when p lies in a
// page (an entry's end mark may be the next page's first unit).
uint16_t unitAfter(uint16_t* const* pages, uint32_t inUse, const uint16_t* p, int32_t length)
{
    for (uint32_t k = 0; k < inUse; ++k)
        if (p >= pages[k] && p < pages[k] + 256) {
            const uint32_t at = k * 256 + static_cast<uint32_t>(p - pages[k]) + static_cast<uint32_t>(length);
            return pages[at >> 8][at & 255];
        }
    return p[length];
}

class PronCacheTest : public PronVocabularyTest {
protected:
    PronCache* create(VocabularyFixture& v, AM* am, const Kind& k)
    {
        v.params().words[kBrevitParamSingleUnitCache] = k.singleUnit ? 1 : 0;
        PronCache* c = PronCache_Create(0, k.hash, k.byId, k.keepPhonemes, 1, v.voc(), am);
        v.params().words[kBrevitParamSingleUnitCache] = 0;
        return c;
    }

    // The cache's answer for id equals the uncached one.
    void expectAnswer(PronCache* c, Voc* voc, AM* am, const Kind& k, uint16_t id)
    {
        SCOPED_TRACE("pron " + std::to_string(id));
        const Reference r = reference(voc, am, id);
        const uint16_t* phonemes = nullptr;
        const uint16_t* expanded = nullptr;
        int32_t length = -7;
        PronCache_GetPronInfo(c, id, &phonemes, &expanded, &length);
        if (k.singleUnit) {
            ASSERT_EQ(length, 1);
            ASSERT_NE(phonemes, nullptr);
            EXPECT_EQ(*phonemes, r.length > 0 ? r.phonemes[0] : 0xFFFF);
            EXPECT_EQ(PronCache_GetPron(c, id), 1u);
            return;
        }
        ASSERT_EQ(length, r.length);
        if (r.length < 0)
            return;
        ASSERT_NE(expanded, nullptr);
        EXPECT_EQ(std::vector<uint16_t>(expanded, expanded + length), r.expanded);
        EXPECT_EQ(unitAfter(c->expandedPages, c->expandedPagesInUse, expanded, length), 0xFFFF);
        if (k.keepPhonemes != 0 || phonemes != nullptr) {
            ASSERT_NE(phonemes, nullptr);
            EXPECT_EQ(std::vector<uint16_t>(phonemes, phonemes + length), r.phonemes);
            EXPECT_EQ(unitAfter(c->phonemePages, c->phonemePagesInUse, phonemes, length), 0xFFFF);
        }
        EXPECT_EQ(PronCache_GetPron(c, id), static_cast<uint32_t>(r.length));
        // Either pointer alone gives the same.
        const uint16_t* only = nullptr;
        int32_t onlyLength = -7;
        PronCache_GetPronInfo(c, id, nullptr, &only, &onlyLength);
        EXPECT_EQ(onlyLength, length);
        EXPECT_EQ(std::vector<uint16_t>(only, only + onlyLength), r.expanded);
    }
};

TEST_F(PronCacheTest, AnswersAsTheVocabularyUnderFrequentFlushes)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(150, 55));
    AM* am = model();
    ASSERT_NE(v.voc(), nullptr);
    ASSERT_NE(am, nullptr);
    const int32_t entries = Voc_GetNumActiveEntries(v.voc());
    ASSERT_GT(entries, 150);
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        PronCache* c = create(v, am, k);
        ASSERT_NE(c, nullptr);
        // A fresh cache answers from the vocabulary and holds nothing.
        expectAnswer(c, v.voc(), am, k, 3);
        ASSERT_EQ(PronCache_Reserve(c, 40, 500), 1);
        std::mt19937 random(7);
        uint32_t flushes = 0;
        uint32_t before = 0;
        for (int q = 0; q < 4000; ++q) {
            uint16_t id = static_cast<uint16_t>(random() % static_cast<uint32_t>(entries + 30));
            if (q % 97 == 0)
                id = static_cast<uint16_t>(65000 + random() % 536);   // past every table
            expectAnswer(c, v.voc(), am, k, id);
            if (c->count < before)
                ++flushes;
            before = c->count;
            if (HasFatalFailure())
                return;
        }
        if (!k.singleUnit) {
            EXPECT_GT(flushes, 10u);
        }
        PronCache_Delete(c);
    }
}

TEST_F(PronCacheTest, CachesUpTo255IdsAndStartsEntriesWhereTheyFitOnePage)
{
    std::vector<vocabulary_fixture::WordSpec> words = pron_cache_fixture::randomWords(20, 3);
    auto longPron = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += (i > 0 ? " " : "") + std::string(i % 2 != 0 ? "AA" : "EH");
        return s;
    };
    words.push_back({u"zlong", u"", {longPron(255), longPron(256), longPron(6), longPron(5)}, true});
    VocabularyFixture& v = vocabulary(words);
    AM* am = model();
    ASSERT_NE(v.voc(), nullptr);
    uint16_t ids[4] = {};
    // The long word's prons are the last four.
    const int32_t last = Voc_GetNumActiveEntries(v.voc());
    for (int k = 0; k < 4; ++k)
        ids[k] = static_cast<uint16_t>(last - 3 + k);
    ASSERT_EQ(reference(v.voc(), am, ids[0]).length, 255);
    ASSERT_EQ(reference(v.voc(), am, ids[1]).length, 256);
    for (const Kind& k : kKinds) {
        if (k.singleUnit)
            continue;
        SCOPED_TRACE(k.name);
        PronCache* c = create(v, am, k);
        ASSERT_EQ(PronCache_Reserve(c, 16, 2000), 1);
        expectAnswer(c, v.voc(), am, k, ids[0]);
        EXPECT_EQ(c->count, 1u);
        expectAnswer(c, v.voc(), am, k, ids[1]);
        EXPECT_EQ(c->count, 1u);
        // Fill at 250: six ids start the next page, five fit with the end
        // mark on unit 256.
        for (int six = 0; six < 2; ++six) {
            PronCache_Reset(c);
            c->fill = 250;
            const uint16_t id = ids[six == 0 ? 2 : 3];
            const uint16_t* expanded = nullptr;
            int32_t length = 0;
            PronCache_GetPronInfo(c, id, nullptr, &expanded, &length);
            if (six == 0) {
                EXPECT_EQ(expanded, c->expandedPages[1] + 1);
                EXPECT_EQ(c->fill, 256u + 8);
            } else {
                EXPECT_EQ(expanded, c->expandedPages[0] + 251);
                EXPECT_EQ(c->expandedPages[1][0], 0xFFFF);
                EXPECT_EQ(c->fill, 257u);
            }
            expectAnswer(c, v.voc(), am, k, id);
        }
        PronCache_Delete(c);
    }
}

TEST_F(PronCacheTest, HashLookupInAFullTableStopsAfterOneWrap)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(30, 4));
    AM* am = model();
    const Kind hash = kKinds[2];
    PronCache* c = create(v, am, hash);
    ASSERT_EQ(PronCache_Reserve(c, 256, 1000), 1);
    ASSERT_EQ(c->pairPagesInUse, 1u);
    for (uint32_t i = 0; i < 256; ++i)
        c->pairPages[0][i] = 1000 + i;   // ids nobody asks for, slot 0
    c->count = 256;
    expectAnswer(c, v.voc(), am, hash, 5);
    PronCache_Delete(c);
}

TEST_F(PronCacheTest, HashIndexGrowsToAPowerOfTwoAndKeepsItsEntries)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(400, 5, 3));
    AM* am = model();
    const Kind hash = kKinds[2];
    PronCache* c = create(v, am, hash);
    ASSERT_EQ(PronCache_Reserve(c, 300, 60000), 1);
    EXPECT_EQ(c->pairPagesInUse, 2u);
    for (uint16_t id = 0; id < 700; ++id)
        expectAnswer(c, v.voc(), am, hash, id);
    EXPECT_EQ(c->pairPagesInUse, 4u);
    const uint32_t count = c->count;
    for (uint16_t id = 0; id < 700; ++id)
        expectAnswer(c, v.voc(), am, hash, id);
    EXPECT_EQ(c->count, count);   // everything was found again
    PronCache_Delete(c);
}

TEST_F(PronCacheTest, ReserveOf65536SlotsWidensTheByIdTableEmpty)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(30, 6));
    AM* am = model();
    const Kind byId = kKinds[0];
    for (uint32_t slots : {65536u, 65300u}) {
        PronCache* c = create(v, am, byId);
        ASSERT_EQ(PronCache_Reserve(c, 0, 1000), 1);
        for (uint16_t id = 0; id < 20; ++id)
            expectAnswer(c, v.voc(), am, byId, id);
        EXPECT_EQ(c->wide, 0u);
        EXPECT_GT(c->count, 0u);
        ASSERT_EQ(PronCache_Reserve(c, 0, slots), 1);
        EXPECT_EQ(c->wide, 1u);
        EXPECT_EQ(c->count, 0u);
        for (uint32_t i = 0; i < c->byIdPagesInUse * 256; ++i)
            ASSERT_EQ(c->byIdPages32[i >> 8][i & 255], 0xFFFFFFFFu);
        for (uint16_t id = 0; id < 40; ++id)
            expectAnswer(c, v.voc(), am, byId, id);
        PronCache_Delete(c);
    }
}

// ---- the stored form ----------------------------------------------------

class PronCacheStoreTest : public PronCacheTest {
protected:
    std::string written(PronCache* c)
    {
        ArchiveFixture& a = archive();
        EXPECT_EQ(PronCache_WriteBinFile(c, a.tar(), nullptr), 1);
        a.finish();
        return subFileData(a.bytes());
    }

    ArchiveFixture& archive()
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("bpc" + std::to_string(m_archives.size()) + ".dvk"));
        return *m_archives.back();
    }

    // The data of the sub-file "bpc0".
    std::string subFileData(const std::string& image)
    {
        DVKTar* tar = archive().openMapped(image);
        DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, "bpc0");
        EXPECT_NE(sub, nullptr);
        if (sub == nullptr)
            return {};
        std::string data(DVKTar_SubFileGetSize(sub), '\0');
        EXPECT_EQ(DVKTar_SubFileRead(sub, data.data(), static_cast<int32_t>(data.size())),
                  static_cast<int32_t>(data.size()));
        DVKTar_SubFileClose(sub);
        return data;
    }

    // A cache of the kind, reserved, that has answered ids 0..ids-1.
    PronCache* answered(VocabularyFixture& v, AM* am, const Kind& k, uint32_t pairs, uint32_t slots, uint16_t ids)
    {
        PronCache* c = create(v, am, k);
        EXPECT_EQ(PronCache_Reserve(c, pairs, slots), 1);
        for (uint16_t id = 0; id < ids; ++id)
            expectAnswer(c, v.voc(), am, k, id);
        return c;
    }

    int32_t read(PronCache* c, const std::string& data)
    {
        std::string image;
        appendArchiveEntry(image, "bpc0", reinterpret_cast<const uint8_t*>(data.data()), data.size());
        ArchiveFixture& a = archive();
        return PronCache_ReadBinFile(c, a.openMapped(image), nullptr);
    }

    static uint32_t word(const std::string& data, size_t index)
    {
        uint32_t w = 0;
        std::memcpy(&w, data.data() + 4 * index, 4);
        return w;
    }
    static void setWord(std::string& data, size_t index, uint32_t value) { std::memcpy(data.data() + 4 * index, &value, 4); }

    // Byte offset of the k-th chunked array or array after the 17 words.
    static size_t arrayOffset(const std::string& data, int k)
    {
        size_t at = 17 * 4;
        for (int i = 0; i < k; ++i) {
            const uint32_t n = word(data, at / 4);
            const uint32_t elementSize = i == 2 ? 4 : 2;
            at += 4 + (i == 3 ? n : n * elementSize);
        }
        return at;
    }
};

struct StoredKind {
    Kind kind;
    uint32_t slots;
};

TEST_F(PronCacheStoreTest, RoundTripsEveryIndexKindAndWidthWithEqualChecksums)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(150, 8));
    AM* am = model();
    v.params().words[kBrevitParamSavePronCache] = 1;
    const StoredKind kinds[] = {{kKinds[0], 3000},  {kKinds[0], 65300}, {kKinds[0], 70000}, {kKinds[1], 3000},
                                {kKinds[2], 3000},  {kKinds[3], 65300}, {kKinds[4], 3000},  {kKinds[5], 3000},
                                {kKinds[6], 3000}};
    for (const StoredKind& s : kinds) {
        SCOPED_TRACE(std::string(s.kind.name) + " " + std::to_string(s.slots));
        PronCache* c = create(v, am, s.kind);
        ASSERT_EQ(PronCache_Reserve(c, 200, s.slots), 1);
        std::mt19937 random(9);
        for (int q = 0; q < 300; ++q)
            expectAnswer(c, v.voc(), am, s.kind, static_cast<uint16_t>(random() % 400));
        const std::string data = written(c);
        PronCache* back = create(v, am, s.kind);
        ASSERT_EQ(PronCache_Reserve(back, 200, s.slots), 1);
        ASSERT_EQ(read(back, data), 1);
        EXPECT_EQ(PronCache_ComputeCRC(back), PronCache_ComputeCRC(c));
        EXPECT_EQ(back->wide, c->wide);
        if (s.kind.byId != 0) {
            EXPECT_EQ(c->wide, s.slots > 65280 ? 1u : 0u);
        }
        const uint32_t count = back->count;
        for (uint16_t id = 0; id < 400; ++id)
            expectAnswer(back, v.voc(), am, s.kind, id);
        if (!s.kind.singleUnit) {
            EXPECT_GE(back->count, count);
        }
        // Also into a cache that was never reserved.
        PronCache* fresh = create(v, am, s.kind);
        ASSERT_EQ(read(fresh, data), 1);
        for (uint16_t id = 0; id < 400; id += 7)
            expectAnswer(fresh, v.voc(), am, s.kind, id);
        PronCache_Delete(fresh);
        PronCache_Delete(back);
        PronCache_Delete(c);
    }
}

TEST_F(PronCacheStoreTest, SavedFlagZeroLeavesTheCacheAlone)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(30, 10));
    AM* am = model();
    PronCache* c = create(v, am, kKinds[2]);
    ASSERT_EQ(PronCache_Reserve(c, 64, 1000), 1);
    for (uint16_t id = 0; id < 30; ++id)
        expectAnswer(c, v.voc(), am, kKinds[2], id);
    v.params().words[kBrevitParamSavePronCache] = 0;
    const std::string data = written(c);
    EXPECT_EQ(data.size(), 4u);
    const uint32_t crc = PronCache_ComputeCRC(c);
    EXPECT_EQ(read(c, data), 1);
    EXPECT_EQ(PronCache_ComputeCRC(c), crc);
    ArchiveFixture& empty = archive();
    empty.finish();
    EXPECT_EQ(PronCache_ReadBinFile(c, empty.openMapped(), nullptr), 0);
    PronCache_Delete(c);
}

TEST_F(PronCacheStoreTest, DamagedRecordsAreRefusedWithTheCacheUnchanged)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(60, 11));
    AM* am = model();
    v.params().words[kBrevitParamSavePronCache] = 1;
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        PronCache* c = answered(v, am, k, 300, 2000, 80);
        const std::string data = written(c);
        // The cache read into is another one with answers of its own.
        PronCache* target = create(v, am, k);
        ASSERT_EQ(PronCache_Reserve(target, 300, 2000), 1);
        for (uint16_t id = 40; id < 60; ++id)
            expectAnswer(target, v.voc(), am, k, id);
        const uint32_t crc = PronCache_ComputeCRC(target);
        auto refused = [&](const std::string& damaged, const std::string& what) {
            EXPECT_EQ(read(target, damaged), 0) << what;
            EXPECT_EQ(PronCache_ComputeCRC(target), crc) << what;
        };
        for (size_t cut = 4; cut < data.size(); cut += (cut < 80 ? 1 : 97))
            refused(data.substr(0, cut), "cut at " + std::to_string(cut));
        std::vector<std::pair<std::string, std::function<void(std::string&)>>> damage = {
            {"single-unit flag", [](std::string& d) { setWord(d, 1, word(d, 1) ^ 1); }},
            {"by-id flag", [](std::string& d) { setWord(d, 10, word(d, 10) ^ 1); }},
            {"phoneme flag", [](std::string& d) { setWord(d, 11, word(d, 11) ^ 1); }},
            {"pages above capacity", [](std::string& d) { setWord(d, 3, word(d, 3) + 1); }},
            {"huge capacity", [](std::string& d) { setWord(d, 2, 0x7FFFFFFF); }},
            {"pair pages miscounted", [](std::string& d) { setWord(d, 8, word(d, 8) + 1); }},
            {"N", [](std::string& d) { setWord(d, 14, word(d, 14) + 1); }},
            {"by-id pages miscounted", [](std::string& d) { setWord(d, 16, word(d, 16) + 1); }},
        };
        if (!k.singleUnit) {
            damage.push_back({"fill past the pages", [](std::string& d) { setWord(d, 6, 0x100000); }});
            damage.push_back({"entries below the fill", [](std::string& d) { setWord(d, 6, 3); }});
            // The first entry's length unit in the first kept table.
            const int table = k.keepPhonemes != 0 ? 0 : 1;
            damage.push_back({"length above 255", [table](std::string& d) {
                                  const size_t at = arrayOffset(d, table) + 4;
                                  d[at + 1] = static_cast<char>(0x01);
                              }});
            // The second entry (past the first's length, ids and end mark)
            // claims 255 ids, which would run off its page.
            damage.push_back({"ids across a page", [table](std::string& d) {
                                  const size_t at = arrayOffset(d, table) + 4;
                                  const size_t second = at + 2 * (static_cast<uint8_t>(d[at]) + 2);
                                  d[second] = static_cast<char>(255);
                                  d[second + 1] = 0;
                              }});
        }
        if (k.hash != 0)
            damage.push_back({"count differs from the pairs", [](std::string& d) { setWord(d, 13, word(d, 13) + 1); }});
        if (k.hash != 0)
            damage.push_back({"pages not a power of two", [](std::string& d) {
                                  setWord(d, 7, 3);
                                  setWord(d, 8, 3);
                              }});
        for (auto& [what, change] : damage) {
            std::string d = data;
            change(d);
            refused(d, what);
        }
        PronCache_Delete(target);
        PronCache_Delete(c);
    }
}

TEST_F(PronCacheStoreTest, EveryAllocationFailingLeavesAUsableCacheAndNoLeak)
{
    VocabularyFixture& v = vocabulary(pron_cache_fixture::randomWords(60, 12));
    AM* am = model();
    v.params().words[kBrevitParamSavePronCache] = 1;
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        PronCache* source = answered(v, am, k, 64, 1500, 60);
        const std::string data = written(source);
        // Each step runs as an engine call would: the vocabulary's scratch
        // memory raises when it runs out, which ends the step.
        auto step = [](auto&& body) { return DVKErr_Protect(body) == 0; };
        for (uint64_t n = 1;; ++n) {
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            PronCache* c = nullptr;
            step([&] { c = create(v, am, k); });
            bool done = false;
            if (c != nullptr) {
                int32_t reserved = 0;
                step([&] { reserved = PronCache_Reserve(c, 64, 1500); });
                for (uint16_t id = 0; id < 24; ++id)
                    step([&] { expectAnswer(c, v.voc(), am, k, id); });
                const uint32_t crc = PronCache_ComputeCRC(c);
                int32_t readBack = 0;
                const bool completed = step([&] { readBack = read(c, data); });
                if (completed && readBack == 0) {
                    EXPECT_EQ(PronCache_ComputeCRC(c), crc);
                }
                done = reserved == 1 && readBack == 1 && m_allocator.failures() == failures;
                m_allocator.failAt(0);
                for (uint16_t id = 0; id < 70; id += 3)
                    expectAnswer(c, v.voc(), am, k, id);
                PronCache_Delete(c);
            }
            m_allocator.failAt(0);
            ASSERT_LT(n, 400u);
            if (done)
                break;
        }
        PronCache_Delete(source);
    }
}

TEST(PhonemeStrings, LengthsAndNameChecksum)
{
    const uint16_t pron[] = {4, 0x7FFF, 2, 0xFFFF};
    EXPECT_EQ(Phoneme_GetPronLength(pron), 3u);
    EXPECT_EQ(Phoneme_StrLen(pron), 3u);
    EXPECT_EQ(Phoneme_GetExpandedPronLength(pron), 1u);
    const char* names[] = {"ab", ""};
    uint32_t crc = DVKCrc_AddValue(2, 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddArray("ab", 1, 3, crc);
    crc = DVKCrc_AddArray("", 1, 1, crc);
    EXPECT_EQ(Phoneme_NameCRC(names, 2), crc);
    EXPECT_EQ(Phoneme_NameCRC(nullptr, 0), DVKCrc_AddValue(0, 4, 0xFFFFFFFFu));
}

} // namespace
