// Context-free rewriting of 16-bit phone strings, longest left side first,
// with an optional boundary symbol padding both ends of the string.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

inline constexpr int32_t kPhoneRewriteMaxOutput = 1024;

struct PhoneRewrite {
    int32_t ruleCount;        // R
    uint32_t* leftOffsets;    // R positions into the left pool (owned)
    uint32_t* rightOffsets;   // R positions into the right pool (owned)
    int32_t leftLength;
    uint16_t* leftPool;       // left sides, each ended by 0 (owned)
    int32_t rightLength;
    uint16_t* rightPool;      // right sides, each ended by 0, may be empty (owned)
    int32_t symbolCount;      // S
    uint32_t* buckets;        // S + 3: rules of first symbol c are [buckets[c], buckets[c + 1])
    int32_t boundary;         // 0 = none
    int32_t longestLeft;      // in symbols
    int32_t expansionFactor;
};

// Null on a failed or inconsistent record. R < 1: no rules, nothing follows.
PhoneRewrite* PhoneRewrite_Read(BinFileReader* reader);
// Rewrites the n symbols of input (output may be the input itself). Returns
// the output length, 0 when it exceeds maximum (the output is then left as
// it was). A null output writes nothing and gives the whole length. A symbol
// without a rule (or past the buckets) is dropped.
int32_t PhoneRewrite_Apply(const PhoneRewrite* rules, int32_t n, const uint16_t* input,
                           int32_t maximum, uint16_t* output);
// factor x (n + 2 with a boundary, else n), within 0..1024: the room that
// always suffices.
int32_t PhoneRewrite_GetMaxOutputLength(const PhoneRewrite* rules, int32_t n);
uint32_t PhoneRewrite_ComputeCRC(const PhoneRewrite* rules);
void PhoneRewrite_Delete(PhoneRewrite* rules);
