// Recording callbacks for the application answers the failure, selection
// and redial states send: each delivered answer becomes one line of the
// harness log ("lookup 'Ann' 0", "play '' '' '' '' 0 0 0 0",
// "call 'Carl Jensen' 'WORK' '6505550142'", "send 'Ann' 'Mobile' '5550001' '' 0",
// "goto 'Ann' 3", "help 'Ann' 3", "check 4").
#pragma once

#include "core/ce/dvk_app.h"

void recordAnswers(dvk_app_Notifications* notifications);
