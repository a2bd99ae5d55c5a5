// Synthesis model files for tests, benchmarks and fuzz seeds: the records of
// "btc0" (the decoding tables of the context decision trees), the three
// acoustic models the trees live in ("ba2" spectrum, "ba3" duration, "ba4"
// pitch, through acoustic_model_records.h) and the trajectory optimiser's
// records, which the synthesiser keeps inside its own sub-file (tests write
// them as a sub-file of their own).
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Free of the test framework.
#pragma once

#include "tests/support/acoustic_model_records.h"
#include "tests/support/cep_trajectory_reference.h"

#include <cstdint>
#include <vector>

struct CepDTreeSpec {
    int32_t D = 2;
    int32_t phonemeNodes = 40;
    int32_t integerScaling = 1;
    int32_t byteOffset = 128;
    int32_t fifthWord = 5;
    int32_t shift = 4;
    int32_t rounding = 8;
    // Tables; with integer scaling an empty base or scale gets 3 x D of
    // 100 and 3. The others are written as given (empty: absent).
    std::vector<int32_t> base, scale, third, fourth, postScale;
    uint32_t phonemeSetCRC = 0xC0FFEE11u;
};

inline AcousticModelRecords cepDTreeRecords(const CepDTreeSpec& spec)
{
    AcousticModelRecords r;
    r.word("1.D", spec.D);
    r.word("2.phonemeNodes", spec.phonemeNodes);
    r.word("3.integerScaling", spec.integerScaling);
    r.word("4.byteOffset", spec.byteOffset);
    r.word("5.fifth", spec.fifthWord);
    r.word("6.shift", spec.shift);
    r.word("7.rounding", spec.rounding);
    if (spec.integerScaling) {
        const size_t three = 3 * static_cast<size_t>(std::max(spec.D, 0));
        r.array("8.base", spec.base.empty() ? std::vector<int32_t>(three, 100) : spec.base);
        r.array("8.scale", spec.scale.empty() ? std::vector<int32_t>(three, 3) : spec.scale);
        r.array("8.third", spec.third);
        r.array("8.fourth", spec.fourth);
        r.array("8.postScale", spec.postScale);
    }
    r.word("9.phonemeSetCRC", static_cast<int32_t>(spec.phonemeSetCRC));
    return r;
}

// The state-tying tree of a synthesis model: one phone, a root per state
// position. Position 0 asks whether context byte 0 is 1 (state 1, else 0);
// position s >= 1 is the leaf state s + 1.
inline AcousticTreeSpec synthesisTree(int32_t positions)
{
    AcousticTreeSpec t;
    t.phones = 1;
    t.positions = positions;
    t.maxStateId = positions;
    t.contextVector = true;
    t.roots.push_back({0, 1, 0});
    for (int32_t s = 1; s < positions; ++s)
        t.roots.push_back({0, 0, s + 1});
    t.questionIndex = {0};
    t.no = {0};
    t.yes = {1};
    t.slots = {0};
    t.questionBits = {0x02};
    return t;
}

// One synthesis model over positions + 1 single-component states with the
// given byte means (states x dim; seeded when empty).
inline AcousticModelSpec synthesisModelSpec(int32_t dim, int32_t positions,
                                            std::vector<uint8_t> means = {})
{
    AcousticModelSpec s;
    s.states = positions + 1;
    s.componentsPerState = 1;
    s.dim = dim;
    s.covType = 2;
    s.tree = synthesisTree(positions);
    s.modelRows = {{0}};
    s.means = std::move(means);
    s.phonemeRecognition = false;
    return s;
}

// Its records, with unscaling vectors (offset 8) of the given base and scale
// and, when aux is not empty, one aux byte per state.
inline AcousticModelRecords synthesisModelRecords(const AcousticModelSpec& spec,
                                                  const std::vector<int32_t>& base,
                                                  const std::vector<int32_t>& scale,
                                                  const std::vector<uint8_t>& aux = {})
{
    AcousticModelSpec s = spec;
    s.unscaling = !base.empty();
    s.componentBytes = !aux.empty();
    AcousticModelRecords r = acousticModelRecords(s);
    if (s.unscaling) {
        r.setArray("20.unscaleBase", base);
        r.setArray("20.unscaleScale", scale);
    }
    if (s.componentBytes)
        r.setArray("28.componentBytes", aux);
    return r;
}

struct CepOptimizerSpec {
    int32_t D = 1;
    int32_t L = 10;
    int32_t S = 6;
    int32_t K = 2;
    int32_t integerKernels = 0;
    std::vector<double> weights = {1, 0.5, 0.25};        // ws of all D, wd of all, wa of all
    std::vector<double> pitchWeights = {1, 0.5, 0.25};
    std::vector<std::vector<double>> kernels = {{0.5, 0.25}};     // D rows of K
    std::vector<std::vector<int32_t>> intKernels;
    std::vector<int32_t> integerScales;
};

// Rows of their own length (K when there are none).
template <typename T>
bool writeRows(BinFileWriter* w, const std::vector<std::vector<T>>& rows, int32_t K)
{
    const int32_t columns = rows.empty() ? K : static_cast<int32_t>(rows[0].size());
    std::vector<const void*> pointers;
    for (const auto& row : rows)
        pointers.push_back(row.data());
    return BinFileWriter_WriteArray2D(w, rows.empty() ? nullptr : pointers.data(),
                                      static_cast<int32_t>(rows.size()), columns, sizeof(T)) == 1;
}

inline bool writeCepOptimizerRecords(BinFileWriter* w, const CepOptimizerSpec& spec)
{
    bool ok = true;
    for (int32_t v : {spec.D, spec.L, spec.S, spec.K, spec.integerKernels})
        ok = ok && BinFileWriter_WriteInt(w, v) == 1;
    ok = ok && BinFileWriter_WriteArray(w, spec.weights.empty() ? nullptr : spec.weights.data(),
                                        static_cast<uint32_t>(spec.weights.size()), sizeof(double)) == 1;
    ok = ok && BinFileWriter_WriteArray(w, spec.pitchWeights.empty() ? nullptr : spec.pitchWeights.data(),
                                        static_cast<uint32_t>(spec.pitchWeights.size()), sizeof(double)) == 1;
    if (spec.K > 0 && spec.integerKernels) {
        ok = ok && writeRows(w, spec.intKernels, spec.K);
        ok = ok && BinFileWriter_WriteArray(w, spec.integerScales.empty() ? nullptr : spec.integerScales.data(),
                                            static_cast<uint32_t>(spec.integerScales.size()),
                                            sizeof(int32_t)) == 1;
    } else if (spec.K > 0) {
        ok = ok && writeRows(w, spec.kernels, spec.K);
    }
    return ok;
}

// D rows of generated kernels for the optimiser description's weights (coefficient d's delta
// and delta-delta weights over its static weight).
inline std::vector<std::vector<double>> cepGeneratedKernels(const CepOptimizerSpec& spec)
{
    std::vector<std::vector<double>> rows;
    for (int32_t d = 0; d < spec.D; ++d) {
        const double ws = spec.weights[static_cast<size_t>(d)];
        rows.push_back(cepKernelRow(spec.K, spec.weights[static_cast<size_t>(spec.D + d)] / ws,
                                    spec.weights[static_cast<size_t>(2 * spec.D + d)] / ws));
    }
    return rows;
}

// The fixed models of the tree fuzz target and its seeds: D = 2 over three
// state positions, with unscaling vectors and voicing bytes.
inline bool writeFixedSynthesisModels(DVKTar* tar)
{
    const int32_t positions = 3;
    std::vector<uint8_t> spectrum, pitch;
    for (int32_t i = 0; i < 6 * (positions + 1); ++i)
        spectrum.push_back(static_cast<uint8_t>(37 * i + 11));
    for (int32_t i = 0; i < 3 * (positions + 1); ++i)
        pitch.push_back(static_cast<uint8_t>(90 + 7 * i));
    const std::vector<int32_t> none;
    return writeAcousticRecords(tar,
                                synthesisModelRecords(synthesisModelSpec(6, positions, spectrum),
                                                      {1000, 2000, 0, 0, 0, 0}, {10, -20, 1, 1, 1, 1}),
                                "ba2") &&
           writeAcousticRecords(tar,
                                synthesisModelRecords(synthesisModelSpec(positions, positions,
                                                                         {3, 4, 5, 7, 8, 9, 1, 1, 1, 2, 2, 2}),
                                                      none, none),
                                "ba3") &&
           writeAcousticRecords(tar,
                                synthesisModelRecords(synthesisModelSpec(3, positions, pitch), {7000, 0, 0},
                                                      {10, 2, -1}, {0, 200, 90, 255}),
                                "ba4");
}
