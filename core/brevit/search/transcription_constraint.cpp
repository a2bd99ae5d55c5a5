// The transcription constraint: exactly one sequence of items, each a set of
// alternative prons. Its position is the number of items consumed (53 bits
// of the `ActiveId` below the constraint index).
//
// An item holds at most kTranscriptionMaxItemProns prons, counted and copied
// alike; a disabled constraint (n = -1) has no item to read.
#include "core/brevit/search/transcription_constraint.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>

namespace {

struct TranscriptionIterator {
    uint32_t index;
    uint32_t counter;
    uint32_t previous;
    uint32_t low;
    uint32_t high;   // H and 0x1fffff
    uint16_t restrict;
};

TranscriptionConstraint* asTranscription(Constraint* con) { return reinterpret_cast<TranscriptionConstraint*>(con); }

constexpr char kDefaultName[] = " XTR ";

uint64_t positionOf(ActiveId id) { return id & 0x1fffffffffffffull; }

bool itemHolds(const TranscriptionConstraint* t, uint64_t item, uint16_t pron)
{
    for (uint32_t k = t->pronOffsets[item]; k < t->pronOffsets[item + 1]; ++k)
        if (t->pronIds[k] == pron)
            return true;
    return false;
}

void freeTables(TranscriptionConstraint* t)
{
    DVKMem_Free(t->pronIds);
    DVKMem_Free(t->pronOffsets);
    DVKMem_Free(t->phonemeOffsets);
    DVKMem_Free(t->phonemes);
}

void init(TranscriptionConstraint* t)
{
    Constraint* con = &t->head;
    con->type = kConstraintTypeTranscription;
    std::strncpy(con->name, kDefaultName, kConstraintNameSize - 1);
    con->restrictionFlag = 1;
    con->transcriptionFlag = 1;
    ConstraintOps& ops = con->ops;
    ops = ConstraintOps{};
    ops.Delete = TranscriptionConstraint_Delete;
    ops.IsSimple = TranscriptionConstraint_IsSimple;
    ops.RemoveActiveId = TranscriptionConstraint_RemoveActiveId;
    ops.IteratorInit = TranscriptionConstraint_IteratorInit;
    ops.IteratorNext = TranscriptionConstraint_IteratorNext;
    ops.IsLegalPronEndingReverse = TranscriptionConstraint_IsLegalPronEndingReverse;
    ops.FindParse = TranscriptionConstraint_FindParse;
    ops.PrintAllTransitions = TranscriptionConstraint_PrintAllTransitions;
    ops.HasOptionalEnding = TranscriptionConstraint_HasOptionalEnding;
    ops.GetEndingPhns = TranscriptionConstraint_GetEndingPhns;
    ops.ComputeCRC = TranscriptionConstraint_ComputeCRC;
}

// The first phonemes of each item's prons, each once per item.
bool buildPhonemes(TranscriptionConstraint* t)
{
    const int32_t n = t->n;
    const uint32_t prons = t->pronOffsets[n];
    t->phonemeOffsets = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(n + 1) * 4u));
    t->phonemes = static_cast<uint16_t*>(DVKMem_Malloc(std::max<uint32_t>(prons, 1) * 2u));
    const int32_t longest = std::max(Voc_GetMaxRecogPronunciationLength(t->head.vocabulary), 1);
    auto* scratch = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(longest + 1) * 2u));
    const bool ok = t->phonemeOffsets != nullptr && t->phonemes != nullptr && scratch != nullptr;
    uint32_t total = 0;
    for (int32_t i = 0; ok && i < n; ++i) {
        const uint32_t first = total;
        for (uint32_t k = t->pronOffsets[i]; k < t->pronOffsets[i + 1]; ++k) {
            scratch[0] = 0xFFFF;
            Voc_GetRecogPronunciation(t->head.vocabulary, t->pronIds[k], scratch);
            const uint16_t phoneme = scratch[0];
            if (std::find(t->phonemes + first, t->phonemes + total, phoneme) == t->phonemes + total)
                t->phonemes[total++] = phoneme;
        }
        t->phonemeOffsets[i + 1] = total;
    }
    DVKMem_Free(scratch);
    return ok;
}

} // namespace

int32_t TranscriptionConstraint_GetItemPronIds(Voc* vocabulary, int32_t mode, const void* ids, int32_t i,
                                               uint16_t* buffer, int32_t capacity)
{
    int32_t count = 0;
    switch (mode) {
    case 0:
        if (capacity < 1)
            return 0;
        buffer[0] = static_cast<const uint16_t*>(ids)[i];
        return 1;
    case 1:
        count = Voc_GetPronIds(vocabulary, Voc_ActiveIdToVocId(vocabulary, static_cast<const uint16_t*>(ids)[i]),
                               buffer, capacity);
        break;
    case 2:
        count = Voc_GetPronIds(vocabulary, static_cast<const uint32_t*>(ids)[i], buffer, capacity);
        break;
    default:
        return 0;
    }
    // A word with more prons than the buffer holds gives what it holds.
    return std::clamp(count, 0, capacity);
}

Constraint* TranscriptionConstraint_Create(const void* ids, int32_t n, int32_t mode, Voc* vocabulary, int32_t request)
{
    if (n < 0)
        return nullptr;
    auto* t = static_cast<TranscriptionConstraint*>(DVKMem_Calloc(sizeof(TranscriptionConstraint)));
    if (t == nullptr)
        return nullptr;
    init(t);
    t->head.vocabulary = vocabulary;
    t->n = n;
    t->request = request;
    uint16_t gathered[kTranscriptionMaxItemProns];
    t->pronOffsets = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(n + 1) * 4u));
    bool ok = t->pronOffsets != nullptr;
    for (int32_t i = 0; ok && i < n; ++i)
        t->pronOffsets[i + 1] = t->pronOffsets[i] + static_cast<uint32_t>(TranscriptionConstraint_GetItemPronIds(
                                                        vocabulary, mode, ids, i, gathered, kTranscriptionMaxItemProns));
    if (ok) {
        t->pronIds = static_cast<uint16_t*>(DVKMem_Malloc(std::max<uint32_t>(t->pronOffsets[n], 1) * 2u));
        ok = t->pronIds != nullptr;
    }
    for (int32_t i = 0; ok && i < n; ++i)
        TranscriptionConstraint_GetItemPronIds(vocabulary, mode, ids, i, t->pronIds + t->pronOffsets[i],
                                               static_cast<int32_t>(t->pronOffsets[i + 1] - t->pronOffsets[i]));
    if (ok && request != 0)
        ok = buildPhonemes(t);
    if (!ok) {
        freeTables(t);
        DVKMem_Free(t);
        return nullptr;
    }
    t->head.inUse = 1;
    return &t->head;
}

Constraint* Constraint_CreatePronTranscriptionConstraint(const uint16_t* ids, int32_t n, Voc* vocabulary,
                                                         int32_t request)
{
    return TranscriptionConstraint_Create(ids, n, 0, vocabulary, request);
}

Constraint* Constraint_CreatePhraseTranscriptionConstraint(const uint16_t* ids, int32_t n, Voc* vocabulary,
                                                           int32_t request)
{
    return TranscriptionConstraint_Create(ids, n, 1, vocabulary, request);
}

Constraint* Constraint_CreateWordIdTranscriptionConstraint(const uint32_t* ids, int32_t n, Voc* vocabulary,
                                                           int32_t request)
{
    return TranscriptionConstraint_Create(ids, n, 2, vocabulary, request);
}

void TranscriptionConstraint_Delete(Constraint* con, int32_t)
{
    if (con == nullptr)
        return;
    freeTables(asTranscription(con));
    DVKMem_Free(con);
}

int32_t TranscriptionConstraint_IsSimple(Constraint*) { return 1; }

void TranscriptionConstraint_IteratorInit(Constraint*, ConstraintIterator* iterator, uint16_t previous, int32_t,
                                          ActiveId id, uint16_t restrict)
{
    auto* it = ConstraintIterator_As<TranscriptionIterator>(iterator);
    it->index = static_cast<uint32_t>(ActiveId_GetConstraintIndex(id));
    it->counter = 0;
    it->previous = previous;
    it->low = ActiveId_Low(id);
    it->high = ActiveId_High(id) & 0x1fffffu;
    it->restrict = restrict;
}

int32_t TranscriptionConstraint_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out)
{
    auto* it = ConstraintIterator_As<TranscriptionIterator>(iterator);
    const TranscriptionConstraint* t = asTranscription(con);
    const uint64_t p = (static_cast<uint64_t>(it->high) << 32) | it->low;
    const uint64_t q = p + 1;
    if (t->n < 0 || q > static_cast<uint64_t>(t->n))
        return 0;
    out->next = (static_cast<uint64_t>(it->index) << 53) + q;
    out->final = q == static_cast<uint64_t>(t->n) ? 1 : 0;
    out->score = 0;
    out->classTree = nullptr;
    const bool wordOrder = BrevitParam_Word(kBrevitParamCanFollowCheck) != 0;
    const Voc* vocabulary = con->vocabulary;
    const uint32_t first = t->pronOffsets[p];
    const uint32_t count = t->pronOffsets[p + 1] - first;
    if (it->restrict == kConstraintNoPron) {
        while (it->counter < count) {
            const uint16_t pron = t->pronIds[first + it->counter++];
            if (wordOrder && Voc_CanFollow(vocabulary, static_cast<uint16_t>(it->previous), pron) == 0)
                continue;
            out->member = pron;
            return 1;
        }
        return 0;
    }
    if (wordOrder && Voc_CanFollow(vocabulary, static_cast<uint16_t>(it->previous), it->restrict) == 0)
        return 0;
    if (it->counter != 0 || !itemHolds(t, p, it->restrict))
        return 0;
    out->member = it->restrict;
    it->counter = 1;
    return 1;
}

int32_t TranscriptionConstraint_FindParse(Constraint* con, int32_t count, const uint32_t* words, uint32_t* classes,
                                          int32_t* cost, uint8_t* flags)
{
    const TranscriptionConstraint* t = asTranscription(con);
    if (count != t->n || count < 0)
        return 0;
    const int32_t room = std::max(Voc_GetMaxNumPronunciations(con->vocabulary), 1);
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(room) * 2u));
    if (prons == nullptr)
        return 0;
    bool ok = true;
    for (int32_t i = 0; ok && i < count; ++i) {
        const int32_t n = std::min(Voc_GetPronIds(con->vocabulary, words[i], prons, room), room);
        ok = false;
        for (int32_t k = 0; k < n && !ok; ++k)
            ok = itemHolds(t, static_cast<uint64_t>(i), prons[k]);
    }
    DVKMem_Free(prons);
    if (!ok)
        return 0;
    for (int32_t i = 0; classes != nullptr && i < count; ++i)
        classes[i] = 0;
    *cost = 0;
    if (flags != nullptr && count > 0) {
        std::memset(flags, 0, static_cast<size_t>(count));
        flags[0] = 1;
    }
    return 1;
}

int32_t TranscriptionConstraint_IsLegalPronEndingReverse(Constraint* con, const uint16_t* prons, int32_t k)
{
    const TranscriptionConstraint* t = asTranscription(con);
    if (k > t->n)
        return 0;
    if (k < 1)
        return 1;
    for (int32_t j = 0; j < k; ++j)
        if (!itemHolds(t, static_cast<uint64_t>(t->n - 1 - j), prons[j]))
            return 0;
    return 1;
}

int32_t TranscriptionConstraint_GetEndingPhns(Constraint* con, uint16_t, ActiveId position, const uint16_t** out)
{
    const TranscriptionConstraint* t = asTranscription(con);
    if (t->request == 0 || t->phonemeOffsets == nullptr)
        return 65535;
    const uint64_t p = positionOf(position);
    if (t->n < 0 || p >= static_cast<uint64_t>(t->n))
        return 0;
    *out = t->phonemes + t->phonemeOffsets[p];
    return static_cast<int32_t>(t->phonemeOffsets[p + 1] - t->phonemeOffsets[p]);
}

int32_t TranscriptionConstraint_RemoveActiveId(Constraint* con, uint16_t activeId)
{
    TranscriptionConstraint* t = asTranscription(con);
    const Voc* vocabulary = con->vocabulary;
    const int32_t room = std::max(Voc_GetMaxNumPronunciations(vocabulary), 1);
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(room) * 2u));
    if (prons == nullptr)
        return 1;
    const int32_t n = std::min(Voc_GetPronIds(vocabulary, Voc_ActiveIdToVocId(vocabulary, activeId), prons, room), room);
    bool hit = false;
    for (int32_t i = 0; t->n > 0 && !hit && i < n; ++i)
        hit = std::find(t->pronIds, t->pronIds + t->pronOffsets[t->n], prons[i]) != t->pronIds + t->pronOffsets[t->n];
    DVKMem_Free(prons);
    if (!hit)
        return 1;
    // The constraint can no longer be satisfied: its iterators yield nothing.
    t->n = -1;
    return 0;
}

void TranscriptionConstraint_MarkReferencedWordIds(Constraint* con, uint8_t* bitmap, int32_t first, int32_t count)
{
    const TranscriptionConstraint* t = asTranscription(con);
    if (t->n < 1)
        return;
    for (uint32_t k = 0; k < t->pronOffsets[t->n]; ++k) {
        const int32_t a = Voc_GetActiveIdFromPronId(con->vocabulary, t->pronIds[k], nullptr);
        if (a >= first && a < first + count)
            bitmap[(a - first) >> 3] |= static_cast<uint8_t>(1u << ((a - first) & 7));
    }
}

void TranscriptionConstraint_PrintAllTransitions(Constraint*, int32_t, int32_t) {}

int32_t TranscriptionConstraint_HasOptionalEnding(Constraint*) { return 0; }

uint32_t TranscriptionConstraint_ComputeCRC(Constraint* con, uint32_t)
{
    const TranscriptionConstraint* t = asTranscription(con);
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->type), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->restrictionFlag), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(t->n), crc);
    if (t->n < 0)
        return crc;
    crc = DVKCrc_AddArray(t->pronOffsets, 4, t->n + 1, crc);
    return DVKCrc_AddArray(t->pronIds, 2, static_cast<int32_t>(t->pronOffsets[t->n]), crc);
}
