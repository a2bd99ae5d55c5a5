// Go-to applications for the dialogs: the porting layer's list, entries copied for the suite.
#pragma once

#include "oem/dvk_oem_goto.h"

typedef dvk_oem_NamedEntry dvk_goto_AppEntry;
typedef dvk_oem_goto_Iterator dvk_goto_Iterator;

// The first item for the current language; NULL when there is none.
dvk_goto_Iterator dvk_goto_getFirstApp();
dvk_goto_Iterator dvk_goto_getNextApp(dvk_goto_Iterator iterator);
// The first item whose name or a synonym equals name exactly; NULL when none.
dvk_goto_Iterator dvk_goto_findAppByName(const dvk_ucs2_Char* name);
// A new entry (NULL when memory is short); texts cut at their 64th unit.
dvk_goto_AppEntry* dvk_goto_getAppEntry(dvk_goto_Iterator iterator);
void dvk_goto_destroyAppEntry(dvk_goto_AppEntry** entry);
const dvk_ucs2_Char* dvk_goto_getAppName(const dvk_goto_AppEntry* entry);
// index 0 or 1; NULL when empty.
const dvk_ucs2_Char* dvk_goto_getAppSynonym(const dvk_goto_AppEntry* entry, int32_t index);
// NULL when empty.
const dvk_ucs2_Char* dvk_goto_getPronunciation(const dvk_goto_AppEntry* entry);
int32_t dvk_goto_getAppContext(const dvk_goto_AppEntry* entry);
int32_t dvk_goto_isAppEnabled(dvk_goto_Iterator iterator);
void dvk_goto_setAppEnabled(dvk_goto_Iterator iterator, int32_t enabled);
// Like first and next, skipping disabled applications.
dvk_goto_Iterator dvk_goto_getFirstEnabledApp();
dvk_goto_Iterator dvk_goto_getNextEnabledApp(dvk_goto_Iterator iterator);
