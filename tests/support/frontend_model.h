// Front-end stage files for tests, tools and benchmarks: the records of
// "bsc0", "bh0", "bfc0", "bmt0" and "bdc0" as plain structures, generated so
// that the fixed-point stages compute the true transforms (a Hamming window,
// exact FFT tables, mel-spaced triangular filters, a DCT-II matrix), and
// their writers over BinFileWriter. Tests change fields before writing to
// build damaged or inconsistent models.
//
// Header-only and free of GoogleTest: it calls the engine runtime, which the
// shared support library does not link.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace frontend_model {

struct SampleSettings {
    int32_t sampleRate = 8000;
    int32_t samplesInShift = 80;
    int32_t samplesInWindow = 200;
    int32_t bufferLength = 200;
    int32_t fftSize = 256;
    int32_t foldWindow = 0;
    int32_t filterBankValue1 = 0;
    int32_t filterBankValue2 = 0;
    int32_t numChannels = 23;
    int32_t numCepstra = 13;
    int32_t rawSamples = 0;
    int32_t powerScale = 0;
};

struct Window {
    int32_t windowLength = 0;
    int32_t outputLength = 0;
    int32_t fold = 0;
    std::vector<int16_t> halfWindow;
};

struct FFT {
    int32_t size = 0;
    int32_t stages = 0;
    std::vector<int16_t> splitTwiddles;
    std::vector<int16_t> twiddles;
    std::vector<int16_t> bitReverse;
};

struct FilterBank {
    int32_t numChannels = 0;
    int32_t value1 = 0;
    int32_t value2 = 0;
    int32_t snapshotFlag = 0;
    int32_t blockScaled = 1;
    int32_t snapshotValue1 = 0;
    int32_t snapshotValue2 = 0;
    int32_t numWeights = 0;
    int32_t logShift = 10;
    int32_t logQuadratic = 0;
    int32_t blockScaled2 = 0;
    std::vector<int16_t> weights;
    std::vector<uint32_t> bounds;
};

struct DCT {
    int32_t numInputs = 0;
    int32_t numCepstra = 0;
    int32_t inputShift = 10;
    int32_t c0Shift = 15;
    int32_t matrixShift = 13;
    std::vector<std::vector<int16_t>> matrix;  // numCepstra - 1 rows of numInputs
};

inline int16_t roundQ(double value)
{
    return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

inline Window makeWindow(int32_t length, int32_t outputLength, bool fold)
{
    Window w;
    w.windowLength = length;
    w.outputLength = outputLength;
    w.fold = fold ? 1 : 0;
    const double pi = std::acos(-1.0);
    for (int32_t i = 0; i < length / 2; ++i)
        w.halfWindow.push_back(roundQ(32767.0 * (0.54 - 0.46 * std::cos(2 * pi * i / (length - 1)))));
    return w;
}

inline FFT makeFFT(int32_t size)
{
    FFT f;
    f.size = size;
    while ((2 << f.stages) < size)
        ++f.stages;
    const double pi = std::acos(-1.0);
    const int32_t points = size / 2;
    for (int32_t k = 0; k < points; ++k) {
        const double phi = 2 * pi * k / size;
        f.splitTwiddles.push_back(roundQ(16384 * std::sin(phi)));
        f.splitTwiddles.push_back(roundQ(16384 * std::cos(phi)));
    }
    for (int32_t k = 0; k < size / 4; ++k) {
        const double theta = 2 * pi * k / points;
        f.twiddles.push_back(roundQ(std::min(32767.0, std::round(32768 * std::cos(theta)))));
        f.twiddles.push_back(roundQ(-32768 * std::sin(theta)));
    }
    for (int32_t i = 0; i < points; ++i) {
        int32_t r = 0;
        for (int32_t b = 0; b < f.stages; ++b)
            if (i & (1 << b))
                r |= 1 << (f.stages - 1 - b);
        f.bitReverse.push_back(static_cast<int16_t>(r));
    }
    return f;
}

// Mel-spaced triangles over bins 0 .. N/2 - 1, bounds strictly rising.
inline FilterBank makeFilterBank(int32_t channels, int32_t fftSize, int32_t sampleRate)
{
    FilterBank b;
    b.numChannels = channels;
    auto mel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
    auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
    const int32_t top = fftSize / 2 - 1;
    const double topMel = mel(static_cast<double>(top) * sampleRate / fftSize);
    for (int32_t i = 0; i < channels + 2; ++i) {
        const double f = hz(topMel * i / (channels + 1));
        uint32_t bin = static_cast<uint32_t>(std::lround(f * fftSize / sampleRate));
        if (i > 0)
            bin = std::max(bin, b.bounds.back() + 1);
        b.bounds.push_back(bin);
    }
    for (int32_t c = 0; c < channels; ++c) {
        const double lo = b.bounds[c];
        const double mid = b.bounds[c + 1];
        const double hi = b.bounds[c + 2];
        for (uint32_t k = b.bounds[c]; k < b.bounds[c + 2]; ++k) {
            const double w = k < mid ? (k - lo) / (mid - lo) : (hi - k) / (hi - mid);
            b.weights.push_back(roundQ(32767.0 * w));
        }
    }
    b.numWeights = static_cast<int32_t>(b.weights.size());
    return b;
}

inline DCT makeDCT(int32_t inputs, int32_t cepstra)
{
    DCT d;
    d.numInputs = inputs;
    d.numCepstra = cepstra;
    const double pi = std::acos(-1.0);
    for (int32_t k = 1; k < cepstra; ++k) {
        std::vector<int16_t> row;
        for (int32_t i = 0; i < inputs; ++i)
            row.push_back(roundQ(std::ldexp(std::cos(pi * k * (i + 0.5) / inputs), d.matrixShift)));
        d.matrix.push_back(row);
    }
    return d;
}

// A complete set of sample-stage files.
struct SampleStageModel {
    SampleSettings settings;
    Window window;
    FFT fft;
    FilterBank bank;
    DCT dct;

    // 8 kHz, 10 ms shift, 25 ms window, 256-point FFT, 23 channels, 13
    // cepstra unless the settings say otherwise.
    static SampleStageModel make(const SampleSettings& s = SampleSettings())
    {
        SampleStageModel m;
        m.settings = s;
        m.window = makeWindow(s.samplesInWindow, s.fftSize, s.foldWindow != 0);
        m.fft = makeFFT(s.fftSize);
        m.bank = makeFilterBank(s.numChannels, s.fftSize, s.sampleRate);
        m.dct = makeDCT(s.numChannels, s.numCepstra);
        return m;
    }
};

inline bool writeInts(BinFileWriter* w, std::initializer_list<int32_t> values)
{
    for (int32_t v : values)
        if (BinFileWriter_WriteInt(w, v) != 1)
            return false;
    return true;
}

template <typename T>
bool writeArray(BinFileWriter* w, const std::vector<T>& values)
{
    return BinFileWriter_WriteArray(w, values.empty() ? nullptr : values.data(),
                                    static_cast<uint32_t>(values.size()), sizeof(T)) == 1;
}

inline bool write(BinFileWriter* w, const SampleSettings& s)
{
    return writeInts(w, {s.sampleRate, s.samplesInShift, s.samplesInWindow, s.bufferLength,
                         s.fftSize, s.foldWindow, s.filterBankValue1, s.filterBankValue2,
                         s.numChannels, s.numCepstra, s.rawSamples, s.powerScale});
}

inline bool write(BinFileWriter* w, const Window& x)
{
    return writeInts(w, {x.windowLength, x.outputLength, x.fold}) && writeArray(w, x.halfWindow);
}

inline bool write(BinFileWriter* w, const FFT& x)
{
    return writeInts(w, {x.size, x.stages}) && writeArray(w, x.splitTwiddles) &&
           writeArray(w, x.twiddles) && writeArray(w, x.bitReverse);
}

inline bool write(BinFileWriter* w, const FilterBank& x)
{
    return writeInts(w, {x.numChannels, x.value1, x.value2, x.snapshotFlag, x.blockScaled,
                         x.snapshotValue1, x.snapshotValue2, x.numWeights, x.logShift,
                         x.logQuadratic, x.blockScaled2}) &&
           writeArray(w, x.weights) && writeArray(w, x.bounds);
}

inline bool write(BinFileWriter* w, const DCT& x)
{
    if (!writeInts(w, {x.numInputs, x.numCepstra, x.inputShift, x.c0Shift, x.matrixShift}))
        return false;
    const uint32_t rows = static_cast<uint32_t>(x.matrix.size());
    const uint32_t columns = rows == 0 ? static_cast<uint32_t>(x.numInputs)
                                       : static_cast<uint32_t>(x.matrix[0].size());
    if (BinFileWriter_WriteUnsignedInt(w, rows) != 1 ||
        BinFileWriter_WriteUnsignedInt(w, columns) != 1)
        return false;
    for (const auto& row : x.matrix)
        if (!writeArray(w, row))
            return false;
    return true;
}

// One record set as a sub-file; false when any write failed.
template <typename Record>
bool writeSubFile(DVKTar* tar, const char* tag, const Record& record, const char* prefix = nullptr)
{
    BinFileWriter* w = BinFileWriter_Create(tar, tag, prefix);
    if (w == nullptr)
        return false;
    const bool ok = write(w, record);
    return BinFileWriter_Delete(w) == 0 && ok;
}

inline bool writeSampleStage(DVKTar* tar, const SampleStageModel& m, const char* prefix = nullptr)
{
    return writeSubFile(tar, "bsc0", m.settings, prefix) &&
           writeSubFile(tar, "bh0", m.window, prefix) && writeSubFile(tar, "bfc0", m.fft, prefix) &&
           writeSubFile(tar, "bmt0", m.bank, prefix) && writeSubFile(tar, "bdc0", m.dct, prefix);
}

} // namespace frontend_model
