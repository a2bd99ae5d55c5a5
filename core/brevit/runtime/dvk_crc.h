// Running CRC-32 (reflected, polynomial 0xEDB88320) that engine components
// fold their data into. The adders neither invert at the start nor at the
// end: start from 0xFFFFFFFF and invert the result for the standard CRC-32.
// Stored checksums depend on the exact byte sequences below.
#pragma once

#include <cstdint>

uint32_t DVKCrc_AddBytes(const void* bytes, int32_t count, uint32_t crc);
uint32_t DVKCrc_AddByte(uint32_t value, uint32_t crc);
// Low byte, then the next.
uint32_t DVKCrc_AddShort(uint32_t value, uint32_t crc);
// The four bytes from least to most significant.
uint32_t DVKCrc_AddInt(uint32_t value, uint32_t crc);
// The low 16 bits of each word, each added as an int (two bytes, two zeros).
uint32_t DVKCrc_AddPair(uint32_t first, uint32_t second, uint32_t crc);
// Size 1 byte, 2 short, 4 int, 8 pair (value, 0); other sizes leave crc as is.
uint32_t DVKCrc_AddValue(uint32_t value, int32_t size, uint32_t crc);
// Elements of size 1, 2, 4, or 8 (two full words each); other sizes leave crc as is.
uint32_t DVKCrc_AddArray(const void* array, int32_t elementSize, int32_t count, uint32_t crc);
// Reals are rounded to 3 decimals and added as exponent and 8-bit mantissa,
// so their last bits do not matter.
uint32_t DVKCrc_AddFloat(float value, uint32_t crc);
uint32_t DVKCrc_AddDouble(double value, uint32_t crc);
uint32_t DVKCrc_AddArrayFloat(const float* array, int32_t count, uint32_t crc);
uint32_t DVKCrc_AddArrayDouble(const double* array, int32_t count, uint32_t crc);
// The bytes including the terminator; null leaves crc as is.
uint32_t DVKCrc_AddString(const char* s, uint32_t crc);
