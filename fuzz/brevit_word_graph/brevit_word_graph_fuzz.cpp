// Word graphs hold whatever arcs a decoder hands over, from any audio: an
// arbitrary arc stream (any frames, words, scores, kinds, every mode,
// reversed time) goes through AddArc / AddArcWithContext, then every frame's
// words, the greedy path, the iterator, clones, linking, checksums and both
// searches. Aborts when the frame records stop describing the stored arcs,
// a clone's checksum differs from its own clone's, a linked arc starts after
// its end frame or the searches list more than they were given room for.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/word_graph.h"
#include "fuzz/brevit_word_graph/word_graph_fuzz_input.h"
#include "tests/brevit/search/fake_vocabulary.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using namespace word_graph_fuzz;

constexpr size_t kMaxArcs = 512;

void checkFrames(const WordGraph* g)
{
    int32_t next = 0;
    for (int32_t f = 0; f <= g->currentFrame; ++f) {
        const WordGraphFrame& frame = g->frames[f];
        if (frame.firstArc != next || frame.arcCount < 0)
            std::abort();   // frames no longer tile the arcs
        next += frame.arcCount;
        if (g->wordOnly != 0)
            continue;
        for (int32_t i = frame.firstArc; i < next; ++i) {
            const int16_t start = WordGraph_Arc(g, i)->startFrame;
            if (start < 0 || start > f)
                std::abort();   // an arc a backward walk would follow forward
        }
    }
    if (next != g->arcCount)
        std::abort();
}

void cloneTwice(WordGraph* g)
{
    WordGraph* a = WordGraph_Clone(g);
    WordGraph* b = WordGraph_Clone(a);
    if (a != nullptr && b != nullptr && WordGraph_ComputeCRC(a) != WordGraph_ComputeCRC(b))
        std::abort();
    WordGraph_Delete(b);
    WordGraph_Delete(a);
}

int32_t refuseOdd(Constraint*, const uint16_t* prons, int32_t count) { return count > 0 && (prons[count - 1] & 1) != 0 ? 0 : 1; }
int32_t buildTable(Constraint*) { return 1; }
void freeTable(Constraint*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeVocabulary vocabulary = [] {
        std::map<uint16_t, std::vector<uint16_t>> words;
        for (uint16_t w = 1; w <= 40; ++w)
            words[w] = {w};
        return FakeVocabulary(std::move(words));
    }();
    static bool scored = [] {
        vocabulary.setNGram(-1, 3, 40);
        vocabulary.setNGram(3, 4, -20);
        vocabulary.setNGram(7, 5, 900);
        return true;
    }();
    (void)scored;
    Header h;
    std::vector<Arc> arcs;
    if (!decode(data, size, h, arcs, kMaxArcs))
        return 0;
    static BrevitGlobalParameters params{};
    params = BrevitGlobalParameters{};
    params.words[kBrevitParamIteratorMode] = (h.flags & kIteratorMode) != 0 ? 1 : 0;
    params.words[kBrevitParamLmRescoreSeeds] = (h.flags & kRescoreSeeds) != 0 ? 1 : 0;
    params.words[kBrevitParamDuplicateByPronIds] = (h.flags & kByPronIds) != 0 ? 1 : 0;
    params.words[kBrevitParamNBestRecords] = h.nbestRoom;
    params.words[kBrevitParamPathRecordBudget] = 28u * h.recordBudget;
    params.words[kBrevitParamIteratorBeam] = h.iteratorBeam;
    params.words[kBrevitParamGraphIteratorCapacity] = h.iteratorRoom;
    params.words[kBrevitParamGraphBeam] = 16u * h.graphBeam;
    params.words[kBrevitParamGraphWordPenalty] = static_cast<uint32_t>(int32_t{h.wordPenalty});
    params.words[kBrevitParamResultGraphSize] = 4096;
    gpBrevitGlobalParameters = &params;

    WordGraph* g = WordGraph_Create(nullptr, vocabulary.voc(), 0, h.capacity, 7, (h.flags & kReversed) != 0 ? 1 : 0,
                                    (h.flags & kWordOnly) != 0 ? 1 : 0, (h.flags & kContext) != 0 ? 1 : 0);
    if (g == nullptr)
        return 0;
    const uint16_t history[] = {3, 7};
    if ((h.flags & kHistory) != 0)
        WordGraph_Reset(g, history, 2, 1);
    for (const Arc& a : arcs) {
        int32_t full = 0;
        // Words mostly from the vocabulary, the null word, or anything.
        const uint16_t word = a.word >= 0xFF00 ? a.word : static_cast<uint16_t>(a.word % 48);
        if ((a.kind & 8) != 0 || (h.flags & kContext) == 0)
            WordGraph_AddArc(g, a.start, a.end, word == 47 ? kWordGraphNullWord : word, a.score, &full);
        else
            WordGraph_AddArcWithContext(g, a.kind & 1, (a.kind >> 1) & 1, (a.kind >> 2) & 1, a.start, a.end,
                                        word == 47 ? kWordGraphNullWord : word, a.phoneme, a.score, a.acoustic,
                                        &full);
        checkFrames(g);
    }
    uint16_t words[8];
    int32_t scores[8];
    for (int32_t f = -1; f <= g->currentFrame + 1; ++f)
        if (WordGraph_GetFrameWords(g, words, scores, 1 + f % 8 + (f < 0 ? 8 : 0), f) > 8)
            std::abort();
    checkFrames(g);
    uint32_t ids[8];
    WordGraph_GetGreedyPath(g, g->currentFrame + 1, 8, ids);
    if (WordGraphIterator* it = WordGraphIterator_Create(g)) {
        if (WordGraphIterator_Init(it, 0, g->frameCount) != 0) {
            uint16_t w;
            int32_t start;
            for (int k = 0; k < 4 * static_cast<int>(kMaxArcs) && WordGraphIterator_Next(it, &w, &start) != 0; ++k)
                WordGraphIterator_ComputeCRC(it);
        }
        WordGraphIterator_Delete(it);
    }
    cloneTwice(g);
    WordGraph_LinkWordPieces(g);
    checkFrames(g);
    WordGraph_ComputeCRC(g);
    cloneTwice(g);
    WordGraph_BuildResultGraph(g, h.order, 2, history);
    for (int32_t n = 0; n < 3; ++n) {
        int32_t score = 0;
        if (WordGraph_GetNthBestPath(g, n, words, 8, &score, nullptr, 0) > kChoiceRecordWords)
            std::abort();
    }
    Constraint con{};
    con.type = kConstraintTypeWholeVocabulary;
    con.ops.IsLegalPronEndingReverse = refuseOdd;
    con.ops.BuildActiveIdTable = buildTable;
    con.ops.FreeActiveIdTable = freeTable;
    Constraint* constraints[] = {&con};
    ChoiceRecord records[8];
    if (WordGraph_GetNBest(g, records, 8, 65535, constraints, 1) > 8)
        std::abort();
    WordGraph_Delete(g);
    return 0;
}
