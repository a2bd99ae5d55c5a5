#include "platform/core/wex_string.h"

#include <glib.h>

#include <new>

namespace {

bool isBase64Char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

bool isWellFormedBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return false;
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    for (size_t i = 0; i < text.size() - padding; ++i)
        if (!isBase64Char(text[i]))
            return false;
    return true;
}

} // namespace

WexErr WexString::base64Encode(const void* bytes, size_t length, WexString& out)
{
    if (bytes == nullptr && length != 0)
        return WexErrInvalidArg;
    if (length == 0) {
        out.clear();
        return WexErrNone;
    }
    gchar* encoded = g_base64_encode(static_cast<const guchar*>(bytes), length);
    if (encoded == nullptr)
        return WexErrNoMemory;
    try {
        out.m_bytes.assign(encoded);
    } catch (const std::bad_alloc&) {
        g_free(encoded);
        return WexErrNoMemory;
    }
    g_free(encoded);
    return WexErrNone;
}

WexErr WexString::base64Decode(WexString& out) const
{
    if (!isWellFormedBase64(m_bytes))
        return WexErrInvalidArg;
    if (m_bytes.empty()) {
        out.clear();
        return WexErrNone;
    }
    gsize length = 0;
    guchar* decoded = g_base64_decode(m_bytes.c_str(), &length);
    if (decoded == nullptr)
        return WexErrNoMemory;
    try {
        out.m_bytes.assign(reinterpret_cast<const char*>(decoded), length);
    } catch (const std::bad_alloc&) {
        g_free(decoded);
        return WexErrNoMemory;
    }
    g_free(decoded);
    return WexErrNone;
}
