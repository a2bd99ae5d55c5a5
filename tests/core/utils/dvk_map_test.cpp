#include "core/utils/dvk_map.h"

#include "sdk/common/dvk_mem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

const void* key(intptr_t k)
{
    return reinterpret_cast<const void*>(k);
}

intptr_t keyOf(const dvk_map_Node* node)
{
    return reinterpret_cast<intptr_t>(node->key);
}

intptr_t valueOf(const dvk_map_Node* node)
{
    return reinterpret_cast<intptr_t>(node->value);
}

int compareKeys(const void* a, const void* b)
{
    intptr_t x = reinterpret_cast<intptr_t>(a), y = reinterpret_cast<intptr_t>(b);
    return (x > y) - (x < y);
}

class MapTest : public SuiteMemoryTest {
protected:
    // AA rules, parent links and order; answers the node count.
    static long checkTree(dvk_map* map, dvk_map_Node* node, dvk_map_Node* parent)
    {
        if (node == &map->nil)
            return 0;
        EXPECT_EQ(node->parent, parent);
        if (node->left == &map->nil && node->right == &map->nil) {
            EXPECT_EQ(node->level, 1);
        }
        EXPECT_EQ(node->left->level, node->level - 1);
        EXPECT_TRUE(node->right->level == node->level || node->right->level == node->level - 1);
        EXPECT_LT(node->right->right->level, node->level);
        if (node->left != &map->nil) {
            EXPECT_LE(compareKeys(node->left->key, node->key), 0);
        }
        if (node->right != &map->nil) {
            EXPECT_GE(compareKeys(node->right->key, node->key), 0);
        }
        return 1 + checkTree(map, node->left, node) + checkTree(map, node->right, node);
    }

    // Both walks give the values of the reference in its order.
    static void expectSameWalks(dvk_map* map, const std::multimap<intptr_t, intptr_t>& reference)
    {
        ASSERT_EQ(checkTree(map, map->root, &map->nil), dvk_map_getCount(map));
        ASSERT_EQ(dvk_map_getCount(map), static_cast<long>(reference.size()));
        std::vector<intptr_t> forward, backward, expected;
        for (dvk_map_Node* n = dvk_map_getFirst(map); n != nullptr; n = dvk_map_getNext(map, n))
            forward.push_back(valueOf(n));
        for (dvk_map_Node* n = dvk_map_getLast(map); n != nullptr; n = dvk_map_getPrev(map, n))
            backward.insert(backward.begin(), valueOf(n));
        for (const auto& [k, v] : reference)
            expected.push_back(v);
        EXPECT_EQ(forward, expected);
        EXPECT_EQ(backward, expected);
    }
};

TEST_F(MapTest, KeysInsertedInOrderWalkInOrder)
{
    dvk_map* map = dvk_map_create(compareKeys);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(dvk_map_getFirst(map), nullptr);
    const void* k = key(9);
    void* v = &k;
    dvk_map_getItem(map, dvk_map_getFirst(map), &k, &v);
    EXPECT_EQ(k, nullptr);
    EXPECT_EQ(v, nullptr);
    for (intptr_t i = 1; i <= 7; ++i)
        ASSERT_NE(dvk_map_addItem(map, key(i), reinterpret_cast<void*>(i * 10)), nullptr);
    std::vector<intptr_t> walked;
    for (dvk_map_Node* n = dvk_map_getFirst(map); n != nullptr; n = dvk_map_getNext(map, n))
        walked.push_back(keyOf(n));
    EXPECT_EQ(walked, (std::vector<intptr_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(checkTree(map, map->root, &map->nil), 7);

    dvk_map_Node* five = dvk_map_findItem(map, key(5));
    ASSERT_NE(five, nullptr);
    dvk_map_getItem(map, five, &k, &v);
    EXPECT_EQ(k, key(5));
    EXPECT_EQ(v, reinterpret_cast<void*>(50));
    EXPECT_EQ(dvk_map_findItem(map, key(8)), nullptr);
    EXPECT_EQ(keyOf(dvk_map_removeItem(map, five)), 6);
    EXPECT_EQ(dvk_map_findItem(map, key(5)), nullptr);
    EXPECT_EQ(dvk_map_removeItem(map, dvk_map_getLast(map)), nullptr);
    EXPECT_EQ(dvk_map_getCount(map), 5);
    dvk_map_destroy(&map);
    EXPECT_EQ(map, nullptr);
}

// Random adds and removes with many equal keys, checked against the standard
// multimap, which also puts a new key after its equals.
TEST_F(MapTest, AgreesWithMultimapOverRandomAddsAndRemoves)
{
    for (bool preallocated : {false, true}) {
        SCOPED_TRACE(preallocated ? "preallocated" : "growing");
        dvk_map* map = preallocated ? dvk_map_createPreallocated(compareKeys, 10000)
                                    : dvk_map_create(compareKeys);
        ASSERT_NE(map, nullptr);
        std::multimap<intptr_t, intptr_t> reference;
        std::unordered_map<intptr_t, dvk_map_Node*> nodes;  // by value
        std::mt19937 random(preallocated ? 7 : 11);
        for (intptr_t step = 0; step < 10000; ++step) {
            bool add = reference.empty() || random() % 5 < 3;
            if (add) {
                intptr_t k = random() % 40;
                dvk_map_Node* node = dvk_map_addItem(map, key(k), reinterpret_cast<void*>(step));
                ASSERT_NE(node, nullptr);
                reference.emplace(k, step);
                nodes[step] = node;
            } else {
                auto it = std::next(reference.begin(), random() % reference.size());
                auto following = std::next(it);
                dvk_map_Node* next = dvk_map_removeItem(map, nodes.at(it->second));
                dvk_map_Node* expected =
                    following == reference.end() ? nullptr : nodes.at(following->second);
                ASSERT_EQ(next, expected);
                nodes.erase(it->second);
                reference.erase(it);
            }
            if (step % 500 == 0)
                expectSameWalks(map, reference);
        }
        expectSameWalks(map, reference);
        while (!reference.empty()) {
            dvk_map_removeItem(map, nodes.at(reference.begin()->second));
            reference.erase(reference.begin());
        }
        expectSameWalks(map, reference);
        dvk_map_destroy(&map);
    }
}

TEST_F(MapTest, PreallocatedNodesAreReused)
{
    dvk_map* map = dvk_map_createPreallocated(compareKeys, 2);
    ASSERT_NE(map, nullptr);
    long live = dvk_mem_liveBlocks();
    dvk_map_Node* a = dvk_map_addItem(map, key(1), nullptr);
    dvk_map_addItem(map, key(2), nullptr);
    dvk_map_removeItem(map, a);
    EXPECT_EQ(dvk_map_addItem(map, key(3), nullptr), a);
    EXPECT_EQ(dvk_mem_liveBlocks(), live);
    EXPECT_DEATH(dvk_map_addItem(map, key(4), nullptr), "freeList != \\(\\(void \\*\\)0\\)");
    dvk_map_destroy(&map);
}

// A node count whose byte size wraps around would give a small block that
// the free list is then threaded far beyond; such a count is a request no
// memory can meet.
TEST_F(MapTest, PreallocatedCountBeyondMemoryGivesNothing)
{
    const long wraps = static_cast<long>(SIZE_MAX / sizeof(dvk_map_Node) + 1);
    for (long n : {wraps, wraps + 1, LONG_MAX}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(dvk_map_createPreallocated(compareKeys, n), nullptr);
    }
}

TEST_F(MapTest, ShortMemoryGivesNothingAndLeaksNothing)
{
    for (long allowed : {0L, 1L}) {
        dvk_mem_failAfter(allowed);
        EXPECT_EQ(dvk_map_createPreallocated(compareKeys, 4), nullptr);
    }
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_map_create(compareKeys), nullptr);
    dvk_mem_failAfter(-1);
    dvk_map* map = dvk_map_create(compareKeys);
    dvk_map_addItem(map, key(1), nullptr);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_map_addItem(map, key(2), nullptr), nullptr);
    EXPECT_EQ(dvk_map_getCount(map), 1);
    dvk_mem_failAfter(-1);
    dvk_map_destroy(&map);
}

} // namespace
