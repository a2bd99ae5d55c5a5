#include "core/brevit/search/word_graph.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/word_graph_parts.h"
#include "core/brevit/search/word_graph_sort.h"

#include <algorithm>
#include <cstring>

using namespace word_graph;

namespace {

constexpr int32_t kChunkMask = (1 << kWordGraphChunkShift) - 1;

template <typename T>
T* element(void** table, int32_t index)
{
    return static_cast<T*>(table[index >> kWordGraphChunkShift]) + (index & kChunkMask);
}

// Room for count elements in every array of the mode.
bool grow(WordGraph* g, uint32_t count)
{
    if (g->wordOnly != 0)
        return DVKMem_GrowChunkedArray(&g->words, &g->wordChunkCapacity, &g->wordChunksInUse,
                                       kWordGraphChunkShift, sizeof(uint16_t), count) != 0;
    if (DVKMem_GrowChunkedArray(&g->arcs, &g->arcChunkCapacity, &g->arcChunksInUse, kWordGraphChunkShift,
                                sizeof(WordGraphArc), count) == 0)
        return false;
    return g->contextRecords == 0 ||
           DVKMem_GrowChunkedArray(&g->contexts, &g->contextChunkCapacity, &g->contextChunksInUse,
                                   kWordGraphChunkShift, sizeof(WordGraphContext), count) != 0;
}

// The index of the stored arc, -1 when none was stored.
int32_t addArc(WordGraph* g, int32_t start, int32_t end, uint16_t word, int32_t score, int32_t* full)
{
    int64_t s = start;
    int64_t e = end;
    if (g->reversedTime != 0) {
        if (g->arcCount == 0 && g->currentFrame < 0)
            g->timeOrigin = start;
        s = int64_t{g->timeOrigin} - start;
        e = int64_t{g->timeOrigin} - end;
    }
    // An end before frame 0 would index before the frame records.
    if (e < 0 || e + 1 >= g->frameCapacity) {
        *full = 1;
        return -1;
    }
    // Arcs that start after they end, or end before the frame being filled,
    // would make the backward walks go forward.
    if (s < 0 || s > e || e < g->currentFrame)
        return -1;
    if (s > 0 && (s - 1 > g->currentFrame || g->frames[s - 1].arcCount == 0))
        return -1;
    if (e != g->currentFrame) {
        if (g->currentFrame >= 0)
            WordGraph_FinishFrame(g);
        for (int64_t f = g->currentFrame + 1; f < e; ++f)
            g->frames[f] = {g->arcCount, 0, 0, 0};
        g->frames[e] = {g->arcCount, 0, 0, score};
        g->currentFrame = static_cast<int16_t>(e);
        g->frameCount = static_cast<int32_t>(e) + 1;
    }
    if (!grow(g, static_cast<uint32_t>(g->arcCount) + 1)) {
        *full = 1;
        return -1;
    }
    const int32_t index = g->arcCount;
    if (g->wordOnly != 0) {
        *WordGraph_Word(g, index) = word;
    } else {
        const int32_t relative = clip16(int64_t{score} - g->frames[e].referenceScore);
        *WordGraph_Arc(g, index) = {word, static_cast<int16_t>(s), static_cast<int16_t>(relative), 0};
        // A plain arc in a graph with context records counts as a whole word.
        if (g->contextRecords != 0)
            *WordGraph_Context(g, index) = {kWordGraphWholeWord, 0, 0, 0};
    }
    ++g->frames[e].arcCount;
    ++g->arcCount;
    return index;
}

bool copyArray(void*** to, uint32_t* capacity, uint32_t* inUse, void** from, uint32_t size, int32_t count)
{
    if (from == nullptr || count <= 0)
        return true;
    if (DVKMem_GrowChunkedArray(to, capacity, inUse, kWordGraphChunkShift, size, static_cast<uint32_t>(count)) == 0)
        return false;
    const uint32_t chunks = (static_cast<uint32_t>(count) + kChunkMask) >> kWordGraphChunkShift;
    for (uint32_t c = 0; c < chunks; ++c)
        std::memcpy((*to)[c], from[c], size << kWordGraphChunkShift);
    return true;
}

int compareArcs(const WordGraph* g, int32_t i, int32_t j, bool context)
{
    const WordGraphArc& a = *WordGraph_Arc(g, i);
    const WordGraphArc& b = *WordGraph_Arc(g, j);
    if (a.word != b.word)
        return a.word < b.word ? -1 : 1;
    if (context) {
        const WordGraphContext& x = *WordGraph_Context(g, i);
        const WordGraphContext& y = *WordGraph_Context(g, j);
        if (x.kind != y.kind)
            return x.kind < y.kind ? -1 : 1;
        if (x.entryPhoneme != y.entryPhoneme)
            return x.entryPhoneme < y.entryPhoneme ? -1 : 1;
        if (x.exitPhoneme != y.exitPhoneme)
            return x.exitPhoneme < y.exitPhoneme ? -1 : 1;
    }
    if (a.startFrame != b.startFrame)
        return a.startFrame < b.startFrame ? -1 : 1;
    if (a.score != b.score)
        return a.score < b.score ? -1 : 1;
    // Full ties in the keys: a fixed order all the same.
    if (context && WordGraph_Context(g, i)->acousticScore != WordGraph_Context(g, j)->acousticScore)
        return WordGraph_Context(g, i)->acousticScore < WordGraph_Context(g, j)->acousticScore ? -1 : 1;
    return a.flag < b.flag ? -1 : a.flag > b.flag ? 1 : 0;
}

}  // namespace

WordGraphArc* WordGraph_Arc(const WordGraph* graph, int32_t index) { return element<WordGraphArc>(graph->arcs, index); }

WordGraphContext* WordGraph_Context(const WordGraph* graph, int32_t index)
{
    return element<WordGraphContext>(graph->contexts, index);
}

uint16_t* WordGraph_Word(const WordGraph* graph, int32_t index) { return element<uint16_t>(graph->words, index); }

WordGraph* WordGraph_Create(AM* acousticModel, Voc* vocabulary, int32_t valueA, int32_t frameCapacity,
                            int32_t valueB, int32_t reversedTime, int32_t wordOnly, int32_t contextRecords)
{
    auto* g = static_cast<WordGraph*>(DVKMem_Calloc(sizeof(WordGraph)));
    if (g == nullptr)
        return nullptr;
    if (BrevitParam_Word(kBrevitParamNoWordOnlyMode) != 0)
        wordOnly = 0;
    frameCapacity = std::clamp(frameCapacity, 0, kWordGraphMaxFrames);
    g->frames = static_cast<WordGraphFrame*>(
        DVKMem_Calloc(static_cast<uint32_t>(std::max(frameCapacity, 1)) * sizeof(WordGraphFrame)));
    if (g->frames == nullptr) {
        DVKMem_Free(g);
        return nullptr;
    }
    g->wordOnly = wordOnly != 0 ? 1 : 0;
    g->valueA = valueA;
    g->valueB = valueB;
    g->frameCapacity = frameCapacity;
    g->currentFrame = -1;
    g->acousticModel = acousticModel;
    g->vocabulary = vocabulary;
    g->historyWord = -1;
    g->reversedTime = reversedTime != 0 ? 1 : 0;
    g->contextRecords = g->wordOnly == 0 && contextRecords != 0 ? 1 : 0;
    g->iteratorMode = static_cast<int32_t>(BrevitParam_Word(kBrevitParamIteratorMode));
    return g;
}

void WordGraph_Delete(WordGraph* graph)
{
    if (graph == nullptr)
        return;
    DVKMem_FreeChunksArray(graph->arcs, graph->arcChunksInUse);
    DVKMem_FreeChunksArray(graph->contexts, graph->contextChunksInUse);
    DVKMem_FreeChunksArray(graph->words, graph->wordChunksInUse);
    DVKMem_Free(graph->frames);
    ResultGraph_Delete(graph->resultGraph);
    DVKMem_Free(graph);
}

WordGraph* WordGraph_Clone(WordGraph* graph)
{
    if (graph == nullptr)
        return nullptr;
    auto* copy = static_cast<WordGraph*>(DVKMem_Malloc(sizeof(WordGraph)));
    if (copy == nullptr)
        return nullptr;
    *copy = *graph;
    copy->arcs = copy->contexts = copy->words = nullptr;
    copy->arcChunkCapacity = copy->arcChunksInUse = 0;
    copy->contextChunkCapacity = copy->contextChunksInUse = 0;
    copy->wordChunkCapacity = copy->wordChunksInUse = 0;
    copy->resultGraph = nullptr;
    const int32_t frames = graph->currentFrame + 1;
    copy->frameCapacity = frames;
    copy->frames = static_cast<WordGraphFrame*>(
        DVKMem_Malloc(static_cast<uint32_t>(std::max(frames, 1)) * sizeof(WordGraphFrame)));
    if (copy->frames == nullptr ||
        !copyArray(&copy->arcs, &copy->arcChunkCapacity, &copy->arcChunksInUse, graph->arcs, sizeof(WordGraphArc),
                   graph->arcCount) ||
        !copyArray(&copy->contexts, &copy->contextChunkCapacity, &copy->contextChunksInUse, graph->contexts,
                   sizeof(WordGraphContext), graph->arcCount) ||
        !copyArray(&copy->words, &copy->wordChunkCapacity, &copy->wordChunksInUse, graph->words, sizeof(uint16_t),
                   graph->arcCount)) {
        WordGraph_Delete(copy);
        return nullptr;
    }
    if (frames > 0)
        std::memcpy(copy->frames, graph->frames, static_cast<size_t>(frames) * sizeof(WordGraphFrame));
    return copy;
}

void WordGraph_Reset(WordGraph* graph, const uint16_t* history, int32_t historyLength, int32_t resetValue)
{
    for (int32_t f = 0; f < graph->frameCount; ++f) {
        graph->frames[f].firstArc = 0;
        graph->frames[f].arcCount = 0;
        graph->frames[f].visited = 0;
    }
    graph->arcCount = 0;
    graph->frameCount = 0;
    graph->linked = 0;
    graph->scanPosition = 0;
    graph->currentFrame = -1;
    const bool present = history != nullptr && historyLength > 0;
    graph->historyWord = present ? history[historyLength - 1] : -1;
    graph->historyPresent = present ? 1 : 0;
    graph->resetValue = resetValue;
}

int32_t WordGraph_HasTimes(const WordGraph* graph) { return graph->wordOnly != 0 ? 0 : 1; }

void WordGraph_AddArc(WordGraph* graph, int32_t startFrame, int32_t endFrame, uint16_t word, int32_t score,
                      int32_t* full)
{
    addArc(graph, startFrame, endFrame, word, score, full);
}

void WordGraph_AddArcWithContext(WordGraph* graph, int32_t firstPiece, int32_t whole, int32_t final,
                                 int32_t startFrame, int32_t endFrame, uint16_t word, uint16_t phoneme,
                                 int32_t score, int32_t acousticScore, int32_t* full)
{
    const int32_t index = addArc(graph, startFrame, endFrame, word, score, full);
    if (index < 0 || graph->contextRecords == 0)
        return;
    const uint32_t kind = whole != 0        ? kWordGraphWholeWord
                          : firstPiece == 0 ? kWordGraphLaterPiece
                                            : kWordGraphFirstPiece;
    const uint16_t exit = whole != 0 && final != 0 ? 0 : phoneme;
    *WordGraph_Context(graph, index) = {kind, phoneme, exit, acousticScore};
}

void WordGraph_FinishFrame(WordGraph* graph)
{
    WordGraph* g = graph;
    if (g->currentFrame < 0)
        return;
    WordGraphFrame& frame = g->frames[g->currentFrame];
    const int32_t first = frame.firstArc;
    const int32_t n = frame.arcCount;
    if (n < 2)
        return;
    int32_t kept = 0;
    if (g->wordOnly != 0) {
        heapSort(first, n, [&](int32_t i, int32_t j) { return *WordGraph_Word(g, i) < *WordGraph_Word(g, j); },
                 [&](int32_t i, int32_t j) { std::swap(*WordGraph_Word(g, i), *WordGraph_Word(g, j)); });
        for (int32_t i = 0; i < n; ++i)
            if (kept == 0 || *WordGraph_Word(g, first + i) != *WordGraph_Word(g, first + kept - 1))
                *WordGraph_Word(g, first + kept++) = *WordGraph_Word(g, first + i);
    } else {
        const bool context = g->contextRecords != 0;
        heapSort(
            first, n, [&](int32_t i, int32_t j) { return compareArcs(g, i, j, context) < 0; },
            [&](int32_t i, int32_t j) {
                std::swap(*WordGraph_Arc(g, i), *WordGraph_Arc(g, j));
                if (context)
                    std::swap(*WordGraph_Context(g, i), *WordGraph_Context(g, j));
            });
        if (context)
            return;
        for (int32_t i = 0; i < n; ++i) {
            const WordGraphArc a = *WordGraph_Arc(g, first + i);
            const WordGraphArc* last = kept > 0 ? WordGraph_Arc(g, first + kept - 1) : nullptr;
            if (last == nullptr || last->word != a.word || last->startFrame != a.startFrame)
                *WordGraph_Arc(g, first + kept++) = a;
        }
    }
    g->arcCount -= n - kept;
    frame.arcCount = kept;
}

int32_t WordGraph_FindWordInFrame(const WordGraph* graph, int32_t frame, uint16_t word)
{
    if (frame < 0 || frame > graph->currentFrame)
        return -1;
    const WordGraphFrame& f = graph->frames[frame];
    auto wordAt = [&](int32_t i) {
        return graph->wordOnly != 0 ? *WordGraph_Word(graph, i) : WordGraph_Arc(graph, i)->word;
    };
    int32_t low = f.firstArc;
    int32_t high = f.firstArc + f.arcCount;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (wordAt(middle) < word)
            low = middle + 1;
        else
            high = middle;
    }
    return low < f.firstArc + f.arcCount && wordAt(low) == word ? low : -1;
}

int32_t WordGraph_GetFrameWords(WordGraph* graph, uint16_t* words, int32_t* scores, int32_t max, int32_t frame)
{
    if (frame < 0 || frame > graph->currentFrame || max <= 0)
        return 0;
    if (frame == graph->currentFrame)
        WordGraph_FinishFrame(graph);
    const WordGraphFrame& f = graph->frames[frame];
    if (graph->wordOnly != 0) {
        int32_t count = f.arcCount;
        if (count > 0 && *WordGraph_Word(graph, f.firstArc + count - 1) == kWordGraphNullWord)
            --count;
        count = std::min(count, max);
        for (int32_t i = 0; i < count; ++i) {
            words[i] = *WordGraph_Word(graph, f.firstArc + i);
            scores[i] = 0;
        }
        return count;
    }
    int32_t listed = 0;
    for (int32_t i = f.firstArc; i < f.firstArc + f.arcCount; ++i) {
        const WordGraphArc& a = *WordGraph_Arc(graph, i);
        if (a.word == kWordGraphNullWord)
            continue;
        const int32_t score = clip32(int64_t{f.referenceScore} + a.score);
        int32_t at = 0;
        while (at < listed && words[at] != a.word)
            ++at;
        if (at < listed) {
            scores[at] = std::min(scores[at], score);
        } else if (listed < max) {
            words[listed] = a.word;
            scores[listed++] = score;
        } else {
            int32_t worst = 0;
            for (int32_t k = 1; k < listed; ++k)
                if (scores[k] > scores[worst])
                    worst = k;
            if (score < scores[worst]) {
                words[worst] = a.word;
                scores[worst] = score;
            }
        }
    }
    return listed;
}

int32_t WordGraph_GetGreedyPath(const WordGraph* graph, int32_t endFrame, int32_t max, uint32_t* vocIds)
{
    if (graph->wordOnly != 0)
        return 0;
    // Two walks: the first counts, the second writes the earliest max words.
    auto walk = [&](int32_t total) {
        int32_t found = 0;
        int32_t f = std::min<int32_t>(endFrame - 1, graph->currentFrame);
        while (f >= 0) {
            const WordGraphFrame& frame = graph->frames[f];
            int32_t best = -1;
            for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
                const int16_t s = WordGraph_Arc(graph, i)->score;
                if (s < 16384 && (best < 0 || s < WordGraph_Arc(graph, best)->score))
                    best = i;
            }
            if (best < 0)
                break;
            const WordGraphArc& a = *WordGraph_Arc(graph, best);
            if (a.word != kWordGraphNullWord) {
                const int32_t place = total - 1 - found;
                if (total > 0 && place < max && vocIds != nullptr)
                    vocIds[place] = vocIdOf(graph, a.word);
                ++found;
            }
            if (a.startFrame <= 0)
                break;
            f = a.startFrame - 1;
        }
        return found;
    };
    return walk(walk(0));
}

uint32_t WordGraph_ComputeCRC(const WordGraph* graph)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t i = 0; i < graph->arcCount; ++i) {
        if (graph->wordOnly != 0) {
            crc = DVKCrc_AddShort(*WordGraph_Word(graph, i), crc);
            continue;
        }
        const WordGraphArc& a = *WordGraph_Arc(graph, i);
        crc = DVKCrc_AddShort(a.word, crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(a.startFrame), crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(a.score), crc);
    }
    for (int32_t f = 0; f < graph->frameCount; ++f) {
        crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->frames[f].firstArc), crc);
        crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->frames[f].arcCount), crc);
        crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->frames[f].referenceScore), crc);
    }
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->arcCount), crc);
    crc = DVKCrc_AddShort(static_cast<uint32_t>(graph->frameCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->valueB), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->frameCapacity), crc);
    crc = DVKCrc_AddShort(static_cast<uint16_t>(graph->currentFrame), crc);
    crc = DVKCrc_AddShort(static_cast<uint32_t>(graph->historyWord), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->historyPresent), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->resetValue), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->reversedTime), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(graph->timeOrigin), crc);
    return crc;
}
