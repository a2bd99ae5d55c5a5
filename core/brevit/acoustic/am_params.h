// Access to a component's parameters whatever their storage, and the
// conversion of feature values into the model's bytes. Rows come from the
// second parameter set from the first adaptable state on.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

// Index of a component among all components (its state's first + component).
int32_t AM_GetComponentIndex(const AM* am, int32_t state, int32_t component);

// Byte mean rows; null for models without byte rows or for states past the
// trained ones.
const uint8_t* AM_GetMeanVector(const AM* am, int32_t state, int32_t component);
const uint8_t* AM_GetOriginalMeanVector(const AM* am, int32_t state, int32_t component);
// The component's mean as one byte per dimension, whatever the storage.
const uint8_t* AM_GetComponentMean(AM* am, int32_t state, int32_t component);
// Writes a byte mean (one byte per dimension) into the model's storage.
void AM_StoreComponentMean(AM* am, int32_t state, int32_t component, const uint8_t* mean);

const uint32_t* AM_GetWeightVector(const AM* am, int32_t state, int32_t component);
const uint32_t* AM_GetOriginalWeightVector(const AM* am, int32_t state, int32_t component);
void AM_GetCompanionValues(const AM* am, int32_t state, int32_t component, const int32_t** first,
                           const int32_t** second);
void AM_GetCompanionValues16(const AM* am, int32_t state, int32_t component,
                             const int16_t** first, const int16_t** second);
const uint16_t* AM_GetInvVarianceRow16(const AM* am, int32_t state, int32_t component);
const uint8_t* AM_GetInvVarianceRowByte(const AM* am, int32_t state, int32_t component);
const uint32_t* AM_GetVarianceRow32(const AM* am, int32_t state, int32_t component);
int32_t AM_GetRowConstant(const AM* am, int32_t state, int32_t component);
int32_t AM_GetStateAuxValue(const AM* am, int32_t state, int32_t component);

// Byte i is bits 8 (i mod 4) of word i / 4.
void AM_UnpackWords(const uint32_t* words, uint8_t* bytes, int32_t count);
void AM_PackWords(const uint8_t* bytes, uint32_t* words, int32_t count);
// 4-bit means: each byte's low then high nibble into the model's unpack
// buffer; otherwise the bytes themselves.
const uint8_t* AM_Unpack4BitMean(AM* am, const uint8_t* row);
// Clamped to the feature byte range; 4-bit means pack two per output byte.
void AM_ClampMeanBytes(const AM* am, const uint8_t* mean, uint8_t* out);
// A weight row as 16-bit values (row: bytes for 4-bit weights, else 16-bit).
void AM_UnpackWeightRow(const AM* am, const void* row, uint16_t* out);
void AM_WidenBytes(const uint8_t* bytes, uint16_t* out, int32_t count);
// The unscaling offset and two values, the base and scale vectors (feature
// dimension each); the result is the unscaling shift.
int32_t AM_GetUnscaling(const AM* am, int32_t* offset, int32_t* value1, int32_t* value2,
                        int32_t* base, int32_t* scale);
void AM_UnscaleFeature(const AM* am, const uint8_t* frame, int32_t* out);

// Feature conversion: reals round half away from zero, then everything is
// clamped to the minimum and maximum converted value; the double forms use
// the feature byte range instead.
void AM_ConvertFloatFeature(const AM* am, const float* in, uint8_t* out, int32_t count);
void AM_ConvertIntFeature(const AM* am, const int32_t* in, uint8_t* out, int32_t count);
void AM_ConvertIntFeatureCopy(const AM* am, const int32_t* in, uint8_t* out, int32_t count);
void AM_ClampFeature(const AM* am, uint8_t* frame);
void AM_ConvertDoubleFeature(const AM* am, const double* in, uint8_t* out, int32_t count);
void AM_ConvertDoubleFeatureDim(const AM* am, const double* in, uint8_t* out);
