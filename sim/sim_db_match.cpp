#include "sim/sim_db_match.h"

#include <glib.h>

#include <map>
#include <memory>
#include <optional>

namespace SimDbMatch {

namespace {

void walk(const json& value, std::string_view path, std::vector<const json*>& out)
{
    if (value.is_array()) {
        for (const json& element : value)
            walk(element, path, out);
        return;
    }
    if (path.empty()) {
        out.push_back(&value);
        return;
    }
    if (!value.is_object())
        return;
    size_t dot = path.find('.');
    std::string head(path.substr(0, dot));
    auto it = value.find(head);
    if (it == value.end())
        return;
    walk(*it, dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1), out);
}

int rank(const json& v)
{
    switch (v.type()) {
    case json::value_t::null: return 0;
    case json::value_t::boolean: return 1;
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float: return 2;
    case json::value_t::string: return 3;
    case json::value_t::array: return 4;
    default: return 5;
    }
}

template <class T>
int order(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareNumbers(const json& a, const json& b)
{
    if (a.is_number_integer() && b.is_number_integer()) {
        if (a.is_number_unsigned() || b.is_number_unsigned()) {
            if (a.is_number_unsigned() && b.is_number_unsigned())
                return order(a.get<uint64_t>(), b.get<uint64_t>());
            if (a.is_number_unsigned())
                return a.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX) ? 1 : order(a.get<int64_t>(), b.get<int64_t>());
            return b.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX) ? -1 : order(a.get<int64_t>(), b.get<int64_t>());
        }
        return order(a.get<int64_t>(), b.get<int64_t>());
    }
    return order(a.get<double>(), b.get<double>());
}

bool equal(const json& a, const json& b, WexDbCollationStrength collation)
{
    return rank(a) == rank(b) && compare(a, b, collation) == 0;
}

bool anyEqual(const json& value, const json& wanted, WexDbCollationStrength collation)
{
    if (!wanted.is_array())
        return equal(value, wanted, collation);
    for (const json& w : wanted)
        if (equal(value, w, collation))
            return true;
    return false;
}

bool hasPrefix(const json& value, const json& prefix, WexDbCollationStrength collation)
{
    if (prefix.is_array()) {
        for (const json& p : prefix)
            if (hasPrefix(value, p, collation))
                return true;
        return false;
    }
    if (!value.is_string() || !prefix.is_string())
        return false;
    std::string v = collationKey(value.get<std::string>(), collation);
    std::string p = collationKey(prefix.get<std::string>(), collation);
    return v.compare(0, p.size(), p) == 0;
}

// One value against one operator; values of different types never satisfy
// an ordering.
bool satisfies(const json& value, WexDbQuery::CompOp op, const json& wanted, WexDbCollationStrength collation)
{
    switch (op) {
    case WexDbQuery::OpNone: return true;
    case WexDbQuery::OpEq: return anyEqual(value, wanted, collation);
    case WexDbQuery::OpNotEq: return !equal(value, wanted, collation);
    case WexDbQuery::OpPrefix: return hasPrefix(value, wanted, collation);
    default: break;
    }
    if (rank(value) != rank(wanted))
        return false;
    int c = compare(value, wanted, collation);
    switch (op) {
    case WexDbQuery::OpLessThan: return c < 0;
    case WexDbQuery::OpLessThanEq: return c <= 0;
    case WexDbQuery::OpGreaterThan: return c > 0;
    case WexDbQuery::OpGreaterThanEq: return c >= 0;
    default: return false;  // search is not a find
    }
}

json toJson(const WexObject& value)
{
    std::string text;
    if (value.toJson(text) != WexErrNone)
        return json();
    return json::parse(text, nullptr, false);
}

struct Node {
    bool leaf = false;
    std::map<std::string, Node, std::less<>> children;
};

std::optional<json> cut(const json& value, const Node& node)
{
    if (node.leaf)
        return value;
    if (value.is_array()) {
        json out = json::array();
        for (const json& element : value)
            if (auto part = cut(element, node))
                out.push_back(std::move(*part));
        if (out.empty())
            return std::nullopt;
        return out;
    }
    if (!value.is_object())
        return std::nullopt;
    json out = json::object();
    for (const auto& [key, child] : node.children) {
        auto it = value.find(key);
        if (it == value.end())
            continue;
        if (auto part = cut(*it, child))
            out[key] = std::move(*part);
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

} // namespace

void values(const json& record, std::string_view path, std::vector<const json*>& out)
{
    walk(record, path, out);
}

std::string collationKey(const std::string& text, WexDbCollationStrength collation)
{
    if (collation != WexDbCollationPrimary && collation != WexDbCollationSecondary)
        return text;
    gchar* folded = nullptr;
    if (collation == WexDbCollationPrimary) {
        gchar* decomposed = g_utf8_normalize(text.c_str(), static_cast<gssize>(text.size()), G_NORMALIZE_NFD);
        if (decomposed == nullptr)
            return text;  // not UTF-8: the bytes themselves
        std::string bare;
        for (const gchar* p = decomposed; *p != '\0'; p = g_utf8_next_char(p)) {
            gunichar c = g_utf8_get_char(p);
            if (!g_unichar_ismark(c))
                bare.append(p, g_utf8_next_char(p) - p);
        }
        g_free(decomposed);
        folded = g_utf8_casefold(bare.c_str(), static_cast<gssize>(bare.size()));
    } else {
        if (!g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr))
            return text;
        folded = g_utf8_casefold(text.c_str(), static_cast<gssize>(text.size()));
    }
    std::string out = folded;
    g_free(folded);
    return out;
}

int compare(const json& a, const json& b, WexDbCollationStrength collation)
{
    int ra = rank(a);
    int rb = rank(b);
    if (ra != rb)
        return order(ra, rb);
    switch (ra) {
    case 0: return 0;
    case 1: return order(a.get<bool>(), b.get<bool>());
    case 2: return compareNumbers(a, b);
    case 3: {
        int c = order(collationKey(a.get<std::string>(), collation), collationKey(b.get<std::string>(), collation));
        return c;
    }
    default: return order(a.dump(), b.dump());
    }
}

std::vector<Clause> clauses(const WexDbQuery::ClauseMap& map)
{
    std::vector<Clause> out;
    for (const auto& [property, clause] : map) {
        Clause c;
        c.property = property;
        c.lowerOp = clause.lowerOp;
        c.lowerVal = toJson(clause.lowerVal);
        c.upperOp = clause.upperOp;
        c.upperVal = toJson(clause.upperVal);
        c.collation = clause.collation;
        out.push_back(std::move(c));
    }
    return out;
}

bool matches(const json& record, const Clause& clause)
{
    std::vector<const json*> found;
    values(record, clause.property, found);
    static const json notDeleted = false;
    if (found.empty() && clause.property == "_del")
        found.push_back(&notDeleted);
    for (const json* value : found) {
        if (satisfies(*value, clause.lowerOp, clause.lowerVal, clause.collation) &&
            satisfies(*value, clause.upperOp, clause.upperVal, clause.collation))
            return true;
    }
    return false;
}

json project(const json& record, const std::set<std::string>& selected)
{
    if (selected.empty())
        return record;
    Node root;
    for (const std::string& path : selected) {
        Node* node = &root;
        size_t start = 0;
        while (true) {
            size_t dot = path.find('.', start);
            node = &node->children[path.substr(start, dot - start)];
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
        node->leaf = true;
    }
    auto out = cut(record, root);
    return out ? std::move(*out) : json::object();
}

} // namespace SimDbMatch
