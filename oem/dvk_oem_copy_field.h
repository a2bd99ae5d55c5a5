// Copies a text into a 64-unit field of the porting interface, cutting a
// longer one (logged) to 63 units and its terminator.
#pragma once

#include "sdk/common/dvk_types.h"

#include "platform/core/wex_string.h"

void copyField(dvk_ucs2_Char* dest, const dvk_ucs2_Char* src);
// UTF-8 sources: a text that does not convert leaves the field empty.
void copyField(dvk_ucs2_Char* dest, const char* src);
void copyField(dvk_ucs2_Char* dest, const WexString& src);
