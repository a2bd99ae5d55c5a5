// Acoustic model files arrive with the model set: open any bytes as an
// archive image, load its "ba0" model, and use what loaded: both checksums
// and tree walks over every phone id up to one past the tree and the none id.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void walkTree(const AM* am)
{
    const DecisionTree* tree = am->tree;
    if (tree == nullptr)
        return;
    // Bounded so a large phone count stays quick.
    const int32_t last = tree->numPhones + 1 < 64 ? tree->numPhones + 1 : 64;
    for (int32_t position = -1; position <= tree->positionsPerPhone && position < 8; ++position)
        for (int32_t c = 0; c <= last; ++c) {
            for (int32_t side = 0; side <= last; ++side) {
                DecisionTree_GetLeaf(tree, static_cast<uint16_t>(side), static_cast<uint16_t>(c),
                                     65535, position);
                DecisionTree_GetLeaf(tree, 65535, static_cast<uint16_t>(c),
                                     static_cast<uint16_t>(side), position);
            }
            DecisionTree_GetLeaf(tree, 65535, 65535, 65535, position);
            const uint8_t context[3] = {static_cast<uint8_t>(c), 255, static_cast<uint8_t>(c + 1)};
            DecisionTree_GetLeafByContext(tree, context, 3, position);
            DecisionTree_GetLeafByContext(tree, context, 1, position);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    SystemEngineContext context;
    auto* image = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (size > 0)
        std::memcpy(image, data, size);
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(size), image);
        if (tar == nullptr)
            return;
        AM* am = AM_LoadFromBinFile(tar, nullptr, 0);
        if (am != nullptr) {
            AM_ComputeCRC(am, 0);
            AM_ComputeCRC(am, 1);
            AM_ComputeTopologyCRC(am);
            walkTree(am);
            AM_Destroy(am);
        }
        DVKTar_Close(tar);
    });
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();  // something loaded was not given back
    return 0;
}
