// The user interface's open "registerUI" call, which carries every display
// request as a further reply, and the notice when the bus cancels it (the UI
// application left or unsubscribed). Lives and is called on "UI" only.
#pragma once

#include "platform/bus/wex_service_message.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"

class QrVoiceCmdServiceHandler;

class QrvUiSubscription : public WexSignalHandler {
public:
    // Keeps a reference to the message and listens for its cancel.
    QrvUiSubscription(QrVoiceCmdServiceHandler& handler, WexServiceMessage* message);

    WexServiceMessage* msg() const { return m_msg.get(); }

    // Stops listening: a later bus cancel no longer reaches the handler.
    // Sends nothing.
    void cancel();

    // The bus cancelled the subscription: stop listening and tell the handler.
    WexErr HandleCancel(WexServiceMessage* message);

protected:
    ~QrvUiSubscription() override;

private:
    QrVoiceCmdServiceHandler& m_handler;
    WexRefCountedPtr<WexServiceMessage> m_msg;
    WexServiceMessage::CancelSlot m_cancelSlot{this, &QrvUiSubscription::HandleCancel};
};
