// Word alignment: worked cases, random pairs against a brute-force minimum
// cost with the operations replayed onto the reference, the oracle's region
// choices, and allocation failure raising with nothing leaked.
#include "core/brevit/search/scoring.h"

#include "core/brevit/runtime/dvk_err.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Words = std::vector<uint32_t>;

// Letters stand for words.
Words words(const std::string& text)
{
    Words out;
    for (char c : text)
        if (c != ' ')
            out.push_back(static_cast<uint32_t>(c));
    return out;
}

struct Alignment {
    int32_t errors = 0;
    std::vector<uint8_t> operations;
    std::vector<ScoringSegment> segments;
    int32_t substitutions = 0;
    int32_t insertions = 0;
    int32_t deletions = 0;
};

Alignment align(const Words& reference, const Words& hypothesis)
{
    Alignment a;
    a.operations.resize(reference.size() + hypothesis.size() + 1);
    a.segments.resize(reference.size() + 1);
    int32_t length = -1;
    int32_t count = -1;
    a.errors = Scoring_AlignWords(static_cast<int32_t>(reference.size()), reference.data(),
                                  static_cast<int32_t>(hypothesis.size()), hypothesis.data(), a.operations.data(),
                                  &length, a.segments.data(), &count, &a.substitutions, &a.insertions,
                                  &a.deletions);
    a.operations.resize(static_cast<size_t>(length));
    a.segments.resize(static_cast<size_t>(count));
    return a;
}

std::vector<int32_t> fields(const ScoringSegment& s)
{
    return {s.referenceStart, s.referenceEnd, s.hypothesisStart, s.hypothesisEnd, s.width};
}

class ScoringAlignTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(ScoringAlignTest, WorkedCases)
{
    struct Case {
        const char* reference;
        const char* hypothesis;
        int32_t errors;
        std::vector<std::vector<int32_t>> segments;
        int32_t substitutions, insertions, deletions;
    };
    const Case cases[] = {
        {"abc", "axc", 1, {{1, 1, 1, 1, 1}}, 1, 0, 0},
        {"ab", "abd", 1, {{2, 1, 2, 2, 1}}, 0, 1, 0},
        {"abcde", "axcye", 2, {{1, 1, 1, 1, 1}, {3, 3, 3, 3, 1}}, 2, 0, 0},
        {"abc", "ac", 1, {{1, 1, 1, 0, 1}}, 0, 0, 1},
        {"", "", 0, {}, 0, 0, 0},
        {"ab", "", 2, {{0, 1, 0, -1, 2}}, 0, 0, 2},
        {"", "xyz", 3, {{0, -1, 0, 2, 3}}, 0, 3, 0},
        {"abcd", "xycd", 2, {{0, 1, 0, 1, 2}}, 2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.reference) + " / " + c.hypothesis);
        const Alignment a = align(words(c.reference), words(c.hypothesis));
        EXPECT_EQ(a.errors, c.errors);
        std::vector<std::vector<int32_t>> got;
        for (const ScoringSegment& s : a.segments)
            got.push_back(fields(s));
        EXPECT_EQ(got, c.segments);
        EXPECT_EQ(a.substitutions, c.substitutions);
        EXPECT_EQ(a.insertions, c.insertions);
        EXPECT_EQ(a.deletions, c.deletions);
    }
}

// The least weighted cost over every alignment, by plain recursion.
int32_t bruteCost(const Words& r, const Words& h, size_t i, size_t j, std::map<std::pair<size_t, size_t>, int32_t>& memo)
{
    if (i == r.size())
        return static_cast<int32_t>(3 * (h.size() - j));
    if (j == h.size())
        return static_cast<int32_t>(3 * (r.size() - i));
    const auto key = std::make_pair(i, j);
    if (auto it = memo.find(key); it != memo.end())
        return it->second;
    const int32_t best = std::min({bruteCost(r, h, i + 1, j + 1, memo) + (r[i] == h[j] ? 0 : 4),
                                   bruteCost(r, h, i + 1, j, memo) + 3, bruteCost(r, h, i, j + 1, memo) + 3});
    memo[key] = best;
    return best;
}

TEST_F(ScoringAlignTest, RandomPairsReplayToTheHypothesisAtLeastCost)
{
    std::mt19937 random(55);
    for (int round = 0; round < 3000; ++round) {
        Words r(random() % 9);
        Words h(random() % 9);
        for (uint32_t& w : r)
            w = random() % 4;
        for (uint32_t& w : h)
            w = random() % 4;
        const Alignment a = align(r, h);
        // Replay the operations onto the reference.
        Words built;
        size_t i = 0;
        size_t j = 0;
        int32_t cost = 0;
        int32_t errors = 0;
        for (uint8_t op : a.operations) {
            errors += op != kScoringMatch ? 1 : 0;
            if (op == kScoringMatch) {
                ASSERT_EQ(r[i], h[j]);
                built.push_back(r[i++]);
                ++j;
            } else if (op == kScoringSubstitution) {
                ASSERT_NE(r[i], h[j]);
                built.push_back(h[j++]);
                ++i;
                cost += 4;
            } else if (op == kScoringInsertion) {
                built.push_back(h[j++]);
                cost += 3;
            } else {
                ++i;
                cost += 3;
            }
        }
        ASSERT_EQ(built, h);
        ASSERT_EQ(i, r.size());
        std::map<std::pair<size_t, size_t>, int32_t> memo;
        ASSERT_EQ(cost, bruteCost(r, h, 0, 0, memo));
        ASSERT_EQ(a.errors, errors);
        ASSERT_EQ(a.substitutions + a.insertions + a.deletions, errors);
        // The segments cover exactly the non-matching words of both sides.
        int32_t referenceWords = 0;
        int32_t hypothesisWords = 0;
        for (const ScoringSegment& s : a.segments) {
            referenceWords += s.referenceEnd - s.referenceStart + 1;
            hypothesisWords += s.hypothesisEnd - s.hypothesisStart + 1;
            ASSERT_EQ(s.width, std::max(s.referenceEnd - s.referenceStart, s.hypothesisEnd - s.hypothesisStart) + 1);
        }
        ASSERT_EQ(referenceWords, a.substitutions + a.deletions);
        ASSERT_EQ(hypothesisWords, a.substitutions + a.insertions);
    }
}

struct Oracle {
    int32_t errors;
    Words words;
};

Oracle oracle(const Words& reference, const Words& hypothesis, const std::vector<Words>& alternatives)
{
    Words all;
    std::vector<uint16_t> offsets{0};
    for (const Words& w : alternatives) {
        all.insert(all.end(), w.begin(), w.end());
        offsets.push_back(static_cast<uint16_t>(all.size()));
    }
    const ScoringAlternatives list{static_cast<int32_t>(alternatives.size()), all.data(), offsets.data()};
    Oracle o;
    int32_t length = -1;
    Words out(64, 0xDEAD);
    o.errors = Scoring_ComputeOracle(static_cast<int32_t>(reference.size()), reference.data(),
                                     static_cast<int32_t>(hypothesis.size()), hypothesis.data(), &list, &length, 0,
                                     out.data());
    int32_t lengthOnly = -1;
    Scoring_ComputeOracle(static_cast<int32_t>(reference.size()), reference.data(),
                          static_cast<int32_t>(hypothesis.size()), hypothesis.data(), &list, &lengthOnly, 0, nullptr);
    EXPECT_EQ(lengthOnly, length);
    out.resize(static_cast<size_t>(length));
    o.words = out;
    return o;
}

TEST_F(ScoringAlignTest, OracleTakesTheCheaperRegions)
{
    struct Case {
        const char* reference;
        const char* hypothesis;
        std::vector<const char*> alternatives;
        int32_t errors;
        const char* words;
    };
    const Case cases[] = {
        {"abcde", "axcye", {}, 2, "axcye"},
        {"abcde", "axcye", {"abcze"}, 1, "abcye"},
        {"abcde", "axcye", {"abcze", "axcde"}, 0, "abcde"},
        // A region that costs the same in the alternative changes nothing.
        {"abcde", "axcye", {"azcwe"}, 2, "axcye"},
        // An inserted word dropped by an alternative shortens the oracle.
        {"ab", "abd", {"ab"}, 0, "ab"},
        // A deletion the alternative fills.
        {"abc", "ac", {"abc"}, 0, "abc"},
        // Two hypothesis regions joined by one longer alternative region.
        {"abcde", "xbyde", {"zzzde"}, 2, "xbyde"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.reference) + " / " + c.hypothesis);
        std::vector<Words> alternatives;
        for (const char* a : c.alternatives)
            alternatives.push_back(words(a));
        const Oracle o = oracle(words(c.reference), words(c.hypothesis), alternatives);
        EXPECT_EQ(o.errors, c.errors);
        EXPECT_EQ(o.words, words(c.words));
    }
}

// The oracle's own words, aligned with the reference, have at most the
// errors it reports, and never more than the hypothesis.
TEST_F(ScoringAlignTest, OracleWordsAreNoWorseThanReported)
{
    std::mt19937 random(56);
    for (int round = 0; round < 1500; ++round) {
        auto randomWords = [&] {
            Words w(random() % 7);
            for (uint32_t& x : w)
                x = random() % 4;
            return w;
        };
        const Words r = randomWords();
        const Words h = randomWords();
        std::vector<Words> alternatives(random() % 4);
        for (Words& a : alternatives)
            a = randomWords();
        const Oracle o = oracle(r, h, alternatives);
        const int32_t base = align(r, h).errors;
        ASSERT_LE(o.errors, base);
        ASSERT_GE(o.errors, 0);
        ASSERT_LE(align(r, o.words).errors, o.errors);
    }
}

TEST_F(ScoringAlignTest, AllocationFailureRaisesAndLeaksNothing)
{
    const Words r = words("abcde");
    const Words h = words("axcye");
    const std::vector<Words> alternatives{words("abcze"), words("axcde")};
    for (uint64_t n = 1;; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        Oracle o{};
        const int raised = DVKErr_Protect([&] { o = oracle(r, h, alternatives); });
        m_allocator.failAt(0);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << "failing allocation " << n;
        if (raised == 0) {
            EXPECT_EQ(o.errors, 0);
            break;
        }
    }
}

} // namespace
