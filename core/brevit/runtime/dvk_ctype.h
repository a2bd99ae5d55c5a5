// ASCII character classes of the engine. No locale is ever consulted; bytes
// of 0x80 and above belong to no class and are never looked up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum : uint8_t {
    kDVKCtypeLower = 0x01,
    kDVKCtypeUpper = 0x02,
    kDVKCtypeDigit = 0x04,
    kDVKCtypeHexDigit = 0x08,
    kDVKCtypeSpace = 0x10,
    kDVKCtypePrint = 0x20,
    kDVKCtypePunct = 0x40,
};

namespace dvk_detail {

constexpr std::array<uint8_t, 128> buildCtypeTable()
{
    std::array<uint8_t, 128> table{};
    for (int c = 0; c < 128; ++c) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool upper = c >= 'A' && c <= 'Z';
        const bool digit = c >= '0' && c <= '9';
        uint8_t bits = 0;
        if (lower)
            bits |= kDVKCtypeLower;
        if (upper)
            bits |= kDVKCtypeUpper;
        if (digit)
            bits |= kDVKCtypeDigit;
        if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            bits |= kDVKCtypeHexDigit;
        if ((c >= 0x09 && c <= 0x0D) || c == 0x20)
            bits |= kDVKCtypeSpace;
        if (c >= 0x20 && c <= 0x7E)
            bits |= kDVKCtypePrint;
        if (c > 0x20 && c <= 0x7E && !lower && !upper && !digit)
            bits |= kDVKCtypePunct;
        table[static_cast<size_t>(c)] = bits;
    }
    return table;
}

} // namespace dvk_detail

// One byte of class bits per ASCII code 0x00-0x7F.
inline constexpr std::array<uint8_t, 128> kDVKCtypeTable = dvk_detail::buildCtypeTable();

// True when the byte is ASCII and carries one of the class bits.
inline bool DVKCtype_Is(int ch, uint8_t classes)
{
    return ch >= 0 && ch < 0x80 && (kDVKCtypeTable[static_cast<size_t>(ch)] & classes) != 0;
}

// ch +/- 0x20 for ASCII letters; everything else unchanged.
int DVKChar_ToLower(int ch);
int DVKChar_ToUpper(int ch);
