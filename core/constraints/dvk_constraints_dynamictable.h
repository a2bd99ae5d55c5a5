// The dynamic constraint table: constraints and word classes built at run
// time (from the configuration's gate commands), in the same records as the
// static ones. Constraint ids run -2, -3, ... in the order they are added;
// word classes are numbered 0, 1, ... by their place in the table.
#pragma once

#include "core/constraints/dvk_constraints_records.h"

#include <cstdint>

struct dvk_constraints_DynamicTable;

enum : int32_t {
    DVK_CONSTRAINTS_CLASS_START = -2,  // "_CONSTRAINT_CLASS_START" as a from index
    DVK_CONSTRAINTS_CLASS_END = -3,    // "_CONSTRAINT_CLASS_END" as a to index
};

dvk_constraints_DynamicTable* dvk_constraints_createDynamicTable();
void dvk_constraints_destroyDynamicTable(dvk_constraints_DynamicTable** table);

// The new class's index, -1 on failure (count > 0).
int32_t dvk_constraints_addWordClass(dvk_constraints_DynamicTable* table, const char* name,
                                     int32_t key, const int32_t* stringIds,
                                     const int32_t* featureIds, int32_t count);
// A new constraint over the classes at the indices; none on failure.
dvk_constraints_Constraint* dvk_constraints_addConstraint(dvk_constraints_DynamicTable* table,
                                                          const char* name,
                                                          const int32_t* classIndices,
                                                          int32_t count);
// A dynamic copy of a static constraint with its classes and transitions.
dvk_constraints_Constraint* dvk_constraints_copyStaticConstraint(
    dvk_constraints_DynamicTable* table, const char* name, int32_t staticConstraintId);
// 0, or 1 when the constraint or an index is unknown or memory is short.
int dvk_constraints_addTransition(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                  int32_t fromIndex, int32_t toIndex, int32_t penalty);
// Replaces the constraint's one class with that key by the class at newIndex.
int dvk_constraints_replaceWordClass(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                     int32_t key, int32_t newIndex);
dvk_constraints_Constraint* dvk_constraints_getDynamicConstraint(
    dvk_constraints_DynamicTable* table, int32_t id);
// A new null-ended array of every constraint, most negative id first.
dvk_constraints_Constraint** dvk_constraints_getDynamicConstraintList(
    dvk_constraints_DynamicTable* table);
void dvk_constraints_destroyDynamicConstraintList(dvk_constraints_Constraint*** list);

// Transitions of a dynamic constraint: 1-based iterators, 0 at the end.
int32_t dvk_constraints_getDynamicFirstTransition(const dvk_constraints_Constraint* constraint);
int32_t dvk_constraints_getDynamicNextTransition(const dvk_constraints_Constraint* constraint,
                                                 int32_t iterator);
const char* dvk_constraints_getDynamicTransitionFrom(const dvk_constraints_Constraint* constraint,
                                                     int32_t iterator);
const char* dvk_constraints_getDynamicTransitionTo(const dvk_constraints_Constraint* constraint,
                                                   int32_t iterator);
int32_t dvk_constraints_getDynamicTransitionPenalty(
    const dvk_constraints_Constraint* constraint, int32_t iterator);
int32_t dvk_constraints_getDynamicTransitionCount(const dvk_constraints_Constraint* constraint);
