#include "tests/core/config/fake_dynamic_table.h"

#include <string>

namespace {

bool fails(dvk_constraints_DynamicTable* table)
{
    if (table->failAfter < 0)
        return false;
    if (table->failAfter == 0)
        return true;
    --table->failAfter;
    return false;
}

std::string end(int32_t index)
{
    return index == DVK_CONSTRAINTS_CLASS_START ? "S"
           : index == DVK_CONSTRAINTS_CLASS_END ? "E"
                                                : std::to_string(index);
}

dvk_constraints_Constraint* add(dvk_constraints_DynamicTable* table, FakeConstraint* c)
{
    c->record.id = -static_cast<int32_t>(table->constraints.size()) - 2;
    c->record.dynamic = 1;
    table->constraints.push_back(c);
    c->record.name = c->name.c_str();
    return &c->record;
}

} // namespace

FakeConstraint* fakeConstraint(dvk_constraints_DynamicTable* table, int32_t id)
{
    size_t index = static_cast<size_t>(-id - 2);
    return id <= -2 && index < table->constraints.size() ? table->constraints[index] : nullptr;
}

dvk_constraints_DynamicTable* dvk_constraints_createDynamicTable()
{
    return new dvk_constraints_DynamicTable;
}

void dvk_constraints_destroyDynamicTable(dvk_constraints_DynamicTable** table)
{
    for (FakeConstraint* c : (*table)->constraints)
        delete c;
    delete *table;
    *table = nullptr;
}

int32_t dvk_constraints_addWordClass(dvk_constraints_DynamicTable* table, const char* name,
                                     int32_t key, const int32_t* stringIds,
                                     const int32_t* featureIds, int32_t count)
{
    if (fails(table) || count <= 0)
        return -1;
    table->classes.push_back(FakeClass{name, key, std::vector<int32_t>(stringIds, stringIds + count),
                                       std::vector<int32_t>(featureIds, featureIds + count)});
    return static_cast<int32_t>(table->classes.size()) - 1;
}

dvk_constraints_Constraint* dvk_constraints_addConstraint(dvk_constraints_DynamicTable* table,
                                                          const char* name,
                                                          const int32_t* classIndices,
                                                          int32_t count)
{
    if (fails(table))
        return nullptr;
    auto* c = new FakeConstraint;
    c->name = name;
    c->classes.assign(classIndices, classIndices + count);
    return add(table, c);
}

dvk_constraints_Constraint* dvk_constraints_copyStaticConstraint(
    dvk_constraints_DynamicTable* table, const char* name, int32_t staticConstraintId)
{
    if (fails(table))
        return nullptr;
    auto* c = new FakeConstraint;
    c->name = name;
    c->copiedFrom = staticConstraintId;
    return add(table, c);
}

int dvk_constraints_addTransition(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                  int32_t fromIndex, int32_t toIndex, int32_t)
{
    FakeConstraint* c = fakeConstraint(table, constraintId);
    if (fails(table) || c == nullptr)
        return 1;
    c->transitions.push_back(end(fromIndex) + ">" + end(toIndex));
    return 0;
}

int dvk_constraints_replaceWordClass(dvk_constraints_DynamicTable* table, int32_t constraintId,
                                     int32_t key, int32_t newIndex)
{
    FakeConstraint* c = fakeConstraint(table, constraintId);
    if (fails(table) || c == nullptr)
        return 1;
    c->classes.push_back(newIndex);  // the copied list's class of that key, replaced
    c->transitions.push_back("replace " + std::to_string(key) + "=" + std::to_string(newIndex));
    return 0;
}

dvk_constraints_Constraint* dvk_constraints_getDynamicConstraint(
    dvk_constraints_DynamicTable* table, int32_t id)
{
    FakeConstraint* c = fakeConstraint(table, id);
    return c != nullptr ? &c->record : nullptr;
}

dvk_constraints_Constraint** dvk_constraints_getDynamicConstraintList(dvk_constraints_DynamicTable*)
{
    return nullptr;
}

void dvk_constraints_destroyDynamicConstraintList(dvk_constraints_Constraint*** list)
{
    *list = nullptr;
}

int32_t dvk_constraints_getDynamicFirstTransition(const dvk_constraints_Constraint*) { return 0; }
int32_t dvk_constraints_getDynamicNextTransition(const dvk_constraints_Constraint*, int32_t) { return 0; }
const char* dvk_constraints_getDynamicTransitionFrom(const dvk_constraints_Constraint*, int32_t) { return nullptr; }
const char* dvk_constraints_getDynamicTransitionTo(const dvk_constraints_Constraint*, int32_t) { return nullptr; }
int32_t dvk_constraints_getDynamicTransitionPenalty(const dvk_constraints_Constraint*, int32_t) { return 0; }
int32_t dvk_constraints_getDynamicTransitionCount(const dvk_constraints_Constraint*) { return 0; }
