#include "core/brevit/runtime/dvk_unicode.h"

#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_latin1.h"

#include <unicode/uchar.h>

#include <array>

namespace {

typedef bool (*TestFunc)(uint16_t c);
typedef uint16_t (*MapFunc)(uint16_t c);

struct DVKUnicodeRange {
    uint32_t script;
    uint16_t first;
    uint16_t last;
    uint32_t hasCase;
    TestFunc isLower;
    TestFunc isUpper;
    MapFunc toLower;
    MapFunc toUpper;
    TestFunc isGrapheme;
};

bool isCategory(uint16_t c, UCharCategory category)
{
    return u_charType(c) == category;
}

// A simple case mapping from the character database, kept only when it
// stays a single code unit.
uint16_t simpleLower(uint16_t c)
{
    const UChar32 mapped = u_tolower(c);
    return mapped <= 0xFFFF ? static_cast<uint16_t>(mapped) : c;
}

uint16_t simpleUpper(uint16_t c)
{
    const UChar32 mapped = u_toupper(c);
    return mapped <= 0xFFFF ? static_cast<uint16_t>(mapped) : c;
}

// Letter categories of the character database.
bool letterIsLower(uint16_t c)
{
    return isCategory(c, U_LOWERCASE_LETTER);
}

bool letterIsUpper(uint16_t c)
{
    return isCategory(c, U_UPPERCASE_LETTER);
}

// Latin Extended-A: the long s keeps no upper case.
uint16_t latinToUpper(uint16_t c)
{
    return c == 0x017F ? c : simpleUpper(c);
}

bool always(uint16_t)
{
    return true;
}

bool never(uint16_t)
{
    return false;
}

// Greek follows Unicode 5.1: characters and mappings added later (U+037F and
// the upper case of U+03F3) do not count.
bool inUnicode51(uint16_t c)
{
    if (u_charType(c) == U_UNASSIGNED)
        return false;
    UVersionInfo age;
    u_charAge(c, age);
    return age[0] < 5 || (age[0] == 5 && age[1] <= 1);
}

bool greekIsLower(uint16_t c)
{
    if (c == 0x03D6 || c == 0x03F5)
        return false;
    return inUnicode51(c) && isCategory(c, U_LOWERCASE_LETTER);
}

bool greekIsUpper(uint16_t c)
{
    return inUnicode51(c) && isCategory(c, U_UPPERCASE_LETTER);
}

uint16_t greekToLower(uint16_t c)
{
    switch (c) {
    case 0x03D2:
        return 0x03C5;
    case 0x03D3:
        return 0x03CD;
    case 0x03D4:
        return 0x03CB;
    default:
        break;
    }
    if (!inUnicode51(c))
        return c;
    const uint16_t mapped = simpleLower(c);
    return inUnicode51(mapped) ? mapped : c;
}

uint16_t greekToUpper(uint16_t c)
{
    if (c == 0x03D6 || c == 0x03F5 || !inUnicode51(c))
        return c;
    const uint16_t mapped = simpleUpper(c);
    return inUnicode51(mapped) ? mapped : c;
}

bool greekIsGrapheme(uint16_t c)
{
    return !(c == 0x0374 || c == 0x0375 || c == 0x0378 || c == 0x0379 ||
             (c >= 0x037B && c <= 0x0383) || c == 0x0387 || c == 0x038B || c == 0x038D ||
             c >= 0x03FD);
}

bool cyrillicIsGrapheme(uint16_t c)
{
    return c != 0x0482 && c != 0x0488 && c != 0x0489;
}

bool cjkSymbolIsGrapheme(uint16_t c)
{
    return c == 0x3005 || c == 0x3006;
}

bool hiraganaIsGrapheme(uint16_t c)
{
    return c != 0x3040 && c != 0x3097 && c != 0x3098;
}

bool katakanaIsGrapheme(uint16_t c)
{
    return c != 0x30A0 && c != 0x30FB;
}

bool ideographIsGrapheme(uint16_t c)
{
    return c < 0x9FBC;
}

bool hangulIsGrapheme(uint16_t c)
{
    return c < 0xD7A4;
}

bool wideIsLower(uint16_t c)
{
    return c >= 0xFF41 && c <= 0xFF5A;
}

bool wideIsUpper(uint16_t c)
{
    return c >= 0xFF21 && c <= 0xFF3A;
}

uint16_t wideToLower(uint16_t c)
{
    return wideIsUpper(c) ? static_cast<uint16_t>(c + 0x20) : c;
}

uint16_t wideToUpper(uint16_t c)
{
    return wideIsLower(c) ? static_cast<uint16_t>(c - 0x20) : c;
}

bool wideIsGrapheme(uint16_t c)
{
    return wideIsUpper(c) || wideIsLower(c) || (c >= 0xFF66 && c <= 0xFF9F) ||
           (c >= 0xFFA1 && c <= 0xFFBE) || (c >= 0xFFC2 && c <= 0xFFC7) ||
           (c >= 0xFFCA && c <= 0xFFCF) || (c >= 0xFFD2 && c <= 0xFFD7) ||
           (c >= 0xFFDA && c <= 0xFFDC);
}

// Searched in order; the first row holding a character wins.
constexpr std::array<DVKUnicodeRange, 13> sRanges = {{
    {1, 0x0000, 0x007F, 1, nullptr, nullptr, nullptr, nullptr, nullptr},
    {1, 0x0080, 0x00FF, 1, nullptr, nullptr, nullptr, nullptr, nullptr},
    {1, 0x0100, 0x017F, 1, letterIsLower, letterIsUpper, simpleLower, latinToUpper, always},
    {2, 0x0370, 0x03FF, 1, greekIsLower, greekIsUpper, greekToLower, greekToUpper,
     greekIsGrapheme},
    {3, 0x0400, 0x04FF, 1, letterIsLower, letterIsUpper, simpleLower, simpleUpper,
     cyrillicIsGrapheme},
    {4, 0x2000, 0x206F, 0, nullptr, nullptr, nullptr, nullptr, never},
    {0, 0x20A0, 0x20CF, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
    {8, 0x3000, 0x303F, 0, nullptr, nullptr, nullptr, nullptr, cjkSymbolIsGrapheme},
    {6, 0x3040, 0x309F, 0, nullptr, nullptr, nullptr, nullptr, hiraganaIsGrapheme},
    {7, 0x30A0, 0x30FF, 0, nullptr, nullptr, nullptr, nullptr, katakanaIsGrapheme},
    {8, 0x4E00, 0x9FBF, 0, nullptr, nullptr, nullptr, nullptr, ideographIsGrapheme},
    {9, 0xAC00, 0xD7AF, 0, nullptr, nullptr, nullptr, nullptr, hangulIsGrapheme},
    {10, 0xFF00, 0xFFEF, 0, wideIsLower, wideIsUpper, wideToLower, wideToUpper, wideIsGrapheme},
}};

const DVKUnicodeRange* findRange(uint16_t c)
{
    for (const DVKUnicodeRange& range : sRanges)
        if (c >= range.first && c <= range.last)
            return &range;
    return nullptr;
}

bool test(uint16_t c, TestFunc DVKUnicodeRange::*member)
{
    const DVKUnicodeRange* range = findRange(c);
    return range != nullptr && range->*member != nullptr && (range->*member)(c);
}

uint16_t map(uint16_t c, MapFunc DVKUnicodeRange::*member)
{
    const DVKUnicodeRange* range = findRange(c);
    return range != nullptr && range->*member != nullptr ? (range->*member)(c) : c;
}

} // namespace

uint32_t DVKUnicode_GetScript(uint16_t c, uint32_t previousScript)
{
    if (c == 0x30FC && previousScript == kDVKScriptHiragana)
        return kDVKScriptHiragana;
    const DVKUnicodeRange* range = findRange(c);
    return range != nullptr ? range->script : kDVKScriptNone;
}

uint32_t DVKUnicode_ScriptHasCase(uint32_t script)
{
    if (script == kDVKScriptNone)
        return 0;
    for (const DVKUnicodeRange& range : sRanges)
        if (range.script == script)
            return range.hasCase;
    return 0;
}

bool DVKUnicode_GetCharInfo(uint16_t c, uint32_t previousScript, uint32_t* script,
                            bool* isLower, bool* isUpper, bool* isDigit, bool* isGrapheme)
{
    const bool grapheme = DVKUnicode_IsGrapheme(c);
    if (script != nullptr)
        *script = DVKUnicode_GetScript(c, previousScript);
    if (isLower != nullptr)
        *isLower = DVKUnicode_IsLower(c);
    if (isUpper != nullptr)
        *isUpper = DVKUnicode_IsUpper(c);
    if (isDigit != nullptr)
        *isDigit = DVKUnicode_IsDigit(c);
    if (isGrapheme != nullptr)
        *isGrapheme = grapheme;
    return grapheme;
}

bool DVKUnicode_IsLower(uint16_t ch)
{
    if (ch < 256)
        return DVKLatin1_IsLower(static_cast<uint8_t>(ch));
    return test(ch, &DVKUnicodeRange::isLower);
}

bool DVKUnicode_IsUpper(uint16_t ch)
{
    if (ch < 256)
        return DVKLatin1_IsUpper(static_cast<uint8_t>(ch));
    return test(ch, &DVKUnicodeRange::isUpper);
}

uint16_t DVKUnicode_ToLower(uint16_t ch)
{
    if (ch < 256)
        return DVKLatin1_ToLower(static_cast<uint8_t>(ch));
    return map(ch, &DVKUnicodeRange::toLower);
}

uint16_t DVKUnicode_ToUpper(uint16_t ch)
{
    if (ch == 0x00FF)
        return 0x0178;
    if (ch < 256)
        return DVKLatin1_ToUpper(static_cast<uint8_t>(ch));
    return map(ch, &DVKUnicodeRange::toUpper);
}

bool DVKUnicode_IsDigit(uint16_t ch)
{
    if (ch < 256)
        return ch >= '0' && ch <= '9';
    return ch >= 0xFF10 && ch <= 0xFF19;
}

bool DVKUnicode_IsGrapheme(uint16_t ch)
{
    if (ch < 256)
        return DVKLatin1_IsAlpha(static_cast<uint8_t>(ch));
    return test(ch, &DVKUnicodeRange::isGrapheme);
}

bool DVKUnicode_IsAlpha(uint16_t ch)
{
    if (ch < 256)
        return DVKLatin1_IsAlpha(static_cast<uint8_t>(ch));
    return DVKUnicode_IsLower(ch) || DVKUnicode_IsUpper(ch);
}

bool DVKUnicode_IsSpace(uint16_t ch)
{
    if (ch < 0x80)
        return DVKCtype_Is(ch, kDVKCtypeSpace);
    return (ch >= 0x2000 && ch <= 0x200B) || ch == 0x202F || ch == 0x205F || ch == 0x3000 ||
           ch == 0x303F;
}

uint16_t DVKUnicode_FromLatin1Char(uint8_t b)
{
    return b;
}

uint8_t DVKUnicode_ToLatin1Char(uint16_t ch)
{
    return ch < 256 ? static_cast<uint8_t>(ch) : 0;
}
