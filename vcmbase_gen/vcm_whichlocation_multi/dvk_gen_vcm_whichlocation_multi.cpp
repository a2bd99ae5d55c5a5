// "vcm_whichlocationmulti": the contact has several numbers the command can
// use; the user says a location label or touches a number, and the command
// below completes with that label.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_whichlocation_multi/dvk_gen_vcm_whichlocation_multi.cpp";

enum : int32_t {
    MULTI_PRM_AND = 372,
    MULTI_PRM_NOT_FOUND = 328,
    MULTI_PRM_WHICH = 438,
    MULTI_EARCON = 3,
    MULTI_DISPLAY_TIME = 10000,
    MULTI_NOMATCH_FEATURE = 63,
};

struct MultiContext {
    dvk_ui_ScreenId screen;
    dvk_pbook_Entry* shown;
    dvk_pbook_Entry* full;
    dvk_ucs2_Char* saidLocation;
    int32_t pageSize;
    int32_t noSuchType;
    int32_t severalAtLocation;
    int32_t cutDown;
    int32_t title;
    int32_t confirmPrompt;
    uint32_t* wordIds;
    int32_t wordIdCount;
    dvk_constraints_Constraint* constraints[2];
};

MultiContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<MultiContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeContext(MultiContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_pbook_destroyEntry(&(*ctx)->shown);
    dvk_pbook_destroyEntry(&(*ctx)->full);
    dvk_ucs2_destroy(&(*ctx)->saidLocation);
    dvk_mem_dealloc(&(*ctx)->wordIds);
    dvk_mem_dealloc(ctx);
}

// A context holding its own copies of the entries, location and ids.
MultiContext* copyOf(const MultiContext& from)
{
    auto* ctx = static_cast<MultiContext*>(dvk_mem_alloc(sizeof(MultiContext)));
    if (ctx == nullptr)
        return nullptr;
    *ctx = from;
    ctx->shown = from.shown != nullptr ? dvk_pbook_copyEntry(from.shown) : nullptr;
    ctx->full = from.full != nullptr ? dvk_pbook_copyEntry(from.full) : nullptr;
    ctx->saidLocation = from.saidLocation != nullptr ? dvk_ucs2_createCopy(from.saidLocation) : nullptr;
    ctx->wordIds = from.wordIdCount > 0
                       ? static_cast<uint32_t*>(dvk_mem_alloc(sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount)))
                       : nullptr;
    if (ctx->wordIds != nullptr)
        std::memcpy(ctx->wordIds, from.wordIds, sizeof(uint32_t) * static_cast<size_t>(from.wordIdCount));
    const bool made = (from.shown == nullptr || ctx->shown != nullptr) && (from.full == nullptr || ctx->full != nullptr) &&
                      (from.saidLocation == nullptr || ctx->saidLocation != nullptr) &&
                      (from.wordIdCount <= 0 || ctx->wordIds != nullptr);
    if (!made)
        freeContext(&ctx);
    return ctx;
}

int32_t shownCount(const MultiContext* ctx)
{
    const int32_t count = dvk_pbook_getCount(ctx->shown);
    return count < ctx->pageSize ? count : ctx->pageSize;
}

int whichLocationMultiInit(dvk_vcm_Session* vcms)
{
    MultiContext* ctx = context(vcms);
    const int32_t n = shownCount(ctx);
    dvk_ucs2_Char** items = dvk_gen_vcm_locationItems(ctx->shown, n);
    if (items == nullptr)
        return 1;
    static const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayConfirmStr(vcms, ctx->screen, ctx->title, dvk_pbook_getName(ctx->shown),
                                        DVK_GEN_STR_PANEL_BAR, items, n, 0, nullptr, 0, softkeys, events, 0,
                                        MULTI_DISPLAY_TIME);
}

// The listed labels, "and" before the last.
void addList(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, const MultiContext* ctx, int32_t level)
{
    dvk_prompt_Table* promptTable = dvk_vcm_promptTable(vcms);
    const int32_t n = shownCount(ctx);
    for (int32_t i = 0; i < n; i++) {
        if (i == n - 1 && n > 1)
            dvk_vcm_prompt_addPrompt(prompts, promptTable, MULTI_PRM_AND, level);
        dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms),
                                   dvk_pbook_getLocationString(ctx->shown, i), level);
    }
}

const int32_t* asWords(const uint32_t* ids)
{
    return reinterpret_cast<const int32_t*>(ids);
}

int whichLocationMultiGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const MultiContext* ctx = context(vcms);
    const bool named = dvk_vcm_getConfirmType(vcms) == 0;
    if (dvk_vcm_current(vcms)->state > 0) {
        dvk_vcm_prompt_addPrompt(prompts, promptTable, DVK_GEN_PRM_RETRY, 2);
        dvk_vcm_prompt_addPrompt(prompts, promptTable, MULTI_PRM_WHICH, 2);
        addList(vcms, prompts, ctx, 2);
    } else if (ctx->saidLocation != nullptr) {
        if (named) {
            dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
            dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms), ctx->saidLocation, 2);
        }
        dvk_vcm_prompt_addPrompt(prompts, promptTable, ctx->noSuchType != 0 ? ctx->confirmPrompt : MULTI_PRM_NOT_FOUND,
                                 2);
        dvk_vcm_prompt_addPrompt(prompts, promptTable, MULTI_PRM_WHICH, 2);
        addList(vcms, prompts, ctx, 2);
    } else {
        if (named)
            dvk_vcm_prompt_addWords(prompts, asWords(ctx->wordIds), ctx->wordIdCount, 3);
        dvk_vcm_prompt_addPrompt(prompts, promptTable, MULTI_PRM_WHICH, 2);
        addList(vcms, prompts, ctx, ctx->severalAtLocation != 0 ? 2 : 1);
    }
    dvk_vcm_prompt_addEarcon(prompts, MULTI_EARCON);
    return 0;
}

int whichLocationMultiGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts,
                                           dvk_prompt_Table* promptTable, int32_t index)
{
    const MultiContext* ctx = context(vcms);
    if (index < 0 || index >= shownCount(ctx))
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms),
                               dvk_pbook_getLocationString(ctx->shown, index), 1);
    return 0;
}

int whichLocationMultiGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    MultiContext* ctx = context(vcms);
    ctx->constraints[0] = &label_constraint;
    ctx->constraints[1] = nullptr;
    *constraints = ctx->constraints;
    return 0;
}

// Pops this state and completes the command below with the list's entry 0.
int completeBelow(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message)
{
    dvk_vcm_pop(vcms);
    // Alone on the stack (never so in a session) there is nothing to complete.
    if (dvk_vcm_done(vcms) != 0)
        return 1;
    return dvk_vcm_completion(vcms, list, 0, message);
}

int whichLocationMultiEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index,
                                         dvk_msg_Message** message)
{
    const MultiContext* ctx = context(vcms);
    if (index < 0 || index >= shownCount(ctx))
        return 0;
    dvk_nbest_List* list =
        dvk_gen_vcm_locationResult(&label_constraint, dvk_pbook_getLocationString(ctx->shown, index));
    if (list == nullptr)
        return 1;
    const int result = completeBelow(vcms, list, message);
    dvk_nbest_destroy(&list);
    return result;
}

// Narrows the shown numbers to the said location's; 1 when memory is short.
int narrow(MultiContext* ctx, const dvk_ucs2_Char* location, int32_t* atLocation)
{
    if (ctx->cutDown != 0) {
        dvk_pbook_Entry* full = dvk_pbook_copyEntry(ctx->full);
        if (full == nullptr)
            return 1;
        dvk_pbook_destroyEntry(&ctx->shown);
        ctx->shown = full;
        ctx->cutDown = 0;
    }
    *atLocation = dvk_pbook_countByLocation(ctx->shown, location);
    if (*atLocation <= 1)
        return 0;
    dvk_pbook_filterByLocation(ctx->shown, location);
    if (dvk_pbook_getCount(ctx->shown) > ctx->pageSize) {
        dvk_pbook_Entry* full = dvk_pbook_copyEntry(ctx->shown);
        if (full == nullptr)
            return 1;
        dvk_pbook_destroyEntry(&ctx->full);
        ctx->full = full;
        dvk_pbook_truncateEntryPhonebook(ctx->shown, ctx->pageSize);
        ctx->cutDown = 1;
    }
    return 0;
}

int whichLocationMultiHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message,
                                   int32_t)
{
    MultiContext* ctx = context(vcms);
    const dvk_ucs2_Char* location =
        list != nullptr && dvk_nbest_getCount(list) > 0 ? dvk_nbest_getStr(list, 0, DVK_GEN_SLOT_LOCATION) : nullptr;
    int32_t atLocation = 0;
    if (location != nullptr) {
        if (narrow(ctx, location, &atLocation) != 0) {
            dvk_nbest_destroy(&list);
            return 1;
        }
        if (atLocation == 1) {
            const int result = completeBelow(vcms, list, message);
            dvk_nbest_destroy(&list);
            return result;
        }
    }
    dvk_nbest_destroy(&list);
    if (dvk_vcm_current(vcms)->state != 2)
        return 0;
    return dvk_vcm_push(vcms, dvk_gen_vcm_featureOn(MULTI_NOMATCH_FEATURE) == 1 ? dvk_gen_vcm_newNoMatchNonListening(vcms)
                                                                             : dvk_gen_vcm_newNoMatchFound(vcms));
}

void* whichLocationMultiCopy(void* context)
{
    return copyOf(*static_cast<const MultiContext*>(context));
}

void whichLocationMultiDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<MultiContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_vcm_Vtable whichLocationMultiVtable = {
    "vcm_whichlocationmulti", whichLocationMultiInit, whichLocationMultiGetPrompt,
    whichLocationMultiGetMenuReadoutPrompt, whichLocationMultiGetConstraints, nullptr,
    whichLocationMultiHandleResult, nullptr, whichLocationMultiCopy, whichLocationMultiDestructor,
};

const dvk_vcm_Etable whichLocationMultiEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_SELECT, whichLocationMultiEventSelectHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newWhichLocationMulti(dvk_vcm_Session* vcms, dvk_pbook_Entry* entry,
                                                  const dvk_ucs2_Char* saidLocation, const uint32_t* wordIds,
                                                  int32_t wordIdCount, int32_t noSuchType, int32_t severalAtLocation)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, entry != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, wordIds != DVK_NULL);
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, dvk_gen_vcm_locationChoiceIds);
    DVK_GEN_VCM_ASSERT(kUnit, row->gateCmd != 0);
    MultiContext given{};
    given.screen = dvk_gen_vcm_locationChoiceScreen(vcms, false);
    given.shown = entry;
    given.full = entry;
    given.saidLocation = const_cast<dvk_ucs2_Char*>(saidLocation);
    given.pageSize = dvk_settings_getMaxLocationItemsPerPage();
    given.noSuchType = noSuchType;
    given.severalAtLocation = severalAtLocation;
    given.title = row->values[0];
    given.confirmPrompt = row->values[2];
    given.wordIds = const_cast<uint32_t*>(wordIds);
    given.wordIdCount = wordIdCount;
    MultiContext* ctx = copyOf(given);
    if (ctx == nullptr)
        return nullptr;
    if (dvk_pbook_getCount(ctx->shown) > ctx->pageSize && dvk_pbook_truncateEntryPhonebook(ctx->shown, ctx->pageSize) > 0)
        ctx->cutDown = 1;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &whichLocationMultiVtable, whichLocationMultiEtable);
    if (module == nullptr) {
        freeContext(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
