// The native font provider: a fixed font list with synthetic glyphs (no
// caller in the system).
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_oem_native_font_FontEntry {
    int32_t words[6];  // height, 4 x height, 0, style 0 or 1, 0, 0
};
typedef const dvk_oem_native_font_FontEntry* dvk_oem_native_font_Iterator;

dvk_oem_native_font_Iterator dvk_oem_native_font_getFirstFont(int32_t language);
// The following row while the current one has a height; the all-zero last
// row is handed out once, then NULL.
dvk_oem_native_font_Iterator dvk_oem_native_font_getNextFont(dvk_oem_native_font_Iterator iterator);
void dvk_oem_native_font_getFontEntry(dvk_oem_native_font_Iterator iterator,
                                      dvk_oem_native_font_FontEntry* entry);
// A glyph h high and w = (code mod h) + h wide, every byte the code's low four
// bits; answers w. A font of height 0 has no glyphs: 0, nothing written.
int32_t dvk_oem_native_font_getCharacter(dvk_oem_native_font_Iterator iterator,
                                         dvk_ucs2_Char code, uint8_t* data, int32_t length);
