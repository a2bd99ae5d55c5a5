#include "src/QrvUiSubscription.h"

#include "platform/core/wex_errlog.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvLog.h"

QrvUiSubscription::QrvUiSubscription(QrVoiceCmdServiceHandler& handler, WexServiceMessage* message)
    : m_handler(handler), m_msg(message)
{
    // A message already cancelled reports it later from the loop, never from
    // inside this constructor.
    if (m_msg != nullptr) {
        if (WexErr err = m_msg->notifyCancel(m_cancelSlot))
            WEX_CAUGHT(QrvLog::UIthread::qrvLog, err);
    }
}

QrvUiSubscription::~QrvUiSubscription() = default;

void QrvUiSubscription::cancel()
{
    // Ending the connection may drop the last other reference to us.
    WexRefCountedPtr<QrvUiSubscription> keep(this);
    m_cancelSlot.cancel();
}

WexErr QrvUiSubscription::HandleCancel(WexServiceMessage*)
{
    WexRefCountedPtr<QrvUiSubscription> keep(this);
    m_cancelSlot.cancel();
    return m_handler.UIexited();
}
