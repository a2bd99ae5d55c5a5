// The whole dialog lane in a voice-command session: the service runs in this
// process on a private bus against merrowind-sim's peers (settings, phone
// application, application manager, contacts with Ann), with the central
// engine, dialog manager, grammar builders, prompt lists (a written prompt
// file, audio to the desktop device) and the real dialog modules. Only the
// recognition engine is scripted. The user walks from the tutorial through
// the settings menu to a changed prompt mode and back to the root menu, and
// then calls Ann by voice.
#include "core/ce/dvk_ce.h"
#include "oem/dvk_oem_dirs.h"
#include "oem/dvk_oem_settings.h"
#include "tests/core/ce/ce_fixture.h"
#include "tests/src/session/session_fixture.h"
#include "tests/support/temp_root.h"

#include <atomic>
#include <memory>
#include <fstream>
#include <iterator>

CeAnswers& ceAnswers()
{
    static CeAnswers answers;
    return answers;
}

namespace {

// Ann, with one mobile number, is the phone's only contact.
const char kPersons[] =
    R"({"kind": {"id": "com.orvel.person:1", "owner": "com.orvel.contacts"}, "records": [)"
    R"({"_id": "pa", "_rev": 1, "name": {"givenName": "Ann"}, "names": [{"givenName": "Ann"}], )"
    R"("phoneNumbers": [{"value": "5550100", "type": "type_mobile"}]}]})";

// While set, every recognition goes on listening (no frame ready) until a
// user interface event stops it; once cleared, the next recognition ends at
// its first frame with the scripted choice.
std::atomic<bool> s_holdListening{false};

class DialogLaneSession : public PlatformSession {
protected:
    void SetUp() override
    {
        PlatformSession::SetUp();
        QrvContactCountsStep::set(nullptr);
        QrvSuiteStep::set(nullptr);
        QrvRecorderControl::set(nullptr);
        QrvPlayerControl::set(nullptr);
        QrvMediaCaptureControl::set(nullptr);
        prepareAudioRoot();
        // Thirty seconds of capture: the held recognition never runs out of
        // input while the user is in the settings.
        const std::string wav = wexRootPath("/capture.wav");
        writeBytes(wav, wavImage(std::vector<int16_t>(240000, 100)));
        g_setenv("MERROWIND_CAPTURE_WAV", wav.c_str(), TRUE);
        m_data.writeFile("/com.orvel.person_1.json", kPersons);
        gchar* calls = nullptr;
        gsize size = 0;
        ASSERT_TRUE(g_file_get_contents(MERROWIND_SIM_DATA_DIR "/com.orvel.phonecall_1.json", &calls, &size, nullptr));
        m_data.writeFile("/com.orvel.phonecall_1.json", std::string(calls, size));
        g_free(calls);

        resetFakeBrevit();
        writeEnglishSuiteFiles();
        // One gate: the call command (gate command 1), said "String 200",
        // shown as "String 400", on the call-by-name grammar (constraint 2).
        ConfigFileWriter config;
        config.gates = {{{200}, {}, 400, 2, 68, 1}};
        writeTableFile("dvk_config_gen.bin", config.bytes());
        fakeBrevit().choices = {FakeChoice{"VSearch #0", {{"VSearch #0", u"String 200"}, {"names", u"Ann"}}}};
        fakeBrevit().confidence = 100;
        fakeBrevit().onCall = [](const std::string& line) {
            if (line == "ProcessFrame" && s_holdListening)
                fakeBrevit().frameStatuses.push_back(3);
        };
        s_holdListening = true;
        // The porting layer's defaults: tutorial on, prompt mode 1.
        oemSettingsUnitTestInit();
        dvk_ce_install();
    }

    void TearDown() override
    {
        *m_alive = false;
        dvk_ce_uninstall();
        fakeBrevit().onCall = nullptr;
        g_unsetenv("MERROWIND_CAPTURE_WAV");
        PlatformSession::TearDown();
    }

    std::vector<const char*> dataArgs() { return {"--data", m_data.path().c_str()}; }

    // As `when`, but a step still waiting when the test ends is dropped
    // instead of looking at a sim that is gone.
    void then(std::function<bool()> ready, std::function<void()> f)
    {
        std::shared_ptr<bool> alive = m_alive;
        when([alive, ready] { return !*alive || ready(); }, [alive, f] {
            if (*alive)
                f();
        });
    }

    // The screen commands the phone application received, as "command id".
    static std::vector<std::string> screens(const SimProcess& sim)
    {
        std::vector<std::string> out;
        for (const std::string& line : sim.lines) {
            if (line.find(R"("method":"registerUI")") == std::string::npos)
                continue;
            WexObject reply;
            if (WexObject::parse(line.c_str(), reply) != WexErrNone)
                continue;
            WexObject body;
            std::string command;
            int32_t screen = -1;
            if (reply.get("reply", body) != WexErrNone || body.get("command", command) != WexErrNone ||
                body.get("screenId", screen) != WexErrNone)
                continue;
            out.push_back(command + " " + std::to_string(screen));
        }
        return out;
    }
    // The phone application has received `count` screens, the last one `last`.
    static std::function<bool()> shown(const SimProcess& sim, size_t count, std::string last)
    {
        return [&sim, count, last] {
            const std::vector<std::string> s = screens(sim);
            return s.size() >= count && s[count - 1] == last;
        };
    }
    // The phone application sends a user interface event.
    static void press(SimProcess& sim, dvk_ui_Event event, int32_t index = 0)
    {
        sim.send("event " + std::to_string(event) + " " + std::to_string(index));
    }

    // A word of the settings record as the session left it on disk.
    static int32_t storedSettingsWord(int word)
    {
        std::ifstream in(dvkOemJoin(dvkOemWritableDir(), "dvk_oem_settings.dat"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int32_t value = -1;
        if (bytes.size() == 4u * DVK_OEM_SETTINGS_WORDS)
            std::memcpy(&value, bytes.data() + 4 * word, 4);
        return value;
    }

    TempRoot m_data{false};
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

constexpr int kWordTutorial = 70;
constexpr int kWordPromptMode = 73;

TEST_F(DialogLaneSession, SettingsThenACallByVoice)
{
    auto sim = startSim(R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":true})",
                        dataArgs());
    SimProcess& phone = *sim;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    // Tutorial (0), which moves on by itself, the splash (3), the root (4).
    then(shown(phone, 3, "displayCommand 4"), [&] { press(phone, DVK_UI_EVENT_SETTINGS); });
    then(shown(phone, 4, "displayMenu 93"), [&] { press(phone, DVK_UI_EVENT_SELECT, 2); });
    then(shown(phone, 5, "displayRadioButton 117"), [&] { press(phone, DVK_UI_EVENT_SELECT, 2); });
    then(shown(phone, 6, "displayPopup 118"), [&] { press(phone, DVK_UI_EVENT_OK); });
    then(shown(phone, 7, "displayMenu 93"), [&] {
        // Back in the root, the user says "call Ann".
        s_holdListening = false;
        press(phone, DVK_UI_EVENT_BACK);
    });
    EXPECT_EQ(runService(30000), 0);

    EXPECT_EQ(screens(phone),
              (std::vector<std::string>{"displayBitmap 0", "displayBitmap 3", "displayCommand 4", "displayMenu 93",
                                        "displayRadioButton 117", "displayPopup 118", "displayMenu 93",
                                        "displayCommand 4", "displayText 12"}))
        << ::testing::PrintToString(phone.lines);
    const long at = phone.waitLine(R"("method":"launch","params":{"id":"com.orvel.app.phone","params":{"number")");
    ASSERT_GE(at, 0) << ::testing::PrintToString(phone.lines);
    EXPECT_EQ(phone.lines[static_cast<size_t>(at)],
              R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"number":"5550100"}}})");
    EXPECT_TRUE(log.contains("call initiated.  Shutting down normally."));
    EXPECT_FALSE(log.contains("dvk_notifyExit: failure"));
    EXPECT_FALSE(log.contains("DownChirpAndExitPimpl")) << "no chirp after a call";
    // The new prompt mode holds at once: the menu shown again keeps its
    // screen three times as long.
    EXPECT_EQ(linesWith(phone, R"("command":"displayMenu","defaultTimeout":30000)").size(), 1u);
    EXPECT_EQ(linesWith(phone, R"("command":"displayMenu","defaultTimeout":90000)").size(), 1u);
    EXPECT_FALSE(played().empty()) << "the prompts reached the sound device";
    EXPECT_EQ(storedSettingsWord(kWordPromptMode), 2);
    EXPECT_EQ(storedSettingsWord(kWordTutorial), 0) << "the tutorial turns itself off at its end";
}

// A later session (the tutorial already seen): BACK in the root menu ends it
// with exit code 0, and the service closes with its chirp.
TEST_F(DialogLaneSession, BackInTheRootEndsTheSession)
{
    dvk_oem_settings_setTutorialEnabled(0);
    auto sim = startSim(R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":true})",
                        dataArgs());
    SimProcess& phone = *sim;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    then(shown(phone, 2, "displayCommand 4"), [&] { press(phone, DVK_UI_EVENT_BACK); });
    EXPECT_EQ(runService(30000), 0);

    EXPECT_EQ(screens(phone), (std::vector<std::string>{"displayBitmap 3", "displayCommand 4"}))
        << ::testing::PrintToString(phone.lines);
    EXPECT_TRUE(linesWith(phone, R"("params":{"number")").empty());
    EXPECT_FALSE(log.contains("dvk_notifyExit: failure"));
    EXPECT_TRUE(log.contains("doDownChirpAndExitUI: entered"));
    EXPECT_TRUE(log.contains("~DownChirpAndExitPimpl"));
    EXPECT_EQ(storedSettingsWord(kWordPromptMode), 1);
}

}  // namespace
