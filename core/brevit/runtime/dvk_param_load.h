// Loading the engine's parameter block from the sub-file "dvkpar" of a model
// archive: the format word 871, then 788 words, 47 reals and 36 strings as
// typed records in the fixed order of kDVKParamLayout. Words the order does not
// name (alignment words, the tails of string slots, word 1007) stay 0.
#pragma once

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

inline constexpr char kDVKParamSubFileTag[] = "dvkpar";
inline constexpr uint32_t kDVKParamFormatNumber = 871;
// Every string record is read into a work buffer of this many bytes.
inline constexpr uint32_t kDVKParamStringBuffer = 1024;

enum DVKParamKind : uint8_t {
    kDVKParamWords,   // count 32-bit word records from word at
    kDVKParamReals,   // count 8-byte real records from word at (two words each)
    kDVKParamString,  // one string record into the slot of count bytes at byte at
};

struct DVKParamRun {
    DVKParamKind kind;
    uint16_t at;
    uint16_t count;
};

// The stored order, one run of like records after another.
extern const DVKParamRun kDVKParamLayout[];
extern const int32_t kDVKParamLayoutRuns;

// A new block (engine memory, freed with DVKMem_Free), or null when the
// sub-file is missing, of the other byte order, not of format 871, too short,
// or holds a string that does not fit its slot. Nothing is half-loaded.
BrevitGlobalParameters* DVKParam_LoadFromBinFile(DVKTar* tar, const char* prefix);
