#include "core/brevit/synthesis/cep_optimizer.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Bounds that keep every size of the working vectors and rings sane.
constexpr int32_t kMaxCoefficients = 1024;
constexpr int32_t kMaxBlock = 32768;

bool word(int index)
{
    return BrevitParam_Word(index) != 0;
}

int32_t clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

template <typename T>
T* allocOrThrow(int64_t count)
{
    return static_cast<T*>(DVKMem_CallocOrThrow(static_cast<uint32_t>(count * static_cast<int64_t>(sizeof(T)))));
}

// Static weight above 0, the others not negative, all finite.
bool soundWeights(const double* w, int32_t D)
{
    for (int32_t i = 0; i < 3 * D; ++i)
        if (!std::isfinite(w[i]) || (i < D ? w[i] <= 0 : w[i] < 0))
            return false;
    return true;
}

bool readWeights(BinFileReader* reader, double* w, uint32_t count, bool* present)
{
    void* data = nullptr;
    uint32_t n = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, sizeof(double), &data, &n))
        return false;
    const bool ok = n == 0 || n == count;
    if (n == count)
        std::memcpy(w, data, count * sizeof(double));
    *present = n != 0;
    DVKMem_Free(data);
    return ok;
}

bool readKernels(BinFileReader* reader, CepOptimizer* o)
{
    int32_t rows = 0, columns = 0;
    if (o->integerKernels) {
        void* scales = nullptr;
        uint32_t n = 0;
        if (!BinFileReader_AllocateAndReadArray2D(reader, reinterpret_cast<void**>(&o->intKernels), &rows,
                                                  &columns, sizeof(int32_t)) ||
            rows != o->D || columns != o->K ||
            !BinFileReader_AllocateAndReadArray(reader, sizeof(int32_t), &scales, &n))
            return false;
        o->integerScales = static_cast<int32_t*>(scales);
        // The scales multiply every static output: a set of D, never absent.
        return n == static_cast<uint32_t>(o->D);
    }
    if (!BinFileReader_AllocateAndReadArray2D(reader, reinterpret_cast<void**>(&o->doubleKernels), &rows,
                                              &columns, sizeof(double)) ||
        rows != o->D || columns != o->K)
        return false;
    for (int32_t d = 0; d < o->D; ++d)
        for (int32_t j = 0; j < o->K; ++j)
            if (!std::isfinite(o->doubleKernels[d][j]))
                return false;
    return true;
}

bool readRecords(BinFileReader* reader, CepOptimizer* o)
{
    int32_t* const fields[] = {&o->D, &o->L, &o->S, &o->K, &o->integerKernels};
    for (int32_t* field : fields)
        if (!BinFileReader_ReadInt(reader, field))
            return false;
    // The solver needs blocks of at least six frames, the input ring room for
    // the 2K frames a kernel sum reaches, and the step a place in the block.
    if (o->D < 1 || o->D > kMaxCoefficients || o->L < kCepOptMinBlock || o->L > kMaxBlock ||
        o->K < 0 || o->L < 2 * int64_t{o->K} || o->S < 1 || o->S > o->L)
        return false;
    o->coefficientWeights = static_cast<double*>(DVKMem_Calloc(3 * static_cast<uint32_t>(o->D) * sizeof(double)));
    if (o->coefficientWeights == nullptr)
        return false;
    bool coefficients = false, pitch = false;
    if (!readWeights(reader, o->coefficientWeights, 3 * static_cast<uint32_t>(o->D), &coefficients) ||
        !readWeights(reader, o->pitchWeights, 3, &pitch) || !pitch || !soundWeights(o->pitchWeights, 1))
        return false;
    if (o->K > 0 && !readKernels(reader, o))
        return false;
    // Smoothing, the solver and the right-hand side read the coefficient
    // weights; integer kernels alone run with unit weights.
    if (!coefficients) {
        if (!(o->K > 0 && o->integerKernels))
            return false;
        std::fill(o->coefficientWeights, o->coefficientWeights + 3 * o->D, 1.0);
    }
    return soundWeights(o->coefficientWeights, o->D);
}

// ---- the block solver ----------------------------------------------------

// b = W' P m with the edge windows repeated (n >= 6).
void buildRhs(CepOptimizer* o)
{
    const int32_t n = o->blockLength;
    const double* s = o->s;
    const double* h = o->h;
    const double* a = o->a;
    const double ws = o->weightsInUse[0], wd = o->weightsInUse[1], wa = o->weightsInUse[2];
    double* b = o->rhs;
    for (int32_t t = 0; t < n; ++t) {
        double d = 0, dd = 0;
        if (t == 0) {
            d = -(h[0] + h[1]);
            dd = a[0] + a[1];
        } else if (t == 1) {
            d = -h[2];
            dd = a[2] - 2 * (a[0] + a[1]);
        } else if (t == 2) {
            d = h[0] + h[1] - h[3];
            dd = a[0] + a[1] - 2 * a[2] + a[3];
        } else if (t == n - 1) {
            d = h[t - 1] + h[t];
            dd = a[t - 1] + a[t];
        } else if (t == n - 2) {
            d = h[t - 1];
            dd = a[t - 1] - 2 * (a[t] + a[t + 1]);
        } else if (t == n - 3) {
            d = h[t - 1] - h[t + 1] - h[t + 2];
            dd = a[t - 1] - 2 * a[t] + a[t + 1] + a[t + 2];
        } else {
            d = h[t - 1] - h[t + 1];
            dd = a[t - 1] - 2 * a[t] + a[t + 1];
        }
        b[t] = ws * s[t] + wd * d + wa * dd;
    }
}

// W' P W as a band: per row the diagonal, (t, t+1) and (t, t+2).
void buildBand(CepOptimizer* o)
{
    const int32_t n = o->blockLength;
    const double ws = o->weightsInUse[0], wd = o->weightsInUse[1], wa = o->weightsInUse[2];
    const double p = wa + 0.25 * wd, r = wa - 0.25 * wd;
    for (int32_t t = 0; t < n; ++t) {
        double* row = o->band + 3 * t;
        if (t == 0) {
            row[0] = ws + 0.5 * wd + 2 * wa, row[1] = -4 * wa, row[2] = 2 * r;
        } else if (t == 1) {
            row[0] = ws + p + 8 * wa, row[1] = -6 * wa, row[2] = r;
        } else if (t == 2) {
            row[0] = ws + 3 * p + 4 * wa, row[1] = -4 * wa, row[2] = r;
        } else if (t == n - 1) {
            row[0] = ws + 0.5 * wd + 2 * wa, row[1] = 0, row[2] = 0;
        } else if (t == n - 2) {
            row[0] = ws + p + 8 * wa, row[1] = -4 * wa, row[2] = 0;
        } else if (t == n - 3) {
            row[0] = ws + 3 * p + 4 * wa, row[1] = -6 * wa, row[2] = 2 * r;
        } else {
            row[0] = ws + 2 * p + 4 * wa, row[1] = -4 * wa, row[2] = r;
        }
    }
}

// In place as U' U: row t holds U[t][t], U[t][t+1], U[t][t+2].
void factorBand(CepOptimizer* o)
{
    double* u = o->band;
    for (int32_t t = 0; t < o->blockLength; ++t) {
        double* row = u + 3 * t;
        const double above1 = t >= 1 ? u[3 * (t - 1) + 1] : 0.0;   // U[t-1][t]
        const double above2 = t >= 2 ? u[3 * (t - 2) + 2] : 0.0;   // U[t-2][t]
        const double next = t >= 1 ? u[3 * (t - 1) + 2] : 0.0;     // U[t-1][t+1]
        row[0] = std::sqrt(row[0] - above1 * above1 - above2 * above2);
        row[1] = (row[1] - above1 * next) / row[0];
        row[2] = row[2] / row[0];
    }
}

void substitute(CepOptimizer* o)
{
    const int32_t n = o->blockLength;
    const double* u = o->band;
    double* y = o->forward;
    for (int32_t t = 0; t < n; ++t) {
        double v = o->rhs[t];
        if (t >= 1)
            v -= u[3 * (t - 1) + 1] * y[t - 1];
        if (t >= 2)
            v -= u[3 * (t - 2) + 2] * y[t - 2];
        y[t] = v / u[3 * t];
    }
    for (int32_t t = n - 1; t >= 0; --t) {
        double v = y[t];
        if (t + 1 < n)
            v -= u[3 * t + 1] * o->c[t + 1];
        if (t + 2 < n)
            v -= u[3 * t + 2] * o->c[t + 2];
        o->c[t] = v / u[3 * t];
    }
}

void useWeights(CepOptimizer* o, const double* w0, const double* w1, const double* w2)
{
    if (word(kBrevitParamUnitWeights)) {
        o->weightsInUse[0] = o->weightsInUse[1] = o->weightsInUse[2] = 1.0;
        return;
    }
    o->weightsInUse[0] = *w0;
    o->weightsInUse[1] = *w1;
    o->weightsInUse[2] = *w2;
}

void useCoefficientWeights(CepOptimizer* o, int32_t d)
{
    const double* w = o->coefficientWeights;
    useWeights(o, &w[d], &w[o->D + d], &w[2 * o->D + d]);
}

bool sameWeights(const CepOptimizer* o, int32_t d)
{
    const double* w = o->coefficientWeights;
    return w[d] == w[0] && w[o->D + d] == w[o->D] && w[2 * o->D + d] == w[2 * o->D];
}

// ---- streaming -----------------------------------------------------------

int32_t inSlot(const CepOptimizer* o, int32_t frame)
{
    return frame % o->L;
}

const int16_t* cepMeans(const CepOptimizer* o, int32_t frame)
{
    return o->inCepstra + static_cast<size_t>(inSlot(o, frame)) * 3 * static_cast<size_t>(o->D);
}

const int32_t* pitchMeansOf(const CepOptimizer* o, int32_t frame)
{
    return o->inPitch + 3 * static_cast<size_t>(inSlot(o, frame));
}

int32_t lastQueued(const CepOptimizer* o)
{
    return o->firstQueued + o->queued - 1;
}

int32_t outSlot(const CepOptimizer* o, int32_t frame)
{
    return frame % o->R;
}

int32_t rhsSlot(const CepOptimizer* o, int32_t frame)
{
    return frame % o->rhsSize;
}

// The static output of a frame: its static means, times the integer static
// scales with integer kernels.
int32_t staticOutput(const CepOptimizer* o, int32_t d, int16_t mean)
{
    const int64_t scale = o->integerKernels && o->integerScales != nullptr ? o->integerScales[d] : 1;
    return clamp32(scale * mean);
}

// k[0] b(i) + the sum over j = 1 .. K-1 of k[j] (b(i - j) + b(i + j)),
// leaving out the terms outside lo .. hi.
template <typename Sum, typename Kernel, typename Rhs>
Sum kernelSum(const Kernel* k, int32_t K, int32_t i, int32_t lo, int32_t hi, Rhs b)
{
    Sum sum = static_cast<Sum>(k[0]) * b(i);
    for (int32_t j = 1; j < K; ++j) {
        if (i - j >= lo)
            sum += static_cast<Sum>(k[j]) * b(i - j);
        if (i + j <= hi)
            sum += static_cast<Sum>(k[j]) * b(i + j);
    }
    return sum;
}

// W' P m of one frame with static weight 1, leaving out neighbours that do
// not exist (before frame 0, after the last queued frame).
void computeRhs(CepOptimizer* o, int32_t u)
{
    const int32_t D = o->D;
    const bool prev = u >= 1, next = u + 1 <= lastQueued(o);
    const int16_t* m = cepMeans(o, u);
    const int16_t* mp = prev ? cepMeans(o, u - 1) : nullptr;
    const int16_t* mn = next ? cepMeans(o, u + 1) : nullptr;
    for (int32_t d = 0; d < D; ++d) {
        int64_t dh = 0, da = -2 * int64_t{m[2 * D + d]};
        if (prev) {
            dh += mp[D + d];
            da += mp[2 * D + d];
        }
        if (next) {
            dh -= mn[D + d];
            da += mn[2 * D + d];
        }
        if (o->integerKernels) {
            o->rhsInts[static_cast<size_t>(d) * o->rhsSize + rhsSlot(o, u)] = clamp32(m[d] + dh + da);
        } else {
            const double wd = o->coefficientWeights[D + d], wa = o->coefficientWeights[2 * D + d];
            o->rhsDoubles[static_cast<size_t>(rhsSlot(o, u)) * D + d] =
                m[d] + wd * static_cast<double>(dh) + wa * static_cast<double>(da);
        }
    }
}

void smoothFrame(CepOptimizer* o, int32_t t)
{
    const int32_t D = o->D;
    const int32_t last = lastQueued(o);
    int32_t* out = o->outCepstra + static_cast<size_t>(outSlot(o, t)) * D;
    if (o->inPassThrough[inSlot(o, t)]) {
        const int16_t* m = cepMeans(o, t);
        for (int32_t d = 0; d < D; ++d)
            out[d] = staticOutput(o, d, m[d]);
        return;
    }
    for (int32_t d = 0; d < D; ++d) {
        if (o->integerKernels) {
            const int32_t* b = o->rhsInts + static_cast<size_t>(d) * o->rhsSize;
            out[d] = clamp32(kernelSum<int64_t>(o->intKernels[d], o->K, t, 0, last,
                                                [&](int32_t frame) { return int64_t{b[rhsSlot(o, frame)]}; }));
        } else {
            out[d] = CepOptimizer_Round(kernelSum<double>(o->doubleKernels[d], o->K, t, 0, last, [&](int32_t frame) {
                return o->rhsDoubles[static_cast<size_t>(rhsSlot(o, frame)) * D + d];
            }));
        }
    }
}

void emitPitch(CepOptimizer* o, int32_t frame, int32_t logPitch, int32_t voicing)
{
    o->outPitch[outSlot(o, frame)] = logPitch;
    o->outVoicing[outSlot(o, frame)] = voicing;
}

// Frames from .. to keep their static pitch means.
void emitStaticPitch(CepOptimizer* o, int32_t from, int32_t to)
{
    for (int32_t t = from; t <= to; ++t)
        emitPitch(o, t, pitchMeansOf(o, t)[0], o->inVoicing[inSlot(o, t)]);
}

// Frames f .. last lack pitch and end a voiced run: 1 to 5 keep their
// static means, more are solved as one block from the pitch start.
void finishVoicedRun(CepOptimizer* o, int32_t last)
{
    const int32_t f = o->delivered + o->pitchReady;
    const int32_t count = last - f + 1;
    if (count >= kCepOptMinBlock)
        CepOptimizer_SolvePitchBlock(o, std::min(o->pitchStart, f), last, f, last);
    else if (count >= 1)
        emitStaticPitch(o, f, last);
}

void pitchStep(CepOptimizer* o)
{
    const int32_t n = lastQueued(o);
    const int32_t f = o->delivered + o->pitchReady;
    const int32_t u = n + 1 - f;
    const int32_t v = o->inVoicing[inSlot(o, n)];
    if (v != 0 && u < o->L - o->keptOverlap) {
        if (o->pitchStart < n - o->L + 2)
            o->pitchStart += 1;
    } else if (v != 0) {
        const int32_t overlap = (o->L - o->S) / 2;
        CepOptimizer_SolvePitchBlock(o, f - o->keptOverlap, n, f, n - overlap);
        o->pitchReady += n - overlap - f + 1;
        o->keptOverlap = overlap;
        o->pitchStart += 1;
    } else {
        finishVoicedRun(o, n - 1);
        emitPitch(o, n, kCepOptUnvoiced, 0);
        o->pitchReady = n - o->delivered + 1;
        o->keptOverlap = 0;
        o->pitchStart = n + 1;
    }
}

void release(CepOptimizer* o)
{
    const int32_t lowest = std::min(o->firstNeeded, o->pitchStart);
    while (o->queued > 0 && o->firstQueued < lowest) {
        o->firstQueued += 1;
        o->queued -= 1;
    }
    o->firstQueuedSlot = inSlot(o, o->firstQueued);
}

bool ringBytesFit(int64_t count, int64_t size)
{
    return count * size <= kDVKMemMaxRequest;
}

// Streaming needs kernels, an output ring that holds a whole pitch block
// and the right-hand-side ring the kernels read.
bool canStream(const CepOptimizer* o, int32_t R)
{
    const int32_t rhsWord = o->integerKernels ? kBrevitParamRhsRingIntegers : kBrevitParamRhsRingDoubles;
    return o->K >= 1 && R >= o->L && word(rhsWord) &&
           ringBytesFit(int64_t{R} * o->D, sizeof(int32_t)) &&
           ringBytesFit(2 * int64_t{o->K} * o->D, sizeof(double));
}

void allocateRings(CepOptimizer* o, int32_t R)
{
    CepOptimizer_FreeRings(o);
    const int64_t D = o->D, L = o->L;
    o->R = R;
    o->rhsSize = 2 * o->K;
    o->inCepstra = allocOrThrow<int16_t>(L * 3 * D);
    o->inPitch = allocOrThrow<int32_t>(L * 3);
    o->inVoicing = allocOrThrow<int32_t>(L);
    o->inPassThrough = allocOrThrow<uint8_t>(L);
    o->outCepstra = allocOrThrow<int32_t>(int64_t{R} * D);
    o->outPitch = allocOrThrow<int32_t>(R);
    o->outVoicing = allocOrThrow<int32_t>(R);
    if (o->integerKernels)
        o->rhsInts = allocOrThrow<int32_t>(o->rhsSize * D);
    else
        o->rhsDoubles = allocOrThrow<double>(o->rhsSize * D);
    o->ringsAllocated = 1;
}

// ---- whole utterance -----------------------------------------------------

// Blocks of at most L frames over count frames, starting at multiples of S,
// the last moved back to end at the last frame. Of two overlapping blocks
// the earlier owns the frames before the overlap's first frame + half of it.
template <typename Visit>
void forEachBlock(int32_t count, int32_t L, int32_t S, Visit visit)
{
    if (count <= L) {
        visit(0, count - 1, 0, count - 1, -1);
        return;
    }
    int32_t start = 0, ownFrom = 0, previousEnd = -1;
    while (true) {
        const bool last = start + L >= count;
        if (last)
            start = count - L;
        const int32_t end = start + L - 1;
        int32_t ownTo = end;
        if (!last) {
            const int32_t nextStart = std::min(start + S, count - L);
            ownTo = nextStart + (end - nextStart + 1) / 2 - 1;
        }
        visit(start, end, ownFrom, ownTo, previousEnd);
        if (last)
            return;
        ownFrom = ownTo + 1;
        previousEnd = end;
        start += S;
    }
}

// Solves one track of count frames in blocks; mean(t, &s, &h, &a) gives
// frame t's means (h already halved), write(t, value) takes a solution.
// Blocks shorter than the solver takes keep their static means.
template <typename Mean, typename Write>
void solveTrack(CepOptimizer* o, int32_t count, bool reuse, Mean mean, Write write)
{
    const bool feedOverlap = word(kBrevitParamOverlapBlocks);
    int32_t previousStart = 0;
    forEachBlock(count, o->L, o->S, [&](int32_t start, int32_t end, int32_t ownFrom, int32_t ownTo,
                                        int32_t previousEnd) {
        const int32_t n = end - start + 1;
        if (n < kCepOptMinBlock) {
            for (int32_t t = ownFrom; t <= ownTo; ++t) {
                double s = 0, h = 0, a = 0;
                mean(t, &s, &h, &a);
                write(t, CepOptimizer_Round(s));
            }
            return;
        }
        for (int32_t t = start; t <= end; ++t) {
            double* s = &o->s[t - start];
            double* h = &o->h[t - start];
            double* a = &o->a[t - start];
            if (feedOverlap && t <= previousEnd) {
                // From the previous block's solution, still in c.
                auto x = [&](int32_t frame) {
                    return o->c[std::clamp(frame, previousStart, previousEnd) - previousStart];
                };
                const double before = x(t - 1), here = x(t), after = x(t + 1);
                *s = here;
                *h = 0.25 * (after - before);
                *a = after - 2 * here + before;
            } else {
                mean(t, s, h, a);
            }
        }
        // The means of an overlap are read before c changes.
        o->blockLength = n;
        const bool cached = reuse && n == o->L;
        if (cached)
            std::memcpy(o->band, o->cachedFactor, 3 * static_cast<size_t>(n) * sizeof(double));
        CepOptimizer_Solve(o, cached ? 0 : 1);
        for (int32_t t = ownFrom; t <= ownTo; ++t)
            write(t, CepOptimizer_Round(o->c[t - start]));
        previousStart = start;
    });
}

// Output chunks whose kernel context (K - 1 frames each side, clipped at
// the utterance ends) fits a block of L frames.
template <typename Visit>
void forEachKernelBlock(const CepOptimizer* o, int32_t T, int32_t from, int32_t to, Visit visit)
{
    const int32_t chunk = o->L - 2 * (o->K - 1);
    for (int32_t first = from; first <= to; first += chunk) {
        const int32_t last = std::min(to, first + chunk - 1);
        visit(std::max(0, first - o->K + 1), std::min(T - 1, last + o->K - 1), first, last);
    }
}

void optimizeDoubleKernels(CepOptimizer* o, int32_t T, int32_t from, int32_t to,
                           const int16_t* const* means, int32_t* const* outputs)
{
    const int32_t D = o->D;
    for (int32_t d = 0; d < D; ++d) {
        const double* k = o->doubleKernels[d];
        forEachKernelBlock(o, T, from, to, [&](int32_t start, int32_t end, int32_t first, int32_t last) {
            const int32_t n = end - start + 1;
            if (n < kCepOptMinBlock) {
                for (int32_t t = first; t <= last; ++t)
                    outputs[t][d] = means[t][d];
                return;
            }
            for (int32_t t = start; t <= end; ++t) {
                o->s[t - start] = means[t][d];
                o->h[t - start] = means[t][D + d] / 2;
                o->a[t - start] = means[t][2 * D + d];
            }
            o->blockLength = n;
            useCoefficientWeights(o, d);
            buildRhs(o);
            for (int32_t t = first; t <= last; ++t)
                outputs[t][d] = CepOptimizer_Round(
                    kernelSum<double>(k, o->K, t - start, 0, n - 1, [&](int32_t i) { return o->rhs[i]; }));
        });
    }
}

void optimizeIntegerKernels(CepOptimizer* o, int32_t T, int32_t from, int32_t to,
                            const int16_t* const* means, int32_t* const* outputs)
{
    const int32_t D = o->D;
    for (int32_t d = 0; d < D; ++d) {
        const int32_t* k = o->intKernels[d];
        forEachKernelBlock(o, T, from, to, [&](int32_t start, int32_t end, int32_t first, int32_t last) {
            for (int32_t t = start; t <= end; ++t) {
                const int16_t* m = means[t];
                int64_t b = m[d] - 2 * int64_t{m[2 * D + d] };
                if (t > start)
                    b += means[t - 1][D + d] / 2 + means[t - 1][2 * D + d];
                if (t < end)
                    b += -(means[t + 1][D + d] / 2) + means[t + 1][2 * D + d];
                o->intC[t - start] = clamp32(b);
            }
            const int32_t n = end - start + 1;
            for (int32_t t = first; t <= last; ++t)
                outputs[t][d] = clamp32(kernelSum<int64_t>(k, o->K, t - start, 0, n - 1,
                                                           [&](int32_t i) { return int64_t{o->intC[i]}; }));
        });
    }
}

} // namespace

int32_t CepOptimizer_Round(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = std::trunc(x >= 0 ? x + 0.5 : x - 0.5);
    return static_cast<int32_t>(std::clamp(r, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

CepOptimizer* CepOptimizer_LoadFromBinFile(BinFileReader* reader)
{
    auto* o = static_cast<CepOptimizer*>(DVKMem_Calloc(sizeof(CepOptimizer)));
    if (o == nullptr)
        return nullptr;
    if (!readRecords(reader, o)) {
        CepOptimizer_Delete(o);
        return nullptr;
    }
    // The working vectors raise when memory runs out: free the object
    // before passing the error on.
    if (DVKErr_Protect([&] { CepOptimizer_Init(o); }) != 0) {
        CepOptimizer_Delete(o);
        DVKErr_Throw();
    }
    return o;
}

void CepOptimizer_Init(CepOptimizer* o)
{
    const int64_t L = o->L;
    o->s = allocOrThrow<double>(L);
    o->h = allocOrThrow<double>(L);
    o->a = allocOrThrow<double>(L);
    o->c = allocOrThrow<double>(L);
    o->cachedFactor = allocOrThrow<double>(3 * L);
    o->band = allocOrThrow<double>(3 * L);
    o->rhs = allocOrThrow<double>(L);
    o->forward = allocOrThrow<double>(L);
    if (word(kBrevitParamRhsRingIntegers) || (o->K > 0 && o->integerKernels)) {
        o->intS = allocOrThrow<int32_t>(L);
        o->intH = allocOrThrow<int32_t>(L);
        o->intA = allocOrThrow<int32_t>(L);
        o->intC = allocOrThrow<int32_t>(L);
    }
}

void CepOptimizer_FreeRings(CepOptimizer* o)
{
    void** rings[] = {reinterpret_cast<void**>(&o->inCepstra),  reinterpret_cast<void**>(&o->inPitch),
                      reinterpret_cast<void**>(&o->inVoicing),  reinterpret_cast<void**>(&o->inPassThrough),
                      reinterpret_cast<void**>(&o->outCepstra), reinterpret_cast<void**>(&o->outPitch),
                      reinterpret_cast<void**>(&o->outVoicing), reinterpret_cast<void**>(&o->rhsDoubles),
                      reinterpret_cast<void**>(&o->rhsInts)};
    for (void** ring : rings) {
        DVKMem_Free(*ring);
        *ring = nullptr;
    }
    o->ringsAllocated = 0;
}

void CepOptimizer_Delete(CepOptimizer* o)
{
    if (o == nullptr)
        return;
    CepOptimizer_FreeRings(o);
    void* blocks[] = {o->coefficientWeights, o->s, o->h, o->a, o->c, o->cachedFactor, o->band,
                      o->rhs, o->forward, o->intS, o->intH, o->intA, o->intC, o->integerScales};
    for (void* block : blocks)
        DVKMem_Free(block);
    DVKMem_2DFree(o->doubleKernels);
    DVKMem_2DFree(o->intKernels);
    DVKMem_Free(o);
}

int32_t CepOptimizer_StartUtterance(CepOptimizer* o)
{
    o->endOfInput = 0;
    o->queued = 0;
    o->firstQueued = 0;
    o->firstQueuedSlot = 0;
    o->firstNeeded = 0;
    o->pitchStart = 0;
    o->keptOverlap = 0;
    o->cepstraReady = 0;
    o->pitchReady = 0;
    o->delivered = 0;
    o->readSlot = 0;
    o->rhsCount = 0;
    o->rhsFirst = 0;
    o->rhsHead = 0;
    const auto R = static_cast<int32_t>(BrevitParam_Word(kBrevitParamOutputRingSlots));
    if (word(kBrevitParamSmootherRings) && !o->ringsAllocated && canStream(o, R))
        allocateRings(o, R);
    return 0;
}

void CepOptimizer_StopUtterance(CepOptimizer* o)
{
    if (word(kBrevitParamSmootherRings))
        CepOptimizer_FreeRings(o);
}

void CepOptimizer_StreamCepstra(CepOptimizer* o)
{
    const int32_t last = lastQueued(o);
    for (int32_t t = o->delivered + o->cepstraReady; o->endOfInput ? t <= last : t + o->K <= last;
         t = o->delivered + o->cepstraReady) {
        // Frames older than t - K + 1 leave the right-hand-side ring, then
        // it is brought up to t + K - 1.
        while (o->rhsCount > 0 && o->rhsFirst < t - o->K + 1) {
            o->rhsFirst += 1;
            o->rhsCount -= 1;
        }
        const int32_t target = std::min(last, t + o->K - 1);
        for (int32_t u = o->rhsFirst + o->rhsCount; u <= target; ++u) {
            computeRhs(o, u);
            o->rhsCount += 1;
        }
        o->rhsHead = rhsSlot(o, o->rhsFirst);
        smoothFrame(o, t);
        o->cepstraReady += 1;
    }
    o->firstNeeded = std::max({o->firstNeeded, o->delivered + o->cepstraReady + 1 - o->K, 0});
}

void CepOptimizer_SolvePitchBlock(CepOptimizer* o, int32_t first, int32_t last, int32_t from,
                                  int32_t to)
{
    const int32_t n = last - first + 1;
    if (n < kCepOptMinBlock) {
        emitStaticPitch(o, from, to);
        return;
    }
    for (int32_t t = first; t <= last; ++t) {
        const int32_t* m = pitchMeansOf(o, t);
        o->s[t - first] = m[0];
        o->h[t - first] = m[1] / 2;
        o->a[t - first] = m[2];
    }
    o->blockLength = n;
    useWeights(o, &o->pitchWeights[0], &o->pitchWeights[1], &o->pitchWeights[2]);
    CepOptimizer_Solve(o, 1);
    for (int32_t t = from; t <= to; ++t)
        emitPitch(o, t, CepOptimizer_Round(o->c[t - first]), o->inVoicing[inSlot(o, t)]);
}

int32_t CepOptimizer_AddFrame(CepOptimizer* o, const int16_t* cepstralMeans,
                              const int32_t* pitchMeans, int32_t voicing, uint8_t passThrough)
{
    if (!o->ringsAllocated || o->endOfInput)
        return kCepOptFailure;
    const int32_t n = o->firstQueued + o->queued;
    // The new frame's output slot must not hold an undelivered frame.
    if (o->cepstraReady >= o->R || o->pitchReady >= o->R || n - o->delivered >= o->R)
        return kCepOptFull;
    if (o->queued >= o->L || n == std::numeric_limits<int32_t>::max())
        return kCepOptFailure;
    const int32_t D = o->D;
    int16_t* m = o->inCepstra + static_cast<size_t>(inSlot(o, n)) * 3 * static_cast<size_t>(D);
    std::memcpy(m, cepstralMeans, 3 * static_cast<size_t>(D) * sizeof(int16_t));
    for (int32_t d = 0; d < D; ++d)
        m[D + d] = static_cast<int16_t>(m[D + d] / 2);
    std::memcpy(o->inPitch + 3 * static_cast<size_t>(inSlot(o, n)), pitchMeans, 3 * sizeof(int32_t));
    o->inVoicing[inSlot(o, n)] = voicing;
    o->inPassThrough[inSlot(o, n)] = passThrough;
    o->queued += 1;
    CepOptimizer_StreamCepstra(o);
    pitchStep(o);
    release(o);
    return o->cepstraReady > 0 && o->pitchReady > 0 ? kCepOptReady : kCepOptNotYet;
}

int32_t CepOptimizer_Flush(CepOptimizer* o)
{
    if (!o->ringsAllocated)
        return kCepOptFailure;
    o->endOfInput = 1;
    CepOptimizer_StreamCepstra(o);
    // A voiced ending gets its pitch as an unvoiced frame would give it;
    // otherwise its frames never become deliverable.
    const int32_t last = lastQueued(o);
    const int32_t f = o->delivered + o->pitchReady;
    if (last >= f) {
        finishVoicedRun(o, last);
        o->pitchReady = last - o->delivered + 1;
        o->keptOverlap = 0;
        o->pitchStart = last + 1;
    }
    o->firstQueued = last + 1;
    o->queued = 0;
    o->firstQueuedSlot = inSlot(o, o->firstQueued);
    return o->cepstraReady > 0 ? kCepOptReady : kCepOptEnded;
}

int32_t CepOptimizer_NextFrame(CepOptimizer* o, int32_t* cepstra, int32_t* logPitch,
                               int32_t* voicing)
{
    if (!o->ringsAllocated)
        return kCepOptFailure;
    if (o->cepstraReady == 0)
        return o->endOfInput ? kCepOptEnded : kCepOptNotYet;
    if (o->pitchReady == 0)
        return kCepOptNotYet;
    std::memcpy(cepstra, o->outCepstra + static_cast<size_t>(o->readSlot) * o->D,
                static_cast<size_t>(o->D) * sizeof(int32_t));
    *logPitch = o->outPitch[o->readSlot];
    *voicing = o->outVoicing[o->readSlot];
    o->readSlot = (o->readSlot + 1) % o->R;
    o->delivered += 1;
    o->cepstraReady -= 1;
    o->pitchReady -= 1;
    return kCepOptReady;
}

void CepOptimizer_Solve(CepOptimizer* o, int32_t rebuild)
{
    buildRhs(o);
    if (rebuild) {
        buildBand(o);
        factorBand(o);
    }
    substitute(o);
}

void CepOptimizer_FactorFullBlock(CepOptimizer* o)
{
    o->blockLength = o->L;
    useCoefficientWeights(o, 0);
    buildBand(o);
    factorBand(o);
    std::memcpy(o->cachedFactor, o->band, 3 * static_cast<size_t>(o->L) * sizeof(double));
}

int32_t CepOptimizer_Optimize(CepOptimizer* o, int32_t T, int32_t E,
                              const int16_t* const* means, int32_t* const* outputs,
                              const uint8_t* voiced, const int32_t* const* pitchMeans,
                              int32_t* const* pitchOutputs)
{
    if (T < 1)
        return 0;
    const int32_t D = o->D;
    E = std::clamp(E, 0, (T + 1) / 2);
    const int32_t from = E, to = T - E - 1;
    auto edge = [&](int32_t t) { return t < from || t > to; };
    for (int32_t t = 0; t < T; ++t) {
        if (!edge(t))
            continue;
        for (int32_t d = 0; d < D; ++d)
            outputs[t][d] = staticOutput(o, d, means[t][d]);
        *pitchOutputs[t] = voiced[t] ? pitchMeans[t][0] : kCepOptUnvoiced;
    }
    if (from <= to && o->K > 0 && !o->integerKernels) {
        optimizeDoubleKernels(o, T, from, to, means, outputs);
    } else if (from <= to && o->K > 0) {
        optimizeIntegerKernels(o, T, from, to, means, outputs);
    } else if (from <= to) {
        const bool unit = word(kBrevitParamUnitWeights);
        const bool mayReuse = D > 1 && (unit || word(kBrevitParamReuseFactor));
        if (mayReuse)
            CepOptimizer_FactorFullBlock(o);
        for (int32_t d = 0; d < D; ++d) {
            useCoefficientWeights(o, d);
            solveTrack(o, T, mayReuse && (unit || sameWeights(o, d)),
                       [&](int32_t t, double* s, double* h, double* a) {
                           *s = means[t][d];
                           *h = means[t][D + d] / 2;
                           *a = means[t][2 * D + d];
                       },
                       [&](int32_t t, int32_t value) {
                           if (!edge(t))
                               outputs[t][d] = value;
                       });
        }
    }
    // Pitch: voiced runs longer than five frames are solved, every other
    // frame is unvoiced.
    for (int32_t start = from; start <= to;) {
        if (!voiced[start]) {
            *pitchOutputs[start++] = kCepOptUnvoiced;
            continue;
        }
        int32_t end = start;
        while (end + 1 < T && voiced[end + 1])
            ++end;
        // The run reaches into the edges for context.
        int32_t runStart = start;
        while (runStart > 0 && voiced[runStart - 1])
            --runStart;
        const int32_t count = end - runStart + 1;
        if (count < kCepOptMinBlock) {
            for (int32_t t = start; t <= std::min(end, to); ++t)
                *pitchOutputs[t] = kCepOptUnvoiced;
        } else {
            useWeights(o, &o->pitchWeights[0], &o->pitchWeights[1], &o->pitchWeights[2]);
            solveTrack(o, count, false,
                       [&](int32_t t, double* s, double* h, double* a) {
                           const int32_t* m = pitchMeans[runStart + t];
                           *s = m[0];
                           *h = m[1] / 2;
                           *a = m[2];
                       },
                       [&](int32_t t, int32_t value) {
                           if (!edge(runStart + t))
                               *pitchOutputs[runStart + t] = value;
                       });
        }
        start = end + 1;
    }
    return 0;
}

void CepOptimizer_SetInvVars(CepOptimizer* o, const double* coefficientWeights,
                             const double* pitchWeights)
{
    const int32_t D = o->D;
    if (!soundWeights(coefficientWeights, D) || !soundWeights(pitchWeights, 1))
        return;
    std::memcpy(o->coefficientWeights, coefficientWeights, 3 * static_cast<size_t>(D) * sizeof(double));
    std::memcpy(o->pitchWeights, pitchWeights, sizeof(o->pitchWeights));
    double* w = o->coefficientWeights;
    const bool doubleKernels = o->K > 0 && !o->integerKernels;
    if (!doubleKernels) {
        if (word(kBrevitParamReuseFactor) && D >= 2)
            for (int32_t d = 1; d < D; ++d)
                for (int32_t i = 0; i < 3; ++i)
                    w[i * D + d] = w[i * D];
    } else if (word(kBrevitParamSmootherRings)) {
        // Streaming weighs the static term 1.
        for (int32_t d = 1; d < D; ++d) {
            w[D + d] /= w[d];
            w[2 * D + d] /= w[d];
        }
    } else {
        for (int32_t d = 0; d < D; ++d)
            for (int32_t j = 0; j < o->K; ++j)
                o->doubleKernels[d][j] /= w[d];
    }
}

uint32_t CepOptimizer_ComputeCRC(const CepOptimizer* o, int32_t full)
{
    const int32_t D = o->D, L = o->L;
    uint32_t crc = 0xFFFFFFFFu;
    auto addInt = [&](int32_t v) { crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc); };
    auto addDoubles = [&](const double* v, int64_t n) {
        if (v != nullptr)
            crc = DVKCrc_AddArrayDouble(v, static_cast<int32_t>(n), crc);
    };
    auto addArray = [&](const void* v, int32_t size, int64_t n) {
        if (v != nullptr)
            crc = DVKCrc_AddArray(v, size, static_cast<int32_t>(n), crc);
    };
    addInt(D);
    addInt(L);
    if (full) {
        addInt(o->blockLength);
        addInt(o->S);
        addDoubles(o->weightsInUse, 2);
    } else {
        addInt(o->S);
    }
    addDoubles(o->coefficientWeights, 2 * int64_t{D});
    addDoubles(o->pitchWeights, 2);
    if (full && o->ringsAllocated) {
        addInt(o->blockLength);
        for (const double* v : {o->s, o->h, o->a, o->c})
            addDoubles(v, L);
        addDoubles(o->cachedFactor, 3 * int64_t{L});
        addDoubles(o->band, 3 * int64_t{L});
        addDoubles(o->rhs, L);
        addDoubles(o->forward, L);
        for (const int32_t* v : {o->intS, o->intH, o->intA, o->intC})
            addArray(v, 4, L);
    }
    addInt(o->K);
    addInt(o->integerKernels);
    for (int32_t d = 0; o->doubleKernels != nullptr && d < D; ++d)
        addDoubles(o->doubleKernels[d], o->K);
    for (int32_t d = 0; o->intKernels != nullptr && d < D; ++d)
        addArray(o->intKernels[d], 4, o->K);
    addArray(o->integerScales, 4, D);
    if (!full) {
        addInt(L);
        addInt(o->queued);
        addInt(o->R);
        addInt(o->rhsSize);
        return crc;
    }
    addInt(o->endOfInput);
    if (o->ringsAllocated) {
        addArray(o->inCepstra, 2, int64_t{L} * 3 * D);
        addArray(o->inPitch, 4, 3 * int64_t{L});
        addArray(o->inVoicing, 4, L);
        addArray(o->inPassThrough, 1, L);
    }
    for (int32_t v : {L, o->queued, o->firstQueued, o->firstQueuedSlot, o->firstNeeded, o->pitchStart,
                      o->keptOverlap})
        addInt(v);
    if (o->ringsAllocated) {
        addArray(o->outCepstra, 4, int64_t{o->R} * D);
        addArray(o->outPitch, 4, o->R);
        addArray(o->outVoicing, 4, o->R);
    }
    for (int32_t v : {o->R, o->cepstraReady, o->pitchReady, o->delivered, o->readSlot})
        addInt(v);
    if (o->ringsAllocated) {
        addDoubles(o->rhsDoubles, int64_t{o->rhsSize} * D);
        addArray(o->rhsInts, 4, int64_t{o->rhsSize} * D);
    }
    for (int32_t v : {o->rhsSize, o->rhsCount, o->rhsFirst, o->rhsHead})
        addInt(v);
    return crc;
}
