// The engine's UTF-16 string helpers: zero-terminated strings of 16-bit code
// units, one unit per character. Bounded operations take the buffer size in
// code units including the terminator. The twins of the 8-bit helpers.
#pragma once

#include <cstdint>

// The white-space characters of DVKUnicode_IsSpace, zero-terminated, for use
// as token delimiters.
extern const uint16_t kDVKUniWhiteSpace[];

int32_t DVKUnicode_Length(const uint16_t* s);
// Copies at most size - 1 units and terminates; true when all of src fitted.
// A null src leaves dst empty and gives false.
bool DVKUnicode_NCopy(uint16_t* dst, const uint16_t* src, int32_t size);
// Copies n units (the areas may overlap); false when a pointer is null.
bool DVKUnicode_MemCopy(uint16_t* dst, const uint16_t* src, int32_t n);
// Appends what fits and terminates; false (dst unchanged) when src is null
// or dst has no room left.
bool DVKUnicode_NConcat(uint16_t* dst, const uint16_t* src, int32_t size);
// The same from an 8-bit string, each byte widened.
bool DVKUnicode_NConcatAscii(uint16_t* dst, const char* src8, int32_t size);
bool DVKUnicode_ConcatChar(uint16_t* dst, uint16_t c, int32_t size);

// First c in s; null for a null or empty s, or when absent.
uint16_t* DVKUnicode_Chr(const uint16_t* s, uint16_t c);
// First character of s that occurs in set, or null.
uint16_t* DVKUnicode_PBrk(const uint16_t* s, const uint16_t* set);
// Length of the leading run of s made only of characters of set.
int32_t DVKUnicode_Spn(const uint16_t* s, const uint16_t* set);
// First occurrence of t in s; null when t is empty or absent. Linear time.
uint16_t* DVKUnicode_Str(const uint16_t* s, const uint16_t* t);

// -1, 0 or 1 in code-unit order; null sorts first, a prefix sorts first.
int32_t DVKUnicode_Compare(const uint16_t* a, const uint16_t* b);
int32_t DVKUnicode_NCompare(const uint16_t* a, const uint16_t* b, int32_t n);
// Against an 8-bit string whose bytes count as code units.
int32_t DVKUnicode_CompareAscii(const uint16_t* a, const char* b8);
int32_t DVKUnicode_NCompareAscii(const uint16_t* a, const char* b8, int32_t n);
// Upper-case characters of both sides lowered first.
int32_t DVKUnicode_CompareNoCase(const uint16_t* a, const uint16_t* b);
int32_t DVKUnicode_NCompareNoCase(const uint16_t* a, const uint16_t* b, int32_t n);

// In place; each returns s.
uint16_t* DVKUnicode_Lower(uint16_t* s);
uint16_t* DVKUnicode_Upper(uint16_t* s);
uint16_t* DVKUnicode_Reverse(uint16_t* s);
// Trailing ASCII white space becomes terminators; wide spaces stay.
uint16_t* DVKUnicode_RTrim(uint16_t* s);
// Number of leading white-space characters; first receives the character
// after them (0 at the end).
int32_t DVKUnicode_SkipSpace(const uint16_t* s, uint16_t* first);

// Token spans: start of the next token (null at the end), its length, and in
// next the unit after the delimiter that ends it (null when it runs to the end).
const uint16_t* DVKUnicode_FindToken(const uint16_t* s, const uint16_t* delimiters,
                                     const uint16_t** next, int32_t* length);
// As FindToken on s, or on *next when s is null.
const uint16_t* DVKUnicode_NextTokenSpan(const uint16_t* s, const uint16_t* delimiters,
                                         const uint16_t** next, int32_t* length);
int32_t DVKUnicode_CountTokens(const uint16_t* s, const uint16_t* delimiters);
// Tokeniser with a caller-held position: s starts a string, null continues.
// Writes a terminator over the delimiter that ends each token.
uint16_t* DVKUnicode_NextToken(uint16_t* s, const uint16_t* delimiters, uint16_t** next);
