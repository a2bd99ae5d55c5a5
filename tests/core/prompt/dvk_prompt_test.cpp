#include "core/prompt/dvk_prompt.h"

#include "tests/core/prompt/prompt_list_fixture.h"

#include "sdk/common/dvk_audio.h"

#include <algorithm>
#include <initializer_list>

namespace {

std::vector<std::string> ids(std::initializer_list<int> list)
{
    std::vector<std::string> out;
    for (int id : list)
        out.push_back(promptAudio(static_cast<size_t>(id)));
    return out;
}

std::vector<std::string> withMessageOnLast(std::vector<std::string> pieces)
{
    pieces.back() += "+";
    return pieces;
}

using PromptList = PromptListTest;

TEST_F(PromptList, DigitsAreSpokenAsTheNumberIsFormattedForTheRegion)
{
    const struct {
        std::u16string number;
        std::vector<std::string> prompts;
    } cases[] = {
        {u"6505551234", ids({113, 403, 112, 403, 107, 403, 403, 403, 112, 403, 112, 403, 112, 403, 403, 403, 108, 403,
                             109, 403, 110, 403, 111, 403})},
        {u"+1 650", ids({380, 403, 108, 403, 403, 403, 113, 403, 112, 403, 107, 403})},
        {u"#*x9", ids({381, 403, 407, 403, 181, 403, 116, 403})},
        {u"", {}},
    };
    fakeOemSettings().language = 5;
    fakeOemSettings().dialingRegion = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.number.begin(), c.number.end()));
        newList();
        runOnVr([&] {
            dvk_prompt_addDigits(list, prompts, reinterpret_cast<const dvk_ucs2_Char*>(c.number.c_str()));
            EXPECT_EQ(describeList(list), c.prompts);
            EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 0);
            dvk_prompt_destroyPromptList(&list);
        });
    }
}

TEST_F(PromptList, LocationsUseTheirPromptAndSpeakTrailingDigits)
{
    const struct {
        std::u16string location;
        std::vector<std::string> items;
    } cases[] = {
        {u"Car1", ids({446, 108, 403})},
        {u"car", ids({446})},
        {u"Mobile 2", ids({189, 109, 403})},
        {u"MOBILE -: 12", ids({189, 108, 403, 109, 403})},
        {u"Cottage 2", {"text:Cottage 2"}},
        {u"2", {"text:2"}},
        {u"Mobile2b", {"text:Mobile2b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.location.begin(), c.location.end()));
        newList();
        runOnVr([&] {
            dvk_prompt_addLocation(list, prompts, strings_, reinterpret_cast<const dvk_ucs2_Char*>(c.location.c_str()));
            EXPECT_EQ(describeList(list), c.items);
            dvk_prompt_destroyPromptList(&list);
        });
    }
}

TEST_F(PromptList, TextsOfMenuIndexDigitsAndStrings)
{
    newList();
    runOnVr([&] {
        dvk_prompt_addMenuIndex(list, 7);
        dvk_prompt_addMenuIndex(list, 12);
        dvk_prompt_addMenuIndex(list, 0);
        dvk_prompt_addDigitsText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"123"));
        dvk_prompt_addDigitsText(list, reinterpret_cast<const dvk_ucs2_Char*>(u""));
        dvk_prompt_addStringId(list, strings_, 670);
        const int32_t words[] = {5, 6};
        dvk_prompt_addWords(list, words, 2);
        EXPECT_EQ(describeList(list), (std::vector<std::string>{"text: 7", "text:12", "text: 0", "text:1 2 3 ",
                                                                 "text:", "text:Car", "words:2"}));
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 0);
        EXPECT_EQ(dvk_prompt_getPromptListCount(list), 7);
    });
}

TEST_F(PromptList, PromptsWithoutAudioAreSpokenOrSetTheErrorFlag)
{
    newList();
    runOnVr([&] {
        dvk_prompt_addPrompt(list, prompts, 4096);  // text only
        dvk_prompt_addPrompt(list, prompts, 4098);  // audio and text: the audio
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 0);
        dvk_prompt_addPrompt(list, prompts, 4097);  // neither
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 1);
        dvk_prompt_addPrompt(list, prompts, 4099);  // past the voice-search count
        dvk_prompt_addPrompt(list, prompts, 8190);
        EXPECT_EQ(describeList(list), (std::vector<std::string>{"text:Say a name", "V2"}));
    });
}

TEST_F(PromptList, APromptOfLengthNoneAddsNothingAndSetsTheErrorFlag)
{
    PromptFileWriter w;
    w.prompts = {{"A", std::nullopt}, {"B", std::nullopt}};
    w.audioLengths[1] = 0xFFFFFFFF;
    writeTableFile("vprm_enus.bin", w.bytes());
    dvk_prompt_unloadPromptTableRange(prompts, 1);
    ASSERT_NE(dvk_prompt_loadPromptTableRange(prompts, 1), nullptr);
    newList();
    runOnVr([&] {
        dvk_prompt_addPrompt(list, prompts, 4096);
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 0);
        dvk_prompt_addPrompt(list, prompts, 4097);
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 1);
        EXPECT_EQ(describeList(list), (std::vector<std::string>{"A"}));
    });
}

TEST_F(PromptList, RecordedPromptsInARowPlayAsOneRunAndATextSplitsIt)
{
    newList();
    runOnVr([&] {
        for (int id : {1, 2, 3})
            dvk_prompt_addPrompt(list, prompts, id);
    });
    play();
    EXPECT_EQ(describeQueued(), withMessageOnLast(ids({1, 2, 3})));
    finish(3);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"stop+message"}));

    resetFakeAudio();
    newList();
    runOnVr([&] {
        dvk_prompt_addPrompt(list, prompts, 1);
        dvk_prompt_addPrompt(list, prompts, 2);
        dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"hi"));
        dvk_prompt_addPrompt(list, prompts, 3);
    });
    fakeVreTts().answers = {{4, 1}};
    play();
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"P1", "P2+"}));
    finish(2);
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"P1", "P2+", "pcm:2+"}));
    finish(1);
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"P1", "P2+", "pcm:2+", "P3+"}));
    EXPECT_EQ(callbacks, 1);
    finish(1);
    EXPECT_EQ(callbacks, 2);
    EXPECT_EQ(fakeVreTts().calls, (std::vector<std::string>{"startText hi 100 0", "get 1600", "stop"}));
}

TEST_F(PromptList, EveryKindPlaysOnDeviceZeroAndRawDataStaysTheCallers)
{
    static const uint8_t vocoded[] = {'a', 'b', 'c'};
    static const int16_t samples[] = {1, 2, 3};
    newList();
    runOnVr([&] {
        dvk_prompt_addVocData(list, 1, vocoded, 3);
        dvk_prompt_addVocData(list, 1, vocoded, 2);
        dvk_prompt_addPCMData(list, samples, 3);
        dvk_prompt_addEarcon(list, 1);
        dvk_prompt_addEarcon(list, 4);
    });
    play();
    finish(2);
    finish(1);
    finish(2);
    EXPECT_EQ(describeQueued(), (std::vector<std::string>{"abc", "ab+", "pcm:3+", "pcm:1280", "pcm:1760+"}));
    for (const FakeAudioItem& item : fakeAudio().log)
        EXPECT_EQ(item.device, 0);
    EXPECT_EQ(fakeAudio().log[0].data, vocoded);
    EXPECT_EQ(fakeAudio().log[2].data, samples);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(PromptList, AStopWhilePlayingDestroysTheListOnceWithoutItsCallback)
{
    newList();
    runOnVr([&] {
        dvk_prompt_addPrompt(list, prompts, 1);
        dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"hi"));
    });
    fakeVreTts().answers = {{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}};
    play();
    finish(1);
    ASSERT_EQ(fakeAudio().queued.size(), 8u);
    runOnVr([&] { EXPECT_EQ(dvk_prompt_stopPromptList(playing), 0); });
    settle();
    EXPECT_EQ(fakeVreTts().calls.back(), "stop");
    // The audio still holds the buffers and the list's next message: the
    // list outlives them, whether they are played or dropped.
    finish(3);
    runOnVr([] { dvk_audio_stopPlayback(nullptr); });
    settle();
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(std::count(fakeVreTts().calls.begin(), fakeVreTts().calls.end(), "stop"), 1);
}

TEST_F(PromptList, StoppingAnEndedListSuppressesItsCallback)
{
    newList();
    runOnVr([&] { dvk_prompt_addPrompt(list, prompts, 1); });
    play();
    fakeAudio().slowStop = true;
    finish(1);
    // The list has ended and waits for the player to stop.
    EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"stop+message"}));
    runOnVr([&] {
        EXPECT_EQ(dvk_prompt_stopPromptList(playing), 0);
        fakeAudioStopped();
    });
    settle();
    EXPECT_EQ(callbacks, 0);
}

TEST_F(PromptList, ADoneMessageTheAudioDropsStillFreesTheList)
{
    newList();
    runOnVr([&] { dvk_prompt_addPrompt(list, prompts, 1); });
    play();
    fakeAudio().slowStop = true;
    finish(1);
    // A second stop of the audio forgets the first one's message unsent:
    // nothing would ever end the list, so dropping the message frees it.
    runOnVr([] { dvk_audio_stopPlayback(nullptr); });
    settle();
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(dvk_mem_liveBlocks(), liveAfterTables);
}

TEST_F(PromptList, AStopBeforeTheFirstRunDestroysTheList)
{
    newList();
    runOnVr([&] {
        dvk_prompt_addPrompt(list, prompts, 1);
        ASSERT_EQ(dvk_prompt_playPromptList(list, [](dvk_prompt_List*) { ++callbacks; }), 0);
        EXPECT_EQ(dvk_prompt_stopPromptList(list), 0);
        list = nullptr;
    });
    settle();
    EXPECT_TRUE(fakeAudio().log.empty());
    EXPECT_EQ(callbacks, 0);
}

TEST_F(PromptList, AnEmptyListEndsAtOnce)
{
    newList();
    play();
    EXPECT_EQ(callbacks, 1);
    EXPECT_TRUE(fakeAudio().log.empty());
}

TEST_F(PromptList, APieceTheAudioRefusesEndsTheList)
{
    for (int refused : {1, 3}) {
        SCOPED_TRACE(refused);
        resetFakeAudio();
        callbacks = 0;
        newList();
        runOnVr([&] {
            for (int id : {1, 2, 3})
                dvk_prompt_addPrompt(list, prompts, id);
        });
        fakeAudio().refuseNext = refused;
        play();
        EXPECT_EQ(callbacks, 1);
        EXPECT_EQ(fakeAudio().calls, (std::vector<std::string>{"stop+message"}));
    }
}

TEST_F(PromptList, EveryAllocationFailingInTurnLeavesNothingBehind)
{
    const long base = dvk_mem_liveBlocks();
    for (long n = 0; n < 160; ++n) {
        SCOPED_TRACE(n);
        runOnVr([] {
            resetFakeAudio();
            resetFakeVreTts();
            fakeVreTts().answers = {{-1, 0}, {-1, 1}};
        });
        callbacks = 0;
        bool played = false;
        runOnVr([&] {
            dvk_mem_failAfter(n);
            list = dvk_prompt_createPromptList(nullptr, 100, 0);
            if (list == nullptr)
                return;
            dvk_prompt_addPrompt(list, prompts, 1);
            dvk_prompt_addPrompt(list, prompts, 2);
            dvk_prompt_addEarcon(list, 0);
            dvk_prompt_addText(list, reinterpret_cast<const dvk_ucs2_Char*>(u"hi"));
            dvk_prompt_addLocation(list, prompts, strings_, reinterpret_cast<const dvk_ucs2_Char*>(u"Car 1"));
            dvk_prompt_Stream* stream = dvk_prompt_addStreamingVocData(list, 1, 0);
            if (stream != nullptr) {
                const uint8_t chunk[] = {1, 2};
                dvk_prompt_updateStreamingVocData(list, stream, chunk, 2);
                dvk_prompt_finalizeStreamingVocData(list, &stream);
            }
            if (dvk_prompt_playPromptList(list, [](dvk_prompt_List*) { ++callbacks; }) != 0) {
                dvk_prompt_destroyPromptList(&list);
                return;
            }
            list = nullptr;
            played = true;
        });
        settle();
        for (int i = 0; played && i < 10 && callbacks == 0; ++i)
            finish(fakeAudio().queued.size());
        runOnVr([] { dvk_mem_failAfter(-1); });
        if (played) {
            EXPECT_EQ(callbacks, 1);
        }
        runOnVr([] { resetFakeAudio(); });
        settle();
        EXPECT_EQ(dvk_mem_liveBlocks(), base);
    }
}

TEST(PromptListDeath, MisusesAreProgrammingErrors)
{
    dvk_prompt_List list{};
    EXPECT_DEATH(dvk_prompt_addMenuIndex(&list, 100), "n <= 99");
    EXPECT_DEATH(dvk_prompt_addMenuIndex(&list, -1), "n >= 0");
    EXPECT_DEATH(dvk_prompt_addEarcon(&list, 7), "earcon < DVK_PROMPT_EARCON_COUNT");
    EXPECT_DEATH(dvk_prompt_addPrompt(&list, reinterpret_cast<dvk_prompt_Table*>(&list), 447), "id");
    EXPECT_DEATH(dvk_prompt_addPrompt(&list, reinterpret_cast<dvk_prompt_Table*>(&list), 8191), "id");
    EXPECT_DEATH(dvk_prompt_addPCMData(&list, nullptr, 1), "samples");
}

} // namespace
