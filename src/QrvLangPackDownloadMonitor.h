// The language pack of the current language: whether it is installed, and
// the sequence that follows its download by ticket, removes the previously
// downloaded pack, installs the new package and resumes the bring-up. One
// monitor at most (s_monitor); everything runs on "UI".
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"
#include "src/QrvLangPackRemover.h"
#include "src/QrvLangPackSizes.h"
#include "src/QrvTimeout.h"

#include <glib.h>

#include <cstdint>
#include <memory>
#include <string>

class QrvLangPackDownloadMonitor : public WexSignalHandler, public QrvLangPackRemoverInvoker {
public:
    static constexpr const char* ipkFileDirName = "/media/internal/downloads";
    static constexpr const char* ipkFileFileName = "voiceCommandLanguagePack.ipk";
    static constexpr const char* packVersion = "20110107.1.16";

    // Install progress: every 500 ms, 30 times.
    class InstallStatusMonitor : public QrvTimeout {
    public:
        InstallStatusMonitor();
        void expiredCallback() override;
        void done() override;

    private:
        int32_t m_language;
        std::string m_languageString;
        const QrvLangPackSize* m_sizes;
    };

    // The current language's pack is complete in the installed-pack
    // directory, or else in the downloaded-pack directory.
    static bool languagePacksInstalled();
    // `dir` is a resolved path.
    static bool languagePacksInstalledInDir(const std::string& dir);
    // The running monitor's ticket; 0 and false without one.
    static bool getTicket(int32_t& ticket);
    // -999 when a monitor already runs.
    static WexErr Run(WexService* service, int32_t ticket);
    static void Done();
    // A work item posted by a monitor whose download failed: releases it.
    // A newer monitor started meanwhile is left running.
    static gboolean destroy(gpointer unused);

    void removerDone(WexErr err) override;
    WexErr Result(WexObject& reply, WexErr err);
    WexErr checkForAndInstallIpkg();

    WexReplySlot m_slot{this, &QrvLangPackDownloadMonitor::Result};

    QrvLangPackDownloadMonitor(WexService* service, int32_t ticket);

protected:
    ~QrvLangPackDownloadMonitor() override;

private:
    // Ends the subscription, the removal and the progress timer; a child
    // watch still pending no longer reaches this monitor.
    void release();
    void installFinished();

    static WexRefCountedPtr<QrvLangPackDownloadMonitor> s_monitor;

    std::shared_ptr<QrvLangPackRemover> m_remover;
    WexService* m_service;
    int32_t m_ticket;
    bool m_removerDone = false;
    bool m_downloadDone = false;
    // The download failed; destroy is on its way.
    bool m_failed = false;
    // The install was spawned: only its end releases the monitor.
    bool m_installing = false;
    std::shared_ptr<InstallStatusMonitor> m_progress;
    // Alive until release: what a child watch checks before it acts.
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
};
