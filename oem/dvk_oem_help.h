// The help topic provider (in this system, an empty list).
#pragma once

#include "oem/dvk_oem_named_entry.h"

typedef dvk_oem_NamedEntry dvk_oem_help_TopicEntry;
struct dvk_oem_help_Item;
typedef dvk_oem_help_Item* dvk_oem_help_Iterator;  // NULL: none

dvk_oem_help_Iterator dvk_oem_help_getFirstTopic(int32_t language);
dvk_oem_help_Iterator dvk_oem_help_getNextTopic(dvk_oem_help_Iterator iterator);
void dvk_oem_help_getTopicEntry(dvk_oem_help_Iterator iterator, dvk_oem_help_TopicEntry* entry);
void oemHelpInitStub();
