// Stand-in until the module lands; its files replace this one.
#include "vcmbase_gen/dvk_gen_vcm.h"
#include "vcmbase_gen/standin.h"

dvk_vcm_Module* dvk_gen_vcm_newAdaptation(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationInstructions(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationPleaseSay(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationAdapting(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationTimeout(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationReset(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}
