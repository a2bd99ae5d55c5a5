// Smoothing of the MAP statistics over the state-tying tree: statistics
// summed from the tied states up to the root, optionally blended with those
// of a whole phone or of all phones, and each node's average deviation
// passed down as pseudo-frames, so that states with little or no data move
// the way their relatives moved.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_watchdog.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

// Internal nodes of the tree being smoothed are 0 .. n - 1 (the root 0),
// its leaves n .. 2n; every array holds room for the largest tree.
struct AMFTreeWork {
    int32_t capacity;
    int32_t dim;
    int32_t internal;          // n of the tree laid out
    int16_t* links;            // internal: no-child as -node; leaf: the tied state
    int16_t* links2;           // internal: yes-child as -node
    int16_t* counts;
    int16_t* sums;             // dim per node
    int16_t* globalSums;       // null without global blending
    int32_t globalCount;
    int16_t nodeWeight;
    int16_t leafWeight;
    int16_t globalWeight;
};

namespace {

bool word(int index)
{
    return BrevitParam_Word(index) != 0;
}

int16_t pseudoFrames(const AM* am, int index)
{
    return static_cast<int16_t>(std::clamp<int64_t>(
        static_cast<int64_t>(am->adaptationValue) * BrevitParam_Word(index), -kAMFLimit, kAMFLimit - 1));
}

int16_t* nodeSums(AMFTreeWork* work, int32_t node)
{
    return work->sums + static_cast<size_t>(node) * static_cast<uint32_t>(work->dim);
}

void freeWork(AMFTreeWork* work)
{
    if (work == nullptr)
        return;
    DVKMem_Free(work->links);
    DVKMem_Free(work->links2);
    DVKMem_Free(work->counts);
    DVKMem_Free(work->sums);
    DVKMem_Free(work->globalSums);
    DVKMem_Free(work);
}

// (s x w + h) / K with h = K / 2 carrying the sign of s: rounded half away
// from 0.
int16_t scaledShare(int32_t s, int32_t w, int32_t k)
{
    const int64_t h = s < 0 ? -(k / 2) : k / 2;
    return static_cast<int16_t>(std::clamp<int64_t>((static_cast<int64_t>(s) * w + h) / k, -32768, 32767));
}

int32_t positions(const AM* am)
{
    return std::max(am->statesPerModel, 1);
}

AMFTreeWork* makeWork(AM* am)
{
    int32_t most = 0;
    for (int32_t phone = 1; phone < DecisionTree_GetNumPhones(am->tree); ++phone)
        for (int32_t p = 0; p < positions(am); ++p)
            most = std::max(most, DecisionTree_GetNumNodes(am->tree, static_cast<uint16_t>(phone), p));
    auto* work = static_cast<AMFTreeWork*>(DVKMem_Calloc(sizeof(AMFTreeWork)));
    if (work == nullptr)
        return nullptr;
    work->capacity = 2 * most + 1;
    work->dim = am->featureDim;
    const auto nodes = static_cast<uint32_t>(work->capacity);
    work->links = static_cast<int16_t*>(DVKMem_Calloc(nodes * 2));
    work->links2 = static_cast<int16_t*>(DVKMem_Calloc(nodes * 2));
    work->counts = static_cast<int16_t*>(DVKMem_Calloc(nodes * 2));
    work->sums = static_cast<int16_t*>(DVKMem_Calloc(nodes * static_cast<uint32_t>(std::max(work->dim, 1)) * 2));
    bool ok = work->links != nullptr && work->links2 != nullptr && work->counts != nullptr && work->sums != nullptr;
    if (ok && (word(kBrevitParamTreePhoneBlend) || word(kBrevitParamTreeGlobalBlend))) {
        work->globalSums = static_cast<int16_t*>(DVKMem_Calloc(static_cast<uint32_t>(std::max(work->dim, 1)) * 2));
        ok = work->globalSums != nullptr;
    }
    if (!ok) {
        freeWork(work);
        return nullptr;
    }
    work->nodeWeight = pseudoFrames(am, kBrevitParamNodeWeight);
    work->leafWeight = pseudoFrames(am, kBrevitParamLeafWeight);
    work->globalWeight = pseudoFrames(am, kBrevitParamGlobalWeight);
    return work;
}

void resetGlobal(AMFTreeWork* work)
{
    std::fill(work->globalSums, work->globalSums + work->dim, 0);
    work->globalCount = 0;
}

bool smoothPhone(AM* am, AMFTreeWork* work, int32_t phone, bool gather, bool blend, bool skipLeafOnly)
{
    for (int32_t p = 0; p < positions(am); ++p) {
        if (skipLeafOnly && DecisionTree_GetNumNodes(am->tree, static_cast<uint16_t>(phone), p) == 0)
            continue;
        AM_AMFBuildTreeNodes(am, work, phone, p);
        if (!AM_AMFSmoothTree(am, work, gather, blend))
            return false;
    }
    return true;
}

} // namespace

uint32_t AM_AMFSmoothAllTrees(AM* am)
{
    if (!am->adaptable || am->hasVQ)
        return 0;
    if (am->tree == nullptr || am->amf == nullptr)
        return 1;
    // Released however the run ends, a raised allocation error included.
    const std::unique_ptr<AMFTreeWork, void (*)(AMFTreeWork*)> held(makeWork(am), freeWork);
    AMFTreeWork* work = held.get();
    if (work == nullptr)
        return 0;
    const bool global = work->globalSums != nullptr;
    const bool allPhones = word(kBrevitParamTreeGlobalBlend);
    const bool perPhone = word(kBrevitParamTreePhoneBlend) && !allPhones;
    const int32_t phones = DecisionTree_GetNumPhones(am->tree);
    bool ok = true;
    for (int32_t phone = 1; ok && phone < phones; ++phone) {
        ok = smoothPhone(am, work, phone, global, false, word(kBrevitParamTreeSkipLeafOnly));
        if (ok && perPhone) {
            ok = smoothPhone(am, work, phone, false, true, false);
            resetGlobal(work);
        }
        ok = ok && !DVKWatchDog_Call();
    }
    for (int32_t phone = 1; ok && allPhones && phone < phones; ++phone)
        ok = smoothPhone(am, work, phone, false, true, false) && !DVKWatchDog_Call();
    return ok ? 1 : 0;
}

void AM_AMFBuildTreeNodes(AM* am, AMFTreeWork* work, int32_t phone, int32_t position)
{
    const auto p = static_cast<uint16_t>(phone);
    const int32_t n = std::min(DecisionTree_GetNumNodes(am->tree, p, position), (work->capacity - 1) / 2);
    work->internal = n;
    if (n == 0) {
        work->links[0] = static_cast<int16_t>(DecisionTree_GetLeafBase(am->tree, p, position));
        return;
    }
    int32_t next = n;
    const auto place = [&](int16_t child, int16_t& slot) {
        if (child < 0) {
            slot = child;
        } else {
            slot = static_cast<int16_t>(-next);
            work->links[next++] = child;
        }
    };
    for (int32_t i = 0; i < n; ++i) {
        place(DecisionTree_GetNoChild(am->tree, p, position, i), work->links[i]);
        place(DecisionTree_GetYesChild(am->tree, p, position, i), work->links2[i]);
    }
}

uint32_t AM_AMFSmoothTree(AM* am, AMFTreeWork* work, int32_t gather, int32_t blend)
{
    const int32_t n = work->internal;
    const int32_t dim = work->dim;
    for (int32_t k = 2 * n; k >= 0; --k) {
        work->counts[k] = 0;
        std::fill(nodeSums(work, k), nodeSums(work, k) + dim, 0);
        AM_MergeAccumulators(am, work, work->links[k], k);
        if (k < n)
            AM_MergeAccumulators(am, work, work->links2[k], k);
    }
    if (gather) {
        int16_t count = static_cast<int16_t>(work->globalCount);
        AM_AMFAddStatistics(&count, work->globalSums, dim, work->counts[0], nodeSums(work, 0));
        work->globalCount = count;
        return 1;
    }
    if (work->counts[0] == 0)
        work->counts[0] = 1;
    if (blend && work->globalSums != nullptr && work->globalCount != 0) {
        const int32_t v = std::min<int32_t>(work->globalCount, work->globalWeight);
        std::vector<int16_t> t(static_cast<size_t>(dim));
        for (int32_t d = 0; d < dim; ++d)
            t[static_cast<size_t>(d)] =
                static_cast<int16_t>(static_cast<int64_t>(v) * work->globalSums[d] / work->globalCount);
        if (word(kBrevitParamTreeReplace)) {
            work->counts[0] = 0;
            std::fill(nodeSums(work, 0), nodeSums(work, 0) + dim, 0);
        }
        AM_AMFAddStatistics(&work->counts[0], nodeSums(work, 0), dim, v, t.data());
    }
    uint32_t result = 1;
    for (int32_t k = 0; k <= 2 * n; ++k) {
        result = AM_AMFPropagateNode(am, work, work->links[k], k);
        if (result == 0)
            return 0;
        if (k < n && (result = AM_AMFPropagateNode(am, work, work->links2[k], k)) == 0)
            return 0;
    }
    if (word(kBrevitParamTreeUpdateAtOnce))
        for (int32_t k = 0; k <= 2 * n; ++k)
            AM_MAPUpdateAndFreeState(am, work->links[k]);   // internal links are negative: ignored
    return result;
}

void AM_MergeAccumulators(AM* am, AMFTreeWork* work, int32_t link, int32_t node)
{
    const int32_t dim = work->dim;
    if (link < 0) {
        if (word(kBrevitParamNoSlotMerge))
            return;
        AM_AMFAddStatistics(&work->counts[node], nodeSums(work, node), dim, work->counts[-link],
                            nodeSums(work, -link));
        return;
    }
    const AMFAccumulators* acc = am->amf;
    if (acc == nullptr || static_cast<uint32_t>(link) >= acc->stateCount || acc->states[link] == nullptr)
        return;
    const AMFStateAccumulator* st = acc->states[link];
    for (uint32_t c = 0; c < st->componentCount; ++c) {
        const int32_t data = st->counts[c] - st->priorCounts[c];
        AM_AMFAddStatistics(&work->counts[node], nodeSums(work, node), dim, data,
                            data > 0 ? st->sums[c] : nullptr);
    }
}

uint32_t AM_AMFPropagateNode(AM* am, AMFTreeWork* work, int32_t link, int32_t node)
{
    const int32_t dim = work->dim;
    const int32_t stored = work->counts[node];
    const int32_t k = stored != 0 ? stored : 1;
    const int16_t* s = nodeSums(work, node);
    std::vector<int16_t> t(static_cast<size_t>(dim));
    if (link < 0) {
        if (word(kBrevitParamNoSlotMerge))
            return 1;
        int32_t w = work->nodeWeight;
        if (word(kBrevitParamTreeNodeWeightByCount))
            w = w + k != 0 ? static_cast<int32_t>(static_cast<int64_t>(stored) * w / (w + k)) : 0;
        else if (word(kBrevitParamTreeNodeWeightCap))
            w = std::min(w, k);
        const int32_t child = -link;
        if (word(kBrevitParamTreeReplace)) {
            work->counts[child] = 0;
            std::fill(nodeSums(work, child), nodeSums(work, child) + dim, 0);
        }
        for (int32_t d = 0; d < dim; ++d)
            t[static_cast<size_t>(d)] = scaledShare(s[d], w, k);
        AM_AMFAddStatistics(&work->counts[child], nodeSums(work, child), dim, w, t.data());
        return 1;
    }
    if (!AM_AMFAllocStateAccumulator(am, link))
        return 0;
    AMFAccumulators* acc = am->amf;
    AMFStateAccumulator* st = acc->states[link];
    const int32_t w = std::min<int32_t>(work->leafWeight, k);
    for (int32_t d = 0; d < dim; ++d)
        t[static_cast<size_t>(d)] = scaledShare(s[d], w, k);
    for (uint32_t c = 0; c < st->componentCount; ++c) {
        if (st->sums[c] == nullptr) {
            st->sums[c] = static_cast<int16_t*>(DVKMem_CallocOrThrow(static_cast<uint32_t>(dim) * 2));
            acc->meanVectorsPeak = std::max(acc->meanVectorsPeak, ++acc->meanVectors);
        }
        // Pseudo-frames count as data: the prior count stays.
        AM_AMFAddStatistics(&st->counts[c], st->sums[c], dim, w, t.data(), &st->priorCounts[c]);
    }
    return 1;
}
