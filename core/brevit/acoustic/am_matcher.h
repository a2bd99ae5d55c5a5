// The whole-word matcher of the fast isolated-word decoder: the frames of a
// segment are averaged, and a state's template is scored against the
// average.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

struct AMWordMatcher {
    double scale;
    int32_t dimension;
    int32_t frameEnd;
    int32_t numTemplates;
    int32_t numStates;
    int16_t* templateIndex;   // per state, -1 = none
    uint32_t sharedWeights;
    uint8_t* average;         // dimension bytes
    uint8_t* means;           // dimension bytes per template
    uint16_t* weights;        // dimension per template, or one shared vector
    uint32_t* constants;      // per template (entry 0 when shared)
};

// A copy of the given tables; null when a template index, the dimension or
// a count does not fit. The model owns it once set.
AMWordMatcher* AM_CreateWordMatcher(const AM* am, double scale, int32_t numTemplates,
                                    const int16_t* templateIndex, int32_t numStates,
                                    uint32_t sharedWeights, const uint8_t* means,
                                    const uint16_t* weights, const uint32_t* constants);
void AM_DeleteWordMatcher(AMWordMatcher* matcher);
void AM_SetWordMatcher(AM* am, AMWordMatcher* matcher);
void AM_SetWordMatcherFrameEnd(AM* am, int32_t frameEnd);
// Averages frames [parameter word 104, frame end) into the matcher's frame.
void AM_AverageFrames(AM* am, const uint8_t* const* frames);
int32_t AM_ScoreStateAgainstAverage(AM* am, int32_t state);
