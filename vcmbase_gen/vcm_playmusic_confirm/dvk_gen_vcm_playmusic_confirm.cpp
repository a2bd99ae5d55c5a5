// "vcm_playmusic_confirm": offers the play command's candidates one by one
// (or asks which artist): yes or a touched candidate completes the command
// below with it, no goes on to the next, and past the last one it is as if
// the user went back.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_playmusic_confirm/dvk_gen_vcm_playmusic_confirm";

enum : int32_t {
    CONFIRM_SCREEN = 72,
    CONFIRM_TITLE = 613,
    CONFIRM_ARTIST_TITLE = 647,
    CONFIRM_PROMPT = 93,
    CONFIRM_ARTIST_PROMPT = 435,
    CONFIRM_EARCON = 2,
    CONFIRM_TIME = 10000,
    CONFIRM_TYPE_MUSIC = 4,
};

struct ConfirmContext {
    int32_t index;
    int32_t count;
    dvk_ucs2_Char** display;
    dvk_ucs2_Char** spoken;
    int32_t alternateArtist;
};

ConfirmContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<ConfirmContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeTexts(dvk_ucs2_Char*** texts, int32_t count)
{
    if (*texts == nullptr)
        return;
    for (int32_t i = 0; i < count; i++)
        dvk_ucs2_destroy(&(*texts)[i]);
    dvk_mem_dealloc(texts);
}

// A copy of count texts, or NULL.
dvk_ucs2_Char** copyTexts(dvk_ucs2_Char* const* texts, int32_t count)
{
    auto* copy = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * static_cast<size_t>(count)));
    for (int32_t i = 0; copy != nullptr && i < count; i++)
        copy[i] = nullptr;
    for (int32_t i = 0; copy != nullptr && i < count; i++) {
        copy[i] = dvk_ucs2_createCopy(texts[i]);
        if (copy[i] == nullptr)
            freeTexts(&copy, count);
    }
    return copy;
}

void freeContext(ConfirmContext** ctx)
{
    if (*ctx == nullptr)
        return;
    freeTexts(&(*ctx)->display, (*ctx)->count);
    freeTexts(&(*ctx)->spoken, (*ctx)->count);
    dvk_mem_dealloc(ctx);
}

int confirmInit(dvk_vcm_Session* vcms)
{
    const ConfirmContext* ctx = context(vcms);
    const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    dvk_ucs2_Char** items = copyTexts(ctx->display, ctx->count);
    if (items == nullptr)
        return 1;
    return dvk_vcm_ui_displayConfirmStr(vcms, CONFIRM_SCREEN,
                                        ctx->alternateArtist != 0 ? CONFIRM_ARTIST_TITLE : CONFIRM_TITLE, nullptr,
                                        DVK_GEN_STR_PANEL_BAR, items, ctx->count, ctx->index, phrases, 2, softkeys,
                                        events, DVK_GEN_NO_TIME, CONFIRM_TIME);
}

int confirmGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const ConfirmContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms),
                             ctx->alternateArtist != 0 ? CONFIRM_ARTIST_PROMPT : CONFIRM_PROMPT, 2);
    dvk_vcm_prompt_addText(prompts, ctx->spoken[ctx->index], 3);
    dvk_vcm_prompt_addEarcon(prompts, CONFIRM_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

int confirmGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*, int32_t index)
{
    const ConfirmContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    if (index < 0 || index >= ctx->count)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    dvk_vcm_prompt_addText(prompts, ctx->spoken[index], 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

// The chosen candidate completes the command below.
int confirmEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    if (index < 0 || index >= context(vcms)->count)
        return 0;
    dvk_vcm_setConfirmType(vcms, CONFIRM_TYPE_MUSIC);
    dvk_vcm_pop(vcms);
    if (dvk_vcm_current(vcms) == nullptr)
        return 1;
    return dvk_vcm_completion(vcms, nullptr, index, message);
}

int confirmEventYesHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message** message)
{
    return confirmEventSelectHandler(vcms, DVK_UI_EVENT_SELECT, context(vcms)->index, message);
}

// The next candidate; none left is going back.
int confirmEventNoHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message** message)
{
    ConfirmContext* ctx = context(vcms);
    if (++ctx->index < ctx->count)
        return 0;
    return dvk_vcm_defaultEventBackHandler(vcms, DVK_UI_EVENT_BACK, 0, message);
}

int confirmHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    const dvk_ucs2_Char* answer = nbest != nullptr && dvk_nbest_getCount(nbest) > 0
                                      ? dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_YESNO)
                                      : nullptr;
    const bool yes =
        answer != nullptr && dvk_string_compareString(dvk_vcm_stringTable(vcms), DVK_GEN_STR_YES, answer) == 0;
    dvk_nbest_destroy(&nbest);
    return yes ? confirmEventYesHandler(vcms, DVK_UI_EVENT_YES, 0, message)
               : confirmEventNoHandler(vcms, DVK_UI_EVENT_NO, 0, message);
}

void confirmDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<ConfirmContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

void* confirmCopy(void* from)
{
    const auto* ctx = static_cast<const ConfirmContext*>(from);
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    auto* copy = static_cast<ConfirmContext*>(dvk_mem_alloc(sizeof(ConfirmContext)));
    if (copy == nullptr)
        return nullptr;
    *copy = {ctx->index, ctx->count, copyTexts(ctx->display, ctx->count), copyTexts(ctx->spoken, ctx->count),
             ctx->alternateArtist};
    if (copy->display == nullptr || copy->spoken == nullptr)
        freeContext(&copy);
    return copy;
}

const dvk_gen_vcm_Descriptor playMusicConfirm = {
    {"vcm_playmusic_confirm", confirmInit, confirmGetPrompt, confirmGetMenuReadoutPrompt,
     dvk_gen_vcm_yesNoGetConstraints, nullptr, confirmHandleResult, nullptr, confirmCopy, confirmDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& playMusicConfirmVtable = playMusicConfirm.vtable;

const dvk_vcm_Etable playMusicConfirmEtable[] = {
    {DVK_UI_EVENT_SELECT, confirmEventSelectHandler},
    {DVK_UI_EVENT_YES, confirmEventYesHandler},
    {DVK_UI_EVENT_NO, confirmEventNoHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newPlayMusicConfirm(dvk_vcm_Session* vcms, dvk_ucs2_Char** displayTexts,
                                                dvk_ucs2_Char** spokenTexts, int32_t count, int32_t alternateArtist)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, count >= 1);
    DVK_GEN_VCM_ASSERT(kUnit, displayTexts != DVK_NULL && spokenTexts != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &playMusicConfirmVtable, playMusicConfirmEtable);
    auto* ctx = vcm != nullptr ? static_cast<ConfirmContext*>(dvk_mem_alloc(sizeof(ConfirmContext))) : nullptr;
    if (ctx == nullptr) {
        freeTexts(&displayTexts, count);
        freeTexts(&spokenTexts, count);
        if (vcm != nullptr)
            dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {0, count, displayTexts, spokenTexts, alternateArtist};
    vcm->context = ctx;
    return vcm;
}
