// "vcm_whichlocationsingle": the said location has no number, one other
// remains; the user answers whether to use it, and yes completes the command
// below with its label.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_whichlocation_single/dvk_gen_vcm_whichlocation_single.cpp";

enum : int32_t {
    SINGLE_PRM_NOT_FOUND = 328,
    SINGLE_PRM_POSTFIX_END = 353,
    SINGLE_EARCON = 3,
    SINGLE_DISPLAY_TIME = 10000,
};

struct SingleContext {
    dvk_ui_ScreenId screen;
    dvk_pbook_Entry* entry;
    dvk_ucs2_Char* saidLocation;
    int32_t noSuchType;
    int32_t title;
    int32_t question;
    int32_t confirmPrompt;
    uint32_t* wordIds;
    int32_t wordIdCount;
    dvk_constraints_Constraint* constraints[2];
};

SingleContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<SingleContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeContext(SingleContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_pbook_destroyEntry(&(*ctx)->entry);
    dvk_ucs2_destroy(&(*ctx)->saidLocation);
    dvk_mem_dealloc(&(*ctx)->wordIds);
    dvk_mem_dealloc(ctx);
}

SingleContext* copyOf(const SingleContext& from)
{
    auto* ctx = static_cast<SingleContext*>(dvk_mem_alloc(sizeof(SingleContext)));
    if (ctx == nullptr)
        return nullptr;
    *ctx = from;
    ctx->entry = dvk_pbook_copyEntry(from.entry);
    ctx->saidLocation = dvk_ucs2_createCopy(from.saidLocation);
    ctx->wordIds = from.wordIdCount > 0
                       ? static_cast<uint32_t*>(dvk_mem_alloc(sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount)))
                       : nullptr;
    if (ctx->wordIds != nullptr)
        std::memcpy(ctx->wordIds, from.wordIds, sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount));
    if (ctx->entry == nullptr || ctx->saidLocation == nullptr || (from.wordIdCount > 0 && ctx->wordIds == nullptr))
        freeContext(&ctx);
    return ctx;
}

int whichLocationSingleInit(dvk_vcm_Session* vcms)
{
    const SingleContext* ctx = context(vcms);
    const int32_t n = dvk_pbook_getCount(ctx->entry);
    dvk_ucs2_Char** items = dvk_gen_vcm_locationItems(ctx->entry, n);
    if (items == nullptr)
        return 1;
    static const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    static const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayConfirmStr(vcms, ctx->screen, ctx->title, dvk_pbook_getName(ctx->entry),
                                        DVK_GEN_STR_PANEL_BAR, items, n, 0, phrases, 2, softkeys, events, 0,
                                        SINGLE_DISPLAY_TIME);
}

const int32_t* asWords(const uint32_t* ids)
{
    return reinterpret_cast<const int32_t*>(ids);
}

int whichLocationSingleGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const SingleContext* ctx = context(vcms);
    dvk_string_Table* strings = dvk_vcm_stringTable(vcms);
    const bool postfix = dvk_settings_shouldUsePostfixConfirmGrammar() != 0;
    const bool first = dvk_vcm_current(vcms)->state == 0;
    const int32_t notFound = ctx->noSuchType != 0 ? ctx->confirmPrompt : SINGLE_PRM_NOT_FOUND;
    if (first) {
        if (!postfix && dvk_vcm_getConfirmType(vcms) != 0) {
            dvk_vcm_prompt_addPrompt(prompts, promptTable, notFound, 2);
        } else {
            dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
            dvk_vcm_prompt_addLocation(prompts, promptTable, strings, ctx->saidLocation, 3);
            dvk_vcm_prompt_addPrompt(prompts, promptTable, notFound, 2);
            if (postfix)
                dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
        }
    } else {
        dvk_vcm_prompt_addPrompt(prompts, promptTable, DVK_GEN_PRM_RETRY, 2);
    }
    if (!(first && postfix))
        dvk_vcm_prompt_addPrompt(prompts, promptTable, ctx->question, 2);
    dvk_vcm_prompt_addLocation(prompts, promptTable, strings, dvk_pbook_getLocationString(ctx->entry, 0), 2);
    if (postfix)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, SINGLE_PRM_POSTFIX_END, 2);
    dvk_vcm_prompt_addEarcon(prompts, SINGLE_EARCON);
    return 0;
}

int whichLocationSingleGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts,
                                            dvk_prompt_Table* promptTable, int32_t index)
{
    if (index != 0)
        return 0;
    const SingleContext* ctx = context(vcms);
    dvk_vcm_prompt_addMenuIndex(prompts, 1, 1);
    dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms),
                               dvk_pbook_getLocationString(ctx->entry, 0), 1);
    return 0;
}

int whichLocationSingleGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    SingleContext* ctx = context(vcms);
    ctx->constraints[0] = &yesno_constraint;
    ctx->constraints[1] = nullptr;
    *constraints = ctx->constraints;
    return 0;
}

int whichLocationSingleEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index,
                                          dvk_msg_Message** message)
{
    if (index == 1)
        return dvk_vcm_defaultEventBackHandler(vcms, DVK_UI_EVENT_BACK, 0, message);
    if (index != 0)
        return 0;
    dvk_nbest_List* list =
        dvk_gen_vcm_locationResult(&yesno_constraint, dvk_pbook_getLocationString(context(vcms)->entry, 0));
    if (list == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    // Alone on the stack (never so in a session) there is nothing to complete.
    const int result = dvk_vcm_done(vcms) != 0 ? 1 : dvk_vcm_completion(vcms, list, 0, message);
    dvk_nbest_destroy(&list);
    return result;
}

int whichLocationSingleHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    const bool heard = list != nullptr && dvk_nbest_getCount(list) > 0;
    const bool yes = heard && dvk_nbest_getStr(list, 0, DVK_GEN_SLOT_YESNO) != nullptr &&
                     dvk_string_compareString(dvk_vcm_stringTable(vcms), DVK_GEN_STR_YES,
                                              dvk_nbest_getStr(list, 0, DVK_GEN_SLOT_YESNO)) == 0;
    dvk_nbest_destroy(&list);
    if (yes)
        return whichLocationSingleEventSelectHandler(vcms, DVK_UI_EVENT_SELECT, 0, message);
    if (heard || dvk_vcm_current(vcms)->state == 2)
        return dvk_vcm_defaultEventBackHandler(vcms, DVK_UI_EVENT_BACK, 0, message);
    return 0;
}

void* whichLocationSingleCopy(void* context)
{
    return copyOf(*static_cast<const SingleContext*>(context));
}

void whichLocationSingleDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<SingleContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_vcm_Vtable whichLocationSingleVtable = {
    "vcm_whichlocationsingle", whichLocationSingleInit, whichLocationSingleGetPrompt,
    whichLocationSingleGetMenuReadoutPrompt, whichLocationSingleGetConstraints, nullptr,
    whichLocationSingleHandleResult, nullptr, whichLocationSingleCopy, whichLocationSingleDestructor,
};

const dvk_vcm_Etable whichLocationSingleEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_SELECT, whichLocationSingleEventSelectHandler},
    {DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
    {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newWhichLocationSingle(dvk_vcm_Session* vcms, dvk_pbook_Entry* entry,
                                                   const dvk_ucs2_Char* saidLocation, const uint32_t* wordIds,
                                                   int32_t wordIdCount, int32_t noSuchType)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, entry != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, saidLocation != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, wordIds != DVK_NULL);
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, dvk_gen_vcm_locationChoiceIds);
    DVK_GEN_VCM_ASSERT(kUnit, row->gateCmd != 0);
    SingleContext given{};
    given.screen = dvk_gen_vcm_locationChoiceScreen(vcms, true);
    given.entry = entry;
    given.saidLocation = const_cast<dvk_ucs2_Char*>(saidLocation);
    given.noSuchType = noSuchType;
    given.title = row->values[0];
    given.question = row->values[1];
    given.confirmPrompt = row->values[2];
    given.wordIds = const_cast<uint32_t*>(wordIds);
    given.wordIdCount = wordIdCount;
    SingleContext* ctx = copyOf(given);
    if (ctx == nullptr)
        return nullptr;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &whichLocationSingleVtable, whichLocationSingleEtable);
    if (module == nullptr) {
        freeContext(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
