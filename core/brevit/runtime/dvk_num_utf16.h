// Number parsing from UTF-16 text: the kinds and ranges of the 8-bit parsers,
// with full-width digits, signs and letters accepted too. A failed
// conversion gives 0 and passes its message and the text to the
// number-warning hook.
#pragma once

#include <cstdint>

// Hook for text that is not a number of the kind asked for; it converts the
// text to UTF-8 and reports nothing further.
void DVKNum_WarnNotANumber(const char* format, const uint16_t* s);

bool DVKNum_UnicodeIsIntegral(const uint16_t* s);
int32_t DVKNum_UnicodeToInt(const uint16_t* s);
int32_t DVKNum_UnicodeToLong(const uint16_t* s);
int16_t DVKNum_UnicodeToShort(const uint16_t* s);
uint32_t DVKNum_UnicodeToUnsignedInt(const uint16_t* s);
uint32_t DVKNum_UnicodeToUnsignedLong(const uint16_t* s);
uint16_t DVKNum_UnicodeToUnsignedShort(const uint16_t* s);
uint8_t DVKNum_UnicodeToUnsignedChar(const uint16_t* s);
uint16_t DVKNum_UnicodeHexToUnsignedShort(const uint16_t* s);
uint32_t DVKNum_UnicodeHexToUnsignedInt(const uint16_t* s);
uint32_t DVKNum_UnicodeHexToUnsignedLong(const uint16_t* s);
// Real numbers of the 8-bit grammar; a number whose ASCII form (without
// leading zeros) needs more than 63 characters is refused.
bool DVKNum_UnicodeIsReal(const uint16_t* s);
double DVKNum_UnicodeToReal(const uint16_t* s);
// 1 for "true" or "yes" in any case, or exactly "1"; 0 otherwise, with a
// warning unless the text is "false", "no" (any case) or "0".
int32_t DVKNum_UnicodeToBoolean(const uint16_t* s);
