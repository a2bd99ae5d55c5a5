#include "core/brevit/runtime/dvk_bits.h"

namespace {

uint32_t bitAt(const uint8_t* bytes, int64_t i)
{
    return (bytes[i / 8] >> (7 - i % 8)) & 1u;
}

void setBit(uint8_t* bytes, int64_t i, uint32_t bit)
{
    const auto mask = static_cast<uint8_t>(1u << (7 - i % 8));
    if (bit != 0)
        bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | mask);
    else
        bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] & ~mask);
}

void advance(int32_t* byteIndex, int32_t* bitIndex)
{
    if (++*bitIndex == 8) {
        *bitIndex = 0;
        ++*byteIndex;
    }
}

} // namespace

uint32_t DVKBits_ReadRange(const uint8_t* bytes, int32_t first, int32_t last)
{
    uint32_t value = 0;
    for (int64_t i = first; i <= last; ++i)
        value = (value << 1) | bitAt(bytes, i);
    return value;
}

void DVKBits_WriteRange(uint32_t value, int32_t first, int32_t last, uint8_t* bytes)
{
    for (int64_t i = last; i >= first; --i) {
        setBit(bytes, i, value & 1u);
        value >>= 1;
    }
}

void DVKBits_StreamToRange(const uint8_t* source, int32_t* byteIndex, int32_t* bitIndex,
                           int32_t first, int32_t last, uint8_t* destination)
{
    for (int64_t i = first; i <= last; ++i) {
        setBit(destination, i, bitAt(source, int64_t{*byteIndex} * 8 + *bitIndex));
        advance(byteIndex, bitIndex);
    }
}

void DVKBits_RangeToStream(const uint8_t* source, int32_t first, int32_t last,
                           int32_t* byteIndex, int32_t* bitIndex, uint8_t* destination)
{
    for (int64_t i = first; i <= last; ++i) {
        setBit(destination, int64_t{*byteIndex} * 8 + *bitIndex, bitAt(source, i));
        advance(byteIndex, bitIndex);
    }
}
