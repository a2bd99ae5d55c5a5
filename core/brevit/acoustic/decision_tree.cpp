#include "core/brevit/acoustic/decision_tree.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

// Tied states stay below this: a larger leaf would read as a negative child.
constexpr int32_t kLeafLimit = 32768;
constexpr int32_t kMostPhones = 65536;

int32_t childAt(const DecisionTree* tree, const void* children, int32_t node)
{
    if (tree->children16)
        return static_cast<const int16_t*>(children)[node];
    return static_cast<const int8_t*>(children)[node];
}

// Bit n of question q; bits past the question's row read clear.
int32_t questionBit(const DecisionTree* tree, int32_t q, int32_t n)
{
    const DTQuestions& qs = tree->questions;
    if (n < 0 || n >= qs.bytesPerQuestion * 8)
        return 0;
    return (qs.bits[q * qs.bytesPerQuestion + n / 8] >> (n % 8)) & 1;
}

int32_t flagBit(const uint8_t* bits, int32_t node)
{
    return bits != nullptr && ((bits[node / 8] >> (node % 8)) & 1);
}

// Follows the children from a root until a leaf; ask(node) answers each node.
template <typename Ask>
uint16_t walk(const DecisionTree* tree, const DTRoot* root, Ask&& ask)
{
    if (root == nullptr)
        return kDTNoPhone;
    if (root->numNodes == 0)
        return root->leafBase;
    int32_t node = root->firstNode;
    for (;;) {
        const int32_t child =
            childAt(tree, ask(node) ? tree->yesChildren : tree->noChildren, node);
        if (child >= 0)
            return static_cast<uint16_t>(root->leafBase + child);
        node = root->firstNode - child;
    }
}

int32_t readArray(BinFileReader* reader, uint32_t size, uint32_t count, void** array)
{
    uint32_t stored = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, size, array, &stored))
        return 0;
    return stored == count;
}

// Every walk from every root ends inside the root at a leaf that is a state.
int32_t rootsAreSound(const DecisionTree* tree, int32_t numStates)
{
    const int32_t leafLimit = std::min(numStates, kLeafLimit);
    for (int32_t i = 0; i < tree->numRoots; ++i) {
        const DTRoot& root = tree->roots[i];
        if (root.firstNode < 0 || root.numNodes < 0 ||
            root.firstNode + root.numNodes > tree->numNodes)
            return 0;
        if (root.numNodes == 0 && root.leafBase >= leafLimit)
            return 0;
        for (int32_t offset = 0; offset < root.numNodes; ++offset) {
            const int32_t node = root.firstNode + offset;
            for (const void* children : {tree->noChildren, tree->yesChildren}) {
                const int32_t child = childAt(tree, children, node);
                if (child < 0 ? (-child <= offset || -child >= root.numNodes)
                              : root.leafBase + child >= leafLimit)
                    return 0;
            }
        }
    }
    return 1;
}

int32_t isSound(const DecisionTree* tree, int32_t numStates)
{
    const DTQuestions& qs = tree->questions;
    if (tree->numPhones < 0 || tree->positionsPerPhone < 1 || qs.bytesPerQuestion < 0 ||
        qs.bitsPerQuestion < 0)
        return 0;
    int32_t rowsPerPosition = tree->contextVector ? 1 : tree->numPhones;
    if (tree->shared && !tree->contextVector) {
        rowsPerPosition = 0;
        for (int32_t p = 0; p < tree->numPhones; ++p) {
            if (tree->sharedRootMap[p] < 0)
                return 0;
            rowsPerPosition = std::max<int32_t>(rowsPerPosition, tree->sharedRootMap[p] + 1);
        }
    }
    if (static_cast<int64_t>(tree->numRoots) <
        static_cast<int64_t>(tree->positionsPerPhone) * rowsPerPosition)
        return 0;
    for (int32_t node = 0; node < tree->numNodes; ++node)
        if (static_cast<int64_t>(tree->questionIndex[node] + 1) * qs.bytesPerQuestion >
            qs.totalBytes)
            return 0;
    return rootsAreSound(tree, numStates);
}

int32_t readRoots(BinFileReader* reader, DecisionTree* tree)
{
    if (tree->numRoots == 0)
        return 1;
    tree->roots = static_cast<DTRoot*>(
        DVKMem_Calloc(static_cast<uint32_t>(tree->numRoots) * sizeof(DTRoot)));
    if (tree->roots == nullptr)
        return 0;
    tree->rootsVolatile = tree->roots;
    for (int32_t i = 0; i < tree->numRoots; ++i) {
        DTRoot& root = tree->roots[i];
        if (!BinFileReader_ReadShort(reader, &root.firstNode) ||
            !BinFileReader_ReadShort(reader, &root.numNodes) ||
            !BinFileReader_ReadUnsignedShort(reader, &root.leafBase))
            return 0;
    }
    return 1;
}

int32_t readTree(BinFileReader* reader, DecisionTree* tree)
{
    int32_t ignored = 0;
    unsigned char flags[3] = {};
    DTQuestions& qs = tree->questions;
    if (!BinFileReader_ReadInt(reader, &ignored) ||
        !BinFileReader_ReadInt(reader, &tree->numPhones) ||
        !BinFileReader_ReadInt(reader, &tree->maxStateId) ||
        !BinFileReader_ReadInt(reader, &ignored) ||
        !BinFileReader_ReadInt(reader, &tree->numNodes) ||
        !BinFileReader_ReadInt(reader, &tree->numRoots) ||
        !BinFileReader_ReadInt(reader, &ignored) || !BinFileReader_ReadInt(reader, &ignored) ||
        !BinFileReader_ReadInt(reader, &tree->positionsPerPhone) ||
        !BinFileReader_ReadUnsignedChar(reader, &flags[0]) ||
        !BinFileReader_ReadUnsignedChar(reader, &flags[1]) ||
        !BinFileReader_ReadUnsignedChar(reader, &flags[2]) ||
        !BinFileReader_ReadBoolean(reader, &tree->contextVector) ||
        !BinFileReader_ReadInt(reader, &ignored))
        return 0;
    tree->compressed = flags[0];
    tree->shared = flags[1];
    tree->children16 = flags[2];
    // Phones are 16-bit ids: a tree with more could not be asked about them,
    // and walks over its phones would only count through a file's claim.
    if (tree->numPhones < 0 || tree->numPhones > kMostPhones || tree->numNodes < 0 ||
        tree->numRoots < 0 || tree->numRoots > 0xFFFFFF)
        return 0;
    const uint32_t nodes = static_cast<uint32_t>(tree->numNodes);
    const uint32_t childSize = tree->children16 ? 2 : 1;
    const uint32_t bitBytes = (nodes + 7) / 8;
    if (!readArray(reader, childSize, nodes, &tree->noChildren) ||
        !readArray(reader, childSize, nodes, &tree->yesChildren) ||
        !readArray(reader, 1, nodes, reinterpret_cast<void**>(&tree->questionIndex)))
        return 0;
    if (tree->contextVector) {
        if (!readArray(reader, 1, nodes, reinterpret_cast<void**>(&tree->contextSlots)))
            return 0;
    } else if (tree->compressed &&
               !readArray(reader, 1, bitBytes, reinterpret_cast<void**>(&tree->sideBits))) {
        return 0;
    }
    if (tree->shared &&
        (!readArray(reader, 1, bitBytes, reinterpret_cast<void**>(&tree->centreBits)) ||
         !readArray(reader, 2, static_cast<uint32_t>(tree->numPhones),
                    reinterpret_cast<void**>(&tree->sharedRootMap))))
        return 0;
    if (!readRoots(reader, tree) || !BinFileReader_ReadInt(reader, &qs.totalBytes) ||
        !BinFileReader_ReadInt(reader, &qs.bitOffset) ||
        !BinFileReader_ReadInt(reader, &qs.numQuestions) ||
        !BinFileReader_ReadInt(reader, &qs.bytesPerQuestion) ||
        !BinFileReader_ReadInt(reader, &qs.bitsPerQuestion) || qs.totalBytes < 0)
        return 0;
    return readArray(reader, 1, static_cast<uint32_t>(qs.totalBytes),
                     reinterpret_cast<void**>(&qs.bits));
}

} // namespace

int32_t DecisionTree_LoadFromBinFile(BinFileReader* reader, int32_t numStates,
                                     DecisionTree** tree)
{
    *tree = nullptr;
    auto* loaded = static_cast<DecisionTree*>(DVKMem_Calloc(sizeof(DecisionTree)));
    if (loaded == nullptr)
        return 0;
    if (!readTree(reader, loaded)) {
        DecisionTree_Delete(loaded);
        return 0;
    }
    if (loaded->numRoots == 0) {
        DecisionTree_Delete(loaded);
        return 1;
    }
    if (!isSound(loaded, numStates)) {
        DecisionTree_Delete(loaded);
        return 0;
    }
    *tree = loaded;
    return 1;
}

void DTQuestions_Delete(DTQuestions* questions)
{
    if (questions == nullptr)
        return;
    DVKMem_Free(questions->bits);
    questions->bits = nullptr;
}

void DecisionTree_Delete(DecisionTree* tree)
{
    if (tree == nullptr)
        return;
    DTQuestions_Delete(&tree->questions);
    DVKMem_Free(tree->roots);
    DVKMem_Free(tree->noChildren);
    DVKMem_Free(tree->yesChildren);
    DVKMem_Free(tree->questionIndex);
    DVKMem_Free(tree->sideBits);
    DVKMem_Free(tree->contextSlots);
    DVKMem_Free(tree->centreBits);
    DVKMem_Free(tree->sharedRootMap);
    DVKMem_Free(tree);
}

int32_t DecisionTree_GetRootIndex(const DecisionTree* tree, uint16_t phone, int32_t position)
{
    if (tree == nullptr || phone >= tree->numPhones || position < 0 ||
        position >= tree->positionsPerPhone)
        return -1;
    const int32_t row =
        tree->shared && tree->sharedRootMap != nullptr ? tree->sharedRootMap[phone] : phone;
    const int32_t index = position + tree->positionsPerPhone * row;
    return index < tree->numRoots ? index : -1;
}

const DTRoot* DecisionTree_GetRoot(const DecisionTree* tree, uint16_t phone, int32_t position)
{
    const int32_t index = DecisionTree_GetRootIndex(tree, phone, position);
    return index < 0 ? nullptr : &tree->roots[index];
}

DTRoot* DecisionTree_GetRootVolatile(DecisionTree* tree, uint16_t phone, int32_t position)
{
    const int32_t index = DecisionTree_GetRootIndex(tree, phone, position);
    return index < 0 ? nullptr : &tree->rootsVolatile[index];
}

int32_t DTQuestions_AskQuestion(const DecisionTree* tree, int32_t node, uint16_t left,
                                uint16_t, uint16_t right)
{
    const int32_t q = tree->questionIndex[node];
    if (left != kDTNoPhone && questionBit(tree, q, left + tree->questions.bitsPerQuestion / 2))
        return 1;
    return right != kDTNoPhone && questionBit(tree, q, right);
}

int32_t DTQuestions_AskQuestionCompressedAndShared(const DecisionTree* tree, int32_t node,
                                                   uint16_t left, uint16_t centre,
                                                   uint16_t right)
{
    uint16_t subject = right;
    if (flagBit(tree->sideBits, node))
        subject = left;
    else if (tree->shared && flagBit(tree->centreBits, node))
        subject = centre;
    return subject != kDTNoPhone && questionBit(tree, tree->questionIndex[node], subject);
}

uint16_t DecisionTree_GetLeaf(const DecisionTree* tree, uint16_t left, uint16_t centre,
                              uint16_t right, int32_t position)
{
    return walk(tree, DecisionTree_GetRoot(tree, centre, position), [&](int32_t node) {
        return tree->compressed
                   ? DTQuestions_AskQuestionCompressedAndShared(tree, node, left, centre, right)
                   : DTQuestions_AskQuestion(tree, node, left, centre, right);
    });
}

uint16_t DecisionTree_GetLeafByContext(const DecisionTree* tree, const uint8_t* context,
                                       int32_t length, int32_t position)
{
    return walk(tree, DecisionTree_GetRoot(tree, 0, position), [&](int32_t node) {
        const int32_t slot = tree->contextSlots != nullptr ? tree->contextSlots[node] : 0;
        const int32_t id = slot < length && context != nullptr ? context[slot] : kDTUnknownContext;
        const int32_t last = tree->questions.bitsPerQuestion - 1;
        const int32_t q = tree->questionIndex[node];
        if (id == kDTUnknownContext)
            return questionBit(tree, q, last);
        return id < last ? questionBit(tree, q, id) : 0;
    });
}

int32_t DecisionTree_GetNumPhones(const DecisionTree* tree)
{
    return tree != nullptr ? tree->numPhones : 0;
}

int32_t DecisionTree_GetNumStatePositions(const DecisionTree* tree, uint16_t phone)
{
    if (tree == nullptr)
        return 0;
    return phone == 0 ? 1 : tree->positionsPerPhone;
}

int32_t DecisionTree_GetNumNodes(const DecisionTree* tree, uint16_t phone, int32_t position)
{
    const DTRoot* root = DecisionTree_GetRoot(tree, phone, position);
    return root != nullptr ? root->numNodes : 0;
}

uint16_t DecisionTree_GetLeafBase(const DecisionTree* tree, uint16_t phone, int32_t position)
{
    const DTRoot* root = DecisionTree_GetRoot(tree, phone, position);
    return root != nullptr ? root->leafBase : kDTNoPhone;
}

namespace {

int16_t childOf(const DecisionTree* tree, const void* children, uint16_t phone,
                int32_t position, int32_t nodeOffset)
{
    const DTRoot* root = DecisionTree_GetRoot(tree, phone, position);
    if (root == nullptr || nodeOffset < 0 || nodeOffset >= root->numNodes)
        return 0;
    const int32_t child = childAt(tree, children, root->firstNode + nodeOffset);
    return static_cast<int16_t>(child < 0 ? child : root->leafBase + child);
}

} // namespace

int16_t DecisionTree_GetNoChild(const DecisionTree* tree, uint16_t phone, int32_t position,
                                int32_t nodeOffset)
{
    return childOf(tree, tree->noChildren, phone, position, nodeOffset);
}

int16_t DecisionTree_GetYesChild(const DecisionTree* tree, uint16_t phone, int32_t position,
                                 int32_t nodeOffset)
{
    return childOf(tree, tree->yesChildren, phone, position, nodeOffset);
}

void DecisionTree_SetMaxStateId(DecisionTree* tree, int32_t id)
{
    tree->maxStateId = id;
}

int32_t DecisionTree_GetMaxStateId(const DecisionTree* tree)
{
    return tree->maxStateId;
}

int32_t DTQuestions_GetBitOffset(const DecisionTree* tree)
{
    return tree->questions.bitOffset;
}

int32_t DTQuestions_GetNumQuestions(const DecisionTree* tree)
{
    return tree->questions.numQuestions;
}

int32_t DTQuestions_GetTotalBytes(const DecisionTree* tree)
{
    return tree->questions.totalBytes;
}

int32_t DTQuestions_GetNumBytesInQuestion(const DecisionTree* tree)
{
    return tree->questions.bytesPerQuestion;
}

int32_t DTQuestions_GetNumBitsInQuestion(const DecisionTree* tree)
{
    return tree->questions.bitsPerQuestion;
}

uint32_t DecisionTree_ComputeCRC(const DecisionTree* tree)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (tree == nullptr)
        return crc;
    for (int32_t phone = 0; phone < tree->numPhones; ++phone) {
        const int32_t positions = DecisionTree_GetNumStatePositions(tree, static_cast<uint16_t>(phone));
        crc = DVKCrc_AddInt(static_cast<uint32_t>(positions), crc);
        for (int32_t position = 0; position < positions; ++position) {
            // Root indexes grow with the position: past the first missing
            // root every later one is missing too.
            const DTRoot* root = DecisionTree_GetRoot(tree, static_cast<uint16_t>(phone), position);
            if (root == nullptr)
                break;
            crc = DVKCrc_AddInt(static_cast<uint32_t>(static_cast<int32_t>(root->numNodes)), crc);
            crc = DVKCrc_AddInt(root->leafBase, crc);
            crc = DVKCrc_AddInt(static_cast<uint32_t>(static_cast<int32_t>(root->firstNode)), crc);
        }
    }
    const int32_t childSize = tree->children16 ? 2 : 1;
    const int32_t bitBytes = (tree->numNodes + 7) / 8;
    crc = DVKCrc_AddArray(tree->noChildren, childSize, tree->numNodes, crc);
    crc = DVKCrc_AddArray(tree->yesChildren, childSize, tree->numNodes, crc);
    crc = DVKCrc_AddArray(tree->questionIndex, 1, tree->numNodes, crc);
    crc = DVKCrc_AddArray(tree->questions.bits, 1, tree->questions.totalBytes, crc);
    if (tree->compressed && !tree->contextVector)
        crc = DVKCrc_AddArray(tree->sideBits, 1, bitBytes, crc);
    if (tree->shared) {
        crc = DVKCrc_AddArray(tree->centreBits, 1, bitBytes, crc);
        crc = DVKCrc_AddArray(tree->sharedRootMap, 2, tree->numPhones, crc);
    }
    return crc;
}
