// "vcm_settings_confirmation": a radio-button list of how a choice list is confirmed; its items are listed as values 2, 0, 1.
// Touching an item stores it at once and confirms with the "saved" popup.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_settings/dvk_gen_vcm_settings_help.h"

#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_confirmation.cpp";

const dvk_gen_vcm_RadioItem confirmationItems[] = {{480, 2}, {479, 0}, {483, 1}};

const dvk_gen_vcm_Radio confirmationRadio = {
    96, 543, 172, confirmationItems, 3, dvk_settings_setChoiceListConfirmMode, dvk_settings_getChoiceListConfirmMode, 97, 175,
};

const dvk_gen_vcm_Descriptor confirmation = {
    {"vcm_settings_confirmation", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &confirmationRadio,
};
const dvk_vcm_Vtable& confirmationVtable = confirmation.vtable;

const dvk_vcm_Etable confirmationEtable[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_HELP, dvk_gen_vcm_settingsHelpHandler<98, 558, 303>},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsConfirmation(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &confirmationVtable, confirmationEtable);
}
