// A service phrase said at the root switches its setting and announces it;
// a phrase matching none changes nothing and shows an empty announcement.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "sdk/common/dvk_settings.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class EnableServiceTest : public DialogHarness {
protected:
    void sayService(int32_t phrase)
    {
        configure({{{200}, {}, 400, -1, 68, 24}, {{phrase}, {}, 401, -1, 68, 33}});
        start();
        take();
        result(said(1));
    }
    static void settingsTo(int32_t value)
    {
        dvk_settings_setBluetooth(value);
        dvk_settings_setGPS(value);
        dvk_settings_setWiFi(value);
    }
    static std::vector<int32_t> settings()
    {
        return {dvk_settings_getBluetooth(), dvk_settings_getGPS(), dvk_settings_getWiFi()};
    }
};

std::string screen(int32_t title, const std::string& body)
{
    return "text 92 title " + std::to_string(title) + " body \"" + body + "\" keys 500/7 -1/0 492/4 time 10000";
}

TEST_F(EnableServiceTest, EachPhraseSetsItsService)
{
    const struct {
        int32_t phrase, title, body, prompt;
        std::vector<int32_t> after;  // Bluetooth, GPS, WiFi
    } cases[] = {
        {88, 537, 163, 52, {0, 2, 2}},  {85, 536, 162, 51, {1, 2, 2}},  {89, 552, 193, 188, {2, 0, 2}},
        {86, 551, 192, 187, {2, 1, 2}}, {90, 649, 263, 445, {2, 2, 0}}, {87, 648, 262, 444, {2, 2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phrase);
        settingsTo(2);
        sayService(c.phrase);
        EXPECT_EQ(settings(), c.after);
        EXPECT_EQ(take(), (Log{"step vcm_enableServiceComplete", screen(c.title, "String " + std::to_string(c.body)),
                               "addPrompt " + std::to_string(c.prompt), "addEarcon 6"}));
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(EnableServiceTest, UnmatchedPhraseChangesNothing)
{
    settingsTo(2);
    sayService(91);
    EXPECT_EQ(settings(), (std::vector<int32_t>{2, 2, 2}));
    EXPECT_EQ(take(), (Log{"step vcm_enableServiceComplete", screen(-1, ""), "addEarcon 6"}));
    EXPECT_EQ(driver.lastResult, 0);
}

TEST_F(EnableServiceTest, OkExitsAndBackRestarts)
{
    sayService(87);
    take();
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    dvk_vcm_endSession(&vcms);
    sayService(87);
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
}

}  // namespace
