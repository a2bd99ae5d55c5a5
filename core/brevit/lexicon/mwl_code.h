// Word-list spellings: conversions between the engine's UTF-16 text and a
// list's encoded strings, the one-byte spelling codes that restore a
// case-folded key's written capitalisation, and comparisons of a text with a
// key under a code. Encodings 1 (8-bit) and 2 (Latin-1) are handled alike,
// one byte per character; 5 (Latin-9) too, its bytes read and written
// through the Latin-9 table and cased on the character; 3 is UTF-8; 4 the
// compact form of dvk_scsu.h, whose coder state the list owns.
#pragma once

#include "core/brevit/runtime/dvk_scsu.h"

#include <cstdint>

// Spelling code bits.
inline constexpr int32_t kMWLCodeNoUpper = 1;
inline constexpr int32_t kMWLCodeFirstUpper = 2;
inline constexpr int32_t kMWLCodeNoLower = 4;
inline constexpr int32_t kMWLCodeEachWordUpper = 8;
inline constexpr int32_t kMWLCodeExact = 16;       // mixed: the exact spelling is stored
inline constexpr int32_t kMWLCodeCaseless = 128;   // Chinese, Japanese and Korean lists

// Results of the conversions.
inline constexpr int32_t kMWLCodeDone = 0;
inline constexpr int32_t kMWLCodeNotLatin1 = 1;
inline constexpr int32_t kMWLCodeBadEncoding = 2;

// Text to the encoding, lower-cased when asked. out holds 4 bytes per
// character + 1. 1 when a character has no form in a byte encoding (codes 1, 2, 5; out is
// terminated before it), 2 for an encoding other than 1-5. prefix (may be
// null): characters in, bytes of out taken by them out.
int32_t MWLCode_ConvertFromUnicode(uint8_t* out, const uint16_t* text, int32_t lower,
                                   int32_t encoding, const DVKSCSU* state, int32_t* prefix);
// Encoded text to the internal key. Codes 1-2 fold bytes, 3 folds UTF-8
// characters, 4 reads UTF-8 and writes the compact form; without lower codes
// 1-3 copy. An invalid UTF-8 byte is a character of its own value. out holds
// 2 bytes per input byte + 1. prefix: characters in, bytes out. 2 for an
// encoding other than 1-5 (out empty).
int32_t MWLCode_ConvertToInternalE(uint8_t* out, const uint8_t* text, int32_t lower,
                                   int32_t encoding, const DVKSCSU* state, int32_t* prefix);
int32_t MWLCode_GetCode(const uint16_t* text);
// Over encoded characters (codes 3 and 4 read UTF-8), without the
// round-trip test; 0 for an encoding other than 1-5.
int32_t MWLCode_GetCodeE(const uint8_t* text, int32_t encoding);
// The key of keyBytes bytes decoded and cased by code into out (keyBytes + 1
// units). 2 for an encoding other than 1-5.
int32_t MWLCode_RestoreSpelling(uint16_t* out, const uint8_t* key, int32_t keyBytes, int32_t code,
                                int32_t encoding, const DVKSCSU* state);
// The same into encoded bytes: out of size bytes, cut at a character that
// does not fit, always terminated.
int32_t MWLCode_RestoreSpellingE(uint8_t* out, const uint8_t* key, int32_t size, int32_t code,
                                 int32_t encoding, const DVKSCSU* state);
// 0 when the first length characters of text equal the key restored with
// code, else 1 (a key shorter than them gives 1). The key is never read past
// its terminator.
int32_t MWLCode_CompareWithCode(const uint16_t* text, const uint8_t* key, int32_t code,
                                int32_t length, int32_t encoding, const DVKSCSU* state);
// The same for an encoded text; length counts its bytes.
int32_t MWLCode_CompareWithCodeE(const uint8_t* text, const uint8_t* key, int32_t code,
                                 int32_t length, int32_t encoding, const DVKSCSU* state);
// Bytes the text takes in UTF-8: byte codes the UTF-8 of each character, 3 its
// length, 4 decoded and measured; 0 for another code.
int32_t MWLCode_GetUTF8Length(const uint8_t* text, int32_t encoding, const DVKSCSU* state);

// Case-sensitive match of a text (code textCode, 128 for a caseless
// language) with a stored word (key, code wordCode, and for code 16 its
// exact spelling in the list's encoding): 1 when it matches.
int32_t MWLCode_MatchesSpelling(const uint16_t* text, int32_t textCode, const uint8_t* key,
                                int32_t wordCode, const uint8_t* exact, int32_t encoding,
                                const DVKSCSU* state);
