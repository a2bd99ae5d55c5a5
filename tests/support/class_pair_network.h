// A small class-pair network described as data (words and their prons,
// classes of members with weights, scored transitions between them), built
// into a class manager and a class-pair constraint, and the brute-force
// answer of what it accepts: every pron sequence of a whole path with its
// lowest cost (transition scores, each member's weight once, the end score).
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <cstring>
#include <string>
#include <vector>

struct NetworkMember {
    std::vector<uint16_t> words;   // active word ids
    uint8_t weight = 0;
};

struct NetworkClass {
    std::string name;
    std::vector<NetworkMember> members;
    bool weights = false;
};

// Class numbers are indices into classes plus one; 0 is the start as a
// source and the end as a target.
struct NetworkTransition {
    int from;
    int to;
    uint8_t score;
};

struct ClassPairNetwork {
    std::map<uint16_t, std::vector<uint16_t>> words;   // active word -> its prons
    std::vector<NetworkClass> classes;
    std::vector<NetworkTransition> transitions;
    bool scores = true;
};

using PronCosts = std::map<std::vector<uint16_t>, int32_t>;

// Adds the classes to the manager (names as given) and makes the constraint;
// null when any step fails.
inline Constraint* ClassPairNetwork_Build(const ClassPairNetwork& net, ClassManager* manager, const char* name)
{
    for (const NetworkClass& c : net.classes) {
        if (ClassManager_AddClass(manager, c.name.c_str(), 4, 8, c.weights ? 1 : 0, 0, 0, 0) != 1)
            return nullptr;
        for (const NetworkMember& m : c.members)
            if (ClassManager_AddClassMember(manager, c.name.c_str(), m.words.data(),
                                            static_cast<int32_t>(m.words.size()), m.weight, 0) != 1)
                return nullptr;
    }
    if (ClassManager_FinishEdit(manager) != 1)
        return nullptr;
    Constraint* con = ClassPairConstraint_Create(name, manager, static_cast<int32_t>(net.classes.size()), 4,
                                                 net.scores ? 1 : 0);
    if (con == nullptr)
        return nullptr;
    auto idOf = [&](int k) {
        return k == 0 ? 0u : static_cast<uint32_t>(ClassManager_FindClass(manager, net.classes[k - 1].name.c_str()));
    };
    for (const NetworkTransition& t : net.transitions)
        if (ClassPairConstraint_AddTransition(con, idOf(t.from), idOf(t.to), net.scores ? t.score : 0) != 1) {
            ClassPairConstraint_Delete(con, 0);
            return nullptr;
        }
    return con;
}

namespace class_pair_network_detail {

inline void walk(const ClassPairNetwork& net, int from, std::vector<uint16_t>& prons, int32_t cost, size_t maxProns,
                 PronCosts& out)
{
    for (const NetworkTransition& t : net.transitions) {
        if (t.from != from)
            continue;
        const int32_t step = cost + (net.scores ? t.score : 0);
        if (t.to == 0) {
            if (from != 0) {
                auto [at, fresh] = out.emplace(prons, step);
                if (!fresh && step < at->second)
                    at->second = step;
            }
            continue;
        }
        const NetworkClass& c = net.classes[static_cast<size_t>(t.to - 1)];
        for (const NetworkMember& m : c.members) {
            if (prons.size() + m.words.size() > maxProns)
                continue;
            const int32_t withWeight = step + (c.weights ? m.weight : 0);
            // Every choice of pron per word of the member.
            std::vector<size_t> pick(m.words.size(), 0);
            for (;;) {
                const size_t before = prons.size();
                for (size_t i = 0; i < m.words.size(); ++i)
                    prons.push_back(net.words.at(m.words[i])[pick[i]]);
                walk(net, t.to, prons, withWeight, maxProns, out);
                prons.resize(before);
                size_t i = 0;
                while (i < pick.size() && ++pick[i] == net.words.at(m.words[i]).size())
                    pick[i++] = 0;
                if (i == pick.size())
                    break;
            }
        }
    }
}

} // namespace class_pair_network_detail

// Pron sequences of at most maxProns prons along whole paths, lowest cost each.
inline PronCosts ClassPairNetwork_Paths(const ClassPairNetwork& net, size_t maxProns)
{
    PronCosts out;
    std::vector<uint16_t> prons;
    class_pair_network_detail::walk(net, 0, prons, 0, maxProns, out);
    return out;
}

// One whole path word by word: its prons, and per word the class (number as
// in transitions), the member index (in the class's order as built, which
// must be the sorted one) and whether the word starts the member; its cost.
struct NetworkParse {
    std::vector<uint16_t> prons;
    std::vector<int> classes;
    std::vector<int> members;
    std::vector<uint8_t> starts;
    int32_t cost = 0;
};

namespace class_pair_network_detail {

inline void parses(const ClassPairNetwork& net, int from, NetworkParse& so, size_t maxProns,
                   std::vector<NetworkParse>& out)
{
    for (const NetworkTransition& t : net.transitions) {
        if (t.from != from)
            continue;
        const int32_t step = so.cost + (net.scores ? t.score : 0);
        if (t.to == 0) {
            if (from != 0) {
                out.push_back(so);
                out.back().cost = step;
            }
            continue;
        }
        const NetworkClass& c = net.classes[static_cast<size_t>(t.to - 1)];
        for (size_t m = 0; m < c.members.size(); ++m) {
            const NetworkMember& member = c.members[m];
            if (so.prons.size() + member.words.size() > maxProns)
                continue;
            std::vector<size_t> pick(member.words.size(), 0);
            for (;;) {
                NetworkParse longer = so;
                longer.cost = step + (c.weights ? member.weight : 0);
                for (size_t i = 0; i < member.words.size(); ++i) {
                    longer.prons.push_back(net.words.at(member.words[i])[pick[i]]);
                    longer.classes.push_back(t.to);
                    longer.members.push_back(static_cast<int>(m));
                    longer.starts.push_back(i == 0 ? 1 : 0);
                }
                parses(net, t.to, longer, maxProns, out);
                size_t i = 0;
                while (i < pick.size() && ++pick[i] == net.words.at(member.words[i]).size())
                    pick[i++] = 0;
                if (i == pick.size())
                    break;
            }
        }
    }
}

} // namespace class_pair_network_detail

// Every whole path of at most maxProns prons with its member assignment.
inline std::vector<NetworkParse> ClassPairNetwork_Parses(const ClassPairNetwork& net, size_t maxProns)
{
    std::vector<NetworkParse> out;
    NetworkParse start;
    class_pair_network_detail::parses(net, 0, start, maxProns, out);
    return out;
}

// Pron sequences of at most maxProns prons that end a whole path: the rest
// of a member of a class the constraint holds (from any of its words on),
// then a path from that class to the end. The classes held are those that
// some transition names.
inline std::set<std::vector<uint16_t>> ClassPairNetwork_Endings(const ClassPairNetwork& net, size_t maxProns)
{
    std::set<int> held;
    for (const NetworkTransition& t : net.transitions) {
        if (t.from != 0)
            held.insert(t.from);
        if (t.to != 0)
            held.insert(t.to);
    }
    PronCosts out;
    for (int k : held)
        for (const NetworkMember& m : net.classes[static_cast<size_t>(k - 1)].members)
            for (size_t p = 0; p < m.words.size(); ++p) {
                if (m.words.size() - p > maxProns)
                    continue;
                std::vector<size_t> pick(m.words.size() - p, 0);
                for (;;) {
                    std::vector<uint16_t> prons;
                    for (size_t i = 0; i < pick.size(); ++i)
                        prons.push_back(net.words.at(m.words[p + i])[pick[i]]);
                    class_pair_network_detail::walk(net, k, prons, 0, maxProns, out);
                    size_t i = 0;
                    while (i < pick.size() && ++pick[i] == net.words.at(m.words[p + i]).size())
                        pick[i++] = 0;
                    if (i == pick.size())
                        break;
                }
            }
    std::set<std::vector<uint16_t>> endings;
    for (const auto& [prons, cost] : out)
        endings.insert(prons);
    return endings;
}

// A random network: 3 to 5 words (ids 10 and up) of 1 or 2 prons, 1 to 3
// classes of 1 to 4 distinct members of 1 to 3 words, random transitions,
// scores and weights.
inline ClassPairNetwork ClassPairNetwork_Random(std::mt19937& rng)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    ClassPairNetwork net;
    const int words = pick(3, 5);
    uint16_t pron = 1;
    for (int w = 0; w < words; ++w) {
        std::vector<uint16_t> prons;
        for (int p = pick(1, 2); p > 0; --p)
            prons.push_back(pron++);
        net.words[static_cast<uint16_t>(10 + w)] = prons;
    }
    net.scores = pick(0, 3) != 0;
    const int classes = pick(1, 3);
    for (int k = 0; k < classes; ++k) {
        NetworkClass c;
        c.name = "c" + std::to_string(k);
        c.weights = pick(0, 1) != 0;
        std::set<std::vector<uint16_t>> seen;
        for (int m = pick(1, 4); m > 0; --m) {
            NetworkMember member;
            for (int n = pick(1, 3); n > 0; --n)
                member.words.push_back(static_cast<uint16_t>(10 + pick(0, words - 1)));
            // Members sharing a first word are what the runs are about.
            if (!seen.empty() && pick(0, 1) != 0)
                member.words[0] = (*seen.begin())[0];
            if (!seen.insert(member.words).second)
                continue;
            member.weight = c.weights ? static_cast<uint8_t>(pick(0, 20)) : 0;
            c.members.push_back(member);
        }
        net.classes.push_back(c);
    }
    std::set<std::pair<int, int>> used;
    for (int from = 0; from <= classes; ++from)
        for (int to = 0; to <= classes; ++to) {
            if ((from == 0 && to == 0) || pick(0, 2) == 0)
                continue;
            if (used.insert({from, to}).second)
                net.transitions.push_back({from, to, static_cast<uint8_t>(pick(0, 20))});
        }
    return net;
}

// The stored record of a whole-vocabulary constraint as it stands in "bcm0":
// the 64-byte name, then the single-word flag.
inline bool ClassPairNetwork_WriteWholeVocRecord(BinFileWriter* w, const std::string& name, uint32_t singleWord)
{
    char bytes[64] = {};
    std::strncpy(bytes, name.c_str(), sizeof bytes - 1);
    return BinFileWriter_WriteArray(w, bytes, sizeof bytes, 1) == 1 && BinFileWriter_WriteUnsignedInt(w, singleWord) == 1;
}
