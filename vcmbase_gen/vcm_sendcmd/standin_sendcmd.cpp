// Stand-in until the module lands; its files replace this one.
#include "vcmbase_gen/dvk_gen_vcm.h"
#include "vcmbase_gen/standin.h"

dvk_vcm_Module* dvk_gen_vcm_newSendCmdVCM(dvk_vcm_Session*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}
