// "vcm_callSendComplete": shows the number a call or send goes to, says
// what is being done (with the command's audio tip the first times the user
// had to be asked again), and tells the application, which ends the session.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_callsendcomplete/dvk_gen_vcm_callsendcomplete.cpp";

enum : int32_t {
    COMPLETE_GATE_CALL = 1,
    COMPLETE_TITLE_CALL = 538,
    COMPLETE_TITLE_SEND = 533,
    COMPLETE_STR_VOICEMAIL = 258,
    COMPLETE_PRM_CALLING = 53,
    COMPLETE_PRM_VOICEMAIL = 422,
    COMPLETE_PRM_SENDING = 32,
    COMPLETE_PRM_NAMED_TIP = 309,
    COMPLETE_EARCON = 6,
    COMPLETE_TIP_TIMES = 2,
    COMPLETE_NO_MESSAGE_TYPE = -1,
};

// Per gate command: screen, message type, audio-tip prompt, audio-tip string.
const dvk_gen_vcm_GateRow kGateIds[] = {
    {1, {12, COMPLETE_NO_MESSAGE_TYPE, 310, 5}},
    {3, {24, 0, 316, 64}},
    {4, {24, 1, 315, 63}},
    {5, {24, 2, 313, 60}},
    {6, {24, 3, 314, 62}},
    {7, {24, 4, 317, 65}},
    {9, {24, 7, 321, 98}},
    {10, {24, 8, 320, 68}},
    {11, {24, 7, 319, 69}},
    {12, {24, 6, 318, 67}},
    {13, {83, 9, 311, 58}},
    {14, {24, 10, 312, 59}},
    {0, {0, 0, 0, 0}},
};

struct CompleteContext {
    int32_t screen;
    dvk_ucs2_Char* name;
    dvk_ucs2_Char* spokenName;
    dvk_ucs2_Char* location;
    dvk_ucs2_Char* number;
    dvk_ucs2_Char* group;
    uint32_t* wordIds;
    int32_t wordIdCount;
    int32_t locationChoice;
    int32_t numberCount;
    int32_t askedAgain;
    int32_t messageType;
    int32_t tipPrompt;
    int32_t tipString;
    int32_t voicemail;
};

CompleteContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<CompleteContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeContext(CompleteContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_ucs2_destroy(&(*ctx)->name);
    dvk_ucs2_destroy(&(*ctx)->spokenName);
    dvk_ucs2_destroy(&(*ctx)->location);
    dvk_ucs2_destroy(&(*ctx)->number);
    dvk_ucs2_destroy(&(*ctx)->group);
    dvk_mem_dealloc(&(*ctx)->wordIds);
    dvk_mem_dealloc(ctx);
}

// A copy of s, or NULL for NULL; false when memory is short.
bool copyText(const dvk_ucs2_Char* s, dvk_ucs2_Char** copy)
{
    *copy = s != nullptr ? dvk_ucs2_createCopy(s) : nullptr;
    return s == nullptr || *copy != nullptr;
}

bool copyIds(const uint32_t* ids, int32_t count, uint32_t** copy)
{
    *copy = nullptr;
    if (ids == nullptr || count <= 0)
        return true;
    *copy = static_cast<uint32_t*>(dvk_mem_alloc(sizeof(uint32_t) * static_cast<size_t>(count)));
    if (*copy == nullptr)
        return false;
    std::memcpy(*copy, ids, sizeof(uint32_t) * static_cast<size_t>(count));
    return true;
}

// A context with copies of every text and of the word ids; NULL when one
// cannot be made.
CompleteContext* copyOf(const CompleteContext& from)
{
    auto* ctx = static_cast<CompleteContext*>(dvk_mem_alloc(sizeof(CompleteContext)));
    if (ctx == nullptr)
        return nullptr;
    *ctx = from;
    ctx->name = ctx->spokenName = ctx->location = ctx->number = ctx->group = nullptr;
    ctx->wordIds = nullptr;
    const bool copied = copyText(from.name, &ctx->name) && copyText(from.spokenName, &ctx->spokenName) &&
                        copyText(from.location, &ctx->location) && copyText(from.number, &ctx->number) &&
                        copyText(from.group, &ctx->group) && copyIds(from.wordIds, from.wordIdCount, &ctx->wordIds);
    if (!copied)
        freeContext(&ctx);
    return ctx;
}

void setIdsForGateCmd(dvk_vcm_Session* vcms, CompleteContext* ctx)
{
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, kGateIds);
    DVK_GEN_VCM_ASSERT(kUnit, row->gateCmd != 0);
    ctx->screen = row->values[0];
    ctx->messageType = row->values[1];
    ctx->tipPrompt = row->values[2];
    ctx->tipString = row->values[3];
}

bool isCall(dvk_vcm_Session* vcms)
{
    return dvk_vcm_getGateCmd(vcms) == COMPLETE_GATE_CALL;
}

const dvk_ucs2_Char kTwoLines[] = {u'\n', u'\n', 0};
const dvk_ucs2_Char kSpace[] = {u' ', 0};
const dvk_ucs2_Char kEmpty[] = {0};

// The screen's body; NULL when memory is short.
dvk_ucs2_Char* bodyText(dvk_vcm_Session* vcms, const CompleteContext* ctx, const dvk_ucs2_Char* formatted)
{
    const dvk_ucs2_Char* number = formatted != nullptr ? formatted : kEmpty;
    if (ctx->group != nullptr)
        return dvk_ucs2_createCopy(ctx->group);
    if (ctx->voicemail != 0) {
        dvk_ucs2_Char* label = dvk_string_getString(dvk_vcm_stringTable(vcms), COMPLETE_STR_VOICEMAIL);
        dvk_ucs2_Char* body = label != nullptr ? dvk_ucs2_createConcat(label, kTwoLines, number, nullptr) : nullptr;
        dvk_ucs2_destroy(&label);
        return body;
    }
    if (ctx->name != nullptr)
        return dvk_ucs2_createConcat(ctx->name, kTwoLines, ctx->location != nullptr ? ctx->location : kEmpty,
                                     kTwoLines, number, nullptr);
    return dvk_ucs2_createCopy(number);
}

int callSendCompleteInit(dvk_vcm_Session* vcms)
{
    const CompleteContext* ctx = context(vcms);
    dvk_ucs2_Char* formatted = nullptr;
    if (ctx->number != nullptr) {
        formatted = dvk_pbook_formatPhoneNumber(ctx->number);
        if (formatted == nullptr)
            return 1;
    }
    dvk_ucs2_Char* body = bodyText(vcms, ctx, formatted);
    dvk_ucs2_destroy(&formatted);
    if (body == nullptr)
        return 1;
    static const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayTextBodyStr(vcms, ctx->screen, isCall(vcms) ? COMPLETE_TITLE_CALL : COMPLETE_TITLE_SEND,
                                         body, softkeys, events, DVK_GEN_NO_TIME);
}

const int32_t* asWords(const uint32_t* ids)
{
    return reinterpret_cast<const int32_t*>(ids);
}

// Whether the location is said, by what the user has confirmed already.
bool saysLocation(dvk_vcm_Session* vcms, const CompleteContext* ctx)
{
    if (ctx->location == nullptr)
        return false;
    const int32_t confirmType = dvk_vcm_getConfirmType(vcms);
    const bool choice = ctx->locationChoice != 0;
    return (confirmType == 0 && !choice) || (confirmType == 1 && ctx->numberCount == 1) ||
           (confirmType != 0 && choice) || (confirmType == 0 && choice && ctx->numberCount != 1);
}

// The command's tip, at most twice over the phone's life.
void addAudioTip(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, const CompleteContext* ctx)
{
    const int32_t gateCmd = dvk_vcm_getGateCmd(vcms);
    const int32_t played = dvk_settings_getAudioTipPlayCount(gateCmd);
    if (played >= COMPLETE_TIP_TIMES)
        return;
    dvk_settings_setAudioTipPlayCount(gateCmd, played + 1);
    dvk_prompt_Table* promptTable = dvk_vcm_promptTable(vcms);
    const bool named = (ctx->name != nullptr || ctx->group != nullptr) && ctx->voicemail == 0;
    dvk_vcm_prompt_addPrompt(prompts, promptTable, named ? COMPLETE_PRM_NAMED_TIP : ctx->tipPrompt, 2);
    if (ctx->voicemail != 0) {
        dvk_vcm_prompt_addPrompt(prompts, promptTable, COMPLETE_PRM_VOICEMAIL, 2);
        return;
    }
    if (ctx->name == nullptr && ctx->group == nullptr) {
        dvk_vcm_prompt_addDigits(prompts, promptTable, ctx->number, 2);
        return;
    }
    dvk_ucs2_Char* tip = dvk_string_getString(dvk_vcm_stringTable(vcms), ctx->tipString);
    if (tip == nullptr)
        return;
    dvk_ucs2_Char* text = nullptr;
    if (ctx->name != nullptr)
        text = dvk_ucs2_createConcat(tip, kSpace, ctx->spokenName != nullptr ? ctx->spokenName : ctx->name, kSpace,
                                     ctx->location != nullptr ? ctx->location : kEmpty, nullptr);
    else
        text = dvk_ucs2_createConcat(tip, kSpace, ctx->group, nullptr);
    dvk_ucs2_destroy(&tip);
    if (text != nullptr)
        dvk_vcm_prompt_addText(prompts, text, 2);
    dvk_ucs2_destroy(&text);
}

int callSendCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const CompleteContext* ctx = context(vcms);
    const bool call = isCall(vcms);
    const int32_t confirmType = dvk_vcm_getConfirmType(vcms);
    if (call)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, COMPLETE_PRM_CALLING, 2);
    if (confirmType == 0) {
        if (ctx->locationChoice == 0) {
            if (ctx->voicemail != 0)
                dvk_vcm_prompt_addPrompt(prompts, promptTable, COMPLETE_PRM_VOICEMAIL, 3);
            else if (ctx->name != nullptr)
                dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
        }
        if (ctx->group != nullptr)
            dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
    }
    if (saysLocation(vcms, ctx))
        dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms), ctx->location, 2);
    if (confirmType == 0 && ctx->name == nullptr && ctx->group == nullptr && ctx->number != nullptr)
        dvk_vcm_prompt_addDigits(prompts, promptTable, ctx->number, 3);
    if (!call)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, COMPLETE_PRM_SENDING, 2);
    dvk_vcm_prompt_addEarcon(prompts, COMPLETE_EARCON);
    if (ctx->askedAgain != 0)
        addAudioTip(vcms, prompts, ctx);
    return 0;
}

int callSendCompleteContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                 dvk_msg_Address defaultRecipient)
{
    const CompleteContext* ctx = context(vcms);
    const dvk_app_Notifications* notify = dvk_vcm_cmdList(vcms);
    void* user = dvk_vcm_userContext(vcms);
    if (isCall(vcms))
        *message = dvk_app_newNotifyCallCmdRspMsg(notify->notifyCallCmd, ctx->name, ctx->location, ctx->number, user);
    else
        *message = dvk_app_newNotifySendCmdRspMsg(notify->notifySendCmd, ctx->name, ctx->location, ctx->number,
                                                  ctx->group, static_cast<dvk_app_MessageType>(ctx->messageType),
                                                  user);
    if (*message == nullptr)
        return 1;
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return 0;
}

void* callSendCompleteCopy(void* context)
{
    return copyOf(*static_cast<const CompleteContext*>(context));
}

void callSendCompleteDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<CompleteContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_vcm_Vtable callSendCompleteVtable = {
    "vcm_callSendComplete", callSendCompleteInit, callSendCompleteGetPrompt, nullptr, nullptr,
    callSendCompleteContinuation, nullptr, nullptr, callSendCompleteCopy, callSendCompleteDestructor,
};

const dvk_vcm_Etable callSendCompleteEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newCallSendComplete(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name,
                                                const dvk_ucs2_Char* spokenName, const dvk_ucs2_Char* location,
                                                const dvk_ucs2_Char* number, const dvk_ucs2_Char* group,
                                                int32_t voicemail, const uint32_t* wordIds, int32_t wordIdCount,
                                                int32_t locationChoice, int32_t numberCount, int32_t askedAgain)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    CompleteContext given{};
    given.name = const_cast<dvk_ucs2_Char*>(name);
    given.spokenName = const_cast<dvk_ucs2_Char*>(spokenName);
    given.location = const_cast<dvk_ucs2_Char*>(location);
    given.number = const_cast<dvk_ucs2_Char*>(number);
    given.group = const_cast<dvk_ucs2_Char*>(group);
    given.wordIds = const_cast<uint32_t*>(wordIds);
    given.wordIdCount = wordIds != nullptr ? wordIdCount : 0;
    given.locationChoice = locationChoice;
    given.numberCount = numberCount;
    given.askedAgain = askedAgain;
    given.voicemail = voicemail;
    setIdsForGateCmd(vcms, &given);
    CompleteContext* ctx = copyOf(given);
    if (ctx == nullptr)
        return nullptr;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &callSendCompleteVtable, callSendCompleteEtable);
    if (module == nullptr) {
        freeContext(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
