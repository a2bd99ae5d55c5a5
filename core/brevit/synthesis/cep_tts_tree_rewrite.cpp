// The tree rewritten by the context rules: written out as one string of
// rule symbols, rewritten set by set, and read back into a new tree whose
// words then take their syllables from where their first phones lie.
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/cep_tts_rules.h"

namespace {

int64_t writtenLength(const CepTTSUnitTree* t)
{
    int64_t n = 0;
    for (int32_t p = 1; p <= t->phraseCount; ++p) {
        n += 3;
        const CepTTSPhrase& phrase = t->phrases[p];
        for (int32_t w = phrase.firstWord; w < phrase.firstWord + phrase.wordCount; ++w) {
            const CepTTSWord& word = t->words[w];
            n += 3;
            for (int32_t y = word.firstSyllable; y < word.firstSyllable + word.syllableCount; ++y)
                n += 2 + t->syllables[y].phoneCount;
        }
    }
    return n;
}

int32_t writeOut(const CepTTSFrontEnd* f, const CepTTSUnitTree* t, uint16_t* out)
{
    const CepTTSRuleBlock* b = f->rules;
    const uint16_t* m = f->markers;
    int32_t n = 0;
    auto put = [&](uint16_t s) {
        if (s != 0)
            out[n++] = s;
    };
    for (int32_t p = 1; p <= t->phraseCount; ++p) {
        const CepTTSPhrase& phrase = t->phrases[p];
        put(m[kCepTTSMarkPhraseStart]);
        for (int32_t w = phrase.firstWord; w < phrase.firstWord + phrase.wordCount; ++w) {
            const CepTTSWord& word = t->words[w];
            put(m[kCepTTSMarkWordStart]);
            put(LMIndexTable_Get(b->tagSymbols, word.tag));
            put(LMIndexTable_Get(b->semanticSymbols, static_cast<int32_t>(word.semanticId)));
            for (int32_t y = word.firstSyllable; y < word.firstSyllable + word.syllableCount; ++y) {
                const CepTTSSyllable& s = t->syllables[y];
                put(m[kCepTTSMarkSyllableStart]);
                put(m[s.stress ? kCepTTSMarkStressed : kCepTTSMarkUnstressed]);
                for (int32_t k = s.firstPhone; k < s.firstPhone + s.phoneCount; ++k)
                    put(LMIndexTable_Get(b->phoneSymbols, t->phones[k]));
            }
        }
        put(m[kCepTTSMarkPhraseEnd]);
        put(m[phrase.endType == kCepTTSEndMinor ? kCepTTSMarkEndMinor : kCepTTSMarkEndSentence]);
    }
    return n;
}

// Reads the string back: with a null tree it only counts. Phrases, words
// and syllables are opened as pending and made only at their first phone,
// so ones that stay empty vanish.
class Reader {
public:
    Reader(const CepTTSFrontEnd* f, CepTTSUnitTree* t) : m_f(f), m_b(f->rules), m_t(t) {}

    void read(const uint16_t* s, int32_t n)
    {
        const uint16_t* m = m_f->markers;
        for (int32_t i = 0; i < n; ++i) {
            const uint16_t x = s[i];
            if (x == 0 || x > m_b->symbolCount)
                continue;
            const uint32_t kind = CepTTSRuleBlock_Kind(m_b, x);
            if (x == m[kCepTTSMarkPhraseStart]) {
                closePhrase();
                m_phrasePending = true;
            } else if (x == m[kCepTTSMarkPhraseEnd]) {
                int32_t type = kCepTTSEndMinor;
                if (i + 1 < n && (s[i + 1] == m[kCepTTSMarkEndMinor] || s[i + 1] == m[kCepTTSMarkEndSentence]))
                    type = s[++i] == m[kCepTTSMarkEndMinor] ? kCepTTSEndMinor : kCepTTSEndSentence;
                m_endType = type;
                closePhrase();
            } else if (x == m[kCepTTSMarkWordStart]) {
                openWord(s, n, &i);
            } else if (x == m[kCepTTSMarkSyllableStart]) {
                openSyllable(s, n, &i);
            } else if (kind == kCepTTSSymbolPhone) {
                phone(m_b->symbolValues[x]);
            }
        }
        closePhrase();
    }

    int64_t phrases = 0, words = 0, syllables = 0, phones = 0;
    // Next phone slot of the tree: 0 is the opening pause, and a pause goes
    // between phrases.
    int32_t m_at = 1;

private:
    void closePhrase()
    {
        if (m_inPhrase && m_t != nullptr)
            m_t->phrases[phrases].endType = m_endType;
        m_inPhrase = m_inWord = m_inSyllable = false;
        m_phrasePending = m_wordPending = m_syllablePending = false;
        m_endType = kCepTTSEndMinor;
    }

    void openWord(const uint16_t* s, int32_t n, int32_t* i)
    {
        m_wordPending = true;
        m_inWord = false;
        m_word = CepTTSWord{};
        m_word.vocId = 0xFFFFFFFFu;
        m_word.tag = m_f->defaultTag;
        m_word.position = -1;
        if (*i + 1 < n && CepTTSRuleBlock_Kind(m_b, s[*i + 1]) == kCepTTSSymbolTag) {
            m_word.tag = m_b->symbolValues[s[++*i]];
            if (*i + 1 < n && CepTTSRuleBlock_Kind(m_b, s[*i + 1]) == kCepTTSSymbolSemantic)
                m_word.semanticId = m_b->symbolValues[s[++*i]];
        }
        m_word.posClass = LMIndexTable_Get(m_f->posClassTable, m_word.tag);
    }

    void openSyllable(const uint16_t* s, int32_t n, int32_t* i)
    {
        m_syllablePending = true;
        m_inSyllable = false;
        m_syllable = CepTTSSyllable{};
        const uint16_t* m = m_f->markers;
        if (*i + 1 < n && s[*i + 1] == m[kCepTTSMarkStressed]) {
            ++*i;
            m_syllable.stress = 1;
            m_syllable.accent = m_word.posClass == m_f->accentClass ? 1 : 0;
        } else if (*i + 1 < n && s[*i + 1] == m[kCepTTSMarkUnstressed]) {
            ++*i;
        }
    }

    void phone(uint16_t id)
    {
        if (!m_inPhrase) {
            ++phrases;
            if (m_t != nullptr && phrases > 1)
                m_t->phones[m_at++] = kCepTTSPause;
            if (m_t != nullptr)
                m_t->phrases[phrases] = {kCepTTSEndMinor, static_cast<int32_t>(words + 1), 0};
            m_inPhrase = true;
            m_phrasePending = false;
            m_inWord = m_inSyllable = false;
        }
        if (!m_inWord) {
            ++words;
            if (m_t != nullptr) {
                if (!m_wordPending) {
                    m_word = CepTTSWord{};
                    m_word.vocId = 0xFFFFFFFFu;
                    m_word.tag = m_f->defaultTag;
                    m_word.position = -1;
                    m_word.posClass = LMIndexTable_Get(m_f->posClassTable, m_word.tag);
                }
                m_word.firstPhone = m_at;
                m_t->words[words] = m_word;
                ++m_t->phrases[phrases].wordCount;
            }
            m_inWord = true;
            m_wordPending = false;
        }
        if (!m_inSyllable) {
            ++syllables;
            if (m_t != nullptr) {
                if (!m_syllablePending)
                    m_syllable = CepTTSSyllable{};
                m_syllable.firstPhone = m_at;
                m_t->syllables[syllables] = m_syllable;
            }
            m_inSyllable = true;
            m_syllablePending = false;
        }
        ++phones;
        if (m_t != nullptr) {
            m_t->phones[m_at++] = id;
            ++m_t->words[words].phoneCount;
            ++m_t->syllables[syllables].phoneCount;
        }
    }

    const CepTTSFrontEnd* m_f;
    const CepTTSRuleBlock* m_b;
    CepTTSUnitTree* m_t;
    bool m_inPhrase = false, m_inWord = false, m_inSyllable = false;
    bool m_phrasePending = false, m_wordPending = false, m_syllablePending = false;
    int32_t m_endType = kCepTTSEndMinor;
    CepTTSWord m_word{};
    CepTTSSyllable m_syllable{};
};

bool isVowel(const CepTTSFrontEnd* f, uint16_t phone)
{
    const uint16_t* members = nullptr;
    int32_t length = 0;
    LMRewrite_GetRewritesForId(f->phones->phoneClassRewrites, f->phones->vowelClass, &members, &length);
    for (int32_t k = 0; k < length; ++k)
        if (members[k] == phone)
            return true;
    return false;
}

// Each word's first syllable holds its first phone, or is the next one when
// that syllable's first vowel comes before the word's first phone.
void assignSyllables(const CepTTSFrontEnd* f, CepTTSUnitTree* t)
{
    int32_t y = 1;
    for (int32_t w = 1; w <= t->wordCount; ++w) {
        CepTTSWord& word = t->words[w];
        while (y < t->syllableCount &&
               t->syllables[y].firstPhone + t->syllables[y].phoneCount <= word.firstPhone)
            ++y;
        int32_t first = y;
        const CepTTSSyllable& s = t->syllables[y];
        for (int32_t k = s.firstPhone; k < s.firstPhone + s.phoneCount; ++k)
            if (isVowel(f, t->phones[k])) {
                if (k < word.firstPhone)
                    first = y + 1;
                break;
            }
        word.firstSyllable = first;
    }
    for (int32_t w = 1; w <= t->wordCount; ++w) {
        const int32_t next = w < t->wordCount ? t->words[w + 1].firstSyllable : t->syllableCount + 1;
        const int32_t count = next - t->words[w].firstSyllable;
        t->words[w].syllableCount = count > 0 ? count : 0;
    }
}

} // namespace

int32_t CepTTSFrontEnd_RewriteTree(const CepTTSFrontEnd* f, CepTTSUnitTree** tree)
{
    if (f->rules == nullptr || *tree == nullptr)
        return 0;
    CepTTSScratch scratch;
    const int64_t length = writtenLength(*tree);
    auto* written = CepTTSScratch::zeroed<uint16_t>(length);
    int32_t n = writeOut(f, *tree, written);
    int32_t rewrittenLength = 0;
    uint16_t* rewritten = CepTTSRules_Apply(f->rules->rules, written, n, &rewrittenLength);
    const uint16_t* s = rewritten != nullptr ? rewritten : written;
    n = rewritten != nullptr ? rewrittenLength : n;

    Reader count(f, nullptr);
    count.read(s, n);
    CepTTSUnitTree* t = nullptr;
    if (count.phrases > 0 && count.words > 0 && count.syllables > 0 && count.phones > 0)
        t = CepTTSUnitTree_Create(count.phrases, count.words, count.syllables, count.phones + count.phrases + 1);
    if (t != nullptr) {
        Reader fill(f, t);
        fill.read(s, n);
        t->phraseCount = static_cast<int32_t>(fill.phrases);
        t->wordCount = static_cast<int32_t>(fill.words);
        t->syllableCount = static_cast<int32_t>(fill.syllables);
        t->phones[fill.m_at] = kCepTTSPause;
        t->phoneCount = fill.m_at + 1;
        assignSyllables(f, t);
    }
    DVKMem_Free(rewritten);
    if (t == nullptr)
        return 0;
    CepTTSUnitTree_Delete(*tree);
    *tree = t;
    return 1;
}
