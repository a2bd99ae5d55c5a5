#include "core/brevit/runtime/dvk_num_utf16.h"

#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_num.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/runtime/dvk_utf8.h"


namespace {

constexpr uint16_t kByteOrderMark = 0xFEFF;
constexpr uint16_t kWidePlus = 0xFF0B;
constexpr uint16_t kWideMinus = 0xFF0D;
constexpr uint16_t kWidePoint = 0xFF0E;
constexpr uint16_t kWideZero = 0xFF10;

const char kNotInt[] = "String %s is not an integral number..";
const char kNotLong[] = "String %s is not an long integral number..";
const char kNotShort[] = "String %s is not an short integral number..";
const char kNotUnsignedInt[] = "String %s is not an unsigned integral number..";
const char kNotUnsignedLong[] = "String %s is not an unsigned long integral number..";
const char kNotUnsignedShort[] = "String %s is not an short unsigned integral number..";
const char kNotUnsignedChar[] = "String %s is not an short unsigned char number..";
const char kNotHexLong[] = "String %s is not an unsigned long hex number..";
const char kNotReal[] = "String %s is not a real number..";
const char kNotBoolean[] = "String %s is not a boolean..";

// The ASCII form of a real number, terminator included.
constexpr int kRealBufferSize = 64;

bool isAsciiSpace(uint16_t c)
{
    return c < 0x80 && DVKCtype_Is(c, kDVKCtypeSpace);
}

bool isSkipped(uint16_t c)
{
    return isAsciiSpace(c) || c == kByteOrderMark;
}

bool endsNumber(uint16_t c)
{
    return c == 0 || isSkipped(c);
}

bool isPlus(uint16_t c)
{
    return c == '+' || c == kWidePlus;
}

bool isMinus(uint16_t c)
{
    return c == '-' || c == kWideMinus;
}

bool isZero(uint16_t c)
{
    return c == '0' || c == kWideZero;
}

int32_t digitValue(uint16_t c)
{
    if (!DVKUnicode_IsDigit(c))
        return -1;
    return c < 0x80 ? c - '0' : c - kWideZero;
}

int32_t hexValue(uint16_t c)
{
    if (c < 0x80) {
        if (!DVKCtype_Is(c, kDVKCtypeHexDigit))
            return -1;
        const int upper = DVKChar_ToUpper(c);
        return upper <= '9' ? upper - '0' : upper - 55;
    }
    if (c >= 0xFF41 && c <= 0xFF46)
        c = static_cast<uint16_t>(c - 0x20);
    if (c >= 0xFF21 && c <= 0xFF26)
        return c - 0xFF17;
    return digitValue(c);
}

const uint16_t* skipLeading(const uint16_t* p)
{
    while (isSkipped(*p))
        ++p;
    return p;
}

bool parseSigned(const uint16_t* s, int32_t minimum, int32_t maximum, int32_t* out)
{
    if (s == nullptr || *s == 0)
        return false;
    const uint16_t* p = skipLeading(s);
    bool negative = false;
    if (isPlus(*p) || isMinus(*p))
        negative = isMinus(*p++);
    if (digitValue(*p) < 0)
        return false;
    int32_t value = 0;
    for (int32_t digit = digitValue(*p); digit >= 0; digit = digitValue(*++p))
        if (!DVKNum_AddSignedDigit(&value, digit, negative, minimum, maximum))
            return false;
    if (!endsNumber(*p))
        return false;
    *out = value;
    return true;
}

bool parseUnsigned(const uint16_t* s, uint32_t maximum, uint32_t* out)
{
    if (s == nullptr || *s == 0)
        return false;
    const uint16_t* p = skipLeading(s);
    if (isPlus(*p))
        ++p;
    if (digitValue(*p) < 0)
        return false;
    uint32_t value = 0;
    for (int32_t digit = digitValue(*p); digit >= 0; digit = digitValue(*++p))
        if (!DVKNum_AddUnsignedDigit(&value, static_cast<uint32_t>(digit), maximum))
            return false;
    if (!endsNumber(*p))
        return false;
    *out = value;
    return true;
}

bool parseHex(const uint16_t* s, uint32_t maximum, uint32_t* out)
{
    if (s == nullptr || *s == 0)
        return false;
    const uint16_t* p = skipLeading(s);
    bool sawZero = false;
    while (isZero(*p)) {
        sawZero = true;
        ++p;
    }
    bool sawX = false;
    if (*p == 'x' || *p == 'X' || *p == 0xFF58 || *p == 0xFF38) {
        sawX = true;
        ++p;
    }
    if (endsNumber(*p)) {
        if (!sawZero || sawX)
            return false;
        *out = 0;
        return true;
    }
    uint32_t value = 0;
    for (; !endsNumber(*p); ++p) {
        const int32_t digit = hexValue(*p);
        if (digit < 0 || !DVKNum_AddHexDigit(&value, static_cast<uint32_t>(digit), maximum))
            return false;
    }
    *out = value;
    return true;
}

// Bounded builder of the ASCII copy; a copy that does not fit fails.
class RealBuffer {
public:
    bool put(char c)
    {
        if (length_ >= kRealBufferSize - 1)
            return fits_ = false;
        text_[length_++] = c;
        text_[length_] = '\0';
        return true;
    }
    bool fits() const { return fits_; }
    const char* text() const { return text_; }

private:
    char text_[kRealBufferSize] = {};
    int length_ = 0;
    bool fits_ = true;
};

char signOf(uint16_t c)
{
    return isMinus(c) ? '-' : '+';
}

bool copyDigits(const uint16_t*& p, RealBuffer& buffer)
{
    for (int32_t digit = digitValue(*p); digit >= 0; digit = digitValue(*++p))
        if (!buffer.put(static_cast<char>('0' + digit)))
            return false;
    return true;
}

// Validates the grammar of a real number and builds its ASCII copy.
bool parseReal(const uint16_t* s, RealBuffer& buffer)
{
    if (s == nullptr || *s == 0)
        return false;
    const uint16_t* p = s;
    while (isAsciiSpace(*p))
        ++p;
    if ((isPlus(*p) || isMinus(*p)) && !buffer.put(signOf(*p++)))
        return false;
    if (digitValue(*p) >= 0) {
        while (isZero(*p) && digitValue(p[1]) >= 0)
            ++p;
        if (!copyDigits(p, buffer))
            return false;
        if (*p == '.' || *p == kWidePoint) {
            ++p;
            if (!buffer.put('.') || !copyDigits(p, buffer))
                return false;
        }
    } else if (*p == '.' || *p == kWidePoint) {
        ++p;
        if (digitValue(*p) < 0 || !buffer.put('.') || !copyDigits(p, buffer))
            return false;
    }
    if (*p == 0 || isAsciiSpace(*p))
        return buffer.fits();
    if (*p != 'e' && *p != 'E' && *p != 0xFF25 && *p != 0xFF45)
        return false;
    ++p;
    if (!buffer.put('e'))
        return false;
    if ((isPlus(*p) || isMinus(*p)) && !buffer.put(signOf(*p++)))
        return false;
    if (digitValue(*p) < 0 || !copyDigits(p, buffer))
        return false;
    return endsNumber(*p) && buffer.fits();
}

int32_t signedOrWarn(const uint16_t* s, int32_t minimum, int32_t maximum, const char* message)
{
    int32_t value = 0;
    if (parseSigned(s, minimum, maximum, &value))
        return value;
    DVKNum_WarnNotANumber(message, s);
    return 0;
}

uint32_t unsignedOrWarn(const uint16_t* s, uint32_t maximum, const char* message)
{
    uint32_t value = 0;
    if (parseUnsigned(s, maximum, &value))
        return value;
    DVKNum_WarnNotANumber(message, s);
    return 0;
}

uint32_t hexOrWarn(const uint16_t* s, uint32_t maximum, const char* message)
{
    uint32_t value = 0;
    if (parseHex(s, maximum, &value))
        return value;
    DVKNum_WarnNotANumber(message, s);
    return 0;
}

} // namespace

void DVKNum_WarnNotANumber(const char* format, const uint16_t* s)
{
    // Silent: the text is converted as a warning would show it, and dropped.
    char text[1024];
    DVKUTF8_FromUnicode(s, sizeof text, text);
    (void)format;
}

bool DVKNum_UnicodeIsIntegral(const uint16_t* s)
{
    int32_t value = 0;
    return parseSigned(s, INT32_MIN, INT32_MAX, &value);
}

int32_t DVKNum_UnicodeToInt(const uint16_t* s)
{
    return signedOrWarn(s, INT32_MIN, INT32_MAX, kNotInt);
}

int32_t DVKNum_UnicodeToLong(const uint16_t* s)
{
    return signedOrWarn(s, INT32_MIN, INT32_MAX, kNotLong);
}

int16_t DVKNum_UnicodeToShort(const uint16_t* s)
{
    return static_cast<int16_t>(signedOrWarn(s, INT16_MIN, INT16_MAX, kNotShort));
}

uint32_t DVKNum_UnicodeToUnsignedInt(const uint16_t* s)
{
    return unsignedOrWarn(s, UINT32_MAX, kNotUnsignedInt);
}

uint32_t DVKNum_UnicodeToUnsignedLong(const uint16_t* s)
{
    return unsignedOrWarn(s, UINT32_MAX, kNotUnsignedLong);
}

uint16_t DVKNum_UnicodeToUnsignedShort(const uint16_t* s)
{
    return static_cast<uint16_t>(unsignedOrWarn(s, UINT16_MAX, kNotUnsignedShort));
}

uint8_t DVKNum_UnicodeToUnsignedChar(const uint16_t* s)
{
    return static_cast<uint8_t>(unsignedOrWarn(s, UINT8_MAX, kNotUnsignedChar));
}

uint16_t DVKNum_UnicodeHexToUnsignedShort(const uint16_t* s)
{
    return static_cast<uint16_t>(hexOrWarn(s, UINT16_MAX, kNotUnsignedShort));
}

uint32_t DVKNum_UnicodeHexToUnsignedInt(const uint16_t* s)
{
    return hexOrWarn(s, UINT32_MAX, kNotUnsignedInt);
}

uint32_t DVKNum_UnicodeHexToUnsignedLong(const uint16_t* s)
{
    return hexOrWarn(s, UINT32_MAX, kNotHexLong);
}

bool DVKNum_UnicodeIsReal(const uint16_t* s)
{
    RealBuffer buffer;
    return parseReal(s, buffer);
}

double DVKNum_UnicodeToReal(const uint16_t* s)
{
    RealBuffer buffer;
    if (!parseReal(s, buffer)) {
        DVKNum_WarnNotANumber(kNotReal, s);
        return 0.0;
    }
    // The copy always has a '.' for its point.
    return DVKNum_StrtodC(buffer.text());
}

int32_t DVKNum_UnicodeToBoolean(const uint16_t* s)
{
    static const uint16_t kTrue[] = {'t', 'r', 'u', 'e', 0};
    static const uint16_t kYes[] = {'y', 'e', 's', 0};
    static const uint16_t kFalse[] = {'f', 'a', 'l', 's', 'e', 0};
    static const uint16_t kNo[] = {'n', 'o', 0};
    if (s != nullptr) {
        if (DVKUnicode_CompareNoCase(s, kTrue) == 0 || DVKUnicode_CompareNoCase(s, kYes) == 0 ||
            DVKUnicode_CompareAscii(s, "1") == 0)
            return 1;
        if (DVKUnicode_CompareNoCase(s, kFalse) == 0 || DVKUnicode_CompareNoCase(s, kNo) == 0 ||
            DVKUnicode_CompareAscii(s, "0") == 0)
            return 0;
    }
    DVKNum_WarnNotANumber(kNotBoolean, s);
    return 0;
}
