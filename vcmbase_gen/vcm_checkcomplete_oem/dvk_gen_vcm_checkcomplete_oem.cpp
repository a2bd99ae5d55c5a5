// "vcm_checkCompleteOem": names the checked item and hands it to the
// application, which reads the status out itself; the session ends.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_checkcomplete_oem/dvk_gen_vcm_checkcomplete_oem";

enum : int32_t { OEM_SCREEN = 63, OEM_TITLE = 643, OEM_EARCON = 6, OEM_TIP = 10 };

struct CheckCompleteOemContext {
    int32_t listShown;
    int32_t category;
    int32_t nameString;
    int32_t namePrompt;
    int32_t item;
};

CheckCompleteOemContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<CheckCompleteOemContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int checkCompleteOemInit(dvk_vcm_Session* vcms)
{
    const CheckCompleteOemContext* ctx = context(vcms);
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayText(vcms, OEM_SCREEN, OEM_TITLE, ctx->nameString, softkeys, events, DVK_GEN_NO_TIME);
}

int checkCompleteOemGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const CheckCompleteOemContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), ctx->namePrompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, OEM_EARCON);
    if (ctx->listShown != 0) {
        dvk_ucs2_Char* itemText = dvk_string_getString(dvk_vcm_stringTable(vcms), ctx->item);
        const int32_t tip = itemText != nullptr ? dvk_vcm_addAudioTip(vcms, prompts, OEM_TIP, itemText) : 1;
        dvk_ucs2_destroy(&itemText);
        if (tip != 0)
            return 1;
    }
    return dvk_prompt_checkErrorFlag(prompts);
}

int checkCompleteOemGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                    dvk_msg_Address defaultRecipient)
{
    const CheckCompleteOemContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    *message = dvk_app_newNotifyCheckCmdRspMsg(dvk_vcm_cmdList(vcms)->notifyCheckCmd, ctx->category,
                                               dvk_vcm_userContext(vcms));
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

const dvk_gen_vcm_Descriptor checkCompleteOem = {
    {"vcm_checkCompleteOem", checkCompleteOemInit, checkCompleteOemGetPrompt, nullptr, nullptr,
     checkCompleteOemGetContinuation, nullptr, nullptr, nullptr, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& checkCompleteOemVtable = checkCompleteOem.vtable;

const dvk_vcm_Etable checkCompleteOemEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCheckCompleteOem(dvk_vcm_Session* vcms, int32_t listShown, int32_t category,
                                                int32_t nameStringId, int32_t namePromptId, int32_t item)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, nameStringId >= 0 && nameStringId < DVK_STR_MAX);
    DVK_GEN_VCM_ASSERT(kUnit, item >= 0 && item < DVK_STR_MAX);
    DVK_GEN_VCM_ASSERT(kUnit, namePromptId >= 0 && namePromptId < 447);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &checkCompleteOemVtable, checkCompleteOemEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<CheckCompleteOemContext*>(dvk_mem_alloc(sizeof(CheckCompleteOemContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {listShown, category, nameStringId, namePromptId, item};
    return vcm;
}
