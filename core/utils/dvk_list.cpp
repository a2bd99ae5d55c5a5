#include "core/utils/dvk_list.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

namespace {

dvk_list_Node* newNode(void* item)
{
    dvk_list_Node* node = static_cast<dvk_list_Node*>(dvk_mem_alloc(sizeof(dvk_list_Node)));
    if (node != nullptr)
        *node = dvk_list_Node{nullptr, nullptr, item};
    return node;
}

// Links node between prev and next (either may be null: an end).
void link(dvk_list* list, dvk_list_Node* node, dvk_list_Node* prev, dvk_list_Node* next)
{
    node->prev = prev;
    node->next = next;
    if (prev != nullptr)
        prev->next = node;
    else
        list->first = node;
    if (next != nullptr)
        next->prev = node;
    else
        list->last = node;
    ++list->count;
}

} // namespace

dvk_list* dvk_list_create()
{
    dvk_list* list = static_cast<dvk_list*>(dvk_mem_alloc(sizeof(dvk_list)));
    if (list != nullptr)
        *list = dvk_list{};
    return list;
}

void dvk_list_destroy(dvk_list** list)
{
    DVK_ASSERT(list != DVK_NULL);
    if (*list == nullptr)
        return;
    for (dvk_list_Node* node = (*list)->first; node != nullptr;) {
        dvk_list_Node* next = node->next;
        dvk_mem_dealloc(&node);
        node = next;
    }
    dvk_mem_dealloc(list);
}

dvk_list_Node* dvk_list_getFirst(dvk_list* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->first;
}

dvk_list_Node* dvk_list_getLast(dvk_list* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->last;
}

long dvk_list_getCount(dvk_list* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->count;
}

dvk_list_Node* dvk_list_getNext(dvk_list* list, dvk_list_Node* node)
{
    DVK_ASSERT(list != DVK_NULL);
    if (list->count == 0)
        return nullptr;
    DVK_ASSERT(node != DVK_NULL);
    return node->next;
}

dvk_list_Node* dvk_list_getPrev(dvk_list* list, dvk_list_Node* node)
{
    DVK_ASSERT(list != DVK_NULL);
    if (list->count == 0)
        return nullptr;
    DVK_ASSERT(node != DVK_NULL);
    return node->prev;
}

void* dvk_list_getItem(dvk_list* list, dvk_list_Node* node)
{
    DVK_ASSERT(list != DVK_NULL);
    if (list->count == 0)
        return nullptr;
    DVK_ASSERT(node != DVK_NULL);
    return node->item;
}

dvk_list_Node* dvk_list_addNextItem(dvk_list* list, dvk_list_Node* node, void* item)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_list_Node* added = newNode(item);
    if (added == nullptr)
        return nullptr;
    if (node == nullptr || list->count == 0)
        link(list, added, list->last, nullptr);
    else
        link(list, added, node, node->next);
    return added;
}

dvk_list_Node* dvk_list_addPrevItem(dvk_list* list, dvk_list_Node* node, void* item)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_list_Node* added = newNode(item);
    if (added == nullptr)
        return nullptr;
    if (node == nullptr || list->count == 0)
        link(list, added, nullptr, list->first);
    else
        link(list, added, node->prev, node);
    return added;
}

dvk_list_Node* dvk_list_removeItem(dvk_list* list, dvk_list_Node* node)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(node != DVK_NULL);
    dvk_list_Node* next = node->next;
    if (node->prev != nullptr)
        node->prev->next = next;
    else
        list->first = next;
    if (next != nullptr)
        next->prev = node->prev;
    else
        list->last = node->prev;
    --list->count;
    dvk_mem_dealloc(&node);
    return next;
}
