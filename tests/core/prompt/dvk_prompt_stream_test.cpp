#include "core/prompt/dvk_prompt.h"

#include "tests/core/prompt/prompt_list_fixture.h"

namespace {

const uint8_t kA[] = {'a', 'a'};
const uint8_t kB[] = {'b'};
const uint8_t kC[] = {'c', 'c', 'c'};

class Stream : public PromptListTest {
protected:
    // A playing list whose only item is a stream that has played its first chunk "aa".
    dvk_prompt_Stream* playingStream()
    {
        dvk_prompt_Stream* stream = nullptr;
        newList();
        runOnVr([&] {
            stream = dvk_prompt_addStreamingVocData(list, 1, 0);
            dvk_prompt_updateStreamingVocData(list, stream, kA, 2);
        });
        play();
        return stream;
    }
};

TEST_F(Stream, ChunksKeptBeforePlayingGoOutFirstThenAsTheyCome)
{
    dvk_prompt_Stream* stream = nullptr;
    newList();
    runOnVr([&] {
        stream = dvk_prompt_addStreamingVocData(list, 1, 60);
        ASSERT_NE(stream, nullptr);
        dvk_prompt_updateStreamingVocData(list, stream, kA, 2);
        dvk_prompt_updateStreamingVocData(list, stream, kB, 1);
        dvk_prompt_addPrompt(list, prompts, 9);
    });
    play();
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"aa+", "b"}));
    for (const FakeAudioItem& item : fakeAudio().log) {
        EXPECT_EQ(item.kind, "stream");
        EXPECT_EQ(item.leadMs, 60);
        EXPECT_EQ(item.vocoderType, 1);
    }
    runOnVr([&] { dvk_prompt_updateStreamingVocData(playing, stream, kC, 3); });
    settle();
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"aa+", "b", "ccc"}));
    EXPECT_TRUE(fakeAudio().calls.empty());
    runOnVr([&] {
        dvk_prompt_finalizeStreamingVocData(playing, &stream);
        EXPECT_EQ(stream, nullptr);
    });
    settle();
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"end"}));
    finish(3);
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"aa+", "b", "ccc", "P9+"}));
    finish(1);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"end", "stop+message"}));
}

TEST_F(Stream, AStreamEndedBeforePlayingIsClosedAsItStarts)
{
    newList();
    runOnVr([&] {
        dvk_prompt_Stream* empty = dvk_prompt_addStreamingVocData(list, 1, 0);
        dvk_prompt_finalizeStreamingVocData(list, &empty);
        dvk_prompt_Stream* one = dvk_prompt_addStreamingVocData(list, 1, 0);
        dvk_prompt_updateStreamingVocData(list, one, kB, 1);
        dvk_prompt_finalizeStreamingVocData(list, &one);
    });
    play();
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"+"}));
    EXPECT_EQ(fakeAudio().log[0].data, nullptr);
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"end"}));
    finish(1);
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"+", "b+"}));
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"end", "end"}));
    finish(1);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(Stream, AStopClosesTheStreamOnceAndLaterDataIsDropped)
{
    dvk_prompt_Stream* stream = playingStream();
    runOnVr([&] {
        // Data already on its way when the stop comes.
        dvk_prompt_updateStreamingVocData(playing, stream, kB, 1);
        dvk_prompt_finalizeStreamingVocData(playing, &stream);
        EXPECT_EQ(dvk_prompt_stopPromptList(playing), 0);
        EXPECT_EQ(dvk_prompt_stopPromptList(playing), 0);
    });
    settle();
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"end"}));
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"aa+"}));
    finish(1);
    EXPECT_EQ(callbacks, 0);
}

TEST_F(Stream, AChunkThatCannotBeStoredEndsThePlaying)
{
    dvk_prompt_Stream* stream = playingStream();
    runOnVr([&] {
        dvk_prompt_updateStreamingVocData(playing, stream, kB, 1);
        fakeAudio().refuseNext = 1;  // the audio cannot take the chunk
    });
    settle();
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"stop+message"}));
    EXPECT_EQ(callbacks, 1);
}

TEST(StreamDeath, AppendingToAnEndedStreamIsAProgrammingError)
{
    dvk_prompt_Stream* stream = dvk_prompt_createStreamObj(1, 0);
    dvk_prompt_stopStream(stream);
    EXPECT_DEATH(dvk_prompt_appendStream(stream, kA, 2), "ended");
    dvk_prompt_destroyStreamObj(&stream);
}

} // namespace
