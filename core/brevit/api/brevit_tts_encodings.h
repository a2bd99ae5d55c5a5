// The output encodings as the engine's entry points use them: the older
// way's buffer, the frame size it is handed out in and the rate a start
// must pass.
#pragma once

#include <cstdint>

struct BrevitTTSEncoding {
    int32_t bufferBytes;
    int32_t frameBytes;
    int32_t rate;
};

// Encodings 0 to 4; any other gives encoding 0's row.
inline const BrevitTTSEncoding& BrevitPriv_TTSEncodingInfo(int32_t encoding)
{
    static constexpr BrevitTTSEncoding kEncodings[5] = {
        {0, 0, 0}, {26000, 23, 50}, {26000, 27, 50}, {0, 0, 0}, {320000, 2, 16000}};
    return kEncodings[encoding >= 0 && encoding <= 4 ? encoding : 0];
}
