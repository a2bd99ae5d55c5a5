// "vcm_nameornumber": asks for a name or number when a command carried
// neither (or named no contact), listening to what the command can take, and
// hands the answer to the command below it.
#include "vcmbase_gen/common/dvk_gen_vcm_callsend.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_nameornumber/dvk_gen_vcm_nameornumber.cpp";

enum : int32_t {
    ASK_GATE_CALL = 1,
    ASK_GATE_EMAIL = 13,
    ASK_CONSTRAINT_ROOM = 6,  // five and the end
    ASK_STR_EMPTY_TAIL = 214,
    ASK_PRM_NAME = 395,
    ASK_PRM_NAME_OR_NUMBER = 396,
    ASK_PRM_NUMBER = 397,
    ASK_EARCON = 1,
    ASK_NOMATCH_FEATURE = 63,
    ASK_MAX_RESULTS = 3,
    ASK_NO_STRING = -1,
};

struct AskContext {
    dvk_constraints_Constraint* constraints[ASK_CONSTRAINT_ROOM];
};

AskContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<AskContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

bool on(int32_t feature)
{
    return dvk_gen_vcm_featureOn(feature) == 1;
}

bool phonebookHasEntry()
{
    return dvk_pbook_getFirstEntry() != 0;
}

// The call command with neither feature 0 nor 2 takes names only.
bool callNamesOnly()
{
    return !on(0) && !on(2);
}

bool isSend(int32_t gate)
{
    return (gate >= 2 && gate <= 7) || (gate >= 9 && gate <= 12) || gate == 14;
}

int nameOrNumberGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    AskContext* ctx = context(vcms);
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    int32_t n = 0;
    if (gate == ASK_GATE_CALL) {
        if (on(0) || on(1))
            ctx->constraints[n++] = &namesLocs_constraint;
        if (on(0) || on(2))
            ctx->constraints[n++] = &digits_constraint;
        if (on(3))
            ctx->constraints[n++] = &extension_constraint;
        ctx->constraints[n++] = &voiceMailGen_constraint;
    } else if (isSend(gate)) {
        ctx->constraints[n++] = &namesLocs_constraint;
        ctx->constraints[n++] = &digits_constraint;
        ctx->constraints[n++] = &groups_constraint;
    } else if (gate == ASK_GATE_EMAIL) {
        ctx->constraints[n++] = &namesLocs_constraint;
    } else if (gate == 15 || gate == 16) {
        ctx->constraints[n++] = &names_constraint;
    }
    ctx->constraints[n] = nullptr;
    *constraints = ctx->constraints;
    return 0;
}

// Per gate command: screen, title, body, the lead when the phonebook is
// empty (ASK_NO_STRING: none). The call's body depends on features.
const dvk_gen_vcm_GateRow kScreens[] = {
    {1, {8, 539, 165, 166}},
    {3, {20, 629, 236, 237}},
    {4, {20, 627, 236, 237}},
    {5, {20, 623, 236, 237}},
    {6, {20, 625, 236, 237}},
    {7, {20, 631, 236, 237}},
    {9, {20, 645, 236, 237}},
    {10, {20, 635, 236, 237}},
    {11, {20, 637, 236, 237}},
    {12, {20, 633, 236, 237}},
    {14, {20, 621, 236, 237}},
    {13, {79, 619, 235, 235}},
    {15, {32, 588, 194, ASK_NO_STRING}},
    {16, {32, 548, 190, ASK_NO_STRING}},
    {0, {0, 0, 0, 0}},
};

int32_t callBody()
{
    if (callNamesOnly())
        return 164;
    return on(0) || on(1) ? 165 : 166;
}

int nameOrNumberInit(dvk_vcm_Session* vcms)
{
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    const bool hasEntry = phonebookHasEntry();
    if (gate == ASK_GATE_CALL && callNamesOnly() && !hasEntry) {
        // Nothing could be said: no contacts to name, no digits allowed.
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        if (dvk_vcm_push(vcms, dvk_gen_vcm_newNoContactsAvailable(vcms)) != 0)
            return 1;
        return dvk_vcm_init(vcms);
    }
    const dvk_gen_vcm_GateRow* row = dvk_gen_vcm_forGate(vcms, kScreens);
    DVK_GEN_VCM_ASSERT(kUnit, row->gateCmd != 0);
    const int32_t body = gate == ASK_GATE_CALL ? callBody() : row->values[2];
    dvk_string_Table* strings = dvk_vcm_stringTable(vcms);
    dvk_ucs2_Char* text = nullptr;
    if (hasEntry || row->values[3] == ASK_NO_STRING) {
        text = dvk_string_getString(strings, body);
    } else {
        static const dvk_ucs2_Char kNewline[] = {u'\n', 0};
        text = dvk_vcm_concatStrings(vcms, kNewline, row->values[3], static_cast<int32_t>(ASK_STR_EMPTY_TAIL),
                                     static_cast<int32_t>(-1));
    }
    if (text == nullptr)
        return 1;
    static const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    static const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    const int result = dvk_vcm_ui_displayListenBodyStr(vcms, row->values[0], row->values[1], text, -1,
                                                       DVK_GEN_STR_PANEL_BAR, nullptr, 0, softkeys, events, 0,
                                                       DVK_GEN_NO_TIME);
    return result;
}

int32_t questionPrompt(int32_t gate)
{
    const int32_t forSends = phonebookHasEntry() ? ASK_PRM_NAME_OR_NUMBER : ASK_PRM_NUMBER;
    if (isSend(gate))
        return forSends;
    if (gate == ASK_GATE_EMAIL || gate == 15 || gate == 16)
        return ASK_PRM_NAME;
    if (gate == ASK_GATE_CALL) {
        if (callNamesOnly())
            return ASK_PRM_NAME;
        if (!on(0) && !on(1))
            return ASK_PRM_NUMBER;
        return forSends;
    }
    return 0;
}

int nameOrNumberGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    if (dvk_vcm_current(vcms)->state > 0)
        dvk_vcm_prompt_addPrompt(prompts, promptTable, DVK_GEN_PRM_RETRY, 2);
    dvk_vcm_prompt_addPrompt(prompts, promptTable, questionPrompt(dvk_vcm_getGateCmd(vcms)), 2);
    dvk_vcm_prompt_addEarcon(prompts, ASK_EARCON);
    return 0;
}

const dvk_gen_vcm_FilterRule kFilters[] = {
    {{DVK_GEN_SLOT_GROUP, DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_VOICEMAIL}, {{DVK_GEN_SLOT_DIGITS, 0, 0}, 1}},
    {{DVK_GEN_SLOT_DIGITS, 0, 0}, {{DVK_GEN_SLOT_NAME, DVK_GEN_SLOT_GROUP, DVK_GEN_SLOT_VOICEMAIL}, 3}},
    {{0, 0, 0}, {{0, 0, 0}, 0}},
};
// Voicemail asks as a name does.
const dvk_gen_vcm_ConfirmRule kConfirms[] = {
    {DVK_GEN_SLOT_NAME, dvk_vcm_needNameConfirmation},
    {DVK_GEN_SLOT_DIGITS, dvk_vcm_needNumberConfirmation},
    {DVK_GEN_SLOT_VOICEMAIL, dvk_vcm_needNameConfirmation},
    {DVK_GEN_SLOT_GROUP, dvk_vcm_needGroupConfirmation},
    {0, nullptr},
};
const dvk_gen_vcm_ResultRules kRules = {kFilters, kConfirms, ASK_MAX_RESULTS};

int nameOrNumberHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* list, dvk_msg_Message** message, int32_t)
{
    if (list == nullptr || dvk_nbest_getCount(list) == 0) {
        dvk_nbest_destroy(&list);
        if (dvk_vcm_current(vcms)->state < 2)
            return 0;
        return dvk_vcm_push(vcms, on(ASK_NOMATCH_FEATURE) ? dvk_gen_vcm_newNoMatchNonListening(vcms)
                                                          : dvk_gen_vcm_newNoMatchFound(vcms));
    }
    const bool confirm = dvk_gen_vcm_applyResultRules(list, &kRules);
    return dvk_gen_vcm_confirmOrComplete(vcms, list, confirm, message);
}

// The command below completes with the answer.
int nameOrNumberCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* list, int32_t index, dvk_msg_Message** message)
{
    dvk_vcm_pop(vcms);
    // Alone on the stack (never so in a session) there is nothing to complete.
    if (dvk_vcm_done(vcms) != 0)
        return 1;
    return dvk_vcm_completion(vcms, list, index, message);
}

void* nameOrNumberCopy(void* context)
{
    void* copy = dvk_mem_alloc(sizeof(AskContext));
    if (copy != nullptr)
        std::memcpy(copy, context, sizeof(AskContext));
    return copy;
}

const dvk_vcm_Vtable nameOrNumberVtable = {
    "vcm_nameornumber", nameOrNumberInit, nameOrNumberGetPrompt, nullptr, nameOrNumberGetConstraints, nullptr,
    nameOrNumberHandleResult, nameOrNumberCompletion, nameOrNumberCopy, dvk_vcm_defaultContextDestructor,
};

const dvk_vcm_Etable nameOrNumberEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNameOrNumber(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    auto* ctx = static_cast<AskContext*>(dvk_mem_alloc(sizeof(AskContext)));
    if (ctx == nullptr)
        return nullptr;
    std::memset(ctx, 0, sizeof *ctx);
    dvk_vcm_Module* module = dvk_vcm_newVCM(vcms, &nameOrNumberVtable, nameOrNumberEtable);
    if (module == nullptr) {
        dvk_mem_dealloc(&ctx);
        return nullptr;
    }
    module->context = ctx;
    return module;
}
