#include "tests/brevit/synthesis/cep_reference.h"

#include "core/brevit/synthesis/cep_pitch_pulses.h"

#include <algorithm>
#include <cmath>

namespace cep_reference {

std::vector<double> inverseTransform(const std::vector<int16_t>& pairs, int32_t order)
{
    const int32_t n = 2 << order;
    std::vector<std::complex<double>> X(static_cast<size_t>(n));
    X[0] = pairs[0];
    X[n / 2] = pairs[1];
    for (int32_t k = 1; k < n / 2; ++k) {
        X[k] = {double(pairs[2 * k]), double(pairs[2 * k + 1])};
        X[n - k] = std::conj(X[k]);
    }
    std::vector<double> x(static_cast<size_t>(n));
    for (int32_t m = 0; m < n; ++m) {
        std::complex<double> sum = 0;
        for (int32_t k = 0; k < n; ++k)
            sum += X[k] * std::polar(1.0, -2 * M_PI * double((int64_t{k} * m) % n) / n);
        x[m] = sum.real() / (2.0 * n);
    }
    return x;
}

std::vector<double> logSpectrum(const std::vector<int32_t>& c, int32_t length, int32_t used,
                                int32_t logGain, int32_t q)
{
    const double gain = logGain + std::floor(double(c[0] / length) / std::ldexp(1.0, q - 11));
    std::vector<double> L(static_cast<size_t>(length));
    for (int32_t i = 0; i < length; ++i) {
        double sum = 0;
        for (int32_t k = 1; k < used; ++k)
            sum += c[k] * std::cos(M_PI * k * (i + 0.5) / length);
        L[i] = gain + 2048.0 * 2.0 / length * std::ldexp(sum, -q);
    }
    return L;
}

Vocoder::Vocoder(const CepModel& model, const CepToSampleFix* generator, bool halfRate,
                 int32_t logGain)
    : m_model(model), m_g(generator), m_half(halfRate), m_logGain(logGain)
{
    m_hop = halfRate ? model.hop / 2 : model.hop;
    m_frame = halfRate ? model.frame / 2 : model.frame;
    m_size = halfRate ? model.tableSize / 2 : model.tableSize;
    m_marks.assign(static_cast<size_t>(model.subFrames), 0);
    m_buffers[0].assign(static_cast<size_t>(m_frame), 0.0);
    m_buffers[1].assign(static_cast<size_t>(m_frame), 0.0);
    m_tail.assign(static_cast<size_t>(m_frame - m_hop), 0.0);
}

void Vocoder::before()
{
    std::copy(m_g->pulses, m_g->pulses + kCepMaxPulses, m_pulses);
    m_last = m_g->lastPulse;
    m_spacing = m_g->pulseSpacing;
    m_seedBefore = m_g->noiseSeed;
    m_index = m_g->subFrameIndex;
}

// The frame's time signal in true units (the generator's frame over 2^e).
std::vector<double> Vocoder::spectralFrame(const Frame& f, int32_t pulseCount)
{
    const CepModel& m = m_model;
    const bool fft = m.nb != 0;
    const int32_t n = fft ? m.nb : m.idctRows;
    const int32_t used = fft ? m.dc : m.idctCep;
    std::vector<double> L = logSpectrum(f.cepstrum, n, used, m_logGain, m.q);

    // Shaping: offsets, contrast about the fitted line, exponential.
    const int32_t B = m.bands;
    const int32_t nb = m_half ? std::min(m.halfBands + 1, B) : B;
    double s0 = 0;
    double s1 = 0;
    for (int32_t i = 0; i < B; ++i) {
        L[i] += m.offsets[i];
        s0 += L[i];
        s1 += i * L[i];
    }
    const double mean = s0 / B;
    const double g = s1 / (double(B) * (B - 1)) - mean / 2;
    const double inc = 768 * g / B;
    std::vector<double> mag(static_cast<size_t>(B));
    for (int32_t i = 0; i < nb; ++i) {
        const double line = mean - 6 * g + i * inc / 64;
        L[i] += m.tilt / 32768.0 * (L[i] - line);
        mag[i] = std::exp(L[i] / 2048.0);
    }

    // Bands to bins.
    const int32_t bins = m_size / 2;
    std::vector<double> bin(static_cast<size_t>(bins), 0.0);
    int32_t k = 0;
    size_t w = 0;
    for (; k < m.edges[0]; ++k)
        bin[k] = 0;
    for (; k < m.edges[1]; ++k)
        bin[k] = mag[0];
    const int32_t last = m_half ? m.halfBands - 2 : B - 2;
    for (int32_t j = 0; j <= last; ++j)
        for (; k < m.edges[j + 2]; ++k, ++w)
            bin[k] = (mag[j] * m.weights[w] + mag[j + 1] * (32768 - m.weights[w])) / 32768.0;
    if (!m_half)
        for (; k < m.edges[B + 1]; ++k)
            bin[k] = mag[B - 1];

    // Excitation: the same amplitudes and noise phases, exact phasors.
    int32_t bits = 0;
    while (pulseCount > (1 << bits))
        ++bits;
    const int32_t A = 32767 >> bits;
    int64_t start = 0;
    int32_t step = A;
    int32_t a = 0;
    if (f.voicing == 1 || f.voicing == 2) {
        start = f.voicing == 1 ? m.start1 : m.start2;
        const int64_t end = f.voicing == 1 ? m.end1 : m.end2;
        if (start < end)
            step = static_cast<int32_t>(A / (end - start));
        a = A;
    }
    const double scale = std::ldexp(1.0, bits) / 32768.0;
    uint32_t seed = m_seedBefore;
    const int32_t S = m.tableSize;
    std::vector<std::complex<double>> X(static_cast<size_t>(bins));
    const int32_t stride = m_half ? 2 : 1;
    for (int32_t i = 0; i < bins; ++i) {
        const int32_t kk = i * stride;
        if (kk > start && a > 0)
            a = std::max(0, a - step);
        std::complex<double> e = 0;
        if (a >= 1)
            for (int32_t p = 0; p < pulseCount; ++p)
                e += double(a) *
                     std::polar(1.0, 2 * M_PI * double((int64_t{m_pulses[p]} * kk) % S) / S);
        if (a < A) {
            seed = seed * 214013u + 2531011u;
            const uint32_t j = (seed >> 16) & 0x7FFFu & static_cast<uint32_t>(S - 1);
            e += double(A - a) * std::polar(1.0, 2 * M_PI * j / S);
        }
        X[i] = bin[i] * scale * e;
    }
    X[0] = X[0].real();

    // Hermitian extension; the frame is (1/n) of the sum.
    const int32_t size = m_size;
    std::vector<double> cosine(static_cast<size_t>(size));
    std::vector<double> sine(static_cast<size_t>(size));
    for (int32_t j = 0; j < size; ++j) {
        cosine[j] = std::cos(2 * M_PI * j / size);
        sine[j] = std::sin(2 * M_PI * j / size);
    }
    std::vector<double> x(static_cast<size_t>(m_frame));
    for (int32_t t = 0; t < m_frame; ++t) {
        double sum = X[0].real();
        int32_t phase = 0;
        for (int32_t i = 1; i < bins; ++i) {
            phase += t;
            if (phase >= size)
                phase %= size;
            // Re(X e^(-i phi)) = re cos phi + im sin phi.
            sum += 2 * (X[i].real() * cosine[phase] + X[i].imag() * sine[phase]);
        }
        x[t] = sum / size;
    }
    return x;
}

std::vector<double> Vocoder::after(const Frame& f)
{
    const CepModel& m = m_model;
    const CepPulseState state = {m_pulses, &m_last, &m_spacing};
    const int32_t rate = m_half ? m.rate / 2 : m.rate;
    const int32_t count = CepToSampleFix_UpdatePulses(&state, f.logPitch, f.voicing, m.q, m_hop,
                                                      m_frame, rate);
    const int32_t M = m.subFrames;
    const int32_t index = m_index;
    std::vector<double> frame;
    if (index == 0)
        frame = spectralFrame(f, count);

    std::vector<double> out(static_cast<size_t>(m_frame));
    if (M >= 2) {
        const int32_t mark = count > 0 ? m_pulses[count / 2] : 0;
        m_marks[index] = mark;
        if (index == 0) {
            m_bufferIndex ^= 1;
            for (int32_t i = 0; i < m_frame; ++i)
                m_buffers[m_bufferIndex][i] = frame[(mark + i) % m_frame];
        }
        // The buffers' marks and periods are the generator's, read back.
        const std::vector<double>& cur = m_buffers[m_bufferIndex];
        const std::vector<double>& prev = m_buffers[1 - m_bufferIndex];
        int32_t s = index + 1 < M ? m_marks[index + 1] : m_marks[0];
        auto rotate = [&](const std::vector<double>& in) {
            for (int32_t i = 0; i < m_frame; ++i)
                out[(i + s) % m_frame] = in[i];
        };
        if (index == M - 1) {
            rotate(cur);
        } else {
            if (s == 0) {
                const int32_t c = m_g->bufferIndex;
                const int32_t p = 1 - c;
                const int64_t middle = m_frame / 2;
                int64_t pos = 0;
                auto dist = [&](int64_t v) { return v > middle ? v - middle : middle - v; };
                if (m_g->bufferMarks[p] > 0 && m_g->bufferPeriods[p] > 0) {
                    pos = m_g->bufferMarks[p] - int64_t{index + 1} * m_hop;
                    while (dist(pos + m_g->bufferPeriods[p]) < dist(pos))
                        pos += m_g->bufferPeriods[p];
                } else if (m_g->bufferMarks[c] > 0 && m_g->bufferPeriods[c] > 0) {
                    pos = m_g->bufferMarks[c] + int64_t{M - 1 - index} * m_hop;
                    while (dist(pos - m_g->bufferPeriods[c]) < dist(pos))
                        pos -= m_g->bufferPeriods[c];
                }
                s = pos <= 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(pos, m_frame - 1));
            }
            const double w = double((int64_t{index + 1} << 15) / M) / 32768.0;
            std::vector<double> faded(static_cast<size_t>(m_frame));
            for (int32_t i = 0; i < m_frame; ++i)
                faded[i] = cur[i] * w + prev[i] * (1 - w);
            if (s > 0)
                rotate(faded);
            else if (index % 2 == 0)
                for (int32_t i = 0; i < m_frame; ++i)
                    out[i] = faded[m_frame - 1 - i];
            else
                out = faded;
        }
    } else {
        out = frame;
    }

    const std::vector<int16_t>& h = m_half ? m.halfWindow : m.fullWindow;
    for (int32_t i = 0; i < m_frame - 1 - i; ++i) {
        out[i] *= h[i] / 32768.0;
        out[m_frame - 1 - i] *= h[i] / 32768.0;
    }
    std::vector<double> hop(static_cast<size_t>(m_hop));
    for (int32_t i = 0; i < m_hop; ++i)
        hop[i] = out[i] + m_tail[i];
    for (int32_t i = 0; i < m_frame - 2 * m_hop; ++i)
        m_tail[i] = out[m_hop + i] + m_tail[m_hop + i];
    for (int32_t i = 0; i < m_hop; ++i)
        m_tail[m_frame - 2 * m_hop + i] = out[m_frame - m_hop + i];
    const double coefficient = m.deemphasis / 32768.0;
    for (int32_t i = 0; i < m_hop; ++i) {
        m_deemphasis = hop[i] + coefficient * m_deemphasis;
        hop[i] = m_deemphasis;
    }
    return hop;
}

} // namespace cep_reference
