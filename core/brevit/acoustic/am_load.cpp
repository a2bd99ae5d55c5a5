// Reading an acoustic model sub-file. Every scalar is one typed record, every
// array a counted record whose count must be the one the configuration
// implies; sizes are checked before anything can index past an array.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_adapt.h"
#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_phones.h"

#include "core/brevit/acoustic/am_da.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_matcher.h"
#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/acoustic/am_vq_adapt.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/acoustic/shortlist.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

[[maybe_unused]] constexpr int32_t kCovGlobal = 2; // one row serves every state: nothing to check
constexpr int32_t kCovState = 3;
constexpr int32_t kCovComponent = 4;
constexpr int32_t kCovScalar = 5;

struct Loader {
    BinFileReader* reader;
    AM* am;
    bool ok = true;

    void b(int32_t& v) { ok = ok && BinFileReader_ReadBoolean(reader, &v); }
    void i(int32_t& v) { ok = ok && BinFileReader_ReadInt(reader, &v); }
    void u(uint32_t& v) { ok = ok && BinFileReader_ReadUnsignedInt(reader, &v); }
    void s(int16_t& v) { ok = ok && BinFileReader_ReadShort(reader, &v); }
    void us(uint16_t& v) { ok = ok && BinFileReader_ReadUnsignedShort(reader, &v); }
    void uc(uint8_t& v) { ok = ok && BinFileReader_ReadUnsignedChar(reader, &v); }
    void c(int32_t& v)
    {
        char ch = 0;
        ok = ok && BinFileReader_ReadChar(reader, &ch);
        v = static_cast<signed char>(ch);
    }
    void require(bool condition) { ok = ok && condition; }

    // An array whose element count must be exactly count.
    void array(AMArray& a, uint32_t size, int64_t count)
    {
        if (!ok)
            return;
        if (count < 0 || count > 0xFFFFFFFFll) {
            ok = false;
            return;
        }
        void* data = nullptr;
        uint32_t stored = 0;
        ok = BinFileReader_AllocateAndReadArray(reader, size, &data, &stored) != 0;
        if (!ok)
            return;
        a.data = data;
        a.count = stored;
        a.size = size;
        ok = stored == static_cast<uint32_t>(count);
    }
};

// Reads an array that may be empty or hold exactly count elements.
bool readEmptyOr(Loader& l, AMArray& a, uint32_t size, int64_t count)
{
    if (!l.ok)
        return false;
    if (count < 0 || count > 0xFFFFFFFFll)
        return l.ok = false;
    void* data = nullptr;
    uint32_t stored = 0;
    if (!BinFileReader_AllocateAndReadArray(l.reader, size, &data, &stored))
        return l.ok = false;
    a.data = data;
    a.count = stored;
    a.size = size;
    return l.ok = stored == 0 || stored == static_cast<uint32_t>(count);
}

bool fits32(int64_t v)
{
    return v >= 0 && v <= 0x7FFFFFFF;
}

void readHeader(Loader& l, AM* am)
{
    // step 3, 4
    l.b(am->hasMLLR);
    l.b(am->adaptable);
    l.b(am->fastDecoderOption);
    l.b(am->hasVQ);
    l.b(am->daMode);
    l.b(am->hasShortlist);
    l.b(am->phonemeRecognition);
    l.b(am->hasAddedModels);
    l.b(am->modelOptionFlag);
    l.b(am->innerProduct);
    l.b(am->hareTurtle);
    l.c(am->fastDecoderValue);
    l.c(am->nonEst);
    l.b(am->threshold);
    l.b(am->backoff);
    // step 5, 6
    l.i(am->scoreMultiplier);
    l.i(am->partialThreshold);
    l.i(am->backoffPenalty);
    l.i(am->numStates);
    l.i(am->numScoredStates);
    l.i(am->firstAdaptableState);
    l.i(am->modelValue1);
    l.i(am->modelValue2);
    l.i(am->modelValue3);
    l.i(am->statesPerModel);
    l.i(am->featureDim);
    l.i(am->scoringDim);
    // step 7 to 11
    l.b(am->fourBitMeans);
    l.b(am->fourBitWeights);
    l.b(am->byteWeights);
    l.i(am->meanStride);
    l.i(am->varStride);
    l.i(am->ipStride);
    l.i(am->htLength);
    l.s(am->scoreCeiling);
    l.i(am->distanceCeiling);
    l.i(am->numComponents);
    l.i(am->varRows);
    l.i(am->roundingWord);
    l.i(am->scoreShift);
    l.i(am->invVarScale);
    l.i(am->covType);
    // step 12, 13, 14
    l.b(am->tiedStateOption);
    l.b(am->fullTiedTablePresent);
    l.i(am->fullTiedTableLength);
    l.b(am->triphoneIndexPresent);
    l.i(am->triphoneIndexLength);
    l.i(am->numPhoneModels);
    l.us(am->silenceStateId);
    l.us(am->silenceModelId);
    l.i(am->specialPhoneme);
    l.us(am->specialStateCount);
    l.u(am->modelConstant1);
    l.i(am->adaptationValue);
    l.i(am->phoneListCount);
    // step 15, 16, 17
    l.b(am->initialFrameFlag);
    l.s(am->initialBestScore);
    l.us(am->initialBestState);
    l.b(am->laplacian);
    l.b(am->crcOnlyFlag);
    l.us(am->globalVarianceValue);
    l.uc(am->lowFeature);
    l.uc(am->highFeature);
    l.uc(am->minConverted);
    l.uc(am->maxConverted);
    l.b(am->conversionOption);
    l.uc(am->conversionSpare);
    l.i(am->conversionShift);
    l.i(am->conversionOffset);
    // step 18, 19
    l.b(am->hasFiller);
    l.b(am->companionsFlag);
    l.b(am->hasStateBytes);
    l.b(am->hasUnscaling);
    l.b(am->hasFeatureMask);
    l.b(am->sixthFlag);
    l.i(am->value19);
    l.i(am->numPhonemes);
    l.i(am->auxLength);
    l.i(am->unscalingShift);
    l.i(am->unscalingOffset);
    l.i(am->unscalingValue);
}

// Sizes that every later read and every kernel index with.
bool soundConfiguration(const AM* am)
{
    const int32_t sizes[] = {am->numStates,      am->numScoredStates, am->firstAdaptableState,
                             am->statesPerModel, am->featureDim,      am->scoringDim,
                             am->meanStride,     am->varStride,       am->ipStride,
                             am->htLength,       am->numComponents,   am->varRows,
                             am->fullTiedTableLength, am->triphoneIndexLength,
                             am->numPhoneModels, am->phoneListCount,  am->numPhonemes,
                             am->auxLength};
    for (int32_t v : sizes)
        if (v < 0)
            return false;
    const int32_t d = am->featureDim;
    const int32_t meanMin = am->fourBitMeans ? (d + 1) / 2 : d;
    const int32_t varMin = am->fourBitWeights ? (d + 1) / 2 : d;
    const bool weightRows = am->covType != kCovScalar && !am->hareTurtle &&
                            !(am->innerProduct && am->laplacian);
    // State ids are 16-bit, 65535 meaning none. The means are stored one way:
    // inner-product rows or Hare/Turtle products, never both.
    return !(am->innerProduct && am->hareTurtle) &&
           am->firstAdaptableState <= am->numStates && am->numScoredStates >= am->numStates &&
           am->numScoredStates < 65535 &&
           am->scoringDim <= d && am->meanStride >= meanMin &&
           (!weightRows || am->varStride >= varMin) &&
           (am->covType != kCovComponent || am->varRows >= am->numComponents) &&
           (am->covType != kCovState || am->varRows >= am->numStates) &&
           am->conversionShift >= 0 && am->conversionShift <= 31 &&
           am->lowFeature <= am->highFeature && am->minConverted <= am->maxConverted &&
           am->silenceStateId < am->numScoredStates &&
           // A walk of the silence model reads its count of entries from its
           // row of the model-to-state table.
           am->silenceModelId < am->numPhoneModels &&
           am->specialStateCount <= am->statesPerModel &&
           (am->fillerStateId == kAMNoState || am->fillerStateId < am->numScoredStates) &&
           (!am->singleComponent || am->numComponents >= am->numStates) &&
           fits32(static_cast<int64_t>(am->numComponents) * am->meanStride) &&
           fits32(static_cast<int64_t>(am->numComponents) * am->htLength) &&
           fits32(static_cast<int64_t>(am->varRows) * am->varStride) &&
           fits32(static_cast<int64_t>(am->numPhoneModels) * am->statesPerModel);
}

uint32_t offsetAt(const AM* am, int32_t i)
{
    return am->offsets32 ? static_cast<const uint32_t*>(am->offsets.data)[i]
                         : static_cast<const uint16_t*>(am->offsets.data)[i];
}

bool soundOffsets(const AM* am)
{
    if (am->singleComponent)
        return true;
    if (offsetAt(am, 0) != 0)
        return false;
    for (int32_t s = 0; s < am->numStates; ++s)
        if (offsetAt(am, s + 1) < offsetAt(am, s) ||
            offsetAt(am, s + 1) > static_cast<uint32_t>(am->numComponents))
            return false;
    return true;
}

void readCovariances(Loader& l, AM* am)
{
    const int64_t n = am->covType == kCovScalar
                          ? 0
                          : static_cast<int64_t>(am->varRows) * am->varStride;
    int64_t n16 = 0, n8 = 0, n32 = 0;
    if (am->innerProduct && am->laplacian)
        n32 = n;
    else if (!am->byteWeights)
        n16 = n;
    else
        n8 = n;
    readEmptyOr(l, am->invVar16, 2, n16);
    readEmptyOr(l, am->invVarByte, 1, n8);
    readEmptyOr(l, am->var32, 4, n32);
    if (!l.ok)
        return;
    const int32_t present = (am->invVar16.count > 0) + (am->invVarByte.count > 0) +
                            (am->var32.count > 0);
    l.require(am->covType == kCovScalar ? present == 0 : present == 1);
    l.require(!am->byteWeights || am->covType == kCovScalar || am->invVarByte.count > 0);
}

void readPhonemeNames(Loader& l, AM* am)
{
    AMPhonemeNames& names = am->phonemeNames;
    uint16_t shortValue = 0;
    l.i(names.count);
    l.i(names.value1);
    l.i(names.value2);
    l.us(shortValue);
    l.u(names.wordValue);
    names.shortValue = shortValue;
    if (!l.ok || names.count <= 0) {
        l.require(names.count == 0);
        return;
    }
    // Each name takes at least its count word: a count beyond the data fails early.
    l.require(names.count <= 0xFFFFFF);
    if (!l.ok)
        return;
    names.names = static_cast<char**>(
        DVKMem_Calloc(static_cast<uint32_t>(names.count) * sizeof(char*)));
    l.require(names.names != nullptr);
    for (int32_t k = 0; l.ok && k < names.count; ++k)
        l.ok = BinFileReader_ReadAndAllocateString(l.reader, &names.names[k]) != 0;
}

void readParameters(Loader& l, AM* am)
{
    const int64_t k = am->numComponents;
    const int64_t words = k * am->meanStride / 4;
    if (am->hareTurtle) {
        l.array(am->htValues, 4, k);
        l.array(am->htVectors, 4, k * am->htLength);
        l.array(am->htWeights, 4, words);
        // Each product row holds two dimensions per word.
        l.require(am->htLength >= 2 * ((am->featureDim + 3) / 4));
        return;
    }
    if (am->innerProduct) {
        l.array(am->ipMeans, 4, words);
        // Rows are read whole: three words of nibbles, or the stride in bytes.
        const int64_t rowWords = am->fourBitMeans ? 3 : am->ipStride;
        l.require(rowWords * (am->fourBitMeans ? 8 : 4) >= am->featureDim &&
                  rowWords * k <= static_cast<int64_t>(am->ipMeans.count));
        const uint32_t size = am->fourBitMeans ? 2 : 4;
        const int64_t first = am->companionsFlag && !am->laplacian ? k : 0;
        const int64_t second = am->threshold && !am->laplacian ? k : 0;
        readEmptyOr(l, am->companions1, size, first);
        readEmptyOr(l, am->companions2, size, second);
        l.require(am->companions2.count == 0 || am->companions1.count > 0);
        // Every inner-product kernel reads a first companion per component.
        l.require(am->laplacian || am->companions1.count > 0);
        return;
    }
    l.array(am->means, 1, k * am->meanStride);
}

uint32_t labelComponents(const AM* am)
{
    if (am->singleComponent || am->offsets.count == 0)
        return static_cast<uint32_t>(am->numComponents);
    return offsetAt(am, am->numStates);
}

void readVQ(Loader& l, AM* am)
{
    AMVQ& vq = am->vq;
    l.i(vq.codebookSize);
    l.i(vq.second);
    l.i(vq.elementCount);
    for (int32_t& f : vq.flags1)
        l.b(f);
    l.i(vq.value);
    for (int32_t& f : vq.flags2)
        l.b(f);
    l.i(vq.offset);
    l.i(vq.multiplier);
    l.i(vq.shift);
    l.require(vq.codebookSize >= 0 && vq.second >= 0 && vq.elementCount >= 0);
    if (!l.ok)
        return;
    if (vq.flags2[2]) {
        l.array(vq.codewords, 4, vq.elementCount / 4);
        l.array(vq.norms, 2, vq.second);
    } else {
        l.array(vq.codewords, 1, vq.elementCount);
    }
    const int64_t bounds = static_cast<int64_t>(vq.codebookSize) + 1;
    l.array(vq.dimensionBounds, 4, bounds);
    l.array(vq.codewordBounds, 4, bounds);
    l.array(vq.codebookOffsets, 4, bounds);
    l.array(vq.labels, 1, static_cast<int64_t>(vq.codebookSize) * labelComponents(am));
}

void readMLLR(Loader& l, AM* am)
{
    AMMllr& m = am->mllr;
    for (int32_t& v : m.values)
        l.i(v);
    for (int32_t& f : m.flags)
        l.b(f);
    l.i(m.value4);
    l.c(m.applied);
    l.b(m.featureFlag1);
    l.b(m.flagB);
    l.b(m.flagC);
    l.b(m.featureFlag2);
    l.array(m.classes, 1, m.flags[1] ? 2 : am->numStates);
    if (BrevitParam_Word(kBrevitParamSaveModelStates) != 0 && !am->hasVQ) {
        l.i(m.extraCount);
        l.require(m.extraCount >= 0 && m.extraCount < 0x7FFFFFFF);
        l.array(m.extra, 4, static_cast<int64_t>(m.extraCount) + 1);
    }
}

void readDynSil(Loader& l, AM* am)
{
    AMDynSil& d = am->dynSil;
    l.i(d.ringWriteIndex);
    l.i(d.ringSize);
    l.i(d.shift);
    l.array(d.currentMean, 1, am->featureDim);
    l.array(d.initialMean, 1, am->featureDim);
    l.array(d.values16, 2, am->featureDim);
}

void readSteps(Loader& l, AM* am)
{
    l.b(am->noParameters);
    if (!l.ok || am->noParameters)
        return;
    readHeader(l, am);
    if (!l.ok)
        return;
    // step 20
    if (am->hasUnscaling) {
        l.require(am->featureDim >= 0);
        l.array(am->unscaleBase, 4, am->featureDim);
        l.array(am->unscaleScale, 4, am->featureDim);
    }
    // step 21
    int16_t bias = 0;
    l.us(am->fillerStateId);
    l.b(am->hasDynSil);
    l.b(am->silenceUsesFiller);
    l.s(bias);
    am->garbageOffset = bias;
    l.b(am->flag21);
    l.b(am->warpIndexSet);
    l.i(am->warpIndex);
    l.b(am->secondConstantFlag);
    l.b(am->singleComponent);
    l.u(am->modelConstant2);
    l.b(am->hasComponentBytes);
    l.b(am->offsets32);
    l.require(soundConfiguration(am));
    if (!l.ok)
        return;
    // step 22 to 28
    if (!am->singleComponent) {
        l.array(am->offsets, am->offsets32 ? 4 : 2, static_cast<int64_t>(am->numStates) + 1);
        l.require(l.ok && soundOffsets(am));
    }
    if (!am->hareTurtle)
        readCovariances(l, am);
    l.array(am->rowConstants, 4, am->covType == kCovScalar ? 0 : am->varRows);
    if (am->tiedStateOption)
        l.array(am->fullTiedTable, 2, am->fullTiedTableLength);
    if (am->triphoneIndexPresent)
        l.array(am->triphoneIndex, 2, am->triphoneIndexLength);
    l.array(am->modelToState, 2,
            static_cast<int64_t>(am->numPhoneModels) * am->statesPerModel);
    // Added phones' rows name added states; they are checked with step 34.
    if (l.ok && !am->hasAddedModels) {
        const auto* rows = static_cast<const uint16_t*>(am->modelToState.data);
        for (uint32_t e = 0; e < am->modelToState.count; ++e)
            l.require(rows[e] < am->numStates);
    }
    readPhonemeNames(l, am);
    l.array(am->phoneList, 2, am->phoneListCount);
    if (am->hasComponentBytes)
        l.array(am->componentBytes, 1, am->numComponents);
    if (am->hasStateBytes)
        l.array(am->stateBytes, 1, am->numStates);
    l.array(am->aux32, 4, am->auxLength);
    // step 29 to 35
    readParameters(l, am);
    if (l.ok)
        l.ok = DecisionTree_LoadFromBinFile(l.reader, am->numStates, &am->tree) != 0;
    if (am->hasVQ) {
        readVQ(l, am);
        l.require(l.ok && AM_VQTablesFit(am));
    }
    if (am->hasMLLR)
        readMLLR(l, am);
    if (am->hasDynSil)
        readDynSil(l, am);
    if (am->hasAddedModels) {
        l.i(am->addedValue1);
        l.i(am->addedValue2);
        l.require(l.ok && AM_AddedModelsFit(am));
    }
    if (am->hasShortlist && l.ok) {
        am->shortlist = ShortListCompressed_LoadFromBinFile(l.reader);
        am->shortlistCrc = Shortlist_ComputeCRC;
        // Entries of every state and centroids of every dimension.
        l.require(am->shortlist != nullptr &&
                  am->shortlist->entryRowLength >= (am->numStates + 1) / 2 &&
                  am->shortlist->centroidLength >= am->featureDim);
    }
}

// A zeroed block of at least bytes, or null (recorded as a failure).
template <typename T>
bool scratch(T*& p, uint32_t count)
{
    p = static_cast<T*>(DVKMem_Calloc(std::max<uint32_t>(count, 1) * sizeof(T)));
    return p != nullptr;
}

bool buildFrameState(AM* am)
{
    // Frame packing reads whole groups of four and at least 24 bytes.
    const uint32_t d = static_cast<uint32_t>(am->featureDim);
    const uint32_t vector = std::max<uint32_t>(24, (d + 3) / 4 * 4);
    if (!scratch(am->featureCopy, vector) ||
        !scratch(am->unpackBuffer, std::max<uint32_t>(vector, 2u * am->meanStride)) ||
        !scratch(am->clampedCopy, vector))
        return false;
    if ((am->innerProduct || am->hareTurtle) && !scratch(am->ipWork, vector / 4))
        return false;
    if (am->hareTurtle &&
        (!scratch(am->htSquares, vector) || !scratch(am->htPackedSquares, vector / 2)))
        return false;
    const uint32_t scored = static_cast<uint32_t>(am->numScoredStates);
    am->cacheEntries = (scored + 3) / 4 * 4;
    if (!scratch(am->cache, am->cacheEntries))
        return false;
    for (uint32_t e = 0; e < am->cacheEntries; ++e)
        am->cache[e] = kAMNotComputed;
    am->filledCapacity = static_cast<int32_t>(
        std::min<uint32_t>(BrevitParam_Word(kBrevitParamFilledListCapacity), scored));
    if (am->filledCapacity > 0 &&
        !scratch(am->filledList, static_cast<uint32_t>(am->filledCapacity)))
        return false;
    am->frameIndex = -1;
    am->secondFrameWord = static_cast<uint16_t>(am->initialFrameFlag);
    am->bestScore = am->initialBestScore;
    am->bestState = am->initialBestState;
    am->garbageScore = kAMNotComputed;
    am->fillerScoring = am->hasFiller;
    return true;
}

// Codeword scores for every codeword (six blocks of 256 for the packed
// form) and, for packed codewords, their norms: stored, or computed.
bool buildVQTables(AM* am)
{
    if (!am->hasVQ)
        return true;
    const auto* words = static_cast<const uint32_t*>(am->vq.codewordBounds.data);
    const uint32_t codewords = words != nullptr ? words[am->vq.codebookSize] : 0;
    if (!scratch(am->vqScores, std::max<uint32_t>(codewords, 1536)))
        return false;
    if (am->vqPrecompute != AM_VQPrecomputeScoresForClustersInnerProduct)
        return true;
    if (!scratch(am->vqNorms, 1536))
        return false;
    if (am->vq.norms.count >= 1536)
        std::memcpy(am->vqNorms, am->vq.norms.data, 1536 * sizeof(uint16_t));
    else
        AM_Precompute4ParNorms(am);
    return true;
}

bool finishModel(AM* am)
{
    if (!AM_InitScoringFast(am) && !AM_InitScoring(am))
        return false;
    if (!AM_KernelsFit(am))
        return false;
    am->means2 = static_cast<const uint8_t*>(am->means.data);
    am->ipMeans2 = static_cast<const uint32_t*>(am->ipMeans.data);
    am->companions1Second = am->companions1.data;
    am->companions2Second = am->companions2.data;
    if (!AM_InitTables(am) || !buildFrameState(am) || !buildVQTables(am))
        return false;
    if (am->shortlist != nullptr) {
        AM_SetRawScoreFunction(am);
        // Clusters are chosen by raw distance: without one (covariance types
        // 3 and 4) or without clusters the shortlist is not used.
        if (am->rawScore != nullptr && am->shortlist->numClusters > 0) {
            am->shortlistScorer = AM_GetScoreByShlstCompressed;
            am->shortlistSetup = Shortlist_SetFeatures;
        }
    }
    if (am->hasDynSil && !AM_DynSilCreate(am))
        return false;
    if (BrevitParam_Word(kBrevitParamCrcTracing) != 0)
        AM_ComputeCRC(am, 0);
    if (am->daMode) {
        am->firstAdaptableState = 0;
        am->firstAdaptableComponent = 0;
    } else {
        am->firstAdaptableComponent = AM_GetFirstComponent(am, am->firstAdaptableState);
    }
    return !am->hasAddedModels || AM_AllocAddedModels(am);
}

void freeArray(AMArray& a)
{
    DVKMem_Free(a.data);
    a = AMArray{};
}

} // namespace

const char* AM_KindTag(int32_t kind)
{
    static const char* const kTags[kAMKindCount] = {"ba0", "ba1", "ba5", "ba6",
                                                    "ba2", "ba3", "ba4"};
    return kind >= 0 && kind < kAMKindCount ? kTags[kind] : "";
}

AM* AM_LoadFromBinFile(DVKTar* tar, const char* prefix, int32_t kind)
{
    BinFileReader* reader = BinFileReader_Create(tar, AM_KindTag(kind), prefix);
    if (reader == nullptr)
        return nullptr;
    auto* am = static_cast<AM*>(DVKMem_Calloc(sizeof(AM)));
    if (am == nullptr) {
        BinFileReader_Delete(reader);
        return nullptr;
    }
    am->kind = kind;
    am->fillerStateId = kAMNoState;
    Loader loader{reader, am};
    readSteps(loader, am);
    BinFileReader_Delete(reader);
    if (!loader.ok || (!am->noParameters && !finishModel(am))) {
        AM_Destroy(am);
        return nullptr;
    }
    return am;
}

void AM_Destroy(AM* am)
{
    if (am == nullptr)
        return;
    AM_FreeAddedModels(am);
    AM_FreeAdaptedCopies(am);
    AM_FreeContextTables(am);
    AM_DynSilFree(am);
    AM_VQFreeAccumulators(am);
    DVKMem_Free(am->vq.adapted);
    AM_FreeAdaptationBuffers(am);
    AM_AMFFreeAccumulators(am);
    AM_GlobalVarianceFree(am);
    DVKMem_Free(am->savedInvVar);
    for (AMArray* a :
         {&am->unscaleBase, &am->unscaleScale, &am->offsets, &am->invVar16, &am->invVarByte,
          &am->var32, &am->rowConstants, &am->fullTiedTable, &am->triphoneIndex,
          &am->modelToState, &am->phoneList, &am->componentBytes, &am->stateBytes, &am->aux32,
          &am->htValues, &am->htVectors, &am->htWeights, &am->ipMeans, &am->companions1,
          &am->companions2, &am->means, &am->vq.codewords, &am->vq.norms,
          &am->vq.dimensionBounds, &am->vq.codewordBounds, &am->vq.codebookOffsets,
          &am->vq.labels, &am->mllr.classes, &am->mllr.extra, &am->dynSil.currentMean,
          &am->dynSil.initialMean, &am->dynSil.values16})
        freeArray(*a);
    if (am->phonemeNames.names != nullptr)
        for (int32_t k = 0; k < am->phonemeNames.count; ++k)
            DVKMem_Free(am->phonemeNames.names[k]);
    DVKMem_Free(am->phonemeNames.names);
    DecisionTree_Delete(am->tree);
    ShortListCompressed_Delete(am->shortlist);
    EmShLsTree_Delete(am->emTree);
    AM_DeleteWordMatcher(am->matcher);
    AM_DeleteDARecord(am->daRecord);
    DVKMem_Free(am->featureCopy);
    DVKMem_Free(am->unpackBuffer);
    DVKMem_Free(am->clampedCopy);
    DVKMem_Free(am->ipWork);
    DVKMem_Free(am->htSquares);
    DVKMem_Free(am->htPackedSquares);
    DVKMem_Free(am->cache);
    DVKMem_Free(am->vqScores);
    DVKMem_Free(am->vqNorms);
    DVKMem_Free(am->filledList);
    DVKMem_Free(am);
}
