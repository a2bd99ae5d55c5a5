// Language packs: the completeness check, the removal of the downloaded pack
// and the download-and-install sequence against merrowind-sim's download
// manager and the desktop installer on a private bus.
#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_root.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangPackDownloadMonitor.h"
#include "src/QrvLangPackRemover.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/src/file_util.h"
#include "tests/src/service_end_double.h"
#include "tests/support/lang_pack_writer.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

constexpr const char* kRom = QrvFileSystem::QRV_LANGPACK_ROM_DIR;
constexpr const char* kDownloaded = QrvFileSystem::QRV_LANGPACK_DIR;
constexpr const char* kPackage = "/media/internal/downloads/voiceCommandLanguagePack.ipk";

void setLanguage(const char* language, const char* country)
{
    QrvLangSettingGetter::resetForTesting();
    auto getter = wexMakeRefCounted<QrvLangSettingGetter>(nullptr);
    WexObject reply;
    WexObject::parse(std::string(R"({"locale":{"languageCode":")") + language + R"(","countryCode":")" + country +
                         R"("},"enableVoiceCommand":true})",
                     reply);
    getter->Result(reply, WexErrNone);
}

class Invoker : public QrvLangPackRemoverInvoker {
public:
    void removerDone(WexErr err) override { codes.push_back(err); }
    std::vector<WexErr> codes;
};

class LangPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        QrvWorkQueuesInit();
        WexLogger::configure("*=0");
        setLanguage("en", "US");
    }
    void TearDown() override
    {
        QrvLangPackDownloadMonitor::Done();
        QrvLangSettingGetter::resetForTesting();
    }

    void installFakeIpkg(double pauseSeconds = 0) const { ::installFakeIpkg(root.path(), FAKE_IPKG_PATH, pauseSeconds); }
    std::string ipkgLog() const { return readFile(root.at("/var/log/ipkg.log")); }
    bool exists(const std::string& path) const { return std::filesystem::exists(root.at(path)); }

    TempRoot root;
    LogCapture log;
    ServiceEndDouble end;
};

// ---- the completeness check -------------------------------------------------------

struct CheckCase {
    const char* name;
    const char* file;       // the file replaced in an otherwise valid pack
    std::string content;
    bool installed;
    const char* logged;     // with <path> for the replaced file's path
};

TEST_F(LangPack, CheckTable)
{
    const CheckCase cases[] = {
        {"valid", "img_enus.bin", langPackFile(100), true, nullptr},
        {"other version", "str_enus.bin", "20100101.1.16X and more", false,
         "Version mismatch for <path>.  Expected 20110107.1.16 Got 20100101.1.16X"},
        {"short", "str_enus.bin", "20110107.1.16", false, "Couldn't read 14 bytes from <path>.  Got 13"},
        {"lvr any content", "lvr_enus.bin", "z", true, nullptr},
        {"lvr empty", "lvr_enus.bin", "", false, "File <path> missing.  Language pack is not installed."},
        {"img other version", "img_enus.bin", langPackFile(100, "20110107.1.17"), false, "Version mismatch for <path>"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot caseRoot;
        LogCapture caseLog;
        writePackFiles(caseRoot, kRom, langPackFiles("enus"));
        caseRoot.writeFile(std::string(kRom) + "/" + c.file, c.content);
        EXPECT_EQ(QrvLangPackDownloadMonitor::languagePacksInstalledInDir(wexRootPath(kRom)), c.installed);
        if (c.logged != nullptr) {
            std::string expected = c.logged;
            expected.replace(expected.find("<path>"), 6, caseRoot.at(kRom) + "/" + c.file);
            EXPECT_TRUE(caseLog.contains(expected)) << expected;
        }
    }
}

TEST_F(LangPack, AnInstalledPackHidesTheDownloadedOneAndEitherAlonePasses)
{
    writePackFiles(root, kRom, langPackFiles("enus"));
    EXPECT_TRUE(QrvLangPackDownloadMonitor::languagePacksInstalled());
    EXPECT_FALSE(log.contains(root.at(kDownloaded)));

    std::filesystem::remove_all(root.at(kRom));
    EXPECT_FALSE(QrvLangPackDownloadMonitor::languagePacksInstalled());
    writePackFiles(root, kDownloaded, langPackFiles("enus"));
    EXPECT_TRUE(QrvLangPackDownloadMonitor::languagePacksInstalled());
    // Another language's pack does not count.
    setLanguage("de", "DE");
    EXPECT_FALSE(QrvLangPackDownloadMonitor::languagePacksInstalled());
}

// ---- removal ----------------------------------------------------------------------

TEST_F(LangPack, RemoverRecognisesPackFileNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"img_enus.bin", "enus"}, {"img_enus.bin.old", "enus"}, {"str_dede.bin", "dede"},
        {"img_en.bin", nullptr},  {"str_enusx.bin", nullptr},   {"prm_.bin.bin", nullptr},
        {"notes.txt", nullptr},   {"dvk_enus.bin", nullptr},    {"lvr_enus", nullptr},
    };
    for (const auto& [name, language] : cases) {
        SCOPED_TRACE(name);
        std::string found;
        EXPECT_EQ(QrvLangPackRemover::packLanguage(name, found), language != nullptr);
        if (language != nullptr) {
            EXPECT_EQ(found, language);
        }
    }
}

TEST_F(LangPack, RemoverRemovesTheDownloadedPackOnce)
{
    installFakeIpkg();
    root.writeFile(std::string(kDownloaded) + "/notes.txt", "n");
    writePackFiles(root, kDownloaded, langPackFiles("dede"));
    Invoker invoker;
    QrvLangPackRemover remover(&invoker);
    ASSERT_TRUE(runUntil([&] { return !invoker.codes.empty(); }));
    runUntil([] { return false; }, 100);
    EXPECT_EQ(invoker.codes, std::vector<WexErr>{WexErrNone});
    EXPECT_EQ(ipkgLog(), "remove merrowind-lang-dede\n");
    EXPECT_FALSE(exists(std::string(kDownloaded) + "/prm_dede.bin"));
    EXPECT_TRUE(exists(std::string(kDownloaded) + "/notes.txt"));
}

TEST_F(LangPack, RemoverWithoutDirectoryOrWithoutInstaller)
{
    {
        Invoker invoker;
        QrvLangPackRemover remover(&invoker);
        EXPECT_EQ(invoker.codes, std::vector<WexErr>{13});
    }
    root.writeFile(std::string(kDownloaded) + "/prm_dede.bin", "p");
    Invoker invoker;
    QrvLangPackRemover remover(&invoker);
    ASSERT_TRUE(runUntil([&] { return log.contains("Failed to spawn upload process"); }));
    runUntil([] { return false; }, 100);
    EXPECT_TRUE(invoker.codes.empty());
}

TEST_F(LangPack, ARemoverReleasedEarlyReportsNothing)
{
    installFakeIpkg();
    writePackFiles(root, kDownloaded, langPackFiles("dede"));
    Invoker invoker;
    {
        QrvLangPackRemover remover(&invoker);
    }
    {
        // The removal child runs; its exit finds no remover.
        QrvLangPackRemover remover(&invoker);
        ASSERT_TRUE(runUntil([&] { return log.contains("attempting to remove language dede"); }));
    }
    ASSERT_TRUE(runUntil([&] { return log.contains("childExited"); }));
    runUntil([] { return false; }, 100);
    EXPECT_TRUE(invoker.codes.empty());
}

// ---- the sequence without a bus peer ---------------------------------------------------

WexObject parse(const char* text)
{
    WexObject value;
    WexObject::parse(text, value);
    return value;
}

TEST_F(LangPack, CompletedDownloadInstallsOnceAndResumesTheBringUp)
{
    installFakeIpkg();
    root.writeFile(kPackage, langPackage(langPackFiles("enus")));
    auto monitor = wexMakeRefCounted<QrvLangPackDownloadMonitor>(nullptr, 5);
    WexObject completed = parse(R"({"completed":true,"completionStatusCode":0,"amountReceived":3})");
    monitor->Result(completed, WexErrNone);
    monitor->Result(completed, WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
    EXPECT_EQ(ipkgLog(), "install " + root.at(kPackage) + "\n");
    EXPECT_FALSE(exists(kPackage));
    EXPECT_TRUE(log.contains("download already completed"));
    EXPECT_EQ(end.total(), 0);
}

struct FailureCase {
    const char* name;
    bool installer;
    bool package;
    const char* downloadedFile;  // in the downloaded-pack directory first
    PackFiles packageFiles;
    const char* logged;
    int shutdowns;
    size_t progressSends;        // "installProgress" requests made (no UI here)
};

// A display request without a request handler is dropped with this line.
constexpr const char* kUiRequest = "s_qrVoiceCmdServiceHandler is 0";

TEST_F(LangPack, FailuresOfTheInstall)
{
    const FailureCase cases[] = {
        {"no package", true, false, nullptr, {}, "file <root>" "/media/internal/downloads/voiceCommandLanguagePack.ipk does not exist. Exiting...", 2, 1},
        {"no installer, a pack to remove", false, true, "prm_dede.bin", langPackFiles("enus"),
         "Failed to spawn upload process", 0, 0},
        {"no installer, nothing to remove", false, true, "notes.txt", langPackFiles("enus"),
         "Failed to spawn upload process", 0, 1},
        {"wrong version installed", true, true, nullptr,
         {{"img_enus.bin", langPackFile(10)}, {"lvr_enus.bin", "l"}, {"prm_enus.bin", langPackFile(10)},
          {"str_enus.bin", langPackFile(20, "20100101.1.16")}},
         "Attempt to install language pack failed. Exiting...", 1, 1},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot caseRoot;
        LogCapture caseLog;
        ServiceEndDouble caseEnd;
        if (c.installer)
            ::installFakeIpkg(caseRoot.path(), FAKE_IPKG_PATH);
        if (c.package)
            caseRoot.writeFile(kPackage, langPackage(c.packageFiles));
        if (c.downloadedFile != nullptr)
            caseRoot.writeFile(std::string(kDownloaded) + "/" + c.downloadedFile, "x");
        auto monitor = wexMakeRefCounted<QrvLangPackDownloadMonitor>(nullptr, 5);
        WexObject completed = parse(R"({"completed":true,"completionStatusCode":0})");
        monitor->Result(completed, WexErrNone);
        std::string expected = c.logged;
        if (size_t at = expected.find("<root>"); at != std::string::npos)
            expected.replace(at, 6, caseRoot.path());
        ASSERT_TRUE(runUntil([&] { return caseLog.contains(expected); }, 5000)) << expected;
        runUntil([] { return false; }, 200);
        EXPECT_EQ(caseEnd.shutdowns, c.shutdowns);
        EXPECT_EQ(caseEnd.closings, 0);
        // The progress ticks of a running install add to the first request.
        if (c.progressSends == 0)
            EXPECT_EQ(caseLog.count(kUiRequest), 0u);
        else
            EXPECT_EQ(caseLog.count(kUiRequest) - caseLog.count("bytes installed:"), c.progressSends);
        EXPECT_FALSE(caseLog.contains("loadLanguageStatic"));
    }
}

TEST_F(LangPack, ProgressWithoutSizeRowLogsTheFailureOnEveryTick)
{
    setLanguage("ko", "KR");
    installFakeIpkg(2.5);  // room for two ticks on a slow machine
    root.writeFile(kPackage, langPackage({{"img_kokr.bin", langPackFile(10)}}));
    auto monitor = wexMakeRefCounted<QrvLangPackDownloadMonitor>(nullptr, 5);
    WexObject completed = parse(R"({"completed":true})");
    monitor->Result(completed, WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.count("Language pack install failure") >= 2; }, 5000));
    EXPECT_EQ(log.count(kUiRequest), 1u);
    ASSERT_TRUE(runUntil([&] { return log.contains("Attempt to install language pack failed"); }, 5000));
}

// A ticket whose status query cannot be sent leaves no monitor behind: the
// next ticket is not refused as "already running" and the downloaded pack is
// not removed for a download nobody follows.
TEST_F(LangPack, ATicketWhoseQueryCannotBeSentLeavesNoMonitor)
{
    installFakeIpkg();
    writePackFiles(root, kDownloaded, langPackFiles("enus"));
    WexSornaService closed{true, nullptr};
    struct Case {
        const char* name;
        WexService* service;
    };
    const Case cases[] = {{"no service", nullptr}, {"service not open", &closed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int32_t ticket : {7, 8}) {
            const WexErr err = QrvLangPackDownloadMonitor::Run(c.service, ticket);
            EXPECT_NE(err, WexErrNone);
            EXPECT_NE(err, -999);
            int32_t running = -1;
            EXPECT_FALSE(QrvLangPackDownloadMonitor::getTicket(running));
            EXPECT_EQ(running, 0);
        }
    }
    // The removal's first step would have run by now.
    runUntil([] { return false; }, 200);
    EXPECT_FALSE(log.contains("attempting to remove language"));
    EXPECT_FALSE(log.contains("Download manager monitor already running"));
    EXPECT_FALSE(exists("/var/log/ipkg.log"));
    EXPECT_EQ(end.total(), 0);
}

// ---- the sequence against the download manager ---------------------------------------

class LangPackDownload : public LangPack {
protected:
    void startSim(const std::vector<std::string>& script)
    {
        ASSERT_EQ(service.open("com.orvel.test.packs"), WexErrNone);
        m_sim = std::make_unique<SimProcess>();
        for (const std::string& line : script)
            m_sim->send(line);
        ASSERT_TRUE(waitForName(service.getService()->connection, "com.orvel.downloadmanager"));
    }

    std::string writeSource(const PackFiles& files)
    {
        const std::string source = "/tmp/source.ipk";
        root.writeFile(source, langPackage(files));
        return root.at(source);
    }

    void TearDown() override
    {
        LangPack::TearDown();
        m_sim.reset();
        service.close();
    }

    WexSornaService service{true, nullptr};
    std::unique_ptr<SimProcess> m_sim;
};

TEST_F(LangPackDownload, WholeSequenceInstallsWithProgressAndResumes)
{
    installFakeIpkg(0.6);
    const std::string source = writeSource(langPackFiles("enus"));
    startSim({"download-ticket 7 " + source + " 4 50"});
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 7), WexErrNone);
    int32_t ticket = 0;
    EXPECT_TRUE(QrvLangPackDownloadMonitor::getTicket(ticket));
    EXPECT_EQ(ticket, 7);
    ASSERT_GE(m_sim->waitLine("downloadStatusQuery"), 0);
    EXPECT_EQ(QrvLangPackDownloadMonitor::Run(&service, 8), -999);
    EXPECT_TRUE(log.contains("Download manager monitor already running"));

    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
    EXPECT_EQ(ipkgLog(), "install " + root.at(kPackage) + "\n");
    EXPECT_FALSE(exists(kPackage));
    EXPECT_FALSE(QrvLangPackDownloadMonitor::getTicket(ticket));
    EXPECT_EQ(ticket, 0);
    EXPECT_EQ(end.total(), 0);
    // One query only: the second Run sent nothing.
    size_t queries = 0;
    for (const std::string& line : m_sim->lines)
        queries += line.find("downloadStatusQuery") != std::string::npos;
    EXPECT_EQ(queries, 1u);
    // Progress: the installed bytes never shrink and stop at the files' sum.
    int last = -1;
    size_t ticks = 0;
    for (const LogCapture::Line& line : log.lines()) {
        int installed = 0;
        int total = 0;
        if (std::sscanf(line.text.c_str(), "bytes installed: %d out of %d", &installed, &total) != 2)
            continue;
        ++ticks;
        EXPECT_EQ(total, 1804591);
        EXPECT_GE(installed, last);
        EXPECT_LE(installed, 1000);
        last = installed;
    }
    EXPECT_GE(ticks, 2u);
}

TEST_F(LangPackDownload, DownloadFailures)
{
    installFakeIpkg();
    startSim({"download-fail 3 -3"});
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 3), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("Language download failed!  Exiting..."); }));
    int32_t ticket = 0;
    ASSERT_TRUE(runUntil([&] { return !QrvLangPackDownloadMonitor::getTicket(ticket); }));
    EXPECT_EQ(end.total(), 0);

    // An unknown ticket gets an error reply.
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 99), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("Language pack download failed. Exiting..."); }));
    EXPECT_EQ(end.shutdowns, 1);
}

// A failed download's monitor is released by a posted item. When that monitor
// is gone before the item runs and the next download has started, the item
// must leave the new monitor alone: its download is followed and installed.
TEST_F(LangPackDownload, AFailedDownloadsLateReleaseSparesTheNextDownload)
{
    installFakeIpkg();
    const std::string source = writeSource(langPackFiles("enus"));
    startSim({"download-fail 3 -3", "download-ticket 4 " + source + " 2 20"});
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 3), WexErrNone);
    // Returns right after the failing reply, before the release has run.
    ASSERT_TRUE(runUntil([&] { return log.contains("Language download failed!  Exiting..."); }));
    QrvLangPackDownloadMonitor::Done();
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 4), WexErrNone);

    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
    EXPECT_EQ(ipkgLog(), "install " + root.at(kPackage) + "\n");
    EXPECT_EQ(end.total(), 0);
}

TEST_F(LangPackDownload, CompletedTwiceInstallsOnce)
{
    installFakeIpkg();
    const std::string source = writeSource(langPackFiles("enus"));
    startSim({"download-ticket 4 " + source + " 2 20", "download-twice 4"});
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 4), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
    runUntil([] { return false; }, 200);
    EXPECT_EQ(ipkgLog(), "install " + root.at(kPackage) + "\n");
}

// A failure reported while the install runs does not stop the install's
// end: the package goes and the bring-up resumes, once.
TEST_F(LangPackDownload, AFailureReportedDuringTheInstallStillEndsIt)
{
    installFakeIpkg(0.6);
    const std::string source = writeSource(langPackFiles("enus"));
    startSim({"download-ticket 4 " + source + " 2 20", "download-then-fail 4 -5"});
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 4), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("Language download failed!  Exiting..."); }));
    EXPECT_TRUE(log.contains("install spawn success"));
    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
    runUntil([] { return false; }, 300);
    EXPECT_EQ(log.count("loadLanguageStatic"), 1u);
    EXPECT_EQ(ipkgLog(), "install " + root.at(kPackage) + "\n");
    EXPECT_FALSE(exists(kPackage));
    int32_t ticket = 0;
    EXPECT_FALSE(QrvLangPackDownloadMonitor::getTicket(ticket));
    EXPECT_EQ(end.total(), 0);
}

TEST_F(LangPackDownload, AProgressingDownloadKeepsTheWatchdogAway)
{
    installFakeIpkg();
    const std::string source = writeSource(langPackFiles("enus"));
    startSim({"download-ticket 6 " + source + " 10 100"});
    QrvWatchdog::setIntervalForTesting(300);
    QrvWatchdog::start();
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 6), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("\"completed\":true"); }));
    EXPECT_EQ(end.closings, 0);
    QrvWatchdog::stop();
    QrvWatchdog::setIntervalForTesting(QrvWatchdog::kIntervalMs);
    // The completion started the install: the installer must be done with
    // this test's root before the root goes.
    ASSERT_TRUE(runUntil([&] { return log.contains("loadLanguageStatic"); }));
}

TEST_F(LangPackDownload, NoDownloadPeerShutsDown)
{
    ASSERT_EQ(service.open("com.orvel.test.packs"), WexErrNone);
    ASSERT_EQ(QrvLangPackDownloadMonitor::Run(&service, 2), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("Language pack download failed. Exiting..."); }));
    EXPECT_EQ(end.shutdowns, 1);
}

} // namespace
