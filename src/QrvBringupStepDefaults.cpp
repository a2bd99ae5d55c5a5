// The bring-up's suite step: the suite's own entry points.
#include "src/QrvBringupSteps.h"

#include "oem/dvk_oem_app.h"

namespace {

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
