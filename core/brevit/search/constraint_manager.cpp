// Constraint manager: two parallel page tables (constraints, reference
// words) indexed by i >> 8 and i & 255.
#include "core/brevit/search/constraint_manager.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/transcription_constraint.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kPageMask = kConstraintManagerPageSize - 1;

int32_t entries(const ConstraintManager* m)
{
    return static_cast<int32_t>(m->pagesAllocated) * kConstraintManagerPageSize;
}

Constraint*& slot(const ConstraintManager* m, int32_t i)
{
    return static_cast<Constraint**>(m->pages[i >> kConstraintManagerPageShift])[i & kPageMask];
}

uint32_t& reference(const ConstraintManager* m, int32_t i)
{
    return static_cast<uint32_t*>(m->references[i >> kConstraintManagerPageShift])[i & kPageMask];
}

// An index 0..highest whose entry holds a constraint.
bool held(const ConstraintManager* m, int32_t i)
{
    return m != nullptr && i >= 0 && i <= m->highest && slot(m, i) != nullptr;
}

// Entries of a page table that must hold `needed` pages, as the chunked-array
// growth of the runtime sizes them (doubling).
uint32_t grownCapacity(void* const* table, uint32_t capacity, uint32_t needed)
{
    if (table == nullptr)
        return capacity != 0 ? std::max(needed, capacity) : 2 * needed;
    return capacity < needed ? 2 * needed : capacity;
}

// A table of `capacity` entries holding the first `used` of old, or old itself
// when it is large enough.
void** tableFor(void** old, uint32_t oldCapacity, uint32_t capacity)
{
    if (old != nullptr && capacity == oldCapacity)
        return old;
    return static_cast<void**>(DVKMem_Calloc(capacity * static_cast<uint32_t>(sizeof(void*))));
}

// One more zero-filled page in both tables; all or nothing.
bool addPage(ConstraintManager* m)
{
    const uint32_t needed = m->pagesAllocated + 1;
    if (needed > kConstraintManagerMaxPages)
        return false;
    const uint32_t capacity = grownCapacity(m->pages, m->capacity, needed);
    const uint32_t referenceCapacity = grownCapacity(m->references, m->referenceCapacity, needed);
    void** pages = tableFor(m->pages, m->capacity, capacity);
    void** references = tableFor(m->references, m->referenceCapacity, referenceCapacity);
    void* page = DVKMem_Calloc(kConstraintManagerPageSize * static_cast<uint32_t>(sizeof(Constraint*)));
    void* referencePage = DVKMem_Calloc(kConstraintManagerPageSize * 4u);
    if (pages == nullptr || references == nullptr || page == nullptr || referencePage == nullptr) {
        if (pages != m->pages)
            DVKMem_Free(pages);
        if (references != m->references)
            DVKMem_Free(references);
        DVKMem_Free(page);
        DVKMem_Free(referencePage);
        return false;
    }
    if (pages != m->pages) {
        if (m->pages != nullptr)
            std::memcpy(pages, m->pages, m->pagesAllocated * sizeof(void*));
        DVKMem_Free(m->pages);
        m->pages = pages;
        m->capacity = capacity;
    }
    if (references != m->references) {
        if (m->references != nullptr)
            std::memcpy(references, m->references, m->referencePages * sizeof(void*));
        DVKMem_Free(m->references);
        m->references = references;
        m->referenceCapacity = referenceCapacity;
    }
    m->pages[m->pagesAllocated++] = page;
    m->references[m->referencePages++] = referencePage;
    return true;
}

// Empties entry i and deletes its constraint.
void removeEntry(ConstraintManager* m, int32_t i)
{
    Constraint* con = slot(m, i);
    slot(m, i) = nullptr;
    reference(m, i) = 0;
    --m->count;
    if (i == m->highest) {
        int32_t h = i - 1;
        while (h >= 0 && slot(m, h) == nullptr)
            --h;
        m->highest = h;
    }
    Constraint_Delete(con, 0);
}

} // namespace

ConstraintManager* ConstraintManager_Create(int32_t n)
{
    if (n < 0)
        return nullptr;
    auto* m = static_cast<ConstraintManager*>(DVKMem_Calloc(sizeof(ConstraintManager)));
    if (m == nullptr)
        return nullptr;
    m->capacity = static_cast<uint32_t>((int64_t{n} + kConstraintManagerPageSize - 1) >>
                                        kConstraintManagerPageShift);
    m->highest = -1;
    return m;
}

int32_t ConstraintManager_AddConstraint(ConstraintManager* m, Constraint* con, int32_t owner)
{
    if (m == nullptr || con == nullptr)
        return -1;
    int32_t index = 0;
    if (m->highest < entries(m) - 1) {
        index = m->highest + 1;
    } else if (m->count == entries(m)) {
        if (!addPage(m))
            return -1;
        index = m->count;
    } else {
        index = ConstraintManager_FindIndex(m, nullptr);
    }
    m->highest = std::max(m->highest, index);
    slot(m, index) = con;
    reference(m, index) = kConstraintManagerApiHold;
    ++m->count;
    con->owner = owner;
    return index;
}

Constraint* ConstraintManager_GetConstraint(const ConstraintManager* m, int32_t i)
{
    return held(m, i) ? slot(m, i) : nullptr;
}

int32_t ConstraintManager_GetNumConstraints(const ConstraintManager* m)
{
    return m != nullptr ? m->count : 0;
}

int32_t ConstraintManager_GetMaxIndex(const ConstraintManager* m)
{
    return m != nullptr ? m->highest : 0;
}

int32_t ConstraintManager_FindIndex(const ConstraintManager* m, const Constraint* con)
{
    if (m == nullptr)
        return -1;
    const int32_t n = entries(m);
    for (int32_t i = 0; i < n; ++i)
        if (slot(m, i) == con)
            return i;
    return -1;
}

int32_t ConstraintManager_FindByName(const ConstraintManager* m, const char* name)
{
    if (m == nullptr || name == nullptr)
        return -1;
    for (int32_t i = 0; i <= m->highest; ++i) {
        const Constraint* con = slot(m, i);
        if (con != nullptr && std::strcmp(con->name, name) == 0)
            return i;
    }
    return -1;
}

int32_t ConstraintManager_IsUnreferenced(const ConstraintManager* m, int32_t i)
{
    return held(m, i) && reference(m, i) == kConstraintManagerApiHold ? 1 : 0;
}

uint32_t ConstraintManager_AddReference(ConstraintManager* m, int32_t i)
{
    // Indices come back from storage: one that names no constraint, or a
    // count that would spill into the hold bit, changes nothing.
    if (!held(m, i) ||
        (reference(m, i) & kConstraintManagerClassReferences) == kConstraintManagerClassReferences)
        return 0;
    return ++reference(m, i);
}

int32_t ConstraintManager_RemoveReference(ConstraintManager* m, int32_t i)
{
    // Without a class reference left there is nothing of the class side to
    // drop: the API's hold is not the caller's to clear.
    if (!held(m, i) || (reference(m, i) & kConstraintManagerClassReferences) == 0)
        return -1;
    const uint32_t word = --reference(m, i);
    if (word == 0)
        removeEntry(m, i);
    return static_cast<int32_t>(word);
}

int32_t ConstraintManager_ReleaseConstraint(ConstraintManager* m, int32_t i)
{
    if (!held(m, i) || (reference(m, i) & kConstraintManagerApiHold) == 0)
        return 0;
    reference(m, i) &= ~kConstraintManagerApiHold;
    if (reference(m, i) == 0)
        removeEntry(m, i);
    return 1;
}

int32_t ConstraintManager_DeleteConstraint(ConstraintManager* m, Constraint* con)
{
    if (con == nullptr)
        return 0;
    const int32_t i = ConstraintManager_FindIndex(m, con);
    return i < 0 ? 0 : ConstraintManager_ReleaseConstraint(m, i);
}

void ConstraintManager_MarkReferencedWordIds(ConstraintManager* m, int32_t n, uint8_t* bitmap,
                                             int32_t first)
{
    if (m == nullptr)
        return;
    for (int32_t i = 0; i <= m->highest; ++i) {
        Constraint* con = slot(m, i);
        if (con != nullptr && con->type == kConstraintTypeTranscription)
            TranscriptionConstraint_MarkReferencedWordIds(con, bitmap, first, n);
    }
}

uint32_t ConstraintManager_ComputeCRC(const ConstraintManager* m)
{
    if (m == nullptr)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(m->pagesAllocated, crc);
    crc = DVKCrc_AddInt(m->capacity, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(m->count), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(m->highest), crc);
    for (int32_t i = 0; i <= m->highest; ++i)
        if (Constraint* con = slot(m, i))
            // Class-pair constraints read the argument as withClasses: the
            // classes are the class manager's to checksum.
            crc = DVKCrc_AddInt(Constraint_ComputeCRC(con, 0), crc);
    return crc;
}

void ConstraintManager_PrintAllConstraintTransitions(const ConstraintManager*) {}

void ConstraintManager_Delete(ConstraintManager* manager)
{
    if (manager == nullptr)
        return;
    // Each entry is read again: deleting one constraint can release another
    // through the classes that stood for it.
    for (int32_t i = 0; i < entries(manager); ++i)
        if (slot(manager, i) != nullptr)
            ConstraintManager_ReleaseConstraint(manager, i);
    DVKMem_FreeChunksArray(manager->pages, manager->pagesAllocated);
    DVKMem_FreeChunksArray(manager->references, manager->referencePages);
    DVKMem_Free(manager);
}
