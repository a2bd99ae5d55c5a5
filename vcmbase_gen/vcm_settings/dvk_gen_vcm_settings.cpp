// "vcm_settings": the settings menu. Lists the settings the phone's
// features allow, pushes the chosen item's module, and on back either ends a
// session opened in settings mode or restarts at the root menu. Also the
// settings event's direct entry to one item (dvk_gen_vcm_pushSettingsMenuItem).
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_dialog.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings.cpp";

enum : int32_t {
    SETTINGS_SCREEN = 93,
    SETTINGS_TITLE = 640,
    SETTINGS_ADAPT_LINE = 384,
    SETTINGS_RESET_LINE = 399,
    SETTINGS_DISPLAY_TIME = 30000,
    SETTINGS_SLOTS = 8,
    SETTINGS_ADAPTATION_POSITION = 1,  // the adaptation item is always second
};

// Item codes, in the order they are listed.
enum : int32_t {
    ITEM_CONFIRMATION = 1,
    ITEM_ADAPTATION,
    ITEM_MODES,
    ITEM_DRIVING_MODE,
    ITEM_SPEAKERPHONE,
    ITEM_DIALING_REGION,
    ITEM_ABOUT,
};

// The menu string of each item code (index: code - 1).
const int32_t itemStrings[] = {388, 383, 392, 390, 402, 389, 382};

struct SettingsContext {
    int32_t items[SETTINGS_SLOTS];
    int32_t count;
    int32_t current;
    int32_t startedInSettings;
};

// The items the current features allow, in display order; read again every
// time, so a feature switched since shows at once.
void initializeContext(SettingsContext* ctx)
{
    for (int32_t& item : ctx->items)
        item = 0;
    int32_t n = 0;
    ctx->items[n++] = ITEM_CONFIRMATION;
    ctx->items[n++] = ITEM_ADAPTATION;
    ctx->items[n++] = ITEM_MODES;
    if (dvk_settings_isFeatureEnabled(53) == 1)
        ctx->items[n++] = ITEM_DRIVING_MODE;
    if (dvk_settings_isFeatureEnabled(51) == 1)
        ctx->items[n++] = ITEM_SPEAKERPHONE;
    if (dvk_settings_isFeatureEnabled(52) == 1)
        ctx->items[n++] = ITEM_DIALING_REGION;
    ctx->items[n++] = ITEM_ABOUT;
    ctx->count = n;
}

// The menu string at a position, -1 past the list or for an unknown code.
int32_t getStrIdFromIndex(const SettingsContext* ctx, int32_t index)
{
    if (index < 0 || index >= ctx->count)
        return -1;
    const int32_t code = ctx->items[index];
    if (code < ITEM_CONFIRMATION || code > ITEM_ABOUT)
        return -1;
    return itemStrings[code - 1];
}

dvk_vcm_Module* newItemModule(dvk_vcm_Session* vcms, int32_t code)
{
    switch (code) {
    case ITEM_CONFIRMATION:
        return dvk_gen_vcm_newSettingsConfirmation(vcms);
    case ITEM_ADAPTATION:
        return dvk_gen_vcm_newAdaptation(vcms);
    case ITEM_MODES:
        return dvk_gen_vcm_newSettingsModes(vcms);
    case ITEM_DRIVING_MODE:
        return dvk_gen_vcm_newSettingsDrivingMode(vcms);
    case ITEM_SPEAKERPHONE:
        return dvk_gen_vcm_newSettingsSpeakerphone(vcms);
    case ITEM_DIALING_REGION:
        return dvk_gen_vcm_newSettingsDialingRegion(vcms);
    case ITEM_ABOUT:
        return dvk_gen_vcm_newSettingsAbout(vcms);
    default:
        return nullptr;
    }
}

SettingsContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<SettingsContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int settingsInit(dvk_vcm_Session* vcms)
{
    SettingsContext* ctx = context(vcms);
    initializeContext(ctx);
    // A feature switched off since the item was chosen can shorten the list.
    if (ctx->current >= ctx->count)
        ctx->current = 0;
    int32_t strings[SETTINGS_SLOTS];
    for (int32_t i = 0; i < ctx->count; i++)
        strings[i] = getStrIdFromIndex(ctx, i);
    const int32_t adaptLines[2] = {SETTINGS_ADAPT_LINE, SETTINGS_RESET_LINE};
    const int32_t* subLines[SETTINGS_SLOTS] = {};
    int32_t subCounts[SETTINGS_SLOTS] = {};
    subLines[SETTINGS_ADAPTATION_POSITION] = adaptLines;
    subCounts[SETTINGS_ADAPTATION_POSITION] = dvk_ce_isSystemAdapted() != 0 ? 2 : 1;
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayMenu(vcms, SETTINGS_SCREEN, SETTINGS_TITLE, DVK_STR_NULL, strings, ctx->count,
                                  ctx->current, subLines, subCounts, softkeys, events, SETTINGS_DISPLAY_TIME);
}

int settingsGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const SettingsContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), SETTINGS_TITLE, 1);
    dvk_vcm_prompt_addMenuIndex(prompts, ctx->current + 1, 1);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), getStrIdFromIndex(ctx, ctx->current), 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int settingsGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*,
                                 int32_t index)
{
    const SettingsContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    if (index < 0 || index >= ctx->count)
        return 0;
    dvk_vcm_prompt_addMenuIndex(prompts, index + 1, 1);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), getStrIdFromIndex(ctx, index), 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int settingsEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message**)
{
    SettingsContext* ctx = context(vcms);
    if (index < 0 || index >= ctx->count)
        return 0;
    ctx->current = index;
    return dvk_vcm_push(vcms, newItemModule(vcms, ctx->items[index]));
}

int settingsEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    if (context(vcms)->startedInSettings == 0)
        return dvk_vcm_defaultEventRestartHandler(vcms, DVK_UI_EVENT_RESTART, index, message);
    *message = dvk_app_newNotifyExitRspMsg(dvk_vcm_cmdList(vcms)->notifyExit, DVK_APP_SUCCESS,
                                           dvk_vcm_userContext(vcms));
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

void* settingsCopy(void* from)
{
    DVK_GEN_VCM_ASSERT(kUnit, from != DVK_NULL);
    auto* copy = static_cast<SettingsContext*>(dvk_mem_alloc(sizeof(SettingsContext)));
    if (copy != nullptr)
        *copy = *static_cast<const SettingsContext*>(from);
    return copy;
}

const dvk_gen_vcm_Descriptor settings = {
    {"vcm_settings", settingsInit, settingsGetPrompt, settingsGetMenuReadoutPrompt, nullptr, nullptr, nullptr,
     nullptr, settingsCopy, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& settingsVtable = settings.vtable;

const dvk_vcm_Etable settingsEtable[] = {
    {DVK_UI_EVENT_BACK, settingsEventBackHandler},
    {DVK_UI_EVENT_SELECT, settingsEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &settingsVtable, settingsEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<SettingsContext*>(dvk_mem_alloc(sizeof(SettingsContext)));
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    initializeContext(ctx);
    ctx->current = 0;
    ctx->startedInSettings = dvk_vcm_getStartPoint(vcms) == 1 ? 1 : 0;
    vcm->context = ctx;
    return vcm;
}

int dvk_gen_vcm_pushSettingsMenuItem(dvk_vcm_Session* vcms, int32_t index)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, index >= 1);
    auto* list = static_cast<SettingsContext*>(dvk_mem_alloc(sizeof(SettingsContext)));
    if (list == nullptr)
        return 1;
    initializeContext(list);
    // The index comes from the UI: a position past the listed items (the
    // list has eight slots) names nothing.
    const int32_t code = index <= list->count ? list->items[index - 1] : 0;
    dvk_mem_dealloc(&list);
    if (code == 0)
        return 1;
    return dvk_vcm_push(vcms, newItemModule(vcms, code));
}
