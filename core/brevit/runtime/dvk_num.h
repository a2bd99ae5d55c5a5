// Number parsing from 8-bit text with fixed range checks, power-of-two
// helpers and decimal rounding. Parsers never consult the process locale.
// A failed parse gives 0 (or false); nothing is reported.
#pragma once

#include <cstdint>

// Signed decimal, -2147483648 .. 2147483647.
bool DVKNum_AsciiIsIntegral(const char* s);
int32_t DVKNum_AsciiToLong(const char* s);
int32_t DVKNum_AsciiToInt(const char* s);
// Signed decimal, -32768 .. 32767.
int16_t DVKNum_AsciiToShort(const char* s);
// Unsigned decimal in each type's range ('+' allowed, '-' refused).
uint32_t DVKNum_AsciiToUnsignedLong(const char* s);
uint32_t DVKNum_AsciiToUnsignedInt(const char* s);
uint16_t DVKNum_AsciiToUnsignedShort(const char* s);
uint8_t DVKNum_AsciiToUnsignedChar(const char* s);
// Hexadecimal with optional leading zeros and one 'x'.
uint16_t DVKNum_HexToUnsignedShort(const char* s);
uint32_t DVKNum_HexToUnsignedInt(const char* s);
uint32_t DVKNum_HexToUnsignedLong(const char* s);
// Real numbers: the validator's grammar; the value is the "C" locale strtod.
bool DVKNum_AsciiIsReal(const char* s);
double DVKNum_AsciiToReal(const char* s);
// 1 for "true" or "yes" in any case, or exactly "1"; else 0.
int32_t DVKNum_AsciiToBoolean(const char* s);

// The standard strtod in the "C" locale, whatever LC_NUMERIC the process has.
double DVKNum_StrtodC(const char* s);

// One digit step of the decimal and hexadecimal parsers, checked before it is
// taken: false (value unchanged) when the result would leave the range.
// Negative numbers accumulate downward, so each type's minimum parses exactly.
bool DVKNum_AddSignedDigit(int32_t* value, int32_t digit, bool negative, int32_t minimum,
                           int32_t maximum);
bool DVKNum_AddUnsignedDigit(uint32_t* value, uint32_t digit, uint32_t maximum);
bool DVKNum_AddHexDigit(uint32_t* value, uint32_t digit, uint32_t maximum);

// The parsers underneath: true and out set on success, out untouched otherwise.
bool DVKNum_ParseSigned(const char* s, int32_t minimum, int32_t maximum, int32_t* out);
bool DVKNum_ParseUnsigned(const char* s, uint32_t maximum, uint32_t* out);
bool DVKNum_ParseHex(const char* s, uint32_t maximum, uint32_t* out);

// (n & (n - 1)) == 0, so 0 counts.
bool DVKNum_IsPowerOf2(uint32_t n);
// Smallest power of two >= n, its exponent in log2 when not null; 0 gives 0.
// Above 2^31 there is none: 0 with exponent 32.
uint32_t DVKNum_RoundUpToPowerOf2(uint32_t n, int32_t* log2);

// Rounds the fraction of x to digits decimals, exact halves to even by the
// last kept digit alone (so with no decimals a half rounds toward zero); a
// zero result is +0.
double DVKNum_RoundToDecimals(double x, int32_t digits);
// Rounds the binary mantissa of x (in [0.5, 1)) to digits decimals.
double DVKNum_Rounde(double x, int32_t digits);
