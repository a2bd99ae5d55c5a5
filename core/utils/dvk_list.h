// The suite's doubly linked list of items; it owns its nodes, not the items.
#pragma once

struct dvk_list_Node {
    dvk_list_Node* prev;
    dvk_list_Node* next;
    void* item;
};

struct dvk_list {
    dvk_list_Node* first;
    dvk_list_Node* last;
    long count;
};

// NULL when memory is short.
dvk_list* dvk_list_create();
// Frees the nodes and the list and clears the caller's pointer.
void dvk_list_destroy(dvk_list** list);
dvk_list_Node* dvk_list_getFirst(dvk_list* list);
dvk_list_Node* dvk_list_getLast(dvk_list* list);
long dvk_list_getCount(dvk_list* list);
// 0 when the list is empty or at either end.
dvk_list_Node* dvk_list_getNext(dvk_list* list, dvk_list_Node* node);
dvk_list_Node* dvk_list_getPrev(dvk_list* list, dvk_list_Node* node);
void* dvk_list_getItem(dvk_list* list, dvk_list_Node* node);
// After node (with no node, or into an empty list: at the end); the new node,
// or 0 when memory is short.
dvk_list_Node* dvk_list_addNextItem(dvk_list* list, dvk_list_Node* node, void* item);
// Before node (with no node, or into an empty list: at the front).
dvk_list_Node* dvk_list_addPrevItem(dvk_list* list, dvk_list_Node* node, void* item);
// Frees the node; answers the one that followed it.
dvk_list_Node* dvk_list_removeItem(dvk_list* list, dvk_list_Node* node);
