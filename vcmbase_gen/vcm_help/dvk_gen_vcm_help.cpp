// "vcm_help": shows and says a help text, with a start-over softkey or
// none. The dialog's HELP plays the tutorial, so only direct callers make
// this state.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcm_help/dvk_gen_vcm_help.cpp";

enum : int32_t {
    HELP_SCREEN_COUNT = 297,
    HELP_DISPLAY_TIME = 30000,
};

struct HelpContext {
    int32_t screen;
    int32_t title;
    int32_t body;
    int32_t softkey;
    int32_t softkeyEvent;
};

HelpContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<HelpContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int helpInit(dvk_vcm_Session* vcms)
{
    const HelpContext* ctx = context(vcms);
    const int32_t softkeys[3] = {ctx->softkey, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {static_cast<dvk_ui_Event>(ctx->softkeyEvent), DVK_UI_EVENT_NONE,
                                    DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayText(vcms, ctx->screen, ctx->title, ctx->body, softkeys, events, HELP_DISPLAY_TIME);
}

int helpGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const HelpContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), ctx->title, 1);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), ctx->body, 0);
    return dvk_prompt_checkErrorFlag(prompts);
}

void* helpCopy(void* from)
{
    DVK_GEN_VCM_ASSERT(kUnit, from != DVK_NULL);
    auto* copy = static_cast<HelpContext*>(dvk_mem_alloc(sizeof(HelpContext)));
    if (copy != nullptr)
        *copy = *static_cast<const HelpContext*>(from);
    return copy;
}

const dvk_gen_vcm_Descriptor help = {
    {"vcm_help", helpInit, helpGetPrompt, nullptr, nullptr, nullptr, nullptr, nullptr, helpCopy,
     dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& helpVtable = help.vtable;

const dvk_vcm_Etable helpEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newHelp(dvk_vcm_Session* vcms, int32_t screenId, int32_t titleStringId,
                                    int32_t bodyStringId, int32_t softkeyStringId, int32_t softkeyEvent)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, screenId >= 0 && screenId < HELP_SCREEN_COUNT);
    DVK_GEN_VCM_ASSERT(kUnit, titleStringId >= 0 && titleStringId < DVK_STR_MAX);
    DVK_GEN_VCM_ASSERT(kUnit, bodyStringId >= 0 && bodyStringId < DVK_STR_MAX);
    DVK_GEN_VCM_ASSERT(kUnit, (softkeyStringId == DVK_GEN_STR_SOFTKEY_START_OVER &&
                               softkeyEvent == DVK_UI_EVENT_RESTART) ||
                                  (softkeyStringId == DVK_STR_NULL && softkeyEvent == DVK_UI_EVENT_NONE));
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &helpVtable, helpEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<HelpContext*>(dvk_mem_alloc(sizeof(HelpContext)));
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {screenId, titleStringId, bodyStringId, softkeyStringId, softkeyEvent};
    vcm->context = ctx;
    return vcm;
}
