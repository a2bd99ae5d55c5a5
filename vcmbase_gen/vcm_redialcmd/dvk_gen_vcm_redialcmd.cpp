// "vcm_redialCmd": redials the last dialled call, shown and said by name
// and location, or by number when it had no name; with no call recorded it
// shows the no-last-number state instead.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

namespace {

const char kUnit[] = "vcm_redialcmd/dvk_gen_vcm_redialcmd.cpp";

enum : int32_t {
    REDIAL_SCREEN = 67,
    REDIAL_TITLE = 538,
    REDIAL_PROMPT = 383,
};

// Each text owned, or null for none.
struct RedialContext {
    dvk_ucs2_Char* name;
    dvk_ucs2_Char* location;
    dvk_ucs2_Char* number;
};

RedialContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<RedialContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int redialCmdInit(dvk_vcm_Session* vcms)
{
    const RedialContext* ctx = context(vcms);
    if (ctx->number == nullptr) {
        if (dvk_gen_vcm_replaceStack(vcms, dvk_gen_vcm_newNoLastNumberNonListening(vcms), false) != 0)
            return 1;
        return dvk_vcm_init(vcms);
    }
    dvk_ucs2_Char* formatted = dvk_pbook_formatPhoneNumber(ctx->number);
    if (formatted == nullptr)
        return 1;
    dvk_ucs2_Char* body = formatted;
    if (ctx->name != nullptr) {
        static const dvk_ucs2_Char gap[] = {u'\n', u'\n', 0};
        body = dvk_ucs2_createConcat(ctx->name, gap, ctx->location, gap, formatted, nullptr);
        dvk_ucs2_destroy(&formatted);
        if (body == nullptr)
            return 1;
    }
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayTextBodyStr(vcms, REDIAL_SCREEN, REDIAL_TITLE, body, softkeys, events,
                                         DVK_GEN_NO_TIME);
}

int redialCmdGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const RedialContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), REDIAL_PROMPT, 3);
    if (ctx->name != nullptr) {
        dvk_vcm_prompt_addText(prompts, ctx->name, 3);
        dvk_vcm_prompt_addLocation(prompts, dvk_vcm_promptTable(vcms), dvk_vcm_stringTable(vcms), ctx->location, 3);
    } else if (ctx->number != nullptr) {
        dvk_vcm_prompt_addDigits(prompts, dvk_vcm_promptTable(vcms), ctx->number, 3);
    }
    dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_DONE);
    return dvk_prompt_checkErrorFlag(prompts);
}

int redialCmdContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                          dvk_msg_Address defaultRecipient)
{
    const RedialContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    if (ctx->number == nullptr)
        return 0;  // Init has replaced this state
    *recipient = defaultRecipient;
    *message = dvk_app_newNotifyCallCmdRspMsg(dvk_vcm_cmdList(vcms)->notifyCallCmd, ctx->name, ctx->location,
                                              ctx->number, dvk_vcm_userContext(vcms));
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

void freeContext(RedialContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_ucs2_destroy(&(*ctx)->name);
    dvk_ucs2_destroy(&(*ctx)->location);
    dvk_ucs2_destroy(&(*ctx)->number);
    dvk_mem_dealloc(ctx);
}

void redialCmdDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<RedialContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_gen_vcm_Descriptor redial = {
    {"vcm_redialCmd", redialCmdInit, redialCmdGetPrompt, nullptr, nullptr, redialCmdContinuation, nullptr, nullptr,
     nullptr, redialCmdDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& redialVtable = redial.vtable;

const dvk_vcm_Etable redialEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

bool empty(const dvk_ucs2_Char* text)
{
    return text == nullptr || text[0] == 0;
}

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newRedialCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &redialVtable, redialEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<RedialContext*>(dvk_mem_alloc(sizeof(RedialContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {};
    dvk_pbook_getLastDialedNumber(&ctx->name, &ctx->number, &ctx->location);
    if (ctx->name == nullptr || ctx->number == nullptr || ctx->location == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    if (empty(ctx->name) || empty(ctx->location)) {
        dvk_ucs2_destroy(&ctx->name);
        dvk_ucs2_destroy(&ctx->location);
    }
    if (empty(ctx->number))
        dvk_ucs2_destroy(&ctx->number);
    return vcm;
}
