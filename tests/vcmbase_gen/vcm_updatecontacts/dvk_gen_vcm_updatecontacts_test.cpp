// The contact update: passed at once when the update has finished, a
// waiting screen while it runs, and the out-of-memory state when contacts,
// or music the session needs, failed to update.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "tests/support/log_capture.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class UpdateContactsTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(1);
    }
};

TEST_F(UpdateContactsTest, WaitsWhileTheUpdateRuns)
{
    ceScript().updateComplete = 0;
    start();
    EXPECT_EQ(take(), (Log{"step vcm_tutorial", "text 1 title 615 body 224 keys -1/0 -1/0 493/2 time -1",
                           "addPrompt 379"}));
    EXPECT_EQ(ceScript().waitingMarks, (std::vector<int32_t>{1}));
    EXPECT_EQ(top(), "vcm_updateContacts");
    EXPECT_TRUE(driver.postedEvents.empty());

    // The engine posts NEXT when the update has finished.
    ceScript().updateComplete = 1;
    event(DVK_UI_EVENT_NEXT);
    const Log log = take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "step vcm_splash");
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(UpdateContactsTest, MusicInTheSessionShowsTheOtherBody)
{
    ceScript().updateComplete = 0;
    feature(27, 1);
    start();
    EXPECT_EQ(take()[1], "text 1 title 615 body 225 keys -1/0 -1/0 493/2 time -1");
}

TEST_F(UpdateContactsTest, ExitEndsTheSession)
{
    ceScript().updateComplete = 0;
    start();
    take();
    event(DVK_UI_EVENT_EXIT);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

// Which state follows a finished update.
struct Outcome {
    int32_t contacts, music, feature26, feature27;
    const char* next;
    int32_t body;  // the out-of-memory text, 0 for the root
};

std::string outOfMemoryScreen(int32_t body)
{
    return "text 2 title 607 body " + std::to_string(body) + " keys 500/7 -1/0 -1/0 time 10000";
}

TEST_F(UpdateContactsTest, FailedUpdatesLeadToOutOfMemory)
{
    const Outcome outcomes[] = {
        {1, 1, 0, 0, "vcm_root", 0},
        {1, 0, 0, 0, "vcm_root", 0},  // music not needed
        {0, 1, 0, 0, "vcm_outofmemory", 216},
        {0, 0, 1, 1, "vcm_outofmemory", 216},
        {1, 0, 1, 0, "vcm_outofmemory", 217},
        {1, 0, 0, 1, "vcm_outofmemory", 217},
    };
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(o.body);
        ceScript().contactsUpdated = o.contacts;
        ceScript().musicUpdated = o.music;
        feature(26, o.feature26);
        feature(27, o.feature27);
        driver.lastResult = 0;
        start();
        EXPECT_EQ(top(), o.next);
        EXPECT_EQ(driver.lastResult, 0);
        const Log log = take();
        if (o.body != 0) {
            EXPECT_NE(std::find(log.begin(), log.end(), outOfMemoryScreen(o.body)), log.end());
        }
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(UpdateContactsTest, NextAfterAFailedUpdateShowsOutOfMemory)
{
    ceScript().updateComplete = 0;
    start();
    ceScript().updateComplete = 1;
    ceScript().contactsUpdated = 0;
    take();
    event(DVK_UI_EVENT_NEXT);
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(top(), "vcm_outofmemory");
    const Log log = take();
    EXPECT_NE(std::find(log.begin(), log.end(), outOfMemoryScreen(216)), log.end());
}

}  // namespace
