#include "tests/brevit/search/decoder/decoder_test.h"

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32_t kAnswer = 0x1FFFE;   // low 16 bits: -2

struct SlotCase {
    int slot;
    std::function<int64_t(Decoder*)> call;
    int64_t empty;        // the dispatcher's answer with the slot empty
    std::string logged;   // the slot's log line when filled ("" nothing logged)
    int64_t filled;       // the answer when filled
};

int64_t none(std::function<void()> f)
{
    f();
    return 0;
}

std::vector<SlotCase> slotCases()
{
    int32_t first = 0, last = 0;
    uint16_t prons[2] = {};
    int32_t count = 2, score = 0, scores[2] = {};
    uint32_t words[4] = {};
    int32_t a = 0, b = 0, c = 0;
    return {
        {1, [](Decoder* d) { return none([&] { Decoder_FreeMemory(d, 4); }); }, 0, "FreeMemory 4", 0},
        {2, [](Decoder* d) { return Decoder_WritePSAFile(d, nullptr, "bdec0/"); }, 1, "WritePSAFile bdec0/", kAnswer},
        {3, [](Decoder* d) { return Decoder_ReadPSAFile(d, nullptr, "bdec1/"); }, 1, "ReadPSAFile bdec1/", kAnswer},
        {5, [](Decoder* d) { return none([&] { Decoder_UttRestart(d); }); }, 0, "UttRestart", 0},
        {6, [](Decoder* d) { return Decoder_SetRejectionParameters(d, 1, 50); }, 1, "SetRejectionParameters 1 50",
         kAnswer},
        {9, [](Decoder* d) { return none([&] { Decoder_SetCrossThresholding(d, 3); }); }, 0,
         "SetCrossThresholding 3", 0},
        {10, [](Decoder* d) { return Decoder_GetCurrentFrame(d); }, 0, "GetCurrentFrame", -2},
        {11, [](Decoder* d) { return Decoder_FESeenFinalSilence(d, 12); }, 0, "FESeenFinalSilence 12", kAnswer},
        {14, [](Decoder* d) { return Decoder_GetNonAcousticScore(d, 1, nullptr, 3, 2, nullptr, nullptr); }, 0,
         "GetNonAcousticScore 1 3 2", -2},
        {15, [](Decoder* d) { return none([&] { Decoder_NotifyLMAdapt(d, 9); }); }, 0, "NotifyLMAdapt 9", 0},
        {16, [words](Decoder* d) mutable { return Decoder_GetPartialResult(d, 4, words); }, 0, "GetPartialResult 4",
         kAnswer},
        {17, [](Decoder* d) { return Decoder_CloneWordGraph(d) == reinterpret_cast<WordGraph*>(d) ? 1 : 0; }, 0,
         "CloneWordGraph", 1},
        {18, [first, last](Decoder* d) mutable { return Decoder_GetChoiceInterval(d, 3, 2, &first, &last); }, 0,
         "GetChoiceInterval 2", kAnswer},
        {19, [prons, count, score](Decoder* d) mutable { return Decoder_MassageChoice(d, prons, &count, &score); }, 0,
         "MassageChoice 2", kAnswer},
        {20, [](Decoder* d) { return Decoder_UttFinish(d, nullptr); }, 0, "UttFinish -", kAnswer},
        {21, [](Decoder* d) { return Decoder_SetFrameBuffer(d, nullptr); }, kDecoderStateFinished, "SetFrameBuffer",
         kAnswer},
        {22, [](Decoder* d) { return none([&] { Decoder_FillPronCacheAllClasses(d, nullptr, 1); }); }, 0,
         "FillPronCacheAllClasses - 1", 0},
        {23, [](Decoder* d) { return Decoder_RebuildTreeIfNecessary(d); }, 1, "RebuildTreeIfNecessary", kAnswer},
        {24, [](Decoder* d) { return Decoder_RunDetailedMatch(d, 5, 6); }, 0, "RunDetailedMatch 5 6", kAnswer},
        {25, [](Decoder* d) { return Decoder_FillChoiceStruct(d, nullptr, 8); }, 0, "FillChoiceStruct 8", kAnswer},
        {26, [](Decoder* d) { return Decoder_AddPair(d, -3, 4); }, 0, "AddPair -3 4", kAnswer},
        {27, [](Decoder* d) { return Decoder_GetSilenceThresholdTime(d); }, -1, "GetSilenceThresholdTime", -2},
        {28, [](Decoder* d) { return Decoder_GetBestAccumScore(d); }, kDecoderNoScore, "GetBestAccumScore", kAnswer},
        {29, [scores](Decoder* d) mutable { return Decoder_GetBestConstraintScores(d, 2, scores); }, 0,
         "GetBestConstraintScores 2", kAnswer},
        {30, [](Decoder* d) { return Decoder_ExtendFinalSilence(d); }, 0, "ExtendFinalSilence", kAnswer},
        {31, [a, b, c](Decoder* d) mutable { return none([&] { Decoder_GetKeyScores(d, &a, &b, &c); }); }, 0,
         "GetKeyScores", 0},
        {32, [](Decoder* d) { return none([&] { Decoder_SetBestCrossScore(d, 77); }); }, 0, "SetBestCrossScore 77", 0},
        {33, [](Decoder* d) { return none([&] { Decoder_SetComputation(d, 2); }); }, 0, "SetComputation 2", 0},
        {34, [](Decoder* d) { return Decoder_ComputeCRC(d); }, 0xFFFFFFFFu, "ComputeCRC", kAnswer},
        {35, [](Decoder* d) { return none([&] { Decoder_ForgetConstraint(d, nullptr); }); }, 0, "ForgetConstraint",
         0},
        {36, [](Decoder* d) { return Decoder_MakeWordActive(d, 5); }, 1, "MakeWordActive 5", kAnswer},
        {37, [](Decoder* d) { return Decoder_MakePronActive(d, 5, 6); }, 1, "MakePronActive 5 6", kAnswer},
        {38, [](Decoder* d) { return Decoder_MakeWordInactive(d, 5); }, 1, "MakeWordInactive 5", kAnswer},
        {39, [](Decoder* d) { return Decoder_MakePronInactive(d, 6); }, 1, "MakePronInactive 6", kAnswer},
        {41, [](Decoder* d) { return none([&] { Decoder_DumpState(d); }); }, 0, "DumpState", 0},
        {42, [](Decoder* d) { return Decoder_WriteSegmentationFile(d, "x"); }, 0, "WriteSegmentationFile", kAnswer},
        {43, [](Decoder* d) { return Decoder_WriteLatticeFile(d, "x"); }, 0, "WriteLatticeFile", kAnswer},
    };
}

class DecoderDispatchTest : public DecoderTest {};

TEST_F(DecoderDispatchTest, EachSlotEmptyThenFilled)
{
    params();
    for (const SlotCase& c : slotCases()) {
        for (bool filled : {false, true}) {
            ScriptedDecoder script;
            script.state = kDecoderStateFinished;
            script.answer = kAnswer;
            const uint64_t mask = filled ? ScriptedDecoder::kAllSlots
                                         : ScriptedDecoder::kAllSlots & ~(uint64_t{1} << c.slot);
            Decoder* d = script.create(mask);
            ASSERT_NE(d, nullptr);
            d->activeConstraint = 5;
            EXPECT_EQ(c.call(d), filled ? c.filled : c.empty) << "slot " << c.slot << (filled ? " filled" : " empty");
            const std::vector<std::string> expected =
                filled && !c.logged.empty() ? std::vector<std::string>{c.logged} : std::vector<std::string>{};
            EXPECT_EQ(script.log, expected) << "slot " << c.slot;
            if (c.slot == 35) {
                EXPECT_EQ(d->activeConstraint, 0) << "the handle is cleared in every case";
            }
            Decoder_Delete(d, 0);
        }
    }
}

TEST_F(DecoderDispatchTest, TheDummyAnswersEveryDispatcherFromItsEmptySlots)
{
    params(ParamBlockBuilder().word(kBrevitParamLinearChainKinds, 0));
    Decoder* d = Decoder_Create(nullptr, model(), nullptr, nullptr, 0, kDecoderKindDummy);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->kind, kDecoderKindDummy);
    for (const SlotCase& c : slotCases())
        if (c.slot != 21) {   // reads the state first: the dummy's is 0
            EXPECT_EQ(c.call(d), c.empty) << "slot " << c.slot;
        }
    EXPECT_EQ(Decoder_SetFrameBuffer(d, nullptr), 0);
    EXPECT_EQ(Decoder_ProcessFrame(d, nullptr, nullptr), 0);
    Decoder_Delete(d, 0);
}

TEST_F(DecoderDispatchTest, FramesRunOnlyInStatesThatAcceptThem)
{
    params();
    const uint8_t frame[1] = {42};
    const int32_t side = 9;
    for (int32_t state = 0; state <= 6; ++state) {
        ScriptedDecoder script;
        script.state = state;
        Decoder* d = script.create();
        const bool runs = state == 1 || state == 2 || state == 5 || state == 6;
        EXPECT_EQ(Decoder_ProcessFrame(d, frame, &side), state) << state;
        EXPECT_EQ(script.log.size(), runs ? 1u : 0u) << state;
        Decoder_Delete(d, 0);
    }
}

TEST_F(DecoderDispatchTest, FrameBufferIsNeverHandedOverWhileRunningAndGuardedSlotsStayQuiet)
{
    params();
    ScriptedDecoder script;
    script.state = kDecoderStateRunning;
    Decoder* d = script.create();
    EXPECT_EQ(Decoder_SetFrameBuffer(d, nullptr), kDecoderStateRunning);
    script.state = kDecoderStateFailed;
    EXPECT_EQ(Decoder_ExtendFinalSilence(d), 0);
    int32_t first = 0, last = 0;
    EXPECT_EQ(Decoder_GetChoiceInterval(d, 2, 2, &first, &last), 0);
    EXPECT_TRUE(script.log.empty());
    Decoder_Delete(d, 3);
    EXPECT_EQ(script.log, std::vector<std::string>{"Delete 3"});
}

} // namespace

namespace {

TEST_F(DecoderDispatchTest, ADummyWhoseAllocationFailsIsNoDecoder)
{
    params();
    m_allocator.failNext();
    EXPECT_EQ(Decoder_Create(nullptr, model(), nullptr, nullptr, 0, kDecoderKindDummy), nullptr);
    m_allocator.failAt(0);
    EXPECT_EQ(m_allocator.liveBlocks(), 0u);
}

} // namespace
