// Gaussian shortlist: byte centroids of feature-space clusters and, per
// cluster and state, a 4-bit entry naming the component to score when the
// frame falls in that cluster (15: score the state in full).
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct AM;
struct ShortListCompressed;

typedef int32_t (*ShortListScorer)(AM* am, int32_t state);

struct ShortListCompressed {
    int32_t centroidLength;
    int32_t numClusters;
    int32_t entryRowLength;
    uint8_t* entries;        // clusters x entry-row length
    uint8_t* centroids;      // clusters x centroid length
    uint32_t* ipRows;        // six words per cluster
    int32_t* ipConstants;    // one per cluster
    int32_t bestCluster;
    int32_t secondCluster;
    int32_t bestOffset;
    int32_t secondOffset;
    int16_t scoreDifference;
    int32_t separated;
    int32_t innerProduct;
    ShortListScorer scorer;
};

// Cluster-narrowing tree: 4-byte nodes {threshold, dimension or count,
// link}; a node with threshold 0 is a leaf whose link is its list's offset in
// the leaf lists and whose second byte the list's length. Each leaf's list
// has listCapacity bytes of room.
struct EmShLsNode {
    uint8_t threshold;
    uint8_t dimensionOrCount;
    uint16_t link;
};

struct EmShLsTree {
    EmShLsNode* nodes;
    int32_t numNodes;
    uint8_t* lists;
    int32_t listsLength;
    int32_t listCapacity;
};

// Copies a tree; null when a link leaves the tree or does not move forward,
// a list lies outside the lists, or a listed cluster is not one.
EmShLsTree* EmShLsTree_Create(const EmShLsNode* nodes, int32_t numNodes, const uint8_t* lists,
                              int32_t listsLength, int32_t listCapacity, int32_t numClusters,
                              int32_t featureDim);
void EmShLsTree_Delete(EmShLsTree* tree);
// The leaf the frame reaches: its node index, or -1.
int32_t EmShLsTree_FindLeaf(const EmShLsTree* tree, const uint8_t* frame);
// The leaf's cluster list and its length.
const uint8_t* EmShLsTree_GetClusterList(const EmShLsTree* tree, const uint8_t* frame,
                                         int32_t* count);
// Appends a cluster to a leaf while its list is below parameter word 872.
int32_t EmShLsTree_AddCluster(EmShLsTree* tree, int32_t leaf, uint8_t cluster);

// Reads the stored shortlist (three sizes, the entries, the centroids); null
// when a count does not match.
ShortListCompressed* ShortListCompressed_LoadFromBinFile(BinFileReader* reader);
void ShortListCompressed_Delete(ShortListCompressed* shortlist);
uint32_t Shortlist_ComputeCRC(const ShortListCompressed* shortlist, int32_t full);

// Per-frame choice of the best and second cluster and of the scorer.
void Shortlist_SetFeatures(ShortListCompressed* shortlist, const uint8_t* frame, AM* am);
// The same while learning the tree's leaf lists.
void EmShLsTree_FeedFeatures(AM* am, const uint8_t* frame);
int32_t AM_GetScoreByShlstCompressed(AM* am, int32_t state);
int32_t AM_GetScoreByShlstCompressedBest(AM* am, int32_t state);
int32_t AM_GetScoreByShlstCompressedBoth(AM* am, int32_t state);
int32_t AM_GetScoreByShlstCompressedPriv(AM* am, int32_t state);
// Rebuilds the entries from the model's current means.
void AM_ReassignShortList(AM* am);
void ShortList_Scale(ShortListCompressed* shortlist, const double* scale);
// Six inner-product words and one constant per cluster; the flag chooses
// them for the per-frame scores.
int32_t ShortList_SetInnerProductRows(ShortListCompressed* shortlist, const uint32_t* rows,
                                      const int32_t* constants);

int32_t ShortList_GetNumClusters(const ShortListCompressed* shortlist);
const uint8_t* ShortList_GetCentroid(const ShortListCompressed* shortlist, int32_t cluster);
const uint8_t* ShortList_GetBestCentroid(const ShortListCompressed* shortlist);
int32_t ShortList_GetCentroidValue(const ShortListCompressed* shortlist, int32_t cluster,
                                   int32_t dimension);
int16_t ShortList_GetClusterScoreDifference(const ShortListCompressed* shortlist);
int32_t ShortList_GetClusterIndex(const ShortListCompressed* shortlist, int32_t which);
int32_t ShortList_GetEntry(const ShortListCompressed* shortlist, int32_t cluster, int32_t state);
void ShortList_ClearEntries(ShortListCompressed* shortlist);
int32_t AM_GetShortListClusterIndex(const AM* am, int32_t which);
ShortListCompressed* AM_GetShortList(const AM* am);
void AM_SetShortList(AM* am, ShortListCompressed* shortlist);
// Takes the tree (the model frees it); 0 when the model has no shortlist.
int32_t AM_SetEmShLsTree(AM* am, EmShLsTree* tree);
EmShLsTree* AM_GetEmShLsTree(const AM* am);
