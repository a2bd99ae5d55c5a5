#include "core/brevit/acoustic/am_params.h"

#include "core/brevit/acoustic/am_scoring.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool secondSet(const AM* am, int32_t state)
{
    return state >= am->firstAdaptableState;
}

int32_t ipRowWords(const AM* am)
{
    return am->fourBitMeans ? 3 : am->ipStride;
}

// Dimension d of a Hare/Turtle product row: word pairs split w0 low, w1 low,
// w0 high, w1 high.
uint32_t productIndex(int32_t d, int32_t* high)
{
    *high = (d % 4) >= 2;
    return static_cast<uint32_t>(2 * (d / 4) + (d % 2));
}

const uint8_t* htWeightRow(const AM* am, int32_t state, int32_t component)
{
    const int32_t row = AM_WeightRowIndex(am, state, AM_GetComponentIndex(am, state, component));
    return static_cast<const uint8_t*>(am->htWeights.data) +
           static_cast<size_t>(row) * static_cast<uint32_t>(am->meanStride);
}

// The products scored: the adapted copy once it exists, for every state.
uint32_t* htProducts(const AM* am, int32_t state, int32_t component)
{
    uint32_t* table = am->adaptedHtVectors != nullptr ? am->adaptedHtVectors
                                                      : static_cast<uint32_t*>(am->htVectors.data);
    return table + static_cast<size_t>(AM_GetComponentIndex(am, state, component)) *
                       static_cast<uint32_t>(am->htLength);
}

template <typename T>
const T* rowOf(const AMArray& a, const AM* am, int32_t state, int32_t component, uint32_t stride)
{
    if (a.data == nullptr || state >= am->numStates)
        return nullptr;
    const int32_t row = AM_WeightRowIndex(am, state, AM_GetComponentIndex(am, state, component));
    return static_cast<const T*>(a.data) + static_cast<size_t>(row) * stride;
}

uint8_t clampTo(int64_t v, uint8_t low, uint8_t high)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(v, low, high));
}

// Rounds half away from zero and clamps; NaN gives the lowest value.
uint8_t convertReal(double v, uint8_t low, uint8_t high)
{
    if (std::isnan(v))
        return low;
    const double rounded = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
    return static_cast<uint8_t>(std::clamp(rounded, static_cast<double>(low),
                                           static_cast<double>(high)));
}

// Row of an added state's single component in the added arrays, or -1.
int32_t addedRow(const AM* am, int32_t state, int32_t component)
{
    const int32_t row = state - am->numStates;
    return row >= 0 && row < am->addedStateCount && component == 0 ? row : -1;
}

} // namespace

int32_t AM_GetComponentIndex(const AM* am, int32_t state, int32_t component)
{
    if (am->singleComponent)
        return state;
    return AM_GetFirstComponent(am, state) + component;
}

const uint8_t* AM_GetMeanVector(const AM* am, int32_t state, int32_t component)
{
    if (const int32_t row = addedRow(am, state, component); row >= 0 && am->addedMeans != nullptr)
        return am->addedMeans + static_cast<size_t>(row) * static_cast<uint32_t>(am->meanStride);
    if (am->means.data == nullptr || state >= am->numStates)
        return nullptr;
    const uint8_t* table =
        secondSet(am, state) ? am->means2 : static_cast<const uint8_t*>(am->means.data);
    return table + static_cast<size_t>(AM_GetComponentIndex(am, state, component)) *
                       static_cast<uint32_t>(am->meanStride);
}

const uint8_t* AM_GetOriginalMeanVector(const AM* am, int32_t state, int32_t component)
{
    if (am->means.data == nullptr || state >= am->numStates)
        return nullptr;
    return static_cast<const uint8_t*>(am->means.data) +
           static_cast<size_t>(AM_GetComponentIndex(am, state, component)) *
               static_cast<uint32_t>(am->meanStride);
}

const uint8_t* AM_GetComponentMean(AM* am, int32_t state, int32_t component)
{
    uint8_t* out = am->unpackBuffer;
    const int32_t dim = am->featureDim;
    const bool added = addedRow(am, state, component) >= 0 &&
                       (am->addedMeans != nullptr || am->addedIpMeans != nullptr);
    if (state >= am->numStates && !added) {
        std::memset(out, am->lowFeature, static_cast<size_t>(dim));
        return out;
    }
    if (am->innerProduct) {
        const uint32_t* row = AM_GetWeightVector(am, state, component);
        for (int32_t d = 0; d < dim; ++d)
            out[d] = am->fourBitMeans ? (row[d / 8] >> (4 * (d % 8))) & 0x0F
                                      : (row[d / 4] >> (8 * (d % 4))) & 0xFF;
        return out;
    }
    if (am->hareTurtle && !added) {
        const uint32_t* p = htProducts(am, state, component);
        const uint8_t* w = htWeightRow(am, state, component);
        for (int32_t d = 0; d < dim; ++d) {
            int32_t high = 0;
            const uint32_t word = p[productIndex(d, &high)];
            const uint32_t product = high ? word >> 16 : word & 0xFFFF;
            // A zero weight keeps no mean: the lowest byte stands for it.
            out[d] = w[d] == 0 ? am->lowFeature
                               : static_cast<uint8_t>((2 * product + w[d]) / (2u * w[d]));
        }
        return out;
    }
    const uint8_t* row = AM_GetMeanVector(am, state, component);
    return am->fourBitMeans ? AM_Unpack4BitMean(am, row) : row;
}

void AM_StoreComponentMean(AM* am, int32_t state, int32_t component, const uint8_t* mean)
{
    const int32_t added = addedRow(am, state, component);
    if (state >= am->numStates && added < 0)
        return;
    if (added >= 0 && !am->innerProduct && am->addedMeans == nullptr)
        return;
    if (added >= 0 && am->innerProduct && am->addedIpMeans == nullptr)
        return;
    const int32_t dim = am->featureDim;
    const int32_t index = added >= 0 ? added : AM_GetComponentIndex(am, state, component);
    // Once the model has its own copies, they take the means of the states
    // scored from them; the states before keep their loaded means.
    const bool toCopy = added < 0 && secondSet(am, state);
    if (am->innerProduct) {
        uint32_t* table = added >= 0                                  ? am->addedIpMeans
                          : toCopy && am->adaptedIpMeans != nullptr ? am->adaptedIpMeans
                                                                    : static_cast<uint32_t*>(am->ipMeans.data);
        uint32_t* row = table + static_cast<size_t>(index) * static_cast<uint32_t>(ipRowWords(am));
        for (int32_t d = 0; d < dim; ++d) {
            const int32_t bits = am->fourBitMeans ? 4 : 8;
            const int32_t perWord = 32 / bits;
            const uint32_t mask = (1u << bits) - 1;
            uint32_t& word = row[d / perWord];
            const int32_t at = bits * (d % perWord);
            word = (word & ~(mask << at)) | (static_cast<uint32_t>(mean[d]) & mask) << at;
        }
        return;
    }
    if (am->hareTurtle && added < 0) {
        uint32_t* p = htProducts(am, state, component);
        const uint8_t* w = htWeightRow(am, state, component);
        for (int32_t d = 0; d < dim; ++d) {
            int32_t high = 0;
            uint32_t& word = p[productIndex(d, &high)];
            const uint32_t product = (static_cast<uint32_t>(w[d]) * mean[d]) & 0xFFFF;
            word = high ? (word & 0xFFFF) | product << 16 : (word & 0xFFFF0000u) | product;
        }
        return;
    }
    uint8_t* table = added >= 0                                ? am->addedMeans
                     : toCopy && am->adaptedMeans != nullptr ? am->adaptedMeans
                                                             : static_cast<uint8_t*>(am->means.data);
    uint8_t* row = table + static_cast<size_t>(index) * static_cast<uint32_t>(am->meanStride);
    if (!am->fourBitMeans) {
        std::memcpy(row, mean, static_cast<size_t>(dim));
        return;
    }
    for (int32_t d = 0; d < dim; ++d) {
        const uint8_t nibble = mean[d] & 0x0F;
        row[d / 2] = d % 2 == 0 ? static_cast<uint8_t>((row[d / 2] & 0xF0) | nibble)
                                : static_cast<uint8_t>((row[d / 2] & 0x0F) | nibble << 4);
    }
}

const uint32_t* AM_GetWeightVector(const AM* am, int32_t state, int32_t component)
{
    if (const int32_t row = addedRow(am, state, component); row >= 0 && am->addedIpMeans != nullptr)
        return am->addedIpMeans + static_cast<size_t>(row) * static_cast<uint32_t>(ipRowWords(am));
    if (am->ipMeans.data == nullptr || state >= am->numStates)
        return nullptr;
    const uint32_t* table =
        secondSet(am, state) ? am->ipMeans2 : static_cast<const uint32_t*>(am->ipMeans.data);
    return table + static_cast<size_t>(AM_GetComponentIndex(am, state, component)) *
                       static_cast<uint32_t>(ipRowWords(am));
}

const uint32_t* AM_GetOriginalWeightVector(const AM* am, int32_t state, int32_t component)
{
    if (am->ipMeans.data == nullptr || state >= am->numStates)
        return nullptr;
    return static_cast<const uint32_t*>(am->ipMeans.data) +
           static_cast<size_t>(AM_GetComponentIndex(am, state, component)) *
               static_cast<uint32_t>(ipRowWords(am));
}

void AM_GetCompanionValues(const AM* am, int32_t state, int32_t component, const int32_t** first,
                           const int32_t** second)
{
    const int32_t index = AM_GetComponentIndex(am, state, component);
    const bool useSecond = secondSet(am, state);
    const auto* c1 = static_cast<const int32_t*>(useSecond ? am->companions1Second : am->companions1.data);
    const auto* c2 = static_cast<const int32_t*>(useSecond ? am->companions2Second : am->companions2.data);
    *first = c1 != nullptr && state < am->numStates ? c1 + index : nullptr;
    *second = c2 != nullptr && am->threshold && state < am->numStates ? c2 + index : nullptr;
}

void AM_GetCompanionValues16(const AM* am, int32_t state, int32_t component,
                             const int16_t** first, const int16_t** second)
{
    const int32_t index = AM_GetComponentIndex(am, state, component);
    const bool useSecond = secondSet(am, state);
    const auto* c1 = static_cast<const int16_t*>(useSecond ? am->companions1Second : am->companions1.data);
    const auto* c2 = static_cast<const int16_t*>(useSecond ? am->companions2Second : am->companions2.data);
    *first = c1 != nullptr && state < am->numStates ? c1 + index : nullptr;
    *second = c2 != nullptr && am->threshold && state < am->numStates ? c2 + index : nullptr;
}

const uint16_t* AM_GetInvVarianceRow16(const AM* am, int32_t state, int32_t component)
{
    return rowOf<uint16_t>(am->invVar16, am, state, component, static_cast<uint32_t>(am->varStride));
}

const uint8_t* AM_GetInvVarianceRowByte(const AM* am, int32_t state, int32_t component)
{
    return rowOf<uint8_t>(am->invVarByte, am, state, component, static_cast<uint32_t>(am->varStride));
}

const uint32_t* AM_GetVarianceRow32(const AM* am, int32_t state, int32_t component)
{
    return rowOf<uint32_t>(am->var32, am, state, component, static_cast<uint32_t>(am->varStride));
}

int32_t AM_GetRowConstant(const AM* am, int32_t state, int32_t component)
{
    const int32_t* c = rowOf<int32_t>(am->rowConstants, am, state, component, 1);
    return c != nullptr ? *c : 0;
}

int32_t AM_GetStateAuxValue(const AM* am, int32_t state, int32_t component)
{
    if (am->componentBytes.data == nullptr || state >= am->numStates)
        return 0;
    return static_cast<const uint8_t*>(am->componentBytes.data)[AM_GetComponentIndex(am, state, component)];
}

void AM_UnpackWords(const uint32_t* words, uint8_t* bytes, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
}

void AM_PackWords(const uint8_t* bytes, uint32_t* words, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (i % 4 == 0)
            words[i / 4] = 0;
        words[i / 4] |= static_cast<uint32_t>(bytes[i]) << (8 * (i % 4));
    }
}

const uint8_t* AM_Unpack4BitMean(AM* am, const uint8_t* row)
{
    if (!am->fourBitMeans)
        return row;
    for (int32_t i = 0; i < am->meanStride; ++i) {
        am->unpackBuffer[2 * i] = row[i] & 0x0F;
        am->unpackBuffer[2 * i + 1] = row[i] >> 4;
    }
    return am->unpackBuffer;
}

void AM_ClampMeanBytes(const AM* am, const uint8_t* mean, uint8_t* out)
{
    const int32_t dim = am->featureDim;
    if (!am->fourBitMeans) {
        for (int32_t d = 0; d < dim; ++d)
            out[d] = clampTo(mean[d], am->lowFeature, am->highFeature);
        return;
    }
    for (int32_t d = 0; d < dim; d += 2) {
        const uint8_t first = clampTo(mean[d], am->lowFeature, am->highFeature);
        const uint8_t second = d + 1 < dim ? clampTo(mean[d + 1], am->lowFeature, am->highFeature) : 0;
        out[d / 2] = static_cast<uint8_t>(first | second << 4);
    }
}

void AM_UnpackWeightRow(const AM* am, const void* row, uint16_t* out)
{
    const auto* bytes = static_cast<const uint8_t*>(row);
    if (am->fourBitWeights && am->laplacian) {
        // Byte j of a group meets byte 3 - j of the frame's word.
        for (int32_t g = 0; g < am->featureDim / 8; ++g)
            for (int32_t j = 0; j < 4; ++j) {
                const uint8_t b = bytes[4 * g + 3 - j];
                out[8 * g + 2 * j] = b & 0x0F;
                out[8 * g + 2 * j + 1] = b >> 4;
            }
    } else if (am->fourBitWeights) {
        for (int32_t i = 0; i < am->meanStride; ++i) {
            out[2 * i] = bytes[i] & 0x0F;
            out[2 * i + 1] = bytes[i] >> 4;
        }
    } else {
        std::memcpy(out, row, sizeof(uint16_t) * static_cast<size_t>(am->featureDim));
    }
}

void AM_WidenBytes(const uint8_t* bytes, uint16_t* out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        out[i] = bytes[i];
}

int32_t AM_GetUnscaling(const AM* am, int32_t* offset, int32_t* value1, int32_t* value2,
                        int32_t* base, int32_t* scale)
{
    *offset = am->unscalingOffset;
    *value1 = am->unscalingValue;
    *value2 = am->value19;
    const size_t bytes = sizeof(int32_t) * static_cast<size_t>(am->featureDim);
    if (am->unscaleBase.data != nullptr && base != nullptr)
        std::memcpy(base, am->unscaleBase.data, bytes);
    if (am->unscaleScale.data != nullptr && scale != nullptr)
        std::memcpy(scale, am->unscaleScale.data, bytes);
    return am->unscalingShift;
}

void AM_UnscaleFeature(const AM* am, const uint8_t* frame, int32_t* out)
{
    const auto* base = static_cast<const int32_t*>(am->unscaleBase.data);
    const auto* scale = static_cast<const int32_t*>(am->unscaleScale.data);
    for (int32_t d = 0; d < am->featureDim; ++d)
        out[d] = base == nullptr ? 0
                                 : static_cast<int32_t>(static_cast<uint32_t>(base[d]) +
                                                        static_cast<uint32_t>(scale[d]) *
                                                            static_cast<uint32_t>(frame[d] - am->unscalingOffset));
}

void AM_ConvertFloatFeature(const AM* am, const float* in, uint8_t* out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        out[i] = convertReal(in[i], am->minConverted, am->maxConverted);
}

void AM_ConvertIntFeature(const AM* am, const int32_t* in, uint8_t* out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        out[i] = clampTo(in[i], am->minConverted, am->maxConverted);
}

void AM_ConvertIntFeatureCopy(const AM* am, const int32_t* in, uint8_t* out, int32_t count)
{
    AM_ConvertIntFeature(am, in, out, count);
}

void AM_ClampFeature(const AM* am, uint8_t* frame)
{
    for (int32_t d = 0; d < am->featureDim; ++d)
        frame[d] = clampTo(frame[d], am->minConverted, am->maxConverted);
}

void AM_ConvertDoubleFeature(const AM* am, const double* in, uint8_t* out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const double v = in[i] + 0.5;
        out[i] = std::isnan(v) ? am->lowFeature
                               : static_cast<uint8_t>(std::clamp(std::trunc(v), static_cast<double>(am->lowFeature),
                                                                 static_cast<double>(am->highFeature)));
    }
}

void AM_ConvertDoubleFeatureDim(const AM* am, const double* in, uint8_t* out)
{
    AM_ConvertDoubleFeature(am, in, out, am->featureDim);
}
