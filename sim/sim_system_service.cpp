#include "sim/sim_system_service.h"

#include <glib.h>

SimSystemService::SimSystemService()
{
    WexObject::parse(R"({"locale":{"languageCode":"en","countryCode":"US"},"enableVoiceCommand":true})", m_prefs);
}

bool SimSystemService::load(const std::string& path, std::string& why)
{
    gchar* contents = nullptr;
    GError* error = nullptr;
    if (!g_file_get_contents(path.c_str(), &contents, nullptr, &error)) {
        why = error->message;
        g_error_free(error);
        return false;
    }
    WexObject prefs;
    WexErr err = WexObject::parse(contents, prefs);
    g_free(contents);
    if (err != WexErrNone || !prefs.isObject()) {
        why = path + ": not a JSON object";
        return false;
    }
    m_prefs = prefs;
    return true;
}

WexErr SimSystemService::command(const std::vector<std::string>& words)
{
    if (words.empty() || words[0] != "prefs-fail")
        return WexErrNotFound;
    if (words.size() != 1)
        return WexErrInvalidArg;
    m_fail = true;
    return WexErrNone;
}

WexErr SimSystemService::invoke(WexServiceMessage* message)
{
    if (m_fail) {
        m_fail = false;
        return message->replyError(WexErrFailed, "preferences unavailable");
    }
    return message->reply(m_prefs);
}
