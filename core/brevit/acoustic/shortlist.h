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

// Reads the stored shortlist (three sizes, the entries, the centroids); null
// when a count does not match.
ShortListCompressed* ShortListCompressed_LoadFromBinFile(BinFileReader* reader);
void ShortListCompressed_Delete(ShortListCompressed* shortlist);
uint32_t Shortlist_ComputeCRC(const ShortListCompressed* shortlist, int32_t full);
