// Output transform ("bld0"): the normalised int16 feature vector to the bytes
// the acoustic model scores, by a sparse or diagonal int16 matrix, a per-row
// offset, a rounding shift and a clip to 0..255.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct LinearTransform {
    int32_t numOutputs;
    int32_t rowLength;    // 1: diagonal (row r scales feature r)
    int32_t numRows;
    int32_t numDiagonal;  // rows whose first coefficient is the feature's scale
    int32_t shiftA;
    int32_t offsetShift;
    int32_t shiftB;
    int32_t* rowIndex;    // numOutputs rows
    int16_t* offsets;     // numRows
    int16_t** matrix;     // numRows x rowLength
};

// The first transform and, through second, the one that may follow (or
// null). Null when "bld0" is absent or malformed (a count or the matrix shape
// disagreeing, a row index outside the rows, a total shift outside 1..30, an
// offset shift above it, more diagonal rows than rows) or memory runs out.
LinearTransform* LinearTransform_LoadFromBinFile(DVKTar* tar, const char* prefix,
                                                 LinearTransform** second);
void LinearTransform_Apply(const LinearTransform* t, const int16_t* in, uint8_t* out);
// scales[i] for every row i < numDiagonal (1 each without a matrix); shift
// is the total shift.
void LinearTransform_GetScales(const LinearTransform* t, int16_t* scales, int32_t* shift);
const int32_t* LinearTransform_GetRowIndex(const LinearTransform* t);
uint32_t LinearTransform_ComputeCRC(const LinearTransform* t);
void LinearTransform_Destroy(LinearTransform* t);
