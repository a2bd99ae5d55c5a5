// "vcm_updateContacts": waits for the contacts (and music) grammar update
// the engine started at creation, and reports a failed one.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

namespace {

enum : int32_t {
    UPDATE_SCREEN = 1,
    UPDATE_TITLE = 615,
    UPDATE_BODY = 224,
    UPDATE_BODY_WITH_MUSIC = 225,
    UPDATE_MUSIC_FEATURE = 27,
    UPDATE_PROMPT = 379,
};

// The state after the update: the splash screen, or the out-of-memory state
// for failed contacts (0) or failed music the session needs (1).
dvk_vcm_Module* nextModule(dvk_vcm_Session* vcms)
{
    if (dvk_vcm_contactsUpdatedSuccessfully(vcms) == 0)
        return dvk_gen_vcm_newOutOfMemory(vcms, 0);
    const bool needsMusic = dvk_gen_vcm_featureOn(26) == 1 || dvk_gen_vcm_featureOn(27) == 1;
    if (needsMusic && dvk_vcm_musicUpdatedSuccessfully(vcms) == 0)
        return dvk_gen_vcm_newOutOfMemory(vcms, 1);
    return dvk_gen_vcm_newSplash(vcms);
}

int updateContactsInit(dvk_vcm_Session* vcms)
{
    if (dvk_vcm_updateContactsComplete(vcms) == 0)
        return dvk_gen_vcm_screenInit(vcms);
    if (dvk_gen_vcm_replaceStack(vcms, nextModule(vcms), false) != 0)
        return 1;
    return dvk_vcm_init(vcms);
}

int updateContactsGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                  dvk_msg_Address)
{
    if (dvk_vcm_updateContactsComplete(vcms) != 0)
        return dvk_gen_vcm_postEvent(DVK_UI_EVENT_NEXT, 0, message, recipient);
    // The engine posts NEXT when the update finishes; the screen stays till then.
    dvk_vcm_setWaitingForUpdateContactsComplete(vcms, 1);
    return 0;
}

int updateContactsEventNextHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    return dvk_gen_vcm_replaceStack(vcms, nextModule(vcms), false);
}

const dvk_gen_vcm_Screen updateContactsScreen = {
    DVK_GEN_SCREEN_TEXT, UPDATE_SCREEN, UPDATE_TITLE, UPDATE_BODY, UPDATE_MUSIC_FEATURE, UPDATE_BODY_WITH_MUSIC,
    {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_EXIT}, {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_EXIT},
    DVK_GEN_NO_TIME,
};

const dvk_gen_vcm_PromptItem updateContactsPrompts[] = {
    {DVK_GEN_PROMPT_RECORDED, UPDATE_PROMPT, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor updateContacts = {
    {"vcm_updateContacts", updateContactsInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr,
     updateContactsGetContinuation, nullptr, nullptr, nullptr, nullptr},
    "vcm_updatecontacts/dvk_gen_vcm_updatecontacts.cpp",
    &updateContactsScreen,
    updateContactsPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& updateContactsVtable = updateContacts.vtable;

const dvk_vcm_Etable updateContactsEtable[] = {
    {DVK_UI_EVENT_NEXT, updateContactsEventNextHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newUpdateContacts(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(updateContacts.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &updateContactsVtable, updateContactsEtable);
}
