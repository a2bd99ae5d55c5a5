// "vcm_selectComplete": announces the chosen application, help topic or
// playlist and hands it to the application; the session ends.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcm_selectcomplete/dvk_gen_vcm_selectcomplete.cpp";

enum Answer : int32_t { ANSWER_GOTO, ANSWER_HELP, ANSWER_PLAY };

struct CommandRow {
    int32_t commandStringId;
    int32_t title;
    int32_t prompt;
    Answer answer;
};

const CommandRow kCommands[] = {
    {19, 604, 368, ANSWER_GOTO},  // go to
    {78, 606, 371, ANSWER_GOTO},  // surprise me
    {21, 605, 369, ANSWER_HELP},  // help me with
    {46, 587, 224, ANSWER_PLAY},  // play
};

struct SelectCompleteContext {
    int32_t screen;
    const CommandRow* command;
    int32_t askedAgain;
    dvk_ucs2_Char* name;
    int32_t itemContext;
};

SelectCompleteContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<SelectCompleteContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int selectCompleteInit(dvk_vcm_Session* vcms)
{
    const SelectCompleteContext* ctx = context(vcms);
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    dvk_ucs2_Char* body = dvk_ucs2_createCopy(ctx->name);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, ctx->screen, ctx->command->title, body, softkeys, events,
                                         DVK_GEN_NO_TIME);
}

int selectCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const SelectCompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addText(prompts, ctx->name, 3);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), ctx->command->prompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_DONE);
    if (ctx->askedAgain != 0 && dvk_vcm_addAudioTip(vcms, prompts, ctx->command->commandStringId, ctx->name) != 0)
        return 1;
    return dvk_prompt_checkErrorFlag(prompts);
}

int selectCompleteGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                  dvk_msg_Address defaultRecipient)
{
    static const dvk_ucs2_Char empty[] = {0};
    const SelectCompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    const dvk_app_Notifications* answers = dvk_vcm_cmdList(vcms);
    void* user = dvk_vcm_userContext(vcms);
    switch (ctx->command->answer) {
    case ANSWER_GOTO:
        *message = dvk_app_newNotifyGoToCmdRspMsg(answers->notifyGoToCmd, ctx->name, ctx->itemContext, user);
        break;
    case ANSWER_HELP:
        *message = dvk_app_newNotifyHelpCmdRspMsg(answers->notifyHelpCmd, ctx->name, ctx->itemContext, user);
        break;
    case ANSWER_PLAY:
        // The chosen item is a playlist.
        *message = dvk_app_newNotifyPlayCmdRspMsg(answers->notifyPlayCmd, empty, empty, empty, ctx->name, 0, 0, 0,
                                                  ctx->itemContext, user);
        break;
    }
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

void selectCompleteDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<SelectCompleteContext*>(vcm->context);
    if (ctx == nullptr)
        return;
    dvk_ucs2_destroy(&ctx->name);
    dvk_mem_dealloc(&ctx);
    vcm->context = nullptr;
}

const dvk_gen_vcm_Descriptor selectComplete = {
    {"vcm_selectComplete", selectCompleteInit, selectCompleteGetPrompt, nullptr, nullptr,
     selectCompleteGetContinuation, nullptr, nullptr, nullptr, selectCompleteDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& selectCompleteVtable = selectComplete.vtable;

const dvk_vcm_Etable selectCompleteEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSelectComplete(dvk_vcm_Session* vcms, int32_t screenId, int32_t commandStringId,
                                              int32_t askedAgain, const dvk_ucs2_Char* itemName,
                                              int32_t itemContext)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, itemName != DVK_NULL);
    const CommandRow* command = nullptr;
    for (const CommandRow& row : kCommands)
        if (row.commandStringId == commandStringId)
            command = &row;
    DVK_GEN_VCM_ASSERT(kUnit, command != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &selectCompleteVtable, selectCompleteEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<SelectCompleteContext*>(dvk_mem_alloc(sizeof(SelectCompleteContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {screenId, command, askedAgain, dvk_ucs2_createCopy(itemName), itemContext};
    if (ctx->name == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    return vcm;
}
