// Every text the suite shows or speaks, by id, from the language's string
// files: range 0 (ids 0-678) from "str_<code>.bin", which must match the
// language's compiled-in descriptor, and range 1 (ids 4096-8190) from
// "vstr_<code>.bin", taken as it is. Files are mapped where possible and
// read into memory otherwise; no offset is used before it is checked
// against the file.
#pragma once

#include "core/lang/dvk_lang.h"
#include "sdk/common/dvk_mmap.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int32_t {
    DVK_STR_NULL = -1,
    DVK_STR_FIRST = 0,
    DVK_STR_MAX = 679,
    DVK_STR_VSEARCH_FIRST = 4096,
    DVK_STR_VSEARCH_LAST = 8190,
};

struct dvk_string_Range {
    dvk_mmap_Handle* mapping;  // or none
    int ownsBuffers;           // offsets and text were read into memory
    int latin1;                // one byte a character, else UCS-2
    uint32_t count;
    const uint8_t* offsets;    // count + 1 little-endian words, in characters
    const uint8_t* text;       // textLength characters
    uint32_t textLength;
};

struct dvk_string_Table {
    dvk_string_Range* ranges[2];
    dvk_lang_Language language;
};

// An empty table (NULL when memory is short).
dvk_string_Table* dvk_string_createStringTable(dvk_lang_Language language);
// Unloads both ranges, frees the table and clears the caller's pointer.
void dvk_string_destroyStringTable(dvk_string_Table** table);
// range 0 or 1: the table, or NULL when the file is missing, refused or
// unreadable (the range stays empty). A loaded range stays as it is.
dvk_string_Table* dvk_string_loadStringTableRange(dvk_string_Table* table, int range);
void dvk_string_unloadStringTableRange(dvk_string_Table* table, int range);

// A new UCS-2 copy of the text (Latin-1 widened); NULL when memory is short
// or the text is damaged; for range 1 also when that range is not loaded or
// the id is past its count.
dvk_ucs2_Char* dvk_string_getString(dvk_string_Table* table, int32_t id);
// 0 when text equals the id's text, else their difference; -1 when the range
// is not loaded, the id is past its count or the text is damaged.
int dvk_string_compareString(dvk_string_Table* table, int32_t id, const dvk_ucs2_Char* text);
// The first of the records (entrySize bytes each, a string id first) whose
// string equals text; NULL when none.
const void* dvk_string_findEntry(dvk_string_Table* table, const void* entries, int32_t entrySize,
                                 int32_t totalSize, const dvk_ucs2_Char* text);
