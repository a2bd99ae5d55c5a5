// JSON values of the service framework: bus payloads, replies, database
// records. A WexObject holds one JSON value (null, object, array, string,
// boolean, integer or, when parsed from text, a floating number).
//
// Nothing here throws: every operation that can fail returns a WexErr
// (allocation failure: WexErrNoMemory) and leaves its output untouched.
// Only construction and copying may throw std::bad_alloc, as any C++ value.
//
// Reads by key:
//   get(key, out)                   required: WexErrMissingProperty when the
//                                   key is absent or holds another type
//   getOptional(key, out, &found)   absent: WexErrNone, found = false, `out`
//                                   untouched; present but of another type:
//                                   WexErrMissingProperty; read: found = true
// Integers are signed 64-bit; a 32-bit read fails on a value out of its range
// and an integer read fails on a floating number or a value above INT64_MAX.
// Objects serialise with their keys in ascending order; WexObjectVisitor
// writes JSON text in call order where order matters.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_string.h"

#include <nlohmann/json_fwd.hpp>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class WexObject {
public:
    enum class Type { Null, Object, Array, String, Boolean, Integer, Float };

    // Parsing refuses texts above this size (WexErrTooLarge) and values nested
    // deeper than kMaxDepth (WexErrBadJson): payloads come from other processes.
    static constexpr size_t kMaxTextSize = 16 * 1024 * 1024;
    static constexpr int kMaxDepth = 256;

    WexObject();  // null
    ~WexObject();
    WexObject(const WexObject& other);
    WexObject(WexObject&& other) noexcept;
    WexObject& operator=(const WexObject& other);
    WexObject& operator=(WexObject&& other) noexcept;

    static WexObject object();  // {}
    static WexObject array();   // []
    // Scalar values.
    explicit WexObject(std::string_view text);
    explicit WexObject(const char* text);
    explicit WexObject(const WexString& text);
    explicit WexObject(bool value);
    explicit WexObject(int32_t value);
    explicit WexObject(int64_t value);

    Type type() const;
    bool isNull() const { return type() == Type::Null; }
    bool isObject() const { return type() == Type::Object; }
    bool isArray() const { return type() == Type::Array; }
    bool isString() const { return type() == Type::String; }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isInteger() const { return type() == Type::Integer; }

    // Element count of an array, key count of an object, 0 for anything else.
    size_t size() const;
    bool hasKey(std::string_view key) const;

    // Sets `key` (replacing an earlier value). A null value becomes an empty
    // object first; any other non-object fails with WexErrInvalidArg.
    WexErr put(std::string_view key, const WexObject& value);
    WexErr put(std::string_view key, std::string_view text) { return put(key, WexObject(text)); }
    WexErr put(std::string_view key, const char* text) { return put(key, WexObject(text)); }
    WexErr put(std::string_view key, const std::string& text) { return put(key, WexObject(std::string_view(text))); }
    WexErr put(std::string_view key, const WexString& text) { return put(key, WexObject(text)); }
    WexErr put(std::string_view key, bool value) { return put(key, WexObject(value)); }
    template <std::integral I>
        requires(!std::same_as<I, bool>)
    WexErr put(std::string_view key, I value)
    {
        int64_t v = 0;
        if (!toInt64(value, v))
            return WexErrInvalidArg;
        return put(key, WexObject(v));
    }
    // Removes `key`; WexErrNotFound when absent.
    WexErr remove(std::string_view key);

    // Appends to an array. A null value becomes an empty array first; any
    // other non-array fails with WexErrInvalidArg.
    WexErr append(const WexObject& value);
    WexErr append(std::string_view text) { return append(WexObject(text)); }
    WexErr append(const char* text) { return append(WexObject(text)); }
    WexErr append(const std::string& text) { return append(WexObject(std::string_view(text))); }
    WexErr append(const WexString& text) { return append(WexObject(text)); }
    WexErr append(bool value) { return append(WexObject(value)); }
    template <std::integral I>
        requires(!std::same_as<I, bool>)
    WexErr append(I value)
    {
        int64_t v = 0;
        if (!toInt64(value, v))
            return WexErrInvalidArg;
        return append(WexObject(v));
    }

    // Required reads (see the top of this file).
    WexErr get(std::string_view key, WexObject& out) const;
    WexErr get(std::string_view key, WexString& out) const;
    WexErr get(std::string_view key, std::string& out) const;
    WexErr get(std::string_view key, bool& out) const;
    WexErr get(std::string_view key, int32_t& out) const;
    WexErr get(std::string_view key, int64_t& out) const;

    // Optional reads; `found` may be null.
    WexErr getOptional(std::string_view key, WexObject& out, bool* found = nullptr) const;
    WexErr getOptional(std::string_view key, WexString& out, bool* found = nullptr) const;
    WexErr getOptional(std::string_view key, std::string& out, bool* found = nullptr) const;
    WexErr getOptional(std::string_view key, bool& out, bool* found = nullptr) const;
    WexErr getOptional(std::string_view key, int32_t& out, bool* found = nullptr) const;
    WexErr getOptional(std::string_view key, int64_t& out, bool* found = nullptr) const;

    // Array elements: WexErrNotFound when this is not an array or the index is
    // past its end, WexErrMissingProperty when the element has another type.
    WexErr at(size_t index, WexObject& out) const;
    WexErr at(size_t index, WexString& out) const;
    WexErr at(size_t index, std::string& out) const;
    WexErr at(size_t index, bool& out) const;
    WexErr at(size_t index, int32_t& out) const;
    WexErr at(size_t index, int64_t& out) const;

    // This value itself as a scalar (WexErrMissingProperty on another type).
    WexErr value(WexString& out) const;
    WexErr value(std::string& out) const;
    WexErr value(bool& out) const;
    WexErr value(int32_t& out) const;
    WexErr value(int64_t& out) const;

    // Deep copy that reports allocation failure instead of throwing.
    WexErr copyTo(WexObject& out) const;

    // Compact JSON text. Fails with WexErrBadJson when a string holds bytes
    // that are not UTF-8.
    WexErr toJson(std::string& out) const;
    WexErr toJson(WexString& out) const;
    // Parses one JSON value (surrounding white space allowed).
    static WexErr parse(std::string_view text, WexObject& out);

    friend bool operator==(const WexObject& a, const WexObject& b);

private:
    explicit WexObject(std::unique_ptr<nlohmann::json> value);

    template <class I>
    static bool toInt64(I value, int64_t& out)
    {
        if constexpr (std::is_unsigned_v<I>) {
            if (static_cast<uint64_t>(value) > static_cast<uint64_t>(INT64_MAX))
                return false;
        }
        out = static_cast<int64_t>(value);
        return true;
    }

    // Shared by the typed readers above; defined next to them.
    template <class T>
    WexErr getImpl(std::string_view key, T& out, bool optional, bool* found) const;
    template <class T>
    WexErr atImpl(size_t index, T& out) const;
    // One JSON value into a typed output (scalars: WexErrMissingProperty on
    // another type).
    template <class T>
    static WexErr readInto(const nlohmann::json& value, T& out);

    // Null pointer: the JSON null (so a default object costs no allocation).
    std::unique_ptr<nlohmann::json> m_json;

    friend class WexObjectVisitor;
};
