// The fixed-point front end's snapshot ("bfx0") and checksum.
#include "core/brevit/frontend/fe_fix_parts.h"

#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_crc.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets of the snapshot's fields.
constexpr int32_t kFirstWord = 0;
constexpr int32_t kVersion = 4;
constexpr int32_t kShift = 8;
constexpr int32_t kWindow = 12;
constexpr int32_t kCepstra = 16;
constexpr int32_t kFilterBank = 20;
constexpr int32_t kWarpIndex = 32;
constexpr int32_t kTracker = 36;
constexpr int32_t kSpeechFrames = 40;
constexpr int32_t kFeatureLength = 44;
constexpr int32_t kEnergyCount = 48;
constexpr int32_t kMeans = 52;
constexpr int32_t kStds = 130;
constexpr int32_t kSquares = 208;
constexpr int32_t kEnergyMeans = 364;
constexpr int32_t kMinEnergy = 442;
constexpr int32_t kMaxEnergy = 444;
constexpr int32_t kSmoothedRange = 446;
constexpr int32_t kWarpScalar = 448;
constexpr int32_t kWarpValues = 452;

template <typename T>
void put(uint8_t* b, int32_t at, T v)
{
    std::memcpy(b + at, &v, sizeof(T));
}

template <typename T>
T get(const uint8_t* b, int32_t at)
{
    T v;
    std::memcpy(&v, b + at, sizeof(T));
    return v;
}

int32_t channels(const FEFix* f) { return std::min(f->channelNorm->dim, kFESnapshotChannels); }

// The snapshot's own CRC over its fields in layout order.
uint32_t snapshotCRC(const uint8_t* b)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t at = kFirstWord; at <= kWarpIndex; at += 4)
        crc = DVKCrc_AddInt(get<uint32_t>(b, at), crc);
    crc = DVKCrc_AddShort(get<uint16_t>(b, kTracker), crc);
    crc = DVKCrc_AddShort(get<uint16_t>(b, kTracker + 2), crc);
    for (int32_t at : {kSpeechFrames, kFeatureLength, kEnergyCount})
        crc = DVKCrc_AddInt(get<uint32_t>(b, at), crc);
    const int32_t n = std::clamp<int32_t>(get<int32_t>(b, kFeatureLength), 0, kFESnapshotChannels);
    crc = DVKCrc_AddArray(b + kMeans, 2, n, crc);
    crc = DVKCrc_AddArray(b + kStds, 2, n, crc);
    crc = DVKCrc_AddArray(b + kSquares, 4, n, crc);
    crc = DVKCrc_AddArray(b + kEnergyMeans, 2, n, crc);
    for (int32_t at : {kMinEnergy, kMaxEnergy, kWarpScalar})
        crc = DVKCrc_AddShort(get<uint16_t>(b, at), crc);
    for (int32_t at = kWarpValues; at <= kWarpValues + 12; at += 4)
        crc = DVKCrc_AddInt(get<uint32_t>(b, at), crc);
    return crc;
}

} // namespace

int32_t FEFix_GetSnapshotSize(FE*) { return kFESnapshotSize; }

int32_t FEFix_FillInSnapshot(FE* fe, void* buffer)
{
    FEFix* f = FEFix_Of(fe);
    auto* b = static_cast<uint8_t*>(buffer);
    std::memset(b, 0, kFESnapshotSize);
    put<uint32_t>(b, kFirstWord, 3);
    put<uint32_t>(b, kVersion, 1);
    put<int32_t>(b, kShift, fe->frameShiftMs);
    put<int32_t>(b, kWindow, fe->windowMs);
    put<int32_t>(b, kCepstra, fe->numCepstra);
    uint32_t bank[3];
    FEFixSampleStage_GetFilterBankValues(f->sampleStage, bank);
    std::memcpy(b + kFilterBank, bank, sizeof(bank));
    put<int32_t>(b, kWarpIndex, FEFixSampleStage_GetWarpIndex(f->sampleStage));
    uint16_t tracker[2];
    FEFixSampleStage_GetFloorPeak(f->sampleStage, tracker);
    std::memcpy(b + kTracker, tracker, sizeof(tracker));
    put<int32_t>(b, kSpeechFrames, f->speechFrameCount);
    put<int32_t>(b, kFeatureLength, fe->featureLength);

    const int32_t n = channels(f);
    int16_t values[kFESnapshotChannels];
    int32_t squares[kFESnapshotChannels];
    ChannelNorm_GetMeans(f->channelNorm, values);
    std::memcpy(b + kMeans, values, n * sizeof(int16_t));
    ChannelNorm_GetStds(f->channelNorm, values);
    std::memcpy(b + kStds, values, n * sizeof(int16_t));
    ChannelNorm_GetSquares(f->channelNorm, squares);
    std::memcpy(b + kSquares, squares, n * sizeof(int32_t));
    if (f->energy != nullptr) {
        const EnergyStage* e = f->energy;
        put<int32_t>(b, kEnergyCount, e->count);
        std::memcpy(b + kEnergyMeans, e->means, std::min(e->dim, kFESnapshotChannels) * sizeof(int16_t));
        put<int16_t>(b, kMinEnergy, e->minEnergy);
        put<int16_t>(b, kMaxEnergy, e->maxEnergy);
        put<int16_t>(b, kSmoothedRange, e->smoothedRange);
    }
    int32_t warp[4];
    int16_t alpha = 0;
    CepstralWarp_GetState(f->cepstralWarp, warp, &alpha);
    put<int16_t>(b, kWarpScalar, alpha);
    std::memcpy(b + kWarpValues, warp, sizeof(warp));
    return 1;
}

int32_t FEFix_RestoreFromSnapshot(FE* fe, const void* buffer)
{
    if (fe == nullptr || buffer == nullptr)
        return 0;
    FEFix* f = FEFix_Of(fe);
    uint8_t* b = f->snapshot;
    uint8_t copy[kFESnapshotSize];
    std::memcpy(copy, buffer, kFESnapshotSize);
    // Checked before anything changes: the layout, the framing and the warp
    // index the snapshot carries (an index the warp refuses would otherwise
    // leave a half-restored front end).
    const int32_t warpIndex = get<int32_t>(copy, kWarpIndex);
    const int32_t minIndex = f->sampleStage->warp->breakMode ? 0 : -2;
    if (get<uint32_t>(copy, kVersion) != 1 || get<int32_t>(copy, kShift) != fe->frameShiftMs ||
        get<int32_t>(copy, kWindow) != fe->windowMs ||
        get<int32_t>(copy, kFeatureLength) != fe->featureLength || warpIndex < minIndex ||
        warpIndex > FEFixSampleStage_GetMaxWarpIndex(f->sampleStage) ||
        get<int32_t>(copy, kSpeechFrames) < 0)
        return 0;
    std::memcpy(b, copy, kFESnapshotSize);

    f->speechFrameCount = get<int32_t>(b, kSpeechFrames);
    uint16_t tracker[2];
    std::memcpy(tracker, b + kTracker, sizeof(tracker));
    FEFixSampleStage_SetFloorPeak(f->sampleStage, tracker);
    FEFixSampleStage_SetWarpIndex(f->sampleStage, warpIndex);

    const int32_t n = channels(f);
    int16_t values[kFESnapshotChannels];
    int32_t squares[kFESnapshotChannels];
    ChannelNorm_GetMeans(f->channelNorm, values);
    std::memcpy(values, b + kMeans, n * sizeof(int16_t));
    ChannelNorm_SetMeans(f->channelNorm, values);
    ChannelNorm_GetStds(f->channelNorm, values);
    std::memcpy(values, b + kStds, n * sizeof(int16_t));
    ChannelNorm_SetStds(f->channelNorm, values);
    ChannelNorm_GetSquares(f->channelNorm, squares);
    std::memcpy(squares, b + kSquares, n * sizeof(int32_t));
    ChannelNorm_SetSquares(f->channelNorm, squares);

    uint32_t bank[3];
    std::memcpy(bank, b + kFilterBank, sizeof(bank));
    FEFixSampleStage_SetFilterBankValues(f->sampleStage, bank);
    if (f->energy != nullptr) {
        EnergyStage* e = f->energy;
        std::memcpy(e->means, b + kEnergyMeans, std::min(e->dim, kFESnapshotChannels) * sizeof(int16_t));
        e->minEnergy = get<int16_t>(b, kMinEnergy);
        e->maxEnergy = get<int16_t>(b, kMaxEnergy);
        e->smoothedRange = get<int16_t>(b, kSmoothedRange);
        e->count = get<int32_t>(b, kEnergyCount);
    }
    int32_t warp[4];
    std::memcpy(warp, b + kWarpValues, sizeof(warp));
    CepstralWarp_SetState(f->cepstralWarp, warp, get<int16_t>(b, kWarpScalar));
    return 1;
}

int32_t FEFix_WritePSAFile(FE* fe, DVKTar* tar, const char* prefix)
{
    FEFix* f = FEFix_Of(fe);
    BinFileWriter* writer = BinFileWriter_Create(tar, "bfx0", prefix);
    if (writer == nullptr)
        return 0;
    FEFix_FillInSnapshot(fe, f->snapshot);
    const bool ok = BinFileWriter_WriteArray(writer, f->snapshot, kFESnapshotSize, 1) == 1;
    return BinFileWriter_Delete(writer) == 0 && ok ? 1 : 0;
}

int32_t FEFix_ReadPSAFile(FE* fe, DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bfx0", prefix);
    if (reader == nullptr)
        return 0;
    uint8_t buffer[kFESnapshotSize];
    const bool ok = BinFileReader_ReadArray(reader, buffer, 1, kFESnapshotSize) == 1;
    BinFileReader_Delete(reader);
    return ok ? FEFix_RestoreFromSnapshot(fe, buffer) : 0;
}

uint32_t FEFix_ComputeCRC(FE* fe, int32_t full)
{
    FEFix* f = FEFix_Of(fe);
    const int32_t length = fe->featureLength;
    uint32_t crc = 0xFFFFFFFFu;
    if (full) {
        crc = DVKCrc_AddArray(f->ring, 2, fe->ringSize * length, crc);
        crc = DVKCrc_AddArray(f->work, 2, length, crc);
        crc = DVKCrc_AddArray(f->flags, 1, fe->ringSize, crc);
        crc = DVKCrc_AddInt(snapshotCRC(f->snapshot), crc);
        if (f->warpRing != nullptr)
            crc = DVKCrc_AddArray(f->warpRing, 2,
                                  fe->ringSize * (CepstralWarp_GetDim(f->cepstralWarp) + 1), crc);
    }
    crc = DVKCrc_AddInt(DeltaFilter_ComputeCRC(f->delta), crc);
    crc = DVKCrc_AddInt(ChannelNorm_ComputeCRC(f->channelNorm), crc);
    crc = DVKCrc_AddInt(EnergyStage_ComputeCRC(f->energy), crc);
    crc = DVKCrc_AddInt(CepstralWarp_ComputeCRC(f->cepstralWarp), crc);
    crc = DVKCrc_AddInt(LinearTransform_ComputeCRC(f->transform), crc);
    if (fe->altOutput)
        crc = DVKCrc_AddInt(LinearTransform_ComputeCRC(f->altTransform), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(f->speechFrameCount), crc);
    if (full) {
        for (int32_t v : {f->writeIndex, f->readIndex, f->framesInUtterance, f->state,
                          f->accumulateChannel, f->ended})
            crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(f->lastC0), crc);
    }
    return crc;
}
