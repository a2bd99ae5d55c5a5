#include "src/UIServiceHandler.h"

#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvLangPackDownloadStart.h"
#include "src/QrvLangPackSizes.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLog.h"

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

// Never cleared: the application is launched once per process.
std::shared_ptr<UIServiceHandler> s_uiServiceHandler;

constexpr int32_t kUnknownPackSize = 800;

// The default of the bring-up's UI step.
class UiLaunch : public QrvUiStep {
public:
    void launch(WexService* service, Reason_E reason) override
    {
        UIServiceHandler::Start(service, AppLauncher::PHONE_APP_ID, reason);
    }
};

} // namespace

template <>
QrvUiStep& QrvSeam<QrvUiStep>::defaultImpl()
{
    static UiLaunch impl;
    return impl;
}

void AppLauncher::Launch(WexService* service, const char* appId, const WexObject& params)
{
    auto launcher = wexMakeRefCounted<AppLauncher>(service, appId, params);
    if (!launcher) {
        WEX_THROWN(uiLog(), WexErrNoMemory);
        return;
    }
    // The pending request holds the launcher until its reply is handled.
    launcher->Run();
}

AppLauncher::AppLauncher(WexService* service, std::string appId, WexObject params)
    : m_service(service), m_appId(std::move(appId)), m_params(std::move(params))
{
}

WexErr AppLauncher::Run()
{
    WexObject payload = WexObject::object();
    payload.put("id", m_appId);
    payload.put("params", m_params);
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = WexServiceRequest::create(m_service, request))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = request->send(m_slot, "com.orvel.applicationManager", "launch", payload, 1))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

WexErr AppLauncher::Result(WexObject&, WexErr err)
{
    if (err != WexErrNone)
        QrVoiceCmdServiceHandler::LogError(err);
    return WexErrNone;
}

WexErr UIServiceHandler::Start(WexService* service, const char* appId, Reason_E reason)
{
    if (s_uiServiceHandler)
        return WexErrNone;
    s_uiServiceHandler = std::make_shared<UIServiceHandler>(service, appId, reason);
    return WexErrNone;
}

bool UIServiceHandler::isRunning()
{
    return static_cast<bool>(s_uiServiceHandler);
}

WexObject UIServiceHandler::launchParams(Reason_E reason)
{
    WexObject params = WexObject::object();
    params.put("action", "voicecommand");
    const QrvLangPackSize* pack = findLanguagePackSize(QrvLangSettingGetter::getCurrentLanguage());
    const int32_t size = pack != nullptr ? pack->packageSize : kUnknownPackSize;
    switch (reason) {
    case QrvUiStep::REASON_SESSION_START:
        params.put("reason", REASON_STR_NORMAL);
        break;
    case QrvUiStep::REASON_NO_LANG:
        params.put("reason", REASON_STR_NO_LANG);
        params.put("size", size);
        params.put("URL", "merrowind-lang-" + QrvLangSettingGetter::getCurrentLanguageFileString() + "_" +
                              QrVoiceCmdServiceApp::VERSION + "_all.ipk");
        params.put("targetDir", "/media/internal/downloads");
        params.put("targetFilename", "voiceCommandLanguagePack.ipk");
        break;
    case QrvUiStep::REASON_DOWNLOADING: {
        params.put("reason", REASON_STR_NO_LANG);
        int64_t ticket = 0;
        if (!QrvLangPackDownloadStart::get().getTicket(ticket)) {
            uiLog().log(WexLogError, "state error in language pack download.");
            ticket = 0;
        }
        params.put("size", size);
        params.put("ticket", ticket);
        break;
    }
    default:
        params.put("reason", REASON_STR_UNKNOWN);
        break;
    }
    return params;
}

UIServiceHandler::UIServiceHandler(WexService* service, const char* appId, Reason_E reason) : m_reason(reason)
{
    AppLauncher::Launch(service, appId, launchParams(reason));
}
