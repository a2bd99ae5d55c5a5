// Provisional forms of what the constraints call of their kinds
// (constraint_kind_doubles.h); each kind's own source replaces its share.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_kind_doubles.h"
#include "core/brevit/search/transcription_constraint.h"
#include "core/brevit/search/whole_voc_constraint.h"

namespace {

const ConstraintKindDoubles* gDoubles = nullptr;

// The installed double of that name, or null.
template <typename Member>
auto installed(Member ConstraintKindDoubles::*member)
{
    return gDoubles != nullptr ? gDoubles->*member : nullptr;
}

} // namespace

const ConstraintKindDoubles* ConstraintKinds_InstallDoubles(const ConstraintKindDoubles* doubles)
{
    const ConstraintKindDoubles* previous = gDoubles;
    gDoubles = doubles;
    return previous;
}

const ConstraintKindDoubles* ConstraintKinds_InstalledDoubles() { return gDoubles; }

Constraint* WholeVocConstraint_ReadFromBinFile(BinFileReader* reader, Voc* vocabulary)
{
    auto f = installed(&ConstraintKindDoubles::wholeVocReadFromBinFile);
    return f != nullptr ? f(reader, vocabulary) : nullptr;
}

Constraint* ClassPairConstraint_Expand(Constraint* con)
{
    auto f = installed(&ConstraintKindDoubles::classPairExpand);
    return f != nullptr ? f(con) : con;
}

int32_t ClassPairConstraint_CollectWordIds(Constraint* con, uint16_t* buffer, int32_t room)
{
    auto f = installed(&ConstraintKindDoubles::classPairCollectWordIds);
    return f != nullptr ? f(con, buffer, room) : 0;
}

int32_t ClassPairConstraint_HasLoopClass(Constraint* con)
{
    auto f = installed(&ConstraintKindDoubles::classPairHasLoopClass);
    return f != nullptr ? f(con) : 0;
}

void ClassPairConstraint_FillPronCache(Constraint* con, PronCache* cache)
{
    if (auto f = installed(&ConstraintKindDoubles::classPairFillPronCache))
        f(con, cache);
}

void ClassPairConstraint_FindFirstFlaggedClass(Constraint* const* array, int32_t n, int32_t* found,
                                               int32_t* values)
{
    if (auto f = installed(&ConstraintKindDoubles::classPairFindFirstFlaggedClass)) {
        f(array, n, found, values);
        return;
    }
    for (int32_t k = 0; k < n; ++k) {
        found[k] = 0;
        values[k] = 0;
    }
}

int32_t ClassPairConstraint_ClassesNeedLexTree(Constraint* con)
{
    auto f = installed(&ConstraintKindDoubles::classPairClassesNeedLexTree);
    return f != nullptr ? f(con) : 0;
}

void TranscriptionConstraint_MarkReferencedWordIds(Constraint* con, uint8_t* bitmap, int32_t first,
                                                   int32_t count)
{
    if (auto f = installed(&ConstraintKindDoubles::transcriptionMarkReferencedWordIds))
        f(con, bitmap, first, count);
}
