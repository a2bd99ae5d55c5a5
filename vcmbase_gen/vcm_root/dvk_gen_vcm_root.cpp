// "vcm_root": the command menu every voice command starts from. It lists
// the gate commands the configuration offers (filtered by features, driving
// mode, music and language, application availability), pages them, listens
// to their grammar and hands a recognised command to the module that
// carries it out.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_map.h"
#include "core/utils/dvk_ucs2.h"
#include "core/vre/dvk_vre.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_goto.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_root/dvk_gen_vcm_root.cpp";
WexLogger s_log("DvkGenVcmRoot");

enum : int32_t {
    ROOT_SCREEN = 4,
    ROOT_TITLE = 618,
    ROOT_MORE_DISPLAY = 360,  // the more-options entry as shown
    ROOT_MORE_SPOKEN = 32,    // and as said
    ROOT_SOFTKEY_TUTORIAL = 514,
    ROOT_SOFTKEY_SETTINGS = 509,
    ROOT_DISPLAY_TIME = 10000,
    ROOT_NO_MATCH_FEATURE = 63,  // the no-match state that does not listen
};

struct RootItem {
    dvk_constraints_Constraint* constraint;  // the gate's dynamic constraint
    int32_t displayId;
    int32_t vocabularyId;  // the text said for the command
    int32_t constraintId;
    int32_t gateCmdId;
};

struct RootContext {
    int32_t firstEntry;  // the splash screen has just said the prompt
    dvk_constraints_Constraint** constraints;  // null-ended
    int32_t constraintCount;                   // the null included
    RootItem* items;
    int32_t itemCount;
    dvk_gen_vcm_Pager pager;
};

RootContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<RootContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

// The module a gate command is carried out by; NULL for a command this
// menu cannot route.
typedef dvk_vcm_Module* (*CommandConstructor)(dvk_vcm_Session*);
CommandConstructor commandModule(int32_t gateCmdId)
{
    switch (gateCmdId) {
    case 1:
        return dvk_gen_vcm_newCallCmdVCM;
    case 3: case 4: case 5: case 6: case 7: case 9: case 10: case 11: case 12: case 13: case 14:
        return dvk_gen_vcm_newSendCmdVCM;
    case 15: case 16:
        return dvk_gen_vcm_newLookupCmd;
    case 17: case 18: case 21:
        return dvk_gen_vcm_newGotoCmd;
    case 19:
        return dvk_gen_vcm_newChangeModeCmd;
    case 20:
        return dvk_gen_vcm_newHelpMeWithCmd;
    case 22:
        return dvk_gen_vcm_newPlayPlaylistCmd;
    case 23:
        return dvk_gen_vcm_newPlayMusicCmd;
    case 24:
        return dvk_gen_vcm_newCheckCmd;
    case 31: case 32:
        return dvk_gen_vcm_newDrivingModeCmd;
    case 33:
        return dvk_gen_vcm_newEnableServiceCmd;
    default:
        return nullptr;
    }
}

bool routed(int32_t gateCmdId)
{
    return commandModule(gateCmdId) != nullptr || gateCmdId == 25 || gateCmdId == 26;
}

// The application a gate names by its spoken text exists and is enabled.
bool applicationAvailable(dvk_vcm_Session* vcms, int32_t vocabularyId)
{
    if (vocabularyId < 0)
        return false;
    dvk_ucs2_Char* name = dvk_string_getString(dvk_vcm_stringTable(vcms), vocabularyId);
    if (name == nullptr)
        return false;
    dvk_goto_Iterator app = dvk_goto_findAppByName(name);
    dvk_ucs2_destroy(&name);
    return app != nullptr && dvk_goto_isAppEnabled(app) != 0;
}

bool gateTaken(dvk_vcm_Session* vcms, int32_t effectiveId, int32_t feature, int32_t vocabularyId,
               int32_t gateCmdId)
{
    if (dvk_gen_vcm_featureOn(feature) != 1)
        return false;
    if (effectiveId == DVK_GEN_CONSTRAINT_DRIVING_ON && dvk_settings_getDrivingMode() == 0)
        return false;
    if (effectiveId == DVK_GEN_CONSTRAINT_DRIVING_OFF && dvk_settings_getDrivingMode() == 1)
        return false;
    if (effectiveId == DVK_GEN_CONSTRAINT_PLAY_PLAYLIST || effectiveId == DVK_GEN_CONSTRAINT_PLAY_MUSIC) {
        if (dvk_vcm_musicUpdatedSuccessfully(vcms) == 0)
            return false;
        // Exactly one of the two music commands: by the language's capability 2.
        int32_t code = 0, info = 0;
        const bool capable =
            dvk_vre_isLanguageSupported(dvk_settings_getCurrentLanguage(), 2, &code, &info) != 0;
        if (capable != (effectiveId == DVK_GEN_CONSTRAINT_PLAY_MUSIC))
            return false;
    }
    if (effectiveId == DVK_GEN_CONSTRAINT_TOP_LEVEL_GOTO || gateCmdId == 21)
        return applicationAvailable(vcms, vocabularyId);
    return true;
}

int comparePointers(const void* a, const void* b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

// Lists the taken gates and their grammar; false when memory is short.
bool buildGates(dvk_vcm_Session* vcms, RootContext* ctx)
{
    dvk_config_Manager* config = dvk_vcm_configManager(vcms);
    dvk_constraints_DynamicTable* table = dvk_vcm_dynamicConstraint(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, config != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, table != DVK_NULL);
    const int32_t gates = dvk_config_getGateCmdCount(config);
    dvk_map* listed = dvk_map_createPreallocated(comparePointers, gates);
    if (listed == nullptr)
        return false;
    int32_t count = 0;
    for (int32_t index = 0; index < gates; index++) {
        const int32_t gate = dvk_config_getGateCmd(config, index);
        const int32_t constraintId = dvk_config_getGateCmdConstraintId(config, gate);
        dvk_constraints_Constraint* constraint =
            constraintId < -1 ? dvk_constraints_getDynamicConstraint(table, constraintId) : nullptr;
        if (constraint == nullptr)
            break;
        int32_t displayId = 0, vocabularyId = 0, feature = 0, gateCmdId = 0;
        dvk_config_getGateCmdInfo(config, gate, &displayId, &vocabularyId, &feature, &gateCmdId);
        if (!routed(gateCmdId)) {
            // Nothing could carry it out: neither shown nor listened for.
            s_log.log(WexLogWarning, "%s: gate %d has command %d, which no module carries out", __func__, gate,
                      gateCmdId);
            continue;
        }
        const int32_t effectiveId = constraint->source != nullptr ? constraint->source->id : constraintId;
        if (!gateTaken(vcms, effectiveId, feature, vocabularyId, gateCmdId))
            continue;
        if (dvk_map_findItem(listed, constraint) == nullptr) {
            if (dvk_map_addItem(listed, constraint, constraint) == nullptr) {
                dvk_map_destroy(&listed);
                return false;
            }
            ctx->constraints[count++] = constraint;
        }
        if (displayId != DVK_STR_NULL)
            ctx->items[ctx->itemCount++] = {constraint, displayId, vocabularyId, constraintId, gateCmdId};
    }
    dvk_map_destroy(&listed);
    dvk_gen_vcm_pagerInit(&ctx->pager, ctx->itemCount, dvk_settings_getMaxRootCommandsPerPage());
    if (ctx->pager.pageCount > 1)
        ctx->constraints[count++] = &nextCmd_constraint;
    ctx->constraints[count++] = nullptr;
    ctx->constraintCount = count;
    return true;
}

int rootInit(dvk_vcm_Session* vcms)
{
    RootContext* ctx = context(vcms);
    const int32_t entries = dvk_gen_vcm_pagerEntries(&ctx->pager);
    if (entries == 0) {
        // Every gate hidden (or unshown): a command screen needs an entry, so
        // the menu only listens.
        s_log.log(WexLogWarning, "%s: no gate command to show", __func__);
        return 0;
    }
    auto* ids = static_cast<int32_t*>(dvk_mem_alloc(sizeof(int32_t) * static_cast<size_t>(entries)));
    if (ids == nullptr)
        return 1;
    for (int32_t i = 0; i < entries; i++) {
        const int32_t item = dvk_gen_vcm_pagerItemAt(&ctx->pager, i);
        ids[i] = item == DVK_GEN_PAGE_MORE ? ROOT_MORE_DISPLAY : ctx->items[item].displayId;
    }
    const int32_t softkeys[3] = {ROOT_SOFTKEY_TUTORIAL, DVK_STR_NULL, ROOT_SOFTKEY_SETTINGS};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_TUTORIAL, DVK_UI_EVENT_NONE, DVK_UI_EVENT_SETTINGS};
    const int result = dvk_vcm_ui_displayCommand(vcms, ROOT_SCREEN, ROOT_TITLE, DVK_GEN_STR_PANEL_BAR, ids, entries,
                                                 softkeys, events, 0, ROOT_DISPLAY_TIME);
    dvk_mem_dealloc(&ids);
    return result;
}

const dvk_gen_vcm_PromptItem rootPrompts[] = {
    {DVK_GEN_PROMPT_RECORDED, DVK_GEN_PRM_RETRY, 2, DVK_GEN_WHEN_RETRY},
    {DVK_GEN_PROMPT_RECORDED, DVK_GEN_PRM_COMMAND, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_LISTEN, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

int rootGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    RootContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    const int32_t state = dvk_vcm_current(vcms)->state;
    if (state > 0 || ctx->firstEntry == 0)
        dvk_gen_vcm_addPrompts(vcms, prompts, rootPrompts, state);
    ctx->firstEntry = 0;
    return dvk_prompt_checkErrorFlag(prompts);
}

int rootGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*, int32_t index)
{
    RootContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    const int32_t item = dvk_gen_vcm_pagerItemAt(&ctx->pager, index);
    if (item == DVK_GEN_PAGE_NONE)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    const int32_t spoken = item == DVK_GEN_PAGE_MORE ? ROOT_MORE_SPOKEN : ctx->items[item].vocabularyId;
    if (spoken >= 0)
        dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), spoken, 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int rootGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    DVK_GEN_VCM_ASSERT(kUnit, constraints != DVK_NULL);
    *constraints = context(vcms)->constraints;
    return 0;
}

// A result nothing can be made of: the menu again with the retry prompt,
// and the no-match state at the second in a row.
int noResult(dvk_vcm_Session* vcms)
{
    if (dvk_vcm_current(vcms)->state < 2)
        return 0;
    dvk_vcm_Module* noMatch = dvk_gen_vcm_featureOn(ROOT_NO_MATCH_FEATURE) == 1
                                  ? dvk_gen_vcm_newNoMatchNonListening(vcms)
                                  : dvk_gen_vcm_newNoMatchFound(vcms);
    return dvk_vcm_push(vcms, noMatch);
}

// A bare command said first stands alone; otherwise bare commands further
// down are not what was said.
void pruneResult(dvk_nbest_List* nbest)
{
    if (dvk_nbest_getKeyCount(nbest, 0) == 1) {
        dvk_nbest_chop(nbest, 1);
        return;
    }
    for (int32_t i = dvk_nbest_getCount(nbest) - 1; i > 0; i--)
        if (dvk_nbest_getKeyCount(nbest, i) == 1)
            dvk_nbest_deleteEntry(nbest, i);
}

// The gate command a result stands for; 0 when it names none.
int32_t resultGateCmd(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t constraintId)
{
    if (constraintId >= -1)
        return 0;
    dvk_constraints_Constraint* constraint =
        dvk_constraints_getDynamicConstraint(dvk_vcm_dynamicConstraint(vcms), constraintId);
    if (constraint != nullptr && constraint->source != nullptr &&
        constraint->source->id == DVK_GEN_CONSTRAINT_CALL_OPTIONAL_NAME)
        return 1;
    const dvk_ucs2_Char* said = dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_COMMAND);
    if (said == nullptr)
        return 0;
    dvk_config_Manager* config = dvk_vcm_configManager(vcms);
    const int32_t gate = dvk_config_findGateCmdFromResult(config, dvk_vcm_stringTable(vcms), constraintId, said);
    if (gate == 0)
        return 0;
    int32_t displayId = 0, vocabularyId = 0, feature = 0, gateCmdId = 0;
    dvk_config_getGateCmdInfo(config, gate, &displayId, &vocabularyId, &feature, &gateCmdId);
    return gateCmdId;
}

int rootHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    RootContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    if (nbest == nullptr || dvk_nbest_getCount(nbest) == 0) {
        dvk_nbest_destroy(&nbest);
        return noResult(vcms);
    }
    pruneResult(nbest);
    dvk_nbest_log(nbest);
    const char* name = nullptr;
    const int32_t constraintId = dvk_nbest_getConstraint(nbest, &name);
    if (constraintId == DVK_GEN_CONSTRAINT_NEXT) {
        dvk_nbest_destroy(&nbest);
        dvk_gen_vcm_pagerTurn(&ctx->pager);
        dvk_vcm_current(vcms)->state = 0;
        return 0;
    }
    const int32_t gateCmd = resultGateCmd(vcms, nbest, constraintId);
    if (!routed(gateCmd)) {
        // A configuration naming a command nothing carries out is heard as nothing.
        s_log.log(WexLogWarning, "%s: result of constraint %d names gate command %d: taken as no result",
                  __func__, constraintId, gateCmd);
        dvk_nbest_destroy(&nbest);
        return noResult(vcms);
    }
    if (gateCmd == 25) {
        dvk_nbest_destroy(&nbest);
        dvk_vcm_clearStack(vcms);
        dvk_vcm_setGateCmd(vcms, 25);
        return dvk_vcm_push(vcms, dvk_gen_vcm_newRedialCmd(vcms));
    }
    if (gateCmd == 26) {
        dvk_vcm_current(vcms)->state = 0;
        dvk_nbest_destroy(&nbest);
        dvk_vcm_clearStack(vcms);
        dvk_vcm_setGateCmd(vcms, 26);
        return dvk_vcm_push(vcms, dvk_gen_vcm_newTutorial(vcms, 1));
    }
    dvk_vcm_clearStack(vcms);
    dvk_vcm_setGateCmd(vcms, gateCmd);
    if (dvk_vcm_push(vcms, commandModule(gateCmd)(vcms)) != 0) {
        dvk_nbest_destroy(&nbest);
        return 1;
    }
    // The command module decides on the same result.
    return dvk_vcm_handleResult(vcms, nbest, message);
}

// A touched entry is handled as the same entry said.
int rootEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    RootContext* ctx = context(vcms);
    const int32_t item = dvk_gen_vcm_pagerItemAt(&ctx->pager, index);
    if (item == DVK_GEN_PAGE_NONE)
        return 0;
    const bool more = item == DVK_GEN_PAGE_MORE;
    const int32_t constraintId = more ? DVK_GEN_CONSTRAINT_NEXT : ctx->items[item].constraintId;
    const char* name = more ? nextCmd_constraint.name : ctx->items[item].constraint->name;
    const int32_t stringId = more ? ROOT_MORE_SPOKEN : ctx->items[item].vocabularyId;
    const int32_t slot = more ? DVK_GEN_SLOT_NEXT_PAGE : DVK_GEN_SLOT_COMMAND;
    dvk_nbest_List* nbest = dvk_nbest_create(constraintId, name, 100);
    dvk_ucs2_Char* text = stringId >= 0 ? dvk_string_getString(dvk_vcm_stringTable(vcms), stringId) : nullptr;
    const bool built = nbest != nullptr && text != nullptr && dvk_nbest_addEntry(nbest) == 0 &&
                       dvk_nbest_addValueNoIds(nbest, 0, slot, name, text, text) == 0;
    dvk_ucs2_destroy(&text);
    if (!built) {
        dvk_nbest_destroy(&nbest);
        return 1;
    }
    return dvk_vcm_handleResult(vcms, nbest, message);
}

void rootFreeContext(RootContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_mem_dealloc(&(*ctx)->constraints);
    dvk_mem_dealloc(&(*ctx)->items);
    dvk_mem_dealloc(ctx);
}

void rootDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<RootContext*>(vcm->context);
    rootFreeContext(&ctx);
    vcm->context = nullptr;
}

// Allocates a context with room for `gates` items and gates + 2 constraints.
RootContext* newContext(int32_t gates)
{
    auto* ctx = static_cast<RootContext*>(dvk_mem_alloc(sizeof(RootContext)));
    if (ctx == nullptr)
        return nullptr;
    std::memset(ctx, 0, sizeof *ctx);
    ctx->items = static_cast<RootItem*>(dvk_mem_alloc(sizeof(RootItem) * static_cast<size_t>(gates)));
    ctx->constraints = static_cast<dvk_constraints_Constraint**>(
        dvk_mem_alloc(sizeof(dvk_constraints_Constraint*) * static_cast<size_t>(gates + 2)));
    if (ctx->items == nullptr || ctx->constraints == nullptr)
        rootFreeContext(&ctx);
    return ctx;
}

void* rootCopyContext(void* from)
{
    auto* ctx = static_cast<RootContext*>(from);
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    const int32_t itemRoom = ctx->itemCount > 0 ? ctx->itemCount : 1;
    auto* copy = newContext(itemRoom > ctx->constraintCount ? itemRoom : ctx->constraintCount);
    if (copy == nullptr)
        return nullptr;
    dvk_constraints_Constraint** constraints = copy->constraints;
    RootItem* items = copy->items;
    *copy = *ctx;
    copy->constraints = constraints;
    copy->items = items;
    std::memcpy(copy->constraints, ctx->constraints, sizeof(dvk_constraints_Constraint*) *
                                                         static_cast<size_t>(ctx->constraintCount));
    std::memcpy(copy->items, ctx->items, sizeof(RootItem) * static_cast<size_t>(ctx->itemCount));
    copy->firstEntry = 0;
    return copy;
}

const dvk_gen_vcm_Descriptor root = {
    {"vcm_root", rootInit, rootGetPrompt, rootGetMenuReadoutPrompt, rootGetConstraints, nullptr,
     rootHandleResult, nullptr, rootCopyContext, rootDestructor},
    kUnit,
    nullptr,
    rootPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& rootVtable = root.vtable;

const dvk_vcm_Etable rootEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_BACK, dvk_vcm_defaultEventExitHandler},
    {DVK_UI_EVENT_SETTINGS, dvk_vcm_defaultEventSettingsHandler},
    {DVK_UI_EVENT_TUTORIAL, dvk_vcm_defaultEventTutorialHandler},
    {DVK_UI_EVENT_SELECT, rootEventSelectHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newRoot(dvk_vcm_Session* vcms, int32_t firstEntry)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &rootVtable, rootEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = newContext(dvk_config_getGateCmdCount(dvk_vcm_configManager(vcms)));
    vcm->context = ctx;
    if (ctx == nullptr || !buildGates(vcms, ctx)) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    ctx->firstEntry = firstEntry;
    dvk_vcm_setGateCmd(vcms, 0);
    dvk_vcm_setConfirmType(vcms, 0);
    return vcm;
}
