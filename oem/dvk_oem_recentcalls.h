// The recent-call provider (in this system, an empty list).
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int32_t { DVK_OEM_RECENTCALLS_NUMBER_LENGTH = 32 };

struct dvk_oem_recentcalls_Item;
typedef dvk_oem_recentcalls_Item* dvk_oem_recentcalls_Iterator;  // NULL: none

dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getFirstCall();
dvk_oem_recentcalls_Iterator dvk_oem_recentcalls_getNextCall(dvk_oem_recentcalls_Iterator iterator);
// Writes the call's number, at most 32 units and the terminator.
void dvk_oem_recentcalls_getCallNumber(dvk_oem_recentcalls_Iterator iterator,
                                       dvk_ucs2_Char* number);
