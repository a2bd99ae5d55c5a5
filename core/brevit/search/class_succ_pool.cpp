// The successor-pronunciation pool the class-pair search takes the next
// class's first-word pronunciations from.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxPoolSlots = 65535;

SuccPronPool* poolOf(const ClassManager* m) { return static_cast<SuccPronPool*>(m->succPronPool); }

uint16_t firstWord(const ConstraintClass* c, int32_t m)
{
    return ConstraintClass_WordAt(c, static_cast<int32_t>(ConstraintClass_OffsetAt(c, m)));
}

// The member after m in a visit of the pool.
int32_t nextVisited(ClassManager* manager, uint32_t id, int32_t m, bool once)
{
    return m + 1 + (once ? ClassManager_GetNumMatchedIdsToSkip(manager, id, m) : 0);
}

bool visitOnce() { return BrevitParam_Word(kBrevitParamSingleWordMemberScore) != 0; }

} // namespace

int32_t ClassManager_CreateSuccPronIds(ClassManager* m)
{
    if (m->succPronPool != nullptr)
        return 1;
    const auto wanted = static_cast<int32_t>(BrevitParam_Word(kBrevitParamSuccessorPronPool));
    if (wanted < 1)
        return 1;
    const int32_t capacity = std::min(wanted, kMaxPoolSlots);
    auto* pool = static_cast<SuccPronPool*>(DVKMem_Calloc(sizeof(SuccPronPool)));
    if (pool == nullptr)
        return 0;
    pool->numRanges = m->maxId + 1;
    pool->ranges = static_cast<SuccPronRange*>(DVKMem_Calloc(static_cast<uint32_t>(pool->numRanges) * 4u));
    pool->pronIds = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(capacity) * 2u));
    pool->memberIndexes = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(capacity) * 2u));
    pool->capacity = capacity;
    pool->used = 1;
    m->succPronPool = pool;
    if (pool->ranges == nullptr || pool->pronIds == nullptr || pool->memberIndexes == nullptr) {
        ClassManager_FreeSuccPronIds(m);
        return 0;
    }
    return 1;
}

void ClassManager_ResetSuccPronIds(ClassManager* m)
{
    SuccPronPool* pool = m != nullptr ? poolOf(m) : nullptr;
    if (pool == nullptr)
        return;
    for (int32_t i = 0; i < pool->numRanges; ++i)
        pool->ranges[i].start = 0;
    pool->used = 1;
}

int32_t ClassManager_GrowSuccPronRanges(ClassManager* m, int32_t entries)
{
    SuccPronPool* pool = poolOf(m);
    if (pool == nullptr || pool->numRanges >= entries)
        return 1;
    auto* grown = static_cast<SuccPronRange*>(DVKMem_Calloc(static_cast<uint32_t>(entries) * 4u));
    if (grown == nullptr)
        return 0;
    std::memcpy(grown, pool->ranges, static_cast<size_t>(pool->numRanges) * 4u);
    DVKMem_Free(pool->ranges);
    pool->ranges = grown;
    pool->numRanges = entries;
    return 1;
}

int32_t ClassManager_SuccPronIdsFit(ClassManager* m, uint32_t id)
{
    const SuccPronPool* pool = poolOf(m);
    if (pool == nullptr || ClassManager_FinishEditOf(m, id) == 0)
        return 0;
    const ConstraintClass* c = ClassManager_GetClass(m, id);
    if (c == nullptr)
        return 1;
    const bool once = visitOnce();
    // Slot 0 is never used: the room is one less than the capacity.
    int64_t sum = 0;
    for (int32_t k = 0; k < c->numMembers; k = nextVisited(m, id, k, once)) {
        if (k > kSuccMaxMemberIndex)
            return 0;
        sum += Voc_GetNumProns(m->vocabulary, Voc_ActiveIdToVocId(m->vocabulary, firstWord(c, k)));
        if (sum >= pool->capacity)
            return 0;
    }
    return 1;
}

int32_t ClassManager_FillSuccPronIds(ClassManager* m, const AWL* list, uint32_t id)
{
    SuccPronPool* pool = poolOf(m);
    if (pool == nullptr || ClassManager_FinishEditOf(m, id) == 0 || static_cast<int64_t>(id) >= pool->numRanges)
        return 0;
    const ConstraintClass* c = ClassManager_GetClass(m, id);
    const bool once = visitOnce();
    for (int32_t attempt = 0; attempt < 2; ++attempt) {
        int32_t slot = pool->used;
        bool fits = true;
        for (int32_t k = 0; c != nullptr && fits && k < c->numMembers; k = nextVisited(m, id, k, once)) {
            const int32_t room = pool->capacity - slot;
            const int32_t n = AWL_GetPronIds(list, firstWord(c, k), pool->pronIds + slot, room);
            fits = k <= kSuccMaxMemberIndex && n <= room;
            if (!fits)
                break;
            const auto member = static_cast<uint16_t>(
                k | (ConstraintClass_MemberLength(c, k) == 1 ? kSuccSingleWordMember : 0));
            std::fill(pool->memberIndexes + slot, pool->memberIndexes + slot + n, member);
            slot += n;
        }
        if (fits) {
            pool->ranges[id] = {static_cast<uint16_t>(pool->used), static_cast<uint16_t>(slot - pool->used)};
            pool->used = slot;
            return 1;
        }
        if (pool->used == 1)
            break;   // an empty pool cannot hold the class: a reset would not help
        ClassManager_ResetSuccPronIds(m);
    }
    return 0;
}

const uint16_t* ClassManager_GetSuccPronIds(const ClassManager* m)
{
    return poolOf(m) != nullptr ? poolOf(m)->pronIds : nullptr;
}

const uint16_t* ClassManager_GetSuccMemberIndexes(const ClassManager* m)
{
    return poolOf(m) != nullptr ? poolOf(m)->memberIndexes : nullptr;
}

int32_t ClassManager_GetNumSuccPronIdsUsed(const ClassManager* m)
{
    return poolOf(m) != nullptr ? poolOf(m)->used : 0;
}

SuccPronRange ClassManager_GetSuccPronRange(const ClassManager* m, uint32_t id)
{
    const SuccPronPool* pool = poolOf(m);
    if (pool == nullptr || static_cast<int64_t>(id) >= pool->numRanges)
        return {0, 0};
    return pool->ranges[id];
}

void ClassManager_FreeSuccPronIds(ClassManager* m)
{
    SuccPronPool* pool = poolOf(m);
    if (pool == nullptr)
        return;
    DVKMem_Free(pool->ranges);
    DVKMem_Free(pool->pronIds);
    DVKMem_Free(pool->memberIndexes);
    DVKMem_Free(pool);
    m->succPronPool = nullptr;
}
