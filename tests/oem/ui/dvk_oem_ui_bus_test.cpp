// The UI function table and the display entry points against the phone
// application of merrowind-sim: the request handler of this process holds
// the sim's "registerUI" subscription, and every request must arrive there
// as the JSON the user interface expects.
#include "oem/dvk_oem_ui.h"
#include "src/QrvSettings.h"
#include "src/QrvUiStateChange.h"
#include "tests/oem/ui/phone_peer_fixture.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

const dvk_ucs2_Char* T(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

class OemUiOnBus : public PhonePeerTest {};

// Soft keys [text, none, text]: "events" ends at the absent one.
const dvk_ucs2_Char* const kKeys[3] = {T(u"Back"), nullptr, T(u"Help")};
const dvk_ui_Event kKeyEvents[3] = {DVK_UI_EVENT_BACK, DVK_UI_EVENT_NONE, DVK_UI_EVENT_HELP};
const dvk_ucs2_Char* const kTwo[2] = {T(u"call"), T(u"redial")};
const dvk_ucs2_Char* const* const kSubMenus[2] = {kTwo, kTwo};
const int32_t kSubMenuCounts[2] = {2, 2};
const uint8_t kBytes[4] = {1, 2, 3, 4};
const uint16_t kPixels[4] = {1, 2, 3, 4};

struct ScreenCase {
    const char* title;
    std::function<void()> show;
    const char* reply;
};

TEST_F(OemUiOnBus, EveryScreenArrivesAsItsJson)
{
    const ScreenCase cases[] = {
        {"command",
         [] {
             dvk_oem_ui_displayCommand(30, T(u"Voice Command"), T(u"Say a command"), kTwo, 2, kKeys, kKeyEvents, 5000,
                                       -1);
         },
         R"({"command":"displayCommand","commands":["call","redial"],"defaultTimeout":-1,)"
         R"("events":[{"softKeyEvent":4,"softkeyText":"Back"}],"panelBarText":"Say a command","returnValue":true,)"
         R"("screenId":30,"startTimeout":5000,"titleText":"Voice Command"})"},
        {"text without title",
         [] { dvk_oem_ui_displayText(13, nullptr, T(u"Ann\tVOICE MAIL"), kKeys, kKeyEvents, 0); },
         R"({"bodyText":"Ann\tVOICE MAIL","command":"displayText","defaultTimeout":0,)"
         R"("events":[{"softKeyEvent":4,"softkeyText":"Back"}],"returnValue":true,"screenId":13})"},
        {"listen without picture",
         [] {
             dvk_oem_ui_displayListen(31, T(u"T"), T(u"B"), 0, 0, nullptr, nullptr, 0, T(u"P"), kTwo, 1, kKeys,
                                      kKeyEvents, 100, 200);
         },
         R"({"bodyText":"B","command":"displayListen","defaultTimeout":200,)"
         R"("events":[{"softKeyEvent":4,"softkeyText":"Back"}],"panelBarText":"P","phrases":["call"],)"
         R"("returnValue":true,"screenId":31,"startTimeout":100,"titleText":"T"})"},
        {"adapt",
         [] {
             dvk_oem_ui_displayAdapt(32, T(u"T"), T(u"2nd"), T(u"P"), T(u"phrase"), kKeys, kKeyEvents, 1, 2);
         },
         R"({"command":"displayAdapt","defaultTimeout":2,"returnValue":true,"screenId":32,"startTimeout":1,)"
         R"("titleText":"T"})"},
        {"confirm without phrases",
         [] {
             dvk_oem_ui_displayConfirm(33, T(u"T"), T(u"B"), T(u"P"), kTwo, 2, 1, nullptr, 0, kKeys, kKeyEvents, 3,
                                       4);
         },
         R"({"bodyText":"B","command":"displayConfirm","defaultTimeout":4,"items":["call","redial"],)"
         R"("panelBarText":"P","phrases":[],"returnValue":true,"screenId":33,"selectedItem":1,"startTimeout":3,)"
         R"("titleText":"T"})"},
        {"menu",
         [] {
             dvk_oem_ui_displayMenu(34, T(u"T"), nullptr, kTwo, 2, 0, kSubMenus, kSubMenuCounts, kKeys, kKeyEvents,
                                    -1);
         },
         R"({"command":"displayMenu","defaultTimeout":-1,"returnValue":true,"screenId":34,"titleText":"T"})"},
        {"check box",
         [] { dvk_oem_ui_displayCheckBox(35, nullptr, nullptr, kTwo, kBytes, 2, 1, kKeys, kKeyEvents, 7); },
         R"({"command":"displayCheckBox","defaultTimeout":7,"returnValue":true,"screenId":35})"},
        {"radio button",
         [] { dvk_oem_ui_displayRadioButton(36, T(u"T"), nullptr, kTwo, 2, 1, kKeys, kKeyEvents, 8); },
         R"({"command":"displayRadioButton","defaultTimeout":8,"returnValue":true,"screenId":36,"titleText":"T"})"},
        {"popup", [] { dvk_oem_ui_displayPopup(37, T(u"Please wait"), 1, 2000); },
         R"({"command":"displayPopup","defaultTimeout":2000,"returnValue":true,"screenId":37,)"
         R"("titleText":"Please wait"})"},
        {"bitmap",
         [] { dvk_oem_ui_displayBitmap(38, T(u"T"), 2, 2, kBytes, kBytes, 4, kKeys, kKeyEvents, 9); },
         R"({"command":"displayBitmap","defaultTimeout":9,"returnValue":true,"screenId":38,"titleText":"T"})"},
        {"RGB bitmap",
         [] { dvk_oem_ui_displayRgbBitmap(39, nullptr, 2, 2, kPixels, nullptr, 0, kKeys, kKeyEvents, 10); },
         R"({"command":"displayRgbBitmap","defaultTimeout":10,"returnValue":true,"screenId":39})"},
        {"audio level", [] { DvkOemUI::audioLevelUpdate(57); },
         R"({"command":"audioLevel","level":57,"returnValue":true})"},
        {"install progress", [] { DvkOemUI::QrvUI_updateInstallProgress(0, 1804591); },
         R"({"bytesInstalled":0,"bytesTotal":1804591,"command":"installProgress","returnValue":true})"},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(next(c.show), displayed(c.reply));
    }
}

TEST_F(OemUiOnBus, APopupKeepsTheSoftKeyEventsOfTheScreenBelow)
{
    EXPECT_EQ(oemUIGetScreenId(), DVK_UI_SCR_MAX);
    next([] { dvk_oem_ui_displayCommand(30, nullptr, T(u"P"), kTwo, 2, kKeys, kKeyEvents, 0, 0); });
    next([] { dvk_oem_ui_displayPopup(106, T(u"Adapting"), 0, -1); });
    EXPECT_EQ(oemUIGetScreenId(), 106);
    const dvk_ui_Event* saved = oemUIGetSoftkeyEvents();
    EXPECT_EQ(std::vector<dvk_ui_Event>(saved, saved + 3), std::vector<dvk_ui_Event>(kKeyEvents, kKeyEvents + 3));
}

// On screen 12 the voicemail entry after a name is not shown.
TEST_F(OemUiOnBus, TheVoicemailEntryIsCutFromTheBodyOfScreen12)
{
    struct Case {
        const char16_t* body;
        const char* sent;
    };
    const Case cases[] = {
        {u"Ann\tVOICE MAIL", "Ann"},
        {u"Ann \t VOICE MAIL and more", "Ann"},
        {u"VOICE MAIL", ""},  // nothing before the entry: nothing of it
        {u"Ann", "Ann"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        const dvk_ucs2_Char* const none[3] = {nullptr, nullptr, nullptr};
        const dvk_ui_Event noEvents[3] = {};
        const std::string line = next([&] { dvk_oem_ui_displayText(12, nullptr, T(c.body), none, noEvents, -1); });
        EXPECT_NE(line.find(std::string(R"("bodyText":")") + c.sent + "\""), std::string::npos) << line;
    }
}

struct StateCase {
    const char* title;
    QrvSettings::AudioSourceType audio;
    std::vector<void (*)(void*)> slots;
    std::vector<std::string> sent;  // "state/scenario"
};

void toInitializingSeam(void*)
{
    QrvUiStateChange::get().toInitializing();
}

void toNeitherSeam(void*)
{
    QrvUiStateChange::get().toNeither();
}

TEST_F(OemUiOnBus, StateChanges)
{
    const StateCase cases[] = {
        {"recording then neither is calculating", QrvSettings::AUDIO_SOURCE_HANDSET,
         {DvkOemUI::uiStateChangeToRecording, DvkOemUI::uiStateChangeToNeither, DvkOemUI::uiStateChangeToNeither},
         {"recording/handset", "calculating/handset"}},
        {"playback then neither", QrvSettings::AUDIO_SOURCE_HEADSET,
         {DvkOemUI::uiStateChangeToPlayback, toNeitherSeam}, {"playback/headset", "neither/headset"}},
        {"neither while initializing", QrvSettings::AUDIO_SOURCE_HANDSET, {toNeitherSeam}, {}},
        {"initializing twice", QrvSettings::AUDIO_SOURCE_BLUETOOTH,
         {DvkOemUI::uiStateChangeToInitializing, toInitializingSeam},
         {"initializing/bluetooth", "initializing/bluetooth"}},
        {"the same state again", QrvSettings::AUDIO_SOURCE_NONE,
         {DvkOemUI::uiStateChangeToCalculating, DvkOemUI::uiStateChangeToCalculating}, {"calculating/handset"}},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.title);
        DvkOemUI::resetStateForTesting();
        QrvSettings::setAudioSourceType(c.audio);
        const size_t before = sim.lines.size();
        for (auto slot : c.slots)
            slot(nullptr);
        // A marker behind the states shows that nothing else came.
        DvkOemUI::audioLevelUpdate(-1);
        ASSERT_GE(sim.waitLine(R"("level":-1)", before), 0);
        std::vector<std::string> sent;
        for (size_t i = before; i + 1 < sim.lines.size(); ++i) {
            WexObject line;
            ASSERT_EQ(WexObject::parse(sim.lines[i], line), WexErrNone);
            WexObject reply;
            std::string state;
            std::string scenario;
            ASSERT_EQ(line.get("reply", reply), WexErrNone);
            EXPECT_EQ(reply.get("state", state), WexErrNone);
            EXPECT_EQ(reply.get("scenario", scenario), WexErrNone);
            sent.push_back(state + "/" + scenario);
        }
        EXPECT_EQ(sent, c.sent);
    }
}

// The call notification comes from the suite's thread; the launch leaves
// from "UI", and then the service shuts down.
TEST_F(OemUiOnBus, ACallLaunchesThePhoneApplicationThenShutsDown)
{
    struct Case {
        const char* number;
        const char* params;
    };
    const Case cases[] = {
        {"5550100", R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"number":"5550100"}}})"},
        {"VOICE MAIL", R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"action":"voicemail"}}})"},
    };
    int shutdowns = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const size_t before = sim.lines.size();
        runOnVr([&] { DvkOemUI::notifyCallCmd(c.number); });
        const long at = sim.waitLine(R"("method":"launch")", before);
        ASSERT_GE(at, 0);
        EXPECT_EQ(sim.lines[static_cast<size_t>(at)], c.params);
        EXPECT_EQ(end.shutdowns, ++shutdowns);
        EXPECT_EQ(end.closings, 0);
    }
}

} // namespace
