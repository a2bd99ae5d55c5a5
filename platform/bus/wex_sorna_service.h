// The bus service of a service application, on the phone's bus.
#pragma once

#include "platform/bus/qb_orvel_service.h"
#include "platform/bus/wex_service.h"

class WexSornaService : public WexService {
public:
    // `publicBus`: the desktop has one bus, so it only documents the intent.
    // `address`: the bus to use; null for $DBUS_SESSION_BUS_ADDRESS.
    WexSornaService(bool publicBus, const char* address);
    ~WexSornaService() override;

    // The handle the media client connects through; null until open().
    QbOrvelService* getService() { return handle(); }

    bool isPublicBus() const { return m_publicBus; }

private:
    bool m_publicBus;
};
