// The defaults of the handler's steps: the UI table's state slots and the
// suite's UI events.
#include "oem/dvk_oem_ui.h"
#include "sdk/common/dvk_ui.h"
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

// The suite's event message; when it cannot be built the event is lost,
// which only the log can tell.
class DefaultSuiteUiEvent : public QrvSuiteUiEvent {
public:
    void sendEvent(int32_t event, int32_t index) override
    {
        if (dvk_ui_sendEvent(event, index) != 0)
            uiLog().log(WexLogError, "%s: dvk_ui_sendEvent failed for event %d index %d", __func__, event,
                        index);
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
