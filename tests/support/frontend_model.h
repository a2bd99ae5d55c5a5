// Front-end stage files for tests, tools and benchmarks: the records of
// "bsc0", "bh0", "bfc0", "bmt0" and "bdc0" as plain structures, generated so
// that the fixed-point stages compute the true transforms (a Hamming window,
// exact FFT tables, mel-spaced triangular filters, a DCT-II matrix), the
// records of "bdf0", "bcw0", "bld0", "bch0" and "bcp0", and their writers
// over BinFileWriter. Tests change fields before writing to
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

struct DeltaFilter {
    int32_t halfWidth = 2;
    int32_t numStatics = 13;
    int32_t featureLength = 39;
    int32_t replicateEdges = 1;
    int32_t useTaps = 0;
    std::vector<int16_t> deltaTaps;  // 2N + 1 (written only with useTaps)
    std::vector<int16_t> accelTaps;
};

// Regression taps with h = N/2: k / (2 sum k^2) in Q14 for |k| <= h, zeros
// out to N; the second order is that kernel convolved with itself.
inline DeltaFilter makeDeltaFilter(int32_t halfWidth, int32_t statics, int32_t length, bool taps,
                                   bool replicate)
{
    DeltaFilter f;
    f.halfWidth = halfWidth;
    f.numStatics = statics;
    f.featureLength = length;
    f.replicateEdges = replicate;
    f.useTaps = taps;
    if (!taps)
        return f;
    const int32_t h = halfWidth / 2;
    double q = 0;
    for (int32_t k = 1; k <= h; ++k)
        q += 2.0 * k * k;
    std::vector<double> kernel(2 * halfWidth + 1, 0.0);
    for (int32_t k = -h; k <= h; ++k)
        kernel[halfWidth + k] = q > 0 ? k / q : 0.0;
    std::vector<double> accel(2 * halfWidth + 1, 0.0);
    for (int32_t a = -h; a <= h; ++a)
        for (int32_t b = -h; b <= h; ++b)
            accel[halfWidth + a + b] += kernel[halfWidth + a] * kernel[halfWidth + b];
    for (int32_t i = 0; i < 2 * halfWidth + 1; ++i) {
        f.deltaTaps.push_back(roundQ(16384 * kernel[i]));
        f.accelTaps.push_back(roundQ(16384 * accel[i]));
    }
    return f;
}

struct CepstralWarp {
    int32_t numStatics = 13;
    int32_t numUsed = 12;
};

struct LinearTransform {
    int32_t numOutputs = 0;
    int32_t rowLength = 1;
    int32_t numRows = 0;
    int32_t numDiagonal = 0;
    int32_t shiftA = 6;
    int32_t offsetShift = 0;
    int32_t shiftB = 4;
    std::vector<int32_t> rowIndex;
    std::vector<int16_t> offsets;
    std::vector<std::vector<int16_t>> matrix;
};

// A diagonal transform of every feature: scale / 2^(shiftA + shiftB), offset 128.
inline LinearTransform makeDiagonalTransform(int32_t features, int16_t scale = 1024)
{
    LinearTransform t;
    t.numOutputs = features;
    t.numRows = features;
    t.numDiagonal = features;
    for (int32_t i = 0; i < features; ++i) {
        t.rowIndex.push_back(i);
        t.offsets.push_back(128);
        t.matrix.push_back({scale});
    }
    return t;
}

struct OutputTransforms {
    LinearTransform first;
    bool hasSecond = false;
    LinearTransform second;
};

struct ChannelNorm {
    int32_t normShift = 10;
    int32_t meanRateShift = 7;
    int32_t varRateShift = 9;
    int32_t numLeading = 0;
    int32_t dim = 0;
    uint32_t minFrames = 0;
    int32_t adaptOnline = 0;
    int32_t normaliseVariance = 0;
    int32_t accumulateAll = 0;
    int32_t splitLeading = 0;
    std::vector<int16_t> means, stds, initialMeans, initialStds;
};

inline ChannelNorm makeChannelNorm(int32_t dim, int16_t mean = 0, int16_t std = 1024)
{
    ChannelNorm c;
    c.dim = dim;
    c.means.assign(dim, mean);
    c.stds.assign(dim, std);
    c.initialMeans.assign(dim, mean);
    c.initialStds.assign(dim, std);
    return c;
}

struct EnergyStage {
    int32_t dim = 0;
    int32_t arrayLength = 0;
    int32_t scaleShift = 10;
    int32_t warmupFrames = 10;
    int32_t rateShift = 6;
    int32_t kept = 0;
    int16_t minRange = 256;
    int16_t rangeSlope = 0;
    int16_t rangeOffset = 0;
    int16_t shrink = 10;
    int16_t jumpFactor = 16384;
    std::vector<int16_t> slopes, offsets;
};

// Tracks dim means; the c0 mean sits a quarter of the range above the floor
// and every deviation is a fifth of the range plus 64.
inline EnergyStage makeEnergyStage(int32_t dim, int32_t normalisedDim)
{
    EnergyStage e;
    e.dim = dim;
    e.arrayLength = normalisedDim + 1;
    e.slopes.assign(e.arrayLength, 205);
    e.offsets.assign(e.arrayLength, 64);
    e.slopes[0] = 256;
    e.offsets[0] = 0;
    return e;
}

// "bfx1": the front end's configuration.
struct FrontEndConfig {
    int32_t sampleRate = 8000;
    int32_t frameShiftMs = 10;
    int32_t windowMs = 25;
    int32_t samplesInShift = 80;
    int32_t samplesInWindow = 200;
    int32_t numCepstra = 13;
    int32_t featureLength = 39;
    int32_t cepstralShift = 7;
    int32_t featureDim = 39;
    int32_t minRingFrames = 5;
    int32_t ringSize = 32;
    int32_t deltaHalfWidth = 2;
    int32_t trackerLagFrames = 8;
    int32_t cnLag = 0;
    int32_t hasEnergyStage = 0;
    int32_t hasCepstralWarp = 0;
    int32_t flushDeltaAtEnd = 1;
    int32_t altOutput = 0;
    int32_t channelCheck = 0;
    int32_t diagonalTransform = 1;
};

// A complete front end: 8 kHz, 10 ms shift, 25 ms window, 13 cepstra and
// their two orders of dynamics (N = 2, edges replicated), channel means
// only (c0's at a typical level), a diagonal transform of x / 16 + 128 to
// 39 bytes.
struct FrontEndModel {
    int32_t fixedPoint = 1;  // "bfty"
    FrontEndConfig config;
    SampleStageModel sample = SampleStageModel::make();
    DeltaFilter delta = makeDeltaFilter(2, 13, 39, false, true);
    ChannelNorm channelNorm = typicalChannel();
    EnergyStage energy = makeEnergyStage(13, 39);     // written when config asks for it
    CepstralWarp cepstralWarp = {13, 12};              // likewise
    OutputTransforms output = diagonalOutput(39);

    static ChannelNorm typicalChannel()
    {
        ChannelNorm c = makeChannelNorm(39, 0, 1024);
        c.means[0] = c.initialMeans[0] = 6000;
        return c;
    }

    static OutputTransforms diagonalOutput(int32_t features)
    {
        OutputTransforms t;
        t.first = makeDiagonalTransform(features, 64);
        return t;
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

inline bool write(BinFileWriter* w, const DeltaFilter& x)
{
    if (!writeInts(w, {x.halfWidth, x.numStatics, x.featureLength, x.replicateEdges, x.useTaps}))
        return false;
    return !x.useTaps || (writeArray(w, x.deltaTaps) && writeArray(w, x.accelTaps));
}

inline bool write(BinFileWriter* w, const CepstralWarp& x)
{
    return writeInts(w, {x.numStatics, x.numUsed});
}

inline bool writeTransform(BinFileWriter* w, const LinearTransform& x)
{
    if (!writeInts(w, {x.numOutputs, x.rowLength, x.numRows, x.numDiagonal, x.shiftA,
                       x.offsetShift, x.shiftB}) ||
        !writeArray(w, x.rowIndex) || !writeArray(w, x.offsets))
        return false;
    const uint32_t columns = x.matrix.empty() ? static_cast<uint32_t>(x.rowLength)
                                              : static_cast<uint32_t>(x.matrix[0].size());
    if (BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(x.matrix.size())) != 1 ||
        BinFileWriter_WriteUnsignedInt(w, columns) != 1)
        return false;
    for (const auto& row : x.matrix)
        if (!writeArray(w, row))
            return false;
    return true;
}

inline bool write(BinFileWriter* w, const OutputTransforms& x)
{
    return writeTransform(w, x.first) && writeInts(w, {x.hasSecond ? 1 : 0}) &&
           (!x.hasSecond || writeTransform(w, x.second));
}

inline bool write(BinFileWriter* w, const ChannelNorm& x)
{
    return writeInts(w, {x.normShift, x.meanRateShift, x.varRateShift, x.numLeading, x.dim,
                         static_cast<int32_t>(x.minFrames), x.adaptOnline, x.normaliseVariance,
                         x.accumulateAll, x.splitLeading}) &&
           writeArray(w, x.means) && writeArray(w, x.stds) && writeArray(w, x.initialMeans) &&
           writeArray(w, x.initialStds);
}

inline bool write(BinFileWriter* w, const EnergyStage& x)
{
    return writeInts(w, {x.dim, x.arrayLength, x.scaleShift, x.warmupFrames, x.rateShift, x.kept,
                         x.minRange, x.rangeSlope, x.rangeOffset, x.shrink, x.jumpFactor}) &&
           writeArray(w, x.slopes) && writeArray(w, x.offsets);
}

inline bool write(BinFileWriter* w, const FrontEndConfig& c)
{
    return writeInts(w, {c.sampleRate, c.frameShiftMs, c.windowMs, c.samplesInShift,
                         c.samplesInWindow, c.numCepstra, c.featureLength, c.cepstralShift,
                         c.featureDim, c.minRingFrames, c.ringSize, c.deltaHalfWidth,
                         c.trackerLagFrames, c.cnLag, c.hasEnergyStage, c.hasCepstralWarp,
                         c.flushDeltaAtEnd, c.altOutput, c.channelCheck, c.diagonalTransform});
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

struct FixedPointFlag {
    int32_t value;
};

inline bool write(BinFileWriter* w, const FixedPointFlag& f) { return writeInts(w, {f.value}); }

// Every sub-file of a front end ("bfty", "bfx1" and the stages).
inline bool writeFrontEnd(DVKTar* tar, const FrontEndModel& m, const char* prefix = nullptr)
{
    return writeSubFile(tar, "bfty", FixedPointFlag{m.fixedPoint}, prefix) &&
           writeSubFile(tar, "bfx1", m.config, prefix) && writeSampleStage(tar, m.sample, prefix) &&
           writeSubFile(tar, "bdf0", m.delta, prefix) &&
           writeSubFile(tar, "bch0", m.channelNorm, prefix) &&
           (!m.config.hasEnergyStage || writeSubFile(tar, "bcp0", m.energy, prefix)) &&
           (!m.config.hasCepstralWarp || writeSubFile(tar, "bcw0", m.cepstralWarp, prefix)) &&
           writeSubFile(tar, "bld0", m.output, prefix);
}

} // namespace frontend_model
