// The n best combinations of token pronunciations per category, found token
// by token instead of by enumerating every combination: extending a partial
// combination by one alternative keeps the order among partials that end in
// the same state (the cost shifts alike and the alternatives are compared
// from the last token first), so the n best of each state suffice. A
// category reached by fewer than n combinations never prunes, and its list
// is put back into enumeration order.
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kStates = 3;   // has 0, has 1, all neutral
constexpr uint64_t kCountCap = uint64_t{1} << 40;

struct Partial {
    int64_t cost;
    uint8_t* choice;   // tokens bytes
};

int32_t nextState(int32_t state, uint8_t category)
{
    if (category == 2)
        return state;
    if (category > 2)
        return -1;
    if (state == 2 || state == category)
        return category;
    return -1;
}

struct Lists {
    Partial* entries[kStates];
    int32_t sizes[kStates];
};

// Cost, then the alternatives from the last token to the first.
struct ByCost {
    int32_t tokens;
    bool operator()(const Partial& a, const Partial& b) const
    {
        if (a.cost != b.cost)
            return a.cost < b.cost;
        for (int32_t t = tokens - 1; t >= 0; --t)
            if (a.choice[t] != b.choice[t])
                return a.choice[t] < b.choice[t];
        return false;
    }
};

struct ByEnumeration {
    int32_t tokens;
    bool operator()(const Partial& a, const Partial& b) const
    {
        return std::memcmp(a.choice, b.choice, static_cast<size_t>(tokens)) < 0;
    }
};

Lists makeLists(int32_t capacity, int32_t tokens)
{
    Lists l{};
    for (int32_t s = 0; s < kStates; ++s) {
        l.entries[s] = static_cast<Partial*>(DVKTempMem_Malloc(static_cast<uint32_t>(capacity) * sizeof(Partial)));
        auto* bytes = static_cast<uint8_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(capacity * tokens)));
        for (int32_t k = 0; k < capacity; ++k)
            l.entries[s][k].choice = bytes + static_cast<size_t>(k) * static_cast<size_t>(tokens);
    }
    return l;
}

}  // namespace

int32_t VocPart_CombinePronunciations(int32_t tokens, const int32_t* counts, const int32_t* const* costs,
                                      const uint8_t* const* categories, int32_t n, int32_t limit,
                                      uint8_t* choices, int64_t* costsOut)
{
    if (n < 1 || limit < 1 || tokens < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    // Candidates of one step gather up to 2n a state, then the n best stay.
    const int32_t room = 2 * n;
    Lists current = makeLists(room, tokens);
    Lists next = makeLists(room, tokens);
    uint64_t reach[kStates] = {0, 0, 1};
    current.sizes[2] = 1;
    std::memset(current.entries[2][0].choice, 255, static_cast<size_t>(tokens));
    current.entries[2][0].cost = 0;
    const ByCost byCost{tokens};
    for (int32_t t = 0; t < tokens; ++t) {
        if (counts[t] < 1)
            continue;
        uint64_t reached[kStates] = {0, 0, 0};
        for (int32_t s = 0; s < kStates; ++s)
            next.sizes[s] = 0;
        for (int32_t s = 0; s < kStates; ++s)
            for (int32_t a = 0; a < counts[t]; ++a) {
                const int32_t to = nextState(s, categories[t][a]);
                if (to < 0)
                    continue;
                reached[to] = std::min(kCountCap, reached[to] + reach[s]);
                for (int32_t k = 0; k < current.sizes[s]; ++k) {
                    if (next.sizes[to] == room) {
                        std::nth_element(next.entries[to], next.entries[to] + n, next.entries[to] + room, byCost);
                        next.sizes[to] = n;
                    }
                    Partial& p = next.entries[to][next.sizes[to]++];
                    std::memcpy(p.choice, current.entries[s][k].choice, static_cast<size_t>(tokens));
                    p.choice[t] = static_cast<uint8_t>(a);
                    p.cost = current.entries[s][k].cost + (costs != nullptr && costs[t] != nullptr ? costs[t][a] : 0);
                }
            }
        for (int32_t s = 0; s < kStates; ++s) {
            reach[s] = reached[s];
            if (next.sizes[s] > n) {
                std::partial_sort(next.entries[s], next.entries[s] + n, next.entries[s] + next.sizes[s], byCost);
                next.sizes[s] = n;
            }
        }
        std::swap(current, next);
    }
    // Lists in the order the enumeration would leave them: sorted when full.
    Partial* lists[kStates];
    int32_t sizes[kStates];
    const int32_t order[kStates] = {0, 1, 2};
    for (int32_t s : order) {
        lists[s] = current.entries[s];
        sizes[s] = current.sizes[s];
        if (reach[s] >= static_cast<uint64_t>(n))
            std::sort(lists[s], lists[s] + sizes[s], byCost);
        else
            std::sort(lists[s], lists[s] + sizes[s], ByEnumeration{tokens});
    }
    int32_t heads[kStates] = {0, 0, 0};
    int32_t written = 0;
    while (written < limit) {
        bool any = false;
        int64_t smallest = 0;
        for (int32_t s : order)
            if (heads[s] < sizes[s] && (!any || lists[s][heads[s]].cost < smallest)) {
                smallest = lists[s][heads[s]].cost;
                any = true;
            }
        if (!any)
            break;
        for (int32_t s : order)
            if (written < limit && heads[s] < sizes[s] && lists[s][heads[s]].cost == smallest) {
                const Partial& p = lists[s][heads[s]++];
                std::memcpy(choices + static_cast<size_t>(written) * static_cast<size_t>(tokens), p.choice,
                            static_cast<size_t>(tokens));
                if (costsOut != nullptr)
                    costsOut[written] = p.cost;
                ++written;
            }
    }
    DVKTempMem_ReleaseToMark(mark);
    return written;
}
