// The engine's text-to-speech entry points over a scripted synthesiser: a
// synthesis object whose slots are this test's functions, answering the
// codes each case scripts.
#include "core/brevit/api/brevit_synthesis.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/synthesis/tts.h"
#include "tests/brevit/api/create/model_set_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// What the scripted slots answer, and what they were asked.
struct Script {
    int32_t encoding = kTTSEncodingPCM;
    int32_t startCode = kTTSDone;
    int32_t processCode = kTTSDone;
    int32_t samplesPerCall = 1;
    int32_t stopCode = kTTSDone;
    int32_t olderBytes = 0;       // bytes an older start renders (value = index)
    int32_t olderFrames = 0;
    std::vector<std::string> calls;
};

Script* gScript = nullptr;

int32_t getEncoding(TTS*) { return gScript->encoding; }
int32_t startText(TTS*, const uint16_t*, int32_t, int32_t, int32_t, int32_t)
{
    gScript->calls.push_back("start text");
    return gScript->startCode;
}
int32_t startIds(TTS*, int32_t, const VocId*, int32_t, int32_t, int32_t, int32_t)
{
    gScript->calls.push_back("start ids");
    return gScript->startCode;
}
int32_t processPCM(TTS*, int32_t capacity, int16_t* samples, int32_t* count)
{
    gScript->calls.push_back("process");
    *count = std::min(capacity, gScript->samplesPerCall);
    for (int32_t k = 0; k < *count; ++k)
        samples[k] = 7;
    return gScript->processCode;
}
int32_t stopUtterance(TTS*)
{
    gScript->calls.push_back("stop");
    return gScript->stopCode;
}
int32_t olderRender(int32_t freeSpace, uint8_t* position, int32_t* frames)
{
    const int32_t n = std::min(freeSpace, gScript->olderBytes);
    for (int32_t k = 0; k < n; ++k)
        position[k] = static_cast<uint8_t>(k);
    *frames = gScript->olderFrames;
    return n;
}
int32_t olderText(TTS*, const uint16_t*, int32_t, int32_t, int32_t, int32_t freeSpace, uint8_t* position,
                  int32_t* frames)
{
    gScript->calls.push_back("older text");
    return olderRender(freeSpace, position, frames);
}
int32_t olderIds(TTS*, int32_t, const VocId*, int32_t, int32_t, int32_t, int32_t freeSpace, uint8_t* position,
                 int32_t* frames)
{
    gScript->calls.push_back("older ids");
    return olderRender(freeSpace, position, frames);
}

const uint16_t kText[] = {u'h', u'i', 0};

class SynthesisEntries : public ModelSetTest {
protected:
    void SetUp() override
    {
        ModelSetTest::SetUp();
        gScript = &m_script;
        m_engine = created(model_set::ModelSetSpec{});
        ASSERT_NE(m_engine, nullptr);
        ASSERT_EQ(m_engine->synthesis, nullptr);
        m_engine->parameters->words[kBrevitParamSynthesisEnabled] = 1;
        streaming();
        m_engine->synthesis = &m_tts;
        ScopedEngineContext context(*m_allocators.back());
        m_id = Voc_LookupIdFromOrthography(m_engine->vocabulary, reinterpret_cast<const uint16_t*>(u"call"));
        ASSERT_EQ(Voc_IsWordIdInUse(m_engine->vocabulary, m_id), 1) << m_id;
    }
    void TearDown() override
    {
        if (m_engine != nullptr)
            m_engine->synthesis = nullptr;   // the test's own object
        ModelSetTest::TearDown();
        gScript = nullptr;
    }

    // The streaming slots filled, the older ones empty.
    void streaming()
    {
        m_tts.slots = TTSSlots{};
        m_tts.slots.getEncoding = getEncoding;
        m_tts.slots.startUtteranceFromText = startText;
        m_tts.slots.startUtteranceFromIds = startIds;
        m_tts.slots.processUtterancePCM = processPCM;
        m_tts.slots.stopUtterance = stopUtterance;
    }
    // Only the older way's slots.
    void older()
    {
        m_tts.slots = TTSSlots{};
        m_tts.slots.getEncoding = getEncoding;
        m_tts.slots.startFromText = olderText;
        m_tts.slots.startFromIds = olderIds;
    }

    Script m_script;
    TTS m_tts{};
    BrevitEngine* m_engine = nullptr;
    VocId m_id = 0;   // a word the vocabulary has in use
};

TEST_F(SynthesisEntries, StartCodesMapToEngineResults)
{
    const VocId id = m_id;
    const int32_t codes[][2] = {{0, 0}, {1, 1}, {2, 8}, {3, 0}, {4, 0}, {5, 0}, {6, 1}, {7, 15}, {9, 2}, {42, 1}};
    for (const auto& [code, result] : codes) {
        m_script.startCode = code;
        EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 4, 16000, 100, 0), result) << code;
        EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &id, 1, 4, 16000, 100, 0), result) << code;
    }
    EXPECT_EQ(m_engine->broken, 0);
}

TEST_F(SynthesisEntries, FetchCodesMapToResultsAndDone)
{
    struct Row {
        int32_t code;
        EBrevit result;
        int32_t done;
        int32_t samples;
    };
    // Codes that go on fill the request one sample a call.
    const Row rows[] = {{0, 0, 0, 4}, {4, 0, 0, 4}, {5, 0, 0, 4}, {3, 0, 1, 1}, {1, 1, 0, 1},
                        {2, 8, 0, 1}, {6, 0, 0, 1}, {7, 15, 0, 1}, {9, 2, 1, 1}, {8, 7, 0, 0}};
    for (const Row& r : rows) {
        m_script.processCode = r.code;
        m_script.samplesPerCall = r.code == 8 ? 0 : 1;
        int16_t samples[4] = {};
        int32_t count = -1, done = -1;
        EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, &count, &done), r.result) << r.code;
        EXPECT_EQ(count, r.samples) << r.code;
        EXPECT_EQ(done, r.done) << r.code;
    }
}

TEST_F(SynthesisEntries, ArgumentsAndStateAreChecked)
{
    int16_t samples[4];
    int32_t count = 0, done = 0, encoding = -1;
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 0, samples, &count, &done), EBrevit_BufferTooSmall);
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, -1, samples, &count, &done), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, nullptr, &count, &done), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, nullptr, &done), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, &count, nullptr), EBrevit_BadArgument);
    const VocId special = 0xFFFFFFFBu, known = m_id;
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &special, 1, 4, 16000, 100, 0), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, nullptr, 1, 4, 16000, 100, 0), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &known, 0, 4, 16000, 100, 0), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &known, 1, 0, 16000, 100, 0), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, nullptr, 4, 16000, 100, 0), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 2, 16000, 100, 0), EBrevit_NothingToSynthesize);
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &known, 1, 2, 16000, 100, 0), EBrevit_NothingToSynthesize);
    EXPECT_EQ(Brevit_GetTTSEncoding(m_engine, &encoding), EBrevit_OK);
    EXPECT_EQ(encoding, 4);
    m_script.encoding = 5;
    EXPECT_EQ(Brevit_GetTTSEncoding(m_engine, &encoding), EBrevit_OK);
    EXPECT_EQ(encoding, 0);
    // Without a synthesiser.
    m_engine->synthesis = nullptr;
    EXPECT_EQ(Brevit_GetTTSEncoding(m_engine, &encoding), EBrevit_OK);
    EXPECT_EQ(encoding, 0);
    EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 4, 16000, 100, 0), EBrevit_WrongState);
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &known, 1, 4, 16000, 100, 0), EBrevit_WrongState);
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, &count, &done), EBrevit_WrongState);
    EXPECT_EQ(Brevit_StopTTS(m_engine), EBrevit_WrongState);
    EXPECT_EQ(BrevitPriv_GetTTSEncodingCode(m_engine), 0);
}

TEST_F(SynthesisEntries, EveryStartStopsFirst)
{
    const VocId id = m_id;
    ASSERT_EQ(Brevit_StartTTSFromIds(m_engine, &id, 1, 4, 16000, 100, 0), EBrevit_OK);
    ASSERT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 4, 16000, 100, 0), EBrevit_OK);
    EXPECT_EQ(m_script.calls, (std::vector<std::string>{"stop", "start ids", "stop", "start text"}));
    EXPECT_EQ(Brevit_StopTTS(m_engine), EBrevit_OK);
}

TEST_F(SynthesisEntries, OlderWayRendersIntoTheEngineBuffer)
{
    older();
    m_script.encoding = kTTSEncodingFrames27;
    m_script.olderBytes = 270;
    m_script.olderFrames = 10;
    // PCM is not asked of the older way, and its rate must be the encoding's.
    EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 2, 16000, 100, 0), EBrevit_NothingToSynthesize);
    ASSERT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 2, 50, 100, 0), EBrevit_OK);
    int16_t samples[4];
    int32_t count = 0, done = 0;
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, &count, &done), EBrevit_WrongState);
    uint8_t bytes[400];
    int32_t byteCount = -1, frames = -1;
    // 10 bytes hold no 27-byte frame.
    EXPECT_EQ(Brevit_ProcessTTS(m_engine, 10, bytes, &byteCount, &frames, &done), EBrevit_BufferTooSmall);
    EXPECT_EQ(byteCount, 0);
    EXPECT_EQ(frames, 0);
    // Two frames, then the rest.
    EXPECT_EQ(Brevit_ProcessTTS(m_engine, 60, bytes, &byteCount, &frames, &done), EBrevit_OK);
    EXPECT_EQ(byteCount, 54);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(bytes[53], 53);
    // Stopping with output unread.
    EXPECT_EQ(Brevit_StopTTS(m_engine), EBrevit_BufferTooSmall);
    EXPECT_EQ(Brevit_ProcessTTS(m_engine, 400, bytes, &byteCount, &frames, &done), EBrevit_WrongState);
    // All of it at once, then a stop after the whole buffer.
    ASSERT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 2, 50, 100, 0), EBrevit_OK);
    EXPECT_EQ(Brevit_ProcessTTS(m_engine, 400, bytes, &byteCount, &frames, &done), EBrevit_OK);
    EXPECT_EQ(byteCount, 270);
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(Brevit_StopTTS(m_engine), EBrevit_OK);
    // Encoding 4 at 8000 is not the older way's rate.
    m_script.encoding = kTTSEncodingPCM;
    const VocId id = m_id;
    EXPECT_EQ(Brevit_StartTTSFromIds(m_engine, &id, 1, 4, 8000, 100, 0), EBrevit_NothingToSynthesize);
    ASSERT_EQ(Brevit_StartTTSFromIds(m_engine, &id, 1, 4, 16000, 100, 0), EBrevit_OK);
    EXPECT_EQ(m_engine->ttsState->bufferSize, 320000);
}

TEST_F(SynthesisEntries, SwitchedOffSynthesisStartsNothing)
{
    older();
    m_engine->parameters->words[kBrevitParamSynthesisEnabled] = 0;
    streaming();
    // Every utterance slot answers 8: the older way's empty slots render nothing.
    EXPECT_EQ(Brevit_StartTTSFromTextU(m_engine, kText, 4, 16000, 100, 0), EBrevit_OK);
    EXPECT_TRUE(m_script.calls.empty());
    int16_t samples[4];
    int32_t count = 0, done = 0;
    EXPECT_EQ(Brevit_ProcessTTSPCM(m_engine, 4, samples, &count, &done), EBrevit_WrongState);
    EXPECT_EQ(Brevit_StopTTS(m_engine), EBrevit_OK);
}

TEST_F(SynthesisEntries, CallerBufferIsNotTheEnginesToFree)
{
    uint8_t buffer[64] = {};
    ScopedEngineContext context(*m_allocators.back());
    BrevitPriv_SetTTSDataMembers(m_engine, kText, 0, nullptr, sizeof buffer, buffer);
    ASSERT_NE(m_engine->ttsState, nullptr);
    EXPECT_EQ(m_engine->ttsState->bufferOwned, 0);
    EXPECT_EQ(m_engine->ttsState->frameCount, 0);
    BrevitPriv_ResetEngineTTS(m_engine);
    EXPECT_EQ(m_engine->ttsState->buffer, nullptr);
    EXPECT_EQ(m_engine->ttsState->frameCount, -1);
    // The engine's destroy frees the state and nothing else of the caller's.
    CountingAllocator* allocator = m_allocators.back().get();
    m_engine->synthesis = nullptr;
    destroy(m_engine);
    m_engine = nullptr;
    EXPECT_EQ(allocator->liveBlocks(), 0u) << allocator->describeLeaks();
}

} // namespace
