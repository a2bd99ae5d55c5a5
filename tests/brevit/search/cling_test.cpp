// Context classes: lookups over the trie and the two tables, the checksum,
// and the loader's refusals of tables a lookup could leave.
#include "core/brevit/search/cling.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/cling_writer.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fuzz_seed_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class ClingTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (Cling* c : m_loaded)
            Cling_Delete(c);
        m_loaded.clear();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    static std::string image(const cling::Records& records, bool opposite = false)
    {
        ArchiveFixture archive("cling.dvk");
        if (opposite)
            archive.useOppositeByteOrder();
        archive.add("bcl0", [&](BinFileWriter* w) { return records.write(w); });
        archive.finish();
        return archive.bytes();
    }

    Cling* load(const std::string& bytes)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        EXPECT_NE(tar, nullptr);
        Cling* c = tar != nullptr ? Cling_LoadFromBinFile(tar, nullptr) : nullptr;
        if (c != nullptr)
            m_loaded.push_back(c);
        return c;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::vector<Cling*> m_loaded;
};

struct Pair {
    uint32_t first;
    uint32_t second;
    bool operator==(const Pair&) const = default;
};

Pair lookup(const Cling* c, const std::vector<uint16_t>& attributes, uint16_t current)
{
    Pair p{0, 0};
    Cling_Lookup(c, attributes.data(), static_cast<int32_t>(attributes.size()), current, &p.first, &p.second);
    return p;
}

TEST_F(ClingTest, LooksUpTheExampleAndItsChecksum)
{
    const Cling* c = load(image(cling::records(cling::example())));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Cling_GetClassSetCRC(c), 0x12345678u);
    EXPECT_EQ(Cling_ComputeCRC(c), 0xC88E05FAu);
    struct Case {
        std::vector<uint16_t> context;
        uint16_t current;
        Pair expected;
    };
    const Case cases[] = {
        {{1, 2}, 1, {107, 207}},
        {{}, 2, {102, 202}},        // no context: the row of state 0
        {{0, 0}, 1, {101, 201}},    // no-word contexts walk through attribute 0
        {{2, 2}, 2, {105, 205}},
        {{7, 2}, 1, {107, 207}},    // attributes above N read as 0
        {{1, 2}, 9, {106, 206}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(lookup(c, k.context, k.current), k.expected) << k.context.size() << " " << k.current;
}

TEST_F(ClingTest, ContextIdsBecomeAttributesThroughTheWordList)
{
    const Cling* c = load(image(cling::records(cling::example())));
    ASSERT_NE(c, nullptr);
    // Word 10 has attribute 1, word 11 attribute 0x10002 (low 16 bits: 2),
    // word 12 none.
    FakeWordList words({{10, 1}, {11, 0x10002}, {kClingBoundary, 1}});
    struct Case {
        std::vector<uint32_t> context;
        uint32_t current;
        Pair expected;
    };
    const Case cases[] = {
        {{kClingBoundary, 10}, 10, {107, 207}},   // boundary: its stored attribute 2
        {{}, 11, {102, 202}},
        {{kClingNoWord, kClingNoWord}, 10, {101, 201}},
        {{12, 11}, 12, {106, 206}},               // no attribute: 0; 0 then 2 reach state 2
        {{10}, kClingBoundary, {104, 204}},       // the boundary as the current word is a word
        {{10}, kClingNoWord, {103, 203}},
    };
    for (const Case& k : cases) {
        Pair p{0, 0};
        Cling_LookupContext(c, k.context.data(), static_cast<int32_t>(k.context.size()), k.current, &p.first,
                            &p.second, words.list());
        EXPECT_EQ(p, k.expected) << k.context.size() << " " << k.current;
    }
    Pair p{0, 0};
    const uint32_t ignored[] = {10};
    Cling_LookupContext(c, ignored, -1, 11, &p.first, &p.second, words.list());
    EXPECT_EQ(p, (Pair{102, 202}));
}

TEST_F(ClingTest, WithoutTransitionsTheWalkStaysInStateZero)
{
    cling::Spec s = cling::example();
    s.transitions.clear();
    const Cling* c = load(image(cling::records(s)));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(lookup(c, {1, 2, 1}, 1), (Pair{101, 201}));
}

TEST_F(ClingTest, RefusesWhatALookupCouldLeave)
{
    using Edit = std::function<void(cling::Spec&, cling::Records&)>;
    struct Case {
        const char* name;
        Edit edit;
    };
    const auto word = [](const char* record, uint32_t value) {
        return [record, value](cling::Spec&, cling::Records& r) { r.changeWord(record, value); };
    };
    const Case cases[] = {
        {"negative N", word("attributes", 0xFFFFFFFFu)},
        {"fewer entries than one row", word("attributes", 9)},
        {"boundary above N", word("boundary", 3)},
        {"negative boundary", word("boundary", 0xFFFFFFFFu)},
        {"a transition past the tables",
         [](cling::Spec& s, cling::Records& r) {
             s.transitions[4] = 3;
             r.change("transitions", cling::table(s.transitions));
         }},
        {"transitions of another length",
         [](cling::Spec& s, cling::Records& r) {
             s.transitions.pop_back();
             r.change("transitions", cling::table(s.transitions));
         }},
        {"first table of another length",
         [](cling::Spec& s, cling::Records& r) {
             s.first.push_back(1);
             r.change("first", cling::table(s.first));
         }},
        {"second table of another length",
         [](cling::Spec& s, cling::Records& r) {
             s.second.pop_back();
             r.change("second", cling::table(s.second));
         }},
        {"no first table", [](cling::Spec&, cling::Records& r) { r.change("first", cling::table(std::vector<uint32_t>{})); }},
        {"no second table",
         [](cling::Spec&, cling::Records& r) { r.change("second", cling::table(std::vector<uint32_t>{})); }},
        {"cut after the entries", [](cling::Spec&, cling::Records& r) { r.cutAfter("entries"); }},
        {"cut after the first table", [](cling::Spec&, cling::Records& r) { r.cutAfter("first"); }},
        {"no class-set crc", [](cling::Spec&, cling::Records& r) { r.drop("class-set crc"); }},
    };
    for (const Case& k : cases) {
        cling::Spec s = cling::example();
        cling::Records r = cling::records(s);
        k.edit(s, r);
        const size_t before = m_allocator.liveBlocks();
        EXPECT_EQ(load(image(r)), nullptr) << k.name;
        EXPECT_EQ(m_allocator.liveBlocks(), before) << k.name;
    }
    EXPECT_EQ(load(image(cling::records(cling::example()), true)), nullptr) << "opposite byte order";
    ArchiveFixture empty("empty.dvk");
    empty.add("bcl1", [](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, 0) == 1; });
    empty.finish();
    EXPECT_EQ(load(empty.bytes()), nullptr) << "no sub-file";
}

TEST_F(ClingTest, LoadingFailingAtEachAllocationKeepsNothing)
{
    const std::string bytes = image(cling::records(cling::example()));
    ArchiveFixture archive("in.dvk");
    DVKTar* tar = archive.openMapped(bytes);
    ASSERT_NE(tar, nullptr);
    for (uint64_t n = 1;; ++n) {
        const size_t blocks = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Cling* c = nullptr;
        DVKErr_Protect([&] { c = Cling_LoadFromBinFile(tar, nullptr); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(Cling_ComputeCRC(c), 0xC88E05FAu);
            Cling_Delete(c);
            break;
        }
        EXPECT_EQ(c, nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), blocks) << n;
    }
}

TEST_F(ClingTest, FuzzSeedsAreWhatTheWriterMakes)
{
    cling::Spec bare = cling::example();
    bare.transitions.clear();
    checkFuzzSeed("brevit_cling", "example", image(cling::records(cling::example())));
    checkFuzzSeed("brevit_cling", "no-transitions", image(cling::records(bare)));
}

} // namespace
