// Word texts come from the phone's contacts and music: any UTF-16 text
// (two bytes a unit) through the spelling codes. A text whose code is not
// 16 is restored from its key in every encoding that holds it and compares
// equal to the key under its code, in both the UTF-16 and the encoded form.
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/runtime/dvk_unicode.h"

#include "tests/support/same_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Characters that lower-casing changes without being upper case (title
// case and the like) have no spelling a code could restore.
bool restorable(const std::vector<uint16_t>& text)
{
    for (uint16_t c : text)
        if (c != 0 && DVKUnicode_ToLower(c) != c && !DVKUnicode_IsUpper(c))
            return false;
    return true;
}

void check(const std::vector<uint16_t>& text, int32_t code, int32_t encoding, const DVKSCSU* state)
{
    const size_t n = text.size() - 1;
    std::vector<uint8_t> exact(4 * n + 1);
    std::vector<uint8_t> key(4 * n + 1);
    if (MWLCode_ConvertFromUnicode(exact.data(), text.data(), 0, encoding, state, nullptr) != 0 ||
        MWLCode_ConvertFromUnicode(key.data(), text.data(), 1, encoding, state, nullptr) != 0)
        return;
    const auto keyBytes = static_cast<int32_t>(std::strlen(reinterpret_cast<char*>(key.data())));
    const auto exactBytes = static_cast<int32_t>(std::strlen(reinterpret_cast<char*>(exact.data())));
    std::vector<uint16_t> restored(static_cast<size_t>(keyBytes) + 1);
    MWLCode_RestoreSpelling(restored.data(), key.data(), keyBytes, code, encoding, state);
    if (!sameText(restored, text))
        std::abort();
    const auto length = static_cast<int32_t>(n);
    if (MWLCode_CompareWithCode(text.data(), key.data(), code, length + 1, encoding, state) != 0 ||
        MWLCode_CompareWithCodeE(exact.data(), key.data(), code, exactBytes + 1, encoding, state) != 0)
        std::abort();
    std::vector<uint8_t> restoredE(static_cast<size_t>(exactBytes) + 1);
    MWLCode_RestoreSpellingE(restoredE.data(), key.data(), exactBytes + 1, code, encoding, state);
    if (!sameText(restoredE, exact))
        std::abort();
    // Any other code compares the same way in both forms.
    for (int32_t other : {1, 2, 4, 8, 10}) {
        if (MWLCode_CompareWithCode(text.data(), key.data(), other, length + 1, encoding, state) !=
            MWLCode_CompareWithCodeE(exact.data(), key.data(), other, exactBytes + 1, encoding, state))
            std::abort();
    }
    MWLCode_GetUTF8Length(key.data(), encoding, state);
    MWLCode_GetCodeE(exact.data(), encoding);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 512)
        return 0;
    std::vector<uint16_t> text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const uint16_t u = static_cast<uint16_t>(data[i] | data[i + 1] << 8);
        if (u == 0)
            break;
        text.push_back(u);
    }
    text.push_back(0);
    DVKSCSU state{};
    std::memcpy(state.windowOffsets, kSCSUDefaultOffsets, sizeof(state.windowOffsets));
    state.defaultWindow = size > 0 ? data[0] % 8 : 0;
    DVKSCSU_SCSUReset(&state);
    const int32_t code = MWLCode_GetCode(text.data());
    if (code == kMWLCodeExact || !restorable(text))
        return 0;
    for (int32_t encoding : {2, 3, 4})
        check(text, code, encoding, &state);
    return 0;
}
