// The request handler of the bus service: the default category that answers
// the service's bus methods. This is its start-up shape: the application
// creates it and initialises it; the methods, service states and the
// watchdog join it later.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_ref_counted.h"

class QrVoiceCmdServiceHandler : public WexService::CategoryHandler {
public:
    // Makes a new handler the process's one handler (releasing an earlier
    // one) and returns it; null when none could be made.
    static WexRefCountedPtr<QrVoiceCmdServiceHandler> newService(WexSornaService& service);

    // Registers the bus methods, then starts the watchdog.
    WexErr Init();

    // The bus cancelled the UI's subscription.
    WexErr UIexited();

    static WexRefCountedPtr<QrVoiceCmdServiceHandler> s_qrVoiceCmdServiceHandler;

protected:
    explicit QrVoiceCmdServiceHandler(WexSornaService& service);
    ~QrVoiceCmdServiceHandler() override = default;

private:
    WexSornaService& m_service;
};
