#include "core/brevit/lexicon/long_name.h"

namespace {

constexpr uint32_t kEscape = '^';
constexpr uint32_t kSeparator = '\\';
constexpr uint32_t kSpaceMark = '_';

template <typename Char>
uint32_t code(Char c)
{
    if constexpr (sizeof(Char) == 1)
        return static_cast<unsigned char>(c);
    else
        return c;
}

bool special(uint32_t c)
{
    return c == kEscape || c == kSeparator || c == kSpaceMark;
}

template <typename Char>
int32_t isValidLongName(const Char* name)
{
    if (name == nullptr || name[0] == 0)
        return 0;
    bool separatorSeen = false;
    for (int32_t i = 0; name[i] != 0; ++i) {
        const uint32_t c = code(name[i]);
        if (c < 33)
            return 0;
        if (c == kEscape) {
            if (!special(code(name[i + 1])))
                return 0;
            ++i;
        } else if (c == kSeparator) {
            if (i == 0 || separatorSeen)
                return 0;
            separatorSeen = true;
        }
    }
    return 1;
}

template <typename Char>
int32_t isValidForm(const Char* form, bool mayBeEmpty)
{
    if (form == nullptr || form[0] == 0)
        return mayBeEmpty ? 1 : 0;
    for (const Char* p = form; *p != 0; ++p)
        if (code(*p) < 32)
            return 0;
    return 1;
}

// A bounded output: every write, the terminator included, needs room.
template <typename Char>
struct Output {
    Char* buffer;
    int32_t size;
    int32_t used = 0;

    bool put(uint32_t c)
    {
        if (used >= size)
            return false;
        buffer[used++] = static_cast<Char>(c);
        return true;
    }
    bool room(int32_t n) const { return used + n <= size; }
};

template <typename Char>
int32_t splitLongName(const Char* name, Char* surface, int32_t surfaceSize, Char* spoken,
                      int32_t spokenSize)
{
    if (name == nullptr)
        return 0;
    Output<Char> surfaceOut{surface, surfaceSize};
    Output<Char> spokenOut{spoken, spokenSize};
    Output<Char>* out = &surfaceOut;
    bool escaped = false;
    for (const Char* p = name; *p != 0; ++p) {
        const uint32_t c = code(*p);
        if (escaped) {
            if (!special(c) || !out->put(c))
                return 0;
            escaped = false;
        } else if (c == kEscape) {
            escaped = true;
        } else if (c == kSpaceMark) {
            if (!out->put(' '))
                return 0;
        } else if (c == kSeparator) {
            if (out == &spokenOut || p[1] == 0 || !out->put(0))
                return 0;
            out = &spokenOut;
        } else if (c <= 32 || !out->put(c)) {
            return 0;
        }
    }
    if (escaped || !out->put(0))
        return 0;
    // Without a spoken part the spoken form is empty, where there is room.
    if (out == &surfaceOut && spokenSize > 0)
        spoken[0] = 0;
    return isValidForm(surface, false);
}

template <typename Char>
int32_t encodeForm(const Char* form, Char* output, int32_t size)
{
    if (size < 1)
        return 0;
    output[0] = 0;
    if (form == nullptr || form[0] == 0)
        return 1;
    if (size < 2)
        return 0;
    Output<Char> out{output, size};
    for (const Char* p = form; *p != 0; ++p) {
        const uint32_t c = code(*p);
        const bool escape = special(c);
        // The character (with its escape) and a terminator after it.
        if (!out.room(escape ? 3 : 2)) {
            output[out.used] = 0;
            return 0;
        }
        if (escape)
            out.put(kEscape);
        out.put(c == ' ' ? kSpaceMark : c);
    }
    output[out.used] = 0;
    return 1;
}

template <typename Char>
int32_t joinLongName(const Char* surface, const Char* spoken, Char* output, int32_t size)
{
    if (size > 0)
        output[0] = 0;
    if (!isValidForm(surface, false) || !encodeForm(surface, output, size))
        return 0;
    if (spoken == nullptr || spoken[0] == 0)
        return 1;
    if (!isValidForm(spoken, true))
        return 0;
    int32_t used = 0;
    while (output[used] != 0)
        ++used;
    // The separator only with a byte after it for the terminator.
    if (used + 2 > size)
        return 0;
    output[used++] = static_cast<Char>(kSeparator);
    output[used] = 0;
    return encodeForm(spoken, output + used, size - used);
}

} // namespace

int32_t WU_IsValidLongName(const char* name)
{
    return isValidLongName(name);
}

int32_t WU_ConvertLongNameToSurfaceSpoken(const char* name, char* surface, int32_t surfaceSize,
                                          char* spoken, int32_t spokenSize)
{
    return splitLongName(name, surface, surfaceSize, spoken, spokenSize);
}

int32_t WU_ConvertSurfaceSpokenToLongName(const char* surface, const char* spoken, char* output,
                                          int32_t size)
{
    return joinLongName(surface, spoken, output, size);
}

int32_t WU_IsValidSurfaceForm(const char* form)
{
    return isValidForm(form, false);
}

int32_t WU_IsValidSpokenForm(const char* form)
{
    return isValidForm(form, true);
}

int32_t WU_EncodeLongNameForm(const char* form, char* output, int32_t size)
{
    return encodeForm(form, output, size);
}

int32_t WU_IsValidLongNameU(const uint16_t* name)
{
    return isValidLongName(name);
}

int32_t WU_ConvertLongNameToSurfaceSpokenU(const uint16_t* name, uint16_t* surface,
                                           int32_t surfaceSize, uint16_t* spoken,
                                           int32_t spokenSize)
{
    return splitLongName(name, surface, surfaceSize, spoken, spokenSize);
}

int32_t WU_ConvertSurfaceSpokenToLongNameU(const uint16_t* surface, const uint16_t* spoken,
                                           uint16_t* output, int32_t size)
{
    return joinLongName(surface, spoken, output, size);
}

int32_t WU_IsValidSurfaceFormU(const uint16_t* form)
{
    return isValidForm(form, false);
}

int32_t WU_IsValidSpokenFormU(const uint16_t* form)
{
    return isValidForm(form, true);
}

int32_t WU_EncodeLongNameFormU(const uint16_t* form, uint16_t* output, int32_t size)
{
    return encodeForm(form, output, size);
}
