// The 61 dialog modules as a table: name, the gate command a session is set
// to before the module is made, and a factory calling its constructor with
// arguments of the kind its callers pass. A module not built yet answers
// NULL and its stand-in says "module not built".
#pragma once

#include "core/vcm/dvk_vcm.h"

#include <functional>
#include <string>
#include <vector>

struct ModuleRow {
    std::string name;
    int32_t gateCmd;
    std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
};
const std::vector<ModuleRow>& moduleTable();
// Keeps the settings item constructor linked with the others.
extern int (*const kPushSettingsMenuItem)(dvk_vcm_Session*, int32_t);
