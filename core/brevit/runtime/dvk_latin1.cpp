#include "core/brevit/runtime/dvk_latin1.h"

#include <array>
#include <cstddef>

namespace {

struct Latin9Exception {
    uint8_t byte;
    uint16_t code;
};

// Where ISO 8859-15 differs from ISO 8859-1.
constexpr std::array<Latin9Exception, 8> sLatin9Exceptions = {{
    {0xA4, 0x20AC},
    {0xA6, 0x0160},
    {0xA8, 0x0161},
    {0xB4, 0x017D},
    {0xB8, 0x017E},
    {0xBC, 0x0152},
    {0xBD, 0x0153},
    {0xBE, 0x0178},
}};

unsigned byteAt(const char* s, int32_t i)
{
    return static_cast<unsigned char>(s[i]);
}

uint16_t fromLatin9(uint8_t b)
{
    for (const Latin9Exception& e : sLatin9Exceptions)
        if (e.byte == b)
            return e.code;
    return b;
}

// The byte of c, or -1 when the encoding has none.
int toLatin1(uint16_t c)
{
    return c < 256 ? c : -1;
}

int toLatin9(uint16_t c)
{
    for (const Latin9Exception& e : sLatin9Exceptions) {
        if (e.code == c)
            return e.byte;
        if (e.byte == c)
            return -1;  // that byte now stands for another character
    }
    return c < 256 ? c : -1;
}

bool widen(const char* s8, int32_t size, uint16_t* dst, uint16_t (*map)(uint8_t))
{
    if (dst == nullptr || size < 1)
        return false;
    if (s8 == nullptr) {
        dst[0] = 0;
        return true;
    }
    int32_t i = 0;
    for (; s8[i] != '\0'; ++i) {
        if (i == size - 1) {
            dst[i] = 0;
            return false;
        }
        dst[i] = map(static_cast<uint8_t>(s8[i]));
    }
    dst[i] = 0;
    return true;
}

// n < 0 means no limit but the terminator. Every step keeps i <= size - 1,
// so the terminator always has its place.
int32_t narrow(const uint16_t* s, int32_t n, int32_t size, char* dst, int (*map)(uint16_t))
{
    if (dst == nullptr || size < 1)
        return kDVKConvertNoRoom;
    if (s == nullptr) {
        dst[0] = '\0';
        return kDVKConvertDone;
    }
    for (int32_t i = 0;; ++i) {
        const uint16_t c = (n >= 0 && i >= n) ? 0 : s[i];
        if (c == 0) {
            dst[i] = '\0';
            return kDVKConvertDone;
        }
        const int b = map(c);
        if (b < 0) {
            dst[i] = '\0';
            return kDVKConvertUnrepresentable;
        }
        if (i == size - 1) {
            dst[i] = '\0';
            return kDVKConvertNoRoom;
        }
        dst[i] = static_cast<char>(b);
    }
}

} // namespace

bool DVKLatin1_IsLower(uint8_t b)
{
    return (b >= 'a' && b <= 'z') || (b >= 0xDF && b != 0xF7);
}

bool DVKLatin1_IsUpper(uint8_t b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7);
}

uint8_t DVKLatin1_ToLower(uint8_t b)
{
    return DVKLatin1_IsUpper(b) ? static_cast<uint8_t>(b + 0x20) : b;
}

uint8_t DVKLatin1_ToUpper(uint8_t b)
{
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
        return static_cast<uint8_t>(b - 0x20);
    return b;
}

bool DVKLatin1_IsAlpha(uint8_t b)
{
    return DVKLatin1_IsLower(b) || DVKLatin1_IsUpper(b);
}

bool DVKLatin1_IsDigit(uint8_t b)
{
    return b >= '0' && b <= '9';
}

bool DVKLatin1_IsAlphaNum(uint8_t b)
{
    return DVKLatin1_IsAlpha(b) || DVKLatin1_IsDigit(b);
}

int32_t DVKLatin1_CompareNoCase(const char* a, const char* b)
{
    for (int32_t i = 0;; ++i) {
        if (a[i] == '\0')
            return -static_cast<int32_t>(byteAt(b, i));
        const int32_t ca = DVKLatin1_ToLower(static_cast<uint8_t>(byteAt(a, i)));
        const int32_t cb = DVKLatin1_ToLower(static_cast<uint8_t>(byteAt(b, i)));
        if (ca != cb)
            return ca - cb;
    }
}

int32_t DVKLatin1_NCompareNoCase(const char* a, const char* b, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        if (a[i] == '\0')
            return -static_cast<int32_t>(byteAt(b, i));
        const int32_t ca = DVKLatin1_ToLower(static_cast<uint8_t>(byteAt(a, i)));
        const int32_t cb = DVKLatin1_ToLower(static_cast<uint8_t>(byteAt(b, i)));
        if (ca != cb)
            return ca - cb;
    }
    return 0;
}

bool DVKUnicode_FromLatin1(const char* s8, int32_t size, uint16_t* dst)
{
    return widen(s8, size, dst, [](uint8_t b) { return static_cast<uint16_t>(b); });
}

int32_t DVKUnicode_ToLatin1(const uint16_t* s, int32_t size, char* dst)
{
    return narrow(s, -1, size, dst, toLatin1);
}

int32_t DVKUnicode_NToLatin1(const uint16_t* s, int32_t n, int32_t size, char* dst)
{
    return narrow(s, n < 0 ? 0 : n, size, dst, toLatin1);
}

bool DVKUnicode_FromLatin9(const char* s8, int32_t size, uint16_t* dst)
{
    return widen(s8, size, dst, fromLatin9);
}

int32_t DVKUnicode_ToLatin9(const uint16_t* s, int32_t size, char* dst)
{
    return narrow(s, -1, size, dst, toLatin9);
}

int32_t DVKUnicode_NToLatin9(const uint16_t* s, int32_t n, int32_t size, char* dst)
{
    return narrow(s, n < 0 ? 0 : n, size, dst, toLatin9);
}
