// "vcm_changeModeCmd": switches the phone to the mode named, or offers the
// modes to choose from.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_change_mode.h"

namespace {

enum : int32_t { MODE_SLOT = 18 };

const char kUnit[] = "vcm_changemodecmd/dvk_gen_vcm_changemodecmd.cpp";

const void* findMode(const dvk_ucs2_Char* name)
{
    return dvk_change_mode_findModeByName(name);
}
const void* firstMode()
{
    return dvk_change_mode_getFirstMode();
}
const void* nextMode(const void* item)
{
    return dvk_change_mode_getNextMode(static_cast<dvk_change_mode_Iterator>(item));
}
dvk_ucs2_Char* modeName(const void* item)
{
    dvk_change_mode_ModeEntry* entry = dvk_change_mode_getModeEntry(static_cast<dvk_change_mode_Iterator>(item));
    dvk_ucs2_Char* name = entry != nullptr ? dvk_ucs2_createCopy(dvk_change_mode_getModeName(entry)) : nullptr;
    dvk_change_mode_destroyModeEntry(&entry);
    return name;
}

int actOnMode(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* said, int32_t)
{
    dvk_change_mode_setMode(static_cast<dvk_change_mode_Iterator>(item));
    return dvk_vcm_push(vcms, dvk_gen_vcm_newChangeModeComplete(vcms, said));
}

const dvk_gen_vcm_ListCommand kModes = {
    findMode, firstMode, nextMode, modeName, actOnMode, dvk_gen_vcm_newNoModes, 49, 541, 441,
    &changeModeList_constraint,
};

int changeModeCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    return dvk_gen_vcm_listCompletion(vcms, &kModes, MODE_SLOT, nbest);
}

const dvk_gen_vcm_Descriptor changeModeCmd = {
    {"vcm_changeModeCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult,
     changeModeCmdCompletion, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& changeModeCmdVtable = changeModeCmd.vtable;

const dvk_vcm_Etable changeModeCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newChangeModeCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newListCommand(vcms, &changeModeCmdVtable, changeModeCmdEtable);
}
