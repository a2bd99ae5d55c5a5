// The synthesiser's parameter model: three context decision trees (held by
// the spectrum, duration and pitch acoustic models) pick a unit state's tied
// states, whose byte means become the per-frame inputs of the trajectory
// optimiser: 3 x D cepstral means and three pitch means. "btc0" holds the
// decoding tables; the models follow it as "ba2", "ba3" and "ba4".
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct AM;

// Context feature bytes of one unit state.
inline constexpr int32_t kCepDTreeContextLength = 53;

struct CepDTree {
    AM* spectrum;               // kind 4: 3 x D byte means per state
    AM* duration;               // kind 5: byte s = frames of state s
    AM* pitch;                  // kind 6: three means; aux byte = voicing value
    int32_t D;
    int32_t phonemeNodeCount;
    int32_t integerScaling;
    int32_t byteOffset;
    int32_t fifthWord;          // kept
    int32_t shift;
    int32_t rounding;
    int32_t* baseTable;         // 3 x D or null
    int32_t* scaleTable;        // 3 x D or null
    int32_t* thirdTable;        // 3 x D or null; kept
    int32_t* fourthTable;       // D or null; kept
    int32_t* unscaleBuffer;     // 3 x D
    int32_t* postScaleTable;    // D or null
    uint32_t phonemeSetCRC;
};

// Null when "btc0" is missing or unsound or a model fails to load; a failing
// reader record raises, with nothing left allocated.
CepDTree* CepDTree_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepDTree_Delete(CepDTree* tree);
uint32_t CepDTree_ComputeCRC(const CepDTree* tree);
uint32_t CepDTree_GetPhonemeSetCRC(const CepDTree* tree);
int32_t CepDTree_GetNumTTSPhonemeNodes(const CepDTree* tree);
// Duration in frames and voicing value of state position s, and the tied
// spectrum and pitch states (outs optional). A walk that finds no state gives
// state 65535, duration and voicing 0.
void CepDTree_GetStates(const CepDTree* tree, const uint8_t* context, int32_t s, int32_t* duration,
                        int32_t* voicing, uint16_t* spectrumState, uint16_t* pitchState);
// Pitch means (static, delta, delta-delta) and 3 x D cepstral means; without
// integer scaling only the D statics are written. A state past its model
// gives zero means.
void CepDTree_GetFrameMeans(CepDTree* tree, uint16_t spectrumState, uint16_t pitchState,
                            int32_t* pitchMeans, int16_t* cepstralMeans);
// 3 x D and 3 inverse variances; either out may be null.
void CepDTree_GetInvVariances(const CepDTree* tree, double* spectrum, double* pitch);
// c[k] = ((rounding + c[k]) >> shift) x postscale[k] for k < D; nothing
// without the post-scale table.
void CepDTree_PostScale(const CepDTree* tree, int32_t* cepstra);
