// Model utilities that adaptation and the synthesiser need beside scoring.
#include "core/brevit/acoustic/am_util.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Weight d of the shared row of covariance type 2, as the kernels read it:
// 4-bit pairs or bytes widened, else 16-bit words. No row weighs 0.
double sharedWeight(const AM* am, int32_t d)
{
    if (const uint16_t* row = AM_GetInvVarianceRow16(am, 0, 0))
        return row[d];
    const uint8_t* bytes = AM_GetInvVarianceRowByte(am, 0, 0);
    if (bytes == nullptr)
        return 0.0;
    if (!am->fourBitWeights)
        return bytes[d];
    // Laplacian 4-bit rows pair byte j of a group with byte 3 - j.
    const int32_t at = am->laplacian ? 4 * (d / 8) + 3 - (d % 8) / 2 : d / 2;
    return (bytes[at] >> (4 * (d % 2))) & 0x0F;
}

} // namespace

void AM_GetInvVariances(const AM* am, double* out)
{
    const auto* scale = static_cast<const int32_t*>(am->unscaleScale.data);
    // In doubles: 32 / v in integers would zero every weight for v > 32.
    const double scalar = 32.0 / am->invVarScale;
    for (int32_t d = 0; d < am->featureDim; ++d) {
        const double w = am->covType == 2 ? sharedWeight(am, d) : scalar;
        const double s = scale != nullptr ? scale[d] : 1.0;
        out[d] = w / (s * s * am->roundingWord);
    }
}

namespace {

bool secondSet(const AM* am, int32_t state)
{
    return state >= am->firstAdaptableState;
}

// A copy of a loaded array made by the call, released again when a later
// one cannot be made.
struct Copy {
    void** target;
    const AMArray* loaded;
};

bool makeCopy(const Copy& c, int32_t copy)
{
    const uint32_t bytes = c.loaded->count * c.loaded->size;
    void* p = DVKMem_Calloc(std::max<uint32_t>(bytes, 1));
    if (p == nullptr)
        return false;
    if (copy && bytes > 0)
        std::memcpy(p, c.loaded->data, bytes);
    *c.target = p;
    return true;
}

// The component's companions of the table its state is scored from.
template <typename T>
T* companionTable(AM* am, int32_t state, T* addedTable, T* adaptedTable, const AMArray& loaded)
{
    if (state >= am->numStates)
        return addedTable;
    if (secondSet(am, state) && adaptedTable != nullptr)
        return adaptedTable;
    return static_cast<T*>(loaded.data);
}

template <typename T>
void storeCompanions(T* first, T* second, int32_t index, uint32_t low, uint32_t high, bool split)
{
    if (first != nullptr)
        first[index] = static_cast<T>(split ? low : low + high);
    if (second != nullptr && split)
        second[index] = static_cast<T>(high);
}

// Dimension d of a Hare/Turtle product row: word pairs split w0 low, w1
// low, w0 high, w1 high.
size_t productWord(int32_t d, int32_t* shift)
{
    *shift = (d % 4) >= 2 ? 16 : 0;
    return static_cast<size_t>(2 * (d / 4) + (d % 2));
}

const uint8_t* htWeightRow(const AM* am, int32_t state, int32_t c)
{
    return static_cast<const uint8_t*>(am->htWeights.data) +
           static_cast<size_t>(AM_WeightRowIndex(am, state, c)) * static_cast<uint32_t>(am->meanStride);
}

// The mean a product row holds: (2p + w) / 2w, the low byte where w is 0.
uint8_t meanOfProduct(const AM* am, uint32_t product, uint8_t w)
{
    return w == 0 ? am->lowFeature : static_cast<uint8_t>((2 * product + w) / (2u * w));
}

int32_t recomputedStates(const AM* am, int32_t count)
{
    return std::clamp(count, 0, am->numStates + std::max(am->addedStateCount, 0));
}

} // namespace

void AM_GetStateCentroid(AM* am, int32_t state, uint8_t* out)
{
    const int32_t dim = am->featureDim;
    const int32_t k = AM_GetNumComponents(am, state);
    if (k < 1) {
        std::memset(out, am->lowFeature, static_cast<size_t>(dim));
        return;
    }
    std::vector<uint32_t> sums(static_cast<size_t>(dim), 0);
    for (int32_t j = 0; j < k; ++j) {
        const uint8_t* m = AM_GetComponentMean(am, state, j);
        for (int32_t d = 0; d < dim; ++d)
            sums[static_cast<size_t>(d)] += m[d];
    }
    for (int32_t d = 0; d < dim; ++d)
        out[d] = static_cast<uint8_t>((sums[static_cast<size_t>(d)] + static_cast<uint32_t>(k) / 2) /
                                      static_cast<uint32_t>(k));
}

int32_t AM_MakeParametersWritable(AM* am, int32_t copy, int32_t companionStates, int32_t sumScaledStates)
{
    const bool c16 = am->fourBitMeans;
    const Copy all[] = {
        {reinterpret_cast<void**>(&am->adaptedMeans), &am->means},
        {reinterpret_cast<void**>(&am->adaptedIpMeans), &am->ipMeans},
        {c16 ? reinterpret_cast<void**>(&am->adaptedFirst16) : reinterpret_cast<void**>(&am->adaptedFirst32),
         &am->companions1},
        {c16 ? reinterpret_cast<void**>(&am->adaptedSecond16) : reinterpret_cast<void**>(&am->adaptedSecond32),
         &am->companions2},
        {reinterpret_cast<void**>(&am->adaptedHtValues), &am->htValues},
        {reinterpret_cast<void**>(&am->adaptedHtVectors), &am->htVectors},
    };
    void** made[6] = {};
    int32_t n = 0;
    for (const Copy& c : all) {
        // Only what the model loaded, and only once.
        if (c.loaded->data == nullptr || *c.target != nullptr)
            continue;
        if (!makeCopy(c, copy)) {
            for (int32_t i = 0; i < n; ++i) {
                DVKMem_Free(*made[i]);
                *made[i] = nullptr;
            }
            return 0;
        }
        made[n++] = c.target;
    }
    am->companionStates = companionStates;
    am->sumScaledStates = sumScaledStates;
    AM_PointAtAdaptedCopies(am);
    return 1;
}

void AM_ResetCompanions(AM* am)
{
    const void* first = am->fourBitMeans ? static_cast<const void*>(am->adaptedFirst16)
                                         : static_cast<const void*>(am->adaptedFirst32);
    const void* second = am->fourBitMeans ? static_cast<const void*>(am->adaptedSecond16)
                                          : static_cast<const void*>(am->adaptedSecond32);
    am->companions1Second = first != nullptr ? first : am->companions1.data;
    am->companions2Second = !am->threshold ? nullptr : second != nullptr ? second : am->companions2.data;
}

void AM_ComputeStateCompanions(AM* am, int32_t state)
{
    if (!am->innerProduct || state < 0 || state >= am->numStates + std::max(am->addedStateCount, 0))
        return;
    const bool split = am->threshold != 0;
    const int32_t dim = am->scoringDim;
    // Byte rows of 24 or 12 dimensions may sum their packed words instead.
    const bool packed = BrevitParam_Word(kBrevitParamByteMeanScoring) != 0 && !am->fourBitMeans &&
                        (dim == 24 || dim == 12);
    const int32_t k = AM_GetNumComponents(am, state);
    for (int32_t j = 0; j < k; ++j) {
        uint32_t low = 0;
        uint32_t high = 0;
        if (packed) {
            (dim == 24 ? AM_SumMeanSquares24 : AM_SumMeanSquares12)(am, state, j, &low, &high);
        } else {
            const uint8_t* m = AM_GetComponentMean(am, state, j);
            for (int32_t d = 0; d < dim; ++d)
                (d < 8 ? low : high) += static_cast<uint32_t>(m[d]) * m[d];
        }
        const int32_t index = state >= am->numStates ? state - am->numStates : AM_GetComponentIndex(am, state, j);
        if (am->fourBitMeans)
            storeCompanions(companionTable<int16_t>(am, state, am->addedFirst16, am->adaptedFirst16, am->companions1),
                            companionTable<int16_t>(am, state, am->addedSecond16, am->adaptedSecond16, am->companions2),
                            index, low, high, split);
        else
            storeCompanions(companionTable<int32_t>(am, state, am->addedFirst32, am->adaptedFirst32, am->companions1),
                            companionTable<int32_t>(am, state, am->addedSecond32, am->adaptedSecond32, am->companions2),
                            index, low, high, split);
    }
}

void AM_ComputeCompanions(AM* am)
{
    const int32_t n = recomputedStates(am, am->companionStates);
    for (int32_t s = 0; s < n; ++s)
        AM_ComputeStateCompanions(am, s);
}

void AM_ComputeStateSumScaledMeans(AM* am, int32_t state)
{
    // Added states keep byte means; inner-product rows are the means.
    if (!am->hareTurtle || state < 0 || state >= am->numStates)
        return;
    const auto* loadedValues = static_cast<const uint32_t*>(am->htValues.data);
    const auto* loadedProducts = static_cast<const uint32_t*>(am->htVectors.data);
    uint32_t* values = am->adaptedHtValues != nullptr ? am->adaptedHtValues : static_cast<uint32_t*>(am->htValues.data);
    uint32_t* products =
        am->adaptedHtVectors != nullptr ? am->adaptedHtVectors : static_cast<uint32_t*>(am->htVectors.data);
    const int32_t dim = am->featureDim;
    const int32_t k = AM_GetNumComponents(am, state);
    std::vector<uint8_t> mean(static_cast<size_t>(dim));
    for (int32_t j = 0; j < k; ++j) {
        const int32_t c = AM_GetComponentIndex(am, state, j);
        const uint8_t* m = AM_GetComponentMean(am, state, j);
        std::memcpy(mean.data(), m, mean.size());
        const uint8_t* w = htWeightRow(am, state, c);
        const size_t row = static_cast<size_t>(c) * static_cast<uint32_t>(am->htLength);
        // The value's constant part is what the loaded mean does not explain.
        uint32_t value = loadedValues[c];
        for (int32_t d = 0; d < dim; ++d) {
            int32_t shift = 0;
            const uint32_t word = loadedProducts[row + productWord(d, &shift)];
            const uint32_t m0 = meanOfProduct(am, (word >> shift) & 0xFFFF, w[d]);
            value -= w[d] * m0 * m0;
        }
        for (int32_t d = 0; d < dim; ++d) {
            const uint32_t md = mean[static_cast<size_t>(d)];
            value += w[d] * md * md;
            int32_t shift = 0;
            uint32_t& word = products[row + productWord(d, &shift)];
            word = (word & ~(0xFFFFu << shift)) | ((w[d] * md) & 0xFFFF) << shift;
        }
        values[c] = value;
    }
}

void AM_ComputeSumScaledMeans(AM* am)
{
    const int32_t n = std::min(recomputedStates(am, am->sumScaledStates), am->numStates);
    for (int32_t s = 0; s < n; ++s)
        AM_ComputeStateSumScaledMeans(am, s);
}

int32_t AM_GetPosteriorWeight(const AM* am, int32_t i)
{
    if (i < 0 || am->phoneList.data == nullptr || static_cast<uint32_t>(i) >= am->phoneList.count)
        return 0;
    return static_cast<const int16_t*>(am->phoneList.data)[i];
}

uint32_t AM_CallAccumulateHook(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight)
{
    if (am->adaptable && am->accumulateHook != nullptr)
        return am->accumulateHook(am, frame, state, component, weight);
    return 1;
}

uint32_t AM_ComputeModelTableCRC(const AM* am)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (am == nullptr || am->modelToState.data == nullptr)
        return crc;
    return DVKCrc_AddArray(am->modelToState.data, 2, static_cast<int32_t>(am->modelToState.count), crc);
}
