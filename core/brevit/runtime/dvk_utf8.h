// UTF-8 text as it reaches the engine from model files and callers, and its
// conversion to and from the engine's UTF-16 text. Valid text has sequences
// of at most 3 bytes (one 16-bit code unit each) and no overlong forms;
// encoded surrogates are let through.
#pragma once

#include <cstdint>

// Copies the sequence at s (lead and continuation bytes, up to 7) and a
// terminator into out (8 bytes); its length, 0 at the end, -1 when invalid.
int32_t DVKUTF8_GetChar(const char* s, char* out);
// Decodes the sequence at s into 16 bits (higher bits are lost); its length,
// 0 at the end (u = 0), -1 when invalid (u = 0).
int32_t DVKUTF8_ToUnicodeChar(const char* s, uint16_t* u);
// 1 to 3 bytes into out (no terminator); u = 0 writes nothing and gives 0.
int32_t DVKUTF8_FromUnicodeChar(uint16_t u, char* out);

// True when every sequence is 1 to 3 bytes, complete and not overlong;
// count (may be null) receives the number of characters. Null counts as empty.
bool DVKUTF8_IsValid(const char* s, int32_t* count);
// Number of characters, or -1 when s is not valid.
int32_t DVKUTF8_Length(const char* s);
// Bytes that at most n code units need, plus 1 when the terminator lies
// within them; n < 1 gives 0.
int32_t DVKUTF8_GetEncodedLength(const uint16_t* u16s, int32_t n);

// Validates and decodes; false for invalid text or when it needs size or more
// code units (dst then holds the first size - 1 of them, terminated).
bool DVKUTF8_ToUnicode(const char* s, int32_t size, uint16_t* dst);
// Encodes; 1 when the text and its terminator need more than size bytes (dst
// then holds the whole characters that fitted, terminated), else 0.
int32_t DVKUTF8_FromUnicode(const uint16_t* u16s, int32_t size, char* dst);
// The same over at most n code units.
int32_t DVKUTF8_NFromUnicode(const uint16_t* u16s, int32_t n, int32_t size, char* dst);

// Character order of the decoded 16-bit values: -1, 0 or 1; null sorts
// first, a prefix sorts first; n counts characters. A byte that starts no
// valid sequence counts as one character of its own value.
int32_t DVKUTF8_Compare(const char* a, const char* b);
int32_t DVKUTF8_NCompare(const char* a, const char* b, int32_t n);
int32_t DVKUTF8_CompareNoCase(const char* a, const char* b);
int32_t DVKUTF8_NCompareNoCase(const char* a, const char* b, int32_t n);

// Case change in place; no mapping lengthens a character, so the text never
// grows. Sequences that do not decode to 1 to 3 bytes stay as they are.
char* DVKUTF8_Lower(char* s);
char* DVKUTF8_Upper(char* s);

// Copies the last sequence of s and a terminator into out (8 bytes); its
// length, 0 for an empty s, -1 when its continuation bytes do not match
// their lead byte. A last byte that is no continuation byte is a character.
int32_t DVKUTF8_GetLastChar(const char* s, char* out);
int32_t DVKUTF8_LastUTF8ToUnicode(const char* s, uint16_t* u);
