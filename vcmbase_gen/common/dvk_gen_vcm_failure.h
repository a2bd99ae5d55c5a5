// What the failure and empty-data states share: their screen ids by gate
// command, the yes/no state's screen, and the look-up answer that asks the
// application to add a contact or a number.
#pragma once

#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

enum dvk_gen_vcm_FailureState : int32_t {
    DVK_GEN_FAILURE_NOMATCH_LISTEN = 0,
    DVK_GEN_FAILURE_NOMATCH_NONLISTEN,
    DVK_GEN_FAILURE_NOCONTACTS_LISTEN,
    DVK_GEN_FAILURE_NOCONTACTS_NONLISTEN,
    DVK_GEN_FAILURE_NOLOCATIONS_LISTEN,
    DVK_GEN_FAILURE_NOLOCATIONS_NONLISTEN,
};

enum : int32_t {
    DVK_GEN_FAILURE_DISPLAY_TIME = 10000,
    DVK_GEN_STR_SOFTKEY_ADD_CONTACT = 491,
    DVK_GEN_STR_SOFTKEY_TUTORIAL = 514,
    DVK_GEN_EARCON_FAILURE = 5,   // opens a failure state's prompt
    DVK_GEN_EARCON_QUESTION = 2,  // ends a yes/no question
    DVK_GEN_EARCON_DONE = 6,      // ends the prompt of a finished command
};

// The state's screen under the session's gate command; an assertion naming
// unit when the state has none there.
dvk_ui_ScreenId dvk_gen_vcm_failureScreen(dvk_vcm_Session* vcms, dvk_gen_vcm_FailureState state,
                                          const char* unit);

// The look-up answer (mode 0) with the name, "" for none; 1 when it cannot
// be built.
int dvk_gen_vcm_notifyLookup(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, dvk_msg_Message** message);

// The play answer with empty texts and zero contexts: the application plays
// music of its own choice.
int dvk_gen_vcm_notifyPlayAnything(dvk_vcm_Session* vcms, dvk_msg_Message** message);

// The context of the states about a contact without the needed number: the
// name, the text shown (the name, a newline and a string; null where the
// state builds it when shown), the name's word ids. All owned.
struct dvk_gen_vcm_NameContext {
    dvk_ucs2_Char* name;
    dvk_ucs2_Char* display;
    int32_t* wordIds;
    int32_t wordIdCount;
};
// The name, a newline and the string's text; NULL when the string is
// missing or memory is short.
dvk_ucs2_Char* dvk_gen_vcm_nameAndString(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, int32_t stringId);
// Gives vcm a context of copies (with the display text of displayString,
// or none when it is DVK_STR_NULL); false when memory is short, vcm
// destroyed then.
bool dvk_gen_vcm_attachNameContext(dvk_vcm_Session* vcms, dvk_vcm_Module** vcm, const dvk_ucs2_Char* name,
                                   const uint32_t* wordIds, int32_t wordIdCount, int32_t displayString);
dvk_gen_vcm_NameContext* dvk_gen_vcm_nameContext(dvk_vcm_Session* vcms);
void dvk_gen_vcm_nameContextDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module** module);
