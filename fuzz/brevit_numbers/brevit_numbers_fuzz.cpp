// Numbers and tokens from 8-bit text of model and grammar files: every
// parser must stay inside its input and agree with a plain reference parse.
#include "core/brevit/runtime/dvk_num.h"
#include "core/brevit/runtime/dvk_str.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Digits of the number the decimal parsers accept, without sign or leading
// white space; empty when the text is not of that shape.
std::string referenceDigits(const char* s, bool* negative)
{
    const char* p = s;
    while (*p != '\0' && (static_cast<unsigned char>(*p) >= 0x80 ||
                          (*p >= 0x09 && *p <= 0x0D) || *p == ' '))
        ++p;
    *negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    std::string digits;
    while (*p >= '0' && *p <= '9')
        digits += *p++;
    if (*p != '\0' && !((*p >= 0x09 && *p <= 0x0D) || *p == ' '))
        return {};
    return digits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* s = text.c_str();  // stops at the first NUL, as the engine would

    bool negative = false;
    const std::string digits = referenceDigits(s, &negative);
    int32_t value = 0;
    if (DVKNum_ParseSigned(s, INT32_MIN, INT32_MAX, &value)) {
        check(!digits.empty());
        const long long expected = std::strtoll(digits.c_str(), nullptr, 10);
        check(value == (negative ? -expected : expected));
    } else if (!digits.empty() && digits.size() < 12) {
        const long long magnitude = std::strtoll(digits.c_str(), nullptr, 10);
        check(negative ? magnitude > 2147483648LL : magnitude > INT32_MAX);
    }
    uint32_t unsignedValue = 0;
    if (DVKNum_ParseUnsigned(s, UINT32_MAX, &unsignedValue))
        check(!negative && std::strtoull(digits.c_str(), nullptr, 10) == unsignedValue);
    DVKNum_ParseHex(s, UINT32_MAX, &unsignedValue);
    DVKNum_AsciiToShort(s);
    DVKNum_AsciiToUnsignedChar(s);
    DVKNum_HexToUnsignedShort(s);
    if (DVKNum_AsciiIsReal(s))
        (void)DVKNum_AsciiToReal(s);
    DVKNum_AsciiToBoolean(s);

    DVKStr_CountTokens(s, " ,;");
    std::string copy = text;
    char* next = nullptr;
    for (char* t = DVKStr_NextToken(copy.data(), ", ", &next); t != nullptr;
         t = DVKStr_NextToken(nullptr, ", ", &next))
        check(std::strlen(t) > 0 && t >= copy.data() && t < copy.data() + copy.size());
    return 0;
}
