// The settings menu in harness sessions: the items the features allow, the
// adaptation item's sub-lines, its prompts, the item pushed by a touch and by
// the settings event's index, and back by how the session began.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const std::string kKeys = " keys -1/0 -1/0 492/4 time 30000";

class SettingsTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        feature(59, 1);  // menu indexes are said
    }
    // A command session showing the settings menu on top of the root.
    void openMenu()
    {
        start();
        take();
        event(DVK_UI_EVENT_SETTINGS, 0);
    }
    static void allFeatures(int32_t on)
    {
        for (int32_t f : {51, 52, 53})
            feature(f, on);
    }
};

TEST_F(SettingsTest, ListsTheItemsTheFeaturesAllow)
{
    struct Row {
        int32_t f51, f52, f53;
        std::string items;
    };
    const Row rows[] = {
        {0, 0, 0, "[388,383,392,382]"},
        {1, 1, 1, "[388,383,392,390,402,389,382]"},
        {1, 0, 0, "[388,383,392,402,382]"},
        {0, 1, 0, "[388,383,392,389,382]"},
        {0, 0, 1, "[388,383,392,390,382]"},
    };
    for (const Row& row : rows) {
        feature(51, row.f51);
        feature(52, row.f52);
        feature(53, row.f53);
        open(1);
        take();
        vcmDriverStep(&driver);
        EXPECT_EQ(take(), (Log{"step vcm_settings", "menu 93 title 640 second -1 " + row.items +
                                                        " selected 0 sub 1:[384]" + kKeys,
                               "addStringId 640", "addMenuIndex 1", "addStringId 388"}))
            << row.items;
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(SettingsTest, AFeatureCountsOnlyWhenExactlyOne)
{
    feature(53, 2);
    start(1);
    EXPECT_EQ(take().at(1), "menu 93 title 640 second -1 [388,383,392,382] selected 0 sub 1:[384]" + kKeys);
}

TEST_F(SettingsTest, AdaptedModelsAddTheResetLine)
{
    ceScript().adapted = 1;
    start(1);
    EXPECT_EQ(take().at(1), "menu 93 title 640 second -1 [388,383,392,382] selected 0 sub 1:[384,399]" + kKeys);
}

TEST_F(SettingsTest, PromptsByLevel)
{
    allFeatures(1);
    start(1);
    take();
    const Said readout = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 4); });
    EXPECT_EQ(readout.calls, (Log{"addMenuIndex 5", "addStringId 402"}));
    for (int32_t index : {-1, 7}) {
        const Said none = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, index); });
        EXPECT_EQ(none.result, 0);
        EXPECT_TRUE(none.calls.empty()) << index;
    }
    // Every item is said at level 1: nothing in prompt modes 0 and 1.
    for (int32_t mode : {0, 1}) {
        promptMode(mode);
        EXPECT_TRUE(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); }).calls.empty());
    }
}

TEST_F(SettingsTest, SelectPushesTheItemAndTheMenuKeepsIt)
{
    allFeatures(1);
    openMenu();
    EXPECT_EQ(take().at(0), "step vcm_settings");
    struct Row {
        int32_t index;
        std::string module;
    };
    const Row rows[] = {{0, "vcm_settings_confirmation"}, {1, "vcm_adaptation"},
                        {2, "vcm_settings_modes"},        {3, "vcm_settings_drivingmode"},
                        {4, "vcm_settings_speakerphone"}, {5, "vcm_settings_dialingregion"},
                        {6, "vcm_settings_about"}};
    for (const Row& row : rows) {
        event(DVK_UI_EVENT_SELECT, row.index);
        EXPECT_EQ(take().at(0), "step " + row.module);
        event(DVK_UI_EVENT_BACK);
        const Log back = take();
        ASSERT_GE(back.size(), 2u);
        EXPECT_EQ(back[1], "menu 93 title 640 second -1 [388,383,392,390,402,389,382] selected " +
                               std::to_string(row.index) + " sub 1:[384]" + kKeys);
    }
    for (int32_t index : {-1, 7}) {
        event(DVK_UI_EVENT_SELECT, index);
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(top(), "vcm_settings");
        EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
    }
}

// The list is built again each time the menu shows: a feature switched off
// meanwhile leaves no selected item past the list.
TEST_F(SettingsTest, AShorterListSelectsTheFirstItem)
{
    allFeatures(1);
    openMenu();
    event(DVK_UI_EVENT_SELECT, 6);
    ASSERT_EQ(top(), "vcm_settings_about");
    allFeatures(0);
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().at(1), "menu 93 title 640 second -1 [388,383,392,382] selected 0 sub 1:[384]" + kKeys);
}

TEST_F(SettingsTest, PushItemCountsListedItems)
{
    struct Row {
        int32_t f51, f53, index, result;
        std::string module;
    };
    const Row rows[] = {
        {0, 1, 4, 0, "vcm_settings_drivingmode"},
        {1, 0, 4, 0, "vcm_settings_speakerphone"},
        {0, 0, 4, 0, "vcm_settings_about"},
        {0, 0, 1, 0, "vcm_settings_confirmation"},
        {0, 0, 2, 0, "vcm_adaptation"},
        {0, 0, 5, 1, "vcm_root"},
        {1, 1, 8, 1, "vcm_root"},
        // Past the list's eight slots: nothing is read there.
        {1, 1, 9, 1, "vcm_root"},
        {1, 1, 1000, 1, "vcm_root"},
    };
    for (const Row& row : rows) {
        feature(51, row.f51);
        feature(53, row.f53);
        start();
        EXPECT_EQ(dvk_gen_vcm_pushSettingsMenuItem(vcms, row.index), row.result) << row.index;
        EXPECT_EQ(top(), row.module) << row.index;
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(SettingsTest, TheSettingsEventReachesAnItem)
{
    feature(53, 1);
    start();
    event(DVK_UI_EVENT_SETTINGS, 4);
    EXPECT_EQ(top(), "vcm_settings_drivingmode");
}

TEST_F(SettingsTest, BackEndsASettingsSessionOrRestartsTheRoot)
{
    start(1);
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    EXPECT_EQ(dvk_vcm_current(vcms), nullptr);
    dvk_vcm_endSession(&vcms);

    openMenu();
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().at(0), "step vcm_root");
    EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
}

TEST_F(SettingsTest, TimeoutEndsWithTheTimeoutEarcon)
{
    start(1);
    take();
    event(DVK_UI_EVENT_TIMEOUT);
    EXPECT_NE(top(), "vcm_settings");
}

TEST_F(SettingsTest, IndexBelowOneIsAnAssertion)
{
    start();
    EXPECT_DEATH(dvk_gen_vcm_pushSettingsMenuItem(vcms, 0), "vcm_settings");
}

}  // namespace
