// Double-precision counterparts of the vocoder's stages, and a reference
// vocoder that replays a fixed-point generator's decisions (pulse lists,
// marks, periods, noise seed, shifts) with exact transforms.
#pragma once

#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "tests/support/cep_model_writer.h"

#include <complex>
#include <cstdint>
#include <vector>

namespace cep_reference {

// (1/2n) sum_k X_k e^(-i 2 pi k m / n), n = 2^(order + 1), over the Hermitian
// extension of n/2 interleaved pairs (pair 0 holds X_0 and X_(n/2)).
std::vector<double> inverseTransform(const std::vector<int16_t>& pairs, int32_t order);

// L_i = G' + (2/Nb) sum_(k >= 1) c_k 2^-q cos(pi k (i + 1/2) / Nb), 11 fraction
// bits, with G' = G + (c_0 / Nb) >> (q - 11) as the vocoder rounds it.
std::vector<double> logSpectrum(const std::vector<int32_t>& cepstrum, int32_t length,
                                int32_t used, int32_t logGain, int32_t q);

// One utterance's frames.
struct Frame {
    int32_t logPitch;
    std::vector<int32_t> cepstrum;
    int32_t voicing;
};

// The reference vocoder beside a fixed-point generator: before each call of
// the generator, call step() with the same frame; it reads what the generator
// decided for that call (pulses, marks, seed, shifts) and produces the same
// hop in double precision.
class Vocoder {
public:
    Vocoder(const CepModel& model, const CepToSampleFix* generator, bool halfRate,
            int32_t logGain);
    // Before the generator's call: remembers the state the call starts from.
    void before();
    // After the generator's call: the reference hop for it.
    std::vector<double> after(const Frame& frame);

private:
    std::vector<double> spectralFrame(const Frame& frame, int32_t pulseCount);

    const CepModel& m_model;
    const CepToSampleFix* m_g;
    bool m_half;
    int32_t m_logGain;
    int32_t m_hop, m_frame, m_size;
    uint32_t m_seedBefore = 0;
    int32_t m_pulses[kCepMaxPulses] = {};
    int32_t m_last = 0;
    int32_t m_spacing = 0;
    int32_t m_index = 0;
    std::vector<int32_t> m_marks;
    std::vector<double> m_buffers[2];
    int32_t m_bufferIndex = 0;
    std::vector<double> m_tail;
    double m_deemphasis = 0;
};

} // namespace cep_reference
