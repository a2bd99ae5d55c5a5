// One whole voice-command session on the central engine: the service runs in
// this process on a private bus against merrowind-sim's peers (settings,
// phone, application manager, contacts), with written language files and
// configuration and the real prompt lists, wrapper and suite audio. Only the
// recognition engine (scripted results) and the dialog modules (a tutorial
// handing over to a root that shows its commands and calls whom it hears)
// stand in.
#include "core/ce/dvk_ce.h"
#include "core/constraints/dvk_constraints.h"
#include "core/nbest/dvk_nbest.h"
#include "core/vcm/ui/dvk_vcm_ui.h"
#include "sdk/common/dvk_pbook.h"
#include "tests/core/ce/ce_fixture.h"
#include "tests/src/session/session_fixture.h"
#include "tests/support/temp_root.h"

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

// The root's command screen: three commands, no soft key but settings.
int showCommands(dvk_vcm_Session* vcms)
{
    const int32_t commands[] = {100, 101, 102};
    const int32_t softkeys[3] = {103, DVK_STR_NULL, 104};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_TUTORIAL, DVK_UI_EVENT_NONE, DVK_UI_EVENT_SETTINGS};
    return dvk_vcm_ui_displayCommand(vcms, static_cast<dvk_ui_ScreenId>(1), 105, 106, commands, 3, softkeys, events,
                                     0, 10000);
}

// The name heard (slot 20), looked up as the phonebook merges it: the call
// notification with its first number, and the session is over.
int callWhomItHeard(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    scriptedCalls().push_back("vcm_root.handleResult");
    const dvk_ucs2_Char* name = nbest != nullptr ? dvk_nbest_getStr(nbest, 0, 20) : nullptr;
    dvk_pbook_Entry* entry = nullptr;
    int failed = name == nullptr || dvk_pbook_getMergedEntry(name, nullptr, nullptr, &entry) <= 0;
    if (!failed) {
        *message = dvk_app_newNotifyCallCmdRspMsg(vcms->cmdList.notifyCallCmd, name,
                                                  dvk_pbook_getLocationString(entry, 0),
                                                  dvk_pbook_getPhoneNumberString(entry, 0), vcms->userContext);
        failed = *message == nullptr;
    }
    dvk_pbook_destroyEntry(&entry);
    dvk_nbest_destroy(&nbest);
    dvk_vcm_clearStack(vcms);
    return failed;
}

class EngineSession : public PlatformSession {
protected:
    void SetUp() override
    {
        PlatformSession::SetUp();
        // The phonebook counts, the suite, the recorder, player and capture
        // are the service's own.
        QrvContactCountsStep::set(nullptr);
        QrvSuiteStep::set(nullptr);
        QrvRecorderControl::set(nullptr);
        QrvPlayerControl::set(nullptr);
        QrvMediaCaptureControl::set(nullptr);
        prepareAudioRoot();  // the recorder's pipe directory, the sound device's file
        const std::string wav = wexRootPath("/capture.wav");
        writeBytes(wav, wavImage(std::vector<int16_t>(8000, 100)));
        g_setenv("MERROWIND_CAPTURE_WAV", wav.c_str(), TRUE);
        m_data.writeFile("/com.orvel.person_1.json", kPersons);
        gchar* calls = nullptr;
        gsize size = 0;
        ASSERT_TRUE(g_file_get_contents(MERROWIND_SIM_DATA_DIR "/com.orvel.phonecall_1.json", &calls, &size, nullptr));
        m_data.writeFile("/com.orvel.phonecall_1.json", std::string(calls, size));
        g_free(calls);

        resetFakeBrevit();
        writeEnglishSuiteFiles();
        fakeBrevit().modelClasses["call"] = {u"call"};
        fakeBrevit().choices = {FakeChoice{"callName", {{"call", u"call"}, {"names", u"Ann"}}}};
        fakeBrevit().confidence = 100;
        scriptedCalls().clear();

        // The tutorial plays nothing and hands over with a restart, which
        // puts the root in its place.
        m_tutorial.vtable.GetContinuation = [](dvk_vcm_Session*, dvk_msg_Message** message,
                                               dvk_msg_Address* recipient, dvk_msg_Address) {
            *recipient = dvk_msg_getDvkAddr();
            *message = dvk_ce_newHandleEventMsg(DVK_UI_EVENT_RESTART, 0);
            return *message == nullptr ? 1 : 0;
        };
        m_root.vtable.Init = showCommands;
        m_root.vtable.handleResult = callWhomItHeard;
        m_root.hasConstraints = true;
        m_root.constraints = {&callName_constraint};
        scriptedUseSpec("newTutorial", &m_tutorial);
        scriptedUseSpec("newRoot", &m_root);
        dvk_ce_install();
    }

    void TearDown() override
    {
        dvk_ce_uninstall();
        scriptedUseSpec("newTutorial", nullptr);
        scriptedUseSpec("newRoot", nullptr);
        g_unsetenv("MERROWIND_CAPTURE_WAV");
        PlatformSession::TearDown();
    }

    std::vector<const char*> dataArgs() { return {"--data", m_data.path().c_str()}; }

    ScriptedModule m_tutorial, m_root;
    TempRoot m_data{false};
};

TEST_F(EngineSession, CallingAContactByVoiceLaunchesThePhoneWithItsNumberAndEndsWithoutChirp)
{
    auto sim = startSim(R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":true})",
                        dataArgs());
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(20000), 0);

    EXPECT_EQ(scriptedCalls(), (std::vector<std::string>{"newTutorial(0)", "newRoot(0)", "vcm_root.handleResult"}));
    // The root's command screen reached the phone.
    EXPECT_FALSE(linesWith(*sim, R"("displayCommand")").empty()) << ::testing::PrintToString(sim->lines);
    const long at = sim->waitLine(R"("method":"launch","params":{"id":"com.orvel.app.phone","params":{"number")");
    ASSERT_GE(at, 0) << ::testing::PrintToString(sim->lines);
    EXPECT_EQ(sim->lines[static_cast<size_t>(at)],
              R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"number":"5550100"}}})");
    EXPECT_TRUE(log.contains("call initiated.  Shutting down normally."));
    EXPECT_FALSE(log.contains("DownChirpAndExitPimpl")) << "no chirp";
}

}  // namespace
