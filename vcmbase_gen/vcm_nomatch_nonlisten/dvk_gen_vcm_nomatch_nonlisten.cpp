// "vcm_nomatch_nonlisten": nothing was recognised; shows and says a text
// chosen by the command being carried out. In the music commands without
// the no-match screen of their own, the application plays music anyway.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_pbook.h"

namespace {

const char kUnit[] = "vcm_nomatch_nonlisten/dvk_gen_vcm_nomatch_nonlisten.cpp";

enum : int32_t {
    NOMATCH_TITLE = 593,
    NOMATCH_TEXT = 257,
    NOMATCH_TEXT_ROOT = 211,
    NOMATCH_TEXT_NO_CONTACTS = 155,
    NOMATCH_TEXT_MUSIC = 215,
    NOMATCH_PROMPT = 323,
    NOMATCH_PROMPT_MUSIC = 370,
    NOMATCH_FEATURE = 63,
    MUSIC_NOMATCH_FEATURE = 65,
};

bool playsAnyway(dvk_vcm_Session* vcms)
{
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    return (gate == 22 || gate == 23) && dvk_gen_vcm_featureOn(MUSIC_NOMATCH_FEATURE) != 1;
}

const dvk_ucs2_Char* text(dvk_vcm_Session* vcms)
{
    auto* t = static_cast<const dvk_ucs2_Char*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, t != DVK_NULL);
    return t;
}

int noMatchNonListenInit(dvk_vcm_Session* vcms)
{
    const bool root = dvk_vcm_getGateCmd(vcms) == 0;
    const int32_t softkeys[3] = {root ? int32_t{DVK_GEN_STR_SOFTKEY_TUTORIAL} : int32_t{DVK_GEN_STR_SOFTKEY_HELP}, DVK_STR_NULL,
                                 DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {root ? DVK_UI_EVENT_TUTORIAL : DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE,
                                    DVK_UI_EVENT_BACK};
    const dvk_ui_ScreenId screen = dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOMATCH_NONLISTEN, kUnit);
    dvk_ucs2_Char* body = dvk_ucs2_createCopy(text(vcms));
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, screen, NOMATCH_TITLE, body, softkeys, events,
                                         DVK_GEN_FAILURE_DISPLAY_TIME);
}

int noMatchNonListeningGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    const bool music = playsAnyway(vcms);
    if (music || dvk_gen_vcm_featureOn(NOMATCH_FEATURE) == 1) {
        dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_FAILURE);
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), NOMATCH_PROMPT, 2);
    }
    if (music) {
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), NOMATCH_PROMPT_MUSIC, 2);
        dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_DONE);
    } else {
        dvk_vcm_prompt_addText(prompts, text(vcms), 0);
    }
    return dvk_prompt_checkErrorFlag(prompts);
}

int noMatchNonListeningContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                    dvk_msg_Address defaultRecipient)
{
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    if (!playsAnyway(vcms))
        return 0;
    *recipient = defaultRecipient;
    const int result = dvk_gen_vcm_notifyPlayAnything(vcms, message);
    dvk_vcm_clearStack(vcms);
    return result;
}

void* noMatchNonListeningCopy(void* context)
{
    DVK_GEN_VCM_ASSERT(kUnit, context != DVK_NULL);
    return dvk_ucs2_createCopy(static_cast<const dvk_ucs2_Char*>(context));
}

void noMatchNonListeningDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* t = static_cast<dvk_ucs2_Char*>(vcm->context);
    dvk_ucs2_destroy(&t);
    vcm->context = nullptr;
}

const dvk_gen_vcm_Descriptor noMatchNonListen = {
    {"vcm_nomatch_nonlisten", noMatchNonListenInit, noMatchNonListeningGetPrompt, nullptr, nullptr,
     noMatchNonListeningContinuation, nullptr, nullptr, noMatchNonListeningCopy, noMatchNonListeningDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noMatchNonListenVtable = noMatchNonListen.vtable;

const dvk_vcm_Etable noMatchNonListenEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_TUTORIAL, dvk_vcm_defaultEventTutorialHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

// The text by the command being carried out; NULL when a string is missing.
dvk_ucs2_Char* chooseText(dvk_vcm_Session* vcms)
{
    static const dvk_ucs2_Char space[] = {u' ', 0};
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    if (gate == 0)
        return dvk_string_getString(dvk_vcm_stringTable(vcms), NOMATCH_TEXT_ROOT);
    if (gate == 1 && dvk_pbook_getFirstEntry() == 0)
        return dvk_vcm_concatStrings(vcms, space, NOMATCH_TEXT, NOMATCH_TEXT_NO_CONTACTS, -1);
    if (playsAnyway(vcms))
        return dvk_string_getString(dvk_vcm_stringTable(vcms), NOMATCH_TEXT_MUSIC);
    return dvk_string_getString(dvk_vcm_stringTable(vcms), NOMATCH_TEXT);
}

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoMatchNonListening(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &noMatchNonListenVtable, noMatchNonListenEtable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = chooseText(vcms);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
