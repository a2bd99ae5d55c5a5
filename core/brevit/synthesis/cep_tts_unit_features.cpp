// The 53 context bytes of the unit under the cursor, and the cursor's step
// to the next unit: the phones of each phrase, then the pause after it.
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

#include <cstring>

const uint8_t sPauseFeatures[kCepTTSFeatureCount] = {
    0,   0,   0,   0,   0,   255, 255, 0,   0,   0,                  // 0-9
    255, 255, 255, 255, 255, 255, 255, 255, 255, 255,                // 10-19
    255, 255, 255, 255, 255, 255, 0,   0,   0,   0,                  // 20-29
    0,   255, 255, 255, 255, 255, 255, 255, 255, 0,                  // 30-39
    0,   0,   0,   255, 255, 1,   0,   0,   0,   0,                  // 40-49
    0,   0,   0};                                                    // 50-52

namespace {

// The tree's records around the cursor; neighbours past either end read as
// zeroed records.
struct View {
    const CepTTSUnitTree* t;

    uint16_t phone(int64_t i) const { return i >= 0 && i < t->phoneCount ? t->phones[i] : 0; }
    CepTTSSyllable syllable(int64_t i) const
    {
        return i >= 0 && i <= t->syllableCount ? t->syllables[i] : CepTTSSyllable{};
    }
    CepTTSWord word(int64_t i) const { return i >= 0 && i <= t->wordCount ? t->words[i] : CepTTSWord{}; }
    CepTTSPhrase phrase(int64_t i) const
    {
        return i >= 0 && i <= t->phraseCount ? t->phrases[i] : CepTTSPhrase{};
    }
    // Syllables of a phrase: those of its words.
    int32_t firstSyllable(const CepTTSPhrase& p) const { return word(p.firstWord).firstSyllable; }
    int64_t syllables(const CepTTSPhrase& p) const
    {
        int64_t n = 0;
        for (int32_t w = p.firstWord; w < p.firstWord + p.wordCount; ++w)
            n += word(w).syllableCount;
        return n;
    }
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

void neighbours(const View& v, int32_t f, uint8_t* out)
{
    for (int32_t d = -2; d <= 2; ++d)
        if (d != 0)
            out[d + 2] = CepTTSFeature_Id(v.phone(int64_t{f} + d));
}

// Counts of syllables of the phrase [first, last] flagged (stress or accent)
// before and after y, and the distances to the nearest ones.
void flagged(const View& v, int32_t first, int32_t last, int32_t y, bool accent, uint8_t* before,
             uint8_t* after, uint8_t* previous, uint8_t* next)
{
    auto on = [&](int32_t s) {
        const CepTTSSyllable x = v.syllable(s);
        return (accent ? x.accent : x.stress) != 0;
    };
    int64_t b = 0, a = 0, p = 0, n = 0;
    for (int32_t s = first + 1; s < y; ++s)
        b += on(s) ? 1 : 0;
    for (int32_t s = y + 1; s <= last; ++s)
        a += on(s) ? 1 : 0;
    for (int32_t s = y - 1; s >= first && p == 0; --s)
        p = on(s) ? y - s : 0;
    for (int32_t s = y + 1; s <= last && n == 0; ++s)
        n = on(s) ? s - y : 0;
    *before = CepTTSFeature_Count(1 + b);
    *after = CepTTSFeature_Count(1 + a);
    *previous = CepTTSFeature_Count(p);
    *next = CepTTSFeature_Count(n);
}

void phoneFeatures(const CepTTSFrontEnd* fe, const View& v, const CepTTSUnits* u, uint8_t* out)
{
    const CepTTSUnitTree* t = v.t;
    const int32_t f = u->phone, y = u->syllable, w = u->word, p = u->phrase;
    const CepTTSSyllable Y = v.syllable(y);
    const CepTTSWord W = v.word(w);
    const CepTTSPhrase P = v.phrase(p);
    neighbours(v, f, out);
    out[2] = CepTTSFeature_Id(v.phone(f));
    out[5] = CepTTSFeature_Count(int64_t{f} - Y.firstPhone + 1);
    out[6] = CepTTSFeature_Count(int64_t{Y.phoneCount} - (f - Y.firstPhone));
    const CepTTSSyllable before = v.syllable(int64_t{y} - 1), after = v.syllable(int64_t{y} + 1);
    out[7] = before.stress ? 1 : 0;
    out[8] = before.accent ? 1 : 0;
    out[9] = CepTTSFeature_Count(before.phoneCount);
    out[10] = Y.stress ? 1 : 0;
    out[11] = Y.accent ? 1 : 0;
    out[12] = CepTTSFeature_Count(Y.phoneCount);
    out[13] = CepTTSFeature_Count(int64_t{y} - W.firstSyllable + 1);
    out[14] = CepTTSFeature_Count(int64_t{W.syllableCount} - (y - W.firstSyllable));
    const int32_t first = v.firstSyllable(P);
    const int32_t last = static_cast<int32_t>(first + v.syllables(P) - 1);
    out[15] = CepTTSFeature_Count(int64_t{y} - first + 1);
    out[16] = CepTTSFeature_Count(int64_t{last} - y + 1);
    flagged(v, first, last, y, false, &out[17], &out[18], &out[21], &out[22]);
    flagged(v, first, last, y, true, &out[19], &out[20], &out[23], &out[24]);
    out[25] = 0;
    for (int32_t k = Y.firstPhone; k < Y.firstPhone + Y.phoneCount; ++k)
        if (isVowel(fe, v.phone(k))) {
            out[25] = CepTTSFeature_Id(v.phone(k));
            break;
        }
    out[26] = after.stress ? 1 : 0;
    out[27] = after.accent ? 1 : 0;
    out[28] = CepTTSFeature_Count(after.phoneCount);
    const CepTTSWord wb = v.word(int64_t{w} - 1), wa = v.word(int64_t{w} + 1);
    out[29] = CepTTSFeature_Id(wb.posClass);
    out[30] = CepTTSFeature_Count(wb.syllableCount);
    out[31] = CepTTSFeature_Id(W.posClass);
    out[32] = CepTTSFeature_Count(W.syllableCount);
    out[33] = CepTTSFeature_Count(int64_t{w} - P.firstWord + 1);
    out[34] = CepTTSFeature_Count(int64_t{P.wordCount} - (w - P.firstWord));
    int64_t classBefore = 0, classAfter = 0, previous = 0, next = 0;
    const int32_t lastWord = P.firstWord + P.wordCount - 1;
    auto classWord = [&](int32_t k) { return v.word(k).posClass == fe->accentClass; };
    for (int32_t k = P.firstWord; k < w; ++k)
        classBefore += classWord(k) ? 1 : 0;
    for (int32_t k = w + 1; k <= lastWord; ++k)
        classAfter += classWord(k) ? 1 : 0;
    for (int32_t k = w - 1; k >= P.firstWord && previous == 0; --k)
        previous = classWord(k) ? w - k : 0;
    for (int32_t k = w + 1; k <= lastWord && next == 0; ++k)
        next = classWord(k) ? k - w : 0;
    out[35] = CepTTSFeature_Count(1 + classBefore);
    out[36] = CepTTSFeature_Count(classAfter);
    out[37] = CepTTSFeature_Count(previous);
    out[38] = CepTTSFeature_Count(next);
    out[39] = CepTTSFeature_Id(wa.posClass);
    out[40] = CepTTSFeature_Count(wa.syllableCount);
    const CepTTSPhrase pb = v.phrase(int64_t{p} - 1), pa = v.phrase(int64_t{p} + 1);
    out[41] = CepTTSFeature_Count(v.syllables(pb));
    out[42] = CepTTSFeature_Count(pb.wordCount);
    out[43] = CepTTSFeature_Count(v.syllables(P));
    out[44] = CepTTSFeature_Count(P.wordCount);
    out[45] = CepTTSFeature_Count(p);
    out[46] = CepTTSFeature_Count(int64_t{t->phraseCount} - (p - 1));
    out[47] = P.endType == kCepTTSEndMinor || P.endType == kCepTTSEndSentence ? static_cast<uint8_t>(P.endType) : 0;
    out[48] = p < t->phraseCount ? CepTTSFeature_Count(v.syllables(pa)) : 0;
    out[49] = p < t->phraseCount ? CepTTSFeature_Count(pa.wordCount) : 0;
    out[50] = CepTTSFeature_Count(t->syllableCount);
    out[51] = CepTTSFeature_Count(t->wordCount);
    out[52] = CepTTSFeature_Count(t->phraseCount);
}

void pauseFeatures(const View& v, const CepTTSUnits* u, uint8_t* out)
{
    const CepTTSUnitTree* t = v.t;
    std::memcpy(out, sPauseFeatures, kCepTTSFeatureCount);
    neighbours(v, u->phone, out);
    const CepTTSSyllable Y = v.syllable(u->syllable), after = v.syllable(int64_t{u->syllable} + 1);
    out[7] = Y.stress ? 1 : 0;
    out[8] = Y.accent ? 1 : 0;
    out[9] = CepTTSFeature_Count(Y.phoneCount);
    out[26] = after.stress ? 1 : 0;
    out[27] = after.accent ? 1 : 0;
    out[28] = CepTTSFeature_Count(after.phoneCount);
    const CepTTSWord W = v.word(u->word), wa = v.word(int64_t{u->word} + 1);
    out[29] = CepTTSFeature_Id(W.posClass);
    out[30] = CepTTSFeature_Count(W.syllableCount);
    out[39] = CepTTSFeature_Id(wa.posClass);
    out[40] = CepTTSFeature_Count(wa.syllableCount);
    const CepTTSPhrase P = v.phrase(u->phrase), pa = v.phrase(int64_t{u->phrase} + 1);
    out[41] = CepTTSFeature_Count(v.syllables(P));
    out[42] = CepTTSFeature_Count(P.wordCount);
    out[46] = CepTTSFeature_Count(t->phraseCount);
    const bool last = u->phrase >= t->phraseCount;
    out[48] = last ? 0 : CepTTSFeature_Count(v.syllables(pa));
    out[49] = last ? 0 : CepTTSFeature_Count(pa.wordCount);
    out[50] = CepTTSFeature_Count(t->syllableCount);
    out[51] = CepTTSFeature_Count(t->wordCount);
    out[52] = CepTTSFeature_Count(t->phraseCount);
}

void advanceAfterPhone(const View& v, CepTTSUnits* u)
{
    const int32_t next = u->phone + 1;
    u->phone = next;
    if (v.phone(next) == kCepTTSPause)
        return;
    const CepTTSSyllable Y = v.syllable(u->syllable);
    if (next >= Y.firstPhone + Y.phoneCount)
        ++u->syllable;
    const CepTTSWord W = v.word(u->word);
    if (next >= W.firstPhone + W.phoneCount) {
        ++u->word;
        const CepTTSPhrase P = v.phrase(u->phrase);
        if (u->word >= P.firstWord + P.wordCount)
            ++u->phrase;
    }
}

void advanceAfterPause(const View& v, CepTTSUnits* u)
{
    if (u->phrase >= v.t->phraseCount) {
        u->finished = 1;
        return;
    }
    ++u->phrase;
    ++u->word;
    ++u->syllable;
    ++u->phone;
}

} // namespace

int32_t CepTTSFrontEnd_GetUnitFeatures(const CepTTSFrontEnd* f, CepTTSUnits* u, uint8_t* features)
{
    if (u == nullptr || u->finished || u->tree == nullptr)
        return 0;
    const View v{u->tree};
    if (v.phone(u->phone) == kCepTTSPause) {
        pauseFeatures(v, u, features);
        advanceAfterPause(v, u);
    } else {
        phoneFeatures(f, v, u, features);
        advanceAfterPhone(v, u);
    }
    return 1;
}
