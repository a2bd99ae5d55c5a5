// Models, frames and drivers for the adaptation tests: an adaptable model
// of eight tree-A states, frames drawn around its components, the frames
// fed through the real accumulation and the held-out cost.
#pragma once

#include "core/brevit/acoustic/am_adapt.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct StateFrame {
    int32_t state;
    Bytes frame;
};

// 8 states x 2 components, 12 dimensions, covariance type 4 with every
// weight 64, means in 60..189, no constants; count unit 16 and the
// posterior table 1024 - 8k.
inline AcousticModelSpec adaptableSpec(uint32_t seed, int32_t components = 2)
{
    AcousticModelSpec s;
    s.states = 8;
    s.componentsPerState = components;
    s.dim = 12;
    s.covType = 4;
    s.adaptable = true;
    s.mapEnable = true;
    s.weights.assign(static_cast<size_t>(8 * components * 12), 64);
    s.constants.assign(static_cast<size_t>(8 * components), 0);
    std::mt19937 random(seed);
    for (int32_t i = 0; i < 8 * components * 12; ++i)
        s.means.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(60, 189)(random)));
    s.countUnit = 16;
    s.posteriorWeights.clear();
    for (int k = 0; k < 128; ++k)
        s.posteriorWeights.push_back(static_cast<uint16_t>(1024 - 8 * k));
    return s;
}

// perState frames for each state, Gaussian (sigma) around a random one of
// its components, shifted and rounded into the byte range.
inline std::vector<StateFrame> framesAround(AM* am, std::mt19937& random, int32_t perState, int32_t shift,
                                            double sigma = 4.0, const std::vector<int32_t>& states = {})
{
    std::vector<int32_t> which = states;
    if (which.empty())
        for (int32_t s = 0; s < am->numStates; ++s)
            which.push_back(s);
    std::vector<StateFrame> out;
    for (int32_t s : which)
        for (int32_t i = 0; i < perState; ++i) {
            const int32_t c = std::uniform_int_distribution<int32_t>(0, AM_GetNumComponents(am, s) - 1)(random);
            const uint8_t* m = AM_GetComponentMean(am, s, c);
            Bytes f(static_cast<size_t>(am->featureDim));
            for (int32_t d = 0; d < am->featureDim; ++d) {
                const double v = m[d] + shift + (sigma > 0 ? std::normal_distribution<double>(0.0, sigma)(random) : 0.0);
                f[static_cast<size_t>(d)] = static_cast<uint8_t>(std::clamp(std::round(v), 0.0, 255.0));
            }
            out.push_back({s, std::move(f)});
        }
    return out;
}

class Scorer {
public:
    explicit Scorer(AM* am) : m_am(am), m_set(AM_NewScoringSet(), AM_DeleteScoringSet)
    {
        AM_GetScoringFunctions(am, m_set.get(), 0, 0);
    }

    void frame(const Bytes& f) { AM_NewFrame(m_am, f.data(), nullptr, m_set.get(), m_index++ & 0x3FFF, 1); }

    int32_t cost(const StateFrame& f)
    {
        frame(f.frame);
        return AM_GetStateScoreUncached(m_am, f.state);
    }

    double averageCost(const std::vector<StateFrame>& frames)
    {
        double sum = 0;
        for (const auto& f : frames)
            sum += cost(f);
        return frames.empty() ? 0.0 : sum / static_cast<double>(frames.size());
    }

    // Every frame scored and accumulated for its state; false at the first
    // failure.
    bool accumulate(const std::vector<StateFrame>& frames, int32_t fillerMode = 0)
    {
        for (const auto& f : frames) {
            frame(f.frame);
            if (AM_AccumulateFrame(m_am, f.state, fillerMode) != 1)
                return false;
        }
        return true;
    }

private:
    AM* m_am;
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> m_set;
    int32_t m_index = 0;
};

// Every component mean of the trained states, in order.
inline std::vector<Bytes> allMeans(AM* am)
{
    std::vector<Bytes> out;
    for (int32_t s = 0; s < am->numStates; ++s)
        for (int32_t c = 0; c < AM_GetNumComponents(am, s); ++c) {
            const uint8_t* m = AM_GetComponentMean(am, s, c);
            out.emplace_back(m, m + am->featureDim);
        }
    return out;
}
