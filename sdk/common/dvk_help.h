// Help topics for the dialogs: the porting layer's list, entries copied for the suite.
#pragma once

#include "oem/dvk_oem_help.h"

typedef dvk_oem_NamedEntry dvk_help_TopicEntry;
typedef dvk_oem_help_Iterator dvk_help_Iterator;

// The first item for the current language; NULL when there is none.
dvk_help_Iterator dvk_help_getFirstTopic();
dvk_help_Iterator dvk_help_getNextTopic(dvk_help_Iterator iterator);
// The first item whose name or a synonym equals name exactly; NULL when none.
dvk_help_Iterator dvk_help_findTopicByName(const dvk_ucs2_Char* name);
// A new entry (NULL when memory is short); texts cut at their 64th unit.
dvk_help_TopicEntry* dvk_help_getTopicEntry(dvk_help_Iterator iterator);
void dvk_help_destroyTopicEntry(dvk_help_TopicEntry** entry);
const dvk_ucs2_Char* dvk_help_getTopicName(const dvk_help_TopicEntry* entry);
// index 0 or 1; NULL when empty.
const dvk_ucs2_Char* dvk_help_getTopicSynonym(const dvk_help_TopicEntry* entry, int32_t index);
// NULL when empty.
const dvk_ucs2_Char* dvk_help_getPronunciation(const dvk_help_TopicEntry* entry);
int32_t dvk_help_getTopicContext(const dvk_help_TopicEntry* entry);
