#include "core/brevit/frontend/sig_proc_packet.h"

#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/fe_fix.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_bits.h"

#include <algorithm>
#include <cstring>

const int16_t kSigProcPacketBitTableV1[kSigProcBitTableSize] = {8, 8, 7, 7, 7, 7, 7,
                                                                7, 6, 6, 6, 6, 6};

namespace {

constexpr uint16_t kMark = 0xFEFF;
constexpr uint16_t kSwappedMark = 0xFFFE;
constexpr int32_t kVersion = 1;
constexpr int32_t kFlagBits = 2;
constexpr int32_t kRawHeaderBytes = 6;  // size, version, count

// The parameter words fields 3 to 9 of a coded block carry.
constexpr int kCodedInfoWords[] = {kBrevitParamFrameShiftMs, kBrevitParamWindowMs,
                                   kBrevitParamCepstrumCount, kBrevitParamFrontEndValue6,
                                   kBrevitParamFrontEndValue7, kBrevitParamFilterBankValue1,
                                   kBrevitParamFilterBankValue2};
constexpr int32_t kFirstParameterField = 3;
constexpr int32_t kPacketSizeField = 2;
constexpr int32_t kCepstraField = 5;
constexpr int32_t kSignedField = 6;

uint16_t readU16(const void* at)
{
    uint16_t value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

void writeU16(void* at, uint32_t value)
{
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(at, &v, sizeof(v));
}

uint16_t swapped(uint16_t v) { return static_cast<uint16_t>((v << 8) | (v >> 8)); }

int32_t cepstrumCountWord() { return static_cast<int32_t>(BrevitParam_Word(kBrevitParamCepstrumCount)); }

// Bytes of a coder-1 packet of n cepstra; -1 beyond the bit table.
int32_t bitPackedSize(int32_t n)
{
    if (n > kSigProcBitTableSize)
        return -1;
    if (n < 1)
        return 1;
    int32_t bits = kFlagBits;
    for (int32_t i = 0; i < n; ++i)
        bits += kSigProcPacketBitTableV1[i];
    return (bits + 7) / 8;
}

int32_t rawPacketSize(int32_t n) { return 2 * n + 9; }

// A block that starts with the byte-order mark in either order: its fields
// as the writer wrote them. Blocks too short for every field are not one.
struct CodedInfo {
    bool marked = false;
    uint16_t fields[kSigProcCodedInfoSize / 2] = {};
};

CodedInfo readCodedInfo(int32_t size, const void* info)
{
    CodedInfo coded;
    if (size < kSigProcCodedInfoSize)
        return coded;
    const uint16_t mark = readU16(info);
    if (mark != kMark && mark != kSwappedMark)
        return coded;
    coded.marked = true;
    const auto* bytes = static_cast<const uint8_t*>(info);
    for (int32_t i = 0; i < kSigProcCodedInfoSize / 2; ++i) {
        const uint16_t field = readU16(bytes + 2 * i);
        coded.fields[i] = mark == kMark ? field : swapped(field);
    }
    return coded;
}

bool isMarked(int32_t size, const void* info)
{
    if (size < 2)
        return false;
    const uint16_t mark = readU16(info);
    return mark == kMark || mark == kSwappedMark;
}

// A coded block that receivers can use: version 1 and a packet size that
// is the bit table's size for its cepstrum count.
bool usableCodedInfo(const CodedInfo& coded)
{
    return coded.marked && coded.fields[1] == kVersion &&
           coded.fields[kPacketSizeField] == bitPackedSize(coded.fields[kCepstraField]);
}

void put(int32_t* out, int32_t value)
{
    if (out != nullptr)
        *out = value;
}

uint32_t snapshotWord(const void* info, int32_t index)
{
    uint32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(info) + 4 * index, sizeof(value));
    return value;
}

// Sends c0 with 8 bits on a 128 step from 0.
uint32_t quantiseC0(int32_t c0, int32_t bits)
{
    if (c0 <= 0)
        return 0;
    return static_cast<uint32_t>((std::min(c0, ((1 << bits) - 1) * 128) + 64) >> 7);
}

// Sends the other cepstra on a 64 step centred on 0.
uint32_t quantise(int32_t c, int32_t bits)
{
    const int32_t shifted = c + 32 * (1 << bits);
    if (shifted <= 0)
        return 0;
    return static_cast<uint32_t>((std::min(((1 << bits) - 1) * 64, shifted) + 32) >> 6);
}

int32_t packBits(int32_t n, const int16_t* cepstra, int32_t flag, int32_t size, uint8_t* out)
{
    const int32_t bytes = bitPackedSize(n);
    if (n < 0 || bytes < 0 || bytes > size)
        return 0;
    std::memset(out, 0, bytes);
    int32_t at = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t b = kSigProcPacketBitTableV1[i];
        const uint32_t q = i == 0 ? quantiseC0(cepstra[0], b) : quantise(cepstra[i], b);
        DVKBits_WriteRange(q, at, at + b - 1, out);
        at += b;
    }
    DVKBits_WriteRange(static_cast<uint32_t>(flag), at, at + kFlagBits - 1, out);
    return 1;
}

int32_t unpackBits(const uint8_t* packet, int32_t n, int16_t* cepstraOut, int32_t* flagOut)
{
    if (n < 0 || n > kSigProcBitTableSize)
        return 0;
    int32_t at = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t b = kSigProcPacketBitTableV1[i];
        const auto q = static_cast<int32_t>(DVKBits_ReadRange(packet, at, at + b - 1));
        cepstraOut[i] = static_cast<int16_t>(i == 0 ? q * 128 : (q - (1 << (b - 1))) * 64);
        at += b;
    }
    put(flagOut, static_cast<int32_t>(DVKBits_ReadRange(packet, at, at + kFlagBits - 1)));
    return 1;
}

int32_t packRaw(int32_t n, const int16_t* cepstra, int32_t rms, int32_t flag, int32_t size,
                uint8_t* out)
{
    if (n < 0 || n > 0xFFFF || int64_t{rawPacketSize(n)} > size)
        return 0;
    writeU16(out, static_cast<uint32_t>(rawPacketSize(n)));
    writeU16(out + 2, kVersion);
    writeU16(out + 4, static_cast<uint32_t>(n));
    std::memcpy(out + kRawHeaderBytes, cepstra, 2 * static_cast<size_t>(n));
    writeU16(out + kRawHeaderBytes + 2 * n, static_cast<uint32_t>(rms));
    out[kRawHeaderBytes + 2 * n + 2] = static_cast<uint8_t>(flag);
    return 1;
}

int32_t unpackRaw(const uint8_t* packet, int32_t n, int16_t* cepstraOut, int32_t* countOut,
                  int32_t* rmsOut, int32_t* flagOut)
{
    const int32_t expected = cepstrumCountWord();
    if (n < expected || readU16(packet) > int64_t{2} * expected + 12 ||
        readU16(packet + 2) != kVersion || readU16(packet + 4) != expected)
        return 0;
    std::memcpy(cepstraOut, packet + kRawHeaderBytes, 2 * static_cast<size_t>(expected));
    put(countOut, expected);
    put(rmsOut, readU16(packet + kRawHeaderBytes + 2 * expected));
    put(flagOut, packet[kRawHeaderBytes + 2 * expected + 2]);
    return 1;
}

} // namespace

int32_t SigProcPacket_GetCoderTypeRaw(int32_t size, const void* info)
{
    if (size < 2)
        return kSigProcUnreadable;
    if (isMarked(size, info)) {
        const CodedInfo coded = readCodedInfo(size, info);
        return coded.marked ? coded.fields[1] : kSigProcUnreadable;
    }
    if (size < kFESnapshotSize)
        return kSigProcUnreadable;
    // A snapshot of this machine starts with 3 (a swapped one cannot be read).
    const uint32_t check = snapshotWord(info, 0);
    return check < 4 ? -static_cast<int32_t>(check) : kSigProcUnreadable;
}

int32_t SigProcPacket_GetCoderType(int32_t size, const void* info)
{
    const int32_t raw = SigProcPacket_GetCoderTypeRaw(size, info);
    return raw < -3 || raw > 0 ? raw : kSigProcCoderRaw;
}

int32_t SigProcPacket_GetSizes(int32_t coder, FE* fe, int32_t* infoSizeOut,
                               int32_t* packetSizeOut)
{
    if (coder == kSigProcCoderRaw && fe != nullptr) {
        put(infoSizeOut, FE_GetSnapshotSize(fe));
        put(packetSizeOut, SigProcPacket_GetRawPacketSize(fe));
        return 1;
    }
    if (coder == kSigProcCoderBitPacked) {
        const int32_t packetSize = bitPackedSize(cepstrumCountWord());
        if (packetSize < 0)
            return 0;
        put(infoSizeOut, kSigProcCodedInfoSize);
        put(packetSizeOut, packetSize);
        return 1;
    }
    return 0;
}

int32_t SigProcPacket_GetRawPacketSize(FE* fe)
{
    return rawPacketSize(fe != nullptr ? FE_GetNumCepstra(fe) : cepstrumCountWord());
}

int32_t SigProcPacket_WriteInfo(int32_t coder, FE* fe, int32_t bufferSize, void* buffer)
{
    int32_t infoSize = 0;
    if ((coder != kSigProcCoderRaw && coder != kSigProcCoderBitPacked) ||
        !SigProcPacket_GetSizes(coder, fe, &infoSize, nullptr) || infoSize > bufferSize)
        return 0;
    if (coder == kSigProcCoderRaw)
        return FE_FillInSnapshot(fe, buffer);
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::memset(bytes, 0, kSigProcCodedInfoSize);
    writeU16(bytes, kMark);
    writeU16(bytes + 2, kSigProcCoderBitPacked);
    writeU16(bytes + 2 * kPacketSizeField,
             static_cast<uint32_t>(bitPackedSize(cepstrumCountWord())));
    int32_t field = kFirstParameterField;
    for (int word : kCodedInfoWords)
        writeU16(bytes + 2 * field++, BrevitParam_Word(word));
    return 1;
}

int32_t SigProcPacket_ReadCodedInfo(int32_t size, const void* info)
{
    const int32_t type = SigProcPacket_GetCoderType(size, info);
    if (type < -3)
        return 0;
    if (!isMarked(size, info))
        return 1;  // a front-end snapshot
    const CodedInfo coded = readCodedInfo(size, info);
    if (!usableCodedInfo(coded))
        return 0;
    int32_t field = kFirstParameterField;
    for (int word : kCodedInfoWords)
        if (coded.fields[field++] != static_cast<uint16_t>(BrevitParam_Word(word)))
            return 0;
    return 1;
}

int32_t SigProcPacket_GetInfoParameters(int32_t size, const void* info, FE* fe, int32_t* coderOut,
                                        int32_t* packetSizeOut, int32_t* cepstraOut)
{
    const int32_t type = SigProcPacket_GetCoderType(size, info);
    if (type < -3)
        return 0;
    if (!isMarked(size, info)) {
        put(coderOut, kSigProcCoderRaw);
        put(packetSizeOut, SigProcPacket_GetRawPacketSize(fe));
        put(cepstraOut, cepstrumCountWord());
        return 1;
    }
    const CodedInfo coded = readCodedInfo(size, info);
    if (!usableCodedInfo(coded))
        return 0;
    put(coderOut, coded.fields[1]);
    put(packetSizeOut, coded.fields[kPacketSizeField]);
    put(cepstraOut, coded.fields[kCepstraField]);
    return 1;
}

int32_t SigProcPacket_RetrieveFEParameters(int32_t size, const void* info, int32_t* value1,
                                           int32_t* value2, int32_t* value3, int32_t* value4,
                                           int32_t* value5, int32_t* value6, int32_t* value7)
{
    int32_t* const outs[] = {value1, value2, value3, value4, value5, value6, value7};
    const int32_t type = SigProcPacket_GetCoderType(size, info);
    if (type < -3)
        return 0;
    if (!isMarked(size, info)) {
        if (snapshotWord(info, 1) != kVersion)
            return 0;
        for (int32_t i = 0; i < 6; ++i)
            put(outs[i], static_cast<int32_t>(snapshotWord(info, 2 + i)));
        put(outs[6], static_cast<int32_t>(BrevitParam_Word(kBrevitParamFrontEndValue7)));
        return 1;
    }
    const CodedInfo coded = readCodedInfo(size, info);
    if (!coded.marked || coded.fields[1] != kVersion)
        return 0;
    for (int32_t i = 0; i < 7; ++i) {
        const int32_t field = kFirstParameterField + i;
        const uint16_t value = coded.fields[field];
        put(outs[i], field == kSignedField ? static_cast<int16_t>(value) : value);
    }
    return 1;
}

int32_t SigProcPacket_Pack(int32_t coder, int32_t n, const int16_t* cepstra, int32_t rms,
                           int32_t flag, int32_t size, void* out)
{
    auto* bytes = static_cast<uint8_t*>(out);
    if (coder == kSigProcCoderRaw)
        return packRaw(n, cepstra, rms, flag, size, bytes);
    if (coder == kSigProcCoderBitPacked)
        return packBits(n, cepstra, flag, size, bytes);
    return 0;
}

int32_t SigProcPacket_Unpack(int32_t coder, const void* packet, int32_t n, int16_t* cepstraOut,
                             int32_t* countOut, int32_t* rmsOut, int32_t* flagOut)
{
    const auto* bytes = static_cast<const uint8_t*>(packet);
    if (coder == kSigProcCoderRaw)
        return unpackRaw(bytes, n, cepstraOut, countOut, rmsOut, flagOut);
    if (coder != kSigProcCoderBitPacked || !unpackBits(bytes, n, cepstraOut, flagOut))
        return 0;
    put(countOut, n);
    put(rmsOut, 0);
    return 1;
}

const char* CoderTypeGetName(int32_t /*coderType*/) { return "UnknownCoderType"; }
