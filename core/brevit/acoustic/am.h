// The acoustic model: tied HMM states as mixtures of Gaussian components over
// byte feature frames, the phone-model tables, the state-tying tree and the
// optional VQ, shortlist, MLLR, unscaling and dynamic-silence data, with the
// per-frame scoring state. One record owns every array it points to.
//
// Loading fills the configuration words in the order the sub-file holds them;
// scoring reads them through the kernel slots that loading installs.
#pragma once

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct AM;
struct DecisionTree;
struct ShortListCompressed;
struct EmShLsTree;
struct AMWordMatcher;
struct AMDARecord;
struct AMContextRecord;
struct AMScoringSet;
struct VQAccumulators;
struct AMFAccumulators;
struct AMVarianceAccumulator;

// An owned array read from the model file: count elements of size bytes.
struct AMArray {
    void* data;
    uint32_t count;
    uint32_t size;
};

typedef int32_t (*AMStateKernel)(AM* am, int32_t state);
typedef int32_t (*AMComponentKernel)(AM* am, int32_t state, int32_t component);
// Per-frame precompute of the VQ path; its result is what the operation reports.
typedef int32_t (*AMPrecomputeFunc)(AM* am);
typedef int32_t (*AMRawScoreFunc)(AM* am, const uint8_t* a, const uint8_t* b);
typedef uint32_t (*AMCrcFunc)(AM* am, int32_t withState);
typedef uint32_t (*AMShortlistCrcFunc)(const ShortListCompressed* shortlist, int32_t full);
typedef int32_t (*AMHookFunc)(AM* am);
// The adaptation slots: accumulate one component of a frame with a weight,
// initialise the accumulators for a method, free them, adapt the model.
typedef uint32_t (*AMAccumulateFunc)(AM* am, const uint8_t* frame, int32_t state, int32_t component,
                                     int16_t weight);
typedef uint32_t (*AMInitAccumulatorsFunc)(AM* am, int32_t method, int32_t treeSmoothing);
typedef void (*AMFreeAccumulatorsFunc)(AM* am);
typedef uint32_t (*AMAdaptFunc)(AM* am);
typedef void (*AMShortlistSetupFunc)(ShortListCompressed* shortlist, const uint8_t* frame, AM* am);
typedef int32_t (*AMVQIncrementFunc)(AM* am, const uint8_t* frame, int32_t state, int32_t component,
                                      int16_t weight);
typedef int32_t (*AMVQInitFunc)(AM* am, int32_t method, int32_t noPrior);

// Model file kinds: 0 "ba0", 1 "ba1", 2 "ba5", 3 "ba6", 4 "ba2", 5 "ba3", 6 "ba4".
inline constexpr int32_t kAMKindCount = 7;
inline constexpr int16_t kAMNotComputed = 16384;
inline constexpr uint16_t kAMNoState = 65535;

struct AMVQ {
    int32_t codebookSize;       // streams
    int32_t second;             // inner-product norm count
    int32_t elementCount;
    int32_t flags1[3];
    int32_t value;
    int32_t flags2[3];          // [1] clustered scoring, [2] inner-product VQ
    int32_t offset;
    int32_t multiplier;
    int32_t shift;
    AMArray codewords;          // 32-bit words (inner-product) or bytes
    AMArray norms;              // 16-bit, inner-product VQ only
    AMArray dimensionBounds;    // 32-bit, codebook size + 1 each
    AMArray codewordBounds;
    AMArray codebookOffsets;
    AMArray labels;             // bytes: codebook size x components
    // Adaptation: the accumulator, its prior weight and the adapted codebook
    // copy (codebook bytes), which is the one scored once it exists.
    VQAccumulators* accumulators;
    uint32_t priorWeight;
    uint8_t* adapted;
};

struct AMMllr {
    int32_t values[3];
    int32_t flags[3];
    int32_t value4;
    int32_t applied;            // the MLLR-applied byte
    int32_t featureFlag1;
    int32_t flagB;
    int32_t flagC;
    int32_t featureFlag2;
    AMArray classes;            // bytes
    int32_t extraCount;
    AMArray extra;              // 32-bit, extraCount + 1 (parameter word 700 only)
};

struct AMDynSil {
    int32_t ringWriteIndex;
    int32_t ringSize;
    int32_t shift;
    AMArray currentMean;        // bytes, feature dimension
    AMArray initialMean;        // bytes, feature dimension
    AMArray values16;           // 16-bit, feature dimension
    // Built at load.
    uint16_t* sum;
    int16_t* deviation;
    uint8_t* ring;
    uint8_t* initialCopy;
};

struct AMPhonemeNames {
    int32_t count;
    int32_t value1;
    int32_t value2;
    int32_t shortValue;
    uint32_t wordValue;
    char** names;
};

struct AM {
    int32_t kind;

    // ---- step 2, 3, 4
    int32_t noParameters;
    int32_t hasMLLR;
    int32_t adaptable;
    int32_t fastDecoderOption;
    int32_t hasVQ;
    int32_t daMode;
    int32_t hasShortlist;
    int32_t phonemeRecognition;
    int32_t hasAddedModels;
    int32_t modelOptionFlag;
    int32_t innerProduct;
    int32_t hareTurtle;
    int32_t fastDecoderValue;
    int32_t nonEst;
    int32_t threshold;
    int32_t backoff;
    // ---- step 5, 6
    int32_t scoreMultiplier;
    int32_t partialThreshold;
    int32_t backoffPenalty;
    int32_t numStates;           // trained states S
    int32_t numScoredStates;     // cache size
    int32_t firstAdaptableState;
    int32_t modelValue1;
    int32_t modelValue2;
    int32_t modelValue3;
    int32_t statesPerModel;
    int32_t featureDim;
    int32_t scoringDim;
    // ---- step 7, 8, 9, 10, 11
    int32_t fourBitMeans;
    int32_t fourBitWeights;
    int32_t byteWeights;
    int32_t meanStride;
    int32_t varStride;
    int32_t ipStride;
    int32_t htLength;
    int16_t scoreCeiling;
    int32_t distanceCeiling;
    int32_t numComponents;       // K
    int32_t varRows;
    int32_t roundingWord;
    int32_t scoreShift;
    int32_t invVarScale;
    int32_t covType;
    // ---- step 12, 13, 14
    int32_t tiedStateOption;
    int32_t fullTiedTablePresent;
    int32_t fullTiedTableLength;
    int32_t triphoneIndexPresent;
    int32_t triphoneIndexLength;
    int32_t numPhoneModels;
    uint16_t silenceStateId;
    uint16_t silenceModelId;
    int32_t specialPhoneme;
    uint16_t specialStateCount;
    uint32_t modelConstant1;
    int32_t adaptationValue;
    int32_t phoneListCount;
    // ---- step 15, 16, 17
    int32_t initialFrameFlag;
    int16_t initialBestScore;
    uint16_t initialBestState;
    int32_t laplacian;
    int32_t crcOnlyFlag;
    uint16_t globalVarianceValue;
    uint8_t lowFeature;
    uint8_t highFeature;
    uint8_t minConverted;
    uint8_t maxConverted;
    int32_t conversionOption;
    uint8_t conversionSpare;
    int32_t conversionShift;
    int32_t conversionOffset;
    // ---- step 18, 19
    int32_t hasFiller;
    int32_t companionsFlag;
    int32_t hasStateBytes;
    int32_t hasUnscaling;
    int32_t hasFeatureMask;
    int32_t sixthFlag;
    int32_t value19;
    int32_t numPhonemes;
    int32_t auxLength;
    int32_t unscalingShift;
    int32_t unscalingOffset;
    int32_t unscalingValue;
    // ---- step 21
    uint16_t fillerStateId;
    int32_t hasDynSil;
    int32_t silenceUsesFiller;
    int16_t garbageOffset;       // the silence score bias word
    int32_t flag21;
    int32_t warpIndexSet;
    int32_t warpIndex;
    int32_t secondConstantFlag;
    int32_t singleComponent;
    uint32_t modelConstant2;
    int32_t hasComponentBytes;
    int32_t offsets32;
    // ---- step 34: added phones are ids addedValue1 (the base, = the
    // phoneme count) .. addedValue2 (the last phone id).
    int32_t addedValue1;
    int32_t addedValue2;

    // ---- arrays in file order
    AMArray unscaleBase;         // 32-bit x D
    AMArray unscaleScale;
    AMArray offsets;             // 16- or 32-bit, S + 1
    AMArray invVar16;
    AMArray invVarByte;
    AMArray var32;
    AMArray rowConstants;        // 32-bit
    AMArray fullTiedTable;       // 16-bit
    AMArray triphoneIndex;       // 16-bit
    AMArray modelToState;        // 16-bit, phone models x states per model
    AMPhonemeNames phonemeNames;
    AMArray phoneList;           // 16-bit
    AMArray componentBytes;      // bytes x K
    AMArray stateBytes;          // bytes x S
    AMArray aux32;
    AMArray htValues;            // 32-bit x K
    AMArray htVectors;           // 32-bit x K x Hare/Turtle length
    AMArray htWeights;           // 32-bit x K x M / 4: the byte weights
    AMArray ipMeans;             // 32-bit x K x M / 4
    AMArray companions1;         // 16-bit with 4-bit means, else 32-bit
    AMArray companions2;
    AMArray means;               // bytes x K x M
    DecisionTree* tree;
    AMVQ vq;
    AMMllr mllr;
    AMDynSil dynSil;
    ShortListCompressed* shortlist;
    uint16_t* vqScores;          // per-frame codeword scores
    uint16_t* vqNorms;           // squared norms of packed codewords (6 x 256)
    EmShLsTree* emTree;
    AMWordMatcher* matcher;      // whole-word matcher, set by its owner
    AMDARecord* daRecord;        // label tree and table, set by its owner
    AMContextRecord* context;    // phone-model context tables, built at load

    // Added (trained) phone models: one row of the model-to-state table per
    // added phone, after the trained rows; single-component states from
    // numStates on whose means live here.
    int32_t addedStateCount;
    uint8_t* addedPhoneMarks;    // bits over phone ids 0..last
    uint8_t* addedStateMarks;    // bits over added states
    uint8_t* addedMeans;         // byte models: mean stride per added state
    uint32_t* addedIpMeans;      // inner-product models: row words per added state
    int32_t* addedFirst32;
    int32_t* addedSecond32;
    int16_t* addedFirst16;
    int16_t* addedSecond16;

    // Adapted copies of the mean form, owned; once they exist the second
    // parameter set points at them.
    int32_t adapted;
    uint8_t* adaptedMeans;
    uint32_t* adaptedIpMeans;
    int16_t* adaptedFirst16;
    int16_t* adaptedSecond16;
    int32_t* adaptedFirst32;
    int32_t* adaptedSecond32;
    uint32_t* adaptedHtValues;
    uint32_t* adaptedHtVectors;

    // Second parameter set, for states from the first adaptable state on
    // (borrowed: adaptation replaces them with its own copies).
    const uint8_t* means2;
    const uint32_t* ipMeans2;
    const void* companions1Second;
    const void* companions2Second;
    int32_t firstAdaptableComponent;
    // States whose companions and whose Hare/Turtle form are recomputed
    // from their means (set with the writable copies).
    int32_t companionStates;
    int32_t sumScaledStates;

    // ---- hooks
    AMAccumulateFunc accumulateHook;
    AMInitAccumulatorsFunc initAccumulatorsHook;
    AMFreeAccumulatorsFunc freeHook;
    AMAdaptFunc adaptHook;
    AMHookFunc mllrHook;
    AMHookFunc vqAdaptHook;
    AMVQIncrementFunc vqIncrementHook;
    AMVQInitFunc vqInitHook;
    AMHookFunc daLabelHook;
    int32_t vqWord;
    int32_t adaptationStatus;

    // ---- speaker adaptation: the accumulators of the method set up, the
    // work buffers of one frame's components, and the inverse variances as
    // loaded, kept once variance adaptation first changes them.
    int32_t adaptationActive;
    AMFAccumulators* amf;
    AMVarianceAccumulator* varianceAcc;
    uint16_t* adaptScores;
    uint32_t* adaptWeights;
    uint32_t* adaptIndexes;
    int32_t* adaptVector;
    int32_t currentWeight;
    uint16_t* savedInvVar;
    uint32_t savedInvVarCount;

    // ---- scratch and frame state
    uint8_t* featureCopy;
    uint8_t* unpackBuffer;
    uint8_t* clampedCopy;
    uint32_t* ipWork;            // packed frame words
    uint16_t* htSquares;
    uint32_t* htPackedSquares;
    uint32_t laplacianWork[3];
    uint32_t sumSquares;
    uint32_t sumSquaresHead;
    uint32_t sumSquaresTail;
    int32_t frameThreshold;
    int32_t framePenalty;
    int16_t frameIndex;
    uint16_t secondFrameWord;
    int32_t frameActive;
    int16_t frameValue;
    int32_t useShortlist;
    int32_t useVQ;

    // ---- state-score cache
    int16_t* cache;
    uint32_t cacheEntries;       // storage, a multiple of four
    uint16_t* filledList;
    int32_t filledCount;
    int32_t filledCapacity;
    int16_t bestScore;
    uint16_t bestState;
    int32_t bestValid;
    int16_t garbageScore;
    int32_t fillerScoring;

    // ---- kernels
    AMStateKernel stateKernel;
    AMComponentKernel componentKernel;
    AMStateKernel vqStateKernel;
    AMComponentKernel vqComponentKernel;
    AMPrecomputeFunc vqPrecompute;
    int32_t companionWords[5];
    AMStateKernel directScorer;
    AMStateKernel cachedScorer;
    AMComponentKernel componentScorer;
    AMStateKernel shortlistScorer;
    AMShortlistSetupFunc shortlistSetup;
    AMRawScoreFunc rawScore;
    AMCrcFunc modelCrc;
    AMCrcFunc accumulatorCrc;
    AMCrcFunc dynSilCrc;
    AMShortlistCrcFunc shortlistCrc;
    int16_t distanceLimit;       // AM_SetLimits' second value
};

// ---- loading and lifetime (see acoustic_engine_calls.h)
// The sub-file tag of a kind, "" for kinds outside 0..6.
const char* AM_KindTag(int32_t kind);

// ---- accessors
int32_t AM_GetScoringDim(const AM* am);
void AM_ResetWarpIndex(AM* am);
int32_t AM_HasFillerModel(const AM* am);
int32_t AM_GetModelOptionFlag(const AM* am);
int32_t AM_GetNumStates(const AM* am);
int32_t AM_GetNumStatesPerModel(const AM* am);
int32_t AM_GetNumComponents(const AM* am, int32_t state);
uint16_t AM_GetSilenceModelId(const AM* am);
int32_t AM_GetNumPhoneModels(const AM* am);
int32_t AM_GetNumPhonemes(const AM* am);
int32_t AM_HasFeatureMask(const AM* am);
AMRawScoreFunc AM_GetRawScoreFunction(const AM* am);
int32_t AM_SupportsPhonemeRecognition(const AM* am);
double AM_GetQuantizationScale(const AM* am);
// The score ceiling and the distance limit.
void AM_SetLimits(AM* am, int16_t scoreCeiling, int16_t distanceLimit);
uint32_t AM_GetModelConstant(const AM* am, int32_t second);
// First component of a state (its own id with single-component states).
int32_t AM_GetFirstComponent(const AM* am, int32_t state);
// Inverse variances in the unscaled feature domain, one per feature
// dimension: the shared weight row (covariance type 2) or 32 / the
// inverse-variance scale, over scale[d]^2 x the rounding word. A model
// without unscaling vectors takes scale 1.
void AM_GetInvVariances(const AM* am, double* out);

// ---- kernel choice and tables made at load
int32_t AM_InitScoringFast(AM* am);
int32_t AM_InitScoring(AM* am);
void AM_SetRawScoreFunction(AM* am);
int32_t AM_InitTables(AM* am);
int32_t AM_AllocAddedModels(AM* am);
void AM_FreeAddedModels(AM* am);
// Releases the adapted copies of the mean form (user-storage load makes them).
void AM_FreeAdaptedCopies(AM* am);
// Points the second parameter set at the adapted copies that exist.
void AM_PointAtAdaptedCopies(AM* am);
// Adds the adapted copies and the added-model storage to a checksum.
uint32_t AM_AddAdaptedParametersCRC(AM* am, uint32_t crc);

// ---- dynamic silence
int32_t AM_DynSilCreate(AM* am);
void AM_DynSilFree(AM* am);
uint32_t AM_DynSilComputeCRC(AM* am, int32_t withState);

// ---- tied states
uint16_t AM_GetTiedStateByFeatures(const AM* am, const uint8_t* features, int32_t length,
                                   int32_t position);
