#include "sim/sim_app_manager.h"

#include "platform/core/wex_logger.h"
#include "sim/sim_line.h"

#include <string>
#include <utility>

namespace {

WexLogger s_log("SimAppManager");

bool launchesVoiceCommand(const WexObject& payload)
{
    std::string id;
    std::string action;
    WexObject params;
    return payload.get("id", id) == WexErrNone && id == "com.orvel.app.phone" &&
           payload.get("params", params) == WexErrNone && params.get("action", action) == WexErrNone &&
           action == "voicecommand";
}

} // namespace

SimAppManager::SimAppManager(std::function<void()> onVoiceCommand, FILE* out)
    : m_onVoiceCommand(std::move(onVoiceCommand)), m_out(out)
{
}

WexErr SimAppManager::invoke(WexServiceMessage* message)
{
    const WexObject& payload = message->payload();
    simPrintCall(m_out, message->method(), payload);
    if (WexErr err = message->reply())
        return err;
    if (launchesVoiceCommand(payload) && m_onVoiceCommand) {
        s_log.log(WexLogInfo, "launch for voice command: registering");
        m_onVoiceCommand();
    }
    return WexErrNone;
}
