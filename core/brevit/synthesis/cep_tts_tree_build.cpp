// The unit tree of a request: tags, punctuation, pronunciations mapped to
// synthesis phones and syllables, phrases, accents, breaks and cuts.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"
#include "core/brevit/synthesis/tts.h"

#include <algorithm>

namespace {

struct PlanWord {
    VocId id;
    uint16_t tag;
    int32_t pron;
    int32_t punctuation;   // 0 word, else the end type it gives
    bool kept;
    int32_t breakClass;
    int32_t syllables;
    int32_t phones;
};

struct PlanPhrase {
    int32_t first;         // index into the tree words, in order
    int32_t count;
    int32_t endType;
};

constexpr uint16_t kSentenceMarks[] = {u'.', u'.', u'.', u'!', u'?', u':'};

// True when the word's surface form is not empty and lies inside "...!?:".
bool sentencePunctuation(const Voc* voc, VocId id)
{
    CepTTSScratch scratch;
    const int32_t longest = std::max(Voc_GetMaxSurfaceFormLength(voc), 8);
    auto* surface = CepTTSScratch::zeroed<uint16_t>(int64_t{longest} + 1);
    auto* spoken = CepTTSScratch::zeroed<uint16_t>(int64_t{std::max(Voc_GetMaxSpokenFormLength(voc), 8)} + 1);
    Voc_GetOrthography(voc, id, surface, spoken);
    int32_t length = 0;
    while (surface[length] != 0)
        ++length;
    constexpr int32_t marks = sizeof kSentenceMarks / sizeof kSentenceMarks[0];
    if (length == 0 || length > marks)
        return false;
    for (int32_t at = 0; at + length <= marks; ++at)
        if (std::equal(surface, surface + length, kSentenceMarks + at))
            return true;
    return false;
}

// Drops and merges punctuation: none at the start or after a sentence end,
// no comma after a comma, a sentence mark replacing the comma before it.
void punctuate(const CepTTSFrontEnd* f, PlanWord* w, int32_t n)
{
    int32_t state = kCepTTSEndSentence;
    int32_t lastComma = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (w[i].id == kVocNoId)
            continue;
        if (w[i].tag != f->punctuationTagA && w[i].tag != f->punctuationTagB) {
            w[i].kept = true;
            state = 0;
            continue;
        }
        const int32_t kind = sentencePunctuation(f->vocabulary, w[i].id) ? kCepTTSEndSentence : kCepTTSEndMinor;
        if (state == kCepTTSEndSentence || (state == kCepTTSEndMinor && kind == kCepTTSEndMinor))
            continue;
        if (state == kCepTTSEndMinor)
            w[lastComma].kept = false;
        w[i].kept = true;
        w[i].punctuation = kind;
        state = kind;
        lastComma = i;
    }
}

// The synthesis symbols of a pronunciation: stress marks, syllable ends
// and phones, each syllable opened at its first phone.
class PronMapper {
public:
    PronMapper(const CepTTSFrontEnd* f)
        : m_table(f->phones->pronToPhoneRewrites),
          m_stress(f->owner != nullptr ? f->owner->headerShorts[0] : 0),
          m_close(f->owner != nullptr ? f->owner->headerShorts[1] : 0)
    {
    }

    // open(stressed) starts a syllable, stress() marks the open one,
    // phone(id) adds to it.
    template <typename Open, typename Stress, typename Phone>
    void map(const uint16_t* pron, Open&& open, Stress&& stress, Phone&& phone) const
    {
        bool isOpen = false;
        bool pending = false;
        for (; *pron != kLMRewriteEnd; ++pron) {
            const uint16_t* list = nullptr;
            int32_t length = 0;
            LMRewrite_GetRewritesForId(m_table, *pron, &list, &length);
            for (int32_t k = 0; k < length; ++k) {
                const uint16_t s = list[k];
                if (s == 0)
                    continue;
                if (s == m_stress) {
                    if (isOpen)
                        stress();
                    else
                        pending = true;
                } else if (s == m_close) {
                    isOpen = false;
                } else {
                    if (!isOpen)
                        open(pending);
                    isOpen = true;
                    pending = false;
                    phone(s);
                }
            }
        }
    }

private:
    const LMRewrite* m_table;
    uint16_t m_stress;
    uint16_t m_close;
};

// The pronunciation the word speaks (its index past the word's prons takes
// pron 0); null when it has none.
class PronSource {
public:
    explicit PronSource(const Voc* voc)
        : m_voc(voc), m_rows(std::max(Voc_GetMaxNumPronunciations(voc), 1)),
          m_columns(std::max(Voc_GetMaxMasterPronunciationLength(voc), 0) + 2)
    {
        m_prons = CepTTSScratch::zeroed<uint16_t*>(m_rows);
        for (int32_t r = 0; r < m_rows; ++r)
            m_prons[r] = CepTTSScratch::zeroed<uint16_t>(m_columns);
    }

    const uint16_t* get(VocId id, int32_t index) const
    {
        const int32_t count = std::min(Voc_GetMasterPronunciations(m_voc, id, m_rows, m_prons, nullptr), m_rows);
        if (count < 1)
            return nullptr;
        return m_prons[index >= 0 && index < count ? index : 0];
    }

private:
    const Voc* m_voc;
    int32_t m_rows;
    int32_t m_columns;
    uint16_t** m_prons = nullptr;
};

void countPhones(const PronMapper& mapper, const PronSource& source, PlanWord& w)
{
    const uint16_t* pron = source.get(w.id, w.pron);
    if (pron != nullptr)
        mapper.map(pron, [&](bool) { ++w.syllables; }, [] {}, [&](uint16_t) { ++w.phones; });
}

// Phrases of the tree words, cut where they run too long.
int32_t planPhrases(const CepTTSFrontEnd* f, const PlanWord* w, int32_t n, PlanPhrase* phrases,
                    int32_t* treeWords)
{
    CepTTSScratch scratch;
    auto* syllables = CepTTSScratch::zeroed<int32_t>(n);
    auto* classes = CepTTSScratch::zeroed<int32_t>(n);
    auto* cuts = CepTTSScratch::zeroed<int32_t>(n);
    int32_t words = 0;
    int32_t count = 0;
    int32_t first = 0;
    auto close = [&](int32_t endType) {
        if (words == first)
            return;
        const int32_t made = CepTTSFrontEnd_SplitPhrase(f, syllables + first, classes + first, words - first, cuts);
        int32_t start = first;
        for (int32_t c = 0; c < made; ++c) {
            phrases[count++] = {start, first + cuts[c] - start, kCepTTSEndMinor};
            start = first + cuts[c];
        }
        phrases[count++] = {start, words - start, endType};
        first = words;
    };
    for (int32_t i = 0; i < n; ++i) {
        if (!w[i].kept)
            continue;
        if (w[i].punctuation != 0) {
            close(w[i].punctuation);
        } else if (w[i].phones > 0) {
            syllables[words] = w[i].syllables;
            classes[words] = w[i].breakClass;
            treeWords[words++] = i;
        }
    }
    close(kCepTTSEndSentence);
    if (count > 0)
        phrases[count - 1].endType = kCepTTSEndSentence;
    return count;
}

void fillWord(const CepTTSFrontEnd* f, const PronMapper& mapper, const PronSource& source, const PlanWord& p,
              int32_t position, CepTTSUnitTree* t, int32_t* phone)
{
    CepTTSWord& w = t->words[++t->wordCount];
    w.vocId = p.id;
    w.tag = p.tag;
    w.posClass = LMIndexTable_Get(f->posClassTable, p.tag);
    const int32_t semantic = Voc_GetSemanticId(f->vocabulary, p.id);
    w.semanticId = semantic == -1 ? 0 : static_cast<uint32_t>(semantic);
    w.breakClass = p.breakClass;
    w.position = position;
    w.firstSyllable = t->syllableCount + 1;
    w.firstPhone = *phone;
    const bool accented = w.posClass == f->accentClass;
    mapper.map(
        source.get(p.id, p.pron),
        [&](bool stressed) {
            CepTTSSyllable& y = t->syllables[++t->syllableCount];
            y.stress = stressed ? 1 : 0;
            y.accent = stressed && accented ? 1 : 0;
            y.firstPhone = *phone;
        },
        [&] {
            CepTTSSyllable& y = t->syllables[t->syllableCount];
            y.stress = 1;
            y.accent = accented ? 1 : 0;
        },
        [&](uint16_t id) {
            t->phones[(*phone)++] = id;
            ++t->syllables[t->syllableCount].phoneCount;
        });
    w.syllableCount = t->syllableCount + 1 - w.firstSyllable;
    w.phoneCount = *phone - w.firstPhone;
}

} // namespace

int32_t CepTTSFrontEnd_BuildTree(CepTTSFrontEnd* f, int32_t n, const VocId* ids, CepTTSUnitTree** tree)
{
    *tree = nullptr;
    if (n < 1)
        return 0;
    CepTTSScratch scratch;
    auto* w = CepTTSScratch::zeroed<PlanWord>(n);
    const int32_t capacity = std::max(f->tagRewrites->dataLength, 1);
    auto* candidates = CepTTSScratch::zeroed<CepTTSTagCandidate>(capacity);
    for (int32_t i = 0; i < n; ++i) {
        w[i].id = ids[i];
        const int32_t m = CepTTSFrontEnd_TagCandidates(f, &w[i].id, candidates, capacity);
        const CepTTSTagCandidate& c = candidates[CepTTSTagging_Choose(candidates, m)];
        w[i].tag = c.tag;
        w[i].pron = c.pron;
    }
    punctuate(f, w, n);

    auto* tags = CepTTSScratch::zeroed<uint16_t>(n);
    auto* classes = CepTTSScratch::zeroed<int32_t>(n);
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i)
        if (w[i].kept)
            tags[kept++] = w[i].tag;
    CepTTSFrontEnd_BreakClasses(f, tags, kept, classes);
    const PronMapper mapper(f);
    const PronSource source(f->vocabulary);
    int32_t k = 0;
    int64_t syllables = 0;
    int64_t phones = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (!w[i].kept)
            continue;
        w[i].breakClass = classes[k++];
        if (w[i].punctuation != 0) {
            // The word before a kept mark ends its phrase there.
            for (int32_t j = i - 1; j >= 0; --j)
                if (w[j].kept) {
                    w[j].breakClass = w[j].punctuation == 0 ? -1 : w[j].breakClass;
                    break;
                }
            continue;
        }
        countPhones(mapper, source, w[i]);
        syllables += w[i].syllables;
        phones += w[i].phones;
    }
    if (syllables == 0)
        return 0;

    auto* phrases = CepTTSScratch::zeroed<PlanPhrase>(n);
    auto* treeWords = CepTTSScratch::zeroed<int32_t>(n);
    const int32_t phraseCount = planPhrases(f, w, n, phrases, treeWords);
    int32_t wordCount = 0;
    for (int32_t p = 0; p < phraseCount; ++p)
        wordCount += phrases[p].count;
    CepTTSUnitTree* t = CepTTSUnitTree_Create(phraseCount, wordCount, syllables, phones + phraseCount + 1);
    if (t == nullptr)
        return -1;
    int32_t phone = 1;   // phone 0 is the opening pause
    for (int32_t p = 0; p < phraseCount; ++p) {
        CepTTSPhrase& phrase = t->phrases[++t->phraseCount];
        phrase.endType = phrases[p].endType;
        phrase.firstWord = t->wordCount + 1;
        phrase.wordCount = phrases[p].count;
        for (int32_t j = phrases[p].first; j < phrases[p].first + phrases[p].count; ++j)
            fillWord(f, mapper, source, w[treeWords[j]], treeWords[j], t, &phone);
        t->phones[phone++] = kCepTTSPause;
    }
    t->phoneCount = phone;
    if (f->rules != nullptr)
        CepTTSFrontEnd_RewriteTree(f, &t);
    *tree = t;
    return t->phoneCount;
}
