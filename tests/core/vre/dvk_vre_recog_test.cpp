// Recognition starts and frame steps, end detection, feature capture,
// adaptation and synthesis.
#include "tests/core/vre/vre_fixture.h"

#include <cstring>
#include <memory>

namespace {

class VreRecogTest : public VreTest {
protected:
    void SetUp() override
    {
        VreTest::SetUp();
        for (int i = 0; i < 32; ++i) {
            names_.push_back("c" + std::to_string(i));
            fakeBrevit().modelConstraints.push_back(names_.back());
        }
        for (int i = 0; i < 32; ++i) {
            auto c = std::make_unique<dvk_constraints_Constraint>();
            c->id = -2 - i;
            c->name = names_[static_cast<size_t>(i)].c_str();
            c->wordClasses = noClasses_;
            records_.push_back(std::move(c));
        }
        create();
    }

    // The first n constraints, null-ended.
    std::vector<dvk_constraints_Constraint*> list(int n)
    {
        std::vector<dvk_constraints_Constraint*> out;
        for (int i = 0; i < n; ++i)
            out.push_back(records_[static_cast<size_t>(i)].get());
        out.push_back(nullptr);
        return out;
    }

    std::vector<std::string> names_;
    dvk_constraints_WordClass* noClasses_[1] = {nullptr};
    std::vector<std::unique_ptr<dvk_constraints_Constraint>> records_;
};

TEST_F(VreRecogTest, ThirtyOneConstraintsStartAndThirtyTwoFail)
{
    auto constraints = list(31);
    const size_t from = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, constraints.data()), 0);
    EXPECT_EQ(vre_->numConstraints, 31);
    EXPECT_EQ(vre_->brevitConstraints[30], 30);
    EXPECT_EQ(vre_->constraints[30], records_[30].get());
    EXPECT_EQ(vre_->resultWord, 0xFFFFFFFFu);
    EXPECT_EQ(fakeBrevitCalls(from, {"ClearFeatureQueueStats", "StartListening", "StartRecognizing"}),
              (std::vector<std::string>{"ClearFeatureQueueStats", "StartListening",
                                        "StartRecognizing(0, 3, 1, 0xFFFFFFFF, 31)"}));
    ASSERT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
    auto tooMany = list(32);
    const size_t again = fakeBrevit().calls.size();
    EXPECT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, tooMany.data()), 1);
    EXPECT_TRUE(fakeBrevitCalls(again, {"StartListening"}).empty());
}

TEST_F(VreRecogTest, AStartFailsOnAnAbsentConstraintOrAnEngineRefusal)
{
    auto one = list(1);
    fakeBrevit().results["FindConstraint"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 1);
    for (const char* entry : {"ClearFeatureQueueStats", "StartListening", "StartRecognizing"}) {
        SCOPED_TRACE(entry);
        fakeBrevit().results[entry] = {EBrevit_WrongState};
        EXPECT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 1);
    }
    dvk_constraints_Constraint absent{};
    absent.name = "absent";
    absent.wordClasses = noClasses_;
    dvk_constraints_Constraint* withAbsent[] = {records_[0].get(), &absent, nullptr};
    EXPECT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, withAbsent), 1);
}

TEST_F(VreRecogTest, SampleStatusTwoStopsTheAudio)
{
    auto one = list(1);
    ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 0);
    fakeBrevit().sampleStatuses = {0, 1, 2};
    const int16_t samples[160] = {};
    EXPECT_EQ(dvk_vre_processPCM(vre_, samples, 160), 0);
    EXPECT_EQ(dvk_vre_processPCM(vre_, samples, 160), 0);
    EXPECT_EQ(dvk_vre_processPCM(vre_, samples, 160), 1);
    EXPECT_EQ(dvk_vre_processPCM(vre_, samples, 0), 0);
}

struct FrameCase {
    int32_t status;
    int32_t finished, processed;
};

TEST_F(VreRecogTest, FrameStatusesZeroAndOneFinish)
{
    const FrameCase cases[] = {{0, 1, 1}, {1, 1, 1}, {2, 0, 1}, {3, 0, 0}};
    auto one = list(1);
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.status);
        ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 0);
        fakeBrevit().frameStatuses = {c.status};
        int32_t processed = -1, memoryError = -1;
        EXPECT_EQ(dvk_vre_processFeature(vre_, &processed, &memoryError), c.finished);
        EXPECT_EQ(processed, c.processed);
        EXPECT_EQ(memoryError, 0);
        // Once finished, no further frame is asked for.
        const size_t from = fakeBrevit().calls.size();
        if (c.finished) {
            EXPECT_EQ(dvk_vre_processFeature(vre_, &processed, &memoryError), 1);
            EXPECT_TRUE(fakeBrevitCalls(from, {"ProcessFrame"}).empty());
        }
        ASSERT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
    }
}

struct Source {
    std::deque<int32_t> counts;
    int16_t samples[160] = {};
    int32_t memoryError = 0;
};

int32_t pollSource(int16_t** samples, void* context, int32_t* memoryError)
{
    auto* source = static_cast<Source*>(context);
    *samples = source->samples;
    *memoryError = source->memoryError;
    const int32_t count = source->counts.front();
    source->counts.pop_front();
    return count;
}

TEST_F(VreRecogTest, TheAudioSourceIsPolledUntilItsInputEnds)
{
    Source source;
    source.counts = {160, -1};
    auto one = list(1);
    ASSERT_EQ(dvk_vre_startRecog(vre_, pollSource, &source, one.data()), 0);
    fakeBrevit().frameStatuses = {2, 3, 3};
    int32_t processed, memoryError;
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(dvk_vre_processFeature(vre_, &processed, &memoryError), 0);
    EXPECT_EQ(processed, 1);
    // Input over and no frame ready: recognition is over.
    EXPECT_EQ(dvk_vre_processFeature(vre_, &processed, &memoryError), 1);
    EXPECT_EQ(processed, 0);
    EXPECT_EQ(vre_->inputEnded, 1);
    EXPECT_EQ(vre_->featureCallback, nullptr);
    EXPECT_EQ(fakeBrevitCalls(from, {"PutWaveSamples", "ProcessFrame"}),
              (std::vector<std::string>{"PutWaveSamples(160)", "ProcessFrame", "ProcessFrame"}));
}

TEST_F(VreRecogTest, AnyFailingFrameStepIsReportedAsAMemoryError)
{
    auto one = list(1);
    for (EBrevit failure : {EBrevit_EngineError, EBrevit_MemoryError, EBrevit_WrongState}) {
        SCOPED_TRACE(failure);
        ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 0);
        fakeBrevit().results["ProcessFrame"] = {failure};
        int32_t processed = -1, memoryError = -1;
        EXPECT_EQ(dvk_vre_processFeature(vre_, &processed, &memoryError), 0);
        EXPECT_EQ(memoryError, 1);
        EXPECT_EQ(processed, 0);
        ASSERT_EQ(dvk_vre_stopRecog(vre_, 0), 0);
    }
    // The source's own memory error is kept.
    Source source;
    source.counts = {160};
    source.memoryError = 1;
    ASSERT_EQ(dvk_vre_startRecog(vre_, pollSource, &source, one.data()), 0);
    fakeBrevit().frameStatuses = {2};
    int32_t processed, memoryError;
    dvk_vre_processFeature(vre_, &processed, &memoryError);
    EXPECT_EQ(memoryError, 1);
}

TEST_F(VreRecogTest, StoppingStopsListeningAndRecognising)
{
    auto one = list(1);
    ASSERT_EQ(dvk_vre_startRecog(vre_, nullptr, nullptr, one.data()), 0);
    const size_t from = fakeBrevit().calls.size();
    fakeBrevit().results["StopListening"] = {EBrevit_WrongState};
    EXPECT_EQ(dvk_vre_stopRecog(vre_, 0), 1);
    EXPECT_EQ(fakeBrevitCalls(from), (std::vector<std::string>{"StopListening", "StopRecognizing(0)"}));
    ASSERT_EQ(dvk_vre_startUtteranceEndDetect(vre_), 0);
    ASSERT_EQ(dvk_vre_finishUtteranceEndDetect(vre_), 0);
    EXPECT_EQ(fakeBrevitCalls(from + 2),
              (std::vector<std::string>{"StartListening", "StartRecognizing(1, 6, 1, 0xFFFFFFFF, 0)",
                                        "StopListening", "StopRecognizing(1)"}));
}

// ---- Capture ---------------------------------------------------------------------------------------

TEST_F(VreRecogTest, CaptureKeepsEveryPacketWhileTheBufferHasRoom)
{
    ASSERT_EQ(dvk_vre_startCapture(vre_, 100), 0);
    const int16_t samples[160] = {};
    // A buffer makes two frames: the second packet of the first buffer is
    // taken in the same call.
    fakeBrevit().packetStatuses = {0, 1, 2, 3, 2, 0, 2, 0, 2};
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 0);
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 0);
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 0);
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 0);
    EXPECT_EQ(vre_->captureTempBuffer.packetCount, 4);
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 1);
    uint8_t out[100];
    std::memset(out, 0xEE, sizeof out);
    int32_t outLen = 0;
    ASSERT_EQ(dvk_vre_finishCapture(vre_, out, &outLen), 0);
    EXPECT_EQ(outLen, 94);
    EXPECT_EQ(out[0], 0xA0);
    EXPECT_EQ(out[9], 0xA9);
    for (int i = 10; i < 90; ++i)
        EXPECT_NE(out[i], 0) << i;
    EXPECT_EQ(std::vector<uint8_t>(out + 90, out + 94), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(out[94], 0xEE);
    EXPECT_EQ(vre_->captureTempBuffer.data, nullptr);
}

TEST_F(VreRecogTest, CaptureDrainsAtTheEndAndReportsTheUtteranceEnd)
{
    ASSERT_EQ(dvk_vre_startCapture(vre_, 200), 0);
    const int16_t samples[160] = {};
    fakeBrevit().sampleStatuses = {2};
    fakeBrevit().packetStatuses = {0, 2};
    EXPECT_EQ(dvk_vre_processCapturePCM(vre_, samples, 160), 1);
    uint8_t out[200];
    int32_t outLen = 0;
    const size_t from = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_finishCapture(vre_, out, &outLen), 0);
    // Listening has stopped: the engine has nothing left (4).
    EXPECT_EQ(fakeBrevitCalls(from, {"StopListening", "GetNextSigProcPacket", "StopRecognizing"}),
              (std::vector<std::string>{"StopListening", "GetNextSigProcPacket", "StopRecognizing(1)"}));
    EXPECT_EQ(outLen, 10 + 20 + 4);
}

TEST_F(VreRecogTest, AFailedCaptureFreesItsBuffer)
{
    EXPECT_EQ(dvk_vre_startCapture(vre_, 13), 1);
    EXPECT_EQ(vre_->captureTempBuffer.data, nullptr);
    fakeBrevit().results["GetSigProcInfo"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_startCapture(vre_, 100), 1);
    fakeBrevit().results["StartRecognizing"] = {EBrevit_BadArgument};
    EXPECT_EQ(dvk_vre_startCapture(vre_, 100), 1);
    EXPECT_EQ(vre_->captureTempBuffer.data, nullptr);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_vre_startCapture(vre_, 100), 1);
    dvk_mem_failAfter(-1);
    ASSERT_EQ(dvk_vre_startCapture(vre_, 100), 0);
    fakeBrevit().results["StopRecognizing"] = {EBrevit_EngineError};
    uint8_t out[100];
    int32_t outLen = -1;
    EXPECT_EQ(dvk_vre_finishCapture(vre_, out, &outLen), 1);
    EXPECT_EQ(outLen, -1);
    EXPECT_EQ(vre_->captureTempBuffer.data, nullptr);
    EXPECT_EQ(dvk_vre_finishCapture(vre_, out, &outLen), 1);
}

// ---- Adaptation ----------------------------------------------------------------------------------

TEST_F(VreRecogTest, AdaptationSaysDigitsOneByOne)
{
    const size_t from = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call 555")), 0);
    EXPECT_EQ(fakeBrevitCalls(from), (std::vector<std::string>{
                                         "StartEnrollmentSession",
                                         "TokenizeU(\"call 5 5 5\", 1, 1, 32)",
                                         "SetEnrollmentConstraint(\"call 5 5 5\")",
                                         "StartListening",
                                         "StartRecognizing(0, 8, 1, 0xFFFFFFFF, 0)",
                                     }));
    EXPECT_EQ(vre_->adaptationStarted, 1);
    int32_t failed = -1;
    ASSERT_EQ(dvk_vre_stopAdaptRecog(vre_, &failed, 0), 0);
    // The session stays open for the next phrase.
    const size_t next = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"a1b22")), 0);
    EXPECT_EQ(fakeBrevitCalls(next, {"StartEnrollmentSession", "TokenizeU"}),
              std::vector<std::string>{"TokenizeU(\"a1b2 2\", 1, 1, 32)"});
}

struct StopCase {
    EBrevit stop;
    EBrevit enrollment;
    int32_t result, failed;
};

TEST_F(VreRecogTest, StoppingAnAdaptationUtteranceReadsTheEnginesVerdict)
{
    const StopCase cases[] = {
        {EBrevit_OK, EBrevit_OK, 0, 0},
        {EBrevit_OK, EBrevit_EngineError, 1, 0},
        {EBrevit_UtteranceNotUsable, EBrevit_OK, 0, 1},
        {EBrevit_EngineError, EBrevit_OK, 1, 1},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.stop);
        ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call home")), 0);
        fakeBrevit().results["StopRecognizing"] = {c.stop};
        fakeBrevit().results["ProcessEnrollment"] = {c.enrollment};
        int32_t failed = -1;
        EXPECT_EQ(dvk_vre_stopAdaptRecog(vre_, &failed, 0), c.result);
        EXPECT_EQ(failed, c.failed);
    }
    ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call home")), 0);
    fakeBrevit().results["StopListening"] = {EBrevit_EngineError};
    int32_t failed = -1;
    EXPECT_EQ(dvk_vre_stopAdaptRecog(vre_, &failed, 0), 1);
    EXPECT_EQ(failed, 1);
}

TEST_F(VreRecogTest, EndingTheSessionSavesTheModelsHalfOnlyWhenKept)
{
    EXPECT_EQ(dvk_vre_endAdaptationSession(vre_, 0), 0);
    ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call home")), 0);
    size_t from = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_endAdaptationSession(vre_, 1), 0);
    EXPECT_EQ(fakeBrevitCalls(from), (std::vector<std::string>{"ReleaseUnusedMemory(1)", "EndEnrollmentSession(1)"}));
    ASSERT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call home")), 0);
    from = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_endAdaptationSession(vre_, 0), 0);
    EXPECT_EQ(fakeBrevitCalls(from), (std::vector<std::string>{"ReleaseUnusedMemory(1)", "EndEnrollmentSession(0)",
                                                               "SaveToStoragePair(\"dvk_mdl_enus.dat\", none)"}));
    int32_t adapted = 0;
    ASSERT_EQ(dvk_vre_isSystemAdapted(vre_, &adapted), 0);
    EXPECT_EQ(adapted, 1);
    EXPECT_EQ(vre_->adaptationStarted, 0);
}

TEST_F(VreRecogTest, AnAdaptationTextWithoutWordsFails)
{
    EXPECT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"   ")), 1);
    fakeBrevit().results["TokenizeU"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call")), 1);
    fakeBrevit().results["SetEnrollmentConstraint"] = {EBrevit_EngineError};
    EXPECT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call")), 1);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_vre_startAdaptation(vre_, nullptr, nullptr, u(u"call")), 1);
    dvk_mem_failAfter(-1);
    // Destroying the recogniser ends the open session.
    const size_t from = fakeBrevit().calls.size();
    dvk_vre_destroy(&vre_);
    EXPECT_EQ(fakeBrevitCalls(from, {"EndEnrollmentSession"}), std::vector<std::string>{"EndEnrollmentSession(1)"});
}

TEST_F(VreRecogTest, RecognisabilityComesFromMakingThePhraseActive)
{
    int32_t notRecognisable = -1;
    EXPECT_EQ(dvk_vre_isRecognizable(vre_, u(u"call home"), &notRecognisable), 1);
    EXPECT_EQ(notRecognisable, 0);
    fakeBrevit().results["MakePhraseActiveU"] = {EBrevit_AdditionRefused, EBrevit_WordNotAdded};
    EXPECT_EQ(dvk_vre_isRecognizable(vre_, u(u"xq"), &notRecognisable), 0);
    EXPECT_EQ(notRecognisable, 1);
    EXPECT_EQ(dvk_vre_isRecognizable(vre_, u(u"xq"), &notRecognisable), 0);
    EXPECT_EQ(notRecognisable, 0);
}

// ---- Synthesis ---------------------------------------------------------------------------------------

struct EncodingCase {
    int32_t encoding;
    dvk_oem_audio_PCMType pcm;
    dvk_oem_audio_VocoderType vocoder;
    int32_t rate;
};

TEST_F(VreRecogTest, SynthesisClampsItsSettingsAndReportsHowAudioComesOut)
{
    const EncodingCase cases[] = {
        {4, DVK_OEM_AUDIO_PCMTYPE_8K, DVK_OEM_AUDIO_VOCTYPE_NONE, 8000},
        {1, DVK_OEM_AUDIO_PCMTYPE_NONE, DVK_OEM_AUDIO_VOCTYPE_EVRC, 50},
        {3, DVK_OEM_AUDIO_PCMTYPE_NONE, DVK_OEM_AUDIO_VOCTYPE_AMR, 50},
    };
    const int32_t ids[] = {7};
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.encoding);
        fakeBrevit().ttsEncoding = c.encoding;
        dvk_oem_audio_PCMType pcm = -1;
        dvk_oem_audio_VocoderType vocoder = -1;
        const size_t from = fakeBrevit().calls.size();
        ASSERT_EQ(dvk_vre_startTTSFromIds(vre_, ids, 1, 10, -20, &pcm, &vocoder), 0);
        EXPECT_EQ(pcm, c.pcm);
        EXPECT_EQ(vocoder, c.vocoder);
        ASSERT_EQ(dvk_vre_startTTSFromText(vre_, u(u"hi"), 900, 20, &pcm, &vocoder), 0);
        const std::string rate = std::to_string(c.rate), encoding = std::to_string(c.encoding);
        EXPECT_EQ(fakeBrevitCalls(from), (std::vector<std::string>{
                                             "StartTTSFromIds(1, 1, " + encoding + ", " + rate + ", 20, -10)",
                                             "StartTTSFromTextU(1, \"hi\", " + encoding + ", " + rate + ", 500, 10)",
                                         }));
    }
}

TEST_F(VreRecogTest, SynthesisFillsBuffersUntilDone)
{
    uint8_t buffer[400];
    int32_t bytes = -1, frames = -1;
    EXPECT_EQ(dvk_vre_getTTS(vre_, buffer, sizeof buffer, &bytes, &frames), 1);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(dvk_vre_stopTTS(vre_), 0);

    dvk_oem_audio_PCMType pcm;
    dvk_oem_audio_VocoderType vocoder;
    ASSERT_EQ(dvk_vre_startTTSFromText(vre_, u(u"hello"), 100, 0, &pcm, &vocoder), 0);
    EXPECT_EQ(dvk_vre_getTTS(vre_, buffer, sizeof buffer, &bytes, &frames), 0);
    EXPECT_EQ(bytes, 400);
    EXPECT_EQ(frames, 200);
    EXPECT_EQ(dvk_vre_getTTS(vre_, buffer, sizeof buffer, &bytes, &frames), 1);
    EXPECT_EQ(bytes, 200);
    EXPECT_EQ(frames, 100);

    // Wide-band playback asks for 16 kHz synthesis.
    fakePlaybackPcmType() = DVK_OEM_AUDIO_PCMTYPE_16K;
    const size_t wide = fakeBrevit().calls.size();
    ASSERT_EQ(dvk_vre_startTTSFromText(vre_, u(u"hi"), 100, 0, &pcm, &vocoder), 0);
    EXPECT_EQ(pcm, DVK_OEM_AUDIO_PCMTYPE_16K);
    EXPECT_EQ(fakeBrevitCalls(wide, {"StartTTS"}),
              std::vector<std::string>{"StartTTSFromTextU(1, \"hi\", 4, 16000, 100, 0)"});

    fakeBrevit().ttsEncoding = 1;
    ASSERT_EQ(dvk_vre_startTTSFromText(vre_, u(u"hello"), 100, 0, &pcm, &vocoder), 0);
    EXPECT_EQ(dvk_vre_getTTS(vre_, buffer, 250, &bytes, &frames), 0);
    EXPECT_EQ(bytes, 250);
    EXPECT_EQ(frames, 25);
    const size_t from = fakeBrevit().calls.size();
    EXPECT_EQ(dvk_vre_stopTTS(vre_), 0);
    EXPECT_EQ(dvk_vre_stopTTS(vre_), 0);
    EXPECT_EQ(fakeBrevitCalls(from), std::vector<std::string>{"StopTTS(1)"});
    EXPECT_EQ(dvk_vre_getTTS(vre_, buffer, 250, &bytes, &frames), 1);

    fakeBrevit().results["StartTTSFromTextU"] = {EBrevit_NothingToSynthesize};
    EXPECT_EQ(dvk_vre_startTTSFromText(vre_, u(u""), 100, 0, &pcm, &vocoder), 1);
}

}  // namespace
