// The bring-up's outside steps until their parts are in the service: each
// logs that it was reached and answers nothing, so the bring-up waits there
// and the watchdog ends the service. The suite step is the suite's own entry points.
#include "src/QrvBringupSteps.h"

#include "oem/dvk_oem_app.h"
#include "src/QrvLog.h"

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

// The suite's own entry points; command recognition with the service's
// notification table.
class Suite : public QrvSuiteStep {
public:
    int create(CreateNotify notify, void* context) override
    {
        return dvk_app_create(notify, context);
    }
    int startCmdRecog() override { return dvk_app_startCmdRecog(&dvkCallbacks, nullptr); }
};

} // namespace

template <>
QrvSuiteStep& QrvSeam<QrvSuiteStep>::defaultImpl()
{
    static Suite impl;
    return impl;
}
