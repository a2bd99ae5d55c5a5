// "vcm_confirm_listen": a command's result was uncertain; the candidates are
// offered one at a time (yes or no) and shown as a touch list. The accepted
// one completes the command below, and the session remembers what the user
// confirmed so that later states do not say it again.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_confirm_listen/dvk_gen_vcm_confirm_listen.cpp";

enum : int32_t {
    CONFIRM_MAX_CANDIDATES = 3,
    CONFIRM_PRM_COUNT_BASE = 107,  // 108 for one candidate ... 117 for ten
    CONFIRM_PRM_COUNT_MAX = 10,
    CONFIRM_PRM_DID_YOU_SAY = 385,
    CONFIRM_PRM_POSTFIX_QUESTION = 94,
    CONFIRM_PRM_EXTENSION = 181,
    CONFIRM_PRM_VOICEMAIL = 422,
    CONFIRM_EARCON = 2,
    CONFIRM_DISPLAY_TIME = 10000,
    CONFIRM_TYPE_NAME = 1,
    CONFIRM_TYPE_NAME_AND_LOCATION = 2,
    CONFIRM_TYPE_NUMBER = 3,
};

// Per gate command: title, question prompt, postfix question string, screen.
const dvk_gen_vcm_GateRow kGateIds[] = {
    {1, {540, 90, 458, 9}},    {3, {630, 100, 466, 21}},  {4, {628, 99, 465, 21}},   {5, {624, 97, 463, 21}},
    {6, {626, 98, 464, 21}},   {7, {632, 101, 467, 21}},  {9, {646, 105, 471, 21}},  {10, {636, 103, 469, 21}},
    {11, {638, 104, 470, 21}}, {12, {634, 102, 468, 21}}, {13, {620, 95, 461, 80}},  {14, {622, 96, 462, 21}},
    {15, {589, 92, 460, 33}},  {16, {549, 91, 459, 33}},  {0, {0, 0, 0, 0}},
};

struct ConfirmContext {
    dvk_ui_ScreenId screen;
    int32_t current;
    dvk_nbest_List* candidates;
    int32_t count;
    int32_t title;
    int32_t question;
    int32_t postfixQuestion;
    dvk_constraints_Constraint* constraints[2];
};

ConfirmContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<ConfirmContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

void freeContext(ConfirmContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_nbest_destroy(&(*ctx)->candidates);
    dvk_mem_dealloc(ctx);
}

// A context holding its own copy of the candidates.
ConfirmContext* copyOf(const ConfirmContext& from)
{
    auto* ctx = static_cast<ConfirmContext*>(dvk_mem_alloc(sizeof(ConfirmContext)));
    if (ctx == nullptr)
        return nullptr;
    *ctx = from;
    ctx->candidates = from.candidates != nullptr ? dvk_nbest_createCopy(from.candidates) : nullptr;
    if (from.candidates != nullptr && ctx->candidates == nullptr)
        freeContext(&ctx);
    return ctx;
}

bool has(dvk_nbest_List* list, int32_t c, int32_t slot)
{
    return dvk_gen_vcm_has(list, c, slot);
}

// The candidate as the list shows it; NULL when memory is short.
dvk_ucs2_Char* candidateText(dvk_nbest_List* list, int32_t c)
{
    static const dvk_ucs2_Char kSpace[] = {u' ', 0};
    static const dvk_ucs2_Char kExtensionMark[] = {u'x', 0};
    const dvk_ucs2_Char* name = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_NAME);
    const dvk_ucs2_Char* location = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_LOCATION);
    const dvk_ucs2_Char* digits = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_DIGITS);
    if (name != nullptr && location != nullptr)
        return dvk_ucs2_createConcat(name, kSpace, location, nullptr);
    if (name != nullptr)
        return dvk_ucs2_createCopy(name);
    if (has(list, c, DVK_GEN_SLOT_GROUP))
        return dvk_ucs2_createCopy(dvk_nbest_getStr(list, c, DVK_GEN_SLOT_GROUP));
    if (digits != nullptr && has(list, c, DVK_GEN_SLOT_EXTENSION))
        return dvk_ucs2_createConcat(kExtensionMark, digits, nullptr);
    if (digits != nullptr)
        return dvk_pbook_formatPhoneNumber(digits);
    static const dvk_ucs2_Char kNothing[] = {0};
    const dvk_ucs2_Char* voicemail = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_VOICEMAIL);
    return dvk_ucs2_createCopy(voicemail != nullptr ? voicemail : kNothing);
}

int confirmListenInit(dvk_vcm_Session* vcms)
{
    const ConfirmContext* ctx = context(vcms);
    auto** items =
        static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * static_cast<size_t>(ctx->count)));
    if (items == nullptr)
        return 1;
    for (int32_t c = 0; c < ctx->count; c++)
        items[c] = candidateText(ctx->candidates, c);
    static const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    static const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    // The screen takes the texts over, and answers 1 for a missing one.
    return dvk_vcm_ui_displayConfirmStr(vcms, ctx->screen, ctx->title, nullptr, DVK_GEN_STR_PANEL_BAR, items,
                                        ctx->count, ctx->current, phrases, 2, softkeys, events, 0,
                                        CONFIRM_DISPLAY_TIME);
}

// What candidate c holds, said at the level given.
void addCandidate(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_nbest_List* list, int32_t c, int32_t level)
{
    dvk_prompt_Table* promptTable = dvk_vcm_promptTable(vcms);
    for (int32_t slot : {DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_GROUP}) {
        const uint32_t* ids = nullptr;
        const int32_t count = has(list, c, slot) ? dvk_nbest_getWordIds(list, c, slot, &ids) : 0;
        if (count > 0)
            dvk_vcm_prompt_addWords(prompts, reinterpret_cast<const int32_t*>(ids), count, level);
    }
    const dvk_ucs2_Char* location = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_LOCATION);
    if (location != nullptr)
        dvk_vcm_prompt_addLocation(prompts, promptTable, dvk_vcm_stringTable(vcms), location, level);
    if (has(list, c, DVK_GEN_SLOT_EXTENSION))
        dvk_vcm_prompt_addPrompt(prompts, promptTable, CONFIRM_PRM_EXTENSION, level);
    if (has(list, c, DVK_GEN_SLOT_VOICEMAIL))
        dvk_vcm_prompt_addPrompt(prompts, promptTable, CONFIRM_PRM_VOICEMAIL, level);
    const dvk_ucs2_Char* digits = dvk_nbest_getStr(list, c, DVK_GEN_SLOT_DIGITS);
    if (digits != nullptr)
        dvk_vcm_prompt_addDigits(prompts, promptTable, digits, level);
}

int confirmListenGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    const ConfirmContext* ctx = context(vcms);
    const bool postfix = dvk_settings_shouldUsePostfixConfirmGrammar() != 0;
    if (ctx->current == 0) {
        if (ctx->count >= 1 && ctx->count <= CONFIRM_PRM_COUNT_MAX)
            dvk_vcm_prompt_addPrompt(prompts, promptTable, CONFIRM_PRM_COUNT_BASE + ctx->count, 3);
        else
            dvk_vcm_prompt_addDigitsFromLong(prompts, ctx->count, 3);
        dvk_vcm_prompt_addPrompt(prompts, promptTable, CONFIRM_PRM_DID_YOU_SAY, 3);
    }
    if (postfix)
        dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), ctx->postfixQuestion, 3);
    else
        dvk_vcm_prompt_addPrompt(prompts, promptTable, ctx->question, 2);
    addCandidate(vcms, prompts, ctx->candidates, ctx->current, 3);
    if (postfix)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, ctx->question, 2);
    dvk_vcm_prompt_addEarcon(prompts, CONFIRM_EARCON);
    return 0;
}

int confirmListenGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                      int32_t index)
{
    const ConfirmContext* ctx = context(vcms);
    if (index < 0 || index >= ctx->count)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    addCandidate(vcms, prompts, ctx->candidates, index, 1);
    return 0;
}

int confirmListenGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    ConfirmContext* ctx = context(vcms);
    ctx->constraints[0] = &yesno_constraint;
    ctx->constraints[1] = nullptr;
    *constraints = ctx->constraints;
    return 0;
}

// What accepting candidate c confirms.
int32_t confirmTypeOf(dvk_nbest_List* list, int32_t c)
{
    if (has(list, c, DVK_GEN_SLOT_NAME) || has(list, c, DVK_GEN_SLOT_GROUP))
        return has(list, c, DVK_GEN_SLOT_LOCATION) ? CONFIRM_TYPE_NAME_AND_LOCATION : CONFIRM_TYPE_NAME;
    return has(list, c, DVK_GEN_SLOT_VOICEMAIL) ? CONFIRM_TYPE_NAME_AND_LOCATION : CONFIRM_TYPE_NUMBER;
}

// Candidate `index` (touched, or the current one said yes to) completes
// the command below.
int confirmListenEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    ConfirmContext* ctx = context(vcms);
    if (index < 0 || index >= ctx->count)
        return 0;
    dvk_vcm_setConfirmType(vcms, confirmTypeOf(ctx->candidates, index));
    // The list outlives this state: popping frees the context.
    dvk_nbest_List* list = ctx->candidates;
    ctx->candidates = nullptr;
    dvk_vcm_pop(vcms);
    // Alone on the stack (never so in a session) there is nothing to complete.
    const int result = dvk_vcm_done(vcms) != 0 ? 1 : dvk_vcm_completion(vcms, list, index, message);
    dvk_nbest_destroy(&list);
    return result;
}

int confirmListenEventYesHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message** message)
{
    return confirmListenEventSelectHandler(vcms, DVK_UI_EVENT_SELECT, context(vcms)->current, message);
}

// The next candidate is asked about; after the last, there are no more.
int confirmListenEventNoHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    ConfirmContext* ctx = context(vcms);
    ctx->current++;
    if (ctx->current < ctx->count)
        return 0;
    return dvk_vcm_push(vcms, dvk_gen_vcm_newNoMoreResults(vcms));
}

int confirmListenHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    const bool yes = list != nullptr && dvk_nbest_getCount(list) > 0 &&
                     dvk_nbest_getStr(list, 0, DVK_GEN_SLOT_YESNO) != nullptr &&
                     dvk_string_compareString(dvk_vcm_stringTable(vcms), DVK_GEN_STR_YES,
                                              dvk_nbest_getStr(list, 0, DVK_GEN_SLOT_YESNO)) == 0;
    dvk_nbest_destroy(&list);
    return yes ? confirmListenEventYesHandler(vcms, DVK_UI_EVENT_YES, 0, message)
               : confirmListenEventNoHandler(vcms, DVK_UI_EVENT_NO, 0, message);
}

void* confirmListenCopy(void* context)
{
    DVK_GEN_VCM_ASSERT(kUnit, context != DVK_NULL);
    return copyOf(*static_cast<const ConfirmContext*>(context));
}

void confirmListenDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<ConfirmContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_vcm_Vtable confirmListenVtable = {
    "vcm_confirm_listen", confirmListenInit, confirmListenGetPrompt, confirmListenGetMenuReadoutPrompt,
    confirmListenGetConstraints, nullptr, confirmListenHandleResult, nullptr, confirmListenCopy,
    confirmListenDestructor,
};

const dvk_vcm_Etable confirmListenEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_SELECT, confirmListenEventSelectHandler},
    {DVK_UI_EVENT_YES, confirmListenEventYesHandler},
    {DVK_UI_EVENT_NO, confirmListenEventNoHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

// The row of the session's gate command; a gate command outside the table
// stops the process.
const dvk_gen_vcm_GateRow* gateRow(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, kGateIds);
    DVK_GEN_VCM_ASSERT(kUnit, row->gateCmd != 0);
    return row;
}

void setResourceIds(dvk_vcm_Session* vcms, ConfirmContext* ctx)
{
    const dvk_gen_vcm_GateRow* row = gateRow(vcms);
    ctx->title = row->values[0];
    ctx->question = dvk_settings_shouldUsePostfixConfirmGrammar() != 0 ? CONFIRM_PRM_POSTFIX_QUESTION : row->values[1];
    ctx->postfixQuestion = row->values[2];
}

void setScreenId(dvk_vcm_Session* vcms, ConfirmContext* ctx)
{
    ctx->screen = static_cast<dvk_ui_ScreenId>(gateRow(vcms)->values[3]);
}

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newConfirmListening(dvk_vcm_Session* vcms, dvk_nbest_List* list)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, list != DVK_NULL);
    dvk_nbest_chop(list, CONFIRM_MAX_CANDIDATES);
    ConfirmContext given{};
    setResourceIds(vcms, &given);
    setScreenId(vcms, &given);
    given.candidates = list;
    given.count = dvk_nbest_getCount(list);
    ConfirmContext* ctx = copyOf(given);
    if (ctx == nullptr)
        return nullptr;
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &confirmListenVtable, confirmListenEtable);
    if (module == nullptr) {
        freeContext(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
