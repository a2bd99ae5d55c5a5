// The five settings radio lists, one table: each shows its stored value's
// item (a value outside the list shows the first), stores a touched item's
// value and confirms with its popup, which ok or its time-out leaves for the
// menu with the same item selected. Their own help handlers, called directly.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "sdk/common/dvk_settings.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

struct RadioRow {
    std::string module;
    int32_t menuIndex;  // its place in the settings menu with every feature on
    std::string screen;  // "radio <screen> title <t> second <b> [items]"
    std::vector<int32_t> values;  // stored by each item
    std::string popup;
    std::function<void(int32_t)> store;  // as the record would hold it
    std::function<int32_t()> stored;     // what the setter wrote
    std::string help;
};

const RadioRow kRows[] = {
    {"vcm_settings_confirmation", 0, "radio 96 title 543 second 172 [480,479,483]", {2, 0, 1},
     "popup 97 body 175 type 1 time 2000", dvk_settings_setChoiceListConfirmMode,
     dvk_settings_getChoiceListConfirmMode, "text 98 title 558 body 303"},
    {"vcm_settings_modes", 2, "radio 117 title 590 second 197 [391,397,398]", {0, 1, 2},
     "popup 118 body 199 type 1 time 2000", dvk_settings_setPromptMode, dvk_settings_getPromptMode,
     "text 119 title 565 body 310"},
    {"vcm_settings_drivingmode", 3, "radio 114 title 545 second 183 [485,484]", {0, 1},
     "popup 115 body 187 type 1 time 2000", dvk_settings_setDrivingMode, dvk_settings_getDrivingMode,
     "text 116 title 560 body 305"},
    {"vcm_settings_speakerphone", 4, "radio 126 title 642 second 247 [387,386,385]", {0, 1, 2},
     "popup 127 body 251 type 1 time 2000", dvk_settings_setSpeakerphoneMode, dvk_settings_getSpeakerphoneMode,
     "text 128 title 581 body 327"},
    // The region shown is the getter's, derived from the language; the
    // setter's value is kept apart.
    {"vcm_settings_dialingregion", 5, "radio 129 title 544 second -1 [395,396]", {0, 1},
     "popup 130 body 180 type 1 time 2000", [](int32_t v) { fakeOemSettings().dialingRegion = v; },
     [] { return fakeOemSettings().words[79]; }, "text 131 title 559 body 304"},
};

const std::string kKeys = " keys 497/14 -1/0 492/4 time 30000";

// The first line of the log with the prefix ("" when none).
std::string lineStarting(const Log& log, const std::string& prefix)
{
    for (const std::string& line : log)
        if (line.rfind(prefix, 0) == 0)
            return line;
    return "";
}

class SettingsRadioTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        for (int32_t f : {51, 52, 53})
            feature(f, 1);
    }
    // The settings menu on the root, then the row's item.
    void openRadio(const RadioRow& row)
    {
        start();
        event(DVK_UI_EVENT_SETTINGS, 0);
        event(DVK_UI_EVENT_SELECT, row.menuIndex);
        ASSERT_EQ(top(), row.module);
    }
};

TEST_F(SettingsRadioTest, ShowsTheStoredValuesItem)
{
    for (const RadioRow& row : kRows)
        for (size_t item = 0; item < row.values.size(); item++) {
            row.store(row.values[item]);
            openRadio(row);
            EXPECT_EQ(lineStarting(take(), "radio "), row.screen + " selected " + std::to_string(item) + kKeys);
            dvk_vcm_endSession(&vcms);
        }
}

TEST_F(SettingsRadioTest, ConfirmationListsItsValuesOutOfOrder)
{
    dvk_settings_setChoiceListConfirmMode(1);
    openRadio(kRows[0]);
    EXPECT_EQ(lineStarting(take(), "radio "), "radio 96 title 543 second 172 [480,479,483] selected 2" + kKeys);
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(dvk_settings_getChoiceListConfirmMode(), 0);
}

// Values the record may hold but no item has show the first item rather than
// an item past the list.
TEST_F(SettingsRadioTest, AValueOutsideTheListShowsTheFirstItem)
{
    struct Case {
        size_t row;
        int32_t value;
    };
    const Case cases[] = {{0, 7}, {1, 3}, {2, 7}, {2, -1}, {3, 3}, {4, 2}};
    for (const Case& c : cases) {
        kRows[c.row].store(c.value);
        openRadio(kRows[c.row]);
        EXPECT_EQ(lineStarting(take(), "radio "), kRows[c.row].screen + " selected 0" + kKeys) << c.value;
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(SettingsRadioTest, TouchStoresConfirmsAndReturnsToTheMenu)
{
    for (const RadioRow& row : kRows)
        for (dvk_ui_Event close : {DVK_UI_EVENT_OK, DVK_UI_EVENT_TIMEOUT})
            for (size_t item = 0; item < row.values.size(); item++) {
                row.store(row.values[(item + 1) % row.values.size()]);
                openRadio(row);
                take();
                event(DVK_UI_EVENT_SELECT, static_cast<int32_t>(item));
                EXPECT_EQ(row.stored(), row.values[item]) << row.module;
                const Log popup = take();
                ASSERT_GE(popup.size(), 2u);
                EXPECT_EQ(popup[0], "step vcm_settings_complete");
                EXPECT_EQ(popup[1], row.popup);
                event(close);
                EXPECT_EQ(top(), "vcm_settings");
                EXPECT_EQ(lineStarting(take(), "menu ").substr(0, 69),
                          "menu 93 title 640 second -1 [388,383,392,390,402,389,382] selected " +
                              std::to_string(row.menuIndex) + " ")
                    << row.module;
                dvk_vcm_endSession(&vcms);
            }
}

TEST_F(SettingsRadioTest, AnIndexOutsideTheListIsIgnored)
{
    for (const RadioRow& row : kRows) {
        row.store(row.values[0]);
        openRadio(row);
        take();
        for (int32_t index : {-1, static_cast<int32_t>(row.values.size())}) {
            event(DVK_UI_EVENT_SELECT, index);
            EXPECT_EQ(driver.lastResult, 0);
            EXPECT_EQ(top(), row.module);
            EXPECT_EQ(row.stored(), row.values[0]);
            EXPECT_EQ(lineStarting(take(), "popup "), "");
        }
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(SettingsRadioTest, SaysTitleBodyAndItems)
{
    const RadioRow& modes = kRows[1];
    openRadio(modes);
    const Log log = take();
    EXPECT_EQ(Log(log.end() - 2, log.end()), (Log{"addStringId 590", "addStringId 197"}));
    EXPECT_EQ(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 2); }).calls,
              (Log{"addStringId 398"}));
    EXPECT_TRUE(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 3); }).calls.empty());
    dvk_vcm_endSession(&vcms);
    openRadio(kRows[4]);
    const Log region = take();
    EXPECT_EQ(region.back(), "addStringId 544");
}

// The dialog's HELP goes to the tutorial first, so the modules' own help
// handlers are reached only by a direct call.
TEST_F(SettingsRadioTest, OwnHelpHandlersShowTheSettingsHelp)
{
    for (const RadioRow& row : kRows) {
        openRadio(row);
        take();
        dvk_vcm_EventHandler help = nullptr;
        for (const dvk_vcm_Etable* e = dvk_vcm_current(vcms)->etable; e->handler != nullptr; e++)
            if (e->event == DVK_UI_EVENT_HELP)
                help = e->handler;
        ASSERT_NE(help, nullptr) << row.module;
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(help(vcms, DVK_UI_EVENT_HELP, 0, &message), 0);
        EXPECT_EQ(top(), "vcm_help");
        vcmDriverStep(&driver);
        EXPECT_EQ(take().at(1), row.help + " keys -1/0 -1/0 492/4 time 30000");
        dvk_vcm_endSession(&vcms);
    }
}

}  // namespace
