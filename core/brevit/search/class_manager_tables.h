// Per-id tables of the class manager (pages of 256 entries) and the small
// rules shared by its sources.
#pragma once

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_class.h"

#include <cstdint>

template <typename T>
inline T& ClassManager_Entry(void** table, uint32_t id)
{
    return static_cast<T*>(table[id >> kClassManagerPageShift])[id & 255u];
}

// An id 1..maxId that has a name.
inline bool ClassManager_IsNamed(const ClassManager* m, uint32_t id)
{
    return m != nullptr && id >= 1 && id <= static_cast<uint32_t>(m->maxId) &&
           ClassManager_Entry<char*>(m->names, id) != nullptr;
}

inline uint32_t ClassManager_AliasOf(const ClassManager* m, uint32_t id)
{
    return ClassManager_Entry<uint32_t>(m->aliases, id);
}

// The id that owns the record (and tree, and pending edit) of an entry: the
// alias target of an alias of a class, else the id itself.
inline uint32_t ClassManager_OwnerOf(const ClassManager* m, uint32_t id)
{
    const uint32_t alias = ClassManager_IsNamed(m, id) ? ClassManager_AliasOf(m, id) : 0;
    return alias != 0 && (alias & kClassManagerConstraintRef) == 0 ? alias : id;
}

// The record of a named id, else null.
inline ConstraintClass* ClassManager_RecordOf(const ClassManager* m, uint32_t id)
{
    return ClassManager_IsNamed(m, id) ? ClassManager_Entry<ConstraintClass*>(m->classes, id) : nullptr;
}

// The tree slot of an id, null without tree table (or past it).
inline LexTree** ClassManager_TreeSlot(const ClassManager* m, uint32_t id)
{
    if (m->trees == nullptr || id >= m->treePages * 256u)
        return nullptr;
    return &ClassManager_Entry<LexTree*>(m->trees, id);
}

// Finishes a pending edit of the class that owns id's record (any pending
// edit when id is 0); 0 when the merge fails.
int32_t ClassManager_FinishEditOf(ClassManager* m, uint32_t id);
// Deletes the tree of id, when it has one.
void ClassManager_DeleteTree(ClassManager* m, uint32_t id);
// Empties the edit buffer (all chunks freed) and forgets the pending edit.
void ClassManager_DropEdit(ClassManager* m);
// rebuildTree := (parameter word 229 <= the class's pronunciations).
void ClassManager_UpdateRebuildTree(ClassManager* m, ConstraintClass* record);
