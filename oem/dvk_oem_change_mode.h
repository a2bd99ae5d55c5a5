// The phone-mode provider: a small fixed table.
#pragma once

#include "oem/dvk_oem_named_entry.h"

typedef dvk_oem_NamedEntry dvk_oem_change_mode_ModeEntry;
struct dvk_oem_change_mode_Row;
typedef const dvk_oem_change_mode_Row* dvk_oem_change_mode_Iterator;  // NULL: none

// The first mode for languages 1, 3-11, 14-18 and 20; NULL for the others
// (language < 30).
dvk_oem_change_mode_Iterator dvk_oem_change_mode_getFirstMode(int32_t language);
dvk_oem_change_mode_Iterator dvk_oem_change_mode_getNextMode(dvk_oem_change_mode_Iterator iterator);
// The texts widened to UCS-2; the context is the mode's identifier (1-4).
void dvk_oem_change_mode_getModeEntry(dvk_oem_change_mode_Iterator iterator,
                                      dvk_oem_change_mode_ModeEntry* entry);
// No effect.
void dvk_oem_change_mode_setMode(dvk_oem_change_mode_Iterator iterator);
// No caller in the system: an empty mode list from now on (or again not).
void oemChangeModeSetEmpty(int empty);
void oemChangeModeInitStub();
