// Stand-in until the module lands; its files replace this one.
#include "vcmbase_gen/dvk_gen_vcm.h"
#include "vcmbase_gen/standin.h"

dvk_vcm_Module* dvk_gen_vcm_newPlayMusicConfirm(dvk_vcm_Session*, dvk_ucs2_Char**, dvk_ucs2_Char**, int32_t, int32_t)
{
    dvkGenVcmStandIn(__func__);
    return nullptr;
}
