// The word-graph iterator: without iterator mode a plain scan of the stored
// arcs; with it, a best-first walk back from a frame that offers each arc
// once its successor has been taken, scored along the best path through it.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/word_graph_parts.h"

#include <algorithm>
#include <cstring>

using namespace word_graph;

namespace {

// Entry numbers are 16-bit.
constexpr int32_t kMaxEntries = 65535;

void clearEntries(WordGraphIterator* it)
{
    it->first = 0;
    it->count = 0;
    for (int32_t i = 0; i < it->capacity; ++i) {
        it->entries[i].used = 0;
        it->entries[i].nextFree = static_cast<uint16_t>(i + 1);
    }
    it->freeHead = 0;
}

void releaseEntry(WordGraphIterator* it, uint16_t entry)
{
    it->entries[entry].used = 0;
    it->entries[entry].nextFree = it->freeHead;
    it->freeHead = entry;
}

void insert(WordGraphIterator* it, int32_t arc, int32_t score)
{
    if (it->capacity == 0 || int64_t{score} - it->best > static_cast<int32_t>(BrevitParam_Word(kBrevitParamIteratorBeam)))
        return;
    uint16_t* order = it->order + it->first;
    int32_t place = 0;
    while (place < it->count && it->entries[order[place]].score < score)
        ++place;
    if (it->count == it->capacity) {
        if (place == it->count)
            return;
        releaseEntry(it, order[--it->count]);
    }
    if (it->first + it->count == it->capacity) {
        std::memmove(it->order, order, static_cast<size_t>(it->count) * sizeof(uint16_t));
        it->first = 0;
        order = it->order;
    }
    const uint16_t entry = it->freeHead;
    it->freeHead = it->entries[entry].nextFree;
    it->entries[entry] = {arc, score, 0, 1};
    std::memmove(order + place + 1, order + place, static_cast<size_t>(it->count - place) * sizeof(uint16_t));
    order[place] = entry;
    ++it->count;
}

// Inserts every arc of the frame, shifted so that its best arc scores base.
void insertFrame(WordGraphIterator* it, int32_t frame, int32_t base)
{
    const WordGraph* g = it->graph;
    const WordGraphFrame& f = g->frames[frame];
    int32_t lowest = INT32_MAX;
    for (int32_t i = f.firstArc; i < f.firstArc + f.arcCount; ++i)
        lowest = std::min(lowest, scoreOf(g, frame, i));
    for (int32_t i = f.firstArc; i < f.firstArc + f.arcCount; ++i)
        insert(it, i, clip32(int64_t{scoreOf(g, frame, i)} + base - lowest));
}

}  // namespace

WordGraphIterator* WordGraphIterator_Create(WordGraph* graph)
{
    auto* it = static_cast<WordGraphIterator*>(DVKMem_Calloc(sizeof(WordGraphIterator)));
    if (it == nullptr)
        return nullptr;
    it->graph = graph;
    const int32_t capacity = static_cast<int32_t>(BrevitParam_Word(kBrevitParamGraphIteratorCapacity));
    it->capacity = std::clamp(capacity, 0, kMaxEntries);
    const uint32_t n = static_cast<uint32_t>(std::max(it->capacity, 1));
    it->entries = static_cast<WordGraphIteratorEntry*>(DVKMem_Calloc(n * sizeof(WordGraphIteratorEntry)));
    it->order = static_cast<uint16_t*>(DVKMem_Calloc(n * sizeof(uint16_t)));
    if (it->entries == nullptr || it->order == nullptr) {
        WordGraphIterator_Delete(it);
        return nullptr;
    }
    clearEntries(it);
    it->best = kWordGraphNoScore;
    return it;
}

void WordGraphIterator_Delete(WordGraphIterator* iterator)
{
    if (iterator == nullptr)
        return;
    DVKMem_Free(iterator->entries);
    DVKMem_Free(iterator->order);
    DVKMem_Free(iterator);
}

int32_t WordGraphIterator_Init(WordGraphIterator* iterator, int32_t lowestFrame, int32_t highestFrame)
{
    WordGraphIterator* it = iterator;
    const WordGraph* g = it->graph;
    if (g->iteratorMode == 0)
        return 1;
    clearEntries(it);
    // Word-only graphs keep no scores or start frames to walk by.
    if (g->wordOnly != 0)
        return 0;
    int32_t f = std::min(highestFrame, g->frameCount);
    auto empty = [&](int32_t frame) { return frame > g->currentFrame || g->frames[frame].arcCount == 0; };
    while (f > lowestFrame && empty(f))
        --f;
    if (f <= lowestFrame || f < 0)
        return 0;
    for (int32_t k = 0; k < g->frameCount; ++k)
        g->frames[k].visited = 0;
    it->lowestFrame = static_cast<int16_t>(std::clamp(lowestFrame, -32768, 32767));
    it->best = INT32_MAX;
    const WordGraphFrame& frame = g->frames[f];
    for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i)
        it->best = std::min(it->best, scoreOf(g, f, i));
    for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i)
        insert(it, i, scoreOf(g, f, i));
    return 1;
}

int32_t WordGraphIterator_Next(WordGraphIterator* iterator, uint16_t* word, int32_t* startFrame)
{
    WordGraphIterator* it = iterator;
    WordGraph* g = it->graph;
    if (g->iteratorMode == 0) {
        while (g->scanPosition < g->arcCount) {
            const int32_t i = g->scanPosition++;
            const uint16_t w = g->wordOnly != 0 ? *WordGraph_Word(g, i) : WordGraph_Arc(g, i)->word;
            if (w == kWordGraphNullWord)
                continue;
            *word = w;
            *startFrame = g->wordOnly != 0 ? 0 : WordGraph_Arc(g, i)->startFrame;
            return 1;
        }
        return 0;
    }
    while (it->count > 0) {
        const uint16_t entry = it->order[it->first++];
        --it->count;
        const WordGraphIteratorEntry taken = it->entries[entry];
        releaseEntry(it, entry);
        // Entries made before the graph was reset or linked are stale.
        if (taken.arc >= g->arcCount)
            continue;
        const WordGraphArc& a = *WordGraph_Arc(g, taken.arc);
        if (a.startFrame == 0 || a.startFrame < it->lowestFrame)
            continue;
        WordGraphFrame& before = g->frames[a.startFrame - 1];
        if (a.startFrame > 0 && before.visited == 0) {
            before.visited = 1;
            insertFrame(it, a.startFrame - 1, taken.score);
        }
        if (a.word == kWordGraphNullWord)
            continue;
        *word = a.word;
        *startFrame = a.startFrame;
        return 1;
    }
    return 0;
}

uint32_t WordGraphIterator_ComputeCRC(const WordGraphIterator* iterator)
{
    const WordGraphIterator* it = iterator;
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(it->first), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(it->count), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(it->capacity), crc);
    for (int32_t i = 0; i < it->capacity; ++i) {
        const WordGraphIteratorEntry& e = it->entries[i];
        if (e.used == 0 || e.arc >= it->graph->arcCount)
            continue;
        const WordGraphArc& a = *WordGraph_Arc(it->graph, e.arc);
        crc = DVKCrc_AddShort(a.word, crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(a.startFrame), crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(a.score), crc);
        crc = DVKCrc_AddInt(static_cast<uint32_t>(e.score), crc);
    }
    return DVKCrc_AddInt(static_cast<uint32_t>(it->best), crc);
}
