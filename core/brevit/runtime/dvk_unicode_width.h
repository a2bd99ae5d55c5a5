// Folding of width variants and normalisation of Japanese kana, so that text
// typed in full-width, half-width or hiragana form matches the stored words.
#pragma once

#include <cstdint>

// One character: wide spaces to space, dashes and curly quotes to ASCII, and
// the half-width and full-width forms to their normal-width characters.
uint16_t DVKUnicode_NormalizeWidth(uint16_t ch);

// Hiragana to katakana, half-width katakana to full width, sound marks
// composed with the kana before them. out receives at most the length of s
// plus a terminator; size must exceed that length. Returns the code units
// written, or -1 (out null, size below 1 or too small).
int32_t DVKUnicode_NormalizeKana(const uint16_t* s, int32_t size, uint16_t* out);
