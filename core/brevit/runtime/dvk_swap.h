// Byte-order reversal for the record writer (archives of the other order).
#pragma once

#include <cstdint>

// Reverses one value of size 2, 4 or 8 in place; other sizes do nothing.
void DVKSwap_Bytes(void* value, int32_t size);
// Reverse each element in place; counts below 1 do nothing.
void DVKSwap_ArrayFloat(float* array, int32_t count);
void DVKSwap_ArrayDouble(double* array, int32_t count);
void DVKSwap_Array16(void* array, int32_t count);
void DVKSwap_Array32(void* array, int32_t count);
void DVKSwap_Array64(void* array, int32_t count);
