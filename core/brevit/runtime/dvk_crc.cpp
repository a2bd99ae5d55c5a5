#include "core/brevit/runtime/dvk_crc.h"

#include "core/brevit/runtime/dvk_num.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>

namespace {

constexpr std::array<uint32_t, 256> buildTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> sCrc32Table = buildTable();

inline uint32_t step(uint32_t crc, uint8_t byte)
{
    return sCrc32Table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

uint32_t load32(const unsigned char* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

} // namespace

uint32_t DVKCrc_AddBytes(const void* bytes, int32_t count, uint32_t crc)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (int32_t i = 0; i < count; ++i)
        crc = step(crc, p[i]);
    return crc;
}

uint32_t DVKCrc_AddByte(uint32_t value, uint32_t crc)
{
    return step(crc, static_cast<uint8_t>(value));
}

uint32_t DVKCrc_AddShort(uint32_t value, uint32_t crc)
{
    crc = step(crc, static_cast<uint8_t>(value));
    return step(crc, static_cast<uint8_t>(value >> 8));
}

uint32_t DVKCrc_AddInt(uint32_t value, uint32_t crc)
{
    crc = DVKCrc_AddShort(value & 0xFFFF, crc);
    return DVKCrc_AddShort(value >> 16, crc);
}

uint32_t DVKCrc_AddPair(uint32_t first, uint32_t second, uint32_t crc)
{
    crc = DVKCrc_AddInt(first & 0xFFFF, crc);
    return DVKCrc_AddInt(second & 0xFFFF, crc);
}

uint32_t DVKCrc_AddValue(uint32_t value, int32_t size, uint32_t crc)
{
    switch (size) {
    case 1:
        return DVKCrc_AddByte(value, crc);
    case 2:
        return DVKCrc_AddShort(value, crc);
    case 4:
        return DVKCrc_AddInt(value, crc);
    case 8:
        return DVKCrc_AddPair(value, 0, crc);
    default:
        // Dropping the running value would silently change every later sum.
        assert(!"unsupported CRC value size");
        return crc;
    }
}

uint32_t DVKCrc_AddArray(const void* array, int32_t elementSize, int32_t count, uint32_t crc)
{
    const auto* p = static_cast<const unsigned char*>(array);
    switch (elementSize) {
    case 1:
        return DVKCrc_AddBytes(p, count, crc);
    case 2:
        for (int32_t i = 0; i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, p + 2 * static_cast<size_t>(i), sizeof(v));
            crc = DVKCrc_AddShort(v, crc);
        }
        return crc;
    case 4:
        for (int32_t i = 0; i < count; ++i)
            crc = DVKCrc_AddInt(load32(p + 4 * static_cast<size_t>(i)), crc);
        return crc;
    case 8:
        for (int32_t i = 0; i < count; ++i) {
            crc = DVKCrc_AddInt(load32(p + 8 * static_cast<size_t>(i)), crc);
            crc = DVKCrc_AddInt(load32(p + 8 * static_cast<size_t>(i) + 4), crc);
        }
        return crc;
    default:
        assert(!"unsupported CRC element size");
        return crc;
    }
}

uint32_t DVKCrc_AddFloat(float value, uint32_t crc)
{
    return DVKCrc_AddDouble(static_cast<double>(value), crc);
}

uint32_t DVKCrc_AddDouble(double value, uint32_t crc)
{
    int exponent = 0;
    const double mantissa = std::frexp(DVKNum_RoundToDecimals(value, 3), &exponent);
    double quantised = std::floor(0.5 + 256.0 * mantissa);
    // Infinities keep their sign and NaN adds 0, without an undefined conversion.
    if (std::isnan(quantised))
        quantised = 0.0;
    quantised = std::clamp(quantised, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX));
    crc = DVKCrc_AddInt(static_cast<uint32_t>(exponent), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(static_cast<int32_t>(quantised)), crc);
}

uint32_t DVKCrc_AddArrayFloat(const float* array, int32_t count, uint32_t crc)
{
    for (int32_t i = 0; i < count; ++i)
        crc = DVKCrc_AddFloat(array[i], crc);
    return crc;
}

uint32_t DVKCrc_AddArrayDouble(const double* array, int32_t count, uint32_t crc)
{
    for (int32_t i = 0; i < count; ++i)
        crc = DVKCrc_AddDouble(array[i], crc);
    return crc;
}

uint32_t DVKCrc_AddString(const char* s, uint32_t crc)
{
    if (s == nullptr)
        return crc;
    return DVKCrc_AddBytes(s, static_cast<int32_t>(std::strlen(s)) + 1, crc);
}
