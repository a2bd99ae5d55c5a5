// Latin-1 (ISO 8859-1) character rules, which every UTF-16 character below
// 256 follows, and the conversions between UTF-16 and Latin-1 or Latin-9
// (ISO 8859-15) text.
#pragma once

#include <cstdint>

bool DVKLatin1_IsLower(uint8_t b);
bool DVKLatin1_IsUpper(uint8_t b);
uint8_t DVKLatin1_ToLower(uint8_t b);
// 0xDF and 0xFF have no Latin-1 upper case and stay.
uint8_t DVKLatin1_ToUpper(uint8_t b);
bool DVKLatin1_IsAlpha(uint8_t b);
bool DVKLatin1_IsDigit(uint8_t b);
bool DVKLatin1_IsAlphaNum(uint8_t b);
// Difference of the case-folded bytes at the first difference; when a ends
// first, minus the unfolded byte of b. a and b not null.
int32_t DVKLatin1_CompareNoCase(const char* a, const char* b);
// The same over at most n bytes; n < 1 gives 0.
int32_t DVKLatin1_NCompareNoCase(const char* a, const char* b, int32_t n);

// Results of the conversions from UTF-16.
enum : int32_t {
    kDVKConvertDone = 0,
    kDVKConvertNoRoom = 1,        // dst holds what fitted, terminated
    kDVKConvertUnrepresentable = 2,  // dst is terminated before that character
};

// Widens each byte (a null s8 counts as empty); false when the text and its
// terminator do not fit in size code units (dst then holds what fitted,
// terminated).
bool DVKUnicode_FromLatin1(const char* s8, int32_t size, uint16_t* dst);
// Narrows each code unit; the first problem decides the result. size counts
// bytes of dst including the terminator; nothing is written beyond it.
int32_t DVKUnicode_ToLatin1(const uint16_t* s, int32_t size, char* dst);
int32_t DVKUnicode_NToLatin1(const uint16_t* s, int32_t n, int32_t size, char* dst);
// Latin-9: the eight positions where ISO 8859-15 differs from ISO 8859-1.
bool DVKUnicode_FromLatin9(const char* s8, int32_t size, uint16_t* dst);
int32_t DVKUnicode_ToLatin9(const uint16_t* s, int32_t size, char* dst);
int32_t DVKUnicode_NToLatin9(const uint16_t* s, int32_t n, int32_t size, char* dst);
