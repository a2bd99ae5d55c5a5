// Recent calls for the dialogs.
#pragma once

#include "oem/dvk_oem_recentcalls.h"

typedef dvk_oem_recentcalls_Iterator dvk_recentcalls_Iterator;

dvk_recentcalls_Iterator dvk_recentcalls_getFirstCall();
dvk_recentcalls_Iterator dvk_recentcalls_getNextCall(dvk_recentcalls_Iterator iterator);
// A new text of at most 32 units (NULL when memory is short).
dvk_ucs2_Char* dvk_recentcalls_getCallNumber(dvk_recentcalls_Iterator iterator);
