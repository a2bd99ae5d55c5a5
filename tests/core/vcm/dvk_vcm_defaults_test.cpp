#include "tests/core/vcm/vcm_fixture.h"

#include "core/ce/dvk_ce_dialog.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_settings.h"

#include <vector>

namespace {

using Calls = std::vector<std::string>;

std::vector<std::pair<int32_t, int32_t>> s_selects;
int recordSelect(dvk_vcm_Session*, dvk_ui_Event event, int32_t index, dvk_msg_Message**)
{
    s_selects.push_back({event, index});
    return 0;
}

TEST_F(VcmTest, YesAndNoSelectTheFirstAndSecondItem)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.etable = {{DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
                   {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
                   {DVK_UI_EVENT_SELECT, recordSelect}};
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    s_selects.clear();
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_YES, 5, &message), 0);
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_NO, 5, &message), 0);
    EXPECT_EQ(s_selects, (std::vector<std::pair<int32_t, int32_t>>{{18, 0}, {18, 1}}));
}

TEST_F(VcmTest, SettingsItemPushesOverTheStackAndZeroStartsTheMenuAlone)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    scriptedCalls().clear();
    EXPECT_EQ(dvk_vcm_defaultEventSettingsHandler(vcms, DVK_UI_EVENT_SETTINGS, 2, &message), 0);
    EXPECT_EQ(scriptedCalls(), Calls{"pushSettingsMenuItem(2)"});
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_tutorial");
    scriptedCalls().clear();
    EXPECT_EQ(dvk_vcm_defaultEventSettingsHandler(vcms, DVK_UI_EVENT_SETTINGS, 0, &message), 0);
    EXPECT_EQ(scriptedCalls(), Calls{"newSettings"});
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_settings");
    EXPECT_EQ(vcms->moduleCount, 1);
}

TEST_F(VcmTest, HelpShowsTheGateCommandsTexts)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    const struct {
        int32_t gate;
        const char* call;
    } cases[] = {{13, "newHelp(90, 569, 315, 513, 3)"}, {28, "newHelp(39, 563, 309, 513, 3)"},
                 {2, "newHelp(297, -1, -1, 513, 3)"}};
    for (const auto& c : cases) {
        dvk_vcm_setGateCmd(vcms, c.gate);
        scriptedCalls().clear();
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_defaultEventHelpHandler(vcms, DVK_UI_EVENT_HELP, 0, &message), 0);
        EXPECT_EQ(scriptedCalls(), Calls{c.call});
        EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_help");
    }
}

TEST_F(VcmTest, ConfirmationFollowsModeAndSensitivity)
{
    dvk_nbest_List* split = names(2, {{"Ann", nullptr}, {"Bob", nullptr}});  // confidence 40
    dvk_nbest_List* agreed = names(2, {{"Ann", nullptr}, {"Ann", nullptr}});
    for (int32_t mode : {0, 1, 3}) {
        dvk_settings_setChoiceListConfirmMode(mode);
        EXPECT_EQ(dvk_vcm_needNameConfirmation(split), mode == 1 ? 0 : 1) << mode;
        EXPECT_EQ(dvk_vcm_needNameConfirmation(agreed), mode == 1 ? 0 : 1) << mode;
    }
    dvk_settings_setChoiceListConfirmMode(2);
    const struct {
        int32_t sensitivity;
        int32_t split, agreed, number;
    } cases[] = {{0, 0, 0, 0}, {1, 1, 0, 1}, {2, 1, 0, 1}, {3, 1, 1, 1}};
    for (const auto& c : cases) {
        dvk_settings_setSensitivityMode(c.sensitivity);
        EXPECT_EQ(dvk_vcm_needNameConfirmation(split), c.split) << c.sensitivity;
        EXPECT_EQ(dvk_vcm_needNameConfirmation(agreed), c.agreed) << c.sensitivity;
        // Without a slot entries never agree.
        EXPECT_EQ(dvk_vcm_needNumberConfirmation(agreed), c.number) << c.sensitivity;
    }
    dvk_nbest_destroy(&split);
    dvk_nbest_destroy(&agreed);
}

TEST_F(VcmTest, ConcatStringsJoinsTextsAndAMissingOneGivesNull)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    const dvk_ucs2_Char space[] = {u' ', 0};
    dvk_ucs2_Char* joined = dvk_vcm_concatStrings(vcms, space, 2, 53, -1);
    EXPECT_EQ(latin1(joined), "String 2 String 53");
    dvk_ucs2_destroy(&joined);
    EXPECT_EQ(dvk_vcm_concatStrings(vcms, space, 2, 4096, -1), nullptr);
}

TEST_F(VcmTest, EngineCallsWithoutAnEngine)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    EXPECT_EQ(dvk_vcm_updateContactsComplete(vcms), 1);
    EXPECT_EQ(dvk_vcm_contactsUpdatedSuccessfully(vcms), 1);
    EXPECT_EQ(dvk_vcm_musicUpdatedSuccessfully(vcms), 1);
    dvk_vcm_setWaitingForUpdateContactsComplete(vcms, 1);
    EXPECT_EQ(dvk_ce_isSystemAdapted(), 0);
    EXPECT_EQ(dvk_ce_endAdaptationSession(1), 1);
    dvk_ce_startAdaptation();
    dvk_ce_resetAdaptation();
    dvk_ce_sessionOutOfMemory(nullptr);
    // The default recording message drops its phrase with it.
    dvk_msg_Message* message = dvk_ce_getStartAdaptationMsg(dvk_ucs2_cvtFromLatin1("call"));
    ASSERT_NE(message, nullptr);
    dvk_msg_receive(message);
}

int s_scripted = 0;
int32_t scriptedComplete(void)
{
    return 0;
}
int32_t scriptedFlag(void)
{
    return ++s_scripted;
}

TEST_F(VcmTest, AnInstalledTableTakesTheCalls)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_ce_DialogCalls calls = {[](dvk_msg_Address) {}, scriptedComplete, [](int32_t) {},
                                scriptedFlag,            scriptedFlag,     scriptedFlag,
                                [] {},                   [] {},            [](int32_t) { return 0; },
                                [](dvk_ucs2_Char* phrase) -> dvk_msg_Message* {
                                    dvk_ucs2_destroy(&phrase);
                                    return nullptr;
                                }};
    dvk_ce_setDialogCalls(&calls);
    EXPECT_EQ(dvk_vcm_updateContactsComplete(vcms), 0);
    EXPECT_EQ(dvk_vcm_contactsUpdatedSuccessfully(vcms), 1);
    EXPECT_EQ(dvk_vcm_musicUpdatedSuccessfully(vcms), 2);
    EXPECT_EQ(dvk_ce_endAdaptationSession(0), 0);
    dvk_ce_setDialogCalls(nullptr);
    EXPECT_EQ(dvk_vcm_updateContactsComplete(vcms), 1);
}

}  // namespace
