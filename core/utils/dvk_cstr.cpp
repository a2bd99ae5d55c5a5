#include "core/utils/dvk_cstr.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstdarg>
#include <cstring>

namespace {

// Appends to a buffer of fixed size; what does not fit is dropped.
struct Writer {
    char* buffer;
    size_t room;  // characters left before the terminator's place
    long written;

    void put(char c)
    {
        if (room == 0)
            return;
        buffer[written++] = c;
        --room;
    }
    void repeat(char c, long n)
    {
        for (; n > 0; --n)
            put(c);
    }
};

void putNumber(Writer& out, int value, long width, bool zeroPad)
{
    long long magnitude = value;
    bool negative = magnitude < 0;
    if (negative)
        magnitude = -magnitude;
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    long pad = width - count - (negative ? 1 : 0);
    if (zeroPad) {
        if (negative)
            out.put('-');
        out.repeat('0', pad);
    } else {
        out.repeat(' ', pad);
        if (negative)
            out.put('-');
    }
    while (count > 0)
        out.put(digits[--count]);
}

} // namespace

char* dvk_cstr_dup(const char* s)
{
    if (s == nullptr)
        return nullptr;
    size_t n = std::strlen(s) + 1;
    char* copy = static_cast<char*>(dvk_mem_alloc(n));
    if (copy != nullptr)
        std::memcpy(copy, s, n);
    return copy;
}

long dvk_cstr_formatText(char* buffer, size_t size, const char* format, ...)
{
    DVK_ASSERT(buffer != DVK_NULL);
    DVK_ASSERT(size >= 1);
    DVK_ASSERT(format != DVK_NULL);
    Writer out{buffer, size - 1, 0};
    va_list args;
    va_start(args, format);
    for (const char* f = format; *f != 0; ++f) {
        if (*f != '%') {
            out.put(*f);
            continue;
        }
        ++f;
        bool zeroPad = false;
        if (*f == '0') {
            zeroPad = true;
            ++f;
        }
        long width = 0;
        for (; *f >= '0' && *f <= '9'; ++f)
            if (width < 4096)  // beyond any buffer: keeps the sum in range
                width = width * 10 + (*f - '0');
        if (*f == 0)
            break;
        if (*f == '%') {
            out.put('%');
        } else if (*f == 's') {
            const char* s = va_arg(args, const char*);
            for (; s != nullptr && *s != 0; ++s)
                out.put(*s);
        } else if (*f == 'd') {
            putNumber(out, va_arg(args, int), width, zeroPad);
        }
    }
    va_end(args);
    buffer[out.written] = 0;
    return out.written;
}
