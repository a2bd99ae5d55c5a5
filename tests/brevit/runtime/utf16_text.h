// UTF-16 test strings as the engine holds them: zero-terminated uint16_t.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace utf16_text {

// The units of a u"" literal with a terminator after them.
inline std::vector<uint16_t> U(std::u16string_view text)
{
    std::vector<uint16_t> units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

inline std::vector<uint16_t> U(std::initializer_list<uint16_t> text)
{
    std::vector<uint16_t> units(text);
    units.push_back(0);
    return units;
}

// The units before the terminator, for comparisons and messages.
inline std::u16string S(const uint16_t* s)
{
    std::u16string text;
    for (; s != nullptr && *s != 0; ++s)
        text.push_back(static_cast<char16_t>(*s));
    return text;
}

// Hex dump of a UTF-16 string for failure messages.
inline std::string Hex(const std::u16string& text)
{
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

} // namespace utf16_text
