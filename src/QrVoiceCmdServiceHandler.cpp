#include "src/QrVoiceCmdServiceHandler.h"

#include "platform/core/wex_errlog.h"
#include "src/QrvLog.h"

#include <new>

WexRefCountedPtr<QrVoiceCmdServiceHandler> QrVoiceCmdServiceHandler::s_qrVoiceCmdServiceHandler;

namespace {

// Ended by the empty entry; the service's methods are added here.
const WexService::CategoryHandler::Method s_methods[] = {
    {},
};

} // namespace

QrVoiceCmdServiceHandler::QrVoiceCmdServiceHandler(WexSornaService& service) : m_service(service) {}

WexRefCountedPtr<QrVoiceCmdServiceHandler> QrVoiceCmdServiceHandler::newService(WexSornaService& service)
{
    auto* handler = new (std::nothrow) QrVoiceCmdServiceHandler(service);
    if (handler == nullptr)
        return {};
    s_qrVoiceCmdServiceHandler = WexRefCountedPtr<QrVoiceCmdServiceHandler>(handler);
    return s_qrVoiceCmdServiceHandler;
}

WexErr QrVoiceCmdServiceHandler::Init()
{
    if (WexErr err = addMethods(s_methods, false))
        return WEX_CHECKED(QrvLog::UIthread::qrvLog, err);
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::UIexited()
{
    return WexErrNone;
}
