#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "tests/brevit/lexicon/word_store_test.h"
#include "tests/support/archive_fixture.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kNone = kMWLDynamicNoPhoneme;

// Where the parts of a written "bmd1" are: header word i at 4 i, then each
// array's count word (the position kept here) and its elements.
struct Bmd1 {
    std::string bytes;
    size_t records = 0;
    size_t textOrder = 0;
    size_t classBytes = 0;
    size_t texts = 0;
    size_t prons = 0;
    size_t types = 0;
    size_t recency = 0;
    size_t markers = 0;
    size_t recogCounts = 0;
    size_t slotCounts = 0;
    size_t pool = 0;
    size_t offsets = 0;

    // Header words.
    enum : size_t {
        kSignature = 0, kKeep = 1, kRecordChunks = 2, kRecordCapacity = 3, kRecordCount = 4,
        kHighestId = 5, kTextOrderCount = 8, kTextChunks = 11, kTextUsed = 13, kPronChunks = 14, kPronUsed = 16, kMaxSurface = 17,
        kTypeChunks = 24, kTypeCapacity = 25, kClock = 28, kMarker = 29, kSlots = 32, kRecogs = 33,
        kPoolUsed = 34, kPoolCapacity = 35, kHighestSlot = 36, kExact = 37, kHeaderWords = 38
    };

    uint32_t at(size_t offset) const
    {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + offset, 4);
        return v;
    }
    void set(size_t offset, uint32_t v) { std::memcpy(bytes.data() + offset, &v, 4); }
    uint32_t word(size_t i) const { return at(4 * i); }
    void setWord(size_t i, uint32_t v) { set(4 * i, v); }
    // Record k's field f (0 text offset, 1 pron offset, 2 id).
    size_t record(uint32_t k, int f) const { return records + 4 + 12 * k + 4 * static_cast<size_t>(f); }

    explicit Bmd1(std::string b) : bytes(std::move(b))
    {
        size_t p = 4 * kHeaderWords;
        records = p;
        p += 4 + 12 * static_cast<size_t>(at(p)) + 4;
        auto next = [&](size_t elementSize) {
            const size_t start = p;
            p += 4 + elementSize * at(p);
            return start;
        };
        textOrder = next(2);
        if (word(kExact) != 0)
            classBytes = next(1);
        texts = next(1);
        prons = next(1);
        types = next(1);
        recency = next(1);
        if (word(kMarker) != kNone)
            markers = next(1);
        recogCounts = next(1);
        slotCounts = next(1);
        pool = next(1);
        offsets = next(1);
    }
};

class WordStoreFile : public WordStoreTest {
protected:
    int32_t read(MWLDynamic* s, const std::string& bytes)
    {
        ArchiveFixture archive("read" + std::to_string(m_reads++) + ".dvk");
        archive.addBytes("p/bmd1", bytes);
        archive.finish();
        return MWLDynamic_ReadPSAFile(s, archive.openMapped(), "p/");
    }

    int m_reads = 0;
};

// Everything a caller can ask of a store, as text.
std::string answers(const MWLDynamic* s)
{
    std::string out;
    auto put = [&](uint32_t v) { out += std::to_string(v) + " "; };
    for (uint32_t id = MWLDynamic_GetNextMasterId(s, 39); id != kMWLDynamicNoWord; id = MWLDynamic_GetNextMasterId(s, id)) {
        put(id);
        std::vector<uint16_t> surface(64, 0), spoken(64, 0);
        std::vector<uint8_t> key(64, 0);
        put(static_cast<uint32_t>(MWLDynamic_GetSurfaceAndSpokenForms(s, id, surface.data(), key.data(), spoken.data())));
        for (uint16_t u : surface)
            put(u);
        out += reinterpret_cast<const char*>(key.data());
        for (uint16_t u : spoken)
            put(u);
        std::vector<std::vector<uint16_t>> buffers(8, std::vector<uint16_t>(300, 0));
        std::vector<uint16_t*> pointers;
        for (auto& b : buffers)
            pointers.push_back(b.data());
        const int32_t n = MWLDynamic_GetMasterPronunciations(s, id, pointers.data(), 8, 300);
        for (int32_t k = 0; k < n; ++k)
            for (const uint16_t* p = pointers[static_cast<size_t>(k)]; *p != kMWLPronEnd; ++p)
                put(*p);
        put(static_cast<uint32_t>(MWLDynamic_GetWordTypeFlags(s, id)));
        put(MWLDynamic_GetId(s, surface.data(), spoken.data()));
        out += "|";
    }
    uint32_t ids[8];
    const int32_t n = MWLDynamic_GetLeastRecentlyUnused(s, 3, 8, ids);
    for (int32_t k = 0; k < n; ++k)
        put(ids[k]);
    for (int32_t k = 0; k < s->recogCount; ++k)
        put(s->recogCounts[k]);
    for (int32_t k = 0; k < s->slotCount; ++k)
        put(s->slotCounts[k]);
    for (uint32_t k = 0; k < s->poolUsed; ++k)
        put(s->pool[k]);
    put(s->highestSlot);
    put(static_cast<uint32_t>(s->highestId));
    put(s->clock);
    return out;
}

TEST_F(WordStoreFile, AStoreReadBackAnswersAlike)
{
    MWLDynamic* s = filledStore();
    const std::string bytes = written(s);
    MWLDynamic* copy = create({.staticMaster = 50, .marker = 45});
    ASSERT_EQ(read(copy, bytes), 1);
    EXPECT_EQ(MWLDynamic_ComputeCRC(copy), MWLDynamic_ComputeCRC(s));
    EXPECT_EQ(answers(copy), answers(s));
    EXPECT_EQ(written(copy), bytes);

    int32_t surface = 0, spoken = 3, master = 0, recog = 400;
    MWLDynamic_AfterRead(copy, &surface, &spoken, &master, &recog);
    EXPECT_EQ(surface, 9);
    EXPECT_EQ(spoken, 8);
    EXPECT_EQ(master, 255);
    EXPECT_EQ(recog, 400);
    // The copy goes on as the original does.
    EXPECT_EQ(add(copy, u"next", {{51}}), add(s, u"next", {{51}}));
    EXPECT_EQ(answers(copy), answers(s));
    EXPECT_EQ(MWLDynamic_ComputeCRC(copy), MWLDynamic_ComputeCRC(s));
}

TEST_F(WordStoreFile, AnEmptyStoreReadsBack)
{
    MWLDynamic* s = create({.exactText = 0});
    MWLDynamic* copy = create({.exactText = 0});
    ASSERT_EQ(read(copy, written(s)), 1);
    EXPECT_EQ(MWLDynamic_ComputeCRC(copy), MWLDynamic_ComputeCRC(s));
    EXPECT_EQ(add(copy, u"a", {{5}}), 100u);
}

TEST_F(WordStoreFile, DamagedOrForeignFilesAreRefusedAndChangeNothing)
{
    MWLDynamic* s = filledStore();
    const Bmd1 good(written(s));
    ASSERT_EQ(good.word(Bmd1::kRecordCount), 6u);
    // Records: 0 id 40 (no texts), 1 River 100, 2 eBook 102, 3 river 103, 4 Long 104, 5 New York 105.
    using Damage = std::function<void(Bmd1&)>;
    struct Row {
        const char* what;
        Damage damage;
    };
    const uint32_t textUsed = good.word(Bmd1::kTextUsed);
    const uint32_t pronUsed = good.word(Bmd1::kPronUsed);
    const Row rows[] = {
        {"another signature", [](Bmd1& b) { b.setWord(Bmd1::kSignature, 0x5EEE); }},
        {"keep-prons flag 2", [](Bmd1& b) { b.setWord(Bmd1::kKeep, 2); }},
        {"another exact-text flag", [](Bmd1& b) { b.setWord(Bmd1::kExact, 0); }},
        {"another marker phoneme", [](Bmd1& b) { b.setWord(Bmd1::kMarker, 98); }},
        {"another slot count", [](Bmd1& b) { b.setWord(Bmd1::kSlots, 4); }},
        {"another recog count", [](Bmd1& b) { b.setWord(Bmd1::kRecogs, 5); }},
        {"another pool size", [](Bmd1& b) { b.setWord(Bmd1::kPoolCapacity, 11); }},
        {"records beyond their chunks", [](Bmd1& b) { b.setWord(Bmd1::kRecordCount, 257); }},
        {"record chunks that disagree", [](Bmd1& b) { b.setWord(Bmd1::kRecordChunks, 2); }},
        {"a record block of another length", [](Bmd1& b) { b.set(b.record(256, 0), 12 * 255); }},
        {"an implausible capacity", [](Bmd1& b) { b.setWord(Bmd1::kRecordCapacity, 1u << 24); }},
        {"a text order short of the words", [](Bmd1& b) { b.setWord(Bmd1::kTextOrderCount, 4); }},
        {"text bytes beyond their chunks",
         [](Bmd1& b) { b.setWord(Bmd1::kTextUsed, 256 * b.word(Bmd1::kTextChunks) + 1); }},
        {"pron bytes beyond their chunks",
         [](Bmd1& b) { b.setWord(Bmd1::kPronUsed, 256 * b.word(Bmd1::kPronChunks) + 1); }},
        {"a text offset at the used end", [=](Bmd1& b) { b.set(b.record(1, 0), textUsed); }},
        {"a pron offset at the used end", [=](Bmd1& b) { b.set(b.record(1, 1), pronUsed); }},
        {"a text entry past the used end", [=](Bmd1& b) { b.setWord(Bmd1::kTextUsed, textUsed - 1); }},
        {"a pron entry past the used end", [=](Bmd1& b) { b.setWord(Bmd1::kPronUsed, pronUsed - 1); }},
        {"a text-order entry past the records", [](Bmd1& b) { b.bytes[b.textOrder + 4] = 9; }},
        {"a text order out of byte order",
         [](Bmd1& b) { std::swap(b.bytes[b.textOrder + 4], b.bytes[b.textOrder + 6]); }},
        {"a word listed twice", [](Bmd1& b) { b.bytes[b.textOrder + 6] = b.bytes[b.textOrder + 4]; }},
        {"records out of id order", [](Bmd1& b) { b.set(b.record(2, 2), 100); }},
        {"an id past the last usable one",
         [](Bmd1& b) {
             b.set(b.record(5, 2), 0xFFFFFB);
             b.setWord(Bmd1::kHighestId, 0xFFFFFB);
         }},
        {"a highest id the records do not give", [](Bmd1& b) { b.setWord(Bmd1::kHighestId, 106); }},
        {"texts on a static id", [](Bmd1& b) { b.set(b.record(1, 2), 41); }},
        {"a run-time word without texts", [](Bmd1& b) { b.set(b.record(1, 0), kMWLDynamicNoOffset); }},
        {"marker position 0", [](Bmd1& b) { b.bytes[b.markers + 4 + 1] = 0; }},
        {"marker position 255", [](Bmd1& b) { b.bytes[b.markers + 4 + 1] = static_cast<char>(255); }},
        {"a marker on a 255-phoneme pron", [](Bmd1& b) { b.bytes[b.markers + 4 + 4] = 3; }},
        {"slot offsets decreasing", [](Bmd1& b) { b.bytes[b.offsets + 4 + 2 * 2] = 9; }},
        {"slot offsets past the pool",
         [](Bmd1& b) {
             b.bytes[b.offsets + 4 + 2 * 4] = 11;
             b.setWord(Bmd1::kPoolUsed, 11);
         }},
        {"a used length other than the last offset", [](Bmd1& b) { b.setWord(Bmd1::kPoolUsed, 4); }},
        {"a highest slot past the slots", [](Bmd1& b) { b.setWord(Bmd1::kHighestSlot, 4); }},
        {"a used slot above the highest", [](Bmd1& b) { b.setWord(Bmd1::kHighestSlot, 2); }},
        {"a stored id past the added phonemes",
         [](Bmd1& b) {
             const uint32_t at = b.at(b.record(0, 1));
             b.bytes[b.prons + 4 + at + 2] = 60;
         }},
        {"a stored id of a free slot",
         [](Bmd1& b) {
             const uint32_t at = b.at(b.record(0, 1));
             b.bytes[b.prons + 4 + at + 2] = 52;
         }},
        {"an expansion naming an unknown recognition phoneme", [](Bmd1& b) { b.bytes[b.pool + 4] = 45; }},
        {"an expansion without its end", [](Bmd1& b) { b.bytes[b.pool + 4 + 2 * 2] = 7; }},
        {"a clock past 255", [](Bmd1& b) { b.setWord(Bmd1::kClock, 256); }},
        {"a text longer than the longest", [](Bmd1& b) { b.setWord(Bmd1::kMaxSurface, 5); }},
        {"a pron longer than the longest", [](Bmd1& b) { b.setWord(Bmd1::kMaxSurface + 3, 254); }},
        {"a short file", [](Bmd1& b) { b.bytes.resize(b.bytes.size() - 1); }},
    };
    MWLDynamic* target = create({.staticMaster = 50, .marker = 45});
    add(target, u"kept", {{5}});
    const uint32_t crc = MWLDynamic_ComputeCRC(target);
    const std::string before = answers(target);
    for (const Row& row : rows) {
        Bmd1 damaged = good;
        row.damage(damaged);
        ASSERT_NE(damaged.bytes, good.bytes) << row.what;
        EXPECT_EQ(read(target, damaged.bytes), 0) << row.what;
        EXPECT_EQ(MWLDynamic_ComputeCRC(target), crc) << row.what;
    }
    EXPECT_EQ(answers(target), before);
    ArchiveFixture empty("empty.dvk");
    empty.finish();
    EXPECT_EQ(MWLDynamic_ReadPSAFile(target, empty.openMapped(), "p/"), 0) << "no sub-file";
    ASSERT_EQ(read(target, good.bytes), 1);
    EXPECT_EQ(MWLDynamic_ComputeCRC(target), MWLDynamic_ComputeCRC(s));
}

TEST_F(WordStoreFile, PerRecordArraysShortOfTheRecordsAreRefused)
{
    MWLDynamic* s = create();
    for (int i = 0; i < 300; ++i)
        add(s, u"w" + std::u16string{static_cast<char16_t>(u'a' + i / 26), static_cast<char16_t>(u'a' + i % 26)}, {{5}});
    Bmd1 b(written(s));
    ASSERT_EQ(b.at(b.types), 512u);
    // The type bytes lose their second chunk.
    b.bytes.erase(b.types + 4 + 256, 256);
    b.set(b.types, 256);
    b.setWord(Bmd1::kTypeChunks, 1);
    MWLDynamic* target = create();
    const uint32_t crc = MWLDynamic_ComputeCRC(target);
    EXPECT_EQ(read(target, b.bytes), 0);
    EXPECT_EQ(MWLDynamic_ComputeCRC(target), crc);
}

TEST_F(WordStoreFile, EveryAllocationFailingInAReadKeepsTheStore)
{
    MWLDynamic* s = filledStore();
    ArchiveFixture archive("failing.dvk");
    ASSERT_EQ(MWLDynamic_WritePSAFile(s, archive.tar(), nullptr), 1);
    archive.finish();
    DVKTar* tar = archive.openMapped();
    MWLDynamic* target = create({.staticMaster = 50, .marker = 45});
    const uint32_t crc = MWLDynamic_ComputeCRC(target);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        // The reader's own record comes from the raising allocator.
        int32_t result = 0;
        DVKErr_Protect([&] { result = MWLDynamic_ReadPSAFile(target, tar, nullptr); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << "allocation " << n;
        EXPECT_EQ(MWLDynamic_ComputeCRC(target), crc) << "allocation " << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n;
    }
    EXPECT_EQ(MWLDynamic_ComputeCRC(target), MWLDynamic_ComputeCRC(s));
}

} // namespace
