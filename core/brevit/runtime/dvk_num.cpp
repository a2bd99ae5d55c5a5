#include "core/brevit/runtime/dvk_num.h"

#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_str.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>

namespace {

unsigned byteOf(const char* p)
{
    return static_cast<unsigned char>(*p);
}

bool isSpace(const char* p)
{
    return DVKCtype_Is(static_cast<int>(byteOf(p)), kDVKCtypeSpace);
}

bool isDigit(const char* p)
{
    return DVKCtype_Is(static_cast<int>(byteOf(p)), kDVKCtypeDigit);
}

// Leading white space and bytes of 0x80 and above are skipped.
const char* skipLeading(const char* p)
{
    while (*p != '\0' && (isSpace(p) || byteOf(p) >= 0x80))
        ++p;
    return p;
}

// Where a number's text starts: past leading white space and high bytes;
// null for a null, empty or blank text.
const char* numberStart(const char* s)
{
    if (s == nullptr)
        return nullptr;
    const char* p = skipLeading(s);
    return *p != '\0' ? p : nullptr;
}

bool endsNumber(const char* p)
{
    return *p == '\0' || isSpace(p);
}

// The "C" locale, made once: real parsing must not follow LC_NUMERIC.
locale_t cLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

} // namespace

double DVKNum_StrtodC(const char* s)
{
    return strtod_l(s, nullptr, cLocale());
}

bool DVKNum_AddSignedDigit(int32_t* value, int32_t digit, bool negative, int32_t minimum,
                           int32_t maximum)
{
    if (negative) {
        if ((digit + minimum) / 10 > *value)
            return false;
        *value = *value * 10 - digit;
    } else {
        if ((maximum - digit) / 10 < *value)
            return false;
        *value = *value * 10 + digit;
    }
    return true;
}

bool DVKNum_AddUnsignedDigit(uint32_t* value, uint32_t digit, uint32_t maximum)
{
    if (digit > maximum || *value > (maximum - digit) / 10)
        return false;
    *value = *value * 10 + digit;
    return true;
}

bool DVKNum_AddHexDigit(uint32_t* value, uint32_t digit, uint32_t maximum)
{
    if (digit > maximum || *value > (maximum - digit) >> 4)
        return false;
    *value = *value * 16 + digit;
    return true;
}

bool DVKNum_ParseSigned(const char* s, int32_t minimum, int32_t maximum, int32_t* out)
{
    const char* p = numberStart(s);
    if (p == nullptr)
        return false;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    if (!isDigit(p))
        return false;
    int32_t value = 0;
    for (; isDigit(p); ++p)
        if (!DVKNum_AddSignedDigit(&value, *p - '0', negative, minimum, maximum))
            return false;
    if (!endsNumber(p))
        return false;
    *out = value;
    return true;
}

bool DVKNum_ParseUnsigned(const char* s, uint32_t maximum, uint32_t* out)
{
    const char* p = numberStart(s);
    if (p == nullptr)
        return false;
    if (*p == '+')
        ++p;
    if (!isDigit(p))
        return false;
    uint32_t value = 0;
    for (; isDigit(p); ++p)
        if (!DVKNum_AddUnsignedDigit(&value, static_cast<uint32_t>(*p - '0'), maximum))
            return false;
    if (!endsNumber(p))
        return false;
    *out = value;
    return true;
}

bool DVKNum_ParseHex(const char* s, uint32_t maximum, uint32_t* out)
{
    const char* p = numberStart(s);
    if (p == nullptr)
        return false;
    bool sawZero = false;
    while (*p == '0') {
        sawZero = true;
        ++p;
    }
    bool sawX = false;
    if (*p == 'x' || *p == 'X') {
        sawX = true;
        ++p;
    }
    if (endsNumber(p)) {
        if (!sawZero || sawX)
            return false;
        *out = 0;
        return true;
    }
    uint32_t value = 0;
    for (; !endsNumber(p); ++p) {
        if (!DVKCtype_Is(static_cast<int>(byteOf(p)), kDVKCtypeHexDigit))
            return false;
        const int c = DVKChar_ToUpper(static_cast<int>(byteOf(p)));
        if (!DVKNum_AddHexDigit(&value, static_cast<uint32_t>(c <= '9' ? c - '0' : c - 55),
                                maximum))
            return false;
    }
    *out = value;
    return true;
}

bool DVKNum_AsciiIsIntegral(const char* s)
{
    int32_t value = 0;
    return DVKNum_ParseSigned(s, INT32_MIN, INT32_MAX, &value);
}

int32_t DVKNum_AsciiToLong(const char* s)
{
    int32_t value = 0;
    return DVKNum_ParseSigned(s, INT32_MIN, INT32_MAX, &value) ? value : 0;
}

int32_t DVKNum_AsciiToInt(const char* s)
{
    return DVKNum_AsciiToLong(s);
}

int16_t DVKNum_AsciiToShort(const char* s)
{
    int32_t value = 0;
    return DVKNum_ParseSigned(s, INT16_MIN, INT16_MAX, &value) ? static_cast<int16_t>(value) : 0;
}

uint32_t DVKNum_AsciiToUnsignedLong(const char* s)
{
    uint32_t value = 0;
    return DVKNum_ParseUnsigned(s, UINT32_MAX, &value) ? value : 0;
}

uint32_t DVKNum_AsciiToUnsignedInt(const char* s)
{
    return DVKNum_AsciiToUnsignedLong(s);
}

uint16_t DVKNum_AsciiToUnsignedShort(const char* s)
{
    uint32_t value = 0;
    return DVKNum_ParseUnsigned(s, UINT16_MAX, &value) ? static_cast<uint16_t>(value) : 0;
}

uint8_t DVKNum_AsciiToUnsignedChar(const char* s)
{
    uint32_t value = 0;
    return DVKNum_ParseUnsigned(s, UINT8_MAX, &value) ? static_cast<uint8_t>(value) : 0;
}

uint16_t DVKNum_HexToUnsignedShort(const char* s)
{
    uint32_t value = 0;
    return DVKNum_ParseHex(s, UINT16_MAX, &value) ? static_cast<uint16_t>(value) : 0;
}

uint32_t DVKNum_HexToUnsignedInt(const char* s)
{
    uint32_t value = 0;
    return DVKNum_ParseHex(s, UINT32_MAX, &value) ? value : 0;
}

uint32_t DVKNum_HexToUnsignedLong(const char* s)
{
    return DVKNum_HexToUnsignedInt(s);
}

bool DVKNum_AsciiIsReal(const char* s)
{
    const char* p = numberStart(s);
    if (p == nullptr)
        return false;
    if (*p == '+' || *p == '-')
        ++p;
    if (isDigit(p)) {
        while (isDigit(p))
            ++p;
        if (*p == '.')
            for (++p; isDigit(p);)
                ++p;
    } else if (*p == '.') {
        ++p;
        if (!isDigit(p))
            return false;
        while (isDigit(p))
            ++p;
    }
    if (endsNumber(p) || byteOf(p) >= 0x80)
        return true;
    if (*p != 'e' && *p != 'E')
        return false;
    ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (!isDigit(p))
        return false;
    while (isDigit(p))
        ++p;
    return endsNumber(p);
}

double DVKNum_AsciiToReal(const char* s)
{
    if (s == nullptr)
        return 0.0;
    // strtod starts where the validator starts, past bytes of 0x80 and above
    // it would otherwise stop at.
    return DVKNum_StrtodC(skipLeading(s));
}

int32_t DVKNum_AsciiToBoolean(const char* s)
{
    if (s == nullptr)
        return 0;
    if (DVKStr_CompareNoCase(s, "true") == 0 || DVKStr_CompareNoCase(s, "yes") == 0)
        return 1;
    return DVKStr_Compare(s, "1") == 0 ? 1 : 0;
}

bool DVKNum_IsPowerOf2(uint32_t n)
{
    return (n & (n - 1)) == 0;
}

uint32_t DVKNum_RoundUpToPowerOf2(uint32_t n, int32_t* log2)
{
    int32_t exponent = 0;
    uint32_t power = 1;
    if (n == 0) {
        power = 0;
    } else if (n > 0x80000000u) {
        power = 0;
        exponent = 32;
    } else {
        while (power < n) {
            power <<= 1;
            ++exponent;
        }
    }
    if (log2 != nullptr)
        *log2 = exponent;
    return power;
}

double DVKNum_RoundToDecimals(double x, int32_t digits)
{
    double integral = 0.0;
    const double fraction = std::modf(std::fabs(x), &integral);
    double scale = 1.0;
    for (int32_t i = 0; i < digits && std::isfinite(scale); ++i)
        scale *= 10.0;
    double result = std::fabs(x);
    // More decimals than a double holds (the scale overflows) leave x as it is
    // instead of turning it into NaN.
    if (std::isfinite(scale)) {
        double kept = 0.0;
        const double rest = std::modf(scale * fraction, &kept);
        if (rest > 0.5 || (rest == 0.5 && std::fmod(kept, 2.0) == 1.0))
            kept += 1.0;
        result = kept / scale + integral;
    }
    if (x < 0)
        result = -result;
    return result == 0.0 ? 0.0 : result;
}

double DVKNum_Rounde(double x, int32_t digits)
{
    int exponent = 0;
    const double mantissa = std::frexp(x, &exponent);
    return std::ldexp(DVKNum_RoundToDecimals(mantissa, digits), exponent);
}
