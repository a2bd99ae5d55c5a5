#include "tests/core/constraints/fake_dynamic_accessors.h"

#include "core/constraints/dvk_constraints_dynamictable.h"

namespace {

const std::vector<FakeDynamicRow>& rowsOf(const dvk_constraints_Constraint* constraint)
{
    return static_cast<const FakeDynamicRows*>(constraint->transitions)->rows;
}

const FakeDynamicRow& rowAt(const dvk_constraints_Constraint* constraint, int32_t iterator)
{
    return rowsOf(constraint).at(static_cast<size_t>(iterator) - 1);
}

} // namespace

int32_t dvk_constraints_getDynamicFirstTransition(const dvk_constraints_Constraint* constraint)
{
    return rowsOf(constraint).empty() ? 0 : 1;
}

int32_t dvk_constraints_getDynamicNextTransition(const dvk_constraints_Constraint* constraint,
                                                 int32_t iterator)
{
    return iterator >= 1 && static_cast<size_t>(iterator) < rowsOf(constraint).size() ? iterator + 1
                                                                                      : 0;
}

const char* dvk_constraints_getDynamicTransitionFrom(const dvk_constraints_Constraint* constraint,
                                                     int32_t iterator)
{
    return rowAt(constraint, iterator).from.c_str();
}

const char* dvk_constraints_getDynamicTransitionTo(const dvk_constraints_Constraint* constraint,
                                                   int32_t iterator)
{
    return rowAt(constraint, iterator).to.c_str();
}

int32_t dvk_constraints_getDynamicTransitionPenalty(const dvk_constraints_Constraint* constraint,
                                                    int32_t iterator)
{
    return rowAt(constraint, iterator).penalty;
}

int32_t dvk_constraints_getDynamicTransitionCount(const dvk_constraints_Constraint* constraint)
{
    return static_cast<int32_t>(rowsOf(constraint).size());
}
