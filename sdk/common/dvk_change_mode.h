// Phone modes for the dialogs: the porting layer's list, entries copied for the suite.
#pragma once

#include "oem/dvk_oem_change_mode.h"

typedef dvk_oem_NamedEntry dvk_change_mode_ModeEntry;
typedef dvk_oem_change_mode_Iterator dvk_change_mode_Iterator;

// The first item for the current language; NULL when there is none.
dvk_change_mode_Iterator dvk_change_mode_getFirstMode();
dvk_change_mode_Iterator dvk_change_mode_getNextMode(dvk_change_mode_Iterator iterator);
// The first item whose name or a synonym equals name exactly; NULL when none.
dvk_change_mode_Iterator dvk_change_mode_findModeByName(const dvk_ucs2_Char* name);
// A new entry (NULL when memory is short); texts cut at their 64th unit.
dvk_change_mode_ModeEntry* dvk_change_mode_getModeEntry(dvk_change_mode_Iterator iterator);
void dvk_change_mode_destroyModeEntry(dvk_change_mode_ModeEntry** entry);
const dvk_ucs2_Char* dvk_change_mode_getModeName(const dvk_change_mode_ModeEntry* entry);
// index 0 or 1; NULL when empty.
const dvk_ucs2_Char* dvk_change_mode_getModeSynonym(const dvk_change_mode_ModeEntry* entry, int32_t index);
// NULL when empty.
const dvk_ucs2_Char* dvk_change_mode_getPronunciation(const dvk_change_mode_ModeEntry* entry);
int32_t dvk_change_mode_getModeContext(const dvk_change_mode_ModeEntry* entry);
// Switches the phone to the mode.
void dvk_change_mode_setMode(dvk_change_mode_Iterator iterator);
