// The desktop capture's WAV-file source: 8 kHz 16-bit mono PCM files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <array>

namespace media {

// The 44-byte header a capture writes first: 8 kHz 16-bit mono PCM, with
// the sizes of a stream that has no end.
extern const std::array<uint8_t, 44> kCaptureWavHeader;

// Finds the samples of a RIFF/WAVE image: a "fmt " chunk of PCM, one
// channel, 8,000 Hz, 16 bits, then a "data" chunk (its size is cut to what
// the image holds). False, with `error` set, for anything else.
bool wavParse(const uint8_t* data, size_t size, std::vector<int16_t>& samples, std::string& error);

// Reads a file (at most 64 MiB) and parses it.
bool wavRead(const std::string& path, std::vector<int16_t>& samples, std::string& error);

} // namespace media
