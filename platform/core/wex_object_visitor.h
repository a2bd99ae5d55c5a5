// Streaming JSON writer: builds JSON text in call order (a WexObject sorts its
// keys), for request parameters whose key order is part of the protocol.
//
//   WexObjectVisitor w;
//   w.beginObject(); w.put("from", "com.orvel.person:1"); w.key("where");
//   w.beginArray(); ... w.endArray(); w.endObject();
//   if (WexErr err = w.text(json)) ...
//
// The first misuse (a key outside an object, a value where a key is due, an
// unbalanced end, a second top-level value, text that is not UTF-8) is kept:
// every later call returns it, and so does text(), which also fails while a
// container is still open.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_string.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class WexObjectVisitor {
public:
    WexErr beginObject();
    WexErr endObject();
    WexErr beginArray();
    WexErr endArray();
    WexErr key(std::string_view name);

    WexErr value(std::string_view text);
    WexErr value(const char* text) { return value(std::string_view(text != nullptr ? text : "")); }
    WexErr value(const std::string& text) { return value(std::string_view(text)); }
    WexErr value(const WexString& text) { return value(text.view()); }
    WexErr value(bool flag);
    WexErr value(int64_t number);
    WexErr value(int32_t number) { return value(static_cast<int64_t>(number)); }
    template <std::integral I>
        requires(!std::same_as<I, bool> && !std::same_as<I, int32_t> && !std::same_as<I, int64_t>)
    WexErr value(I number)
    {
        if constexpr (std::is_unsigned_v<I>) {
            if (static_cast<uint64_t>(number) > static_cast<uint64_t>(INT64_MAX))
                return fail(WexErrInvalidArg);
        }
        return value(static_cast<int64_t>(number));
    }
    // A whole value, written as its JSON.
    WexErr value(const WexObject& object);
    WexErr nullValue();

    // key() then value().
    template <class T>
    WexErr put(std::string_view name, const T& v)
    {
        if (WexErr err = key(name))
            return err;
        return value(v);
    }

    // The first error so far (0 when none).
    WexErr error() const { return m_err; }
    // True once one top-level value is complete.
    bool complete() const { return m_done && m_err == WexErrNone; }
    // The text written, when complete.
    WexErr text(std::string& out) const;
    // The text written, parsed back into a value.
    WexErr toObject(WexObject& out) const;

private:
    struct Frame {
        bool isObject;
        bool empty = true;
        bool keyPending = false;  // objects: a key was written, its value is due
    };

    WexErr fail(WexErr err);
    // Checks that a value may come here and writes the separator.
    WexErr beforeValue();
    WexErr appendRaw(std::string_view json);
    WexErr close(bool isObject);

    std::string m_text;
    std::vector<Frame> m_stack;
    bool m_done = false;
    WexErr m_err = WexErrNone;
};
