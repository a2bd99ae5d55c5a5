// "vcm_nolocations_nonlisten": the contact has no number of the kind the
// command needs; shows and says so, and ADD_CONTACT hands the application
// the look-up answer with the name.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

#include "core/utils/dvk_ucs2.h"

namespace {

const char kUnit[] = "vcm_nolocations_nonlisten/dvk_gen_vcm_nolocations_nonlisten.cpp";

enum : int32_t {
    LOOKUP_GATE = 13,
    NOLOCATIONS_TITLE = 596,
    NOLOCATIONS_TITLE_LOOKUP = 594,
    NOLOCATIONS_BODY = 152,
    NOLOCATIONS_BODY_LOOKUP = 150,
    NOLOCATIONS_PROMPT = 330,
    NOLOCATIONS_FEATURE = 62,
    NOLOCATIONS_DISPLAY_TIME = 15000,
};

int noLocationsNonListenInit(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_NameContext* ctx = dvk_gen_vcm_nameContext(vcms);
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_ADD_CONTACT, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_ADD_CONTACT, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    const dvk_ui_ScreenId screen = dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOLOCATIONS_NONLISTEN, kUnit);
    dvk_ucs2_Char* body = dvk_ucs2_createCopy(ctx->display);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(
        vcms, screen, dvk_vcm_getGateCmd(vcms) == LOOKUP_GATE ? NOLOCATIONS_TITLE_LOOKUP : NOLOCATIONS_TITLE, body,
        softkeys, events, NOLOCATIONS_DISPLAY_TIME);
}

int noLocationsNonListenGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const dvk_gen_vcm_NameContext* ctx = dvk_gen_vcm_nameContext(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    if (dvk_vcm_getGateCmd(vcms) == LOOKUP_GATE) {
        dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), NOLOCATIONS_TITLE_LOOKUP, 1);
    } else if (dvk_gen_vcm_featureOn(NOLOCATIONS_FEATURE) == 1) {
        dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_FAILURE);
        if (dvk_vcm_getConfirmType(vcms) == 0)
            dvk_vcm_prompt_addWords(prompts, ctx->wordIds, ctx->wordIdCount, 3);
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), NOLOCATIONS_PROMPT, 2);
    } else {
        dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), NOLOCATIONS_TITLE, 1);
    }
    dvk_vcm_prompt_addText(prompts, ctx->display, 0);
    return dvk_prompt_checkErrorFlag(prompts);
}

int noLocationsNonListenEventAddContactHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t,
                                               dvk_msg_Message** message)
{
    const int result = dvk_gen_vcm_notifyLookup(vcms, dvk_gen_vcm_nameContext(vcms)->name, message);
    dvk_vcm_clearStack(vcms);
    return result;
}

const dvk_gen_vcm_Descriptor noLocationsNonListen = {
    {"vcm_nolocations_nonlisten", noLocationsNonListenInit, noLocationsNonListenGetPrompt, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_nameContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noLocationsNonListenVtable = noLocationsNonListen.vtable;

const dvk_vcm_Etable noLocationsNonListenEtable[] = {
    {DVK_UI_EVENT_ADD_CONTACT, noLocationsNonListenEventAddContactHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoLocationsNonListening(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name,
                                                       const uint32_t* wordIds, int32_t wordIdCount)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &noLocationsNonListenVtable, noLocationsNonListenEtable);
    const int32_t display = dvk_vcm_getGateCmd(vcms) == LOOKUP_GATE ? NOLOCATIONS_BODY_LOOKUP : NOLOCATIONS_BODY;
    if (!dvk_gen_vcm_attachNameContext(vcms, &vcm, name, wordIds, wordIdCount, display))
        return nullptr;
    return vcm;
}
