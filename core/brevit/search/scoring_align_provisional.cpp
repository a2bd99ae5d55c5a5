// Stand-in alignment (weak): a plain weighted edit distance (substitution 4,
// insertion and deletion 3) and its error segments, until the scoring module
// is linked.
#include "core/brevit/search/scoring_align_provisional.h"


#include <algorithm>
#include <vector>

__attribute__((weak)) int32_t Scoring_AlignWords(int32_t referenceLength, const uint32_t* reference,
                                                 int32_t hypothesisLength, const uint32_t* hypothesis,
                                                 uint8_t* operations, int32_t* length, ScoringSegment* segments,
                                                 int32_t* segmentCount, int32_t* substitutions,
                                                 int32_t* insertions, int32_t* deletions)
{
    const auto R = static_cast<size_t>(std::max(referenceLength, 0));
    const auto H = static_cast<size_t>(std::max(hypothesisLength, 0));
    std::vector<int32_t> cost((R + 1) * (H + 1));
    auto at = [&](size_t r, size_t h) -> int32_t& { return cost[r * (H + 1) + h]; };
    for (size_t r = 0; r <= R; ++r)
        for (size_t h = 0; h <= H; ++h) {
            if (r == 0 || h == 0) {
                at(r, h) = 3 * static_cast<int32_t>(r + h);
                continue;
            }
            const int32_t diagonal = at(r - 1, h - 1) + (reference[r - 1] == hypothesis[h - 1] ? 0 : 4);
            at(r, h) = std::min({diagonal, at(r - 1, h) + 3, at(r, h - 1) + 3});
        }
    std::vector<uint8_t> ops;
    for (size_t r = R, h = H; r > 0 || h > 0;) {
        if (r > 0 && h > 0 && at(r, h) == at(r - 1, h - 1) + (reference[r - 1] == hypothesis[h - 1] ? 0 : 4)) {
            ops.push_back(reference[r - 1] == hypothesis[h - 1] ? 0 : 1);
            --r;
            --h;
        } else if (h > 0 && at(r, h) == at(r, h - 1) + 3) {
            ops.push_back(2);
            --h;
        } else {
            ops.push_back(3);
            --r;
        }
    }
    std::reverse(ops.begin(), ops.end());
    int32_t counts[4] = {};
    int32_t segs = 0;
    int32_t r = 0, h = 0;
    for (size_t i = 0; i < ops.size();) {
        if (ops[i] == 0) {
            ++r;
            ++h;
            ++i;
            continue;
        }
        int32_t rw = 0, hw = 0;
        for (; i < ops.size() && ops[i] != 0; ++i) {
            ++counts[ops[i]];
            rw += ops[i] != 2;
            hw += ops[i] != 3;
        }
        if (segments != nullptr)
            segments[segs] = {r, r + rw - 1, h, h + hw - 1, std::max(rw, hw)};
        ++segs;
        r += rw;
        h += hw;
    }
    if (operations != nullptr)
        std::copy(ops.begin(), ops.end(), operations);
    if (length != nullptr)
        *length = static_cast<int32_t>(ops.size());
    if (segmentCount != nullptr)
        *segmentCount = segs;
    if (substitutions != nullptr)
        *substitutions = counts[1];
    if (insertions != nullptr)
        *insertions = counts[2];
    if (deletions != nullptr)
        *deletions = counts[3];
    return counts[1] + counts[2] + counts[3];
}
