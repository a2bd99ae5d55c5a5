// "vcm_settings_dialingregion": a radio-button list of the dialing region; the value shown is what the getter derives from the language.
// Touching an item stores it at once and confirms with the "saved" popup.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_settings/dvk_gen_vcm_settings_help.h"

#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_dialingregion.cpp";

const dvk_gen_vcm_RadioItem dialingRegionItems[] = {{395, 0}, {396, 1}};

const dvk_gen_vcm_Radio dialingRegionRadio = {
    129, 544, DVK_STR_NULL, dialingRegionItems, 2, dvk_settings_setDialingRegion, dvk_settings_getDialingRegion, 130, 180,
};

const dvk_gen_vcm_Descriptor dialingRegion = {
    {"vcm_settings_dialingregion", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &dialingRegionRadio,
};
const dvk_vcm_Vtable& dialingRegionVtable = dialingRegion.vtable;

const dvk_vcm_Etable dialingRegionEtable[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_HELP, dvk_gen_vcm_settingsHelpHandler<131, 559, 304>},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsDialingRegion(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &dialingRegionVtable, dialingRegionEtable);
}
