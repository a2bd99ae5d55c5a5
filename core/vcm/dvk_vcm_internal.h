// Helpers the dialog manager's files share.
#pragma once

#include "core/vcm/dvk_vcm.h"

void dvk_vcm_destroyStack(dvk_vcm_Session* vcms, dvk_vcm_Module** stack);
void dvk_vcm_destroySavedChain(dvk_vcm_Session* vcms, dvk_vcm_Session** saved);

// Clears the stack; *message = the exit notification with the code. 1 when
// the notification could not be built.
int dvk_vcm_exitWith(dvk_vcm_Session* vcms, dvk_app_CompletionCode code, dvk_msg_Message** message);
