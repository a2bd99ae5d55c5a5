// Stand-ins for the engine components the engine object calls (acoustic
// models, search, lexicon, synthesis; the front end is the real one): each
// call is logged with the label of the object it got, and a chosen one can
// raise an engine error. Linked only into this directory's test, in place of
// the real components.
#pragma once

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct BrevitFunctionTable;

// The engine context a component found current when it was called.
struct SeenContext {
    BrevitAllocator* allocator = nullptr;
    DVKMemStack* scratchStack = nullptr;
    DVKErrStack* errorStack = nullptr;
    BrevitGlobalParameters* parameters = nullptr;
    BrevitFunctionTable* functionTable = nullptr;
    int watchDogAnswer = 0;  // what the current watchdog answered
    bool valid = false;
};

struct ComponentFakes {
    // "<function> <object label>[ <argument>]", in call order.
    std::vector<std::string> calls;
    // The language name the vocabulary reports.
    std::string languageName = "enus";
    // The function whose next call raises an engine error ("" for none).
    std::string raiseIn;
    SeenContext seen;

    // A distinct object pointer of any component type, logged as label.
    template <typename T>
    T* object(const std::string& label)
    {
        return static_cast<T*>(newObject(label));
    }
    std::string label(const void* object) const;
    void reset();

    // Called by every fake: logs the call, notes the context, and raises
    // when the call is the chosen one.
    void enter(const char* function, const void* object, const std::string& argument = "");

private:
    void* newObject(const std::string& label);
    std::map<const void*, std::string> m_labels;
    std::vector<std::unique_ptr<char>> m_objects;
};

ComponentFakes& componentFakes();
