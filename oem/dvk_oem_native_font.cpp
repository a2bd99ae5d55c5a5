#include "oem/dvk_oem_native_font.h"

#include "sdk/common/dvk_assert.h"

#include <cstring>

namespace {

const dvk_oem_native_font_FontEntry fonts[] = {
    {{10, 40, 0, 0, 0, 0}}, {{10, 40, 0, 1, 0, 0}}, {{12, 48, 0, 0, 0, 0}},
    {{12, 48, 0, 1, 0, 0}}, {{14, 56, 0, 0, 0, 0}}, {{14, 56, 0, 1, 0, 0}},
    {{16, 64, 0, 0, 0, 0}}, {{16, 64, 0, 1, 0, 0}}, {{0, 0, 0, 0, 0, 0}},
};

} // namespace

dvk_oem_native_font_Iterator dvk_oem_native_font_getFirstFont(int32_t language)
{
    DVK_ASSERT(language < 30);
    return &fonts[0];
}

dvk_oem_native_font_Iterator dvk_oem_native_font_getNextFont(dvk_oem_native_font_Iterator iterator)
{
    DVK_ASSERT(iterator != NULL);
    return iterator->words[0] != 0 ? iterator + 1 : nullptr;
}

void dvk_oem_native_font_getFontEntry(dvk_oem_native_font_Iterator iterator,
                                      dvk_oem_native_font_FontEntry* entry)
{
    DVK_ASSERT(iterator != NULL);
    DVK_ASSERT(entry != NULL);
    *entry = *iterator;
}

int32_t dvk_oem_native_font_getCharacter(dvk_oem_native_font_Iterator iterator,
                                         dvk_ucs2_Char code, uint8_t* data, int32_t length)
{
    DVK_ASSERT(iterator != NULL);
    DVK_ASSERT(data != NULL);
    DVK_ASSERT(length > 0);
    int32_t height = iterator->words[0];
    if (height <= 0)
        return 0;
    int32_t width = static_cast<int32_t>(code % height) + height;
    DVK_ASSERT(height * width <= length);
    std::memset(data, code & 0x0F, static_cast<size_t>(height * width));
    return width;
}
