// The isolated-word search against a Viterbi written here: with thresholds
// too wide to prune anything the reference keeps, every pron's choice score
// is the lowest cost of its own path through silence, its phones and the
// silence after it.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::collectPaths;
using linear_chain_fixture::treeOver;

constexpr int64_t kInf = int64_t{1} << 40;

struct Penalties {
    int32_t word;
    int32_t phone;
    int32_t wordEnd;
};

// Lowest cost of one pron: the root's silence state from frame 0, the word
// and phone penalties into the first phone, the phone penalty into each
// later one, each state a self-loop or a step on, the word-end penalty, then
// the silence state to the last frame.
int64_t viterbi(const std::vector<std::vector<int32_t>>& cost, int32_t rootState, int32_t silenceState,
                const std::vector<std::vector<int32_t>>& phones, const Penalties& p)
{
    const size_t T = cost.size();
    std::vector<int64_t> states;   // flattened phone states
    std::vector<int64_t> v;
    for (const auto& ph : phones)
        for (int32_t s : ph)
            states.push_back(s);
    v.assign(states.size(), kInf);
    int64_t root = cost[0][rootState];
    int64_t best = kInf;   // best word end so far, with its silence
    for (size_t t = 1; t < T; ++t) {
        std::vector<int64_t> n(states.size(), kInf);
        size_t k = 0;
        for (size_t j = 0; j < phones.size(); ++j)
            for (size_t q = 0; q < phones[j].size(); ++q, ++k) {
                int64_t into = v[k];
                if (q > 0)
                    into = std::min(into, v[k - 1]);
                else if (j == 0)
                    into = std::min(into, root + p.word + p.phone);
                else
                    into = std::min(into, v[k - 1] + p.phone);
                if (into < kInf)
                    n[k] = into + cost[t][states[k]];
            }
        if (best < kInf)
            best += cost[t][silenceState];
        root += cost[t][rootState];
        v = n;
        if (v.back() < kInf)
            best = std::min(best, v.back() + p.wordEnd);
    }
    return best;
}

class FastIsoDifferentialTest : public DecoderTest {};

TEST_F(FastIsoDifferentialTest, ChoiceScoresEqualAViterbiPerPron)
{
    std::mt19937 rng(81);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        const int32_t statesPerModel = pick(1, 2);
        const Penalties p{pick(0, 40), pick(0, 20), pick(0, 30)};
        auto preset = fastPreset();
        preset.push_back({582, static_cast<uint32_t>(p.phone)});
        preset.push_back({599, static_cast<uint32_t>(p.wordEnd)});
        LinearChainFixture f(statesPerModel, preset, true);
        AM* model = f.model();

        // 1-5 distinct prons of 1-3 phones over few phonemes, so prefixes
        // are shared.
        std::set<std::vector<uint16_t>> distinct;
        const int count = pick(1, 5);
        while (static_cast<int>(distinct.size()) < count) {
            std::vector<uint16_t> pron(static_cast<size_t>(pick(1, 3)));
            for (auto& ph : pron)
                ph = static_cast<uint16_t>(pick(1, 4));
            distinct.insert(pron);
        }
        const std::vector<std::vector<uint16_t>> prons(distinct.begin(), distinct.end());
        LexTree* tree = treeOver(model, prons);
        ASSERT_NE(tree, nullptr);
        const LexArc* arcs = LexTree_GetArcs(tree, 0);
        std::map<int32_t, std::vector<int32_t>> paths;
        std::vector<int32_t> scratch;
        collectPaths(arcs, 0, scratch, paths);
        ASSERT_EQ(paths.size(), prons.size());

        Decoder* d = FastDecoder_Create(tree, nullptr, model, 10);
        ASSERT_NE(d, nullptr);
        FastDecoder_SetSearchParameters(d, p.word, 20000, 0, 0, 30000);

        // Frames on random states of the model.
        const int32_t frames = pick(3, 16);
        std::vector<int32_t> seq;
        const int32_t models = AM_GetNumPhoneModels(model);
        for (int32_t t = 0; t < frames; ++t) {
            const uint16_t* s = AM_GetModelStateIds(model, pick(0, models - 1));
            seq.push_back(s[pick(0, statesPerModel - 1)]);
        }
        const std::vector<uint8_t> data = f.frames(seq);
        const int32_t dim = AM_GetFeatureDim(model);

        // Costs as the decoder's scoring set gives them.
        const int32_t stateCount = AM_GetNumStates(model);
        std::vector<std::vector<int32_t>> cost(static_cast<size_t>(frames),
                                               std::vector<int32_t>(static_cast<size_t>(stateCount)));
        for (int32_t t = 0; t < frames; ++t) {
            AM_NewFrame(model, data.data() + t * dim, nullptr, d->scoringSet, t, 1);
            for (int32_t s = 0; s < stateCount; ++s)
                cost[static_cast<size_t>(t)][static_cast<size_t>(s)] = AM_GetStateScore(model, s);
            AM_EndFrame(model, 0, nullptr);
        }

        std::vector<std::pair<int64_t, int32_t>> expected;   // (score, pron)
        const int32_t rootState = AM_GetModelStateIds(model, arcs[0].model & kLexArcModelMask)[0];
        for (const auto& [pron, path] : paths) {
            std::vector<std::vector<int32_t>> phones;
            for (int32_t a : path) {
                const uint16_t* s = AM_GetModelStateIds(model, arcs[a].model & kLexArcModelMask);
                phones.emplace_back(s, s + statesPerModel);
            }
            const int64_t score = viterbi(cost, rootState, AM_GetSilenceStateId(model), phones, p);
            if (score < kInf)
                expected.emplace_back(score, pron);
        }
        std::sort(expected.begin(), expected.end());

        ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
        for (int32_t t = 0; t < frames; ++t)
            Decoder_ProcessFrame(d, data.data() + t * dim, nullptr);
        Decoder_UttFinish(d, nullptr);
        ASSERT_EQ(Decoder_GetState(d), kDecoderStateFinishedFast);
        int32_t scores[8] = {};
        uint32_t words[20] = {};
        const int32_t n = d->getChoicesAndScores(d, 8, scores, nullptr, 20, words, nullptr, nullptr, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, nullptr);
        std::vector<std::pair<int64_t, int32_t>> got;
        for (int32_t i = 0; i < n; ++i)
            got.emplace_back(scores[i], static_cast<int32_t>(words[2 * i]));
        EXPECT_EQ(got, expected) << "round " << round << ", " << statesPerModel << " states, " << frames
                                 << " frames";
        compared += static_cast<int>(expected.size());
        Decoder_Delete(d, 0);
        if (HasFailure())
            break;
    }
    EXPECT_GT(compared, 300);
}

}  // namespace
