// Reading the adaptation phrases: progress, prompts, a rejected phrase asked
// once more, giving up after two rejections, back, pause, and the end that
// keeps the adapted models. Each recording request answers as scripted.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "sdk/common/dvk_ui.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const int32_t kPhrases[30] = {103, 114, 125, 127, 128, 129, 130, 131, 132, 104, 105, 106, 107, 108, 109,
                              110, 111, 112, 113, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 126};

std::string screenOf(int32_t phrase, bool paused = false)
{
    return "adapt 104 title 532 second 220 bar 586 phrase " + std::to_string(phrase) +
           (paused ? " keys 495/13" : " keys 502/12") + " -1/0 492/4 start -1 time -1";
}

class PleaseSayTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        ceScript().endAdaptation = 0;
    }
    // A string file with these ids' texts empty, in place of the harness's.
    void emptyStrings(std::initializer_list<int32_t> ids)
    {
        StringFileWriter writer;
        writer.strings = numberedStrings(u"String ", 679);
        for (int32_t id : ids)
            writer.strings[id] = u"";
        writer.textLength = 16812;
        writeTableFile("str_enus.bin", writer.bytes());
        dvk_string_destroyStringTable(&strings);
        strings = dvk_string_createStringTable(5);
        ASSERT_NE(strings, nullptr);
        ASSERT_NE(dvk_string_loadStringTableRange(strings, 0), nullptr);
    }
    // The adaptation menu of a session opened for adaptation, then the
    // instructions and START.
    void startPhrases()
    {
        start(2);
        event(DVK_UI_EVENT_SELECT, 0);
        take();
        event(DVK_UI_EVENT_START);
    }
    // Records the progress bar at every step on the phrases.
    void watchProgress()
    {
        auto base = driver.beginStep;
        driver.beginStep = [this, base](VcmDriver* d) {
            const bool going = base(d);
            if (top() == "vcm_adaptation_pleasesay") {
                int32_t current = 0;
                int32_t maximum = 0;
                dvk_ui_getProgressBarInfo(&current, &maximum);
                progress.push_back(std::to_string(current) + "/" + std::to_string(maximum));
            }
            return going;
        };
    }
    std::vector<std::string> progress;
};

TEST_F(PleaseSayTest, FirstPhrase)
{
    startPhrases();
    EXPECT_EQ(take(), (Log{"startAdaptation", "step vcm_adaptation_pleasesay", screenOf(103), "addPrompt 377",
                           "addPrompt 1", "addEarcon 1", "record String 103"}));
}

TEST_F(PleaseSayTest, AllPhrasesReadKeepTheAdaptation)
{
    watchProgress();
    ceScript().recordingAnswers.assign(30, DVK_UI_EVENT_NEXT);
    startPhrases();
    std::vector<std::string> expected;
    for (int i = 1; i <= 30; i++)
        expected.push_back(std::to_string(i) + "/30");
    EXPECT_EQ(progress, expected);
    const Log log = take();
    for (int i = 0; i < 30; i++) {
        const std::string record = "record String " + std::to_string(kPhrases[i]);
        EXPECT_NE(std::find(log.begin(), log.end(), record), log.end()) << record;
        const std::string prompt = "addPrompt " + std::to_string(kPhrases[i] - 102);
        EXPECT_NE(std::find(log.begin(), log.end(), prompt), log.end()) << prompt;
    }
    const Log end(log.end() - 8, log.end());
    EXPECT_EQ(end, (Log{"record String 126", "step vcm_adaptation_adapting", "popup 106 body 517 type 0 time -1",
                        "addPrompt 31", "endAdaptationSession 1", "step vcm_settings_complete",
                        "popup 108 body 147 type 1 time 2000", "addStringId 147"}));
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(top(), "vcm_adaptation");
    EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
}

TEST_F(PleaseSayTest, AnEmptyPhraseEndsTheSeries)
{
    emptyStrings({105});
    watchProgress();
    ceScript().recordingAnswers.assign(10, DVK_UI_EVENT_NEXT);
    startPhrases();
    ASSERT_EQ(progress.size(), 10u);
    EXPECT_EQ(progress.front(), "1/10");
    EXPECT_EQ(progress.back(), "10/10");
    EXPECT_EQ(top(), "vcm_settings_complete");
}

// Without a first phrase there is nothing to read: no adaptation starts and
// the user stays at the menu.
TEST_F(PleaseSayTest, NoPhrasesLeaveTheUserAtTheMenu)
{
    emptyStrings({103});
    startPhrases();
    const Log log = take();
    EXPECT_EQ(std::find(log.begin(), log.end(), "startAdaptation"), log.end());
    EXPECT_EQ(log.at(0), "step vcm_adaptation");
    EXPECT_EQ(top(), "vcm_adaptation");
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(dvk_gen_vcm_newAdaptationPleaseSay(vcms), nullptr);
}

TEST_F(PleaseSayTest, ARejectedPhraseIsAskedOnceMore)
{
    startPhrases();
    take();
    event(DVK_UI_EVENT_CANCEL);
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_pleasesay", screenOf(103), "addPrompt 378", "addPrompt 377",
                           "addPrompt 1", "addEarcon 1", "record String 103"}));
    // Taken after all: the next phrase again allows one retry.
    event(DVK_UI_EVENT_NEXT);
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_pleasesay", screenOf(114), "addPrompt 377", "addPrompt 12",
                           "addEarcon 1", "record String 114"}));
    event(DVK_UI_EVENT_CANCEL);
    EXPECT_EQ(take().at(2), "addPrompt 378");
    EXPECT_EQ(top(), "vcm_adaptation_pleasesay");
}

TEST_F(PleaseSayTest, TwoRejectionsInARowGiveUp)
{
    for (dvk_ui_Event close : {DVK_UI_EVENT_OK, DVK_UI_EVENT_TIMEOUT}) {
        ceScript().recordingAnswers = {DVK_UI_EVENT_CANCEL, DVK_UI_EVENT_CANCEL};
        startPhrases();
        EXPECT_EQ(top(), "vcm_adaptation_timeout");
        const Log log = take();
        EXPECT_EQ(Log(log.end() - 3, log.end()),
                  (Log{"step vcm_adaptation_timeout", "popup 110 body 252 type 2 time 2000", "addStringId 252"}));
        event(close);
        const Log back = take();
        EXPECT_EQ(back.at(0), "endAdaptationSession 0");
        EXPECT_EQ(top(), "vcm_adaptation");
        EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(PleaseSayTest, BackStepsToThePreviousPhraseOrAbandons)
{
    ceScript().recordingAnswers.assign(4, DVK_UI_EVENT_NEXT);
    startPhrases();
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().at(1), screenOf(kPhrases[3]));
    for (int i = 0; i < 3; i++)
        event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().back(), "record String 103");
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().at(0), "endAdaptationSession 0");
    EXPECT_EQ(top(), "vcm_adaptation");
}

TEST_F(PleaseSayTest, AFailedEndIsPassedOn)
{
    ceScript().endAdaptation = 1;
    startPhrases();
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(driver.lastResult, 1);
}

TEST_F(PleaseSayTest, PauseRecordsNothingUntilContinue)
{
    startPhrases();
    take();
    event(DVK_UI_EVENT_PAUSE);
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_pleasesay", screenOf(103, true)}));
    event(DVK_UI_EVENT_CONTINUE);
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_pleasesay", screenOf(103), "addPrompt 377", "addPrompt 1",
                           "addEarcon 1", "record String 103"}));
}

TEST_F(PleaseSayTest, RestartAbandonsForTheRoot)
{
    startPhrases();
    take();
    event(DVK_UI_EVENT_RESTART);
    const Log log = take();
    EXPECT_EQ(log.at(0), "endAdaptationSession 0");
    EXPECT_EQ(top(), "vcm_root");
}

}  // namespace
