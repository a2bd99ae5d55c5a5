// Per-id lists of alternative symbol sequences (also the decision trees'
// symbol sets). An id's data starts at its offset: 65535 at once means no
// rewrites, otherwise alternatives separated by 65534 and ended by 65535.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

inline constexpr uint16_t kLMRewriteSeparator = 0xFFFE;
inline constexpr uint16_t kLMRewriteEnd = 0xFFFF;

struct LMRewrite {
    int32_t idCount;      // n
    uint32_t* offsets;    // n positions into data (owned)
    int32_t dataLength;   // m
    uint16_t* data;       // m words (owned)
    int32_t nRewrites;    // kept as stored
    int32_t option;
};

// Null on a failed or inconsistent record; every offset must lie at or
// before the data's last 65535.
LMRewrite* LMRewrite_Read(BinFileReader* reader);
// First alternative of the id; both outputs cleared first (list may be null).
// An id without rewrites, or past the id count, gives length 0.
void LMRewrite_GetRewritesForId(const LMRewrite* table, int32_t id, const uint16_t** list,
                                int32_t* length);
// Alternative k; past the id's alternatives: length 0 at the list's end.
void LMRewrite_GetRewrite(const LMRewrite* table, int32_t id, const uint16_t** list,
                          int32_t* length, int32_t k);
int32_t LMRewrite_GetNRewritesForId(const LMRewrite* table, int32_t id);
int32_t LMRewrite_GetNRewrites(const LMRewrite* table);
int32_t LMRewrite_GetOption(const LMRewrite* table);
uint32_t LMRewrite_ComputeCRC(const LMRewrite* table);
void LMRewrite_Delete(LMRewrite* table);
