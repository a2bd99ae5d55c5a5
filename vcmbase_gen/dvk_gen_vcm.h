// Constructors of the generated voice-command modules that the suite core
// creates by name. Each answers the new module record, or NULL (allocation
// failure, or no such module in this build).
#pragma once

#include <cstdint>

struct dvk_vcm_Session;  // the dialog session
struct dvk_vcm_Module;   // one dialog state on its stack

dvk_vcm_Module* dvk_gen_vcm_newAdaptation(dvk_vcm_Session* session);
// The module of an always-available phrase's event (4, 11, 10, 3, 2, 25, 14,
// 26); phraseStringId is the matched phrase (string 82 restarts the root
// menu); savedState: a saved state exists to go back to. VCM base 0 only.
dvk_vcm_Module* dvk_gen_vcm_newAlwaysAvailableCmd(dvk_vcm_Session* session, int32_t event,
                                                  int32_t phraseStringId, int32_t savedState);
// Shows and speaks the texts with one softkey (its string id and event).
dvk_vcm_Module* dvk_gen_vcm_newHelp(dvk_vcm_Session* session, int32_t screenId,
                                    int32_t titleStringId, int32_t bodyStringId,
                                    int32_t softkeyStringId, int32_t softkeyEvent);
dvk_vcm_Module* dvk_gen_vcm_newRoot(dvk_vcm_Session* session, int32_t flag);
dvk_vcm_Module* dvk_gen_vcm_newSettings(dvk_vcm_Session* session);
// flag: 1 when the user asked for the tutorial, the VCM base (0) at a
// session's start.
dvk_vcm_Module* dvk_gen_vcm_newTutorial(dvk_vcm_Session* session, int32_t flag);
// Creates and pushes the module of a settings item (1-based): 0, or 1 on failure.
int dvk_gen_vcm_pushSettingsMenuItem(dvk_vcm_Session* session, int32_t item);
