// AMR-NB fixtures from opencore-amrnb itself: frames of a tone encoded by
// the library (from a writable copy: its encoder overwrites its input), and
// the library's own decoding of frames with a fresh decoder.
#pragma once

extern "C" {
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>
}

#include <cmath>
#include <cstdint>
#include <vector>

// `count` frames of a tone in the given mode, one vector per frame.
inline std::vector<std::vector<uint8_t>> amrToneFrames(int count, Mode mode, double hz = 440.0, int first = 0)
{
    void* encoder = Encoder_Interface_init(0);
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < first + count; ++f) {
        int16_t pcm[160];
        for (int i = 0; i < 160; ++i)
            pcm[i] = static_cast<int16_t>(5000 * std::sin(2 * M_PI * hz * (f * 160 + i) / 8000.0));
        uint8_t out[64];
        const int n = Encoder_Interface_Encode(encoder, mode, pcm, out, 0);
        if (f >= first)
            frames.emplace_back(out, out + n);
    }
    Encoder_Interface_exit(encoder);
    return frames;
}

inline std::vector<uint8_t> amrJoined(const std::vector<std::vector<uint8_t>>& frames)
{
    std::vector<uint8_t> bytes;
    for (const auto& frame : frames)
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}

inline std::vector<int16_t> amrLibraryDecode(const std::vector<std::vector<uint8_t>>& frames)
{
    void* decoder = Decoder_Interface_init();
    std::vector<int16_t> out;
    for (const auto& frame : frames) {
        int16_t pcm[160];
        Decoder_Interface_Decode(decoder, frame.data(), pcm, 0);
        out.insert(out.end(), pcm, pcm + 160);
    }
    Decoder_Interface_exit(decoder);
    return out;
}
