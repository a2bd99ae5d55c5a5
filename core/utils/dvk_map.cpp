#include "core/utils/dvk_map.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstdint>

namespace {

dvk_map* newMap(dvk_map_Compare compare)
{
    DVK_ASSERT(compare != DVK_NULL);
    dvk_map* map = static_cast<dvk_map*>(dvk_mem_alloc(sizeof(dvk_map)));
    if (map == nullptr)
        return nullptr;
    *map = dvk_map{};
    map->compare = compare;
    map->nil.parent = map->nil.left = map->nil.right = &map->nil;
    map->nil.level = 0;
    map->root = &map->nil;
    return map;
}

dvk_map_Node* orNull(dvk_map* map, dvk_map_Node* node)
{
    return node == &map->nil ? nullptr : node;
}

void replaceChild(dvk_map* map, dvk_map_Node* parent, dvk_map_Node* old, dvk_map_Node* node)
{
    if (parent == &map->nil)
        map->root = node;
    else if (parent->left == old)
        parent->left = node;
    else
        parent->right = node;
}

void setParent(dvk_map* map, dvk_map_Node* child, dvk_map_Node* parent)
{
    if (child != &map->nil)
        child->parent = parent;
}

dvk_map_Node* skew(dvk_map* map, dvk_map_Node* t)
{
    dvk_map_Node* l = t->left;
    if (t == &map->nil || l == &map->nil || l->level != t->level)
        return t;
    t->left = l->right;
    setParent(map, l->right, t);
    l->parent = t->parent;
    replaceChild(map, t->parent, t, l);
    l->right = t;
    t->parent = l;
    return l;
}

dvk_map_Node* split(dvk_map* map, dvk_map_Node* t)
{
    dvk_map_Node* r = t->right;
    if (t == &map->nil || r == &map->nil || r->right == &map->nil ||
        r->right->level != t->level)
        return t;
    t->right = r->left;
    setParent(map, r->left, t);
    r->parent = t->parent;
    replaceChild(map, t->parent, t, r);
    r->left = t;
    t->parent = r;
    ++r->level;
    return r;
}

dvk_map_Node* leftmost(dvk_map* map, dvk_map_Node* node)
{
    while (node->left != &map->nil)
        node = node->left;
    return node;
}

dvk_map_Node* rightmost(dvk_map* map, dvk_map_Node* node)
{
    while (node->right != &map->nil)
        node = node->right;
    return node;
}

// In-order neighbours by parent links, so nodes with equal keys are all
// visited.
dvk_map_Node* successor(dvk_map* map, dvk_map_Node* node)
{
    if (node->right != &map->nil)
        return leftmost(map, node->right);
    dvk_map_Node* parent = node->parent;
    while (parent != &map->nil && node == parent->right) {
        node = parent;
        parent = parent->parent;
    }
    return parent;
}

dvk_map_Node* predecessor(dvk_map* map, dvk_map_Node* node)
{
    if (node->left != &map->nil)
        return rightmost(map, node->left);
    dvk_map_Node* parent = node->parent;
    while (parent != &map->nil && node == parent->left) {
        node = parent;
        parent = parent->parent;
    }
    return parent;
}

void rebalanceAfterRemove(dvk_map* map, dvk_map_Node* t)
{
    while (t != &map->nil) {
        if (t->left->level < t->level - 1 || t->right->level < t->level - 1) {
            --t->level;
            if (t->right->level > t->level)
                t->right->level = t->level;
            t = skew(map, t);
            skew(map, t->right);
            skew(map, t->right->right);
            t = split(map, t);
            split(map, t->right);
        }
        t = t->parent;
    }
}

} // namespace

dvk_map* dvk_map_create(dvk_map_Compare compare)
{
    return newMap(compare);
}

dvk_map* dvk_map_createPreallocated(dvk_map_Compare compare, long n)
{
    DVK_ASSERT(n >= 1);
    // A count whose byte size does not fit would wrap to a small block.
    if (static_cast<unsigned long>(n) > SIZE_MAX / sizeof(dvk_map_Node))
        return nullptr;
    dvk_map* map = newMap(compare);
    if (map == nullptr)
        return nullptr;
    map->nodeBlock =
        static_cast<dvk_map_Node*>(dvk_mem_alloc(static_cast<size_t>(n) * sizeof(dvk_map_Node)));
    if (map->nodeBlock == nullptr) {
        dvk_mem_dealloc(&map);
        return nullptr;
    }
    map->preallocated = n;
    for (long i = 0; i < n; ++i)
        map->nodeBlock[i].nextFree = i + 1 < n ? &map->nodeBlock[i + 1] : nullptr;
    map->freeList = map->nodeBlock;
    return map;
}

void dvk_map_destroy(dvk_map** map)
{
    DVK_ASSERT(map != DVK_NULL);
    dvk_map* m = *map;
    if (m == nullptr)
        return;
    if (m->preallocated > 0) {
        dvk_mem_dealloc(&m->nodeBlock);
    } else {
        // Post-order without recursion: free a leaf, then climb.
        dvk_map_Node* node = m->root;
        while (node != &m->nil) {
            if (node->left != &m->nil) {
                node = node->left;
            } else if (node->right != &m->nil) {
                node = node->right;
            } else {
                dvk_map_Node* parent = node->parent;
                if (parent != &m->nil) {
                    if (parent->left == node)
                        parent->left = &m->nil;
                    else
                        parent->right = &m->nil;
                }
                dvk_mem_dealloc(&node);
                node = parent;
            }
        }
    }
    dvk_mem_dealloc(map);
}

dvk_map_Node* dvk_map_addItem(dvk_map* map, const void* key, void* value)
{
    DVK_ASSERT(map != DVK_NULL);
    dvk_map_Node* node;
    if (map->preallocated > 0) {
        DVK_ASSERT(map->freeList != DVK_NULL);
        node = map->freeList;
        map->freeList = node->nextFree;
    } else {
        node = static_cast<dvk_map_Node*>(dvk_mem_alloc(sizeof(dvk_map_Node)));
        if (node == nullptr)
            return nullptr;
    }
    *node = dvk_map_Node{&map->nil, &map->nil, &map->nil, 1, key, value, nullptr};

    dvk_map_Node* parent = &map->nil;
    for (dvk_map_Node* at = map->root; at != &map->nil;) {
        parent = at;
        at = map->compare(key, at->key) < 0 ? at->left : at->right;
    }
    node->parent = parent;
    if (parent == &map->nil)
        map->root = node;
    else if (map->compare(key, parent->key) < 0)
        parent->left = node;
    else
        parent->right = node;
    ++map->count;

    for (dvk_map_Node* t = parent; t != &map->nil;) {
        t = skew(map, t);
        t = split(map, t);
        t = t->parent;
    }
    return node;
}

dvk_map_Node* dvk_map_findItem(dvk_map* map, const void* key)
{
    DVK_ASSERT(map != DVK_NULL);
    dvk_map_Node* at = map->root;
    while (at != &map->nil) {
        int order = map->compare(key, at->key);
        if (order == 0)
            return at;
        at = order < 0 ? at->left : at->right;
    }
    return nullptr;
}

dvk_map_Node* dvk_map_removeItem(dvk_map* map, dvk_map_Node* node)
{
    DVK_ASSERT(map != DVK_NULL);
    DVK_ASSERT(node != DVK_NULL);
    dvk_map_Node* nil = &map->nil;
    dvk_map_Node* next = successor(map, node);

    // Unlink a node with at most one child: the node itself, or its
    // successor, which then takes the node's place.
    dvk_map_Node* gone = node->left != nil && node->right != nil ? next : node;
    dvk_map_Node* child = gone->left != nil ? gone->left : gone->right;
    dvk_map_Node* start = gone->parent;
    replaceChild(map, start, gone, child);
    setParent(map, child, start);
    if (gone != node) {
        if (start == node)
            start = gone;
        gone->left = node->left;
        gone->right = node->right;
        gone->parent = node->parent;
        gone->level = node->level;
        setParent(map, gone->left, gone);
        setParent(map, gone->right, gone);
        replaceChild(map, node->parent, node, gone);
    }
    rebalanceAfterRemove(map, start);
    --map->count;

    if (map->preallocated > 0) {
        node->nextFree = map->freeList;
        map->freeList = node;
    } else {
        dvk_mem_dealloc(&node);
    }
    return orNull(map, next);
}

void dvk_map_getItem(dvk_map* map, dvk_map_Node* node, const void** key, void** value)
{
    DVK_ASSERT(map != DVK_NULL);
    DVK_ASSERT(key != DVK_NULL);
    DVK_ASSERT(value != DVK_NULL);
    bool none = map->count == 0 || node == nullptr;
    *key = none ? nullptr : node->key;
    *value = none ? nullptr : node->value;
}

dvk_map_Node* dvk_map_getFirst(dvk_map* map)
{
    DVK_ASSERT(map != DVK_NULL);
    return map->root == &map->nil ? nullptr : leftmost(map, map->root);
}

dvk_map_Node* dvk_map_getLast(dvk_map* map)
{
    DVK_ASSERT(map != DVK_NULL);
    return map->root == &map->nil ? nullptr : rightmost(map, map->root);
}

dvk_map_Node* dvk_map_getNext(dvk_map* map, dvk_map_Node* node)
{
    DVK_ASSERT(map != DVK_NULL);
    DVK_ASSERT(node != DVK_NULL);
    return orNull(map, successor(map, node));
}

dvk_map_Node* dvk_map_getPrev(dvk_map* map, dvk_map_Node* node)
{
    DVK_ASSERT(map != DVK_NULL);
    DVK_ASSERT(node != DVK_NULL);
    return orNull(map, predecessor(map, node));
}

long dvk_map_getCount(dvk_map* map)
{
    DVK_ASSERT(map != DVK_NULL);
    return map->count;
}
