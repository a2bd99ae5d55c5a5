// Bit fields in byte arrays, numbered from 0 at the most significant bit of
// byte 0: bit i lies in byte i / 8 at bit position 7 - (i mod 8). A range
// with first > last does nothing and reads 0.
#pragma once

#include <cstdint>

// Bits first..last as an unsigned integer, bit first most significant.
uint32_t DVKBits_ReadRange(const uint8_t* bytes, int32_t first, int32_t last);
// The low last - first + 1 bits of value into bits first..last.
void DVKBits_WriteRange(uint32_t value, int32_t first, int32_t last, uint8_t* bytes);
// Copies bits from a source stream cursor (byte, bit 0..7 from the most
// significant) into destination bits first..last; the cursor is written back.
void DVKBits_StreamToRange(const uint8_t* source, int32_t* byteIndex, int32_t* bitIndex,
                           int32_t first, int32_t last, uint8_t* destination);
// Appends source bits first..last at a destination stream cursor.
void DVKBits_RangeToStream(const uint8_t* source, int32_t first, int32_t last,
                           int32_t* byteIndex, int32_t* bitIndex, uint8_t* destination);

// Bit sets counted from the least significant bit: bit i of a set is
// bytes[i / 8] & kDVKBitMasks[i % 8].
inline constexpr uint8_t kDVKBitMasks[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
