// "vcm_nomusicstored": no music (or, for the playlist command, no playlist)
// is stored to play.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

namespace {

enum : int32_t { NO_MUSIC_BODY = 257, NO_MUSIC_EARCON = 5 };

const char kUnit[] = "vcm_nomusicstored/dvk_gen_vcm_nomusicstored.cpp";

// By gate command: screen, title, prompt.
const dvk_gen_vcm_GateRow kRows[] = {
    {23, {77, 598, 333, 0}},
    {0, {78, 600, 347, 0}},
};

const int32_t kKeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
const dvk_ui_Event kEvents[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};

int noMusicStoredInit(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, kRows);
    return dvk_vcm_ui_displayText(vcms, row->values[0], row->values[1], NO_MUSIC_BODY, kKeys, kEvents,
                                  DVK_GEN_ANNOUNCEMENT_TIME);
}

int noMusicStoredGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    dvk_vcm_prompt_addEarcon(prompts, NO_MUSIC_EARCON);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), dvk_gen_vcm_forGate(vcms, kRows)->values[2], 2);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), NO_MUSIC_BODY, 0);
    return dvk_prompt_checkErrorFlag(prompts);
}

const dvk_gen_vcm_Descriptor noMusicStored = {
    {"vcm_nomusicstored", noMusicStoredInit, noMusicStoredGetPrompt, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noMusicStoredVtable = noMusicStored.vtable;

const dvk_vcm_Etable noMusicStoredEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoMusicStored(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &noMusicStoredVtable, noMusicStoredEtable);
}
