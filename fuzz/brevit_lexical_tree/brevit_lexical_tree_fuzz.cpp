// Stored lexical trees and pronunciation caches come from model files and
// the user's storage: read the model file "blt0", the run-time record (into
// an object holding trees built from the vocabulary) and "bpc0" (into fresh
// caches of every index kind) from any archive image; whatever loads is
// checksummed, walked, given look-ahead, queried, changed and deleted.
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "fuzz/brevit_lexical_tree/lexical_tree_fuzz.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string& modelImage()
{
    static const std::string image = [] {
        SystemEngineContext context;
        ScopedParamBlock params(lexical_tree_fuzz::params());
        std::string written = writtenArchiveImage(lexical_tree_fuzz::writeModels);
        DVKTempMem_DeleteMemStack();
        return written;
    }();
    return image;
}

using TreePtr = std::unique_ptr<LexTree, void (*)(LexTree*)>;

void exercise(LexTree* tree, Voc* voc)
{
    LexTree_ComputeCRC(tree);
    for (int32_t i = 0; i < LexTree_GetNumTrees(tree); ++i) {
        const int32_t arcs = LexTree_GetNumTotalArcs(tree, i);
        std::vector<uint16_t> listed(static_cast<size_t>(arcs) + 1);
        const int32_t n = LexTree_CollectTreeProns(LexTree_GetArcs(tree, i), arcs, voc, listed.data(), nullptr, 8);
        if (n > arcs)
            std::abort();
    }
    LexTree_InitLookahead(tree, 7);
    LexTree_UpdateWordLookahead(tree, 0, 5);
    const uint16_t history[1] = {1};
    LexTree_RecomputeTreeLookahead(voc, tree, LexTree_GetNumTrees(tree) - 1, 3, history);
    int32_t needed = 0;
    for (uint16_t p = 0; p < 8; ++p)
        LexTree_CountPronArcs(tree, p, 0, &needed);
    const uint16_t added[] = {2, 5, 9, 30};
    LexTree_AddPronsToDynamicTree(tree, added, 4, 0, 0);
    LexTree_RemovePronsFromDynamicTree(tree, added, 2, 0, 0);
    LexTree_ComputeCRC(tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& models = modelImage();
    if (models.empty())
        std::abort();
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        ScopedParamBlock params(lexical_tree_fuzz::params());
        DVKTar* modelTar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(models.size()), models.data());
        std::unique_ptr<Voc, void (*)(Voc*)> voc(Voc_LoadFromBinFile(modelTar, nullptr), Voc_Delete);
        std::unique_ptr<AM, void (*)(AM*)> am(AM_LoadFromBinFile(modelTar, nullptr, 0), AM_Destroy);
        DVKTar_Close(modelTar);
        if (voc == nullptr || am == nullptr)
            std::abort();

        TreePtr model(LexTree_CreateFromBinFile(tar, nullptr, am.get(), voc.get()), LexTree_Delete);
        if (model != nullptr)
            exercise(model.get(), voc.get());

        TreePtr built(LexTree_CreateEmpty(), LexTree_Delete);
        if (built == nullptr || LexTree_Build(built.get(), voc.get(), am.get(), 1) == 0)
            std::abort();
        if (LexTree_ReadBinFile(built.get(), tar, lexical_tree_fuzz::kRunTimePrefix) == 1)
            exercise(built.get(), voc.get());

        const int32_t ids = Voc_GetNumActiveEntries(voc.get()) + 3;
        for (int kind = 0; kind < 4; ++kind) {
            params.block().words[kBrevitParamSingleUnitCache] = kind == 3 ? 1 : 0;
            std::unique_ptr<PronCache, void (*)(PronCache*)> cache(
                PronCache_Create(0, kind == 1 ? 1 : 0, kind == 0 ? 1 : 0, 1, 1, voc.get(), am.get()),
                PronCache_Delete);
            params.block().words[kBrevitParamSingleUnitCache] = 0;
            if (cache == nullptr || PronCache_ReadBinFile(cache.get(), tar, nullptr) == 0)
                continue;
            PronCache_ComputeCRC(cache.get());
            for (int32_t id = 0; id < ids; ++id) {
                const uint16_t* phonemes = nullptr;
                const uint16_t* expanded = nullptr;
                int32_t length = 0;
                PronCache_GetPronInfo(cache.get(), static_cast<uint16_t>(id), &phonemes, &expanded, &length);
                PronCache_GetPron(cache.get(), static_cast<uint16_t>(id));
            }
            PronCache_ComputeCRC(cache.get());
        }
    });
}
