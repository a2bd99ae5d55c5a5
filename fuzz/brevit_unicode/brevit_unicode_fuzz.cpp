// Text from model files, word lists and callers: the input is taken once as
// 8-bit text (UTF-8, Latin-1, Latin-9, the compact form, language names) and
// once as UTF-16 units. Every decoder must stay inside its input and every
// conversion that succeeds must give the text back.
#include "core/brevit/runtime/dvk_char_encoding.h"
#include "core/brevit/runtime/dvk_language.h"
#include "core/brevit/runtime/dvk_latin1.h"
#include "core/brevit/runtime/dvk_num_utf16.h"
#include "core/brevit/runtime/dvk_scsu.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/runtime/dvk_unicode_width.h"
#include "core/brevit/runtime/dvk_utf8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

DVKSCSU coderState(uint8_t window)
{
    DVKSCSU state{};
    state.defaultWindow = window % 9;  // 8: a damaged state
    std::memcpy(state.windowOffsets, kSCSUDefaultOffsets, sizeof state.windowOffsets);
    DVKSCSU_SCSUReset(&state);
    return state;
}

void bytesAsText(const std::string& text, uint8_t selector)
{
    const char* s = text.c_str();
    const int32_t length = static_cast<int32_t>(std::strlen(s));

    int32_t count = -1;
    if (DVKUTF8_IsValid(s, &count)) {
        check(count >= 0 && count <= length);
        std::vector<uint16_t> wide(static_cast<size_t>(count) + 1);
        check(DVKUTF8_ToUnicode(s, count + 1, wide.data()));
        check(count == 0 || !DVKUTF8_ToUnicode(s, count, wide.data()));
        check(DVKUTF8_ToUnicode(s, count + 1, wide.data()));
        std::string back(static_cast<size_t>(length) + 1, 'x');
        check(DVKUTF8_FromUnicode(wide.data(), length + 1, back.data()) == 0);
        check(std::strcmp(back.c_str(), s) == 0);
        check(DVKUTF8_GetEncodedLength(wide.data(), count + 1) == length + 1);
        std::string lower = text;
        DVKUTF8_Lower(lower.data());
        check(DVKUTF8_IsValid(lower.c_str(), nullptr));
        check(DVKUTF8_CompareNoCase(lower.c_str(), s) == 0);
    } else {
        check(DVKUTF8_Length(s) == -1);
    }
    std::string upper = text;
    DVKUTF8_Upper(upper.data());
    check(std::strlen(upper.c_str()) <= static_cast<size_t>(length));
    check(DVKUTF8_Compare(s, s) == 0 && DVKUTF8_CompareNoCase(s, s) == 0);
    check(DVKUTF8_NCompare(s, upper.c_str(), selector) == -DVKUTF8_NCompare(upper.c_str(), s, selector));

    char sequence[8];
    for (const char* p = s; *p != '\0'; ++p) {
        const int32_t n = DVKUTF8_GetChar(p, sequence);
        check(n >= -1 && n <= 7 && (n <= 0 || std::strncmp(sequence, p, static_cast<size_t>(n)) == 0));
        uint16_t u = 0;
        check(DVKUTF8_ToUnicodeChar(p, &u) == n);
    }
    const int32_t last = DVKUTF8_GetLastChar(s, sequence);
    check(last >= -1 && last <= 7 && last <= length);
    uint16_t lastValue = 0;
    DVKUTF8_LastUTF8ToUnicode(s, &lastValue);

    // Latin-1 and Latin-9 give every byte back.
    std::vector<uint16_t> wide(static_cast<size_t>(length) + 1);
    std::string back(static_cast<size_t>(length) + 1, 'x');
    check(DVKUnicode_FromLatin1(s, length + 1, wide.data()));
    check(DVKUnicode_ToLatin1(wide.data(), length + 1, back.data()) == kDVKConvertDone);
    check(std::strcmp(back.c_str(), s) == 0);
    check(DVKUnicode_FromLatin9(s, length + 1, wide.data()));
    check(DVKUnicode_ToLatin9(wide.data(), length + 1, back.data()) == kDVKConvertDone);
    check(std::strcmp(back.c_str(), s) == 0);
    const int32_t size = 1 + selector % 8;
    check(DVKUnicode_NToLatin9(wide.data(), selector % 5, size, back.data()) != kDVKConvertUnrepresentable);
    uint16_t small[8];
    CharEncoding_DecodeToUnicode(selector % 6, s, 1 + selector % 8, small);

    // The compact form: decoding walks forward and stops at the terminator.
    const DVKSCSU state = coderState(selector);
    const auto* bytes = reinterpret_cast<const uint8_t*>(s);
    DVKSCSU_IsLegalSCSU(bytes);
    uint16_t u = 0;
    for (const uint8_t* p = bytes; *p != 0;) {
        const int32_t used = DVKSCSU_DecodeChar(p, &state, &u);
        check(used >= 1 && used <= 8);
        for (int32_t i = 0; i < used; ++i)
            check(p[i] != 0 || i == 0);
        p += used;
    }

    const char* shortName = Language_NameToShortName(s);
    check(shortName == nullptr || shortName == s || std::strlen(shortName) == 4);
    Language_IsNonCJK(s);
    DVKLatin1_CompareNoCase(s, upper.c_str());
}

void unitsAsText(const std::vector<uint16_t>& units, uint8_t selector)
{
    const uint16_t* s = units.data();
    const int32_t length = DVKUnicode_Length(s);

    DVKNum_UnicodeIsIntegral(s);
    DVKNum_UnicodeToShort(s);
    DVKNum_UnicodeToUnsignedChar(s);
    DVKNum_UnicodeToUnsignedLong(s);
    DVKNum_UnicodeHexToUnsignedInt(s);
    DVKNum_UnicodeHexToUnsignedShort(s);
    if (DVKNum_UnicodeIsReal(s))
        (void)DVKNum_UnicodeToReal(s);
    DVKNum_UnicodeToBoolean(s);

    // UTF-8 and the compact form give every unit back.
    std::string utf8(static_cast<size_t>(length) * 3 + 1, 'x');
    check(DVKUTF8_FromUnicode(s, static_cast<int32_t>(utf8.size()), utf8.data()) == 0);
    std::vector<uint16_t> back(static_cast<size_t>(length) + 1, 0xAAAA);
    check(DVKUTF8_ToUnicode(utf8.c_str(), length + 1, back.data()));
    check(DVKUnicode_Compare(back.data(), s) == 0);
    std::string cut(1 + selector % 16, 'x');
    DVKUTF8_NFromUnicode(s, selector % 7, static_cast<int32_t>(cut.size()), cut.data());
    check(std::strlen(cut.c_str()) < cut.size() && DVKUTF8_IsValid(cut.c_str(), nullptr));

    const DVKSCSU state = coderState(selector);
    std::vector<uint8_t> compact(static_cast<size_t>(length) * 4 + 1);
    check(DVKSCSU_UnicodeStringToSCSU(s, static_cast<int32_t>(compact.size()), compact.data(),
                                      &state) == 0);
    check(DVKSCSU_IsLegalSCSU(compact.data()));
    std::vector<uint16_t> decoded;
    uint16_t u = 0;
    for (const uint8_t* p = compact.data(); int32_t used = DVKSCSU_DecodeChar(p, &state, &u);
         p += used)
        decoded.push_back(u);
    decoded.push_back(0);
    check(decoded == units);

    // Searching for the second half finds it no later than where it is.
    const uint16_t* needle = s + length / 2;
    const uint16_t* found = DVKUnicode_Str(s, needle);
    check(*needle == 0 ? found == nullptr : (found != nullptr && found <= needle &&
                                              DVKUnicode_NCompare(found, needle, length - length / 2) == 0));

    std::vector<uint16_t> copy = units;
    uint16_t delimiters[3] = {static_cast<uint16_t>(selector), ' ', 0};
    uint16_t* next = nullptr;
    int32_t tokens = 0;
    for (uint16_t* t = DVKUnicode_NextToken(copy.data(), delimiters, &next); t != nullptr;
         t = DVKUnicode_NextToken(nullptr, delimiters, &next))
        ++tokens;
    check(tokens == DVKUnicode_CountTokens(s, delimiters));
    DVKUnicode_CountTokens(s, kDVKUniWhiteSpace);

    std::vector<uint16_t> kana(static_cast<size_t>(length) + 1);
    check(DVKUnicode_NormalizeKana(s, length + 1, kana.data()) <= length);
    check(length == 0 || DVKUnicode_NormalizeKana(s, length, kana.data()) == -1);
    uint32_t script = 0;
    for (int32_t i = 0; i < length; ++i) {
        DVKUnicode_GetCharInfo(s[i], script, &script, nullptr, nullptr, nullptr, nullptr);
        DVKUnicode_NormalizeWidth(s[i]);
    }
    copy = units;
    DVKUnicode_Upper(copy.data());
    DVKUnicode_RTrim(copy.data());
    uint16_t first = 0;
    check(DVKUnicode_SkipSpace(s, &first) <= length);

    char latin[16];
    DVKUnicode_NToLatin1(s, selector % 20, 1 + selector % 16, latin);
    check(std::strlen(latin) < 16);
    CharEncoding_EncodeNFromUnicode(selector % 6, s, selector % 20, 1 + selector % 16, latin);
    CharEncoding_GetEncodedByteLength(selector % 6, s, selector % 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    ++data;
    --size;
    bytesAsText(std::string(reinterpret_cast<const char*>(data), size), selector);

    std::vector<uint16_t> units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<uint16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    units.push_back(0);
    unitsAsText(units, selector);
    return 0;
}
