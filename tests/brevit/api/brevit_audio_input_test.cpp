#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/frontend/sig_proc_packet.h"

#include "tests/brevit/api/engine_fixture.h"
#include "tests/brevit/api/scripted_front_end.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t kShift = 80;

// An engine over the scripted front end with the audio input set up; the
// end-pointer finds speech after 2 speech frames and its end after 3
// silence frames.
class AudioInputTest : public ::testing::Test {
protected:
    void SetUp() override { componentFakes().reset(); }
    void TearDown() override
    {
        for (BrevitEngine* e : m_engines) {
            e->frontEnd = nullptr;
            EXPECT_EQ(Brevit_Destroy(e, nullptr), EBrevit_OK);
        }
    }

    BrevitEngine* make(ParamBlockBuilder params = ParamBlockBuilder(), ScriptedFrontEnd* fe = nullptr)
    {
        params.word(kBrevitParamFrameQueueCapacity, 32).word(kBrevitParamUtteranceRecords, 10)
            .word(kBrevitParamCepstrumCount, 4);
        for (auto [index, value] : m_words)
            params.word(index, value);
        BrevitEngine* e = makeEngine(m_engineAllocator, params, {false});
        e->frontEnd = &(fe != nullptr ? *fe : m_fe).head;
        e->endPointerSettings = &e->endPointers[0];
        UttDet_Init(e->endPointerSettings, 10, 20, 30, 0, 0);
        EXPECT_EQ(BrevitPriv_Call(e, [](BrevitEngine* x) -> EBrevit { return BrevitPriv_InitAudioInput(x, 4); }),
                  EBrevit_OK);
        m_engines.push_back(e);
        return e;
    }

    // Puts count samples whose first sample of each shift is its index.
    EBrevit put(BrevitEngine* e, int32_t count, int32_t* status)
    {
        std::vector<int16_t> samples(static_cast<size_t>(count) + 1);
        for (int32_t i = 0; i < count; ++i)
            samples[i] = static_cast<int16_t>(m_sample++);
        return Brevit_PutWaveSamples(e, samples.data(), count, status);
    }

    int32_t featureCount(BrevitEngine* e)
    {
        int32_t n = -9;
        EXPECT_EQ(Brevit_GetFeatureCount(e, &n), EBrevit_OK);
        return n;
    }

    int32_t framesIn(BrevitEngine* e, uint32_t id)
    {
        int32_t n = -9;
        EXPECT_EQ(Brevit_GetNFramesInUtt(e, id, &n), EBrevit_OK);
        return n;
    }

    // The counters of the queued frames, read as recognition reads them.
    std::vector<int32_t> readAll(BrevitEngine* e)
    {
        std::vector<int32_t> out;
        e->recognizingUtteranceId = 0xFFFFFFF0u;  // never fetch from the front end
        BrevitQueuedFrame f;
        while (BrevitPriv_NextQueuedFrame(e, &f, false))
            out.push_back(static_cast<int32_t>(f.sideValue));
        return out;
    }

    CallerContext m_caller;
    CountingAllocator m_engineAllocator;
    ScriptedFrontEnd m_fe;
    std::vector<std::pair<int, uint32_t>> m_words;
    std::vector<BrevitEngine*> m_engines;
    int32_t m_sample = 0;
};

struct ChunkRow {
    const char* name;
    std::vector<int32_t> chunks;
    int32_t frames;   // queued at the end
    int32_t partial;  // samples held
    std::vector<int16_t> shiftStarts;  // first sample of each shift fed
};

TEST_F(AudioInputTest, SamplesAreCutIntoWholeShiftsAndTheRestIsHeld)
{
    const std::vector<ChunkRow> rows = {
        {"count 0", {0}, 0, 0, {}},
        {"less than a shift is held", {79}, 0, 79, {}},
        {"the next call completes the held shift first", {79, 1}, 1, 0, {0}},
        {"completed, then a whole shift from the call", {79, 81}, 2, 0, {0, 80}},
        {"two shifts at once", {160}, 2, 0, {0, 80}},
        {"three shifts and a tail", {250}, 3, 10, {0, 80, 160}},
        {"a tail, then shifts and a new tail", {30, 200, 5}, 2, 75, {0, 80}},
    };
    for (const ChunkRow& row : rows) {
        SCOPED_TRACE(row.name);
        m_fe = ScriptedFrontEnd();
        m_sample = 0;
        BrevitEngine* e = make();
        uint32_t id = 99;
        ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
        int32_t status = -1;
        for (int32_t chunk : row.chunks)
            ASSERT_EQ(put(e, chunk, &status), EBrevit_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(featureCount(e), row.frames);
        EXPECT_EQ(e->audioInput.partialCount, row.partial);
        EXPECT_EQ(m_fe.firstSamples, row.shiftStarts);
    }
}

TEST_F(AudioInputTest, IdleSamplesAreNotConsumed)
{
    BrevitEngine* e = make();
    int32_t status = -1;
    EXPECT_EQ(put(e, 200, &status), EBrevit_OK);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(m_fe.firstSamples.empty());
    EXPECT_EQ(e->audioInput.partialCount, 0);
}

TEST_F(AudioInputTest, BadArgumentsGiveFour)
{
    BrevitEngine* e = make();
    int32_t status = 0;
    int16_t samples[4] = {};
    int32_t n = 0;
    EXPECT_EQ(Brevit_PutWaveSamples(e, nullptr, 4, &status), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_PutWaveSamples(e, samples, -1, &status), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_PutWaveSamples(e, samples, 4, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartListening(e, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartUtterance(e, 1, 1, 0, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetFeatureCount(e, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetNFramesInUtt(e, 0, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetUttDetInfo(e, &n, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetFeatureQueueStats(e, &n, &n, nullptr), EBrevit_BadArgument);
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    EXPECT_EQ(Brevit_StartListeningEnhanced(e, 1, 1, 0, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(e->listening, 0);
}

TEST_F(AudioInputTest, AListenWhileListeningRecordsTheOldUtteranceAndTakesTheNextId)
{
    BrevitEngine* e = make();
    uint32_t first = 99;
    uint32_t second = 99;
    int32_t status = 0;
    ASSERT_EQ(Brevit_StartListening(e, &first), EBrevit_OK);
    ASSERT_EQ(put(e, 3 * kShift, &status), EBrevit_OK);
    ASSERT_EQ(Brevit_StartListeningEnhanced(e, 1, 0, 0, &second), EBrevit_OK);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 1u);
    EXPECT_EQ(framesIn(e, 0), 3);
    EXPECT_EQ(framesIn(e, 1), 0);
    EXPECT_EQ(framesIn(e, 7), -1);
    ASSERT_EQ(put(e, 2 * kShift, &status), EBrevit_OK);
    EXPECT_EQ(framesIn(e, 1), 2);
    EXPECT_EQ(framesIn(e, kBrevitUttCurrent), 2);
}

TEST_F(AudioInputTest, StopUtteranceTakesTheCurrentIdOnly)
{
    BrevitEngine* e = make();
    uint32_t id = 0;
    EXPECT_EQ(Brevit_StopUtterance(e, kBrevitUttCurrent, 1), EBrevit_BadArgument);  // idle
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    EXPECT_EQ(Brevit_StopUtterance(e, 0, 1), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StopUtterance(e, kBrevitUttCurrent, 0), EBrevit_OK);
    EXPECT_FALSE(m_fe.ended);
    EXPECT_EQ(Brevit_StopUtterance(e, id, 1), EBrevit_OK);
    EXPECT_TRUE(m_fe.ended);
}

TEST_F(AudioInputTest, HalfShiftFeedsTwoHalvesAndKeepsTheSecondFrameOfEachPair)
{
    m_words = {{kBrevitParamHalfShift, 1}};
    BrevitEngine* e = make();
    int32_t samples = 0;
    ASSERT_EQ(Brevit_GetNumberSamplesInFrame(e, &samples), EBrevit_OK);
    EXPECT_EQ(samples, 160);
    uint32_t id = 0;
    int32_t status = 0;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(put(e, 3 * 160, &status), EBrevit_OK);
    EXPECT_EQ(m_fe.firstSamples, (std::vector<int16_t>{0, 80, 160, 240, 320, 400}));
    EXPECT_EQ(readAll(e), (std::vector<int32_t>{2, 4, 6}));
}

TEST_F(AudioInputTest, StatusFollowsTheEndPointerAndTwoSticks)
{
    BrevitEngine* e = make();
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    m_fe.script(2, kFEStatusNoSpeech);
    m_fe.script(3, kFEStatusSpeech);
    m_fe.script(5, kFEStatusNoSpeech);
    m_fe.script(3, kFEStatusSpeech);
    std::vector<int32_t> statuses;
    for (int32_t i = 0; i < 13; ++i) {
        int32_t status = -1;
        ASSERT_EQ(put(e, kShift, &status), EBrevit_OK);
        statuses.push_back(status);
    }
    EXPECT_EQ(statuses, (std::vector<int32_t>{0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2}));
    int32_t startMs = 0;
    int32_t endMs = 0;
    ASSERT_EQ(Brevit_GetUttDetInfo(e, &startMs, &endMs), EBrevit_OK);
    EXPECT_EQ(startMs, 20);
    EXPECT_EQ(endMs, 40);
}

TEST_F(AudioInputTest, AFullQueueHoldsCapacityLessOneThenOverflows)
{
    m_words = {{kBrevitParamFrameQueueCapacity, 8}};
    BrevitEngine* e = make();
    uint32_t id = 0;
    int32_t status = -1;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(put(e, 7 * kShift, &status), EBrevit_OK);
    EXPECT_EQ(featureCount(e), 7);
    EXPECT_EQ(put(e, 3 * kShift + 5, &status), EBrevit_FrameQueueOverflow);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(m_fe.firstSamples.size(), 7u);  // the block was not fed
    EXPECT_EQ(e->audioInput.queueOverflowed, 1);
    EXPECT_EQ(e->audioInput.partialCount, 0);  // the rest was dropped
}

TEST_F(AudioInputTest, AChannelRestartRewindsToTheMarkAndKeepsListening)
{
    m_words = {{kBrevitParamChannelMapRestart, 250}};
    BrevitEngine* e = make();
    Decoder* decoder = componentFakes().object<Decoder>("decoder0");
    e->currentDecoder = decoder;
    uint32_t id = 0;
    int32_t status = -1;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    m_fe.script(3, kFEStatusSpeech);
    m_fe.script(1, kFEStatusChannelJump);
    ASSERT_EQ(put(e, 4 * kShift, &status), EBrevit_OK);
    EXPECT_EQ(status, 1);  // a restart counts as speech
    EXPECT_EQ(featureCount(e), 0);
    EXPECT_EQ(e->listening, 1);
    EXPECT_EQ(m_fe.log.back(), "RestartChannelMap 250");
    EXPECT_EQ(componentFakes().calls.back(), "Decoder_UttRestart decoder0");
    e->currentDecoder = nullptr;
    ASSERT_EQ(put(e, 2 * kShift, &status), EBrevit_OK);
    EXPECT_EQ(readAll(e), (std::vector<int32_t>{4, 5}));
}

TEST_F(AudioInputTest, DeferredFetchingLeavesTheFramesInTheFrontEnd)
{
    m_words = {{kBrevitParamDeferredFetching, 1}};
    BrevitEngine* e = make();
    uint32_t id = 0;
    int32_t status = -1;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(put(e, 3 * kShift, &status), EBrevit_OK);
    EXPECT_EQ(featureCount(e), 0);
    EXPECT_EQ(m_fe.frames.size(), 3u);
    // Recognition of the open utterance fetches them one at a time.
    e->recognizingUtteranceId = id;
    BrevitQueuedFrame f;
    ASSERT_TRUE(BrevitPriv_NextQueuedFrame(e, &f, false));
    EXPECT_EQ(f.sideValue, 1u);
    EXPECT_EQ(m_fe.frames.size(), 2u);
}

TEST_F(AudioInputTest, StopListeningMarksTrailingSilenceAndPlacesTheEnd)
{
    BrevitEngine* e = make();
    uint32_t id = 0;
    int32_t status = -1;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    m_fe.script(2, kFEStatusSpeech);
    m_fe.script(1, kFEStatusNoSpeech);  // not yet an end: 3 needed after speech
    m_fe.drainFrames = 1;
    ASSERT_EQ(put(e, 3 * kShift, &status), EBrevit_OK);
    ASSERT_EQ(Brevit_StopListening(e), EBrevit_OK);
    const BrevitFrameQueue& q = e->audioInput.queue;
    EXPECT_EQ(featureCount(e), 4);
    // Slots 0..3: speech, speech, silence, silence. The walk starts two
    // before the write index and stops at the first speech frame (slot 1).
    std::vector<int32_t> bytes(q.endPointerBytes, q.endPointerBytes + 4);
    EXPECT_EQ(bytes, (std::vector<int32_t>{0, 0, 255, 0}));
    EXPECT_EQ(q.speechEndFrame, 4 - 4 + 1 + 1);
    EXPECT_EQ(framesIn(e, id), 4);
    EXPECT_EQ(e->listening, 0);
    EXPECT_EQ(e->audioInput.stopped, 1);
}

TEST_F(AudioInputTest, StoppingBeforeSpeechRejectsARunningPass)
{
    struct Row {
        const char* name;
        uint32_t word404;
        int32_t running;
        int32_t mode;
        bool rejected;
    };
    for (const Row& row : {Row{"rejected", 1, 1, 1, true}, Row{"word 404 clear", 0, 1, 1, false},
                           Row{"no pass", 1, 0, 1, false}, Row{"mode 6", 1, 1, 6, false}}) {
        SCOPED_TRACE(row.name);
        componentFakes().reset();
        m_words = {{kBrevitParamEarlyEndOfSpeech, row.word404}};
        BrevitEngine* e = make();
        e->decoder0 = componentFakes().object<Decoder>("decoder0");
        e->currentDecoder = e->decoder0;
        e->recognitionRunning = row.running;
        e->recognitionMode = row.mode;
        e->choiceLists[0]->count = 3;
        ASSERT_EQ(Brevit_StopListening(e), EBrevit_OK);
        EXPECT_EQ(e->choiceLists[0]->count, row.rejected ? 0 : 3);
        EXPECT_EQ(componentFakes().calls.size(), row.rejected ? 1u : 0u);
        e->decoder0 = nullptr;
        e->currentDecoder = nullptr;
    }
}

TEST_F(AudioInputTest, SplitRecordsTheRecognisedPartAndOpensTheRest)
{
    BrevitEngine* e = make();
    uint32_t id = 0;
    int32_t status = -1;
    uint32_t next = 0;
    EXPECT_EQ(Brevit_SplitUtterance(e, &next), EBrevit_WrongState);
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(put(e, 5 * kShift, &status), EBrevit_OK);
    BrevitQueuedFrame f;
    e->recognizingUtteranceId = 0xFFFFFFF0u;
    ASSERT_TRUE(BrevitPriv_NextQueuedFrame(e, &f, false));
    ASSERT_TRUE(BrevitPriv_NextQueuedFrame(e, &f, false));
    ASSERT_EQ(Brevit_SplitUtterance(e, &next), EBrevit_OK);
    EXPECT_EQ(next, 1u);
    EXPECT_EQ(framesIn(e, 0), 2);
    EXPECT_EQ(framesIn(e, 1), 3);
    ASSERT_TRUE(BrevitPriv_LoadQueuedUtterance(e, 0));
    EXPECT_EQ(e->listeningUtteranceId, 0u);
}

TEST_F(AudioInputTest, FeedingAllocatesNothingAfterTheFirstPartialBlock)
{
    BrevitEngine* e = make();
    uint32_t id = 0;
    int32_t status = -1;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    ASSERT_EQ(put(e, 10, &status), EBrevit_OK);
    std::vector<int16_t> samples(173, 1);
    const uint64_t before = m_engineAllocator.calls();
    for (int32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(Brevit_PutWaveSamples(e, samples.data(), 1 + i % 173, &status), EBrevit_OK);
        readAll(e);
    }
    EXPECT_EQ(m_engineAllocator.calls(), before);
}

TEST_F(AudioInputTest, KeptAudioFollowsTheFeedResults)
{
    BrevitEngine* e = make();
    BrevitAudioInput& a = e->audioInput;
    std::vector<int16_t> history(4 * kShift);
    std::vector<int16_t> kept(6 * kShift);
    a.waveHistory = history.data();
    a.waveCapacity = 4;
    a.keptAudio = kept.data();
    a.keptCapacity = 6;
    a.enrollmentFlag = 1;
    a.keepFlag = 1;
    auto block = [](int16_t v) { return std::vector<int16_t>(kShift, v); };
    // No speech: the history keeps the newest 4 blocks.
    for (int16_t v = 1; v <= 5; ++v)
        BrevitPriv_KeepBlock(e, 1, block(v).data());
    EXPECT_EQ(a.waveCount, 4);
    // Speech: the history (2..5) moves into the kept audio, then the block.
    BrevitPriv_KeepBlock(e, 3, block(6).data());
    EXPECT_EQ(a.keptCount, 5);
    EXPECT_EQ(kept[0], 2);
    EXPECT_EQ(kept[4 * kShift], 6);
    // End found: appended while there is room.
    BrevitPriv_KeepBlock(e, 2, block(7).data());
    BrevitPriv_KeepBlock(e, 2, block(8).data());
    EXPECT_EQ(a.keptCount, 6);
    EXPECT_EQ(kept[5 * kShift], 7);
    // A false start: the last (3 silence frames - 1) kept blocks go back
    // into the history before the new block.
    BrevitPriv_KeepBlock(e, 1, block(9).data());
    EXPECT_EQ(a.keptCount, 0);
    EXPECT_EQ(a.waveCount, 3);
    EXPECT_EQ(history[a.waveRead * kShift], 6);
    // No frame: the history without buffering, the kept audio with it.
    BrevitPriv_KeepBlock(e, 5, block(10).data());
    EXPECT_EQ(a.waveCount, 4);
    a.cnBuffering = 1;
    BrevitPriv_KeepBlock(e, 5, block(11).data());
    EXPECT_EQ(a.keptCount, 1);
    a.cnBuffering = 0;

    // The replay feeds every kept block and records a new utterance.
    const size_t fedBefore = m_fe.firstSamples.size();
    m_fe.drainFrames = 1;
    int32_t ok = 0;
    ASSERT_EQ(BrevitPriv_Call(e, [&](BrevitEngine* x) -> EBrevit {
                  ok = BrevitPriv_ReprocessKeptAudio(x);
                  return 0;
              }),
              EBrevit_OK);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(m_fe.firstSamples.size(), fedBefore + 1);
    EXPECT_EQ(m_fe.firstSamples.back(), 11);
    EXPECT_EQ(framesIn(e, 0), 2);
    a.waveHistory = nullptr;
    a.keptAudio = nullptr;
}

// ---- packets ------------------------------------------------------------------------

TEST_F(AudioInputTest, PacketsWhileIdleAndBeforeTheInfoBlock)
{
    BrevitEngine* e = make();
    std::vector<uint8_t> packet(64);
    int32_t status = -1;
    EXPECT_EQ(Brevit_GetNextSigProcPacket(e, packet.data(), &status), EBrevit_OK);
    EXPECT_EQ(status, 4);
    status = -1;
    EXPECT_EQ(Brevit_PutSigProcPacket(e, 0, packet.data(), &status), EBrevit_OK);
    EXPECT_EQ(status, 2);

    m_words = {{kBrevitParamPacketFormat, 1}};
    BrevitEngine* coded = make();
    EXPECT_EQ(coded->audioInput.outgoing.coderType, 1);
    EXPECT_EQ(Brevit_GetNextSigProcPacket(coded, packet.data(), &status), EBrevit_WrongState);
    std::vector<uint8_t> info(kSigProcCodedInfoSize);
    ASSERT_EQ(Brevit_GetSigProcInfo(coded, info.data()), EBrevit_OK);
    EXPECT_EQ(Brevit_GetNextSigProcPacket(coded, packet.data(), &status), EBrevit_OK);
}

TEST_F(AudioInputTest, CaptureGetsOnePacketPerQueuedFrameInOrder)
{
    BrevitEngine* e = make();
    int32_t size = 0;
    ASSERT_EQ(Brevit_GetSigProcPacketSize(e, &size), EBrevit_OK);
    ASSERT_EQ(size, 2 * 4 + 9);
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    m_fe.script(4, kFEStatusNoSpeech);
    m_fe.script(4, kFEStatusSpeech);
    m_fe.script(6, kFEStatusNoSpeech);
    std::vector<int32_t> counters;
    std::vector<int32_t> statuses;
    std::vector<uint8_t> packet(static_cast<size_t>(size));
    for (int32_t buffer = 0; buffer < 8; ++buffer) {
        int32_t status = -1;
        ASSERT_EQ(put(e, 160, &status), EBrevit_OK);
        for (;;) {
            int32_t packetStatus = -1;
            ASSERT_EQ(Brevit_GetNextSigProcPacket(e, packet.data(), &packetStatus), EBrevit_OK);
            if (packetStatus == 2 || packetStatus == 4)
                break;
            int16_t cepstra[4] = {};
            ASSERT_EQ(SigProcPacket_Unpack(0, packet.data(), 4, cepstra, nullptr, nullptr, nullptr), 1);
            counters.push_back(cepstra[0]);
            statuses.push_back(packetStatus);
        }
    }
    ASSERT_EQ(Brevit_StopListening(e), EBrevit_OK);
    int32_t after = -1;
    ASSERT_EQ(Brevit_GetNextSigProcPacket(e, packet.data(), &after), EBrevit_OK);
    EXPECT_EQ(after, 4);
    std::vector<int32_t> expected;
    for (int32_t i = 1; i <= 16; ++i)
        expected.push_back(i);
    EXPECT_EQ(counters, expected);
    EXPECT_EQ(featureCount(e), 16);
    // 1 replaces 0 once the end was found (after the 3rd silence frame).
    EXPECT_EQ(statuses[9], 0);
    EXPECT_EQ(statuses[10], 1);
    EXPECT_EQ(statuses.back(), 1);
}

TEST_F(AudioInputTest, PacketsOfOneEngineQueueFramesInAnother)
{
    BrevitEngine* sender = make();
    ScriptedFrontEnd receiverFrontEnd;
    BrevitEngine* receiver = make(ParamBlockBuilder(), &receiverFrontEnd);
    int32_t infoSize = 0;
    ASSERT_EQ(Brevit_GetSigProcInfoSize(sender, &infoSize), EBrevit_OK);
    std::vector<uint8_t> info(static_cast<size_t>(infoSize));
    ASSERT_EQ(Brevit_GetSigProcInfo(sender, info.data()), EBrevit_OK);
    ASSERT_EQ(Brevit_PutSigProcInfo(receiver, infoSize, info.data()), EBrevit_OK);
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(sender, &id), EBrevit_OK);
    ASSERT_EQ(Brevit_StartListening(receiver, &id), EBrevit_OK);
    int32_t status = -1;
    ASSERT_EQ(put(sender, 3 * kShift, &status), EBrevit_OK);
    std::vector<uint8_t> packet(17);
    for (int32_t i = 0; i < 3; ++i) {
        int32_t packetStatus = -1;
        ASSERT_EQ(Brevit_GetNextSigProcPacket(sender, packet.data(), &packetStatus), EBrevit_OK);
        ASSERT_EQ(packetStatus, 0);
        ASSERT_EQ(Brevit_PutSigProcPacket(receiver, 0, packet.data(), &status), EBrevit_OK);
    }
    EXPECT_EQ(receiverFrontEnd.log, (std::vector<std::string>{"StartUtterance 0", "FeedCepstra 1",
                                                              "FeedCepstra 2", "FeedCepstra 3"}));
    EXPECT_EQ(featureCount(receiver), 3);
}

TEST_F(AudioInputTest, ReceivedPacketsWhoseFormatOverreachesAreRefused)
{
    struct Row {
        const char* name;
        BrevitSigProcFormat format;
    };
    const std::vector<Row> rows = {
        {"all-zero format", {0, 0, 0, 0, 0, 0}},
        {"raw packet shorter than its cepstra", {0, 8, 16, 4, 1, 1}},
        {"bit-packed with more cepstra than its table", {1, 22, 40, 14, 0, 0}},
        {"bit-packed packet shorter than its bits", {1, 22, 1, 4, 0, 0}},
        {"unknown coder", {2, 8, 17, 4, 0, 0}},
    };
    BrevitEngine* e = make();
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
    std::vector<uint8_t> packet(64);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        e->audioInput.incoming = row.format;
        int32_t status = -1;
        EXPECT_EQ(Brevit_PutSigProcPacket(e, 0, packet.data(), &status), EBrevit_BadArgument);
    }
    EXPECT_TRUE(m_fe.log.size() == 1u);  // nothing was fed
}

} // namespace
