// What the speech API offers the grammar: the application's phrase list
// (the "dkapiPfl" word class walks it) and the digit counts of the running
// digits request (the "dkapiDigits" rules are made from them). The speech
// API's engine sets both; without it the list is empty and the counts 0.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

// An application's list: at most 100 items, each with its text (display
// text, "|", spoken form; or the spoken form alone) and whether the
// recogniser can take its spoken form.
struct dvk_dkapi_ListItem {
    dvk_ucs2_Char* text;
    int32_t recognisable;
};

struct dvk_dkapi_List {
    dvk_dkapi_ListItem* items;
    int32_t count;
    dvk_dkapi_List* next;  // the engine keeps every list it made
};

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

// The spoken form of an item text: after the first "|", else the text.
const dvk_ucs2_Char* dvk_dkapi_spokenForm(const dvk_ucs2_Char* text);

// Set by the speech API's engine (suite thread): the list the word class
// walks (none: empty) and the running digits request's counts.
void dvk_dkapi_setPhraseList(const dvk_dkapi_List* list);
void dvk_dkapi_setDigitRecogLen(int32_t minimum, int32_t maximum);
