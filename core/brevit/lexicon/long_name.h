// Long word names: a surface form, optionally followed by "\" and a spoken
// form, spaces written as "_" and the three special characters "^", "\" and
// "_" escaped by "^". Every function exists over 8-bit strings (bytes
// compared unsigned) and, ending in U, over UTF-16 strings. Sizes count the
// terminator; a size-0 output receives nothing.
#pragma once

#include <cstdint>

// 1 when the name is valid: not empty, no unescaped character below 33,
// "^" only before "^", "\" or "_", at most one "\" and not first.
int32_t WU_IsValidLongName(const char* name);
// Splits into the two forms (an absent spoken part gives an empty spoken
// form). 0 on bad syntax (a "\" last or twice, a lone "^" or one before
// another character, an unescaped character 1..32), when a form does not
// fit its buffer, or when the surface form is not valid.
int32_t WU_ConvertLongNameToSurfaceSpoken(const char* name, char* surface, int32_t surfaceSize,
                                          char* spoken, int32_t spokenSize);
// Joins a valid surface form and a spoken form (null or empty: none) into
// output; 0 when a form is invalid or the output is too small (it then holds
// what fitted, terminated; "\" only with room for a terminator after it).
int32_t WU_ConvertSurfaceSpokenToLongName(const char* surface, const char* spoken, char* output,
                                          int32_t size);
// Not empty and no character below 32.
int32_t WU_IsValidSurfaceForm(const char* form);
// Empty, or no character below 32.
int32_t WU_IsValidSpokenForm(const char* form);
// One form in long-name syntax; 0 when the output is full first (an escape
// pair is written whole or not at all) or its size is below 2 for a
// non-empty form.
int32_t WU_EncodeLongNameForm(const char* form, char* output, int32_t size);

int32_t WU_IsValidLongNameU(const uint16_t* name);
int32_t WU_ConvertLongNameToSurfaceSpokenU(const uint16_t* name, uint16_t* surface,
                                           int32_t surfaceSize, uint16_t* spoken,
                                           int32_t spokenSize);
int32_t WU_ConvertSurfaceSpokenToLongNameU(const uint16_t* surface, const uint16_t* spoken,
                                           uint16_t* output, int32_t size);
int32_t WU_IsValidSurfaceFormU(const uint16_t* form);
int32_t WU_IsValidSpokenFormU(const uint16_t* form);
int32_t WU_EncodeLongNameFormU(const uint16_t* form, uint16_t* output, int32_t size);
