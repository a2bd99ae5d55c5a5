#include "core/brevit/frontend/fe.h"

#include "core/brevit/frontend/fe_fix.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_crc.h"

FE* FE_CreateFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bfty", prefix);
    if (reader == nullptr)
        return nullptr;
    int32_t fixedPoint = 0;
    const bool ok = BinFileReader_ReadBoolean(reader, &fixedPoint) && fixedPoint == 1;
    BinFileReader_Delete(reader);
    return ok ? FEFix_LoadFromBinFile(tar, prefix) : nullptr;
}

void FE_Destroy(FE* fe)
{
    if (fe != nullptr && fe->ops.Destroy != nullptr)
        fe->ops.Destroy(fe);
}

// A slot the variant leaves empty answers `empty`.
#define FE_CALL(slot, empty, ...) (fe->ops.slot != nullptr ? fe->ops.slot(fe __VA_OPT__(,) __VA_ARGS__) : (empty))
#define FE_DO(slot, ...)              \
    do {                              \
        if (fe->ops.slot != nullptr)  \
            fe->ops.slot(fe __VA_OPT__(,) __VA_ARGS__); \
    } while (0)

void FE_Reset(FE* fe, int32_t mode) { FE_DO(Reset, mode); }

void FE_ResetKeepWarpIndex(FE* fe, int32_t mode)
{
    const int32_t index = FE_GetWarpIndex(fe);
    FE_Reset(fe, mode);
    FE_SetWarpIndex(fe, index);
}

void FE_ReleaseChannelMap(FE* fe) { FE_DO(ReleaseChannelMap); }
int32_t FE_RestartChannelMap(FE* fe, int32_t ms) { return FE_CALL(RestartChannelMap, 0, ms); }
void FE_StartUtterance(FE* fe, int32_t accumulate) { FE_DO(StartUtterance, accumulate); }
int32_t FE_EndUtterance(FE* fe) { return FE_CALL(EndUtterance, 0); }
int32_t FE_FeedSamples(FE* fe, const int16_t* samples) { return FE_CALL(FeedSamples, 0, samples); }

int32_t FE_FeedFloatFeatures(FE* fe, const float* values, int32_t count, int32_t speechGiven,
                             int32_t speech)
{
    return FE_CALL(FeedFloatFeatures, 0, values, count, speechGiven, speech);
}

int32_t FE_FeedCepstra(FE* fe, const int16_t* cepstra, int32_t energy)
{
    return FE_CALL(FeedCepstra, 0, cepstra, energy);
}

int32_t FE_GetNextCepstra(FE* fe, int16_t* out) { return FE_CALL(GetNextCepstra, 0, out); }
int32_t FE_ReleaseCNBuffer(FE* fe) { return FE_CALL(ReleaseCNBuffer, 0); }
int32_t FE_GetMaxWarpIndex(FE* fe) { return FE_CALL(GetMaxWarpIndex, 0); }
int32_t FE_GetWarpIndex(FE* fe) { return FE_CALL(GetWarpIndex, 0); }
int32_t FE_SetWarpIndex(FE* fe, int32_t index) { return FE_CALL(SetWarpIndex, 0, index); }
int32_t FE_GetNumFutureSilenceFrames(FE* fe) { return FE_CALL(GetNumFutureSilenceFrames, 0); }
int32_t FE_GetNextFloatFrame(FE* fe, float* out) { return FE_CALL(GetNextFloatFrame, 0, out); }

int32_t FE_GetNextFrame(FE* fe, uint8_t* out, uint16_t info[2])
{
    return FE_CALL(GetNextFrame, 0, out, info);
}

void FE_UpdateCepstralWarp(FE* fe, const uint8_t* target, int32_t row)
{
    FE_DO(UpdateCepstralWarp, target, row);
}

void FE_GetMinMaxEnergy(FE* fe, uint16_t* minEnergy, uint16_t* maxEnergy)
{
    FE_DO(GetMinMaxEnergy, minEnergy, maxEnergy);
}

int32_t FE_GetSNR(FE* fe) { return FE_CALL(GetSNR, 0); }
void FE_GetChannelMeans(FE* fe, int16_t* out) { FE_DO(GetChannelMeans, out); }
void FE_GetChannelVars(FE* fe, int16_t* out) { FE_DO(GetChannelVars, out); }
void FE_SetChannelMeans(FE* fe, const int16_t* in) { FE_DO(SetChannelMeans, in); }
void FE_SetChannelVars(FE* fe, const int16_t* in) { FE_DO(SetChannelVars, in); }
uint16_t FE_GetRMS(FE* fe) { return FE_CALL(GetRMS, uint16_t{0}); }

void FE_GetFeatureQueueStats(FE* fe, int32_t* capacity, int32_t* depth, int32_t* maxDepth)
{
    *capacity = *depth = *maxDepth = 0;
    FE_DO(GetFeatureQueueStats, capacity, depth, maxDepth);
}

void FE_ClearFeatureQueueStats(FE* fe) { FE_DO(ClearFeatureQueueStats); }
int32_t FE_WriteCFiles(FE* fe, const char* name) { return FE_CALL(WriteCFiles, 0, name); }
int32_t FE_GetSnapshotSize(FE* fe) { return FE_CALL(GetSnapshotSize, 0); }
int32_t FE_FillInSnapshot(FE* fe, void* buffer) { return FE_CALL(FillInSnapshot, 0, buffer); }

int32_t FE_RestoreFromSnapshot(FE* fe, const void* buffer)
{
    return FE_CALL(RestoreFromSnapshot, 0, buffer);
}

int32_t FE_WritePSAFile(FE* fe, DVKTar* tar, const char* prefix)
{
    return FE_CALL(WritePSAFile, 0, tar, prefix);
}

int32_t FE_ReadPSAFile(FE* fe, DVKTar* tar, const char* prefix)
{
    return FE_CALL(ReadPSAFile, 0, tar, prefix);
}

uint32_t FE_ComputeCRC(FE* fe, int32_t full)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (fe == nullptr)
        return crc;
    const int32_t words[] = {fe->sampleRate,     fe->samplesInShift, fe->samplesInWindow,
                             fe->numCepstra,     fe->featureLength,  fe->featureDim,
                             fe->minRingFrames,  fe->ringSize,       fe->deltaHalfWidth,
                             fe->trackerLagFrames, fe->cnLag,        fe->hasEnergyStage,
                             fe->hasCepstralWarp, fe->flushDeltaAtEnd, fe->altOutput,
                             fe->channelCheck,   fe->diagonalTransform};
    for (const int32_t& word : words)
        if (&word != &words[7] || full)
            crc = DVKCrc_AddInt(static_cast<uint32_t>(word), crc);
    if (fe->ops.ComputeCRC != nullptr)
        crc = DVKCrc_AddInt(fe->ops.ComputeCRC(fe, full), crc);
    return crc;
}

int32_t FE_GetSampleRate(const FE* fe) { return fe->sampleRate; }
int32_t FE_GetNumberSamplesInShift(const FE* fe) { return fe->samplesInShift; }
int32_t FE_GetNumberSamplesInWindow(const FE* fe) { return fe->samplesInWindow; }
int32_t FE_GetNumCepstra(const FE* fe) { return fe->numCepstra; }
int32_t FE_GetFeatureDim(const FE* fe) { return fe->featureDim; }
int32_t FE_GetMinRingFrames(const FE* fe) { return fe->minRingFrames; }
int32_t FE_HasDiagonalTransform(const FE* fe) { return fe->diagonalTransform; }
int32_t FE_GetTrackerLagFrames(const FE* fe) { return fe->trackerLagFrames; }
int32_t FE_GetFeatureLength(const FE* fe) { return fe->featureLength; }

int32_t FE_GetSpeechLookbackSamples(const FE* fe)
{
    return (fe->trackerLagFrames + fe->deltaHalfWidth) * fe->samplesInShift;
}
