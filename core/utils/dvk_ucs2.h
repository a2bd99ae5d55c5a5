// Zero-terminated UCS-2 strings, the text of every suite interface. Lengths
// count code units; surrogates are units like any other. New strings come
// from the suite's allocator: NULL when memory is short.
#pragma once

#include "sdk/common/dvk_types.h"

// An empty string with room for n units and the terminator (n >= 1).
dvk_ucs2_Char* dvk_ucs2_create(long n);
dvk_ucs2_Char* dvk_ucs2_createCopy(const dvk_ucs2_Char* s);
// s1 and s2 (both required), then further strings up to the first null.
dvk_ucs2_Char* dvk_ucs2_createConcat(const dvk_ucs2_Char* s1, const dvk_ucs2_Char* s2, ...);
// Frees *s (NULL allowed) and clears the caller's pointer.
void dvk_ucs2_destroy(dvk_ucs2_Char** s);

long dvk_ucs2_strlen(const dvk_ucs2_Char* s);
dvk_ucs2_Char* dvk_ucs2_strcpy(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src);
// At most n units (n >= 0), always terminated after them: dst holds n + 1.
dvk_ucs2_Char* dvk_ucs2_strncpy(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src, long n);
dvk_ucs2_Char* dvk_ucs2_strcat(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src);
// Difference of the first unequal units; 0 when equal.
int dvk_ucs2_strcmp(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b);
// The same between a Latin-1 byte string and a UCS-2 string.
int dvk_ucs2_strcmpLatin1(const char* latin1, const dvk_ucs2_Char* ucs2);
// The first unit equal to c; 0 finds only an empty string's start.
dvk_ucs2_Char* dvk_ucs2_strchr(const dvk_ucs2_Char* s, dvk_ucs2_Char c);
// The first occurrence of sub; an empty sub finds s, an empty s nothing.
dvk_ucs2_Char* dvk_ucs2_strstr(const dvk_ucs2_Char* s, const dvk_ucs2_Char* sub);

// In place, over the Latin-1 range (and its one partner outside it, 0x178);
// title case upper-cases the first unit and lower-cases the rest.
void dvk_ucs2_cvtToUppercase(dvk_ucs2_Char* s);
void dvk_ucs2_cvtToLowercase(dvk_ucs2_Char* s);
void dvk_ucs2_cvtToTitlecase(dvk_ucs2_Char* s);

// One, two or three bytes a unit.
char* dvk_ucs2_cvtToUtf8(const dvk_ucs2_Char* s);
// Sequences of one to three bytes; stray continuation bytes, four-byte
// sequences and truncated or broken sequences give nothing.
dvk_ucs2_Char* dvk_ucs2_cvtFromUtf8(const char* bytes);
// NULL also when a unit lies above 0xFF.
char* dvk_ucs2_cvtToLatin1(const dvk_ucs2_Char* s);
dvk_ucs2_Char* dvk_ucs2_cvtFromLatin1(const char* bytes);
