// Whole sessions and the language pack: the bring-up's pack check against
// merrowind-sim's peers, and a pack downloaded and installed while the
// bring-up waits, started through the request handler's download ticket and
// shown to the phone application as install progress.
#include "src/QrvLangPackDownloadMonitor.h"
#include "src/QrvLangSettingGetter.h"
#include "tests/src/file_util.h"
#include "tests/src/session/session_fixture.h"
#include "tests/support/lang_pack_writer.h"

namespace {

constexpr const char* kEnglishUs =
    R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":true})";
constexpr const char* kPackage = "/media/internal/downloads/voiceCommandLanguagePack.ipk";

// The pack check is the service's own.
class PackSession : public PlatformSession {
protected:
    void SetUp() override
    {
        PlatformSession::SetUp();
        QrvLanguagePackStep::set(nullptr);
    }

    static void writePack(const char* dir, const PackFiles& files)
    {
        for (const auto& [name, content] : files)
            writeFile(wexRootPath(std::string(dir) + "/" + name), content);
    }
};

// ---- the pack check in the bring-up ------------------------------------------------

struct PackCheckCase {
    const char* name;
    bool pack;      // the English pack is installed with the service
    bool simFirst;  // the platform's peers are up before the start
    enum End { RECOGNISING, PACK_CHECK, WATCHDOG } end;
};

class PackCheck : public PackSession, public ::testing::WithParamInterface<PackCheckCase> {};

TEST_P(PackCheck, PeersAndPackDecideHowFarTheBringUpGets)
{
    const PackCheckCase& c = GetParam();
    if (c.pack)
        writePack(QrvFileSystem::QRV_LANGPACK_ROM_DIR, langPackFiles("enus"));
    std::unique_ptr<SimProcess> sim;
    if (c.simFirst)
        sim = startSim(kEnglishUs);
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    if (c.end == PackCheckCase::RECOGNISING)
        when(recognising(), [this] { send("stopVoiceCommand"); });
    if (!c.simFirst) {
        // The language request found no peer; peers that come later are not
        // asked again, and only the watchdog (scaled down) ends the wait.
        when([this] { return log.contains("QrvLogUI", WexLogError, "err="); }, [&sim] {
            sim = std::make_unique<SimProcess>();
            QrvWatchdog::setIntervalForTesting(300);
            QrvWatchdog::iAmAlive();
        });
    }
    EXPECT_EQ(runService(), 0);

    const bool passed = c.end == PackCheckCase::RECOGNISING;
    EXPECT_EQ(log.contains("language pack unavailable"), c.end == PackCheckCase::PACK_CHECK);
    EXPECT_EQ(doubles.events.count("counts start"), passed ? 1 : 0);
    EXPECT_EQ(doubles.events.count("suite start recognition"), passed ? 1 : 0);
    if (sim) {
        EXPECT_EQ(linesWith(*sim, "voiceCommand/control").size(), passed ? 1u : 0u);
    }
    switch (c.end) {
    case PackCheckCase::RECOGNISING:
        EXPECT_FALSE(log.contains("Language pack is not installed."));
        break;
    case PackCheckCase::PACK_CHECK:
        EXPECT_TRUE(log.contains("File " + wexRootPath(QrvFileSystem::QRV_LANGPACK_ROM_DIR) +
                                 "/img_enus.bin missing.  Language pack is not installed."));
        EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "watermarksSynced: language pack unavailable.  Exiting"));
        EXPECT_EQ(doubles.events.count("counts forget voice data"), 1);
        EXPECT_EQ(doubles.events.count("player start on UI"), 0);  // no chirp
        break;
    case PackCheckCase::WATCHDOG:
        EXPECT_TRUE(log.contains("no sign of life"));
        EXPECT_EQ(doubles.events.count("counts forget voice data"), 0);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Session, PackCheck,
                         ::testing::Values(PackCheckCase{"installed", true, true, PackCheckCase::RECOGNISING},
                                           PackCheckCase{"missing", false, true, PackCheckCase::PACK_CHECK},
                                           PackCheckCase{"peersLate", true, false, PackCheckCase::WATCHDOG}),
                         [](const ::testing::TestParamInfo<PackCheckCase>& info) { return info.param.name; });

// ---- a pack downloaded while the bring-up waits -------------------------------------

// The handler's download-ticket operation, which no registered method
// reaches, made callable for this test.
const WexService::CategoryHandler::Method kDownloadTicket[] = {
    WexService::CategoryHandler::method("downloadTicket", &QrVoiceCmdServiceHandler::downloadTicket),
    {},
};

// The language is known, but the language step's completion never comes:
// the bring-up can go on only where the install resumes it.
void holdTheLanguageStep(LanguageDouble& language)
{
    QrvLangSettingGetter::resetForTesting();
    WexObject reply;
    ASSERT_EQ(WexObject::parse(kEnglishUs, reply), WexErrNone);
    wexMakeRefCounted<QrvLangSettingGetter>(nullptr)->Result(reply, WexErrNone);
    QrvLanguageStep::set(&language);
    language.hold = true;
}

// The index of the first captured line containing `text`; past the end when none does.
size_t firstLine(const LogCapture& log, const std::string& text)
{
    const std::vector<LogCapture::Line> lines = log.lines();
    size_t i = 0;
    while (i < lines.size() && lines[i].text.find(text) == std::string::npos)
        ++i;
    return i;
}

struct Progress {
    int64_t installed;
    int64_t total;
};

// The "installProgress" requests among the replies of a UI subscription.
std::vector<Progress> installProgress(const Call& ui)
{
    std::vector<Progress> found;
    for (const WexObject& reply : ui.replies) {
        std::string command;
        if (reply.get("command", command) != WexErrNone || command != "installProgress")
            continue;
        Progress p{-1, -1};
        EXPECT_EQ(reply.get("bytesInstalled", p.installed), WexErrNone);
        EXPECT_EQ(reply.get("bytesTotal", p.total), WexErrNone);
        found.push_back(p);
    }
    return found;
}

TEST_F(PackSession, ADownloadedPackIsInstalledWithProgressAndTheBringUpResumes)
{
    const std::string root = wexRootPath("");
    installFakeIpkg(root, FAKE_IPKG_PATH, 0.6);
    const std::string source = wexRootPath("/tmp/source.ipk");
    writeFile(source, langPackage(langPackFiles("enus")));
    auto sim = startSim(kEnglishUs);
    sim->send("download-ticket 7 " + source + " 4 50");
    holdTheLanguageStep(doubles.language);

    std::vector<WexRefCountedPtr<Call>> tickets;
    sendWhenRunning("startVoiceCommand", R"({"source":"test"})");
    when(seen("language identify"), [this, &tickets] {
        ASSERT_EQ(QrVoiceCmdServiceHandler::S_getQrVoiceCmdServiceHandler()->addMethods(kDownloadTicket, false),
                  WexErrNone);
        tickets.push_back(send("downloadTicket", R"({"ticket":7,"action":"started"})"));
        // A second download while the first runs is refused by the monitor.
        tickets.push_back(send("downloadTicket", R"({"ticket":8,"action":"started"})"));
        // The phone application subscribes during the download: nothing more starts.
        uiSubscription = send("registerUI", "{}", WexServiceRequest::Unlimited);
    });
    when(recognising(), [this] { send("stopVoiceCommand"); });
    EXPECT_EQ(runService(30000), 0);

    for (const auto& ticket : tickets) {
        ASSERT_EQ(ticket->replies.size(), 1u);
        bool ok = false;
        EXPECT_EQ(ticket->replies[0].get("returnValue", ok), WexErrNone);
        EXPECT_TRUE(ok);
    }
    EXPECT_TRUE(log.contains("m_state = STATE_LANGPACK_DOWNLOAD_FOREGROUND"));
    EXPECT_TRUE(log.contains("Download manager monitor already running"));
    EXPECT_EQ(linesWith(*sim, "downloadStatusQuery"),
              std::vector<std::string>{R"({"method":"downloadStatusQuery","params":{"subscribe":true,"ticket":7}})"});

    // The phone application saw the install: 0 of 1 first, then the pack's
    // installed sizes against the known total of English.
    ASSERT_TRUE(uiSubscription);
    const std::vector<Progress> progress = installProgress(*uiSubscription);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[0].installed, 0);
    EXPECT_EQ(progress[0].total, 1);
    int64_t last = 0;
    for (size_t i = 1; i < progress.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(progress[i].total, 1804591);
        EXPECT_GE(progress[i].installed, last);
        EXPECT_LE(progress[i].installed, 1000);
        last = progress[i].installed;
    }

    // The bring-up went on only once the install was over, and from there:
    // the service's own log, written in order on its thread, shows the end of
    // the install before the language is loaded and the suite made (the sim's
    // view of the requests that follow would arrive late). The package was
    // installed once and is gone; the language's own step and the contact
    // counts never completed.
    const size_t installed = firstLine(log, "> installFinished");
    const size_t loaded = firstLine(log, "> loadLanguage");
    const size_t suite = firstLine(log, "initializing dravik");
    EXPECT_LT(installed, loaded);
    EXPECT_LT(loaded, suite);
    EXPECT_LT(suite, log.lines().size());
    EXPECT_EQ(readFile(wexRootPath("/var/log/ipkg.log")), "install " + wexRootPath(kPackage) + "\n");
    EXPECT_FALSE(g_file_test(wexRootPath(kPackage).c_str(), G_FILE_TEST_EXISTS));
    EXPECT_EQ(doubles.events.count("suite create"), 1);
    EXPECT_EQ(doubles.events.count("counts start"), 0);
    int32_t ticket = -1;
    EXPECT_FALSE(QrvLangPackDownloadMonitor::getTicket(ticket));
    // The subscription made during the download serves the session: no launch.
    EXPECT_TRUE(linesWith(*sim, R"("method":"launch")").empty());
    EXPECT_EQ(doubles.events.count("suite start recognition"), 1);
}

} // namespace
