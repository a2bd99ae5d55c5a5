// Word graphs from readable lattices, and a brute-force list of a lattice's
// complete paths scored by the n-best rule: a path scores its end arc's score
// plus, at each step back, its arc's excess over the best arc ending in the
// same frame. Header-only: it calls the engine, which the support library
// does not link.
#pragma once

#include "core/brevit/search/word_graph.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace word_lattice {

struct Arc {
    int32_t start;
    int32_t end;
    uint16_t word;   // kWordGraphNullWord opens a path
    int32_t score;
    // With context records:
    uint32_t kind = kWordGraphWholeWord;
    uint16_t phoneme = 0;   // entry, and exit unless a final whole word
    int32_t acoustic = 0;
    bool final = false;     // a whole word that may end the utterance (exit 0)
};

struct Lattice {
    std::vector<Arc> arcs;   // in the order they are added
    int32_t capacity = 64;
    bool wordOnly = false;
    bool context = false;
    bool reversed = false;
    int32_t valueA = 0;
    int32_t valueB = 0;
};

// Null without memory; full (may be null) is set as AddArc sets it.
inline WordGraph* build(const Lattice& lattice, Voc* vocabulary, AM* acousticModel = nullptr,
                        int32_t* full = nullptr)
{
    WordGraph* g = WordGraph_Create(acousticModel, vocabulary, lattice.valueA, lattice.capacity, lattice.valueB,
                                    lattice.reversed ? 1 : 0, lattice.wordOnly ? 1 : 0, lattice.context ? 1 : 0);
    if (g == nullptr)
        return nullptr;
    int32_t ignored = 0;
    int32_t* f = full != nullptr ? full : &ignored;
    for (const Arc& a : lattice.arcs) {
        if (lattice.context)
            WordGraph_AddArcWithContext(g, a.kind == kWordGraphFirstPiece ? 1 : 0,
                                        a.kind == kWordGraphWholeWord ? 1 : 0, a.final ? 1 : 0, a.start, a.end,
                                        a.word, a.phoneme, a.score, a.acoustic, f);
        else
            WordGraph_AddArc(g, a.start, a.end, a.word, a.score, f);
    }
    return g;
}

struct Path {
    std::vector<uint16_t> words;   // time order, null words left out
    int32_t score;
};

// The arcs a forward-time graph keeps (an arc after a frame without arcs is
// dropped), by end frame; arcs must come in end-frame order.
inline std::map<int32_t, std::vector<Arc>> keptArcs(const Lattice& lattice)
{
    std::map<int32_t, std::vector<Arc>> frames;
    for (const Arc& a : lattice.arcs) {
        if (a.start < 0 || a.start > a.end || a.end + 1 >= lattice.capacity)
            continue;
        if (a.start > 0 && frames[a.start - 1].empty())
            continue;
        frames[a.end].push_back(a);
    }
    // Without context records a finished frame keeps one arc per word and
    // start; the frame still being filled (the last) keeps all.
    int32_t last = -1;
    for (const auto& [end, arcs] : frames)
        if (!arcs.empty())
            last = end;
    if (!lattice.context && !lattice.wordOnly)
        for (auto& [end, arcs] : frames) {
            if (end == last)
                continue;
            std::vector<Arc> kept;
            for (const Arc& a : arcs) {
                auto same = std::find_if(kept.begin(), kept.end(), [&](const Arc& k) {
                    return k.word == a.word && k.start == a.start;
                });
                if (same == kept.end())
                    kept.push_back(a);
                else
                    same->score = std::min(same->score, a.score);
            }
            arcs = kept;
        }
    return frames;
}

// Every complete path ending at the end frame (forward time, no context
// records, no word penalty or language model): seeds are the arcs ending
// there that do not start at frame 0; a path is complete at an arc
// starting at frame 0.
inline std::vector<Path> bruteForcePaths(const Lattice& lattice, int32_t endFrame)
{
    auto frames = keptArcs(lattice);
    std::vector<Path> paths;
    auto bestIn = [&](int32_t frame) {
        int32_t best = INT32_MAX;
        for (const Arc& a : frames[frame])
            best = std::min(best, a.score);
        return best;
    };
    std::vector<uint16_t> reversed;
    auto walk = [&](auto& self, const Arc& a, int32_t score) -> void {
        if (a.word != kWordGraphNullWord)
            reversed.push_back(a.word);
        if (a.start == 0) {
            paths.push_back({std::vector<uint16_t>(reversed.rbegin(), reversed.rend()), score});
        } else {
            const int32_t best = bestIn(a.start - 1);
            for (const Arc& p : frames[a.start - 1])
                self(self, p, score + (p.score - best));
        }
        if (a.word != kWordGraphNullWord)
            reversed.pop_back();
    };
    for (const Arc& seed : frames[endFrame])
        if (seed.start != 0)
            walk(walk, seed, seed.score);
    return paths;
}

}  // namespace word_lattice
