#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_requests.h"
#include "sdk/common/dvk_settings.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_array.h"

const dvk_gen_vcm_Descriptor* dvk_gen_vcm_descriptor(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_current(vcms);
    DVK_ASSERT(vcm != DVK_NULL);
    // The operation table is the descriptor's first member.
    return reinterpret_cast<const dvk_gen_vcm_Descriptor*>(vcm->vtable);
}

int32_t dvk_gen_vcm_featureOn(int32_t feature)
{
    return feature == 68 ? 1 : dvk_settings_isFeatureEnabled(feature) == 1 ? 1 : 0;
}

int dvk_gen_vcm_screenInit(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_Descriptor* d = dvk_gen_vcm_descriptor(vcms);
    const dvk_gen_vcm_Screen* s = d->screen;
    DVK_GEN_VCM_ASSERT(d->unit, s != DVK_NULL);
    int32_t body = s->bodyOrImage;
    if (s->feature >= 0 && dvk_gen_vcm_featureOn(s->feature) == 1)
        body = s->featureBody;
    switch (s->kind) {
    case DVK_GEN_SCREEN_TEXT:
        return dvk_vcm_ui_displayText(vcms, s->screen, s->title, body, s->softkeyIds, s->softkeyEvents,
                                      s->displayTime);
    case DVK_GEN_SCREEN_BITMAP:
        return dvk_vcm_ui_displayBitmap(vcms, s->screen, s->title, body, s->softkeyIds, s->softkeyEvents,
                                        s->displayTime);
    default:
        DVK_GEN_VCM_ASSERT(d->unit, s->kind == DVK_GEN_SCREEN_TEXT || s->kind == DVK_GEN_SCREEN_BITMAP);
        return 1;
    }
}

void dvk_gen_vcm_addPrompts(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, const dvk_gen_vcm_PromptItem* items,
                            int32_t state)
{
    for (const dvk_gen_vcm_PromptItem* item = items; item->kind != DVK_GEN_PROMPT_END; item++) {
        if ((item->when == DVK_GEN_WHEN_FIRST && state != 0) || (item->when == DVK_GEN_WHEN_RETRY && state == 0))
            continue;
        switch (item->kind) {
        case DVK_GEN_PROMPT_RECORDED:
            dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), item->id, item->level);
            break;
        case DVK_GEN_PROMPT_STRING:
            dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), item->id, item->level);
            break;
        case DVK_GEN_PROMPT_EARCON:
            dvk_vcm_prompt_addEarcon(prompts, item->id);
            break;
        default:
            break;
        }
    }
}

int dvk_gen_vcm_scriptGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const dvk_gen_vcm_Descriptor* d = dvk_gen_vcm_descriptor(vcms);
    DVK_GEN_VCM_ASSERT(d->unit, prompts != DVK_NULL);
    DVK_GEN_VCM_ASSERT(d->unit, d->prompts != DVK_NULL);
    dvk_gen_vcm_addPrompts(vcms, prompts, d->prompts, dvk_vcm_current(vcms)->state);
    return dvk_prompt_checkErrorFlag(prompts);
}

int dvk_gen_vcm_postEvent(dvk_ui_Event event, int32_t index, dvk_msg_Message** message,
                          dvk_msg_Address* recipient)
{
    *message = dvk_ce_newHandleEventMsg(event, index);
    *recipient = dvk_msg_getDvkAddr();
    return *message == nullptr ? 1 : 0;
}

int dvk_gen_vcm_postContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                 dvk_msg_Address)
{
    const dvk_gen_vcm_Descriptor* d = dvk_gen_vcm_descriptor(vcms);
    DVK_GEN_VCM_ASSERT(d->unit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(d->unit, recipient != DVK_NULL);
    if (d->continuation.event == DVK_UI_EVENT_NONE)
        return 0;
    return dvk_gen_vcm_postEvent(d->continuation.event, d->continuation.index, message, recipient);
}

int dvk_gen_vcm_replaceStack(dvk_vcm_Session* vcms, dvk_vcm_Module* module, bool save)
{
    dvk_vcm_clearStack(vcms);
    return save ? dvk_vcm_pushAndSave(vcms, module) : dvk_vcm_push(vcms, module);
}

void dvk_gen_vcm_pagerInit(dvk_gen_vcm_Pager* pager, int32_t itemCount, int32_t perPage)
{
    // A page must hold an item besides more-options.
    DVK_ASSERT(perPage >= 2);
    DVK_ASSERT(itemCount >= 0);
    pager->itemCount = itemCount;
    pager->perPage = perPage;
    pager->perPageLessOne = perPage - 1;
    pager->page = 0;
    pager->pageCount = itemCount > perPage ? (itemCount - 1) / (perPage - 1) + 1 : 1;
}

namespace {

// Items on the current page, more-options not counted.
int32_t itemsOnPage(const dvk_gen_vcm_Pager* pager)
{
    if (pager->pageCount == 1)
        return pager->itemCount;
    const int32_t first = pager->page * pager->perPageLessOne;
    const int32_t left = pager->itemCount - first;
    return left < pager->perPageLessOne ? left : pager->perPageLessOne;
}

}  // namespace

int32_t dvk_gen_vcm_pagerEntries(const dvk_gen_vcm_Pager* pager)
{
    return itemsOnPage(pager) + (pager->pageCount > 1 ? 1 : 0);
}

int32_t dvk_gen_vcm_pagerItemAt(const dvk_gen_vcm_Pager* pager, int32_t index)
{
    const int32_t shown = itemsOnPage(pager);
    if (index >= 0 && index < shown)
        return pager->page * (pager->pageCount > 1 ? pager->perPageLessOne : 0) + index;
    if (pager->pageCount > 1 && index == shown)
        return DVK_GEN_PAGE_MORE;
    return DVK_GEN_PAGE_NONE;
}

void dvk_gen_vcm_pagerTurn(dvk_gen_vcm_Pager* pager)
{
    pager->page = pager->page + 1 < pager->pageCount ? pager->page + 1 : 0;
}

const dvk_gen_vcm_GateRow* dvk_gen_vcm_forGate(dvk_vcm_Session* vcms, const dvk_gen_vcm_GateRow* rows)
{
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    const dvk_gen_vcm_GateRow* row = rows;
    for (; row->gateCmd != 0; row++)
        if (row->gateCmd == gate)
            return row;
    return row;
}

int dvk_gen_vcm_yesNoGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                          int32_t index)
{
    const dvk_gen_vcm_Descriptor* d = dvk_gen_vcm_descriptor(vcms);
    DVK_GEN_VCM_ASSERT(d->unit, prompts != DVK_NULL);
    if (index != 0 && index != 1)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms),
                               index == 0 ? DVK_GEN_STR_PHRASE_YES : DVK_GEN_STR_PHRASE_NO, 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int dvk_gen_vcm_yesNoGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    static dvk_constraints_Constraint* const yesNo[] = {&yesno_constraint, nullptr};
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, constraints != DVK_NULL);
    *constraints = const_cast<dvk_constraints_Constraint**>(yesNo);
    return 0;
}

int dvk_gen_vcm_yesNoHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, message != DVK_NULL);
    int32_t item = 1;
    if (nbest != nullptr && dvk_nbest_getCount(nbest) > 0) {
        const dvk_ucs2_Char* answer = dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_YESNO);
        if (answer != nullptr && dvk_string_compareString(dvk_vcm_stringTable(vcms), DVK_GEN_STR_YES, answer) == 0)
            item = 0;
    } else if (dvk_vcm_current(vcms)->state < 2) {
        dvk_nbest_destroy(&nbest);
        return 0;
    }
    dvk_nbest_destroy(&nbest);
    return dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, item, message);
}

namespace {

enum : int32_t { RADIO_DISPLAY_TIME = 30000 };

const dvk_gen_vcm_Radio* radio(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_Descriptor* d = dvk_gen_vcm_descriptor(vcms);
    DVK_GEN_VCM_ASSERT(d->unit, d->radio != DVK_NULL);
    return d->radio;
}

}  // namespace

int dvk_gen_vcm_radioInit(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_Radio* r = radio(vcms);
    int32_t ids[8];
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, r->count > 0 && r->count <= 8);
    const int32_t stored = r->get();
    int32_t selected = 0;
    for (int32_t i = 0; i < r->count; i++) {
        ids[i] = r->items[i].stringId;
        if (r->items[i].value == stored)
            selected = i;
    }
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayRadioButton(vcms, r->screen, r->title, r->body, ids, r->count, selected, softkeys,
                                         events, RADIO_DISPLAY_TIME);
}

int dvk_gen_vcm_radioGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const dvk_gen_vcm_Radio* r = radio(vcms);
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, prompts != DVK_NULL);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), r->title, 1);
    if (r->body != DVK_STR_NULL)
        dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), r->body, 0);
    return dvk_prompt_checkErrorFlag(prompts);
}

int dvk_gen_vcm_radioGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                          int32_t index)
{
    const dvk_gen_vcm_Radio* r = radio(vcms);
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, prompts != DVK_NULL);
    if (index < 0 || index >= r->count)
        return 0;
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), r->items[index].stringId, 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int dvk_gen_vcm_radioEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message**)
{
    const dvk_gen_vcm_Radio* r = radio(vcms);
    if (index < 0 || index >= r->count)
        return 0;
    r->set(r->items[index].value);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newSettingsComplete(vcms, r->completeScreen, r->completeString, 2));
}

bool dvk_gen_vcm_has(dvk_nbest_List* list, int32_t index, int32_t slot)
{
    return dvk_nbest_getStr(list, index, slot) != nullptr;
}

int dvk_gen_vcm_laterHoldingFilter(dvk_nbest_List* list, int32_t index, void* slotSet)
{
    const auto* set = static_cast<const dvk_gen_vcm_SlotSet*>(slotSet);
    if (index == 0)
        return 0;
    for (int32_t i = 0; i < set->count; i++)
        if (dvk_gen_vcm_has(list, index, set->slots[i]))
            return 1;
    return 0;
}

int dvk_gen_vcm_takeEntry(dvk_nbest_List* own, dvk_nbest_List* list, int32_t index)
{
    // The suite's word-class slot ids lie below this.
    const int32_t slotLimit = 64;
    for (int32_t slot = 0; slot < slotLimit; slot++)
        if (dvk_gen_vcm_has(list, index, slot) || dvk_nbest_getWordClass(list, index, slot) != nullptr)
            dvk_nbest_removeValue(own, 0, slot);
    return dvk_nbest_update(own, 0, list, index);
}

const dvk_gen_vcm_GateRow dvk_gen_vcm_locationChoiceIds[] = {
    {1, {539, 167, 226, 0}},  {3, {629, 171, 226, 0}},  {4, {627, 170, 226, 0}},  {5, {623, 168, 226, 0}},
    {6, {625, 169, 226, 0}},  {7, {631, 172, 226, 0}},  {9, {645, 175, 226, 0}},  {10, {635, 174, 226, 0}},
    {11, {637, 175, 226, 0}}, {12, {633, 173, 226, 0}}, {13, {619, 398, 225, 0}}, {14, {621, 399, 226, 0}},
    {0, {0, 0, 0, 0}},
};

dvk_ui_ScreenId dvk_gen_vcm_locationChoiceScreen(dvk_vcm_Session* vcms, bool single)
{
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    const int32_t screen = gate == 1 ? 10 : gate == 13 ? 81 : 22;
    return static_cast<dvk_ui_ScreenId>(screen + (single ? 1 : 0));
}

dvk_ucs2_Char** dvk_gen_vcm_locationItems(const dvk_pbook_Entry* entry, int32_t n)
{
    if (n <= 0)
        return nullptr;
    auto** items = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * static_cast<size_t>(n)));
    if (items == nullptr)
        return nullptr;
    static const dvk_ucs2_Char kOpen[] = {u' ', u'(', 0};
    static const dvk_ucs2_Char kClose[] = {u')', 0};
    bool made = true;
    for (int32_t i = 0; i < n; i++) {
        dvk_ucs2_Char* formatted = made ? dvk_pbook_formatPhoneNumber(dvk_pbook_getPhoneNumberString(entry, i))
                                        : nullptr;
        const dvk_ucs2_Char* label = dvk_pbook_getLocationString(entry, i);
        items[i] = formatted != nullptr && label != nullptr
                       ? dvk_ucs2_createConcat(label, kOpen, formatted, kClose, nullptr)
                       : nullptr;
        dvk_ucs2_destroy(&formatted);
        made = made && items[i] != nullptr;
    }
    if (!made) {
        for (int32_t i = 0; i < n; i++)
            dvk_ucs2_destroy(&items[i]);
        dvk_mem_dealloc(&items);
    }
    return items;
}

dvk_nbest_List* dvk_gen_vcm_locationResult(dvk_constraints_Constraint* constraint, const dvk_ucs2_Char* label)
{
    dvk_nbest_List* list = dvk_nbest_create(constraint->id, constraint->name, 100);
    if (list == nullptr || label == nullptr || dvk_nbest_addEntry(list) != 0 ||
        dvk_nbest_addValueNoIds(list, 0, DVK_GEN_SLOT_LOCATION, constraint->name, label, label) != 0)
        dvk_nbest_destroy(&list);
    return list;
}

int32_t* dvk_gen_vcm_newWord(int32_t value)
{
    auto* word = static_cast<int32_t*>(dvk_mem_alloc(sizeof(int32_t)));
    if (word != nullptr)
        *word = value;
    return word;
}

void* dvk_gen_vcm_copyWord(void* context)
{
    DVK_ASSERT(context != DVK_NULL);
    return dvk_gen_vcm_newWord(*static_cast<int32_t*>(context));
}

int32_t* dvk_gen_vcm_word(dvk_vcm_Session* vcms)
{
    auto* word = static_cast<int32_t*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, word != DVK_NULL);
    return word;
}

const int32_t dvk_gen_vcm_announcementKeys[3] = {500, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
const dvk_ui_Event dvk_gen_vcm_announcementEvents[3] = {DVK_UI_EVENT_OK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};

int dvk_gen_vcm_announcementOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    return dvk_vcm_defaultEventExitHandler(vcms, DVK_UI_EVENT_EXIT, index, message);
}

int dvk_gen_vcm_announcementBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index,
                                        dvk_msg_Message** message)
{
    return dvk_vcm_defaultEventRestartHandler(vcms, DVK_UI_EVENT_RESTART, index, message);
}

namespace {

void destroyNames(dvk_array** names)
{
    if (*names == nullptr)
        return;
    for (long i = 0; i < dvk_array_getCount(*names); i++) {
        auto* name = static_cast<dvk_ucs2_Char*>(dvk_array_getItem(*names, i));
        dvk_ucs2_destroy(&name);
    }
    dvk_array_destroy(names);
}

// Every item's name in the provider's order; NULL on any failure.
dvk_array* allNames(const dvk_gen_vcm_ListCommand* command)
{
    dvk_array* names = dvk_array_create();
    for (const void* item = command->first(); names != nullptr && item != nullptr; item = command->next(item)) {
        dvk_ucs2_Char* name = command->name(item);
        if (name == nullptr || dvk_array_addItem(names, name) == nullptr) {
            dvk_ucs2_destroy(&name);
            destroyNames(&names);
        }
    }
    return names;
}

}  // namespace

int dvk_gen_vcm_listCompletion(dvk_vcm_Session* vcms, const dvk_gen_vcm_ListCommand* command, int32_t slot,
                               dvk_nbest_List* nbest)
{
    int32_t* listShown = dvk_gen_vcm_word(vcms);
    const dvk_ucs2_Char* said = nbest != nullptr && dvk_nbest_getCount(nbest) > 0 ? dvk_nbest_getStr(nbest, 0, slot)
                                                                                  : nullptr;
    if (said != nullptr) {
        const void* item = command->find(said);
        return item != nullptr ? command->act(vcms, item, said, *listShown) : 1;
    }
    dvk_array* names = allNames(command);
    if (names == nullptr)
        return 1;
    *listShown = 1;
    if (dvk_array_getCount(names) == 0) {
        destroyNames(&names);
        return dvk_vcm_push(vcms, command->empty(vcms));
    }
    // The item selection takes the texts over, even when it cannot be made.
    return dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newSelectItem(vcms, command->screen, command->title, command->prompt,
                                                               names, command->constraint, slot));
}

void dvk_gen_vcm_destroyTexts(dvk_array** texts)
{
    destroyNames(texts);
}

int dvk_gen_vcm_completeResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    const int result = dvk_vcm_completion(vcms, nbest, 0, message);
    dvk_nbest_destroy(&nbest);
    return result;
}

dvk_vcm_Module* dvk_gen_vcm_newListCommand(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                                           const dvk_vcm_Etable* etable)
{
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, vtable, etable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = dvk_gen_vcm_newWord(0);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
