// Open-addressing hash table of item pointers whose key is taken from each
// item by a caller function. The slot order (fixed by the byte hash over
// kDVKRandTable) is the order of traversal and copying, which callers rely
// on. Items belong to the caller; the table never frees them.
#pragma once

#include <cstdint>

// The 256 constants of the byte hash (also used by the pronunciation code).
extern const uint32_t kDVKRandTable[256];

// Stores a pointer to the item's key bytes and returns the key length.
typedef int32_t (*DVKHashKeyFunc)(const void* item, const void** key);
typedef uint32_t (*DVKHashFunc)(const void* key, int32_t length, uint32_t seed);
typedef void (*DVKHashTraverseFunc)(void* item, void* argument);

struct DVKHash {
    void** slots;            // item pointers, null = empty
    int32_t slotCount;       // a power of two, at least 4
    int32_t itemCount;
    int32_t threshold;       // an insertion finding more items than this grows the table
    uint32_t mask;           // slotCount - 1
    DVKHashKeyFunc keyFunction;
    DVKHashFunc hashFunction;
};

// The byte hash: from the last byte to the first, h = table[byte] ^ rotl(h, 1).
uint32_t DVKHash_Hash(const void* key, int32_t length, uint32_t seed);

// Slot count: max(initialSize, 4) rounded up to a power of two; load factor
// 0.5. hashFunction null means DVKHash_Hash. Memory failures raise.
DVKHash* DVKHash_Create(int32_t initialSize, DVKHashKeyFunc keyFunction, DVKHashFunc hashFunction);
void DVKHash_Delete(DVKHash* table);
// The threshold becomes floor(0.5 + slots x factor), kept between 1 and
// slots - 2 so that a free slot always ends a probe.
void DVKHash_SetLoadFactor(DVKHash* table, double factor);

void* DVKHash_Find(const DVKHash* table, const void* key, int32_t length);
// Returns the item already stored under the same key (storing nothing), or item.
void* DVKHash_Insert(DVKHash* table, void* item);
// Removes and returns the item stored under the key; null when absent.
void* DVKHash_Remove(DVKHash* table, const void* key, int32_t length);

int32_t DVKHash_GetSize(const DVKHash* table);
int32_t DVKHash_GetCount(const DVKHash* table);
// No statistics are kept: these answer 0.
int32_t DVKHash_GetNumSearches(const DVKHash* table);
int32_t DVKHash_GetNumCompares(const DVKHash* table);
int32_t DVKHash_GetNumCollisions(const DVKHash* table);

// Every stored item into array, in slot order.
void DVKHash_CopyItems(const DVKHash* table, void** array);
void DVKHash_Traverse(const DVKHash* table, DVKHashTraverseFunc callback, void* argument);
// Empties every slot; the items are untouched.
void DVKHash_Clear(DVKHash* table);
void DVKHash_TraverseAndRemoveAll(DVKHash* table, DVKHashTraverseFunc callback, void* argument);
void DVKHash_TraverseAndDeleteTable(DVKHash* table, DVKHashTraverseFunc callback, void* argument);
