// The one application of the process: the framework's reactor application
// over the GLib main loop. Its open takes the bus name, starts "VR", creates
// the request handler and registers it; its close gives the name up.
#pragma once

#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_gmain_reactor.h"
#include "platform/core/wex_reactor_app.h"
#include "platform/core/wex_ref_counted.h"
#include "src/QrVoiceCmdServiceHandler.h"

#include <atomic>

class QrVoiceCmdServiceApp : public WexReactorApp<WexGmainReactor> {
public:
    static constexpr const char* SERVICE_NAME = "com.orvel.merrowind";
    static constexpr const char* VERSION = "20110107.1.16";

    QrVoiceCmdServiceApp();
    ~QrVoiceCmdServiceApp() override;

    WexErr open() override;
    WexErr close() override;

    // The bus service of the process's application (null when there is none).
    static WexSornaService* getSornaService();

    // Begins the shut-down, once per process, from any thread: the recorder
    // and the player stop on "VR", the media capture on "UI", then the final
    // step. Without an application the process ends at once with status 1.
    static void S_shutdownStart();
    // The final step, on "UI": the subscriptions end, the handler goes, and
    // the main loop stops. Runs once.
    static void S_finalShutDown();

    // The first application constructed; a second one is refused.
    static QrVoiceCmdServiceApp* s_app;
    // Set once the shut-down sequence has begun.
    static std::atomic<bool> s_shutdownActive;

private:
    // Destroyed in reverse: the bus service, then the handler, then the reactor.
    WexRefCountedPtr<QrVoiceCmdServiceHandler> m_handler;
    WexSornaService m_service{true, nullptr};
};
