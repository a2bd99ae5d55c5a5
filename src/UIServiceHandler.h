// The phone application as the service's user interface: launched once per
// process through the application manager; it then subscribes with
// "registerUI". "UI" only.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"
#include "src/QrvBringupSteps.h"

#include <memory>
#include <string>

// One "launch" request to "com.orvel.applicationManager"; a failed reply is
// logged.
class AppLauncher : public WexSignalHandler {
public:
    static constexpr const char* PHONE_APP_ID = "com.orvel.app.phone";

    static void Launch(WexService* service, const char* appId, const WexObject& params);

    AppLauncher(WexService* service, std::string appId, WexObject params);
    WexErr Run();
    virtual WexErr Result(WexObject& reply, WexErr err);

    WexReplySlot m_slot{this, &AppLauncher::Result};

protected:
    ~AppLauncher() override = default;

private:
    WexService* m_service;
    std::string m_appId;
    WexObject m_params;
};

class UIServiceHandler {
public:
    using Reason_E = QrvUiStep::Reason_E;
    static constexpr const char* REASON_STR_NO_LANG = "no language pack";
    static constexpr const char* REASON_STR_NORMAL = "session start";
    static constexpr const char* REASON_STR_UNKNOWN = "unknown";

    // Launches `appId` once per process (later calls do nothing).
    static WexErr Start(WexService* service, const char* appId, Reason_E reason);
    static bool isRunning();

    // The launch parameters for `reason`.
    static WexObject launchParams(Reason_E reason);

    UIServiceHandler(WexService* service, const char* appId, Reason_E reason);

private:
    Reason_E m_reason;
};
