// The front end: an object that opens with its table of operations and its
// configuration. Callers go through the FE_* functions, never to a variant;
// the one variant is the fixed-point front end (fe_fix.h).
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct FE;

struct FEFunctionTable {
    void (*Destroy)(FE* fe);
    void (*Reset)(FE* fe, int32_t mode);
    void (*ReleaseChannelMap)(FE* fe);
    int32_t (*RestartChannelMap)(FE* fe, int32_t milliseconds);
    void (*StartUtterance)(FE* fe, int32_t accumulate);
    int32_t (*EndUtterance)(FE* fe);
    int32_t (*FeedSamples)(FE* fe, const int16_t* samples);
    int32_t (*FeedFloatFeatures)(FE* fe, const float* values, int32_t count, int32_t speechGiven,
                                 int32_t speech);
    int32_t (*FeedCepstra)(FE* fe, const int16_t* cepstra, int32_t energy);
    int32_t (*GetNextCepstra)(FE* fe, int16_t* out);
    int32_t (*ReleaseCNBuffer)(FE* fe);
    int32_t (*GetMaxWarpIndex)(FE* fe);
    int32_t (*GetWarpIndex)(FE* fe);
    int32_t (*SetWarpIndex)(FE* fe, int32_t index);
    int32_t (*GetNumFutureSilenceFrames)(FE* fe);
    int32_t (*GetNextFloatFrame)(FE* fe, float* out);
    int32_t (*GetNextFrame)(FE* fe, uint8_t* out, uint16_t info[2]);
    void (*UpdateCepstralWarp)(FE* fe, const uint8_t* target, int32_t row);
    void (*GetMinMaxEnergy)(FE* fe, uint16_t* minEnergy, uint16_t* maxEnergy);
    int32_t (*GetSNR)(FE* fe);
    void (*GetChannelMeans)(FE* fe, int16_t* out);
    void (*GetChannelVars)(FE* fe, int16_t* out);
    void (*SetChannelMeans)(FE* fe, const int16_t* in);
    void (*SetChannelVars)(FE* fe, const int16_t* in);
    uint16_t (*GetRMS)(FE* fe);
    void (*GetFeatureQueueStats)(FE* fe, int32_t* capacity, int32_t* depth, int32_t* maxDepth);
    void (*ClearFeatureQueueStats)(FE* fe);
    int32_t (*WriteCFiles)(FE* fe, const char* name);
    int32_t (*GetSnapshotSize)(FE* fe);
    int32_t (*FillInSnapshot)(FE* fe, void* buffer);
    int32_t (*RestoreFromSnapshot)(FE* fe, const void* buffer);
    int32_t (*WritePSAFile)(FE* fe, DVKTar* tar, const char* prefix);
    int32_t (*ReadPSAFile)(FE* fe, DVKTar* tar, const char* prefix);
    uint32_t (*ComputeCRC)(FE* fe, int32_t full);
};

struct FE {
    FEFunctionTable ops;
    int32_t sampleRate;
    int32_t frameShiftMs;
    int32_t windowMs;
    int32_t samplesInShift;
    int32_t samplesInWindow;
    int32_t numCepstra;
    int32_t featureLength;   // int16 values per queued frame
    int32_t cepstralShift;
    int32_t featureDim;      // bytes per output frame
    int32_t minRingFrames;
    int32_t ringSize;
    int32_t deltaHalfWidth;  // N
    int32_t trackerLagFrames;
    int32_t cnLag;
    int32_t cnCatchUp;
    int32_t hasEnergyStage;
    int32_t hasCepstralWarp;
    int32_t flushDeltaAtEnd;
    int32_t altOutput;
    int32_t channelCheck;
    int32_t diagonalTransform;
};

// Front-end status values.
inline constexpr int32_t kFEStatusEnded = 2;
inline constexpr int32_t kFEStatusNoFrame = 3;
inline constexpr int32_t kFEStatusNotReady = 4;
inline constexpr int32_t kFEStatusSpeech = 5;
inline constexpr int32_t kFEStatusNoSpeech = 6;
inline constexpr int32_t kFEStatusChannelJump = 7;

// Reads "bfty" (one boolean that must be true) and loads the fixed-point
// front end; null when anything is missing, malformed or out of memory.
FE* FE_CreateFromBinFile(DVKTar* tar, const char* prefix);

// Dispatch: each calls its slot; a slot the variant leaves empty answers 0
// (or does nothing). FE_Destroy ignores a null object.
void FE_Destroy(FE* fe);
void FE_Reset(FE* fe, int32_t mode);
// Resets (mode) keeping the warp index, which every reset sets to 0.
void FE_ResetKeepWarpIndex(FE* fe, int32_t mode);
void FE_ReleaseChannelMap(FE* fe);
int32_t FE_RestartChannelMap(FE* fe, int32_t milliseconds);
void FE_StartUtterance(FE* fe, int32_t accumulate);
int32_t FE_EndUtterance(FE* fe);
int32_t FE_FeedSamples(FE* fe, const int16_t* samples);
int32_t FE_FeedFloatFeatures(FE* fe, const float* values, int32_t count, int32_t speechGiven,
                             int32_t speech);
int32_t FE_FeedCepstra(FE* fe, const int16_t* cepstra, int32_t energy);
int32_t FE_GetNextCepstra(FE* fe, int16_t* out);
int32_t FE_ReleaseCNBuffer(FE* fe);
int32_t FE_GetMaxWarpIndex(FE* fe);
int32_t FE_GetWarpIndex(FE* fe);
int32_t FE_SetWarpIndex(FE* fe, int32_t index);
int32_t FE_GetNumFutureSilenceFrames(FE* fe);
int32_t FE_GetNextFloatFrame(FE* fe, float* out);
int32_t FE_GetNextFrame(FE* fe, uint8_t* out, uint16_t info[2]);
void FE_UpdateCepstralWarp(FE* fe, const uint8_t* target, int32_t row);
void FE_GetMinMaxEnergy(FE* fe, uint16_t* minEnergy, uint16_t* maxEnergy);
int32_t FE_GetSNR(FE* fe);
void FE_GetChannelMeans(FE* fe, int16_t* out);
void FE_GetChannelVars(FE* fe, int16_t* out);
void FE_SetChannelMeans(FE* fe, const int16_t* in);
void FE_SetChannelVars(FE* fe, const int16_t* in);
uint16_t FE_GetRMS(FE* fe);
void FE_GetFeatureQueueStats(FE* fe, int32_t* capacity, int32_t* depth, int32_t* maxDepth);
void FE_ClearFeatureQueueStats(FE* fe);
int32_t FE_WriteCFiles(FE* fe, const char* name);
int32_t FE_GetSnapshotSize(FE* fe);
int32_t FE_FillInSnapshot(FE* fe, void* buffer);
int32_t FE_RestoreFromSnapshot(FE* fe, const void* buffer);
int32_t FE_WritePSAFile(FE* fe, DVKTar* tar, const char* prefix);
int32_t FE_ReadPSAFile(FE* fe, DVKTar* tar, const char* prefix);
// 0xFFFFFFFF for no object; else the configuration's CRC (ringSize only when
// full) chained with the variant's own.
uint32_t FE_ComputeCRC(FE* fe, int32_t full);

// Getters of the head.
int32_t FE_GetSampleRate(const FE* fe);
int32_t FE_GetNumberSamplesInShift(const FE* fe);
int32_t FE_GetNumberSamplesInWindow(const FE* fe);
int32_t FE_GetNumCepstra(const FE* fe);
int32_t FE_GetFeatureDim(const FE* fe);
int32_t FE_GetMinRingFrames(const FE* fe);
int32_t FE_HasDiagonalTransform(const FE* fe);
int32_t FE_GetTrackerLagFrames(const FE* fe);
int32_t FE_GetFeatureLength(const FE* fe);
int32_t FE_GetSpeechLookbackSamples(const FE* fe);
