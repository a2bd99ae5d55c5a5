// Text at the boundary between the service (UTF-8) and the suite
// (zero-terminated UCS-2). Each holder owns its converted text; a failed
// conversion holds null and is logged.
#pragma once

#include "platform/core/wex_string.h"
#include "sdk/common/dvk_types.h"

class W2Ch {
public:
    // A null or empty input gives an empty string.
    explicit W2Ch(const dvk_ucs2_Char* text);
    ~W2Ch();
    W2Ch(const W2Ch&) = delete;
    W2Ch& operator=(const W2Ch&) = delete;

    // The UTF-8 text, or null when the input was not valid UTF-16.
    const char* c_str() const { return m_text; }

private:
    char* m_text;
};

class Ch2W {
public:
    // Converts the string's bytes (its length, not a terminator). Characters
    // beyond 16 bits become surrogate pairs.
    explicit Ch2W(const WexString& text);
    ~Ch2W();
    Ch2W(const Ch2W&) = delete;
    Ch2W& operator=(const Ch2W&) = delete;

    // The zero-terminated UCS-2 text, or null when the input was not UTF-8.
    const dvk_ucs2_Char* c_str() const { return m_text; }

private:
    dvk_ucs2_Char* m_text;
};
