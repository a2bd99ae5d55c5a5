// The go-to application provider (in this system, an empty list).
#pragma once

#include "oem/dvk_oem_named_entry.h"

typedef dvk_oem_NamedEntry dvk_oem_goto_AppEntry;
struct dvk_oem_goto_Item;
typedef dvk_oem_goto_Item* dvk_oem_goto_Iterator;  // NULL: none

dvk_oem_goto_Iterator dvk_oem_goto_getFirstApp(int32_t language);
dvk_oem_goto_Iterator dvk_oem_goto_getNextApp(dvk_oem_goto_Iterator iterator);
int32_t dvk_oem_goto_isAppEnabled(dvk_oem_goto_Iterator iterator);
void dvk_oem_goto_setAppEnabled(dvk_oem_goto_Iterator iterator, int32_t enabled);
void dvk_oem_goto_getAppEntry(dvk_oem_goto_Iterator iterator, dvk_oem_goto_AppEntry* entry);
void oemGoToInitStub();
