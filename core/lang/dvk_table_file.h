// The files of the string, image and prompt tables: mapped where possible,
// read with buffered calls otherwise, and never trusted beyond their size.
#pragma once

#include "core/lang/dvk_lang.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_mmap.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_table_File {
    dvk_mmap_Handle* mapping;  // set: bytes points into it
    const uint8_t* bytes;
    dvk_file_Stream* stream;   // set when not mapped
    int64_t size;              // bytes in the file
};

// Maps the file, else opens it for reading; false when neither works.
bool dvk_table_open(const char* name, dvk_table_File* file);
// Exactly size bytes at the stream's position (buffered files only).
bool dvk_table_read(dvk_table_File* file, void* buffer, int64_t size);
// A new buffer of exactly size bytes (size > 0) read from the stream; NULL on
// a short read or when memory is short.
void* dvk_table_readExact(dvk_table_File* file, int64_t size);
bool dvk_table_seek(dvk_table_File* file, int64_t position);
// Unmaps or closes.
void dvk_table_close(dvk_table_File* file);

// A little-endian word of a header.
uint32_t dvk_table_word(const uint8_t* header, int offset);

// Code unit `position` of a text block held as Latin-1 (one byte a unit) or
// as little-endian UCS-2.
dvk_ucs2_Char dvk_table_textUnit(const uint8_t* text, bool oneByteUnits, uint32_t position);

// The text starting at unit `offset` when it ends, terminated, inside the
// block's `textLength` units: its start and length (without the terminator).
bool dvk_table_terminatedText(const uint8_t* text, bool oneByteUnits, uint32_t textLength, uint32_t offset,
                              uint32_t* start, uint32_t* length);
// Two header texts of one field agree (as 0-terminated texts within it).
bool dvk_table_sameText(const char* a, const char* b, int field);

// The first size bytes of the file, mapped or read; false when it is shorter.
bool dvk_table_readHeader(dvk_table_File* file, uint8_t* header, int size);

// Loads range 0 (the main file, which the language's descriptor must match;
// no descriptor: nothing) or range 1 (the voice-search file, taken as it is)
// into *slot, unless it holds a range already; false when nothing is loaded.
template <class Range, class Descriptor>
bool dvk_table_loadRange(Range** slot, dvk_lang_Language language, int range,
                         const Descriptor* (*descriptorOf)(dvk_lang_Language),
                         char* (*mainName)(dvk_lang_Language),
                         char* (*searchName)(dvk_lang_Language),
                         Range* (*load)(const char*, const Descriptor*))
{
    if (*slot != nullptr)
        return true;
    const Descriptor* descriptor = range == 0 ? descriptorOf(language) : nullptr;
    if (range == 0 && descriptor == nullptr)
        return false;
    char* name = range == 0 ? mainName(language) : searchName(language);
    if (name == nullptr)
        return false;
    *slot = load(name, descriptor);
    dvk_mem_dealloc(&name);
    return *slot != nullptr;
}
