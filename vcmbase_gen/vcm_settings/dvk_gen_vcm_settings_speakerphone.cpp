// "vcm_settings_speakerphone": a radio-button list of the speakerphone mode.
// Touching an item stores it at once and confirms with the "saved" popup.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_settings/dvk_gen_vcm_settings_help.h"

#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_speakerphone.cpp";

const dvk_gen_vcm_RadioItem speakerphoneItems[] = {{387, 0}, {386, 1}, {385, 2}};

const dvk_gen_vcm_Radio speakerphoneRadio = {
    126, 642, 247, speakerphoneItems, 3, dvk_settings_setSpeakerphoneMode, dvk_settings_getSpeakerphoneMode, 127, 251,
};

const dvk_gen_vcm_Descriptor speakerphone = {
    {"vcm_settings_speakerphone", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &speakerphoneRadio,
};
const dvk_vcm_Vtable& speakerphoneVtable = speakerphone.vtable;

const dvk_vcm_Etable speakerphoneEtable[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_HELP, dvk_gen_vcm_settingsHelpHandler<128, 581, 327>},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsSpeakerphone(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &speakerphoneVtable, speakerphoneEtable);
}
