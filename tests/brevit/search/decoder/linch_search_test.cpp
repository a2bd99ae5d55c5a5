// The linear-chain search over the fixture vocabulary and model: the frame
// step against a Viterbi recursion written here over the same topology,
// thresholds, word ends, end-pointing and the end of the utterance.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "tests/support/linear_chain_fixture.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

constexpr int64_t kInf = int64_t{1} << 40;
constexpr uint32_t kInsertion = 50;  // word 272: a start from silence
constexpr uint32_t kPenalty = 70;    // word 300: a start from a word end

// Wide beams and caps: nothing is pruned.
Words wide(const Words& more = {})
{
    Words w = {{kBrevitParamBaseBeamLevel, 16000}, {kBrevitParamBeamLevel1, 16000},
               {kBrevitParamPruneOffset, 16000},   {kBrevitParamNewWordBeam, 16000},
               {kBrevitParamWordEndBeam, 16000},   {kBrevitParamWordInsertionCost, kInsertion},
               {kBrevitParamGraphWordPenalty, kPenalty}, {kBrevitParamDecoderOut2, 100000},
               {kBrevitParamWordEndCap, 100000}};
    w.insert(w.end(), more.begin(), more.end());
    return w;
}

class LinChSearchTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

struct Word {
    uint16_t pron;
    std::vector<uint16_t> models;
};

// The Viterbi recursion over silence, word chains and word-final pauses.
class Reference {
public:
    Reference(LinChDecoder* d, const std::vector<Word>& words) : m_d(d), m_words(words)
    {
        for (const Word& w : words)
            m_cost.push_back(std::vector<int64_t>(2 * w.models.size() + 1, kInf));
        m_silence = 0;
    }

    // One frame given every state's score; the lowest cost alive.
    int64_t step(const std::vector<int32_t>& score, bool first)
    {
        const uint16_t sil = m_d->silenceHyp.model;
        auto states = [&](uint16_t m) { return AM_GetModelStateIds(m_d->base.model, m); };
        auto two = [&](uint16_t m) { return m_d->statesPerModel == 2 && m != sil; };
        int64_t wordEnd = kInf;
        for (size_t i = 0; i < m_words.size(); ++i) {
            const auto& c = m_cost[i];
            const size_t n = m_words[i].models.size();
            const uint16_t lastModel = m_words[i].models[n - 1];
            wordEnd = std::min({wordEnd, c[2 * (n - 1) + (two(lastModel) ? 1 : 0)], c[2 * n]});
        }
        const int64_t entry = first ? kInf
                                    : std::min(m_silence + int64_t{kInsertion},
                                               wordEnd == kInf ? kInf : wordEnd + int64_t{kPenalty});
        const int32_t silScore = score[m_d->silenceState];
        m_silence += silScore;
        int64_t best = m_silence;
        for (size_t i = 0; i < m_words.size(); ++i) {
            std::vector<int64_t> old = m_cost[i];
            auto& c = m_cost[i];
            const size_t n = m_words[i].models.size();
            int64_t in = entry;
            for (size_t j = 0; j < n; ++j) {
                const uint16_t m = m_words[i].models[j];
                const int32_t score0 = m == sil ? silScore : score[states(m)[0]];
                const int64_t s0 = std::min(in, old[2 * j]);
                if (two(m)) {
                    const int64_t s1 = std::min(old[2 * j], old[2 * j + 1]);
                    c[2 * j + 1] = s1 == kInf ? kInf : s1 + score[states(m)[1]];
                    in = old[2 * j + 1];
                } else {
                    in = old[2 * j];
                }
                c[2 * j] = s0 == kInf ? kInf : s0 + score0;
            }
            const int64_t p = std::min(in, old[2 * n]);
            c[2 * n] = p == kInf ? kInf : p + silScore;
            for (int64_t v : c)
                best = std::min(best, v);
        }
        return best;
    }

private:
    LinChDecoder* m_d;
    std::vector<Word> m_words;
    std::vector<std::vector<int64_t>> m_cost;  // per word: 2 per phone, then the pause
    int64_t m_silence;
};

// Every pron the constraint starts from silence.
std::vector<Word> startable(LinChDecoder* d)
{
    std::vector<Word> words;
    Constraint* con = d->constraints[0];
    ConstraintIterator it{};
    ClassPair_InitIterator(con, &it);
    Constraint_IteratorInitFromActiveId(con, &it, kConstraintSilencePron, 0, Constraint_MakeActiveId(con, 0),
                                        kConstraintNoPron);
    ConstraintSuccessor s{};
    while (Constraint_IteratorNext(con, &it, &s) != 0) {
        EXPECT_EQ(s.score, 0);
        const uint16_t* models = nullptr;
        const int32_t n = LinChDecoder_PronModels(d, s.member, &models);
        Word w{s.member, {}};
        for (int32_t j = 0; j < n; ++j)
            w.models.push_back(models[j]);
        if (n > 0 && std::none_of(words.begin(), words.end(), [&](const Word& x) { return x.pron == s.member; }))
            words.push_back(w);
    }
    return words;
}

// Each frame a random state's mean plus small noise.
std::vector<uint8_t> noisyFrames(LinearChainFixture& f, int32_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<int32_t> states;
    for (int32_t i = 0; i < count; ++i)
        states.push_back(static_cast<int32_t>(rng() % 8));
    std::vector<uint8_t> frames = f.frames(states);
    for (uint8_t& b : frames)
        b = static_cast<uint8_t>(std::clamp<int32_t>(b + static_cast<int32_t>(rng() % 5) - 2, 0, 255));
    return frames;
}

// Every state's score of a frame, through the decoder's own scoring set.
std::vector<int32_t> scoresOf(LinChDecoder* d, const uint8_t* frame, int32_t index)
{
    const int16_t side = 0;
    AM_NewFrame(d->base.model, frame, &side, d->base.scoringSet, index, 1);
    std::vector<int32_t> score(8);
    for (int32_t s = 0; s < 8; ++s)
        score[s] = AM_GetStateScore(d->base.model, s);
    uint32_t crc = 0;
    AM_EndFrame(d->base.model, index, &crc);
    return score;
}

int32_t bestOf(LinChDecoder* d)
{
    int32_t best = 0, silence = 0, end = 0;
    Decoder_GetKeyScores(&d->base, &best, &silence, &end);
    return best;
}

void runDifferential(LinearChainFixture& f, int32_t frames, uint32_t seed)
{
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const std::vector<Word> words = startable(d);
    ASSERT_FALSE(words.empty());
    const int32_t dim = AM_GetFeatureDim(f.model());
    const std::vector<uint8_t> data = noisyFrames(f, frames, seed);
    std::vector<std::vector<int32_t>> scores;
    for (int32_t t = 0; t < frames; ++t)
        scores.push_back(scoresOf(d, &data[static_cast<size_t>(t * dim)], t));
    Reference ref(d, words);
    const int32_t side = 0;
    for (int32_t t = 0; t < frames; ++t) {
        const int64_t expected = ref.step(scores[static_cast<size_t>(t)], t == 0);
        Decoder_ProcessFrame(&d->base, &data[static_cast<size_t>(t * dim)], &side);
        ASSERT_NE(d->state, kDecoderStateFailed) << "frame " << t;
        ASSERT_EQ(bestOf(d), expected) << "frame " << t;
        // Nothing the reference keeps may lie outside the thresholds.
        ASSERT_LE(d->pruneThreshold - d->bestCost, 16383);
    }
}

} // namespace

TEST_F(LinChSearchTest, TheFrameBestFollowsAViterbiRecursion)
{
    LinearChainFixture f(2, wide(), true);
    for (uint32_t seed : {1u, 2u, 3u})
        runDifferential(f, 60, seed);
}

TEST_F(LinChSearchTest, OneStateModelsFollowTheRecursionToo)
{
    LinearChainFixture f(1, wide(), true);
    runDifferential(f, 60, 7);
}

namespace {

// Frames of silence, the states of a pron's models three frames each, and
// silence again.
std::vector<uint8_t> spoken(LinearChainFixture& f, LinChDecoder* d, uint16_t pron, int32_t trailing)
{
    std::vector<int32_t> states(10, d->silenceState);
    const uint16_t* models = nullptr;
    const int32_t n = LinChDecoder_PronModels(d, pron, &models);
    for (int32_t j = 0; j < n; ++j)
        for (int32_t s = 0; s < d->statesPerModel; ++s)
            for (int32_t k = 0; k < 3; ++k)
                states.push_back(AM_GetModelStateIds(d->base.model, models[j])[s]);
    states.insert(states.end(), static_cast<size_t>(trailing), d->silenceState);
    return f.frames(states);
}

} // namespace

TEST_F(LinChSearchTest, TheSpokenWordEndsTheUtteranceAfterItsFinalSilence)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const uint16_t pron = 1;  // its models are no other pron's
    const std::vector<uint8_t> data = spoken(f, d, pron, 60);
    const int32_t dim = AM_GetFeatureDim(f.model());
    const int32_t side = 0;
    int32_t ended = -1;
    for (size_t t = 0; t * dim < data.size() && ended < 0; ++t)
        if (Decoder_ProcessFrame(&d->base, &data[t * static_cast<size_t>(dim)], &side) == kDecoderStateFinished)
            ended = static_cast<int32_t>(t);
    ASSERT_GT(ended, 0);
    uint32_t node = kResultGraphNone;
    int32_t score = 0;
    ResultGraph_GetBest(d->resultGraph, &node, &score);
    ASSERT_NE(node, kResultGraphNone);
    EXPECT_EQ(ResultGraph_GetNodeWord(d->resultGraph, node), pron);
    EXPECT_EQ(Decoder_UttFinish(&d->base, nullptr), 0);
    EXPECT_EQ(d->state, kDecoderStateFinishedFast);
    // The front end's question in a state other than 1 answers that state.
    for (int32_t state : {2, 5, 6}) {
        d->state = state;
        EXPECT_EQ(Decoder_FESeenFinalSilence(&d->base, 0), state);
    }
}

TEST_F(LinChSearchTest, AFrameWithNothingAliveScoresNothing)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const std::vector<uint8_t> data = f.frames({0, 0});
    const int32_t side = 0;
    Decoder_ProcessFrame(&d->base, data.data(), &side);
    d->bestCost = kLinChDeadCost;  // nothing survived that frame
    Decoder_ProcessFrame(&d->base, data.data() + AM_GetFeatureDim(f.model()), &side);
    EXPECT_EQ(d->state, kDecoderStateNoHypothesis);
    EXPECT_EQ(d->frameIndex, 2);
    EXPECT_EQ(d->normaliserSum, kDecoderNoScore);
}

TEST_F(LinChSearchTest, CostSumsPastTheDeadMarkDieInsteadOfWrapping)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const std::vector<uint8_t> data = f.frames({0});
    const int16_t side = 0;
    AM_NewFrame(f.model(), data.data(), &side, d->base.scoringSet, 0, 1);
    const int32_t score = AM_GetStateScore(f.model(), d->silenceState);
    struct Case {
        int16_t old;
        int32_t normaliser;
        int16_t expected;
    } cases[] = {
        {100, 100, static_cast<int16_t>(score)},
        {16000, static_cast<int16_t>(score - 384), kLinChDeadCost},   // exactly 16384
        {16000, static_cast<int16_t>(score - 383), 16383},            // the last live cost
        {16383, -16000, kLinChDeadCost},                               // past 32767
    };
    for (const Case& c : cases) {
        LinChHyp r{};
        r.model = d->silenceHyp.model;
        r.cost[0] = c.old;
        r.cost[1] = kLinChDeadCost;
        d->pruneThreshold = 16383;
        d->normaliser = static_cast<int16_t>(c.normaliser);
        d->bestCost = kLinChDeadCost;
        LinChDecoderNoTimes_UpdateHyp1(d, nullptr, &r);
        EXPECT_EQ(r.cost[0], c.expected) << c.old << " " << c.normaliser;
        EXPECT_GE(d->bestCost, 0);
    }
    uint32_t crc = 0;
    AM_EndFrame(f.model(), 0, &crc);
}

TEST_F(LinChSearchTest, ThresholdsKeepEqualCostsAndOwnRefs)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const std::vector<uint8_t> data = f.frames({0});
    const int16_t side = 0;
    AM_NewFrame(f.model(), data.data(), &side, d->base.scoringSet, 0, 1);
    d->normaliser = 0;
    d->pruneThreshold = 500;
    for (int16_t old : {500, 501}) {
        LinChHyp r{};
        r.model = d->silenceHyp.model;
        r.cost[0] = old;
        r.ref[0] = 7;
        LinChHyp in{};
        in.cost[0] = old;  // equal incoming: the state keeps its own ref
        in.ref[0] = 9;
        LinChDecoderNoTimes_UpdateHyp1(d, &in, &r);
        EXPECT_EQ(r.cost[0] == kLinChDeadCost, old == 501) << old;
        EXPECT_EQ(r.ref[0], 7);
    }
    uint32_t crc = 0;
    AM_EndFrame(f.model(), 0, &crc);
}

TEST_F(LinChSearchTest, EndOfUtteranceQueriesOutsideTheirModes)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    // No final node: the utterance fails.
    EXPECT_EQ(Decoder_UttFinish(&d->base, nullptr), 0);
    EXPECT_EQ(d->state, kDecoderStateFailed);
    // Mode 2 reports no constraint costs and leaves the arrays alone.
    d->mode = 2;
    int32_t garbage[2] = {5, 5}, other[2] = {6, 6}, silence = 7;
    EXPECT_EQ(LinChDecoderNoTimes_GetBestConstraintScores(&d->base, 2, garbage, other, &silence), 0);
    EXPECT_EQ(garbage[0], 5);
    EXPECT_EQ(other[1], 6);
    EXPECT_EQ(silence, 7);
    // Nothing flagged alive and a dead silence: no extension, no extra frames.
    d->mode = 3;
    d->silenceHyp.cost[0] = kLinChDeadCost;
    const uint8_t flags[1] = {0};
    EXPECT_EQ(LinChDecoderNoTimes_ExtendFinalSilence(&d->base, 0, flags, 5, 1000), 0);
}

TEST_F(LinChSearchTest, ASecondUtteranceAllocatesNothingPerFrame)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    Constraint* whole = f.wholeVocabulary();
    const int32_t dim = AM_GetFeatureDim(f.model());
    const int32_t side = 0;
    for (int32_t utterance = 0; utterance < 2; ++utterance) {
        ASSERT_EQ(f.uttInit(d, {whole}), 1);
        const std::vector<uint8_t> data = spoken(f, d, 1, 40);
        uint64_t calls = 0;
        for (size_t t = 0; t * dim < data.size(); ++t) {
            const uint64_t before = m_allocator.calls();
            Decoder_ProcessFrame(&d->base, &data[t * static_cast<size_t>(dim)], &side);
            calls += m_allocator.calls() - before;
        }
        if (utterance == 1) {
            EXPECT_EQ(calls, 0u);
        }
    }
}

TEST_F(LinChSearchTest, HistogramPruningKeepsTheCapButAlwaysTheBestBin)
{
    struct Row {
        std::map<int32_t, uint16_t> bins;
        int32_t cap, hypCount;
        int16_t expected;
    } rows[] = {
        {{{10, 2}, {11, 1}, {12, 2}, {13, 1}}, 3, 7, 11},  // bin 12 overflows the cap
        {{{10, 5}, {11, 1}}, 3, 7, 10},                    // the best bin survives
        {{{10, 2}, {11, 1}}, 3, 4, 40},                    // within the cap: the beam alone
        {{{10, 1}}, 3, 3, 40},                             // not above the cap: no histogram
    };
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    ASSERT_NE(d->costHistogram, nullptr);
    ASSERT_GT(d->costHistogram->binCount, 50);
    for (const Row& row : rows) {
        Histogram_Clear(d->costHistogram);
        for (const auto& [bin, count] : row.bins) {
            d->costHistogram->bins[bin] = count;
            d->costHistogram->total += count;
        }
        d->bestCost = 10;
        d->beam = 30;
        d->hypCap = row.cap;
        d->hypCount = row.hypCount;
        d->mode = 2;  // no silence-frame lowering
        EXPECT_EQ(LinChDecoderNoTimes_GetPruneThreshold(d), row.expected) << row.cap << " " << row.hypCount;
    }
    d->hypCount = 1;
}

TEST_F(LinChSearchTest, AWordStartWithoutRoomFailsAndWritesNothing)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    LinChNewWord w{};
    w.cost = 0;
    w.ref = -1;
    for (int32_t gap : {3, 2}) {
        d->state = kDecoderStateRunning;
        const int32_t readPos = 10;
        int32_t writePos = readPos - gap;
        LinChHyp* at = LinChDecoder_HypAt(d, writePos);
        at->pron = 4321;
        LinChDecoderNoTimes_StartWord(d, 1, &w, 0, readPos, &writePos);
        EXPECT_EQ(d->state == kDecoderStateFailed, gap == 2) << gap;
        EXPECT_EQ(writePos, readPos - gap + (gap == 3 ? 1 : 0)) << gap;
        EXPECT_EQ(at->pron == 4321, gap == 2) << gap;
    }
}

TEST_F(LinChSearchTest, ModeElevenStopsWhenSilenceFallsTooFarBehind)
{
    LinearChainFixture f(2, wide({{kBrevitParamMode11, 1}}), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}, 11), 1);
    const std::vector<uint8_t> data = spoken(f, d, 1, 0);
    const int32_t dim = AM_GetFeatureDim(f.model());
    const int32_t side = 0;
    bool sawSix = false;
    for (size_t t = 0; t * dim < data.size() && !sawSix; ++t) {
        Decoder_ProcessFrame(&d->base, &data[t * static_cast<size_t>(dim)], &side);
        if (d->state == 6) {
            sawSix = true;
            EXPECT_GT(int32_t{d->silenceHyp.cost[0]} - d->bestCost, 1);
        }
    }
    EXPECT_TRUE(sawSix);
}
