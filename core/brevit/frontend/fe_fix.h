// The fixed-point front end: the sample stage into a ring of frames, the
// delta filter completing each frame N frames later, channel normalisation
// (optionally driven by the energy/SNR stage), an optional cepstral warp and
// the output transform to bytes.
#pragma once

#include "core/brevit/frontend/cepstral_warp.h"
#include "core/brevit/frontend/channel_norm.h"
#include "core/brevit/frontend/delta_filter.h"
#include "core/brevit/frontend/energy_stage.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/fe_sample_stage.h"
#include "core/brevit/frontend/linear_transform.h"

#include <cstdint>

// Ring flag bits.
inline constexpr uint8_t kFEFlagAboveQuarter = 1;
inline constexpr uint8_t kFEFlagSpeech = 2;
inline constexpr uint8_t kFEFlagDynamicsDone = 4;
inline constexpr uint8_t kFEFlagReleased = 8;
inline constexpr uint8_t kFEFlagPastLag = 16;

// The snapshot: 468 bytes, 39 entries per channel array.
inline constexpr int32_t kFESnapshotSize = 468;
inline constexpr int32_t kFESnapshotChannels = 39;

struct FEFix {
    FE head;
    int16_t* ring;            // ringSize rows of featureLength
    int16_t* work;            // featureLength
    uint8_t* flags;           // one per ring row
    uint8_t* snapshot;        // kFESnapshotSize
    int16_t* warpRing;        // ringSize rows of (cepstral-warp dim + 1), with the warp
    int16_t* scales;          // the first transform's rows (cepstral-warp learning)
    uint8_t* bytes;           // featureDim (cepstral-warp learning)
    FEFixSampleStage* sampleStage;
    DeltaFilter* delta;
    ChannelNorm* channelNorm;
    EnergyStage* energy;
    CepstralWarp* cepstralWarp;
    LinearTransform* transform;
    LinearTransform* altTransform;
    int32_t writeIndex;
    int32_t readIndex;
    int32_t altReadIndex;
    int32_t framesInUtterance;
    int32_t speechFrameCount;
    int32_t state;
    int32_t accumulateChannel;
    int32_t ended;
    int32_t flushGiven;       // FeedFloatFeatures was given whole frames
    int32_t overflow;
    int16_t lastC0;
    int32_t framesWritten;
    int32_t framesRead;
    int32_t cepstraRead;      // the packet path's own read position
    int32_t maxQueueDepth;
    uint32_t droppedShifts;   // sample shifts dropped while the ring was full
};

// Loads "bfx1" and every stage; null when anything is missing, malformed,
// inconsistent or out of memory (nothing is left allocated).
FE* FEFix_LoadFromBinFile(DVKTar* tar, const char* prefix);
// The parameter path: type 2 only. The stages would come from creators in
// the engine's optional-module table, which this engine never installs, so
// it yields no front end; the front end always comes from the archive.
FE* FEFix_CreateFromParameters(int32_t type, void* arg);
// The parameter path's configuration from the current parameter block, given
// the output transform's row count (0: none) and the level tracker's history
// length: rate, shift and window, cepstra, feature length, ring and lags and
// the stage flags. False without a parameter block.
bool FEFix_ConfigureFromParameters(FE* fe, int32_t transformRows, int32_t trackerHistory);
// Shifts of samples dropped in this utterance because the ring was full.
uint32_t FEFix_GetDroppedShifts(const FE* fe);
