// The suite's ordered map: an AA tree of (key, value) pairs under a caller's
// comparison; equal keys are allowed (a new one goes after its equals). The
// map owns its nodes, never the keys or values.
#pragma once

typedef int (*dvk_map_Compare)(const void* a, const void* b);

struct dvk_map_Node {
    dvk_map_Node* parent;
    dvk_map_Node* left;
    dvk_map_Node* right;
    int level;  // 0 only for the map's nil node
    const void* key;
    void* value;
    dvk_map_Node* nextFree;
};

struct dvk_map {
    dvk_map_Compare compare;
    dvk_map_Node* root;
    long count;
    long preallocated;         // nodes made up front; 0 for a growing map
    dvk_map_Node* freeList;
    dvk_map_Node* nodeBlock;   // the preallocated nodes, one block
    dvk_map_Node nil;          // every empty child and the root's parent
};

// NULL when memory is short.
dvk_map* dvk_map_create(dvk_map_Compare compare);
// n >= 1 nodes made at once, all or none; adding beyond them is a
// programming error.
dvk_map* dvk_map_createPreallocated(dvk_map_Compare compare, long n);
// Frees the nodes and the map and clears the caller's pointer.
void dvk_map_destroy(dvk_map** map);

// The new node, or 0 when memory is short.
dvk_map_Node* dvk_map_addItem(dvk_map* map, const void* key, void* value);
dvk_map_Node* dvk_map_findItem(dvk_map* map, const void* key);
// Takes the node out; answers the node that followed it (0 at the end).
dvk_map_Node* dvk_map_removeItem(dvk_map* map, dvk_map_Node* node);
// Key and value of the node; both 0 for an empty map or no node.
void dvk_map_getItem(dvk_map* map, dvk_map_Node* node, const void** key, void** value);
// In key order; 0 past either end.
dvk_map_Node* dvk_map_getFirst(dvk_map* map);
dvk_map_Node* dvk_map_getLast(dvk_map* map);
dvk_map_Node* dvk_map_getNext(dvk_map* map, dvk_map_Node* node);
dvk_map_Node* dvk_map_getPrev(dvk_map* map, dvk_map_Node* node);
long dvk_map_getCount(dvk_map* map);
