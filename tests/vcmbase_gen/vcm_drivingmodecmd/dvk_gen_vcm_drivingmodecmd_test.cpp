// Driving mode said at the root: stored off for gate command 31, on for any
// other, and announced as stored; ok ends the session, back goes to the root.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "sdk/common/dvk_settings.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class DrivingModeTest : public DialogHarness {
protected:
    // The root with the driving-mode gate second, then that gate said.
    void sayDrivingMode(int32_t gateCmd)
    {
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, gateCmd}});
        start();
        take();
        result(said(1));
    }
};

TEST_F(DrivingModeTest, StoresAndAnnouncesTheMode)
{
    const struct {
        int32_t gateCmd, stored;
        Log log;
    } cases[] = {
        {31, 0,
         {"step vcm_drivingmodeComplete", "text 91 title 547 body \"String 186\n\nString 184\" keys 500/7 -1/0 492/4 time 10000",
          "addPrompt 177", "addEarcon 6"}},
        {32, 1,
         {"step vcm_drivingmodeComplete", "text 91 title 546 body \"String 185\" keys 500/7 -1/0 492/4 time 10000",
          "addPrompt 176", "addEarcon 6"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gateCmd);
        dvk_settings_setDrivingMode(1 - c.stored);
        sayDrivingMode(c.gateCmd);
        EXPECT_EQ(dvk_settings_getDrivingMode(), c.stored);
        EXPECT_EQ(take(), c.log);
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(DrivingModeTest, OkExitsAndBackRestarts)
{
    sayDrivingMode(32);
    take();
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    dvk_vcm_endSession(&vcms);

    sayDrivingMode(31);
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
    EXPECT_EQ(dvk_vcm_getGateCmd(vcms), 0);
}

TEST_F(DrivingModeTest, AnnouncementReadsTheStoredMode)
{
    open();
    dvk_vcm_setGateCmd(vcms, 31);  // the gate does not decide: the stored mode does
    dvk_settings_setDrivingMode(1);
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newDrivingModeComplete(vcms)), 0);
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    EXPECT_EQ(take(), (Log{"text 91 title 546 body \"String 185\" keys 500/7 -1/0 492/4 time 10000"}));
}

}  // namespace
