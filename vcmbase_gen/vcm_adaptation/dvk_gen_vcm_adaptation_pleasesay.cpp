// "vcm_adaptation_pleasesay": asks for one phrase after the other and has
// the engine record each; a rejected phrase is asked once more, a second
// rejection in a row gives up. Opens the adaptation session; back at the
// first phrase or restart abandons it.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_adaptation/dvk_gen_vcm_adaptation_phrases.h"

#include "core/ce/dvk_ce_dialog.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_ui.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation_pleasesay.cpp";

WexLogger s_log("DvkGenVcmAdaptation");

enum : int32_t {
    PHRASE_COUNT = 30,
    PLEASESAY_SCREEN = 104,
    PLEASESAY_TITLE = 532,
    PLEASESAY_SECOND = 220,
    PLEASESAY_PANEL_BAR = 586,
    PLEASESAY_SOFTKEY_PAUSE = 502,
    PLEASESAY_SOFTKEY_CONTINUE = 495,
    PLEASESAY_PRM_SAY = 377,
    PLEASESAY_EARCON = 1,
    PLEASESAY_LEVEL = 3,
};

// The phrase texts, and the recordings of the same phrases.
const int32_t adaptationStrings[PHRASE_COUNT] = {
    103, 114, 125, 127, 128, 129, 130, 131, 132, 104, 105, 106, 107, 108, 109,
    110, 111, 112, 113, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 126,
};
const int32_t adaptationPrompts[PHRASE_COUNT] = {
    1, 12, 23, 25, 26, 27, 28, 29, 30, 2,  3,  4,  5,  6,  7,
    8, 9,  10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24,
};

struct PleaseSayContext {
    int32_t utteranceNum;
    int32_t maxUtterance;
    int32_t paused;
};

PleaseSayContext* current(dvk_vcm_Session* vcms)
{
    auto* context = static_cast<PleaseSayContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, context != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, context->utteranceNum < context->maxUtterance);
    return context;
}

// The module's state word counts rejections of the current phrase.
int32_t& retry(dvk_vcm_Session* vcms)
{
    return dvk_vcm_current(vcms)->state;
}

int pleaseSayInit(dvk_vcm_Session* vcms)
{
    const PleaseSayContext* ctx = current(vcms);
    const int32_t softkeys[3] = {ctx->paused != 0 ? int32_t{PLEASESAY_SOFTKEY_CONTINUE}
                                                  : int32_t{PLEASESAY_SOFTKEY_PAUSE},
                                 DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {ctx->paused != 0 ? DVK_UI_EVENT_CONTINUE : DVK_UI_EVENT_PAUSE,
                                    DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    dvk_ui_setProgressBarInfo(ctx->utteranceNum + 1, ctx->maxUtterance);
    return dvk_vcm_ui_displayAdapt(vcms, PLEASESAY_SCREEN, PLEASESAY_TITLE, PLEASESAY_SECOND, PLEASESAY_PANEL_BAR,
                                   adaptationStrings[ctx->utteranceNum], softkeys, events, DVK_GEN_NO_TIME,
                                   DVK_GEN_NO_TIME);
}

int pleaseSayGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const PleaseSayContext* ctx = current(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    if (ctx->paused != 0)
        return 0;
    if (retry(vcms) == 1)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, DVK_GEN_PRM_RETRY, PLEASESAY_LEVEL);
    dvk_vcm_prompt_addPrompt(prompts, promptTable, PLEASESAY_PRM_SAY, PLEASESAY_LEVEL);
    dvk_vcm_prompt_addPrompt(prompts, promptTable, adaptationPrompts[ctx->utteranceNum], PLEASESAY_LEVEL);
    dvk_vcm_prompt_addEarcon(prompts, PLEASESAY_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

// Has the engine record the current phrase; it answers NEXT when the
// recording was taken, CANCEL when it was rejected.
int pleaseSayGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                             dvk_msg_Address)
{
    const PleaseSayContext* ctx = current(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    if (ctx->paused != 0)
        return 0;
    dvk_ucs2_Char* phrase = dvk_string_getString(dvk_vcm_stringTable(vcms), adaptationStrings[ctx->utteranceNum]);
    if (phrase == nullptr)
        return 1;
    *message = dvk_ce_getStartAdaptationMsg(phrase);
    *recipient = dvk_msg_getDvkAddr();
    return *message == nullptr ? 1 : 0;
}

int pleaseSayEventNextHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    PleaseSayContext* ctx = current(vcms);
    retry(vcms) = 0;
    if (ctx->utteranceNum + 1 < ctx->maxUtterance) {
        ctx->utteranceNum++;
        return 0;
    }
    dvk_vcm_Module* adapting = dvk_gen_vcm_newAdaptationAdapting(vcms);
    if (adapting == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, adapting);
}

int pleaseSayEventCancelHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    if (retry(vcms) == 0) {
        retry(vcms) = 1;
        return 0;
    }
    retry(vcms) = 0;
    return dvk_vcm_push(vcms, dvk_gen_vcm_newAdaptationTimeout(vcms));
}

int pleaseSayEventPauseHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    current(vcms)->paused = 1;
    return 0;
}

int pleaseSayEventContinueHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    current(vcms)->paused = 0;
    retry(vcms) = 0;
    return 0;
}

int pleaseSayEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    PleaseSayContext* ctx = current(vcms);
    if (ctx->utteranceNum > 0) {
        ctx->utteranceNum--;
        retry(vcms) = 0;
        return 0;
    }
    const int ended = dvk_ce_endAdaptationSession(0);
    if (ended != 0)
        return ended;
    dvk_vcm_pop(vcms);
    return dvk_vcm_current(vcms) == nullptr ? 1 : 0;
}

int pleaseSayEventRestartHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                 dvk_msg_Message** message)
{
    if (dvk_ce_endAdaptationSession(0) != 0)
        return 1;
    return dvk_vcm_defaultEventRestartHandler(vcms, event, index, message);
}

void* pleaseSayCopy(void* from)
{
    DVK_GEN_VCM_ASSERT(kUnit, from != DVK_NULL);
    auto* copy = static_cast<PleaseSayContext*>(dvk_mem_alloc(sizeof(PleaseSayContext)));
    if (copy != nullptr)
        *copy = *static_cast<const PleaseSayContext*>(from);
    return copy;
}

const dvk_gen_vcm_Descriptor pleaseSay = {
    {"vcm_adaptation_pleasesay", pleaseSayInit, pleaseSayGetPrompt, nullptr, nullptr, pleaseSayGetContinuation,
     nullptr, nullptr, pleaseSayCopy, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& pleaseSayVtable = pleaseSay.vtable;

const dvk_vcm_Etable pleaseSayEtable[] = {
    {DVK_UI_EVENT_PAUSE, pleaseSayEventPauseHandler},
    {DVK_UI_EVENT_BACK, pleaseSayEventBackHandler},
    {DVK_UI_EVENT_CONTINUE, pleaseSayEventContinueHandler},
    {DVK_UI_EVENT_CANCEL, pleaseSayEventCancelHandler},
    {DVK_UI_EVENT_NEXT, pleaseSayEventNextHandler},
    {DVK_UI_EVENT_RESTART, pleaseSayEventRestartHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

int32_t dvk_gen_vcm_adaptationPhraseCount(dvk_vcm_Session* vcms)
{
    const dvk_ucs2_Char empty[1] = {0};
    for (int32_t i = 0; i < PHRASE_COUNT; i++)
        if (dvk_string_compareString(dvk_vcm_stringTable(vcms), adaptationStrings[i], empty) == 0)
            return i;
    return PHRASE_COUNT;
}

dvk_vcm_Module* dvk_gen_vcm_newAdaptationPleaseSay(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    const int32_t count = dvk_gen_vcm_adaptationPhraseCount(vcms);
    if (count == 0) {
        s_log.log(WexLogWarning, "%s: no adaptation phrases in this language", __func__);
        return nullptr;
    }
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &pleaseSayVtable, pleaseSayEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<PleaseSayContext*>(dvk_mem_alloc(sizeof(PleaseSayContext)));
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {0, count, 0};
    vcm->context = ctx;
    // Started only once the module exists, so that a failed creation leaves
    // no adaptation session open.
    dvk_ce_startAdaptation();
    return vcm;
}
