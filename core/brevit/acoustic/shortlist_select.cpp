// Per-frame cluster choice of the shortlist, its three scorers, the
// cluster tree and the entry build.
#include "core/brevit/acoustic/am_kernel_util.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/shortlist.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kNoEntry = 15;

int32_t clusterScore(ShortListCompressed* sl, int32_t cluster, const uint8_t* frame, AM* am)
{
    if (sl->innerProduct && sl->ipRows != nullptr && am->ipWork != nullptr) {
        uint32_t sum = 0;
        for (int32_t k = 0; k < 6; ++k)
            sum += am_kernel::P(sl->ipRows[6 * cluster + k], am->ipWork[k]);
        return static_cast<int16_t>(static_cast<uint32_t>(sl->ipConstants[cluster]) - sum);
    }
    return AM_GetRawScore(am, ShortList_GetCentroid(sl, cluster), frame);
}

// Best and second over the candidates, the earlier one kept on ties.
void chooseClusters(ShortListCompressed* sl, const uint8_t* candidates, int32_t count, const uint8_t* frame,
                    AM* am)
{
    int32_t best = candidates != nullptr ? candidates[0] : 0;
    int32_t bestScore = clusterScore(sl, best, frame, am);
    int32_t second = best;
    int32_t secondScore = kAMNotComputed;
    for (int32_t i = 1; i < count; ++i) {
        const int32_t c = candidates != nullptr ? candidates[i] : i;
        const int32_t score = clusterScore(sl, c, frame, am);
        if (score < bestScore) {
            second = best;
            secondScore = bestScore;
            best = c;
            bestScore = score;
        } else if (score < secondScore) {
            second = c;
            secondScore = score;
        }
    }
    sl->bestCluster = best;
    sl->secondCluster = second;
    sl->bestOffset = best * sl->entryRowLength;
    sl->secondOffset = second * sl->entryRowLength;
    sl->scoreDifference = static_cast<int16_t>(secondScore - bestScore);
}

void chooseScorer(ShortListCompressed* sl, AM* am)
{
    if (gpBrevitGlobalParameters != nullptr) {
        sl->separated = sl->scoreDifference > static_cast<int32_t>(BrevitParam_Word(kBrevitParamShortlistSeparation));
        if (BrevitParam_Word(kBrevitParamShortlistBySeparation) != 0)
            sl->scorer = sl->separated ? AM_GetScoreByShlstCompressedBest : AM_GetScoreByShlstCompressedBoth;
        else
            sl->scorer = AM_GetScoreByShlstCompressedPriv;
    } else {
        sl->separated = sl->scoreDifference > 0;
        sl->scorer = AM_GetScoreByShlstCompressedPriv;
    }
    am->shortlistScorer = sl->scorer;
}

int32_t entryAt(const ShortListCompressed* sl, int32_t offset, int32_t state)
{
    return (sl->entries[offset + state / 2] >> (4 * (state % 2))) & 0x0F;
}

void setEntry(ShortListCompressed* sl, int32_t cluster, int32_t state, int32_t value)
{
    uint8_t& b = sl->entries[cluster * sl->entryRowLength + state / 2];
    const int32_t shift = 4 * (state % 2);
    b = static_cast<uint8_t>((b & ~(0x0F << shift)) | (value & 0x0F) << shift);
}

int32_t full(AM* am, int32_t state)
{
    return am->stateKernel != nullptr ? static_cast<int16_t>(am->stateKernel(am, state)) : kAMNotComputed;
}

int32_t component(AM* am, int32_t state, int32_t j)
{
    return static_cast<int16_t>(am->componentKernel(am, state, j));
}

// The two entries of a state, 15 for an entry that names no component of it
// and for states past the entry rows.
void entries(AM* am, int32_t state, int32_t* e1, int32_t* e2)
{
    const ShortListCompressed* sl = am->shortlist;
    if (state >= am->numStates || am->componentKernel == nullptr) {
        *e1 = *e2 = kNoEntry;
        return;
    }
    const int32_t n = AM_GetNumComponents(am, state);
    *e1 = entryAt(sl, sl->bestOffset, state);
    *e2 = entryAt(sl, sl->secondOffset, state);
    if (*e1 >= n)
        *e1 = kNoEntry;
    if (*e2 >= n)
        *e2 = kNoEntry;
}

int32_t both(AM* am, int32_t state, int32_t e1, int32_t e2)
{
    if (e1 == kNoEntry || e2 == kNoEntry)
        return full(am, state);
    if (e1 == e2)
        return component(am, state, e1);
    return std::min(component(am, state, e1), component(am, state, e2));
}

int32_t rawToMean(AM* am, const uint8_t* centroid, int32_t state, int32_t j)
{
    return AM_GetRawScore(am, centroid, AM_GetComponentMean(am, state, j));
}

// Links move forward inside the tree, leaves' lists lie inside the lists
// and name clusters below numClusters, tests read features below featureDim.
bool treeFits(const EmShLsNode* nodes, int32_t numNodes, const uint8_t* lists, int32_t listsLength,
              int32_t listCapacity, int32_t numClusters, int32_t featureDim)
{
    if (nodes == nullptr || numNodes < 1 || listsLength < 0 || listCapacity < 0 ||
        (listsLength > 0 && lists == nullptr))
        return false;
    for (int32_t i = 0; i < numNodes; ++i) {
        const EmShLsNode& n = nodes[i];
        if (n.threshold == 0) {
            if (n.link + listCapacity > listsLength || n.dimensionOrCount > listCapacity)
                return false;
            for (int32_t k = 0; k < n.dimensionOrCount; ++k)
                if (lists[n.link + k] >= numClusters)
                    return false;
        } else if (n.link <= i || n.link + 1 >= numNodes || n.dimensionOrCount >= featureDim) {
            // Walks move forward and always find the node after the one tested.
            return false;
        }
    }
    return true;
}

} // namespace

void Shortlist_SetFeatures(ShortListCompressed* sl, const uint8_t* frame, AM* am)
{
    if (sl == nullptr || sl->numClusters <= 0)
        return;
    const uint8_t* candidates = nullptr;
    int32_t count = sl->numClusters;
    if (BrevitParam_Word(kBrevitParamClusterTreeCandidates) != 0 && am->emTree != nullptr) {
        candidates = EmShLsTree_GetClusterList(am->emTree, frame, &count);
        if (candidates == nullptr || count <= 0) {
            candidates = nullptr;
            count = sl->numClusters;
        }
    }
    chooseClusters(sl, candidates, count, frame, am);
    chooseScorer(sl, am);
}

void EmShLsTree_FeedFeatures(AM* am, const uint8_t* frame)
{
    ShortListCompressed* sl = am->shortlist;
    if (sl == nullptr || sl->numClusters <= 0)
        return;
    chooseClusters(sl, nullptr, sl->numClusters, frame, am);
    if (am->emTree != nullptr) {
        const int32_t leaf = EmShLsTree_FindLeaf(am->emTree, frame);
        int32_t count = 0;
        const uint8_t* list = EmShLsTree_GetClusterList(am->emTree, frame, &count);
        for (int32_t cluster : {sl->bestCluster, sl->secondCluster}) {
            bool listed = false;
            for (int32_t i = 0; list != nullptr && i < count; ++i)
                listed = listed || list[i] == cluster;
            if (!listed && leaf >= 0 && EmShLsTree_AddCluster(am->emTree, leaf, static_cast<uint8_t>(cluster)))
                ++count;
        }
    }
    chooseScorer(sl, am);
}

int32_t AM_GetScoreByShlstCompressed(AM* am, int32_t state)
{
    ShortListCompressed* sl = am->shortlist;
    if (sl == nullptr || sl->scorer == nullptr)
        return full(am, state);
    return static_cast<int16_t>(sl->scorer(am, state));
}

int32_t AM_GetScoreByShlstCompressedBest(AM* am, int32_t state)
{
    int32_t e1 = 0, e2 = 0;
    entries(am, state, &e1, &e2);
    return e1 == kNoEntry ? full(am, state) : component(am, state, e1);
}

int32_t AM_GetScoreByShlstCompressedBoth(AM* am, int32_t state)
{
    int32_t e1 = 0, e2 = 0;
    entries(am, state, &e1, &e2);
    return both(am, state, e1, e2);
}

int32_t AM_GetScoreByShlstCompressedPriv(AM* am, int32_t state)
{
    int32_t e1 = 0, e2 = 0;
    entries(am, state, &e1, &e2);
    if (e1 == kNoEntry)
        return full(am, state);
    if (am->shortlist->separated)
        return component(am, state, e1);
    return both(am, state, e1, e2);
}

void AM_ReassignShortList(AM* am)
{
    ShortListCompressed* sl = am->shortlist;
    if (sl == nullptr || am->rawScore == nullptr || sl->numClusters <= 0)
        return;
    ShortList_ClearEntries(sl);
    const int32_t states = std::min(am->numStates, 2 * sl->entryRowLength);
    // Assignment: each component to its nearest cluster; components sharing
    // one leave it to the nearest of them (the lowest number on ties).
    for (int32_t s = 0; s < states; ++s) {
        const int32_t n = AM_GetNumComponents(am, s);
        if (n < 1 || n > 14)
            continue;
        int32_t nearest[kNoEntry] = {};
        int32_t nearestScore[kNoEntry] = {};
        for (int32_t j = 0; j < n; ++j) {
            nearestScore[j] = kAMNotComputed;
            for (int32_t c = 0; c < sl->numClusters; ++c) {
                const int32_t score = rawToMean(am, ShortList_GetCentroid(sl, c), s, j);
                if (score < nearestScore[j]) {
                    nearest[j] = c;
                    nearestScore[j] = score;
                }
            }
        }
        for (int32_t j = 0; j < n; ++j) {
            bool nearer = false;
            for (int32_t k = 0; k < n && !nearer; ++k)
                nearer = k != j && nearest[k] == nearest[j] &&
                         (nearestScore[k] < nearestScore[j] || (nearestScore[k] == nearestScore[j] && k < j));
            if (!nearer)
                setEntry(sl, nearest[j], s, j);
        }
    }
    double closeness = 0;
    if (gpBrevitGlobalParameters != nullptr)
        std::memcpy(&closeness, &gpBrevitGlobalParameters->words[kBrevitParamClusterCloseness], sizeof(closeness));
    // Decision: one close component keeps the entry, two mean no entry.
    for (int32_t c = 0; c < sl->numClusters; ++c)
        for (int32_t s = 0; s < states; ++s) {
            const int32_t n = AM_GetNumComponents(am, s);
            if (n >= kNoEntry) {
                setEntry(sl, c, s, kNoEntry);
                continue;
            }
            const int32_t entry = entryAt(sl, c * sl->entryRowLength, s);
            int32_t held = entry != 0 ? entry : -1;
            int32_t closest = 0;
            int32_t closestScore = 0;
            bool conflict = false;
            for (int32_t j = 0; j < n; ++j) {
                const int32_t score = rawToMean(am, ShortList_GetCentroid(sl, c), s, j);
                if (j == 0 || score < closestScore) {
                    closest = j;
                    closestScore = score;
                }
                if (score < closeness) {
                    if (held >= 0 && held != j) {
                        conflict = true;
                        break;
                    }
                    held = j;
                }
            }
            setEntry(sl, c, s, conflict ? kNoEntry : (held >= 0 ? held : closest));
        }
}

void ShortList_Scale(ShortListCompressed* sl, const double* scale)
{
    for (int32_t c = 0; c < sl->numClusters; ++c)
        for (int32_t d = 0; d < sl->centroidLength; ++d) {
            uint8_t& v = sl->centroids[c * sl->centroidLength + d];
            const double scaled = std::trunc(0.5 + v * scale[d]);
            v = static_cast<uint8_t>(std::isnan(scaled) ? 0 : std::clamp(scaled, 0.0, 255.0));
        }
}

int32_t ShortList_SetInnerProductRows(ShortListCompressed* sl, const uint32_t* rows, const int32_t* constants)
{
    const auto clusters = static_cast<uint32_t>(sl->numClusters);
    auto* r = static_cast<uint32_t*>(DVKMem_Calloc(std::max(clusters, 1u) * 6 * sizeof(uint32_t)));
    auto* k = static_cast<int32_t*>(DVKMem_Calloc(std::max(clusters, 1u) * sizeof(int32_t)));
    if (r == nullptr || k == nullptr) {
        DVKMem_Free(r);
        DVKMem_Free(k);
        return 0;
    }
    std::memcpy(r, rows, clusters * 6 * sizeof(uint32_t));
    std::memcpy(k, constants, clusters * sizeof(int32_t));
    DVKMem_Free(sl->ipRows);
    DVKMem_Free(sl->ipConstants);
    sl->ipRows = r;
    sl->ipConstants = k;
    sl->innerProduct = 1;
    return 1;
}

int32_t ShortList_GetNumClusters(const ShortListCompressed* sl)
{
    return sl->numClusters;
}

const uint8_t* ShortList_GetCentroid(const ShortListCompressed* sl, int32_t cluster)
{
    return sl->centroids + static_cast<size_t>(cluster) * static_cast<uint32_t>(sl->centroidLength);
}

const uint8_t* ShortList_GetBestCentroid(const ShortListCompressed* sl)
{
    return ShortList_GetCentroid(sl, sl->bestCluster);
}

int32_t ShortList_GetCentroidValue(const ShortListCompressed* sl, int32_t cluster, int32_t dimension)
{
    return ShortList_GetCentroid(sl, cluster)[dimension];
}

int16_t ShortList_GetClusterScoreDifference(const ShortListCompressed* sl)
{
    return sl->scoreDifference;
}

int32_t ShortList_GetClusterIndex(const ShortListCompressed* sl, int32_t which)
{
    return which == 0 ? sl->bestCluster : sl->secondCluster;
}

int32_t ShortList_GetEntry(const ShortListCompressed* sl, int32_t cluster, int32_t state)
{
    return entryAt(sl, cluster * sl->entryRowLength, state);
}

void ShortList_ClearEntries(ShortListCompressed* sl)
{
    std::memset(sl->entries, 0, static_cast<size_t>(sl->numClusters) * static_cast<uint32_t>(sl->entryRowLength));
}

int32_t AM_GetShortListClusterIndex(const AM* am, int32_t which)
{
    return am->shortlist != nullptr ? ShortList_GetClusterIndex(am->shortlist, which) : -1;
}

ShortListCompressed* AM_GetShortList(const AM* am)
{
    return am != nullptr ? am->shortlist : nullptr;
}

void AM_SetShortList(AM* am, ShortListCompressed* shortlist)
{
    am->shortlist = shortlist;
}

int32_t AM_SetEmShLsTree(AM* am, EmShLsTree* tree)
{
    // The tree may have been made for another model: its lists must name
    // this shortlist's clusters and its tests this model's features.
    if (am->shortlist == nullptr ||
        (tree != nullptr && !treeFits(tree->nodes, tree->numNodes, tree->lists, tree->listsLength,
                                      tree->listCapacity, am->shortlist->numClusters, am->featureDim)))
        return 0;
    EmShLsTree_Delete(am->emTree);
    am->emTree = tree;
    return 1;
}

EmShLsTree* AM_GetEmShLsTree(const AM* am)
{
    return am->emTree;
}

EmShLsTree* EmShLsTree_Create(const EmShLsNode* nodes, int32_t numNodes, const uint8_t* lists, int32_t listsLength,
                              int32_t listCapacity, int32_t numClusters, int32_t featureDim)
{
    if (!treeFits(nodes, numNodes, lists, listsLength, listCapacity, numClusters, featureDim))
        return nullptr;
    auto* tree = static_cast<EmShLsTree*>(DVKMem_Calloc(sizeof(EmShLsTree)));
    if (tree == nullptr)
        return nullptr;
    tree->nodes = static_cast<EmShLsNode*>(DVKMem_Calloc(static_cast<uint32_t>(numNodes) * sizeof(EmShLsNode)));
    tree->lists = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(std::max(listsLength, 1))));
    if (tree->nodes == nullptr || tree->lists == nullptr) {
        EmShLsTree_Delete(tree);
        return nullptr;
    }
    std::memcpy(tree->nodes, nodes, static_cast<size_t>(numNodes) * sizeof(EmShLsNode));
    if (listsLength > 0)
        std::memcpy(tree->lists, lists, static_cast<size_t>(listsLength));
    tree->numNodes = numNodes;
    tree->listsLength = listsLength;
    tree->listCapacity = listCapacity;
    return tree;
}

void EmShLsTree_Delete(EmShLsTree* tree)
{
    if (tree == nullptr)
        return;
    DVKMem_Free(tree->nodes);
    DVKMem_Free(tree->lists);
    DVKMem_Free(tree);
}

int32_t EmShLsTree_FindLeaf(const EmShLsTree* tree, const uint8_t* frame)
{
    if (tree == nullptr || frame == nullptr)
        return -1;
    int32_t current = 0;
    while (current < tree->numNodes && tree->nodes[current].threshold != 0) {
        int32_t l = tree->nodes[current].link;
        while (tree->nodes[l].threshold != 0 && frame[tree->nodes[l].dimensionOrCount] < tree->nodes[l].threshold) {
            current = l;
            l = tree->nodes[l].link;
        }
        current = l + 1;
    }
    return current < tree->numNodes ? current : -1;
}

const uint8_t* EmShLsTree_GetClusterList(const EmShLsTree* tree, const uint8_t* frame, int32_t* count)
{
    *count = 0;
    const int32_t leaf = EmShLsTree_FindLeaf(tree, frame);
    if (leaf < 0)
        return nullptr;
    *count = tree->nodes[leaf].dimensionOrCount;
    return tree->lists + tree->nodes[leaf].link;
}

int32_t EmShLsTree_AddCluster(EmShLsTree* tree, int32_t leaf, uint8_t cluster)
{
    if (tree == nullptr || leaf < 0 || gpBrevitGlobalParameters == nullptr)
        return 0;
    EmShLsNode& node = tree->nodes[leaf];
    const int32_t cap = std::min<int32_t>(static_cast<int32_t>(BrevitParam_Word(kBrevitParamClusterLeafCap)),
                                          tree->listCapacity);
    if (node.dimensionOrCount >= cap)
        return 0;
    tree->lists[node.link + node.dimensionOrCount] = cluster;
    ++node.dimensionOrCount;
    return 1;
}
