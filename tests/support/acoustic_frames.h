// Byte frames for a state sequence held for given durations, made from each
// state's first component mean: optionally shifted, with jitter drawn
// uniformly within a bound or seeded Gaussian noise (a sigma per
// dimension), always clamped to the model's feature byte range.
//
// Header-only: it calls the acoustic model, which the shared support
// library does not link.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

struct AcousticFrameOptions {
    int32_t shift = 0;               // added to every mean byte
    int32_t jitter = 0;              // uniform in [-jitter, jitter] when no sigma is given
    std::vector<double> sigma;       // per dimension; Gaussian noise when not empty
    uint32_t seed = 1;
};

// count x dimension bytes, one row per frame.
inline std::vector<uint8_t> acousticFrames(AM* am, const std::vector<uint16_t>& states,
                                           const std::vector<uint16_t>& durations,
                                           const AcousticFrameOptions& options = {})
{
    const int32_t dim = am->featureDim;
    std::mt19937 random(options.seed);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < states.size() && i < durations.size(); ++i) {
        const uint8_t* mean = AM_GetComponentMean(am, states[i], 0);
        for (uint16_t f = 0; f < durations[i]; ++f)
            for (int32_t d = 0; d < dim; ++d) {
                double v = (mean != nullptr ? mean[d] : 0) + options.shift;
                if (!options.sigma.empty())
                    v += std::normal_distribution<double>(0.0, options.sigma[static_cast<size_t>(d) % options.sigma.size()])(random);
                else if (options.jitter > 0)
                    v += std::uniform_int_distribution<int32_t>(-options.jitter, options.jitter)(random);
                v = std::clamp(std::round(v), static_cast<double>(am->lowFeature), static_cast<double>(am->highFeature));
                out.push_back(static_cast<uint8_t>(v));
            }
    }
    return out;
}
