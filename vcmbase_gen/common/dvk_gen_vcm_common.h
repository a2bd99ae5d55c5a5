// What the dialog modules share: the ids several of them use, the
// descriptor every module's constant operation table opens, and the shapes
// driven by a module's rows (a screen with a prompt script and a
// continuation, a paged list), so that each module names only its own ids.
#pragma once

#include "core/vcm/dvk_vcm.h"
#include "core/prompt/dvk_prompt.h"
#include "core/vcm/ui/dvk_vcm_ui.h"
#include "sdk/common/dvk_assert.h"
#include "vcmbase_gen/dvk_gen_vcm.h"

#include <cstdint>

// Ids shared by the modules; a module's own ids stay in its rows.
enum : int32_t {
    DVK_GEN_STR_PANEL_BAR = 586,     // "say a command" bar under a listening list
    DVK_GEN_STR_PHRASE_YES = 278,    // the phrase shown for yes
    DVK_GEN_STR_PHRASE_NO = 271,     // the phrase shown for no
    DVK_GEN_STR_YES = 100,           // the yes/no value that means yes
    DVK_GEN_STR_SOFTKEY_HELP = 497,
    DVK_GEN_STR_SOFTKEY_BACK = 492,
    DVK_GEN_STR_SOFTKEY_EXIT = 493,
    DVK_GEN_STR_SOFTKEY_START_OVER = 513,
    DVK_GEN_PRM_RETRY = 378,         // the lead-in of a re-prompt
    DVK_GEN_PRM_COMMAND = 391,       // the opening command prompt
    DVK_GEN_EARCON_LISTEN = 0,
    DVK_GEN_NO_TIME = -1,            // no display time
};

// N-best value slots the modules read.
enum : int32_t {
    DVK_GEN_SLOT_DIGITS = 6,
    DVK_GEN_SLOT_EXTENSION = 8,
    DVK_GEN_SLOT_COMMAND = 9,
    DVK_GEN_SLOT_GROUP = 12,
    DVK_GEN_SLOT_LOCATION = 15,
    DVK_GEN_SLOT_NEXT_PAGE = 19,
    DVK_GEN_SLOT_NAME = 20,
    DVK_GEN_SLOT_VOICEMAIL = 25,
    DVK_GEN_SLOT_YESNO = 26,
};

// Static constraint ids the modules compare results with.
enum : int32_t {
    DVK_GEN_CONSTRAINT_CALL_OPTIONAL_NAME = 1,  // callOptnlNameNum
    DVK_GEN_CONSTRAINT_TOP_LEVEL_GOTO = 14,
    DVK_GEN_CONSTRAINT_PLAY_PLAYLIST = 19,
    DVK_GEN_CONSTRAINT_PLAY_MUSIC = 21,
    DVK_GEN_CONSTRAINT_NEXT = 36,               // nextCmd
    DVK_GEN_CONSTRAINT_YESNO = 37,
    DVK_GEN_CONSTRAINT_DRIVING_ON = 39,
    DVK_GEN_CONSTRAINT_DRIVING_OFF = 40,
};

// Where a module's prompt item comes from.
enum dvk_gen_vcm_PromptKind : int32_t {
    DVK_GEN_PROMPT_END = 0,  // ends a script
    DVK_GEN_PROMPT_RECORDED,  // id: a recorded prompt
    DVK_GEN_PROMPT_STRING,    // id: a string-table text
    DVK_GEN_PROMPT_EARCON,    // id: an earcon; level not used
};

// When a prompt item is said, by the module's state word.
enum dvk_gen_vcm_PromptWhen : int32_t {
    DVK_GEN_WHEN_ALWAYS = 0,
    DVK_GEN_WHEN_FIRST,   // state word 0: the full prompt
    DVK_GEN_WHEN_RETRY,   // state word above 0: after a result that did not settle the step
};

struct dvk_gen_vcm_PromptItem {
    dvk_gen_vcm_PromptKind kind;
    int32_t id;
    int32_t level;
    dvk_gen_vcm_PromptWhen when;
};

enum dvk_gen_vcm_ScreenKind : int32_t {
    DVK_GEN_SCREEN_NONE = 0,
    DVK_GEN_SCREEN_TEXT,    // dvk_vcm_ui_displayText
    DVK_GEN_SCREEN_BITMAP,  // dvk_vcm_ui_displayBitmap
};

// One display call. A body id replaced by another while a feature is on
// (featureBody used when feature >= 0 and on).
struct dvk_gen_vcm_Screen {
    dvk_gen_vcm_ScreenKind kind;
    dvk_ui_ScreenId screen;
    int32_t title;
    int32_t bodyOrImage;
    int32_t feature;
    int32_t featureBody;
    int32_t softkeyIds[3];
    dvk_ui_Event softkeyEvents[3];
    int32_t displayTime;
};

// What GetContinuation does: nothing (wait for a UI event), or post an
// event to the module itself.
struct dvk_gen_vcm_Continuation {
    dvk_ui_Event event;  // DVK_UI_EVENT_NONE: nothing
    int32_t index;
};

// A setting chosen from a list of radio buttons: each item a string shown
// and said and the value it stores.
struct dvk_gen_vcm_RadioItem {
    int32_t stringId;
    int32_t value;
};
struct dvk_gen_vcm_Radio {
    dvk_ui_ScreenId screen;
    int32_t title;
    int32_t body;  // DVK_STR_NULL: none
    const dvk_gen_vcm_RadioItem* items;
    int32_t count;
    void (*set)(int32_t value);
    int32_t (*get)();
    dvk_ui_ScreenId completeScreen;  // the "saved" popup
    int32_t completeString;
};

// A module's constant description: its operation table first, so shared
// code finds the rest through dvk_vcm_current(vcms)->vtable.
struct dvk_gen_vcm_Descriptor {
    dvk_vcm_Vtable vtable;
    const char* unit;  // the source unit, named by assertions
    const dvk_gen_vcm_Screen* screen;
    const dvk_gen_vcm_PromptItem* prompts;  // ended by DVK_GEN_PROMPT_END
    dvk_gen_vcm_Continuation continuation;
    const dvk_gen_vcm_Radio* radio;  // radio-button modules only
};

// The descriptor of the module on top.
const dvk_gen_vcm_Descriptor* dvk_gen_vcm_descriptor(dvk_vcm_Session* vcms);

// An assertion naming the module's unit rather than the shared file.
#define DVK_GEN_VCM_ASSERT(unit, expression)                                                       \
    ((expression) ? static_cast<void>(0)                                                           \
                  : dvk_assertFail(unit, __LINE__, __func__, DVK_ASSERT_TEXT_(expression)))

// Shape operations, for a module's table: the descriptor's screen, its
// prompt script (the list's error flag as the result) and its continuation.
int dvk_gen_vcm_screenInit(dvk_vcm_Session* vcms);
int dvk_gen_vcm_scriptGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable);
int dvk_gen_vcm_postContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                 dvk_msg_Address defaultRecipient);

// Runs a prompt script for a module in state word `state`.
void dvk_gen_vcm_addPrompts(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, const dvk_gen_vcm_PromptItem* items,
                            int32_t state);
// A message to the suite itself that it handles as the UI event: set as the
// continuation's message; 1 when it cannot be built.
int dvk_gen_vcm_postEvent(dvk_ui_Event event, int32_t index, dvk_msg_Message** message,
                          dvk_msg_Address* recipient);
// Clears the stack and pushes module (0, or 1 when module is NULL); with
// save, the new state is saved for BACK.
int dvk_gen_vcm_replaceStack(dvk_vcm_Session* vcms, dvk_vcm_Module* module, bool save);
// 1 when the feature is on; 68 is on without asking.
int32_t dvk_gen_vcm_featureOn(int32_t feature);

// The yes/no listener: touch items 0 (yes) and 1 (no), the yes/no grammar,
// and a spoken answer handled as the touch of its item by the module's own
// SELECT handler. No result asks again until the state word reaches 2, then
// counts as no.
int dvk_gen_vcm_yesNoGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts,
                                          dvk_prompt_Table* promptTable, int32_t index);
int dvk_gen_vcm_yesNoGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints);
int dvk_gen_vcm_yesNoHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message,
                                  int32_t flag);

// The radio-button shape: the list with the stored value's item selected
// (the first when no item has it), the title said at level 1 and the body at
// level 0, an item's string read out at level 1; a touched item stores its
// value and pushes the "saved" popup, which goes back two states.
int dvk_gen_vcm_radioInit(dvk_vcm_Session* vcms);
int dvk_gen_vcm_radioGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable);
int dvk_gen_vcm_radioGetMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts,
                                          dvk_prompt_Table* promptTable, int32_t index);
int dvk_gen_vcm_radioEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                        dvk_msg_Message** message);

// A list shown a page at a time. With more items than fit on one page,
// every page shows perPage - 1 items and a more-options entry after them.
struct dvk_gen_vcm_Pager {
    int32_t itemCount;
    int32_t perPage;
    int32_t perPageLessOne;
    int32_t page;       // 0-based
    int32_t pageCount;
};
enum : int32_t {
    DVK_GEN_PAGE_NONE = -1,  // no entry at that index
    DVK_GEN_PAGE_MORE = -2,  // the more-options entry
};
void dvk_gen_vcm_pagerInit(dvk_gen_vcm_Pager* pager, int32_t itemCount, int32_t perPage);
// Entries shown on the current page, more-options included.
int32_t dvk_gen_vcm_pagerEntries(const dvk_gen_vcm_Pager* pager);
// The item shown at a place of the current page, or DVK_GEN_PAGE_MORE / _NONE.
int32_t dvk_gen_vcm_pagerItemAt(const dvk_gen_vcm_Pager* pager, int32_t index);
// The next page; from the last back to the first.
void dvk_gen_vcm_pagerTurn(dvk_gen_vcm_Pager* pager);

// One row per gate command: the row of the current gate command, or the
// row of gate 0 (the default) when none matches; the table ends with gate 0.
struct dvk_gen_vcm_GateRow {
    int32_t gateCmd;
    int32_t values[4];
};
const dvk_gen_vcm_GateRow* dvk_gen_vcm_forGate(dvk_vcm_Session* vcms, const dvk_gen_vcm_GateRow* rows);

// The slots whose holders after the first entry a command drops from a
// result (a name heard first makes later digits noise, and so on).
struct dvk_gen_vcm_SlotSet {
    int32_t slots[3];
    int32_t count;
};
// A dvk_nbest_filter callback, argument a dvk_gen_vcm_SlotSet: accepts every
// entry after the first holding a value in one of the slots.
int dvk_gen_vcm_laterHoldingFilter(dvk_nbest_List* list, int32_t index, void* slotSet);
// Whether entry `index` holds a value in the slot.
bool dvk_gen_vcm_has(dvk_nbest_List* list, int32_t index, int32_t slot);
// Copies entry `index` of list into entry 0 of own (dvk_nbest_update), the
// values own already held in the slots the entry brings giving way: a
// command completed again (after a question) takes the new answer over the
// old. 1 when memory is short.
int dvk_gen_vcm_takeEntry(dvk_nbest_List* own, dvk_nbest_List* list, int32_t index);

// The location choices' ids per gate command: title, the single choice's
// question prompt, the confirmation prompt; and their screens.
extern const dvk_gen_vcm_GateRow dvk_gen_vcm_locationChoiceIds[];
// The location choices' screen (call, send, e-mail).
dvk_ui_ScreenId dvk_gen_vcm_locationChoiceScreen(dvk_vcm_Session* vcms, bool single);
// The first n numbers of the entry as "<label> (<formatted>)"; an array of n
// texts for a confirm screen to take over, or NULL when memory is short.
dvk_ucs2_Char** dvk_gen_vcm_locationItems(const dvk_pbook_Entry* entry, int32_t n);
// A one-entry result holding the label in the location slot, as the touch of
// a listed number gives the command below.
dvk_nbest_List* dvk_gen_vcm_locationResult(dvk_constraints_Constraint* constraint, const dvk_ucs2_Char* label);
// A context of one 32-bit word (a flag or an id): a new one holding value,
// NULL when memory is short; the copy operation of such modules.
int32_t* dvk_gen_vcm_newWord(int32_t value);
void* dvk_gen_vcm_copyWord(void* context);
// The word of the module on top.
int32_t* dvk_gen_vcm_word(dvk_vcm_Session* vcms);

// The announcement shape: ok ends the session as exit would, back restarts
// at the root menu.
int dvk_gen_vcm_announcementOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                      dvk_msg_Message** message);
int dvk_gen_vcm_announcementBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                        dvk_msg_Message** message);
extern const int32_t dvk_gen_vcm_announcementKeys[3];
extern const dvk_ui_Event dvk_gen_vcm_announcementEvents[3];
enum : int32_t { DVK_GEN_ANNOUNCEMENT_TIME = 10000 };

// A command acting on an item of one of the phone's named lists (go-to
// applications, help topics, modes), found by the name said in its value
// slot or chosen from the whole list. Items are the provider's iterators.
struct dvk_gen_vcm_ListCommand {
    const void* (*find)(const dvk_ucs2_Char* name);
    const void* (*first)();
    const void* (*next)(const void* item);
    // A new copy of the item's name, NULL when memory is short.
    dvk_ucs2_Char* (*name)(const void* item);
    // Acts on the item found by the name said (0, or 1 on failure).
    int (*act)(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* said, int32_t listShown);
    dvk_vcm_Module* (*empty)(dvk_vcm_Session* vcms);
    dvk_ui_ScreenId screen;
    int32_t title;
    int32_t prompt;
    dvk_constraints_Constraint* constraint;
};
// The Completion of such a command whose context is the list-shown word;
// the n-best list stays the caller's.
int dvk_gen_vcm_listCompletion(dvk_vcm_Session* vcms, const dvk_gen_vcm_ListCommand* command, int32_t slot,
                               dvk_nbest_List* nbest);
// HandleResult of a command: its Completion on the result at index 0, then
// the result freed.
int dvk_gen_vcm_completeResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message,
                               int32_t flag);
// Frees an array of texts and the texts (NULL allowed) and clears the pointer.
void dvk_gen_vcm_destroyTexts(dvk_array** texts);
// A command module with a list-shown word of 0 (NULL when memory is short).
dvk_vcm_Module* dvk_gen_vcm_newListCommand(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                                           const dvk_vcm_Etable* etable);
