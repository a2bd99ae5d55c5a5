#include "core/brevit/runtime/dvk_unicode_width.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>

namespace {

constexpr uint16_t kFormsFirst = 0xFF01;
constexpr uint16_t kFormsLast = 0xFFEE;

typedef std::array<uint16_t, kFormsLast - kFormsFirst + 1> FormsTable;

// U+FF01-U+FFEE to the single character of their <wide> or <narrow>
// compatibility decomposition, one level deep; others map to themselves.
FormsTable buildFormsTable()
{
    FormsTable table{};
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    for (uint32_t c = kFormsFirst; c <= kFormsLast; ++c) {
        uint16_t mapped = static_cast<uint16_t>(c);
        const int32_t type = u_getIntPropertyValue(static_cast<UChar32>(c),
                                                   UCHAR_DECOMPOSITION_TYPE);
        icu::UnicodeString decomposition;
        if (U_SUCCESS(status) && (type == U_DT_WIDE || type == U_DT_NARROW) &&
            nfkc->getRawDecomposition(static_cast<UChar32>(c), decomposition) &&
            decomposition.length() == 1)
            mapped = decomposition.charAt(0);
        table[c - kFormsFirst] = mapped;
    }
    // Unassigned, but folded with the half-width Hangul vowels around it.
    table[0xFFBF - kFormsFirst] = 0x314F;
    return table;
}

bool isVoicedMark(uint16_t c)
{
    return c == 0x3099 || c == 0x309B || c == 0xFF9E;
}

bool isSemiVoicedMark(uint16_t c)
{
    return c == 0x309A || c == 0x309C || c == 0xFF9F;
}

// The katakana c with the voiced sound mark, or c when it has none.
uint16_t voiced(uint16_t c)
{
    if (c == 0x30A6)
        return 0x30F4;
    if ((c >= 0x30AB && c <= 0x30C1 && (c & 1) != 0) || c == 0x30C4 || c == 0x30C6 ||
        c == 0x30C8 || c == 0x30CF || c == 0x30D2 || c == 0x30D5 || c == 0x30D8 ||
        c == 0x30DB || c == 0x30FD)
        return static_cast<uint16_t>(c + 1);
    if (c >= 0x30EF && c <= 0x30F2)
        return static_cast<uint16_t>(c + 8);
    return c;
}

uint16_t semiVoiced(uint16_t c)
{
    if (c == 0x30CF || c == 0x30D2 || c == 0x30D5 || c == 0x30D8 || c == 0x30DB)
        return static_cast<uint16_t>(c + 2);
    return c;
}

} // namespace

uint16_t DVKUnicode_NormalizeWidth(uint16_t ch)
{
    if ((ch >= 0x2000 && ch <= 0x200B) || ch == 0x202F || ch == 0x205F || ch == 0x3000 ||
        ch == 0x303F)
        return 0x0020;
    if (ch >= 0x2010 && ch <= 0x2015)
        return '-';
    if (ch >= 0x2018 && ch <= 0x201B)
        return '\'';
    if (ch >= 0x201C && ch <= 0x201F)
        return '"';
    if (ch >= kFormsFirst && ch <= kFormsLast) {
        static const FormsTable table = buildFormsTable();
        return table[ch - kFormsFirst];
    }
    return ch;
}

int32_t DVKUnicode_NormalizeKana(const uint16_t* s, int32_t size, uint16_t* out)
{
    if (out == nullptr || size < 1)
        return -1;
    if (s == nullptr || s[0] == 0) {
        out[0] = 0;
        return 0;
    }
    // The output is never longer than the input; its length is checked
    // without walking past size.
    int32_t length = 0;
    while (s[length] != 0)
        if (++length >= size)
            return -1;

    int32_t written = 0;
    for (int32_t i = 0; i < length; ++i) {
        uint16_t c = s[i];
        if (c >= 0x3041 && c <= 0x309F && c != 0x3097) {
            if (c >= 0x3099 && c <= 0x309C)
                continue;
            if (c != 0x3098 && c != 0x309F)
                c = static_cast<uint16_t>(c + 0x60);
        } else if (c >= 0xFF65 && c <= 0xFF9F) {
            if (c == 0xFF9E || c == 0xFF9F)
                continue;
            c = DVKUnicode_NormalizeWidth(c);
        }
        if (c >= 0x30A0 && c <= 0x30FF) {
            const uint16_t next = s[i + 1];
            if (isVoicedMark(next))
                c = voiced(c);
            else if (isSemiVoicedMark(next))
                c = semiVoiced(c);
        }
        out[written++] = c;
    }
    out[written] = 0;
    return written;
}
