// Permutations of 0..n-1, kept both as a mapping and as its cycle
// decomposition, so that they can be applied in place to arrays of any
// element size, raised to powers, inverted and multiplied. Memory comes from
// the raising allocator.
#pragma once

#include <cstdint>

struct DVKRandom;

struct DVKPerm {
    int32_t* mapping;        // j goes to mapping[j]
    int32_t* cycleLengths;   // one entry per cycle
    int32_t* cycleElements;  // the cycles one after another
    int32_t length;
    int32_t cycleCount;
};

// A cycle whose smallest element is i is stored as mapping(i),
// mapping(mapping(i)), ..., i; cycles come in the order of their smallest
// elements, fixed points as cycles of length 1.

DVKPerm* DVKPerm_New(int32_t n);
void DVKPerm_Delete(DVKPerm* p);
// The identity of length n; the arrays are replaced only when n exceeds the
// current length.
void DVKPerm_SetIdentity(DVKPerm* p, int32_t n);
// mapping must be a permutation of 0..n-1; anything else raises.
void DVKPerm_SetMapping(DVKPerm* p, int32_t n, const int32_t* mapping);
void DVKPerm_ComputeCycles(DVKPerm* p);
void DVKPerm_Assign(DVKPerm* dst, const DVKPerm* src);
void DVKPerm_Copy(const DVKPerm* src, DVKPerm* dst);

int32_t DVKPerm_GetLength(const DVKPerm* p);
int32_t DVKPerm_GetNumCycles(const DVKPerm* p);
int32_t DVKPerm_GetOneElement(const DVKPerm* p, int32_t j);
void DVKPerm_CopyMapping(const DVKPerm* p, int32_t* mapping);
void DVKPerm_CopyCycles(const DVKPerm* p, int32_t* count, int32_t* lengths, int32_t* elements);

// -1 for an odd permutation, else 1.
int32_t DVKPerm_GetSign(const DVKPerm* p);
// Least common multiple of the cycle lengths; INT64_MAX when it does not fit.
int64_t DVKPerm_GetOrder(const DVKPerm* p);

void DVKPerm_Invert(DVKPerm* p);
// result(j) = b(a(j)); each permutation is the identity beyond its length.
// result may be a or b.
void DVKPerm_Multiply(const DVKPerm* a, const DVKPerm* b, DVKPerm* result);

// Moves the element of size bytes at index j to index mapping[j], all at once.
void DVKPerm_Apply(const DVKPerm* p, void* data, int32_t size);
// Moves every element k steps along its cycle (k = -1 undoes DVKPerm_Apply).
void DVKPerm_ApplyPower(const DVKPerm* p, int32_t k, void* data, int32_t size);

void DVKPerm_Randomize(DVKPerm* p, DVKRandom* random, int32_t allowFixedPoints);
