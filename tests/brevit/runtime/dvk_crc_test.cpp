#include "core/brevit/runtime/dvk_bits.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_swap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

uint32_t bytesCrc(std::vector<uint8_t> bytes, uint32_t crc = 0xFFFFFFFFu)
{
    return DVKCrc_AddBytes(bytes.data(), static_cast<int32_t>(bytes.size()), crc);
}

TEST(Crc, StandardCheckValues)
{
    EXPECT_EQ(~DVKCrc_AddBytes("abc", 3, 0xFFFFFFFFu), 0x352441C2u);
    EXPECT_EQ(~DVKCrc_AddBytes("123456789", 9, 0xFFFFFFFFu), 0xCBF43926u);
    EXPECT_EQ(DVKCrc_AddBytes("abc", 0, 77u), 77u);
    EXPECT_EQ(DVKCrc_AddBytes("abc", -1, 77u), 77u);
    // The string form includes the terminator.
    EXPECT_EQ(DVKCrc_AddString("abc", 5u), DVKCrc_AddBytes("abc", 4, 5u));
    EXPECT_EQ(DVKCrc_AddString(nullptr, 5u), 5u);
}

// Stored checksums depend on these exact byte sequences: keep them.
TEST(Crc, ValueByteOrders)
{
    const uint32_t start = 0x1234ABCDu;
    EXPECT_EQ(DVKCrc_AddByte(0x1FF, start), bytesCrc({0xFF}, start));
    EXPECT_EQ(DVKCrc_AddShort(0xABCD1234u, start), bytesCrc({0x34, 0x12}, start));
    EXPECT_EQ(DVKCrc_AddInt(0x12345678u, start), bytesCrc({0x78, 0x56, 0x34, 0x12}, start));
    EXPECT_EQ(DVKCrc_AddPair(0x12345678u, 0, start),
              bytesCrc({0x78, 0x56, 0, 0, 0, 0, 0, 0}, start));
    EXPECT_EQ(DVKCrc_AddPair(0xAAAA0102u, 0xBBBB0304u, start),
              bytesCrc({0x02, 0x01, 0, 0, 0x04, 0x03, 0, 0}, start));
    EXPECT_EQ(DVKCrc_AddValue(0x12345678u, 1, start), bytesCrc({0x78}, start));
    EXPECT_EQ(DVKCrc_AddValue(0x12345678u, 2, start), bytesCrc({0x78, 0x56}, start));
    EXPECT_EQ(DVKCrc_AddValue(0x12345678u, 4, start), bytesCrc({0x78, 0x56, 0x34, 0x12}, start));
    // Size 8: the value as first word and 0 as second, low 16 bits of each.
    EXPECT_EQ(DVKCrc_AddValue(0x12345678u, 8, start),
              bytesCrc({0x78, 0x56, 0, 0, 0, 0, 0, 0}, start));
}

TEST(Crc, Arrays)
{
    const uint32_t start = 0xFFFFFFFFu;
    const uint16_t shorts[] = {0x0102, 0x0304};
    EXPECT_EQ(DVKCrc_AddArray(shorts, 2, 2, start), bytesCrc({0x02, 0x01, 0x04, 0x03}, start));
    const uint32_t ints[] = {0x01020304u};
    EXPECT_EQ(DVKCrc_AddArray(ints, 4, 1, start), bytesCrc({0x04, 0x03, 0x02, 0x01}, start));
    // Size 8: two full words per element, unlike AddPair.
    const uint32_t pairs[] = {0xA1A20102u, 0xB1B20304u};
    EXPECT_EQ(DVKCrc_AddArray(pairs, 8, 1, start),
              bytesCrc({0x02, 0x01, 0xA2, 0xA1, 0x04, 0x03, 0xB2, 0xB1}, start));
    EXPECT_EQ(DVKCrc_AddArray("xyz", 1, 3, start), DVKCrc_AddBytes("xyz", 3, start));
}

TEST(Crc, UnsupportedSizesKeepTheRunningValue)
{
    EXPECT_DEBUG_DEATH(EXPECT_EQ(DVKCrc_AddValue(1, 3, 0xABCDu), 0xABCDu), "");
    EXPECT_DEBUG_DEATH(EXPECT_EQ(DVKCrc_AddArray("abc", 3, 1, 0xABCDu), 0xABCDu), "");
}

TEST(Crc, RealsIgnoreTheirLastBits)
{
    const uint32_t start = 0xFFFFFFFFu;
    EXPECT_EQ(DVKCrc_AddDouble(1.0004, start), DVKCrc_AddDouble(1.0, start));
    // 1.0: exponent 1, mantissa 0.5 quantised to 128.
    EXPECT_EQ(DVKCrc_AddDouble(1.0, start), DVKCrc_AddInt(128, DVKCrc_AddInt(1, start)));
    EXPECT_EQ(DVKCrc_AddDouble(-3.0, start),
              DVKCrc_AddInt(static_cast<uint32_t>(-192), DVKCrc_AddInt(2, start)));
    EXPECT_EQ(DVKCrc_AddDouble(0.0, start), DVKCrc_AddInt(0, DVKCrc_AddInt(0, start)));
    EXPECT_EQ(DVKCrc_AddFloat(0.1f, start), DVKCrc_AddDouble(0.1, start));
    EXPECT_NE(DVKCrc_AddDouble(1.0, start), DVKCrc_AddDouble(1.01, start));
    const double reals[] = {1.0, 2.5};
    const float floats[] = {1.0f, 2.5f};
    EXPECT_EQ(DVKCrc_AddArrayDouble(reals, 2, start),
              DVKCrc_AddDouble(2.5, DVKCrc_AddDouble(1.0, start)));
    EXPECT_EQ(DVKCrc_AddArrayFloat(floats, 2, start), DVKCrc_AddArrayDouble(reals, 2, start));
}

TEST(Crc, StringIdPairs)
{
    const char* strings[] = {"yes", "no"};
    const uint32_t ids[] = {7, 0x01020304u};
    uint32_t expected = DVKCrc_AddInt(2, 0xFFFFFFFFu);
    expected = DVKCrc_AddBytes("yes", 4, expected);
    expected = bytesCrc({7, 0, 0, 0}, expected);
    expected = DVKCrc_AddBytes("no", 3, expected);
    expected = bytesCrc({4, 3, 2, 1}, expected);
    EXPECT_EQ(DVKStr_StringToIdCRC(strings, ids, 2), expected);
    EXPECT_EQ(DVKStr_StringToIdCRC(nullptr, nullptr, 0), DVKCrc_AddInt(0, 0xFFFFFFFFu));
}

TEST(ByteOrder, SwapsReverseEachElement)
{
    uint8_t value[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    DVKSwap_Bytes(value, 4);
    EXPECT_EQ(std::memcmp(value, "\x04\x03\x02\x01\x05\x06\x07\x08", 8), 0);
    DVKSwap_Bytes(value, 3);
    EXPECT_EQ(value[0], 4);
    DVKSwap_Bytes(value, 8);
    EXPECT_EQ(std::memcmp(value, "\x08\x07\x06\x05\x01\x02\x03\x04", 8), 0);

    uint16_t shorts[] = {0x0102, 0x0304};
    DVKSwap_Array16(shorts, 2);
    EXPECT_EQ(shorts[0], 0x0201);
    EXPECT_EQ(shorts[1], 0x0403);
    uint32_t ints[] = {0x01020304u};
    DVKSwap_Array32(ints, 1);
    EXPECT_EQ(ints[0], 0x04030201u);
    uint64_t longs[] = {0x0102030405060708ull};
    DVKSwap_Array64(longs, 1);
    EXPECT_EQ(longs[0], 0x0807060504030201ull);
    DVKSwap_Array64(longs, 0);
    EXPECT_EQ(longs[0], 0x0807060504030201ull);

    double reals[] = {1.5};
    DVKSwap_ArrayDouble(reals, 1);
    DVKSwap_ArrayDouble(reals, 1);
    EXPECT_EQ(reals[0], 1.5);
    float floats[] = {2.0f};
    uint32_t bits;
    DVKSwap_ArrayFloat(floats, 1);
    std::memcpy(&bits, floats, 4);
    EXPECT_EQ(bits, 0x00000040u);
}

TEST(BitFields, MostSignificantBitFirst)
{
    const uint8_t a5[] = {0xA5};
    EXPECT_EQ(DVKBits_ReadRange(a5, 0, 3), 0xAu);
    EXPECT_EQ(DVKBits_ReadRange(a5, 4, 7), 0x5u);
    EXPECT_EQ(DVKBits_ReadRange(a5, 5, 4), 0u);
    uint8_t bytes[2] = {0, 0};
    DVKBits_WriteRange(3, 6, 7, bytes);
    EXPECT_EQ(bytes[0], 0x03);
    DVKBits_WriteRange(0x1FF, 4, 11, bytes);  // only the low 8 bits land
    EXPECT_EQ(bytes[0], 0x0F);
    EXPECT_EQ(bytes[1], 0xF0);
    EXPECT_EQ(DVKBits_ReadRange(bytes, 4, 11), 0xFFu);
    DVKBits_WriteRange(0, 5, 4, bytes);
    EXPECT_EQ(bytes[0], 0x0F);
}

TEST(BitFields, StreamsRoundTripAcrossBytes)
{
    const uint8_t source[] = {0b10110011, 0b01011100};
    uint8_t field[2] = {0xFF, 0xFF};
    int32_t byteIndex = 0;
    int32_t bitIndex = 3;
    // Source bits 3..12 ("1001101011") into field bits 2..11.
    DVKBits_StreamToRange(source, &byteIndex, &bitIndex, 2, 11, field);
    EXPECT_EQ(byteIndex, 1);
    EXPECT_EQ(bitIndex, 5);
    EXPECT_EQ(DVKBits_ReadRange(field, 2, 11), 0b1001101011u);
    EXPECT_EQ(field[0] & 0xC0, 0xC0);  // untouched
    EXPECT_EQ(field[1] & 0x0F, 0x0F);

    uint8_t stream[2] = {0, 0};
    byteIndex = 0;
    bitIndex = 6;
    DVKBits_RangeToStream(field, 2, 11, &byteIndex, &bitIndex, stream);
    EXPECT_EQ(byteIndex, 2);
    EXPECT_EQ(bitIndex, 0);
    EXPECT_EQ(DVKBits_ReadRange(stream, 6, 15), 0b1001101011u);
}

} // namespace
