#include "core/prompt/dvk_prompt.h"

#include "tests/core/prompt/prompt_list_fixture.h"

#include <algorithm>

namespace {

using Synthesis = PromptListTest;

// The buffers queued so far by fill number ("1", "2", ...), "+" with a message.
std::vector<std::string> buffersQueued()
{
    std::vector<std::string> out;
    for (const FakeAudioItem& item : fakeAudio().log)
        out.push_back(std::to_string(static_cast<unsigned char>(item.bytes.empty() ? 0 : item.bytes[0])) +
                      (item.withMessage ? "+" : ""));
    return out;
}

TEST_F(Synthesis, TwentyBuffersTurnThroughARingOfEight)
{
    for (int i = 0; i < 20; ++i)
        fakeVreTts().answers.push_back({-1, i == 19 ? 1 : 0});
    newList();
    runOnVr([&] { dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"twenty")); });
    play();
    for (int played = 0; played < 20; ++played) {
        SCOPED_TRACE(played);
        EXPECT_LE(fakeAudio().queued.size(), 8u);
        ASSERT_FALSE(fakeAudio().queued.empty());
        finish(1);
    }
    std::vector<std::string> expected;
    for (int i = 1; i <= 20; ++i)
        expected.push_back(std::to_string(i) + "+");
    EXPECT_EQ(buffersQueued(), expected);
    // The buffers are the ring's: 0-7, 0-7, 0-3.
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(fakeAudio().log[i].data, fakeAudio().log[i % 8].data) << i;
    EXPECT_EQ(fakeAudio().log[0].bytes.size(), 1600u);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(std::count(fakeVreTts().calls.begin(), fakeVreTts().calls.end(), "stop"), 1);
    EXPECT_EQ(std::count(fakeVreTts().calls.begin(), fakeVreTts().calls.end(), "get 1600"), 20);
}

TEST_F(Synthesis, AnEmptyEndIsOneSilentFrame)
{
    const struct {
        int32_t pcmType, vocoderType;
        std::string kind;
        size_t bytes;
    } cases[] = {{0, 9, "pcm", 320}, {1, 9, "pcm", 640}, {2, 1, "vocoded", 65}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        runOnVr([] { resetFakeAudio(); });
        resetFakeVreTts();
        fakeVreTts().pcmType = c.pcmType;
        fakeVreTts().vocoderType = c.vocoderType;
        callbacks = 0;
        newList();
        const int32_t words[] = {7, 8, 9};
        runOnVr([&] { dvk_prompt_addWords(list, words, 3); });
        play();
        ASSERT_EQ(fakeAudio().log.size(), 1u);
        EXPECT_EQ(fakeAudio().log[0].kind, c.kind);
        EXPECT_EQ(fakeAudio().log[0].bytes, std::string(c.bytes, '\0'));
        EXPECT_TRUE(fakeAudio().log[0].withMessage);
        EXPECT_EQ(fakeVreTts().calls[0], "startIds 7 8 9 100 0");
        finish(1);
        EXPECT_EQ(callbacks, 1);
    }
}

TEST_F(Synthesis, VocodedOutputFillsBuffersOfFiveFrames)
{
    fakeVreTts().pcmType = 2;
    fakeVreTts().vocoderType = 1;
    fakeVreTts().answers = {{-1, 0}, {130, 1}};
    newList();
    runOnVr([&] { dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"x")); });
    play();
    EXPECT_EQ(fakeVreTts().calls, (std::vector<std::string>{"startText x 100 0", "get 325", "get 325"}));
    ASSERT_EQ(fakeAudio().log.size(), 2u);
    EXPECT_EQ(fakeAudio().log[0].bytes.size(), 325u);
    EXPECT_EQ(fakeAudio().log[1].bytes.size(), 130u);
    EXPECT_EQ(fakeAudio().log[1].vocoderType, 1);
    EXPECT_EQ(buffersQueued(), (std::vector<std::string>{"1+", "2+"}));
    finish(2);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(Synthesis, AFailedStartPassesTheTurnOnAtOnce)
{
    fakeVreTts().startResult = 1;
    newList();
    runOnVr([&] {
        dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"a"));
        dvk_prompt_addPrompt(list, prompts, 5);
    });
    play();
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"P5+"}));
    EXPECT_EQ(fakeVreTts().calls, (std::vector<std::string>{"startText a 100 0"}));
    finish(1);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(Synthesis, ASynthesisThatEndsEarlyStopsOnceAfterItsBuffers)
{
    fakeVreTts().answers = {{-1, 0}, {-1, 0}, {10, 1}};
    newList();
    runOnVr([&] { dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"short")); });
    play();
    EXPECT_EQ(buffersQueued(), (std::vector<std::string>{"1+", "2+", "3+"}));
    finish(3);
    EXPECT_EQ(std::count(fakeVreTts().calls.begin(), fakeVreTts().calls.end(), "stop"), 1);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(Synthesis, AnEmptyBufferBeforeTheEndIsNotQueued)
{
    // The audio would refuse a piece without samples (a programming error
    // there): the buffer's turn passes on at once instead.
    fakeVreTts().answers = {{0, 0}, {1, 0}, {-1, 1}};
    newList();
    runOnVr([&] { dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"gap")); });
    play();
    EXPECT_EQ(buffersQueued(), (std::vector<std::string>{"3+"}));
    finish(1);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(Synthesis, EveryAllocationFailingInTurnEndsTheTurnWithoutALeak)
{
    const long base = dvk_mem_liveBlocks();
    for (long n = 0; n < 30; ++n) {
        SCOPED_TRACE(n);
        runOnVr([] { resetFakeAudio(); });
        resetFakeVreTts();
        for (int i = 0; i < 12; ++i)
            fakeVreTts().answers.push_back({-1, i == 11 ? 1 : 0});
        int done = 0;
        runOnVr([&] {
            dvk_prompt_Tts* tts = dvk_prompt_createTextTTS(nullptr, reinterpret_cast<const dvk_ucs2_Char*>(u"t"));
            ASSERT_NE(tts, nullptr);
            dvk_msg_Message* message = dvk_msg_create(&done, [](void* d, dvk_msg_Address) { ++*static_cast<int*>(d); },
                                                      nullptr);
            dvk_mem_failAfter(n);
            dvk_prompt_startTTSPlayback(tts, message, 100, 0);
            dvk_mem_failAfter(-1);
            fakeAudioPlay(fakeAudio().queued.size());
            dvk_prompt_destroyTTSObj(&tts);
        });
        settle();
        for (int i = 0; i < 10 && !fakeAudio().queued.empty(); ++i) {
            runOnVr([] { fakeAudioPlay(fakeAudio().queued.size()); });
            settle();
        }
        EXPECT_LE(done, 1);
        runOnVr([] { resetFakeAudio(); });
        settle();
        EXPECT_EQ(dvk_mem_liveBlocks(), base);
    }
}

} // namespace
