// The result-graph build: a forward pass over a linked word graph that
// scores every path with the language model, recombines paths that share
// their last words, and records the survivors as result-graph nodes.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/word_graph_parts.h"

#include <algorithm>
#include <cstring>

using namespace word_graph;

namespace {

// The record array: starts small, doubles up to the budget, and tries
// smaller steps when a doubling is refused.
struct Records {
    WordGraphPathRecord* data = nullptr;
    int32_t count = 0;
    int32_t capacity = 0;
    int32_t maximum = 0;

    bool grow()
    {
        int32_t step = std::min(std::max(capacity, 1), maximum - capacity);
        for (; step > 0; step /= 2) {
            const auto size = static_cast<uint64_t>(capacity + step) * sizeof(WordGraphPathRecord);
            if (size > kDVKMemMaxRequest)
                continue;
            auto* larger = static_cast<WordGraphPathRecord*>(DVKMem_Malloc(static_cast<uint32_t>(size)));
            if (larger == nullptr)
                continue;
            if (count > 0)
                std::memcpy(larger, data, static_cast<size_t>(count) * sizeof(WordGraphPathRecord));
            DVKMem_Free(data);
            data = larger;
            capacity += step;
            return true;
        }
        return false;
    }
    bool push(const WordGraphPathRecord& r)
    {
        if (count == capacity && !grow())
            return false;
        data[count++] = r;
        return true;
    }
};

bool sameHistory(const WordGraphPathRecord& a, const WordGraphPathRecord& b)
{
    if (a.word != b.word || a.exitPhoneme != b.exitPhoneme || a.historyLength != b.historyLength)
        return false;
    return std::equal(a.history, a.history + a.historyLength, b.history);
}

// Marks the arcs no path to the last frame runs through: need[f] counts the
// live arcs starting at frame f.
void findLiveFrames(const WordGraph* g, int32_t* need)
{
    const int32_t frames = g->frameCount;
    std::fill(need, need + frames + 1, 0);
    for (int32_t i = 0; i < g->arcCount; ++i)
        ++need[WordGraph_Arc(g, i)->startFrame];
    need[frames] = 1;
    for (int32_t f = frames - 1; f >= 1; --f) {
        if (need[f] != 0)
            continue;
        const WordGraphFrame& dead = g->frames[f - 1];
        for (int32_t i = dead.firstArc; i < dead.firstArc + dead.arcCount; ++i)
            --need[WordGraph_Arc(g, i)->startFrame];
    }
}

struct Build {
    WordGraph* g;
    Records records;
    int32_t* firstRecord;   // per frame, and one past the last
    int32_t order;
    int32_t initialLength;
    const uint16_t* initial;
    int32_t beam;
    int64_t best;
    int64_t limit;

    void offer(const WordGraphPathRecord& r)
    {
        if (r.score < best) {
            best = r.score;
            limit = best + beam;
        }
    }

    // Drops the frame's records above the beam and merges equal histories.
    void prune(int32_t frame)
    {
        const int32_t first = firstRecord[frame];
        int32_t kept = first;
        for (int32_t i = first; i < records.count; ++i)
            if (records.data[i].score <= best + beam)
                records.data[kept++] = records.data[i];
        records.count = first + WordGraph_MergePathRecords(records.data + first, kept - first);
    }

    bool start(int32_t frame, int32_t arc)
    {
        const int32_t score = scoreOf(g, frame, arc);
        if (score > limit)
            return true;
        WordGraphPathRecord r{};
        r.endFrame = static_cast<uint16_t>(frame);
        r.word = kWordGraphNullWord;
        r.node = -1;
        r.score = score;
        const int32_t n = std::min(order, initialLength);
        r.historyLength = static_cast<uint16_t>(n);
        std::copy(initial + initialLength - n, initial + initialLength, r.history);
        if (!records.push(r))
            return false;
        offer(r);
        return true;
    }

    bool extend(int32_t frame, int32_t arc)
    {
        const WordGraphArc a = *WordGraph_Arc(g, arc);
        const WordGraphContext c = *WordGraph_Context(g, arc);
        const int32_t before = a.startFrame - 1;
        if (before < 0)
            return true;
        const uint16_t word = activeIdOf(g, a.word);
        for (int32_t k = firstRecord[before]; k < firstRecord[before + 1]; ++k) {
            const WordGraphPathRecord p = records.data[k];
            int64_t score = int64_t{p.score} + c.acousticScore;
            if (score > limit || !phonemesFit(g, p.exitPhoneme, c.entryPhoneme))
                continue;
            score += ngram(g, p.history, p.historyLength, word);
            if (score > limit)
                continue;
            WordGraphPathRecord r = p;
            r.endFrame = static_cast<uint16_t>(frame);
            r.word = a.word;
            r.exitPhoneme = c.exitPhoneme;
            r.score = static_cast<int32_t>(score);
            if (order > 0) {
                if (r.historyLength == order)
                    std::copy(r.history + 1, r.history + order, r.history);
                else
                    ++r.historyLength;
                r.history[r.historyLength - 1] = word;
            }
            if (!records.push(r))
                return false;
            offer(r);
        }
        return true;
    }

    bool frame(int32_t f, bool live)
    {
        best = kWordGraphNoScore;
        limit = kWordGraphNoScore;
        firstRecord[f] = records.count;
        const WordGraphFrame& frame = g->frames[f];
        for (int32_t i = frame.firstArc; live && i < frame.firstArc + frame.arcCount; ++i) {
            const bool ok = WordGraph_Arc(g, i)->word == kWordGraphNullWord ? start(f, i) : extend(f, i);
            if (!ok)
                return false;
            if (records.count > records.maximum / 2)
                prune(f);
        }
        prune(f);
        firstRecord[f + 1] = records.count;
        return true;
    }

    void addNodes(int32_t f)
    {
        ResultGraph* rg = g->resultGraph;
        for (int32_t k = firstRecord[f]; k < firstRecord[f + 1]; ++k) {
            WordGraphPathRecord& r = records.data[k];
            if (r.word == kWordGraphNullWord)
                continue;
            const uint32_t parent = r.node < 0 ? kResultGraphNone : static_cast<uint32_t>(r.node);
            const uint32_t node = ResultGraph_AddNode(rg, parent, r.word, 0xFFFFFFFFu, 0x7FFFFFFFu,
                                                      r.exitPhoneme == 0 ? 1 : 0, 0, static_cast<int16_t>(f));
            r.node = static_cast<int32_t>(node);
            if (r.exitPhoneme == 0 && node != kResultGraphNone)
                ResultGraph_UpdateBest(rg, node, r.score);
        }
    }
};

}  // namespace

int32_t WordGraph_CompareNodeRecsCW(const void* a, const void* b)
{
    const auto& x = *static_cast<const WordGraphPathRecord*>(a);
    const auto& y = *static_cast<const WordGraphPathRecord*>(b);
    auto order = [](int64_t u, int64_t v) { return u < v ? -1 : u > v ? 1 : 0; };
    if (int c = order(x.word, y.word))
        return c;
    if (int c = order(x.exitPhoneme, y.exitPhoneme))
        return c;
    if (int c = order(x.historyLength, y.historyLength))
        return c;
    for (int32_t k = x.historyLength - 2; k >= 0; --k)
        if (int c = order(x.history[k], y.history[k]))
            return c;
    if (x.historyLength > 0)
        if (int c = order(x.history[x.historyLength - 1], y.history[x.historyLength - 1]))
            return c;
    return order(x.score, y.score);
}

int32_t WordGraph_MergePathRecords(WordGraphPathRecord* records, int32_t count)
{
    std::sort(records, records + count, [](const WordGraphPathRecord& a, const WordGraphPathRecord& b) {
        return WordGraph_CompareNodeRecsCW(&a, &b) < 0;
    });
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i)
        if (kept == 0 || !sameHistory(records[kept - 1], records[i]))
            records[kept++] = records[i];
    return kept;
}

int32_t WordGraph_BuildResultGraph(WordGraph* graph, int32_t order, int32_t historyLength, const uint16_t* history)
{
    WordGraph* g = graph;
    if (g->contextRecords == 0)
        return 0;
    const int64_t budget = BrevitParam_Word(kBrevitParamPathRecordBudget) / sizeof(WordGraphPathRecord);
    Build b{};
    b.g = g;
    b.records.maximum = static_cast<int32_t>(std::min<int64_t>(budget, kDVKMemMaxRequest / sizeof(WordGraphPathRecord)));
    // The caller's order may exceed the history's room.
    b.order = std::clamp(order, 0, kWordGraphMaxHistory);
    b.initial = history;
    b.initialLength = history != nullptr ? std::max(historyLength, 0) : 0;
    b.beam = static_cast<int32_t>(BrevitParam_Word(kBrevitParamGraphBeam));
    const int32_t frames = g->frameCount;   // linking keeps the frames
    auto* scratch = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(2 * (frames + 1)) * 4u));
    const int32_t initial = std::min(b.records.maximum, 1000);
    if (initial > 0)
        b.records.data = static_cast<WordGraphPathRecord*>(
            DVKMem_Malloc(static_cast<uint32_t>(initial) * sizeof(WordGraphPathRecord)));
    b.records.capacity = b.records.data != nullptr ? initial : 0;
    if (g->resultGraph == nullptr && scratch != nullptr && b.records.capacity == initial) {
        g->resultGraph = ResultGraph_Create(static_cast<int32_t>(BrevitParam_Word(kBrevitParamResultGraphSize)));
        if (g->resultGraph != nullptr)
            ResultGraph_SetVocabulary(g->resultGraph, g->vocabulary);
    }
    // Linked last: a failure before it leaves the graph as it was.
    bool ok = scratch != nullptr && b.records.capacity == initial && g->resultGraph != nullptr &&
              WordGraph_LinkWordPieces(g) != 0;
    if (ok) {
        int32_t* need = scratch;
        b.firstRecord = scratch + frames + 1;
        findLiveFrames(g, need);
        ResultGraph_ResetWithModes(g->resultGraph, 1, 1);
        for (int32_t f = 0; ok && f < frames; ++f) {
            ResultGraph_ClearBest(g->resultGraph);
            ok = b.frame(f, f == frames - 1 || need[f + 1] != 0);
            if (ok)
                b.addNodes(f);
        }
    }
    DVKMem_Free(b.records.data);
    DVKMem_Free(scratch);
    return ok ? 1 : 0;
}

int32_t WordGraph_Build(WordGraph* graph, int32_t order, int32_t historyLength, const uint16_t* history)
{
    return WordGraph_BuildResultGraph(graph, order, historyLength, history);
}
