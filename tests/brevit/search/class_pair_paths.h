// The word sequences a class-pair constraint accepts, by brute force over
// its class graph: every path from the start through at most `depth`
// classes to a class that may end, each class contributing any member.
#pragma once

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_class.h"

#include <cstdint>
#include <set>
#include <vector>

using WordSequence = std::vector<uint16_t>;
using Sequences = std::set<WordSequence>;

inline std::vector<WordSequence> classMembers(const ClassManager* m, uint32_t classId)
{
    std::vector<WordSequence> out;
    const ConstraintClass* c = ClassManager_GetClass(m, classId);
    for (int32_t k = 0; c != nullptr && k < c->numMembers; ++k) {
        WordSequence w;
        for (uint32_t i = ConstraintClass_OffsetAt(c, k); i < ConstraintClass_OffsetAt(c, k + 1); ++i)
            w.push_back(ConstraintClass_WordAt(c, static_cast<int32_t>(i)));
        out.push_back(w);
    }
    return out;
}

inline void walkPaths(Constraint* con, const ClassManager* m, uint32_t from, const WordSequence& so, int depth,
                      const std::set<uint32_t>& ends, Sequences& out)
{
    if (from != 0 && ends.count(from) != 0)
        out.insert(so);
    if (depth == 0)
        return;
    std::vector<uint32_t> next(static_cast<size_t>(ClassPairConstraint_GetNumClasses(con)) + 1);
    next.resize(static_cast<size_t>(ClassPairConstraint_GetSuccessors(con, from, next.data())));
    for (uint32_t to : next)
        for (const WordSequence& member : classMembers(m, to)) {
            WordSequence longer = so;
            longer.insert(longer.end(), member.begin(), member.end());
            walkPaths(con, m, to, longer, depth - 1, ends, out);
        }
}

inline Sequences acceptedSequences(Constraint* con, const ClassManager* m, int depth = 8)
{
    std::vector<uint32_t> ends(static_cast<size_t>(ClassPairConstraint_GetNumClasses(con)) + 1);
    ends.resize(static_cast<size_t>(ClassPairConstraint_GetPredecessors(con, 0, ends.data())));
    Sequences out;
    walkPaths(con, m, 0, {}, depth, std::set<uint32_t>(ends.begin(), ends.end()), out);
    return out;
}
