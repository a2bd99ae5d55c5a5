// Trajectory optimiser: turns per-frame static, delta and delta-delta means
// of D cepstral coefficients and of the log pitch into smooth tracks, the
// solution of (W' P W) c = W' P m with W the static, delta and delta-delta
// windows and P the inverse variances. The streaming form smooths cepstra
// with precomputed kernels (rows of the inverse of W' P W) applied to W' P m
// and solves pitch exactly, voiced run by voiced run; the whole-utterance
// form solves blocks directly with a banded Cholesky solver. Reals are
// doubles; results are rounded to int32.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

// Results of the streaming operations.
inline constexpr int32_t kCepOptFailure = 1;     // no rings: not started as streaming
inline constexpr int32_t kCepOptEnded = 2;       // input ended, nothing left
inline constexpr int32_t kCepOptReady = 3;       // a frame is (or was) delivered
inline constexpr int32_t kCepOptNotYet = 4;
inline constexpr int32_t kCepOptFull = 5;        // output ring full, frame not taken
// The log pitch of an unvoiced frame.
inline constexpr int32_t kCepOptUnvoiced = static_cast<int32_t>(0x80000000u);
// The smallest block the solver takes: W' P W is positive definite from here.
inline constexpr int32_t kCepOptMinBlock = 6;

struct CepOptimizer {
    int32_t D;
    int32_t L;                      // block length; input ring size
    int32_t blockLength;            // frames of the block being solved
    int32_t S;                      // block step of the whole-utterance form
    double weightsInUse[3];
    double* coefficientWeights;     // ws of all D, then wd of all, then wa of all
    double pitchWeights[3];
    // Working vectors of L: means s, h (halved delta), a, and the solution.
    double* s;
    double* h;
    double* a;
    double* c;
    double* cachedFactor;           // L x 3
    double* band;                   // L x 3: diagonal, (t, t+1), (t, t+2); factored in place
    double* rhs;
    double* forward;
    int32_t* intS;                  // integer working vectors: integer kernels or word 199
    int32_t* intH;
    int32_t* intA;
    int32_t* intC;
    int32_t K;                      // kernel length; 0: no kernels
    int32_t integerKernels;
    double** doubleKernels;         // D x K (2-D array) or null
    int32_t** intKernels;           // D x K (2-D array) or null
    int32_t* integerScales;         // D or null
    int32_t endOfInput;
    // Input ring of L frames, frame x in slot x mod L.
    int16_t* inCepstra;             // 3 x D each, deltas halved
    int32_t* inPitch;               // 3 each
    int32_t* inVoicing;
    uint8_t* inPassThrough;
    int32_t queued;
    int32_t firstQueued;
    int32_t firstQueuedSlot;
    int32_t firstNeeded;
    int32_t pitchStart;
    int32_t keptOverlap;
    // Output ring of R frames, frame x in slot x mod R.
    int32_t* outCepstra;            // D each
    int32_t* outPitch;
    int32_t* outVoicing;
    int32_t R;
    int32_t cepstraReady;
    int32_t pitchReady;
    int32_t delivered;
    int32_t readSlot;
    // W' P m of the frames around the one being smoothed: 2K slots.
    double* rhsDoubles;             // 2K x D
    int32_t* rhsInts;               // D x 2K
    int32_t rhsSize;
    int32_t rhsCount;
    int32_t rhsFirst;
    int32_t rhsHead;
    int32_t ringsAllocated;
};

// Reads the optimiser's records; none when they are short or unsound. The
// working vectors come from the raising allocator.
CepOptimizer* CepOptimizer_LoadFromBinFile(BinFileReader* reader);
void CepOptimizer_Delete(CepOptimizer* opt);
// Allocates the working vectors (raises when memory runs out).
void CepOptimizer_Init(CepOptimizer* opt);
void CepOptimizer_FreeRings(CepOptimizer* opt);
// Clears the stream; with parameter word 197 allocates the rings when the
// model and the parameters allow streaming. 0.
int32_t CepOptimizer_StartUtterance(CepOptimizer* opt);
void CepOptimizer_StopUtterance(CepOptimizer* opt);
int32_t CepOptimizer_AddFrame(CepOptimizer* opt, const int16_t* cepstralMeans,
                              const int32_t* pitchMeans, int32_t voicing, uint8_t passThrough);
int32_t CepOptimizer_Flush(CepOptimizer* opt);
int32_t CepOptimizer_NextFrame(CepOptimizer* opt, int32_t* cepstra, int32_t* logPitch,
                               int32_t* voicing);
// Whole utterance: T frames, the E at each end keep their static means.
int32_t CepOptimizer_Optimize(CepOptimizer* opt, int32_t T, int32_t E,
                              const int16_t* const* cepstralMeans, int32_t* const* outputs,
                              const uint8_t* voiced, const int32_t* const* pitchMeans,
                              int32_t* const* pitchOutputs);
// Replaces the weights and adjusts them to the kernels; a set with a weight
// that is not finite, a static weight not above 0 or a negative delta or
// delta-delta weight is ignored.
void CepOptimizer_SetInvVars(CepOptimizer* opt, const double* coefficientWeights,
                             const double* pitchWeights);
void CepOptimizer_FactorFullBlock(CepOptimizer* opt);
// Solves the block of blockLength frames from s, h, a with the weights in
// use into c; without rebuild the factor left in the band storage is used.
void CepOptimizer_Solve(CepOptimizer* opt, int32_t rebuild);
void CepOptimizer_StreamCepstra(CepOptimizer* opt);
void CepOptimizer_SolvePitchBlock(CepOptimizer* opt, int32_t first, int32_t last, int32_t from,
                                  int32_t to);
uint32_t CepOptimizer_ComputeCRC(const CepOptimizer* opt, int32_t full);
// Rounds half away from zero to int32, held to its range (NaN gives 0).
int32_t CepOptimizer_Round(double x);
