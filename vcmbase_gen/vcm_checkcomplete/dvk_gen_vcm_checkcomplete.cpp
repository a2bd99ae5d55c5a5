// "vcm_checkComplete": shows the checked item's status, composed from the
// phone information, says it, and ends the session. An item the
// application reads out itself goes on to "vcm_checkCompleteOem".
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_checkcomplete/dvk_gen_vcm_checktext.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_checkcomplete/dvk_gen_vcm_checkcomplete";

enum : int32_t { CHECK_SCREEN = 62, CHECK_TITLE = 643, CHECK_EARCON = 6, CHECK_TIP = 10 };

struct CheckCompleteContext {
    int32_t listShown;
    int32_t item;
    int32_t platform;
};

CheckCompleteContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<CheckCompleteContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

// The item's text, said into prompts when there are any; NULL when the
// phone information cannot be read or memory is short.
dvk_ucs2_Char* compose(dvk_vcm_Session* vcms, int32_t item, dvk_prompt_List* prompts)
{
    const dvk_gen_vcm_CheckGetter* getters = nullptr;
    int32_t join = 0, platform = 0;
    const int32_t count = getPropertiesForCmd(item, &getters, &join, &platform);
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    if (info == nullptr)
        return nullptr;
    dvk_ucs2_Char* text = getTextForMultipleProperties(getters, count, info, dvk_vcm_stringTable(vcms),
                                                       dvk_vcm_promptTable(vcms), prompts, join);
    dvk_check_destroyPhoneInfo(&info);
    return text;
}

int checkCompleteInit(dvk_vcm_Session* vcms)
{
    CheckCompleteContext* ctx = context(vcms);
    const dvk_gen_vcm_CheckGetter* getters = nullptr;
    int32_t join = 0;
    getPropertiesForCmd(ctx->item, &getters, &join, &ctx->platform);
    if (ctx->platform != 0) {
        int32_t category = 0, name = 0, prompt = 0;
        if (!getCategoryForCmd(ctx->item, &category, &name, &prompt))
            return 1;
        const int result = dvk_vcm_push(
            vcms, dvk_gen_vcm_newCheckCompleteOem(vcms, ctx->listShown, category, name, prompt, ctx->item));
        return result != 0 ? result : dvk_vcm_init(vcms);
    }
    dvk_ucs2_Char* body = compose(vcms, ctx->item, nullptr);
    if (body == nullptr)
        return 1;
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayTextBodyStr(vcms, CHECK_SCREEN, CHECK_TITLE, body, softkeys, events, DVK_GEN_NO_TIME);
}

int checkCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const CheckCompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_ucs2_Char* itemText = dvk_string_getString(dvk_vcm_stringTable(vcms), ctx->item);
    if (itemText == nullptr)
        return 1;
    dvk_ucs2_Char* said = compose(vcms, ctx->item, prompts);
    const bool composed = said != nullptr;
    dvk_ucs2_destroy(&said);
    if (!composed) {
        dvk_ucs2_destroy(&itemText);
        return 1;
    }
    dvk_vcm_prompt_addEarcon(prompts, CHECK_EARCON);
    const int32_t tip = ctx->listShown != 0 ? dvk_vcm_addAudioTip(vcms, prompts, CHECK_TIP, itemText) : 0;
    dvk_ucs2_destroy(&itemText);
    return tip != 0 ? 1 : dvk_prompt_checkErrorFlag(prompts);
}

int checkCompleteGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                 dvk_msg_Address defaultRecipient)
{
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    *message = dvk_app_newNotifyExitRspMsg(dvk_vcm_cmdList(vcms)->notifyExit, DVK_APP_SUCCESS,
                                           dvk_vcm_userContext(vcms));
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

const dvk_gen_vcm_Descriptor checkComplete = {
    {"vcm_checkComplete", checkCompleteInit, checkCompleteGetPrompt, nullptr, nullptr, checkCompleteGetContinuation,
     nullptr, nullptr, nullptr, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& checkCompleteVtable = checkComplete.vtable;

const dvk_vcm_Etable checkCompleteEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCheckComplete(dvk_vcm_Session* vcms, int32_t listShown, int32_t item)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, item >= 0 && item < DVK_STR_MAX);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &checkCompleteVtable, checkCompleteEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<CheckCompleteContext*>(dvk_mem_alloc(sizeof(CheckCompleteContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {listShown, item, 0};
    return vcm;
}
