// The parameter preset of the linear-chain decoder's tests and fuzz target:
// every utterance set-up passes with wide beams (word 211 set, word 229 =
// 0x7FFFFFFF), over the fixture vocabulary's own words.
//
// Header-only, without the test framework.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/vocabulary_writer.h"

#include <utility>
#include <vector>

namespace linear_chain_fixture {

// The preset over the vocabulary's own words.
inline std::vector<std::pair<int, uint32_t>> presetWords()
{
    return {
        {kBrevitParamLinearChainKinds, 1},
        {kBrevitParamTreePronThreshold, 0x7FFFFFFF},
        {kBrevitParamDecoderOut2, 2000},          // base cap
        {kBrevitParamHypothesisSpace, 1024},
        {kBrevitParamNewWordPages, 512},
        {kBrevitParamRescoreCapacity, 16},
        {kBrevitParamBaseBeamLevel, 3000},
        {kBrevitParamBeamLevel1, 3000},
        {kBrevitParamPruneOffset, 3000},
        {kBrevitParamNewWordBeam, 3000},
        {kBrevitParamWordEndBeam, 3000},
        {kBrevitParamWordEndCap, 500},
        {kBrevitParamPronCacheSize1, 64},
        {kBrevitParamPronCacheSize2, 512},
        {kBrevitParamPronCacheSize1Transcription, 64},
        {kBrevitParamPronCacheSize2Transcription, 512},
        {kBrevitParamResultGraphSize, 4096},
        {kBrevitParamMinTrailingSilence, 300},
        {kBrevitParamEndPointerValue1, 100},
        {kBrevitParamSecondEndPointer, 300},
        {kBrevitParamHistogramBins, 64},
        {kBrevitParamSeedWords, 8},
    };
}

inline vocabulary_fixture::Options options(const std::vector<std::pair<int, uint32_t>>& extra = {})
{
    vocabulary_fixture::Options o;
    o.params = presetWords();
    for (const auto& w : extra)
        o.params.push_back(w);
    return o;
}

} // namespace linear_chain_fixture
