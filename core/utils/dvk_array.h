// The suite's growable array of non-null pointers, kept in chunks of 16 so
// that growing never moves the items. The array does not own its items.
#pragma once

enum : long { DVK_ARRAY_CHUNK_SIZE = 16 };

struct dvk_array {
    long count;
    long capacity;           // chunkCount * DVK_ARRAY_CHUNK_SIZE
    long chunkCount;
    long chunkTableCapacity;
    void*** chunks;          // item i: chunks[i / 16][i % 16]
};

// NULL when memory is short.
dvk_array* dvk_array_create();
// Frees the chunks and the array (not the items) and clears the caller's pointer.
void dvk_array_destroy(dvk_array** array);
long dvk_array_getCount(dvk_array* array);
// NULL when i >= count (i >= 0).
void* dvk_array_getItem(dvk_array* array, long i);
// Replaces item i; the item, or 0 when i is not below the count.
void* dvk_array_setItem(dvk_array* array, long i, void* item);
// The item, or 0 when the array could not grow.
void* dvk_array_addItem(dvk_array* array, void* item);
// Before item i (0 <= i <= count); later items move up.
void* dvk_array_insertItem(dvk_array* array, long i, void* item);
// Takes item i out (i < count); later items move down.
void* dvk_array_removeItem(dvk_array* array, long i);
