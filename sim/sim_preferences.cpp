#include "sim/sim_preferences.h"

namespace {

constexpr const char* kBoardTypeKey = "com.orvel.properties.boardType";

} // namespace

WexErr SimPreferences::command(const std::vector<std::string>& words)
{
    if (words.empty())
        return WexErrNotFound;
    if (words[0] == "board-type") {
        if (words.size() != 2)
            return WexErrInvalidArg;
        m_boardType = words[1];
        return WexErrNone;
    }
    if (words[0] == "board-fail") {
        if (words.size() != 1)
            return WexErrInvalidArg;
        m_fail = true;
        return WexErrNone;
    }
    return WexErrNotFound;
}

WexErr SimPreferences::invoke(WexServiceMessage* message)
{
    if (m_fail) {
        m_fail = false;
        return message->replyError(WexErrFailed, "property unavailable");
    }
    std::string key;
    if (message->payload().get("key", key) != WexErrNone)
        return message->replyError(WexErrMissingProperty, "missing key");
    if (key != kBoardTypeKey)
        return message->replyError(WexErrNotFound, "no such property");
    WexObject reply = WexObject::object();
    reply.put(key, m_boardType);
    return message->reply(reply);
}
