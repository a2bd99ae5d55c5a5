#include "src/BoardTypeSettingGetter.h"

#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "platform/core/wex_signal.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvLastOutgoingCallGetter.h"
#include "src/QrvLog.h"
#include "src/QrvSettings.h"

#include <memory>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

constexpr const char* kBoardTypeKey = "com.orvel.properties.boardType";

class BringupBoardType : public BoardTypeSettingGetter {
public:
    explicit BringupBoardType(WexService* service) : BoardTypeSettingGetter(service) { start(); }
    void boardTypeSettingRead() override { QrvBringUp::boardTypeSettingRead(); }
};

class BringupLastCall : public QrvLastOutgoingCallGetter {
public:
    explicit BringupLastCall(WexService* service) : QrvLastOutgoingCallGetter(service) { start(); }
    void outgoingCallGetterdone() override { QrvBringUp::outgoingCallGetterdone(); }
};

// The bring-up's two getters; each kept until the next bring-up replaces it.
class PhoneInfo : public QrvPhoneInfoStep {
public:
    void readBoardType(WexService* service) override { m_board = std::make_unique<BringupBoardType>(service); }
    void readLastOutgoingCall(WexService* service) override
    {
        m_lastCall = std::make_unique<BringupLastCall>(service);
    }

private:
    std::unique_ptr<BoardTypeSettingGetter> m_board;
    std::unique_ptr<QrvLastOutgoingCallGetter> m_lastCall;
};

} // namespace

template <>
QrvPhoneInfoStep& QrvSeam<QrvPhoneInfoStep>::defaultImpl()
{
    static PhoneInfo impl;
    return impl;
}

class BoardTypeSettingGetterPimpl : public WexSignalHandler {
public:
    BoardTypeSettingGetterPimpl(WexService* service, BoardTypeSettingGetter* getter)
        : m_service(service), m_getter(getter)
    {
    }

    WexErr start()
    {
        WexObject params = WexObject::object();
        params.put("key", kBoardTypeKey);
        WexRefCountedPtr<WexServiceRequest> request;
        if (WexErr err = WexServiceRequest::create(m_service, request))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = request->send(m_slot, "com.orvel.preferences", "systemProperties/Get", params, 1))
            return WEX_CHECKED(uiLog(), err);
        return WexErrNone;
    }

    WexErr Result(WexObject& reply, WexErr err)
    {
        if (err != WexErrNone) {
            uiLog().log(WexLogError, "%s: err=%d", __func__, static_cast<int>(err));
            return WexErrNone;
        }
        std::string boardType;
        if (WexErr e = reply.get(kBoardTypeKey, boardType))
            return WEX_CHECKED(uiLog(), e);
        QrvSettings::setBoardType(boardType.c_str());
        if (m_getter != nullptr)
            m_getter->boardTypeSettingRead();
        return WexErrNone;
    }

    // The public getter went away: a late reply reaches nobody.
    void detach() { m_getter = nullptr; }

    WexReplySlot m_slot{this, &BoardTypeSettingGetterPimpl::Result};

protected:
    ~BoardTypeSettingGetterPimpl() override = default;

private:
    WexService* m_service;
    BoardTypeSettingGetter* m_getter;
};

BoardTypeSettingGetter::BoardTypeSettingGetter(WexService* service) : m_service(service) {}

BoardTypeSettingGetter::~BoardTypeSettingGetter()
{
    if (m_pimpl)
        m_pimpl->detach();
}

void BoardTypeSettingGetter::start()
{
    m_pimpl = wexMakeRefCounted<BoardTypeSettingGetterPimpl>(m_service, this);
    if (m_pimpl)
        m_pimpl->start();
}
