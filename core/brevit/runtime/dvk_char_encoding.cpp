#include "core/brevit/runtime/dvk_char_encoding.h"

#include "core/brevit/runtime/dvk_latin1.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_utf8.h"

#include <array>

namespace {

struct CharacterMapping {
    uint32_t code;
    const char* name;  // null: the code has no name
};

constexpr std::array<CharacterMapping, 6> sCharacterMappings = {{
    {kCharEncodingNone, ""},
    {kCharEncoding8Bit, "8Bit"},
    {kCharEncodingLatin1, "Latin1"},
    {kCharEncodingUTF8, "UTF8"},
    {kCharEncodingSCSU, "SCSU"},
    {kCharEncodingLatin9, nullptr},
}};

constexpr int32_t kUnknownEncoding = 3;

} // namespace

const char* CharEncoding_ValueToName(uint32_t code)
{
    for (const CharacterMapping& mapping : sCharacterMappings)
        if (mapping.code == code)
            return mapping.name;
    return nullptr;
}

uint32_t CharEncoding_NameToValue(const char* name)
{
    if (name == nullptr)
        return kCharEncodingNone;
    for (const CharacterMapping& mapping : sCharacterMappings)
        if (mapping.name != nullptr && DVKStr_Compare(mapping.name, name) == 0)
            return mapping.code;
    return kCharEncodingNone;
}

bool CharEncoding_IsValidEncoding(uint32_t code, const char* bytes)
{
    switch (code) {
    case kCharEncodingUTF8:
        return DVKUTF8_IsValid(bytes, nullptr);
    case kCharEncodingLatin1:
    case kCharEncodingLatin9:
        return true;
    default:
        return false;
    }
}

bool CharEncoding_DecodeToUnicode(uint32_t code, const char* bytes, int32_t size, uint16_t* dst)
{
    switch (code) {
    case kCharEncodingUTF8:
        return DVKUTF8_ToUnicode(bytes, size, dst);
    case kCharEncodingLatin9:
        return DVKUnicode_FromLatin9(bytes, size, dst);
    case kCharEncodingLatin1:
        return DVKUnicode_FromLatin1(bytes, size, dst);
    default:
        return false;
    }
}

int32_t CharEncoding_EncodeFromUnicode(uint32_t code, const uint16_t* s, int32_t size, char* dst)
{
    switch (code) {
    case kCharEncodingUTF8:
        return DVKUTF8_FromUnicode(s, size, dst);
    case kCharEncodingLatin9:
        return DVKUnicode_ToLatin9(s, size, dst);
    case kCharEncodingLatin1:
        return DVKUnicode_ToLatin1(s, size, dst);
    default:
        return kUnknownEncoding;
    }
}

int32_t CharEncoding_EncodeNFromUnicode(uint32_t code, const uint16_t* s, int32_t n,
                                        int32_t size, char* dst)
{
    switch (code) {
    case kCharEncodingUTF8:
        return DVKUTF8_NFromUnicode(s, n, size, dst);
    case kCharEncodingLatin9:
        return DVKUnicode_NToLatin9(s, n, size, dst);
    case kCharEncodingLatin1:
        return DVKUnicode_NToLatin1(s, n, size, dst);
    default:
        return kUnknownEncoding;
    }
}

int32_t CharEncoding_GetEncodedByteLength(uint32_t code, const uint16_t* s, int32_t n)
{
    switch (code) {
    case kCharEncodingUTF8:
        return DVKUTF8_GetEncodedLength(s, n);
    case kCharEncodingLatin1:
    case kCharEncodingLatin9: {
        // One byte per code unit, counted as the UTF-8 case counts.
        if (n < 1)
            return 0;
        int32_t i = 0;
        while (s != nullptr && i < n && s[i] != 0)
            ++i;
        return i < n ? i + 1 : i;
    }
    default:
        return -1;
    }
}
