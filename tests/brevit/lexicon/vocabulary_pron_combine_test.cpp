#include "core/brevit/lexicon/vocabulary_parts.h"
#include "tests/brevit/lexicon/vocabulary_test_base.h"

#include <algorithm>
#include <functional>
#include <random>

namespace {

struct Combination {
    int64_t cost;
    std::vector<uint8_t> choice;
    bool operator==(const Combination&) const = default;
};

// Every combination enumerated, the three lists kept as described: appended
// while there is room, sorted when full, later ones inserted when they sort
// before the last.
std::vector<Combination> enumerate(const std::vector<std::vector<int32_t>>& costs,
                                   const std::vector<std::vector<uint8_t>>& cats, int32_t n, int32_t limit)
{
    const size_t tokens = costs.size();
    auto before = [&](const Combination& a, const Combination& b) {
        if (a.cost != b.cost)
            return a.cost < b.cost;
        for (size_t t = tokens; t-- > 0;)
            if (a.choice[t] != b.choice[t])
                return a.choice[t] < b.choice[t];
        return false;
    };
    std::vector<Combination> lists[3];
    std::vector<uint8_t> choice(tokens, 255);
    std::function<void(size_t)> walk = [&](size_t t) {
        if (t == tokens) {
            int state = 2;
            int64_t cost = 0;
            for (size_t k = 0; k < tokens; ++k) {
                if (choice[k] == 255)
                    continue;
                const uint8_t c = cats[k][choice[k]];
                cost += costs[k][choice[k]];
                if (c == 255 || (c < 2 && state < 2 && state != c))
                    return;
                if (c < 2)
                    state = c;
            }
            std::vector<Combination>& l = lists[state];
            const Combination combo{cost, choice};
            if (static_cast<int32_t>(l.size()) < n) {
                l.push_back(combo);
                if (static_cast<int32_t>(l.size()) == n)
                    std::sort(l.begin(), l.end(), before);
            } else if (n > 0 && before(combo, l.back())) {
                l.pop_back();
                l.insert(std::upper_bound(l.begin(), l.end(), combo, before), combo);
            }
            return;
        }
        if (costs[t].empty())
            return walk(t + 1);
        for (size_t a = 0; a < costs[t].size(); ++a) {
            choice[t] = static_cast<uint8_t>(a);
            walk(t + 1);
        }
        choice[t] = 255;
    };
    walk(0);
    std::vector<Combination> out;
    size_t heads[3] = {0, 0, 0};
    while (static_cast<int32_t>(out.size()) < limit) {
        bool any = false;
        int64_t smallest = 0;
        for (int s = 0; s < 3; ++s)
            if (heads[s] < lists[s].size() && (!any || lists[s][heads[s]].cost < smallest)) {
                smallest = lists[s][heads[s]].cost;
                any = true;
            }
        if (!any)
            break;
        for (int s = 0; s < 3; ++s)
            if (static_cast<int32_t>(out.size()) < limit && heads[s] < lists[s].size() &&
                lists[s][heads[s]].cost == smallest)
                out.push_back(lists[s][heads[s]++]);
    }
    return out;
}

class PronCombineTest : public VocabularyTest {};

TEST_F(PronCombineTest, BestPerCategoryEqualsTheEnumeration)
{
    std::mt19937 random(83);
    const uint8_t kinds[] = {0, 1, 2, 2, 255};
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        const int tokens = 1 + static_cast<int>(random() % 6);
        const bool equalCosts = random() % 3 == 0;
        std::vector<std::vector<int32_t>> costs(tokens);
        std::vector<std::vector<uint8_t>> cats(tokens);
        for (int t = 0; t < tokens; ++t) {
            const int count = static_cast<int>(random() % 5);
            for (int a = 0; a < count; ++a) {
                costs[t].push_back(equalCosts ? 5 : static_cast<int32_t>(random() % 4));
                cats[t].push_back(kinds[random() % 5]);
            }
        }
        const int32_t n = static_cast<int32_t>(random() % 10);
        const int32_t limit = static_cast<int32_t>(random() % 12);
        std::vector<int32_t> counts(tokens);
        std::vector<const int32_t*> costPtrs(tokens);
        std::vector<const uint8_t*> catPtrs(tokens);
        for (int t = 0; t < tokens; ++t) {
            counts[t] = static_cast<int32_t>(costs[t].size());
            costPtrs[t] = costs[t].data();
            catPtrs[t] = cats[t].data();
        }
        std::vector<uint8_t> choices(static_cast<size_t>(tokens * std::max(limit, 1)));
        std::vector<int64_t> got(static_cast<size_t>(std::max(limit, 1)));
        const int32_t found = VocPart_CombinePronunciations(tokens, counts.data(), costPtrs.data(), catPtrs.data(), n,
                                                            limit, choices.data(), got.data());
        const std::vector<Combination> expected = enumerate(costs, cats, n, limit);
        ASSERT_EQ(found, static_cast<int32_t>(expected.size()));
        for (int32_t k = 0; k < found; ++k) {
            EXPECT_EQ(got[k], expected[k].cost) << k;
            EXPECT_EQ(std::vector<uint8_t>(choices.begin() + k * tokens, choices.begin() + (k + 1) * tokens),
                      expected[k].choice)
                << k;
        }
    }
}

}  // namespace
