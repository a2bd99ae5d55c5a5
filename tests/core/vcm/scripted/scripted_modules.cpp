#include "tests/core/vcm/scripted/scripted_modules.h"

#include "core/ce/dvk_ce_requests.h"
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

std::map<std::string, ScriptedModule*>& specsInUse()
{
    static std::map<std::string, ScriptedModule*> map;
    return map;
}

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
// The always-available command as the generated module carries it out: it
// prompts nothing, removes itself (back to the saved state, or a pop) and
// posts its event to the suite for the state below.
struct AlwaysContext {
    int32_t event;
    int32_t phraseStringId;
    int32_t savedState;
};

int alwaysBack(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    auto* context = static_cast<AlwaysContext*>(dvk_vcm_currentContext(vcms));
    if (context->savedState != 0)
        return dvk_vcm_revertState(vcms);
    dvk_vcm_pop(vcms);
    return 0;
}

int alwaysContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                       dvk_msg_Address)
{
    *recipient = dvk_msg_getDvkAddr();
    AlwaysContext context = *static_cast<AlwaysContext*>(dvk_vcm_currentContext(vcms));
    scriptedCalls().push_back("vcm_alwaysAvailableCmd.GetContinuation");
    dvk_msg_Message* none = nullptr;
    if (alwaysBack(vcms, DVK_UI_EVENT_BACK, 0, &none) != 0)
        return 1;
    int32_t event = context.event;
    bool root = dvk_vcm_current(vcms) != nullptr && std::string(dvk_vcm_getCurrentName(vcms)) == "vcm_root";
    if (root && context.phraseStringId == 82)
        event = DVK_UI_EVENT_RESTART;
    else if (event == DVK_UI_EVENT_EXIT || event == DVK_UI_EVENT_CANCEL || (event == DVK_UI_EVENT_BACK && root))
        dvk_vcm_setAACExit(vcms, 1);
    *message = dvk_ce_newHandleEventMsg(event, 0);
    return *message == nullptr ? 1 : 0;
}

dvk_vcm_Vtable alwaysVtable()
{
    dvk_vcm_Vtable v = recordingVtable("vcm_alwaysAvailableCmd");
    v.GetContinuation = alwaysContinuation;
    v.copyContext = [](void* context) -> void* {
        void* copy = dvk_mem_alloc(sizeof(AlwaysContext));
        if (copy != nullptr)
            *static_cast<AlwaysContext*>(copy) = *static_cast<AlwaysContext*>(context);
        return copy;
    };
    v.Destructor = dvk_vcm_defaultContextDestructor;
    return v;
}

const dvk_vcm_Vtable kAlways = alwaysVtable();
const dvk_vcm_Etable kAlwaysEvents[] = {{DVK_UI_EVENT_BACK, alwaysBack}, {DVK_UI_EVENT_NONE, nullptr}};

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
    dvk_vcm_Module* module =
        recording(vcms, &kAlways,
                  "newAlwaysAvailableCmd(" + std::to_string(event) + ", " + std::to_string(phraseStringId) + ", " +
                      std::to_string(savedState) + ")");
    if (module == nullptr)
        return nullptr;
    module->etable = kAlwaysEvents;
    module->context = dvk_mem_alloc(sizeof(AlwaysContext));
    if (module->context == nullptr) {
        dvk_vcm_destroy(vcms, &module);
        return nullptr;
    }
    *static_cast<AlwaysContext*>(module->context) = {event, phraseStringId, savedState};
    return module;
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
    if (ScriptedModule* spec = specsInUse()["newRoot"]) {
        scriptedCalls().push_back("newRoot(" + std::to_string(flag) + ")");
        return newScriptedModule(vcms, spec, "vcm_root", -1, false);
    }
    return recording(vcms, &kRoot, "newRoot(" + std::to_string(flag) + ")");
}

dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session* vcms)
{
    return recording(vcms, &kSettings, "newSettings");
}

dvk_vcm_Module* dvk_gen_vcm_newTutorial(dvk_vcm_Session* vcms, int32_t flag)
{
    if (ScriptedModule* spec = specsInUse()["newTutorial"]) {
        scriptedCalls().push_back("newTutorial(" + std::to_string(flag) + ")");
        return newScriptedModule(vcms, spec, "vcm_tutorial", -1, false);
    }
    return recording(vcms, &kTutorial, "newTutorial(" + std::to_string(flag) + ")");
}

void scriptedUseSpec(const std::string& constructor, ScriptedModule* spec)
{
    specsInUse()[constructor] = spec;
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
