// The linear-chain decoder's slots outside the frame loop: scores, the
// constraint list, saved state, activation and choices.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "tests/support/linear_chain_fixture.h"

#include <vector>

namespace {

class LinChSlotsTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

TEST_F(LinChSlotsTest, NonAcousticScore)
{
    LinearChainFixture f(2, {{kBrevitParamWordInsertionCost, 7}, {kBrevitParamGraphWordPenalty, 100},
                             {kBrevitParamFlaggedWordCost, 1000}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    Decoder* base = &d->base;
    const uint32_t words[] = {Voc_PronIdToVocId(f.voc(), 0), Voc_PronIdToVocId(f.voc(), 1),
                              Voc_PronIdToVocId(f.voc(), 2)};
    const uint8_t none[] = {0, 0, 0};
    const uint8_t flagged[] = {1, 1, 1};
    auto lm = [&](int32_t n, const uint32_t* w) {
        return static_cast<int16_t>(DecoderUtils_ScoreWordSequence(base, 0, nullptr, 1, n, w));
    };
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 0, words, none), 0);
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 3, words, none), lm(3, words) + 7 + 2 * 100);
    // Flags count for the transitions only.
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 3, words, flagged),
              lm(3, words) + 7 + 2 * 100 + 2 * 1000);
    // A last id of -4 is no transition.
    const uint32_t ended[] = {words[0], words[1], static_cast<uint32_t>(-4)};
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 3, ended, flagged), lm(3, ended) + 7 + 100 + 1000);
    // Mend: a lone end marker counts no transition (not minus one).
    const uint32_t lone[] = {static_cast<uint32_t>(-4)};
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 1, lone, flagged), lm(1, lone) + 7);
    // The low 16 bits, signed.
    d->wordPenalty = 16000;
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 3, words, none),
              static_cast<int16_t>(lm(3, words) + 7 + 32000 + 0));
    d->flaggedWordCost = 16000;
    EXPECT_EQ(Decoder_GetNonAcousticScore(base, 0, nullptr, 1, 3, words, flagged),
              static_cast<int16_t>(lm(3, words) + 7 + 32000 + 32000));
}

TEST_F(LinChSlotsTest, BestCrossScoreOnlyLowersThePruneThreshold)
{
    LinearChainFixture f(2, {{kBrevitParamPruneExcess, 10}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    Decoder* base = &d->base;
    d->bestCost = 100;
    d->normaliserSum = 1000;
    d->beam = 500;
    d->pruneThreshold = 600;
    Decoder_SetBestCrossScore(base, 900);   // off
    EXPECT_EQ(d->pruneThreshold, 600);
    Decoder_SetCrossThresholding(base, 1);
    Decoder_SetBestCrossScore(base, 900);   // excess 1100 - 900 - 10 = 190
    EXPECT_EQ(d->pruneThreshold, 500 + 100 - 190);
    Decoder_SetBestCrossScore(base, 1085);  // excess 5: would raise it
    EXPECT_EQ(d->pruneThreshold, 410);
    Decoder_SetBestCrossScore(base, 0x40000000);
    EXPECT_EQ(d->pruneThreshold, 410);
    d->state = 5;
    Decoder_SetBestCrossScore(base, 0);
    EXPECT_EQ(d->pruneThreshold, 410);
    // With frame skipping and the toggle at 0 the call only sets the toggle.
    d->state = 1;
    f.set(kBrevitParamFrameSkipping, 1);
    d->frameSkipToggle = 0;
    Decoder_SetBestCrossScore(base, 0);
    EXPECT_EQ(d->frameSkipToggle, 1);
    EXPECT_EQ(d->pruneThreshold, 410);
    Decoder_SetBestCrossScore(base, 0);
    EXPECT_LT(d->pruneThreshold, 410);
}

TEST_F(LinChSlotsTest, KeyScoresAndStateQueries)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    Decoder* base = &d->base;
    d->bestCost = 20;
    d->normaliserSum = 300;
    d->bestWordEndCost = 16384;
    d->silenceHyp.cost[0] = 5;
    int32_t best = 0, silence = 0, wordEnd = 0;
    Decoder_GetKeyScores(base, &best, &silence, &wordEnd);
    EXPECT_EQ(best, 320);
    EXPECT_EQ(silence, 305);
    EXPECT_EQ(wordEnd, 0x40000000);
    d->silenceHyp.cost[0] = 16384;
    d->bestWordEndCost = 30;
    Decoder_GetKeyScores(base, &best, &silence, &wordEnd);
    EXPECT_EQ(silence, 0x40000000);
    EXPECT_EQ(wordEnd, 330);
    EXPECT_EQ(Decoder_GetBestAccumScore(base), 320);
    d->frameIndex = 42;
    EXPECT_EQ(Decoder_GetCurrentFrame(base), 42);
    d->silenceThresholdTime = 9;
    EXPECT_EQ(Decoder_GetSilenceThresholdTime(base), 9);
    EXPECT_EQ(Decoder_SetRejected(base), 3);
    EXPECT_TRUE(Decoder_HasFailed(base));
    EXPECT_EQ(Decoder_MakeWordInactive(base, 0), 1);
    EXPECT_EQ(d->state, 4);
    EXPECT_EQ(Decoder_MakePronActive(base, 0, 0), 1);
    EXPECT_EQ(Decoder_MakePronInactive(base, 0), 1);
    EXPECT_EQ(d->state, 4);
}

TEST_F(LinChSlotsTest, ForgetConstraintKeepsTheOrderOfTheRest)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    Constraint* a = f.wholeVocabulary();
    Constraint* b = f.wholeVocabulary();
    Constraint* c = f.wholeVocabulary();
    ASSERT_EQ(f.uttInit(d, {a, b, a, c}), 1);
    Decoder_ForgetConstraint(&d->base, a);
    ASSERT_EQ(d->numConstraints, 2);
    EXPECT_EQ(d->constraints[0], b);
    EXPECT_EQ(d->constraints[1], c);
    EXPECT_EQ(d->base.activeConstraint, 0);
    Decoder_ForgetConstraint(&d->base, nullptr);
    EXPECT_EQ(d->numConstraints, 0);
}

TEST_F(LinChSlotsTest, SavedStateRoundTripsThePronCache)
{
    LinearChainFixture f(2, {{kBrevitParamSavePronCache, 1}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    for (uint16_t pron = 0; pron < 5; ++pron) {
        const uint16_t* phonemes = nullptr;
        const uint16_t* expanded = nullptr;
        int32_t length = 0;
        PronCache_GetPronInfo(d->pronCache, pron, &phonemes, &expanded, &length);
    }
    const uint32_t crc = PronCache_ComputeCRC(d->pronCache);
    ArchiveFixture archive("linch-psa.dvk");
    ASSERT_EQ(Decoder_WritePSAFile(&d->base, archive.tar(), "bdec1/"), 1);
    archive.finish();
    LinChDecoder* other = f.decoder();
    EXPECT_NE(PronCache_ComputeCRC(other->pronCache), crc);
    ASSERT_EQ(Decoder_ReadPSAFile(&other->base, archive.openMapped(), "bdec1/"), 1);
    EXPECT_EQ(PronCache_ComputeCRC(other->pronCache), crc);
    // A secondary decoder writes nothing.
    LinChDecoder* seven = LinChDecoder_Of(Decoder_Create(f.voc(), f.model(), nullptr, nullptr, 10, 7));
    ASSERT_NE(seven, nullptr);
    ArchiveFixture empty("linch-psa7.dvk");
    EXPECT_EQ(Decoder_WritePSAFile(&seven->base, empty.tar(), "bdec1/"), 0);
    empty.finish();
    EXPECT_EQ(Decoder_ReadPSAFile(&other->base, empty.openMapped(), "bdec1/"), 0) << "nothing was written";
    Decoder_Delete(&seven->base, 0);
}

TEST_F(LinChSlotsTest, ChoiceStructAndPartialResultFromTheBestPath)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    LinChChoiceStruct choice{};
    std::fill(std::begin(choice.flags), std::end(choice.flags), 1);
    EXPECT_EQ(Decoder_FillChoiceStruct(&d->base, &choice, 1), 0) << "no best path";
    EXPECT_EQ(choice.score, 0x40000000);
    EXPECT_EQ(choice.flags[5], 0);
    EXPECT_EQ(d->state, 3);
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    ResultGraph* g = d->resultGraph;
    const uint32_t first = ResultGraph_AddNode(g, 0xFFFFFFFFu, 2, 0xFFFFFFFFu, 0x7FFFFFFFu, 0, 10, 3);
    const uint32_t second = ResultGraph_AddNode(g, first, 0, 0xFFFFFFFFu, 0x7FFFFFFFu, 0, 20, 7);
    ResultGraph_UpdateBest(g, second, 500);
    EXPECT_EQ(Decoder_FillChoiceStruct(&d->base, &choice, 1), 1);
    ASSERT_EQ(choice.count, 2);
    EXPECT_EQ(choice.words[0], 2);
    EXPECT_EQ(choice.words[1], 0);
    EXPECT_EQ(choice.score, 500);
    uint32_t ids[4] = {};
    EXPECT_EQ(Decoder_GetPartialResult(&d->base, 4, ids), 2);
    EXPECT_EQ(ids[0], Voc_PronIdToVocId(f.voc(), 2));
    EXPECT_EQ(ids[1], Voc_PronIdToVocId(f.voc(), 0));
    EXPECT_EQ(Decoder_GetPartialResult(&d->base, 1, ids), 1);
    EXPECT_EQ(Decoder_CloneWordGraph(&d->base), nullptr);
}

TEST_F(LinChSlotsTest, MassageChoiceFindsTheChoiceOrRefuses)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    LinChChoice choices[1] = {};
    choices[0].wordCount = 2;
    choices[0].words[0] = 0;
    choices[0].words[1] = 1;
    d->choices = choices;
    d->numChoices = 1;
    uint32_t words[2] = {Voc_PronIdToVocId(f.voc(), 0), Voc_PronIdToVocId(f.voc(), 2)};
    int32_t score = 0;
    EXPECT_EQ(LinChDecoder_MassageChoice(d, 2, words, nullptr, nullptr, nullptr, 0, &score), -1) << "no such choice";
    words[1] = Voc_PronIdToVocId(f.voc(), 1);
    // The rewrite yields no sequence in this system.
    EXPECT_EQ(LinChDecoder_MassageChoice(d, 2, words, nullptr, nullptr, nullptr, 0, &score), 0);
    EXPECT_EQ(score, 0x40000000);
    uint16_t prons[2] = {0, 1};
    int32_t count = 2;
    EXPECT_EQ(Decoder_MassageChoice(&d->base, prons, &count, &score), 1);
    EXPECT_EQ(count, 0);
    d->choices = nullptr;
    d->numChoices = 0;
}

TEST_F(LinChSlotsTest, FillPronCacheWithoutAClassManagerDoesNothing)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    const uint32_t crc = PronCache_ComputeCRC(d->pronCache);
    Decoder_FillPronCacheAllClasses(&d->base, nullptr, 1);
    EXPECT_EQ(PronCache_ComputeCRC(d->pronCache), crc);
}

} // namespace
