// The hypothesis update of one frame: the old list, read from the top of the
// page space, merges with the new-word list into a new list written from the
// bottom; every record moves one frame along its chain of phone states.
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/search_lexicon_calls.h"

namespace {

// Key order: pron, activeId high word without bit 31, low word.
int compareKey(uint16_t pronA, uint32_t highA, uint32_t lowA, uint16_t pronB, uint32_t highB, uint32_t lowB)
{
    if (pronA != pronB)
        return pronA < pronB ? -1 : 1;
    highA &= ~kLinChFinalBit;
    highB &= ~kLinChFinalBit;
    if (highA != highB)
        return highA < highB ? -1 : 1;
    return lowA < lowB ? -1 : lowA > lowB ? 1 : 0;
}

bool sameWord(const LinChHyp& a, const LinChHyp& b)
{
    return compareKey(a.pron, a.activeIdHigh, a.activeIdLow, b.pron, b.activeIdHigh, b.activeIdLow) == 0;
}

// Room for one more record; state 3 when the write would reach the reads.
bool room(LinChDecoder* d, int32_t writePos, int32_t readPos)
{
    if (writePos < readPos - 2)
        return true;
    d->state = kDecoderStateFailed;
    return false;
}

void countWordEnd(LinChDecoder* d, const LinChHyp* r, int32_t n)
{
    if (r->phone + 1 < n)
        return;
    LinChDecoder_CountWordEndCost(d, r->phone >= n ? r->cost[0] : r->cost[LinChDecoder_LastState(d, r)]);
}

void update(LinChDecoder* d, const LinChHyp* incoming, LinChHyp* r) { LinChDecoder_UpdateRecord(d, incoming, r); }

LinChHyp incomingOf(int16_t cost, int32_t ref)
{
    LinChHyp in{};
    in.cost[0] = cost;
    in.ref[0] = ref;
    return in;
}

// The silence model scores the silence state; a model without states
// scores as dead.
int32_t scoreOf(LinChDecoder* d, uint16_t model, int32_t state)
{
    if (model == d->silenceHyp.model)
        return AM_GetStateScore(d->base.model, d->silenceState);
    const uint16_t* row = AM_GetModelStateIds(d->base.model, model);
    return row != nullptr ? AM_GetStateScore(d->base.model, row[state]) : int32_t{kLinChDeadCost};
}

void trackBest(LinChDecoder* d, const LinChHyp* r)
{
    if (r->best < d->bestCost) {
        d->bestCost = r->best;
        d->bestPron = r->pron;
        d->bestModel = r->model;
    }
}

// One state: takes the incoming cost when strictly lower, dies above the
// threshold, else adds its score.
void stepState(LinChDecoder* d, LinChHyp* r, int32_t s, int16_t inCost, int32_t inRef)
{
    int16_t c = r->cost[s];
    if (inCost < c) {
        c = inCost;
        r->ref[s] = inRef;
    }
    if (d->pruneThreshold < c) {
        r->cost[s] = kLinChDeadCost;
        return;
    }
    r->cost[s] = LinChDecoder_CostOf(int32_t{c} + scoreOf(d, r->model, s) - d->normaliser);
}

// The new-word cursor over the sorted list: the next record not 16384.
struct PlainCursor {
    int32_t index;
};

LinChNewWord* nextPlain(LinChDecoder* d, void* c, uint16_t* key)
{
    auto* cursor = static_cast<PlainCursor*>(c);
    for (;;) {
        LinChNewWord* w = LinChDecoder_NewWordAt(d, cursor->index);
        *key = w->pron;
        if (w->pron == kLinChNoPron)
            return w;
        ++cursor->index;
        if (w->cost != kLinChDeadCost)
            return w;
    }
}

// The expanded table's cursor: used slots in key order, each chain in order.
struct ExpandedCursor {
    int32_t slot;  // slot of the chain in hand
    int32_t at;    // next record of the chain, 65535 at its end
    int32_t marker;
    int32_t lastSlot;
    LinChNewWord end;
};

LinChNewWord* nextExpanded(LinChDecoder* d, void* c, uint16_t* key)
{
    auto* cursor = static_cast<ExpandedCursor*>(c);
    for (;;) {
        if (cursor->at != kLinChNoPron) {
            LinChNewWord* w = LinChDecoder_NewWordAt(d, cursor->at);
            // Tree slots hold one record; vocabulary chains run on.
            cursor->at = cursor->slot <= d->numVocEntries ? w->pron : kLinChNoPron;
            *key = static_cast<uint16_t>(cursor->slot);
            return w;
        }
        if (++cursor->slot > cursor->lastSlot) {
            *key = kLinChNoPron;
            return &cursor->end;
        }
        LinChNewWord* head = LinChDecoder_NewWordAt(d, cursor->slot);
        if (cursor->slot == cursor->marker && head->cost == 16383 && head->pron == kLinChNoPron &&
            head->ref == -2) {
            head->cost = kLinChDeadCost;
            continue;
        }
        if (head->cost != kLinChDeadCost)
            cursor->at = cursor->slot;
    }
}

// The vocabulary merge shared by both list forms. The new word in hand
// carries its key in wp (its slot in expanded mode, its pron else).
void mergeLists(LinChDecoder* d, int32_t* readPos, int32_t* writePos, LinChNextNewWordFunc next, void* cursor)
{
    uint16_t wp = kLinChNoPron;
    LinChNewWord* w = next(d, cursor, &wp);
    for (;;) {
        if (d->state == kDecoderStateFailed)
            return;
        const LinChHyp* old = LinChDecoder_HypAt(d, *readPos);
        if (wp > d->numVocEntries && old->pron > d->numVocEntries)
            break;
        const int c = wp > d->numVocEntries
                          ? 1
                          : compareKey(wp, w->activeIdHigh, w->activeIdLow, old->pron, old->activeIdHigh,
                                       old->activeIdLow);
        if (old->pron <= d->numVocEntries && c >= 0) {
            if (d->processHypSequence(d, readPos, writePos, wp, w) != 0)
                w = next(d, cursor, &wp);
        } else {
            LinChDecoderNoTimes_StartWord(d, wp, w, 0, *readPos, writePos);
            w = next(d, cursor, &wp);
        }
    }
    if (d->state == kDecoderStateFailed)
        return;
    LinChDecoderNoTimes_MergeRemaining(d, readPos, writePos, w, wp, next, cursor);
}

void finishList(LinChDecoder* d, int32_t writePos)
{
    if (d->state == kDecoderStateFailed)
        return;
    LinChHyp* end = LinChDecoder_HypAt(d, writePos);
    *end = LinChHyp{};
    end->pron = kLinChNoPron;
    end->cost[0] = end->cost[1] = end->best = kLinChDeadCost;
    end->activeIdLow = kLinChEndLow;
    end->activeIdHigh = kLinChEndHigh;
    d->hypCount = writePos + 1;
}

void updateSilence(LinChDecoder* d) { LinChDecoderNoTimes_UpdateHyp1(d, nullptr, &d->silenceHyp); }

} // namespace

void LinChDecoder_CountWordEndCost(LinChDecoder* d, int16_t cost)
{
    if (cost >= kLinChDeadCost)
        return;
    Histogram* h = d->wordEndHistogram;
    if (h != nullptr && cost < h->binCount) {
        ++h->bins[cost < 0 ? 0 : cost];
        ++h->total;
    }
    if (cost < d->bestWordEndCost)
        d->bestWordEndCost = cost;
}

void LinChDecoder_UpdateRecord(LinChDecoder* d, const LinChHyp* incoming, LinChHyp* r)
{
    if (r->model == d->silenceHyp.model)
        LinChDecoderNoTimes_UpdateHyp1(d, incoming, r);
    else
        d->updateHyp(d, incoming, r);
}

int32_t LinChDecoder_PronModels(LinChDecoder* d, uint16_t pron, const uint16_t** models)
{
    *models = nullptr;
    int32_t length = 0;
    const int32_t n = PronCache_GetPronInfo(d->pronCache, pron, nullptr, models, &length);
    return n > 0 ? n : length;
}

void LinChDecoderNoTimes_UpdateHyp2(LinChDecoder* d, const LinChHyp* incoming, LinChHyp* r)
{
    // State 1 from the old costs of both states.
    int16_t c1 = r->cost[1];
    if (r->cost[0] < c1) {
        c1 = r->cost[0];
        r->ref[1] = r->ref[0];
    }
    if (d->pruneThreshold < c1)
        r->cost[1] = kLinChDeadCost;
    else
        r->cost[1] = LinChDecoder_CostOf(int32_t{c1} + scoreOf(d, r->model, 1) - d->normaliser);
    r->best = r->cost[1];
    stepState(d, r, 0, incoming != nullptr ? incoming->cost[0] : kLinChDeadCost,
              incoming != nullptr ? incoming->ref[0] : -1);
    if (r->cost[0] < r->best)
        r->best = r->cost[0];
    trackBest(d, r);
}

void LinChDecoderNoTimes_UpdateHyp1(LinChDecoder* d, const LinChHyp* incoming, LinChHyp* r)
{
    stepState(d, r, 0, incoming != nullptr ? incoming->cost[0] : kLinChDeadCost,
              incoming != nullptr ? incoming->ref[0] : -1);
    r->best = r->cost[0];
    trackBest(d, r);
}

void LinChDecoderNoTimes_StartWord(LinChDecoder* d, uint16_t pron, const LinChNewWord* w, int32_t, int32_t readPos,
                                   int32_t* writePos)
{
    if (int32_t{w->cost} - d->normaliser > d->newWordBeam)
        return;
    if (!room(d, *writePos, readPos))
        return;
    const uint16_t* models = nullptr;
    LinChDecoder_PronModels(d, pron, &models);
    LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
    *r = LinChHyp{};
    r->pron = pron;
    r->phone = 0;
    r->model = models != nullptr ? models[0] : 0;
    r->cost[0] = r->cost[1] = kLinChDeadCost;
    r->ref[0] = r->ref[1] = -1;
    r->activeIdLow = w->activeIdLow;
    r->activeIdHigh = w->activeIdHigh;
    r->best = kLinChDeadCost;
    const LinChHyp in = incomingOf(w->cost, w->ref);
    update(d, &in, r);
    int32_t n = LinChDecoder_PronModels(d, pron, &models);
    countWordEnd(d, r, n);
}

int32_t LinChDecoderNoTimes_ProcessHypSequence(LinChDecoder* d, int32_t* readPos, int32_t* writePos,
                                               uint16_t newWordPron, LinChNewWord* w)
{
    const LinChHyp first = *LinChDecoder_HypAt(d, *readPos);
    const uint16_t* models = nullptr;
    const int32_t n = LinChDecoder_PronModels(d, first.pron, &models);
    const bool matches = w != nullptr && newWordPron == first.pron &&
                         compareKey(newWordPron, w->activeIdHigh, w->activeIdLow, first.pron, first.activeIdHigh,
                                    first.activeIdLow) == 0;
    // The old form of the record before the one in hand.
    LinChHyp previous{};
    if (matches && first.phone != 0) {
        if (!room(d, *writePos, *readPos))
            return 0;
        LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
        *r = LinChHyp{};
        r->pron = first.pron;
        r->model = models != nullptr ? models[0] : 0;
        r->cost[0] = r->cost[1] = r->best = kLinChDeadCost;
        r->ref[0] = r->ref[1] = -1;
        r->activeIdLow = w->activeIdLow;
        r->activeIdHigh = w->activeIdHigh;
        previous = *r;  // new: nothing flows out of it this frame
        const LinChHyp in = incomingOf(w->cost, w->ref);
        update(d, &in, r);
        countWordEnd(d, r, n);
    } else {
        if (!room(d, *writePos, *readPos))
            return 0;
        LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
        *r = first;
        ++*readPos;
        const LinChHyp in = matches ? incomingOf(w->cost, w->ref) : incomingOf(kLinChDeadCost, -1);
        update(d, &in, r);
        countWordEnd(d, r, n);
        previous = first;
    }
    for (;;) {
        if (d->state == kDecoderStateFailed)
            return matches ? 1 : 0;
        const LinChHyp old = *LinChDecoder_HypAt(d, *readPos);
        const bool same = old.pron != kLinChNoPron && sameWord(old, first);
        const int32_t last = LinChDecoder_LastState(d, &previous);
        if (same && old.phone == previous.phone + 1) {
            if (!room(d, *writePos, *readPos))
                break;
            LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
            *r = old;
            ++*readPos;
            const LinChHyp in = incomingOf(previous.cost[last], previous.ref[last]);
            update(d, &in, r);
            countWordEnd(d, r, n);
            previous = old;
            continue;
        }
        if (previous.phone < n && previous.cost[last] < kLinChDeadCost) {
            if (!room(d, *writePos, *readPos))
                break;
            LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
            *r = LinChHyp{};
            r->pron = previous.pron;
            r->phone = static_cast<uint8_t>(previous.phone + 1);
            r->cost[0] = r->cost[1] = r->best = kLinChDeadCost;
            r->ref[0] = r->ref[1] = -1;
            r->activeIdLow = previous.activeIdLow;
            r->activeIdHigh = previous.activeIdHigh;
            const LinChHyp in = incomingOf(previous.cost[last], previous.ref[last]);
            if (r->phone >= n) {
                r->model = d->silenceHyp.model;
                LinChDecoderNoTimes_UpdateHyp1(d, &in, r);
            } else {
                r->model = models != nullptr ? models[r->phone] : 0;
                update(d, &in, r);
            }
            countWordEnd(d, r, n);
        }
        if (!same)
            break;
        if (!room(d, *writePos, *readPos))
            break;
        LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
        *r = old;
        ++*readPos;
        update(d, nullptr, r);
        countWordEnd(d, r, n);
        previous = old;
    }
    return matches ? 1 : 0;
}

void LinChDecoderNoTimes_UpdateHypotheses(LinChDecoder* d)
{
    LinChDecoder_EndNewWordList(d);
    updateSilence(d);
    int32_t readPos = LinChDecoder_ListStart(d);
    int32_t writePos = 0;
    PlainCursor cursor{0};
    mergeLists(d, &readPos, &writePos, nextPlain, &cursor);
    finishList(d, writePos);
}

void LinChDecoderNoTimes_UpdateHypothesesExpanded(LinChDecoder* d)
{
    updateSilence(d);
    const int32_t marker = d->numVocEntries + 1;
    LinChNewWord* mark = LinChDecoder_NewWordAt(d, marker);
    // The marker separates vocabulary slots from tree slots.
    if (mark->cost == kLinChDeadCost) {
        mark->cost = 16383;
        mark->pron = kLinChNoPron;
        mark->ref = -2;
    }
    int32_t readPos = LinChDecoder_ListStart(d);
    int32_t writePos = 0;
    ExpandedCursor cursor{};
    cursor.slot = -1;
    cursor.at = kLinChNoPron;
    cursor.marker = marker;
    cursor.lastSlot = d->numVocEntries + d->numTrees + 1;
    cursor.end.pron = kLinChNoPron;
    cursor.end.cost = 0;
    cursor.end.activeIdLow = kLinChEndLow;
    cursor.end.activeIdHigh = kLinChEndHigh;
    mergeLists(d, &readPos, &writePos, nextExpanded, &cursor);
    // Every slot taken up; the word-end step fills them anew.
    for (int32_t slot = 0; slot <= cursor.lastSlot && slot < d->newWordSlots; ++slot) {
        LinChNewWord* w = LinChDecoder_NewWordAt(d, slot);
        w->cost = kLinChDeadCost;
        w->pron = kLinChNoPron;
    }
    finishList(d, writePos);
}
