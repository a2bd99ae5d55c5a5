#include "core/brevit/runtime/dvk_str.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned byteAt(const char* s, int32_t i)
{
    return static_cast<unsigned char>(s[i]);
}

unsigned folded(unsigned c)
{
    return static_cast<unsigned>(DVKChar_ToLower(static_cast<int>(c)));
}

bool isDelimiter(char c, const char* delimiters)
{
    return c != '\0' && delimiters != nullptr && std::strchr(delimiters, c) != nullptr;
}

// Joins up to three parts into one new block (parts may be null).
char* joinParts(const char* a, const char* b, const char* c)
{
    const size_t la = a != nullptr ? std::strlen(a) : 0;
    const size_t lb = b != nullptr ? std::strlen(b) : 0;
    const size_t lc = c != nullptr ? std::strlen(c) : 0;
    const uint64_t total = uint64_t{la} + lb + lc + 1;
    // A size past the allocator's limit raises there.
    auto* out = static_cast<char*>(DVKMem_CallocOrThrow(
        total > kDVKMemMaxRequest ? kDVKMemMaxRequest + 1 : static_cast<uint32_t>(total)));
    if (la > 0)
        std::memcpy(out, a, la);
    if (lb > 0)
        std::memcpy(out + la, b, lb);
    if (lc > 0)
        std::memcpy(out + la + lb, c, lc);
    return out;
}

} // namespace

int32_t DVKStr_Length(const char* s)
{
    return s != nullptr ? static_cast<int32_t>(std::strlen(s)) : 0;
}

char* DVKStr_Chr(const char* s, int ch)
{
    if (s == nullptr)
        return nullptr;
    for (; *s != '\0'; ++s)
        if (static_cast<unsigned char>(*s) == static_cast<unsigned char>(ch))
            return const_cast<char*>(s);
    return nullptr;
}

char* DVKStr_Str(const char* s, const char* t)
{
    if (s == nullptr || t == nullptr || *s == '\0' || *t == '\0')
        return nullptr;
    const int32_t n = DVKStr_Length(t);
    for (; *s != '\0'; ++s)
        if (DVKStr_NCompare(s, t, n) == 0)
            return const_cast<char*>(s);
    return nullptr;
}

bool DVKStr_NCopy(char* dst, const char* src, int32_t size)
{
    if (dst == nullptr || size < 1)
        return false;
    if (src == nullptr) {
        dst[0] = '\0';
        return false;
    }
    int32_t i = 0;
    for (; i < size - 1 && src[i] != '\0'; ++i)
        dst[i] = src[i];
    dst[i] = '\0';
    return src[i] == '\0';
}

bool DVKStr_NConcat(char* dst, const char* src, int32_t size)
{
    if (src == nullptr || dst == nullptr)
        return false;
    const int32_t used = DVKStr_Length(dst);
    if (used + 1 >= size)
        return false;
    int32_t i = 0;
    for (; used + i < size - 1 && src[i] != '\0'; ++i)
        dst[used + i] = src[i];
    dst[used + i] = '\0';
    return true;
}

bool DVKStr_ConcatChar(char* dst, char ch, int32_t size)
{
    const int32_t used = DVKStr_Length(dst);
    if (used + 1 >= size)
        return false;
    dst[used] = ch;
    dst[used + 1] = '\0';
    return true;
}

char* DVKStr_Reverse(char* s)
{
    if (s != nullptr)
        std::reverse(s, s + std::strlen(s));
    return s;
}

char* DVKStr_RTrim(char* s)
{
    if (s == nullptr)
        return s;
    for (size_t n = std::strlen(s); n > 0 && DVKCtype_Is(static_cast<unsigned char>(s[n - 1]),
                                                         kDVKCtypeSpace);
         --n)
        s[n - 1] = '\0';
    return s;
}

char* DVKStr_Lower(char* s)
{
    for (char* p = s; p != nullptr && *p != '\0'; ++p)
        *p = static_cast<char>(DVKChar_ToLower(static_cast<unsigned char>(*p)));
    return s;
}

char* DVKStr_Upper(char* s)
{
    for (char* p = s; p != nullptr && *p != '\0'; ++p)
        *p = static_cast<char>(DVKChar_ToUpper(static_cast<unsigned char>(*p)));
    return s;
}

int32_t DVKStr_Compare(const char* a, const char* b)
{
    int32_t i = 0;
    while (a[i] != '\0' && a[i] == b[i])
        ++i;
    return static_cast<int32_t>(byteAt(a, i)) - static_cast<int32_t>(byteAt(b, i));
}

int32_t DVKStr_NCompare(const char* a, const char* b, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return static_cast<int32_t>(byteAt(a, i)) - static_cast<int32_t>(byteAt(b, i));
        if (a[i] == '\0')
            return 0;
    }
    return 0;
}

int32_t DVKStr_CompareNoCase(const char* a, const char* b)
{
    for (int32_t i = 0;; ++i) {
        if (a[i] == '\0')
            return -static_cast<int32_t>(byteAt(b, i));
        const unsigned ca = folded(byteAt(a, i));
        const unsigned cb = folded(byteAt(b, i));
        if (ca != cb)
            return static_cast<int32_t>(ca) - static_cast<int32_t>(cb);
    }
}

int32_t DVKStr_NCompareNoCase(const char* a, const char* b, int32_t n)
{
    if (n < 1 || (a == nullptr && b == nullptr))
        return 0;
    if (a == nullptr)
        return -1;
    if (b == nullptr)
        return 1;
    for (int32_t i = 0; i < n; ++i) {
        const unsigned ca = folded(byteAt(a, i));
        const unsigned cb = folded(byteAt(b, i));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int32_t DVKStr_LinearSearch(const void* key, int32_t size, const void* array, int32_t count)
{
    if (size < 1)
        return -1;
    const auto* bytes = static_cast<const char*>(array);
    for (int32_t i = 0; i < count; ++i)
        if (std::memcmp(bytes + static_cast<size_t>(i) * size, key, static_cast<size_t>(size)) == 0)
            return i;
    return -1;
}

int32_t DVKStr_BinarySearch(const void* key, int32_t size, const void* array, int32_t count,
                            DVKStr_CompareFunc compare)
{
    const auto* bytes = static_cast<const char*>(array);
    int32_t low = 0;
    int32_t high = count - 1;
    while (low <= high) {
        const int32_t middle = low + (high - low) / 2;
        const int result = compare(key, bytes + static_cast<size_t>(middle) * size);
        if (result == 0)
            return middle;
        if (result < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return -1;
}

const char* DVKStr_FindToken(const char* s, const char* delimiters, const char** next,
                             int32_t* length)
{
    if (s == nullptr) {
        *next = nullptr;
        *length = 0;
        return nullptr;
    }
    while (isDelimiter(*s, delimiters))
        ++s;
    if (*s == '\0') {
        *next = nullptr;
        *length = 0;
        return nullptr;
    }
    const char* end = s;
    while (*end != '\0' && !isDelimiter(*end, delimiters))
        ++end;
    *length = static_cast<int32_t>(end - s);
    *next = *end != '\0' ? end + 1 : nullptr;
    return s;
}

const char* DVKStr_NextTokenSpan(const char* s, const char* delimiters, const char** next,
                                 int32_t* length)
{
    const char* from = s != nullptr ? s : *next;
    if (from == nullptr) {
        *length = 0;
        return nullptr;
    }
    return DVKStr_FindToken(from, delimiters, next, length);
}

int32_t DVKStr_CountTokens(const char* s, const char* delimiters)
{
    if (s == nullptr)
        return 0;
    int32_t count = 0;
    const char* next = nullptr;
    int32_t length = 0;
    for (const char* token = DVKStr_NextTokenSpan(s, delimiters, &next, &length);
         token != nullptr; token = DVKStr_NextTokenSpan(nullptr, delimiters, &next, &length))
        ++count;
    return count;
}

char* DVKStr_NextToken(char* s, const char* delimiters, char** next)
{
    char* p = s != nullptr ? s : *next;
    if (p == nullptr)
        return nullptr;
    while (isDelimiter(*p, delimiters))
        ++p;
    if (*p == '\0') {
        *next = p;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && !isDelimiter(*p, delimiters))
        ++p;
    if (*p != '\0')
        *p++ = '\0';
    *next = p;
    return token;
}

char* DVKStr_Duplicate(const char* s)
{
    return s != nullptr ? joinParts(s, nullptr, nullptr) : nullptr;
}

char* DVKStr_ConcatAlloc(const char* a, const char* b)
{
    if (a == nullptr && b == nullptr)
        return nullptr;
    return joinParts(a, b, nullptr);
}

char* DVKStr_JoinWith(const char* a, const char* b, const char* separator)
{
    if (separator == nullptr || *separator == '\0')
        return DVKStr_ConcatAlloc(a, b);
    return joinParts(a, separator, b);
}

void DVKStr_Free(char* s)
{
    DVKMem_Free(s);
}

uint32_t DVKStr_StringToIdCRC(const char* const* strings, const uint32_t* ids, int32_t count)
{
    uint32_t crc = DVKCrc_AddInt(static_cast<uint32_t>(count), 0xFFFFFFFFu);
    for (int32_t i = 0; i < count; ++i) {
        crc = DVKCrc_AddString(strings[i], crc);
        crc = DVKCrc_AddInt(ids[i], crc);
    }
    return crc;
}
