// Phonetic decision tree: for a centre phone and a state position a root,
// then yes/no questions about the neighbouring phones down to a leaf that
// names the tied state. Questions are bit sets over phone ids.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct DTQuestions {
    uint8_t* bits;
    int32_t totalBytes;
    int32_t bitOffset;
    int32_t numQuestions;
    int32_t bytesPerQuestion;
    int32_t bitsPerQuestion;
};

struct DTRoot {
    int16_t firstNode;
    int16_t numNodes;   // 0: the root is a leaf
    uint16_t leafBase;
};

struct DecisionTree {
    int32_t numPhones;
    DTRoot* roots;
    DTRoot* rootsVolatile;   // the same block at load time
    DTQuestions questions;
    void* noChildren;        // int8 or int16 per node
    void* yesChildren;
    uint8_t* questionIndex;
    uint8_t* sideBits;
    uint8_t* contextSlots;
    uint8_t* centreBits;
    int16_t* sharedRootMap;
    int32_t maxStateId;
    int32_t numNodes;
    int32_t numRoots;
    int32_t positionsPerPhone;
    uint8_t compressed;
    uint8_t shared;
    uint8_t children16;
    int32_t contextVector;
};

inline constexpr uint16_t kDTNoPhone = 65535;
inline constexpr uint8_t kDTUnknownContext = 255;

// Reads the stored tree; null when it is refused. numStates bounds the
// leaves. A stored tree without roots reads as no tree: *tree null, result 1.
int32_t DecisionTree_LoadFromBinFile(BinFileReader* reader, int32_t numStates,
                                     DecisionTree** tree);
void DecisionTree_Delete(DecisionTree* tree);
void DTQuestions_Delete(DTQuestions* questions);

uint16_t DecisionTree_GetLeaf(const DecisionTree* tree, uint16_t left, uint16_t centre,
                              uint16_t right, int32_t position);
// Context slots at or past length read as unknown.
uint16_t DecisionTree_GetLeafByContext(const DecisionTree* tree, const uint8_t* context,
                                       int32_t length, int32_t position);
// -1 when the phone or the position is outside the tree.
int32_t DecisionTree_GetRootIndex(const DecisionTree* tree, uint16_t phone, int32_t position);
const DTRoot* DecisionTree_GetRoot(const DecisionTree* tree, uint16_t phone, int32_t position);
DTRoot* DecisionTree_GetRootVolatile(DecisionTree* tree, uint16_t phone, int32_t position);
int32_t DecisionTree_GetNumPhones(const DecisionTree* tree);
int32_t DecisionTree_GetNumStatePositions(const DecisionTree* tree, uint16_t phone);
int32_t DecisionTree_GetNumNodes(const DecisionTree* tree, uint16_t phone, int32_t position);
uint16_t DecisionTree_GetLeafBase(const DecisionTree* tree, uint16_t phone, int32_t position);
int16_t DecisionTree_GetNoChild(const DecisionTree* tree, uint16_t phone, int32_t position,
                                int32_t nodeOffset);
int16_t DecisionTree_GetYesChild(const DecisionTree* tree, uint16_t phone, int32_t position,
                                 int32_t nodeOffset);
void DecisionTree_SetMaxStateId(DecisionTree* tree, int32_t id);
int32_t DecisionTree_GetMaxStateId(const DecisionTree* tree);

int32_t DTQuestions_AskQuestion(const DecisionTree* tree, int32_t node, uint16_t left,
                                uint16_t centre, uint16_t right);
int32_t DTQuestions_AskQuestionCompressedAndShared(const DecisionTree* tree, int32_t node,
                                                   uint16_t left, uint16_t centre,
                                                   uint16_t right);
int32_t DTQuestions_GetBitOffset(const DecisionTree* tree);
int32_t DTQuestions_GetNumQuestions(const DecisionTree* tree);
int32_t DTQuestions_GetTotalBytes(const DecisionTree* tree);
int32_t DTQuestions_GetNumBytesInQuestion(const DecisionTree* tree);
int32_t DTQuestions_GetNumBitsInQuestion(const DecisionTree* tree);

uint32_t DecisionTree_ComputeCRC(const DecisionTree* tree);
