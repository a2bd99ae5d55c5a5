#include "platform/media/media_wav.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace media {

const std::array<uint8_t, 44> kCaptureWavHeader = {
    'R', 'I', 'F', 'F', 0x24, 0x00, 0xff, 0x7f, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1f, 0, 0, 0x80, 0x3e, 0, 0,
    2, 0, 16, 0, 'd', 'a', 't', 'a', 0x00, 0x00, 0xff, 0x7f};

namespace {

constexpr size_t kMaxFile = 64u << 20;

uint32_t le32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

} // namespace

bool wavParse(const uint8_t* data, size_t size, std::vector<int16_t>& samples, std::string& error)
{
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool formatSeen = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* chunk = data + pos;
        const uint32_t length = le32(chunk + 4);
        const size_t body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || size - body < 16) {
                error = "short fmt chunk";
                return false;
            }
            const uint8_t* f = data + body;
            if (le16(f) != 1 || le16(f + 2) != 1 || le32(f + 4) != 8000 || le16(f + 14) != 16) {
                error = "not 8 kHz 16-bit mono PCM";
                return false;
            }
            formatSeen = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatSeen) {
                error = "data before fmt";
                return false;
            }
            const size_t available = std::min<size_t>(length, size - body) / 2;
            samples.resize(available);
            for (size_t i = 0; i < available; ++i)
                samples[i] = static_cast<int16_t>(le16(data + body + 2 * i));
            return true;
        }
        // Chunks are padded to even sizes.
        const size_t skip = size_t{length} + (length & 1u);
        if (skip > size - body)
            break;
        pos = body + skip;
    }
    error = "no data chunk";
    return false;
}

bool wavRead(const std::string& path, std::vector<int16_t>& samples, std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0 && bytes.size() <= kMaxFile)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    if (bytes.size() > kMaxFile) {
        error = "file too large";
        return false;
    }
    return wavParse(bytes.data(), bytes.size(), samples, error);
}

} // namespace media
