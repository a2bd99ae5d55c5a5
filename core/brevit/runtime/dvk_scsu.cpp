#include "core/brevit/runtime/dvk_scsu.h"

#include "core/brevit/runtime/dvk_utf8.h"

#include <cstring>

const uint32_t kSCSUDefaultOffsets[8] = {0x0080, 0x00C0, 0x0400, 0x0600,
                                         0x0900, 0x3040, 0x30A0, 0xFF00};

namespace {

constexpr uint16_t kReplacement = 0xFFFD;

// Offset of the current window; an index outside the eight windows (a
// damaged state) counts as offset 0, so coding stays in bounds and reversible.
uint32_t windowOffset(const DVKSCSU* state)
{
    return state->currentWindow < 8 ? state->windowOffsets[state->currentWindow] : 0;
}

int32_t encodeText(const uint16_t* s, int64_t n, int32_t size, uint8_t* dst,
                   const DVKSCSU* state)
{
    if (dst == nullptr || size < 1)
        return 1;
    int32_t used = 0;
    for (int64_t i = 0; s != nullptr && i < n && s[i] != 0; ++i) {
        uint8_t bytes[4];
        const int32_t length = DVKSCSU_EncodeChar(s[i], state, bytes);
        if (length > size - 1 - used) {
            dst[used] = 0;
            return 1;
        }
        std::memcpy(dst + used, bytes, static_cast<size_t>(length));
        used += length;
    }
    dst[used] = 0;
    return 0;
}

const char* asText(const uint8_t* bytes)
{
    return reinterpret_cast<const char*>(bytes);
}

} // namespace

void DVKSCSU_SCSUReset(DVKSCSU* state)
{
    state->currentWindow = state->defaultWindow;
}

int32_t DVKSCSU_EncodeChar(uint16_t u, const DVKSCSU* state, uint8_t* out)
{
    if (u == 0)
        return 0;
    if (u >= 0x20 && u <= 0x7F) {
        out[0] = static_cast<uint8_t>(u);
        return 1;
    }
    const uint32_t difference = u - windowOffset(state);
    if (difference < 128) {
        out[0] = static_cast<uint8_t>(0x80 + difference);
        return 1;
    }
    out[0] = kDVKSCSUEscape;
    return 1 + DVKUTF8_FromUnicodeChar(u, reinterpret_cast<char*>(out + 1));
}

int32_t DVKSCSU_DecodeChar(const uint8_t* bytes, const DVKSCSU* state, uint16_t* u)
{
    const uint8_t b = bytes[0];
    if (b == 0) {
        *u = 0;
        return 0;
    }
    if (b >= 0x80) {
        *u = static_cast<uint16_t>(windowOffset(state) - 0x80 + b);
        return 1;
    }
    if (b >= 0x20) {
        *u = b;
        return 1;
    }
    const int32_t length = DVKUTF8_ToUnicodeChar(asText(bytes + 1), u);
    // An escape before the terminator or before a broken sequence uses its
    // own byte, never none: a decoding loop must always move on.
    if (length <= 0) {
        *u = kReplacement;
        return 1;
    }
    return 1 + length;
}

int32_t DVKSCSU_UnicodeStringToSCSU(const uint16_t* s, int32_t size, uint8_t* dst,
                                    const DVKSCSU* state)
{
    return encodeText(s, INT64_MAX, size, dst, state);
}

int32_t DVKSCSU_UnicodeStringNToSCSU(const uint16_t* s, int32_t n, int32_t size, uint8_t* dst,
                                     const DVKSCSU* state)
{
    return encodeText(s, n, size, dst, state);
}

bool DVKSCSU_IsLegalSCSU(const uint8_t* bytes)
{
    if (bytes == nullptr)
        return false;
    for (const uint8_t* p = bytes; *p != 0;) {
        if (*p >= 0x20) {
            ++p;
            continue;
        }
        if (*p != kDVKSCSUEscape)
            return false;
        const int32_t length = DVKUTF8_ToUnicodeChar(asText(p + 1), nullptr);
        if (length <= 0)
            return false;
        p += 1 + length;
    }
    return true;
}
