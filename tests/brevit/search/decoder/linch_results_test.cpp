// The linear-chain decoder's results over the fixture vocabulary and model:
// choices refused before the end, the choice list's order and bounds, the
// N-best list against the live list read here, the second pass against
// frames fed one by one, and the state checksum.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/frame_buffer.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/linch_results.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "tests/support/linear_chain_fixture.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

// Wide beams and caps: nothing is pruned; the end-pointers settle after
// 20 frames of silence.
Words wide(const Words& more = {})
{
    Words w = {{kBrevitParamBaseBeamLevel, 16000}, {kBrevitParamBeamLevel1, 16000},
               {kBrevitParamPruneOffset, 16000},   {kBrevitParamNewWordBeam, 16000},
               {kBrevitParamWordEndBeam, 16000},   {kBrevitParamWordInsertionCost, 50},
               {kBrevitParamGraphWordPenalty, 70}, {kBrevitParamDecoderOut2, 100000},
               {kBrevitParamWordEndCap, 100000},   {kBrevitParamMinTrailingSilence, 200},
               {kBrevitParamEndPointerValue1, 50}, {kBrevitParamSecondEndPointer, 300}};
    w.insert(w.end(), more.begin(), more.end());
    return w;
}

class LinChResultsTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

// Silence, the states of a pron's models per frames each, silence again.
std::vector<uint8_t> spoken(LinearChainFixture& f, LinChDecoder* d, uint16_t pron, int32_t perState,
                            int32_t trailing)
{
    std::vector<int32_t> states(15, d->silenceState);
    const uint16_t* models = nullptr;
    const int32_t n = LinChDecoder_PronModels(d, pron, &models);
    for (int32_t j = 0; j < n; ++j)
        for (int32_t s = 0; s < d->statesPerModel; ++s)
            for (int32_t k = 0; k < perState; ++k)
                states.push_back(AM_GetModelStateIds(d->base.model, models[j])[s]);
    states.insert(states.end(), static_cast<size_t>(trailing), d->silenceState);
    return f.frames(states);
}

struct Result {
    int32_t count = 0;
    std::vector<int32_t> scores;
    std::vector<uint32_t> words;
};

Result choicesOf(LinChDecoder* d, int32_t limit)
{
    Result r;
    r.scores.assign(static_cast<size_t>(limit), -1);
    r.words.assign(512, 0x12345678u);
    r.count = LinChDecoderNoTimes_GetChoicesAndScores(&d->base, limit, r.scores.data(), nullptr, 512, r.words.data(),
                                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr);
    return r;
}

// Feeds frames one by one; the CRC after each when asked.
std::vector<uint32_t> feed(LinChDecoder* d, const std::vector<uint8_t>& data, int32_t dim, bool stopAtEnd = false)
{
    std::vector<uint32_t> crcs;
    const int32_t side = 0;
    for (size_t t = 0; t * dim < data.size(); ++t) {
        const int32_t state = Decoder_ProcessFrame(&d->base, &data[t * static_cast<size_t>(dim)], &side);
        crcs.push_back(Decoder_ComputeCRC(&d->base));
        if (stopAtEnd && state == kDecoderStateFinished)
            break;
    }
    return crcs;
}

LinChHyp finalRecord(uint16_t pron, int16_t cost)
{
    LinChHyp r{};
    r.pron = pron;
    r.cost[0] = cost;
    r.cost[1] = kLinChDeadCost;
    r.ref[0] = r.ref[1] = -1;
    r.best = cost;
    r.activeIdHigh = kLinChFinalBit;
    return r;
}

} // namespace

TEST_F(LinChResultsTest, RunningOrStartingGivesNoChoiceAndTheEmptyMarkers)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
    for (int32_t state : {kDecoderStateRunning, kDecoderStateStarting, kDecoderStateFailed}) {
        d->state = state;
        const Result r = choicesOf(d, 3);
        EXPECT_EQ(r.count, 0) << state;
        EXPECT_EQ(r.scores[0], kDecoderNoScore) << state;
        EXPECT_EQ(r.words[0], kDecoderEndOfChoice) << state;
    }
    // An empty constraint list in a constraint mode refuses too.
    d->state = kDecoderStateFinished;
    d->numConstraints = 0;
    EXPECT_EQ(choicesOf(d, 3).count, 0);
}

TEST_F(LinChResultsTest, AFullListDropsAWorseCandidateAndLetsABetterOnePushTheWorstOut)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
    std::vector<LinChChoice> list(3);
    int32_t count = 0;
    auto add = [&](uint16_t pron, int16_t cost) {
        const LinChHyp r = finalRecord(pron, cost);
        LinChDecoderNoTimes_AddChoice(d, pron, &r, cost, -1, list.data(), &count, 3, 0);
    };
    auto prons = [&] {
        std::vector<std::pair<uint16_t, int32_t>> out;
        for (int32_t i = 0; i < count; ++i)
            out.push_back({list[i].words[0], list[i].score - d->normaliserSum});
        return out;
    };
    add(1, 20);
    add(0, 30);
    add(2, 10);
    using P = std::vector<std::pair<uint16_t, int32_t>>;
    EXPECT_EQ(prons(), (P{{2, 10}, {1, 20}, {0, 30}}));
    add(3, 40);  // worse than every held choice
    EXPECT_EQ(prons(), (P{{2, 10}, {1, 20}, {0, 30}}));
    add(4, 5);   // better: the worst falls off
    EXPECT_EQ(prons(), (P{{4, 5}, {2, 10}, {1, 20}}));
    add(3, 20);  // an equal score goes after the held one of lower words
    EXPECT_EQ(prons(), (P{{4, 5}, {2, 10}, {1, 20}}));
    EXPECT_EQ(list[0].wordCount, 1);
    EXPECT_EQ(list[0].expanded, 1);
    EXPECT_EQ(list[0].startFlags[0], 1);
    EXPECT_EQ(list[0].endFrames[0], d->frameIndex - 1);
}

TEST_F(LinChResultsTest, APathOfFiftyNineWordsMakesNoChoice)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
    for (int32_t words : {58, 59, 70}) {
        ResultGraph_Reset(d->resultGraph);
        uint32_t node = kResultGraphNone;
        for (int32_t i = 0; i < words; ++i)
            node = ResultGraph_AddNode(d->resultGraph, node, static_cast<uint16_t>(i % 3), 0, 0, 0, 0,
                                       static_cast<int16_t>(i + 1));
        ASSERT_NE(node, kResultGraphNone);
        std::vector<LinChChoice> list(2);
        int32_t count = 0;
        const LinChHyp r = finalRecord(1, 100);
        LinChDecoderNoTimes_AddChoice(d, 1, &r, 100, static_cast<int32_t>(node), list.data(), &count, 2, 0);
        // With its final word a 58-word history fills all 59 places.
        EXPECT_EQ(count, words == 58 ? 1 : 0) << words;
        if (count == 1) {
            EXPECT_EQ(list[0].wordCount, 59);
            EXPECT_EQ(list[0].words[58], 1);
            EXPECT_EQ(list[0].words[57], 57 % 3);
        }
    }
}

namespace {

// The N-best list as read here from the live list: every final pause record
// alive, its path and its word, by score then words, the later of equal
// word sequences dropped, at most limit.
std::vector<std::pair<int32_t, std::vector<uint16_t>>> expectedNBest(LinChDecoder* d, size_t limit)
{
    std::vector<std::pair<int32_t, std::vector<uint16_t>>> all;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        const uint16_t* models = nullptr;
        if (r->phone != LinChDecoder_PronModels(d, r->pron, &models) || (r->activeIdHigh & kLinChFinalBit) == 0 ||
            r->cost[0] == kLinChDeadCost)
            continue;
        std::vector<uint16_t> words(60);
        const int32_t n = ResultGraph_GetPath(d->resultGraph, r->ref[0] < 0 ? kResultGraphNone : r->ref[0],
                                              words.data(), nullptr, nullptr, nullptr, nullptr, nullptr, 59, nullptr);
        words.resize(static_cast<size_t>(n));
        words.push_back(r->pron);
        all.push_back({r->cost[0] + d->normaliserSum, words});
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first, a.second) < std::tie(b.first, b.second);
    });
    std::vector<std::pair<int32_t, std::vector<uint16_t>>> kept;
    for (const auto& c : all) {
        if (kept.size() == limit)
            break;  // a full list drops whatever sorts after its last
        if (std::none_of(kept.begin(), kept.end(), [&](const auto& k) { return k.second == c.second; }))
            kept.push_back(c);
    }
    return kept;
}

} // namespace

TEST_F(LinChResultsTest, TheNBestListHoldsTheFinalPauseEndsByCostWithoutDuplicates)
{
    LinearChainFixture f(2, wide({{kBrevitParamCollectChoicesNoTimes, 1}, {kBrevitParamDuplicateByPronIds, 1}}),
                         true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    for (int32_t limit : {1, 3, 8}) {
        ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
        const int32_t dim = AM_GetFeatureDim(f.model());
        // Stop inside the trailing silence: several words still end there.
        const std::vector<uint8_t> data = spoken(f, d, 1, 3, 6);
        feed(d, data, dim);
        d->state = kDecoderStateFinished;
        const auto expected = expectedNBest(d, static_cast<size_t>(limit));
        ASSERT_FALSE(expected.empty());
        std::vector<LinChChoice> list(static_cast<size_t>(limit));
        const int32_t count = LinChDecoderNoTimes_CollectChoices(d, list.data(), limit, 0);
        ASSERT_EQ(count, static_cast<int32_t>(expected.size())) << limit;
        for (int32_t c = 0; c < count; ++c) {
            EXPECT_EQ(list[c].score, expected[c].first) << c;
            EXPECT_EQ(std::vector<uint16_t>(list[c].words, list[c].words + list[c].wordCount), expected[c].second)
                << c;
        }
        // Through the slot, in the engine's form.
        const Result r = choicesOf(d, limit);
        ASSERT_EQ(r.count, count);
        EXPECT_TRUE(std::is_sorted(r.scores.begin(), r.scores.begin() + r.count));
        EXPECT_EQ(r.words[expected[0].second.size()], kDecoderEndOfChoice);
        EXPECT_EQ(d->numChoices, count);
    }
}

TEST_F(LinChResultsTest, NoFinalEndLeavesNoChoiceAndFailsTheDecoder)
{
    for (uint32_t nBest : {0u, 1u}) {
        LinearChainFixture f(2, wide({{kBrevitParamCollectChoicesNoTimes, nBest}}), true);
        LinChDecoder* d = f.decoder();
        ASSERT_NE(d, nullptr);
        ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
        feed(d, f.frames({0, 0}), AM_GetFeatureDim(f.model()));
        d->state = kDecoderStateFinished;
        const Result r = choicesOf(d, 4);
        EXPECT_EQ(r.count, 0) << nBest;
        EXPECT_EQ(r.scores[0], kDecoderNoScore) << nBest;
        EXPECT_EQ(r.words[0], kDecoderEndOfChoice) << nBest;
        EXPECT_EQ(d->state, kDecoderStateFailed) << nBest;
    }
}

TEST_F(LinChResultsTest, TwoDecodersGivenTheSameInputHaveEqualChecksumsAfterEveryFrame)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* a = f.decoder();
    LinChDecoder* b = f.decoder();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // Different caches at different addresses: the checksum must not see them.
    ASSERT_NE(a->pronCache, b->pronCache);
    Constraint* whole = f.wholeVocabulary();
    ASSERT_NE(f.uttInit(a, {whole}), 0);
    ASSERT_NE(f.uttInit(b, {whole}), 0);
    EXPECT_EQ(Decoder_ComputeCRC(&a->base), Decoder_ComputeCRC(&b->base));
    const int32_t dim = AM_GetFeatureDim(f.model());
    // Reading the word's models caches its pron: do it in both.
    const std::vector<uint8_t> data = spoken(f, a, 1, 3, 30);
    ASSERT_EQ(spoken(f, b, 1, 3, 30), data);
    const std::vector<uint32_t> ca = feed(a, data, dim);
    const std::vector<uint32_t> cb = feed(b, data, dim);
    EXPECT_EQ(ca, cb);
    // The checksum follows the search: consecutive frames differ.
    for (size_t t = 1; t < ca.size(); ++t)
        EXPECT_NE(ca[t], ca[t - 1]) << t;
    EXPECT_EQ(Decoder_UttFinish(&a->base, nullptr), Decoder_UttFinish(&b->base, nullptr));
    const Result ra = choicesOf(a, 2), rb = choicesOf(b, 2);
    EXPECT_EQ(ra.count, rb.count);
    EXPECT_EQ(Decoder_ComputeCRC(&a->base), Decoder_ComputeCRC(&b->base));
    // A changed choice changes it.
    a->choices[0].score += 1;
    EXPECT_NE(Decoder_ComputeCRC(&a->base), Decoder_ComputeCRC(&b->base));
}

TEST_F(LinChResultsTest, ASecondPassOverAFrameBufferEndsWhereFramesFedOneByOneEnd)
{
    for (uint32_t nBest : {0u, 1u}) {
        LinearChainFixture f(2, wide({{kBrevitParamCollectChoicesNoTimes, nBest}}), true);
        LinChDecoder* live = f.decoder();
        LinChDecoder* second = f.decoder();
        ASSERT_NE(live, nullptr);
        ASSERT_NE(second, nullptr);
        Constraint* whole = f.wholeVocabulary();
        const int32_t dim = AM_GetFeatureDim(f.model());
        const std::vector<uint8_t> data = spoken(f, live, 1, 3, 40);
        const auto frames = static_cast<int32_t>(data.size() / static_cast<size_t>(dim));
        FrameBuffer* buffer = FrameBuffer_Create(dim, frames);
        ASSERT_NE(buffer, nullptr);
        for (int32_t t = 0; t < frames; ++t) {
            const int32_t side = t;
            ASSERT_EQ(FrameBuffer_AddFrame(buffer, &data[static_cast<size_t>(t * dim)], &side), 1);
        }
        ASSERT_NE(f.uttInit(live, {whole}), 0);
        ASSERT_NE(f.uttInit(second, {whole}), 0);
        for (int32_t t = 0; t < frames; ++t) {
            const int32_t side = t;  // the side values the buffer hands back
            Decoder_ProcessFrame(&live->base, &data[static_cast<size_t>(t * dim)], &side);
        }
        // In two pieces, the second asking for more frames than the buffer holds.
        LinChDecoderNoTimes_RunDetailedMatch(second, 0, 20, buffer, nullptr);
        EXPECT_EQ(second->frameIndex, 20);
        second->base.frameBuffer = buffer;
        const int32_t state = Decoder_RunDetailedMatch(&second->base, 20, frames + 50);
        EXPECT_EQ(state, second->state);
        second->base.frameBuffer = nullptr;
        EXPECT_EQ(second->frameIndex, live->frameIndex);
        EXPECT_EQ(Decoder_ComputeCRC(&second->base), Decoder_ComputeCRC(&live->base));
        Decoder_UttFinish(&live->base, nullptr);
        Decoder_UttFinish(&second->base, nullptr);
        const Result a = choicesOf(live, 4), b = choicesOf(second, 4);
        ASSERT_GE(a.count, 1) << nBest;
        EXPECT_EQ(a.count, b.count);
        EXPECT_EQ(a.scores, b.scores);
        EXPECT_EQ(a.words, b.words);
        EXPECT_EQ(Decoder_ComputeCRC(&second->base), Decoder_ComputeCRC(&live->base));
        FrameBuffer_Delete(buffer);
    }
}

TEST_F(LinChResultsTest, AnEmptyFrameRangeRunsNoFrameButSortsTheRescoringWords)
{
    LinearChainFixture f(2, wide(), true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
    FrameBuffer* buffer = FrameBuffer_Create(AM_GetFeatureDim(f.model()), 4);
    ASSERT_NE(buffer, nullptr);
    const std::vector<uint8_t> data = f.frames({0, 0, 0});
    const int32_t side = 0;
    for (int32_t t = 0; t < 3; ++t)
        FrameBuffer_AddFrame(buffer, &data[static_cast<size_t>(t * AM_GetFeatureDim(f.model()))], &side);
    d->rescoreCount = 0;
    for (auto [pron, frame] : std::vector<std::pair<int16_t, int16_t>>{{2, 9}, {0, 4}, {1, 7}, {0, 1}})
        ASSERT_EQ(LinChDecoder_AddRescorePair(&d->base, pron, frame), 1);
    std::vector<LinChRescoreWord> sorted(d->rescoreWords, d->rescoreWords + d->rescoreCount);
    std::qsort(sorted.data(), sorted.size(), sizeof(LinChRescoreWord), LinChDecoder_CompareRescoreWords);
    const uint32_t before = Decoder_ComputeCRC(&d->base);
    for (auto [first, end] : std::vector<std::pair<int32_t, int32_t>>{{2, 2}, {3, 1}, {5, 9}}) {
        LinChDecoderNoTimes_RunDetailedMatch(d, first, end, buffer, nullptr);
        EXPECT_EQ(d->frameIndex, 0) << first << " " << end;
    }
    for (size_t i = 0; i < sorted.size(); ++i) {
        EXPECT_EQ(d->rescoreWords[i].pron, sorted[i].pron) << i;
        EXPECT_EQ(d->rescoreWords[i].frame, sorted[i].frame) << i;
    }
    EXPECT_NE(Decoder_ComputeCRC(&d->base), before);  // only the order changed
    // A decoder without a buffer runs nothing either.
    const int32_t state = Decoder_RunDetailedMatch(&d->base, 0, 3);
    EXPECT_EQ(state, d->state);
    EXPECT_EQ(d->frameIndex, 0);
    FrameBuffer_Delete(buffer);
}

TEST_F(LinChResultsTest, CloseCallsWidenTheListWithoutRepeatingAChoice)
{
    LinearChainFixture f(2,
                         wide({{kBrevitParamCloseCalls, 1},
                               {kBrevitParamCloseCallRecords, 64},
                               {kBrevitParamCloseCallMaxKey, 16000}}),
                         true);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    ASSERT_NE(f.uttInit(d, {f.wholeVocabulary()}), 0);
    ASSERT_NE(d->closeCalls, nullptr);
    feed(d, spoken(f, d, 1, 3, 40), AM_GetFeatureDim(f.model()), true);
    ASSERT_GT(LinChDecoder_CountCloseCalls(d), 0);
    Decoder_UttFinish(&d->base, nullptr);
    std::vector<int16_t> shares(6);
    std::vector<uint8_t> ends(512, 7);
    std::vector<int32_t> scores(6);
    std::vector<uint32_t> words(512);
    const int32_t count =
        LinChDecoderNoTimes_GetChoicesAndScores(&d->base, 6, scores.data(), shares.data(), 512, words.data(),
                                                ends.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                nullptr);
    ASSERT_GT(count, 1);
    EXPECT_EQ(words[0], Voc_PronIdToVocId(f.voc(), 1));
    EXPECT_EQ(words[1], kDecoderEndOfChoice);
    std::vector<std::vector<uint32_t>> seen;
    size_t at = 0;
    for (int32_t c = 0; c < count; ++c) {
        std::vector<uint32_t> choice;
        while (words[at] != kDecoderEndOfChoice)
            choice.push_back(words[at++]);
        ++at;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), choice), 0) << c;
        seen.push_back(choice);
    }
    EXPECT_TRUE(std::is_sorted(scores.begin(), scores.begin() + count));
    // The flags past the written words were cleared.
    EXPECT_EQ(ends[at + 1], 0);
}

