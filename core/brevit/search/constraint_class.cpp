// Class records: creation from size hints, sorted insertion, removal and
// the member order.
#include "core/brevit/search/constraint_class.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>

namespace {

// Number of right shifts that bring v to zero.
uint32_t bitLength(uint32_t v)
{
    uint32_t n = 0;
    for (; v != 0; v >>= 1)
        ++n;
    return n;
}

uint32_t chunkShift(int64_t hint, int64_t lengthOf)
{
    return hint == 0 ? 8u : std::min(bitLength(static_cast<uint32_t>(lengthOf)), 8u);
}

uint32_t slotsFor(int64_t count, uint32_t chunk)
{
    return static_cast<uint32_t>((count + chunk - 1) / chunk);
}

int32_t compareValues(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

bool growWords(ConstraintClass* c, int64_t total)
{
    return DVKMem_GrowChunkedArray(&c->wordIds, &c->wordChunkSlots, &c->wordChunksUsed, c->wordShift, 2,
                                   static_cast<uint32_t>(total)) != 0;
}

void moveMembers(void** table, const ConstraintClass* c, uint32_t size, int32_t from, int32_t count, int32_t to)
{
    DVKMem_MoveChunkedArrayElements(table, c->memberChunk, size, from, count, to);
}

} // namespace

ConstraintClass* ConstraintClass_Create(int32_t expectedMembers, int32_t expectedWords, int32_t hasWeights,
                                        int32_t hasPhraseIds, int32_t flagA, int32_t flagB, void* irObject,
                                        int32_t irClassIndex)
{
    if (expectedMembers < 0 || expectedMembers > kConstraintClassMaxMembers || expectedWords < 0 ||
        (expectedMembers == 0) != (expectedWords == 0))
        return nullptr;
    auto* c = static_cast<ConstraintClass*>(DVKMem_Calloc(sizeof(ConstraintClass)));
    if (c == nullptr)
        return nullptr;
    // The offsets need one entry more than the members.
    c->memberShift = chunkShift(expectedMembers, int64_t{expectedMembers} + 1);
    c->memberChunk = 1u << c->memberShift;
    c->memberChunkSlots = slotsFor(expectedMembers, c->memberChunk);
    c->weightChunkSlots = c->memberChunkSlots;
    c->phraseChunkSlots = c->memberChunkSlots;
    c->wordShift = chunkShift(expectedWords, expectedWords);
    c->wordChunk = 1u << c->wordShift;
    c->wordChunkSlots = slotsFor(expectedWords, c->wordChunk);
    c->hasWeights = hasWeights != 0 ? 1 : 0;
    c->hasPhraseIds = hasPhraseIds != 0 ? 1 : 0;
    c->flagA = flagA;
    c->flagB = flagB;
    c->irObject = irObject;
    c->irClassIndex = irObject != nullptr ? irClassIndex : -1;
    c->startListCount = -1;
    c->startListKey = -1;
    c->ownsArrays = 1;
    c->persistent = 1;
    return c;
}

void ConstraintClass_FreeContents(ConstraintClass* c)
{
    if (c == nullptr || c->ownsArrays == 0)
        return;
    DVKMem_FreeChunksArray(c->memberOffsets, c->memberChunksUsed);
    DVKMem_FreeChunksArray(c->wordIds, c->wordChunksUsed);
    DVKMem_FreeChunksArray(c->weights, c->weightChunksUsed);
    DVKMem_FreeChunksArray(c->phraseIds, c->phraseChunksUsed);
    DVKMem_FreeChunksArray(c->wordIndex, c->wordIndexPages);
    DVKMem_Free(c->startList);
    DVKMem_Free(c->startListWords);
    c->memberOffsets = c->wordIds = c->weights = c->phraseIds = c->wordIndex = nullptr;
    c->memberChunksUsed = c->wordChunksUsed = c->weightChunksUsed = c->phraseChunksUsed = 0;
    c->wordIndexPages = 0;
    c->wordIndexBuilt = 0;
    c->startList = nullptr;
    c->startListWords = nullptr;
    c->startListCount = -1;
    c->startListCapacity = 0;
    c->numMembers = 0;
    c->numWords = 0;
}

void ConstraintClass_Delete(ConstraintClass* c)
{
    if (c == nullptr)
        return;
    ConstraintClass_FreeContents(c);
    if (c->ownsArrays != 0)
        DVKMem_Free(c);
}

int32_t ConstraintClass_GrowMemberArrays(ConstraintClass* c, int32_t count)
{
    const auto n = static_cast<uint32_t>(count);
    if (DVKMem_GrowChunkedArray(&c->memberOffsets, &c->memberChunkSlots, &c->memberChunksUsed, c->memberShift,
                                4, n + 1) == 0)
        return 0;
    if (c->hasWeights != 0 && DVKMem_GrowChunkedArray(&c->weights, &c->weightChunkSlots, &c->weightChunksUsed,
                                                      c->memberShift, 1, n) == 0)
        return 0;
    if (c->hasPhraseIds != 0 && DVKMem_GrowChunkedArray(&c->phraseIds, &c->phraseChunkSlots,
                                                        &c->phraseChunksUsed, c->memberShift, 4, n) == 0)
        return 0;
    return 1;
}

int32_t compareClassMembers(const ConstraintClass* c, int32_t a, int32_t b, bool withWeights)
{
    const int32_t startA = static_cast<int32_t>(ConstraintClass_OffsetAt(c, a));
    const int32_t startB = static_cast<int32_t>(ConstraintClass_OffsetAt(c, b));
    const int32_t lengthA = ConstraintClass_MemberLength(c, a);
    const int32_t lengthB = ConstraintClass_MemberLength(c, b);
    for (int32_t i = 0, n = std::min(lengthA, lengthB); i < n; ++i) {
        const uint16_t wa = ConstraintClass_WordAt(c, startA + i);
        const uint16_t wb = ConstraintClass_WordAt(c, startB + i);
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    if (c->hasPhraseIds != 0) {
        const int32_t byPhrase = compareValues(ConstraintClass_PhraseIdAt(c, a), ConstraintClass_PhraseIdAt(c, b));
        if (byPhrase != 0)
            return byPhrase;
    }
    if (withWeights && c->hasWeights != 0)
        return compareValues(ConstraintClass_WeightAt(c, a), ConstraintClass_WeightAt(c, b));
    return 0;
}

int32_t ConstraintClass_CompareSequenceToMember(const ConstraintClass* c, const uint16_t* words, int32_t count,
                                                int32_t phraseId, int32_t m)
{
    const int32_t start = static_cast<int32_t>(ConstraintClass_OffsetAt(c, m));
    const int32_t length = ConstraintClass_MemberLength(c, m);
    for (int32_t i = 0, n = std::min(count, length); i < n; ++i) {
        const uint16_t w = ConstraintClass_WordAt(c, start + i);
        if (words[i] != w)
            return words[i] < w ? -1 : 1;
    }
    if (count != length)
        return count < length ? -1 : 1;
    return c->hasPhraseIds != 0 ? compareValues(phraseId, ConstraintClass_PhraseIdAt(c, m)) : 0;
}

int32_t ConstraintClass_InsertMember(ConstraintClass* c, int32_t count, const uint16_t* wordIds, uint8_t weight,
                                     int32_t phraseId)
{
    if (count < 1 || count > kConstraintClassMaxMemberLength)
        return 0;
    const int32_t n = c->numMembers;
    int32_t low = 0;
    int32_t high = n - 1;
    while (low <= high) {
        const int32_t mid = (low + high) / 2;
        if (ConstraintClass_CompareSequenceToMember(c, wordIds, count, phraseId, mid) > 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    const int32_t pos = low;
    if (pos < n && ConstraintClass_CompareSequenceToMember(c, wordIds, count, phraseId, pos) == 0) {
        if (c->hasWeights != 0)
            ConstraintClass_WeightAt(c, pos) = std::min(ConstraintClass_WeightAt(c, pos), weight);
        return 1;
    }
    const int64_t total = int64_t{c->numWords} + count;
    if (n >= kConstraintClassMaxMembers || total >= kConstraintClassMaxWords ||
        ConstraintClass_GrowMemberArrays(c, n + 1) == 0 || !growWords(c, total))
        return 0;
    if (n == 0)
        ConstraintClass_OffsetAt(c, 0) = 0;
    const int32_t start = static_cast<int32_t>(ConstraintClass_OffsetAt(c, pos));
    moveMembers(c->memberOffsets, c, 4, pos, n + 1 - pos, pos + 1);
    DVKMem_MoveChunkedArrayElements(c->wordIds, c->wordChunk, 2, start, c->numWords - start, start + count);
    for (int32_t i = 0; i < count; ++i)
        ConstraintClass_WordAt(c, start + i) = wordIds[i];
    if (c->hasWeights != 0) {
        moveMembers(c->weights, c, 1, pos, n - pos, pos + 1);
        ConstraintClass_WeightAt(c, pos) = weight;
    }
    if (c->hasPhraseIds != 0) {
        moveMembers(c->phraseIds, c, 4, pos, n - pos, pos + 1);
        ConstraintClass_PhraseIdAt(c, pos) = phraseId;
    }
    for (int32_t m = pos + 1; m <= n + 1; ++m)
        ConstraintClass_OffsetAt(c, m) += static_cast<uint32_t>(count);
    ++c->numMembers;
    c->numWords += count;
    c->pronCacheDirty = 1;
    return 1;
}

void ConstraintClass_RemoveMemberAt(ConstraintClass* c, int32_t m)
{
    const int32_t n = c->numMembers;
    const int32_t start = static_cast<int32_t>(ConstraintClass_OffsetAt(c, m));
    const int32_t end = static_cast<int32_t>(ConstraintClass_OffsetAt(c, m + 1));
    const int32_t length = end - start;
    moveMembers(c->memberOffsets, c, 4, m + 1, n - m, m);
    DVKMem_MoveChunkedArrayElements(c->wordIds, c->wordChunk, 2, end, c->numWords - end, start);
    if (c->hasWeights != 0)
        moveMembers(c->weights, c, 1, m + 1, n - m - 1, m);
    if (c->hasPhraseIds != 0)
        moveMembers(c->phraseIds, c, 4, m + 1, n - m - 1, m);
    for (int32_t k = m; k < n; ++k)
        ConstraintClass_OffsetAt(c, k) -= static_cast<uint32_t>(length);
    --c->numMembers;
    c->numWords -= length;
}

int32_t ConstraintClass_CountPronunciations(const ConstraintClass* c, const Voc* vocabulary)
{
    int32_t total = 0;
    uint16_t previous = 0;
    for (int32_t m = 0; m < c->numMembers; ++m) {
        const uint16_t first = ConstraintClass_WordAt(c, static_cast<int32_t>(ConstraintClass_OffsetAt(c, m)));
        if (m > 0 && first == previous)
            continue;
        previous = first;
        total += Voc_GetNumProns(vocabulary, Voc_ActiveIdToVocId(vocabulary, first));
    }
    return total;
}

int32_t ConstraintClass_GetAllWordIds(const ConstraintClass* c, uint16_t* destination)
{
    if (destination != nullptr)
        for (int32_t i = 0; i < c->numWords; ++i)
            destination[i] = ConstraintClass_WordAt(c, i);
    return c->numWords;
}
