#include "core/brevit/acoustic/am_matcher.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

template <typename T>
T* copyOf(const T* source, uint32_t count)
{
    auto* copy = static_cast<T*>(DVKMem_Calloc(std::max<uint32_t>(count, 1) * sizeof(T)));
    if (copy != nullptr && source != nullptr && count > 0)
        std::memcpy(copy, source, count * sizeof(T));
    return copy;
}

} // namespace

AMWordMatcher* AM_CreateWordMatcher(const AM* am, double scale, int32_t numTemplates,
                                    const int16_t* templateIndex, int32_t numStates,
                                    uint32_t sharedWeights, const uint8_t* means,
                                    const uint16_t* weights, const uint32_t* constants)
{
    const int32_t dim = am->featureDim;
    if (numTemplates < 0 || numStates < 0 || numTemplates > 65535 || numStates > 65535 || dim < 1)
        return nullptr;
    for (int32_t s = 0; s < numStates; ++s)
        if (templateIndex[s] < -1 || templateIndex[s] >= numTemplates)
            return nullptr;
    auto* m = static_cast<AMWordMatcher*>(DVKMem_Calloc(sizeof(AMWordMatcher)));
    if (m == nullptr)
        return nullptr;
    const auto d = static_cast<uint32_t>(dim);
    const auto t = static_cast<uint32_t>(numTemplates);
    m->scale = scale;
    m->dimension = dim;
    m->numTemplates = numTemplates;
    m->numStates = numStates;
    m->sharedWeights = sharedWeights;
    m->templateIndex = copyOf(templateIndex, static_cast<uint32_t>(numStates));
    m->average = copyOf<uint8_t>(nullptr, d);
    m->means = copyOf(means, d * t);
    m->weights = copyOf(weights, sharedWeights ? d : d * t);
    m->constants = copyOf(constants, sharedWeights ? 1 : t);
    if (m->templateIndex == nullptr || m->average == nullptr || m->means == nullptr ||
        m->weights == nullptr || m->constants == nullptr) {
        AM_DeleteWordMatcher(m);
        return nullptr;
    }
    return m;
}

void AM_DeleteWordMatcher(AMWordMatcher* m)
{
    if (m == nullptr)
        return;
    DVKMem_Free(m->templateIndex);
    DVKMem_Free(m->average);
    DVKMem_Free(m->means);
    DVKMem_Free(m->weights);
    DVKMem_Free(m->constants);
    DVKMem_Free(m);
}

void AM_SetWordMatcher(AM* am, AMWordMatcher* matcher)
{
    AM_DeleteWordMatcher(am->matcher);
    am->matcher = matcher;
}

void AM_SetWordMatcherFrameEnd(AM* am, int32_t frameEnd)
{
    if (am->matcher != nullptr)
        am->matcher->frameEnd = frameEnd;
}

void AM_AverageFrames(AM* am, const uint8_t* const* frames)
{
    AMWordMatcher* m = am->matcher;
    if (m == nullptr || frames == nullptr)
        return;
    const int32_t start = static_cast<int32_t>(BrevitParam_Word(kBrevitParamAverageFramesStart));
    const int32_t end = m->frameEnd;
    // An empty range keeps the average as it was.
    if (start < 0 || start >= end)
        return;
    for (int32_t d = 0; d < m->dimension; ++d) {
        int64_t sum = end / 2;
        for (int32_t i = start; i < end; ++i)
            sum += frames[i][d];
        m->average[d] = static_cast<uint8_t>(std::clamp<int64_t>(sum / (end - start), am->lowFeature, am->highFeature));
    }
}

int32_t AM_ScoreStateAgainstAverage(AM* am, int32_t state)
{
    const AMWordMatcher* m = am->matcher;
    if (m == nullptr || state < 0 || state >= m->numStates || m->templateIndex[state] < 0)
        return 1;
    const int32_t t = m->templateIndex[state];
    const auto d = static_cast<size_t>(m->dimension);
    const uint16_t* w = m->sharedWeights ? m->weights : m->weights + static_cast<size_t>(t) * d;
    const uint8_t* mean = m->means + static_cast<size_t>(t) * d;
    double score = m->constants[m->sharedWeights ? 0 : t];
    for (size_t i = 0; i < d; ++i) {
        const double diff = static_cast<double>(mean[i]) - m->average[i];
        score += w[i] * diff * diff;
    }
    const double scaled = std::trunc(0.5 + score * m->scale);
    if (std::isnan(scaled))
        return am->scoreCeiling;
    // A cost is 16 bits: held at its bottom too (a negative scale), where
    // the conversion of a larger real would be undefined.
    return static_cast<int32_t>(std::clamp<double>(scaled, -32768.0, am->scoreCeiling));
}
