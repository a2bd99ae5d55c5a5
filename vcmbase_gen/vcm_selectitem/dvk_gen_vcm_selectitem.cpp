// "vcm_selectItem": the paged choice list a command module hands its items
// to. The user says or touches an item and the command below completes
// with it; with several pages every page ends with a more-options entry,
// kept in the item array at its place, which turns the page.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_array.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_selectitem/dvk_gen_vcm_selectitem.cpp";

enum : int32_t {
    SELECT_MORE_OPTIONS = 360,
    SELECT_DISPLAY_TIME = 10000,
    SELECT_EARCON = 1,
    CHECK_GATE = 24,
    NOMATCH_FEATURE = 63,
};

// Vocabulary string, display string: a check item touched by its display
// text is reported as what its grammar says.
const int32_t kCheckCmdVocVsDisplay[][2] = {
    {76, 273}, {43, 273}, {95, 275}, {97, 276}, {28, 267}, {30, 268}, {81, 274},
    {71, 272}, {70, 272}, {39, 270}, {4, 266},  {36, 269}, {99, 277},
};

struct SelectItemContext {
    int32_t screen;
    int32_t title;
    int32_t prompt;
    dvk_array* items;  // owned texts, more-options entries included
    dvk_constraints_Constraint* constraints[3];
    int32_t constraintCount;  // the null included
    int32_t valueSlot;
    int32_t perPage;
    int32_t page;
    int32_t pageCount;
};

SelectItemContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<SelectItemContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int32_t firstOfPage(const SelectItemContext* ctx)
{
    return ctx->pageCount == 1 ? 0 : ctx->page * ctx->perPage;
}

// Entries on the current page, more-options included.
int32_t entriesOnPage(const SelectItemContext* ctx)
{
    const auto count = static_cast<int32_t>(dvk_array_getCount(ctx->items));
    if (ctx->pageCount == 1)
        return count;
    const int32_t left = count - firstOfPage(ctx);
    return left < ctx->perPage ? left : ctx->perPage;
}

// The text at a place of the current page; null outside the page.
const dvk_ucs2_Char* entryAt(const SelectItemContext* ctx, int32_t index)
{
    if (index < 0 || index >= ctx->perPage || index >= entriesOnPage(ctx))
        return nullptr;
    return static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(ctx->items, firstOfPage(ctx) + index));
}

bool isMoreOptions(const SelectItemContext* ctx, int32_t index)
{
    return ctx->pageCount > 1 && index == entriesOnPage(ctx) - 1;
}

void turnPage(dvk_vcm_Session* vcms, SelectItemContext* ctx)
{
    ctx->page = ctx->page + 1 < ctx->pageCount ? ctx->page + 1 : 0;
    dvk_vcm_current(vcms)->state = 0;
}

int selectItemInit(dvk_vcm_Session* vcms)
{
    const SelectItemContext* ctx = context(vcms);
    const int32_t entries = entriesOnPage(ctx);
    auto* texts = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) *
                                                             static_cast<size_t>(entries > 0 ? entries : 1)));
    if (texts == nullptr)
        return 1;
    for (int32_t i = 0; i < entries; i++)
        texts[i] = const_cast<dvk_ucs2_Char*>(entryAt(ctx, i));
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayCommandStr(vcms, ctx->screen, ctx->title, DVK_GEN_STR_PANEL_BAR, texts, entries,
                                        softkeys, events, 0, SELECT_DISPLAY_TIME);
}

int selectItemGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const SelectItemContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    if (dvk_vcm_current(vcms)->state > 0)
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), DVK_GEN_PRM_RETRY, 2);
    if (ctx->prompt != -1)
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), ctx->prompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, SELECT_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

int selectItemGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                   int32_t index)
{
    const SelectItemContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    // A focus event may name any place: only the page's entries are read.
    const dvk_ucs2_Char* text = entryAt(ctx, index);
    if (text == nullptr)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    dvk_vcm_prompt_addText(prompts, text, 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int selectItemGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    DVK_GEN_VCM_ASSERT(kUnit, constraints != DVK_NULL);
    *constraints = context(vcms)->constraints;
    return 0;
}

// Pops this state and completes the command below with the list. The
// command's Completion only borrows the list: it is destroyed here.
int complete(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message)
{
    dvk_vcm_pop(vcms);
    const int result = dvk_vcm_current(vcms) == nullptr ? 1 : dvk_vcm_completion(vcms, nbest, 0, message);
    dvk_nbest_destroy(&nbest);
    return result;
}

// The text reported for a touched item: under the check command a display
// text stands for its vocabulary string. A new copy, or null.
dvk_ucs2_Char* reportedText(dvk_vcm_Session* vcms, const dvk_ucs2_Char* text)
{
    if (dvk_vcm_getGateCmd(vcms) == CHECK_GATE)
        for (const auto& pair : kCheckCmdVocVsDisplay)
            if (dvk_string_compareString(dvk_vcm_stringTable(vcms), pair[1], text) == 0)
                return dvk_string_getString(dvk_vcm_stringTable(vcms), pair[0]);
    return dvk_ucs2_createCopy(text);
}

int selectItemEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    SelectItemContext* ctx = context(vcms);
    const dvk_ucs2_Char* entry = entryAt(ctx, index);
    if (entry == nullptr)
        return 0;
    // By its place: an item may carry the more-options text itself.
    if (isMoreOptions(ctx, index)) {
        turnPage(vcms, ctx);
        return 0;
    }
    dvk_constraints_Constraint* caller = ctx->constraints[0];
    dvk_nbest_List* nbest = dvk_nbest_create(caller->id, caller->name, 100);
    dvk_ucs2_Char* text = reportedText(vcms, entry);
    const bool built = nbest != nullptr && text != nullptr && dvk_nbest_addEntry(nbest) == 0 &&
                       dvk_nbest_addValueNoIds(nbest, 0, ctx->valueSlot, caller->name, text, text) == 0;
    dvk_ucs2_destroy(&text);
    if (!built) {
        dvk_nbest_destroy(&nbest);
        return 1;
    }
    return complete(vcms, nbest, message);
}

int selectItemHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    SelectItemContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    const bool any = nbest != nullptr && dvk_nbest_getCount(nbest) > 0;
    if (any && ctx->pageCount > 1 && dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_NEXT_PAGE) != nullptr) {
        dvk_nbest_destroy(&nbest);
        turnPage(vcms, ctx);
        return 0;
    }
    if (any && dvk_nbest_getStr(nbest, 0, ctx->valueSlot) != nullptr)
        return complete(vcms, nbest, message);
    // Nothing, or nothing this list can use.
    dvk_nbest_destroy(&nbest);
    if (dvk_vcm_current(vcms)->state < 2)
        return 0;
    return dvk_vcm_push(vcms, dvk_gen_vcm_featureOn(NOMATCH_FEATURE) == 1 ? dvk_gen_vcm_newNoMatchNonListening(vcms)
                                                                         : dvk_gen_vcm_newNoMatchFound(vcms));
}

void freeItems(dvk_array** items)
{
    if (*items == nullptr)
        return;
    for (long i = 0; i < dvk_array_getCount(*items); i++) {
        auto* text = static_cast<dvk_ucs2_Char*>(dvk_array_getItem(*items, i));
        dvk_ucs2_destroy(&text);
    }
    dvk_array_destroy(items);
}

void freeContext(SelectItemContext** ctx)
{
    if (*ctx == nullptr)
        return;
    freeItems(&(*ctx)->items);
    dvk_mem_dealloc(ctx);
}

void selectItemDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<SelectItemContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

void* selectItemCopy(void* from)
{
    const auto* ctx = static_cast<const SelectItemContext*>(from);
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    auto* copy = static_cast<SelectItemContext*>(dvk_mem_alloc(sizeof(SelectItemContext)));
    if (copy == nullptr)
        return nullptr;
    *copy = *ctx;
    copy->items = dvk_array_create();
    if (copy->items == nullptr) {
        dvk_mem_dealloc(&copy);
        return nullptr;
    }
    for (long i = 0; i < dvk_array_getCount(ctx->items); i++) {
        dvk_ucs2_Char* text = dvk_ucs2_createCopy(static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(ctx->items, i)));
        if (text == nullptr || dvk_array_addItem(copy->items, text) == nullptr) {
            dvk_ucs2_destroy(&text);
            freeContext(&copy);
            return nullptr;
        }
    }
    return copy;
}

const dvk_gen_vcm_Descriptor selectItem = {
    {"vcm_selectItem", selectItemInit, selectItemGetPrompt, selectItemGetMenuReadoutPrompt, selectItemGetConstraints,
     nullptr, selectItemHandleResult, nullptr, selectItemCopy, selectItemDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& selectItemVtable = selectItem.vtable;

const dvk_vcm_Etable selectItemEtable[] = {
    {DVK_UI_EVENT_SELECT, selectItemEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

// One more-options entry at the end of every page; false when memory is short.
bool insertMoreOptions(dvk_vcm_Session* vcms, SelectItemContext* ctx)
{
    for (int32_t page = 0; page < ctx->pageCount; page++) {
        dvk_ucs2_Char* more = dvk_string_getString(dvk_vcm_stringTable(vcms), SELECT_MORE_OPTIONS);
        const long at = page + 1 < ctx->pageCount ? page * ctx->perPage + ctx->perPage - 1
                                                  : dvk_array_getCount(ctx->items);
        if (more == nullptr || dvk_array_insertItem(ctx->items, at, more) == nullptr) {
            dvk_ucs2_destroy(&more);
            return false;
        }
    }
    return true;
}

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSelectItem(dvk_vcm_Session* vcms, int32_t screenId, int32_t titleStringId,
                                          int32_t promptId, dvk_array* items, dvk_constraints_Constraint* constraint,
                                          int32_t valueSlot)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, constraint != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, titleStringId >= 0 && titleStringId < DVK_STR_MAX);
    DVK_GEN_VCM_ASSERT(kUnit, promptId == -1 || (promptId >= 0 && promptId < 447));
    if (items == nullptr)
        return nullptr;
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &selectItemVtable, selectItemEtable);
    auto* ctx = vcm != nullptr ? static_cast<SelectItemContext*>(dvk_mem_alloc(sizeof(SelectItemContext)))
                               : nullptr;
    if (ctx == nullptr) {
        freeItems(&items);
        if (vcm != nullptr)
            dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    const auto count = static_cast<int32_t>(dvk_array_getCount(items));
    const int32_t perPage = dvk_settings_getMaxSelectItemsPerPage();
    DVK_GEN_VCM_ASSERT(kUnit, perPage >= 2);
    *ctx = {screenId, titleStringId, promptId, items, {constraint, nullptr, nullptr}, 2, valueSlot, perPage, 0,
            count > perPage ? (count - 1) / (perPage - 1) + 1 : 1};
    vcm->context = ctx;
    if (ctx->pageCount > 1) {
        ctx->constraints[1] = &nextCmd_constraint;
        ctx->constraintCount = 3;
        if (!insertMoreOptions(vcms, ctx)) {
            dvk_vcm_destroy(vcms, &vcm);
            return nullptr;
        }
    }
    return vcm;
}
