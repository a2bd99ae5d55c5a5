// The cepstral synthesiser over a whole written voice: loading, checksums,
// refusals, start codes and frame stepping (durations, rate, pauses,
// voicing, pass-through).
#include "core/brevit/lexicon/vocabulary.h"
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

// What stepping alone hands out, frame by frame.
struct StepTrace {
    std::vector<int32_t> unit, position, voicing, passThrough;
    size_t frames() const { return unit.size(); }
    // Frames of one state (0 when it was skipped).
    int32_t framesOf(int32_t u, int32_t p) const
    {
        int32_t n = 0;
        for (size_t k = 0; k < unit.size(); ++k)
            n += unit[k] == u && position[k] == p;
        return n;
    }
};

StepTrace trace(CepTTS* t)
{
    StepTrace s;
    CepTTSFrame frame{};
    while (CepTTS_StepFrame(t, &frame)) {
        s.unit.push_back(t->utterance->unitCount);
        // The unit's phone is the one its features name.
        EXPECT_EQ(t->utterance->currentPhone, t->utterance->features[2]);
        s.position.push_back(t->utterance->statePosition);
        s.voicing.push_back(frame.voicing);
        s.passThrough.push_back(frame.passThrough);
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
    ASSERT_GT(steps.frames(), 0u);
    ASSERT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 4, 16000, 100, 0), kTTSDone);
    std::vector<int16_t> pcm;
    EXPECT_EQ(speakToEnd(t, pcm), kTTSNothingToSay);
    EXPECT_EQ(static_cast<int32_t>(pcm.size()), static_cast<int32_t>(steps.frames()) * 80);
    // Done stays done until a new start.
    int16_t sample[4];
    int32_t n = -1;
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 4, sample, &n), kTTSNothingToSay);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 4, sample, &n), kTTSNothingToSay);
}

int32_t start(TTS* t, int32_t speed = 100, const uint16_t* text = kHelloWorld)
{
    return TTS_StartUtteranceFromText(t, text, kTTSEncodingPCM, 16000, speed, 0);
}

TEST_F(CepTTSVoice, StartAndProcessCodes)
{
    TTS* t = load();
    ASSERT_NE(t, nullptr);
    int16_t pcm[8];
    int32_t n = -1;
    // A process call before any start finds the loader's stopped state.
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 8, pcm, &n), kTTSNothingToSay);
    EXPECT_EQ(start(t, 0), kTTSFailure);
    EXPECT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 3, 16000, 100, 0), kTTSNotSupported);
    EXPECT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 4, 11025, 100, 0), kTTSNotSupported);
    const uint16_t empty[] = {0};
    EXPECT_EQ(start(t, 100, empty), kTTSNothingToSay);
    EXPECT_EQ(cep(t)->utterance->finished, 1);
    EXPECT_EQ(TTS_StartUtteranceFromIds(t, 0, nullptr, 4, 16000, 100, 0), kTTSNothingToSay);
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 8, pcm, &n), kTTSNothingToSay);
    EXPECT_EQ(start(t), kTTSDone);
    EXPECT_EQ(TTS_StopUtterance(t), kTTSDone);
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 8, pcm, &n), kTTSNothingToSay);
    // The half rate is the generator's other rate.
    EXPECT_EQ(TTS_StartUtteranceFromText(t, kHelloWorld, 4, 8000, 100, 0), kTTSDone);
    EXPECT_EQ(TTS_StartFromText(t, kHelloWorld, 16000, 0, 0, 10, nullptr, nullptr), 0);
}

TEST_F(CepTTSVoice, SwitchedOffSynthesisNeverReachesTheSynthesiser)
{
    TTS* t = load();
    ASSERT_NE(t, nullptr);
    setParam(kBrevitParamSynthesisEnabled, 0);
    int16_t pcm[8];
    int32_t n = 0;
    EXPECT_EQ(start(t), kTTSNotAvailable);
    EXPECT_EQ(TTS_ProcessUtterancePCM(t, 8, pcm, &n), kTTSNotAvailable);
    EXPECT_EQ(TTS_StopUtterance(t), kTTSNotAvailable);
    EXPECT_EQ(cep(t)->utterance->unitCount, -1);
}

TEST_F(CepTTSVoice, IdsSpeakAsTheirText)
{
    TTS* t = load();
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(start(t), kTTSDone);
    std::vector<int16_t> byText, byIds;
    ASSERT_EQ(speakToEnd(t, byText), kTTSNothingToSay);
    const VocId ids[] = {Voc_LookupIdFromOrthography(m_vocabulary->voc(), reinterpret_cast<const uint16_t*>(u"hello")),
                         Voc_LookupIdFromOrthography(m_vocabulary->voc(), reinterpret_cast<const uint16_t*>(u"world"))};
    ASSERT_EQ(TTS_StartUtteranceFromIds(t, 2, ids, 4, 16000, 100, 0), kTTSDone);
    ASSERT_EQ(speakToEnd(t, byIds), kTTSNothingToSay);
    EXPECT_EQ(byIds, byText);
    // Half the rate, half the samples; a stop half-way and the same start again.
    ASSERT_EQ(TTS_StartUtteranceFromIds(t, 2, ids, 4, 8000, 100, 0), kTTSDone);
    std::vector<int16_t> half;
    ASSERT_EQ(speakToEnd(t, half), kTTSNothingToSay);
    EXPECT_EQ(half.size() * 2, byText.size());
    ASSERT_EQ(start(t), kTTSDone);
    std::vector<int16_t> cut;
    speakToEnd(t, cut, 160, 40);
    EXPECT_EQ(TTS_StopUtterance(t), kTTSDone);
    ASSERT_EQ(start(t), kTTSDone);
    std::vector<int16_t> again;
    ASSERT_EQ(speakToEnd(t, again), kTTSNothingToSay);
    EXPECT_EQ(again, byText);
}

TEST_F(CepTTSVoice, ShortStatesCarryTheirHundredths)
{
    VoiceSpec v = testVoice();
    v.vowel.durations = v.pause.durations = v.other.durations = {1, 1, 1};
    TTS* t = load(v);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(start(t, 150), kTTSDone);
    EXPECT_EQ(cep(t)->utterance->rateFactor, 67);
    const StepTrace s = trace(cep(t));
    // 67, 134, 101 hundredths: 0, 1 and 1 frames.
    EXPECT_EQ(s.framesOf(1, 1), 0);
    EXPECT_EQ(s.framesOf(1, 2), 1);
    EXPECT_EQ(s.framesOf(1, 3), 1);
}

TEST_F(CepTTSVoice, PauseLengthsPerState)
{
    VoiceSpec v = testVoice();
    v.S = 5;
    v.frameShift = 5;
    v.edgePause = 200;
    v.phrasePause1 = 150;
    v.phrasePause2 = 50;
    v.pause.durations = {4, 4, 4, 4, 4};
    TTS* t = load(v);
    ASSERT_NE(t, nullptr);
    struct Row {
        int32_t speed, edge, phrase1, phrase2;
    };
    for (const Row& r : {Row{100, 800, 600, 200}, Row{200, 800, 300, 100}, Row{50, 800, 1200, 400}}) {
        ASSERT_EQ(start(t, r.speed), kTTSDone);
        const CepTTSUtterance* u = cep(t)->utterance;
        EXPECT_EQ(u->edgePauseFrames, r.edge) << r.speed;
        EXPECT_EQ(u->phrasePause1Frames, r.phrase1) << r.speed;
        EXPECT_EQ(u->phrasePause2Frames, r.phrase2) << r.speed;
    }
    // With word 922 the opening and closing pauses take the edge length at
    // any speed; without it the trees' durations.
    for (uint32_t pauses : {1u, 0u})
        for (int32_t speed : {100, 200}) {
            setParam(kBrevitParamPauseUnits, pauses);
            ASSERT_EQ(start(t, speed), kTTSDone);
            const StepTrace s = trace(cep(t));
            const int32_t trees = speed == 100 ? 4 : 2;
            for (int32_t unit : {1, s.unit.back()})
                for (int32_t p = 1; p <= 5; ++p)
                    EXPECT_EQ(s.framesOf(unit, p), pauses ? 8 : trees) << pauses << " " << speed << " " << unit << " " << p;
        }
}

TEST_F(CepTTSVoice, VoicingDecisionHoldsAcrossThresholds)
{
    TTS* t = load();
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(start(t), kTTSDone);
    CepTTSUtterance* u = cep(t)->utterance;
    std::vector<int32_t> decided;
    for (int32_t value : {120, 80, 40, 80}) {
        u->framesLeft = 1;
        u->voicingValue = value;
        u->flagDecided = 1;
        CepTTSFrame f{};
        ASSERT_EQ(CepTTS_StepFrame(cep(t), &f), 1);
        decided.push_back(f.voicing);
    }
    EXPECT_EQ(decided, (std::vector<int32_t>{1, 1, 0, 0}));
    // The other flags give fixed types under the decided one.
    struct Row {
        int32_t two, decided, one, type;
    };
    for (const Row& r : {Row{1, 0, 1, 2}, Row{0, 0, 1, 1}, Row{0, 0, 0, 0}, Row{1, 1, 1, 0}}) {
        u->framesLeft = 1;
        u->voicingValue = 0;
        u->flagTwo = r.two;
        u->flagDecided = r.decided;
        u->flagOne = r.one;
        CepTTSFrame f{};
        ASSERT_EQ(CepTTS_StepFrame(cep(t), &f), 1);
        EXPECT_EQ(f.voicing, r.type) << r.two << r.decided << r.one;
    }
}

TEST_F(CepTTSVoice, PausesPassThroughOutsideTheirSmoothedFrames)
{
    VoiceSpec v = testVoice();
    v.S = 2;
    v.vowel.durations = {3, 4};
    v.pause.durations = {4, 4};
    v.other.durations = {2, 2};
    v.frameShift = 5;
    v.edgePause = 40;   // 4 frames a state
    TTS* t = load(v);
    ASSERT_NE(t, nullptr);
    setParam(kBrevitParamPauseUnits, 1);
    setParam(kBrevitParamSmoothingPassThrough, 2);
    ASSERT_EQ(start(t), kTTSDone);
    const StepTrace s = trace(cep(t));
    ASSERT_GE(s.frames(), 16u);
    // The opening pause is smoothed only in its last P frames, the closing
    // one only in its first P.
    const std::vector<int32_t> opening(s.passThrough.begin(), s.passThrough.begin() + 8);
    const std::vector<int32_t> closing(s.passThrough.end() - 8, s.passThrough.end());
    EXPECT_EQ(opening, (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(closing, (std::vector<int32_t>{0, 0, 1, 1, 1, 1, 1, 1}));
    // Inside the utterance nothing passes through.
    for (size_t k = 8; k + 8 < s.frames(); ++k)
        EXPECT_EQ(s.passThrough[k], 0) << k;
}

// The vocoder's wrapper adds a constant, so only the other parts move it.
TEST_F(CepTTSVoice, ChecksumIsTheVoicesOwn)
{
    const uint32_t base = TTS_ComputeCRC(load(), 1, 0);
    EXPECT_EQ(TTS_ComputeCRC(load(), 1, 0), base);
    const std::vector<std::pair<const char*, std::function<void(VoiceSpec&)>>> edits = {
        {"header word", [](VoiceSpec& v) { v.headerWord = 8; }},
        {"phoneme set", [](VoiceSpec& v) { v.setCRCs[0] ^= 1; }},
        {"pos set", [](VoiceSpec& v) { v.setCRCs[1] ^= 1; }},
        {"semantic set", [](VoiceSpec& v) { v.setCRCs[2] ^= 1; }},
        {"header short", [](VoiceSpec& v) { v.headerShorts[2] = 9; }},
        {"tag", [](VoiceSpec& v) { v.headerTag[3] = '2'; }},
        {"phone short", [](VoiceSpec& v) { v.phoneShorts[1] = 9; }},
        {"edge pause", [](VoiceSpec& v) { v.edgePause = 151; }},
        {"speed scale", [](VoiceSpec& v) { v.speedScale = 90; }},
        {"hold threshold", [](VoiceSpec& v) { v.voicingHoldThreshold = 51; }},
        {"voicing table", [](VoiceSpec& v) { v.voicingOne.assign(31, 0); v.voicingOne[5] = 1; }},
        {"front end", [](VoiceSpec& v) { v.frontEnd.tagBeam = 43; }},
        {"trees", [](VoiceSpec& v) { v.vowel.durations = {3, 4, 5}; }},
        {"optimiser", [](VoiceSpec& v) { v.kernelLength = 3; }},
    };
    for (const auto& [name, edit] : edits) {
        VoiceSpec v = testVoice();
        edit(v);
        TTS* t = load(v);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_NE(TTS_ComputeCRC(t, 1, 0), base) << name;
    }
}

struct Refusal {
    std::string name;
    std::function<void(VoiceSpec&)> damage;
};

class CepTTSRefusal : public VoiceTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CepTTSRefusal, LoadsNothing)
{
    VoiceSpec v = testVoice();
    GetParam().damage(v);
    EXPECT_EQ(load(v), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Voices, CepTTSRefusal,
    ::testing::Values(
        Refusal{"no btt0", [](VoiceSpec& v) { v.omitted.insert("btt0"); }},
        Refusal{"format 3", [](VoiceSpec& v) { v.format = 3; }},
        Refusal{"format 5", [](VoiceSpec& v) { v.format = 5; }},
        Refusal{"short btt0", [](VoiceSpec& v) { v.stopAfterHeader = true; }},
        Refusal{"voicing table short", [](VoiceSpec& v) { v.voicingTwo.assign(30, 0); }},
        Refusal{"voicing table long", [](VoiceSpec& v) { v.voicingOne.assign(32, 0); }},
        Refusal{"no trees", [](VoiceSpec& v) { v.omitted.insert("btc0"); }},
        Refusal{"no vocoder", [](VoiceSpec& v) { v.omitted.insert("bcs0"); }},
        Refusal{"order 0", [](VoiceSpec& v) { v.D = 0; v.treeD = v.optimizerD = 13; }},
        Refusal{"order not the trees'", [](VoiceSpec& v) { v.treeD = 14; }},
        Refusal{"order not the optimiser's", [](VoiceSpec& v) { v.optimizerD = 14; }},
        Refusal{"order below the vocoder's", [](VoiceSpec& v) { v.cepstralLength = 14; }},
        Refusal{"no states", [](VoiceSpec& v) { v.S = 0; }},
        Refusal{"states past the durations", [](VoiceSpec& v) { v.durationDim = 2; }},
        Refusal{"frame shift 0", [](VoiceSpec& v) { v.frameShift = 0; }},
        Refusal{"post-scale without table", [](VoiceSpec& v) { v.postScale = 1; }}),
    caseName<Refusal>);

TEST_F(CepTTSVoice, OutputRingBelowTheBlockIsRefused)
{
    setParam(kBrevitParamOutputRingSlots, 9);
    EXPECT_EQ(load(), nullptr);
    setParam(kBrevitParamOutputRingSlots, 10);
    EXPECT_NE(load(), nullptr);
}

TEST_F(CepTTSVoice, PostScaleWithItsTableLoads)
{
    VoiceSpec v = testVoice();
    v.postScale = 1;
    v.postScaleTable.assign(13, 2);
    EXPECT_NE(load(v), nullptr);
}

// Every allocation of a load failing in turn: none, or the engine error
// raised, and nothing left allocated.
TEST_F(CepTTSVoice, EachAllocationFailingLeavesNothing)
{
    DVKTar* tar = write(testVoice());
    const uint64_t before = m_allocator.calls();
    TTS_Delete(TTS_LoadFromBinFile(tar, nullptr, m_vocabulary->voc()));
    const uint64_t calls = m_allocator.calls() - before;
    ASSERT_GT(calls, 10u);
    for (uint64_t n = 1; n <= calls; ++n) {
        const size_t live = m_allocator.liveBlocks();
        m_allocator.failAt(m_allocator.calls() + n);
        TTS* t = nullptr;
        DVKErr_Protect([&] { t = TTS_LoadFromBinFile(tar, nullptr, m_vocabulary->voc()); });
        m_allocator.failAt(0);
        EXPECT_EQ(t, nullptr) << "allocation " << n;
        TTS_Delete(t);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n;
    }
}

} // namespace
