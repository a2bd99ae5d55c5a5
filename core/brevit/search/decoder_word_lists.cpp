// Word choice lists: the alternatives of a choice list arranged by word
// position of the best choice. Mode 1 takes one word per choice; modes 2 and
// above align every further choice against the first and gather, for each of
// its positions, the runs of words the other choices have there.
#include "core/brevit/search/decoder_utils.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/scoring.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFFu;

struct Choice {
    const uint32_t* words;
    int32_t length;
};

std::vector<Choice> splitChoices(const uint32_t* words, int32_t count)
{
    std::vector<Choice> choices;
    for (int32_t c = 0, at = 0; c < count; ++c) {
        int32_t n = 0;
        while (words[at + n] != kEnd)
            ++n;
        choices.push_back({words + at, n});
        at += n + 1;
    }
    return choices;
}

int32_t singleWordLists(const std::vector<Choice>& choices, int32_t value, int32_t capacity, WordChoiceLists* lists,
                        int32_t* needed)
{
    const auto count = static_cast<int32_t>(choices.size());
    const int32_t fit = std::min(count, std::max(capacity, 0) / 2);
    for (int32_t i = 0; i < count; ++i) {
        if (i < fit) {
            const Choice& c = choices[static_cast<size_t>(i)];
            lists->entries[2 * i] = c.length > 0 ? c.words[0] : kEnd;
            lists->entries[2 * i + 1] = kEnd;
            lists->values[i] = value;
        }
        lists->counts[i] = i < fit ? 1 : 0;
    }
    *needed = 2 * count;
    return fit == count ? 1 : 0;
}

} // namespace

int32_t DecoderUtils_MakeWordChoiceLists(int32_t mode, const uint32_t* choiceWords, int32_t choiceCount,
                                         int32_t value, int32_t capacity, WordChoiceLists* lists, int32_t* needed)
{
    *needed = 0;
    const std::vector<Choice> choices = splitChoices(choiceWords, std::max(choiceCount, 0));
    if (mode < 2)
        return singleWordLists(choices, value, capacity, lists, needed);
    if (choices.empty())
        return 1;
    const Choice& reference = choices[0];
    int32_t longest = 0;
    for (const Choice& c : choices)
        longest = std::max(longest, c.length);
    // Work arrays sized by the longest choice.
    auto* operations = static_cast<uint8_t*>(DVKMem_Malloc(static_cast<uint32_t>(reference.length + longest + 1)));
    auto* segments = static_cast<ScoringSegment*>(
        DVKMem_Malloc(static_cast<uint32_t>(reference.length + 1) * sizeof(ScoringSegment)));
    // The aligner raises when its own tables cannot be had: the work arrays
    // are freed on that unwind as on every return.
    struct WorkArrays {
        void* operations;
        void* segments;
        ~WorkArrays()
        {
            DVKMem_Free(operations);
            DVKMem_Free(segments);
        }
    } work{operations, segments};
    if (operations == nullptr || segments == nullptr)
        return 0;
    using Run = std::vector<uint32_t>;
    std::vector<std::vector<Run>> positions(static_cast<size_t>(reference.length));
    for (int32_t p = 0; p < reference.length; ++p)
        positions[static_cast<size_t>(p)].push_back({reference.words[p]});
    for (size_t j = 1; j < choices.size(); ++j) {
        const Choice& h = choices[j];
        int32_t length = 0, segmentCount = 0;
        Scoring_AlignWords(reference.length, reference.words, h.length, h.words, operations, &length, segments,
                           &segmentCount, nullptr, nullptr, nullptr);
        for (int32_t s = 0; s < segmentCount; ++s) {
            const ScoringSegment& seg = segments[s];
            // The hypothesis run of the segment; a deletion gives an empty run.
            const Run run(h.words + seg.hypothesisStart, h.words + std::max(seg.hypothesisEnd + 1, seg.hypothesisStart));
            for (int32_t p = seg.referenceStart; p <= seg.referenceEnd; ++p) {
                auto& alternatives = positions[static_cast<size_t>(p)];
                if (std::find(alternatives.begin(), alternatives.end(), run) == alternatives.end())
                    alternatives.push_back(run);
            }
        }
    }
    int32_t written = 0;
    bool fitted = true;
    for (int32_t p = 0; p < reference.length; ++p) {
        const auto& alternatives = positions[static_cast<size_t>(p)];
        int32_t size = 0;
        for (const Run& r : alternatives)
            size += static_cast<int32_t>(r.size()) + 1;
        *needed += size;
        if (!fitted || written + size > capacity) {
            fitted = false;
            lists->counts[p] = 0;
            continue;
        }
        for (const Run& r : alternatives) {
            for (uint32_t w : r)
                lists->entries[written++] = w;
            lists->entries[written++] = kEnd;
        }
        lists->counts[p] = static_cast<int32_t>(alternatives.size());
        lists->values[p] = value;
    }
    return fitted ? 1 : 0;
}
