// The desktop database's records: kinds with their objects, kept in memory
// and read from (and, when asked, written back to) a directory with one JSON
// file per kind:
//
//   {"kind": {"id": "com.orvel.person:1", "owner": "..."}, "records": [{...}, ...]}
//
// It answers the database methods the service sends, each taking the
// method's parameters and giving the reply's fields or an error:
//   find     {"query"[, "count"]}: "results", "next" (base64 page key) while
//            more match, "count" (every match) when asked; no "limit" means
//            the page size
//   get      {"ids"}: "results", the objects found
//   put      {"objects"[, "purge"]}: stores each (a known "_id" replaces that
//            object), assigning "_id" and "_rev"; "results" [{"id", "rev"}]
//   del      {"ids" | "query"[, "purge"]}: marks the objects deleted ("_del"
//            true, new "_rev"), or removes them with "purge"; "results"
//            [{"id"}] for ids, "count" for a query
//   putKind  {"id", "owner", ...}: registers (or replaces) a kind
//   delKind  {"id"}: removes a kind and its objects
//   batch    {"operations": [{"method", "params"}]}: "responses"; all or nothing
// Deleted objects are found only by a query with a clause on "_del".
// Revisions are one counter over the whole database, above any loaded one.
#pragma once

#include "platform/core/wex_err.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class SimDbStore {
public:
    using json = nlohmann::json;

    struct Result {
        WexErr error = WexErrNone;
        std::string text;  // the error's text
        json fields = json::object();
    };

    static constexpr int DefaultPageSize = 100;

    explicit SimDbStore(int pageSize = DefaultPageSize);

    // Reads every "*.json" file of `dir` (in name order). A file that is not
    // a kind file fails the load with `why` naming it.
    WexErr load(const std::string& dir, std::string& why);
    // Writes each changed kind back to `dir` from now on (empty: never).
    void saveTo(const std::string& dir) { m_saveDir = dir; }

    bool knows(const std::string& method) const;
    Result call(const std::string& method, const json& params);

    // The kinds the last successful call changed.
    const std::set<std::string>& changedKinds() const { return m_changed; }

    // Every object of a kind, deleted ones too (for tests and the script).
    const std::vector<json>* records(const std::string& kind) const;
    int64_t revision() const { return m_state.rev; }

private:
    struct Kind {
        json object;
        std::string file;  // its file name in the directory
        std::vector<json> records;
    };
    struct State {
        std::map<std::string, Kind> kinds;
        int64_t rev = 0;
        int64_t nextId = 1;
    };

    Result run(State& state, const std::string& method, const json& params, std::set<std::string>& changed) const;
    // One page of a query's matches, in query order.
    struct Page {
        Kind* kind = nullptr;
        std::vector<size_t> indices;  // into kind->records
        int64_t total = 0;            // every match, all pages
        std::string next;             // base64 key of the next page, if any
        std::set<std::string> selected;
    };
    Result select(State& state, const json& queryJson, Page& out) const;
    Result find(State& state, const json& params) const;
    Result get(State& state, const json& params) const;
    Result put(State& state, const json& params, std::set<std::string>& changed) const;
    Result del(State& state, const json& params, std::set<std::string>& changed) const;
    Result putKind(State& state, const json& params, std::set<std::string>& changed) const;
    Result delKind(State& state, const json& params, std::set<std::string>& changed) const;
    Result batch(State& state, const json& params, std::set<std::string>& changed) const;
    void save(const std::set<std::string>& kinds, const std::vector<std::string>& goneFiles);

    int m_pageSize;
    State m_state;
    std::string m_saveDir;
    std::set<std::string> m_changed;
};
