#include "sim/sim_phone_app.h"

#include "platform/core/wex_logger.h"

#include <cstdlib>
#include <string>

namespace {

WexLogger s_log("SimPhoneApp");

bool toInt(const std::string& word, int32_t& out)
{
    char* end = nullptr;
    long value = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

} // namespace

// Writes each reply of one method's requests as a JSON line.
class SimPhoneApp::Replies : public WexSignalHandler {
public:
    Replies(FILE* out, const char* method) : m_out(out), m_method(method) {}

    WexErr Result(WexObject& reply, WexErr err)
    {
        WexObject line = WexObject::object();
        line.put("method", m_method);
        line.put("error", err);
        line.put("reply", reply);
        std::string text;
        if (WexErr jsonErr = line.toJson(text))
            return jsonErr;
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
        return WexErrNone;
    }

    WexReplySlot slot{this, &Replies::Result};

private:
    FILE* m_out;
    const char* m_method;
};

SimPhoneApp::SimPhoneApp(FILE* out)
    : m_out(out)
{
}

SimPhoneApp::~SimPhoneApp()
{
    stop();
}

WexErr SimPhoneApp::start(WexService& service)
{
    m_service = &service;
    m_events = wexMakeRefCounted<Replies>(m_out, "UIevent");
    return m_events ? WexErrNone : WexErrNoMemory;
}

void SimPhoneApp::stop()
{
    if (m_registerUi) {
        WexRefCountedPtr<Replies> keep = m_registerUi;
        keep->slot.cancel();
        m_registerUi.reset();
    }
}

WexErr SimPhoneApp::command(const std::vector<std::string>& words)
{
    if (words.empty())
        return WexErrNotFound;
    const std::string& verb = words[0];
    if (verb == "register") {
        if (words.size() != 1)
            return WexErrInvalidArg;
        return registerUI();
    }
    if (verb == "event") {
        int32_t event = 0;
        int32_t index = 0;
        if (words.size() != 3 || !toInt(words[1], event) || !toInt(words[2], index))
            return WexErrInvalidArg;
        WexObject params = WexObject::object();
        params.put("event", event);
        params.put("index", index);
        return call("UIevent", params, 1, false);
    }
    if (verb == "cancel") {
        if (words.size() != 1)
            return WexErrInvalidArg;
        stop();
        return WexErrNone;
    }
    return WexErrNotFound;
}

WexErr SimPhoneApp::registerUI()
{
    return call("registerUI", WexObject::object(), WexServiceRequest::Unlimited, true);
}

WexErr SimPhoneApp::call(const char* method, const WexObject& params, int replies, bool subscription)
{
    if (m_service == nullptr)
        return WexErrBadState;
    WexRefCountedPtr<Replies> handler = m_events;
    if (subscription) {
        handler = wexMakeRefCounted<Replies>(m_out, method);
        if (!handler)
            return WexErrNoMemory;
    }
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = m_service->createRequest(request))
        return err;
    if (WexErr err = request->send(handler->slot, ServiceName, method, params, replies)) {
        s_log.log(WexLogError, "%s: cannot send: %s", method, wexErrText(err));
        return err;
    }
    if (subscription) {
        // One subscription at a time. The old one is cancelled only after the
        // new request went out, so the service sees the replacement first and
        // not a user interface that went away.
        stop();
        m_registerUi = handler;
    }
    return WexErrNone;
}
