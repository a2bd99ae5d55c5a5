// "vcm_lookupComplete": shows and says the contact looked up and tells the
// application, which ends the session.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_lookupcomplete/dvk_gen_vcm_lookupcomplete.cpp";

enum : int32_t {
    FOUND_SCREEN = 36,
    FOUND_TITLE = 603,
    FOUND_PRM = 367,
    FOUND_EARCON = 6,
    FOUND_TIP_LOOKUP = 25,
    FOUND_TIP_OTHER = 18,
    FOUND_GATE_LOOKUP = 15,
    FOUND_LOOKUP_MODE = 1,
};

struct FoundContext {
    int32_t askedAgain;
    dvk_ucs2_Char* name;
    uint32_t* wordIds;
    int32_t wordIdCount;
};

FoundContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<FoundContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeContext(FoundContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_ucs2_destroy(&(*ctx)->name);
    dvk_mem_dealloc(&(*ctx)->wordIds);
    dvk_mem_dealloc(ctx);
}

FoundContext* copyOf(const FoundContext& from)
{
    auto* ctx = static_cast<FoundContext*>(dvk_mem_alloc(sizeof(FoundContext)));
    if (ctx == nullptr)
        return nullptr;
    *ctx = from;
    ctx->name = dvk_ucs2_createCopy(from.name);
    ctx->wordIds = from.wordIdCount > 0
                       ? static_cast<uint32_t*>(dvk_mem_alloc(sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount)))
                       : nullptr;
    if (ctx->wordIds != nullptr)
        std::memcpy(ctx->wordIds, from.wordIds, sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount));
    if (ctx->name == nullptr || (from.wordIdCount > 0 && ctx->wordIds == nullptr))
        freeContext(&ctx);
    return ctx;
}

int lookupCompleteInit(dvk_vcm_Session* vcms)
{
    dvk_ucs2_Char* body = dvk_ucs2_createCopy(context(vcms)->name);
    if (body == nullptr)
        return 1;
    static const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayTextBodyStr(vcms, FOUND_SCREEN, FOUND_TITLE, body, softkeys, events, DVK_GEN_NO_TIME);
}

int lookupCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const FoundContext* ctx = context(vcms);
    if (dvk_vcm_getConfirmType(vcms) == 0)
        dvk_vcm_prompt_addWords(prompts, reinterpret_cast<const int32_t*>(ctx->wordIds), ctx->wordIdCount, 3);
    dvk_vcm_prompt_addPrompt(prompts, promptTable, FOUND_PRM, 2);
    dvk_vcm_prompt_addEarcon(prompts, FOUND_EARCON);
    if (ctx->askedAgain == 0)
        return 0;
    const int32_t tip = dvk_vcm_getGateCmd(vcms) == FOUND_GATE_LOOKUP ? FOUND_TIP_LOOKUP : FOUND_TIP_OTHER;
    return dvk_vcm_addAudioTip(vcms, prompts, tip, ctx->name) != 0 ? 1 : 0;
}

int lookupCompleteGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                  dvk_msg_Address defaultRecipient)
{
    *message = dvk_app_newNotifyLookupCmdRspMsg(dvk_vcm_cmdList(vcms)->notifyLookupCmd, context(vcms)->name,
                                                FOUND_LOOKUP_MODE, dvk_vcm_userContext(vcms));
    if (*message == nullptr)
        return 1;
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return 0;
}

void* lookupCompleteCopy(void* context)
{
    return copyOf(*static_cast<const FoundContext*>(context));
}

void lookupCompleteDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<FoundContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_vcm_Vtable lookupCompleteVtable = {
    "vcm_lookupComplete", lookupCompleteInit, lookupCompleteGetPrompt, nullptr, nullptr,
    lookupCompleteGetContinuation, nullptr, nullptr, lookupCompleteCopy, lookupCompleteDestructor,
};

const dvk_vcm_Etable lookupCompleteEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newLookupComplete(dvk_vcm_Session* vcms, int32_t askedAgain, const dvk_ucs2_Char* name,
                                              const uint32_t* wordIds, int32_t wordIdCount)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, name != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, wordIds != DVK_NULL);
    FoundContext given{askedAgain, const_cast<dvk_ucs2_Char*>(name), const_cast<uint32_t*>(wordIds), wordIdCount};
    FoundContext* ctx = copyOf(given);
    if (ctx == nullptr)
        return nullptr;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &lookupCompleteVtable, lookupCompleteEtable);
    if (module == nullptr) {
        freeContext(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
