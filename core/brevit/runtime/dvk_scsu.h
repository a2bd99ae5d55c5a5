// Compact one-byte-per-character form of stored word text: printable ASCII
// as itself, a character of the current window as 0x80 + its offset in the
// window, any other character as the escape byte 0x0E and its UTF-8 bytes.
// The window never changes while coding: the form has no switching tags.
#pragma once

#include <cstdint>

// Coder state, owned by the caller (stored as ten 32-bit words).
struct DVKSCSU {
    uint32_t defaultWindow;
    uint32_t currentWindow;
    uint32_t windowOffsets[8];
};

// The standard default dynamic-window offsets, from which callers fill theirs.
extern const uint32_t kSCSUDefaultOffsets[8];

inline constexpr uint8_t kDVKSCSUEscape = 0x0E;

// Current window = default window.
void DVKSCSU_SCSUReset(DVKSCSU* state);
// Bytes written to out (at most 4); u = 0 writes nothing and gives 0.
int32_t DVKSCSU_EncodeChar(uint16_t u, const DVKSCSU* state, uint8_t* out);
// Bytes used: 1 for a window or ASCII byte, 1 + the sequence's length for an
// escape, 0 at the terminator (u = 0). An escape not followed by a decodable
// sequence uses its own byte alone and gives U+FFFD.
int32_t DVKSCSU_DecodeChar(const uint8_t* bytes, const DVKSCSU* state, uint16_t* u);
// Encode up to the terminator (or n code units); 1 when the whole needs size
// bytes or more (dst holds the characters that fitted, terminated), else 0.
int32_t DVKSCSU_UnicodeStringToSCSU(const uint16_t* s, int32_t size, uint8_t* dst,
                                    const DVKSCSU* state);
int32_t DVKSCSU_UnicodeStringNToSCSU(const uint16_t* s, int32_t n, int32_t size, uint8_t* dst,
                                     const DVKSCSU* state);
// True when every byte below 0x20 is the escape followed by a decodable
// UTF-8 sequence; null is false.
bool DVKSCSU_IsLegalSCSU(const uint8_t* bytes);
