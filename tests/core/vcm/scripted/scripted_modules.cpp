#include "tests/core/vcm/scripted/scripted_modules.h"

#include "sdk/common/dvk_mem.h"

#include <map>
#include <string>

namespace {

bool s_failNext = false;

std::map<const dvk_vcm_Vtable*, ScriptedModule*>& specs()
{
    static std::map<const dvk_vcm_Vtable*, ScriptedModule*> map;
    return map;
}

std::string nameOf(dvk_vcm_Session* vcms)
{
    return dvk_vcm_getCurrentName(vcms);
}

int recordResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** /*message*/, int32_t)
{
    scriptedCalls().push_back(nameOf(vcms) + ".handleResult(" +
                              std::to_string(nbest == nullptr ? -1 : dvk_nbest_getCount(nbest)) + ")");
    dvk_nbest_destroy(&nbest);
    return 0;
}

int recordConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    ScriptedModule* spec = specs()[dvk_vcm_current(vcms)->vtable];
    if (spec->failConstraints)
        return 1;
    *constraints = spec->constraints.data();
    return 0;
}

void* copyInt(void* context)
{
    auto* copy = static_cast<int*>(dvk_mem_alloc(sizeof(int)));
    if (copy != nullptr)
        *copy = *static_cast<int*>(context);
    return copy;
}

dvk_vcm_Vtable recordingVtable(const char* name)
{
    dvk_vcm_Vtable v{};
    v.name = name;
    v.handleResult = recordResult;
    return v;
}

const dvk_vcm_Etable kEmpty[] = {{DVK_UI_EVENT_NONE, nullptr}};

dvk_vcm_Module* recording(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable, const std::string& call)
{
    scriptedCalls().push_back(call);
    if (s_failNext) {
        s_failNext = false;
        return nullptr;
    }
    return dvk_vcm_newVCM(vcms, vtable, kEmpty);
}

const dvk_vcm_Vtable kTutorial = recordingVtable("vcm_tutorial");
const dvk_vcm_Vtable kSettings = recordingVtable("vcm_settings");
const dvk_vcm_Vtable kAdaptation = recordingVtable("vcm_adaptation");
const dvk_vcm_Vtable kRoot = recordingVtable("vcm_root");
const dvk_vcm_Vtable kHelp = recordingVtable("vcm_help");
const dvk_vcm_Vtable kAlways = recordingVtable("vcm_alwaysAvailableCmd");

}  // namespace

std::vector<std::string>& scriptedCalls()
{
    static std::vector<std::string> calls;
    return calls;
}

void scriptedFailNextConstructor()
{
    s_failNext = true;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptation(dvk_vcm_Session* vcms)
{
    return recording(vcms, &kAdaptation, "newAdaptation");
}

dvk_vcm_Module* dvk_gen_vcm_newAlwaysAvailableCmd(dvk_vcm_Session* vcms, int32_t event, int32_t phraseStringId,
                                                  int32_t savedState)
{
    return recording(vcms, &kAlways,
                     "newAlwaysAvailableCmd(" + std::to_string(event) + ", " + std::to_string(phraseStringId) +
                         ", " + std::to_string(savedState) + ")");
}

dvk_vcm_Module* dvk_gen_vcm_newHelp(dvk_vcm_Session* vcms, int32_t screenId, int32_t titleStringId,
                                    int32_t bodyStringId, int32_t softkeyStringId, int32_t softkeyEvent)
{
    return recording(vcms, &kHelp,
                     "newHelp(" + std::to_string(screenId) + ", " + std::to_string(titleStringId) + ", " +
                         std::to_string(bodyStringId) + ", " + std::to_string(softkeyStringId) + ", " +
                         std::to_string(softkeyEvent) + ")");
}

dvk_vcm_Module* dvk_gen_vcm_newRoot(dvk_vcm_Session* vcms, int32_t flag)
{
    return recording(vcms, &kRoot, "newRoot(" + std::to_string(flag) + ")");
}

dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session* vcms)
{
    return recording(vcms, &kSettings, "newSettings");
}

dvk_vcm_Module* dvk_gen_vcm_newTutorial(dvk_vcm_Session* vcms, int32_t flag)
{
    return recording(vcms, &kTutorial, "newTutorial(" + std::to_string(flag) + ")");
}

int dvk_gen_vcm_pushSettingsMenuItem(dvk_vcm_Session* /*vcms*/, int32_t item)
{
    scriptedCalls().push_back("pushSettingsMenuItem(" + std::to_string(item) + ")");
    return 0;
}

dvk_vcm_Module* newScriptedModule(dvk_vcm_Session* vcms, ScriptedModule* spec, const char* name, int context,
                                  bool withCopy)
{
    specs()[&spec->vtable] = spec;
    spec->vtable.name = name;
    if (spec->vtable.handleResult == nullptr)
        spec->vtable.handleResult = recordResult;
    if (spec->hasConstraints) {
        spec->vtable.GetConstraints = recordConstraints;
        if (spec->constraints.empty() || spec->constraints.back() != nullptr)
            spec->constraints.push_back(nullptr);
    }
    if (context >= 0) {
        spec->vtable.Destructor = dvk_vcm_defaultContextDestructor;
        if (withCopy)
            spec->vtable.copyContext = copyInt;
    }
    if (spec->etable.empty() || spec->etable.back().handler != nullptr)
        spec->etable.push_back({DVK_UI_EVENT_NONE, nullptr});
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &spec->vtable, spec->etable.data());
    if (module != nullptr && context >= 0) {
        module->context = dvk_mem_alloc(sizeof(int));
        if (module->context == nullptr) {
            dvk_vcm_destroy(vcms, &module);
            return nullptr;
        }
        *static_cast<int*>(module->context) = context;
    }
    return module;
}

int scriptedContext(dvk_vcm_Module* module)
{
    return module->context == nullptr ? -1 : *static_cast<int*>(module->context);
}
