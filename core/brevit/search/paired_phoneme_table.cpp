// The paired-phoneme table.
#include "core/brevit/search/paired_phoneme_table.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>

namespace {

uint32_t keyOf(uint16_t first, uint16_t second) { return (static_cast<uint32_t>(first) << 16) | second; }

// Room for the model's answer: one model per phoneme at most when it is
// computed, but the context tables list a centre's models, which may be
// more than the phonemes.
uint32_t listRoom(const PairedPhonemeTable* t, uint16_t centre)
{
    int32_t most = t->numPhonemes;
    const AMContextRecord* r = t->acousticModel->context;
    if (r != nullptr && r->leftEntries != nullptr && r->firstModel != nullptr && centre < t->numPhonemes)
        most = std::max<int32_t>(most, static_cast<int32_t>(r->firstModel[centre + 1] - r->firstModel[centre]));
    return static_cast<uint32_t>(most + 2);
}

// The stack raises when it cannot be had; the table must not leak then.
struct TableGuard {
    PairedPhonemeTable* table;
    ~TableGuard()
    {
        if (table != nullptr) {
            DVKMem_Free(table->keys);
            DVKMem_Free(table->lists);
            DVKMem_Free(table);
        }
    }
};

} // namespace

PairedPhonemeTable* PairedPhonemeTable_Create(int32_t capacity, uint32_t stackSize, AM* am)
{
    if (capacity <= 0)
        return nullptr;
    auto* t = static_cast<PairedPhonemeTable*>(DVKMem_Calloc(sizeof(PairedPhonemeTable)));
    if (t == nullptr)
        return nullptr;
    TableGuard guard{t};
    t->keys = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(capacity) * 4));
    t->lists = static_cast<uint16_t**>(DVKMem_Calloc(static_cast<uint32_t>(capacity) * sizeof(uint16_t*)));
    if (t->keys == nullptr || t->lists == nullptr)
        return nullptr;
    t->stack = DVKMemStack_Create(std::max<uint32_t>(stackSize, 2), std::max<uint32_t>(stackSize / 2, 2), 2);
    t->acousticModel = am;
    t->numPhonemes = AM_GetNumPhonemes(am);
    t->capacity = capacity;
    guard.table = nullptr;
    return t;
}

void PairedPhonemeTable_Delete(PairedPhonemeTable* t)
{
    if (t == nullptr)
        return;
    DVKMemStack_Delete(t->stack);
    DVKMem_Free(t->keys);
    DVKMem_Free(t->lists);
    DVKMem_Free(t);
}

void PairedPhonemeTable_Reset(PairedPhonemeTable* t)
{
    if (t == nullptr)
        return;
    t->count = 0;
    DVKMemStack_ReleaseToMark(t->stack, 0);
}

const uint16_t* PairedPhonemeTable_Lookup(PairedPhonemeTable* t, uint16_t first, uint16_t second, int32_t* length)
{
    const uint32_t key = keyOf(first, second);
    int32_t at = static_cast<int32_t>(std::lower_bound(t->keys, t->keys + t->count, key) - t->keys);
    if (at < t->count && t->keys[at] == key) {
        *length = static_cast<int32_t>(Phoneme_GetExpandedPronLength(t->lists[at])) - 1;
        return t->lists[at];
    }
    if (t->count == t->capacity) {
        PairedPhonemeTable_Reset(t);
        at = 0;
    }
    const uint32_t slots = listRoom(t, second);
    auto* list = static_cast<uint16_t*>(DVKMemStack_Alloc(t->stack, slots * 2));
    const int32_t n = std::clamp(AM_GetPairedPhonemes(t->acousticModel, list, first, second), 0,
                                 static_cast<int32_t>(slots) - 2);
    list[n + 1] = kExpandedEnd;
    std::copy_backward(t->keys + at, t->keys + t->count, t->keys + t->count + 1);
    std::copy_backward(t->lists + at, t->lists + t->count, t->lists + t->count + 1);
    t->keys[at] = key;
    t->lists[at] = list;
    ++t->count;
    *length = static_cast<int32_t>(Phoneme_GetExpandedPronLength(list)) - 1;
    return list;
}

uint32_t PairedPhonemeTable_ComputeCRC(const PairedPhonemeTable* t)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(t->numPhonemes), 4, 0xFFFFFFFFu);
    for (int32_t i = 0; i < t->count; ++i) {
        crc = DVKCrc_AddValue(t->keys[i] >> 16, 2, crc);
        crc = DVKCrc_AddValue(t->keys[i] & 0xFFFF, 2, crc);
        for (const uint16_t* p = t->lists[i]; *p != kExpandedEnd; ++p)
            crc = DVKCrc_AddValue(*p, 2, crc);
    }
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->capacity), 4, crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(t->count), 4, crc);
}
