// The linear-chain decoder's creation, utterance set-up and reset over the
// fixture vocabulary and model.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/transcription_constraint.h"
#include "tests/support/linear_chain_fixture.h"

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

class LinChDecoderTest : public DecoderTest {
protected:
    // The constraints' set-up leaves the engine's scratch stack behind.
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

TEST_F(LinChDecoderTest, ANewDecoderIsStateZeroWithItsSlots)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder(10);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Decoder_GetState(&d->base), 0);
    EXPECT_EQ(d->base.kind, kDecoderKindLinearChain);
    EXPECT_EQ(d->base.rejectionScore, kDecoderNoScore);
    EXPECT_EQ(d->base.rejectionThreshold, kDecoderRejectionOff);
    EXPECT_EQ(d->base.rightIds[0], 65535);
    EXPECT_EQ(d->base.leftIds[0], 65535);
    EXPECT_EQ(d->contextWord, -1);
    EXPECT_EQ(d->updateHyp, LinChDecoderNoTimes_UpdateHyp2);
    EXPECT_EQ(d->makeNewWordList, LinChDecoderNoTimes_MakeNewWordList);
    EXPECT_NE(d->base.processFrame, nullptr);
    EXPECT_NE(d->base.getChoicesAndScores, nullptr);
    EXPECT_NE(d->base.uttFinish, nullptr);
    EXPECT_NE(d->base.runDetailedMatch, nullptr);
    EXPECT_NE(d->base.computeCRC, nullptr);
    EXPECT_EQ(d->base.setFrameBuffer, nullptr);
    EXPECT_EQ(Decoder_GetBestConstraintScores(&d->base, 0, nullptr), 0);
    EXPECT_EQ(d->base.deleteSlot, LinChDecoder_Delete);
    EXPECT_EQ(d->base.slot40, nullptr);
    EXPECT_EQ(d->base.writeLatticeFile, nullptr);
}

TEST_F(LinChDecoderTest, OneStatePerModelUsesTheOneStateUpdate)
{
    LinearChainFixture f(1);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->statesPerModel, 1);
    EXPECT_EQ(d->updateHyp, LinChDecoderNoTimes_UpdateHyp1);
}

TEST_F(LinChDecoderTest, ThreeStatesPerModelAndPeriodZeroAreRefused)
{
    LinearChainFixture f;
    AM* three = model(3);
    EXPECT_EQ(LinChDecoder_CreateForKind(f.voc(), three, 10, 0, 0), nullptr);
    EXPECT_EQ(Decoder_Create(f.voc(), three, nullptr, nullptr, 10, 3), nullptr);
    EXPECT_EQ(LinChDecoder_CreateForKind(f.voc(), f.model(), 10, 0, 1), nullptr) << "refused flag";
    // Mend: the period divides parameter words and feeds the end-pointers.
    EXPECT_EQ(LinChDecoder_Create(f.voc(), f.model(), 0, 0), nullptr);
    EXPECT_EQ(LinChDecoder_Create(f.voc(), f.model(), -5, 0), nullptr);
    EXPECT_EQ(f.decoder(0), nullptr);
}

TEST_F(LinChDecoderTest, CreationWithEachAllocationFailingLeavesNothing)
{
    LinearChainFixture f(2, {{kBrevitParamMaxTrees, 1},
                             {kBrevitParamTreeCapacity, 4},
                             {kBrevitParamPairedPhonemeCapacity, 8},
                             {kBrevitParamSeedWords, 8}});
    eachAllocationFailing(
        [&] {
            LinChDecoder* d = nullptr;
            DVKErr_Protect([&] { d = LinChDecoder_Create(f.voc(), f.model(), 10, 0); });
            return d;
        },
        [&](bool failed, LinChDecoder* d) {
            EXPECT_EQ(d == nullptr, failed);
            if (d != nullptr) {
                EXPECT_NE(d->trees, nullptr);
                EXPECT_NE(d->pairTable, nullptr);
                EXPECT_NE(d->frameSeedWords, nullptr);
                EXPECT_NE(d->rescoreWords, nullptr);
                Decoder_Delete(&d->base, 0);
            }
        });
}

TEST_F(LinChDecoderTest, HugeParameterSizesFailCreation)
{
    // Mend: sizes formed in 64 bits; one past 32 bits fails instead of wrapping.
    for (int index : {kBrevitParamSeedWords, kBrevitParamRescoreCapacity, kBrevitParamTreeCapacity}) {
        LinearChainFixture f(2, {{kBrevitParamMaxTrees, 1}, {index, 0x7FFFFFF0u}});
        EXPECT_EQ(f.decoder(), nullptr) << index;
    }
}

// ---- utterance set-up ----

struct RefusalRow {
    std::string name;
    Words atCreation;
    int32_t mode = 3;
    int32_t constraints = 1;
    int32_t allowPause = 1, onlyPause = 0;
    bool rightContext = false;
    bool expected = false;
    int32_t state = 3;
};

TEST_F(LinChDecoderTest, UttInitRefusals)
{
    const Words tree = {{kBrevitParamTreePronThreshold, 5}, {kBrevitParamAllowPauseRequests, 1},
                        {kBrevitParamMaxTrees, 1}, {kBrevitParamTreeCapacity, 2}};
    auto with = [](Words a, const Words& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<RefusalRow> rows = {
        {"1024 constraints", {}, 3, 1024, 1, 0, false, true, 1},
        {"1025 constraints", {}, 3, 1025},
        {"mode 4", {}, 4},
        {"mode 6", {}, 6},
        {"expanded mode 2", {{kBrevitParamExpandedNewWords, 1}}, 2, 0},
        {"expanded mode 5", {{kBrevitParamExpandedNewWords, 1}}, 5},
        {"expanded mode 3", {{kBrevitParamExpandedNewWords, 1}}, 3, 1, 1, 0, false, true, 1},
        {"words 798 and 813", {{kBrevitParamStartLists, 1}, {kBrevitParamRecordTreeState, 1}}},
        {"mode 11 without 879", {}, 11},
        {"mode 11 with 879", {{kBrevitParamMode11, 5}}, 11, 1, 1, 0, false, true, 1},
        {"trees", tree, 3, 1, 1, 0, false, true, 1},
        {"trees without 848", with(tree, {{kBrevitParamAllowPauseRequests, 0}})},
        {"trees without pause start", tree, 3, 1, 0},
        {"trees with only pause start", tree, 3, 1, 1, 1},
        {"trees with a right-context word", tree, 3, 1, 1, 0, true},
        {"trees without 276", with(tree, {{kBrevitParamMaxTrees, 0}})},
        {"trees without capacity", with(tree, {{kBrevitParamTreeCapacity, 0}})},
        {"insertion cost above the beam", {{kBrevitParamWordInsertionCost, 3001}}},
        {"insertion cost at the beam", {{kBrevitParamWordInsertionCost, 3000}}, 3, 1, 1, 0, false, true, 1},
        {"penalty 16385", {{kBrevitParamGraphWordPenalty, 16385}}},
        {"penalty 16384", {{kBrevitParamGraphWordPenalty, 16384}}, 3, 1, 1, 0, false, true, 1},
        // Mend: tested before it is narrowed to 16 bits (70000 would be 4464).
        {"penalty 70000", {{kBrevitParamGraphWordPenalty, 70000}}},
        {"mode 2 base cap 0", {{kBrevitParamDecoderOut2, 0}}, 2, 0, 1, 0, false, false, 4},
        {"mode 2 base cap 65534", {{kBrevitParamDecoderOut2, 65534}}, 2, 0, 1, 0, false, false, 4},
        {"mode 2 base cap 65533", {{kBrevitParamDecoderOut2, 65533}}, 2, 0, 1, 0, false, true, 1},
        {"no hypothesis space", {{kBrevitParamHypothesisSpace, 0}}, 2, 0, 1, 0, false, false, 4},
        {"close calls without records", {{kBrevitParamCloseCalls, 1}}, 2, 0},
        {"close calls", {{kBrevitParamCloseCalls, 1}, {kBrevitParamCloseCallRecords, 10}}, 2, 0, 1, 0, false,
         true, 1},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        LinearChainFixture f(2, row.atCreation);
        LinChDecoder* d = f.decoder();
        ASSERT_NE(d, nullptr);
        Constraint* whole = f.wholeVocabulary();
        std::vector<Constraint*> list(static_cast<size_t>(row.constraints), whole);
        std::vector<uint16_t> left = {1};
        if (row.rightContext)
            left.push_back(65533);
        const DecoderHandle h =
            Decoder_UttInit(&d->base, static_cast<int32_t>(left.size()), left.data(), row.constraints, list.data(),
                            row.mode, 0, row.allowPause, row.onlyPause, 0);
        EXPECT_EQ(h != 0, row.expected);
        EXPECT_EQ(d->state, row.state);
        if (row.expected) {
            EXPECT_EQ(d->numConstraints, row.constraints);
            EXPECT_EQ(d->contextWord, row.rightContext ? int16_t(-3) : int16_t(1));
        }
    }
}

TEST_F(LinChDecoderTest, UttInitWithEachAllocationFailingLeavesNothingAndAGoodOneFollows)
{
    LinearChainFixture f(2, {{kBrevitParamCloseCalls, 1}, {kBrevitParamCloseCallRecords, 10},
                             {kBrevitParamLmNextWords, 4}, {kBrevitParamWholeVocabularyConstraint, 1}});
    {
        // The scratch stack the constraints' set-up keeps is made once.
        LinChDecoder* warm = f.decoder();
        ASSERT_EQ(f.uttInit(warm, {}, 2), 1);
    }
    const size_t before = m_allocator.liveBlocks();
    bool failedOnce = true;
    for (uint64_t n = 1; failedOnce && n <= 60; ++n) {
        LinChDecoder* d = f.decoder();
        ASSERT_NE(d, nullptr);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        DecoderHandle h = 0;
        DVKErr_Protect([&] { h = f.uttInit(d, {}, 2); });
        m_allocator.failAt(0);
        failedOnce = m_allocator.failures() != failures;
        if (failedOnce) {
            EXPECT_EQ(h, 0) << n;
            EXPECT_TRUE(d->state == 0 || d->state == 3 || d->state == 4) << n << " state " << d->state;
            EXPECT_EQ(d->replacedConstraints, nullptr);
        }
        EXPECT_EQ(f.uttInit(d, {}, 2), 1) << n;
        EXPECT_EQ(d->state, 1);
        f.release(d);
        Decoder_Delete(&d->base, 0);
        EXPECT_EQ(m_allocator.liveBlocks(), before) << n;
    }
    EXPECT_FALSE(failedOnce);
}

TEST_F(LinChDecoderTest, BeamAndCap)
{
    struct Row {
        const char* name;
        Words words;
        int32_t level, computation;
        int32_t beam, cap;
    };
    const std::vector<Row> rows = {
        {"level 0, nothing", {{kBrevitParamBaseBeamLevel, 0}}, 0, 0, 1, 2000},
        {"computation 2", {{kBrevitParamBeamScale, 100}, {kBrevitParamHypothesisCapScale, 7}}, 0, 2, 3200, 2014},
        {"negative cap", {{kBrevitParamHypothesisCapScale, static_cast<uint32_t>(-5000)}}, 0, 1, 3000, 1},
        {"level 1", {{kBrevitParamBeamLevel1, 1234}}, 1, 5, 1234, 2000},
        {"level 2", {{kBrevitParamPruneOffset, 4321}}, 2, 5, 4321, 2000},
        {"level 3", {}, 3, 0, 0, 2000},
        // Mend: beams wider than a threshold can be are kept at 16383.
        {"huge beam scale", {{kBrevitParamBeamScale, 0x40000000}}, 0, 3, 16383, 2000},
        {"level 1 wide", {{kBrevitParamBeamLevel1, 40000}}, 1, 0, 16383, 2000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LinearChainFixture f(2, row.words);
        LinChDecoder* d = f.decoder();
        ASSERT_NE(d, nullptr);
        Decoder_SetComputation(&d->base, row.computation);
        ASSERT_EQ(f.uttInit(d, {}, 2, row.level), 1);
        EXPECT_EQ(d->beam, row.beam);
        EXPECT_EQ(d->pruneThreshold, row.beam);
        EXPECT_EQ(d->hypCap, row.cap);
        EXPECT_EQ(d->wordEndCap, 500);
    }
}

TEST_F(LinChDecoderTest, TranscriptionOnlyCapsAtThePageSpace)
{
    for (uint32_t space : {1000u, 70000u}) {
        LinearChainFixture f(2, {{kBrevitParamHypothesisSpace, space}});
        LinChDecoder* d = f.decoder();
        const uint16_t prons[] = {0, 1};
        Constraint* t = f.own(Constraint_CreatePronTranscriptionConstraint(prons, 2, f.voc(), 0));
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(f.uttInit(d, {t}, 3), 1);
        EXPECT_EQ(d->transcriptionOnly, 1);
        EXPECT_EQ(d->choiceOption, 1);
        EXPECT_EQ(d->hypPageCount, static_cast<int32_t>((space + 255) / 256));
        EXPECT_EQ(d->hypCap, std::min(256 * d->hypPageCount, 65533));
    }
}

TEST_F(LinChDecoderTest, ResetSearchStartsInSilence)
{
    LinearChainFixture f;
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    EXPECT_EQ(d->hypCount, 1);
    const LinChHyp* end = LinChDecoder_HypAt(d, 256 * d->hypPageCount - 1);
    EXPECT_EQ(end->pron, 65535);
    EXPECT_EQ(end->activeIdLow, 0xFFFFFFFFu);
    EXPECT_EQ(end->activeIdHigh, 0x7FFFFFFFu);
    EXPECT_EQ(d->silenceHyp.pron, 65535);
    EXPECT_EQ(d->silenceHyp.phone, 255);
    EXPECT_EQ(d->silenceHyp.model, AM_GetSilenceModelId(f.model()));
    EXPECT_EQ(d->silenceHyp.cost[0], 0);
    EXPECT_EQ(d->silenceHyp.cost[1], 16384);
    EXPECT_EQ(d->silenceHyp.ref[0], 0);
    EXPECT_EQ(d->silenceHyp.ref[1], -1);
    EXPECT_EQ(d->silenceThresholdTime, -1);
    EXPECT_EQ(d->bestPron, 65535);
    EXPECT_EQ(d->frameDiffers, 1);
    EXPECT_EQ(d->newWordCount, 0);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->pron, 65535);
    EXPECT_EQ(LinChDecoder_NewWordAt(d, 0)->cost, 0);
    for (int32_t i = 1; i < 256 * d->newWordPageCount; ++i)
        ASSERT_EQ(LinChDecoder_NewWordAt(d, i)->activeIdHigh, 0x7FFFFFFFu) << i;
    EXPECT_EQ(Decoder_GetState(&d->base), 1);
    // A restart starts again; without pages it does nothing.
    d->bestCost = 77;
    Decoder_UttRestart(&d->base);
    EXPECT_EQ(d->bestCost, 0);
    LinChDecoder* fresh = f.decoder();
    Decoder_UttRestart(&fresh->base);
    EXPECT_EQ(fresh->state, 0);
}

TEST_F(LinChDecoderTest, ExpandedResetMarksEverySlotUnused)
{
    LinearChainFixture f(2, {{kBrevitParamExpandedNewWords, 1}, {kBrevitParamMaxTrees, 1},
                             {kBrevitParamTreeCapacity, 3}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}), 1);
    EXPECT_EQ(d->updateHypotheses, LinChDecoderNoTimes_UpdateHypothesesExpanded);
    EXPECT_EQ(d->newWordSlots, 3 + 2 + d->numVocEntries);
    EXPECT_EQ(d->newWordCount, d->newWordSlots);
    for (int32_t i = 0; i < d->newWordSlots; ++i)
        EXPECT_EQ(LinChDecoder_NewWordAt(d, i)->cost, 16384) << i;
    EXPECT_EQ(LinChDecoder_NewWordAt(d, d->newWordSlots - 1)->pron, 65535);
}

TEST_F(LinChDecoderTest, OperationsByMode)
{
    struct Row {
        int32_t mode;
        Words words;
        LinChNewWordFunc silence, word;
    };
    const std::vector<Row> rows = {
        {2, {}, LinChDecoder_ScoreNewWords, LinChDecoderNoTimes_NewWordContinuousSlots},
        {2, {{kBrevitParamLmNextWords, 5}}, LinChDecoder_NewWordSilenceContinuous,
         LinChDecoderNoTimes_NewWordContinuous},
        {3, {}, LinChDecoder_NewWordSilenceConstraint, LinChDecoderNoTimes_NewWordConstraintNoLM},
        {11, {{kBrevitParamMode11, 1}}, LinChDecoder_NewWordSilenceConstraint,
         LinChDecoderNoTimes_NewWordConstraintNoLM},
        {5, {}, LinChDecoder_NewWordSilenceFMConstraint, LinChDecoderNoTimes_NewWordFMConstraint},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        LinearChainFixture f(2, row.words);
        LinChDecoder* d = f.decoder();
        std::vector<Constraint*> list;
        if (row.mode != 2)
            list.push_back(f.wholeVocabulary());
        ASSERT_EQ(f.uttInit(d, list, row.mode), 1);
        EXPECT_EQ(d->newWordSilence, row.silence);
        EXPECT_EQ(d->newWord, row.word);
        EXPECT_EQ(d->findOrAdd, LinChDecoder_FindOrAdd);
    }
    // The simple word-end step needs word 848, pause starts and no right context.
    LinearChainFixture f(2, {{kBrevitParamAllowPauseRequests, 1}});
    LinChDecoder* d = f.decoder();
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}, 3), 1);
    EXPECT_EQ(d->makeNewWordList, LinChDecoderNoTimes_MakeNewWordListSimple);
    ASSERT_EQ(f.uttInit(d, {f.wholeVocabulary()}, 3, 0, 1, 1), 1);
    EXPECT_EQ(d->makeNewWordList, LinChDecoderNoTimes_MakeNewWordList);
    ASSERT_EQ(f.uttInit(d, {}, 2), 1);
    EXPECT_EQ(d->makeNewWordList, LinChDecoderNoTimes_MakeNewWordList);
}

} // namespace

TEST_F(LinChDecoderTest, SettingUpWithoutAVocabularyIsRefused)
{
    LinearChainFixture f;
    Constraint* whole = f.wholeVocabulary();
    ASSERT_NE(whole, nullptr);
    Decoder* d = LinChDecoder_CreateForKind(nullptr, f.model(), 10, 0, 0);
    ASSERT_NE(d, nullptr);
    // Mend: the pron cache asked the missing vocabulary for its size.
    EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 1, &whole, 3, 0, 1, 0, 0), 0);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateFailed);
    Decoder_Delete(d, 0);
}
