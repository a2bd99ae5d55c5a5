// The frame step of the isolated-word search. Old records are read from the
// end of the buffer's live part downwards while new ones are written from
// the buffer's end downwards, so both stay in arc order and no second buffer
// is needed; a write that would reach an unread record means the buffer is
// full.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_matcher.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/search/histogram.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kDead = kFastEmpty;

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

// Sums are formed in 32 bits: anything at or above 16384 is dead, so a
// model whose costs pass the 16-bit range cannot wrap a dead path into the
// best one.
int16_t live(int32_t v) { return static_cast<int16_t>(v >= kDead ? kDead : v); }

struct FrameWalk {
    FastDecoder* d;
    AM* model;
    int32_t prev;
    int32_t threshold;
    int32_t write;   // next new record goes below this index
    bool averaged;   // frames are delayed: new words must match the average
    int32_t averageLimit;
};

// An arc whose model the acoustic model does not know scores as dead.
int32_t stateScore(AM* model, const uint16_t* states, int32_t s)
{
    return states != nullptr ? AM_GetStateScore(model, states[s]) : kDead;
}

int32_t lastState(const FastDecoder* d, const FastHyp& h)
{
    return d->statesPerModel == 2 ? h.score1 : h.score0;
}

// The new score of a state from its candidate, or dead outside the threshold.
int16_t advance(const FrameWalk& w, int32_t candidate, int32_t score)
{
    if (candidate >= kDead || candidate > w.threshold)
        return kDead;
    return live(candidate - w.prev + score);
}

// Feeders of one tree, walked downwards: the live inner hypotheses whose
// last state can enter their children.
struct Feeders {
    const FastDecoder* d;
    const LexArc* arcs;
    const FastHyp* old;
    int32_t lo;
    int32_t next;       // index of the next candidate feeder (descending)
    int32_t first = 0;  // child range of the current feeder
    int32_t child = -1; // current child, descending; -1 none
    int32_t entry = 0;
    int32_t depth = 0;
    bool fromRoot = false;
    int32_t threshold = 0;
    int32_t wordPenalty = 0;
    int32_t frame = 0;

    bool feeds(const FastHyp& h, int32_t* value) const
    {
        if (h.arc == 0) {
            if (frame == 0 || h.score0 >= kDead)
                return false;
            *value = h.score0 + wordPenalty + d->phonePenalty;
        } else {
            if (lex_tree::isWordEnd(arcs[h.arc]))
                return false;
            const int32_t last = lastState(d, h);
            if (last >= kDead)
                return false;
            *value = last + d->phonePenalty;
        }
        return *value <= threshold;
    }

    // Moves to the next child arc (descending); false when none is left.
    bool step()
    {
        if (child > first) {
            --child;
            return true;
        }
        while (next >= lo) {
            const FastHyp& h = old[next--];
            int32_t value = 0;
            if (!feeds(h, &value))
                continue;
            const int32_t begin = arcs[h.arc].next;
            const int32_t end = lex_tree::childEnd(arcs, h.arc);
            if (end <= begin)
                continue;
            first = begin;
            child = end - 1;
            entry = value;
            depth = h.depth;
            fromRoot = h.arc == 0;
            return true;
        }
        child = -1;
        return false;
    }
};

// One tree: old records old[lo..hi), new records written below w.write.
bool walkTree(FrameWalk& w, int32_t t, int32_t lo, int32_t hi)
{
    FastDecoder* d = w.d;
    const LexArc* arcs = LexTree_GetArcs(d->tree, t);
    const uint8_t* bytes = LexTree_GetLookaheadScores(d->tree, t);
    FastHyp* buf = d->hyps;
    Feeders feed{d, arcs, buf, lo, hi - 1, 0, -1, 0, 0, 0, 0, 0};
    feed.threshold = w.threshold;
    feed.wordPenalty = d->wordPenalty;
    feed.frame = d->frameIndex;
    bool haveChild = feed.step();
    int32_t oi = hi - 1;
    while (oi >= lo || haveChild) {
        const int32_t oldArc = oi >= lo ? buf[oi].arc : -1;
        const int32_t arc = std::max(oldArc, haveChild ? feed.child : -1);
        const bool fed = haveChild && feed.child == arc;
        const int32_t entry = feed.entry;
        const bool fromRoot = feed.fromRoot;
        FastHyp h{};
        bool keep = false;
        const int32_t byte = bytes != nullptr ? bytes[arc] : 0;
        const uint16_t* states = AM_GetModelStateIds(w.model, arcs[arc].model & kLexArcModelMask);
        if (oldArc == arc) {
            const FastHyp o = buf[oi--];
            if (arc == 0) {
                h.score0 = o.score0 < kDead ? advance(w, o.score0, stateScore(w.model, states, 0)) : kDead;
                h.score1 = kDead;
                keep = true;
            } else {
                int32_t c0 = o.score0 < kDead ? o.score0 : kDead;
                if (fed)
                    c0 = std::min(c0, entry + byte);
                h.score0 = advance(w, c0, stateScore(w.model, states, 0));
                h.score1 = kDead;
                if (d->statesPerModel == 2) {
                    int32_t c1 = o.score1 < kDead ? o.score1 : kDead;
                    if (o.score0 < kDead)
                        c1 = std::min(c1, o.score0 + byte);
                    h.score1 = advance(w, c1, stateScore(w.model, states, 1));
                }
                keep = h.score0 < kDead || h.score1 < kDead;
            }
            h.depth = o.depth;
        } else {
            // A child arc without a hypothesis.
            const int32_t c0 = entry + byte;
            // With delayed frames a word is started only when its first
            // model fits the frames ahead.
            const bool fits = !w.averaged || !fromRoot || states == nullptr ||
                              c0 - w.prev + AM_ScoreStateAgainstAverage(w.model, states[0]) <= w.averageLimit;
            if (c0 <= w.threshold && fits) {
                h.score0 = live(c0 - w.prev + stateScore(w.model, states, 0));
                h.score1 = kDead;
                keep = h.score0 < kDead;
                h.depth = static_cast<uint8_t>(std::min(feed.depth + 1, 255));
            }
        }
        if (fed)
            haveChild = feed.step();
        if (!keep)
            continue;
        h.arc = static_cast<uint16_t>(arc);
        h.best = (h.score1 < kDead && h.score1 <= h.score0) ? 1 : 0;
        if (w.write - 1 <= std::max(oi, feed.next)) {
            return false;
        }
        buf[--w.write] = h;
    }
    return true;
}

}  // namespace

void FastIso_Install(FastDecoder* d)
{
    d->isoUttInit = FastIso_UttInit;
    d->isoUttFinish = FastIso_UttFinish;
    d->isoGetChoicesAndScores = FastIso_GetChoicesAndScores;
    d->isoGetPartialResult = FastIso_GetPartialResult;
    d->isoCloneWordGraph = FastIso_CloneWordGraph;
    d->isoComputeCRC = FastIso_ComputeCRC;
    d->isoProcessFrame = FastIso_ProcessFrame;
    d->getChoice = Fast_GetChoice;
}

int32_t FastIso_ComputeThreshold(FastDecoder* d, int32_t t)
{
    const int32_t prev = d->prevBest;
    t = std::min(t, prev + d->beam16);
    if (d->crossScore < kDecoderNoScore) {
        const int64_t diff = static_cast<int64_t>(d->frameBest) - d->crossScore + d->offset;
        if (diff > word(937))
            t -= static_cast<int32_t>(std::min<int64_t>(diff - word(937), 0x7FFF));
        d->crossScore = kDecoderNoScore;
    }
    const int32_t floor = std::max(prev, 0);
    if (t < floor)
        return t;
    int32_t h = Histogram_GetPruneThreshold(d->histogram, d->hypCap, floor, t);
    if (h < floor + word(581))
        h = floor + word(581);
    const int32_t w589 = word(589);
    if (w589 < d->beam16 && d->bestWordEnd < kDead) {
        double factor = 0;
        const uint32_t parts[2] = {BrevitParam_Word(592), BrevitParam_Word(593)};
        std::memcpy(&factor, parts, sizeof factor);
        const double extra = factor * (d->bestWordEnd - prev);
        const double bound = static_cast<double>(prev) + w589 + static_cast<int64_t>(extra);
        if (bound < h)
            h = static_cast<int32_t>(bound);
    }
    const int32_t w590 = word(590);
    if (d->bestWordEnd + d->wordPenalty16 > d->secondBest || w590 < 1 || !AM_IsSilenceFrame(d->base.model))
        return h;
    return std::max(h - w590, prev);
}

void FastIso_InsertWordEnd(FastDecoder* d, uint16_t pron, int32_t score)
{
    const int16_t s = live(score);
    if (s >= kDead)
        return;
    d->bestWordEnd = std::min(d->bestWordEnd, s);
    d->frameBest = std::min(d->frameBest, s);
    FastWordEnd* e = d->wordEnds;
    for (int32_t i = 0; i < d->wordEndCount; ++i)
        if (e[i].pron == pron) {
            e[i].score = std::min(e[i].score, s);
            return;
        }
    if (d->wordEndCount < d->wordEndCap) {
        e[d->wordEndCount++] = {pron, s};
        return;
    }
    int32_t worst = -1;
    for (int32_t i = 0; i < d->wordEndCount; ++i)
        if (worst < 0 || e[i].score > e[worst].score)
            worst = i;
    if (worst < 0)
        return;
    if (s < e[worst].score || (s == e[worst].score && pron < e[worst].pron))
        e[worst] = {pron, s};
}

int32_t FastIso_ProcessFrame(FastDecoder* d, const uint8_t* frame, const int32_t* sideValue)
{
    AM* model = d->base.model;
    if (d->state == kDecoderStateNoHypothesis) {
        d->offset = kDecoderNoScore;
        ++d->frameIndex;
        return d->state;
    }
    const int16_t side = static_cast<int16_t>(sideValue != nullptr ? *sideValue : 0);
    AM_NewFrame(model, frame, &side, d->base.scoringSet, d->frameIndex, 1);
    d->prevBest = d->frameBest;
    const int32_t prev = d->prevBest;
    const int32_t proposal = std::min<int32_t>(d->bestWordEnd + d->wordEndBeam, kDead);
    d->threshold = static_cast<int16_t>(std::clamp(FastIso_ComputeThreshold(d, proposal), -0x8000, 0x7FFF));
    if (prev < kDead)
        d->offset += prev;
    d->frameBest = d->secondBest = d->bestWordEnd = kDead;

    // Word ends stay in silence until the utterance ends.
    const int32_t silence = AM_GetStateScore(model, d->silenceState);
    int32_t kept = 0;
    for (int32_t i = 0; i < d->wordEndCount; ++i) {
        const int16_t s = live(d->wordEnds[i].score + silence - prev);
        if (s >= kDead)
            continue;
        d->wordEnds[kept++] = {d->wordEnds[i].pron, s};
        d->bestWordEnd = std::min(d->bestWordEnd, s);
        d->frameBest = std::min(d->frameBest, s);
    }
    d->wordEndCount = kept;

    if (prev >= kDead) {
        AM_EndFrame(model, 0, nullptr);
        d->offset = kDecoderNoScore;
        ++d->frameIndex;
        d->state = kDecoderStateNoHypothesis;
        return d->state;
    }

    // Old records per tree, in tree order.
    const int32_t trees = LexTree_GetNumTrees(d->tree);
    // Every tree's records start at its root, which is always kept.
    int32_t begin[kLexTreeMaxTrees + 1] = {};
    for (int32_t i = 0, t = -1; i < d->hypCount; ++i)
        if (d->hyps[i].arc == 0 && t + 1 < trees)
            begin[++t] = i;
    begin[trees] = d->hypCount;
    FrameWalk w{d, model, prev, d->threshold, d->hypCapacity, word(103) > 0, word(878)};
    for (int32_t t = trees - 1; t >= 0; --t)
        if (!walkTree(w, t, begin[t], begin[t + 1])) {
            AM_EndFrame(model, 0, nullptr);
            d->state = kDecoderStateFailed;
            d->hypCount = 0;
            d->wordEndCount = 0;
            return d->state;
        }

    // Histogram, bests, word ends.
    const int32_t count = d->hypCapacity - w.write;
    if (d->histogram->binCount > 0)
        Histogram_Clear(d->histogram);
    d->bestHyp = -1;
    bool wordEndAlive = false;
    for (int32_t i = w.write; i < d->hypCapacity; ++i) {
        const FastHyp& h = d->hyps[i];
        const int16_t best = h.best ? h.score1 : h.score0;
        if (best < d->frameBest) {
            d->secondBest = d->frameBest;
            d->frameBest = best;
            d->bestHyp = i - w.write;
        } else if (best < d->secondBest) {
            d->secondBest = best;
        }
        if (d->histogram->binCount > 0 && best < kDead) {
            const int32_t bin = std::clamp<int32_t>(best, 0, d->histogram->binCount - 1);
            if (d->histogram->bins[bin] < 0xFFFF)
                ++d->histogram->bins[bin];
            ++d->histogram->total;
        }
    }
    int32_t t = -1;
    for (int32_t i = w.write; i < d->hypCapacity; ++i) {
        const FastHyp& h = d->hyps[i];
        if (h.arc == 0)
            ++t;
        const LexArc* arcs = LexTree_GetArcs(d->tree, t);
        if (!lex_tree::isWordEnd(arcs[h.arc]))
            continue;
        const int32_t last = lastState(d, h);
        if (last >= kDead || last >= static_cast<int32_t>(d->frameBest) + d->wordEndWindow)
            continue;
        wordEndAlive = true;
        int32_t score = last + d->wordEndPenalty;
        if (d->base.vocabulary != nullptr && word(315) == 0)
            score += Voc_ScoreNGram(d->base.vocabulary, d->left, d->leftCount,
                                    Voc_GetActiveId(d->base.vocabulary,
                                                    Voc_PronIdToVocId(d->base.vocabulary, arcs[h.arc].next)));
        FastIso_InsertWordEnd(d, arcs[h.arc].next, score);
    }
    if (!wordEndAlive && d->firstNoWordEnd < 0)
        d->firstNoWordEnd = d->frameIndex;

    std::memmove(d->hyps, d->hyps + w.write, static_cast<size_t>(count) * sizeof(FastHyp));
    d->hypCount = count;
    d->nothingToExtend = 1;
    for (int32_t i = 0; i < count; ++i)
        if (d->hyps[i].arc != 0 || (i == 0 && d->hyps[0].score0 < kDead)) {
            d->nothingToExtend = 0;
            break;
        }
    if (d->base.rejectionOn)
        Decoder_AccumulateRejectionScore(&d->base);
    AM_EndFrame(model, 0, nullptr);
    ++d->frameIndex;
    d->state = (d->mode == 1 && d->endOption != 0 && d->nothingToExtend) ? kDecoderStateFinished
                                                                          : kDecoderStateRunning;
    if (word(192) != 0)
        FastIso_ComputeCRC(d);
    return d->state;
}
