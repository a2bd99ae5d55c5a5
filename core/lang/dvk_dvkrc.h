// Table descriptors compiled into the program for 14 languages: the headers
// the main string, image and prompt files must carry. A descriptor whose
// data references are set would stand in for its file; here every reference
// is empty, so they serve to validate the files.
#pragma once

#include "core/lang/dvk_lang.h"

#include <cstdint>

enum : uint32_t {
    DVK_DVKRC_MAGIC = 0x12345678,
    DVK_DVKRC_LATIN1 = 1,  // text encoding word; 0 is UCS-2
};

struct dvk_dvkrc_StringTable {
    char version[16];
    char locale[8];
    uint32_t magic;
    uint32_t encoding;
    uint32_t count;
    uint32_t textLength;  // characters
    const uint32_t* offsets;
    const void* text;
};

struct dvk_dvkrc_ImageTable {
    char version[16];
    char locale[8];
    uint32_t magic;
    uint32_t count;
    uint32_t perSizeClass;
    uint32_t dataSize;
    const uint16_t* widths;
    const uint16_t* heights;
    const uint32_t* palettes;
    const uint32_t* dataOffsets;
    const uint32_t* alphaOffsets;
    const uint8_t* data;
};

struct dvk_dvkrc_PromptTable {
    char version[16];
    char locale[8];
    uint32_t magic;
    uint32_t count;
    char vocoder[8];
    uint32_t audioSize;
    uint32_t encoding;
    uint32_t textLength;
    const uint32_t* audioOffsets;
    const uint32_t* audioLengths;
    const uint8_t* audio;
    const uint32_t* textOffsets;
    const void* text;
};

// NULL for the 16 languages without descriptors.
const dvk_dvkrc_StringTable* dvk_dvkrc_getStringTable(dvk_lang_Language language);
const dvk_dvkrc_ImageTable* dvk_dvkrc_getImageTable(dvk_lang_Language language);
const dvk_dvkrc_PromptTable* dvk_dvkrc_getPromptTable(dvk_lang_Language language);
