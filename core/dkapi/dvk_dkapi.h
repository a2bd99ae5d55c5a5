// What the speech API offers the grammar: the application's phrase list
// (the "dkapiPfl" word class walks it) and the digit counts of the running
// digits request (the "dkapiDigits" rules are made from them).
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

// Iterators are the bitwise complement of an item's index; 0: none.
int32_t dvk_dkapi_pfl_getFirst();
int32_t dvk_dkapi_pfl_getNext(int32_t iterator);
// The item's text and its spoken form (what follows the first "|", else the
// whole text), both the list's own; both none for an item that cannot be
// recognised.
void dvk_dkapi_pfl_getEntry(int32_t iterator, const dvk_ucs2_Char** text,
                            const dvk_ucs2_Char** spoken);
// The minimum and maximum digit counts; 0, 0 without a digits request.
void dvk_dkapi_getDigitRecogLen(int32_t* minimum, int32_t* maximum);
