#include "platform/core/wex_object.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <new>

using json = nlohmann::json;

namespace {

// Runs `body`, turning the exceptions the JSON library or the allocator may
// raise into codes: nothing escapes the API.
template <class F>
WexErr guarded(F&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return WexErrNoMemory;
    } catch (const json::exception&) {
        return WexErrBadJson;
    } catch (...) {
        return WexErrFailed;
    }
}

bool readInt64(const json& value, int64_t& out)
{
    if (value.is_number_unsigned()) {
        uint64_t u = value.get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return false;
        out = static_cast<int64_t>(u);
        return true;
    }
    if (value.is_number_integer()) {
        out = value.get<int64_t>();
        return true;
    }
    return false;
}

WexErr readScalar(const json& value, std::string& out)
{
    if (!value.is_string())
        return WexErrMissingProperty;
    out = value.get_ref<const std::string&>();
    return WexErrNone;
}

WexErr readScalar(const json& value, WexString& out)
{
    if (!value.is_string())
        return WexErrMissingProperty;
    out = WexString(std::string_view(value.get_ref<const std::string&>()));
    return WexErrNone;
}

WexErr readScalar(const json& value, bool& out)
{
    if (!value.is_boolean())
        return WexErrMissingProperty;
    out = value.get<bool>();
    return WexErrNone;
}

WexErr readScalar(const json& value, int64_t& out)
{
    int64_t v = 0;
    if (!readInt64(value, v))
        return WexErrMissingProperty;
    out = v;
    return WexErrNone;
}

WexErr readScalar(const json& value, int32_t& out)
{
    int64_t v = 0;
    if (!readInt64(value, v) || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return WexErrMissingProperty;
    out = static_cast<int32_t>(v);
    return WexErrNone;
}

const json* member(const json* object, std::string_view key)
{
    if (object == nullptr || !object->is_object())
        return nullptr;
    auto it = object->find(key);
    return it == object->end() ? nullptr : &*it;
}

const json* element(const json* array, size_t index)
{
    if (array == nullptr || !array->is_array() || index >= array->size())
        return nullptr;
    return &(*array)[index];
}

} // namespace

WexObject::WexObject() = default;
WexObject::~WexObject() = default;
WexObject::WexObject(WexObject&& other) noexcept = default;
WexObject& WexObject::operator=(WexObject&& other) noexcept = default;

WexObject::WexObject(const WexObject& other)
    : m_json(other.m_json ? std::make_unique<json>(*other.m_json) : nullptr)
{
}

WexObject& WexObject::operator=(const WexObject& other)
{
    if (this != &other)
        m_json = other.m_json ? std::make_unique<json>(*other.m_json) : nullptr;
    return *this;
}

WexObject::WexObject(std::unique_ptr<json> value) : m_json(std::move(value)) {}

WexObject WexObject::object() { return WexObject(std::make_unique<json>(json::object())); }
WexObject WexObject::array() { return WexObject(std::make_unique<json>(json::array())); }
WexObject::WexObject(std::string_view text) : m_json(std::make_unique<json>(std::string(text))) {}
WexObject::WexObject(const char* text) : WexObject(std::string_view(text != nullptr ? text : "")) {}
WexObject::WexObject(const WexString& text) : WexObject(text.view()) {}
WexObject::WexObject(bool value) : m_json(std::make_unique<json>(value)) {}
WexObject::WexObject(int32_t value) : m_json(std::make_unique<json>(static_cast<int64_t>(value))) {}
WexObject::WexObject(int64_t value) : m_json(std::make_unique<json>(value)) {}

WexObject::Type WexObject::type() const
{
    if (!m_json)
        return Type::Null;
    switch (m_json->type()) {
    case json::value_t::object: return Type::Object;
    case json::value_t::array: return Type::Array;
    case json::value_t::string: return Type::String;
    case json::value_t::boolean: return Type::Boolean;
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: return Type::Integer;
    case json::value_t::number_float: return Type::Float;
    default: return Type::Null;
    }
}

size_t WexObject::size() const
{
    if (!m_json || !(m_json->is_array() || m_json->is_object()))
        return 0;
    return m_json->size();
}

bool WexObject::hasKey(std::string_view key) const
{
    return member(m_json.get(), key) != nullptr;
}

WexErr WexObject::put(std::string_view key, const WexObject& value)
{
    return guarded([&]() -> WexErr {
        if (m_json && !m_json->is_null() && !m_json->is_object())
            return WexErrInvalidArg;
        // Copy first: `value` may be this object or a part of it.
        json copy = value.m_json ? *value.m_json : json();
        if (!m_json)
            m_json = std::make_unique<json>(json::object());
        else if (m_json->is_null())
            *m_json = json::object();
        (*m_json)[std::string(key)] = std::move(copy);
        return WexErrNone;
    });
}

WexErr WexObject::remove(std::string_view key)
{
    if (!m_json || !m_json->is_object())
        return WexErrNotFound;
    return guarded([&]() -> WexErr { return m_json->erase(std::string(key)) == 0 ? WexErrNotFound : WexErrNone; });
}

WexErr WexObject::append(const WexObject& value)
{
    return guarded([&]() -> WexErr {
        if (m_json && !m_json->is_null() && !m_json->is_array())
            return WexErrInvalidArg;
        json copy = value.m_json ? *value.m_json : json();
        if (!m_json)
            m_json = std::make_unique<json>(json::array());
        else if (m_json->is_null())
            *m_json = json::array();
        m_json->push_back(std::move(copy));
        return WexErrNone;
    });
}

template <class T>
WexErr WexObject::readInto(const json& value, T& out)
{
    if constexpr (std::is_same_v<T, WexObject>) {
        // Into a temporary so a failed copy leaves `out` as it was, and so
        // reading a part of `out` into `out` is safe.
        WexObject copy(std::make_unique<json>(value));
        out = std::move(copy);
        return WexErrNone;
    } else {
        return readScalar(value, out);
    }
}

template <class T>
WexErr WexObject::getImpl(std::string_view key, T& out, bool optional, bool* found) const
{
    return guarded([&]() -> WexErr {
        const json* value = member(m_json.get(), key);
        if (found != nullptr)
            *found = value != nullptr;
        if (value == nullptr)
            return optional ? WexErrNone : WexErrMissingProperty;
        return readInto(*value, out);
    });
}

template <class T>
WexErr WexObject::atImpl(size_t index, T& out) const
{
    return guarded([&]() -> WexErr {
        const json* value = element(m_json.get(), index);
        if (value == nullptr)
            return WexErrNotFound;
        return readInto(*value, out);
    });
}

WexErr WexObject::get(std::string_view key, WexObject& out) const { return getImpl(key, out, false, nullptr); }
WexErr WexObject::get(std::string_view key, WexString& out) const { return getImpl(key, out, false, nullptr); }
WexErr WexObject::get(std::string_view key, std::string& out) const { return getImpl(key, out, false, nullptr); }
WexErr WexObject::get(std::string_view key, bool& out) const { return getImpl(key, out, false, nullptr); }
WexErr WexObject::get(std::string_view key, int32_t& out) const { return getImpl(key, out, false, nullptr); }
WexErr WexObject::get(std::string_view key, int64_t& out) const { return getImpl(key, out, false, nullptr); }

WexErr WexObject::getOptional(std::string_view key, WexObject& out, bool* found) const { return getImpl(key, out, true, found); }
WexErr WexObject::getOptional(std::string_view key, WexString& out, bool* found) const { return getImpl(key, out, true, found); }
WexErr WexObject::getOptional(std::string_view key, std::string& out, bool* found) const { return getImpl(key, out, true, found); }
WexErr WexObject::getOptional(std::string_view key, bool& out, bool* found) const { return getImpl(key, out, true, found); }
WexErr WexObject::getOptional(std::string_view key, int32_t& out, bool* found) const { return getImpl(key, out, true, found); }
WexErr WexObject::getOptional(std::string_view key, int64_t& out, bool* found) const { return getImpl(key, out, true, found); }

WexErr WexObject::at(size_t index, WexObject& out) const { return atImpl(index, out); }
WexErr WexObject::at(size_t index, WexString& out) const { return atImpl(index, out); }
WexErr WexObject::at(size_t index, std::string& out) const { return atImpl(index, out); }
WexErr WexObject::at(size_t index, bool& out) const { return atImpl(index, out); }
WexErr WexObject::at(size_t index, int32_t& out) const { return atImpl(index, out); }
WexErr WexObject::at(size_t index, int64_t& out) const { return atImpl(index, out); }

WexErr WexObject::value(WexString& out) const { return m_json ? guarded([&]() -> WexErr { return readScalar(*m_json, out); }) : WexErrMissingProperty; }
WexErr WexObject::value(std::string& out) const { return m_json ? guarded([&]() -> WexErr { return readScalar(*m_json, out); }) : WexErrMissingProperty; }
WexErr WexObject::value(bool& out) const { return m_json ? guarded([&]() -> WexErr { return readScalar(*m_json, out); }) : WexErrMissingProperty; }
WexErr WexObject::value(int32_t& out) const { return m_json ? guarded([&]() -> WexErr { return readScalar(*m_json, out); }) : WexErrMissingProperty; }
WexErr WexObject::value(int64_t& out) const { return m_json ? guarded([&]() -> WexErr { return readScalar(*m_json, out); }) : WexErrMissingProperty; }

WexErr WexObject::copyTo(WexObject& out) const
{
    return guarded([&]() -> WexErr {
        WexObject copy(*this);
        out = std::move(copy);
        return WexErrNone;
    });
}

WexErr WexObject::toJson(std::string& out) const
{
    return guarded([&]() -> WexErr {
        // strict: a string that is not UTF-8 fails instead of being mangled.
        out = m_json ? m_json->dump(-1, ' ', false, json::error_handler_t::strict) : std::string("null");
        return WexErrNone;
    });
}

WexErr WexObject::toJson(WexString& out) const
{
    std::string text;
    if (WexErr err = toJson(text))
        return err;
    out = WexString(std::move(text));
    return WexErrNone;
}

WexErr WexObject::parse(std::string_view text, WexObject& out)
{
    if (text.size() > kMaxTextSize)
        return WexErrTooLarge;
    // The JSON library takes a NUL byte for the end of the text, so "{}\0x"
    // would read as "{}"; no well-formed JSON text holds one.
    if (text.find('\0') != std::string_view::npos)
        return WexErrBadJson;
    return guarded([&]() -> WexErr {
        // Refuses nesting deeper than kMaxDepth (serialising and copying
        // recurse) and numbers that overflow to infinity (they could not be
        // written back as JSON).
        bool refused = false;
        json::parser_callback_t check = [&refused](int depth, json::parse_event_t event, json& parsed) {
            if (depth >= kMaxDepth)
                refused = true;
            else if (event == json::parse_event_t::value && parsed.is_number_float()
                     && !std::isfinite(parsed.get<double>()))
                refused = true;
            return !refused;
        };
        json value = json::parse(text.begin(), text.end(), check, /*allow_exceptions=*/false);
        if (refused || value.is_discarded())
            return WexErrBadJson;
        out.m_json = std::make_unique<json>(std::move(value));
        return WexErrNone;
    });
}

bool operator==(const WexObject& a, const WexObject& b)
{
    static const json null;
    const json& left = a.m_json ? *a.m_json : null;
    const json& right = b.m_json ? *b.m_json : null;
    return left == right;
}
