// "vcm_adaptation": the adaptation menu. Adapt, and once adapted models
// exist, reset them. As the first module of a session opened for adaptation,
// back ends the session.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_dialog.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation.cpp";

enum : int32_t {
    ADAPTATION_SCREEN = 102,
    ADAPTATION_TITLE = 530,
    ADAPTATION_ADAPTED = 191,
    ADAPTATION_NOT_ADAPTED = 210,
    ADAPTATION_ITEM_ADAPT = 384,
    ADAPTATION_ITEM_RESET = 399,
    ADAPTATION_DISPLAY_TIME = 30000,
    ADAPTATION_HELP_SCREEN = 113,
    ADAPTATION_HELP_TITLE = 553,
    ADAPTATION_HELP_BODY = 298,
};

const int32_t itemStrings[2] = {ADAPTATION_ITEM_ADAPT, ADAPTATION_ITEM_RESET};

bool adapted()
{
    return dvk_ce_isSystemAdapted() != 0;
}

// Reset is offered only once there is something to reset.
int32_t itemCount()
{
    return adapted() ? 2 : 1;
}

int adaptationInit(dvk_vcm_Session* vcms)
{
    int32_t* selected = dvk_gen_vcm_word(vcms);
    const bool isAdapted = adapted();
    if (!isAdapted)
        *selected = 0;
    const int32_t* noLines[2] = {nullptr, nullptr};
    const int32_t noLineCounts[2] = {0, 0};
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayMenu(vcms, ADAPTATION_SCREEN, ADAPTATION_TITLE,
                                  isAdapted ? ADAPTATION_ADAPTED : ADAPTATION_NOT_ADAPTED, itemStrings,
                                  isAdapted ? 2 : 1, *selected, noLines, noLineCounts, softkeys, events,
                                  ADAPTATION_DISPLAY_TIME);
}

int adaptationGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const int32_t selected = *dvk_gen_vcm_word(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_string_Table* strings = dvk_vcm_stringTable(vcms);
    dvk_vcm_prompt_addStringId(prompts, strings, ADAPTATION_TITLE, 1);
    dvk_vcm_prompt_addStringId(prompts, strings, adapted() ? ADAPTATION_ADAPTED : ADAPTATION_NOT_ADAPTED, 1);
    dvk_vcm_prompt_addMenuIndex(prompts, selected + 1, 1);
    if (selected == 0 || selected == 1)
        dvk_vcm_prompt_addStringId(prompts, strings, itemStrings[selected], 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int adaptationGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                   int32_t index)
{
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    if (index != 0 && index != 1)
        return 0;
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), itemStrings[index], 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int adaptationEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message**)
{
    int32_t* selected = dvk_gen_vcm_word(vcms);
    if (index == 0) {
        *selected = 0;
        return dvk_vcm_push(vcms, dvk_gen_vcm_newAdaptationInstructions(vcms));
    }
    if (index == 1 && adapted()) {
        *selected = 1;
        return dvk_vcm_push(vcms, dvk_gen_vcm_newAdaptationReset(vcms));
    }
    return 0;
}

int adaptationEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    if (dvk_vcm_current(vcms)->next == nullptr)
        return dvk_vcm_defaultEventExitHandler(vcms, DVK_UI_EVENT_EXIT, index, message);
    return dvk_vcm_defaultEventBackHandler(vcms, DVK_UI_EVENT_BACK, index, message);
}

// Kept in the table though the dialog's HELP plays the tutorial first.
int adaptationEventHelpHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message**)
{
    if (index >= 0 && index < itemCount())
        *dvk_gen_vcm_word(vcms) = index;
    return dvk_vcm_push(vcms, dvk_gen_vcm_newHelp(vcms, ADAPTATION_HELP_SCREEN, ADAPTATION_HELP_TITLE,
                                                  ADAPTATION_HELP_BODY, DVK_STR_NULL, DVK_UI_EVENT_NONE));
}

const dvk_gen_vcm_Descriptor adaptation = {
    {"vcm_adaptation", adaptationInit, adaptationGetPrompt, adaptationGetMenuReadoutPrompt, nullptr, nullptr,
     nullptr, nullptr, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& adaptationVtable = adaptation.vtable;

const dvk_vcm_Etable adaptationEtable[] = {
    {DVK_UI_EVENT_SELECT, adaptationEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_BACK, adaptationEventBackHandler},
    {DVK_UI_EVENT_HELP, adaptationEventHelpHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAdaptation(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &adaptationVtable, adaptationEtable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = dvk_gen_vcm_newWord(0);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
