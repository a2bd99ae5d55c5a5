#include "src/QrvLangPackDownloadMonitor.h"

#include "oem/dvk_oem_file.h"
#include "oem/dvk_oem_ui.h"
#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "platform/core/wex_root.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvLangPackDownloadStart.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangPack.h"
#include "src/QrvLangPackSpawn.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"
#include "src/workqueue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

constexpr int kVersionLength = 13;
constexpr int kVersionRead = 14;

std::string packagePath()
{
    return wexRootPath(std::string(QrvLangPackDownloadMonitor::ipkFileDirName) + "/" +
                       QrvLangPackDownloadMonitor::ipkFileFileName);
}

// The image, prompt and string files begin with the service's version.
bool versionMatches(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        uiLog().log(WexLogWarning, "Cannot open file %s", path.c_str());
        return false;
    }
    char buffer[kVersionRead + 1] = {};
    ssize_t got = 0;
    while (got < kVersionRead) {
        const ssize_t n = read(fd, buffer + got, kVersionRead - got);
        if (n <= 0)
            break;
        got += n;
    }
    close(fd);
    if (got < kVersionRead) {
        uiLog().log(WexLogWarning, "Couldn't read %d bytes from %s.  Got %d", kVersionRead, path.c_str(),
                    static_cast<int>(got));
        return false;
    }
    if (std::strncmp(buffer, QrvLangPackDownloadMonitor::packVersion, kVersionLength) != 0) {
        uiLog().log(WexLogDebug, "Version mismatch for %s.  Expected %.14s Got %.14s", path.c_str(),
                    QrvLangPackDownloadMonitor::packVersion, buffer);
        return false;
    }
    return true;
}

// The bring-up's pack check.
class LanguagePack : public QrvLanguagePackStep {
public:
    bool languagePacksInstalled() override { return QrvLangPackDownloadMonitor::languagePacksInstalled(); }
};

// The handler's download ticket; the monitor keeps tickets of 32 bits.
class DownloadStart : public QrvLangPackDownloadStart {
public:
    void run(QrVoiceCmdServiceHandler& handler, int64_t ticket) override
    {
        if (ticket < INT32_MIN || ticket > INT32_MAX) {
            uiLog().log(WexLogError, "%s: ticket %lld out of range", __func__, static_cast<long long>(ticket));
            return;
        }
        QrvLangPackDownloadMonitor::Run(handler.service(), static_cast<int32_t>(ticket));
    }
    bool getTicket(int64_t& ticket) override
    {
        int32_t value = 0;
        const bool running = QrvLangPackDownloadMonitor::getTicket(value);
        ticket = value;
        return running;
    }
};

} // namespace

template <>
QrvLanguagePackStep& QrvSeam<QrvLanguagePackStep>::defaultImpl()
{
    static LanguagePack impl;
    return impl;
}

template <>
QrvLangPackDownloadStart& QrvSeam<QrvLangPackDownloadStart>::defaultImpl()
{
    static DownloadStart impl;
    return impl;
}

WexRefCountedPtr<QrvLangPackDownloadMonitor> QrvLangPackDownloadMonitor::s_monitor;

bool QrvLangPackDownloadMonitor::languagePacksInstalledInDir(const std::string& dir)
{
    const std::string language = QrvLangSettingGetter::getCurrentLanguageFileString();
    for (const char* prefix : QrvLangPack::filenamePrefixes) {
        const std::string path = dir + "/" + prefix + language + ".bin";
        if (!dvk_oem_file_fexist(path.c_str())) {
            uiLog().log(WexLogDebug, "File %s missing.  Language pack is not installed.", path.c_str());
            return false;
        }
        if (std::strcmp(prefix, "lvr_") != 0 && !versionMatches(path))
            return false;
    }
    return true;
}

bool QrvLangPackDownloadMonitor::languagePacksInstalled()
{
    if (languagePacksInstalledInDir(wexRootPath(QrvFileSystem::QRV_LANGPACK_ROM_DIR)))
        return true;
    return languagePacksInstalledInDir(wexRootPath(QrvFileSystem::QRV_LANGPACK_DIR));
}

bool QrvLangPackDownloadMonitor::getTicket(int32_t& ticket)
{
    if (!s_monitor) {
        ticket = 0;
        return false;
    }
    ticket = s_monitor->m_ticket;
    return true;
}

QrvLangPackDownloadMonitor::QrvLangPackDownloadMonitor(WexService* service, int32_t ticket)
    : m_service(service), m_ticket(ticket)
{
    m_remover = std::make_shared<QrvLangPackRemover>(this);
}

QrvLangPackDownloadMonitor::~QrvLangPackDownloadMonitor() = default;

WexErr QrvLangPackDownloadMonitor::Run(WexService* service, int32_t ticket)
{
    WEX_TRACE_FUNCTION(uiLog());
    if (s_monitor) {
        uiLog().log(WexLogWarning, "Download manager monitor already running");
        return -999;
    }
    WexRefCountedPtr<QrvLangPackDownloadMonitor> monitor = wexMakeRefCounted<QrvLangPackDownloadMonitor>(service, ticket);
    if (!monitor)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    s_monitor = monitor;
    WexObject params = WexObject::object();
    params.put("ticket", static_cast<int64_t>(ticket));
    params.put("subscribe", true);
    WexRefCountedPtr<WexServiceRequest> request;
    WexErr err = WexServiceRequest::create(service, request);
    if (err == WexErrNone)
        err = request->send(monitor->m_slot, "com.orvel.downloadmanager", "downloadStatusQuery", params,
                            WexServiceRequest::Unlimited);
    if (err != WexErrNone) {
        // Nothing will report on this ticket: a monitor left behind would
        // refuse every later ticket as "already running" and remove the
        // downloaded pack for a download that never comes.
        Done();
        return WEX_CHECKED(uiLog(), err);
    }
    return WexErrNone;
}

void QrvLangPackDownloadMonitor::release()
{
    m_live.reset();
    m_slot.cancel();
    m_remover.reset();
    m_progress.reset();
}

void QrvLangPackDownloadMonitor::Done()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<QrvLangPackDownloadMonitor> monitor = std::move(s_monitor);
    s_monitor = {};
    if (monitor)
        monitor->release();
}

gboolean QrvLangPackDownloadMonitor::destroy(gpointer)
{
    // The failed monitor may have been released before this item ran, and a
    // new download started since; that one is not this item's to end.
    if (s_monitor && !s_monitor->m_failed)
        return FALSE;
    Done();
    return FALSE;
}

void QrvLangPackDownloadMonitor::removerDone(WexErr err)
{
    uiLog().log(WexLogDebug, "%s: %d", __func__, static_cast<int>(err));
    m_removerDone = true;
    checkForAndInstallIpkg();
}

WexErr QrvLangPackDownloadMonitor::Result(WexObject& reply, WexErr err)
{
    // The handler may release this monitor; keep it until the reply is read.
    WexRefCountedPtr<QrvLangPackDownloadMonitor> self(this);
    if (err != WexErrNone) {
        QrVoiceCmdServiceHandler::LogError(err);
        uiLog().log(WexLogError, "Language pack download failed. Exiting...");
        QrvServiceEnd::get().shutdownStart();
        return WexErrNone;
    }
    std::string text;
    if (WexErr e = reply.toJson(text))
        return WEX_CHECKED(uiLog(), e);
    uiLog().log(WexLogDebug, "%s\n", text.c_str());

    bool completed = false;
    int32_t status = 0;
    bool statusFound = false;
    if (WexErr e = reply.getOptional("completed", completed))
        return WEX_CHECKED(uiLog(), e);
    if (WexErr e = reply.getOptional("completionStatusCode", status, &statusFound))
        return WEX_CHECKED(uiLog(), e);

    if (statusFound && status < 0) {
        uiLog().log(WexLogError, "Language download failed!  Exiting...");
        // A running install ends as every install does, through its child
        // watch: released now, the package would stay and the bring-up
        // would never resume.
        if (m_installing)
            return WexErrNone;
        m_failed = true;
        workqueue_add(appWorkQueue.load(), destroy, nullptr, 0);
        return WexErrNone;
    }
    if (completed) {
        if (m_downloadDone) {
            uiLog().log(WexLogWarning, "%s: download already completed; reply ignored", __func__);
        } else {
            m_downloadDone = true;
            if (checkForAndInstallIpkg() != WexErrNone) {
                uiLog().log(WexLogError, "Can't find language file that was supposedly downloaded!  Exiting...");
                QrvServiceEnd::get().shutdownStart();
                return WexErrNone;
            }
        }
    }
    int64_t received = 0;
    bool receivedFound = false;
    reply.getOptional("amountReceived", received, &receivedFound);
    if (receivedFound && received > 0)
        QrvWatchdog::iAmAlive();
    return WexErrNone;
}

WexErr QrvLangPackDownloadMonitor::checkForAndInstallIpkg()
{
    uiLog().log(WexLogDebug, "remover: %s  download: %s", m_removerDone ? "done" : "running",
                m_downloadDone ? "done" : "running");
    if (!m_removerDone || !m_downloadDone)
        return WexErrNone;

    DvkOemUI::QrvUI_updateInstallProgress(0, 1);
    const std::string path = packagePath();
    if (!dvk_oem_file_fexist(path.c_str())) {
        uiLog().log(WexLogError, "file %s does not exist. Exiting...", path.c_str());
        QrvServiceEnd::get().shutdownStart();
        return 13;
    }
    std::weak_ptr<int> live = m_live;
    QrvLangPackDownloadMonitor* self = this;
    std::string error;
    GPid pid = 0;
    guint source = 0;
    if (!qrvSpawnIpkg("install", path,
                      [live, self] {
                          if (!live.expired())
                              self->installFinished();
                      },
                      error, &pid, &source)) {
        uiLog().log(WexLogError, "Failed to spawn upload process %s", error.c_str());
        return WexErrNone;
    }
    m_installing = true;
    uiLog().log(WexLogDebug, "%s: install spawn success pid=%d", __func__, static_cast<int>(pid));
    uiLog().log(WexLogDebug, "%s: source=%d id=%d", __func__, static_cast<int>(pid), static_cast<int>(source));
    m_progress = std::make_shared<InstallStatusMonitor>();
    return WexErrNone;
}

void QrvLangPackDownloadMonitor::installFinished()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<QrvLangPackDownloadMonitor> keep(this);
    std::remove(packagePath().c_str());
    Done();
    if (languagePacksInstalled()) {
        QrvBringUp::loadLanguageStatic();
        return;
    }
    uiLog().log(WexLogError, "Attempt to install language pack failed. Exiting...");
    QrvServiceEnd::get().shutdownStart();
}

QrvLangPackDownloadMonitor::InstallStatusMonitor::InstallStatusMonitor()
    : QrvTimeout(500, 30),
      m_language(QrvLangSettingGetter::getCurrentLanguage()),
      m_languageString(QrvLangSettingGetter::getCurrentLanguageFileString()),
      m_sizes(findLanguagePackSize(m_language))
{
}

void QrvLangPackDownloadMonitor::InstallStatusMonitor::expiredCallback()
{
    if (m_sizes == nullptr) {
        uiLog().log(WexLogError, "%s: Language pack install failure", __func__);
        return;
    }
    int64_t installed = 0;
    int64_t total = 0;
    for (const QrvLangPackFileSize& file : m_sizes->files) {
        const std::string path = wexRootPath(std::string(QrvFileSystem::QRV_LANGPACK_DIR) + "/" + file.kind + "_" +
                                             m_languageString + ".bin");
        struct stat info = {};
        const int result = stat(path.c_str(), &info);
        uiLog().log(WexLogDebug, "stat(%s)=%d size=%d", path.c_str(), result,
                    result == 0 ? static_cast<int>(info.st_size) : 0);
        if (result == 0)
            installed += info.st_size;
        total += file.size;
    }
    uiLog().log(WexLogDebug, "bytes installed: %d out of %d", static_cast<int>(installed), static_cast<int>(total));
    DvkOemUI::QrvUI_updateInstallProgress(installed, total);
}

void QrvLangPackDownloadMonitor::InstallStatusMonitor::done()
{
    uiLog().log(WexLogDebug, "%s", __func__);
}
