// "vcm_settings_modes": a radio-button list of the prompt mode (how much is said).
// Touching an item stores it at once and confirms with the "saved" popup.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_settings/dvk_gen_vcm_settings_help.h"

#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_modes.cpp";

const dvk_gen_vcm_RadioItem modesItems[] = {{391, 0}, {397, 1}, {398, 2}};

const dvk_gen_vcm_Radio modesRadio = {
    117, 590, 197, modesItems, 3, dvk_settings_setPromptMode, dvk_settings_getPromptMode, 118, 199,
};

const dvk_gen_vcm_Descriptor modes = {
    {"vcm_settings_modes", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &modesRadio,
};
const dvk_vcm_Vtable& modesVtable = modes.vtable;

const dvk_vcm_Etable modesEtable[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_HELP, dvk_gen_vcm_settingsHelpHandler<119, 565, 310>},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsModes(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &modesVtable, modesEtable);
}
