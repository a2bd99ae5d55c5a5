// A phrase given as written and as spoken text split into words whose two
// forms match both texts: from the left over the cells (written, spoken
// position) the words reach, then from the right over what is left; what
// stays uncovered in the middle is one entry. White space is stepped over
// on both sides, so entries never include it. Only reached cells are kept:
// the cost is in the words found, not in the product of the lengths.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

struct Entry {
    VocId id;
    int32_t surfaceStart, surfaceLength, spokenStart, spokenLength;
};

struct Cell {
    VocId id;
    int32_t fromSurface, fromSpoken;   // the cell the word left
    int32_t surfaceStart, spokenStart;
};

int32_t skip(const uint16_t* text, int32_t at, int32_t end)
{
    while (at < end && DVKUnicode_IsSpace(text[at]))
        ++at;
    return at;
}

int32_t skipBack(const uint16_t* text, int32_t at, int32_t begin)
{
    while (at > begin && DVKUnicode_IsSpace(text[at - 1]))
        --at;
    return at;
}

std::vector<uint16_t> slice(const uint16_t* text, int32_t start, int32_t length)
{
    std::vector<uint16_t> out(text + start, text + start + length);
    out.push_back(0);
    return out;
}

// The words matching at the start of text (the buffer doubled while full).
std::vector<VocId> matchesAt(const Voc* voc, const uint16_t* text, int32_t mode)
{
    std::vector<VocId> ids(30);
    for (;;) {
        const int32_t n =
            Voc_GetMatchesAtStart(voc, text, mode, 1, 0, static_cast<int32_t>(ids.size()), ids.data());
        if (n < static_cast<int32_t>(ids.size())) {
            ids.resize(static_cast<size_t>(std::max(n, 0)));
            return ids;
        }
        ids.resize(ids.size() * 2);
    }
}

struct Forms {
    std::vector<uint16_t> surface, spoken;
    int32_t surfaceLength = 0, spokenLength = 0;
};

Forms formsOf(const Voc* voc, VocId id)
{
    Forms f;
    f.surface.assign(static_cast<size_t>(Voc_GetMaxSurfaceFormLength(voc)) + 2, 0);
    f.spoken.assign(static_cast<size_t>(Voc_GetMaxSpokenFormLength(voc)) + 2, 0);
    Voc_GetOrthography(voc, id, f.surface.data(), f.spoken.data());
    f.surfaceLength = DVKUnicode_Length(f.surface.data());
    f.spokenLength = DVKUnicode_Length(f.spoken.data());
    return f;
}

// The words ending at a cell of the right-to-left pass, from the longest
// (bounded by the longest surface form) down, the lowest id first among
// equals; each with the cell it reaches (white space stepped over).
struct Step {
    Entry entry;
    std::pair<int32_t, int32_t> to;
};

std::vector<Step> wordsEndingAt(const Voc* voc, const uint16_t* surface, const uint16_t* spoken, bool withSpoken,
                                int32_t matchMode, int32_t restSurface, int32_t restSpoken, int32_t e, int32_t q)
{
    std::vector<Step> steps;
    const int32_t longest = std::max(Voc_GetMaxSurfaceFormLength(voc), 1);
    for (int32_t length = std::min(longest, e - restSurface); length >= 1; --length) {
        const std::vector<uint16_t> word = slice(surface, e - length, length);
        std::vector<VocId> candidates(
            static_cast<size_t>(std::max(Voc_GetMatches(voc, word.data(), matchMode, 1, 0, 0, nullptr), 0)));
        if (candidates.empty())
            continue;
        Voc_GetMatches(voc, word.data(), matchMode, 1, 0, static_cast<int32_t>(candidates.size()), candidates.data());
        std::sort(candidates.begin(), candidates.end());
        for (VocId id : candidates) {
            const Forms f = formsOf(voc, id);
            const int32_t k = withSpoken ? f.spokenLength : 0;
            if (withSpoken &&
                (k < 1 || q - k < restSpoken || DVKUnicode_NCompare(f.spoken.data(), spoken + q - k, k) != 0))
                continue;
            const Entry entry{id, e - length, length, withSpoken ? q - k : 0, k};
            steps.push_back({entry,
                             {skipBack(surface, e - length, restSurface),
                              withSpoken ? skipBack(spoken, q - k, restSpoken) : 0}});
        }
    }
    return steps;
}

struct RightPass {
    std::vector<Entry> entries;        // in text order
    int32_t uncoveredSurfaceEnd;       // what they leave of the rest, from its start
    int32_t uncoveredSpokenEnd;
};

// The rest the left pass left, from its end: every cell the words reach is
// found first (only reached cells are kept), then each cell takes the first
// of its words through which the surface text is covered furthest to the
// left. Where taking the first word at each cell never gets stuck this is
// that walk; where it would, a shorter word leads on.
RightPass alignFromRight(const Voc* voc, const uint16_t* surface, const uint16_t* spoken, bool withSpoken,
                         int32_t matchMode, int32_t restSurface, int32_t endSurface, int32_t restSpoken,
                         int32_t endSpoken)
{
    struct Reached {
        std::vector<Step> steps;
        int32_t best = 0;            // the leftmost surface position reachable from here
        int32_t chosen = -1;         // the step leading there, -1: none
    };
    std::map<std::pair<int32_t, int32_t>, Reached> cells;
    cells[{endSurface, endSpoken}];
    // From the end towards the start: a step always leads to a smaller surface position.
    for (auto it = cells.rbegin(); it != cells.rend();) {
        const auto at = it->first;
        if (at.first > restSurface) {
            std::vector<Step> steps = wordsEndingAt(voc, surface, spoken, withSpoken, matchMode, restSurface,
                                                    restSpoken, at.first, at.second);
            for (const Step& step : steps)
                cells.try_emplace(step.to);
            cells[at].steps = std::move(steps);
        }
        it = std::make_reverse_iterator(cells.find(at));   // the next smaller cell
    }
    for (auto& [at, cell] : cells) {
        cell.best = at.first;
        for (size_t k = 0; k < cell.steps.size(); ++k) {
            const int32_t reach = cells[cell.steps[k].to].best;
            if (reach < cell.best) {
                cell.best = reach;
                cell.chosen = static_cast<int32_t>(k);
            }
        }
    }
    RightPass pass{{}, endSurface, endSpoken};
    for (auto at = std::make_pair(endSurface, endSpoken);;) {
        const Reached& cell = cells[at];
        pass.uncoveredSurfaceEnd = at.first;
        pass.uncoveredSpokenEnd = at.second;
        if (cell.chosen < 0)
            break;
        const Step& step = cell.steps[static_cast<size_t>(cell.chosen)];
        pass.entries.push_back(step.entry);
        at = step.to;
    }
    std::reverse(pass.entries.begin(), pass.entries.end());
    return pass;
}

}  // namespace

int32_t Voc_AlignSpokenPhrase(const Voc* voc, const uint16_t* surface, const uint16_t* spoken, int32_t keepPartial,
                              int32_t matchMode, int32_t max, VocId* ids, int32_t* surfaceStarts,
                              int32_t* surfaceLengths, int32_t* spokenStarts, int32_t* spokenLengths)
{
    if (VocPart_IsBlank(surface))
        return 0;
    const bool withSpoken = spoken != nullptr && spoken[0] != 0;
    const int32_t m = DVKUnicode_Length(surface);
    const int32_t n = withSpoken ? DVKUnicode_Length(spoken) : 0;
    std::map<std::pair<int32_t, int32_t>, Cell> cells;
    cells[{0, 0}] = Cell{kVocNoId, -1, -1, 0, 0};
    std::pair<int32_t, int32_t> furthest{0, 0};
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const int32_t s = skip(surface, it->first.first, m);
        const int32_t p = withSpoken ? skip(spoken, it->first.second, n) : 0;
        if (s >= m)
            continue;
        const int32_t window = std::min(m - s, std::max(Voc_GetMaxSurfaceFormLength(voc), 1));
        const std::vector<uint16_t> piece = slice(surface, s, window);
        for (VocId id : matchesAt(voc, piece.data(), matchMode)) {
            const Forms f = formsOf(voc, id);
            if (f.surfaceLength < 1 || s + f.surfaceLength > m)
                continue;
            int32_t k = 0;
            if (withSpoken) {
                k = f.spokenLength;
                if (k < 1 || p + k > n || DVKUnicode_NCompare(f.spoken.data(), spoken + p, k) != 0)
                    continue;
                if ((s + f.surfaceLength == m) != (p + k == n))
                    continue;
            }
            const std::pair<int32_t, int32_t> to{s + f.surfaceLength, p + k};
            if (cells.find(to) == cells.end()) {
                cells[to] = Cell{id, it->first.first, it->first.second, s, p};
                furthest = std::max(furthest, to);
            }
            if (!withSpoken)
                break;   // the first match only
        }
    }
    std::vector<Entry> entries;
    for (auto at = furthest; at != std::pair<int32_t, int32_t>{0, 0};) {
        const Cell& c = cells[at];
        entries.push_back({c.id, c.surfaceStart, at.first - c.surfaceStart, withSpoken ? c.spokenStart : 0,
                           withSpoken ? at.second - c.spokenStart : 0});
        at = {c.fromSurface, c.fromSpoken};
    }
    std::reverse(entries.begin(), entries.end());
    const int32_t restSurface = skip(surface, furthest.first, m);
    const int32_t restSpoken = withSpoken ? skip(spoken, furthest.second, n) : 0;
    if (restSurface < m) {
        const RightPass right = alignFromRight(voc, surface, spoken, withSpoken, matchMode, restSurface,
                                               skipBack(surface, m, restSurface), restSpoken,
                                               withSpoken ? skipBack(spoken, n, restSpoken) : 0);
        const int32_t e = right.uncoveredSurfaceEnd;
        if (e > restSurface) {
            const int32_t spokenEnd = withSpoken ? right.uncoveredSpokenEnd : 0;
            VocId middle = kVocNoId;
            if (BrevitParam_Word(kBrevitParamCandidateMode) != 0) {
                const std::vector<uint16_t> a = slice(surface, restSurface, e - restSurface);
                const std::vector<uint16_t> b =
                    withSpoken ? slice(spoken, restSpoken, spokenEnd - restSpoken) : std::vector<uint16_t>{0};
                middle = Voc_LookupMasterIdFromOrthography(voc, a.data(), b.data());
            }
            entries.push_back({middle, restSurface, e - restSurface, withSpoken ? restSpoken : 0,
                               withSpoken ? std::max(spokenEnd - restSpoken, 0) : 0});
        }
        entries.insert(entries.end(), right.entries.begin(), right.entries.end());
    }
    const auto total = static_cast<int32_t>(entries.size());
    const int32_t written = std::min(total, std::max(max, 0));
    const int32_t first = keepPartial != 0 ? total - written : 0;
    for (int32_t k = 0; k < written; ++k) {
        const Entry& x = entries[static_cast<size_t>(first + k)];
        ids[k] = x.id;
        surfaceStarts[k] = x.surfaceStart;
        surfaceLengths[k] = x.surfaceLength;
        spokenStarts[k] = x.spokenStart;
        spokenLengths[k] = x.spokenLength;
    }
    return written;
}

int32_t Voc_MakeSpokenPhraseActive(const Voc* voc, const uint16_t* surface, const uint16_t* spoken,
                                   int32_t keepPartial, int32_t matchMode, int32_t max, VocId* ids,
                                   int32_t* surfaceStarts, int32_t* surfaceLengths, int32_t* spokenStarts,
                                   int32_t* spokenLengths)
{
    return Voc_AlignSpokenPhrase(voc, surface, spoken, keepPartial, matchMode, max, ids, surfaceStarts,
                                 surfaceLengths, spokenStarts, spokenLengths);
}
