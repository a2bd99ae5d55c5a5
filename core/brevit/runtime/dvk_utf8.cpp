#include "core/brevit/runtime/dvk_utf8.h"

#include "core/brevit/runtime/dvk_unicode.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint8_t kWhole = 0;
constexpr uint8_t kContinuation = 1;
constexpr uint8_t kInvalid = 8;

constexpr std::array<uint8_t, 256> buildLengthTable()
{
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        uint8_t length = kWhole;
        if (b >= 0x80 && b <= 0xBF)
            length = kContinuation;
        else if (b >= 0xC0 && b <= 0xDF)
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF)
            length = 3;
        else if (b >= 0xF0 && b <= 0xF7)
            length = 4;
        else if (b >= 0xF8 && b <= 0xFB)
            length = 5;
        else if (b >= 0xFC && b <= 0xFD)
            length = 6;
        else if (b == 0xFE)
            length = 7;
        else if (b == 0xFF)
            length = kInvalid;
        table[static_cast<size_t>(b)] = length;
    }
    return table;
}

// Per lead byte: 0 a whole character, 1 a continuation byte, 2-7 the length
// of the sequence it starts, 8 invalid.
constexpr std::array<uint8_t, 256> sUTF8Length = buildLengthTable();

uint8_t byteAt(const char* s, size_t i)
{
    return static_cast<uint8_t>(s[i]);
}

bool isContinuation(uint8_t b)
{
    return sUTF8Length[b] == kContinuation;
}

// Length of the sequence at s: 0 at the end, -1 for a continuation or 0xFF
// lead or a missing continuation byte (the terminator included).
int32_t sequenceAt(const char* s)
{
    const uint8_t lead = byteAt(s, 0);
    if (lead == 0)
        return 0;
    const uint8_t length = sUTF8Length[lead];
    if (length == kWhole)
        return 1;
    if (length == kContinuation || length == kInvalid)
        return -1;
    for (size_t i = 1; i < length; ++i)
        if (!isContinuation(byteAt(s, i)))
            return -1;
    return length;
}

// The value of a checked sequence of length bytes, kept in 16 bits.
uint16_t decode(const char* s, int32_t length)
{
    static constexpr uint8_t kPayload[8] = {0, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01, 0x00};
    uint32_t value = byteAt(s, 0) & kPayload[length];
    for (int32_t i = 1; i < length; ++i)
        value = (value << 6) | (byteAt(s, static_cast<size_t>(i)) & 0x3Fu);
    return static_cast<uint16_t>(value);
}

int32_t encodedLength(uint16_t u)
{
    return u < 0x80 ? 1 : (u < 0x800 ? 2 : 3);
}

// One character for comparison: its value and the bytes it takes; a byte
// that starts no valid sequence stands for itself. 0 bytes at the end.
int32_t nextValue(const char* s, uint16_t* value)
{
    const int32_t length = sequenceAt(s);
    if (length < 0) {
        *value = byteAt(s, 0);
        return 1;
    }
    *value = length > 0 ? decode(s, length) : 0;
    return length;
}

uint16_t same(uint16_t c)
{
    return c;
}

int32_t compareText(const char* a, const char* b, int64_t n, uint16_t (*map)(uint16_t))
{
    if (a == nullptr || b == nullptr)
        return a == nullptr && b == nullptr ? 0 : (a == nullptr ? -1 : 1);
    for (int64_t i = 0; i < n; ++i) {
        uint16_t ca = 0;
        uint16_t cb = 0;
        const int32_t la = nextValue(a, &ca);
        const int32_t lb = nextValue(b, &cb);
        if (la == 0 || lb == 0)
            return la == lb ? 0 : (la == 0 ? -1 : 1);
        ca = map(ca);
        cb = map(cb);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        a += la;
        b += lb;
    }
    return 0;
}

// Only characters whose mapping changes are re-encoded: 4-byte and malformed
// sequences (such as an overlong C1 BF) stay as they stand.
char* changeCase(char* s, uint16_t (*map)(uint16_t))
{
    if (s == nullptr)
        return s;
    char* w = s;
    const char* r = s;
    while (*r != '\0') {
        const int32_t length = sequenceAt(r);
        const int32_t taken = length < 0 ? 1 : length;
        if (length >= 1 && length <= 3) {
            const uint16_t value = decode(r, length);
            const uint16_t mapped = map(value);
            if (mapped != value && mapped != 0 && encodedLength(mapped) <= length) {
                w += DVKUTF8_FromUnicodeChar(mapped, w);
                r += length;
                continue;
            }
        }
        std::memmove(w, r, static_cast<size_t>(taken));
        w += taken;
        r += taken;
    }
    *w = '\0';
    return s;
}

int32_t encodeText(const uint16_t* u16s, int64_t n, int32_t size, char* dst)
{
    if (dst == nullptr || size < 1)
        return 1;
    int32_t used = 0;
    for (int64_t i = 0; u16s != nullptr && i < n && u16s[i] != 0; ++i) {
        char bytes[3];
        const int32_t length = DVKUTF8_FromUnicodeChar(u16s[i], bytes);
        if (length > size - 1 - used) {
            dst[used] = '\0';
            return 1;
        }
        std::memcpy(dst + used, bytes, static_cast<size_t>(length));
        used += length;
    }
    dst[used] = '\0';
    return 0;
}

} // namespace

int32_t DVKUTF8_GetChar(const char* s, char* out)
{
    const int32_t length = s != nullptr ? sequenceAt(s) : 0;
    if (length <= 0) {
        out[0] = '\0';
        return length;
    }
    std::memcpy(out, s, static_cast<size_t>(length));
    out[length] = '\0';
    return length;
}

int32_t DVKUTF8_ToUnicodeChar(const char* s, uint16_t* u)
{
    const int32_t length = s != nullptr ? sequenceAt(s) : 0;
    if (u != nullptr)
        *u = length > 0 ? decode(s, length) : 0;
    return length;
}

int32_t DVKUTF8_FromUnicodeChar(uint16_t u, char* out)
{
    if (u == 0)
        return 0;
    if (u < 0x80) {
        out[0] = static_cast<char>(u);
        return 1;
    }
    if (u < 0x800) {
        out[0] = static_cast<char>(0xC0 | (u >> 6));
        out[1] = static_cast<char>(0x80 | (u & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (u >> 12));
    out[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (u & 0x3F));
    return 3;
}

bool DVKUTF8_IsValid(const char* s, int32_t* count)
{
    int32_t characters = 0;
    bool valid = true;
    for (const char* p = s; p != nullptr;) {
        const int32_t length = sequenceAt(p);
        if (length == 0)
            break;
        if (length < 0 || length > 3) {
            valid = false;
            break;
        }
        const uint16_t value = decode(p, length);
        if ((length == 2 && value < 0x80) || (length == 3 && value < 0x800)) {
            valid = false;
            break;
        }
        ++characters;
        p += length;
    }
    if (count != nullptr)
        *count = characters;
    return valid;
}

int32_t DVKUTF8_Length(const char* s)
{
    int32_t count = 0;
    return DVKUTF8_IsValid(s, &count) ? count : -1;
}

int32_t DVKUTF8_GetEncodedLength(const uint16_t* u16s, int32_t n)
{
    if (n < 1)
        return 0;
    int64_t bytes = 0;
    int32_t i = 0;
    for (; u16s != nullptr && i < n && u16s[i] != 0; ++i)
        bytes += encodedLength(u16s[i]);
    if (i < n)
        ++bytes;  // the terminator
    return bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
}

bool DVKUTF8_ToUnicode(const char* s, int32_t size, uint16_t* dst)
{
    if (dst == nullptr || size < 1)
        return false;
    dst[0] = 0;
    if (s == nullptr || *s == '\0')
        return true;
    if (!DVKUTF8_IsValid(s, nullptr))
        return false;
    int32_t i = 0;
    for (int32_t length = sequenceAt(s); length > 0; s += length, length = sequenceAt(s)) {
        if (i == size - 1) {
            dst[i] = 0;
            return false;
        }
        dst[i++] = decode(s, length);
    }
    dst[i] = 0;
    return true;
}

int32_t DVKUTF8_FromUnicode(const uint16_t* u16s, int32_t size, char* dst)
{
    return encodeText(u16s, INT64_MAX, size, dst);
}

int32_t DVKUTF8_NFromUnicode(const uint16_t* u16s, int32_t n, int32_t size, char* dst)
{
    return encodeText(u16s, n, size, dst);
}

int32_t DVKUTF8_Compare(const char* a, const char* b)
{
    return compareText(a, b, INT64_MAX, same);
}

int32_t DVKUTF8_NCompare(const char* a, const char* b, int32_t n)
{
    return n < 1 ? 0 : compareText(a, b, n, same);
}

int32_t DVKUTF8_CompareNoCase(const char* a, const char* b)
{
    return compareText(a, b, INT64_MAX, DVKUnicode_ToLower);
}

int32_t DVKUTF8_NCompareNoCase(const char* a, const char* b, int32_t n)
{
    return n < 1 ? 0 : compareText(a, b, n, DVKUnicode_ToLower);
}

char* DVKUTF8_Lower(char* s)
{
    return changeCase(s, DVKUnicode_ToLower);
}

char* DVKUTF8_Upper(char* s)
{
    return changeCase(s, DVKUnicode_ToUpper);
}

int32_t DVKUTF8_GetLastChar(const char* s, char* out)
{
    out[0] = '\0';
    const size_t n = s != nullptr ? std::strlen(s) : 0;
    if (n == 0)
        return 0;
    // The run of continuation bytes at the end, no longer than a lead allows.
    size_t run = 0;
    while (run < n && run < 7 && isContinuation(byteAt(s, n - 1 - run)))
        ++run;
    size_t length = 1;
    if (run > 0) {
        if (run == n || run > 6 || sUTF8Length[byteAt(s, n - 1 - run)] != run + 1)
            return -1;
        length = run + 1;
    }
    std::memcpy(out, s + n - length, length);
    out[length] = '\0';
    return static_cast<int32_t>(length);
}

int32_t DVKUTF8_LastUTF8ToUnicode(const char* s, uint16_t* u)
{
    char last[8];
    int32_t length = DVKUTF8_GetLastChar(s, last);
    if (length > 0 && sequenceAt(last) != length)
        length = -1;  // a lead byte without its continuation bytes
    if (u != nullptr)
        *u = length > 0 ? decode(last, length) : 0;
    return length;
}
