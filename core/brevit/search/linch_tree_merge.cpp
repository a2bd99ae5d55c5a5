// What remains of both lists after the vocabulary merge: records and new
// words of run-time lexical trees. A tree record sits on one arc of its
// tree; instead of a phone list it follows the arcs: each live record on an
// inner arc feeds its last state into the records of its child arcs, and a
// new word of the tree feeds the root's children. One tree instance is a
// group of records with one pron and one activeId high word (bit 31 aside);
// within it records and feeds are merged in arc order.
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/linch_search.h"

#include <algorithm>

struct LinChTreeFeed {
    uint32_t first;  // next child arc to feed
    uint32_t end;    // one past the last child arc
    int16_t cost;
    int32_t ref;
    uint32_t finalBit;
};

namespace {

constexpr uint32_t kArcMask = 0x3FFFFFFu;
constexpr uint32_t kNoArc = 0xFFFFFFFFu;

struct Tree {
    const LexArc* arcs = nullptr;
    uint32_t count = 0;
};

int32_t treeIndex(const LinChDecoder* d, uint16_t pron)
{
    const int32_t t = int32_t{pron} - d->numVocEntries - 1;
    return t >= 0 && t < d->numTrees && d->trees != nullptr && d->trees[t] != nullptr ? t : -1;
}

bool treeOf(const LinChDecoder* d, uint16_t pron, Tree* out)
{
    const int32_t t = treeIndex(d, pron);
    if (t < 0)
        return false;
    out->arcs = LexTree_GetArcs(d->trees[t], 0);
    out->count = static_cast<uint32_t>(std::max(LexTree_GetNumTotalArcs(d->trees[t], 0), 0));
    return out->arcs != nullptr && out->count > 1;
}

// The high word (bit 31 aside) of a tree's records: the constraint index the
// tree table gives the tree.
uint32_t treeHigh(const LinChDecoder* d, uint16_t pron)
{
    const int32_t t = treeIndex(d, pron);
    return t < 0 ? 0u : (static_cast<uint32_t>(d->treeWords[t]) & 0x3FFu) << 21;
}

bool isFinal(const Tree& t, uint32_t arc) { return arc < t.count && (t.arcs[arc].model & kLexArcWordEnd) != 0; }

// The child arcs of an inner arc: from its first child up to the first
// child of the next inner arc. Children always lie after their parent, so a
// damaged tree cannot make the merge go back.
bool childrenOf(const Tree& t, uint32_t arc, uint32_t* first, uint32_t* end)
{
    if (arc >= t.count || isFinal(t, arc))
        return false;
    uint32_t next = arc + 1;
    while (next < t.count && isFinal(t, next))
        ++next;
    *first = std::max<uint32_t>(std::min<uint32_t>(t.arcs[arc].next, t.count), arc + 1);
    *end = next < t.count ? std::min<uint32_t>(t.arcs[next].next, t.count) : t.count;
    return *first < *end;
}

bool reserveFeeds(LinChDecoder* d, uint32_t count)
{
    if (count <= static_cast<uint32_t>(d->treeFeedCapacity))
        return true;
    auto* grown = static_cast<LinChTreeFeed*>(DVKMem_Malloc(count * static_cast<uint32_t>(sizeof(LinChTreeFeed))));
    if (grown == nullptr)
        return false;
    DVKMem_Free(d->treeFeeds);
    d->treeFeeds = grown;
    d->treeFeedCapacity = static_cast<int32_t>(count);
    return true;
}

bool room(LinChDecoder* d, int32_t writePos, int32_t readPos)
{
    if (writePos < readPos - 2)
        return true;
    d->state = kDecoderStateFailed;
    return false;
}

// One tree instance: its old records (at readPos onward) and the root feed
// of its new words (cost 16384 when none) become its new records.
void mergeGroup(LinChDecoder* d, uint16_t pron, uint32_t high, const LinChTreeFeed& root, int32_t* readPos,
                int32_t* writePos)
{
    Tree t;
    const bool known = treeOf(d, pron, &t);
    if (known && !reserveFeeds(d, t.count + 1)) {
        d->state = kDecoderStateFailed;
        return;
    }
    LinChTreeFeed* feeds = d->treeFeeds;
    uint32_t head = 0, tail = 0;
    auto push = [&](uint32_t arc, int16_t cost, int32_t ref, uint32_t finalBit) {
        LinChTreeFeed f{0, 0, cost, ref, finalBit};
        if (cost <= d->pruneThreshold && tail < t.count + 1 && childrenOf(t, arc, &f.first, &f.end))
            feeds[tail++] = f;
    };
    if (known && root.cost < kLinChDeadCost)
        push(0, root.cost, root.ref, root.finalBit);
    for (;;) {
        if (d->state == kDecoderStateFailed)
            return;
        const LinChHyp* old = LinChDecoder_HypAt(d, *readPos);
        const bool inGroup = old->pron == pron && (old->activeIdHigh & ~kLinChFinalBit) == high;
        const uint32_t oldArc = inGroup ? old->activeIdLow & kArcMask : kNoArc;
        const uint32_t feedArc = head < tail ? feeds[head].first : kNoArc;
        if (!inGroup && head == tail)
            return;
        const uint32_t arc = std::min(oldArc, feedArc);
        LinChHyp in{};
        in.cost[0] = kLinChDeadCost;
        in.ref[0] = -1;
        uint32_t finalBit = 0;
        if (feedArc == arc) {
            in.cost[0] = feeds[head].cost;
            in.ref[0] = feeds[head].ref;
            finalBit = feeds[head].finalBit;
            if (++feeds[head].first >= feeds[head].end)
                ++head;
        }
        if (!room(d, *writePos, *readPos))
            return;
        LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
        const bool fromOld = oldArc == arc;
        const LinChHyp previous = fromOld ? *old : LinChHyp{};
        if (fromOld) {
            *r = previous;
            ++*readPos;
        } else {
            *r = LinChHyp{};
            r->pron = pron;
            r->model = static_cast<uint16_t>(t.arcs[arc].model & kLexArcModelMask);
            r->cost[0] = r->cost[1] = r->best = kLinChDeadCost;
            r->ref[0] = r->ref[1] = -1;
            r->activeIdLow = arc;
            r->activeIdHigh = high | finalBit;
        }
        LinChDecoder_UpdateRecord(d, &in, r);
        if (known && isFinal(t, arc))
            LinChDecoder_CountWordEndCost(d, r->cost[LinChDecoder_LastState(d, r)]);
        if (fromOld && known) {
            const int32_t last = LinChDecoder_LastState(d, &previous);
            if (previous.cost[last] < kLinChDeadCost)
                push(arc, previous.cost[last], previous.ref[last], previous.activeIdHigh & kLinChFinalBit);
        }
    }
}

} // namespace

void LinChDecoderNoTimes_MergeRemaining(LinChDecoder* d, int32_t* readPos, int32_t* writePos, LinChNewWord* w,
                                        uint16_t key, LinChNextNewWordFunc next, void* cursor)
{
    for (;;) {
        if (d->state == kDecoderStateFailed)
            return;
        const LinChHyp* old = LinChDecoder_HypAt(d, *readPos);
        if (old->pron == kLinChNoPron && key == kLinChNoPron)
            return;
        // The lower of the two keys names the next tree instance.
        const uint32_t newHigh = key != kLinChNoPron ? treeHigh(d, key) : 0u;
        const uint32_t oldHigh = old->activeIdHigh & ~kLinChFinalBit;
        const bool oldFirst = old->pron != kLinChNoPron &&
                              (key == kLinChNoPron || old->pron < key || (old->pron == key && oldHigh <= newHigh));
        const uint16_t pron = oldFirst ? old->pron : key;
        const uint32_t high = oldFirst ? oldHigh : newHigh;
        // Every new word of the instance feeds the root; the lowest wins.
        LinChTreeFeed root{0, 0, kLinChDeadCost, -1, 0};
        while (key != kLinChNoPron && key == pron && treeHigh(d, key) == high) {
            if (int32_t{w->cost} - d->normaliser <= d->newWordBeam && w->cost < root.cost) {
                root.cost = w->cost;
                root.ref = w->ref;
                root.finalBit = w->activeIdHigh & kLinChFinalBit;
            }
            w = next(d, cursor, &key);
        }
        mergeGroup(d, pron, high, root, readPos, writePos);
    }
}
