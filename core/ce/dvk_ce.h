// The central engine: the suite's one state machine on the suite thread. It
// owns the per-language tables, the config manager, the dynamic constraint
// table, the recogniser and the current dialog session, rebuilds grammars
// and drives every transaction of a session (prompts, listening, result).
#pragma once

#include "core/ce/dvk_app.h"
#include "core/ce/dvk_ce_dialog.h"
#include "core/ce/dvk_ce_loop.h"
#include "core/ce/dvk_ce_requests.h"
#include "sdk/common/dvk_msg.h"

#include <cstdint>

struct dvk_vre_Recognizer;
struct dvk_vcm_Session;
struct dvk_prompt_Table;
struct dvk_prompt_List;
struct dvk_string_Table;
struct dvk_image_Table;
struct dvk_font_Table;
struct dvk_config_Manager;
struct dvk_constraints_DynamicTable;
struct dvk_constraints_Constraint;

struct dvk_ce_State {
    dvk_vre_Recognizer* vre;
    int32_t vreOption;  // always 0
    dvk_vcm_Session* vcms;
    dvk_prompt_Table* promptTable;
    dvk_string_Table* stringTable;
    dvk_image_Table* imageTable;
    dvk_font_Table* fontTable;  // never loaded
    dvk_msg_Address appAddress;
    dvk_prompt_List* prompts;
    int32_t destroying;
    dvk_ce_Listening listen;
    int32_t promptStage;
    dvk_app_CompletionCallback createCallback;
    void* createContext;
    int32_t fullRebuild;
    int32_t initialRebuild;
    int32_t waitingForContactsUpdate;
    int32_t rebuildDeferred;
    int32_t adapting;
    int32_t adaptationMode;
    dvk_app_CompletionCallback stopCallback;  // destroy or abort
    void* stopContext;
    dvk_app_Notifications notifications;
    void* userContext;
    int32_t readoutIndex;
    int32_t startMode;
    int32_t vsearchScriptId;
    dvk_config_Manager* configManager;
    dvk_constraints_DynamicTable* dynamicTable;
    dvk_constraints_Constraint** dynamicList;
    dvk_constraints_Constraint** requiredSet;  // null-ended
    dvk_constraints_Constraint** optionalSet;  // null-ended
    int32_t contactsUpdated;
    int32_t musicUpdated;
};

// Makes this engine the one the application's requests and the dialog
// layer's calls reach; dvk_ce_uninstall restores the no-engine defaults.
void dvk_ce_install(void);
void dvk_ce_uninstall(void);

// The engine, or NULL before create and after destroy (suite thread only).
dvk_ce_State* dvk_ce_getState(void);

// When a rebuild was deferred by a session: starts the full rebuild of the
// required set again. 1 when the add fails, else 0.
int32_t dvk_ce_startUpdateContacts(void);
// Rebuilds the members of one constraint: 1 on failure, 0 (also without
// engine).
int32_t dvk_ce_rebuildSingleConstraint(dvk_constraints_Constraint* constraint);
