// Choice records: order, N-best insertion with duplicate merging, copying
// into the engine's choice-list form and boundary variants.
#include "core/brevit/search/choice_record.h"

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>

namespace {

// Values compared as values: differences of far-apart scores overflow.
int32_t sign(int64_t a, int64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

int32_t wordsOf(const ChoiceRecord* r) { return std::clamp(r->wordCount, 0, kChoiceRecordWords); }

bool sameWords(const Voc* vocabulary, const ChoiceRecord* a, const ChoiceRecord* b)
{
    if (a->wordCount != b->wordCount)
        return false;
    const bool byPron = BrevitParam_Word(kBrevitParamDuplicateByPronIds) != 0;
    for (int32_t i = 0; i < wordsOf(a); ++i) {
        if (byPron || vocabulary == nullptr) {
            if (a->prons[i] != b->prons[i])
                return false;
            continue;
        }
        const uint32_t wa = Voc_ActiveIdToVocId(vocabulary, Voc_GetActiveIdFromPronId(vocabulary, a->prons[i], nullptr));
        const uint32_t wb = Voc_ActiveIdToVocId(vocabulary, Voc_GetActiveIdFromPronId(vocabulary, b->prons[i], nullptr));
        if (wa != wb)
            return false;
    }
    return true;
}

} // namespace

int32_t ChoiceRecord_Compare(const ChoiceRecord* a, const ChoiceRecord* b)
{
    if (int32_t s = sign(a->score, b->score))
        return s;
    if (int32_t s = sign(a->wordCount, b->wordCount))
        return s;
    const int32_t n = wordsOf(a);
    for (int32_t i = 0; i < n; ++i) {
        if (int32_t s = sign(a->prons[i], b->prons[i]))
            return s;
        if (int32_t s = sign(a->flags[i], b->flags[i]))
            return s;
    }
    if (n < kChoiceRecordFlags)
        if (int32_t s = sign(a->flags[n], b->flags[n]))
            return s;
    return sign(a->secondary, b->secondary);
}

void ChoiceRecord_Sort(ChoiceRecord* records, int32_t n)
{
    if (n > 1)
        std::stable_sort(records, records + n, [](const ChoiceRecord& a, const ChoiceRecord& b) {
            return ChoiceRecord_Compare(&a, &b) < 0;
        });
}

void ChoiceRecord_AddScore(ChoiceRecord* records, int32_t n, int32_t delta)
{
    for (int32_t i = 0; i < n; ++i)
        records[i].score += delta;
}

int32_t ChoiceRecord_Equal(const ChoiceRecord* a, const ChoiceRecord* b, int32_t withFlags)
{
    if (a->wordCount != b->wordCount)
        return 0;
    const int32_t n = wordsOf(a);
    for (int32_t i = 0; i < n; ++i)
        if (a->prons[i] != b->prons[i] || (withFlags && a->flags[i] != b->flags[i]))
            return 0;
    return 1;
}

int32_t ChoiceRecord_InsertNBest(const Voc* vocabulary, const ChoiceRecord* record, ChoiceRecord* list,
                                 int32_t* count, int32_t capacity)
{
    if (record == nullptr || capacity < 1)
        return kChoiceNotFound;
    if (*count <= 0) {
        list[0] = *record;
        *count = 1;
        return 0;
    }
    int32_t duplicate = -1;
    for (int32_t i = 0; i < *count && duplicate < 0; ++i)
        if (sameWords(vocabulary, record, &list[i]))
            duplicate = i;
    const int32_t front = list[0].score;
    if (duplicate == 0) {
        list[0] = *record;
        ChoiceRecord_AddScore(list + 1, *count - 1, record->score - front);
        return 0;
    }
    const int32_t delta = record->score + 10 - front;
    if (duplicate > 0) {
        std::memmove(list + 1, list, static_cast<size_t>(duplicate) * sizeof(ChoiceRecord));
        list[0] = *record;
        ChoiceRecord_AddScore(list + 1, *count - 1, delta);
        return duplicate;
    }
    if (*count < capacity)
        ++*count;
    std::memmove(list + 1, list, static_cast<size_t>(*count - 1) * sizeof(ChoiceRecord));
    list[0] = *record;
    ChoiceRecord_AddScore(list + 1, *count - 1, delta);
    return kChoiceNotFound;
}

void ChoiceRecord_FillChoiceList(const ChoiceRecord* records, const Voc* vocabulary, int32_t* count, int32_t limit,
                                 int32_t* scores, int32_t capacity, uint32_t* wordIds, uint8_t* flags,
                                 uint16_t* values)
{
    int32_t copied = 0;
    int32_t written = 0;
    for (int32_t c = 0; c < *count && copied < limit; ++c) {
        const ChoiceRecord& r = records[c];
        const int32_t n = wordsOf(&r);
        if (written + n + 1 > capacity)
            break;
        for (int32_t i = 0; i <= n; ++i) {
            wordIds[written] = i < n ? Voc_PronIdToVocId(vocabulary, r.prons[i]) : 0xFFFFFFFFu;
            if (flags != nullptr)
                flags[written] = i < kChoiceRecordFlags ? r.flags[i] : 0;
            if (values != nullptr)
                values[written] = 65535;
            ++written;
        }
        scores[copied++] = r.score;
    }
    *count = copied;
}

int32_t ChoiceRecord_ExpandBoundaryVariants(int32_t count, const ChoiceRecord* records, ChoiceRecord* out,
                                            int32_t* origins, int32_t* variants)
{
    int64_t total = 0;
    for (int32_t r = 0; r < count; ++r) {
        const int32_t boundaries = std::max(wordsOf(&records[r]) - 1, 0);
        // Formed in 64 bits: a count that does not fit the result gives none.
        const int64_t n = boundaries < 31 ? int64_t{1} << boundaries : 0;
        if (n == 0 || total + n > INT32_MAX)
            continue;
        if (out != nullptr)
            for (int64_t v = 0; v < n; ++v) {
                ChoiceRecord& o = out[total + v];
                o = records[r];
                for (int32_t i = 0; i < boundaries; ++i)
                    o.flags[i] = static_cast<uint8_t>((v >> i) & 1);
                if (origins != nullptr)
                    origins[total + v] = r;
                if (variants != nullptr)
                    variants[total + v] = static_cast<int32_t>(v);
            }
        total += n;
    }
    return static_cast<int32_t>(total);
}
