// The bring-up's outside steps on their own: the language, the board type
// and the last call against merrowind-sim's peers on a private bus; the
// launch parameters, the audio routing's replies, the resource bundle and
// the removal of other languages' voice data without one.
#include "oem/dvk_oem_file.h"
#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_root.h"
#include "src/AudiodServiceHandler.h"
#include "src/BoardTypeSettingGetter.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLastOutgoingCallGetter.h"
#include "src/QrvResourceBundle.h"
#include "src/QrvSettings.h"
#include "src/QrvWorkQueues.h"
#include "src/UIServiceHandler.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/src/handler/handler_doubles.h"
#include "tests/src/resources_util.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>

#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

std::string json(const WexObject& value)
{
    std::string text;
    value.toJson(text);
    return text;
}

WexObject parse(const std::string& text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

// A preferences reply as the system service gives it.
std::string prefs(const char* language, const char* country, const char* enabled = "true")
{
    return std::string(R"({"locale":{"languageCode":")") + language + R"(","countryCode":")" + country +
           R"("},"enableVoiceCommand":)" + enabled + "}";
}

// Delivers a reply to a fresh language getter, as the bus would.
void answerLanguage(const std::string& reply, WexErr err = WexErrNone)
{
    auto getter = wexMakeRefCounted<QrvLangSettingGetter>(nullptr);
    WexObject object = parse(reply);
    getter->Result(object, err);
}

class BringupSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        QrvWorkQueuesInit();
        WexLogger::configure("*=0");
        QrvLangSettingGetter::resetForTesting();
        QrvResourceBundleNS::resetForTesting();
    }

    LogCapture log;
    ServiceEndDouble end;
};

// ---- the language -------------------------------------------------------------------

struct LocaleCase {
    const char* language;
    const char* country;
    int32_t id;
    const char* string;
    const char* fileString;
};

TEST_F(BringupSteps, LocalesMapToTheSuiteLanguage)
{
    const LocaleCase cases[] = {
        {"en", "ca", 5, "enus", "enus"},  {"es", "US", 7, "esmx", "esmx"}, {"es", "ES", 6, "esES", "eses"},
        {"de", "DE", 1, "deDE", "dede"},  {"en", "IE", 4, "engb", "engb"}, {"fr", "BE", 30, "frBE", "frbe"},
        {"zh", "TWN", 29, "zhTWN", "zhtwn"}, {"e", "US", 30, "eUS", "eus"},
    };
    for (const LocaleCase& c : cases) {
        SCOPED_TRACE(std::string(c.language) + "/" + c.country);
        QrvLangSettingGetter::resetForTesting();
        answerLanguage(prefs(c.language, c.country));
        EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguage(), c.id);
        EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguageString().str(), c.string);
        EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguageStringRaw().str(), std::string(c.language) + c.country);
        EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguageFileString(), c.fileString);
    }
    // Even an unknown locale is reported to the bring-up.
    EXPECT_EQ(log.count("languageSettingIdentifiedStatic: no request handler"), std::size(cases));
    EXPECT_EQ(end.total(), 0);
}

TEST_F(BringupSteps, VoiceCommandDisabledOrAbsentShutsDown)
{
    for (const char* reply : {R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":false})",
                              R"({"locale":{"languageCode":"en","countryCode":"US"}})"})
        answerLanguage(reply);
    EXPECT_EQ(end.shutdowns, 2);
    EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguage(), QrvLangSettingGetter::LANG_UNKNOWN);
    EXPECT_EQ(log.count("no request handler"), 0u);
}

TEST_F(BringupSteps, AReplyErrorOrAMissingLocaleLeavesTheLanguageUnknown)
{
    answerLanguage(prefs("de", "DE"), WexErrBus);
    answerLanguage(R"({"enableVoiceCommand":true,"locale":{"languageCode":"de"}})");
    EXPECT_EQ(QrvLangSettingGetter::getCurrentLanguage(), QrvLangSettingGetter::LANG_UNKNOWN);
    EXPECT_EQ(end.total(), 0);
    EXPECT_EQ(log.count("no request handler"), 0u);
}

TEST_F(BringupSteps, TheLanguageComesFromTheSystemServiceOnce)
{
    char path[] = "/tmp/mwprefs.XXXXXX";
    int fd = g_mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string text = prefs("en", "ca");
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    SimProcess sim({"--prefs", path});
    WexSornaService service{true, nullptr};
    ASSERT_EQ(service.open("com.orvel.test.steps"), WexErrNone);
    ASSERT_TRUE(waitForName(service.getService()->connection, "com.orvel.systemservice"));
    ASSERT_EQ(QrvLangSettingGetter::init(&service), WexErrNone);
    ASSERT_EQ(QrvLangSettingGetter::init(&service), WexErrNone);  // outstanding: nothing sent
    ASSERT_TRUE(runUntil([&] { return log.contains("found language enca (enus) (5)"); }));
    runUntil([] { return false; }, 200);
    EXPECT_EQ(log.count("found language"), 1u);
    service.close();
    g_unlink(path);
}

// ---- board type and last call ---------------------------------------------------------

class Board : public BoardTypeSettingGetter {
public:
    explicit Board(WexService* service) : BoardTypeSettingGetter(service) { start(); }
    void boardTypeSettingRead() override { ++read; }
    int read = 0;
};

class LastCall : public QrvLastOutgoingCallGetter {
public:
    explicit LastCall(WexService* service) : QrvLastOutgoingCallGetter(service) { start(); }
    void outgoingCallGetterdone() override { ++done; }
    int done = 0;
};

TEST_F(BringupSteps, BoardTypeAndLastCallFromThePlatform)
{
    SimProcess sim;
    WexSornaService service{true, nullptr};
    ASSERT_EQ(service.open("com.orvel.test.steps"), WexErrNone);
    ASSERT_TRUE(waitForName(service.getService()->connection, "com.orvel.preferences"));

    QrvSettings::setBoardType("before");
    sim.send("board-fail");
    {
        Board failing(&service);
        ASSERT_TRUE(runUntil([&] { return log.contains("Result: err="); }));
        EXPECT_EQ(failing.read, 0);
        EXPECT_EQ(QrvSettings::getBoardType().str(), "before");
    }
    sim.send("board-type castle");
    Board board(&service);
    ASSERT_TRUE(runUntil([&] { return board.read == 1; }));
    EXPECT_EQ(QrvSettings::getBoardType().str(), "castle");

    LastCall last(&service);
    ASSERT_TRUE(runUntil([&] { return last.done == 1; }));
    const QrvSettings::OutgoingCall& call = QrvSettings::getLastOutgoingCall();
    EXPECT_EQ(call.name.str(), "Carl Jensen");
    EXPECT_EQ(call.addr.str(), "6505550142");
    EXPECT_EQ(call.personAddressType.str(), "WORK");
    service.close();
}

TEST(LastOutgoingCall, AddressTypes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"type_mobile", "MOBILE"}, {"TYPE_work", "WORK"}, {"home", "home"}, {"", ""}, {"type_", ""}, {"typ", "typ"},
    };
    for (const auto& [stored, expected] : cases)
        EXPECT_EQ(QrvLastOutgoingCallGetter::addressType(stored), expected) << stored;
}

// ---- the UI launch ------------------------------------------------------------------

TEST_F(BringupSteps, LaunchParametersPerReason)
{
    LangPackDownloadDouble download;
    answerLanguage(prefs("de", "DE"));
    struct Case {
        QrvUiStep::Reason_E reason;
        const char* params;
    };
    const Case cases[] = {
        {QrvUiStep::REASON_SESSION_START, R"({"action":"voicecommand","reason":"session start"})"},
        {QrvUiStep::REASON_NO_LANG,
         R"({"URL":"merrowind-lang-dede_20110107.1.16_all.ipk","action":"voicecommand","reason":"no language pack",)"
         R"("size":715344,"targetDir":"/media/internal/downloads","targetFilename":"voiceCommandLanguagePack.ipk"})"},
        // No download watched.
        {QrvUiStep::REASON_DOWNLOADING, R"({"action":"voicecommand","reason":"no language pack","size":715344,"ticket":0})"},
        {static_cast<QrvUiStep::Reason_E>(7), R"({"action":"voicecommand","reason":"unknown"})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(json(UIServiceHandler::launchParams(c.reason)), c.params) << c.reason;
    EXPECT_TRUE(log.contains("state error in language pack download."));

    download.tickets.push_back(77);
    EXPECT_EQ(json(UIServiceHandler::launchParams(QrvUiStep::REASON_DOWNLOADING)),
              R"({"action":"voicecommand","reason":"no language pack","size":715344,"ticket":77})");
    // A language without a pack row.
    answerLanguage(prefs("ko", "KR"));
    EXPECT_EQ(json(UIServiceHandler::launchParams(QrvUiStep::REASON_DOWNLOADING)),
              R"({"action":"voicecommand","reason":"no language pack","size":800,"ticket":77})");
}

// ---- the audio routing's replies ------------------------------------------------------

class CaptureInit : public QrvMediaCaptureControl {
public:
    CaptureInit() { QrvMediaCaptureControl::set(this); }
    ~CaptureInit() override { QrvMediaCaptureControl::set(nullptr); }
    void shutdownStart(Done done) override { done(); }
    void init() override { ++inits; }
    int inits = 0;
};

TEST_F(BringupSteps, AudioStatusReplies)
{
    CaptureInit capture;
    auto subscription = wexMakeRefCounted<AudiodServiceHandler>(AudiodServiceHandler::STATUS_SUBSCRIPTION);
    auto deliver = [&](const char* reply, WexErr err = WexErrNone) {
        WexObject object = parse(reply);
        return subscription->Result(object, err);
    };
    // Not usable: no scenario, or an error.
    deliver(R"({"active":true})");
    deliver(R"({"scenario":"voice_command_headset"})", WexErrBus);
    EXPECT_EQ(capture.inits, 0);
    EXPECT_TRUE(log.contains("Can't find scenario field"));

    // The first status: stored, capture started, inactive or not.
    deliver(R"({"scenario":"voice_command_headset_mic","active":false})");
    EXPECT_EQ(QrvSettings::getAudioSourceType(), QrvSettings::AUDIO_SOURCE_HEADSET);
    EXPECT_EQ(capture.inits, 1);
    EXPECT_TRUE(log.contains("notifyAudiodSubscrReceived"));
    EXPECT_EQ(end.total(), 0);

    deliver(R"({"scenario":"voice_command_headset_mic","active":true})");
    EXPECT_TRUE(log.contains("Expecting only one audiod status response"));
    EXPECT_EQ(end.total(), 0);

    // A later inactive one ends the session, after the change is stored.
    deliver(R"({"scenario":"voice_command_bluetooth_sco","active":false})");
    EXPECT_TRUE(log.contains("Audiod changing scenario in the middle of a session.  Not supported."));
    EXPECT_EQ(QrvSettings::getAudioSourceType(), QrvSettings::AUDIO_SOURCE_BLUETOOTH);
    EXPECT_EQ(end.closings, 1);
    EXPECT_EQ(capture.inits, 1);
}

TEST_F(BringupSteps, AudioScenarios)
{
    const std::pair<const char*, QrvSettings::AudioSourceType> cases[] = {
        {"voice_command_bluetooth_sco", QrvSettings::AUDIO_SOURCE_BLUETOOTH},
        {"voice_command_back_speaker", QrvSettings::AUDIO_SOURCE_HANDSET},
        {"voice_command_headset", QrvSettings::AUDIO_SOURCE_HEADSET},
        {"VOICE_COMMAND_HEADSET", QrvSettings::AUDIO_SOURCE_NONE},
    };
    for (const auto& [scenario, type] : cases) {
        auto subscription = wexMakeRefCounted<AudiodServiceHandler>(AudiodServiceHandler::STATUS_SUBSCRIPTION);
        WexObject reply = parse(std::string(R"({"scenario":")") + scenario + "\"}");
        subscription->Result(reply, WexErrNone);
        EXPECT_EQ(QrvSettings::getAudioSourceType(), type) << scenario;
    }
    EXPECT_EQ(log.count("bad audiod scenario setting"), 1u);
}

TEST_F(BringupSteps, TheDeactivationReplyShutsDown)
{
    SimProcess sim;
    WexSornaService service{true, nullptr};
    ASSERT_EQ(service.open("com.orvel.test.steps"), WexErrNone);
    ASSERT_TRUE(waitForName(service.getService()->connection, "com.orvel.audio"));
    ASSERT_EQ(AudiodServiceHandler::deactivate(&service), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return end.shutdowns == 1; }));
    EXPECT_EQ(sim.lines.at(0), R"({"method":"voiceCommand/control","params":{"active":false}})");
    EXPECT_TRUE(log.contains("Result: audiod deactivate"));
    service.close();
}

// ---- localised texts and voice data ---------------------------------------------------

TEST_F(BringupSteps, TheVoicemailEntryFollowsTheBundle)
{
    ASSERT_TRUE(installResources());
    // No language yet: no bundle.
    EXPECT_EQ(QrvContactsCommon::getVoicemailNumber(), "VOICE MAIL");
    EXPECT_TRUE(log.contains("language not identified yet.  Resource bundle unavailable."));

    answerLanguage(prefs("de", "DE"));
    EXPECT_EQ(QrvContactsCommon::getVoicemailNumber(), "Mailbox");
    auto bundle = QrvResourceBundleNS::QrvGetResourceBundle();
    ASSERT_TRUE(bundle);
    UErrorCode status = U_ZERO_ERROR;
    EXPECT_EQ(QrvResourceBundleNS::LOCALIZED(*bundle, "HOME", "Home", status), "Home");
    EXPECT_EQ(status, U_ZERO_ERROR);
    EXPECT_TRUE(log.contains("localization failure"));
}

TEST_F(BringupSteps, WithoutBundlesTheDefaultStays)
{
    answerLanguage(prefs("ja", "JP"));
    EXPECT_EQ(QrvContactsCommon::getVoicemailNumber(), "VOICE MAIL");
    EXPECT_TRUE(log.contains("Error initializing resource bundle"));
    // Tried again on the next use.
    EXPECT_EQ(QrvContactsCommon::getVoicemailNumber(), "VOICE MAIL");
    EXPECT_EQ(log.count("Attempting to load resource bundle for locale ja_JP"), 2u);
}

TEST_F(BringupSteps, OtherLanguagesVoiceDataIsRemoved)
{
    answerLanguage(prefs("en", "GB"));
    const char* files[] = {"dvk_voc_engb.dat", "dvk_voc_enie.dat", "dvk_voc_dede.dat", "dvk_voc_enus.dat"};
    for (const char* name : files) {
        const std::string path = QrvFileSystem::makeFullPathname1(name);
        gchar* dir = g_path_get_dirname(path.c_str());
        g_mkdir_with_parents(dir, 0700);
        g_free(dir);
        ASSERT_TRUE(g_file_set_contents(path.c_str(), "x", 1, nullptr));
    }
    QrvLangSettingGetter::removeOldVoiceData();
    for (const char* name : files) {
        const bool kept = std::string(name) == "dvk_voc_engb.dat" || std::string(name) == "dvk_voc_enie.dat";
        EXPECT_EQ(g_file_test(QrvFileSystem::makeFullPathname1(name).c_str(), G_FILE_TEST_EXISTS), kept) << name;
    }
}

} // namespace
