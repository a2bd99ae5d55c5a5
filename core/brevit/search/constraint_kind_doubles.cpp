// The installed readers of scripted constraint records (constraint_kind_doubles.h).
#include "core/brevit/search/constraint_kind_doubles.h"

namespace {

const ConstraintKindDoubles* gDoubles = nullptr;

} // namespace

const ConstraintKindDoubles* ConstraintKinds_InstallDoubles(const ConstraintKindDoubles* doubles)
{
    const ConstraintKindDoubles* previous = gDoubles;
    gDoubles = doubles;
    return previous;
}

const ConstraintKindDoubles* ConstraintKinds_InstalledDoubles() { return gDoubles; }
