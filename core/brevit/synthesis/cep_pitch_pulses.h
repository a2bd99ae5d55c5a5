// Pitch-pulse positions of one hop: the list runs across calls, and across
// unvoiced frames the pulse grid keeps its phase.
#pragma once

#include <cstdint>

inline constexpr int32_t kCepMaxPulses = 15;

struct CepPulseState {
    int32_t* pulses;     // kCepMaxPulses slots
    int32_t* lastPulse;  // last pulse before the hop's end, relative to the next hop afterwards
    int32_t* spacing;    // period in force
};

// Updates the list for one call at the given hop, frame and rate; q is the
// fraction bits of the log-pitch value (natural log of Hz). Returns the number
// of pulses, which lead the list.
int32_t CepToSampleFix_UpdatePulses(const CepPulseState* state, int32_t logPitch, int32_t voicing,
                                    int32_t q, int32_t hop, int32_t frame, int32_t rate);

// Period in samples of a log-pitch value with q fraction bits at a rate.
int32_t CepToSampleFix_PitchPeriod(int32_t logPitch, int32_t q, int32_t rate);
