// Linking word pieces: a later piece of a word becomes one copy per first
// piece or whole word of the same word that ends just before it. The linked
// arcs are built in new arrays and swapped in only when all of them fit, so
// a failure leaves the graph as it was.
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/word_graph_parts.h"

#include <algorithm>

using namespace word_graph;

namespace {

struct Linked {
    void** arcs = nullptr;
    uint32_t arcCapacity = 0;
    uint32_t arcChunks = 0;
    void** contexts = nullptr;
    uint32_t contextCapacity = 0;
    uint32_t contextChunks = 0;
    int32_t count = 0;

    void free()
    {
        DVKMem_FreeChunksArray(arcs, arcChunks);
        DVKMem_FreeChunksArray(contexts, contextChunks);
    }
    void put(const WordGraphArc& arc, const WordGraphContext& context)
    {
        constexpr int32_t mask = (1 << kWordGraphChunkShift) - 1;
        static_cast<WordGraphArc*>(arcs[count >> kWordGraphChunkShift])[count & mask] = arc;
        static_cast<WordGraphContext*>(contexts[count >> kWordGraphChunkShift])[count & mask] = context;
        ++count;
    }
};

bool isFirstOrWhole(const WordGraph* g, int32_t i)
{
    const uint32_t kind = WordGraph_Context(g, i)->kind;
    return kind == kWordGraphFirstPiece || kind == kWordGraphWholeWord;
}

// Calls each(match, best) for every first piece or whole word of the arc's
// word ending before it starts; answers the number of matches.
template <typename Each>
int32_t forEachMatch(const WordGraph* g, int32_t arc, Each each)
{
    const WordGraphArc& a = *WordGraph_Arc(g, arc);
    const int32_t frame = a.startFrame - 1;
    const int32_t first = WordGraph_FindWordInFrame(g, frame, a.word);
    if (first < 0)
        return 0;
    const int32_t end = g->frames[frame].firstArc + g->frames[frame].arcCount;
    int32_t best = -1;
    int32_t n = 0;
    for (int32_t i = first; i < end && WordGraph_Arc(g, i)->word == a.word; ++i) {
        if (!isFirstOrWhole(g, i))
            continue;
        ++n;
        if (best < 0 || WordGraph_Arc(g, i)->score < WordGraph_Arc(g, best)->score)
            best = i;
    }
    for (int32_t i = first; i < end && WordGraph_Arc(g, i)->word == a.word; ++i)
        if (isFirstOrWhole(g, i))
            each(i, best);
    return n;
}

// How many arcs the frame holds once linked.
int64_t linkedCount(const WordGraph* g, const WordGraphFrame& frame)
{
    int64_t n = 0;
    for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
        const uint32_t kind = WordGraph_Context(g, i)->kind;
        if (WordGraph_Arc(g, i)->word == kWordGraphNullWord || (kind != kWordGraphFirstPiece && kind != kWordGraphLaterPiece))
            ++n;
        else if (kind == kWordGraphLaterPiece)
            n += forEachMatch(g, i, [](int32_t, int32_t) {});
    }
    return n;
}

void linkFrame(const WordGraph* g, const WordGraphFrame& frame, Linked& out)
{
    for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
        const WordGraphArc& a = *WordGraph_Arc(g, i);
        const WordGraphContext& c = *WordGraph_Context(g, i);
        if (a.word == kWordGraphNullWord || (c.kind != kWordGraphFirstPiece && c.kind != kWordGraphLaterPiece)) {
            out.put(a, c);
            continue;
        }
        if (c.kind == kWordGraphFirstPiece)
            continue;
        forEachMatch(g, i, [&](int32_t match, int32_t best) {
            const WordGraphArc& m = *WordGraph_Arc(g, match);
            const WordGraphContext& mc = *WordGraph_Context(g, match);
            WordGraphArc copy = a;
            copy.startFrame = m.startFrame;
            copy.score = static_cast<int16_t>(
                clip16(int64_t{a.score} + m.score - WordGraph_Arc(g, best)->score));
            WordGraphContext context = c;
            context.entryPhoneme = mc.entryPhoneme;
            context.acousticScore = clip32(int64_t{c.acousticScore} + mc.acousticScore -
                                           WordGraph_Context(g, best)->acousticScore);
            out.put(copy, context);
        });
    }
}

}  // namespace

int32_t WordGraph_LinkWordPieces(WordGraph* graph)
{
    WordGraph* g = graph;
    if (g->linked != 0 || g->contextRecords == 0) {
        g->linked = 1;
        return 1;
    }
    const int32_t frames = g->currentFrame + 1;
    auto* counts = static_cast<int32_t*>(DVKMem_Malloc(static_cast<uint32_t>(std::max(frames, 1)) * 4u));
    if (counts == nullptr)
        return 0;
    int64_t total = 0;
    for (int32_t f = 0; f < frames; ++f) {
        const int64_t n = linkedCount(g, g->frames[f]);
        counts[f] = static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
        total += n;
    }
    Linked out;
    // Arc indices are 32-bit; more copies than that cannot be kept.
    if (total >= INT32_MAX ||
        (total > 0 &&
         (DVKMem_GrowChunkedArray(&out.arcs, &out.arcCapacity, &out.arcChunks, kWordGraphChunkShift,
                                  sizeof(WordGraphArc), static_cast<uint32_t>(total)) == 0 ||
          DVKMem_GrowChunkedArray(&out.contexts, &out.contextCapacity, &out.contextChunks, kWordGraphChunkShift,
                                  sizeof(WordGraphContext), static_cast<uint32_t>(total)) == 0))) {
        out.free();
        DVKMem_Free(counts);
        return 0;
    }
    for (int32_t f = 0; f < frames; ++f)
        linkFrame(g, g->frames[f], out);
    int32_t first = 0;
    for (int32_t f = 0; f < frames; ++f) {
        g->frames[f].firstArc = first;
        g->frames[f].arcCount = counts[f];
        first += counts[f];
    }
    DVKMem_Free(counts);
    DVKMem_FreeChunksArray(g->arcs, g->arcChunksInUse);
    DVKMem_FreeChunksArray(g->contexts, g->contextChunksInUse);
    g->arcs = out.arcs;
    g->arcChunkCapacity = out.arcCapacity;
    g->arcChunksInUse = out.arcChunks;
    g->contexts = out.contexts;
    g->contextChunkCapacity = out.contextCapacity;
    g->contextChunksInUse = out.contextChunks;
    g->arcCount = out.count;
    g->scanPosition = std::min(g->scanPosition, g->arcCount);
    g->linked = 1;
    return 1;
}
