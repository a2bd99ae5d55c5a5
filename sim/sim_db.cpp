#include "sim/sim_db.h"

#include "platform/bus/wex_service_message.h"
#include "platform/core/wex_logger.h"

#include <list>
#include <string>

#ifndef MERROWIND_SIM_DATA_DIR
#define MERROWIND_SIM_DATA_DIR "sim/data"
#endif

namespace {

using json = nlohmann::json;

WexLogger s_log("SimDb");

WexErr toObject(const json& value, WexObject& out)
{
    return WexObject::parse(value.dump(-1, ' ', false, json::error_handler_t::replace), out);
}

} // namespace

class SimDb::Handler : public WexService::CategoryHandler {
public:
    explicit Handler(SimDbStore& store) : m_store(store) {}

    WexErr onCall(WexServiceMessage* message)
    {
        std::string text;
        if (WexErr err = message->payload().toJson(text))
            return err;
        s_log.log(WexLogInfo, "%s: %s", message->method(), text.c_str());
        json params = json::parse(text, nullptr, false);
        std::string method = message->method();

        bool watch = method == "watch";
        if (method == "find") {
            auto flag = params.find("watch");
            watch = flag != params.end() && *flag == true;
        }
        SimDbStore::Result result;
        if (method == "watch") {
            // Checked as a find would be; its first reply says only that it is set.
            json probe = params;
            if (probe.is_object() && probe.contains("query") && probe["query"].is_object())
                probe["query"]["limit"] = 0;
            result = m_store.call("find", probe);
            result.fields = json::object();
        } else {
            result = m_store.call(method, params);
        }
        if (result.error != WexErrNone)
            return message->replyError(result.error, result.text.c_str());

        WexObject reply;
        if (WexErr err = toObject(result.fields, reply))
            return err;
        if (WexErr err = message->reply(reply))
            return err;
        if (watch)
            keep(message, params["query"].value("from", ""));
        fire(m_store.changedKinds());
        return WexErrNone;
    }

    WexErr onCancel(WexServiceMessage* message)
    {
        m_watches.remove_if([message](const Watch& w) { return w.message.get() == message; });
        return WexErrNone;
    }

    void stop()
    {
        m_cancelSlot.cancel();
        m_watches.clear();
    }

    static const Method* table()
    {
        static const Method methods[] = {
            method("find", &Handler::onCall),    method("get", &Handler::onCall),
            method("put", &Handler::onCall),     method("del", &Handler::onCall),
            method("putKind", &Handler::onCall), method("delKind", &Handler::onCall),
            method("batch", &Handler::onCall),   method("watch", &Handler::onCall),
            {},
        };
        return methods;
    }

private:
    struct Watch {
        WexRefCountedPtr<WexServiceMessage> message;
        std::string kind;
    };

    void keep(WexServiceMessage* message, const std::string& kind)
    {
        message->notifyCancel(m_cancelSlot);
        m_watches.push_back({WexRefCountedPtr<WexServiceMessage>(message), kind});
    }

    // Each watch on a changed kind gets its second (and last) reply.
    void fire(const std::set<std::string>& kinds)
    {
        if (kinds.empty())
            return;
        WexObject fired;
        fired.put("fired", true);
        for (auto it = m_watches.begin(); it != m_watches.end();) {
            if (kinds.count(it->kind) == 0) {
                ++it;
                continue;
            }
            WexRefCountedPtr<WexServiceMessage> message = it->message;
            it = m_watches.erase(it);
            if (WexErr err = message->reply(fired))
                s_log.log(WexLogWarning, "watch reply: %s", wexErrText(err));
        }
    }

    SimDbStore& m_store;
    std::list<Watch> m_watches;
    WexServiceMessage::CancelSlot m_cancelSlot{this, &Handler::onCancel};
};

const char* SimDb::defaultDataDir()
{
    return MERROWIND_SIM_DATA_DIR;
}

SimDb::SimDb(int pageSize, FILE* out)
    : m_store(pageSize), m_out(out)
{
}

SimDb::~SimDb()
{
    stop();
}

WexErr SimDb::load(const std::string& dir, bool writeBack, std::string& why)
{
    if (WexErr err = m_store.load(dir, why))
        return err;
    m_store.saveTo(writeBack ? dir : std::string());
    return WexErrNone;
}

WexErr SimDb::start(WexService&)
{
    m_handler = wexMakeRefCounted<Handler>(m_store);
    if (!m_handler)
        return WexErrNoMemory;
    return m_handler->addMethods(Handler::table(), false);
}

std::vector<std::string> SimDb::methods() const
{
    std::vector<std::string> names;
    for (const Handler::Method* m = Handler::table(); m->name != nullptr; ++m)
        names.push_back(m->name);
    return names;
}

WexErr SimDb::invoke(WexServiceMessage* message)
{
    if (!m_handler)
        return WexErrBadState;
    return m_handler->invoke(message);
}

WexErr SimDb::command(const std::vector<std::string>& words)
{
    if (words.empty() || words[0] != "db-dump")
        return WexErrNotFound;
    if (words.size() != 2)
        return WexErrInvalidArg;
    const std::vector<json>* records = m_store.records(words[1]);
    if (records == nullptr)
        return WexErrInvalidArg;
    std::fprintf(m_out, "%s\n", json(*records).dump(-1, ' ', false, json::error_handler_t::replace).c_str());
    std::fflush(m_out);
    return WexErrNone;
}

void SimDb::stop()
{
    if (m_handler) {
        WexRefCountedPtr<Handler> keep = m_handler;
        keep->stop();
    }
}
