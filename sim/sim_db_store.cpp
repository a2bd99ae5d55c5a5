#include "sim/sim_db_store.h"

#include "platform/core/wex_object.h"
#include "platform/core/wex_string.h"
#include "platform/db/wex_db_query.h"
#include "sim/sim_db_match.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <utility>

namespace {

using json = nlohmann::json;
using Result = SimDbStore::Result;

const char* const KindNotRegistered = "db: kind not registered";

Result failure(WexErr error, std::string text)
{
    Result r;
    r.error = error;
    r.text = std::move(text);
    return r;
}

std::string dump(const json& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A file name for a kind: its id with anything unusual in a file name
// replaced ("com.orvel.person:1" -> "com.orvel.person_1.json").
std::string fileNameFor(const std::string& kind)
{
    std::string name;
    for (char c : kind)
        name += (g_ascii_isalnum(c) || c == '.' || c == '-' || c == '_') ? c : '_';
    return name + ".json";
}

bool readText(const json& params, const char* key, std::string& out)
{
    auto it = params.find(key);
    if (it == params.end() || !it->is_string())
        return false;
    out = it->get<std::string>();
    return true;
}

const json* readArray(const json& params, const char* key)
{
    auto it = params.find(key);
    return it != params.end() && it->is_array() ? &*it : nullptr;
}

bool isDeleted(const json& record)
{
    auto it = record.find("_del");
    return it != record.end() && *it == true;
}

bool purgeFlag(const json& params)
{
    auto it = params.find("purge");
    return it != params.end() && it->is_boolean() && it->get<bool>();
}

} // namespace

SimDbStore::SimDbStore(int pageSize)
    : m_pageSize(pageSize > 0 ? pageSize : DefaultPageSize)
{
}

const std::vector<SimDbStore::json>* SimDbStore::records(const std::string& kind) const
{
    auto it = m_state.kinds.find(kind);
    return it != m_state.kinds.end() ? &it->second.records : nullptr;
}

WexErr SimDbStore::load(const std::string& dir, std::string& why)
{
    GError* error = nullptr;
    GDir* handle = g_dir_open(dir.c_str(), 0, &error);
    if (handle == nullptr) {
        why = error->message;
        g_error_free(error);
        return WexErrNotFound;
    }
    std::vector<std::string> names;
    while (const gchar* name = g_dir_read_name(handle))
        if (g_str_has_suffix(name, ".json"))
            names.emplace_back(name);
    g_dir_close(handle);
    std::sort(names.begin(), names.end());

    State state;
    std::set<std::string> ids;
    std::vector<json*> unnamed;
    for (const std::string& name : names) {
        std::string path = dir + "/" + name;
        gchar* contents = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
            why = error->message;
            g_error_free(error);
            return WexErrNotFound;
        }
        json file = json::parse(contents, contents + length, nullptr, false);
        g_free(contents);
        std::string kindId;
        if (!file.is_object() || !file.contains("kind") || !file["kind"].is_object() ||
            !readText(file["kind"], "id", kindId) || kindId.empty()) {
            why = path + ": not a kind file (an object with \"kind\": {\"id\": ...})";
            return WexErrBadJson;
        }
        if (state.kinds.count(kindId) != 0) {
            why = path + ": kind " + kindId + " is in another file too";
            return WexErrBadJson;
        }
        Kind& kind = state.kinds[kindId];
        kind.object = file["kind"];
        kind.file = name;
        if (file.contains("records")) {
            if (!file["records"].is_array()) {
                why = path + ": \"records\" is not an array";
                return WexErrBadJson;
            }
            kind.records = file["records"].get<std::vector<json>>();
        }
        for (json& record : kind.records) {
            if (!record.is_object()) {
                why = path + ": a record is not an object";
                return WexErrBadJson;
            }
            record["_kind"] = kindId;
            auto id = record.find("_id");
            if (id != record.end() && (!id->is_string() || !ids.insert(id->get<std::string>()).second)) {
                why = path + ": bad or repeated \"_id\" " + dump(*id);
                return WexErrBadJson;
            }
            auto rev = record.find("_rev");
            if (rev != record.end() && rev->is_number_integer())
                state.rev = std::max(state.rev, rev->get<int64_t>());
            if (id == record.end())
                unnamed.push_back(&record);
        }
    }
    // Records written by hand may leave "_id" and "_rev" to the database.
    for (auto& [name, kind] : state.kinds) {
        for (json& record : kind.records) {
            if (!record.contains("_rev") || !record["_rev"].is_number_integer())
                record["_rev"] = ++state.rev;
        }
    }
    for (json* record : unnamed) {
        std::string id;
        do
            id = "sim" + std::to_string(state.nextId++);
        while (!ids.insert(id).second);
        (*record)["_id"] = id;
    }
    m_state = std::move(state);
    return WexErrNone;
}

bool SimDbStore::knows(const std::string& method) const
{
    static const char* const methods[] = {"find", "get", "put", "del", "putKind", "delKind", "batch"};
    return std::find(std::begin(methods), std::end(methods), method) != std::end(methods);
}

SimDbStore::Result SimDbStore::call(const std::string& method, const json& params)
{
    try {
        std::set<std::string> changed;
        if (method == "find" || method == "get") {  // reads work on the records themselves
            m_changed.clear();
            return run(m_state, method, params, changed);
        }
        State state = m_state;
        Result result = run(state, method, params, changed);
        if (result.error != WexErrNone)
            return result;
        std::vector<std::string> goneFiles;
        for (const auto& [name, kind] : m_state.kinds)
            if (state.kinds.count(name) == 0 && !kind.file.empty())
                goneFiles.push_back(kind.file);
        m_state = std::move(state);
        m_changed = changed;
        save(changed, goneFiles);
        return result;
    } catch (const std::bad_alloc&) {
        return failure(WexErrNoMemory, wexErrText(WexErrNoMemory));
    }
}

SimDbStore::Result SimDbStore::run(State& state, const std::string& method, const json& params,
                                   std::set<std::string>& changed) const
{
    if (!params.is_object())
        return failure(WexErrBadJson, "payload is not a JSON object");
    if (method == "find")
        return find(state, params);
    if (method == "get")
        return get(state, params);
    if (method == "put")
        return put(state, params, changed);
    if (method == "del")
        return del(state, params, changed);
    if (method == "putKind")
        return putKind(state, params, changed);
    if (method == "delKind")
        return delKind(state, params, changed);
    if (method == "batch")
        return batch(state, params, changed);
    return failure(WexErrUnknownMethod, wexErrText(WexErrUnknownMethod));
}

SimDbStore::Result SimDbStore::select(State& state, const json& queryJson, Page& out) const
{
    WexObject object;
    if (WexErr err = WexObject::parse(dump(queryJson), object))
        return failure(err, wexErrText(err));
    WexDbQuery query;
    if (WexErr err = query.fromObject(object))
        return failure(err, query.errorText());
    if (WexErr err = query.validateFind())
        return failure(err, query.errorText());
    auto kindIt = state.kinds.find(query.from().str());
    if (kindIt == state.kinds.end())
        return failure(WexErrNotFound, KindNotRegistered);
    Kind& kind = kindIt->second;

    std::vector<SimDbMatch::Clause> clauses = SimDbMatch::clauses(query.whereClauses());
    if (query.whereClauses().count("_del") == 0) {
        SimDbMatch::Clause live;
        live.property = "_del";
        live.lowerOp = WexDbQuery::OpEq;
        live.lowerVal = false;
        clauses.push_back(std::move(live));
    }
    std::string orderBy = query.order().str();
    WexDbCollationStrength collation = WexDbCollationNone;
    auto ordered = query.whereClauses().find(orderBy);
    if (ordered != query.whereClauses().end())
        collation = ordered->second.collation;

    // Sort key: the order property's first value (null when absent), then the id.
    auto keyOf = [&](const json& record) {
        std::vector<const json*> found;
        if (!orderBy.empty())
            SimDbMatch::values(record, orderBy, found);
        return json::array({found.empty() ? json() : *found.front(), record.value("_id", "")});
    };
    bool desc = query.desc();
    auto before = [&](const json& a, const json& b) {
        int c = SimDbMatch::compare(a[0], b[0], collation);
        if (c == 0)
            c = SimDbMatch::compare(a[1], b[1], WexDbCollationNone);
        return desc ? c > 0 : c < 0;
    };

    std::vector<std::pair<json, size_t>> matches;
    for (size_t i = 0; i < kind.records.size(); ++i) {
        const json& record = kind.records[i];
        bool all = std::all_of(clauses.begin(), clauses.end(),
                               [&](const SimDbMatch::Clause& c) { return SimDbMatch::matches(record, c); });
        if (all)
            matches.emplace_back(keyOf(record), i);
    }
    std::sort(matches.begin(), matches.end(), [&](const auto& a, const auto& b) { return before(a.first, b.first); });

    size_t start = 0;
    if (!query.page().empty()) {
        json key = json::parse(query.page().key().str(), nullptr, false);
        if (!key.is_array() || key.size() != 2 || !key[1].is_string())
            return failure(WexErrDbInvalidQuery, "db: invalid query page");
        while (start < matches.size() && !before(key, matches[start].first))
            ++start;
    }
    size_t limit = query.limit() < 0 ? static_cast<size_t>(m_pageSize) : static_cast<size_t>(query.limit());
    size_t end = std::min(matches.size(), start + limit);
    out.kind = &kind;
    out.selected = query.selected();
    out.total = static_cast<int64_t>(matches.size());
    out.indices.clear();
    for (size_t i = start; i < end; ++i)
        out.indices.push_back(matches[i].second);
    out.next.clear();
    if (end < matches.size() && end > start) {
        WexString next;
        if (WexErr err = WexString::base64Encode(dump(matches[end - 1].first), next))
            return failure(err, wexErrText(err));
        out.next = next.str();
    }
    return Result();
}

SimDbStore::Result SimDbStore::find(State& state, const json& params) const
{
    auto query = params.find("query");
    if (query == params.end() || !query->is_object())
        return failure(WexErrMissingProperty, "db: find needs a \"query\"");
    Page page;
    Result result = select(state, *query, page);
    if (result.error != WexErrNone)
        return result;
    json results = json::array();
    for (size_t index : page.indices)
        results.push_back(SimDbMatch::project(page.kind->records[index], page.selected));
    result.fields["results"] = std::move(results);
    if (!page.next.empty())
        result.fields["next"] = page.next;
    auto count = params.find("count");
    if (count != params.end() && count->is_boolean() && count->get<bool>())
        result.fields["count"] = page.total;
    return result;
}

SimDbStore::Result SimDbStore::get(State& state, const json& params) const
{
    const json* ids = readArray(params, "ids");
    if (ids == nullptr)
        return failure(WexErrMissingProperty, "db: get needs \"ids\"");
    json results = json::array();
    for (const json& id : *ids) {
        for (const auto& [name, kind] : state.kinds)
            for (const json& record : kind.records)
                if (record.value("_id", json()) == id)
                    results.push_back(record);
    }
    Result result;
    result.fields["results"] = std::move(results);
    return result;
}

SimDbStore::Result SimDbStore::put(State& state, const json& params, std::set<std::string>& changed) const
{
    const json* objects = readArray(params, "objects");
    if (objects == nullptr)
        return failure(WexErrMissingProperty, "db: put needs \"objects\"");
    json results = json::array();
    for (const json& object : *objects) {
        std::string kindId;
        if (!object.is_object() || !readText(object, "_kind", kindId))
            return failure(WexErrMissingProperty, "db: an object without \"_kind\"");
        auto kindIt = state.kinds.find(kindId);
        if (kindIt == state.kinds.end())
            return failure(WexErrNotFound, KindNotRegistered);
        json record = object;
        std::string id;
        if (record.contains("_id")) {
            if (!readText(record, "_id", id) || id.empty())
                return failure(WexErrInvalidArg, "db: \"_id\" is not a text");
            // Replacing: the old object goes, wherever it was.
            for (auto& [name, kind] : state.kinds) {
                auto& records = kind.records;
                auto old = std::find_if(records.begin(), records.end(),
                                        [&](const json& r) { return r.value("_id", "") == id; });
                if (old != records.end()) {
                    records.erase(old);
                    changed.insert(name);
                }
            }
        } else {
            bool taken = true;
            while (taken) {
                id = "sim" + std::to_string(state.nextId++);
                taken = false;
                for (const auto& [name, kind] : state.kinds)
                    for (const json& r : kind.records)
                        taken = taken || r.value("_id", "") == id;
            }
        }
        record["_id"] = id;
        record["_rev"] = ++state.rev;
        kindIt->second.records.push_back(record);
        changed.insert(kindId);
        results.push_back({{"id", id}, {"rev", state.rev}});
    }
    Result result;
    result.fields["results"] = std::move(results);
    return result;
}

SimDbStore::Result SimDbStore::del(State& state, const json& params, std::set<std::string>& changed) const
{
    bool purge = purgeFlag(params);
    // Marks or removes records[index] of `kind`; false when there is nothing to do.
    auto remove = [&](const std::string& name, Kind& kind, size_t index) {
        json& record = kind.records[index];
        if (purge) {
            kind.records.erase(kind.records.begin() + static_cast<std::ptrdiff_t>(index));
        } else {
            if (isDeleted(record))
                return false;
            record["_del"] = true;
            record["_rev"] = ++state.rev;
        }
        changed.insert(name);
        return true;
    };

    if (const json* ids = readArray(params, "ids")) {
        json results = json::array();
        for (const json& id : *ids) {
            for (auto& [name, kind] : state.kinds) {
                for (size_t i = 0; i < kind.records.size(); ++i) {
                    if (kind.records[i].value("_id", json()) == id) {
                        if (remove(name, kind, i))
                            results.push_back({{"id", id}});
                        break;
                    }
                }
            }
        }
        Result result;
        result.fields["results"] = std::move(results);
        return result;
    }
    auto query = params.find("query");
    if (query == params.end() || !query->is_object())
        return failure(WexErrMissingProperty, "db: del needs \"ids\" or a \"query\"");
    Page page;
    Result result = select(state, *query, page);
    if (result.error != WexErrNone)
        return result;
    std::string name = page.kind->object.value("id", "");
    // From the back, so the indices still hold while purging.
    std::sort(page.indices.rbegin(), page.indices.rend());
    int64_t count = 0;
    for (size_t index : page.indices)
        count += remove(name, *page.kind, index) ? 1 : 0;
    result.fields["count"] = count;
    return result;
}

SimDbStore::Result SimDbStore::putKind(State& state, const json& params, std::set<std::string>& changed) const
{
    std::string id;
    std::string owner;
    if (!readText(params, "id", id) || id.empty() || !readText(params, "owner", owner))
        return failure(WexErrMissingProperty, "db: a kind needs \"id\" and \"owner\"");
    Kind& kind = state.kinds[id];
    kind.object = params;
    changed.insert(id);
    return Result();
}

SimDbStore::Result SimDbStore::delKind(State& state, const json& params, std::set<std::string>& changed) const
{
    std::string id;
    if (!readText(params, "id", id))
        return failure(WexErrMissingProperty, "db: delKind needs \"id\"");
    if (state.kinds.erase(id) == 0)
        return failure(WexErrNotFound, KindNotRegistered);
    changed.insert(id);
    return Result();
}

SimDbStore::Result SimDbStore::batch(State& state, const json& params, std::set<std::string>& changed) const
{
    const json* operations = readArray(params, "operations");
    if (operations == nullptr)
        return failure(WexErrMissingProperty, "db: batch needs \"operations\"");
    json responses = json::array();
    for (const json& operation : *operations) {
        std::string method;
        if (!operation.is_object() || !readText(operation, "method", method) || !operation.contains("params"))
            return failure(WexErrMissingProperty, "db: a batch operation needs \"method\" and \"params\"");
        if (method != "find" && method != "get" && method != "put" && method != "del")
            return failure(WexErrUnknownMethod, "db: " + method + " is not allowed in a batch");
        Result one = run(state, method, operation["params"], changed);
        if (one.error != WexErrNone)
            return one;
        one.fields["returnValue"] = true;
        responses.push_back(std::move(one.fields));
    }
    Result result;
    result.fields["responses"] = std::move(responses);
    return result;
}

void SimDbStore::save(const std::set<std::string>& kinds, const std::vector<std::string>& goneFiles)
{
    if (m_saveDir.empty())
        return;
    for (const std::string& name : kinds) {
        auto it = m_state.kinds.find(name);
        if (it == m_state.kinds.end())
            continue;
        Kind& kind = it->second;
        if (kind.file.empty())
            kind.file = fileNameFor(name);
        json file = {{"kind", kind.object}, {"records", kind.records}};
        std::string text = file.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
        std::string path = m_saveDir + "/" + kind.file;
        GError* error = nullptr;
        if (!g_file_set_contents(path.c_str(), text.c_str(), static_cast<gssize>(text.size()), &error)) {
            g_printerr("sim db: cannot write %s: %s\n", path.c_str(), error->message);
            g_error_free(error);
        }
    }
    for (const std::string& file : goneFiles) {
        std::string path = m_saveDir + "/" + file;
        g_unlink(path.c_str());
    }
}
