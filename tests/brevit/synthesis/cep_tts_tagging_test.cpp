#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Candidates = std::vector<CepTTSTagCandidate>;

struct Path {
    std::vector<int32_t> choice;   // candidate index per word
    std::vector<uint16_t> tags;
    int64_t cost = 0;
};

// The tagging search as a beam over whole paths: every path extended by
// every candidate, kept within the beam of the word's best so far, then
// pruned to the beam, and of two neighbouring paths with the same last
// H - 1 tags the cheaper kept (the earlier on a tie). The cheapest final
// path, the first among equals.
std::vector<int32_t> literalSearch(const std::vector<Candidates>& words, int32_t history, int32_t beam)
{
    std::vector<Path> paths(1);
    for (const Candidates& c : words) {
        std::vector<Path> next;
        int64_t best = 0;
        for (const Path& p : paths)
            for (size_t k = 0; k < c.size(); ++k) {
                const int64_t cost = p.cost + c[k].cost;
                if (!next.empty() && cost > best + beam)
                    continue;
                Path n = p;
                n.choice.push_back(static_cast<int32_t>(k));
                n.tags.push_back(c[k].tag);
                n.cost = cost;
                best = next.empty() ? cost : std::min(best, cost);
                next.push_back(n);
            }
        std::vector<Path> kept;
        for (const Path& p : next) {
            if (p.cost > best + beam)
                continue;
            if (!kept.empty()) {
                const Path& last = kept.back();
                bool same = true;
                const size_t n = p.tags.size();
                for (int32_t h = 0; h < history - 1 && same; ++h)
                    same = static_cast<size_t>(h) >= n || last.tags[n - 1 - h] == p.tags[n - 1 - h];
                if (same) {
                    if (p.cost < last.cost)
                        kept.back() = p;
                    continue;
                }
            }
            kept.push_back(p);
        }
        paths = kept;
    }
    size_t best = 0;
    for (size_t k = 1; k < paths.size(); ++k)
        if (paths[k].cost < paths[best].cost)
            best = k;
    return paths[best].choice;
}

// Candidates as a word's part-of-speech ids give them: each id's tags best
// first at 14 per rank, a tag seen before kept once.
Candidates randomCandidates(std::mt19937& random)
{
    Candidates c;
    const int32_t ids = 1 + static_cast<int32_t>(random() % 3);
    for (int32_t id = 0; id < ids; ++id) {
        const int32_t tags = 1 + static_cast<int32_t>(random() % 3);
        for (int32_t r = 0; r < tags; ++r) {
            const auto tag = static_cast<uint16_t>(1 + random() % 5);
            bool seen = false;
            for (const CepTTSTagCandidate& x : c)
                seen = seen || x.tag == tag;
            if (!seen)
                c.push_back({tag, id, kCepTTSTagRankCost * r});
        }
    }
    return c;
}

TEST(TTSTagging, EachWordsFirstCheapestIsTheLiteralSearchsPath)
{
    std::mt19937 random(88);
    for (int32_t trial = 0; trial < 3000; ++trial) {
        std::vector<Candidates> words(1 + random() % 7);
        for (Candidates& c : words)
            c = randomCandidates(random);
        const auto history = static_cast<int32_t>(1 + random() % 3);
        const auto beam = static_cast<int32_t>(14 * (random() % 4));
        const std::vector<int32_t> literal = literalSearch(words, history, beam);
        ASSERT_EQ(literal.size(), words.size());
        for (size_t w = 0; w < words.size(); ++w)
            ASSERT_EQ(CepTTSTagging_Choose(words[w].data(), static_cast<int32_t>(words[w].size())), literal[w])
                << "trial " << trial << " word " << w;
    }
}

} // namespace
