#include "platform/bus/wex_sorna_service.h"

WexSornaService::WexSornaService(bool publicBus, const char* address)
    : m_publicBus(publicBus)
{
    setAddress(address);
}

WexSornaService::~WexSornaService() = default;
