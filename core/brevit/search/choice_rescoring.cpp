// The best word sequence across a run of isolated-word utterances (a number
// said digit by digit, a name word by word): a beam of paths is extended by
// every top choice of each utterance under the vocabulary's n-gram model.
// Long runs go in windows of 20, each keeping only its best path.
#include "core/brevit/search/choice_record.h"

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint16_t kNoWord = 65535;
constexpr int32_t kMaxOrder = 2;
constexpr int32_t kNoScore = 0x40000000;

int32_t comparePaths(int32_t score, const uint16_t* words, const ChoicePath& p)
{
    if (score != p.score)
        return score < p.score ? -1 : 1;
    for (int32_t i = 0; i < kChoicePathWords; ++i)
        if (words[i] != p.words[i])
            return words[i] < p.words[i] ? -1 : 1;
    return 0;
}

// The words a path's next word is scored after: the start context, then
// the path's words, of which the last `order` count.
struct History {
    uint16_t ids[kMaxOrder];
    int32_t count;
};

History historyOf(const uint16_t* start, int32_t startCount, const uint16_t* words, int32_t wordCount,
                  int32_t order)
{
    History h{};
    const int32_t total = startCount + wordCount;
    h.count = std::min(order, total);
    for (int32_t k = 0; k < h.count; ++k) {
        const int32_t at = total - h.count + k;
        h.ids[k] = at < startCount ? start[at] : words[at - startCount];
    }
    return h;
}

struct Beam {
    ChoicePath* current;
    ChoicePath* next;
    int32_t capacity;
    int32_t count;
};

// One run of at most 20 utterances after the given start context; the paths
// end in beam.current, best first.
void rescoreRun(const TopChoiceRecord* const* lists, int32_t n, int32_t order, const uint16_t* start,
                int32_t startCount, int32_t rightCount, const uint16_t* rightIds, const Voc* vocabulary, Beam& beam)
{
    beam.count = 0;
    uint16_t words[kChoicePathWords];
    for (int32_t u = 0; u < n; ++u) {
        const TopChoiceRecord& list = *lists[u];
        const int32_t choices = std::clamp(list.count, 0, kTopChoices);
        int32_t made = 0;
        const int32_t paths = u == 0 ? 1 : beam.count;
        for (int32_t p = 0; p < paths; ++p) {
            std::fill(words, words + kChoicePathWords, kNoWord);
            int32_t base = 0;
            if (u > 0) {
                std::memcpy(words, beam.current[p].words, sizeof(words));
                base = beam.current[p].score;
            }
            const History h = historyOf(start, startCount, words, u, order);
            for (int32_t c = 0; c < choices; ++c) {
                const auto word = static_cast<uint16_t>(Voc_GetActiveId(vocabulary, static_cast<uint32_t>(list.words[c])));
                words[u] = word;
                const int32_t score = base + list.acousticScores[c] + Voc_ScoreNGram(vocabulary, h.ids, h.count, word);
                ChoicePath_Insert(beam.next, &made, beam.capacity, score, words, u + 1, word);
            }
        }
        std::swap(beam.current, beam.next);
        beam.count = made;
    }
    if (rightCount > 0 && rightIds != nullptr && rightIds[0] != kNoWord) {
        int32_t made = 0;
        for (int32_t p = 0; p < beam.count; ++p) {
            const ChoicePath& path = beam.current[p];
            const History h = historyOf(start, startCount, path.words, n, order);
            ChoicePath_Insert(beam.next, &made, beam.capacity,
                              path.score + Voc_ScoreNGram(vocabulary, h.ids, h.count, rightIds[0]), path.words, n,
                              path.last);
        }
        std::swap(beam.current, beam.next);
        beam.count = made;
    }
}

void writeWords(const uint16_t* words, int32_t n, const Voc* vocabulary, uint32_t* out)
{
    for (int32_t i = 0; i < n; ++i)
        out[i] = Voc_ActiveIdToVocId(vocabulary, words[i]);
}

} // namespace

void ChoicePath_Insert(ChoicePath* paths, int32_t* count, int32_t capacity, int32_t score, const uint16_t* words,
                       int32_t wordCount, uint16_t last)
{
    uint16_t key[kChoicePathWords];
    std::fill(key, key + kChoicePathWords, kNoWord);
    std::memcpy(key, words, static_cast<size_t>(std::clamp(wordCount, 0, kChoicePathWords)) * sizeof(uint16_t));
    int32_t at = 0;
    while (at < *count && comparePaths(score, key, paths[at]) >= 0)
        ++at;
    if (at >= capacity)
        return;
    const int32_t kept = std::min(*count, capacity - 1);
    std::memmove(paths + at + 1, paths + at, static_cast<size_t>(kept - at) * sizeof(ChoicePath));
    paths[at].score = score;
    std::memcpy(paths[at].words, key, sizeof(key));
    paths[at].last = last;
    *count = kept + 1;
}

int32_t ChoiceList_RescoreUtterances(const TopChoiceRecord* const* lists, int32_t n, int32_t order,
                                     int32_t historyCount, const uint32_t* history, int32_t rightCount,
                                     const uint16_t* rightIds, int32_t limit, int32_t* scores, uint32_t* wordIds,
                                     const Voc* vocabulary)
{
    if (order > kMaxOrder || order < 0 || n < 1 || lists == nullptr)
        return 0;
    Beam beam{};
    beam.capacity = static_cast<int32_t>(BrevitParam_Word(kBrevitParamPathBeam));
    if (beam.capacity < 1)
        return 0;
    const uint32_t bytes = static_cast<uint32_t>(beam.capacity) * sizeof(ChoicePath);
    beam.current = static_cast<ChoicePath*>(DVKMem_Malloc(bytes));
    beam.next = static_cast<ChoicePath*>(DVKMem_Malloc(bytes));
    int32_t result = 0;
    if (beam.current != nullptr && beam.next != nullptr) {
        uint16_t start[kMaxOrder];
        int32_t startCount = std::min(order, std::max(historyCount, 0));
        for (int32_t k = 0; k < startCount; ++k)
            start[k] = static_cast<uint16_t>(Voc_GetActiveId(vocabulary, history[historyCount - startCount + k]));
        if (n <= kRescoreWindow) {
            rescoreRun(lists, n, order, start, startCount, rightCount, rightIds, vocabulary, beam);
            for (; result < std::min(limit, beam.count); ++result) {
                uint32_t* row = wordIds + static_cast<ptrdiff_t>(result) * (n + 1);
                writeWords(beam.current[result].words, n, vocabulary, row);
                row[n] = 0xFFFFFFFFu;
                scores[result] = beam.current[result].score;
            }
        } else if (limit >= 1) {
            int64_t total = 0;
            bool ok = true;
            for (int32_t first = 0; first < n && ok; first += kRescoreWindow) {
                const int32_t size = std::min(kRescoreWindow, n - first);
                const bool lastWindow = first + size >= n;
                rescoreRun(lists + first, size, order, start, startCount, lastWindow ? rightCount : 0, rightIds,
                           vocabulary, beam);
                if (beam.count < 1 || beam.current[0].score == kNoScore) {
                    ok = false;
                    break;
                }
                const ChoicePath& best = beam.current[0];
                total += best.score;
                writeWords(best.words, size, vocabulary, wordIds + first);
                startCount = std::min(order, size);
                for (int32_t k = 0; k < startCount; ++k)
                    start[k] = best.words[size - startCount + k];
            }
            if (ok) {
                wordIds[n] = 0xFFFFFFFFu;
                scores[0] = static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
                result = 1;
            }
        }
    }
    DVKMem_Free(beam.current);
    DVKMem_Free(beam.next);
    return result;
}
