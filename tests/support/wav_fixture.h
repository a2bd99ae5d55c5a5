// Small audio fixtures: 8 kHz 16-bit mono WAV images and raw sample files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// A WAV image with the real sizes of its samples (not the capture stream's).
inline std::string wavImage(const std::vector<int16_t>& samples)
{
    auto le32 = [](uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    auto le16 = [](uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    std::string image = "RIFF" + le32(36 + bytes) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
                        le32(16000) + le16(2) + le16(16) + "data" + le32(bytes);
    image.append(reinterpret_cast<const char*>(samples.data()), bytes);
    return image;
}

inline std::string rawBytes(const std::vector<int16_t>& samples)
{
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::vector<int16_t> readSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    return samples;
}

// count samples: start, start + 1, ... (wrapping in 16 bits).
inline std::vector<int16_t> rampSamples(size_t count, int start = 1)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>(start + static_cast<int>(i));
    return samples;
}
