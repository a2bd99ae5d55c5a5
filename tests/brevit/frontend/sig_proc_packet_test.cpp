#include "core/brevit/frontend/sig_proc_packet.h"

#include "core/brevit/frontend/fe.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The parameter words a coded info block carries, as a receiver and sender
// agree on them.
ParamBlockBuilder codedWords(int32_t cepstra = 13)
{
    return ParamBlockBuilder()
        .word(kBrevitParamFrameShiftMs, 10)
        .word(kBrevitParamWindowMs, 25)
        .word(kBrevitParamCepstrumCount, static_cast<uint32_t>(cepstra))
        .word(kBrevitParamFrontEndValue6, static_cast<uint32_t>(-3))
        .word(kBrevitParamFrontEndValue7, 7)
        .word(kBrevitParamFilterBankValue1, 64)
        .word(kBrevitParamFilterBankValue2, 4000);
}

// The coded block of codedWords() as a little-endian writer makes it.
const Bytes kCodedInfoLittleEndian = {0xFF, 0xFE, 0x01, 0x00, 0x0C, 0x00, 0x0A, 0x00,
                                      0x19, 0x00, 0x0D, 0x00, 0xFD, 0xFF, 0x07, 0x00,
                                      0x40, 0x00, 0xA0, 0x0F, 0x00, 0x00};

// Each 16-bit field's bytes exchanged.
Bytes swapFields(Bytes block)
{
    for (size_t i = 0; i + 1 < block.size(); i += 2)
        std::swap(block[i], block[i + 1]);
    return block;
}

// A block as this machine's writer makes it from little-endian fields.
Bytes native(const Bytes& littleEndian)
{
    return std::endian::native == std::endian::little ? littleEndian : swapFields(littleEndian);
}

void setField(Bytes& block, int field, uint16_t value) { std::memcpy(&block[2 * field], &value, 2); }

class SigProcPacketTest : public FrontEndTest {
protected:
    FE* loadFrontEnd()
    {
        ArchiveFixture archive;
        frontend_model::FrontEndModel model;
        model.sample.bank.snapshotFlag = 1;
        model.sample.bank.snapshotValue1 = 21;
        model.sample.bank.snapshotValue2 = 22;
        frontend_fixture::addFrontEnd(archive, model);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        FE* fe = tar != nullptr ? FE_CreateFromBinFile(tar, nullptr) : nullptr;
        archive.close(tar);
        return fe;
    }
};

TEST_F(SigProcPacketTest, SizesPerCoder)
{
    FE* fe = loadFrontEnd();
    ASSERT_NE(fe, nullptr);
    struct Case {
        const char* name;
        ParamBlockBuilder params;
        int32_t coder;
        bool withFrontEnd;
        int32_t result, infoSize, packetSize;
    } const cases[] = {
        {"bit-packed, 13 cepstra", codedWords(13), 1, false, 1, 22, 12},
        {"bit-packed, 1 cepstrum", codedWords(1), 1, false, 1, 22, 2},
        {"bit-packed, no cepstra", codedWords(0), 1, false, 1, 22, 1},
        {"bit-packed, no parameters", ParamBlockBuilder(), 1, false, 1, 22, 1},
        {"bit-packed beyond the table", codedWords(14), 1, false, 0, -1, -1},
        {"raw with a front end", codedWords(20), 0, true, 1, 468, 35},
        {"raw without a front end", codedWords(13), 0, false, 0, -1, -1},
        {"unknown coder", codedWords(13), 2, true, 0, -1, -1},
    };
    for (const Case& c : cases) {
        ScopedParamBlock block(c.params);
        int32_t infoSize = -1, packetSize = -1;
        EXPECT_EQ(SigProcPacket_GetSizes(c.coder, c.withFrontEnd ? fe : nullptr, &infoSize,
                                         &packetSize),
                  c.result)
            << c.name;
        EXPECT_EQ(infoSize, c.infoSize) << c.name;
        EXPECT_EQ(packetSize, c.packetSize) << c.name;
    }
    ScopedParamBlock block(codedWords(20));
    EXPECT_EQ(SigProcPacket_GetRawPacketSize(fe), 35);
    EXPECT_EQ(SigProcPacket_GetRawPacketSize(nullptr), 49);
    FE_Destroy(fe);
}

TEST_F(SigProcPacketTest, BitPackedPacketOfThirteenCepstra)
{
    const int16_t cepstra[13] = {1000, -200, 300, -4000, 0, 50, -60, 70, 1000, -1500, 31, -33, 1984};
    Bytes packet(12, 0xEE);
    ASSERT_EQ(SigProcPacket_Pack(1, 13, cepstra, 777, 1, 12, packet.data()), 1);
    EXPECT_EQ(packet, (Bytes{0x08, 0x7D, 0x8A, 0x0A, 0x04, 0x17, 0xF0, 0x70, 0x26, 0x07, 0xFF, 0x40}));

    std::array<int16_t, 13> decoded{};
    int32_t count = -1, rms = -1, flag = -1;
    ASSERT_EQ(SigProcPacket_Unpack(1, packet.data(), 13, decoded.data(), &count, &rms, &flag), 1);
    EXPECT_EQ(decoded, (std::array<int16_t, 13>{1024, -192, 320, -3968, 0, 64, -64, 64, 1024,
                                                -1472, 0, -64, 1984}));
    EXPECT_EQ(count, 13);
    EXPECT_EQ(rms, 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(SigProcPacket_Unpack(1, packet.data(), 13, decoded.data(), nullptr, nullptr, nullptr), 1);
}

TEST_F(SigProcPacketTest, BitPackingKeepsEveryValueWithinItsStep)
{
    std::array<int16_t, 13> cepstra{};
    std::array<int16_t, 13> decoded{};
    Bytes packet(12);
    for (int32_t v = -32768; v <= 32767; ++v) {
        cepstra.fill(static_cast<int16_t>(v));
        ASSERT_EQ(SigProcPacket_Pack(1, 13, cepstra.data(), 0, 2, 12, packet.data()), 1);
        int32_t flag = 0;
        ASSERT_EQ(SigProcPacket_Unpack(1, packet.data(), 13, decoded.data(), nullptr, nullptr, &flag), 1);
        ASSERT_EQ(flag, 2);
        if (v <= 0 || v >= 32640)
            ASSERT_EQ(decoded[0], std::clamp(v, 0, 32640)) << v;
        else
            ASSERT_LE(std::abs(decoded[0] - v), 64) << v;
        for (int32_t i = 1; i < 13; ++i) {
            const int32_t b = kSigProcPacketBitTableV1[i];
            const int32_t lowest = -(1 << (b + 5));
            const int32_t highest = ((1 << (b - 1)) - 1) * 64;
            if (v <= lowest || v >= highest)
                ASSERT_EQ(decoded[i], std::clamp(v, lowest, highest)) << v << " at " << i;
            else
                ASSERT_LE(std::abs(decoded[i] - v), 32) << v << " at " << i;
        }
    }
}

TEST_F(SigProcPacketTest, PackedPadBitsAreClear)
{
    const int16_t cepstra[2] = {32767, 8191};
    Bytes packet(3, 0xFF);
    ASSERT_EQ(SigProcPacket_Pack(1, 2, cepstra, 0, 3, 3, packet.data()), 1);
    EXPECT_EQ(packet, (Bytes{0xFF, 0xFF, 0xC0}));  // 16 value bits, 2 flag bits, 6 pad bits
}

TEST_F(SigProcPacketTest, RawPacketsRoundTrip)
{
    ScopedParamBlock block(codedWords(13));
    std::array<int16_t, 13> cepstra{};
    for (int32_t i = 0; i < 13; ++i)
        cepstra[i] = static_cast<int16_t>(i * 2521 - 16000);
    Bytes packet(35);
    ASSERT_EQ(SigProcPacket_Pack(0, 13, cepstra.data(), 54321, 1, 35, packet.data()), 1);
    uint16_t header[3];
    std::memcpy(header, packet.data(), sizeof(header));
    EXPECT_EQ(header[0], 35);
    EXPECT_EQ(header[1], 1);
    EXPECT_EQ(header[2], 13);
    std::array<int16_t, 13> decoded{};
    int32_t count = 0, rms = 0, flag = 0;
    ASSERT_EQ(SigProcPacket_Unpack(0, packet.data(), 13, decoded.data(), &count, &rms, &flag), 1);
    EXPECT_EQ(decoded, cepstra);
    EXPECT_EQ(count, 13);
    EXPECT_EQ(rms, 54321);
    EXPECT_EQ(flag, 1);
}

TEST_F(SigProcPacketTest, UnpackRefusals)
{
    ScopedParamBlock block(codedWords(13));
    const std::array<int16_t, 13> cepstra{};
    Bytes raw(35);
    ASSERT_EQ(SigProcPacket_Pack(0, 13, cepstra.data(), 0, 0, 35, raw.data()), 1);
    struct Case {
        const char* name;
        int32_t coder;
        int field;      // raw header field to change, -1 none
        uint16_t value;
        int32_t n;
        int32_t result;
    } const cases[] = {
        {"as packed", 0, -1, 0, 13, 1},
        {"size field at its limit", 0, 0, 38, 13, 1},
        {"size field beyond it", 0, 0, 39, 13, 0},
        {"other version", 0, 1, 2, 13, 0},
        {"other count", 0, 2, 12, 13, 0},
        {"room for fewer cepstra", 0, -1, 0, 12, 0},
        {"room for more cepstra", 0, -1, 0, 20, 1},
        {"unknown coder", 2, -1, 0, 13, 0},
        {"bit-packed beyond the table", 1, -1, 0, 14, 0},
        {"bit-packed, negative count", 1, -1, 0, -1, 0},
    };
    for (const Case& c : cases) {
        Bytes packet = raw;
        packet.resize(40);  // room for every read the decoders might make
        if (c.field >= 0)
            setField(packet, c.field, c.value);
        std::vector<int16_t> out(std::max(c.n, 13));
        EXPECT_EQ(SigProcPacket_Unpack(c.coder, packet.data(), c.n, out.data(), nullptr, nullptr, nullptr),
                  c.result)
            << c.name;
    }
}

TEST_F(SigProcPacketTest, PackRefusals)
{
    const std::array<int16_t, 14> cepstra{};
    struct Case {
        const char* name;
        int32_t coder, n, size;
        int32_t result;
    } const cases[] = {
        {"raw, exact room", 0, 13, 35, 1},
        {"raw, a byte short", 0, 13, 34, 0},
        {"raw, room sized for no cepstra", 0, 13, 1, 0},
        {"raw, negative count", 0, -1, 35, 0},
        {"bit-packed, exact room", 1, 13, 12, 1},
        {"bit-packed, a byte short", 1, 13, 11, 0},
        {"bit-packed beyond the table", 1, 14, 100, 0},
        {"bit-packed, negative count", 1, -1, 100, 0},
        {"unknown coder", 3, 13, 100, 0},
    };
    for (const Case& c : cases) {
        Bytes out(std::max(c.size, 0) + 8, 0xAB);
        EXPECT_EQ(SigProcPacket_Pack(c.coder, c.n, cepstra.data(), 0, 0, c.size, out.data()), c.result)
            << c.name;
        for (size_t i = std::max(c.size, 0); i < out.size(); ++i)
            ASSERT_EQ(out[i], 0xAB) << c.name << ": written past the room at " << i;
    }
}

TEST_F(SigProcPacketTest, CodedInfoBlockInEitherByteOrder)
{
    ScopedParamBlock block(codedWords(13));
    Bytes written(22, 0xEE);
    ASSERT_EQ(SigProcPacket_WriteInfo(1, nullptr, 22, written.data()), 1);
    EXPECT_EQ(written, native(kCodedInfoLittleEndian));

    for (const Bytes& info : {written, swapFields(written)}) {
        const auto size = static_cast<int32_t>(info.size());
        EXPECT_EQ(SigProcPacket_GetCoderTypeRaw(size, info.data()), 1);
        EXPECT_EQ(SigProcPacket_GetCoderType(size, info.data()), 1);
        EXPECT_EQ(SigProcPacket_ReadCodedInfo(size, info.data()), 1);
        int32_t coder = -1, packetSize = -1, cepstra = -1;
        EXPECT_EQ(SigProcPacket_GetInfoParameters(size, info.data(), nullptr, &coder, &packetSize, &cepstra), 1);
        EXPECT_EQ(coder, 1);
        EXPECT_EQ(packetSize, 12);
        EXPECT_EQ(cepstra, 13);
        std::array<int32_t, 7> values{};
        ASSERT_EQ(SigProcPacket_RetrieveFEParameters(size, info.data(), &values[0], &values[1],
                                                     &values[2], &values[3], &values[4],
                                                     &values[5], &values[6]),
                  1);
        EXPECT_EQ(values, (std::array<int32_t, 7>{10, 25, 13, -3, 7, 64, 4000}));
    }

    ScopedParamBlock otherShift(codedWords(13).word(kBrevitParamFrameShiftMs, 20));
    EXPECT_EQ(SigProcPacket_ReadCodedInfo(22, written.data()), 0);
    EXPECT_EQ(SigProcPacket_ReadCodedInfo(22, swapFields(written).data()), 0);
}

TEST_F(SigProcPacketTest, CodedInfoWithoutParameters)
{
    Bytes written(22, 0xEE);
    ASSERT_EQ(SigProcPacket_WriteInfo(1, nullptr, 22, written.data()), 1);
    EXPECT_EQ(written, native({0xFF, 0xFE, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(SigProcPacket_ReadCodedInfo(22, written.data()), 1);
}

TEST_F(SigProcPacketTest, CodedInfoRefusals)
{
    ScopedParamBlock block(codedWords(13));
    const Bytes good = native(kCodedInfoLittleEndian);
    struct Case {
        const char* name;
        int field;  // -1 none
        uint16_t value;
        int32_t size;
        int32_t rawType;
        int32_t read, parameters, retrieve;
    } const cases[] = {
        {"as written", -1, 0, 22, 1, 1, 1, 1},
        {"longer block", -1, 0, 30, 1, 1, 1, 1},
        {"marked, 21 bytes", -1, 0, 21, -32768, 0, 0, 0},
        {"marked, 2 bytes", -1, 0, 2, -32768, 0, 0, 0},
        {"one byte", -1, 0, 1, -32768, 0, 0, 0},
        {"negative size", -1, 0, -4, -32768, 0, 0, 0},
        {"other version", 1, 2, 22, 2, 0, 0, 0},
        {"version 0", 1, 0, 22, 0, 0, 0, 0},
        {"packet size not the table's", 2, 11, 22, 1, 0, 0, 1},
        {"cepstra beyond the table", 5, 14, 22, 1, 0, 0, 1},
        {"other window", 4, 30, 22, 1, 0, 1, 1},
        {"other value 6", 6, 0xFFFE, 22, 1, 0, 1, 1},
    };
    for (const Case& c : cases) {
        Bytes info = good;
        info.resize(std::max<int32_t>(c.size, 22));
        if (c.field >= 0)
            setField(info, c.field, c.value);
        EXPECT_EQ(SigProcPacket_GetCoderTypeRaw(c.size, info.data()), c.rawType) << c.name;
        EXPECT_EQ(SigProcPacket_ReadCodedInfo(c.size, info.data()), c.read) << c.name;
        EXPECT_EQ(SigProcPacket_GetInfoParameters(c.size, info.data(), nullptr, nullptr, nullptr,
                                                  nullptr),
                  c.parameters)
            << c.name;
        int32_t v = 0;
        EXPECT_EQ(SigProcPacket_RetrieveFEParameters(c.size, info.data(), &v, &v, &v, &v, &v, &v, &v),
                  c.retrieve)
            << c.name;
    }
}

TEST_F(SigProcPacketTest, CodedInfoIsNotWrittenWhereItCannotBeRead)
{
    struct Case {
        const char* name;
        int32_t coder, cepstra, bufferSize;
    } const cases[] = {
        {"a byte short", 1, 13, 21},
        {"cepstra beyond the table", 1, 14, 22},
        {"raw without a front end", 0, 13, 1000},
        {"unknown coder", 2, 13, 1000},
    };
    for (const Case& c : cases) {
        ScopedParamBlock block(codedWords(c.cepstra));
        Bytes buffer(1000, 0xEE);
        EXPECT_EQ(SigProcPacket_WriteInfo(c.coder, nullptr, c.bufferSize, buffer.data()), 0) << c.name;
        EXPECT_EQ(buffer, Bytes(1000, 0xEE)) << c.name;
    }
}

TEST_F(SigProcPacketTest, FrontEndSnapshotIsTheRawCodersInfo)
{
    ScopedParamBlock block(codedWords(20));
    FE* fe = loadFrontEnd();
    ASSERT_NE(fe, nullptr);
    Bytes snapshot(468);
    EXPECT_EQ(SigProcPacket_WriteInfo(0, fe, 467, snapshot.data()), 0);
    ASSERT_EQ(SigProcPacket_WriteInfo(0, fe, 468, snapshot.data()), 1);
    EXPECT_EQ(SigProcPacket_GetCoderTypeRaw(468, snapshot.data()), -3);
    EXPECT_EQ(SigProcPacket_GetCoderType(468, snapshot.data()), 0);
    EXPECT_EQ(SigProcPacket_ReadCodedInfo(468, snapshot.data()), 1);
    int32_t coder = -1, packetSize = -1, cepstra = -1;
    ASSERT_EQ(SigProcPacket_GetInfoParameters(468, snapshot.data(), fe, &coder, &packetSize, &cepstra), 1);
    EXPECT_EQ(coder, 0);
    EXPECT_EQ(packetSize, 2 * 13 + 9);
    EXPECT_EQ(cepstra, 20);  // the parameter block's count
    std::array<int32_t, 7> values{};
    ASSERT_EQ(SigProcPacket_RetrieveFEParameters(468, snapshot.data(), &values[0], &values[1],
                                                 &values[2], &values[3], &values[4], &values[5],
                                                 &values[6]),
              1);
    EXPECT_EQ(values, (std::array<int32_t, 7>{10, 25, 13, 1, 21, 22, 7}));
    FE_Destroy(fe);
}

TEST_F(SigProcPacketTest, SnapshotCheckReadsTheFirstWord)
{
    struct Case {
        uint32_t first;
        int32_t size;
        int32_t rawType, coder;
    } const cases[] = {
        {3, 468, -3, 0},
        {0, 468, 0, 0},
        {1, 500, -1, 0},
        {4, 468, -32768, -32768},
        {0xFFFFFFFFu, 468, -32768, -32768},
        {0x03000000u, 468, -32768, -32768},  // written in the other byte order
        {3, 467, -32768, -32768},
    };
    for (const Case& c : cases) {
        Bytes snapshot(500);
        std::memcpy(snapshot.data(), &c.first, 4);
        EXPECT_EQ(SigProcPacket_GetCoderTypeRaw(c.size, snapshot.data()), c.rawType) << c.first;
        EXPECT_EQ(SigProcPacket_GetCoderType(c.size, snapshot.data()), c.coder) << c.first;
        EXPECT_EQ(SigProcPacket_ReadCodedInfo(c.size, snapshot.data()), c.coder == 0 ? 1 : 0);
    }
    Bytes otherVersion(468);
    otherVersion[0] = 3;
    otherVersion[4] = 2;
    int32_t v = 0;
    EXPECT_EQ(SigProcPacket_RetrieveFEParameters(468, otherVersion.data(), &v, &v, &v, &v, &v, &v, &v), 0);
}

TEST_F(SigProcPacketTest, CoderNames)
{
    for (int32_t coder : {-1, 0, 1, 2})
        EXPECT_STREQ(CoderTypeGetName(coder), "UnknownCoderType");
}

} // namespace
