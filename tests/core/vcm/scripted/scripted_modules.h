// Recording dialog modules for the dialog manager's tests: the generated
// modules' constructors build modules named as the real ones ("vcm_root",
// "vcm_tutorial", ...) that log every call, and a generic module's slots,
// event table, context, constraints and continuation are set per test.
#pragma once

#include "core/vcm/dvk_vcm.h"

#include <string>
#include <vector>

// Every constructor and slot call, as "newRoot(0)", "vcm_root.handleResult(2)" ...
std::vector<std::string>& scriptedCalls();
// The next constructor answers NULL (one failure) when set.
void scriptedFailNextConstructor();

// A generic module: a context of one int (copied by copyContext when
// withCopy), constraints from the list given.
struct ScriptedModule {
    dvk_vcm_Vtable vtable{};
    std::vector<dvk_vcm_Etable> etable;  // ended by {0, null} on build
    std::vector<dvk_constraints_Constraint*> constraints;  // null-ended on build
    bool hasConstraints = false;
    int failConstraints = 0;
};
// Builds a module over spec (which must outlive it) named name; context:
// -1 none, else a block holding the value.
dvk_vcm_Module* newScriptedModule(dvk_vcm_Session* vcms, ScriptedModule* spec, const char* name,
                                  int context, bool withCopy);
// From now on the generated constructor named `constructor` ("newTutorial",
// "newRoot") builds a generic module from spec, named as the real one; NULL
// goes back to the plain recording module.
void scriptedUseSpec(const std::string& constructor, ScriptedModule* spec);

// The value in the module's context, -1 without one.
int scriptedContext(dvk_vcm_Module* module);
