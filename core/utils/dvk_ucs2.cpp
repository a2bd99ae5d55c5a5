#include "core/utils/dvk_ucs2.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstdarg>
#include <cstddef>

namespace {

dvk_ucs2_Char* allocUnits(size_t units)
{
    return static_cast<dvk_ucs2_Char*>(dvk_mem_alloc(units * sizeof(dvk_ucs2_Char)));
}

dvk_ucs2_Char upper(dvk_ucs2_Char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<dvk_ucs2_Char>(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    return c;
}

dvk_ucs2_Char lower(dvk_ucs2_Char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<dvk_ucs2_Char>(c + 0x20);
    if (c == 0x178)
        return 0xFF;
    return c;
}

bool continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes of the sequence starting at p, or 0 when the lead byte starts none
// or the sequence is cut short (the terminator is never a continuation byte).
int sequenceLength(const unsigned char* p)
{
    int length;
    switch (p[0] >> 4) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
        return 1;
    case 12: case 13:
        length = 2;
        break;
    case 14:
        length = 3;
        break;
    default:
        return 0;
    }
    for (int i = 1; i < length; ++i)
        if (!continuation(p[i]))
            return 0;
    return length;
}

dvk_ucs2_Char decode(const unsigned char* p, int length)
{
    if (length == 1)
        return p[0];
    if (length == 2)
        return static_cast<dvk_ucs2_Char>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
    return static_cast<dvk_ucs2_Char>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) |
                                      (p[2] & 0x3F));
}

} // namespace

dvk_ucs2_Char* dvk_ucs2_create(long n)
{
    DVK_ASSERT(n >= 1);
    dvk_ucs2_Char* s = allocUnits(static_cast<size_t>(n) + 1);
    if (s != nullptr)
        s[0] = 0;
    return s;
}

dvk_ucs2_Char* dvk_ucs2_createCopy(const dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    dvk_ucs2_Char* copy = allocUnits(static_cast<size_t>(dvk_ucs2_strlen(s)) + 1);
    if (copy != nullptr)
        dvk_ucs2_strcpy(copy, s);
    return copy;
}

dvk_ucs2_Char* dvk_ucs2_createConcat(const dvk_ucs2_Char* s1, const dvk_ucs2_Char* s2, ...)
{
    DVK_ASSERT(s1 != DVK_NULL);
    DVK_ASSERT(s2 != DVK_NULL);
    size_t units = static_cast<size_t>(dvk_ucs2_strlen(s1) + dvk_ucs2_strlen(s2));
    va_list args;
    va_start(args, s2);
    for (const void* more = va_arg(args, const void*); more != nullptr;
         more = va_arg(args, const void*))
        units += static_cast<size_t>(dvk_ucs2_strlen(static_cast<const dvk_ucs2_Char*>(more)));
    va_end(args);

    dvk_ucs2_Char* joined = allocUnits(units + 1);
    if (joined == nullptr)
        return nullptr;
    dvk_ucs2_strcpy(joined, s1);
    dvk_ucs2_strcat(joined, s2);
    va_start(args, s2);
    for (const void* more = va_arg(args, const void*); more != nullptr;
         more = va_arg(args, const void*))
        dvk_ucs2_strcat(joined, static_cast<const dvk_ucs2_Char*>(more));
    va_end(args);
    return joined;
}

void dvk_ucs2_destroy(dvk_ucs2_Char** s)
{
    DVK_ASSERT(s != DVK_NULL);
    dvk_mem_dealloc(s);
}

long dvk_ucs2_strlen(const dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    long n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

dvk_ucs2_Char* dvk_ucs2_strcpy(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src)
{
    DVK_ASSERT(dst != DVK_NULL);
    DVK_ASSERT(src != DVK_NULL);
    long i = 0;
    while ((dst[i] = src[i]) != 0)
        ++i;
    return dst;
}

dvk_ucs2_Char* dvk_ucs2_strncpy(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src, long n)
{
    DVK_ASSERT(dst != DVK_NULL);
    DVK_ASSERT(src != DVK_NULL);
    DVK_ASSERT(n >= 0);
    long i = 0;
    for (; i < n && src[i] != 0; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

dvk_ucs2_Char* dvk_ucs2_strcat(dvk_ucs2_Char* dst, const dvk_ucs2_Char* src)
{
    DVK_ASSERT(dst != DVK_NULL);
    dvk_ucs2_strcpy(dst + dvk_ucs2_strlen(dst), src);
    return dst;
}

int dvk_ucs2_strcmp(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    DVK_ASSERT(a != DVK_NULL);
    DVK_ASSERT(b != DVK_NULL);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

int dvk_ucs2_strcmpLatin1(const char* latin1, const dvk_ucs2_Char* ucs2)
{
    DVK_ASSERT(latin1 != DVK_NULL);
    DVK_ASSERT(ucs2 != DVK_NULL);
    const unsigned char* a = reinterpret_cast<const unsigned char*>(latin1);
    while (*a != 0 && *a == *ucs2) {
        ++a;
        ++ucs2;
    }
    return static_cast<int>(*a) - static_cast<int>(*ucs2);
}

dvk_ucs2_Char* dvk_ucs2_strchr(const dvk_ucs2_Char* s, dvk_ucs2_Char c)
{
    DVK_ASSERT(s != DVK_NULL);
    if (c == 0)
        return *s == 0 ? const_cast<dvk_ucs2_Char*>(s) : nullptr;
    for (; *s != 0; ++s)
        if (*s == c)
            return const_cast<dvk_ucs2_Char*>(s);
    return nullptr;
}

dvk_ucs2_Char* dvk_ucs2_strstr(const dvk_ucs2_Char* s, const dvk_ucs2_Char* sub)
{
    DVK_ASSERT(s != DVK_NULL);
    DVK_ASSERT(sub != DVK_NULL);
    for (; *s != 0; ++s) {
        long i = 0;
        while (sub[i] != 0 && s[i] == sub[i])
            ++i;
        if (sub[i] == 0)
            return const_cast<dvk_ucs2_Char*>(s);
    }
    return nullptr;
}

void dvk_ucs2_cvtToUppercase(dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    for (; *s != 0; ++s)
        *s = upper(*s);
}

void dvk_ucs2_cvtToLowercase(dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    for (; *s != 0; ++s)
        *s = lower(*s);
}

void dvk_ucs2_cvtToTitlecase(dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    if (*s == 0)
        return;
    *s = upper(*s);
    dvk_ucs2_cvtToLowercase(s + 1);
}

char* dvk_ucs2_cvtToUtf8(const dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    size_t bytes = 0;
    for (const dvk_ucs2_Char* p = s; *p != 0; ++p)
        bytes += *p < 0x80 ? 1 : *p < 0x800 ? 2 : 3;
    unsigned char* out = static_cast<unsigned char*>(dvk_mem_alloc(bytes + 1));
    if (out == nullptr)
        return nullptr;
    unsigned char* o = out;
    for (; *s != 0; ++s) {
        unsigned c = *s;
        if (c < 0x80) {
            *o++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    *o = 0;
    return reinterpret_cast<char*>(out);
}

dvk_ucs2_Char* dvk_ucs2_cvtFromUtf8(const char* bytes)
{
    DVK_ASSERT(bytes != DVK_NULL);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    size_t units = 0;
    for (const unsigned char* p = in; *p != 0;) {
        int length = sequenceLength(p);
        units += length > 0 ? 1 : 0;
        p += length > 0 ? length : 1;
    }
    dvk_ucs2_Char* out = allocUnits(units + 1);
    if (out == nullptr)
        return nullptr;
    dvk_ucs2_Char* o = out;
    for (const unsigned char* p = in; *p != 0;) {
        int length = sequenceLength(p);
        if (length > 0)
            *o++ = decode(p, length);
        p += length > 0 ? length : 1;
    }
    *o = 0;
    return out;
}

char* dvk_ucs2_cvtToLatin1(const dvk_ucs2_Char* s)
{
    DVK_ASSERT(s != DVK_NULL);
    long n = 0;
    for (; s[n] != 0; ++n)
        if (s[n] > 0xFF)
            return nullptr;
    char* out = static_cast<char*>(dvk_mem_alloc(static_cast<size_t>(n) + 1));
    if (out == nullptr)
        return nullptr;
    for (long i = 0; i <= n; ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(s[i]));
    return out;
}

dvk_ucs2_Char* dvk_ucs2_cvtFromLatin1(const char* bytes)
{
    DVK_ASSERT(bytes != DVK_NULL);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    size_t n = 0;
    while (in[n] != 0)
        ++n;
    dvk_ucs2_Char* out = allocUnits(n + 1);
    if (out == nullptr)
        return nullptr;
    for (size_t i = 0; i <= n; ++i)
        out[i] = in[i];
    return out;
}
