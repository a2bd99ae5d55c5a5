#include "src/QrVoiceCmdServiceApp.h"

#include "platform/core/wex_errlog.h"
#include "src/QrvLog.h"
#include "src/QrvWorkQueues.h"

#include <cstdint>

QrVoiceCmdServiceApp* QrVoiceCmdServiceApp::s_app = nullptr;
std::atomic<bool> QrVoiceCmdServiceApp::s_shutdownActive{false};

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

} // namespace

QrVoiceCmdServiceApp::QrVoiceCmdServiceApp() : WexReactorApp<WexGmainReactor>(1, 0, nullptr)
{
    if (s_app == nullptr)
        s_app = this;
    else
        uiLog().log(WexLogError, "can't have two %s's", "QrVoiceCmdServiceApp");
}

QrVoiceCmdServiceApp::~QrVoiceCmdServiceApp()
{
    if (s_app == this)
        s_app = nullptr;
}

WexSornaService* QrVoiceCmdServiceApp::getSornaService()
{
    return s_app != nullptr ? &s_app->m_service : nullptr;
}

WexErr QrVoiceCmdServiceApp::open()
{
    uiLog().log(WexLogNotice, "%s (%s)   starting...", name(), VERSION);
    uiLog().log(WexLogDebug, "testing UIthread logging");

    if (WexErr err = WexReactorApp<WexGmainReactor>::open())
        return WEX_CHECKED(uiLog(), err);

    WexErr err = m_service.open(SERVICE_NAME);
    uiLog().log(WexLogDebug, "service=%d", static_cast<int>(reinterpret_cast<intptr_t>(m_service.getService())));
    if (err)
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = m_service.attach(reactor().context()))
        return WEX_CHECKED(uiLog(), err);

    QrvWorkQueuesInit();

    m_handler = QrVoiceCmdServiceHandler::newService(m_service);
    if (m_handler == nullptr)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    if (WexErr err = m_handler->Init())
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = m_service.setDefaultCategory(m_handler))
        return WEX_CHECKED(uiLog(), err);

    uiLog().log(WexLogNotice, "%s started.", name());
    return WexErrNone;
}

WexErr QrVoiceCmdServiceApp::close()
{
    uiLog().log(WexLogNotice, "%s stopping...", name());
    WexErr result = WexErrNone;
    if (WexErr err = m_service.close())
        result = WEX_ACCUMULATED(uiLog(), err);
    if (WexErr err = WexReactorApp<WexGmainReactor>::close())
        result = WEX_ACCUMULATED(uiLog(), err);
    uiLog().log(WexLogNotice, "%s stopped.", name());
    return result;
}
