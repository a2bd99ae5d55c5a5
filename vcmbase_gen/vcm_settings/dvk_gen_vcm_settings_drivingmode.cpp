// "vcm_settings_drivingmode": a radio-button list of driving mode off or on.
// Touching an item stores it at once and confirms with the "saved" popup.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_settings/dvk_gen_vcm_settings_help.h"

#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_drivingmode.cpp";

const dvk_gen_vcm_RadioItem drivingModeItems[] = {{485, 0}, {484, 1}};

const dvk_gen_vcm_Radio drivingModeRadio = {
    114, 545, 183, drivingModeItems, 2, dvk_settings_setDrivingMode, dvk_settings_getDrivingMode, 115, 187,
};

const dvk_gen_vcm_Descriptor drivingMode = {
    {"vcm_settings_drivingmode", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &drivingModeRadio,
};
const dvk_vcm_Vtable& drivingModeVtable = drivingMode.vtable;

const dvk_vcm_Etable drivingModeEtable[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_HELP, dvk_gen_vcm_settingsHelpHandler<116, 560, 305>},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsDrivingMode(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &drivingModeVtable, drivingModeEtable);
}
