// Language identification of a word's written form ("blid0"): exception
// words give their language directly; any other text becomes a sequence of
// symbols, a decision tree gives each symbol position a cost per language,
// and the language with the lowest total wins, with the gap to the runner-up
// as its margin. No loader of the engine reads one: the vocabulary's slot
// stays empty.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_symbol_table.h"

#include <cstdint>

inline constexpr const char* kLIDSubFileTag = "blid0";
inline constexpr int32_t kLIDByteMapSize = 256;
// Mode word: the character table and a second index table follow.
inline constexpr int32_t kLIDModeCharacters = 1;

struct LID {
    int32_t scale;
    LMSymbolTable* languages;          // language ids 1..n
    uint32_t languageSetCRC;
    LMSymbolTable* exceptionWords;
    LMIndexTable* exceptionLanguages;  // entry k: language of exception word k
    LMSymbolTable* thirdTable;         // kept and checksummed only
    uint16_t* byteMap;                 // symbol per byte value, 0 none; absent: UTF-8 text
    LMSymbolTable* characters;         // single UTF-8 characters (character mode)
    LMIndexTable* secondIndex;         // kept and checksummed only
    int32_t width;                     // w: symbol positions the tree sees
    LMDTree* tree;                     // STD leaves: (language id, cost byte)
};

LID* LID_LoadFromBinFile(DVKTar* tar, const char* prefix);
// The records of "blid0"; null on a failed or inconsistent one.
LID* LID_Read(BinFileReader* reader);
// The language name (owned by the model) of UTF-16 text, or null; margin
// (may be null) receives the gap to the runner-up.
const char* LID_GetLanguageId(const LID* model, const uint16_t* text, int32_t* margin);
// The same for 8-bit text (with a byte map) or UTF-8 text (without).
const char* LID_IdentifyText(const LID* model, const char* text, int32_t* margin);
int32_t LID_GetScale(const LID* model);
uint32_t LID_GetLanguageSetCRC(const LID* model);
uint32_t LID_ComputeCRC(const LID* model);
void LID_Delete(LID* model);
