#include "core/utils/dvk_list.h"

#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

void* item(intptr_t i)
{
    return reinterpret_cast<void*>(i);
}

std::vector<intptr_t> forward(dvk_list* list)
{
    std::vector<intptr_t> items;
    for (dvk_list_Node* n = dvk_list_getFirst(list); n != nullptr; n = dvk_list_getNext(list, n))
        items.push_back(reinterpret_cast<intptr_t>(dvk_list_getItem(list, n)));
    return items;
}

std::vector<intptr_t> backward(dvk_list* list)
{
    std::vector<intptr_t> items;
    for (dvk_list_Node* n = dvk_list_getLast(list); n != nullptr; n = dvk_list_getPrev(list, n))
        items.insert(items.begin(), reinterpret_cast<intptr_t>(dvk_list_getItem(list, n)));
    return items;
}

TEST(ListTest, AddsAroundNodesAndAtTheEnds)
{
    long live = dvk_mem_liveBlocks();
    dvk_list* list = dvk_list_create();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(dvk_list_getItem(list, nullptr), nullptr);
    EXPECT_EQ(dvk_list_getNext(list, nullptr), nullptr);
    dvk_list_Node* two = dvk_list_addNextItem(list, nullptr, item(2));
    dvk_list_addPrevItem(list, nullptr, item(1));   // the front
    dvk_list_addNextItem(list, nullptr, item(5));   // the end
    dvk_list_Node* three = dvk_list_addNextItem(list, two, item(3));
    dvk_list_addPrevItem(list, dvk_list_getLast(list), item(4));
    EXPECT_EQ(forward(list), (std::vector<intptr_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(backward(list), forward(list));
    EXPECT_EQ(dvk_list_getCount(list), 5);

    dvk_list_Node* afterThree = dvk_list_removeItem(list, three);
    EXPECT_EQ(afterThree, dvk_list_getNext(list, two));
    EXPECT_EQ(dvk_list_getItem(list, afterThree), item(4));
    EXPECT_EQ(dvk_list_removeItem(list, dvk_list_getLast(list)), nullptr);
    dvk_list_removeItem(list, dvk_list_getFirst(list));
    EXPECT_EQ(forward(list), (std::vector<intptr_t>{2, 4}));
    EXPECT_EQ(backward(list), forward(list));

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_list_addNextItem(list, two, item(9)), nullptr);
    EXPECT_EQ(dvk_list_addPrevItem(list, two, item(9)), nullptr);
    EXPECT_EQ(dvk_list_create(), nullptr);
    dvk_mem_failAfter(-1);
    EXPECT_EQ(forward(list), (std::vector<intptr_t>{2, 4}));
    dvk_list_destroy(&list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(dvk_mem_liveBlocks(), live);
}

} // namespace
