// The parse of a recognised word sequence against a class-pair constraint
// (which class and member each word was spoken in, at the lowest cost) and
// the expansion of constraint classes into one flat constraint, on which
// the parse and the path checks walk.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <cstdio>
#include <cstring>

namespace {

ClassPairConstraint* asPair(Constraint* con) { return reinterpret_cast<ClassPairConstraint*>(con); }

// Constraint names need not be unique, so expansions are told apart by a
// process-wide counter.
int32_t expandedIndex = 0;

constexpr int32_t kNoParse = 0x40000000;

struct ParseWalk {
    Constraint* walked;      // con or its expansion
    Constraint* original;
    bool weighted;           // costs count; else the first parse wins at cost 0
    int32_t n;               // words of the whole sequence
    uint32_t* rows;          // per depth a trial class path of n entries
    uint8_t* rowFlags;
};

uint32_t reportedClass(const ParseWalk& w, ActiveId next)
{
    const uint32_t state = ActiveId_GetState(next);
    if (w.walked == w.original)
        return state;
    const int32_t owner = ClassPairConstraint_FindCopyOwner(w.original, state);
    return owner >= 0 ? static_cast<uint32_t>(owner) : state;
}

// The best parse of prons[0..count) from (previous, id) into classes and
// flags (count entries each); false when there is none.
bool parse(const ParseWalk& w, const uint16_t* prons, int32_t count, uint16_t previous, ActiveId id,
           uint32_t* classes, uint8_t* flags, int32_t* cost, int32_t depth)
{
    Constraint* con = w.walked;
    ConstraintIterator iterator;
    ClassPairConstraint_PrepareIterator(con, &iterator);
    Constraint_IteratorInitFromActiveId(con, &iterator, previous, 0, id, prons[0]);
    bool found = false;
    int32_t best = kNoParse;
    ConstraintSuccessor s{};
    uint32_t* trial = w.rows + static_cast<int64_t>(depth + 1) * w.n;
    uint8_t* trialFlags = w.rowFlags + static_cast<int64_t>(depth + 1) * w.n;
    while (Constraint_IteratorNext(con, &iterator, &s) != 0) {
        int32_t total = 0;
        if (count == 1) {
            if (s.final == 0)
                continue;
            total = s.score + ClassPairConstraint_GetEndScore(con, ActiveId_GetState(s.next), 0, 0, 0);
        } else {
            int32_t rest = kNoParse;
            if (!parse(w, prons + 1, count - 1, s.member, s.next, trial, trialFlags, &rest, depth + 1))
                continue;
            total = s.score + rest;
        }
        if (!w.weighted)
            total = 0;
        if (found && total >= best)
            continue;
        found = true;
        best = total;
        classes[0] = reportedClass(w, s.next);
        flags[0] = ActiveId_GetSubPosition(s.next) == 0 ? 1 : 0;
        if (count > 1) {
            std::memcpy(classes + 1, trial, static_cast<size_t>(count - 1) * sizeof(uint32_t));
            std::memcpy(flags + 1, trialFlags, static_cast<size_t>(count - 1));
        }
        if (!w.weighted)
            break;
    }
    if (found)
        *cost = best;
    return found;
}

} // namespace

int32_t ClassPairConstraint_ParseRecursive(Constraint* con, const uint16_t* prons, int32_t n, uint16_t previous,
                                           ActiveId id, uint32_t* classes, int32_t* cost, uint8_t* flags)
{
    *cost = kNoParse;
    if (n < 1)
        return 0;
    Constraint* walked = ClassPairConstraint_Expand(con);
    if (walked == nullptr)
        return 0;
    ParseWalk w{walked, con, false, n, nullptr, nullptr};
    const ClassPairConstraint* c = asPair(walked);
    w.weighted = c->hasScores != 0 || c->stateTableFlag != 0;
    const uint32_t cells = static_cast<uint32_t>(n + 1) * static_cast<uint32_t>(n);
    w.rows = static_cast<uint32_t*>(DVKMem_Malloc(cells * sizeof(uint32_t)));
    w.rowFlags = static_cast<uint8_t*>(DVKMem_Malloc(cells));
    int32_t result = 0;
    Constraint* table[1] = {walked};
    if (w.rows != nullptr && w.rowFlags != nullptr && Constraint_UttInitAll(table, 1, 0, 0) != 0) {
        // Row 0 collects the answer; rows 1..n serve the deeper words.
        int32_t best = kNoParse;
        if (parse(w, prons, n, previous, id, w.rows, w.rowFlags, &best, 0)) {
            result = 1;
            *cost = best;
            if (classes != nullptr)
                std::memcpy(classes, w.rows, static_cast<size_t>(n) * sizeof(uint32_t));
            if (flags != nullptr)
                std::memcpy(flags, w.rowFlags, static_cast<size_t>(n));
        }
    }
    DVKMem_Free(w.rows);
    DVKMem_Free(w.rowFlags);
    if (walked != con)
        Constraint_Delete(walked, 0);
    return result;
}

int32_t ClassPairConstraint_FindParse(Constraint* con, int32_t n, const uint32_t* words, uint32_t* classes,
                                      int32_t* cost, uint8_t* flags)
{
    *cost = kNoParse;
    if (n < 1)
        return 0;
    const Voc* vocabulary = ClassManager_GetVocabulary(con->classManager);
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(n) * sizeof(uint16_t)));
    if (prons == nullptr)
        return 0;
    int32_t result = 1;
    for (int32_t i = 0; i < n && result != 0; ++i) {
        // A word without a pron cannot have been spoken.
        if (Voc_GetPronIds(vocabulary, words[i], prons + i, 1) < 1)
            result = 0;
    }
    if (result != 0)
        result = ClassPairConstraint_ParseRecursive(con, prons, n, kConstraintSilencePron, ActiveId_Make(0, 0, 0, 0),
                                                    classes, cost, flags);
    DVKMem_Free(prons);
    return result;
}

namespace {

Constraint* subConstraint(Constraint* con, uint32_t id)
{
    if (ClassManager_IsConstraintRef(id) == 0)
        return nullptr;
    Constraint* sub = ClassManager_GetConstraintOfRef(con->classManager, id);
    return sub != nullptr && sub->type == kConstraintTypeClassPair ? sub : nullptr;
}

bool addSplicedTransition(Constraint* out, Constraint* con, uint32_t from, uint32_t to, int32_t score)
{
    Constraint* source = subConstraint(con, from);
    Constraint* target = subConstraint(con, to);
    if (source == nullptr && target == nullptr)
        return ClassPairConstraint_AddTransition(out, from, to, score & 255) != 0;
    if (source == nullptr)
        return ClassPairConstraint_AddStartTransitionsFrom(out, target, from, score, 1) != 0;
    if (target == nullptr)
        return ClassPairConstraint_AddEndTransitionsFrom(out, source, to, score, 1) != 0;
    return ClassPairConstraint_AddEndToStartTransitions(out, source, target, score, 1) != 0;
}

bool splice(Constraint* out, Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    int32_t index = 0;
    for (int32_t a = 1; a < c->classCount; ++a) {
        Constraint* sub = subConstraint(con, c->classIds[a]);
        if (sub == nullptr) {
            if (ClassPairConstraint_FindOrAddClass(out, c->classIds[a], &index) == 0)
                return false;
            continue;
        }
        if (ClassPairConstraint_MakeCopyClasses(sub) == 0 || ClassPairConstraint_AddTransitionsFrom(out, sub, 1) == 0)
            return false;
    }
    for (int32_t a = 0; a < c->classCount; ++a) {
        for (uint32_t t = c->offsets[a]; t < c->offsets[a + 1]; ++t) {
            const int32_t score = c->hasScores != 0 ? c->transitionScores[t] : 0;
            if (!addSplicedTransition(out, con, c->classIds[a], c->classIds[c->targets[t]], score))
                return false;
        }
        if (a > 0 && c->endFlags[a] != 0 &&
            !addSplicedTransition(out, con, c->classIds[a], 0, c->hasScores != 0 ? c->endScores[a] : 0))
            return false;
    }
    return true;
}

} // namespace

Constraint* ClassPairConstraint_Expand(Constraint* con)
{
    ClassPairConstraint* c = asPair(con);
    if (c->hasConstraintClasses == 0)
        return con;
    int64_t classes = c->classCount;
    int64_t transitions = c->transitionCount + c->classCount;
    int32_t scores = c->hasScores;
    for (int32_t a = 1; a < c->classCount; ++a) {
        if (Constraint* sub = subConstraint(con, c->classIds[a])) {
            const ClassPairConstraint* s = asPair(sub);
            classes += s->classCount;
            transitions += s->transitionCount + s->classCount * static_cast<int64_t>(c->classCount);
            scores |= s->hasScores;
        }
    }
    char name[kConstraintNameSize];
    std::snprintf(name, sizeof name, "00__ExpandedName%d", expandedIndex++);
    Constraint* out = ClassPairConstraint_Create(name, con->classManager, static_cast<int32_t>(classes),
                                                 static_cast<int32_t>(transitions), scores);
    if (out == nullptr)
        return nullptr;
    if (!splice(out, con)) {
        ClassPairConstraint_Delete(out, 0);
        return nullptr;
    }
    asPair(out)->stateTableFlag = c->stateTableFlag;
    return out;
}
