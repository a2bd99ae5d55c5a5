// The dynamic constraint table: constraints in a map by id (most negative
// first), word classes in an array by index. Every operation either
// completes or leaves the table exactly as it found it.
#include "core/constraints/dvk_constraints_dynamictable.h"

#include "core/constraints/dvk_constraints.h"
#include "core/constraints/dvk_constraints_members.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_array.h"
#include "core/utils/dvk_map.h"
#include "core/utils/dvk_ucs2.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

struct dvk_constraints_DynamicTable {
    dvk_map* constraints;  // &record.id -> DynamicConstraint
    dvk_array* classes;    // DynamicWordClass, by index
};

namespace {

WexLogger s_log("DvkConstraints");

// Ids of the static boundary classes every constraint starts its list with.
enum : int32_t { kNameSize = 32, kStaticCount = 66, kStartClassId = 1, kEndClassId = 66 };

struct Transition {
    dvk_constraints_WordClass* from;
    dvk_constraints_WordClass* to;
    uint8_t penalty;
};

struct DynamicConstraint {
    dvk_constraints_Constraint record;
    char name[kNameSize];
    dvk_array* transitions;  // Transition
};

struct DynamicWordClass {
    dvk_constraints_WordClass record;
    char* name;
    int32_t* stringIds;
    int32_t* featureIds;
    int32_t count;
};

int compareIds(const void* a, const void* b)
{
    return *static_cast<const int32_t*>(a) - *static_cast<const int32_t*>(b);
}

DynamicConstraint* findConstraint(dvk_constraints_DynamicTable* table, int32_t id)
{
    dvk_map_Node* node = dvk_map_findItem(table->constraints, &id);
    if (node == nullptr)
        return nullptr;
    const void* key = nullptr;
    void* value = nullptr;
    dvk_map_getItem(table->constraints, node, &key, &value);
    return static_cast<DynamicConstraint*>(value);
}

DynamicWordClass* classAt(dvk_constraints_DynamicTable* table, int32_t index)
{
    if (index < 0)
        return nullptr;
    return static_cast<DynamicWordClass*>(dvk_array_getItem(table->classes, index));
}

void freeTransitions(dvk_array** transitions)
{
    if (*transitions == nullptr)
        return;
    for (long i = dvk_array_getCount(*transitions) - 1; i >= 0; --i) {
        void* t = dvk_array_getItem(*transitions, i);
        dvk_mem_dealloc(&t);
    }
    dvk_array_destroy(transitions);
}

void freeConstraint(DynamicConstraint** constraint)
{
    if (*constraint == nullptr)
        return;
    freeTransitions(&(*constraint)->transitions);
    dvk_mem_dealloc(&(*constraint)->record.wordClasses);
    dvk_mem_dealloc(constraint);
}

void freeWordClass(DynamicWordClass** wordClass)
{
    if (*wordClass == nullptr)
        return;
    dvk_mem_dealloc(&(*wordClass)->name);
    dvk_mem_dealloc(&(*wordClass)->stringIds);
    dvk_mem_dealloc(&(*wordClass)->featureIds);
    dvk_mem_dealloc(wordClass);
}

// A new constraint with the next id, its name and an empty transition list
// and room for `classes` classes besides the boundaries; not yet in the
// table. None when the name does not fit or memory is short.
DynamicConstraint* newConstraint(dvk_constraints_DynamicTable* table, const char* name, long classes)
{
    DVK_ASSERT(name != DVK_NULL);
    if (std::strlen(name) >= kNameSize) {
        s_log.log(WexLogError, "%s: constraint name \"%s\" longer than %d characters", __func__, name,
                  kNameSize - 1);
        return nullptr;
    }
    auto* c = static_cast<DynamicConstraint*>(dvk_mem_alloc(sizeof(DynamicConstraint)));
    if (c == nullptr)
        return nullptr;
    std::memset(c, 0, sizeof *c);
    c->record.wordClasses = static_cast<dvk_constraints_WordClass**>(
        dvk_mem_alloc(sizeof(dvk_constraints_WordClass*) * static_cast<size_t>(classes + 3)));
    c->transitions = dvk_array_create();
    if (c->record.wordClasses == nullptr || c->transitions == nullptr) {
        freeConstraint(&c);
        return nullptr;
    }
    std::strcpy(c->name, name);
    c->record.id = -static_cast<int32_t>(dvk_map_getCount(table->constraints)) - 2;
    c->record.name = c->name;
    c->record.transitions = table;
    c->record.dynamic = 1;
    c->record.wordClasses[0] = getWordClassFromId(kEndClassId);
    c->record.wordClasses[1] = getWordClassFromId(kStartClassId);
    c->record.wordClasses[classes + 2] = nullptr;
    return c;
}

// Puts the made constraint into the table; frees it when that fails.
dvk_constraints_Constraint* enter(dvk_constraints_DynamicTable* table, DynamicConstraint* c)
{
    if (dvk_map_addItem(table->constraints, &c->record.id, c) == nullptr) {
        freeConstraint(&c);
        return nullptr;
    }
    return &c->record;
}

bool appendTransition(dvk_array* transitions, dvk_constraints_WordClass* from,
                      dvk_constraints_WordClass* to, uint8_t penalty)
{
    auto* t = static_cast<Transition*>(dvk_mem_alloc(sizeof(Transition)));
    if (t == nullptr)
        return false;
    *t = {from, to, penalty};
    if (dvk_array_addItem(transitions, t) == nullptr) {
        dvk_mem_dealloc(&t);
        return false;
    }
    return true;
}

// The dynamic constraint behind a record, or none when its table no longer
// holds it.
DynamicConstraint* entryOf(const dvk_constraints_Constraint* constraint)
{
    DVK_ASSERT(constraint != DVK_NULL);
    auto* table = static_cast<dvk_constraints_DynamicTable*>(const_cast<void*>(constraint->transitions));
    DVK_ASSERT(table != DVK_NULL);
    return findConstraint(table, constraint->id);
}

const Transition* transitionAt(const dvk_constraints_Constraint* constraint, int32_t iterator)
{
    DynamicConstraint* c = entryOf(constraint);
    if (c == nullptr || iterator < 1)
        return nullptr;
    return static_cast<const Transition*>(dvk_array_getItem(c->transitions, iterator - 1));
}

const DynamicWordClass& entryOf(const dvk_constraints_WordClass* wordClass)
{
    return *static_cast<const DynamicWordClass*>(wordClass->context);
}

dvk_constraints_Iterator memberFrom(const DynamicWordClass& wc, dvk_constraints_Iterator position)
{
    return gatedMemberFrom(wc.featureIds, wc.count, position);
}

dvk_constraints_Iterator wordclass_getFirst(dvk_constraints_WordClass* wordClass)
{
    return memberFrom(entryOf(wordClass), 1);
}

dvk_constraints_Iterator wordclass_getNext(dvk_constraints_WordClass* wordClass,
                                           dvk_constraints_Iterator iterator)
{
    return iterator >= 1 ? memberFrom(entryOf(wordClass), iterator + 1) : 0;
}

void wordclass_getEntry(dvk_constraints_WordClass* wordClass, dvk_string_Table* strings,
                        dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,
                        dvk_ucs2_Char** spoken)
{
    const DynamicWordClass& wc = entryOf(wordClass);
    *spoken = nullptr;
    *surface = iterator >= 1 && iterator <= wc.count
                   ? dvk_string_getString(strings, wc.stringIds[iterator - 1])
                   : nullptr;
}

void wordclass_freeEntry(dvk_constraints_WordClass*, dvk_ucs2_Char** surface, dvk_ucs2_Char**)
{
    dvk_ucs2_destroy(surface);
}

} // namespace

dvk_constraints_DynamicTable* dvk_constraints_createDynamicTable()
{
    auto* table =
        static_cast<dvk_constraints_DynamicTable*>(dvk_mem_alloc(sizeof(dvk_constraints_DynamicTable)));
    if (table == nullptr)
        return nullptr;
    table->constraints = dvk_map_create(compareIds);
    table->classes = dvk_array_create();
    if (table->constraints == nullptr || table->classes == nullptr) {
        dvk_map_destroy(&table->constraints);
        dvk_array_destroy(&table->classes);
        dvk_mem_dealloc(&table);
    }
    return table;
}

void dvk_constraints_destroyDynamicTable(dvk_constraints_DynamicTable** table)
{
    DVK_ASSERT(table != DVK_NULL);
    if (*table == nullptr)
        return;
    dvk_map* constraints = (*table)->constraints;
    for (dvk_map_Node* node = dvk_map_getFirst(constraints); node != nullptr;
         node = dvk_map_getNext(constraints, node)) {
        const void* key = nullptr;
        void* value = nullptr;
        dvk_map_getItem(constraints, node, &key, &value);
        auto* c = static_cast<DynamicConstraint*>(value);
        freeConstraint(&c);
    }
    dvk_map_destroy(&(*table)->constraints);
    for (long i = dvk_array_getCount((*table)->classes) - 1; i >= 0; --i) {
        auto* wc = static_cast<DynamicWordClass*>(dvk_array_getItem((*table)->classes, i));
        freeWordClass(&wc);
    }
    dvk_array_destroy(&(*table)->classes);
    dvk_mem_dealloc(table);
}

int32_t dvk_constraints_addWordClass(dvk_constraints_DynamicTable* table, const char* name,
                                     int32_t key, const int32_t* stringIds,
                                     const int32_t* featureIds, int32_t count)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(name != DVK_NULL);
    DVK_ASSERT(stringIds != DVK_NULL && featureIds != DVK_NULL);
    DVK_ASSERT(count > 0);
    auto* wc = static_cast<DynamicWordClass*>(dvk_mem_alloc(sizeof(DynamicWordClass)));
    if (wc == nullptr)
        return -1;
    std::memset(wc, 0, sizeof *wc);
    const size_t bytes = sizeof(int32_t) * static_cast<size_t>(count);
    wc->name = static_cast<char*>(dvk_mem_alloc(std::strlen(name) + 1));
    wc->stringIds = static_cast<int32_t*>(dvk_mem_alloc(bytes));
    wc->featureIds = static_cast<int32_t*>(dvk_mem_alloc(bytes));
    if (wc->name == nullptr || wc->stringIds == nullptr || wc->featureIds == nullptr) {
        freeWordClass(&wc);
        return -1;
    }
    std::strcpy(wc->name, name);
    std::memcpy(wc->stringIds, stringIds, bytes);
    std::memcpy(wc->featureIds, featureIds, bytes);
    wc->count = count;
    wc->record = {wc->name, wordclass_getFirst, wordclass_getEntry, wordclass_freeEntry,
                  wordclass_getNext, 0, 1, 0, 0, key, wc};
    if (dvk_array_addItem(table->classes, wc) == nullptr) {
        freeWordClass(&wc);
        return -1;
    }
    return static_cast<int32_t>(dvk_array_getCount(table->classes)) - 1;
}

dvk_constraints_Constraint* dvk_constraints_addConstraint(dvk_constraints_DynamicTable* table,
                                                          const char* name,
                                                          const int32_t* classIndices,
                                                          int32_t count)
{
    DVK_ASSERT(table != DVK_NULL);
    DVK_ASSERT(count == 0 || classIndices != DVK_NULL);
    DVK_ASSERT(count >= 0);
    for (int32_t i = 0; i < count; ++i) {
        if (classAt(table, classIndices[i]) == nullptr) {
            s_log.log(WexLogError, "%s: %s: no class %d", __func__, name, classIndices[i]);
            return nullptr;
        }
    }
    DynamicConstraint* c = newConstraint(table, name, count);
    if (c == nullptr)
        return nullptr;
    for (int32_t i = 0; i < count; ++i)
        c->record.wordClasses[i + 2] = &classAt(table, classIndices[i])->record;
    return enter(table, c);
}

dvk_constraints_Constraint* dvk_constraints_copyStaticConstraint(
    dvk_constraints_DynamicTable* table, const char* name, int32_t staticConstraintId)
{
    DVK_ASSERT(table != DVK_NULL);
    if (staticConstraintId < 0 || staticConstraintId >= kStaticCount) {
        s_log.log(WexLogError, "%s: no static constraint %d", __func__, staticConstraintId);
        return nullptr;
    }
    const dvk_constraints_Constraint* source = dvk_constraints_getConstraintList()[staticConstraintId];
    long classes = 0;
    while (source->wordClasses[classes + 2] != nullptr)
        ++classes;
    DynamicConstraint* c = newConstraint(table, name, classes);
    if (c == nullptr)
        return nullptr;
    for (long i = 0; i < classes + 2; ++i)
        c->record.wordClasses[i] = source->wordClasses[i];
    for (int32_t it = dvk_constraint_getFirstTransition(source); it != 0;
         it = dvk_constraint_getNextTransition(source, it)) {
        const uint32_t* triple = static_cast<const uint32_t(*)[3]>(source->transitions)[it - 1];
        if (!appendTransition(c->transitions, getWordClassFromId(triple[0]),
                              getWordClassFromId(triple[1]), static_cast<uint8_t>(triple[2]))) {
            freeConstraint(&c);
            return nullptr;
        }
    }
    c->record.rulesProvider = source->rulesProvider;
    c->record.rebuildAlways = source->rebuildAlways;
    c->record.option = source->option;
    c->record.source = source;
    return enter(table, c);
}

int dvk_constraints_addTransition(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                  int32_t fromIndex, int32_t toIndex, int32_t penalty)
{
    DVK_ASSERT(table != DVK_NULL);
    DynamicConstraint* c = findConstraint(table, constraintId);
    dvk_constraints_WordClass* from = fromIndex == DVK_CONSTRAINTS_CLASS_START
                                          ? getWordClassFromId(kStartClassId)
                                          : classAt(table, fromIndex) != nullptr
                                                ? &classAt(table, fromIndex)->record
                                                : nullptr;
    dvk_constraints_WordClass* to = toIndex == DVK_CONSTRAINTS_CLASS_END
                                        ? getWordClassFromId(kEndClassId)
                                        : classAt(table, toIndex) != nullptr
                                              ? &classAt(table, toIndex)->record
                                              : nullptr;
    if (c == nullptr || from == nullptr || to == nullptr)
        return 1;
    if (!appendTransition(c->transitions, from, to, static_cast<uint8_t>(penalty)))
        return 1;
    if (penalty != 0)
        c->record.option = 1;
    return 0;
}

int dvk_constraints_replaceWordClass(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                     int32_t key, int32_t newIndex)
{
    DVK_ASSERT(table != DVK_NULL);
    DynamicConstraint* c = findConstraint(table, constraintId);
    DynamicWordClass* replacement = classAt(table, newIndex);
    if (c == nullptr || replacement == nullptr)
        return 1;
    dvk_constraints_WordClass** slot = nullptr;
    for (dvk_constraints_WordClass** wc = c->record.wordClasses; *wc != nullptr; ++wc) {
        if ((*wc)->key != key)
            continue;
        if (slot != nullptr)
            return 1;  // two classes have the key: which one is meant is unknown
        slot = wc;
    }
    if (slot == nullptr)
        return 1;
    dvk_constraints_WordClass* old = *slot;
    *slot = &replacement->record;
    for (long i = 0; i < dvk_array_getCount(c->transitions); ++i) {
        auto* t = static_cast<Transition*>(dvk_array_getItem(c->transitions, i));
        if (t->from == old)
            t->from = &replacement->record;
        if (t->to == old)
            t->to = &replacement->record;
    }
    return 0;
}

dvk_constraints_Constraint* dvk_constraints_getDynamicConstraint(
    dvk_constraints_DynamicTable* table, int32_t id)
{
    DVK_ASSERT(table != DVK_NULL);
    DynamicConstraint* c = findConstraint(table, id);
    return c != nullptr ? &c->record : nullptr;
}

dvk_constraints_Constraint** dvk_constraints_getDynamicConstraintList(
    dvk_constraints_DynamicTable* table)
{
    DVK_ASSERT(table != DVK_NULL);
    const long count = dvk_map_getCount(table->constraints);
    auto** list = static_cast<dvk_constraints_Constraint**>(
        dvk_mem_alloc(sizeof(dvk_constraints_Constraint*) * static_cast<size_t>(count + 1)));
    if (list == nullptr)
        return nullptr;
    long n = 0;
    for (dvk_map_Node* node = dvk_map_getFirst(table->constraints); node != nullptr;
         node = dvk_map_getNext(table->constraints, node)) {
        const void* key = nullptr;
        void* value = nullptr;
        dvk_map_getItem(table->constraints, node, &key, &value);
        list[n++] = &static_cast<DynamicConstraint*>(value)->record;
    }
    list[n] = nullptr;
    return list;
}

void dvk_constraints_destroyDynamicConstraintList(dvk_constraints_Constraint*** list)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_mem_dealloc(list);
}

int32_t dvk_constraints_getDynamicFirstTransition(const dvk_constraints_Constraint* constraint)
{
    return transitionAt(constraint, 1) != nullptr ? 1 : 0;
}

int32_t dvk_constraints_getDynamicNextTransition(const dvk_constraints_Constraint* constraint,
                                                 int32_t iterator)
{
    return iterator >= 1 && transitionAt(constraint, iterator + 1) != nullptr ? iterator + 1 : 0;
}

const char* dvk_constraints_getDynamicTransitionFrom(const dvk_constraints_Constraint* constraint,
                                                     int32_t iterator)
{
    const Transition* t = transitionAt(constraint, iterator);
    return t != nullptr ? t->from->name : nullptr;
}

const char* dvk_constraints_getDynamicTransitionTo(const dvk_constraints_Constraint* constraint,
                                                   int32_t iterator)
{
    const Transition* t = transitionAt(constraint, iterator);
    return t != nullptr ? t->to->name : nullptr;
}

int32_t dvk_constraints_getDynamicTransitionPenalty(const dvk_constraints_Constraint* constraint,
                                                    int32_t iterator)
{
    const Transition* t = transitionAt(constraint, iterator);
    return t != nullptr ? t->penalty : 0;
}

int32_t dvk_constraints_getDynamicTransitionCount(const dvk_constraints_Constraint* constraint)
{
    DynamicConstraint* c = entryOf(constraint);
    return c != nullptr ? static_cast<int32_t>(dvk_array_getCount(c->transitions)) : 0;
}
