// The dialog manager: one voice-command session, a stack of dialog modules,
// the application's notification table and the shared tables. The central
// engine calls it for every step of a transaction; each step goes to the
// module on top through its Vtable, UI events through its Etable with the
// defaults behind it, recognition results are pre-filtered first, saved
// copies of the stack serve "back", and one module timer runs. Suite thread
// only.
#pragma once

#include "core/ce/dvk_app.h"
#include "core/config/dvk_config.h"
#include "core/constraints/dvk_constraints.h"
#include "core/image/dvk_image.h"
#include "core/nbest/dvk_nbest.h"
#include "core/string/dvk_string.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"
#include "sdk/common/dvk_ui_types.h"
#include "vcmbase_gen/dvk_gen_vcm.h"

#include <cstdint>

struct dvk_constraints_DynamicTable;
struct dvk_prompt_List;   // the prompt list
struct dvk_prompt_Table;  // the prompt table
struct dvk_font_Table;    // the font table

struct dvk_vcm_Session;
struct dvk_vcm_Module;

// 0 success (or nothing to do), 1 failure, in every slot that answers.
struct dvk_vcm_Vtable {
    const char* name;  // e.g. "vcm_root"
    int (*Init)(dvk_vcm_Session* vcms);
    int (*GetPrompt)(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable);
    int (*GetMenuReadoutPrompt)(dvk_vcm_Session* vcms, dvk_prompt_List* prompts,
                                dvk_prompt_Table* promptTable, int32_t index);
    // A null-ended array the module keeps.
    int (*GetConstraints)(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints);
    int (*GetContinuation)(dvk_vcm_Session* vcms, dvk_msg_Message** message,
                           dvk_msg_Address* recipient, dvk_msg_Address defaultRecipient);
    // The n-best list passes to the module (may be null).
    int (*handleResult)(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message,
                        int32_t flag);
    int (*Completion)(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t index,
                      dvk_msg_Message** message);
    void* (*copyContext)(void* context);
    void (*Destructor)(dvk_vcm_Module* vcm, dvk_vcm_Module** module);
};

typedef int (*dvk_vcm_EventHandler)(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                    dvk_msg_Message** message);
// Searched in order; ended by {0, null}.
struct dvk_vcm_Etable {
    dvk_ui_Event event;
    dvk_vcm_EventHandler handler;
};

struct dvk_vcm_Module {
    const dvk_vcm_Vtable* vtable;
    const dvk_vcm_Etable* etable;
    int32_t state;  // results handed over since creation or the last reset
    void* context;  // the module's, freed by its Destructor
    dvk_nbest_List* nbest;
    dvk_vcm_Module* next;  // the module below
};

struct dvk_vcm_Session {
    int32_t moduleCount;
    dvk_vcm_Module* stack;  // the top module, null when done
    dvk_app_Notifications cmdList;
    void* userContext;
    dvk_msg_Address uiThreadAddr;
    dvk_image_Table* imageTable;
    dvk_prompt_Table* promptTable;
    dvk_string_Table* stringTable;
    dvk_font_Table* fontTable;
    dvk_config_Manager* configManager;
    void* rcm;  // always empty
    dvk_constraints_DynamicTable* dynamicTable;
    int32_t gateCmd;     // the command being carried out; 0 none
    int32_t startPoint;  // 0 tutorial, 1 settings, 2 adaptation
    int32_t confirmType;
    int32_t alwaysAvailableReadout;  // cleared after every GetPrompt
    int32_t connectedServicesOnly;
    int32_t timerRunning;
    dvk_vcm_Session* savedSession;  // the newest saved copy; copies chain
    int32_t stateSaved;             // the newest copy equals the stack
    int32_t aacExit;                // the next exit reports code 8
};

// Creation and teardown.
dvk_vcm_Session* dvk_vcm_newSession(const dvk_app_Notifications* cmdList, void* userContext,
                                    dvk_msg_Address uiThreadAddr, dvk_string_Table* stringTable,
                                    dvk_prompt_Table* promptTable, dvk_image_Table* imageTable,
                                    dvk_font_Table* fontTable, dvk_config_Manager* configManager,
                                    void* rcm, dvk_constraints_DynamicTable* dynamicTable,
                                    int32_t startPoint, int32_t scriptId);
dvk_vcm_Module* dvk_vcm_newVCM(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                               const dvk_vcm_Etable* etable);
void dvk_vcm_destroy(dvk_vcm_Session* vcms, dvk_vcm_Module** module);
void dvk_vcm_defaultContextDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module** module);
int dvk_vcm_push(dvk_vcm_Session* vcms, dvk_vcm_Module* module);
dvk_vcm_Module* dvk_vcm_pop(dvk_vcm_Session* vcms);
void dvk_vcm_clearStack(dvk_vcm_Session* vcms);
void dvk_vcm_endSession(dvk_vcm_Session** vcms);
void dvk_vcm_resetState(dvk_vcm_Session* vcms);
int dvk_vcm_pushAndSave(dvk_vcm_Session* vcms, dvk_vcm_Module* module);
int dvk_vcm_saveState(dvk_vcm_Session* vcms);
int dvk_vcm_revertState(dvk_vcm_Session* vcms);
int32_t dvk_vcm_savedStateExists(dvk_vcm_Session* vcms);
int dvk_vcm_updateSavedState(dvk_vcm_Session* vcms);

// Steps forwarded to the top module; an empty slot answers 0.
int dvk_vcm_init(dvk_vcm_Session* vcms);
int dvk_vcm_getPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts);
int dvk_vcm_getMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, int32_t index);
int dvk_vcm_getContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message,
                            dvk_msg_Address* recipient, dvk_msg_Address defaultRecipient);
int dvk_vcm_completion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t index,
                       dvk_msg_Message** action);
// A new null-ended array (the caller frees it with dvk_mem_dealloc), with
// the always-available constraint last.
int dvk_vcm_getConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints);
int dvk_vcm_handleEvent(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                        dvk_msg_Message** message);
// The n-best list is taken over.
int dvk_vcm_handleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message);
int32_t dvk_vcm_checkForEventHandler(dvk_vcm_Session* vcms, dvk_ui_Event event);
int32_t dvk_vcm_done(dvk_vcm_Session* vcms);

// Accessors.
dvk_vcm_Module* dvk_vcm_current(dvk_vcm_Session* vcms);
void* dvk_vcm_currentContext(dvk_vcm_Session* vcms);
const char* dvk_vcm_getCurrentName(dvk_vcm_Session* vcms);
const dvk_app_Notifications* dvk_vcm_cmdList(dvk_vcm_Session* vcms);
void* dvk_vcm_userContext(dvk_vcm_Session* vcms);
dvk_msg_Address dvk_vcm_getUiThreadAddr(dvk_vcm_Session* vcms);
dvk_image_Table* dvk_vcm_imageTable(dvk_vcm_Session* vcms);
dvk_prompt_Table* dvk_vcm_promptTable(dvk_vcm_Session* vcms);
dvk_string_Table* dvk_vcm_stringTable(dvk_vcm_Session* vcms);
dvk_font_Table* dvk_vcm_fontTable(dvk_vcm_Session* vcms);
dvk_config_Manager* dvk_vcm_configManager(dvk_vcm_Session* vcms);
void* dvk_vcm_rcm(dvk_vcm_Session* vcms);
dvk_constraints_DynamicTable* dvk_vcm_dynamicConstraint(dvk_vcm_Session* vcms);
int32_t dvk_vcm_getStartPoint(dvk_vcm_Session* vcms);
void dvk_vcm_setGateCmd(dvk_vcm_Session* vcms, int32_t gateCmd);
int32_t dvk_vcm_getGateCmd(dvk_vcm_Session* vcms);
void dvk_vcm_setConfirmType(dvk_vcm_Session* vcms, int32_t confirmType);
int32_t dvk_vcm_getConfirmType(dvk_vcm_Session* vcms);
void dvk_vcm_setAlwaysAvailableReadout(dvk_vcm_Session* vcms, int32_t readout);
int32_t dvk_vcm_getAlwaysAvailableReadout(dvk_vcm_Session* vcms);
int32_t dvk_vcm_getConnectedServicesOnly(dvk_vcm_Session* vcms);
void dvk_vcm_setAACExit(dvk_vcm_Session* vcms, int32_t exit);
int32_t dvk_vcm_getAACExit(dvk_vcm_Session* vcms);
// Pass-throughs to the engine.
int32_t dvk_vcm_musicUpdatedSuccessfully(dvk_vcm_Session* vcms);
int32_t dvk_vcm_contactsUpdatedSuccessfully(dvk_vcm_Session* vcms);
void dvk_vcm_setWaitingForUpdateContactsComplete(dvk_vcm_Session* vcms, int32_t waiting);
int32_t dvk_vcm_updateContactsComplete(dvk_vcm_Session* vcms);

// Confirmation of an n-best list: 1 ask, 0 not.
int32_t dvk_vcm_needNameConfirmation(dvk_nbest_List* nbest);
int32_t dvk_vcm_needGroupConfirmation(dvk_nbest_List* nbest);
int32_t dvk_vcm_needNumberConfirmation(dvk_nbest_List* nbest);
int32_t dvk_vcm_needVoiceMailConfirmation(dvk_nbest_List* nbest);
int32_t dvk_vcm_needLastNumberConfirmation(dvk_nbest_List* nbest);

// Default event handlers: 0 success, 1 failure.
int dvk_vcm_defaultEventYesHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventNoHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventRepeatHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventExitHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventTimeoutExitHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventRestartHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventBackHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventTutorialHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventHelpHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);
int dvk_vcm_defaultEventSettingsHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**);

// Help texts of the current (or any) gate command: string ids and a screen
// id; non-zero, nothing filled, when the VCM base is not 0.
int dvk_vcm_getGateCmdHelpText(dvk_vcm_Session* vcms, int32_t* title, int32_t* body, int32_t* screen);
int dvk_vcm_getGateCmdHelpTextById(int32_t gateCmd, int32_t* title, int32_t* body, int32_t* screen);

// The module timer (suite timer slot DVK_TIMER_VCM): an expiry posts event
// 32 (index 0) to the suite thread. 0, or 1 when it could not start.
int dvk_vcm_startTimer(dvk_vcm_Session* vcms, long ms);
void dvk_vcm_stopTimer(dvk_vcm_Session* vcms);

// The string-table texts of the ids (ended by -1) joined by separator; NULL
// when a text is missing or memory is short.
dvk_ucs2_Char* dvk_vcm_concatStrings(dvk_vcm_Session* vcms, const dvk_ucs2_Char* separator, ...);

// The current gate command's spoken tip, at most twice: prompts 403 and (VCM
// base 0) 309, then the string's text and the item name. The list's error
// flag; 1 when the string is missing or memory is short.
int32_t dvk_vcm_addAudioTip(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, int32_t stringId,
                            const dvk_ucs2_Char* itemName);

// Prompt utilities: each adds to the list only when the user's prompt mode
// plays items of the level (0-3): mode 0 level 3 alone, mode 1 levels 2 and
// 3, modes 2 and 3 every level (only 2 and 3 while feature 67 is on).
void dvk_vcm_prompt_addText(dvk_prompt_List* prompts, const dvk_ucs2_Char* text, int32_t level);
void dvk_vcm_prompt_addLocation(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable,
                                dvk_string_Table* stringTable, const dvk_ucs2_Char* location, int32_t level);
void dvk_vcm_prompt_addDigitsText(dvk_prompt_List* prompts, const dvk_ucs2_Char* text, int32_t level);
void dvk_vcm_prompt_addDigits(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable,
                              const dvk_ucs2_Char* number, int32_t level);
void dvk_vcm_prompt_addWords(dvk_prompt_List* prompts, const int32_t* wordIds, int32_t count, int32_t level);
void dvk_vcm_prompt_addStringId(dvk_prompt_List* prompts, dvk_string_Table* stringTable, int32_t id,
                                int32_t level);
void dvk_vcm_prompt_addPrompt(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable, int32_t id, int32_t level);
// Also needs feature 59.
void dvk_vcm_prompt_addMenuIndex(dvk_prompt_List* prompts, int32_t n, int32_t level);
// n 0-99 as a text of one or two digits.
void dvk_vcm_prompt_addDigitsFromLong(dvk_prompt_List* prompts, long n, int32_t level);
// Earcons 0-6, whatever the level, unless the prompt mode is 1.
void dvk_vcm_prompt_addEarcon(dvk_prompt_List* prompts, int32_t earcon);
