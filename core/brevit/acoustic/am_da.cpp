#include "core/brevit/acoustic/am_da.h"

#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kMaxNodes = 65536;      // children are 16-bit
constexpr uint64_t kMaxLabels = 32768;     // node labels are signed 16-bit

template <typename T>
bool copyInto(T*& field, const T* source, uint64_t count)
{
    const uint64_t bytes = std::max<uint64_t>(count, 1) * sizeof(T);
    if (bytes > UINT32_MAX || (count > 0 && source == nullptr))
        return false;
    field = static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    if (field == nullptr)
        return false;
    if (count > 0)
        std::memcpy(field, source, static_cast<size_t>(count) * sizeof(T));
    return true;
}

// Every internal node names two later nodes, so each descent ends, and
// only at a node with a label.
bool treeFits(const AMDATables& t)
{
    if (t.nodeLabels == nullptr || t.left == nullptr || t.right == nullptr)
        return false;
    for (uint32_t n = 0; n < t.numNodes; ++n) {
        const int16_t label = t.nodeLabels[n];
        if (label >= 0) {
            if (static_cast<uint32_t>(label) >= t.numLabels)
                return false;
        } else if (label != -1 || t.left[n] <= n || t.right[n] <= n || t.left[n] >= t.numNodes ||
                   t.right[n] >= t.numNodes) {
            return false;
        }
    }
    return true;
}

uint64_t distance(const AMDARecord* r, uint32_t node, const uint8_t* x)
{
    const size_t at = static_cast<size_t>(node) * r->dimension;
    const uint8_t* centroid = r->centroids + at;
    const uint16_t* w = r->invVars + at;
    uint64_t sum = r->constants[node];
    for (uint32_t d = 0; d < r->dimension; ++d) {
        const int32_t diff = centroid[d] - x[d];
        sum += static_cast<uint64_t>(w[d]) * static_cast<uint32_t>(diff * diff);
    }
    return sum;
}

} // namespace

AMDARecord* AM_CreateDARecord(const AM* am, const AMDATables* t)
{
    if (t == nullptr || t->numLabels < 1 || t->numLabels > kMaxLabels || t->numNodes < 1 ||
        t->numNodes > kMaxNodes || t->dimension > static_cast<uint32_t>(std::max(am->featureDim, 0)) ||
        am->numStates < 0 || !treeFits(*t))
        return nullptr;
    auto* r = static_cast<AMDARecord*>(DVKMem_Calloc(sizeof(AMDARecord)));
    if (r == nullptr)
        return nullptr;
    r->numLabels = t->numLabels;
    r->dimension = t->dimension;
    r->numNodes = t->numNodes;
    r->numStates = static_cast<uint32_t>(am->numStates);
    const uint64_t nodes = t->numNodes;
    const uint64_t rows = nodes * t->dimension;
    if (!copyInto(r->nodeLabels, t->nodeLabels, nodes) || !copyInto(r->left, t->left, nodes) ||
        !copyInto(r->right, t->right, nodes) || !copyInto(r->centroids, t->centroids, rows) ||
        !copyInto(r->invVars, t->invVars, rows) || !copyInto(r->constants, t->constants, nodes) ||
        !copyInto(r->scores, t->scores, static_cast<uint64_t>(t->numLabels) * r->numStates)) {
        AM_DeleteDARecord(r);
        return nullptr;
    }
    return r;
}

void AM_DeleteDARecord(AMDARecord* r)
{
    if (r == nullptr)
        return;
    DVKMem_Free(r->nodeLabels);
    DVKMem_Free(r->left);
    DVKMem_Free(r->right);
    DVKMem_Free(r->centroids);
    DVKMem_Free(r->invVars);
    DVKMem_Free(r->constants);
    DVKMem_Free(r->scores);
    DVKMem_Free(r);
}

void AM_SetDARecord(AM* am, AMDARecord* record)
{
    AM_DeleteDARecord(am->daRecord);
    am->daRecord = record;
}

int32_t AM_DAPrecomputeVQLabel(AM* am)
{
    AMDARecord* r = am->daRecord;
    if (r == nullptr)
        return 0;
    const uint8_t* x = am->featureCopy;
    uint32_t node = 0;
    while (r->nodeLabels[node] < 0) {
        const uint32_t l = r->left[node];
        const uint32_t rt = r->right[node];
        // Ties go left.
        node = distance(r, rt, x) < distance(r, l, x) ? rt : l;
    }
    r->currentLabel = static_cast<uint32_t>(r->nodeLabels[node]);
    return r->nodeLabels[node];
}

int32_t AM_DAGetScore(AM* am, int32_t state)
{
    const AMDARecord* r = am->daRecord;
    if (r == nullptr || state < 0 || static_cast<uint32_t>(state) >= r->numStates)
        return am->scoreCeiling;
    return r->scores[r->currentLabel + static_cast<size_t>(r->numLabels) * static_cast<uint32_t>(state)];
}

int32_t AM_DAGetBestScore(AM* am)
{
    const int32_t states = std::min(am->numStates, am->numScoredStates);
    int32_t best = kAMNotComputed;
    for (int32_t s = 0; s < states; ++s)
        best = std::min(best, AM_DAGetScore(am, s));
    return best;
}
