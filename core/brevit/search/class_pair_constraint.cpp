// Class-pair constraint: the record, its building operations, merging,
// substitution of a class by a network, checksum and consistency check.
#include "core/brevit/search/class_pair_constraint.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint_class.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }
const ClassPairConstraint* asPair(const Constraint* con)
{
    return reinterpret_cast<const ClassPairConstraint*>(con);
}

bool isPair(const Constraint* con) { return con != nullptr && con->type == kConstraintTypeClassPair; }

template <typename T>
T* allocArray(int64_t count)
{
    if (count < 0 || static_cast<uint64_t>(count) * sizeof(T) > 0xFFFFFFF0u)
        return nullptr;
    return static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(count * static_cast<int64_t>(sizeof(T)))));
}

// A copy of count elements of source in a new array of room elements (null
// source: null result, which is no failure). 0 without memory.
template <typename T>
bool regrow(const T* source, int32_t count, int32_t room, T** out)
{
    *out = nullptr;
    if (source == nullptr)
        return true;
    T* fresh = allocArray<T>(room);
    if (fresh == nullptr)
        return false;
    if (count > 0)
        std::memcpy(fresh, source, static_cast<size_t>(count) * sizeof(T));
    *out = fresh;
    return true;
}

// Doubles every per-class array; all new arrays are made before any old one
// is freed, so a failure leaves the constraint as it was.
bool growClasses(ClassPairConstraint* c)
{
    if (c->editable == 0 || c->classCapacity >= kClassManagerMaxIds)
        return false;
    const int32_t room = std::min(std::max(c->classCapacity * 2, 2), kClassManagerMaxIds);
    uint32_t* ids = nullptr;
    uint32_t* copies = nullptr;
    uint32_t* offsets = nullptr;
    uint8_t* ends = nullptr;
    uint8_t* endScores = nullptr;
    const bool ok = regrow(c->classIds, c->classCount, room, &ids) &&
                    regrow(c->copyClassIds, c->classCount, room, &copies) &&
                    regrow(c->offsets, c->classCount + 1, room + 1, &offsets) &&
                    regrow(c->endFlags, c->classCount, room, &ends) &&
                    regrow(c->endScores, c->classCount, room, &endScores);
    if (!ok) {
        DVKMem_Free(ids);
        DVKMem_Free(copies);
        DVKMem_Free(offsets);
        DVKMem_Free(ends);
        DVKMem_Free(endScores);
        return false;
    }
    DVKMem_Free(c->classIds);
    DVKMem_Free(c->copyClassIds);
    DVKMem_Free(c->offsets);
    DVKMem_Free(c->endFlags);
    DVKMem_Free(c->endScores);
    c->classIds = ids;
    c->copyClassIds = copies;
    c->offsets = offsets;
    c->endFlags = ends;
    c->endScores = endScores;
    c->classCapacity = room;
    return true;
}

bool growTransitions(ClassPairConstraint* c)
{
    const int32_t room = std::max(c->transitionCapacity * 2, 1);
    uint32_t* targets = nullptr;
    uint8_t* scores = nullptr;
    if (!regrow(c->targets, c->transitionCount, room, &targets) ||
        !regrow(c->transitionScores, c->transitionCount, room, &scores)) {
        DVKMem_Free(targets);
        return false;
    }
    DVKMem_Free(c->targets);
    DVKMem_Free(c->transitionScores);
    c->targets = targets;
    c->transitionScores = scores;
    c->transitionCapacity = room;
    return true;
}

// Index of a class id, -1 when absent.
int32_t indexOf(const ClassPairConstraint* c, uint32_t classId)
{
    if (c->classIds == nullptr)
        return -1;
    if (classId < static_cast<uint32_t>(c->classCount) && c->classIds[classId] == classId)
        return static_cast<int32_t>(classId);
    for (int32_t i = 0; i < c->classCount; ++i)
        if (c->classIds[i] == classId)
            return i;
    return -1;
}

int32_t addClassAtEnd(Constraint* con, uint32_t classId, int32_t* index);

// Index of a class id in a class-pair constraint, -1 when absent.
int32_t heldIndex(Constraint* con, uint32_t classId) { return isPair(con) ? indexOf(asPair(con), classId) : -1; }

// Position of transition a -> b, -1 when absent.
int32_t findTransition(const ClassPairConstraint* c, int32_t a, int32_t b)
{
    for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t)
        if (c->targets[t] == static_cast<uint32_t>(b))
            return static_cast<int32_t>(t);
    return -1;
}

uint8_t transitionScore(const ClassPairConstraint* c, uint32_t t)
{
    return c->hasScores != 0 && c->transitionScores != nullptr ? c->transitionScores[t] : 0;
}

uint8_t endScore(const ClassPairConstraint* c, int32_t a)
{
    return c->hasScores != 0 && c->endScores != nullptr ? c->endScores[a] : 0;
}

constexpr int32_t kAbsent = -1;
constexpr int32_t kEnd = -2;

// Where fromId -> toId is held: its position, kEnd for the end flag of the
// source (index in *a), kAbsent when either class or the transition is not.
int32_t locate(Constraint* con, uint32_t fromId, uint32_t toId, int32_t* a)
{
    if (!isPair(con))
        return kAbsent;
    const ClassPairConstraint* c = asPair(con);
    *a = indexOf(c, fromId);
    const int32_t b = indexOf(c, toId);
    if (*a < 0 || b < 0)
        return kAbsent;
    if (b == 0)
        return c->endFlags[*a] != 0 ? kEnd : kAbsent;
    const int32_t t = findTransition(c, *a, b);
    return t >= 0 ? t : kAbsent;
}

// The id under which a class of other is added: its copy when asked.
uint32_t sourceId(const ClassPairConstraint* o, int32_t a, int32_t useCopies)
{
    if (useCopies != 0 && o->copyClassIds != nullptr && a > 0)
        return o->copyClassIds[a];
    return o->classIds[a];
}

int32_t addByIds(Constraint* con, uint32_t from, uint32_t to, int32_t score)
{
    return ClassPairConstraint_AddTransition(con, from, to, score & 255);
}

void freeArrays(ClassPairConstraint* c)
{
    DVKMem_Free(c->classIds);
    DVKMem_Free(c->copyClassIds);
    DVKMem_Free(c->offsets);
    DVKMem_Free(c->endFlags);
    DVKMem_Free(c->targets);
    DVKMem_Free(c->transitionScores);
    DVKMem_Free(c->endScores);
    ClassPairConstraint_FreeStateTables(&c->head);
    DVKMem_Free(c->scratchList);
    for (void* buffer : c->reverseBuffers)
        DVKMem_Free(buffer);
    DVKMem_Free(c->activeIdTable);
}

} // namespace

void ClassPairConstraint_Init(Constraint* con, const char* name)
{
    con->type = kConstraintTypeClassPair;
    std::memset(con->name, 0, sizeof con->name);
    if (name != nullptr)
        std::strncpy(con->name, name, kConstraintNameSize - 1);
    con->restrictionFlag = 1;
    con->transcriptionFlag = 0;
    ConstraintOps& ops = con->ops;
    ops = ConstraintOps{};
    ops.Delete = ClassPairConstraint_Delete;
    ops.IsSimple = ClassPairConstraint_IsSimple;
    ops.RemoveActiveId = ClassPairConstraint_RemoveActiveId;
    ops.IteratorInit = ClassPairConstraint_IteratorInit;
    ops.IteratorNext = ClassPairConstraint_IteratorNext;
    ops.IteratorInitFromActiveId = ClassPairConstraint_IteratorInitFromActiveId;
    ops.IsLegalPronEndingReverse = ClassPairConstraint_IsLegalPronEndingReverse;
    ops.FindParse = ClassPairConstraint_FindParse;
    ops.PrintAllTransitions = ClassPairConstraint_PrintAllTransitions;
    ops.BuildActiveIdTable = ClassPairConstraint_BuildActiveIdTable;
    ops.FreeActiveIdTable = ClassPairConstraint_FreeActiveIdTable;
    ops.GetTransitionScore = ClassPairConstraint_GetEndScore;
    ops.UttInit = ClassPairConstraint_UttInit;
    ops.ResetPointers = ClassPairConstraint_ResetPointers;
    ops.GetMemberStartsWithPronId = ClassPairConstraint_GetMemberStartsWithPronId;
    ops.HasOptionalEnding = ClassPairConstraint_HasOptionalEnding;
    ops.WritePSAFile = ClassPairConstraint_WritePSAFile;
    ops.Check = ClassPairConstraint_Check;
    ops.ComputeCRC = ClassPairConstraint_ComputeCRC;
}

int32_t ClassPairConstraint_UseTransitionCache(Constraint* con)
{
    ClassManager* m = con->classManager;
    if (BrevitParam_Word(kBrevitParamTransitionCache) == 0 || m == nullptr)
        return 1;
    if (ClassManager_CreateSuccPronIds(m) == 0)
        return 0;
    if (m->succPronPool != nullptr) {
        con->ops.IteratorInit = CCCache_IteratorInit;
        con->ops.IteratorNext = CCCache_IteratorNext;
    }
    return 1;
}

Constraint* ClassPairConstraint_Create(const char* name, ClassManager* classManager, int32_t classes,
                                       int32_t transitions, int32_t withScores)
{
    if (name != nullptr && std::strlen(name) >= static_cast<size_t>(kConstraintNameSize))
        return nullptr;
    if (classes >= kClassManagerMaxIds)
        return nullptr;
    auto* c = static_cast<ClassPairConstraint*>(DVKMem_Calloc(sizeof(ClassPairConstraint)));
    if (c == nullptr)
        return nullptr;
    ClassPairConstraint_Init(&c->head, name);
    c->head.classManager = classManager;
    if (ClassPairConstraint_UseTransitionCache(&c->head) == 0) {
        DVKMem_Free(c);
        return nullptr;
    }
    c->classCapacity = classes > 0 ? classes + 1 : 0;
    c->frameCounter = -1;
    if (c->classCapacity == 0)
        return &c->head;
    if (transitions < 1) {
        DVKMem_Free(c);
        return nullptr;
    }
    c->editable = 1;
    c->classIds = allocArray<uint32_t>(c->classCapacity);
    c->offsets = allocArray<uint32_t>(c->classCapacity + 1);
    c->endFlags = allocArray<uint8_t>(c->classCapacity);
    c->targets = allocArray<uint32_t>(transitions);
    bool ok = c->classIds != nullptr && c->offsets != nullptr && c->endFlags != nullptr && c->targets != nullptr;
    if (ok && withScores != 0) {
        c->hasScores = 1;
        c->transitionScores = allocArray<uint8_t>(transitions);
        c->endScores = allocArray<uint8_t>(c->classCapacity);
        ok = c->transitionScores != nullptr && c->endScores != nullptr;
    }
    if (!ok) {
        freeArrays(c);
        DVKMem_Free(c);
        return nullptr;
    }
    std::fill(c->classIds, c->classIds + c->classCapacity, 0xFFFFFFFFu);
    c->transitionCapacity = transitions;
    c->classCount = 1;
    c->classIds[0] = 0;
    c->head.inUse = 1;
    return &c->head;
}

int32_t ClassPairConstraint_FindClassIndex(Constraint* con, uint32_t classId, int32_t* index)
{
    const int32_t found = isPair(con) ? indexOf(asPair(con), classId) : -1;
    if (index != nullptr)
        *index = found;
    return found >= 0 ? 1 : 0;
}

int32_t ClassPairConstraint_FindOrAddClass(Constraint* con, uint32_t classId, int32_t* index)
{
    ClassPairConstraint* c = asPair(con);
    if (!isPair(con) || c->classIds == nullptr)
        return 0;
    const int32_t found = indexOf(c, classId);
    if (found >= 0) {
        *index = found;
        return 1;
    }
    return addClassAtEnd(con, classId, index);
}

namespace {

// Enters a class known to be absent at the end (growing when full), with a
// reference.
int32_t addClassAtEnd(Constraint* con, uint32_t classId, int32_t* index)
{
    ClassPairConstraint* c = asPair(con);
    if (c->editable == 0 || (c->classCount >= c->classCapacity && !growClasses(c)))
        return 0;
    if (ClassManager_AddRef(con->classManager, classId) == 0 && ClassManager_IsConstraintRef(classId) != 0)
        return 0;
    const int32_t a = c->classCount++;
    c->classIds[a] = classId;
    if (c->copyClassIds != nullptr)
        c->copyClassIds[a] = 0;
    c->endFlags[a] = 0;
    if (c->endScores != nullptr)
        c->endScores[a] = 0;
    c->offsets[a + 1] = c->offsets[a];
    if (ClassManager_IsConstraintRef(classId) != 0)
        c->hasConstraintClasses = 1;
    *index = a;
    return 1;
}

} // namespace

int32_t ClassPairConstraint_ClearLookup(ClassManager* classManager)
{
    if (classManager == nullptr)
        return 0;
    const int32_t entries = classManager->maxId + 1;
    if (classManager->optScratchEntries < entries) {
        auto* table = static_cast<int32_t*>(DVKMem_Calloc(static_cast<uint32_t>(entries) * sizeof(int32_t)));
        if (table == nullptr)
            return 0;
        DVKMem_Free(classManager->optScratch);
        classManager->optScratch = table;
        classManager->optScratchEntries = entries;
        return 1;
    }
    std::fill(classManager->optScratch, classManager->optScratch + classManager->optScratchEntries, 0);
    return 1;
}

int32_t ClassPairConstraint_FindOrAddClassByLookup(Constraint* con, uint32_t classId, int32_t* index)
{
    ClassPairConstraint* c = asPair(con);
    if (!isPair(con) || c->classIds == nullptr)
        return 0;
    if (classId == 0) {
        *index = 0;
        return 1;
    }
    ClassManager* m = con->classManager;
    if (m == nullptr || classId > static_cast<uint32_t>(m->maxId))
        return ClassPairConstraint_FindOrAddClass(con, classId, index);
    if (m->optScratchEntries <= static_cast<int32_t>(classId)) {
        // Grown without losing what it holds: the new entries are absent.
        const int32_t entries = m->maxId + 1;
        auto* table = static_cast<int32_t*>(DVKMem_Calloc(static_cast<uint32_t>(entries) * sizeof(int32_t)));
        if (table == nullptr)
            return 0;
        if (m->optScratch != nullptr)
            std::copy(m->optScratch, m->optScratch + m->optScratchEntries, table);
        DVKMem_Free(m->optScratch);
        m->optScratch = table;
        m->optScratchEntries = entries;
    }
    const int32_t held = m->optScratch[classId];
    if (held > 0 && held < c->classCount && c->classIds[held] == classId) {
        *index = held;
        return 1;
    }
    // Absent, or an entry left by another constraint: the scan decides.
    int32_t a = -1;
    if (held != 0) {
        a = indexOf(c, classId);
        if (a >= 0) {
            m->optScratch[classId] = a;
            *index = a;
            return 1;
        }
    }
    if (addClassAtEnd(con, classId, &a) == 0)
        return 0;
    m->optScratch[classId] = a;
    *index = a;
    return 1;
}

int32_t ClassPairConstraint_AddTransitionByIndex(Constraint* con, int32_t a, int32_t b, int32_t score)
{
    ClassPairConstraint* c = asPair(con);
    if (!isPair(con) || c->editable == 0 || a < 0 || b < 0 || a >= c->classCount || b >= c->classCount)
        return 0;
    const auto byte = static_cast<uint8_t>(score);
    if (b == 0) {
        if (a == 0)
            return 0;
        if (c->endFlags[a] != 0)
            return c->hasScores == 0 || c->endScores[a] == byte ? 1 : 0;
        c->endFlags[a] = 1;
        if (c->hasScores != 0)
            c->endScores[a] = byte;
        return 1;
    }
    const int32_t present = findTransition(c, a, b);
    if (present >= 0)
        return c->hasScores == 0 || c->transitionScores[present] == byte ? 1 : 0;
    if (c->transitionCount >= c->transitionCapacity && !growTransitions(c))
        return 0;
    const uint32_t at = c->offsets[a + 1];
    const auto tail = static_cast<size_t>(static_cast<uint32_t>(c->transitionCount) - at);
    std::memmove(c->targets + at + 1, c->targets + at, tail * sizeof(uint32_t));
    c->targets[at] = static_cast<uint32_t>(b);
    if (c->hasScores != 0) {
        std::memmove(c->transitionScores + at + 1, c->transitionScores + at, tail);
        c->transitionScores[at] = byte;
    }
    ++c->transitionCount;
    for (int32_t i = a + 1; i <= c->classCount; ++i)
        ++c->offsets[i];
    return 1;
}

int32_t ClassPairConstraint_AddTransition(Constraint* con, uint32_t fromId, uint32_t toId, int32_t score)
{
    int32_t a = -1;
    int32_t b = -1;
    if (ClassPairConstraint_FindOrAddClass(con, fromId, &a) == 0 ||
        ClassPairConstraint_FindOrAddClass(con, toId, &b) == 0)
        return 0;
    return ClassPairConstraint_AddTransitionByIndex(con, a, b, score);
}

int32_t ClassPairConstraint_HasTransition(Constraint* con, uint32_t fromId, uint32_t toId)
{
    return ClassPairConstraint_IsTransitionPresent(con, fromId, toId);
}

int32_t ClassPairConstraint_IsTransitionPresent(Constraint* con, uint32_t fromId, uint32_t toId)
{
    int32_t a = 0;
    return locate(con, fromId, toId, &a) != kAbsent ? 1 : 0;
}

int32_t ClassPairConstraint_GetTransitionScoreByIds(Constraint* con, uint32_t fromId, uint32_t toId)
{
    int32_t a = 0;
    const int32_t t = locate(con, fromId, toId, &a);
    if (t == kAbsent)
        return 0;
    return t == kEnd ? endScore(asPair(con), a) : transitionScore(asPair(con), static_cast<uint32_t>(t));
}

int32_t ClassPairConstraint_HasSuccessors(Constraint* con, uint32_t classId)
{
    return ClassPairConstraint_GetSuccessors(con, classId, nullptr) > 0 ? 1 : 0;
}

int32_t ClassPairConstraint_GetSuccessors(Constraint* con, uint32_t classId, uint32_t* out)
{
    const int32_t a = heldIndex(con, classId);
    if (a < 0)
        return 0;
    const ClassPairConstraint* c = asPair(con);
    int32_t n = 0;
    for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t, ++n)
        if (out != nullptr)
            out[n] = c->classIds[c->targets[t]];
    return n;
}

int32_t ClassPairConstraint_GetPredecessors(Constraint* con, uint32_t classId, uint32_t* out)
{
    const int32_t b = heldIndex(con, classId);
    if (b < 0)
        return 0;
    const ClassPairConstraint* c = asPair(con);
    int32_t n = 0;
    for (int32_t a = b == 0 ? 1 : 0; a < c->classCount; ++a) {
        const bool hit = b == 0 ? c->endFlags[a] != 0 : findTransition(c, a, b) >= 0;
        if (!hit)
            continue;
        if (out != nullptr)
            out[n] = c->classIds[a];
        ++n;
    }
    return n;
}

void ClassPairConstraint_GetInfo(Constraint* con, int32_t* classes, int32_t* transitions, int32_t* starts,
                                 int32_t* ends)
{
    const ClassPairConstraint* c = asPair(con);
    const bool arrays = isPair(con) && c->classIds != nullptr;
    *classes = arrays ? c->classCount : 0;
    *transitions = arrays ? c->transitionCount : 0;
    *starts = arrays ? static_cast<int32_t>(c->offsets[1] - c->offsets[0]) : 0;
    int32_t n = 0;
    for (int32_t a = 1; arrays && a < c->classCount; ++a)
        n += c->endFlags[a] != 0 ? 1 : 0;
    *ends = n;
}

int32_t ClassPairConstraint_GetEndScore(Constraint* con, uint32_t classId, uint32_t, uint32_t, int32_t)
{
    if (!isPair(con) || asPair(con)->hasScores == 0)
        return 0;
    const int32_t a = indexOf(asPair(con), classId);
    return a >= 0 ? endScore(asPair(con), a) : 0;
}

int32_t ClassPairConstraint_AddTransitionsFrom(Constraint* con, Constraint* other, int32_t useCopies)
{
    const ClassPairConstraint* o = asPair(other);
    for (int32_t a = 1; a < o->classCount; ++a)
        for (uint32_t t = o->offsets[a]; t < o->offsets[a + 1]; ++t)
            if (addByIds(con, sourceId(o, a, useCopies), sourceId(o, static_cast<int32_t>(o->targets[t]), useCopies),
                         transitionScore(o, t)) == 0)
                return 0;
    return 1;
}

int32_t ClassPairConstraint_AddEndTransitionsFrom(Constraint* con, Constraint* other, uint32_t toId,
                                                  int32_t scoreOffset, int32_t useCopies)
{
    const ClassPairConstraint* o = asPair(other);
    for (int32_t a = 1; a < o->classCount; ++a)
        if (o->endFlags[a] != 0 && addByIds(con, sourceId(o, a, useCopies), toId, endScore(o, a) + scoreOffset) == 0)
            return 0;
    return 1;
}

int32_t ClassPairConstraint_AddStartTransitionsFrom(Constraint* con, Constraint* other, uint32_t fromId,
                                                    int32_t scoreOffset, int32_t useCopies)
{
    const ClassPairConstraint* o = asPair(other);
    for (uint32_t t = o->offsets[0]; t < o->offsets[1]; ++t)
        if (addByIds(con, fromId, sourceId(o, static_cast<int32_t>(o->targets[t]), useCopies),
                     transitionScore(o, t) + scoreOffset) == 0)
            return 0;
    return 1;
}

int32_t ClassPairConstraint_AddEndToStartTransitions(Constraint* con, Constraint* first, Constraint* second,
                                                     int32_t joinScore, int32_t useCopies)
{
    const ClassPairConstraint* f = asPair(first);
    const ClassPairConstraint* s = asPair(second);
    for (int32_t a = 1; a < f->classCount; ++a) {
        if (f->endFlags[a] == 0)
            continue;
        const int32_t join = (endScore(f, a) + joinScore) & 255;
        for (uint32_t t = s->offsets[0]; t < s->offsets[1]; ++t)
            if (addByIds(con, sourceId(f, a, useCopies), sourceId(s, static_cast<int32_t>(s->targets[t]), useCopies),
                         transitionScore(s, t) + join) == 0)
                return 0;
    }
    return 1;
}

int32_t ClassPairConstraint_LoopEndsToStarts(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    // Starts are read by index: the loop adds transitions from end classes,
    // which never moves those of index 0.
    const uint32_t starts = c->offsets[1];
    for (int32_t a = 1; a < c->classCount; ++a) {
        if (c->endFlags[a] == 0)
            continue;
        for (uint32_t t = 0; t < starts; ++t)
            if (ClassPairConstraint_AddTransitionByIndex(con, a, static_cast<int32_t>(c->targets[t]), 0) == 0)
                return 0;
    }
    return 1;
}

Constraint* ClassPairConstraint_MergeConstraints(Constraint* const* array, int32_t n)
{
    if (n < 1 || array == nullptr)
        return nullptr;
    int64_t classes = 0;
    int64_t transitions = 0;
    int32_t scores = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (!isPair(array[i]) || array[i]->classManager != array[0]->classManager || asPair(array[i])->classIds == nullptr)
            return nullptr;
        classes += asPair(array[i])->classCount - 1;
        transitions += asPair(array[i])->transitionCount;
        scores |= asPair(array[i])->hasScores != 0 ? 1 : 0;
    }
    if (classes >= kClassManagerMaxIds || transitions > 0x7FFFFFFF)
        return nullptr;
    Constraint* merged = ClassPairConstraint_Create(nullptr, array[0]->classManager, static_cast<int32_t>(classes),
                                                    static_cast<int32_t>(std::max<int64_t>(transitions, 1)), scores);
    if (merged == nullptr)
        return nullptr;
    for (int32_t i = 0; i < n; ++i) {
        const ClassPairConstraint* o = asPair(array[i]);
        int32_t index = 0;
        for (int32_t a = 0; a < o->classCount; ++a)
            if (ClassPairConstraint_FindOrAddClass(merged, o->classIds[a], &index) == 0)
                goto fail;
        for (int32_t a = 0; a < o->classCount; ++a) {
            for (uint32_t t = o->offsets[a]; t < o->offsets[a + 1]; ++t)
                if (addByIds(merged, o->classIds[a], o->classIds[o->targets[t]], transitionScore(o, t)) == 0)
                    goto fail;
            if (o->endFlags[a] != 0 && addByIds(merged, o->classIds[a], 0, endScore(o, a)) == 0)
                goto fail;
        }
    }
    return merged;
fail:
    ClassPairConstraint_Delete(merged, 0);
    return nullptr;
}

namespace {

// Transition between class ids, both entered through the id-to-index table.
int32_t addByLookup(Constraint* con, uint32_t from, uint32_t to, int32_t score)
{
    int32_t a = -1;
    int32_t b = -1;
    if (ClassPairConstraint_FindOrAddClassByLookup(con, from, &a) == 0 ||
        ClassPairConstraint_FindOrAddClassByLookup(con, to, &b) == 0)
        return 0;
    return ClassPairConstraint_AddTransitionByIndex(con, a, b, score & 255);
}

void dropLookup(ClassManager* classManager, bool ownTable)
{
    if (!ownTable)
        return;
    DVKMem_Free(classManager->optScratch);
    classManager->optScratch = nullptr;
    classManager->optScratchEntries = 0;
}

} // namespace

Constraint* ClassPairConstraint_SubstituteClass(Constraint* con, Constraint* inner, const uint32_t* startIds,
                                                int32_t startCount, const uint32_t* endIds, int32_t endCount,
                                                ClassManager* classManager, uint32_t classId, const char* name)
{
    if (!isPair(con) || !isPair(inner))
        return con;
    const ClassPairConstraint* c = asPair(con);
    const ClassPairConstraint* in = asPair(inner);
    const int32_t k = indexOf(c, classId);
    if (k <= 0)
        return con;
    const int32_t predecessors = ClassPairConstraint_GetPredecessors(con, classId, nullptr);
    const int32_t successors = ClassPairConstraint_GetSuccessors(con, classId, nullptr);
    if (predecessors == 0 || (successors == 0 && c->endFlags[k] == 0))
        return con;
    const int32_t self = findTransition(c, k, k);
    int64_t transitions = static_cast<int64_t>(c->transitionCount) + in->transitionCount +
                          static_cast<int64_t>(successors) * endCount + static_cast<int64_t>(startCount) * predecessors;
    if (self >= 0)
        transitions += -endCount + static_cast<int64_t>(startCount) * (endCount - 1);
    const int64_t classes = static_cast<int64_t>(c->classCount) + in->classCount;
    if (transitions > 0x7FFFFFFF || classes >= kClassManagerMaxIds)
        return con;
    // A table the manager did not hold before is dropped again at the end.
    const bool ownTable = classManager != nullptr && classManager->optScratch == nullptr;
    if (ClassPairConstraint_ClearLookup(classManager) == 0)
        return con;
    Constraint* out = ClassPairConstraint_Create(name, classManager, static_cast<int32_t>(classes),
                                                 static_cast<int32_t>(std::max<int64_t>(transitions, 1)), c->hasScores);
    if (out == nullptr) {
        dropLookup(classManager, ownTable);
        return con;
    }
    int32_t index = 0;
    // Every class of con but the replaced one, with its transitions.
    for (int32_t a = 0; a < c->classCount; ++a) {
        if (a == k)
            continue;
        if (ClassPairConstraint_FindOrAddClassByLookup(out, c->classIds[a], &index) == 0)
            goto fail;
        for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t)
            if (c->targets[t] != static_cast<uint32_t>(k) &&
                addByLookup(out, c->classIds[a], c->classIds[c->targets[t]], transitionScore(c, t)) == 0)
                goto fail;
        if (c->endFlags[a] != 0 && addByLookup(out, c->classIds[a], 0, endScore(c, a)) == 0)
            goto fail;
    }
    for (int32_t a = 1; a < in->classCount; ++a) {
        if (ClassPairConstraint_FindOrAddClassByLookup(out, in->classIds[a], &index) == 0)
            goto fail;
        for (uint32_t t = in->offsets[a]; t < in->offsets[a + 1]; ++t)
            if (addByLookup(out, in->classIds[a], in->classIds[in->targets[t]], 0) == 0)
                goto fail;
    }
    for (int32_t p = 0; p < c->classCount; ++p) {
        const int32_t t = p == k ? -1 : findTransition(c, p, k);
        for (int32_t s = 0; t >= 0 && s < startCount; ++s)
            if (addByLookup(out, c->classIds[p], startIds[s], transitionScore(c, static_cast<uint32_t>(t))) == 0)
                goto fail;
    }
    for (uint32_t t = c->offsets[k]; t < c->offsets[k + 1]; ++t) {
        if (c->targets[t] == static_cast<uint32_t>(k))
            continue;
        for (int32_t e = 0; e < endCount; ++e)
            if (addByLookup(out, endIds[e], c->classIds[c->targets[t]], transitionScore(c, t)) == 0)
                goto fail;
    }
    for (int32_t e = 0; c->endFlags[k] != 0 && e < endCount; ++e)
        if (addByLookup(out, endIds[e], 0, endScore(c, k)) == 0)
            goto fail;
    for (int32_t e = 0; self >= 0 && e < endCount; ++e)
        for (int32_t s = 0; s < startCount; ++s)
            if (addByLookup(out, endIds[e], startIds[s], transitionScore(c, static_cast<uint32_t>(self))) == 0)
                goto fail;
    dropLookup(classManager, ownTable);
    return out;
fail:
    ClassPairConstraint_Delete(out, 0);
    dropLookup(classManager, ownTable);
    return con;
}

void ClassPairConstraint_Delete(Constraint* con, int32_t)
{
    if (con == nullptr)
        return;
    ClassPairConstraint* c = asPair(con);
    con->inUse = 0;
    if (c->editable != 0 && c->classIds != nullptr) {
        std::sort(c->classIds + 1, c->classIds + c->classCount);
        for (int32_t a = c->classCount - 1; a >= 1; --a) {
            ClassManager_Release(con->classManager, c->classIds[a]);
            if (c->copyClassIds != nullptr && c->copyClassIds[a] != 0)
                ClassManager_Release(con->classManager, c->copyClassIds[a]);
        }
    }
    freeArrays(c);
    DVKMem_Free(c);
}

int32_t ClassPairConstraint_IsSimple(Constraint* con)
{
    const ClassPairConstraint* c = asPair(con);
    return c->classCount == 2 && c->transitionCount == 1 ? 1 : 0;
}

int32_t ClassPairConstraint_HasOptionalEnding(Constraint* con)
{
    const ClassPairConstraint* c = asPair(con);
    if (c->classIds == nullptr)
        return 0;
    for (int32_t a = 1; a < c->classCount; ++a)
        if (c->offsets[a + 1] > c->offsets[a])
            return 1;
    for (int32_t a = 1; a < c->classCount; ++a) {
        const ConstraintClass* r = ClassManager_IsConstraintRef(c->classIds[a]) != 0
                                       ? nullptr
                                       : ClassManager_GetClass(con->classManager, c->classIds[a]);
        if (r != nullptr && r->numWords > r->numMembers)
            return 1;
    }
    return 0;
}

int32_t ClassPairConstraint_RemoveActiveId(Constraint* con, uint16_t activeId)
{
    return ClassManager_RemoveWordFromClasses(con->classManager, activeId);
}

void ClassPairConstraint_PrintAllTransitions(Constraint*, int32_t, int32_t) {}

int32_t ClassPairConstraint_GetMemberStartsWithPronId(Constraint* con, uint32_t classId, uint16_t pron,
                                                      int32_t* first, int32_t* count, int32_t* single)
{
    ClassManager_FindMembersStartingWithPron(con->classManager, classId, pron, first, count, single);
    const int32_t a = indexOf(asPair(con), classId);
    if (a < 0 || asPair(con)->endFlags[a] == 0)
        *single = 0;
    return a >= 0 ? 1 : 0;
}

namespace {

// An alias of class id named from a fresh generated base; -1 on failure.
int32_t makeCopy(ClassManager* cm, uint32_t id, const char* suffix)
{
    char name[kClassBaseNameLength + 16];
    std::snprintf(name, sizeof name, "%s%s", ClassManager_NextVarBaseName(cm), suffix);
    return ClassManager_AddAlias(cm, name, id);
}

// Removes an alias nothing holds, giving back its hold on the target.
void dropUnreferenced(ClassManager* cm, uint32_t alias)
{
    ClassManager_AddRef(cm, alias);
    ClassManager_Release(cm, alias);
}

} // namespace

int32_t ClassPairConstraint_MakeCopyClasses(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    if (c->copyClassIds != nullptr)
        return 1;
    auto* copies = allocArray<uint32_t>(c->classCapacity);
    if (copies == nullptr)
        return 0;
    for (int32_t a = 1; a < c->classCount; ++a) {
        const int32_t copy = makeCopy(con->classManager, c->classIds[a], "__CLCopyName");
        if (copy < 0 || ClassManager_AddRef(con->classManager, static_cast<uint32_t>(copy)) == 0) {
            // The aliases made so far go with their last reference.
            for (int32_t b = 1; b < a; ++b)
                ClassManager_Release(con->classManager, copies[b]);
            if (copy >= 0)
                dropUnreferenced(con->classManager, static_cast<uint32_t>(copy));
            DVKMem_Free(copies);
            return 0;
        }
        copies[a] = static_cast<uint32_t>(copy);
    }
    c->copyClassIds = copies;
    return 1;
}

Constraint* ClassPairConstraint_CopyWithClassCopies(Constraint* con, const char* name)
{
    const ClassPairConstraint* c = asPair(con);
    ClassManager* cm = con->classManager;
    Constraint* out = ClassPairConstraint_Create(name, cm, std::max(c->classCapacity - 1, 1),
                                                 std::max(c->transitionCapacity, 1), c->hasScores);
    if (out == nullptr)
        return nullptr;
    std::vector<uint32_t> copies(static_cast<size_t>(c->classCount), 0);
    bool ok = true;
    for (int32_t a = 1; ok && a < c->classCount; ++a) {
        const int32_t copy = makeCopy(cm, c->classIds[a], "__CNCopyName");
        int32_t index = 0;
        ok = copy >= 0 && ClassPairConstraint_FindOrAddClass(out, static_cast<uint32_t>(copy), &index) == 1;
        if (copy >= 0 && !ok)
            dropUnreferenced(cm, static_cast<uint32_t>(copy));
        if (ok)
            copies[static_cast<size_t>(a)] = static_cast<uint32_t>(copy);
    }
    for (int32_t a = 0; ok && a < c->classCount; ++a) {
        for (uint32_t t = c->offsets[a]; ok && t < c->offsets[a + 1]; ++t)
            ok = addByIds(out, copies[static_cast<size_t>(a)], copies[c->targets[t]], transitionScore(c, t)) == 1;
        if (ok && c->endFlags[a] != 0)
            ok = addByIds(out, copies[static_cast<size_t>(a)], 0, endScore(c, a)) == 1;
    }
    if (!ok) {
        // Deleting releases each copy's one reference, which removes it.
        ClassPairConstraint_Delete(out, 0);
        return nullptr;
    }
    return out;
}

int32_t ClassPairConstraint_Check(Constraint* con)
{
    const ClassPairConstraint* c = asPair(con);
    if (ClassManager_FinishEdit(con->classManager) == 0 || c->classCount > kClassManagerMaxIds)
        return 0;
    if (c->classCount < 2)
        return 1;
    for (int32_t a = 1; a < c->classCount; ++a) {
        if (ClassManager_IsConstraintRef(c->classIds[a]) != 0)
            continue;
        const ConstraintClass* r = ClassManager_GetClass(con->classManager, c->classIds[a]);
        if (r == nullptr)
            continue;
        if (r->numMembers > kConstraintClassMaxMembers)
            return 0;
        for (int32_t m = 0; m < r->numMembers; ++m)
            if (ConstraintClass_MemberLength(r, m) > kConstraintClassMaxMemberLength)
                return 0;
    }
    return 1;
}

uint32_t ClassPairConstraint_ComputeCRC(Constraint* con, uint32_t withClasses)
{
    const ClassPairConstraint* c = asPair(con);
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->type), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(con->restrictionFlag), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->classCapacity), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->classCount), crc);
    const bool arrays = c->classIds != nullptr;
    if (arrays) {
        crc = DVKCrc_AddArray(c->classIds, 4, c->classCount, crc);
        crc = DVKCrc_AddArray(c->offsets, 4, c->classCount + 1, crc);
        crc = DVKCrc_AddArray(c->endFlags, 1, c->classCount, crc);
        crc = DVKCrc_AddArray(c->targets, 4, c->transitionCount, crc);
    }
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->hasScores), crc);
    if (arrays && c->hasScores != 0) {
        crc = DVKCrc_AddArray(c->transitionScores, 1, c->transitionCount, crc);
        crc = DVKCrc_AddArray(c->endScores, 1, c->classCount, crc);
    }
    for (int32_t a = 1; arrays && withClasses != 0 && a < c->classCount; ++a) {
        const uint32_t id = c->classIds[a];
        const ConstraintClass* record =
            ClassManager_IsConstraintRef(id) != 0 ? nullptr : ClassManager_GetClass(con->classManager, id);
        crc = DVKCrc_AddInt(ConstraintClass_ComputeCRC(record), crc);
    }
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->transitionCapacity), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(c->transitionCount), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(c->editable), crc);
}

int32_t ClassPairConstraint_GetNumClasses(const Constraint* con) { return asPair(con)->classCount; }

uint32_t ClassPairConstraint_GetClassId(const Constraint* con, int32_t index)
{
    const ClassPairConstraint* c = asPair(con);
    return index >= 0 && index < c->classCount && c->classIds != nullptr ? c->classIds[index] : 0;
}

int32_t ClassPairConstraint_HasConstraintClasses(const Constraint* con)
{
    return asPair(con)->hasConstraintClasses;
}

int32_t ClassPairConstraint_GetStateTableFlag(const Constraint* con) { return asPair(con)->stateTableFlag; }

int32_t ClassPairConstraint_FindCopyOwner(Constraint* con, uint32_t copyId)
{
    const ClassPairConstraint* c = asPair(con);
    for (int32_t a = 1; c->classIds != nullptr && a < c->classCount; ++a) {
        if (ClassManager_IsConstraintRef(c->classIds[a]) == 0)
            continue;
        Constraint* sub = ClassManager_GetConstraintOfRef(con->classManager, c->classIds[a]);
        if (!isPair(sub) || asPair(sub)->copyClassIds == nullptr)
            continue;
        const ClassPairConstraint* s = asPair(sub);
        for (int32_t k = 1; k < s->classCount; ++k)
            if (s->copyClassIds[k] == copyId)
                return static_cast<int32_t>(s->classIds[k]);
    }
    return -1;
}
