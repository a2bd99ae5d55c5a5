// Stand-in until the module lands; its files replace this one.
#include "vcmbase_gen/dvk_gen_vcm.h"
#include "vcmbase_gen/standin.h"

dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsAbout(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsComplete(dvk_vcm_Session*, int32_t, int32_t, int32_t)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsConfirmation(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsDialingRegion(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsDrivingMode(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsModes(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newSettingsSpeakerphone(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

int dvk_gen_vcm_pushSettingsMenuItem(dvk_vcm_Session*, int32_t)
{
    dvkGenVcmStandIn(__func__);
    return 1;
}
