// The screens the dialog modules build, end to end: each builder runs on
// "VR" with the session's string and image tables, and its screen reaches
// merrowind-sim's phone application, subscribed with "registerUI" to the
// request handler of this process, as the JSON the user interface expects.
#include "core/vcm/ui/dvk_vcm_ui.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"
#include "tests/core/vcm/ui/test_session.h"
#include "tests/oem/ui/phone_peer_fixture.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

class ScreensOnBus : public PhonePeerTest {
protected:
    void SetUp() override
    {
        liveBefore = dvk_mem_liveBlocks();
        PhonePeerTest::SetUp();
        openTestSession(&session);
        dvk_settings_setPromptMode(1);
    }

    void TearDown() override
    {
        drainVr();
        PhonePeerTest::TearDown();
        closeTestSession(&session);
        EXPECT_EQ(dvk_mem_liveBlocks(), liveBefore) << "suite blocks leaked";
    }

    // Runs the builder on "VR" and returns the next line the phone peer prints.
    std::string build(const std::function<int(dvk_vcm_Session*)>& builder)
    {
        return next([&] {
            int result = -1;
            runOnVr([&] { result = builder(&session); });
            EXPECT_EQ(result, 0);
        });
    }

    long liveBefore = 0;
    dvk_vcm_Session session{};
};

const int32_t kKeyIds[3] = {513, DVK_STR_NULL, 510};
const dvk_ui_Event kKeyEvents[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NEXT};
// "events" ends at the absent key.
const char kEvents[] = R"("events":[{"softKeyEvent":4,"softkeyText":"String 513"}])";

struct ScreenCase {
    const char* name;
    std::function<int(dvk_vcm_Session*)> build;
    std::string reply;
};

TEST_F(ScreensOnBus, EveryScreenTheModulesBuildArrivesWithItsTexts)
{
    const std::string events = kEvents;
    const ScreenCase cases[] = {
        {"command",
         [](dvk_vcm_Session* s) {
             const int32_t commands[2] = {20, 21};
             return dvk_vcm_ui_displayCommand(s, 30, 1, 586, commands, 2, kKeyIds, kKeyEvents, 5000, 10000);
         },
         R"({"command":"displayCommand","commands":["String 20","String 21"],"defaultTimeout":10000,)" + events +
             R"(,"panelBarText":"String 586","returnValue":true,"screenId":30,"startTimeout":5000,)"
             R"("titleText":"String 1"})"},
        {"command with given texts",
         [](dvk_vcm_Session* s) {
             dvk_ucs2_Char* texts[2] = {newTestText(u"call Ann"), newTestText(u"redial")};
             auto* commands = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof texts));
             commands[0] = texts[0];
             commands[1] = texts[1];
             const int result =
                 dvk_vcm_ui_displayCommandStr(s, 31, DVK_STR_NULL, 586, commands, 2, kKeyIds, kKeyEvents, 0, -1);
             dvk_ucs2_destroy(&texts[0]);
             dvk_ucs2_destroy(&texts[1]);
             return result;
         },
         R"({"command":"displayCommand","commands":["call Ann","redial"],"defaultTimeout":-1,)" + events +
             R"(,"panelBarText":"String 586","returnValue":true,"screenId":31,"startTimeout":0})"},
        {"text",
         [](dvk_vcm_Session* s) { return dvk_vcm_ui_displayText(s, 13, 2, 3, kKeyIds, kKeyEvents, 0); },
         R"({"bodyText":"String 3","command":"displayText","defaultTimeout":0,)" + events +
             R"(,"returnValue":true,"screenId":13,"titleText":"String 2"})"},
        {"text with a given body",
         [](dvk_vcm_Session* s) {
             return dvk_vcm_ui_displayTextBodyStr(s, 14, DVK_STR_NULL, newTestText(u"Ann Lee"), kKeyIds, kKeyEvents, -1);
         },
         R"({"bodyText":"Ann Lee","command":"displayText","defaultTimeout":-1,)" + events +
             R"(,"returnValue":true,"screenId":14})"},
        {"listen",
         [](dvk_vcm_Session* s) {
             const int32_t phrases[2] = {278, 271};
             return dvk_vcm_ui_displayListen(s, 15, 1, 2, TEST_IMAGE, 586, phrases, 2, kKeyIds, kKeyEvents, 100, 200);
         },
         R"({"bodyText":"String 2","command":"displayListen","defaultTimeout":200,)" + events +
             R"(,"panelBarText":"String 586","phrases":["String 278","String 271"],"returnValue":true,)"
             R"("screenId":15,"startTimeout":100,"titleText":"String 1"})"},
        {"listen with a given body",
         [](dvk_vcm_Session* s) {
             return dvk_vcm_ui_displayListenBodyStr(s, 16, 1, newTestText(u"Say a name"), -1, 586, nullptr, 0, kKeyIds,
                                                    kKeyEvents, 0, 0);
         },
         R"({"bodyText":"Say a name","command":"displayListen","defaultTimeout":0,)" + events +
             R"(,"panelBarText":"String 586","phrases":[],"returnValue":true,"screenId":16,"startTimeout":0,)"
             R"("titleText":"String 1"})"},
        {"confirmation",
         [](dvk_vcm_Session* s) {
             auto* items = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(2 * sizeof(dvk_ucs2_Char*)));
             items[0] = newTestText(u"Home");
             items[1] = newTestText(u"Work");
             dvk_ucs2_Char* name = newTestText(u"Ann");
             const int32_t phrases[1] = {100};
             const int result = dvk_vcm_ui_displayConfirmStr(s, 17, 1, name, 586, items, 2, 1, phrases, 1, kKeyIds,
                                                             kKeyEvents, 3, 4);
             dvk_ucs2_destroy(&name);
             return result;
         },
         R"({"bodyText":"Ann","command":"displayConfirm","defaultTimeout":4,"items":["Home","Work"],)"
         R"("panelBarText":"String 586","phrases":["String 100"],"returnValue":true,"screenId":17,)"
         R"("selectedItem":1,"startTimeout":3,"titleText":"String 1"})"},
        {"confirmation without a name",
         [](dvk_vcm_Session* s) {
             auto* items = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*)));
             items[0] = newTestText(u"Yes");
             return dvk_vcm_ui_displayConfirmStr(s, 18, 1, nullptr, 586, items, 1, 0, nullptr, 0, kKeyIds,
                                                 kKeyEvents, 0, 0);
         },
         R"({"command":"displayConfirm","defaultTimeout":0,"items":["Yes"],"panelBarText":"String 586",)"
         R"("phrases":[],"returnValue":true,"screenId":18,"selectedItem":0,"startTimeout":0,)"
         R"("titleText":"String 1"})"},
        {"adapt",
         [](dvk_vcm_Session* s) { return dvk_vcm_ui_displayAdapt(s, 19, 1, 2, 586, 3, kKeyIds, kKeyEvents, 0, 7); },
         R"({"command":"displayAdapt","defaultTimeout":7,"returnValue":true,"screenId":19,"startTimeout":0,)"
         R"("titleText":"String 1"})"},
        {"menu",
         [](dvk_vcm_Session* s) {
             const int32_t items[2] = {20, 21};
             const int32_t sub[1] = {30};
             const int32_t* const subItems[2] = {sub, nullptr};
             const int32_t counts[2] = {1, 0};
             return dvk_vcm_ui_displayMenu(s, 20, 1, DVK_STR_NULL, items, 2, 1, subItems, counts, kKeyIds,
                                           kKeyEvents, -1);
         },
         R"({"command":"displayMenu","defaultTimeout":-1,"returnValue":true,"screenId":20,"titleText":"String 1"})"},
        {"radio button",
         [](dvk_vcm_Session* s) {
             const int32_t items[2] = {20, 21};
             return dvk_vcm_ui_displayRadioButton(s, 21, 1, DVK_STR_NULL, items, 2, 0, kKeyIds, kKeyEvents, 8);
         },
         R"({"command":"displayRadioButton","defaultTimeout":8,"returnValue":true,"screenId":21,)"
         R"("titleText":"String 1"})"},
        {"popup", [](dvk_vcm_Session* s) { return dvk_vcm_ui_displayPopup(s, 22, 4, 1, 2000); },
         R"({"command":"displayPopup","defaultTimeout":2000,"returnValue":true,"screenId":22,)"
         R"("titleText":"String 4"})"},
        {"bitmap", [](dvk_vcm_Session* s) { return dvk_vcm_ui_displayBitmap(s, 23, 644, 2, kKeyIds, kKeyEvents, 9); },
         R"({"command":"displayBitmap","defaultTimeout":9,"returnValue":true,"screenId":23,)"
         R"("titleText":"String 644"})"},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(build(c.build), displayed(c.reply));
    }
}

} // namespace
