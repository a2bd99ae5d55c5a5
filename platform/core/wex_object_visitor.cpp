#include "platform/core/wex_object_visitor.h"

#include <nlohmann/json.hpp>

#include <new>

using json = nlohmann::json;

WexErr WexObjectVisitor::fail(WexErr err)
{
    if (m_err == WexErrNone)
        m_err = err;
    return m_err;
}

WexErr WexObjectVisitor::appendRaw(std::string_view text)
{
    try {
        m_text.append(text);
    } catch (const std::bad_alloc&) {
        return fail(WexErrNoMemory);
    }
    return WexErrNone;
}

WexErr WexObjectVisitor::beforeValue()
{
    if (m_err != WexErrNone)
        return m_err;
    if (m_stack.empty())
        return m_done ? fail(WexErrInvalidArg) : WexErrNone;
    Frame& frame = m_stack.back();
    if (frame.isObject) {
        if (!frame.keyPending)
            return fail(WexErrInvalidArg);
        frame.keyPending = false;
        return WexErrNone;
    }
    if (!frame.empty)
        if (WexErr err = appendRaw(","))
            return err;
    frame.empty = false;
    return WexErrNone;
}

WexErr WexObjectVisitor::key(std::string_view name)
{
    if (m_err != WexErrNone)
        return m_err;
    if (m_stack.empty() || !m_stack.back().isObject || m_stack.back().keyPending)
        return fail(WexErrInvalidArg);
    std::string quoted;
    try {
        quoted = json(std::string(name)).dump(-1, ' ', false, json::error_handler_t::strict);
    } catch (const std::bad_alloc&) {
        return fail(WexErrNoMemory);
    } catch (const json::exception&) {
        return fail(WexErrBadJson);
    }
    Frame& frame = m_stack.back();
    if (!frame.empty)
        if (WexErr err = appendRaw(","))
            return err;
    frame.empty = false;
    frame.keyPending = true;
    if (WexErr err = appendRaw(quoted))
        return err;
    return appendRaw(":");
}

WexErr WexObjectVisitor::beginObject()
{
    if (WexErr err = beforeValue())
        return err;
    try {
        m_stack.push_back(Frame{true});
    } catch (const std::bad_alloc&) {
        return fail(WexErrNoMemory);
    }
    return appendRaw("{");
}

WexErr WexObjectVisitor::beginArray()
{
    if (WexErr err = beforeValue())
        return err;
    try {
        m_stack.push_back(Frame{false});
    } catch (const std::bad_alloc&) {
        return fail(WexErrNoMemory);
    }
    return appendRaw("[");
}

WexErr WexObjectVisitor::close(bool isObject)
{
    if (m_err != WexErrNone)
        return m_err;
    if (m_stack.empty() || m_stack.back().isObject != isObject || m_stack.back().keyPending)
        return fail(WexErrInvalidArg);
    m_stack.pop_back();
    if (m_stack.empty())
        m_done = true;
    return appendRaw(isObject ? "}" : "]");
}

WexErr WexObjectVisitor::endObject() { return close(true); }
WexErr WexObjectVisitor::endArray() { return close(false); }

namespace {

// A scalar as JSON text; strict: text that is not UTF-8 is refused.
template <class T>
WexErr scalarJson(const T& v, std::string& out)
{
    try {
        out = json(v).dump(-1, ' ', false, json::error_handler_t::strict);
    } catch (const std::bad_alloc&) {
        return WexErrNoMemory;
    } catch (const json::exception&) {
        return WexErrBadJson;
    }
    return WexErrNone;
}

} // namespace

#define WEX_VISITOR_WRITE(jsonText)                 \
    do {                                            \
        if (WexErr err = beforeValue())             \
            return err;                             \
        if (WexErr err = appendRaw(jsonText))       \
            return err;                             \
        if (m_stack.empty())                        \
            m_done = true;                          \
        return WexErrNone;                          \
    } while (0)

WexErr WexObjectVisitor::value(std::string_view text)
{
    std::string quoted;
    if (WexErr err = scalarJson(std::string(text), quoted))
        return fail(err);
    WEX_VISITOR_WRITE(quoted);
}

WexErr WexObjectVisitor::value(bool flag) { WEX_VISITOR_WRITE(flag ? "true" : "false"); }

WexErr WexObjectVisitor::value(int64_t number) { WEX_VISITOR_WRITE(std::to_string(number)); }

WexErr WexObjectVisitor::nullValue() { WEX_VISITOR_WRITE("null"); }

WexErr WexObjectVisitor::value(const WexObject& object)
{
    if (m_err != WexErrNone)
        return m_err;
    std::string text;
    if (WexErr err = object.toJson(text))
        return fail(err);
    WEX_VISITOR_WRITE(text);
}

#undef WEX_VISITOR_WRITE

WexErr WexObjectVisitor::text(std::string& out) const
{
    if (m_err != WexErrNone)
        return m_err;
    if (!m_done)
        return WexErrInvalidArg;
    try {
        out = m_text;
    } catch (const std::bad_alloc&) {
        return WexErrNoMemory;
    }
    return WexErrNone;
}

WexErr WexObjectVisitor::toObject(WexObject& out) const
{
    if (m_err != WexErrNone)
        return m_err;
    if (!m_done)
        return WexErrInvalidArg;
    return WexObject::parse(m_text, out);
}
