// The help handler a settings screen keeps in its own table: the help
// screen of that setting, without a start-over softkey. The dialog's HELP
// goes to the tutorial first, so only a direct call reaches it.
#pragma once

#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

template <int32_t Screen, int32_t Title, int32_t Body>
int dvk_gen_vcm_settingsHelpHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    return dvk_vcm_push(vcms, dvk_gen_vcm_newHelp(vcms, Screen, Title, Body, DVK_STR_NULL, DVK_UI_EVENT_NONE));
}
