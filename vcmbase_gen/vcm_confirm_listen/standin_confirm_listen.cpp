// Stand-in until the module lands; its files replace this one.
#include "vcmbase_gen/dvk_gen_vcm.h"
#include "vcmbase_gen/standin.h"

dvk_vcm_Module* dvk_gen_vcm_newConfirmListening(dvk_vcm_Session*, dvk_nbest_List*)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}
