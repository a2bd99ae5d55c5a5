// Class manager: ids, names, aliases, constraint aliases, reference counts,
// lookups and deletion.
#include "core/brevit/search/class_manager.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstring>

namespace {

constexpr uint32_t kConstraintIndexMask = 0x3FFFFFFFu;

bool hasTreeTable() { return static_cast<int32_t>(BrevitParam_Word(kBrevitParamMaxTrees)) >= 1; }

struct Table {
    void*** table;
    uint32_t* slots;
    uint32_t* pages;
    uint32_t elementSize;
};

char* copyName(const char* name)
{
    const size_t length = std::strlen(name);
    auto* copy = static_cast<char*>(DVKMem_Malloc(static_cast<uint32_t>(length + 1)));
    if (copy != nullptr)
        std::memcpy(copy, name, length + 1);
    return copy;
}

// A new entry at a fresh id: name, record, alias target; counts 0.
void setEntry(ClassManager* m, uint32_t id, char* name, ConstraintClass* record, uint32_t alias)
{
    ClassManager_Entry<char*>(m->names, id) = name;
    ClassManager_Entry<ConstraintClass*>(m->classes, id) = record;
    ClassManager_Entry<uint32_t>(m->refCounts, id) = 0;
    ClassManager_Entry<uint32_t>(m->aliases, id) = alias;
    if (LexTree** tree = ClassManager_TreeSlot(m, id))
        *tree = nullptr;
    ++m->idsInUse;
}

// A flag of the id's record; 0 without record.
int32_t recordFlag(const ClassManager* m, uint32_t id, int32_t ConstraintClass::*flag)
{
    const ConstraintClass* r = ClassManager_RecordOf(m, id);
    return r != nullptr ? r->*flag : 0;
}

void clearEntry(ClassManager* m, uint32_t id)
{
    DVKMem_Free(ClassManager_Entry<char*>(m->names, id));
    ClassManager_Entry<char*>(m->names, id) = nullptr;
    ClassManager_Entry<ConstraintClass*>(m->classes, id) = nullptr;
    ClassManager_Entry<uint32_t>(m->aliases, id) = 0;
    ClassManager_Entry<uint32_t>(m->refCounts, id) = 0;
    --m->idsInUse;
}

} // namespace

ClassManager* ClassManager_Create(Voc* vocabulary, AM* acousticModel, ConstraintManager* constraintManager,
                                  int32_t expectedIds)
{
    if (expectedIds < 0)
        return nullptr;
    auto* m = static_cast<ClassManager*>(DVKMem_Calloc(sizeof(ClassManager)));
    if (m == nullptr)
        return nullptr;
    m->editBuffer = ConstraintClass_Create(0, 0, 0, 0, 0, 0, nullptr, -1);
    if (m->editBuffer == nullptr) {
        DVKMem_Free(m);
        return nullptr;
    }
    m->vocabulary = vocabulary;
    m->acousticModel = acousticModel;
    m->constraintManager = constraintManager;
    m->idsInUse = 1;
    const auto slots = static_cast<uint32_t>((int64_t{expectedIds} + 256) >> kClassManagerPageShift);
    m->classSlots = m->nameSlots = m->refSlots = m->aliasSlots = slots;
    m->treeSlots = hasTreeTable() ? slots : 0;
    return m;
}

void ClassManager_Delete(ClassManager* manager)
{
    if (manager == nullptr)
        return;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(manager->maxId); ++id) {
        if (!ClassManager_IsNamed(manager, id))
            continue;
        if (ClassManager_AliasOf(manager, id) == 0)
            ConstraintClass_Delete(ClassManager_Entry<ConstraintClass*>(manager->classes, id));
        DVKMem_Free(ClassManager_Entry<char*>(manager->names, id));
    }
    for (uint32_t p = 0; p < manager->treePages; ++p)
        for (uint32_t k = 0; k < 256; ++k)
            LexTree_Delete(static_cast<LexTree**>(manager->trees[p])[k]);
    DVKMem_FreeChunksArray(manager->classes, manager->classPages);
    DVKMem_FreeChunksArray(manager->names, manager->namePages);
    DVKMem_FreeChunksArray(manager->trees, manager->treePages);
    DVKMem_FreeChunksArray(manager->refCounts, manager->refPages);
    DVKMem_FreeChunksArray(manager->aliases, manager->aliasPages);
    ConstraintClass_Delete(manager->editBuffer);
    ClassManager_FreeSuccPronIds(manager);
    DVKMem_Free(manager->optScratch);
    DVKMem_Free(manager);
}

int32_t ClassManager_IsConstraintRef(uint32_t reference)
{
    return (reference & kClassManagerConstraintRef) != 0 ? 1 : 0;
}

int32_t ClassManager_ConstraintRefFromIndex(ClassManager* m, Constraint* constraint)
{
    if (constraint == nullptr)
        return -1;
    const int32_t index = ConstraintManager_FindIndex(m->constraintManager, constraint);
    return index < 0 ? -1 : static_cast<int32_t>(kClassManagerConstraintRef | static_cast<uint32_t>(index));
}

Constraint* ClassManager_GetConstraintOfRef(ClassManager* m, uint32_t reference)
{
    if (ClassManager_IsConstraintRef(reference) == 0)
        return nullptr;
    return ConstraintManager_GetConstraint(m->constraintManager,
                                           static_cast<int32_t>(reference & kConstraintIndexMask));
}

int32_t ClassManager_GrowTables(ClassManager* m, int32_t entries)
{
    if (entries > kClassManagerMaxIds)
        return 0;
    Table tables[5] = {
        {&m->classes, &m->classSlots, &m->classPages, sizeof(ConstraintClass*)},
        {&m->trees, &m->treeSlots, &m->treePages, sizeof(LexTree*)},
        {&m->names, &m->nameSlots, &m->namePages, sizeof(char*)},
        {&m->refCounts, &m->refSlots, &m->refPages, 4},
        {&m->aliases, &m->aliasSlots, &m->aliasPages, 4},
    };
    uint32_t before[5];
    const bool trees = hasTreeTable();
    for (int k = 0; k < 5; ++k) {
        before[k] = *tables[k].pages;
        if (k == 1 && !trees)
            continue;
        if (DVKMem_GrowChunkedArray(tables[k].table, tables[k].slots, tables[k].pages, kClassManagerPageShift,
                                    tables[k].elementSize, static_cast<uint32_t>(entries)) != 0)
            continue;
        // Every table keeps the same pages: give back what this call added.
        for (int j = 0; j < k; ++j) {
            for (uint32_t p = before[j]; p < *tables[j].pages; ++p) {
                DVKMem_Free((*tables[j].table)[p]);
                (*tables[j].table)[p] = nullptr;
            }
            *tables[j].pages = before[j];
        }
        return 0;
    }
    return 1;
}

int32_t ClassManager_NextFreeId(ClassManager* m)
{
    if (m->maxId == m->idsInUse - 1) {
        if (ClassManager_GrowTables(m, m->idsInUse + 1) == 0)
            return -1;
        return ++m->maxId;
    }
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id)
        if (ClassManager_Entry<char*>(m->names, id) == nullptr)
            return static_cast<int32_t>(id);
    return -1;
}

int32_t ClassManager_CreateClass(ClassManager* m, const char* name, int32_t expectedMembers, int32_t expectedWords,
                                 int32_t hasWeights, int32_t hasPhraseIds, int32_t flagA, int32_t flagB,
                                 void* irObject, int32_t irClassIndex, int32_t* id)
{
    char* copy = copyName(name);
    if (copy == nullptr)
        return 0;
    const int32_t next = ClassManager_NextFreeId(m);
    ConstraintClass* record =
        next < 0 ? nullptr
                 : ConstraintClass_Create(expectedMembers, expectedWords, hasWeights, hasPhraseIds, flagA, flagB,
                                          irObject, irClassIndex);
    if (record == nullptr) {
        DVKMem_Free(copy);
        return 0;
    }
    setEntry(m, static_cast<uint32_t>(next), copy, record, 0);
    if (id != nullptr)
        *id = next;
    return 1;
}

int32_t ClassManager_AddClass(ClassManager* m, const char* name, int32_t expectedMembers, int32_t expectedWords,
                              int32_t hasWeights, int32_t hasPhraseIds, int32_t flagA, int32_t flagB)
{
    if (m == nullptr || name == nullptr || ClassManager_FindClass(m, name) >= 0)
        return 0;
    return ClassManager_CreateClass(m, name, expectedMembers, expectedWords, hasWeights, hasPhraseIds, flagA, flagB,
                                    nullptr, -1, nullptr);
}

int32_t ClassManager_AddIRClass(ClassManager* m, const char* name, int32_t expectedMembers, void* irObject,
                                int32_t irClassIndex)
{
    if (m == nullptr || name == nullptr || ClassManager_FindClass(m, name) >= 0)
        return 0;
    return ClassManager_CreateClass(m, name, expectedMembers, expectedMembers, 0, 0, 0, 0, irObject, irClassIndex,
                                    nullptr);
}

int32_t ClassManager_AddAlias(ClassManager* m, const char* name, uint32_t targetId)
{
    if (m == nullptr || name == nullptr || !ClassManager_IsNamed(m, targetId))
        return -1;
    char* copy = copyName(name);
    if (copy == nullptr)
        return -1;
    const int32_t id = ClassManager_NextFreeId(m);
    if (id < 0) {
        DVKMem_Free(copy);
        return -1;
    }
    // Never an alias of an alias: the new entry points at the final target.
    const uint32_t alias = ClassManager_AliasOf(m, targetId);
    const uint32_t target = alias != 0 ? alias : targetId;
    setEntry(m, static_cast<uint32_t>(id), copy, ClassManager_Entry<ConstraintClass*>(m->classes, targetId), target);
    if (ClassManager_IsConstraintRef(target) != 0)
        ++m->numConstraintAliases;
    ClassManager_AddRef(m, target);
    return id;
}

int32_t ClassManager_AddClassCopy(ClassManager* m, const char* newName, const char* existingName)
{
    const int32_t existing = ClassManager_FindClass(m, existingName);
    return existing < 0 ? -1 : ClassManager_AddAlias(m, newName, static_cast<uint32_t>(existing));
}

int32_t ClassManager_AddConstraintAlias(ClassManager* m, const char* name, Constraint* constraint)
{
    if (m == nullptr || name == nullptr)
        return 0;
    const int32_t reference = ClassManager_ConstraintRefFromIndex(m, constraint);
    if (reference < 0)
        return 0;
    char* copy = copyName(name);
    if (copy == nullptr)
        return 0;
    const int32_t id = ClassManager_NextFreeId(m);
    if (id < 0) {
        DVKMem_Free(copy);
        return 0;
    }
    setEntry(m, static_cast<uint32_t>(id), copy, nullptr, static_cast<uint32_t>(reference));
    ++m->numConstraintAliases;
    ClassManager_AddRef(m, static_cast<uint32_t>(reference));
    return 1;
}

int32_t ClassManager_PairIRClass(ClassManager* m, uint32_t classA, uint32_t classB)
{
    // Members still waiting in the edit buffer count as members.
    if (ClassManager_FinishEditOf(m, classA) == 0 || ClassManager_FinishEditOf(m, classB) == 0)
        return 0;
    ConstraintClass* a = ClassManager_RecordOf(m, classA);
    ConstraintClass* b = ClassManager_RecordOf(m, classB);
    if (a == nullptr || b == nullptr || a->numMembers != 0 || b->numMembers != 0 ||
        (a->irObject != nullptr) == (b->irObject != nullptr))
        return 0;
    a->partnerClass = classB;
    b->partnerClass = classA;
    ++ClassManager_Entry<uint32_t>(m->refCounts, a->irObject != nullptr ? classB : classA);
    return 1;
}

int32_t ClassManager_LookupName(const ClassManager* m, const char* name, int32_t* isConstraintAlias)
{
    if (isConstraintAlias != nullptr)
        *isConstraintAlias = 0;
    if (m == nullptr || name == nullptr)
        return -1;
    if (std::strcmp(name, "<s>") == 0 || std::strcmp(name, "<e>") == 0)
        return 0;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const char* stored = ClassManager_Entry<char*>(m->names, id);
        if (stored == nullptr || std::strcmp(stored, name) != 0)
            continue;
        const uint32_t alias = ClassManager_AliasOf(m, id);
        if (ClassManager_IsConstraintRef(alias) == 0)
            return static_cast<int32_t>(id);
        if (isConstraintAlias != nullptr)
            *isConstraintAlias = 1;
        return static_cast<int32_t>(alias);
    }
    return -1;
}

int32_t ClassManager_FindClass(const ClassManager* m, const char* name)
{
    int32_t constraintAlias = 0;
    const int32_t id = ClassManager_LookupName(m, name, &constraintAlias);
    return constraintAlias != 0 ? -1 : id;
}

const char* ClassManager_GetClassName(const ClassManager* m, uint32_t reference)
{
    if (reference == 0)
        return "<s>";
    if (ClassManager_IsConstraintRef(reference) != 0) {
        const Constraint* con = ClassManager_GetConstraintOfRef(const_cast<ClassManager*>(m), reference);
        return con != nullptr ? con->name : nullptr;
    }
    return ClassManager_IsNamed(m, reference) ? ClassManager_Entry<char*>(m->names, reference) : nullptr;
}

ConstraintClass* ClassManager_GetClass(const ClassManager* m, uint32_t id) { return ClassManager_RecordOf(m, id); }

uint32_t ClassManager_GetPartnerClass(const ClassManager* m, uint32_t reference)
{
    const ConstraintClass* record =
        ClassManager_IsConstraintRef(reference) != 0 ? nullptr : ClassManager_RecordOf(m, reference);
    return record != nullptr ? record->partnerClass : 0;
}

void ClassManager_GetClassIRRange(const ClassManager* m, uint32_t id, void** irObject, int32_t* irClassIndex)
{
    const ConstraintClass* record = ClassManager_RecordOf(m, id);
    *irObject = record != nullptr ? record->irObject : nullptr;
    *irClassIndex = record != nullptr ? record->irClassIndex : -1;
}

int32_t ClassManager_AddRef(ClassManager* m, uint32_t reference)
{
    if (ClassManager_IsConstraintRef(reference) != 0)
        return ConstraintManager_AddReference(m->constraintManager,
                                              static_cast<int32_t>(reference & kConstraintIndexMask)) != 0
                   ? 1
                   : 0;
    if (!ClassManager_IsNamed(m, reference))
        return 0;
    ++ClassManager_Entry<uint32_t>(m->refCounts, reference);
    return 1;
}

int32_t ClassManager_Release(ClassManager* m, uint32_t reference)
{
    if (ClassManager_IsConstraintRef(reference) != 0)
        return ConstraintManager_RemoveReference(m->constraintManager,
                                                 static_cast<int32_t>(reference & kConstraintIndexMask)) >= 0
                   ? 1
                   : 0;
    if (!ClassManager_IsNamed(m, reference) || ClassManager_Entry<uint32_t>(m->refCounts, reference) == 0)
        return 0;
    if (--ClassManager_Entry<uint32_t>(m->refCounts, reference) != 0)
        return 1;
    const ConstraintClass* record = ClassManager_Entry<ConstraintClass*>(m->classes, reference);
    if (record != nullptr && record->irObject != nullptr && record->partnerClass != 0)
        ClassManager_Release(m, record->partnerClass);
    const uint32_t alias = ClassManager_AliasOf(m, reference);
    if (alias != 0)
        ClassManager_Release(m, alias);
    ClassManager_DeleteClass(m, reference);
    return 1;
}

void ClassManager_DeleteTree(ClassManager* m, uint32_t id)
{
    LexTree** tree = ClassManager_TreeSlot(m, id);
    if (tree == nullptr || *tree == nullptr)
        return;
    LexTree_Delete(*tree);
    *tree = nullptr;
    --m->numTrees;
}

void ClassManager_DeleteClass(ClassManager* m, uint32_t id)
{
    if (!ClassManager_IsNamed(m, id))
        return;
    const uint32_t alias = ClassManager_AliasOf(m, id);
    if (alias != 0) {
        if (ClassManager_IsConstraintRef(alias) != 0)
            --m->numConstraintAliases;
        clearEntry(m, id);
        return;
    }
    ConstraintClass* record = ClassManager_Entry<ConstraintClass*>(m->classes, id);
    if (record != nullptr && record->persistent == 0)
        return;   // classes of the model set stay
    if (m->editClassId == id)
        ClassManager_DropEdit(m);
    if (m->succPronPool != nullptr)
        ClassManager_ResetSuccPronIds(m);
    ClassManager_DeleteTree(m, id);
    ConstraintClass_Delete(record);
    clearEntry(m, id);
}

int32_t ClassManager_RemoveUnreferencedClasses(ClassManager* m)
{
    if (m == nullptr || m->maxId < 1)
        return 0;
    const int32_t before = m->idsInUse;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        if (!ClassManager_IsNamed(m, id) || ClassManager_Entry<uint32_t>(m->refCounts, id) != 0)
            continue;
        const uint32_t alias = ClassManager_AliasOf(m, id);
        const ConstraintClass* record = ClassManager_Entry<ConstraintClass*>(m->classes, id);
        // The constraint side: only the class's own reference goes, never the
        // API's hold.
        if (ClassManager_IsConstraintRef(alias) != 0)
            ConstraintManager_RemoveReference(m->constraintManager, static_cast<int32_t>(alias & kConstraintIndexMask));
        else if (alias != 0)
            ClassManager_Release(m, alias);
        else if (record != nullptr && record->irObject != nullptr && record->partnerClass != 0)
            ClassManager_Release(m, record->partnerClass);
        ClassManager_DeleteClass(m, id);
    }
    return before - m->idsInUse;
}

int32_t ClassManager_GetNumMembers(ClassManager* m, uint32_t id, int32_t* count)
{
    *count = 0;
    if (ClassManager_FinishEditOf(m, id) == 0)
        return 0;
    const ConstraintClass* record = ClassManager_RecordOf(m, id);
    *count = record != nullptr ? record->numMembers : 0;
    return 1;
}

int32_t ClassManager_GetMaxNumMembers(ClassManager* m, int32_t* max)
{
    *max = 0;
    if (ClassManager_FinishEdit(m) == 0)
        return 0;
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id)
        if (const ConstraintClass* record = ClassManager_RecordOf(m, id))
            *max = record->numMembers > *max ? record->numMembers : *max;
    return 1;
}

void ClassManager_MarkReferencedWordIds(ClassManager* m, uint8_t* bitmap, int32_t base, int32_t count)
{
    ClassManager_FinishEdit(m);
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        const ConstraintClass* record = ClassManager_RecordOf(m, id);
        if (record == nullptr || ClassManager_AliasOf(m, id) != 0)
            continue;
        for (int32_t i = 0; i < record->numWords; ++i) {
            const int32_t w = ConstraintClass_WordAt(record, i);
            if (w >= base && w - base < count)
                bitmap[(w - base) >> 3] |= static_cast<uint8_t>(1u << ((w - base) & 7));
        }
    }
}

void ClassManager_PrintClassMembers(ClassManager*, uint32_t, void*, ClassManagerPrintFunc) {}

void ClassManager_PrintAllClasses(ClassManager* m, void* handle, ClassManagerPrintFunc print)
{
    if (m == nullptr || print == nullptr)
        return;
    ClassManager_FinishEdit(m);
    print(handle, "There are %d stored Classes (maxId %d).\n", m->idsInUse - 1, m->maxId);
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
        if (!ClassManager_IsNamed(m, id))
            continue;
        const char* name = ClassManager_Entry<char*>(m->names, id);
        const uint32_t alias = ClassManager_AliasOf(m, id);
        const int shown = static_cast<int>(id);
        if (ClassManager_IsConstraintRef(alias) != 0) {
            const char* target = ClassManager_GetClassName(m, alias);
            print(handle, "Class %2d \"%s\" aliases constraint %s\n", shown, name, target != nullptr ? target : "");
        } else if (alias != 0) {
            const char* target = ClassManager_GetClassName(m, alias);
            print(handle, "Class %2d \"%s\" aliases class %s\n", shown, name, target != nullptr ? target : "");
        } else if (ClassManager_Entry<ConstraintClass*>(m->classes, id) != nullptr) {
            ClassManager_PrintClassMembers(m, id, handle, print);
        } else {
            print(handle, "Class ptr %d is NULL\n", shown);
        }
    }
}

int32_t ClassManager_GetClassFlagA(const ClassManager* m, uint32_t id)
{
    return recordFlag(m, id, &ConstraintClass::flagA);
}

int32_t ClassManager_GetClassFlagB(const ClassManager* m, uint32_t id)
{
    return recordFlag(m, id, &ConstraintClass::flagB);
}

int32_t ClassManager_ClassHasPhraseIds(const ClassManager* m, uint32_t id)
{
    return recordFlag(m, id, &ConstraintClass::hasPhraseIds);
}

int32_t ClassManager_ClassHasWeights(const ClassManager* m, uint32_t id)
{
    return recordFlag(m, id, &ConstraintClass::hasWeights);
}

int32_t ClassManager_TreeNeedsRebuild(const ClassManager* m, uint32_t id)
{
    return recordFlag(m, id, &ConstraintClass::rebuildTree);
}

void ClassManager_InvalidateWordIndex(ClassManager* m, uint32_t id)
{
    if (ConstraintClass* r = ClassManager_RecordOf(m, id))
        r->wordIndexBuilt = 0;
}

void ClassManager_RequestStartList(ClassManager* m, uint32_t id)
{
    if (ConstraintClass* r = ClassManager_RecordOf(m, id))
        r->startListWanted = 1;
}

void ClassManager_RequestAllStartLists(ClassManager* m)
{
    for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id)
        ClassManager_RequestStartList(m, id);
}

LexTree* ClassManager_GetClassTree(const ClassManager* m, uint32_t id)
{
    if (!ClassManager_IsNamed(m, id))
        return nullptr;
    LexTree* const* owner = ClassManager_TreeSlot(m, ClassManager_OwnerOf(m, id));
    if (owner != nullptr && *owner != nullptr)
        return *owner;
    LexTree* const* own = ClassManager_TreeSlot(m, id);
    return own != nullptr ? *own : nullptr;
}

Voc* ClassManager_GetVocabulary(const ClassManager* m) { return m->vocabulary; }
