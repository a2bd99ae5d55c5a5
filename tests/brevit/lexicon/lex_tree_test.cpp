// Lexical tree building from hand-made pre-expanded strings: the worked
// layouts, random sets against a brute-force trie (arc count, walks, the
// listed prons), and the look-ahead quantisation against the raw bytes it
// encodes.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/lexicon/pron_cache_fixture.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using Strings = std::vector<std::vector<uint16_t>>;

// Children of inner arc i, by the layout rule.
std::vector<int32_t> childrenOf(const LexArc* arcs, int32_t i)
{
    int32_t j = i + 1;
    while ((arcs[j].model & kLexArcWordEnd) != 0)
        ++j;
    std::vector<int32_t> out;
    for (int32_t c = arcs[i].next; c < arcs[j].next; ++c)
        out.push_back(c);
    return out;
}

class LexTreeBuildTest : public PronVocabularyTest {
protected:
    void SetUp() override
    {
        m_vocabulary = &vocabulary(vocabulary_fixture::defaultWords());
        m_am = model();
        ASSERT_NE(m_vocabulary->voc(), nullptr);
        ASSERT_NE(m_am, nullptr);
    }

    // A table of 0x7FFF-ended strings, pron id k for strings[k].
    struct Table {
        std::vector<std::vector<uint16_t>> strings;
        std::vector<const uint16_t*> pointers;
        explicit Table(const Strings& s) : strings(s)
        {
            for (auto& e : strings) {
                e.push_back(kExpandedEnd);
            }
            for (auto& e : strings)
                pointers.push_back(e.data());
        }
    };

    // The prons in the order of the pre-expanded comparator.
    static std::vector<uint16_t> sorted(const Strings& s)
    {
        std::vector<uint16_t> ids(s.size());
        for (size_t k = 0; k < s.size(); ++k)
            ids[k] = static_cast<uint16_t>(k);
        std::sort(ids.begin(), ids.end(), [&](uint16_t a, uint16_t b) {
            return s[a] != s[b] ? s[a] < s[b] : a < b;
        });
        return ids;
    }

    // Builds trees until every pron is placed; the prons each tree took.
    std::vector<int32_t> build(LexTree* tree, const Strings& s, int32_t F, int32_t D, int32_t A)
    {
        Table table(s);
        const std::vector<uint16_t> ids = sorted(s);
        std::vector<int32_t> taken;
        for (size_t done = 0; done < ids.size() || (ids.empty() && taken.empty());) {
            int32_t placed = -1;
            EXPECT_EQ(LexTree_BuildTree(tree, m_vocabulary->voc(), m_am, static_cast<int32_t>(ids.size() - done),
                                        ids.data() + done, nullptr, 1, F, D, table.pointers.data(), A, 0, 0, &placed,
                                        nullptr),
                      1);
            if (placed <= 0 && !ids.empty())
                break;
            taken.push_back(placed);
            done += static_cast<size_t>(placed);
        }
        return taken;
    }

    struct Arc {
        uint16_t model;
        uint16_t next;
        bool operator==(const Arc&) const = default;
    };
    static std::vector<Arc> arcsOf(const LexTree* tree, int32_t i)
    {
        std::vector<Arc> out;
        for (int32_t a = 0; a < LexTree_GetNumTotalArcs(tree, i); ++a)
            out.push_back({LexTree_GetArcs(tree, i)[a].model, LexTree_GetArcs(tree, i)[a].next});
        return out;
    }

    VocabularyFixture* m_vocabulary = nullptr;
    AM* m_am = nullptr;
};

constexpr int32_t kBig = 1000;
constexpr uint16_t E = kLexArcWordEnd;

TEST_F(LexTreeBuildTest, WorkedLayouts)
{
    const auto s = static_cast<uint16_t>(AM_GetSilenceModelId(m_am) & kLexArcModelMask);
    struct Case {
        const char* name;
        Strings strings;
        int32_t F;
        std::vector<int32_t> taken;
        std::vector<Arc> firstTree;
        int32_t parent;
        std::vector<int32_t> children;
        int32_t truncated;
    };
    const Case cases[] = {
        {"shared leading arcs", {{1, 2, 3}, {1, 2, 4}}, kBig, {2},
         {{s, 1}, {1, 2}, {2, 3}, {E | 3, 0}, {E | 4, 1}, {0, 5}}, 2, {3, 4}, 0},
        {"a pron that is another's prefix", {{1, 2}, {1, 2, 3}}, kBig, {2},
         {{s, 1}, {1, 2}, {E | 2, 0}, {2, 4}, {E | 3, 1}, {0, 5}}, 1, {2, 3}, 0},
        {"full depth 1", {{1, 2, 3}, {1, 4, 5}, {6, 7}}, 1, {3},
         {{s, 1}, {1, 3}, {E | 6, 2}, {E | 2, 0}, {E | 4, 1}, {0, 5}}, 1, {3, 4}, 1},
        {"empty", {}, kBig, {0}, {{s, 1}, {0, 1}}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LexTree* tree = LexTree_CreateEmpty();
        EXPECT_EQ(build(tree, c.strings, c.F, kBig, 0), c.taken);
        EXPECT_EQ(arcsOf(tree, 0), c.firstTree);
        EXPECT_EQ(childrenOf(LexTree_GetArcs(tree, 0), c.parent), c.children);
        EXPECT_EQ(LexTree_GetHeaderWord(tree), c.truncated);
        LexTree_Delete(tree);
    }
}

TEST_F(LexTreeBuildTest, AnArcLimitCutsBackToWholeFirstModelGroups)
{
    LexTree* tree = LexTree_CreateEmpty();
    EXPECT_EQ(build(tree, {{1, 2, 3}, {1, 2, 4}, {5, 6, 7}, {5, 6, 8}}, kBig, kBig, 8), (std::vector<int32_t>{2, 2}));
    ASSERT_EQ(LexTree_GetNumTrees(tree), 2);
    EXPECT_EQ(LexTree_GetNumTotalArcs(tree, 0), 6);
    EXPECT_EQ(LexTree_GetNumTotalArcs(tree, 1), 6);
    EXPECT_EQ(LexTree_GetMaxTotalArcs(tree, 0), 8);
    EXPECT_EQ(LexTree_GetArcs(tree, 1)[1].model, 5);
    LexTree_Delete(tree);

    // A first pron no empty tree takes fails the build and keeps the trees.
    tree = LexTree_CreateEmpty();
    EXPECT_EQ(build(tree, {{1, 2}}, kBig, kBig, 0).size(), 1u);
    Table table({{1, 2, 3, 4, 5, 6, 7}});
    const uint16_t id = 0;
    int32_t placed = -1;
    EXPECT_EQ(LexTree_BuildTree(tree, m_vocabulary->voc(), m_am, 1, &id, nullptr, 1, kBig, kBig,
                                table.pointers.data(), 5, 0, 0, &placed, nullptr),
              0);
    EXPECT_EQ(LexTree_GetNumTrees(tree), 1);
    LexTree_Delete(tree);
}

TEST_F(LexTreeBuildTest, ASeventeenthTreeIsRefused)
{
    LexTree* tree = LexTree_CreateEmpty();
    Strings strings;
    for (uint16_t k = 0; k < 17; ++k)
        strings.push_back({static_cast<uint16_t>(k + 1), 9, 9});
    Table table(strings);
    const std::vector<uint16_t> ids = sorted(strings);
    size_t done = 0;
    int32_t result = 1;
    while (done < ids.size() && result == 1) {
        int32_t placed = 0;
        result = LexTree_BuildTree(tree, m_vocabulary->voc(), m_am, static_cast<int32_t>(ids.size() - done),
                                   ids.data() + done, nullptr, 1, kBig, kBig, table.pointers.data(), 5, 0, 0, &placed,
                                   nullptr);
        done += static_cast<size_t>(placed);
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(done, 16u);
    EXPECT_EQ(LexTree_GetNumTrees(tree), 16);
    LexTree_Delete(tree);
}

// Random sets of distinct strings against a brute-force trie.
TEST_F(LexTreeBuildTest, RandomSetsMatchABruteForceTrie)
{
    std::mt19937 random(132);
    for (int round = 0; round < 3000; ++round) {
        std::set<std::vector<uint16_t>> unique;
        const int count = 1 + static_cast<int>(random() % 12);
        while (static_cast<int>(unique.size()) < count) {
            std::vector<uint16_t> s(1 + random() % 6);
            for (auto& u : s)
                u = static_cast<uint16_t>(1 + random() % 3);
            unique.insert(s);
        }
        Strings strings(unique.begin(), unique.end());
        std::shuffle(strings.begin(), strings.end(), random);
        LexTree* tree = LexTree_CreateEmpty();
        ASSERT_EQ(build(tree, strings, kBig, kBig, 0).size(), 1u);
        std::set<std::vector<uint16_t>> prefixes;
        for (const auto& s : strings)
            for (size_t n = 1; n < s.size(); ++n)
                prefixes.insert(std::vector<uint16_t>(s.begin(), s.begin() + static_cast<long>(n)));
        const LexArc* arcs = LexTree_GetArcs(tree, 0);
        ASSERT_EQ(LexTree_GetNumTotalArcs(tree, 0), static_cast<int32_t>(2 + prefixes.size() + strings.size()));
        for (size_t k = 0; k < strings.size(); ++k) {
            const auto& s = strings[k];
            int32_t at = 0;
            for (size_t level = 0; level < s.size(); ++level) {
                const bool last = level + 1 == s.size();
                int32_t found = -1;
                for (int32_t c : childrenOf(arcs, at))
                    if (arcs[c].model == (last ? (s[level] | E) : s[level]) && (!last || arcs[c].next == k))
                        found = c;
                ASSERT_GE(found, 0) << "pron " << k << " level " << level;
                at = found;
            }
        }
        std::vector<uint16_t> listed(strings.size() + 1);
        ASSERT_EQ(LexTree_CollectTreeProns(arcs, LexTree_GetNumTotalArcs(tree, 0), nullptr, listed.data(), nullptr, 8),
                  static_cast<int32_t>(strings.size()));
        listed.pop_back();
        EXPECT_EQ(listed, sorted(strings));
        EXPECT_EQ(LexTree_GetHeaderWord(tree), 0);
        LexTree_Delete(tree);
    }
}

TEST_F(LexTreeBuildTest, QuantisedBytesRebuildTheRawOnesAlongEveryPath)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamLookaheadDepth, 0).word(kBrevitParamLookaheadCap, 3));
    {
        // Step 10, base 20, raw 34 gives 1; its children start from 30.
        const LexArc arcs[] = {{0, 1}, {1, 2}, {E | 2, 0}, {0, 3}};
        uint8_t bytes[] = {0, 34, 36, 0};
        LexTree_QuantiseArc(arcs, 1, 1, 10, bytes, 20);
        EXPECT_EQ(bytes[1], 1);
        EXPECT_EQ(bytes[2], 1);   // (5 - 30 + 36) / 10
    }
    std::mt19937 random(578);
    for (int round = 0; round < 20000; ++round) {
        Strings strings;
        const int count = 1 + static_cast<int>(random() % 6);
        std::set<std::vector<uint16_t>> unique;
        while (static_cast<int>(unique.size()) < count) {
            std::vector<uint16_t> s(1 + random() % 4);
            for (auto& u : s)
                u = static_cast<uint16_t>(1 + random() % 3);
            unique.insert(s);
        }
        strings.assign(unique.begin(), unique.end());
        LexTree* tree = LexTree_CreateEmpty();
        ASSERT_EQ(build(tree, strings, kBig, kBig, 0).size(), 1u);
        const LexArc* arcs = LexTree_GetArcs(tree, 0);
        const int32_t n = LexTree_GetNumTotalArcs(tree, 0);
        // Raw bytes: word ends random, inner arcs the least below them.
        std::vector<int32_t> raw(static_cast<size_t>(n), 255);
        std::function<int32_t(int32_t)> fill = [&](int32_t a) {
            if ((arcs[a].model & E) != 0)
                return raw[static_cast<size_t>(a)] = static_cast<int32_t>(random() % 241);
            int32_t least = 255;
            for (int32_t c : childrenOf(arcs, a))
                least = std::min(least, fill(c));
            return raw[static_cast<size_t>(a)] = least;
        };
        fill(0);
        std::vector<uint8_t> bytes(raw.begin(), raw.end());
        const int32_t step = 1 + static_cast<int32_t>(random() % 16);
        LexTree_QuantiseTree(arcs, step, bytes.data(), raw[0]);
        EXPECT_EQ(bytes[0], 0);
        std::function<void(int32_t, int32_t)> check = [&](int32_t a, int32_t base) {
            for (int32_t c : childrenOf(arcs, a)) {
                const int32_t value = base + step * bytes[static_cast<size_t>(c)];
                ASSERT_GE(value - raw[static_cast<size_t>(c)], -((step - 1) / 2)) << "step " << step;
                ASSERT_LE(value - raw[static_cast<size_t>(c)], step / 2) << "step " << step;
                if ((arcs[c].model & E) == 0)
                    check(c, value);
            }
        };
        check(0, raw[0]);
        LexTree_Delete(tree);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
