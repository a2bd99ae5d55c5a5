// Label (DA) models: a frame is mapped to one label by descending a binary
// tree of weighted centroids, and a state's cost is its table entry for that
// label. The record is never read from a model file: its owner builds it and
// hands it to the model.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

struct AMDARecord {
    uint32_t numLabels;
    uint32_t dimension;
    uint32_t currentLabel;
    uint32_t numNodes;
    uint32_t numStates;       // table rows: the model's trained states
    int16_t* nodeLabels;      // per node, -1 = internal
    uint16_t* left;           // per node
    uint16_t* right;          // per node
    uint8_t* centroids;       // dimension bytes per node
    uint16_t* invVars;        // dimension per node
    uint32_t* constants;      // per node
    int16_t* scores;          // number of labels per state
};

// The tables a record is made from (the same layout as the record's).
struct AMDATables {
    uint32_t numLabels;
    uint32_t dimension;
    uint32_t numNodes;
    const int16_t* nodeLabels;
    const uint16_t* left;
    const uint16_t* right;
    const uint8_t* centroids;
    const uint16_t* invVars;
    const uint32_t* constants;
    const int16_t* scores;    // numLabels x the model's trained states
};

// A copy of the tables; null when they do not describe a tree every descent
// leaves at a label (internal nodes must name two later nodes, leaves a
// label below the number of labels), when the dimension exceeds the model's
// features, or when an allocation fails.
AMDARecord* AM_CreateDARecord(const AM* am, const AMDATables* tables);
void AM_DeleteDARecord(AMDARecord* record);
// The model owns the record once set (a previous one is deleted).
void AM_SetDARecord(AM* am, AMDARecord* record);

// The label of the model's feature copy becomes the current label, which
// is returned (0 without a record).
int32_t AM_DAPrecomputeVQLabel(AM* am);
// The state's entry for the current label; the score ceiling without a
// record and for states past the table.
int32_t AM_DAGetScore(AM* am, int32_t state);
// The lowest entry of the current label over the trained states: what
// scoring every state would give, without filling the cache.
int32_t AM_DAGetBestScore(AM* am);
