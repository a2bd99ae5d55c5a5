// The word graph's calls into the vocabulary and the acoustic model; a graph
// made without them still answers.
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "core/brevit/search/word_graph_parts.h"

namespace word_graph {

uint16_t activeIdOf(const WordGraph* graph, uint16_t pron)
{
    if (graph->vocabulary == nullptr || pron >= kWordGraphNullWord)
        return pron;
    return Voc_GetActiveIdFromPronId(graph->vocabulary, pron, nullptr);
}

uint32_t vocIdOf(const WordGraph* graph, uint16_t pron)
{
    return graph->vocabulary != nullptr ? Voc_PronIdToVocId(graph->vocabulary, pron) : pron;
}

int32_t ngram(const WordGraph* graph, const uint16_t* history, int32_t n, uint16_t activeId)
{
    return graph->vocabulary != nullptr ? Voc_ScoreNGram(graph->vocabulary, history, n, activeId) : 0;
}

bool phonemesFit(const WordGraph* graph, uint16_t exitPhoneme, uint16_t entryPhoneme)
{
    if (graph->acousticModel == nullptr || graph->contextRecords == 0 || exitPhoneme == 0)
        return true;
    return AM_TestPhonemePair(graph->acousticModel, exitPhoneme, entryPhoneme) != 0;
}

uint16_t exitOf(const WordGraph* graph, int32_t arc)
{
    return graph->contextRecords != 0 ? WordGraph_Context(graph, arc)->exitPhoneme : 0;
}

uint16_t entryOf(const WordGraph* graph, int32_t arc)
{
    return graph->contextRecords != 0 ? WordGraph_Context(graph, arc)->entryPhoneme : 0;
}

int32_t scoreOf(const WordGraph* graph, int32_t frame, int32_t arc)
{
    return clip32(int64_t{graph->frames[frame].referenceScore} + WordGraph_Arc(graph, arc)->score);
}

}  // namespace word_graph
