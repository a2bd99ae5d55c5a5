// What each installed kernel reads, checked against what the model holds.
#include "core/brevit/acoustic/am_kernel_util.h"
#include "core/brevit/acoustic/am_kernels.h"

#include <initializer_list>

namespace {

template <typename F>
bool among(F f, std::initializer_list<F> set)
{
    for (F g : set)
        if (f == g)
            return true;
    return false;
}

// Inner-product words a state or component kernel reads per row; 0 when
// it reads none.
int32_t wordsRead(const AM* am)
{
    const AMStateKernel s = am->stateKernel;
    const AMComponentKernel c = am->componentKernel;
    if (among<AMStateKernel>(s, {AM_CalculateScoreScalarCovInnerProduct36Simple}))
        return 9;
    if (s == AM_CalculateScoreScalarCovInnerProductSimpleGeneral)
        return AM_SimpleGeneralWords(am);
    if (among<AMStateKernel>(s, {AM_CalculateScoreScalarCovInnerProduct24EvenSimple,
                                 AM_CalculateScoreScalarCovInnerProduct24OddSimple,
                                 AM_CalculateScoreScalarCovInnerProduct24EvenNonEst,
                                 AM_CalculateScoreScalarCovInnerProduct24OddNonEst,
                                 AM_CalculateScoreScalarCovInnerProduct24Even,
                                 AM_CalculateScoreScalarCovInnerProduct24Odd,
                                 AM_CalculateScoreScalarCovInnerProduct24Backoff}) ||
        among<AMComponentKernel>(c, {AM_CalculateComponentScoreScalarCovInnerProduct24,
                                     AM_CalculateComponentScoreScalarCovInnerProduct24Simple,
                                     AM_CalculateComponentScoreScalarCovInnerProduct24NonEst}))
        return c == AM_CalculateComponentScoreScalarCovInnerProduct36Simple ? 9 : 6;
    if (c == AM_CalculateComponentScoreScalarCovInnerProduct36Simple)
        return 9;
    if (among<AMStateKernel>(s, {AM_CalculateScoreScalarCovInnerProduct12EvenSimple,
                                 AM_CalculateScoreScalarCovInnerProduct12Odd,
                                 AM_CalculateScoreScalarCovInnerProduct24Even4B,
                                 AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst,
                                 AM_CalculateScoreScalarCovInnerProduct24Backoff4B,
                                 AM_CalculateLaplacianScalarCovInnerProduct24Even4B,
                                 AM_CalculateLaplacianCSVInnerProduct24Even4B}))
        return 3;
    return 0;
}

} // namespace

int32_t AM_KernelsFit(const AM* am)
{
    const AMStateKernel s = am->stateKernel;
    const AMComponentKernel c = am->componentKernel;
    if (s == nullptr)
        return 1;
    const int32_t dim = am->featureDim;
    if (am->fourBitMeans && dim % 2 != 0)
        return 0;
    const bool byteRows = !am->innerProduct && !am->hareTurtle;
    const bool readsByteMeans =
        among<AMStateKernel>(s, {AM_CalculateScoreCSV, AM_CalculateScoreCSVThreshold, AM_CalculateScoreCSVByte,
                                 AM_CalculateScoreCSVByteThreshold, AM_CalculateScoreCSVByte36,
                                 AM_CalculateScoreCSVByteThreshold36, AM_CalculateScoreCSV4B}) ||
        among<AMComponentKernel>(c, {AM_CalculateComponentScoreCSV, AM_CalculateComponentScoreCSVByte,
                                     AM_CalculateComponentScoreCSV4B, AM_CalculateComponentScoreLaplacian,
                                     AM_CalculateComponentScoreLaplacianScalarCov}) ||
        (byteRows && among<AMComponentKernel>(c, {AM_CalculateComponentScoreScalarCov,
                                                  AM_CalculateComponentScoreScalarCov4B}));
    if (readsByteMeans && am->means.data == nullptr)
        return 0;
    const bool wordWeights = among<AMStateKernel>(s, {AM_CalculateScoreCSV, AM_CalculateScoreCSVThreshold}) ||
                             among<AMComponentKernel>(c, {AM_CalculateComponentScoreCSV,
                                                          AM_CalculateComponentScoreLaplacian});
    if (wordWeights && am->invVar16.data == nullptr)
        return 0;
    const bool byteWeights =
        among<AMStateKernel>(s, {AM_CalculateScoreCSVByte, AM_CalculateScoreCSVByteThreshold,
                                 AM_CalculateScoreCSVByte36, AM_CalculateScoreCSVByteThreshold36,
                                 AM_CalculateScoreCSV4B}) ||
        among<AMComponentKernel>(c, {AM_CalculateComponentScoreCSVByte, AM_CalculateComponentScoreCSV4B});
    if (byteWeights && am->invVarByte.data == nullptr)
        return 0;
    // With 4-bit weights a row holds only half the dimensions; every kernel
    // but the 4-bit one reads a whole weight per dimension.
    const bool wholeByteRows =
        among<AMStateKernel>(s, {AM_CalculateScoreCSVByte, AM_CalculateScoreCSVByteThreshold,
                                 AM_CalculateScoreCSVByte36, AM_CalculateScoreCSVByteThreshold36}) ||
        c == AM_CalculateComponentScoreCSVByte;
    if ((wordWeights || wholeByteRows) && am->varStride < dim)
        return 0;
    if (among<AMStateKernel>(s, {AM_CalculateScoreCSVByte36, AM_CalculateScoreCSVByteThreshold36}) && dim < 36)
        return 0;
    const int32_t words = wordsRead(am);
    const int32_t frameWords = std::max(24, (dim + 3) / 4 * 4) / 4;
    if (words > 0 && (words > am_kernel::rowWords(am) || words > frameWords))
        return 0;
    const bool laplacianWords = among<AMStateKernel>(s, {AM_CalculateLaplacianScalarCovInnerProduct24Even4B,
                                                        AM_CalculateLaplacianCSVInnerProduct24Even4B});
    if (am->innerProduct && !laplacianWords && words > 0 && am->companions1.data == nullptr)
        return 0;
    if (s == AM_CalculateLaplacianCSVInnerProduct24Even4B && (am->var32.data == nullptr || am->varStride < 3))
        return 0;
    if (am->innerProduct && am->fourBitMeans && c == AM_CalculateComponentScoreScalarCov4B && dim > 24)
        return 0;
    if (s == AM_CalculateScoreCSVInnerProductTurtle || c == AM_CalculateComponentScoreCSVInnerProductTurtle) {
        // The byte weights are stored as whole words: a mean-row stride that
        // is no multiple of four leaves the last row short.
        const int64_t rows = am->covType == 4 ? am->numComponents : am->covType == 3 ? am->numStates : 1;
        if (rows > 0 && (rows - 1) * am->meanStride + dim > 4 * static_cast<int64_t>(am->htWeights.count))
            return 0;
    }
    // Added states of a Hare/Turtle model are scored over the first row of
    // byte weights, whatever the model's own rows.
    if (am->hareTurtle && am->hasAddedModels && 4 * static_cast<int64_t>(am->htWeights.count) < dim)
        return 0;
    if (s == AM_CalculateScoreCSVInnerProductHare) {
        const int64_t rows = am->covType == 4 ? am->numComponents : 1;
        if (dim != 36 || am->htLength != 18 || am->ipStride < 9 ||
            rows * am->ipStride > static_cast<int64_t>(am->htWeights.count))
            return 0;
    }
    return 1;
}
