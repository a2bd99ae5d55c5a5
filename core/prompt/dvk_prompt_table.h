// The recorded prompts of a language, by id: range 0 (ids 0-446) from
// "prm_<code>.bin", which must match the language's compiled-in descriptor,
// and range 1 (ids 4096-8190) from "vprm_<code>.bin", taken as it is. Each
// prompt is vocoded audio (one vocoder for the whole file), a text to
// synthesise, both or neither. Files are mapped where possible; otherwise
// the index tables and texts are read up front and each prompt's audio when
// it is created. Header, arrays and blocks must fit the file, and no prompt
// offset or length is used before it is checked against its block.
#pragma once

#include "core/lang/dvk_dvkrc.h"
#include "core/lang/dvk_lang.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mmap.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

enum : int32_t {
    DVK_PROMPT_FIRST = 0,
    DVK_PROMPT_MAX = 447,
    DVK_PROMPT_VSEARCH_FIRST = 4096,
    DVK_PROMPT_VSEARCH_LAST = 8190,
    DVK_PROMPT_HEADER_SIZE = 72,
};

struct dvk_prompt_Range {
    dvk_mmap_Handle* mapping;  // or none
    dvk_file_Stream* file;     // open when not mapped
    uint32_t count;
    int32_t vocoderType;       // DVK_OEM_AUDIO_VOCTYPE_*
    uint32_t encoding;         // 1 Latin-1, 0 UCS-2
    const uint8_t* audioOffsets;  // count little-endian words each
    const uint8_t* audioLengths;
    const uint8_t* audioBase;  // the audio block in the mapping, or none
    int64_t audioStart;        // file position of the audio block
    uint32_t audioSize;
    const uint8_t* textOffsets;
    const uint8_t* text;       // textLength characters, or none
    uint32_t textLength;
    int ownsBuffers;           // the arrays and text were read into memory
};

struct dvk_prompt_Table {
    dvk_prompt_Range* ranges[2];
    dvk_lang_Language language;
};

struct dvk_prompt_Prompt {
    int32_t vocoderType;
    const uint8_t* data;
    uint32_t length;  // at least 1
    int owned;        // data was read from the file for this prompt
};

// An empty table (NULL when memory is short).
dvk_prompt_Table* dvk_prompt_createPromptTable(dvk_lang_Language language);
// Unloads both ranges, frees the table and clears the caller's pointer.
void dvk_prompt_destroyPromptTable(dvk_prompt_Table** table);
// range 0 or 1: the table, or NULL when the descriptor or file is missing,
// the file refused or unreadable, or memory short (the range stays empty).
// A loaded range stays as it is.
dvk_prompt_Table* dvk_prompt_loadPromptTableRange(dvk_prompt_Table* table, int range);
void dvk_prompt_unloadPromptTableRange(dvk_prompt_Table* table, int range);

// A range over a descriptor that carries its own audio or text block (no
// file): nothing is copied; the descriptor must outlive the range. NULL when
// memory is short. Used by loading; exposed for tests.
dvk_prompt_Range* dvk_prompt_buildRange(const dvk_dvkrc_PromptTable* descriptor);

// 1 when a 72-byte file header matches the descriptor: version, language
// and vocoder name equal as texts within their fields; magic, count, audio
// size, encoding and text length equal.
int dvk_prompt_validatePromptFile(const dvk_dvkrc_PromptTable* descriptor, const uint8_t* header);
// The vocoder code of a name of at most 8 bytes (not necessarily
// terminated); DVK_OEM_AUDIO_VOCTYPE_NONE for unknown names.
int32_t dvk_prompt_getVocoderType(const char* name);

// Ids outside 0-446 and 4096-8190, ranges not loaded and indices past the
// range's count answer 0 or NULL.
int dvk_prompt_isVocoded(dvk_prompt_Table* table, int32_t id);
int dvk_prompt_isTts(dvk_prompt_Table* table, int32_t id);
// The prompt's audio (asserts the id ranges); NULL when it has none, when
// its audio does not lie in the audio block, on a short read or when memory
// is short.
dvk_prompt_Prompt* dvk_prompt_createPrompt(dvk_prompt_Table* table, int32_t id);
void dvk_prompt_destroyPrompt(dvk_prompt_Prompt** prompt);
const uint8_t* dvk_prompt_getData(const dvk_prompt_Prompt* prompt);
uint32_t dvk_prompt_getDataLength(const dvk_prompt_Prompt* prompt);
int32_t dvk_prompt_getVocoder(const dvk_prompt_Prompt* prompt);
// A new UCS-2 copy of the prompt's text; NULL when it has none, when the
// text does not start and end within the text block, or memory is short.
dvk_ucs2_Char* dvk_prompt_createTtsString(dvk_prompt_Table* table, int32_t id);
