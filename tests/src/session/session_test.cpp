// Whole sessions: the application runs in this process on a private bus,
// as the merrowind program does, and is called by a second service of this
// process. The bring-up's later steps and the audio machinery are doubles.
#include "tests/src/session/session_fixture.h"

#include <sys/stat.h>

namespace {

// ---- background update ------------------------------------------------------------

TEST_F(Session, SyncDoneBringsTheSuiteUpThenShutsDownWithoutChirp)
{
    sendWhenRunning("syncDone");
    EXPECT_EQ(runService(), 0);

    EXPECT_EQ(doubles.events.list(),
              (std::vector<std::string>{"language identify", "counts start", "board type", "last call",
                                        "suite create", "recorder stop on VR", "player stop graceful on VR",
                                        "capture shutdown on UI", "audio cancel"}));
    for (const char* step : {"> languageSettingIdentified", "> watermarksSynced", "> loadLanguage",
                             "> boardTypeSettingRead", "> outgoingCallGetterdone", "initializing dravik...",
                             "dvk_app_create() done", "Dravik done starting!", "doDownChirpAndExitUI: entered",
                             "S_shutdownStart: entered", "stopRecorder: entered",
                             "S_shutdownRecorderStopDoneCbUIThread: entered", "S_finalShutDownWrapper: entered",
                             "merrowind stopped."})
        EXPECT_TRUE(log.contains(step)) << step;
    EXPECT_FALSE(log.contains("DownChirpAndExitPimpl"));
    EXPECT_FALSE(log.contains("calling dvk_app_startCmdRecog()"));
}

TEST_F(Session, StopDuringABackgroundUpdateShutsDownAtOnceWithoutChirp)
{
    // The suite is still rebuilding its grammars.
    doubles.suite.answers = {6};
    sendWhenRunning("syncDone");
    when([this] { return doubles.suite.delivered == 1; }, [this] { send("stopVoiceCommand"); });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("doDownChirpAndExitUI: entered"));
    EXPECT_FALSE(log.contains("DownChirpAndExitPimpl"));
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

// ---- foreground sessions ----------------------------------------------------------

TEST_F(Session, StopPlaysTheInstalledChirpThenStopsInOrder)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.recorder.running = true;
    doubles.player.running = true;
    doubles.player.playMs = 50;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    EXPECT_EQ(runService(), 0);

    const std::vector<std::string> seen = doubles.events.list();
    const std::vector<std::string> bringup{"counts start", "board type", "last call", "audio activate",
                                           "audio subscribe", "ui launch 2", "suite create",
                                           "suite start recognition"};
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + static_cast<long>(bringup.size())), bringup);
    // The chirp: what played stops, the chirp starts, the shut-down follows.
    std::vector<std::string> ending{"player stop at once on UI", "player start on UI"};
    ending.insert(ending.end(), kStopChain.begin(), kStopChain.end());
    EXPECT_EQ(std::vector<std::string>(seen.begin() + static_cast<long>(bringup.size()), seen.end()), ending);

    EXPECT_EQ(doubles.player.playedBytes(), chirpBytes());
    EXPECT_TRUE(log.contains("QrvLogVR", WexLogError, "stopRecorder: recorder is running."));
    EXPECT_TRUE(log.contains("QrvLogVR", WexLogWarning, "stopRecorder: player is running."));
    EXPECT_TRUE(log.contains("~DownChirpAndExitPimpl"));
    EXPECT_FALSE(log.contains("did not finish"));
}


// Sessions played through the real recorder and player fronts, the playback
// worker and the desktop's "voicedial" device.
class RealAudioSession : public Session {
protected:
    // A foreground session stopped as soon as it recognises; the contents
    // of what the name names below the root ("" when it cannot be read).
    std::string stopThenRead(const std::string& path)
    {
        QrvRecorderControl::set(nullptr);
        QrvPlayerControl::set(nullptr);
        g_setenv("VOICEDIAL_OUT", wexRootPath("/voicedial.raw").c_str(), TRUE);
        uiSubscribesWhenLaunched();
        doubles.language.known = true;
        sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
        when(recognising(), [this] { send("stopVoiceCommand"); });
        EXPECT_EQ(runService(), 0);
        gchar* contents = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr))
            return "";
        std::string bytes(contents, length);
        g_free(contents);
        return bytes;
    }
};

TEST_F(RealAudioSession, AForegroundStopPlaysTheChirpIntoTheSoundDevice)
{
    EXPECT_EQ(stopThenRead(wexRootPath("/voicedial.raw")), chirpBytes());
    EXPECT_TRUE(log.contains("~DownChirpAndExitPimpl"));
}

TEST_F(RealAudioSession, APlaybackDumpMakesTheDataDirectoryNothingElseMade)
{
    // Dumps are on (every logger at trace); nothing has made the writable
    // data directory yet.
    ASSERT_EQ(g_remove(QrvFileSystem::makeFullPathname1("downchirp.bin").c_str()), 0);
    ASSERT_EQ(g_rmdir(QrvFileSystem::makeFullPathname1("").c_str()), 0);
    EXPECT_EQ(stopThenRead(QrvFileSystem::makeFullPathname1("000PlayWorker.pcm")), chirpBytes());
    EXPECT_FALSE(log.contains("Cannot open file"));
    struct stat st {};
    ASSERT_EQ(::stat(QrvFileSystem::makeFullPathname1("").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Session, AHangingChirpEndsTheProcessAfterItsTimeoutWithoutTheStopChain)
{
    constexpr int kTimeout = 400;  // the real 10,000 ms scaled down
    DownChirpAndExit::setTimeoutForTesting(kTimeout);
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.player.hang = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    EXPECT_EQ(runService(), 0);

    ASSERT_NE(doubles.player.startedAt.load(), 0);
    const gint64 afterChirp = endedAt - doubles.player.startedAt.load();
    EXPECT_GE(afterChirp, kTimeout * 1000);
    EXPECT_LT(afterChirp, (kTimeout + 2000) * 1000);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogWarning, "the closing chirp did not finish in 400 ms"));
    // Only the final step ran.
    EXPECT_EQ(doubles.events.only(kStopChain), std::vector<std::string>{"audio cancel"});
}

TEST_F(Session, WithoutActivityTheWatchdogEndsTheSession)
{
    doubles.audio.mode = AudioRoutingDouble::SILENT;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    // The session waits for the audio routing, which never answers; from
    // the last sign of life the watchdog runs its period (the real 15,000 ms
    // scaled down).
    when(seen("audio activate"), [] {
        QrvWatchdog::setIntervalForTesting(300);
        QrvWatchdog::iAmAlive();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("no sign of life"));
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

TEST_F(Session, StopThenWatchdogPlaysOnceAndShutsDownOnce)
{
    doubles.audio.mode = AudioRoutingDouble::SILENT;
    doubles.player.hang = true;
    doubles.player.bufferSamples = 100;  // a player that asks for less than 160 at a time
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    sendWhenRunning("stopVoiceCommand");
    // The watchdog expires while the chirp still sounds; the chirp ends once
    // the second closing request has come and gone.
    when(seen("player start on UI"), [] {
        QrvWatchdog::setIntervalForTesting(1);
        QrvWatchdog::iAmAlive();
    });
    when([this] { return log.count("doDownChirpAndExitUI: entered") == 2; }, [this] {
        QrvWatchdog::setIntervalForTesting(QrvWatchdog::kIntervalMs);  // the shut-down's guard
        doubles.player.finish();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("no sign of life"));
    EXPECT_EQ(log.count("doDownChirpAndExitUI: entered"), 2u);
    EXPECT_EQ(doubles.player.playedBytes(), chirpBytes());
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
    EXPECT_EQ(log.count("S_shutdownStart: entered"), 1u);
}

TEST_F(Session, StopDuringTheBringUpStartsNothingMore)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.audio.mode = AudioRoutingDouble::HOLD_STATUS;
    doubles.player.playMs = 300;  // the chirp still sounds when the status comes
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(seen("audio subscribe"), [this] { send("stopVoiceCommand"); });
    when(seen("player start on UI"), [] { AudioRoutingDouble::sendStatus(); });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    EXPECT_TRUE(log.contains("startUI: the session is ending.  Nothing more starts."));
    EXPECT_EQ(doubles.events.count("ui launch 2"), 0);
    EXPECT_EQ(doubles.events.count("suite create"), 0);
    EXPECT_EQ(log.count("S_shutdownStart: entered"), 1u);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

TEST_F(Session, AStopStepThatNeverCompletesEndsWhenTheWatchdogExpires)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.recorder.hang = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    // The chirp's guard is gone once it has played; the watchdog (the real
    // 15,000 ms scaled down) is all that is left.
    when(seen("recorder stop on VR"), [] {
        QrvWatchdog::setIntervalForTesting(300);
        QrvWatchdog::iAmAlive();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "the shut-down did not finish.  Stopping now."));
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    // Only the final step ran after the stuck recorder.
    EXPECT_EQ(doubles.events.only(kStopChain), (std::vector<std::string>{"recorder stop on VR", "audio cancel"}));
}

TEST_F(Session, AWatchdogExpiryDuringTheChirpStillGuardsTheStopChain)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.player.hang = true;
    doubles.recorder.hang = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    when(seen("player start on UI"), [] {
        QrvWatchdog::setIntervalForTesting(1);
        QrvWatchdog::iAmAlive();
    });
    // The watchdog has fired during the chirp; the stop chain after it sticks.
    when([this] { return log.count("doDownChirpAndExitUI: entered") == 2; }, [this] {
        QrvWatchdog::setIntervalForTesting(300);
        doubles.player.finish();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "the shut-down did not finish.  Stopping now."));
    EXPECT_EQ(doubles.events.only(kStopChain), (std::vector<std::string>{"recorder stop on VR", "audio cancel"}));
}

TEST_F(Session, MissingLanguagePackEndsWithoutChirpOrAudio)
{
    doubles.language.known = true;
    doubles.packs.installed = false;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "watermarksSynced: language pack unavailable.  Exiting"));
    EXPECT_EQ(doubles.events.count("counts forget voice data"), 1);
    EXPECT_EQ(doubles.events.count("audio activate"), 0);
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

TEST_F(Session, MissingChirpFileShutsDownAtOnce)
{
    ASSERT_EQ(g_unlink(QrvFileSystem::makeFullPathname0("downchirp.bin").c_str()), 0);
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    // The chirp's 10 s guard is longer than the service is given here.
    EXPECT_EQ(runService(), 0);
    const std::string path = QrvFileSystem::makeFullPathname0("downchirp.bin");
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "Cannot open file " + path));
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_FALSE(log.contains("did not finish"));
    // The whole stop chain ran: the shut-down was started, not the timeout's final step.
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

TEST_F(Session, AudioThatCannotBeActivatedShutsDown)
{
    doubles.language.known = true;
    doubles.audio.mode = AudioRoutingDouble::SEND_FAILS;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "Audio start failure.  Exiting..."));
    EXPECT_EQ(doubles.events.count("ui launch 2"), 0);
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

TEST_F(Session, ASuiteThatRefusesItsCreationEndsTheSession)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.suite.answers.clear();
    doubles.suite.createResult = 1;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "failure starting Dravik"));
    EXPECT_FALSE(log.contains("dvk_app_create() done"));
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

// ---- a call ends the session --------------------------------------------------------

TEST_F(Session, ACallLaunchLeavesEvenThoughTheServiceExitsAtOnce)
{
    SimProcess sim;
    GDBusConnection* bus = connectToBus();
    ASSERT_TRUE(waitForName(bus, "com.orvel.applicationManager"));
    g_object_unref(bus);
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [] { DvkOemUI::notifyCallCmd("5550100"); });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("notifyCallCmd_UIthread: call initiated.  Shutting down normally."));
    const long at = sim.waitLine(R"("method":"launch")");
    ASSERT_GE(at, 0);
    EXPECT_EQ(sim.lines[static_cast<size_t>(at)],
              R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"number":"5550100"}}})");
    // The shut-down without a chirp.
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

// ---- the platform's own steps ---------------------------------------------------------

TEST_F(PlatformSession, StartReadsThePhoneAndLaunchesTheUi)
{
    auto sim = startSim(R"({"locale":{"languageCode":"en","countryCode":"ca"},"enableVoiceCommand":true})");
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] { send("stopVoiceCommand"); });
    EXPECT_EQ(runService(), 0);

    EXPECT_TRUE(log.contains("found language enca (enus) (5)"));
    EXPECT_EQ(QrvSettings::getBoardType().str(), "desktop");
    const QrvSettings::OutgoingCall& call = QrvSettings::getLastOutgoingCall();
    EXPECT_EQ(call.name.str() + "/" + call.addr.str() + "/" + call.personAddressType.str(),
              "Carl Jensen/6505550142/WORK");
    EXPECT_EQ(linesWith(*sim, R"("method":"voiceCommand/)"),
              (std::vector<std::string>{R"({"method":"voiceCommand/control","params":{"active":true}})",
                                        R"({"method":"voiceCommand/status","params":{"subscribe":true}})"}));
    EXPECT_EQ(doubles.events.count("capture init on UI"), 1);
    EXPECT_EQ(linesWith(*sim, R"("method":"launch")"),
              std::vector<std::string>{R"({"method":"launch","params":{"id":"com.orvel.app.phone",)"
                                       R"("params":{"action":"voicecommand","reason":"session start"}}})"});
    EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
}

TEST_F(PlatformSession, VoiceCommandDisabledShutsDownAtOnce)
{
    auto sim = startSim(R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":false})");
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    EXPECT_FALSE(log.contains("found language"));
    EXPECT_EQ(doubles.events.count("counts start"), 0);
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
    EXPECT_TRUE(linesWith(*sim, "voiceCommand").empty());
}

TEST_F(PlatformSession, ABoardTypeErrorStopsTheBringUpUntilTheWatchdog)
{
    auto sim = startSim();
    sim->send("board-fail");
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when([this] { return log.contains("Result: err="); }, [] {
        QrvWatchdog::setIntervalForTesting(300);
        QrvWatchdog::iAmAlive();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("no sign of life"));
    EXPECT_TRUE(linesWith(*sim, "voiceCommand").empty());
    EXPECT_EQ(doubles.events.count("suite create"), 0);
}

// ---- contacts: the update decision and the voice data's watermark ------------------------

class ContactsSession : public PlatformSession {
protected:
    void SetUp() override
    {
        PlatformSession::SetUp();
        QrvContactCountsStep::set(nullptr);
    }

    // A database directory: the built-in persons and calls, and the service's record
    // with `watermark` (none when negative).
    void writeData(long long watermark)
    {
        for (const char* kind : {"/com.orvel.person_1.json", "/com.orvel.phonecall_1.json"}) {
            gchar* text = nullptr;
            gsize size = 0;
            ASSERT_TRUE(g_file_get_contents((std::string(SimDbDataDir) + kind).c_str(), &text, &size, nullptr));
            m_data.writeFile(kind, std::string(text, size));
            g_free(text);
        }
        if (watermark >= 0)
            m_data.writeFile("/com.orvel.merrowind_1.json",
                             R"({"kind": {"id": "com.orvel.merrowind:1", "owner": "com.orvel.merrowind"}, "records": [)"
                             R"({"_id": "m1", "_rev": 1, "_kind": "com.orvel.merrowind:1", )"
                             R"("recognizer_version": "20110107.1.16", "rev_watermark": )" +
                                 std::to_string(watermark) + "}]}");
    }

    void writeVoiceData() { writeFile(QrvFileSystem::makeFullPathname1("dvk_voc_enus.dat"), "voice"); }

    std::vector<const char*> dataArgs() { return {"--data", m_data.path().c_str()}; }

    // Once the suite has answered, "VR" stores the watermark 9 and the
    // session closes.
    void writeWatermarkNineThenExitOnceTheSuiteAnswers()
    {
        when([this] { return doubles.suite.delivered == 1; }, [] {
            QrvExecuteInVrThread(
                [](void*) {
                    QrvMetaDbInfo::updateMetaDbInfoWatermark(9);
                    QrvMetaDbInfo::writeMetaDbInfoFile();
                    DownChirpAndExit::doDownChirpAndExit();
                },
                nullptr, QRV_THREAD_ALWAYS_POST);
        });
    }

    // The service kind's records as the sim last wrote them back; false while
    // there is no such file or it does not parse.
    bool storedRecords(WexObject& records)
    {
        gchar* text = nullptr;
        if (!g_file_get_contents(m_data.at("/com.orvel.merrowind_1.json").c_str(), &text, nullptr, nullptr))
            return false;
        WexObject kind;
        records = WexObject();
        const bool parsed = WexObject::parse(text, kind) == WexErrNone && kind.get("records", records) == WexErrNone;
        g_free(text);
        return parsed;
    }

    static constexpr const char* SimDbDataDir = MERROWIND_SIM_DATA_DIR;
    TempRoot m_data{false};
};

TEST_F(ContactsSession, WithoutVoiceDataEveryPersonForcesAFullUpdate)
{
    auto sim = startSim();
    doubles.suite.answers = {0};
    sendWhenRunning("syncDone");
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("readMetaDbInfoFile: No sync info available."));
    EXPECT_TRUE(log.contains(
        "full update forced.  # contacts processed in previous full update: 0.  # new since then: 9"));
    EXPECT_TRUE(log.contains("contactCountsDone: 0 9"));
    EXPECT_EQ(QrvMetaDbInfo::getMetaDbInfoWatermark(), -1);
    EXPECT_EQ(doubles.events.count("suite create"), 1);
}

TEST_F(ContactsSession, AFewChangesSinceTheStoredWatermarkEndABackgroundRun)
{
    writeData(6);
    writeVoiceData();
    auto sim = startSim({}, dataArgs());
    sendWhenRunning("syncDone");
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(QrvMetaDbInfo::getMetaDbInfoWatermark(), 6);
    EXPECT_TRUE(log.contains(
        "Using previous full update.  # contacts processed in previous full update: 6.  # new since then: 3"));
    EXPECT_FALSE(log.contains("contactCountsDone"));
    EXPECT_EQ(doubles.events.count("suite create"), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), (std::vector<std::string>{"recorder stop on VR",
                                                                         "player stop graceful on VR",
                                                                         "capture shutdown on UI"}));
}

TEST_F(ContactsSession, TheWatermarkWrittenBeforeTheEndIsTheOneRecordLeft)
{
    writeData(2);
    writeVoiceData();
    auto sim = startSim({}, dataArgs());
    doubles.suite.answers = {6};  // the suite is still rebuilding
    sendWhenRunning("syncDone");
    writeWatermarkNineThenExitOnceTheSuiteAnswers();
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("full update forced.  # contacts processed in previous full update: 2.  # new since then: 7"));
    // The sim writes the kind back once it has handled the delete and the put.
    std::vector<WexObject> live;
    ASSERT_TRUE(runUntil([&] {
        WexObject records;
        const bool parsed = storedRecords(records);
        live.clear();
        for (size_t i = 0; parsed && i < records.size(); ++i) {
            WexObject record;
            bool deleted = false;
            records.at(i, record);
            record.getOptional("_del", deleted);
            if (!deleted)
                live.push_back(record);
        }
        // The old record deleted, the new one stored.
        return live.size() == 1 && records.size() == 2;
    }));
    int64_t watermark = 0;
    std::string version;
    std::string kindName;
    EXPECT_EQ(live[0].get("rev_watermark", watermark), WexErrNone);
    EXPECT_EQ(live[0].get("recognizer_version", version), WexErrNone);
    EXPECT_EQ(live[0].get("_kind", kindName), WexErrNone);
    EXPECT_EQ(watermark, 9);
    EXPECT_EQ(version, "20110107.1.16");
    EXPECT_EQ(kindName, "com.orvel.merrowind:1");
}

TEST_F(ContactsSession, TheFirstWatermarkIsStoredBeforeAnyVoiceDataExists)
{
    // The first run: no voice data and the service's kind not yet known to
    // the database, so no read has registered it.
    writeData(-1);
    auto sim = startSim({}, dataArgs());
    doubles.suite.answers = {6};
    sendWhenRunning("syncDone");
    writeWatermarkNineThenExitOnceTheSuiteAnswers();
    EXPECT_EQ(runService(), 0);
    EXPECT_TRUE(log.contains("readMetaDbInfoFile: No sync info available."));
    WexObject records;
    ASSERT_TRUE(runUntil([&] { return storedRecords(records) && records.size() == 1; })) << "no record stored";
    WexObject record;
    int64_t watermark = 0;
    ASSERT_EQ(records.at(0, record), WexErrNone);
    EXPECT_EQ(record.get("rev_watermark", watermark), WexErrNone);
    EXPECT_EQ(watermark, 9);
}

// ---- the suite's completion codes -------------------------------------------------

struct CodeCase {
    int32_t code;
    const char* text;
    bool ends;
};

class CompletionCode : public Session, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CompletionCode, EndsTheSessionOrChangesNothing)
{
    const CodeCase c = GetParam();
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.suite.answers = {c.code};
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    if (!c.ends) {
        when([this] { return doubles.suite.delivered == 1; }, [this] {
            EXPECT_EQ(log.count("doDownChirpAndExit: entered"), 0u);
            EXPECT_EQ(doubles.events.count("suite start recognition"), 0);
            send("stopVoiceCommand");
        });
    }
    EXPECT_EQ(runService(), 0);
    if (c.text != nullptr) {
        EXPECT_TRUE(log.contains("QrvLogUI", WexLogDebug, c.text)) << c.text;
    }
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);  // foreground: with the chirp
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

INSTANTIATE_TEST_SUITE_P(Session, CompletionCode,
                         ::testing::Values(CodeCase{3, "ERROR: invalid language", true},
                                           CodeCase{1, "ERROR: Aborted", true},
                                           CodeCase{8, "User request to exit", true},
                                           CodeCase{-1, "INCOMPLETE.  Continuing...", false},
                                           CodeCase{6, "INCOMPLETE.  Continuing...", false},
                                           CodeCase{42, nullptr, false}),
                         [](const ::testing::TestParamInfo<CodeCase>& info) {
                             const int32_t code = info.param.code;
                             return code < 0 ? "minus" + std::to_string(-code) : std::to_string(code);
                         });

// ---- command recognition starts once ----------------------------------------------

TEST_F(Session, RecognitionStartsOnceWhenTheUiRegistersLast)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] {
        // Further checks after completion start nothing.
        auto handler = QrVoiceCmdServiceHandler::S_getQrVoiceCmdServiceHandler();
        QrvBringUp::initCheck(*handler);
        QrvBringUp::initCheck(*handler);
        send("stopVoiceCommand");
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
    EXPECT_EQ(doubles.events.count("suite create"), 1);
}

TEST_F(Session, RecognitionStartsOnceWhenTheAudioStatusComesLast)
{
    doubles.language.known = true;
    doubles.audio.mode = AudioRoutingDouble::HOLD_STATUS;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    // The phone application subscribes before the audio routing's first status.
    when(seen("audio subscribe"), [this] { send("registerUI", "{}", WexServiceRequest::Unlimited); });
    when([this] { return doubles.suite.delivered == 1; }, [this] {
        // The suite was created at the registration and has reported.
        EXPECT_EQ(doubles.events.count("suite create"), 1);
        EXPECT_EQ(doubles.events.count("suite start recognition"), 0);
        AudioRoutingDouble::sendStatus();
        EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
        send("stopVoiceCommand");
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(doubles.events.count("ui launch 2"), 0);
    EXPECT_EQ(doubles.events.count("ui neither"), 1);
    EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
}

TEST_F(Session, ARefusedRecognitionStartIsOnlyLogged)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    doubles.suite.startResult = 1;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this] {
        EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "dvk_app_startCmdRecog() failed."));
        EXPECT_EQ(log.count("doDownChirpAndExit: entered"), 0u);
        send("stopVoiceCommand");
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
}

// ---- the shut-down ------------------------------------------------------------------

TEST_F(Session, ShutDownRequestsFromSeveralThreadsAtOnceStopOnce)
{
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [] {
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&go] {
                while (!go.load())
                    std::this_thread::yield();
                QrVoiceCmdServiceApp::S_shutdownStart();
            });
        go = true;
        for (std::thread& t : threads)
            t.join();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(log.count("S_shutdownStart: entered"), 4u);
    EXPECT_EQ(log.count("shutdown already running.  Ignoring this request."), 3u);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

// ---- the suite's own interface ------------------------------------------------------

// The engine on "VR" is a double answering through the suite's own messages.
struct SuiteEngineDouble {
    static void create(void* data, dvk_msg_Address sender)
    {
        auto* r = static_cast<dvk_ce_Request*>(data);
        dvk_msg_send(dvk_app_newNotifyCreateRspMsg(r->callback, r->context, DVK_APP_INCOMPLETE), sender);
        dvk_msg_send(dvk_app_newNotifyCreateRspMsg(r->callback, r->context, DVK_APP_SUCCESS), sender);
    }
    static void start(void* data, dvk_msg_Address sender)
    {
        auto* r = static_cast<dvk_ce_StartRequest*>(data);
        ++starts;
        mode = r->mode;
        table = r->notifications.notifyExit == dvkCallbacks.notifyExit &&
                r->notifications.notifyCallCmd == dvkCallbacks.notifyCallCmd;
        context = r->context;
        static const dvk_ucs2_Char ann[] = {'A', 'n', 'n', 0}, mobile[] = {'M', 'o', 'b', 0},
                                   number[] = {'5', '5', '5', '0', '1', '0', '0', 0};
        dvk_msg_send(dvk_app_newNotifyCallCmdRspMsg(r->notifications.notifyCallCmd, ann, mobile,
                                                    number, r->context),
                     sender);
    }
    static void none(void*, dvk_msg_Address) {}
    static inline std::atomic<int> starts{0};
    static inline std::atomic<int> mode{-1};
    static inline std::atomic<bool> table{false};
    static inline std::atomic<void*> context{reinterpret_cast<void*>(1)};
};

TEST_F(Session, TheSuiteInterfaceBringsTheSessionUpAndACallEndsIt)
{
    QrvSuiteStep::set(nullptr);  // the suite's own entry points
    static const dvk_ce_RequestHandlers engine = {SuiteEngineDouble::create, SuiteEngineDouble::start,
                                                  SuiteEngineDouble::none, SuiteEngineDouble::none, nullptr};
    dvk_ce_setRequestHandlers(&engine);
    SimProcess sim;
    GDBusConnection* bus = connectToBus();
    ASSERT_TRUE(waitForName(bus, "com.orvel.applicationManager"));
    g_object_unref(bus);
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    dvk_ce_setRequestHandlers(nullptr);
    EXPECT_TRUE(log.contains("INCOMPLETE.  Continuing..."));
    EXPECT_TRUE(log.contains("Dravik done starting!"));
    EXPECT_EQ(SuiteEngineDouble::starts.load(), 1);
    EXPECT_EQ(SuiteEngineDouble::mode.load(), 0);
    EXPECT_TRUE(SuiteEngineDouble::table.load());
    EXPECT_EQ(SuiteEngineDouble::context.load(), nullptr);
    const long at = sim.waitLine(R"("method":"launch")");
    ASSERT_GE(at, 0);
    EXPECT_EQ(sim.lines[static_cast<size_t>(at)],
              R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":{"number":"5550100"}}})");
    EXPECT_EQ(doubles.events.count("player start on UI"), 0);
}

TEST_F(Session, AnExitAnswerClosesTheSubscriptionAndPlaysTheChirp)
{
    struct ExitEngine {
        static void create(void* data, dvk_msg_Address sender)
        {
            auto* r = static_cast<dvk_ce_Request*>(data);
            dvk_msg_send(dvk_app_newNotifyCreateRspMsg(r->callback, r->context, DVK_APP_SUCCESS), sender);
        }
        static void start(void* data, dvk_msg_Address sender)
        {
            auto* r = static_cast<dvk_ce_StartRequest*>(data);
            dvk_msg_send(dvk_app_newNotifyExitRspMsg(r->notifications.notifyExit, DVK_APP_SUCCESS,
                                                     r->context),
                         sender);
        }
        static void none(void*, dvk_msg_Address) {}
    };
    QrvSuiteStep::set(nullptr);
    static const dvk_ce_RequestHandlers engine = {ExitEngine::create, ExitEngine::start,
                                                  ExitEngine::none, ExitEngine::none, nullptr};
    dvk_ce_setRequestHandlers(&engine);
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    EXPECT_EQ(runService(), 0);
    dvk_ce_setRequestHandlers(nullptr);
    EXPECT_TRUE(log.contains("cancelling UI subscription..."));
    // The end may reach the subscriber after the service's loop has stopped.
    ASSERT_TRUE(runUntil([this] { return uiSubscriptionEnded(); }));
    int64_t code = -1;
    EXPECT_EQ(uiSubscription->replies.back().get("errorCode", code), WexErrNone);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(uiSubscription->errors.back(), WexErrNone);
    EXPECT_FALSE(uiSubscription->request->isPending());
    EXPECT_FALSE(log.contains("failure.  Error was"));
    EXPECT_EQ(doubles.events.count("player start on UI"), 1);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
}

// ---- the UI's subscription at the end -----------------------------------------------

// Callers do not notice a service that leaves the bus: however the session
// ends, a UI still subscribed must hear of it, or it waits (and goes on
// showing the session) for ever.
struct EndingCase {
    const char* title;
    bool stop;      // a stop request ends the session, else the watchdog
    bool uiLeaves;  // the UI cancels its subscription first
};

class SessionEnding : public Session, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SessionEnding, TheUiSubscriptionEndsWithTheService)
{
    const EndingCase c = GetParam();
    uiSubscribesWhenLaunched();
    doubles.language.known = true;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(recognising(), [this, c] {
        if (c.uiLeaves)
            uiSubscription->request->cancel();
        if (c.stop) {
            send("stopVoiceCommand");
            return;
        }
        // The real 15,000 ms scaled down.
        QrvWatchdog::setIntervalForTesting(300);
        QrvWatchdog::iAmAlive();
    });
    EXPECT_EQ(runService(), 0);
    EXPECT_EQ(doubles.events.only(kStopChain), kStopChain);
    ASSERT_TRUE(uiSubscription);
    if (c.uiLeaves) {
        // Nothing is sent to a UI that has gone.
        EXPECT_FALSE(log.contains("CAUGHT"));
        EXPECT_FALSE(uiSubscriptionEnded());
        return;
    }
    ASSERT_TRUE(runUntil([this] { return uiSubscriptionEnded(); }));
    int64_t code = -1;
    EXPECT_EQ(uiSubscription->replies.back().get("errorCode", code), WexErrNone);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(uiSubscription->request->isPending());
    EXPECT_FALSE(log.contains("CAUGHT"));
}

INSTANTIATE_TEST_SUITE_P(Session, SessionEnding,
                         ::testing::Values(EndingCase{"Stop", true, false}, EndingCase{"Watchdog", false, false},
                                           EndingCase{"UiLeftBeforeTheWatchdog", false, true}),
                         [](const ::testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.title); });

} // namespace
