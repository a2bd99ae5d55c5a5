// "vcm_outofmemory": the grammar update ran out of memory. After failed
// contacts OK ends the session; after failed music (contacts updated) OK
// goes on to the splash screen, without the music commands. The music flag
// is carried by which of two descriptors the module has.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const char kUnit[] = "vcm_outofmemory/dvk_gen_vcm_outofmemory.cpp";

enum : int32_t {
    OOM_SCREEN = 2,
    OOM_TITLE = 607,
    OOM_BODY_CONTACTS = 216,
    OOM_BODY_MUSIC = 217,
    OOM_PROMPT = 373,
    OOM_SOFTKEY_OK = 500,
};

int outOfMemoryEventOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message** message);

#define OOM_SCREEN_ROW(body)                                                                                       \
    {DVK_GEN_SCREEN_TEXT, OOM_SCREEN, OOM_TITLE, body, -1, 0, {OOM_SOFTKEY_OK, DVK_STR_NULL, DVK_STR_NULL},        \
     {DVK_UI_EVENT_OK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE}, DVK_GEN_FAILURE_DISPLAY_TIME}
#define OOM_PROMPTS(body)                                                                                          \
    {{DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_FAILURE, 0, DVK_GEN_WHEN_ALWAYS},                                      \
     {DVK_GEN_PROMPT_RECORDED, OOM_PROMPT, 2, DVK_GEN_WHEN_ALWAYS},                                                \
     {DVK_GEN_PROMPT_STRING, body, 0, DVK_GEN_WHEN_ALWAYS},                                                        \
     {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS}}

const dvk_gen_vcm_Screen contactsScreen = OOM_SCREEN_ROW(OOM_BODY_CONTACTS);
const dvk_gen_vcm_Screen musicScreen = OOM_SCREEN_ROW(OOM_BODY_MUSIC);
const dvk_gen_vcm_PromptItem contactsPrompts[] = OOM_PROMPTS(OOM_BODY_CONTACTS);
const dvk_gen_vcm_PromptItem musicPrompts[] = OOM_PROMPTS(OOM_BODY_MUSIC);

#define OOM_VTABLE                                                                                                 \
    {"vcm_outofmemory", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr, nullptr,   \
     nullptr, nullptr, nullptr}

const dvk_gen_vcm_Descriptor contactsFailed = {
    OOM_VTABLE, kUnit, &contactsScreen, contactsPrompts, {DVK_UI_EVENT_NONE, 0}, nullptr,
};
const dvk_gen_vcm_Descriptor musicFailed = {
    OOM_VTABLE, kUnit, &musicScreen, musicPrompts, {DVK_UI_EVENT_NONE, 0}, nullptr,
};

int outOfMemoryEventOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message** message)
{
    if (dvk_gen_vcm_descriptor(vcms) == &contactsFailed)
        return dvk_vcm_defaultEventExitHandler(vcms, DVK_UI_EVENT_EXIT, 0, message);
    return dvk_gen_vcm_replaceStack(vcms, dvk_gen_vcm_newSplash(vcms), false);
}

const dvk_vcm_Etable outOfMemoryEtable[] = {
    {DVK_UI_EVENT_OK, outOfMemoryEventOkHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newOutOfMemory(dvk_vcm_Session* vcms, int32_t music)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, music == 0 || music == 1);
    return dvk_vcm_newVCM(vcms, music == 1 ? &musicFailed.vtable : &contactsFailed.vtable, outOfMemoryEtable);
}
