// The display entry points' argument rules: a broken one stops the process
// with an assertion naming the rule, the file and the entry point.
#include "oem/dvk_oem_ui_display.h"

#include "tests/support/assertion_pattern.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

const dvk_ucs2_Char* T(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

const dvk_ucs2_Char* const kKeys[3] = {T(u"Back"), nullptr, nullptr};
const dvk_ui_Event kKeyEvents[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE};
const dvk_ui_Event kOrphanEvent[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_OK, DVK_UI_EVENT_NONE};
const dvk_ucs2_Char* const kItems[2] = {T(u"a"), T(u"b")};
const dvk_ucs2_Char* const* const kSubMenus[2] = {kItems, kItems};
const int32_t kCounts[2] = {2, 2};
const uint8_t kBytes[4] = {1, 2, 3, 4};
const uint16_t kPixels[4] = {1, 2, 3, 4};

std::string assertion(const std::string& rule, const char* function)
{
    return assertionPattern(rule, "dvk_oem_ui_display.cpp", function);
}

struct RuleCase {
    const char* rule;
    const char* function;
    std::function<void()> call;
};

TEST(OemUiDisplayDeathTest, BrokenRulesStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const RuleCase cases[] = {
        {"bodyText != __null", "dvk_oem_ui_displayPopup", [] { dvk_oem_ui_displayPopup(1, nullptr, 0, 0); }},
        {"defaultTimeout >= -1", "dvk_oem_ui_displayPopup", [] { dvk_oem_ui_displayPopup(1, T(u"x"), 0, -2); }},
        {"items != __null", "dvk_oem_ui_displayRadioButton",
         [] { dvk_oem_ui_displayRadioButton(1, nullptr, nullptr, nullptr, 2, 0, kKeys, kKeyEvents, 0); }},
        {"(selectedItem >= 0) && (selectedItem < numItems)", "dvk_oem_ui_displayRadioButton",
         [] { dvk_oem_ui_displayRadioButton(1, nullptr, nullptr, kItems, 2, 2, kKeys, kKeyEvents, 0); }},
        {"itemFlags != __null", "dvk_oem_ui_displayCheckBox",
         [] { dvk_oem_ui_displayCheckBox(1, nullptr, nullptr, kItems, nullptr, 2, 0, kKeys, kKeyEvents, 0); }},
        {"(highlightedItem >= 0) && (highlightedItem < numItems)", "dvk_oem_ui_displayCheckBox",
         [] { dvk_oem_ui_displayCheckBox(1, nullptr, nullptr, kItems, kBytes, 2, -1, kKeys, kKeyEvents, 0); }},
        {"numMenuItems > 0", "dvk_oem_ui_displayMenu",
         [] { dvk_oem_ui_displayMenu(1, nullptr, nullptr, kItems, 0, 0, kSubMenus, kCounts, kKeys, kKeyEvents, 0); }},
        {"numSubMenuItems != __null", "dvk_oem_ui_displayMenu",
         [] { dvk_oem_ui_displayMenu(1, nullptr, nullptr, kItems, 2, 0, kSubMenus, nullptr, kKeys, kKeyEvents, 0); }},
        {"numItems > 0", "dvk_oem_ui_displayConfirm",
         [] {
             dvk_oem_ui_displayConfirm(1, nullptr, nullptr, T(u"p"), kItems, 0, 0, nullptr, 0, kKeys, kKeyEvents, 0,
                                       0);
         }},
        {"numPhrases >= 0", "dvk_oem_ui_displayConfirm",
         [] {
             dvk_oem_ui_displayConfirm(1, nullptr, nullptr, T(u"p"), kItems, 2, 0, nullptr, -1, kKeys, kKeyEvents, 0,
                                       0);
         }},
        {"phrase != __null", "dvk_oem_ui_displayAdapt",
         [] { dvk_oem_ui_displayAdapt(1, nullptr, nullptr, T(u"p"), nullptr, kKeys, kKeyEvents, 0, 0); }},
        {"bitmapData == __null ? (width == 0 && height == 0 && palette == __null && bitmapDataLen == 0) : "
         "(width > 0 && height > 0 && palette != __null && bitmapDataLen > 0)",
         "dvk_oem_ui_displayListen",
         [] {
             dvk_oem_ui_displayListen(1, nullptr, nullptr, 10, 0, nullptr, nullptr, 0, T(u"p"), nullptr, 0, kKeys,
                                      kKeyEvents, 0, 0);
         }},
        {"panelBarText != __null", "dvk_oem_ui_displayCommand",
         [] { dvk_oem_ui_displayCommand(1, nullptr, nullptr, kItems, 2, kKeys, kKeyEvents, 0, 0); }},
        {"(softkeyText[1] != __null) || (softkeyEvent[1] == DVK_UI_EVENT_NONE)", "dvk_oem_ui_displayText",
         [] { dvk_oem_ui_displayText(1, nullptr, nullptr, kKeys, kOrphanEvent, 0); }},
        {"updateRectangles != __null || numUpdateRectangles == 0", "dvk_oem_ui_displayRgbBitmap",
         [] { dvk_oem_ui_displayRgbBitmap(1, nullptr, 2, 2, kPixels, nullptr, 1, kKeys, kKeyEvents, 0); }},
        {"bitmapDataLen > 0", "dvk_oem_ui_displayBitmap",
         [] { dvk_oem_ui_displayBitmap(1, nullptr, 2, 2, kBytes, kBytes, 0, kKeys, kKeyEvents, 0); }},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_DEATH(c.call(), assertion(c.rule, c.function));
    }
}

// Without a user interface the requests are dropped; the rules hold.
TEST(OemUiDisplay, ArgumentsWithinTheRulesPass)
{
    const dvk_ucs2_Char* const none[3] = {nullptr, nullptr, nullptr};
    const dvk_ui_Event noEvents[3] = {};
    dvk_oem_ui_displayText(5, nullptr, nullptr, none, noEvents, -1);
    dvk_oem_ui_displayConfirm(6, nullptr, nullptr, T(u"p"), kItems, 2, 1, nullptr, 0, kKeys, kKeyEvents, 0, 0);
    dvk_oem_ui_displayListen(7, nullptr, nullptr, 0, 0, nullptr, nullptr, 0, T(u"p"), nullptr, 0, kKeys, kKeyEvents,
                             0, 0);
    dvk_oem_ui_displayListen(8, nullptr, nullptr, 2, 2, kBytes, kBytes, 4, T(u"p"), nullptr, 0, kKeys, kKeyEvents, 0,
                             0);
    EXPECT_EQ(oemUIGetScreenId(), 8);
    dvk_oem_text_input_beginTextInput(nullptr, 0, 0, 0);
    dvk_oem_text_input_stopTextInput();
    dvk_oem_text_input_getCurrentText(nullptr);
}

} // namespace
