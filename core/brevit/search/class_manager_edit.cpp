// Member editing of the class manager: a class filled from empty collects its
// members unsorted in the edit buffer and merges them once (one sort, repeats
// dropped keeping the lowest weight); a class with members takes each new one
// at its sorted place. Also the member accessors, which finish a pending edit
// before they read.
#include "core/brevit/search/class_manager.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/constraint_class.h"

#include <algorithm>
#include <numeric>

namespace {

bool growWords(ConstraintClass* c, int64_t total)
{
    return DVKMem_GrowChunkedArray(&c->wordIds, &c->wordChunkSlots, &c->wordChunksUsed, c->wordShift, 2,
                                   static_cast<uint32_t>(total)) != 0;
}

// The buffer's members, sorted and each once, copied into the empty record.
// On failure the record keeps no member and its chunk tables their sizes.
bool merge(const ConstraintClass* buffer, ConstraintClass* record)
{
    const int32_t n = buffer->numMembers;
    if (n == 0)
        return true;
    auto* order = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(n) * 4u));
    if (order == nullptr)
        return false;
    std::iota(order, order + n, 0);
    std::sort(order, order + n,
              [buffer](int32_t a, int32_t b) { return compareClassMembers(buffer, a, b, true) < 0; });
    // Of equal members the first, with the lowest weight, stays.
    int32_t kept = 0;
    int64_t words = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (kept > 0 && compareClassMembers(buffer, order[i], order[kept - 1], false) == 0)
            continue;
        order[kept++] = order[i];
        words += ConstraintClass_MemberLength(buffer, order[i]);
    }
    const ConstraintClass before = *record;
    if (record->memberOffsets == nullptr)
        record->memberChunkSlots = std::max(record->memberChunkSlots, buffer->memberChunksUsed);
    if (record->weights == nullptr)
        record->weightChunkSlots = std::max(record->weightChunkSlots, buffer->weightChunksUsed);
    if (record->phraseIds == nullptr)
        record->phraseChunkSlots = std::max(record->phraseChunkSlots, buffer->phraseChunksUsed);
    if (record->wordIds == nullptr)
        record->wordChunkSlots = std::max(record->wordChunkSlots, buffer->wordChunksUsed);
    if (ConstraintClass_GrowMemberArrays(record, kept) == 0 || !growWords(record, words)) {
        if (record->memberOffsets == nullptr)
            record->memberChunkSlots = before.memberChunkSlots;
        if (record->weights == nullptr)
            record->weightChunkSlots = before.weightChunkSlots;
        if (record->phraseIds == nullptr)
            record->phraseChunkSlots = before.phraseChunkSlots;
        if (record->wordIds == nullptr)
            record->wordChunkSlots = before.wordChunkSlots;
        DVKMem_Free(order);
        return false;
    }
    int32_t offset = 0;
    for (int32_t k = 0; k < kept; ++k) {
        const int32_t m = order[k];
        const int32_t start = static_cast<int32_t>(ConstraintClass_OffsetAt(buffer, m));
        const int32_t length = ConstraintClass_MemberLength(buffer, m);
        ConstraintClass_OffsetAt(record, k) = static_cast<uint32_t>(offset);
        for (int32_t i = 0; i < length; ++i)
            ConstraintClass_WordAt(record, offset + i) = ConstraintClass_WordAt(buffer, start + i);
        if (record->hasWeights != 0)
            ConstraintClass_WeightAt(record, k) = ConstraintClass_WeightAt(buffer, m);
        if (record->hasPhraseIds != 0)
            ConstraintClass_PhraseIdAt(record, k) = ConstraintClass_PhraseIdAt(buffer, m);
        offset += length;
    }
    ConstraintClass_OffsetAt(record, kept) = static_cast<uint32_t>(offset);
    record->numMembers = kept;
    record->numWords = offset;
    DVKMem_Free(order);
    return true;
}

// The buffer takes the shape of the class it collects for.
void startEdit(ClassManager* m, uint32_t owner, const ConstraintClass* record)
{
    ConstraintClass* buffer = m->editBuffer;
    buffer->memberShift = record->memberShift;
    buffer->memberChunk = record->memberChunk;
    buffer->memberChunkSlots = record->memberChunkSlots;
    buffer->weightChunkSlots = record->memberChunkSlots;
    buffer->phraseChunkSlots = record->memberChunkSlots;
    buffer->wordShift = record->wordShift;
    buffer->wordChunk = record->wordChunk;
    buffer->wordChunkSlots = record->wordChunkSlots;
    buffer->hasWeights = record->hasWeights;
    buffer->hasPhraseIds = record->hasPhraseIds;
    m->editClassId = owner;
}

bool append(ConstraintClass* buffer, const uint16_t* words, int32_t count, uint8_t weight, int32_t phraseId)
{
    const int32_t n = buffer->numMembers;
    const int64_t total = int64_t{buffer->numWords} + count;
    if (total >= kConstraintClassMaxWords || ConstraintClass_GrowMemberArrays(buffer, n + 1) == 0 ||
        !growWords(buffer, total))
        return false;
    if (n == 0)
        ConstraintClass_OffsetAt(buffer, 0) = 0;
    ConstraintClass_OffsetAt(buffer, n + 1) = static_cast<uint32_t>(total);
    if (buffer->hasWeights != 0)
        ConstraintClass_WeightAt(buffer, n) = weight;
    if (buffer->hasPhraseIds != 0)
        ConstraintClass_PhraseIdAt(buffer, n) = phraseId;
    for (int32_t i = 0; i < count; ++i)
        ConstraintClass_WordAt(buffer, buffer->numWords + i) = words[i];
    buffer->numWords = static_cast<int32_t>(total);
    ++buffer->numMembers;
    return true;
}

// A buffer holding the most members a class may have is merged in place,
// so that repeats give their room back.
bool compact(ClassManager* m)
{
    ConstraintClass* buffer = m->editBuffer;
    ConstraintClass* fresh = ConstraintClass_Create(0, 0, buffer->hasWeights, buffer->hasPhraseIds, 0, 0, nullptr, -1);
    if (fresh == nullptr)
        return false;
    fresh->memberShift = buffer->memberShift;
    fresh->memberChunk = buffer->memberChunk;
    fresh->wordShift = buffer->wordShift;
    fresh->wordChunk = buffer->wordChunk;
    if (!merge(buffer, fresh)) {
        ConstraintClass_Delete(fresh);
        return false;
    }
    ConstraintClass_FreeContents(buffer);
    const ConstraintClass shape = *buffer;
    *buffer = *fresh;
    buffer->flagA = shape.flagA;
    buffer->flagB = shape.flagB;
    DVKMem_Free(fresh);
    return true;
}

// After a member change: the pool is stale, and the tree may now be due.
void changed(ClassManager* m, uint32_t owner)
{
    if (m->succPronPool != nullptr)
        ClassManager_ResetSuccPronIds(m);
    ConstraintClass* record = ClassManager_RecordOf(m, owner);
    if (m->trees != nullptr && record != nullptr && record->rebuildTree == 0)
        ClassManager_UpdateRebuildTree(m, record);
}

// The named class's record owner (the alias target of an alias): 0 for the
// boundary names, names not found and constraint aliases.
uint32_t editableClass(const ClassManager* m, const char* name)
{
    if (m == nullptr || name == nullptr)
        return 0;
    const int32_t id = ClassManager_FindClass(m, name);
    return id > 0 ? ClassManager_OwnerOf(m, static_cast<uint32_t>(id)) : 0;
}

bool validLength(int32_t count) { return count >= 1 && count <= kConstraintClassMaxMemberLength; }

// The member equal to the sequence (phrase id 0), or -1.
int32_t findMember(const ConstraintClass* record, const uint16_t* words, int32_t count)
{
    int32_t low = 0;
    int32_t high = record->numMembers - 1;
    while (low <= high) {
        const int32_t mid = (low + high) / 2;
        const int32_t c = ConstraintClass_CompareSequenceToMember(record, words, count, 0, mid);
        if (c == 0)
            return mid;
        if (c > 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return -1;
}

bool contains(const ConstraintClass* record, int32_t member, uint16_t word)
{
    const int32_t start = static_cast<int32_t>(ConstraintClass_OffsetAt(record, member));
    const int32_t end = static_cast<int32_t>(ConstraintClass_OffsetAt(record, member + 1));
    for (int32_t i = start; i < end; ++i)
        if (ConstraintClass_WordAt(record, i) == word)
            return true;
    return false;
}

// The record of id with member in range after finishing any pending edit,
// else null.
const ConstraintClass* memberOf(ClassManager* m, uint32_t id, int32_t member)
{
    if (ClassManager_FinishEdit(m) == 0)
        return nullptr;
    const ConstraintClass* record = ClassManager_RecordOf(m, id);
    return record != nullptr && member >= 0 && member < record->numMembers ? record : nullptr;
}

uint16_t firstWord(const ConstraintClass* record, int32_t member)
{
    return ConstraintClass_WordAt(record, static_cast<int32_t>(ConstraintClass_OffsetAt(record, member)));
}

} // namespace

void ClassManager_UpdateRebuildTree(ClassManager* m, ConstraintClass* record)
{
    const auto threshold = static_cast<int32_t>(BrevitParam_Word(kBrevitParamTreePronThreshold));
    record->rebuildTree = threshold <= ConstraintClass_CountPronunciations(record, m->vocabulary) ? 1 : 0;
}

void ClassManager_DropEdit(ClassManager* m)
{
    ConstraintClass_FreeContents(m->editBuffer);
    m->editClassId = 0;
}

int32_t ClassManager_FinishEdit(ClassManager* m)
{
    if (m == nullptr || m->editClassId == 0)
        return 1;
    ConstraintClass* record = ClassManager_RecordOf(m, m->editClassId);
    if (record == nullptr) {
        ClassManager_DropEdit(m);
        return 1;
    }
    // A failed merge leaves the record as it was and the edit pending.
    if (!merge(m->editBuffer, record))
        return 0;
    ClassManager_DropEdit(m);
    if (m->trees != nullptr && record->rebuildTree == 0)
        ClassManager_UpdateRebuildTree(m, record);
    return 1;
}

int32_t ClassManager_FinishEditOf(ClassManager* m, uint32_t id)
{
    if (m == nullptr || m->editClassId == 0)
        return 1;
    if (id != 0 && ClassManager_OwnerOf(m, id) != m->editClassId)
        return 1;
    return ClassManager_FinishEdit(m);
}

int32_t ClassManager_AddClassMember(ClassManager* m, const char* className, const uint16_t* wordIds, int32_t count,
                                    uint8_t weight, int32_t phraseId)
{
    const uint32_t owner = editableClass(m, className);
    ConstraintClass* record = ClassManager_RecordOf(m, owner);
    if (record == nullptr || wordIds == nullptr || !validLength(count))
        return 0;
    ConstraintClass* buffer = m->editBuffer;
    if (owner != m->editClassId) {
        if (record->numMembers > 0) {
            if (ConstraintClass_InsertMember(record, count, wordIds, weight, phraseId) == 0)
                return 0;
            changed(m, owner);
            return 1;
        }
        if (ClassManager_FinishEdit(m) == 0)
            return 0;
        startEdit(m, owner, record);
    } else if (buffer->numMembers >= kConstraintClassMaxMembers) {
        if (!compact(m))
            return 0;
        if (buffer->numMembers >= kConstraintClassMaxMembers) {
            // Full even without repeats: only an equal member may still lower its weight.
            if (ConstraintClass_InsertMember(buffer, count, wordIds, weight, phraseId) == 0)
                return 0;
            changed(m, owner);
            return 1;
        }
    }
    if (!append(buffer, wordIds, count, weight, phraseId))
        return 0;
    changed(m, owner);
    return 1;
}

int32_t ClassManager_RemoveClassMember(ClassManager* m, const char* className, const uint16_t* wordIds,
                                       int32_t count)
{
    const uint32_t owner = editableClass(m, className);
    ConstraintClass* record = ClassManager_RecordOf(m, owner);
    if (record == nullptr || record->hasPhraseIds != 0 || ClassManager_FinishEditOf(m, owner) == 0 ||
        wordIds == nullptr || !validLength(count))
        return 0;
    const int32_t member = findMember(record, wordIds, count);
    if (member < 0)
        return 0;
    ConstraintClass_RemoveMemberAt(record, member);
    if (m->succPronPool != nullptr)
        ClassManager_ResetSuccPronIds(m);
    if (m->trees != nullptr)
        ClassManager_UpdateRebuildTree(m, record);
    return 1;
}

int32_t ClassManager_RemoveClassMembers(ClassManager* m, const char* className)
{
    const uint32_t owner = editableClass(m, className);
    if (owner == 0)
        return 0;
    ClassManager_DeleteTree(m, owner);
    if (ConstraintClass* record = ClassManager_RecordOf(m, owner)) {
        record->rebuildTree = 0;
        record->numMembers = 0;
        record->numWords = 0;
    }
    if (m->editClassId == owner)
        ClassManager_DropEdit(m);
    if (m->succPronPool != nullptr)
        ClassManager_ResetSuccPronIds(m);
    return 1;
}

int32_t ClassManager_RemoveWordFromClasses(ClassManager* m, uint16_t activeWordId)
{
    if (m == nullptr || ClassManager_FinishEdit(m) == 0)
        return 0;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        ConstraintClass* record = ClassManager_RecordOf(m, id);
        if (record == nullptr || ClassManager_AliasOf(m, id) != 0)
            continue;
        for (int32_t member = 0; member < record->numMembers;) {
            if (contains(record, member, activeWordId))
                ConstraintClass_RemoveMemberAt(record, member);
            else
                ++member;
        }
        if (m->trees == nullptr)
            continue;
        ClassManager_UpdateRebuildTree(m, record);
        if (record->rebuildTree == 0)
            ClassManager_DeleteTree(m, id);
    }
    if (m->succPronPool != nullptr)
        ClassManager_ResetSuccPronIds(m);
    return 1;
}

uint16_t ClassManager_GetMemberWord(ClassManager* m, uint32_t id, int32_t member, int32_t position, int32_t* length)
{
    const ConstraintClass* record = memberOf(m, id, member);
    *length = record != nullptr ? ConstraintClass_MemberLength(record, member) : 0;
    if (record == nullptr || position < 0 || position >= *length)
        return kConstraintClassNoWord;
    return ConstraintClass_WordAt(record, static_cast<int32_t>(ConstraintClass_OffsetAt(record, member)) + position);
}

int32_t ClassManager_GetMemberLength(ClassManager* m, uint32_t id, int32_t member, int32_t* length)
{
    *length = 0;
    if (ClassManager_FinishEditOf(m, id) == 0)
        return 0;
    const ConstraintClass* record = ClassManager_RecordOf(m, id);
    if (record != nullptr && member >= 0 && member < record->numMembers)
        *length = ConstraintClass_MemberLength(record, member);
    return 1;
}

int32_t ClassManager_GetMemberPhraseId(ClassManager* m, uint32_t id, int32_t member)
{
    const ConstraintClass* record = memberOf(m, id, member);
    return record != nullptr && record->hasPhraseIds != 0 ? ConstraintClass_PhraseIdAt(record, member) : -1;
}

int32_t ClassManager_GetMemberWeight(ClassManager* m, uint32_t id, int32_t member)
{
    const ConstraintClass* record = memberOf(m, id, member);
    return record != nullptr && record->hasWeights != 0 ? ConstraintClass_WeightAt(record, member) : 0;
}

int32_t ClassManager_GetNumMatchedIdsToSkip(ClassManager* m, uint32_t id, int32_t member)
{
    const ConstraintClass* record = memberOf(m, id, member);
    if (record == nullptr || ConstraintClass_MemberLength(record, member) < 2)
        return 0;
    const uint16_t first = firstWord(record, member);
    int32_t skip = 0;
    for (int32_t next = member + 1; next < record->numMembers && firstWord(record, next) == first; ++next)
        ++skip;
    return skip;
}

int32_t ClassManager_1stActiveIdsMatch(ClassManager* m, uint32_t id, int32_t member, uint16_t* secondWord,
                                       int32_t* nextIsTwoWords)
{
    const ConstraintClass* record = memberOf(m, id, member);
    if (record == nullptr || member + 1 >= record->numMembers ||
        firstWord(record, member) != firstWord(record, member + 1))
        return 0;
    const int32_t length = ConstraintClass_MemberLength(record, member + 1);
    *secondWord = length >= 2 ? ConstraintClass_WordAt(record, static_cast<int32_t>(
                                                                   ConstraintClass_OffsetAt(record, member + 1)) + 1)
                              : kConstraintClassNoWord;
    *nextIsTwoWords = length == 2 ? 1 : 0;
    return 1;
}

int32_t ClassManager_HasMemberStartingWith(const ClassManager* m, uint32_t id, uint16_t activeWordId)
{
    const ConstraintClass* record = ClassManager_RecordOf(m, id);
    if (record == nullptr)
        return 0;
    for (int32_t member = 0; member < record->numMembers; ++member)
        if (firstWord(record, member) == activeWordId)
            return 1;
    return 0;
}
