#include "src/QrvStringConv.h"

#include "src/QrvLog.h"

#include <glib.h>

static_assert(sizeof(dvk_ucs2_Char) == sizeof(gunichar2));

namespace {

void logFailure(const char* function, GError* error)
{
    QrvLog::multiThread::qrvLog().log(WexLogError, "%s: %s", function,
                                      error != nullptr ? error->message : "unknown error");
    if (error != nullptr)
        g_error_free(error);
}

} // namespace

W2Ch::W2Ch(const dvk_ucs2_Char* text) : m_text(nullptr)
{
    static const dvk_ucs2_Char empty[1] = {0};
    if (text == nullptr)
        text = empty;
    glong units = 0;
    while (text[units] != 0)
        ++units;
    GError* error = nullptr;
    m_text = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text), units, nullptr, nullptr, &error);
    if (m_text == nullptr)
        logFailure("W2Ch", error);
}

W2Ch::~W2Ch()
{
    g_free(m_text);
}

Ch2W::Ch2W(const WexString& text) : m_text(nullptr)
{
    GError* error = nullptr;
    m_text = reinterpret_cast<dvk_ucs2_Char*>(
        g_utf8_to_utf16(text.data(), static_cast<glong>(text.length()), nullptr, nullptr, &error));
    if (m_text == nullptr)
        logFailure("Ch2W", error);
}

Ch2W::~Ch2W()
{
    g_free(m_text);
}
