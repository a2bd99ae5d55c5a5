// MLLR: for every regression class with enough data an affine transform
// y = A m + b of the component means, estimated by least squares from the
// MAP statistics (per component a data count and the sum of the frames'
// deviations from its mean) and applied to every mean of the class, in
// reals or in Q20 fixed point.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_util.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_matrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct MatrixDelete {
    void operator()(DVKMatrix* m) const { DVKMatrix_Delete(m); }
};
using Matrix = std::unique_ptr<DVKMatrix, MatrixDelete>;

Matrix square(int32_t n)
{
    return Matrix(DVKMatrix_Create(n, n));
}

// One component of a class with data: its count, mean bytes and
// observation sum o = S + n m (S alone in delta mode).
struct Component {
    int32_t state;
    int32_t component;
    double n;
    std::vector<double> m;
    std::vector<double> o;
    std::vector<double> v;    // inverse variances
};

void invVariancesOf(const AM* am, int32_t state, int32_t component, std::vector<double>& out)
{
    const int32_t dim = am->featureDim;
    out.assign(static_cast<size_t>(dim), 1.0);
    if (const uint16_t* row = AM_GetInvVarianceRow16(am, state, component)) {
        for (int32_t d = 0; d < dim && d < am->varStride; ++d)
            out[static_cast<size_t>(d)] = row[d];
    } else if (const uint8_t* bytes = AM_GetInvVarianceRowByte(am, state, component)) {
        if (!am->fourBitWeights)
            for (int32_t d = 0; d < dim && d < am->varStride; ++d)
                out[static_cast<size_t>(d)] = bytes[d];
    }
}

std::vector<Component> classComponents(AM* am, int32_t cls)
{
    std::vector<Component> out;
    const AMFAccumulators* acc = am->amf;
    if (acc == nullptr)
        return out;
    const bool delta = BrevitParam_Word(kBrevitParamMllrDelta) != 0;
    const int32_t dim = am->featureDim;
    const int32_t states = std::min<int32_t>(am->numStates, static_cast<int32_t>(acc->stateCount));
    for (int32_t s = 0; s < states; ++s) {
        const AMFStateAccumulator* st = acc->states[s];
        if (st == nullptr || AM_MLLRClassOf(am, s) != cls)
            continue;
        for (uint32_t c = 0; c < st->componentCount; ++c) {
            if (st->counts[c] <= 0 || st->sums[c] == nullptr)
                continue;
            Component k{s, static_cast<int32_t>(c), static_cast<double>(st->counts[c]), {}, {}, {}};
            const uint8_t* m = AM_GetComponentMean(am, s, static_cast<int32_t>(c));
            k.m.assign(m, m + dim);
            k.o.resize(static_cast<size_t>(dim));
            for (int32_t d = 0; d < dim; ++d)
                k.o[static_cast<size_t>(d)] = st->sums[c][d] + (delta ? 0.0 : k.n * k.m[static_cast<size_t>(d)]);
            invVariancesOf(am, s, static_cast<int32_t>(c), k.v);
            out.push_back(std::move(k));
        }
    }
    return out;
}

// A component's weight for element d under a weight dimension (-1: none)
// or per-dimension weighting.
double weightOf(const Component& k, int32_t weightDim, bool perDim, int32_t d)
{
    if (weightDim >= 0)
        return k.v[static_cast<size_t>(weightDim)];
    return perDim ? k.v[static_cast<size_t>(d)] : 1.0;
}

// Every stream's first dimension and the end: the VQ dimension bounds, one
// stream without VQ.
std::vector<int32_t> streamBounds(const AM* am)
{
    std::vector<int32_t> bounds;
    if (am->hasVQ && am->vq.dimensionBounds.data != nullptr && am->vq.codebookSize > 0) {
        const auto* b = static_cast<const int32_t*>(am->vq.dimensionBounds.data);
        bounds.assign(b, b + am->vq.codebookSize + 1);
    } else {
        bounds = {0, am->featureDim};
    }
    return bounds;
}

struct Transform {
    bool ok = false;
    Matrix a;
    std::vector<double> b;
};

int64_t roundAway(double v)
{
    return static_cast<int64_t>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

double AM_MLLRClassMean(AM* am, const std::vector<Component>& ks, bool useCounts, int32_t weightDim, bool perDim,
                        double* out)
{
    const int32_t dim = am->featureDim;
    std::vector<double> total(static_cast<size_t>(dim), 0.0);
    std::fill(out, out + dim, 0.0);
    for (const Component& k : ks)
        for (int32_t d = 0; d < dim; ++d) {
            const double w = (useCounts ? k.n : 1.0) * weightOf(k, weightDim, perDim, d);
            out[d] += w * k.m[static_cast<size_t>(d)];
            total[static_cast<size_t>(d)] += w;
        }
    for (int32_t d = 0; d < dim; ++d)
        out[d] = total[static_cast<size_t>(d)] > 0.0 ? out[d] / total[static_cast<size_t>(d)] : 0.0;
    return dim > 0 ? total[0] : 0.0;
}

void AM_MLLRClassObservationMean(AM* am, const std::vector<Component>& ks, int32_t weightDim, bool perDim,
                                 double* out)
{
    const int32_t dim = am->featureDim;
    std::vector<double> total(static_cast<size_t>(dim), 0.0);
    std::fill(out, out + dim, 0.0);
    for (const Component& k : ks)
        for (int32_t d = 0; d < dim; ++d) {
            const double w = weightOf(k, weightDim, perDim, d);
            out[d] += w * k.o[static_cast<size_t>(d)];
            total[static_cast<size_t>(d)] += w * k.n;
        }
    for (int32_t d = 0; d < dim; ++d)
        out[d] = total[static_cast<size_t>(d)] > 0.0 ? out[d] / total[static_cast<size_t>(d)] : 0.0;
}

void AM_MLLRMeanScatter(AM* am, const std::vector<Component>& ks, const double* mu, int32_t weightDim, DVKMatrix* g)
{
    const int32_t dim = am->featureDim;
    DVKMatrix_SetScaledIdentity(g, 0.0);
    std::vector<double> e(static_cast<size_t>(dim));
    for (const Component& k : ks) {
        const double w = k.n * weightOf(k, weightDim, false, 0) / am->adaptationValue;
        for (int32_t d = 0; d < dim; ++d)
            e[static_cast<size_t>(d)] = k.m[static_cast<size_t>(d)] - mu[d];
        for (int32_t i = 0; i < dim; ++i)
            for (int32_t j = 0; j < dim; ++j)
                DVKMatrix_AddToElement(g, i, j, w * e[static_cast<size_t>(i)] * e[static_cast<size_t>(j)]);
    }
}

void AM_MLLRCrossScatter(AM* am, const std::vector<Component>& ks, const double* mu, const double* x,
                         int32_t weightDim, bool exchanged, DVKMatrix* z)
{
    const int32_t dim = am->featureDim;
    DVKMatrix_SetScaledIdentity(z, 0.0);
    std::vector<double> f(static_cast<size_t>(dim)), e(static_cast<size_t>(dim));
    for (const Component& k : ks) {
        const double w = weightOf(k, weightDim, false, 0) / am->adaptationValue;
        for (int32_t d = 0; d < dim; ++d) {
            f[static_cast<size_t>(d)] = k.o[static_cast<size_t>(d)] - k.n * x[d];
            e[static_cast<size_t>(d)] = k.m[static_cast<size_t>(d)] - mu[d];
        }
        const std::vector<double>& left = exchanged ? e : f;
        const std::vector<double>& right = exchanged ? f : e;
        for (int32_t i = 0; i < dim; ++i)
            for (int32_t j = 0; j < dim; ++j)
                DVKMatrix_AddToElement(z, i, j, w * left[static_cast<size_t>(i)] * right[static_cast<size_t>(j)]);
    }
}

void AM_MLLRObservationScatter(AM* am, const std::vector<Component>& ks, const double* x, int32_t weightDim,
                               DVKMatrix* g)
{
    const int32_t dim = am->featureDim;
    DVKMatrix_SetScaledIdentity(g, 0.0);
    std::vector<double> f(static_cast<size_t>(dim));
    for (const Component& k : ks) {
        const double w = weightOf(k, weightDim, false, 0) / am->adaptationValue;
        for (int32_t d = 0; d < dim; ++d)
            f[static_cast<size_t>(d)] = k.o[static_cast<size_t>(d)] - k.n * x[d];
        for (int32_t i = 0; i < dim; ++i)
            for (int32_t j = 0; j < dim; ++j)
                DVKMatrix_AddToElement(g, i, j, w * f[static_cast<size_t>(i)] / k.n * f[static_cast<size_t>(j)]);
    }
}

// A = Z G^-1, b = x - A mu: 1 solved, 0 singular or not finite, -1 out of memory.
// Inverse regression's Z G^-1 maps observations back onto means: A is its
// inverse, so that A m + b still predicts the observations.
int32_t AM_MLLRSolve(AM* am, const DVKMatrix* g, const DVKMatrix* gInverse, const DVKMatrix* z, const double* mu,
                     const double* x, bool inverse, DVKMatrix* a, double* b)
{
    const int32_t dim = am->featureDim;
    Matrix own;
    if (gInverse == nullptr) {
        own = square(dim);
        if (!own)
            return -1;
        const int32_t inverted = DVKMatrix_Invert(g, own.get());
        if (inverted != kDVKMatrixOk)
            return inverted == kDVKMatrixError ? -1 : 0;
        gInverse = own.get();
    }
    if (inverse) {
        Matrix c = square(dim);
        if (!c)
            return -1;
        DVKMatrix_Multiply(z, gInverse, c.get());
        const int32_t inverted = DVKMatrix_Invert(c.get(), a);
        if (inverted != kDVKMatrixOk)
            return inverted == kDVKMatrixError ? -1 : 0;
    } else {
        DVKMatrix_Multiply(z, gInverse, a);
    }
    std::vector<double> amu(static_cast<size_t>(dim));
    DVKMatrix_MultiplyVector(a, mu, amu.data());
    for (int32_t d = 0; d < dim; ++d)
        b[d] = x[d] - amu[static_cast<size_t>(d)];
    for (int32_t i = 0; i < dim; ++i) {
        if (!std::isfinite(b[i]))
            return 0;
        for (int32_t j = 0; j < dim; ++j)
            if (!std::isfinite(DVKMatrix_GetElement(a, i, j)))
                return 0;
    }
    return 1;
}

// Integer statistics: scaled mean deviations in integers, products summed
// exactly, then scaled back into reals.
void integerScatters(const AM* am, const std::vector<Component>& ks, const std::vector<double>& mu,
                     const std::vector<double>& x, int64_t scale, DVKMatrix* g, DVKMatrix* z)
{
    const int32_t dim = am->featureDim;
    std::vector<int64_t> gi(static_cast<size_t>(dim) * static_cast<size_t>(dim), 0), zi(gi.size(), 0);
    std::vector<int64_t> e(static_cast<size_t>(dim)), f(static_cast<size_t>(dim));
    for (const Component& k : ks) {
        const auto n = static_cast<int64_t>(k.n);
        for (int32_t j = 0; j < dim; ++j) {
            const auto J = static_cast<size_t>(j);
            e[J] = scale * static_cast<int64_t>(k.m[J]) - roundAway(static_cast<double>(scale) * mu[J]);
            f[J] = scale * static_cast<int64_t>(k.o[J]) - n * roundAway(static_cast<double>(scale) * x[J]);
        }
        for (int32_t i = 0; i < dim; ++i)
            for (int32_t j = 0; j < dim; ++j) {
                const size_t at = static_cast<size_t>(i) * static_cast<size_t>(dim) + static_cast<size_t>(j);
                if (j <= i)
                    gi[at] += e[static_cast<size_t>(i)] * (n * e[static_cast<size_t>(j)]);
                zi[at] += f[static_cast<size_t>(i)] * e[static_cast<size_t>(j)];
            }
    }
    const double unit = static_cast<double>(am->adaptationValue) * static_cast<double>(scale) * static_cast<double>(scale);
    for (int32_t i = 0; i < dim; ++i)
        for (int32_t j = 0; j < dim; ++j) {
            const size_t at = static_cast<size_t>(i) * static_cast<size_t>(dim) + static_cast<size_t>(j);
            if (j <= i) {
                const double v = static_cast<double>(gi[at]) / unit;
                DVKMatrix_SetElement(g, i, j, v);
                DVKMatrix_SetElement(g, j, i, v);
            }
            DVKMatrix_SetElement(z, i, j, static_cast<double>(zi[at]) / unit);
        }
}

// One class's transform over all rows (weightDim -1) or the rows solved
// under one weight dimension: 1 made, 0 none (too little or singular data),
// -1 out of memory.
int32_t estimate(AM* am, const std::vector<Component>& ks, int32_t weightDim, bool withPrior, Transform& out)
{
    const int32_t dim = am->featureDim;
    const bool inverse = am->mllr.value4 != 0;
    const bool perDim = inverse && weightDim >= 0;
    std::vector<double> mu(static_cast<size_t>(dim)), x(static_cast<size_t>(dim));
    if (AM_MLLRClassMean(am, ks, true, weightDim, perDim, mu.data()) <= 0.0)
        return 0;
    AM_MLLRClassObservationMean(am, ks, weightDim, perDim, x.data());
    Matrix g = square(dim), z = square(dim);
    if (!g || !z)
        return -1;
    const int64_t integerScale = BrevitParam_Word(kBrevitParamMllrIntegerScale);
    if (BrevitParam_Word(kBrevitParamAdaptIntegerStats) != 0 && !inverse && weightDim < 0) {
        // Scale 0 leaves nothing to divide by: no transform.
        if (integerScale == 0)
            return 0;
        integerScatters(am, ks, mu, x, integerScale, g.get(), z.get());
    } else if (inverse) {
        AM_MLLRObservationScatter(am, ks, x.data(), weightDim, g.get());
        AM_MLLRCrossScatter(am, ks, mu.data(), x.data(), weightDim, true, z.get());
    } else {
        AM_MLLRMeanScatter(am, ks, mu.data(), weightDim, g.get());
        AM_MLLRCrossScatter(am, ks, mu.data(), x.data(), weightDim, false, z.get());
    }
    if (withPrior && am->mllr.flags[0]) {
        const double den = am->mllr.values[1];
        if (den == 0.0)
            return 0;
        Matrix p = square(dim);
        if (!p)
            return -1;
        double s = am->mllr.values[0] / den;
        if (am->mllr.flags[2]) {
            DVKMatrix_SetScaledIdentity(p.get(), 1.0);
        } else {
            // The scatter of the class's means around their plain average.
            std::vector<double> avg(static_cast<size_t>(dim), 0.0);
            for (const Component& k : ks)
                for (int32_t d = 0; d < dim; ++d)
                    avg[static_cast<size_t>(d)] += k.m[static_cast<size_t>(d)] / static_cast<double>(ks.size());
            std::vector<double> e(static_cast<size_t>(dim));
            for (const Component& k : ks) {
                for (int32_t d = 0; d < dim; ++d)
                    e[static_cast<size_t>(d)] = k.m[static_cast<size_t>(d)] - avg[static_cast<size_t>(d)];
                for (int32_t i = 0; i < dim; ++i)
                    for (int32_t j = 0; j < dim; ++j)
                        DVKMatrix_AddToElement(p.get(), i, j, e[static_cast<size_t>(i)] * e[static_cast<size_t>(j)]);
            }
            s /= static_cast<double>(ks.size());
        }
        DVKMatrix_AddScaled(g.get(), s, p.get(), g.get());
        DVKMatrix_AddScaled(z.get(), s, p.get(), z.get());
    }
    if (withPrior && BrevitParam_Word(kBrevitParamSaveModelStates) != 0) {
        AM_MLLRBlockMask(am, g.get());
        AM_MLLRBlockMask(am, z.get());
    }
    Matrix inv;
    if (BrevitParam_Word(kBrevitParamMllrPseudoInverse) != 0) {
        inv = square(dim);
        if (!inv)
            return -1;
        if (!AM_MLLRPseudoInverse(am, g.get(), inv.get()))
            return 0;
    }
    out.a = square(dim);
    out.b.assign(static_cast<size_t>(dim), 0.0);
    if (!out.a)
        return -1;
    const int32_t solved = AM_MLLRSolve(am, g.get(), inv.get(), z.get(), mu.data(), x.data(), inverse, out.a.get(),
                                      out.b.data());
    out.ok = solved == 1;
    return solved;
}

int32_t estimateClass(AM* am, int32_t cls, Transform& out)
{
    const std::vector<Component> ks = classComponents(am, cls);
    if (static_cast<int32_t>(ks.size()) <= AM_MLLRParametersPerRow(am))
        return 0;
    if (AM_MLLRClassOccupancy(am, cls, 1, 0) < static_cast<double>(BrevitParam_Word(kBrevitParamMllrMinFrames)))
        return 0;
    if (BrevitParam_Word(kBrevitParamAdaptRowByRow) == 0)
        return estimate(am, ks, -1, true, out);
    const int32_t dim = am->featureDim;
    out.a = square(dim);
    out.b.assign(static_cast<size_t>(dim), 0.0);
    if (!out.a)
        return -1;
    for (int32_t d = 0; d < dim; ++d) {
        Transform row;
        const int32_t made = estimate(am, ks, d, false, row);
        if (made < 0)
            return -1;
        out.ok = made == 1;
        if (!out.ok)
            continue;
        for (int32_t j = 0; j < dim; ++j)
            DVKMatrix_SetElement(out.a.get(), d, j, DVKMatrix_GetElement(row.a.get(), d, j));
        out.b[static_cast<size_t>(d)] = row.b[static_cast<size_t>(d)];
    }
    return out.ok ? 1 : 0;
}

// Moves the component onto its transformed mean: statistics follow it,
// rebased with a fresh prior when MAP runs after, kept otherwise.
void replaceMean(AM* am, int32_t state, int32_t component, const uint8_t* moved, bool mapFollows)
{
    std::vector<uint8_t> old(static_cast<size_t>(am->featureDim));
    std::memcpy(old.data(), AM_GetComponentMean(am, state, component), old.size());
    if (mapFollows)
        AM_RebaseAccumulator(am, moved, state, component);
    else
        AM_AMFMoveStatistics(am, state, component, old.data(), moved);
    AM_StoreComponentMean(am, state, component, moved);
}

} // namespace

int32_t AM_MLLRClassOf(const AM* am, int32_t state)
{
    const auto* table = static_cast<const int8_t*>(am->mllr.classes.data);
    if (table == nullptr || state < 0)
        return -2;
    const uint32_t at = am->mllr.flags[1] ? (state == 0 ? 0u : 1u) : static_cast<uint32_t>(state);
    return at < am->mllr.classes.count ? table[at] : -2;
}

double AM_MLLRClassOccupancy(AM* am, int32_t cls, int32_t countFrames, int32_t skipEmpty)
{
    const AMFAccumulators* acc = am->amf;
    if (acc == nullptr)
        return 0.0;
    double total = 0.0;
    const int32_t states = std::min<int32_t>(am->numStates, static_cast<int32_t>(acc->stateCount));
    for (int32_t s = 0; s < states; ++s) {
        const AMFStateAccumulator* st = acc->states[s];
        if (st == nullptr || AM_MLLRClassOf(am, s) != cls)
            continue;
        for (uint32_t c = 0; c < st->componentCount; ++c) {
            if (countFrames)
                total += st->counts[c];
            else if (!skipEmpty || st->counts[c] != 0)
                total += 1.0;
        }
    }
    return countFrames ? (am->adaptationValue != 0 ? total / am->adaptationValue : 0.0) : total;
}

int32_t AM_MLLRParametersPerRow(const AM* am)
{
    const int32_t dim = am->featureDim;
    if (BrevitParam_Word(kBrevitParamSaveModelStates) == 0 || dim < 1)
        return dim;
    const std::vector<int32_t> bounds = streamBounds(am);
    int64_t sum = 0;
    for (size_t s = 0; s + 1 < bounds.size(); ++s) {
        const int64_t width = bounds[s + 1] - bounds[s];
        sum += (width - 1) * (width - 1);
    }
    return static_cast<int32_t>(1 + sum / dim);
}

int32_t AM_MLLRPseudoInverse(const AM* am, const DVKMatrix* g, DVKMatrix* out)
{
    const int32_t dim = am->featureDim;
    Matrix v = square(dim);
    std::vector<double> lambda(static_cast<size_t>(std::max(dim, 1)));
    if (!v || !DVKMatrix_DiagonalizeSymmetric(g, lambda.data(), v.get()))
        return 0;
    const double floor = AM_ParamReal(kBrevitParamMllrEigenFloor) * (dim > 0 ? lambda[0] : 0.0);
    DVKMatrix_SetScaledIdentity(out, 0.0);
    for (int32_t k = 0; k < dim; ++k) {
        const double l = lambda[static_cast<size_t>(k)];
        if (l < floor || l == 0.0)
            continue;
        for (int32_t i = 0; i < dim; ++i)
            for (int32_t j = 0; j < dim; ++j)
                DVKMatrix_AddToElement(out, i, j,
                                       DVKMatrix_GetElement(v.get(), i, k) * DVKMatrix_GetElement(v.get(), j, k) / l);
    }
    return 1;
}

void AM_MLLRBlockMask(const AM* am, DVKMatrix* m)
{
    const std::vector<int32_t> bounds = streamBounds(am);
    const auto streamOf = [&](int32_t d) {
        size_t s = 0;
        while (s + 2 < bounds.size() && d >= bounds[s + 1])
            ++s;
        return s;
    };
    for (int32_t i = 0; i < m->rows; ++i)
        for (int32_t j = 0; j < m->columns; ++j)
            if (streamOf(i) != streamOf(j))
                DVKMatrix_SetElement(m, i, j, 0.0);
}

void AM_MLLRAccumulateVector(int32_t dim, double weight, double* sums, const uint8_t* bytes,
                             const double* invVariances, double* varianceSums)
{
    for (int32_t d = 0; d < dim; ++d) {
        const double v = invVariances != nullptr ? invVariances[d] : 1.0;
        sums[d] += weight * v * bytes[d];
        if (varianceSums != nullptr)
            varianceSums[d] += weight * v;
    }
}

int32_t AM_MLLRAdapt(AM* am)
{
    AMFAccumulators* acc = am->amf;
    if (acc == nullptr)
        return 1;
    const int32_t classes = std::max(am->mllr.values[2], 0);
    const int32_t dim = am->featureDim;
    std::vector<Transform> transforms(static_cast<size_t>(classes));
    bool all = classes > 0;
    for (int32_t c = 0; c < classes; ++c) {
        // A count unit of 0 leaves no frames to estimate from.
        const int32_t made = am->adaptationValue != 0 ? estimateClass(am, c, transforms[static_cast<size_t>(c)]) : 0;
        if (made < 0)
            return 0;
        transforms[static_cast<size_t>(c)].ok = made == 1;
        all = all && made == 1;
    }
    const bool fixed = BrevitParam_Word(kBrevitParamAdaptFixedPoint) != 0;
    const bool delta = BrevitParam_Word(kBrevitParamMllrDelta) != 0;
    const bool mapFollows = acc->mapAfterMLLR != 0;
    // Q20 copies of every transform; any out of range applies nothing.
    std::vector<std::vector<int64_t>> aq(static_cast<size_t>(classes)), bq(static_cast<size_t>(classes));
    bool saturated = false;
    if (fixed) {
        // Compared before the conversion: a value past the 64-bit range
        // must saturate too, not overflow the cast.
        const auto q20 = [&](double v) {
            const double q = std::trunc(v * 1048576.0 + 0.5);
            if (q > 1073741824.0 || q < -1073741824.0) {
                saturated = true;
                return q > 0 ? int64_t{0x40000000} : -int64_t{0x40000000};
            }
            return static_cast<int64_t>(q);
        };
        for (int32_t c = 0; c < classes; ++c) {
            const Transform& t = transforms[static_cast<size_t>(c)];
            if (!t.ok)
                continue;
            for (int32_t i = 0; i < dim; ++i) {
                for (int32_t j = 0; j < dim; ++j)
                    aq[static_cast<size_t>(c)].push_back(q20(DVKMatrix_GetElement(t.a.get(), i, j)));
                bq[static_cast<size_t>(c)].push_back(q20(t.b[static_cast<size_t>(i)]));
            }
        }
    }
    if (!(fixed && saturated)) {
        const int32_t lo = fixed ? am->minConverted : am->lowFeature;
        const int32_t hi = std::max<int32_t>(lo, fixed ? am->maxConverted : am->highFeature);
        std::vector<double> m(static_cast<size_t>(dim)), y(static_cast<size_t>(dim));
        std::vector<uint8_t> moved(static_cast<size_t>(dim));
        for (int32_t s = 0; s < am->numStates; ++s) {
            const int32_t cls = AM_MLLRClassOf(am, s);
            if (cls == -1 || cls == -3) {
                AM_MAPUpdateState(am, s);
                continue;
            }
            if (cls < 0 || cls >= classes || !transforms[static_cast<size_t>(cls)].ok)
                continue;
            const Transform& t = transforms[static_cast<size_t>(cls)];
            for (int32_t k = 0; k < AM_GetNumComponents(am, s); ++k) {
                const uint8_t* mean = AM_GetComponentMean(am, s, k);
                for (int32_t d = 0; d < dim; ++d)
                    m[static_cast<size_t>(d)] = mean[d];
                if (fixed) {
                    for (int32_t d = 0; d < dim; ++d) {
                        int64_t v = bq[static_cast<size_t>(cls)][static_cast<size_t>(d)];
                        for (int32_t j = 0; j < dim; ++j)
                            v += aq[static_cast<size_t>(cls)][static_cast<size_t>(d) * static_cast<size_t>(dim) +
                                                              static_cast<size_t>(j)] *
                                 static_cast<int64_t>(m[static_cast<size_t>(j)]);
                        if (delta)
                            v += static_cast<int64_t>(m[static_cast<size_t>(d)]) << 20;
                        const int64_t r = std::max<int64_t>(0, v + 0x80000) >> 20;
                        moved[static_cast<size_t>(d)] = static_cast<uint8_t>(std::clamp<int64_t>(r, lo, hi));
                    }
                } else {
                    DVKMatrix_MultiplyVector(t.a.get(), m.data(), y.data());
                    for (int32_t d = 0; d < dim; ++d) {
                        const double v = y[static_cast<size_t>(d)] + t.b[static_cast<size_t>(d)] +
                                         (delta ? m[static_cast<size_t>(d)] : 0.0);
                        const double r = std::trunc(std::clamp(v + 0.5, -1.0, 256.0));
                        moved[static_cast<size_t>(d)] =
                            static_cast<uint8_t>(std::clamp<int64_t>(static_cast<int64_t>(r), lo, hi));
                    }
                }
                replaceMean(am, s, k, moved.data(), mapFollows);
            }
            if (am->innerProduct)
                AM_ComputeStateCompanions(am, s);
        }
    }
    am->mllr.applied = fixed ? 0 : (all ? 1 : 0);
    if (am->mllr.applied)
        AM_PointAtAdaptedCopies(am);
    return 1;
}

uint32_t AM_MLLRComputeCRC(const AM* am)
{
    uint32_t crc = 0xFFFFFFFFu;
    const AMMllr& m = am->mllr;
    for (int32_t w : {m.values[2], m.values[0], m.values[1], m.flags[0], m.flags[2], m.extraCount})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(w), crc);
    for (int32_t s = 0; s < am->numStates; ++s)
        crc = DVKCrc_AddInt(static_cast<uint32_t>(AM_MLLRClassOf(am, s)), crc);
    if (m.extraCount != 0 && m.extra.data != nullptr)
        crc = DVKCrc_AddArray(m.extra.data, 4, static_cast<int32_t>(m.extra.count), crc);
    return crc;
}
