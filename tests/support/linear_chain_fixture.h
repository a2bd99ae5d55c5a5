// A linear-chain decoder for tests: the default fixture vocabulary, a small
// "ba0" model (single-component states with distinct means, one or two
// states per phone model) and a parameter preset that lets every utterance
// set-up pass with wide beams (word 211 set, word 229 = 0x7FFFFFFF), all
// loaded; constraints over the whole vocabulary; and feature frames that sit
// on the component-0 means of a state sequence.
//
// Header-only. Needs an engine context (ScopedEngineContext) while used.
#pragma once

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/linch_decoder.h"
#include "core/brevit/search/whole_voc_constraint.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/linear_chain_preset.h"
#include "tests/support/vocabulary_fixture.h"

#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace linear_chain_fixture {

// Model rows of one state per phone model, or the writer's two.
inline AcousticModelSpec modelSpec(int32_t statesPerModel)
{
    AcousticModelSpec spec;
    spec.singleComponent = true;
    spec.componentsPerState = 1;
    if (statesPerModel == 1)
        for (uint16_t s = 0; s < spec.states; ++s)
            spec.modelRows.push_back({s});
    return spec;
}

// Context-independent phone models for the vocabulary's phonemes (ids
// below 24): phoneme 0 on the silence model 0, phoneme c on model
// 1 + c mod (models - 1), whatever its neighbours.
inline AcousticModelSpec phoneModelSpec(int32_t statesPerModel)
{
    AcousticModelSpec spec = modelSpec(statesPerModel);
    if (statesPerModel != 1)
        spec.modelRows = {{0, 0}, {1, 2}, {3, 4}, {5, 6}, {7, 2}, {4, 1}};
    const auto models = static_cast<uint16_t>(spec.modelRows.size());
    constexpr uint16_t kPhonemes = 24;
    spec.tree = AcousticTreeSpec::none();  // the index alone maps phonemes
    spec.ceiling = 200;                    // a distant state costs 200, not 16000
    spec.tree.phones = kPhonemes;
    spec.triphoneIndex = true;
    for (uint16_t l = 0; l < kPhonemes; ++l)
        for (uint16_t c = 0; c < kPhonemes; ++c)
            for (uint16_t r = 0; r < kPhonemes; ++r)
                spec.triphoneIndexEntries.push_back(c == 0 ? 0 : static_cast<uint16_t>(1 + c % (models - 1)));
    return spec;
}

} // namespace linear_chain_fixture

class LinearChainFixture {
public:
    // phoneModels: every vocabulary phoneme has a phone model.
    explicit LinearChainFixture(int32_t statesPerModel = 2, const std::vector<std::pair<int, uint32_t>>& extra = {},
                                bool phoneModels = false)
        : LinearChainFixture(vocabulary_fixture::defaultWords(), statesPerModel, extra, phoneModels)
    {
    }

    // The same over a word list of the test's own.
    LinearChainFixture(const std::vector<vocabulary_fixture::WordSpec>& words, int32_t statesPerModel,
                       const std::vector<std::pair<int, uint32_t>>& extra, bool phoneModels)
        : m_vocabulary(words, linear_chain_fixture::options(extra), "linch-voc.dvk"), m_modelArchive("linch-am.dvk")
    {
        writeAcousticModel(m_modelArchive,
                           acousticModelRecords(phoneModels ? linear_chain_fixture::phoneModelSpec(statesPerModel)
                                                            : linear_chain_fixture::modelSpec(statesPerModel)));
        m_modelArchive.finish();
        m_model = AM_LoadFromBinFile(m_modelArchive.openForRead(), nullptr, 0);
        EXPECT_NE(m_model, nullptr);
        EXPECT_NE(voc(), nullptr);
    }

    ~LinearChainFixture()
    {
        for (Decoder* d : m_decoders)
            Decoder_Delete(d, 0);
        for (Constraint* c : m_constraints)
            Constraint_Delete(c, 0);
        if (m_model != nullptr)
            AM_Destroy(m_model);
    }

    LinearChainFixture(const LinearChainFixture&) = delete;
    LinearChainFixture& operator=(const LinearChainFixture&) = delete;

    Voc* voc() { return m_vocabulary.voc(); }
    AM* model() { return m_model; }
    VocabularyFixture& vocabulary() { return m_vocabulary; }
    BrevitGlobalParameters& params() { return m_vocabulary.params(); }
    void set(int index, uint32_t value) { params().words[index] = value; }

    // A kind-3 decoder (deleted with the fixture unless given up).
    LinChDecoder* decoder(int32_t framePeriod = 10)
    {
        Decoder* d = Decoder_Create(voc(), m_model, nullptr, nullptr, framePeriod, kDecoderKindLinearChain);
        if (d != nullptr)
            m_decoders.push_back(d);
        return d != nullptr ? LinChDecoder_Of(d) : nullptr;
    }
    void release(LinChDecoder* d) { std::erase(m_decoders, &d->base); }

    // A whole-vocabulary constraint (deleted with the fixture).
    Constraint* wholeVocabulary()
    {
        Constraint* c = WholeVocConstraint_Create(voc(), 0);
        if (c != nullptr)
            m_constraints.push_back(c);
        return c;
    }
    // A constraint the fixture deletes at its end.
    Constraint* own(Constraint* c)
    {
        if (c != nullptr)
            m_constraints.push_back(c);
        return c;
    }

    // One frame per state, each on that state's component-0 mean.
    std::vector<uint8_t> frames(const std::vector<int32_t>& states)
    {
        const int32_t dim = AM_GetFeatureDim(m_model);
        std::vector<uint8_t> out;
        for (int32_t s : states) {
            const uint8_t* mean = AM_GetComponentMean(m_model, s, 0);
            out.insert(out.end(), mean, mean + dim);
        }
        return out;
    }

    // Sets up an utterance through the decoder interface.
    DecoderHandle uttInit(LinChDecoder* d, std::vector<Constraint*> constraints, int32_t mode = 3,
                          int32_t beamLevel = 0, int32_t allowPauseStart = 1, int32_t onlyPauseStart = 0,
                          int32_t finish = 0)
    {
        return Decoder_UttInit(&d->base, 0, nullptr, static_cast<int32_t>(constraints.size()), constraints.data(),
                               mode, beamLevel, allowPauseStart, onlyPauseStart, finish);
    }

private:
    VocabularyFixture m_vocabulary;
    ArchiveFixture m_modelArchive;
    AM* m_model = nullptr;
    std::vector<Decoder*> m_decoders;
    std::vector<Constraint*> m_constraints;
};

#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/lexicon/pron_cache.h"

namespace linear_chain_fixture {

// Parameter words for a fast decoder: the word penalty below the beam, a
// histogram cap, bins and a word-end table; beams, window and margin so wide
// that nothing a test offers is pruned; no frame delay, no constraint trees,
// no word graph.
inline std::vector<std::pair<int, uint32_t>> fastPreset()
{
    return {
        {562, 0},     {568, 20000}, {570, 16000}, {571, 16000}, {564, 100000}, {619, 64},
        {635, 16},    {208, 16000}, {589, 30000}, {590, 0},     {581, 0},      {103, 0},
        {315, 0},     {742, 0},     {743, 0},     {582, 0},     {599, 0},
    };
}

// A tree over the given phoneme strings (pron id = index), without a
// vocabulary; null when the build fails.
inline LexTree* treeOver(AM* model, const std::vector<std::vector<uint16_t>>& prons)
{
    std::vector<std::vector<uint16_t>> strings;
    std::vector<const uint16_t*> table;
    for (const auto& p : prons) {
        strings.push_back(p);
        strings.back().push_back(kPhonemeEnd);
    }
    for (const auto& s : strings)
        table.push_back(s.data());
    LexTree* tree = LexTree_CreateEmpty();
    if (tree == nullptr)
        return nullptr;
    if (!LexTree_BuildFromPronRange(tree, static_cast<int32_t>(table.size()), table.data(), model)) {
        LexTree_Delete(tree);
        return nullptr;
    }
    return tree;
}


// Each pron's arcs from the root's first child to its word end, by pron.
inline void collectPaths(const LexArc* arcs, int32_t arc, std::vector<int32_t>& path,
                         std::map<int32_t, std::vector<int32_t>>& out)
{
    if (arc != 0)
        path.push_back(arc);
    if (lex_tree::isWordEnd(arcs[arc])) {
        out[arcs[arc].next] = path;
    } else {
        const int32_t end = lex_tree::childEnd(arcs, arc);
        for (int32_t c = arcs[arc].next; c < end; ++c)
            collectPaths(arcs, c, path, out);
    }
    if (arc != 0)
        path.pop_back();
}

} // namespace linear_chain_fixture
