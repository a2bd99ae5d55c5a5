// Prompt lists through the real suite audio into "voicedial": what the
// player writes is exactly what the list's items hold.
#include "core/prompt/dvk_prompt.h"

#include "tests/support/amr_fixture.h"
#include "tests/support/audio_session.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> s_done{0};

class PromptAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        s_done = 0;
    }
    // Plays the list on the suite thread and waits for its callback and for
    // the player to finish writing.
    void playAndWait(dvk_prompt_List* list)
    {
        runOnVr([&] {
            EXPECT_EQ(dvk_prompt_playPromptList(list, [](dvk_prompt_List*) { ++s_done; }), 0);
        });
        EXPECT_TRUE(waitFor([] { return s_done.load() == 1; }));
        waitFor([] { return false; }, std::chrono::milliseconds(300));
        EXPECT_EQ(s_done.load(), 1);
    }
};

TEST_F(PromptAudio, AnEarconIsWrittenSampleForSample)
{
    std::vector<int16_t> expected;
    dvk_prompt_List* list = nullptr;
    runOnVr([&] {
        dvk_prompt_Earcon* earcon = dvk_prompt_createEarcon(1);
        ASSERT_NE(earcon, nullptr);
        expected.assign(dvk_prompt_getEarconData(earcon),
                        dvk_prompt_getEarconData(earcon) + dvk_prompt_getEarconDataLength(earcon));
        dvk_prompt_destroyEarcon(&earcon);
        list = dvk_prompt_createPromptList(nullptr, 100, 0);
        dvk_prompt_addEarcon(list, 1);
    });
    ASSERT_EQ(expected.size(), 1280u);
    playAndWait(list);
    EXPECT_EQ(played(), expected);
}

TEST_F(PromptAudio, ThreeAmrPromptsPlayAsOneItemWould)
{
    const auto frames = amrToneFrames(30, MR122);
    PromptFileWriter w;
    for (int p = 0; p < 3; ++p) {
        std::vector<std::vector<uint8_t>> part(frames.begin() + 10 * p, frames.begin() + 10 * (p + 1));
        const std::vector<uint8_t> bytes = amrJoined(part);
        w.prompts.push_back({std::string(bytes.begin(), bytes.end()), std::nullopt});
    }
    writeTableFile("vprm_enus.bin", w.bytes());
    dvk_prompt_Table* table = nullptr;
    dvk_prompt_List* list = nullptr;
    runOnVr([&] {
        table = dvk_prompt_createPromptTable(5);
        ASSERT_NE(dvk_prompt_loadPromptTableRange(table, 1), nullptr);
        list = dvk_prompt_createPromptList(nullptr, 100, 0);
        for (int32_t id : {4096, 4097, 4098})
            dvk_prompt_addPrompt(list, table, id);
        EXPECT_EQ(dvk_prompt_checkErrorFlag(list), 0);
    });
    playAndWait(list);
    std::vector<int16_t> expected = amrLibraryDecode(frames);
    expected.resize(expected.size() + 320, 0);
    EXPECT_EQ(played(), expected);
    runOnVr([&] { dvk_prompt_destroyPromptTable(&table); });
}

} // namespace
