// The engine's 8-bit string helpers. Bounded operations take the buffer size
// in bytes including the terminator. Case and white space are ASCII only.
#pragma once

#include <cstdint>

int32_t DVKStr_Length(const char* s);
// First ch in s; null for a null or empty s, or when absent.
char* DVKStr_Chr(const char* s, int ch);
// First occurrence of t in s; null when either is null or empty, or absent.
char* DVKStr_Str(const char* s, const char* t);

// Copies at most size - 1 bytes and terminates; true when all of src fitted.
// A null src leaves dst empty and gives false.
bool DVKStr_NCopy(char* dst, const char* src, int32_t size);
// Appends what fits and terminates; false (dst unchanged) only when src is
// null or dst has no room at all.
bool DVKStr_NConcat(char* dst, const char* src, int32_t size);
bool DVKStr_ConcatChar(char* dst, char ch, int32_t size);

char* DVKStr_Reverse(char* s);
// Trailing white space becomes terminators.
char* DVKStr_RTrim(char* s);
char* DVKStr_Lower(char* s);
char* DVKStr_Upper(char* s);

// Difference of the first differing bytes (unsigned); a and b not null.
int32_t DVKStr_Compare(const char* a, const char* b);
int32_t DVKStr_NCompare(const char* a, const char* b, int32_t n);
int32_t DVKStr_CompareNoCase(const char* a, const char* b);
// -1, 0 or 1 over at most n bytes, case folded; null sorts first.
int32_t DVKStr_NCompareNoCase(const char* a, const char* b, int32_t n);

// Index of the first element of size bytes equal to key, or -1.
int32_t DVKStr_LinearSearch(const void* key, int32_t size, const void* array, int32_t count);
typedef int (*DVKStr_CompareFunc)(const void* key, const void* element);
// Index of a match in a sorted array, or -1.
int32_t DVKStr_BinarySearch(const void* key, int32_t size, const void* array, int32_t count,
                            DVKStr_CompareFunc compare);

// Token spans: start of the next token (null at the end), its length, and in
// next the byte after the delimiter that ends it (null when it runs to the end).
const char* DVKStr_FindToken(const char* s, const char* delimiters, const char** next,
                             int32_t* length);
// As FindToken on s, or on *next when s is null.
const char* DVKStr_NextTokenSpan(const char* s, const char* delimiters, const char** next,
                                 int32_t* length);
int32_t DVKStr_CountTokens(const char* s, const char* delimiters);
// Tokeniser with a caller-held position: s starts a string, null continues.
// Writes a terminator over the delimiter that ends each token.
char* DVKStr_NextToken(char* s, const char* delimiters, char** next);

// New strings in engine memory (allocation failure raises); DVKStr_Free frees.
char* DVKStr_Duplicate(const char* s);
char* DVKStr_ConcatAlloc(const char* a, const char* b);
char* DVKStr_JoinWith(const char* a, const char* b, const char* separator);
void DVKStr_Free(char* s);

// CRC-32 from 0xFFFFFFFF over the count, then each string (with its
// terminator) and its id; not inverted.
uint32_t DVKStr_StringToIdCRC(const char* const* strings, const uint32_t* ids, int32_t count);
