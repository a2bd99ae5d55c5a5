#include "core/brevit/synthesis/cep_pitch_pulses.h"

#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/fix_exp.h"

int32_t CepToSampleFix_PitchPeriod(int32_t logPitch, int32_t q, int32_t rate)
{
    int64_t y;
    if (q <= 12)
        y = static_cast<int64_t>(logPitch) * (int64_t{1} << (12 - q));
    else
        y = CepFixed_RoundShift(logPitch, q - 12);
    // A pitch far below 1 Hz would overflow the negated 16-bit value.
    if (y > 32767)
        y = 32767;
    if (y < -32767)
        y = -32767;
    int16_t x = static_cast<int16_t>(-y);
    int32_t s = 12;
    FixExp(&x, &s);
    const int64_t period = CepFixed_RoundShift(static_cast<int64_t>(x) * rate, s);
    if (period < 1)
        return 1;
    return period > INT32_MAX ? INT32_MAX : static_cast<int32_t>(period);
}

int32_t CepToSampleFix_UpdatePulses(const CepPulseState* state, int32_t logPitch, int32_t voicing,
                                    int32_t q, int32_t hop, int32_t frame, int32_t rate)
{
    int32_t* pulses = state->pulses;
    int32_t count = 0;
    if (voicing != 0) {
        const int32_t period = CepToSampleFix_PitchPeriod(logPitch, q, rate);
        int64_t last = *state->lastPulse;
        bool carried = false;
        for (int32_t i = 0; i < kCepMaxPulses; ++i) {
            const int32_t p = pulses[i] - hop;
            pulses[i] = p;
            if (p >= 0) {
                pulses[count++] = p;
                if (p < hop)
                    *state->lastPulse = p;
                last = p;
                carried = true;
            }
        }
        if (!carried)
            last = *state->lastPulse;
        // The slots behind the kept pulses would come back as duplicates.
        for (int32_t i = count; i < kCepMaxPulses; ++i)
            pulses[i] = 0;
        for (int64_t p = last + period; p < frame; p += period) {
            if (count > kCepMaxPulses - 1)
                break;
            if (p >= 0)
                pulses[count++] = static_cast<int32_t>(p);
            if (p < hop)
                *state->lastPulse = static_cast<int32_t>(p);
        }
        *state->spacing = period;
    } else {
        const int64_t period = *state->spacing;
        const int64_t last = *state->lastPulse;
        if (period > 0 && last + period < hop)
            *state->lastPulse = static_cast<int32_t>(last + ((hop - 1 - last) / period) * period);
        for (int32_t i = 0; i < kCepMaxPulses; ++i)
            pulses[i] = 0;
    }
    *state->lastPulse -= hop;
    return count;
}
