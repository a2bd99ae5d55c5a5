// The defaults of the handler's steps whose parts are not in the service
// yet: each logs that it was reached and does nothing more.
#include "oem/dvk_oem_ui.h"
#include "src/QrvLog.h"
#include "src/QrvSuiteUiEvent.h"
#include "src/QrvUiStateChange.h"

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

// The UI function table's state slots.
class DefaultUiStateChange : public QrvUiStateChange {
public:
    void toInitializing() override { DvkOemUI::uiStateChangeToInitializing(nullptr); }
    void toNeither() override { DvkOemUI::uiStateChangeToNeither(nullptr); }
};

class DefaultSuiteUiEvent : public QrvSuiteUiEvent {
public:
    void sendEvent(int32_t event, int32_t index) override
    {
        uiLog().log(WexLogDebug, "%s: no suite for event %d index %d", __func__, event, index);
    }
};

} // namespace

template <>
QrvUiStateChange& QrvSeam<QrvUiStateChange>::defaultImpl()
{
    static DefaultUiStateChange impl;
    return impl;
}

template <>
QrvSuiteUiEvent& QrvSeam<QrvSuiteUiEvent>::defaultImpl()
{
    static DefaultSuiteUiEvent impl;
    return impl;
}
