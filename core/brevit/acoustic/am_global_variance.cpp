// Global variance adaptation: the inverse variances rescaled from the
// squared deviations of aligned frames from their component means, one
// shared vector or every component's vector by a per-dimension gain.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool perComponent(const AM* am)
{
    return am->covType == 4 && BrevitParam_Word(kBrevitParamVarianceShared) == 0;
}

int32_t varianceDim(const AM* am)
{
    return am->varStride;
}

// Which dimensions adapt under word 614: the model's feature mask, every
// dimension without one.
bool masked(const AM* am, int32_t d)
{
    if (BrevitParam_Word(kBrevitParamAdaptKeepMasked) == 0 || !am->hasFeatureMask || am->aux32.data == nullptr ||
        static_cast<uint32_t>(d) >= am->aux32.count)
        return false;
    return static_cast<const uint32_t*>(am->aux32.data)[d] == 0;
}

// Capped in reals (a huge gain would not fit 16 bits), then rounded half
// away from 0; never 0.
uint16_t inverseVariance(const AM* am, double v)
{
    v = std::min(v, static_cast<double>(am->globalVarianceValue));
    const double rounded = std::floor(std::max(v, 0.0) + 0.5);
    return static_cast<uint16_t>(std::max(rounded, 1.0));
}

int64_t priorMass(const AM* am)
{
    return static_cast<int64_t>(BrevitParam_Word(kBrevitParamAdaptWeightScale)) * am->adaptationValue;
}

} // namespace

uint32_t AM_GlobalVarianceInit(AM* am, int32_t method, int32_t treeSmoothing)
{
    (void)method;
    (void)treeSmoothing;
    AM_GlobalVarianceFree(am);
    auto* acc = static_cast<AMVarianceAccumulator*>(DVKMem_CallocOrThrow(sizeof(AMVarianceAccumulator)));
    acc->dim = static_cast<uint32_t>(std::max(varianceDim(am), 0));
    acc->sums = static_cast<int64_t*>(DVKMem_Calloc(std::max<uint32_t>(acc->dim, 1) * 8));
    if (acc->sums == nullptr) {
        DVKMem_Free(acc);
        return 0;
    }
    am->varianceAcc = acc;
    return 1;
}

uint32_t AM_GlobalVarianceAccum(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight)
{
    AMVarianceAccumulator* acc = am->varianceAcc;
    if (acc == nullptr || frame == nullptr)
        return 1;
    if (BrevitParam_Word(kBrevitParamVarianceSkipSilence) != 0 && state == am->silenceStateId)
        return 1;
    const bool weighted = perComponent(am);
    const uint8_t* m = AM_GetComponentMean(am, state, component);
    const uint16_t* v = weighted ? AM_GetInvVarianceRow16(am, state, component) : nullptr;
    const int64_t scale = am->invVarScale != 0 ? am->invVarScale : 1;
    const auto dim = static_cast<int32_t>(std::min<uint32_t>(acc->dim, static_cast<uint32_t>(am->featureDim)));
    for (int32_t d = 0; d < dim; ++d) {
        const int64_t e = static_cast<int64_t>(m[d]) - frame[d];
        if (weighted)
            acc->sums[d] += (weight * static_cast<int64_t>(v != nullptr ? v[d] : 0) * e * e) / scale;
        else
            acc->sums[d] += e * e * weight;
    }
    acc->frameWeight += weight;
    return 1;
}

double AM_GlobalVarianceUpdateWeights(AM* am, int32_t saveOld, int32_t n, double numerator, int64_t* sums,
                                      const uint16_t* oldWeights, uint16_t* newWeights, uint16_t* saved,
                                      double divisor)
{
    const int64_t p = priorMass(am);
    const double scale = am->invVarScale;
    double newSum = 0.0;
    double oldSum = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t o = oldWeights[i];
        if (saveOld && saved != nullptr)
            saved[i] = o;
        if (p > 0)
            sums[i] += static_cast<int64_t>(static_cast<double>(p) * scale / std::max<uint16_t>(o, 1));
        const uint16_t candidate = inverseVariance(am, numerator / static_cast<double>(sums[i]) * scale / divisor);
        newSum += candidate;
        oldSum += o;
        if (newWeights != nullptr)
            newWeights[i] = masked(am, i) ? o : candidate;
    }
    return n < 1 || oldSum == 0.0 ? 1.0 : newSum / oldSum;
}

uint32_t AM_GlobalVarianceCompute(AM* am)
{
    AMVarianceAccumulator* acc = am->varianceAcc;
    auto* active = static_cast<uint16_t*>(am->invVar16.data);
    if (acc == nullptr || active == nullptr)
        return 1;
    const int64_t frames = acc->frameWeight;
    if (frames < 50)
        return 1;
    const int64_t p = priorMass(am);
    const double total = static_cast<double>(p > 0 ? frames + p : frames);
    const auto dim = static_cast<int32_t>(acc->dim);
    // The loaded values are kept once: every later finish starts from them
    // again instead of compounding on its own results.
    const bool first = am->savedInvVar == nullptr;
    if (first) {
        am->savedInvVarCount = am->invVar16.count;
        am->savedInvVar = static_cast<uint16_t*>(DVKMem_Calloc(std::max<uint32_t>(am->savedInvVarCount, 1) * 2));
        if (am->savedInvVar == nullptr)
            return 0;
        std::memcpy(am->savedInvVar, active, static_cast<size_t>(am->savedInvVarCount) * 2);
    }
    const uint16_t* old = am->savedInvVar;
    if (perComponent(am)) {
        const double s = AM_ParamReal(kBrevitParamVarianceSumScale);
        std::vector<double> gain(static_cast<size_t>(dim));
        for (int32_t d = 0; d < dim; ++d)
            gain[static_cast<size_t>(d)] = total / (static_cast<double>(p) + s * static_cast<double>(acc->sums[d]));
        const uint32_t rows = am->savedInvVarCount / static_cast<uint32_t>(std::max(dim, 1));
        for (uint32_t r = 0; r < rows; ++r)
            for (int32_t d = 0; d < dim; ++d) {
                const size_t i = r * static_cast<size_t>(dim) + static_cast<size_t>(d);
                const double moved = std::round(old[i] * gain[static_cast<size_t>(d)]);
                active[i] = masked(am, d) ? old[i] : inverseVariance(am, moved);
            }
    } else {
        // Each pass adds the prior to a copy of the sums: the prior counts
        // once, and the accumulator keeps the frames' statistics alone.
        double divisor = 1.0;
        std::vector<int64_t> sums(acc->sums, acc->sums + dim);
        if (BrevitParam_Word(kBrevitParamVarianceTwoPass) != 0) {
            divisor = AM_GlobalVarianceUpdateWeights(am, 0, dim, total, sums.data(), old, nullptr, nullptr, 1.0);
            sums.assign(acc->sums, acc->sums + dim);
        }
        AM_GlobalVarianceUpdateWeights(am, 0, dim, total, sums.data(), old, active, nullptr, divisor);
        if (am->covType == 4)
            am->covType = 2;
    }
    return 1;
}

void AM_GlobalVarianceFree(AM* am)
{
    AMVarianceAccumulator* acc = am->varianceAcc;
    if (acc == nullptr)
        return;
    DVKMem_Free(acc->sums);
    DVKMem_Free(acc);
    am->varianceAcc = nullptr;
}
