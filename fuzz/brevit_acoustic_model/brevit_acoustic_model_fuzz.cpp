// Acoustic model files arrive with the model set: open any bytes as an
// archive image, load its "ba0" model, and use what loaded: both checksums,
// tree walks over every phone id up to one past the tree and the none id, and
// one frame made of the input's bytes scored on every state and gathered
// into VQ adaptation. Every input loads twice: without and with the
// parameter words that build the phone-model context record, whose lookups
// then run over every phone id up to two past the phonemes and the none id.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq_adapt.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

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

void scoreFrame(AM* am, const uint8_t* data, size_t size)
{
    if (am->stateKernel == nullptr)
        return;
    AMScoringSet* set = AM_NewScoringSet();
    if (set == nullptr)
        return;
    AM_GetScoringFunctions(am, set, 1, 1);
    AM_InitDynamicSilenceModel(am);
    std::vector<uint8_t> frame(static_cast<size_t>(am->featureDim));
    for (size_t d = 0; d < frame.size() && size > 0; ++d)
        frame[d] = data[(d * 31) % size];
    const int16_t value = size > 0 ? static_cast<int16_t>(data[0] - 128) : 0;
    AM_NewFrame(am, frame.data(), &value, set, 0, 1);
    for (int32_t s = 0; s < am->numScoredStates; ++s) {
        AM_GetStateScore(am, s);
        const int32_t components = AM_GetNumComponents(am, s);
        for (int32_t k = 0; k < components && k < 16; ++k)
            am->componentKernel(am, s, k);
    }
    AM_GetFrameGarbageScore(am);
    AM_GetSilenceScoreBias(am);
    uint16_t best = 0;
    AM_GetBestState(am, 0, &best);
    int32_t fillerLower = 0;
    AM_GetNonSpeechScore(am, &fillerLower);
    // VQ adaptation over the loaded tables, one frame per state.
    if (am->vqInitHook != nullptr && am->vqInitHook(am, 0, 0)) {
        for (int32_t s = 0; s < am->numStates; ++s)
            am->vqIncrementHook(am, frame.data(), s, 0, value);
        am->vqAdaptHook(am);
        AM_VQFreeAccumulators(am);
    }
    AM_UpdateDynamicSilenceModel(am, frame.data(), 1);
    uint32_t crc = 0;
    AM_EndFrame(am, 0, &crc);
    // The next frame through the updated silence model and the shortlist.
    AM_NewFrame(am, frame.data(), &value, set, 1, 0);
    for (int32_t s = 0; s < am->numScoredStates; ++s)
        AM_GetStateScore(am, s);
    AM_EndFrame(am, 0, &crc);
    AM_DeleteScoringSet(set);
}

void usePhones(AM* am)
{
    const int32_t last = std::min(AM_GetNumPhonemes(am) + AM_GetNumAddedPhones(am) + 2, 40);
    std::vector<uint16_t> ids;
    for (int32_t p = 0; p < last; ++p)
        ids.push_back(static_cast<uint16_t>(p));
    ids.push_back(65535);
    std::vector<uint16_t> out(static_cast<size_t>(std::max(AM_GetNumPhoneModels(am), 0)) + 2);
    for (uint16_t c : ids) {
        AM_GetPhonemeName(am, c);
        for (uint16_t side : ids) {
            AM_GetPairedPhonemes(am, out.data(), side, c);
            AM_GetLeftPairedModels(am, out.data(), c, side);
            const uint16_t m = AM_GetTriphoneId(am, side, c, side);
            AM_IsLeftContextOf(am, side, c, 0, m);
            AM_IsRightContextOf(am, 0, c, side, m);
            AM_GetTiedStateId(am, side, c, 65535, 0);
        }
    }
    for (int32_t m = 0; m <= AM_GetNumPhoneModels(am) && m < 256; ++m) {
        AM_GetTriphoneCentrePhoneme(am, static_cast<uint16_t>(m));
        AM_TestPhonemePair(am, static_cast<uint16_t>(m), 0);
    }
    const uint16_t phonemes[3] = {ids[1 % ids.size()], 65535, ids[0]};
    std::vector<uint16_t> states(3 * static_cast<size_t>(std::max(am->statesPerModel, 1)));
    AM_ConvertPhonemesToStateIDs(am, phonemes, 3, states.data(), 0, 0);
}

void loadAndUse(const uint8_t* data, size_t size, uint8_t* image)
{
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
            usePhones(am);
            scoreFrame(am, data, size);
            AM_Destroy(am);
        }
        DVKTar_Close(tar);
    });
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
    loadAndUse(data, size, image);
    static BrevitGlobalParameters words{};
    for (int w : {kBrevitParamFirstModelTable, kBrevitParamCentreModelTable,
                  kBrevitParamModelRightContexts, kBrevitParamModelLeftContexts})
        words.words[w] = 1;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &words;
    loadAndUse(data, size, image);
    gpBrevitGlobalParameters = previous;
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();  // something loaded was not given back
    return 0;
}
