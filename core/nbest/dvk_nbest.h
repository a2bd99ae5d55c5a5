// N-best result lists: the ranked entries of a recognition result, each
// holding at most one value per slot (the word class's key: contact name,
// location, digits, command word ...), and one confidence for the list.
// Suite thread only; the owner frees a list with dvk_nbest_destroy.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_array;
struct dvk_map;

struct dvk_nbest_Value {
    char* tag;              // the word class's name, or none
    dvk_ucs2_Char* surface;
    dvk_ucs2_Char* spoken;  // or none
    int32_t wordIdCount;
    uint32_t* wordIds;      // none when the count is 0
    int32_t irIdCount;
    uint32_t* irIds;        // none when the count is 0
};

struct dvk_nbest_Entry {
    dvk_map* values;         // slot -> dvk_nbest_Value, slots ascending
    dvk_ucs2_Char* utterance;  // or none
};

struct dvk_nbest_List {
    dvk_array* entries;  // dvk_nbest_Entry, best first
    int32_t constraintId;
    char* name;
    int32_t confidence;  // 0..100
};

// Answers non-zero for an entry to remove.
typedef int (*dvk_nbest_Filter)(dvk_nbest_List* list, int32_t index, void* argument);

// Indices are asserted >= 0 and, unless said otherwise, below the count.
dvk_nbest_List* dvk_nbest_create(int32_t constraintId, const char* name, int32_t confidence);
// Same id, name, confidence and values; no utterance texts.
dvk_nbest_List* dvk_nbest_createCopy(dvk_nbest_List* list);
void dvk_nbest_destroy(dvk_nbest_List** list);
int32_t dvk_nbest_getCount(dvk_nbest_List* list);
int32_t dvk_nbest_getConfidence(dvk_nbest_List* list);
// The list's own name, not a copy.
int32_t dvk_nbest_getConstraint(dvk_nbest_List* list, const char** name);

// The new entry's index, -1 when memory is short.
int32_t dvk_nbest_addEntry(dvk_nbest_List* list);
void dvk_nbest_deleteEntry(dvk_nbest_List* list, int32_t index);
// Replaces the entry's utterance text by a copy of text; 0, or 1.
int dvk_nbest_addUtt(dvk_nbest_List* list, int32_t index, const dvk_ucs2_Char* text);
const dvk_ucs2_Char* dvk_nbest_getUtt(dvk_nbest_List* list, int32_t index);
int32_t dvk_nbest_getKeyCount(dvk_nbest_List* list, int32_t index);

// A copy of everything as the slot's value; 0, or 1 when memory is short or
// the slot already has a value.
int dvk_nbest_addValue(dvk_nbest_List* list, int32_t index, int32_t slot, const char* tag,
                       const dvk_ucs2_Char* surface, const dvk_ucs2_Char* spoken,
                       int32_t wordIdCount, const uint32_t* wordIds, int32_t irIdCount,
                       const uint32_t* irIds);
int dvk_nbest_addValueNoIds(dvk_nbest_List* list, int32_t index, int32_t slot, const char* tag,
                            const dvk_ucs2_Char* surface, const dvk_ucs2_Char* spoken);
void dvk_nbest_removeValue(dvk_nbest_List* list, int32_t index, int32_t slot);

// The value's texts, or 0; 0 also for an index at or past the count.
const dvk_ucs2_Char* dvk_nbest_getStr(dvk_nbest_List* list, int32_t index, int32_t slot);
const dvk_ucs2_Char* dvk_nbest_getSpokenForm(dvk_nbest_List* list, int32_t index, int32_t slot);
const char* dvk_nbest_getWordClass(dvk_nbest_List* list, int32_t index, int32_t slot);
// The count with the ids, or 0 and none when the slot has no value.
int32_t dvk_nbest_getWordIds(dvk_nbest_List* list, int32_t index, int32_t slot, const uint32_t** ids);
int32_t dvk_nbest_getIrIds(dvk_nbest_List* list, int32_t index, int32_t slot, const uint32_t** ids);

// The destination's value of the slot becomes a copy of the source's (or
// goes, when the source has none); 1 only when the copy cannot be made,
// and then nothing changed.
int dvk_nbest_duplicateValue(dvk_nbest_List* source, int32_t sourceIndex,
                             dvk_nbest_List* destination, int32_t destinationIndex, int32_t slot);
// Copies every value of other's entry j into entry i, in slot order; 1
// (and entry i as it was) when one cannot be added.
int dvk_nbest_update(dvk_nbest_List* list, int32_t i, dvk_nbest_List* other, int32_t j);

// Removes the entries the filter names; the count left.
int32_t dvk_nbest_filter(dvk_nbest_List* list, dvk_nbest_Filter filter, void* argument);
// Keeps the first n (n >= 0) entries; the count left.
int32_t dvk_nbest_chop(dvk_nbest_List* list, int32_t n);
// Removes every entry with the slots and surfaces of a better one.
int32_t dvk_nbest_removeDuplicates(dvk_nbest_List* list);
// Entry i (i > k) repeats entry k, as argument (intptr_t) k: 1, else 0.
int dupFilter(dvk_nbest_List* list, int32_t index, void* argument);
void dvk_nbest_log(dvk_nbest_List* list);

// Test tool: lists made and not yet destroyed.
long dvk_nbest_liveLists();
