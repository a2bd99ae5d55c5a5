#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Items are strings; the key is the string's bytes.
int32_t stringKey(const void* item, const void** key)
{
    const auto* s = static_cast<const std::string*>(item);
    *key = s->data();
    return static_cast<int32_t>(s->size());
}

// Every key in one probe run: the hardest case for removal.
uint32_t constantHash(const void*, int32_t, uint32_t)
{
    return 5;
}

// Keys hashing to only a few home slots, so that runs wrap and interleave.
uint32_t clusteredHash(const void* key, int32_t length, uint32_t seed)
{
    return DVKHash_Hash(key, length, seed) & 0x80000003u;
}

class EngineHash : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKHash_Delete(m_table);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    std::string* item(const std::string& key)
    {
        m_items.push_back(key);
        return &m_items.back();
    }

    void* find(const std::string& key) const
    {
        return DVKHash_Find(m_table, key.data(), static_cast<int32_t>(key.size()));
    }

    std::vector<std::string> slotOrder() const
    {
        std::vector<void*> items(static_cast<size_t>(DVKHash_GetCount(m_table)));
        DVKHash_CopyItems(m_table, items.data());
        std::vector<std::string> keys;
        for (void* p : items)
            keys.push_back(*static_cast<std::string*>(p));
        return keys;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    DVKHash* m_table = nullptr;
    std::deque<std::string> m_items;  // stable addresses
};

TEST_F(EngineHash, ByteHash)
{
    const unsigned char one[] = {'a'};
    EXPECT_EQ(DVKHash_Hash(one, 0, 0), 0u);
    EXPECT_EQ(DVKHash_Hash(nullptr, 0, 0x12345678u), 0x12345678u);
    for (uint32_t seed : {0u, 1u, 0x80000001u, 0xDEADBEEFu}) {
        for (int b : {0, 1, 97, 128, 255}) {
            const unsigned char byte = static_cast<unsigned char>(b);
            EXPECT_EQ(DVKHash_Hash(&byte, 1, seed), kDVKRandTable[b] ^ std::rotl(seed, 1));
        }
    }
    // From an independent implementation: the last byte is hashed first.
    EXPECT_EQ(DVKHash_Hash("a", 1, 0), 0x2A97F609u);
    EXPECT_EQ(DVKHash_Hash("hello", 5, 0), 0x91122CF4u);
    EXPECT_EQ(DVKHash_Hash("ab", 2, 7), 0x3472519Cu);
}

TEST_F(EngineHash, InitialSizesAndGrowth)
{
    struct Case {
        int32_t initial;
        int32_t slots;
        int32_t threshold;
    };
    for (const Case& c : {Case{0, 4, 2}, Case{3, 4, 2}, Case{4, 4, 2}, Case{5, 8, 4},
                          Case{-9, 4, 2}, Case{1000, 1024, 512}}) {
        DVKHash* table = DVKHash_Create(c.initial, stringKey, nullptr);
        EXPECT_EQ(DVKHash_GetSize(table), c.slots) << c.initial;
        EXPECT_EQ(table->threshold, c.threshold) << c.initial;
        EXPECT_EQ(DVKHash_GetCount(table), 0);
        DVKHash_Delete(table);
    }

    m_table = DVKHash_Create(4, stringKey, nullptr);
    for (const char* key : {"one", "two", "three"})
        DVKHash_Insert(m_table, item(key));
    EXPECT_EQ(DVKHash_GetSize(m_table), 4);
    DVKHash_Insert(m_table, item("four"));
    EXPECT_EQ(DVKHash_GetSize(m_table), 8);
    EXPECT_EQ(m_table->threshold, 4);
    EXPECT_EQ(DVKHash_GetCount(m_table), 4);
    for (const char* key : {"one", "two", "three", "four"})
        EXPECT_EQ(*static_cast<std::string*>(find(key)), key);

    EXPECT_EQ(DVKHash_GetSize(nullptr), 0);
    EXPECT_EQ(DVKHash_GetCount(nullptr), 0);
    EXPECT_EQ(DVKHash_Find(nullptr, "one", 3), nullptr);
    EXPECT_EQ(DVKHash_Remove(nullptr, "one", 3), nullptr);
    EXPECT_EQ(DVKHash_GetNumSearches(m_table), 0);
    EXPECT_EQ(DVKHash_GetNumCompares(m_table), 0);
    EXPECT_EQ(DVKHash_GetNumCollisions(m_table), 0);
}

TEST_F(EngineHash, SlotOrderIsFixed)
{
    // From an independent implementation of insertion and growth.
    m_table = DVKHash_Create(0, stringKey, nullptr);
    for (int i = 0; i < 20; ++i)
        DVKHash_Insert(m_table, item("k" + std::to_string(i)));
    EXPECT_EQ(DVKHash_GetSize(m_table), 64);
    const std::vector<std::string> expected = {"k1",  "k15", "k17", "k18", "k7",  "k5",  "k12",
                                               "k14", "k6",  "k3",  "k13", "k4",  "k2",  "k16",
                                               "k10", "k0",  "k11", "k9",  "k8",  "k19"};
    EXPECT_EQ(slotOrder(), expected);

    std::vector<std::string> traversed;
    DVKHash_Traverse(
        m_table,
        [](void* p, void* argument) {
            static_cast<std::vector<std::string>*>(argument)->push_back(
                *static_cast<std::string*>(p));
        },
        &traversed);
    EXPECT_EQ(traversed, expected);
}

TEST_F(EngineHash, DuplicateAndAbsentKeys)
{
    m_table = DVKHash_Create(0, stringKey, nullptr);
    std::string* first = item("same");
    EXPECT_EQ(DVKHash_Insert(m_table, first), first);
    EXPECT_EQ(DVKHash_Insert(m_table, item("same")), first);
    EXPECT_EQ(DVKHash_GetCount(m_table), 1);
    EXPECT_EQ(DVKHash_Remove(m_table, "other", 5), nullptr);
    EXPECT_EQ(DVKHash_GetCount(m_table), 1);
    EXPECT_EQ(find("sam"), nullptr);
    // The empty key is a key like any other.
    std::string* empty = item("");
    EXPECT_EQ(DVKHash_Insert(m_table, empty), empty);
    EXPECT_EQ(DVKHash_Find(m_table, "", 0), empty);
    EXPECT_EQ(DVKHash_Remove(m_table, "same", 4), first);
    EXPECT_EQ(DVKHash_GetCount(m_table), 1);
}

// Random inserts and removes against a reference map, under the real hash, a
// clustering one and one that puts every key in a single run.
TEST_F(EngineHash, AgreesWithAReferenceMap)
{
    for (DVKHashFunc hash : {DVKHashFunc{nullptr}, DVKHashFunc{clusteredHash},
                             DVKHashFunc{constantHash}}) {
        std::mt19937 random(7);
        m_table = DVKHash_Create(0, stringKey, hash);
        std::map<std::string, std::string*> reference;
        for (int step = 0; step < 3000; ++step) {
            const std::string key = "w" + std::to_string(random() % 150);
            if (random() % 3 == 0) {
                void* removed = DVKHash_Remove(m_table, key.data(), static_cast<int32_t>(key.size()));
                auto it = reference.find(key);
                ASSERT_EQ(removed, it == reference.end() ? nullptr : it->second) << key;
                if (it != reference.end())
                    reference.erase(it);
            } else {
                std::string* candidate = item(key);
                auto [it, added] = reference.emplace(key, candidate);
                ASSERT_EQ(DVKHash_Insert(m_table, candidate), it->second) << key;
                (void)added;
            }
            ASSERT_EQ(DVKHash_GetCount(m_table), static_cast<int32_t>(reference.size()));
            if (step % 10 == 0) {
                for (int k = 0; k < 150; ++k) {
                    const std::string probe = "w" + std::to_string(k);
                    auto it = reference.find(probe);
                    ASSERT_EQ(find(probe), it == reference.end() ? nullptr : it->second)
                        << probe << " at step " << step;
                }
            }
        }
        DVKHash_Delete(m_table);
        m_table = nullptr;
    }
}

TEST_F(EngineHash, LoadFactorNeverFillsTheTable)
{
    m_table = DVKHash_Create(8, stringKey, constantHash);
    DVKHash_SetLoadFactor(m_table, 1.0);
    EXPECT_EQ(m_table->threshold, 6);
    for (int i = 0; i < 7; ++i)
        DVKHash_Insert(m_table, item("f" + std::to_string(i)));
    EXPECT_EQ(DVKHash_GetSize(m_table), 8);
    // A probe for an absent key still ends at the one free slot.
    EXPECT_EQ(find("absent"), nullptr);
    DVKHash_Insert(m_table, item("f7"));
    EXPECT_EQ(DVKHash_GetSize(m_table), 16);

    // A factor of 0 (or below) must not grow the table on every insertion.
    DVKHash* small = DVKHash_Create(4, stringKey, nullptr);
    DVKHash_SetLoadFactor(small, 0.0);
    EXPECT_EQ(small->threshold, 1);
    DVKHash_SetLoadFactor(small, -3.0);
    EXPECT_EQ(small->threshold, 1);
    for (int i = 0; i < 100; ++i)
        DVKHash_Insert(small, item("g" + std::to_string(i)));
    // It grows with the items (doubling at 2, 3, 5, 9, ... of them).
    EXPECT_EQ(DVKHash_GetSize(small), 512);
    DVKHash_Delete(small);
}

TEST_F(EngineHash, TraversalClearAndDelete)
{
    m_table = DVKHash_Create(0, stringKey, nullptr);
    for (int i = 0; i < 10; ++i)
        DVKHash_Insert(m_table, item("t" + std::to_string(i)));
    int visited = 0;
    auto count = [](void*, void* argument) { ++*static_cast<int*>(argument); };
    DVKHash_TraverseAndRemoveAll(m_table, count, &visited);
    EXPECT_EQ(visited, 10);
    EXPECT_EQ(DVKHash_GetCount(m_table), 0);
    EXPECT_EQ(find("t3"), nullptr);
    DVKHash_Insert(m_table, item("t3"));
    EXPECT_NE(find("t3"), nullptr);
    DVKHash_Clear(m_table);
    EXPECT_EQ(DVKHash_GetCount(m_table), 0);

    DVKHash_Insert(m_table, item("last"));
    visited = 0;
    DVKHash_TraverseAndDeleteTable(m_table, count, &visited);
    m_table = nullptr;
    EXPECT_EQ(visited, 1);
    DVKHash_TraverseAndDeleteTable(nullptr, count, &visited);
    DVKHash_Delete(nullptr);
}

TEST_F(EngineHash, FailedGrowthRaisesAndKeepsTheTable)
{
    m_table = DVKHash_Create(0, stringKey, nullptr);
    for (const char* key : {"a", "b", "c"})
        DVKHash_Insert(m_table, item(key));
    m_allocator.failNext();
    EXPECT_EQ(DVKErr_Protect([&] { DVKHash_Insert(m_table, item("d")); }), 1);
    EXPECT_EQ(DVKHash_GetSize(m_table), 4);
    EXPECT_EQ(DVKHash_GetCount(m_table), 3);
    for (const char* key : {"a", "b", "c"})
        EXPECT_NE(find(key), nullptr);
    EXPECT_EQ(find("d"), nullptr);

    m_allocator.failNext();
    EXPECT_EQ(DVKErr_Protect([&] { DVKHash_Create(0, stringKey, nullptr); }), 1);
    m_allocator.failAt(m_allocator.calls() + 2);
    EXPECT_EQ(DVKErr_Protect([&] { DVKHash_Create(0, stringKey, nullptr); }), 1);
    // Slot arrays beyond the allocator's largest request raise before allocating.
    const uint64_t calls = m_allocator.calls();
    EXPECT_EQ(DVKErr_Protect([&] { DVKHash_Create(0x40000000, stringKey, nullptr); }), 1);
    EXPECT_EQ(m_allocator.calls(), calls);
}

} // namespace
