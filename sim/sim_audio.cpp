#include "sim/sim_audio.h"

#include "platform/core/wex_logger.h"
#include "sim/sim_line.h"

#include <algorithm>
#include <vector>

namespace {

WexLogger s_log("SimAudio");

} // namespace

// The kept status subscriptions; a cancelled one is dropped and the routing
// reverts.
class SimAudio::Subscriptions : public WexSignalHandler {
public:
    explicit Subscriptions(SimAudio& audio) : m_audio(audio) {}

    void keep(WexServiceMessage* message)
    {
        message->notifyCancel(m_cancelSlot);
        m_messages.emplace_back(message);
    }

    void send(const WexObject& status)
    {
        for (auto& message : m_messages)
            if (WexErr err = message->reply(status))
                s_log.log(WexLogWarning, "status reply: %s", wexErrText(err));
    }

    WexErr onCancel(WexServiceMessage* message)
    {
        m_messages.erase(std::remove_if(m_messages.begin(), m_messages.end(),
                                        [message](const auto& m) { return m.get() == message; }),
                         m_messages.end());
        m_audio.m_active = false;
        m_audio.m_scenario = DefaultScenario;
        return WexErrNone;
    }

    void stop()
    {
        m_cancelSlot.cancel();
        m_messages.clear();
    }

private:
    SimAudio& m_audio;
    std::vector<WexRefCountedPtr<WexServiceMessage>> m_messages;
    WexServiceMessage::CancelSlot m_cancelSlot{this, &Subscriptions::onCancel};
};

SimAudio::SimAudio(FILE* out) : m_out(out) {}

SimAudio::~SimAudio()
{
    stop();
}

WexErr SimAudio::start(WexService&)
{
    m_subscriptions = wexMakeRefCounted<Subscriptions>(*this);
    return m_subscriptions ? WexErrNone : WexErrNoMemory;
}

void SimAudio::stop()
{
    if (m_subscriptions) {
        WexRefCountedPtr<Subscriptions> keep = m_subscriptions;
        keep->stop();
    }
}

WexObject SimAudio::status() const
{
    WexObject status = WexObject::object();
    status.put("scenario", m_scenario);
    status.put("active", m_active);
    return status;
}

WexErr SimAudio::command(const std::vector<std::string>& words)
{
    if (words.empty() || words[0] != "audio-status")
        return WexErrNotFound;
    if (words.size() != 3 || (words[2] != "true" && words[2] != "false"))
        return WexErrInvalidArg;
    m_scenario = words[1];
    m_active = words[2] == "true";
    if (m_subscriptions)
        m_subscriptions->send(status());
    return WexErrNone;
}

WexErr SimAudio::invoke(WexServiceMessage* message)
{
    const std::string method = message->method();
    simPrintCall(m_out, message->method(), message->payload());
    if (method == "voiceCommand/control") {
        bool active = false;
        if (message->payload().get("active", active) != WexErrNone)
            return message->replyError(WexErrMissingProperty, "missing active");
        m_active = active;
        return message->reply();
    }
    bool subscribe = false;
    if (message->payload().get("subscribe", subscribe) != WexErrNone || !subscribe)
        return message->replyError(WexErrMissingProperty, "subscribe expected");
    if (!m_subscriptions)
        return WexErrBadState;
    m_subscriptions->keep(message);
    return message->reply(status());
}
