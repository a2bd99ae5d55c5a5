// "vcm_drivingmodeCmd": turns driving mode off (gate command 31) or on (any
// other) and announces it; the result itself says nothing more.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_settings.h"

namespace {

enum : int32_t { DRIVING_OFF_GATE = 31 };

int drivingModeCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List*, int32_t, dvk_msg_Message**)
{
    dvk_vcm_pop(vcms);
    dvk_settings_setDrivingMode(dvk_vcm_getGateCmd(vcms) == DRIVING_OFF_GATE ? 0 : 1);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newDrivingModeComplete(vcms));
}

int drivingModeCmdHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    dvk_nbest_destroy(&nbest);
    return dvk_vcm_completion(vcms, nullptr, 0, message);
}

const dvk_gen_vcm_Descriptor drivingModeCmd = {
    {"vcm_drivingmodeCmd", nullptr, nullptr, nullptr, nullptr, nullptr, drivingModeCmdHandleResult,
     drivingModeCmdCompletion, nullptr, nullptr},
    "vcm_drivingmodecmd/dvk_gen_vcm_drivingmodecmd.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& drivingModeCmdVtable = drivingModeCmd.vtable;

const dvk_vcm_Etable drivingModeCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newDrivingModeCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(drivingModeCmd.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &drivingModeCmdVtable, drivingModeCmdEtable);
}
