// The central engine's life: create with its tables and the grammar
// rebuild chain, abort, destroy, and the calls the dialog layer makes.
#include "core/ce/dvk_ce_internal.h"

#include "core/config/dvk_config.h"
#include "core/constraints/dvk_constraints.h"
#include "core/constraints/dvk_constraints_dynamictable.h"
#include "core/image/dvk_image.h"
#include "core/lang/dvk_lang.h"
#include "core/prompt/dvk_prompt.h"
#include "core/prompt/dvk_prompt_table.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_ucs2.h"
#include "core/vcm/dvk_vcm.h"
#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_play.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"

#include <cstring>

dvk_ce_State* ce = nullptr;

WexLogger& dvk_ce_log()
{
    static WexLogger log("DvkCe");
    return log;
}

namespace {

void* allocCleared(size_t size)
{
    void* block = dvk_mem_alloc(size);
    if (block != nullptr)
        std::memset(block, 0, size);
    return block;
}

// Where the answer of the running abort or destroy goes.
dvk_msg_Address s_stopAddress = nullptr;

void answerCreate(dvk_app_CompletionCode code)
{
    dvk_msg_Message* answer = dvk_app_newNotifyCreateRspMsg(ce->createCallback, ce->createContext, code);
    if (answer == nullptr) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    dvk_msg_send(answer, ce->appAddress);
}

bool isMusicConstraint(const dvk_constraints_Constraint* constraint)
{
    static const dvk_constraints_Constraint* const kMusic[] = {
        &playMusic_constraint, &music_constraint,         &dkapiSong_constraint, &dkapiArtist_constraint,
        &dkapiAlbum_constraint, &dkapiPlaylist_constraint, &dkapiMusic_constraint,
    };
    const int32_t id = constraint->source != nullptr ? constraint->source->id : constraint->id;
    for (const dvk_constraints_Constraint* music : kMusic) {
        if (music->id == id)
            return true;
    }
    return false;
}

// A null-ended array of the constraints of both lists (in list order)
// whose music membership is `music`.
dvk_constraints_Constraint** buildSet(bool music)
{
    dvk_constraints_Constraint** lists[] = {dvk_constraints_getConstraintList(), ce->dynamicList};
    size_t count = 0;
    for (dvk_constraints_Constraint** list : lists) {
        for (dvk_constraints_Constraint** c = list; c != nullptr && *c != nullptr; ++c)
            count += isMusicConstraint(*c) == music ? 1 : 0;
    }
    auto** set = static_cast<dvk_constraints_Constraint**>(
        dvk_mem_alloc((count + 1) * sizeof(dvk_constraints_Constraint*)));
    if (set == nullptr)
        return nullptr;
    size_t n = 0;
    for (dvk_constraints_Constraint** list : lists) {
        for (dvk_constraints_Constraint** c = list; c != nullptr && *c != nullptr; ++c) {
            if (isMusicConstraint(*c) == music)
                set[n++] = *c;
        }
    }
    set[n] = nullptr;
    return set;
}

void cleanupCE()
{
    dvk_constraints_destroyDynamicConstraintList(&ce->dynamicList);
    dvk_prompt_destroyPromptTable(&ce->promptTable);
    dvk_string_destroyStringTable(&ce->stringTable);
    dvk_image_destroyImageTable(&ce->imageTable);
    dvk_mem_dealloc(&ce->requiredSet);
    dvk_mem_dealloc(&ce->optionalSet);
    dvk_config_destroyConfigManager(&ce->configManager);
    dvk_constraints_destroyDynamicTable(&ce->dynamicTable);
    dvk_vre_destroy(&ce->vre);
    if (ce->vcms != nullptr)
        dvk_vcm_endSession(&ce->vcms);
}

void freeEngine()
{
    cleanupCE();
    dvk_mem_dealloc(&ce);
}

// The voice-search strings, when the language has them: phrases of that
// range name their texts there, and a rebuild without them fails.
bool loadVsearchStrings(dvk_lang_Language language)
{
    char* name = dvk_lang_getVSearchStringsFileName(language);
    if (name == nullptr)
        return false;
    const bool present = dvk_file_fexist(name) != 0;
    dvk_mem_dealloc(&name);
    return !present || dvk_string_loadStringTableRange(ce->stringTable, 1) != nullptr;
}

// Steps 3-5 of create: the tables, the config manager and the dynamic
// constraints. false on any failure.
bool createTables(dvk_lang_Language language)
{
    ce->promptTable = dvk_prompt_createPromptTable(language);
    ce->stringTable = dvk_string_createStringTable(language);
    ce->imageTable = dvk_image_createImageTable(language);
    ce->configManager = dvk_config_createConfigManager();
    if (ce->promptTable == nullptr || ce->stringTable == nullptr || ce->imageTable == nullptr ||
        ce->configManager == nullptr)
        return false;
    if (dvk_prompt_loadPromptTableRange(ce->promptTable, 0) == nullptr ||
        dvk_string_loadStringTableRange(ce->stringTable, 0) == nullptr ||
        dvk_image_loadImageTableRange(ce->imageTable, 0) == nullptr || !loadVsearchStrings(language))
        return false;
    ce->dynamicTable = dvk_constraints_createDynamicTable();
    if (ce->dynamicTable == nullptr || dvk_config_addConstraints(ce->configManager, ce->dynamicTable) != 0)
        return false;
    ce->dynamicList = dvk_constraints_getDynamicConstraintList(ce->dynamicTable);
    return ce->dynamicList != nullptr;
}

// A rebuild event that arrives after its rebuild was stopped (a session,
// an abort) changes nothing.
bool rebuildStale()
{
    return ce == nullptr || (!ce->fullRebuild && !ce->initialRebuild);
}

void rebuildComplete()
{
    ce->fullRebuild = 0;
    ce->initialRebuild = 0;
    answerCreate(DVK_APP_SUCCESS);
    if (!ce->waitingForContactsUpdate)
        return;
    ce->waitingForContactsUpdate = 0;
    // The user may have left the update screen (exit, help, tutorial)
    // while the grammar was built: nobody waits for the next event then.
    const char* name = ce->vcms != nullptr && dvk_vcm_done(ce->vcms) == 0 ? dvk_vcm_getCurrentName(ce->vcms) : nullptr;
    if (name == nullptr || std::strcmp(name, "vcm_updateContacts") != 0) {
        dvk_ce_log().log(WexLogNotice, "%s: the update screen was left (%s)", __func__,
                         name != nullptr ? name : "no session");
        return;
    }
    dvk_ui_sendEvent(DVK_UI_EVENT_NEXT, 0);
}

void rebuildRequiredErrorEvtHdlr();

void rebuildNonrequiredEvtHdlr()
{
    if (rebuildStale())
        return;
    ce->musicUpdated = 1;
    if (ce->fullRebuild) {
        dvk_play_resetModifiedSongList();
        dvk_play_resetFullUpdateRequired();
    }
    rebuildComplete();
}

void rebuildNonrequiredErrorEvtHdlr()
{
    if (rebuildStale())
        return;
    ce->musicUpdated = 0;
    if (dvk_vre_deleteConstraintSet(ce->vre, ce->optionalSet) != 0) {
        rebuildRequiredErrorEvtHdlr();
        return;
    }
    rebuildComplete();
}

void rebuildRequiredEvtHdlr()
{
    if (rebuildStale())
        return;
    ce->contactsUpdated = 1;
    if (ce->fullRebuild) {
        dvk_pbook_resetModifiedEntryList();
        dvk_pbook_resetFullUpdateRequired();
        if (dvk_vre_deleteConstraintSet(ce->vre, ce->optionalSet) != 0) {
            rebuildNonrequiredErrorEvtHdlr();
            return;
        }
    }
    if (dvk_vre_addConstraintSet(ce->vre, ce->optionalSet, rebuildNonrequiredEvtHdlr,
                                 rebuildNonrequiredErrorEvtHdlr) != 0)
        rebuildNonrequiredErrorEvtHdlr();
}

void rebuildRequiredErrorEvtHdlr()
{
    if (rebuildStale())
        return;
    ce->contactsUpdated = 0;
    ce->musicUpdated = 0;
    dvk_vre_deleteConstraintSet(ce->vre, ce->requiredSet);
    dvk_vre_deleteConstraintSet(ce->vre, ce->optionalSet);
    rebuildComplete();
}

int32_t addRequiredSet()
{
    return dvk_vre_addConstraintSet(ce->vre, ce->requiredSet, rebuildRequiredEvtHdlr, rebuildRequiredErrorEvtHdlr);
}

// Steps 6-8 of create. 0, 2 when the language has no model set, else 1.
int32_t createRecogniser(dvk_lang_Language language)
{
    const int32_t created = dvk_vre_create(&ce->vre, language, ce->vreOption, ce->stringTable);
    if (created != 0)
        return created == 2 ? 2 : 1;
    int32_t loaded = 0;
    if (dvk_vre_load(ce->vre, 2, &loaded) != 0)
        return 1;
    ce->requiredSet = buildSet(false);
    ce->optionalSet = dvk_vre_partialModelsSupported(ce->vre) ? buildSet(true)
                                                                : static_cast<dvk_constraints_Constraint**>(
                                                                      allocCleared(sizeof(void*)));
    if (ce->requiredSet == nullptr || ce->optionalSet == nullptr)
        return 1;
    if (dvk_pbook_fullUpdateRequired() || dvk_play_fullUpdateRequired() || !loaded) {
        ce->fullRebuild = 1;
        if (dvk_vre_deleteConstraintSet(ce->vre, ce->requiredSet) != 0)
            return 1;
    }
    ce->initialRebuild = 1;
    ce->contactsUpdated = 0;
    ce->musicUpdated = 0;
    return addRequiredSet() != 0 ? 1 : 0;
}

void createCEHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_Request*>(data);
    if (ce != nullptr) {
        dvk_msg_Message* answer = dvk_app_newNotifyCreateRspMsg(request->callback, request->context,
                                                                DVK_APP_ALREADY_CREATED);
        if (answer != nullptr)
            dvk_msg_send(answer, sender);
        return;
    }
    ce = static_cast<dvk_ce_State*>(allocCleared(sizeof(dvk_ce_State)));
    if (ce == nullptr) {
        dvk_ce_outOfMemory(sender);
        return;
    }
    ce->createCallback = request->callback;
    ce->createContext = request->context;
    ce->appAddress = sender;
    const dvk_lang_Language language = dvk_settings_getCurrentLanguage();
    if (!createTables(language)) {
        freeEngine();
        dvk_ce_outOfMemory(sender);
        return;
    }
    const int32_t recogniser = createRecogniser(language);
    if (recogniser != 0) {
        freeEngine();
        if (recogniser == 2) {
            dvk_msg_Message* answer = dvk_app_newNotifyCreateRspMsg(request->callback, request->context,
                                                                    DVK_APP_INVALID_LANGUAGE);
            if (answer != nullptr) {
                dvk_msg_send(answer, sender);
                return;
            }
        }
        dvk_ce_outOfMemory(sender);
        return;
    }
    if (ce->fullRebuild)
        answerCreate(DVK_APP_INCOMPLETE);
}

// Stops a running rebuild, the continuation following once it has stopped;
// without one the continuation runs now.
void stopRebuildThen(dvk_msg_Event continuation)
{
    if (ce->fullRebuild || ce->initialRebuild) {
        ce->fullRebuild = 0;
        ce->initialRebuild = 0;
        ce->rebuildDeferred = 1;
        dvk_vre_stopConstraintRebuild(ce->vre, continuation);
        return;
    }
    continuation();
}

void abortApp()
{
    if (ce == nullptr)
        return;
    if (dvk_ce_stopAudioAndRecog() != 0)
        dvk_ce_outOfMemory(ce->appAddress);
    if (ce->vcms != nullptr) {
        const dvk_app_NotifyExit notifyExit = ce->vcms->cmdList.notifyExit;
        void* userContext = ce->vcms->userContext;
        dvk_ce_endCurrentSession();
        if (notifyExit != nullptr) {
            dvk_msg_Message* exit = dvk_app_newNotifyAbortRspMsg(notifyExit, userContext, DVK_APP_ABORTED);
            if (exit != nullptr)
                dvk_msg_send(exit, ce->appAddress);
        }
    }
    dvk_msg_Message* answer = dvk_app_newNotifyAbortRspMsg(ce->stopCallback, ce->stopContext, DVK_APP_SUCCESS);
    if (answer != nullptr)
        dvk_msg_send(answer, s_stopAddress);
}

void abortCEHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_Request*>(data);
    if (ce == nullptr) {
        dvk_msg_Message* answer = dvk_app_newNotifyAbortRspMsg(request->callback, request->context, DVK_APP_SUCCESS);
        if (answer != nullptr)
            dvk_msg_send(answer, sender);
        return;
    }
    ce->stopCallback = request->callback;
    ce->stopContext = request->context;
    s_stopAddress = sender;
    stopRebuildThen(abortApp);
}

void destroyApp()
{
    if (ce == nullptr)
        return;
    dvk_ce_stopAllAudio();
    const dvk_app_CompletionCallback callback = ce->stopCallback;
    void* context = ce->stopContext;
    const dvk_msg_Address address = ce->appAddress;
    freeEngine();
    dvk_msg_Message* answer = dvk_app_newNotifyDestroyRspMsg(callback, context, DVK_APP_SUCCESS);
    if (answer != nullptr)
        dvk_msg_send(answer, address);
}

void destroyCEHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_Request*>(data);
    if (ce == nullptr) {
        dvk_msg_Message* answer = dvk_app_newNotifyDestroyRspMsg(request->callback, request->context,
                                                                 DVK_APP_SUCCESS);
        if (answer != nullptr)
            dvk_msg_send(answer, sender);
        return;
    }
    ce->stopCallback = request->callback;
    ce->stopContext = request->context;
    ce->destroying = 1;
    stopRebuildThen(destroyApp);
}

// The dialog layer's calls.

int32_t updateContactsComplete()
{
    return ce == nullptr || (!ce->fullRebuild && !ce->initialRebuild) ? 1 : 0;
}

void setWaitingForUpdateContactsComplete(int32_t waiting)
{
    if (ce != nullptr)
        ce->waitingForContactsUpdate = waiting != 0 ? 1 : 0;
}

int32_t contactsUpdatedSuccessfully()
{
    return ce == nullptr ? 1 : ce->contactsUpdated;
}

int32_t musicUpdatedSuccessfully()
{
    return ce == nullptr ? 1 : ce->musicUpdated;
}

int32_t isSystemAdapted()
{
    if (ce == nullptr)
        return 0;
    int32_t adapted = 0;
    if (dvk_vre_isSystemAdapted(ce->vre, &adapted) != 0)
        dvk_ce_outOfMemory(ce->appAddress);
    return adapted;
}

// A new recogniser for the current language, loaded with load mode `what`
// (-1 loads nothing). 0, or 1 on failure (the engine is then without one).
int32_t recreateRecogniser(int32_t what)
{
    dvk_vre_destroy(&ce->vre);
    if (dvk_vre_create(&ce->vre, dvk_settings_getCurrentLanguage(), ce->vreOption, ce->stringTable) != 0)
        return 1;
    int32_t loaded = 0;
    return what >= 0 && dvk_vre_load(ce->vre, what, &loaded) != 0 ? 1 : 0;
}

// Stored adapted data stays until the session ends with a save: backing out
// of a new adaptation keeps the old one.
void startAdaptation()
{
    if (ce == nullptr)
        return;
    if (recreateRecogniser(-1) != 0)
        dvk_ce_outOfMemory(ce->appAddress);
    ce->adaptationMode = 1;
}

void resetAdaptation()
{
    if (ce == nullptr)
        return;
    if (ce->vre != nullptr && dvk_vre_remove(ce->vre, 1) != 0)
        dvk_ce_outOfMemory(ce->appAddress);
    if (recreateRecogniser(0) != 0)
        dvk_ce_outOfMemory(ce->appAddress);
}

int endAdaptationSession(int32_t save)
{
    if (ce == nullptr)
        return 1;
    dvk_ui_setProgressBarInfo(-1, -1);
    ce->adaptationMode = 0;
    int failed = ce->vre == nullptr || dvk_vre_endAdaptationSession(ce->vre, save != 0 ? 0 : 1) != 0;
    failed |= recreateRecogniser(2);
    return failed;
}

void freePhrase(void* data)
{
    auto* phrase = static_cast<dvk_ucs2_Char*>(data);
    dvk_ucs2_destroy(&phrase);
}

dvk_msg_Message* getStartAdaptationMsg(dvk_ucs2_Char* phrase)
{
    dvk_msg_Message* message = dvk_msg_create(phrase, dvk_ce_startAdaptationHandler, freePhrase);
    if (message == nullptr)
        dvk_ucs2_destroy(&phrase);
    return message;
}

const dvk_ce_RequestHandlers kHandlers = {createCEHandler, dvk_ce_startHandler, abortCEHandler, destroyCEHandler,
                                          dvk_ce_handleEventHandler};

const dvk_ce_DialogCalls kCalls = {
    dvk_ce_outOfMemory,    updateContactsComplete, setWaitingForUpdateContactsComplete,
    contactsUpdatedSuccessfully, musicUpdatedSuccessfully, isSystemAdapted,
    startAdaptation,       resetAdaptation,        endAdaptationSession,
    getStartAdaptationMsg,
};

}  // namespace

void dvk_ce_install(void)
{
    dvk_ce_setRequestHandlers(&kHandlers);
    dvk_ce_setDialogCalls(&kCalls);
}

void dvk_ce_uninstall(void)
{
    dvk_ce_setRequestHandlers(nullptr);
    dvk_ce_setDialogCalls(nullptr);
}

dvk_ce_State* dvk_ce_getState(void)
{
    return ce;
}

int32_t dvk_ce_startUpdateContacts(void)
{
    if (ce == nullptr || !ce->rebuildDeferred)
        return 0;
    ce->rebuildDeferred = 0;
    ce->fullRebuild = 1;
    ce->contactsUpdated = 0;
    ce->musicUpdated = 0;
    if (addRequiredSet() != 0) {
        ce->fullRebuild = 0;
        return 1;
    }
    return 0;
}

int32_t dvk_ce_rebuildSingleConstraint(dvk_constraints_Constraint* constraint)
{
    if (ce == nullptr)
        return 0;
    return dvk_vre_rebuildMembers(ce->vre, constraint) != 0 ? 1 : 0;
}
