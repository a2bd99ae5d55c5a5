// Text of the service framework: UTF-8 bytes with an explicit length (so a
// string may hold any bytes, NUL included), plus the base64 codec the
// database client uses for its opaque page keys.
#pragma once

#include "platform/core/wex_err.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class WexString {
public:
    WexString() = default;
    WexString(const char* text) : m_bytes(text != nullptr ? text : "") {}
    WexString(const char* bytes, size_t length) : m_bytes(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0) {}
    WexString(std::string_view text) : m_bytes(text) {}
    WexString(std::string text) : m_bytes(std::move(text)) {}

    const char* data() const { return m_bytes.data(); }
    // Always NUL-terminated; text with embedded NULs is cut short by C readers.
    const char* c_str() const { return m_bytes.c_str(); }
    size_t length() const { return m_bytes.size(); }
    size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    std::string_view view() const { return m_bytes; }
    const std::string& str() const { return m_bytes; }

    void clear() { m_bytes.clear(); }
    WexString& append(std::string_view text)
    {
        m_bytes.append(text);
        return *this;
    }

    friend bool operator==(const WexString&, const WexString&) = default;
    friend auto operator<=>(const WexString&, const WexString&) = default;

    // Standard base64 (RFC 4648 alphabet with "=" padding) of any bytes.
    static WexErr base64Encode(const void* bytes, size_t length, WexString& out);
    static WexErr base64Encode(std::string_view bytes, WexString& out)
    {
        return base64Encode(bytes.data(), bytes.size(), out);
    }
    // Decodes this string as base64 into raw bytes. Text that is not
    // well-formed padded base64 fails with WexErrInvalidArg and leaves `out`
    // untouched (GLib's decoder would silently skip bad characters).
    WexErr base64Decode(WexString& out) const;

private:
    std::string m_bytes;
};
