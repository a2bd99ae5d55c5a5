// Encoding codes and names of word-list files, and the conversions between
// the engine's UTF-16 text and each encoding that has one.
#pragma once

#include <cstdint>

enum : uint32_t {
    kCharEncodingNone = 0,
    kCharEncoding8Bit = 1,
    kCharEncodingLatin1 = 2,
    kCharEncodingUTF8 = 3,
    kCharEncodingSCSU = 4,
    kCharEncodingLatin9 = 5,
};

// The code's name; null for Latin-9 (it has none) and unknown codes.
const char* CharEncoding_ValueToName(uint32_t code);
// The code of the first name equal to name; 0 for null or an unknown name.
uint32_t CharEncoding_NameToValue(const char* name);
// UTF-8 is checked; Latin-1 and Latin-9 are always valid; others are false.
bool CharEncoding_IsValidEncoding(uint32_t code, const char* bytes);
// Decodes Latin-1, UTF-8 or Latin-9 text into size code units; false for any
// other code, invalid text or too little room.
bool CharEncoding_DecodeToUnicode(uint32_t code, const char* bytes, int32_t size,
                                  uint16_t* dst);
// 0 done, 1 does not fit, 2 a character not representable, 3 another code.
int32_t CharEncoding_EncodeFromUnicode(uint32_t code, const uint16_t* s, int32_t size,
                                       char* dst);
int32_t CharEncoding_EncodeNFromUnicode(uint32_t code, const uint16_t* s, int32_t n,
                                        int32_t size, char* dst);
// Bytes that at most n code units need in the encoding, the terminator
// counted when it lies within them; -1 for codes without a conversion.
int32_t CharEncoding_GetEncodedByteLength(uint32_t code, const uint16_t* s, int32_t n);
