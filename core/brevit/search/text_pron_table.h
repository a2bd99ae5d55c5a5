// Table-driven text-to-pronunciation ("bep0"), for word classes whose
// spelling maps to sound piece by piece (spelled letters, digits). An entry,
// chosen by tag, cuts the text into its named segments (first match in id
// order), emits each segment's phones, places a deferred mark before the
// next phone that accepts it, collapses runs of the boundary phone and ends
// the result with a boundary.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/search/lm_symbol_table.h"

#include <cstdint>

inline constexpr const char* kTextPronSubFileTag = "bep0";
inline constexpr uint16_t kTextPronEnd = 0xFFFF;

// TextPronTable_TextToPron results.
inline constexpr int32_t kTextPronDone = 0;
inline constexpr int32_t kTextPronFull = 1;
inline constexpr int32_t kTextPronNothing = 2;   // no phones, or an unknown character
inline constexpr int32_t kTextPronNoTable = 3;

struct TextPronEntry {
    char* name;                 // the tag that selects the entry
    char* secondName;
    LMSymbolTableU* segments;   // segment ids 1..K, non-empty names
    LMRewrite* phones;          // first alternative of id k: segment k's phones
    char separator;             // 0: none
    int32_t mark;               // deferred mark phone
    int32_t boundary;           // 0: none
    int32_t flagCount;          // F
    uint32_t* flags;            // per phone id below F: non-zero accepts the mark before it
};

struct TextPronTable {
    int32_t count;
    TextPronEntry* entries;
};

TextPronTable* TextPronTable_LoadFromBinFile(DVKTar* tar, const char* prefix);
// The records of "bep0"; null for a count of 0 or a failed or inconsistent record.
TextPronTable* TextPronTable_Read(BinFileReader* reader);
// count zeroed entries; null on allocation failure.
TextPronTable* TextPronTable_Alloc(int32_t count);
// Phone ids of UTF-16 text into phones (maximum values, the 65535 end
// included); the entry named tag, else the last. Returns a result above.
int32_t TextPronTable_TextToPron(const TextPronTable* table, void* unused, const uint16_t* text,
                                 const char* tag, int32_t maximum, uint16_t* phones);
uint32_t TextPronTable_ComputeCRC(const TextPronTable* table);
void TextPronTable_Delete(TextPronTable* table);
