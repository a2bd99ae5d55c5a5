// The cepstral synthesiser over a whole written voice: loading, checksums,
// refusals, start codes and frame stepping (durations, rate, pauses,
// voicing, pass-through).
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "tests/brevit/synthesis/case_name.h"
#include "tests/brevit/synthesis/voice_fixture.h"

#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace {

using synthesis_voice::VoiceSpec;
using synthesis_voice::testVoice;

// Frames of every state of an utterance, in step order, by stepping alone.
struct StepTrace {
    std::vector<int32_t> framesPerState;   // one entry per state started
    std::vector<int32_t> voicing;          // per frame
    std::vector<int32_t> passThrough;      // per frame
    int32_t frames = 0;
};

StepTrace trace(CepTTS* t)
{
    StepTrace s;
    CepTTSFrame frame{};
    int32_t lastPosition = -1;
    int32_t lastUnit = -1;
    while (CepTTS_StepFrame(t, &frame)) {
        const CepTTSUtterance* u = t->utterance;
        if (u->statePosition != lastPosition || u->unitCount != lastUnit || u->frameInState == 1) {
            if (u->frameInState == 1)
                s.framesPerState.push_back(0);
        }
        lastPosition = u->statePosition;
        lastUnit = u->unitCount;
        s.framesPerState.back() += 1;
        s.voicing.push_back(frame.voicing);
        s.passThrough.push_back(frame.passThrough);
        ++s.frames;
    }
    return s;
}

const uint16_t kHelloWorld[] = {u'h', u'e', u'l', u'l', u'o', u' ', u'w', u'o', u'r', u'l', u'd', 0};

using CepTTSVoice = VoiceTest;

TEST_F(CepTTSVoice, SpeaksHelloWorldToTheEnd)
{
    TTS* t = load();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(TTS_GetEncoding(t), kTTSEncodingPCM);
    ASSERT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 4, 16000, 100, 0), kTTSDone);
    const StepTrace steps = trace(cep(t));
    ASSERT_GT(steps.frames, 0);
    ASSERT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 4, 16000, 100, 0), kTTSDone);
    std::vector<int16_t> pcm;
    EXPECT_EQ(speakToEnd(t, pcm), kTTSNothingToSay);
    EXPECT_EQ(static_cast<int32_t>(pcm.size()), steps.frames * 80);
    // Done stays done until a new start.
    int16_t sample[4];
    int32_t n = -1;
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 4, sample, &n), kTTSNothingToSay);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 4, sample, &n), kTTSNothingToSay);
}

} // namespace
