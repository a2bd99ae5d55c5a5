// The run-time part saved as user state and restored into a fresh list.
#include "tests/brevit/lexicon/active_word_list_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using active_words::Fields;
using active_words::Form;

constexpr int32_t kNone = 65535;

// Bit-set words 10, 12, 13, 20, 21, 28 with 2, 1, 0, 1, 1, 1 prons.
Fields staticPart()
{
    active_words::Options o;
    o.shift = 2;
    return active_words::build({10, 12, 13, 20, 21, 28}, {2, 1, 0, 1, 1, 1}, o);
}

class ActiveWordListState : public ActiveWordListTest {
protected:
    // Run-time words and prons with holes in both slot spaces.
    AWL* source()
    {
        AWL* list = load(staticPart());
        if (list == nullptr)
            return nullptr;
        for (uint32_t m : {500u, 50u, 70u, 11u, 600u, 40u}) {
            const int32_t id = AWL_AddActiveId(list, m);
            EXPECT_NE(AWL_AddPron(list, id), kNone);
            EXPECT_NE(AWL_AddPron(list, id), kNone);
        }
        for (int32_t word : {0, 2, 0, 5})
            EXPECT_NE(AWL_AddPron(list, word), kNone);
        EXPECT_EQ(AWL_RemoveActiveId(list, 7, 1), 1);   // 50
        EXPECT_EQ(AWL_RemoveActiveId(list, 9, 1), 1);   // 11
        EXPECT_EQ(AWL_RemovePron(list, AWL_GetNthPronId(list, 6, 0)), 1);
        EXPECT_EQ(AWL_RemovePron(list, AWL_GetNthPronId(list, 0, 3)), 1);
        return list;
    }

    // The state written by the list, archive bytes and all.
    std::string saved(const AWL* list)
    {
        ArchiveFixture archive("state.dvk");
        EXPECT_EQ(AWL_WritePSAFile(list, archive.tar(), "u"), 1);
        archive.finish();
        return archive.bytes();
    }

    std::string written(const AWLState& state)
    {
        ArchiveFixture archive("state.dvk");
        archive.add(kAWLSubFileTag, [&](BinFileWriter* w) { return writeState(w, state); }, "u");
        archive.finish();
        return archive.bytes();
    }

    int32_t restore(AWL* list, const std::string& image)
    {
        ArchiveFixture archive("restore.dvk");
        return AWL_ReadPSAFile(list, archive.openMapped(image), "u");
    }
};

TEST_F(ActiveWordListState, RestoresEveryLookupAndTheChecksum)
{
    for (bool cache : {false, true}) {
        setParams(4, 1.5, cache);
        AWL* from = source();
        ASSERT_NE(from, nullptr);
        const std::string image = saved(from);
        // The test's own writer of the records writes the same bytes.
        EXPECT_EQ(written(captureState(from)), image) << cache;
        AWL* to = load(staticPart());
        ASSERT_NE(to, nullptr);
        ASSERT_EQ(restore(to, image), 1) << cache;
        EXPECT_EQ(snapshotOf(to), snapshotOf(from)) << cache;
        EXPECT_EQ(AWL_ComputeCRC(to), AWL_ComputeCRC(from)) << cache;
        // Both go on alike.
        for (AWL* list : {from, to}) {
            EXPECT_EQ(AWL_AddActiveId(list, 55), 7);
            const int32_t pron = AWL_AddPron(list, 7);
            EXPECT_EQ(pron, AWL_GetNthPronId(from, 7, 0));
            EXPECT_EQ(AWL_RemoveActiveId(list, 6, 1), 1);
        }
        EXPECT_EQ(snapshotOf(to), snapshotOf(from)) << cache;
        EXPECT_EQ(AWL_ComputeCRC(to), AWL_ComputeCRC(from)) << cache;
        // A second restore finds run-time tables.
        const uint32_t crc = AWL_ComputeCRC(to);
        EXPECT_EQ(restore(to, image), 0);
        EXPECT_EQ(AWL_ComputeCRC(to), crc);
        AWL_Delete(to);
        AWL_Delete(from);
    }
    // An empty run-time part round-trips too.
    AWL* empty = load(staticPart());
    ASSERT_NE(empty, nullptr);
    const std::string image = saved(empty);
    AWL* to = load(staticPart());
    ASSERT_NE(to, nullptr);
    EXPECT_EQ(restore(to, image), 1);
    EXPECT_EQ(AWL_ComputeCRC(to), AWL_ComputeCRC(empty));
    EXPECT_EQ(AWL_AddActiveId(to, 5), 6);
    AWL_Delete(to);
    AWL_Delete(empty);
}

TEST_F(ActiveWordListState, RefusesWithoutChangingTheList)
{
    for (bool cache : {false, true}) {
        setParams(4, 1.5, cache);
        AWL* from = source();
        ASSERT_NE(from, nullptr);
        const AWLState good = captureState(from);
        const int32_t wordSlot = from->highestWordSlot;   // in use
        const int32_t freeWordSlot = 1;                   // 50 was removed
        const int32_t freePronSlot = [&] {
            for (int32_t s = 0; s <= from->highestPronSlot; ++s)
                if (awlAt(from->prons, s) == kNone)
                    return s;
            return -1;
        }();
        ASSERT_GE(freePronSlot, 0);
        AWL_Delete(from);
        struct Row {
            std::string what;
            std::function<void(AWLState&)> damage;
        };
        std::vector<Row> rows = {
            {"cache flag", [](AWLState& s) { s.flag ^= 1; }},
            {"flag not a boolean", [](AWLState& s) { s.flag = 2; }},
            {"static checksum", [](AWLState& s) { s.crc ^= 1; }},
            {"values cut", [](AWLState& s) { s.valueLimit = 10; }},
            {"word pages above capacity", [](AWLState& s) { s.values[0] = 0; }},
            {"word pages differ", [](AWLState& s) { s.values[1] += 1; }},
            {"word index pages differ", [](AWLState& s) { s.values[3] = 0; }},
            {"pron pages differ", [](AWLState& s) { s.values[7] += 1; s.values[6] += 1; }},
            {"position pages above capacity", [](AWLState& s) { s.values[10] = 0; }},
            {"capacity absurd", [](AWLState& s) { s.values[8] = 0x7FFFFFFF; }},
            {"word count", [](AWLState& s) { s.values[4] += 1; }},
            {"highest word slot past the used", [](AWLState& s) { s.values[5] += 1; }},
            {"highest word slot below a used one", [](AWLState& s) { s.values[5] -= 1; }},
            {"pron count", [](AWLState& s) { s.values[12] -= 1; }},
            {"highest pron slot", [](AWLState& s) { s.values[18] += 1; }},
            {"highest cached id below a word", [](AWLState& s) { s.values[17] = 5; }},
            {"highest cached id past the limit", [](AWLState& s) { s.values[17] = 65531; }},
            {"word index unsorted", [](AWLState& s) { std::swap(s.tables[1][0], s.tables[1][1]); }},
            {"word index repeats a slot", [](AWLState& s) { s.tables[1][1] = s.tables[1][0]; }},
            {"word index names a free slot",
             [&](AWLState& s) { s.tables[1][0] = static_cast<uint32_t>(freeWordSlot); }},
            {"word-list id past 24 bits",
             [&](AWLState& s) { s.tables[0][static_cast<size_t>(wordSlot)] = 0x1000000; }},
            {"word in a slot past the highest", [](AWLState& s) { s.tables[0][200] = 5; }},
            {"pron index out of word order", [](AWLState& s) { std::swap(s.tables[3][0], s.tables[3].at(4)); }},
            {"pron index repeats a slot", [](AWLState& s) { s.tables[3][1] = s.tables[3][0]; }},
            {"pron index names a free slot",
             [&](AWLState& s) { s.tables[3][0] = static_cast<uint32_t>(freePronSlot); }},
            {"pron of a free word", [&](AWLState& s) {
                 // Word 6's pron (between words 5 and 8 in the index) moved onto
                 // word 7, which was removed: order and place still fit.
                 ASSERT_EQ(s.tables[2][s.tables[3][3]], 6u);
                 s.tables[2][s.tables[3][3]] = static_cast<uint32_t>(6 + freeWordSlot);
             }},
            {"pron of word 65534", [](AWLState& s) {
                 const size_t last = static_cast<size_t>(s.values[12] - 1);
                 s.tables[2][s.tables[3][last]] = 65534;
             }},
            {"position off", [](AWLState& s) { s.tables[4][s.tables[3][0]] += 1; }},
            {"positions of a static word from 0", [](AWLState& s) { s.tables[4][s.tables[3][0]] = 0; }},
        };
        if (cache)
            rows.push_back({"cache entry off", [](AWLState& s) { s.tables[5][3] += 1; }});
        else
            rows.push_back({"cache pages without the flag", [](AWLState& s) { s.values[16] = 1; }});
        for (const Row& row : rows) {
            AWLState state = good;
            row.damage(state);
            AWL* to = load(staticPart());
            ASSERT_NE(to, nullptr);
            const ListSnapshot before = snapshotOf(to);
            const uint32_t crc = AWL_ComputeCRC(to);
            EXPECT_EQ(restore(to, written(state)), 0) << row.what << (cache ? " cache" : "");
            EXPECT_EQ(AWL_ComputeCRC(to), crc) << row.what;
            EXPECT_EQ(snapshotOf(to), before) << row.what;
            // Still a list without run-time entries: the good state goes in.
            EXPECT_EQ(restore(to, written(good)), 1) << row.what;
            AWL_Delete(to);
        }
        // Into a list that had run-time words, also once they are all gone.
        AWL* busy = load(staticPart());
        ASSERT_NE(busy, nullptr);
        const int32_t id = AWL_AddActiveId(busy, 99);
        EXPECT_EQ(restore(busy, written(good)), 0);
        EXPECT_EQ(AWL_RemoveActiveId(busy, id, 1), 1);
        const uint32_t crc = AWL_ComputeCRC(busy);
        EXPECT_EQ(restore(busy, written(good)), 0);
        EXPECT_EQ(AWL_ComputeCRC(busy), crc);
        AWL_Delete(busy);
        // Another static part; a missing sub-file.
        AWL* other = load(active_words::build({10, 12}, {1, 1}));
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(restore(other, written(good)), 0);
        ArchiveFixture archive("none.dvk");
        archive.add("other", [](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 0) == 1; });
        archive.finish();
        EXPECT_EQ(AWL_ReadPSAFile(other, archive.openMapped(), "u"), 0);
        AWL_Delete(other);
    }
}

TEST_F(ActiveWordListState, AllocationFailuresLeaveTheListEmpty)
{
    setParams(4, 1.5, true);
    AWL* from = source();
    ASSERT_NE(from, nullptr);
    const std::string image = saved(from);
    ArchiveFixture archive("restore.dvk");
    DVKTar* tar = archive.openMapped(image);
    AWL* to = load(staticPart());
    ASSERT_NE(to, nullptr);
    const ListSnapshot before = snapshotOf(to);
    const uint32_t crc = AWL_ComputeCRC(to);
    for (uint64_t n = 2;; ++n) {
        // The reader record comes first, from the raising allocator.
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const int32_t result = AWL_ReadPSAFile(to, tar, "u");
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
        EXPECT_EQ(AWL_ComputeCRC(to), crc) << n;
        EXPECT_EQ(snapshotOf(to), before) << n;
    }
    EXPECT_EQ(AWL_ComputeCRC(to), AWL_ComputeCRC(from));
    AWL_Delete(to);
    AWL_Delete(from);
}

} // namespace
