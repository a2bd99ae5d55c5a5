// The "Opt" network of a class: its members factored by shared leading
// words into generated classes joined by transitions, substituted for the
// class in the constraints that hold it.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/constraint_class.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A generated name: base, "_" and the counter; null when it would not fit.
bool childName(char* out, size_t size, const char* base, int32_t counter)
{
    const int n = std::snprintf(out, size, "%s_%d", base, counter);
    return n > 0 && static_cast<size_t>(n) < size;
}

uint16_t wordOf(const ConstraintClass* c, int32_t m, int32_t position)
{
    return ConstraintClass_WordAt(c, static_cast<int32_t>(ConstraintClass_OffsetAt(c, m)) + position);
}

struct OptCounts {
    int32_t classes;
    int32_t transitions;
    int32_t nameBytes;
};

// Ids of the classes a build made, so a failed build can take them back.
struct Made {
    uint32_t* ids;
    int32_t count;
    int32_t capacity;
};

// A class named `name` holding the members' words from `depth` on, entered
// from `fromIndex`; its constraint index in *index. Counting only when con
// is null.
bool makeClass(ClassManager* m, Constraint* con, const char* name, const ConstraintClass* source,
               const int32_t* members, int32_t n, int32_t depth, int32_t extension, int32_t fromIndex,
               bool mayEnd, Made* made, int32_t* index, OptCounts* counts)
{
    ++counts->classes;
    ++counts->transitions;
    counts->nameBytes += static_cast<int32_t>(std::strlen(name)) + 1;
    if (con == nullptr)
        return true;
    int64_t words = 0;
    for (int32_t k = 0; k < n; ++k)
        words += extension > 0 ? extension : ConstraintClass_MemberLength(source, members[k]) - depth;
    int32_t id = 0;
    if ((made != nullptr && made->count == made->capacity) ||
        ClassManager_CreateClass(m, name, n, static_cast<int32_t>(words), 0, 0, 0, 0, nullptr, -1, &id) == 0)
        return false;
    if (made != nullptr)
        made->ids[made->count++] = static_cast<uint32_t>(id);
    ConstraintClass* record = ClassManager_GetClass(m, static_cast<uint32_t>(id));
    uint16_t buffer[kConstraintClassMaxMemberLength];
    for (int32_t k = 0; k < n; ++k) {
        const int32_t length = extension > 0 ? extension : ConstraintClass_MemberLength(source, members[k]) - depth;
        for (int32_t i = 0; i < length; ++i)
            buffer[i] = wordOf(source, members[k], depth + i);
        if (ConstraintClass_InsertMember(record, length, buffer, 0, 0) == 0)
            return false;
    }
    ClassManager_UpdateRebuildTree(m, record);
    return ClassPairConstraint_FindOrAddClassByLookup(con, static_cast<uint32_t>(id), index) != 0 &&
           ClassPairConstraint_AddTransitionByIndex(con, fromIndex, *index, 0) != 0 &&
           (!mayEnd || ClassPairConstraint_AddTransitionByIndex(con, *index, 0, 0) != 0);
}

struct Expansion {
    ClassManager* manager;
    Constraint* con;              // null in the count pass
    const ConstraintClass* source;
    Made* made;
    OptCounts* counts;
};

bool expand(const Expansion& e, const int32_t* members, int32_t n, int32_t fromIndex, int32_t depth,
            const char* baseName, int32_t consumedWords, int32_t level);

// The run is split by the word at `depth`; singletons share a leaf class,
// each larger group gets a class of its common words and recurses.
bool factor(const Expansion& e, const int32_t* members, int32_t n, int32_t fromIndex, int32_t depth,
            const char* baseName, int32_t consumedWords, int32_t level)
{
    const ConstraintClass* c = e.source;
    char name[256];
    int32_t counter = 0;
    int32_t index = 0;
    // Singletons first: one leaf for all of them.
    auto* singles = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(n) * 4u));
    if (singles == nullptr)
        return false;
    int32_t numSingles = 0;
    for (int32_t a = 0, b = 0; a < n; a = b) {
        for (b = a + 1; b < n && wordOf(c, members[b], depth) == wordOf(c, members[a], depth); ++b) {
        }
        if (b - a == 1)
            singles[numSingles++] = members[a];
    }
    bool ok = true;
    if (numSingles > 0)
        ok = childName(name, sizeof name, baseName, counter++) &&
             makeClass(e.manager, e.con, name, c, singles, numSingles, depth, 0, fromIndex, true, e.made, &index,
                       e.counts);
    DVKMem_Free(singles);
    for (int32_t a = 0, b = 0; ok && a < n; a = b) {
        for (b = a + 1; b < n && wordOf(c, members[b], depth) == wordOf(c, members[a], depth); ++b) {
        }
        if (b - a == 1)
            continue;
        // The words every member of the group shares from depth on.
        int32_t extension = ConstraintClass_MemberLength(c, members[a]) - depth;
        for (int32_t k = a + 1; k < b; ++k) {
            int32_t shared = 0;
            const int32_t most = std::min(extension, ConstraintClass_MemberLength(c, members[k]) - depth);
            while (shared < most && wordOf(c, members[k], depth + shared) == wordOf(c, members[a], depth + shared))
                ++shared;
            extension = shared;
        }
        const bool firstEnds = ConstraintClass_MemberLength(c, members[a]) - depth == extension;
        ok = childName(name, sizeof name, baseName, counter++) &&
             makeClass(e.manager, e.con, name, c, members + a, 1, depth, extension, fromIndex, firstEnds, e.made,
                       &index, e.counts);
        const int32_t rest = firstEnds ? a + 1 : a;
        ok = ok && expand(e, members + rest, b - rest, index, depth + extension, name, consumedWords + extension,
                          level + 1);
    }
    return ok;
}

bool expand(const Expansion& e, const int32_t* members, int32_t n, int32_t fromIndex, int32_t depth,
            const char* baseName, int32_t consumedWords, int32_t level)
{
    if (consumedWords >= static_cast<int32_t>(BrevitParam_Word(kBrevitParamPronRunMaxWords)) ||
        level >= static_cast<int32_t>(BrevitParam_Word(kBrevitParamPronRunMaxLevel))) {
        char name[256];
        int32_t index = 0;
        return childName(name, sizeof name, baseName, 0) &&
               makeClass(e.manager, e.con, name, e.source, members, n, depth, 0, fromIndex, true, e.made, &index,
                         e.counts);
    }
    return factor(e, members, n, fromIndex, depth, baseName, consumedWords, level);
}

void copyInputs(int32_t count, Constraint* const* constraints, Constraint** results)
{
    for (int32_t i = 0; i < count; ++i)
        results[i] = constraints[i];
}

// Takes back the classes a failed build made (the constraint first, which
// holds a reference to each).
void dropMade(ClassManager* m, Constraint* opt, Made* made)
{
    if (opt != nullptr)
        Constraint_Delete(opt, 0);
    for (int32_t k = made->count - 1; k >= 0; --k)
        ClassManager_DeleteClass(m, made->ids[k]);
    made->count = 0;
}

bool expandClass(ClassManager* m, Constraint* con, int32_t firstMember, uint32_t classId, int32_t fromIndex,
                 int32_t depth, int32_t runLength, const char* baseName, OptCounts* counts, int32_t consumedWords,
                 int32_t level, Made* made)
{
    const ConstraintClass* c = ClassManager_GetClass(m, classId);
    if (c == nullptr || runLength < 1 || firstMember < 0 || firstMember + runLength > c->numMembers)
        return false;
    auto* members = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(runLength) * 4u));
    if (members == nullptr)
        return false;
    for (int32_t k = 0; k < runLength; ++k)
        members[k] = firstMember + k;
    const Expansion e{m, con, c, made, counts};
    const bool ok = expand(e, members, runLength, fromIndex, depth, baseName, consumedWords, level);
    DVKMem_Free(members);
    return ok;
}

} // namespace

int32_t ClassManager_ExpandClassForOpt(ClassManager* m, Constraint* con, int32_t firstMember, uint32_t classId,
                                       int32_t fromIndex, int32_t depth, int32_t runLength, const char* baseName,
                                       int32_t* classes, int32_t* transitions, int32_t* nameBytes,
                                       int32_t consumedWords, int32_t level)
{
    OptCounts counts{*classes, *transitions, *nameBytes};
    const bool ok = expandClass(m, con, firstMember, classId, fromIndex, depth, runLength, baseName, &counts,
                                consumedWords, level, nullptr);
    *classes = counts.classes;
    *transitions = counts.transitions;
    *nameBytes = counts.nameBytes;
    return ok ? 1 : 0;
}

void ClassManager_CreateOptimizedConstraint(ClassManager* manager, const char* className, int32_t count,
                                            Constraint* const* constraints, Constraint** results)
{
    if (count <= 0)
        return;
    copyInputs(count, constraints, results);
    ClassManager* theirs = Constraint_GetClassManager(constraints, count);
    ClassManager* m = manager != nullptr ? manager : theirs;
    if (m == nullptr || theirs != m || className == nullptr || ClassManager_FinishEdit(m) == 0)
        return;
    const int32_t id = ClassManager_FindClass(m, className);
    const ConstraintClass* c = id > 0 ? ClassManager_GetClass(m, static_cast<uint32_t>(id)) : nullptr;
    // Generated members carry neither weights nor phrase ids.
    if (c == nullptr || c->hasPhraseIds != 0 || c->hasWeights != 0 || c->numMembers == 0 ||
        Constraint_AnyClassPairHasClass(count, constraints, static_cast<uint32_t>(id)) == 0)
        return;
    char optName[kConstraintNameSize];
    if (std::snprintf(optName, sizeof optName, "%sOpt", className) >= static_cast<int>(sizeof optName))
        return;
    char base[kClassBaseNameLength + 1];
    std::memcpy(base, ClassManager_NextVarBaseName(m), sizeof base);
    OptCounts counts{};
    if (!expandClass(m, nullptr, 0, static_cast<uint32_t>(id), 0, 0, c->numMembers, base, &counts, 0, 0, nullptr) ||
        ClassManager_GrowTables(m, m->idsInUse + counts.classes) == 0)
        return;
    Made made{static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(counts.classes) * 4u)), 0, counts.classes};
    const bool ownTable = m->optScratch == nullptr;
    Constraint* opt = made.ids != nullptr && ClassPairConstraint_ClearLookup(m) != 0
                          ? ClassPairConstraint_Create(optName, m, counts.classes, counts.transitions, 0)
                          : nullptr;
    OptCounts built{};
    bool ok = opt != nullptr &&
              expandClass(m, opt, 0, static_cast<uint32_t>(id), 0, 0, c->numMembers, base, &built, 0, 0, &made);
    const int32_t classes = opt != nullptr ? ClassPairConstraint_GetNumClasses(opt) : 0;
    auto* starts = static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(classes + 1) * 4u));
    auto* ends = static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(classes + 1) * 4u));
    ok = ok && starts != nullptr && ends != nullptr;
    if (ok) {
        const int32_t numStarts = ClassPairConstraint_GetSuccessors(opt, 0, starts);
        const int32_t numEnds = ClassPairConstraint_GetPredecessors(opt, 0, ends);
        char name[kConstraintNameSize];
        const char* substituted = ClassManager_NextVarBaseName(m);
        for (int32_t i = 0; i < count; ++i) {
            if (Constraint_GetType(constraints[i]) != kConstraintTypeClassPair)
                continue;
            std::snprintf(name, sizeof name, "%s%d", substituted, i);
            results[i] = ClassPairConstraint_SubstituteClass(constraints[i], opt, starts, numStarts, ends, numEnds, m,
                                                             static_cast<uint32_t>(id), name);
        }
        // The network's classes stay with the constraints that took them.
        Constraint_Delete(opt, 0);
        opt = nullptr;
        bool anyTaken = false;
        for (int32_t i = 0; i < count; ++i)
            anyTaken = anyTaken || results[i] != constraints[i];
        if (!anyTaken)
            ok = false;
    }
    if (!ok)
        dropMade(m, opt, &made);
    DVKMem_Free(starts);
    DVKMem_Free(ends);
    DVKMem_Free(made.ids);
    if (ownTable) {
        DVKMem_Free(m->optScratch);
        m->optScratch = nullptr;
        m->optScratchEntries = 0;
    }
}
