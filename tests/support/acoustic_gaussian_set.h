// One random set of Gaussians (states of 0-8 components, byte means,
// per-component weights and constants) written in every storage form the
// kernels read, so that each kernel can be checked against the same exact
// distances.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link.
#pragma once

#include "tests/support/acoustic_model_records.h"

#include <cstdint>
#include <random>
#include <vector>

struct GaussianSet {
    int32_t dim = 24;
    std::vector<uint32_t> offsets;                 // states + 1
    std::vector<std::vector<uint8_t>> means;       // per component
    std::vector<std::vector<uint32_t>> weights;    // per component
    std::vector<uint32_t> constants;               // per component

    int32_t states() const { return static_cast<int32_t>(offsets.size()) - 1; }
    int32_t components() const { return static_cast<int32_t>(means.size()); }
};

inline GaussianSet makeGaussianSet(std::mt19937& random, int32_t dim, uint32_t maxMean,
                                   uint32_t maxWeight, uint32_t maxConstant, int32_t states = 6)
{
    const auto pick = [&](uint32_t high) { return std::uniform_int_distribution<uint32_t>(0, high)(random); };
    GaussianSet set;
    set.dim = dim;
    set.offsets = {0};
    for (int32_t s = 0; s < states; ++s)
        set.offsets.push_back(set.offsets.back() + pick(8));
    // At least one component, so the model has rows.
    if (set.offsets.back() == 0)
        set.offsets.back() = 1;
    for (uint32_t c = 0; c < set.offsets.back(); ++c) {
        std::vector<uint8_t> m(static_cast<size_t>(dim));
        std::vector<uint32_t> w(static_cast<size_t>(dim));
        for (int32_t d = 0; d < dim; ++d) {
            m[static_cast<size_t>(d)] = static_cast<uint8_t>(pick(maxMean));
            w[static_cast<size_t>(d)] = pick(maxWeight);
        }
        set.means.push_back(m);
        set.weights.push_back(w);
        set.constants.push_back(pick(maxConstant));
    }
    return set;
}

// How the set is stored.
enum class GaussianForm {
    Words16,          // u16 weights, byte means
    Bytes,            // byte weights, byte means
    FourBit,          // 4-bit weights and means
    TurtleHare,       // p = w m, K = constant + sum w m^2, byte weights
    InnerProduct,     // scalar covariance, byte means in words, companions of sum m^2
    InnerProduct4Bit, // the same with nibble rows and 16-bit companions
    Laplacian,        // u16 weights, byte means, Laplacian
    LaplacianWords,   // nibble rows, 4-bit weight words (type 4) or none (type 5)
};

inline AcousticModelSpec gaussianModelSpec(const GaussianSet& set, GaussianForm form,
                                           bool threshold = false, int32_t covType = 4)
{
    AcousticModelSpec spec;
    spec.tree = AcousticTreeSpec::none();
    spec.modelRows = {{0, 0}};
    spec.states = set.states();
    spec.offsets = set.offsets;
    spec.dim = set.dim;
    spec.covType = covType;
    spec.threshold = threshold;
    const int32_t dim = set.dim;
    const auto nibbles = [&](const std::vector<uint8_t>& v) {
        std::vector<uint8_t> out(static_cast<size_t>((dim + 1) / 2));
        for (int32_t d = 0; d < dim; ++d)
            out[static_cast<size_t>(d / 2)] |= static_cast<uint8_t>((v[static_cast<size_t>(d)] & 0x0F) << (4 * (d % 2)));
        return out;
    };
    const auto appendMeans = [&](bool packed) {
        for (const auto& m : set.means) {
            const std::vector<uint8_t> row = packed ? nibbles(m) : m;
            spec.means.insert(spec.means.end(), row.begin(), row.end());
        }
    };
    switch (form) {
    case GaussianForm::Words16:
    case GaussianForm::Bytes:
    case GaussianForm::Laplacian:
        spec.byteWeights = form == GaussianForm::Bytes;
        spec.laplacian = form == GaussianForm::Laplacian;
        appendMeans(false);
        for (size_t c = 0; covType != 5 && c < set.weights.size(); ++c) {
            spec.weights.insert(spec.weights.end(), set.weights[c].begin(), set.weights[c].end());
            spec.constants.push_back(static_cast<int32_t>(set.constants[c]));
        }
        break;
    case GaussianForm::FourBit:
        spec.fourBitMeans = spec.fourBitWeights = spec.byteWeights = true;
        appendMeans(true);
        for (size_t c = 0; covType != 5 && c < set.weights.size(); ++c) {
            std::vector<uint8_t> w8(set.weights[c].begin(), set.weights[c].end());
            for (uint8_t b : nibbles(w8))
                spec.weights.push_back(b);
            spec.constants.push_back(static_cast<int32_t>(set.constants[c]));
        }
        break;
    case GaussianForm::TurtleHare: {
        spec.storage = AcousticStorage::HareTurtle;
        spec.byteWeights = true;
        spec.htLength = 2 * ((dim + 3) / 4);
        for (size_t c = 0; c < set.means.size(); ++c) {
            const auto& m = set.means[c];
            const auto& w = set.weights[c];
            uint32_t k = set.constants[c];
            std::vector<uint32_t> p(static_cast<size_t>(spec.htLength));
            std::vector<uint8_t> bytes(static_cast<size_t>(dim));
            for (int32_t d = 0; d < dim; ++d) {
                const uint32_t wd = w[static_cast<size_t>(d)], md = m[static_cast<size_t>(d)];
                k += wd * md * md;
                const uint32_t product = wd * md;
                uint32_t& word = p[static_cast<size_t>(2 * (d / 4) + (d % 2))];
                word |= (d % 4) >= 2 ? product << 16 : product;
                bytes[static_cast<size_t>(d)] = static_cast<uint8_t>(wd);
            }
            spec.htValues.push_back(k);
            spec.htVectors.insert(spec.htVectors.end(), p.begin(), p.end());
            bytes.resize(static_cast<size_t>((dim + 3) / 4 * 4));
            for (size_t i = 0; i < bytes.size(); i += 4)
                spec.htWeights.push_back(bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 |
                                         static_cast<uint32_t>(bytes[i + 3]) << 24);
        }
        spec.htWeights.resize(static_cast<size_t>(set.components()) * static_cast<size_t>(dim) / 4);
        break;
    }
    case GaussianForm::InnerProduct:
    case GaussianForm::InnerProduct4Bit: {
        spec.storage = AcousticStorage::InnerProduct;
        spec.covType = 5;
        spec.fourBitMeans = form == GaussianForm::InnerProduct4Bit;
        appendMeans(spec.fourBitMeans);
        for (const auto& m : set.means) {
            int32_t head = 0, tail = 0;
            for (int32_t d = 0; d < dim; ++d)
                (d < 8 ? head : tail) += m[static_cast<size_t>(d)] * m[static_cast<size_t>(d)];
            spec.companions1.push_back(threshold ? head : head + tail);
            spec.companions2.push_back(tail);
        }
        break;
    }
    case GaussianForm::LaplacianWords:
        spec.storage = AcousticStorage::InnerProduct;
        spec.laplacian = spec.fourBitMeans = spec.fourBitWeights = true;
        appendMeans(true);
        // Nibble h of byte 3 - i of weight word k weighs dimension 8k + 2i + h.
        for (size_t c = 0; c < set.weights.size(); ++c) {
            std::vector<uint32_t> row(static_cast<size_t>(spec.varStride()));
            for (int32_t d = 0; d < dim; ++d) {
                const int32_t k = d / 8, i = (d % 8) / 2, h = d % 2;
                row[static_cast<size_t>(k)] |= (set.weights[c][static_cast<size_t>(d)] & 0x0F) << (8 * (3 - i) + 4 * h);
            }
            if (covType != 5) {
                spec.weights.insert(spec.weights.end(), row.begin(), row.end());
                spec.constants.push_back(static_cast<int32_t>(set.constants[c]));
            }
        }
        break;
    }
    return spec;
}
