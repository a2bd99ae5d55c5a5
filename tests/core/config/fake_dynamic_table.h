// A recording stand-in for the dynamic constraint table: classes numbered
// 0, 1, ... and constraints -2, -3, ... as the real one numbers them. It
// links only into the configuration manager's tests and fuzz target.
#pragma once

#include "core/constraints/dvk_constraints_dynamictable.h"

#include <string>
#include <vector>

struct FakeClass {
    std::string name;
    int32_t key;
    std::vector<int32_t> stringIds, features;
};

struct FakeConstraint {
    std::string name;
    std::vector<int32_t> classes;   // indices
    int32_t copiedFrom = -1;        // the static constraint, for copies
    std::vector<std::string> transitions;  // "from>to" with S and E for start and end
    dvk_constraints_Constraint record{};
};

struct dvk_constraints_DynamicTable {
    std::vector<FakeClass> classes;
    std::vector<FakeConstraint*> constraints;  // id -2 first
    int failAfter = -1;  // calls that succeed before every call fails
};

FakeConstraint* fakeConstraint(dvk_constraints_DynamicTable* table, int32_t id);
