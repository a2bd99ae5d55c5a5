// UCS-2 test text from UTF-16 literals.
#pragma once

#include "sdk/common/dvk_types.h"

#include <string>
#include <vector>

using Ucs2 = std::vector<dvk_ucs2_Char>;

// The units of text and the terminator.
inline Ucs2 ucs2(std::u16string_view text)
{
    Ucs2 units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

// The units of a terminated string, terminator included.
inline Ucs2 ucs2Of(const dvk_ucs2_Char* s)
{
    Ucs2 units;
    do
        units.push_back(*s);
    while (*s++ != 0);
    return units;
}
