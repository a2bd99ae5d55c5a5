// A phrase class counted straight from its phrases, in doubles: the costs of
// the interpolated word-pair model and the retrieval score of every phrase,
// to check the fixed-point index against. Word ids are the class's words;
// 0 stands for the phrase boundary. Retrieval weights take LogN as given.
//
// Header-only; logN is passed in so that the support library needs no engine.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace phrase_ref {

struct Class {
    double prior = 0;   // start prior count
    double w = 0.3;     // weight of the back-off
    std::vector<std::vector<uint16_t>> phrases;

    std::map<uint16_t, double> count;                     // occurrences
    std::map<std::pair<uint16_t, uint16_t>, double> pair; // (x, y), boundary 0, end as (x, 0)
    double total = 0;

    void count_all()
    {
        count.clear();
        pair.clear();
        total = 0;
        for (const auto& p : phrases) {
            uint16_t previous = 0;
            for (uint16_t id : p) {
                count[id] += 1;
                pair[{previous, id}] += 1;
                previous = id;
                total += 1;
            }
            pair[{previous, 0}] += 1;
            total += 1;
        }
    }
    double k(uint16_t x, uint16_t y) const
    {
        auto it = pair.find({x, y});
        return it == pair.end() ? 0 : it->second;
    }
    double boundary() const { return prior + static_cast<double>(phrases.size()); }

    static double cost(double p) { return -20.0 * std::log(p); }

    double U(uint16_t y) const { return cost(w * count.at(y) / total); }
    double B(uint16_t x, uint16_t y) const { return cost((1 - w) * k(x, y) / count.at(x)); }
    double T(uint16_t x, uint16_t y) const
    {
        if (k(x, y) == 0)
            return U(y);
        return cost(w * count.at(y) / total + (1 - w) * k(x, y) / count.at(x));
    }
    double start(uint16_t y) const
    {
        return cost(w * count.at(y) / total + (1 - w) * k(0, y) / boundary());
    }
    double end(uint16_t x) const
    {
        return cost(w * static_cast<double>(phrases.size()) / total + (1 - w) * k(x, 0) / count.at(x));
    }

    // Retrieval: 1024 acc / sqrt(Q D) per phrase index holding a word of the
    // first position; weights from the integer LogN.
    template <typename LogN>
    std::map<int, double> scores(const std::vector<std::vector<uint16_t>>& positions, LogN logN) const
    {
        std::map<uint16_t, double> df;
        for (const auto& p : phrases)
            for (uint16_t id : std::set<uint16_t>(p.begin(), p.end()))
                df[id] += 1;
        const double logP = logN(static_cast<uint32_t>(phrases.size()));
        std::map<uint16_t, double> tf;
        for (const auto& pos : positions)
            for (uint16_t id : pos)
                if (count.count(id))
                    tf[id] += 1;
        std::map<uint16_t, double> q;
        double Q = 0;
        for (auto [id, n] : tf) {
            q[id] = n * (logP - logN(static_cast<uint32_t>(df[id]))) + 1;
            Q += q[id] * q[id];
        }
        std::set<uint16_t> first;
        for (uint16_t id : positions.empty() ? std::vector<uint16_t>{} : positions[0])
            if (count.count(id))
                first.insert(id);
        std::map<int, double> out;
        for (size_t d = 0; d < phrases.size(); ++d) {
            std::map<uint16_t, double> tfd;
            for (uint16_t id : phrases[d])
                tfd[id] += 1;
            double acc = 0;
            bool hit = false;
            for (uint16_t id : first)
                if (tfd.count(id)) {
                    acc += q[id] * q[id] * tfd[id];
                    hit = true;
                }
            if (!hit)
                continue;
            double D = 0;
            for (auto [id, n] : tfd) {
                const double weight = q.count(id) ? n * q[id]
                                                  : n * (logP + 1 - logN(static_cast<uint32_t>(df[id])));
                D += weight * weight;
            }
            out[static_cast<int>(d)] = 1024.0 * acc / std::sqrt(Q * D);
        }
        return out;
    }
};

}  // namespace phrase_ref
