// Weighted edit distance between word sequences, its error segments and the
// oracle over a list of alternatives.
#include "core/brevit/search/scoring.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kSubstitutionCost = 4;
constexpr int32_t kGapCost = 3;

// A segment of the running oracle and where its hypothesis words come from:
// 0 the hypothesis, k alternative k.
struct SourcedSegment {
    ScoringSegment segment;
    int32_t source;
};

// Engine memory that raises when it cannot be had, freed with its owner.
template <typename T>
struct Buffer {
    T* data = nullptr;
    explicit Buffer(int32_t count)
    {
        data = static_cast<T*>(DVKMem_MallocOrThrow(static_cast<uint32_t>(std::max(count, 1)) * sizeof(T)));
    }
    ~Buffer() { DVKMem_Free(data); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
};

int32_t alternativeLength(const ScoringAlternatives* alternatives, int32_t k)
{
    return alternatives->offsets[k] - alternatives->offsets[k - 1];
}

} // namespace

int32_t Scoring_EditDistance(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                             const uint32_t* hypothesis, uint8_t* operations, int32_t* length)
{
    const int32_t rows = referenceLength + 1;
    const int32_t columns = hypothesisLength + 1;
    auto** cost = static_cast<int32_t**>(DVKMem_2DCalloc(sizeof(int32_t), rows, columns));
    auto** step = static_cast<uint8_t**>(cost != nullptr ? DVKMem_2DCalloc(1, rows, columns) : nullptr);
    if (step == nullptr) {
        DVKMem_2DFree(cost);
        DVKErr_Raise(__FILE__, __LINE__, "out of memory aligning %d and %d words", referenceLength,
                     hypothesisLength);
    }
    for (int32_t j = 1; j < columns; ++j) {
        cost[0][j] = kGapCost * j;
        step[0][j] = kScoringInsertion;
    }
    for (int32_t i = 1; i < rows; ++i) {
        cost[i][0] = kGapCost * i;
        step[i][0] = kScoringDeletion;
        for (int32_t j = 1; j < columns; ++j) {
            int32_t best = cost[i - 1][j - 1];
            uint8_t op = kScoringMatch;
            if (reference[i - 1] != hypothesis[j - 1]) {
                best += kSubstitutionCost;
                op = kScoringSubstitution;
            }
            if (cost[i - 1][j] + kGapCost < best) {
                best = cost[i - 1][j] + kGapCost;
                op = kScoringDeletion;
            }
            if (cost[i][j - 1] + kGapCost < best) {
                best = cost[i][j - 1] + kGapCost;
                op = kScoringInsertion;
            }
            cost[i][j] = best;
            step[i][j] = op;
        }
    }
    // Trace back, writing from the far end, then move the run to the front.
    const int32_t most = referenceLength + hypothesisLength;
    int32_t at = most;
    int32_t errors = 0;
    for (int32_t i = referenceLength, j = hypothesisLength; i > 0 || j > 0;) {
        const uint8_t op = step[i][j];
        operations[--at] = op;
        if (op != kScoringMatch)
            ++errors;
        if (op == kScoringMatch || op == kScoringSubstitution) {
            --i;
            --j;
        } else if (op == kScoringInsertion) {
            --j;
        } else {
            --i;
        }
    }
    *length = most - at;
    std::memmove(operations, operations + at, static_cast<size_t>(*length));
    DVKMem_2DFree(step);
    DVKMem_2DFree(cost);
    return errors;
}

int32_t Scoring_AlignWords(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                           const uint32_t* hypothesis, uint8_t* operations, int32_t* length,
                           ScoringSegment* segments, int32_t* segmentCount, int32_t* substitutions,
                           int32_t* insertions, int32_t* deletions)
{
    const int32_t errors =
        Scoring_EditDistance(referenceLength, reference, hypothesisLength, hypothesis, operations, length);
    int32_t counts[4] = {0, 0, 0, 0};
    int32_t found = 0;
    int32_t r = 0;
    int32_t h = 0;
    for (int32_t k = 0; k < *length;) {
        if (operations[k] == kScoringMatch) {
            ++r;
            ++h;
            ++k;
            continue;
        }
        int32_t referenceWords = 0;
        int32_t hypothesisWords = 0;
        for (; k < *length && operations[k] != kScoringMatch; ++k) {
            ++counts[operations[k]];
            if (operations[k] != kScoringInsertion)
                ++referenceWords;
            if (operations[k] != kScoringDeletion)
                ++hypothesisWords;
        }
        if (segments != nullptr)
            segments[found] = {r, r + referenceWords - 1, h, h + hypothesisWords - 1,
                               std::max(referenceWords, hypothesisWords)};
        ++found;
        r += referenceWords;
        h += hypothesisWords;
    }
    if (segmentCount != nullptr)
        *segmentCount = found;
    if (substitutions != nullptr)
        *substitutions = counts[kScoringSubstitution];
    if (insertions != nullptr)
        *insertions = counts[kScoringInsertion];
    if (deletions != nullptr)
        *deletions = counts[kScoringDeletion];
    return errors;
}

int32_t Scoring_ComputeOracle(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                              const uint32_t* hypothesis, const ScoringAlternatives* alternatives,
                              int32_t* oracleLength, int32_t, uint32_t* oracleWords)
{
    const int32_t n = alternatives != nullptr ? alternatives->count : 0;
    int32_t longest = hypothesisLength;
    for (int32_t k = 1; k <= n; ++k)
        longest = std::max(longest, alternativeLength(alternatives, k));
    // Every alignment has at most referenceLength + 1 segments (they are
    // separated by matches) and a round takes each of its alternative's
    // segments at most once, so the running set never outgrows this.
    const int32_t segmentRoom = (referenceLength + 1) * (n + 1) + 1;
    Buffer<uint8_t> operations(referenceLength + longest);
    Buffer<ScoringSegment> found(referenceLength + 1);
    Buffer<SourcedSegment> current(segmentRoom);
    Buffer<SourcedSegment> next(segmentRoom);
    int32_t length = 0;
    int32_t count = 0;
    int32_t errors = Scoring_AlignWords(referenceLength, reference, hypothesisLength, hypothesis, operations.data,
                                        &length, found.data, &count, nullptr, nullptr, nullptr);
    for (int32_t s = 0; s < count; ++s)
        current.data[s] = {found.data[s], 0};

    for (int32_t k = 1; k <= n; ++k) {
        const uint32_t* words = alternatives->words + alternatives->offsets[k - 1];
        int32_t altCount = 0;
        Scoring_AlignWords(referenceLength, reference, alternativeLength(alternatives, k), words, operations.data,
                           &length, found.data, &altCount, nullptr, nullptr, nullptr);
        const ScoringSegment* a = found.data;
        int32_t kept = 0;
        for (int32_t i = 0; i < count;) {
            const ScoringSegment& u = current.data[i].segment;
            int32_t j = 0;
            while (j < altCount && a[j].referenceEnd < u.referenceStart)
                ++j;
            int32_t uEnd = i + 1;   // the U-group is [i, uEnd)
            int32_t aEnd = j;       // the A-group is [j, aEnd)
            if (j < altCount && a[j].referenceStart <= u.referenceEnd) {
                aEnd = j + 1;
                for (bool grew = true; grew;) {
                    grew = false;
                    if (uEnd < count && current.data[uEnd].segment.referenceStart <= a[aEnd - 1].referenceEnd) {
                        ++uEnd;
                        grew = true;
                    }
                    if (aEnd < altCount && a[aEnd].referenceStart <= current.data[uEnd - 1].segment.referenceEnd) {
                        ++aEnd;
                        grew = true;
                    }
                }
            }
            int32_t uCost = 0;
            int32_t aCost = 0;
            for (int32_t g = i; g < uEnd; ++g)
                uCost += current.data[g].segment.width;
            for (int32_t g = j; g < aEnd; ++g)
                aCost += a[g].width;
            if (aCost < uCost) {
                errors -= uCost - aCost;
                for (int32_t g = j; g < aEnd; ++g)
                    next.data[kept++] = {a[g], k};
            } else {
                for (int32_t g = i; g < uEnd; ++g)
                    next.data[kept++] = current.data[g];
            }
            i = uEnd;
        }
        std::swap(current.data, next.data);
        count = kept;
    }

    int32_t total = referenceLength;
    for (int32_t s = 0; s < count; ++s) {
        const ScoringSegment& u = current.data[s].segment;
        total += (u.hypothesisEnd - u.hypothesisStart) - (u.referenceEnd - u.referenceStart);
    }
    *oracleLength = total;
    if (oracleWords != nullptr) {
        int32_t out = 0;
        int32_t r = 0;
        for (int32_t s = 0; s < count; ++s) {
            const ScoringSegment& u = current.data[s].segment;
            const int32_t source = current.data[s].source;
            const uint32_t* words =
                source == 0 ? hypothesis : alternatives->words + alternatives->offsets[source - 1];
            for (; r < u.referenceStart; ++r)
                oracleWords[out++] = reference[r];
            for (int32_t h = u.hypothesisStart; h <= u.hypothesisEnd; ++h)
                oracleWords[out++] = words[h];
            r = std::max(r, u.referenceEnd + 1);
        }
        for (; r < referenceLength; ++r)
            oracleWords[out++] = reference[r];
    }
    return errors;
}
