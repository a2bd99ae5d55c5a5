// Vocoder model files for tests: the eight sub-files of the fixed-point
// waveform generator ("bcs0", "bc0", "bfi0" or "idctcoeff", "bim0", "bpt0",
// "bif0", "bh1") made from a small description, with tables under which the
// algorithms compute the true transforms. A CepModel holds every record as
// it will be written, so tests damage it field by field before writing.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Free of the test framework, so benchmarks use it too.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

struct CepModelSpec {
    int32_t rate = 16000;
    int32_t hop = 80;              // H
    int32_t frame = 512;           // F = W
    int32_t transform = 64;        // N; not a power of two selects "idctcoeff"
    int32_t maxOrder = 8;          // S = 2^(maxOrder + 1)
    int32_t ifftOrder = 8;
    int32_t cepLength = 25;        // Dc, or C of "idctcoeff"
    int32_t fftShift = 10;         // sh
    int32_t q = 12;
    int32_t subFrames = 1;         // M
    int16_t deemphasis = 26214;
    int32_t levelBase = 12000;
    int32_t levelSlope = 256;
    int32_t levelOffset = 0;
    int16_t tilt = 0;
    std::vector<int16_t> offsets;  // per band; empty: all 0
    int32_t start2 = 120, end2 = 200;
    int32_t start1 = 60, end1 = 120;
};

struct CepModel {
    // "bcs0"
    int32_t wrapperKept[3] = {1, 2, 3};
    int32_t wrapperFlag = 1;
    // "bc0"
    int32_t valid = 1;
    int32_t rate = 0, hop = 0, frame = 0, transform = 0;
    int32_t config[7] = {};
    int32_t keptFlag = 0;
    double keptReal = 0.5;
    int32_t deemphasis = 0;
    int32_t secondWord = 0;
    int32_t levelSlope = 0, levelOffset = 0, subFrames = 1, spectrumLength = 0, ifftOrder = 0;
    int32_t q = 0, levelBase = 0;
    int32_t state[5] = {};
    uint32_t seed = 0;
    int32_t logGain = 0, halfRate = 0, pending = 0;
    // "bfi0"
    int32_t dc = 0, nb = 0, fftOrder = 0, fftShift = 0;
    std::vector<int16_t> t1, t2, t3;
    // "idctcoeff"
    int32_t idctRows = 0, idctCep = 0;
    std::vector<std::vector<int16_t>> matrix;
    // "bim0"
    int32_t bands = 0, halfBands = 0, shapeKept[3] = {}, weightCount = 0;
    int32_t tilt = 0;
    std::vector<int16_t> weights, edges, offsets;
    // "bpt0"
    int32_t tableSize = 0, start2 = 0, end2 = 0, start1 = 0, end1 = 0;
    std::vector<int16_t> sine;
    // "bif0"
    uint32_t ifftSize = 0;
    int32_t ifftMaxOrder = 0;
    std::vector<int16_t> realTwiddles, butterfly, bitReverse;
    // "bh1"
    int32_t windowLength = 0;
    std::vector<int16_t> fullWindow, halfWindow;

    std::set<std::string> omitted;   // sub-files left out
    std::set<std::string> truncated; // sub-files cut after their first record
};

namespace cep_model_detail {

inline int16_t q15(double v)
{
    return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

// The periodic Hann window over length samples, its first half.
inline std::vector<int16_t> hannHalf(int32_t length)
{
    std::vector<int16_t> half(static_cast<size_t>(length / 2));
    for (int32_t i = 0; i < length / 2; ++i)
        half[i] = q15(32768.0 * (0.5 - 0.5 * std::cos(2 * M_PI * (i + 0.5) / length)));
    return half;
}

inline bool isPowerOfTwo(int32_t v) { return v >= 1 && (v & (v - 1)) == 0; }

} // namespace cep_model_detail

inline CepModel CepModel_Make(const CepModelSpec& spec)
{
    using cep_model_detail::q15;
    CepModel m;
    m.rate = spec.rate;
    m.hop = spec.hop;
    m.frame = spec.frame;
    m.transform = spec.transform;
    m.deemphasis = spec.deemphasis;
    m.levelSlope = spec.levelSlope;
    m.levelOffset = spec.levelOffset;
    m.subFrames = spec.subFrames;
    const int32_t S = 2 << spec.maxOrder;
    m.spectrumLength = S;
    m.ifftOrder = spec.ifftOrder;
    m.q = spec.q;
    m.levelBase = spec.levelBase;
    m.state[2] = 80;
    m.seed = 1;

    const int32_t N = spec.transform;
    if (cep_model_detail::isPowerOfTwo(N)) {
        m.dc = spec.cepLength;
        m.nb = N;
        m.fftOrder = 0;
        while ((2 << m.fftOrder) < N)
            ++m.fftOrder;
        m.fftShift = spec.fftShift;
        for (int32_t k = 0; k < (m.dc + 1) / 2; ++k) {
            m.t1.push_back(q15(32767 * std::sin(M_PI * (k + 1) / N)));
            m.t2.push_back(q15(32767 * std::cos(M_PI * (k + 1) / N)));
        }
        for (int32_t i = 0; i < N / 2; ++i)
            m.t3.push_back(q15(std::ldexp(1.0, m.fftShift - 1) / std::sin(M_PI * (i + 0.5) / N)));
    } else {
        m.idctRows = N;
        m.idctCep = spec.cepLength;
        m.matrix.assign(static_cast<size_t>(N), {});
        for (int32_t i = 0; i < N; ++i)
            for (int32_t j = 1; j < spec.cepLength; ++j)
                m.matrix[i].push_back(q15(4096.0 / N * std::cos(M_PI * j * (i + 0.5) / N)));
    }

    // One band per log-spectrum value, centred at (S/2)(j + 1/2)/N; the bins
    // between two centres interpolate linearly.
    m.bands = N;
    m.tilt = spec.tilt;
    std::vector<double> centre;
    m.edges.push_back(0);
    for (int32_t j = 0; j < N; ++j) {
        centre.push_back(S / 2.0 * (j + 0.5) / N);
        m.edges.push_back(static_cast<int16_t>(std::ceil(centre.back())));
    }
    m.edges.push_back(static_cast<int16_t>(S / 2));
    for (int32_t j = 0; j + 1 < N; ++j)
        for (int32_t k = m.edges[j + 1]; k < m.edges[j + 2]; ++k)
            m.weights.push_back(q15(32768.0 * (centre[j + 1] - k) / (centre[j + 1] - centre[j])));
    m.weightCount = static_cast<int32_t>(m.weights.size());
    m.halfBands = 1;
    for (int32_t j = 1; j <= N; ++j)
        if (m.edges[j] <= S / 4)
            m.halfBands = j;
    m.offsets = spec.offsets.empty() ? std::vector<int16_t>(static_cast<size_t>(N), 0)
                                     : spec.offsets;

    m.tableSize = S;
    m.start2 = spec.start2;
    m.end2 = spec.end2;
    m.start1 = spec.start1;
    m.end1 = spec.end1;
    for (int32_t j = 0; j < S / 4 * 5; ++j)
        m.sine.push_back(q15(32768 * std::sin(2 * M_PI * j / S)));

    m.ifftSize = static_cast<uint32_t>(S);
    m.ifftMaxOrder = spec.maxOrder;
    for (int32_t q = 0; q < S / 2; ++q) {
        m.realTwiddles.push_back(q15(-16384 * std::sin(2 * M_PI * q / S)));
        m.realTwiddles.push_back(q15(16384 * std::cos(2 * M_PI * q / S)));
    }
    for (int32_t q = 0; q < S / 4; ++q) {
        m.butterfly.push_back(q15(32768 * std::cos(4 * M_PI * q / S)));
        m.butterfly.push_back(q15(-32768 * std::sin(4 * M_PI * q / S)));
    }
    for (int32_t i = 0; i < S / 2; ++i) {
        int32_t r = 0;
        for (int32_t b = 0; b < spec.maxOrder; ++b)
            r |= ((i >> b) & 1) << (spec.maxOrder - 1 - b);
        m.bitReverse.push_back(static_cast<int16_t>(static_cast<uint16_t>(2 * r)));
    }

    m.windowLength = spec.frame;
    m.fullWindow = cep_model_detail::hannHalf(spec.frame);
    m.halfWindow = cep_model_detail::hannHalf(spec.frame / 2);
    return m;
}

namespace cep_model_detail {

// Writes records in order; a truncated sub-file stops after the first.
class Records {
public:
    Records(BinFileWriter* writer, bool truncate) : m_writer(writer), m_truncate(truncate) {}
    Records& i(int32_t v) { return put([&] { return BinFileWriter_WriteInt(m_writer, v); }); }
    Records& u(uint32_t v)
    {
        return put([&] { return BinFileWriter_WriteUnsignedInt(m_writer, v); });
    }
    Records& real(double v) { return put([&] { return BinFileWriter_WriteReal(m_writer, v); }); }
    Records& shorts(const std::vector<int16_t>& v)
    {
        return put([&] {
            return BinFileWriter_WriteArray(m_writer, v.data(), static_cast<uint32_t>(v.size()),
                                            sizeof(int16_t));
        });
    }
    Records& grid(const std::vector<std::vector<int16_t>>& rows, int32_t columns)
    {
        return put([&] {
            std::vector<const int16_t*> pointers;
            for (const auto& row : rows)
                pointers.push_back(row.data());
            return BinFileWriter_WriteArray2D(m_writer, rows.empty() ? nullptr : pointers.data(),
                                              static_cast<int32_t>(rows.size()), columns,
                                              sizeof(int16_t));
        });
    }
    bool ok() const { return m_ok; }

private:
    Records& put(const std::function<int32_t()>& write)
    {
        if (m_truncate && m_count > 0)
            return *this;
        m_ok = m_ok && write() != 0;
        ++m_count;
        return *this;
    }
    BinFileWriter* m_writer;
    bool m_truncate;
    bool m_ok = true;
    int m_count = 0;
};

} // namespace cep_model_detail

// Writes the model's sub-files (those not omitted) into a writable archive;
// true when every record was written.
inline bool CepModel_WriteTo(DVKTar* tar, const CepModel& m, const char* prefix)
{
    using cep_model_detail::Records;
    bool ok = true;
    auto add = [&](const char* tag, const std::function<void(Records&)>& fill) {
        if (m.omitted.count(tag) != 0)
            return;
        BinFileWriter* writer = BinFileWriter_Create(tar, tag, prefix);
        if (writer == nullptr) {
            ok = false;
            return;
        }
        Records r(writer, m.truncated.count(tag) != 0);
        fill(r);
        const bool completed = BinFileWriter_Delete(writer) == 0;
        ok = ok && r.ok() && completed;
    };
    add("bcs0", [&](Records& r) {
        r.i(m.wrapperKept[0]).i(m.wrapperKept[1]).i(m.wrapperKept[2]).i(m.wrapperFlag);
    });
    add("bc0", [&](Records& r) {
        r.i(m.valid).i(m.rate).i(m.hop).i(m.frame).i(m.transform);
        for (int32_t v : m.config)
            r.i(v);
        r.i(m.keptFlag).real(m.keptReal).i(m.deemphasis).i(m.secondWord);
        r.i(m.levelSlope).i(m.levelOffset).i(m.subFrames).i(m.spectrumLength).i(m.ifftOrder);
        r.i(m.q).i(m.levelBase);
        for (int32_t v : m.state)
            r.i(v);
        r.u(m.seed).i(m.logGain).i(m.halfRate).i(m.pending);
    });
    if (m.nb != 0)
        add("bfi0", [&](Records& r) {
            r.i(m.dc).i(m.nb).i(m.fftOrder).i(m.fftShift).shorts(m.t1).shorts(m.t2).shorts(m.t3);
        });
    if (m.idctRows != 0)
        add("idctcoeff", [&](Records& r) {
            r.i(m.idctRows).i(m.idctCep);
            r.grid(m.matrix, m.matrix.empty() ? m.idctCep - 1
                                              : static_cast<int32_t>(m.matrix[0].size()));
        });
    add("bim0", [&](Records& r) {
        r.i(m.bands).i(m.halfBands).i(m.shapeKept[0]).i(m.shapeKept[1]).i(m.shapeKept[2]);
        r.i(m.weightCount).i(m.tilt).shorts(m.weights).shorts(m.edges).shorts(m.offsets);
    });
    add("bpt0", [&](Records& r) {
        r.i(m.tableSize).i(m.start2).i(m.end2).i(m.start1).i(m.end1).shorts(m.sine);
    });
    add("bif0", [&](Records& r) {
        r.u(m.ifftSize).i(m.ifftMaxOrder).shorts(m.realTwiddles).shorts(m.butterfly);
        r.shorts(m.bitReverse);
    });
    add("bh1", [&](Records& r) {
        r.i(m.windowLength).shorts(m.fullWindow).shorts(m.halfWindow);
    });
    return ok;
}

struct CepModelDamage {
    const char* name;
    std::function<void(CepModel&)> apply;
};

// Models the generator's loader must refuse, made from a sound model with the
// real transform ("bfi0") or the cosine matrix ("idctcoeff").
inline std::vector<CepModelDamage> CepModel_Damages()
{
    using M = CepModel&;
    return {
        {"missing bcs0", [](M m) { m.omitted.insert("bcs0"); }},
        {"short bcs0", [](M m) { m.truncated.insert("bcs0"); }},
        {"missing bc0", [](M m) { m.omitted.insert("bc0"); }},
        {"short bc0", [](M m) { m.truncated.insert("bc0"); }},
        {"bc0 not marked valid", [](M m) { m.valid = 0; }},
        {"bc0 boolean not 0 or 1", [](M m) { m.valid = 2; }},
        {"rate below 2", [](M m) { m.rate = 1; }},
        {"rate above 65535", [](M m) { m.rate = 65536; }},
        {"hop below 1", [](M m) { m.hop = 0; }},
        {"frame below two hops", [](M m) { m.frame = 2 * m.hop - 1; }},
        {"no sub-frames", [](M m) { m.subFrames = 0; }},
        {"sub-frames past the cross-fade's resolution", [](M m) { m.subFrames = (1 << 15) + 1; }},
        {"q below 11", [](M m) { m.q = 10; }},
        {"q above 30", [](M m) { m.q = 31; }},
        {"ifft order below 3", [](M m) { m.ifftOrder = 2; }},
        {"ifft order above the table's", [](M m) { m.ifftOrder = m.ifftMaxOrder + 1; }},
        {"frame longer than the transform", [](M m) { m.frame = (2 << m.ifftOrder) + 2; }},
        {"spectrum buffer below S", [](M m) { m.spectrumLength = m.tableSize - 1; }},
        {"spectrum buffer past the longest transform", [](M m) { m.spectrumLength = (2 << 15) + 2; }},
        {"window length not the frame", [](M m) { m.windowLength = m.frame - 4; m.fullWindow.resize(static_cast<size_t>(m.windowLength / 2)); m.halfWindow.resize(static_cast<size_t>(m.windowLength / 4)); }},
        {"missing bh1", [](M m) { m.omitted.insert("bh1"); }},
        {"window without entries", [](M m) { m.fullWindow.clear(); }},
        {"half window count", [](M m) { m.halfWindow.pop_back(); }},
        {"missing bpt0", [](M m) { m.omitted.insert("bpt0"); }},
        {"sine table size not S", [](M m) { m.tableSize /= 2; m.sine.resize(static_cast<size_t>(m.tableSize / 4 * 5)); }},
        {"sine table without entries", [](M m) { m.sine.clear(); }},
        {"sine table count", [](M m) { m.sine.pop_back(); }},
        {"missing bif0", [](M m) { m.omitted.insert("bif0"); }},
        {"ifft size not 2^(order+1)", [](M m) { m.ifftSize += 2; }},
        {"ifft twiddles without entries", [](M m) { m.realTwiddles.clear(); }},
        {"ifft butterfly count", [](M m) { m.butterfly.pop_back(); }},
        {"bit reversal not the reversal", [](M m) { std::swap(m.bitReverse[1], m.bitReverse[2]); }},
        {"bit reversal out of range", [](M m) { m.bitReverse[1] = -2; }},
        {"missing bim0", [](M m) { m.omitted.insert("bim0"); }},
        {"bands below 2", [](M m) { m.bands = 1; m.edges.resize(3); m.offsets.resize(1); }},
        {"bands above N", [](M m) { m.bands = m.transform + 1; m.edges.insert(m.edges.end() - 1, m.edges[m.edges.size() - 2]); m.offsets.push_back(0); }},
        {"half bands below 1", [](M m) { m.halfBands = 0; }},
        {"half bands above bands", [](M m) { m.halfBands = m.bands + 1; }},
        {"negative edge", [](M m) { m.edges[0] = -1; }},
        {"decreasing edges", [](M m) { std::swap(m.edges[3], m.edges[4]); }},
        {"edge past S/2", [](M m) { m.edges.back() = static_cast<int16_t>(m.tableSize / 2 + 1); }},
        {"half-rate edge past S/4", [](M m) { m.halfBands += 1; }},
        {"too few weights", [](M m) { m.weights.pop_back(); m.weightCount -= 1; }},
        {"weight count not the weights", [](M m) { m.weightCount += 1; }},
        {"offsets without entries", [](M m) { m.offsets.clear(); }},
        {"edges count", [](M m) { m.edges.pop_back(); }},
    };
}

// Refusals of the real transform's tables (the model must use "bfi0").
inline std::vector<CepModelDamage> CepModel_FftDamages()
{
    using M = CepModel&;
    return {
        {"missing bfi0", [](M m) { m.omitted.insert("bfi0"); }},
        {"short bfi0", [](M m) { m.truncated.insert("bfi0"); }},
        {"Nb not N", [](M m) { m.nb /= 2; m.fftOrder -= 1; m.t3.resize(static_cast<size_t>(m.nb / 2)); }},
        {"Nb not 2^(order+1)", [](M m) { m.fftOrder += 1; }},
        {"order below 2", [](M m) { m.fftOrder = 1; m.nb = 4; m.transform = 4; m.dc = 1; m.t1.resize(1); m.t2.resize(1); m.t3.resize(2); }},
        {"order above the ifft's", [](M m) { m.fftOrder = m.ifftMaxOrder + 1; m.nb = 2 << m.fftOrder; m.transform = m.nb; m.t3.resize(static_cast<size_t>(m.nb / 2)); }},
        {"cepstrum too long", [](M m) { m.dc = m.nb - 2; m.t1.resize(static_cast<size_t>((m.dc + 1) / 2)); m.t2.resize(static_cast<size_t>((m.dc + 1) / 2)); }},
        {"shift below 0", [](M m) { m.fftShift = -1; }},
        {"shift above 15", [](M m) { m.fftShift = 16; }},
        {"T1 without entries", [](M m) { m.t1.clear(); }},
        {"T2 count", [](M m) { m.t2.pop_back(); }},
        {"T3 without entries", [](M m) { m.t3.clear(); }},
    };
}

// Refusals of the cosine matrix (the model must use "idctcoeff").
inline std::vector<CepModelDamage> CepModel_IdctDamages()
{
    using M = CepModel&;
    return {
        {"missing idctcoeff", [](M m) { m.omitted.insert("idctcoeff"); }},
        {"short idctcoeff", [](M m) { m.truncated.insert("idctcoeff"); }},
        {"R not N", [](M m) { m.idctRows -= 1; m.matrix.pop_back(); }},
        {"C below 1", [](M m) { m.idctCep = 0; }},
        {"matrix without rows", [](M m) { m.matrix.clear(); }},
        {"matrix columns", [](M m) { m.idctCep += 1; }},
    };
}
