// Free text cut into word-list words. Three tokenizers share one output
// scheme: tokens beyond max are either dropped or, with wrap, kept as the
// last max (written round-robin and rotated into text order at the end);
// the count is always every token found. The matcher is handed at most the
// longest surface form of the text at a time, so a token costs the same
// wherever it lies and characters far ahead cannot spoil its encoding.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <cstring>

namespace {

constexpr int32_t kMaxCandidates = 30;
constexpr uint8_t kScriptChangeBit = 8;

struct CharInfo {
    uint32_t script;
    bool digit;
    bool grapheme;
};

CharInfo infoOf(uint16_t c)
{
    CharInfo info{};
    DVKUnicode_GetCharInfo(c, 0, &info.script, nullptr, nullptr, &info.digit, &info.grapheme);
    return info;
}

// As many words beginning at one place as the tokenizer looks at: it cannot
// tell which is the longest, so the text gets no tokens; said once per text.
bool tooManyAt(int32_t matches, int32_t at)
{
    if (matches < kMaxCandidates)
        return false;
    DVKErr_Warn(__FILE__, __LINE__, "tokenizer: %d words begin at character %d, the text is not tokenized",
                kMaxCandidates, at);
    return true;
}

bool sameClass(const CharInfo& a, const CharInfo& b)
{
    return a.script == b.script && a.digit == b.digit && a.grapheme == b.grapheme;
}

bool inWhiteSet(uint16_t c)
{
    for (const uint16_t* w = kDVKUniWhiteSpace; *w != 0; ++w)
        if (*w == c)
            return true;
    return false;
}

// The caller's arrays and the tokens written so far.
struct Output {
    int32_t max;
    int32_t wrap;
    uint32_t* ids;
    int32_t* starts;
    int32_t* lengths;
    uint8_t* flags;
    uint8_t* matches;
    int32_t count;
    // The last token, whatever was written (the script-aware merge).
    VocId lastId;
    int32_t lastStart;
    int32_t lastLength;
};

int32_t slotOf(const Output& out, int32_t index)
{
    if (out.max < 1)
        return -1;
    if (index < out.max)
        return index;
    return out.wrap != 0 ? index % out.max : -1;
}

void emit(Output& out, VocId id, int32_t start, int32_t length, uint8_t match)
{
    const int32_t slot = slotOf(out, out.count);
    if (slot >= 0) {
        if (out.ids != nullptr)
            out.ids[slot] = id;
        if (out.starts != nullptr)
            out.starts[slot] = start;
        if (out.lengths != nullptr)
            out.lengths[slot] = length;
        if (out.matches != nullptr)
            out.matches[slot] = match;
    }
    ++out.count;
    out.lastId = id;
    out.lastStart = start;
    out.lastLength = length;
}

void growLast(Output& out, int32_t length)
{
    out.lastLength += length;
    const int32_t slot = slotOf(out, out.count - 1);
    if (slot >= 0 && out.lengths != nullptr)
        out.lengths[slot] = out.lastLength;
}

template <typename T>
void rotate(T* array, int32_t n, int32_t first)
{
    if (array == nullptr)
        return;
    // Three reversals: [first, n) then [0, first) in place.
    auto reverse = [array](int32_t a, int32_t b) {
        for (--b; a < b; ++a, --b) {
            T t = array[a];
            array[a] = array[b];
            array[b] = t;
        }
    };
    reverse(0, first);
    reverse(first, n);
    reverse(0, n);
}

void begin(Output& out)
{
    out.count = 0;
    out.lastId = kVocNoId;
    out.lastStart = out.lastLength = 0;
    if (out.max > 0 && out.flags != nullptr)
        std::memset(out.flags, 0, static_cast<size_t>(out.max));
}

// Wrapped tokens into text order, then the script-change bits.
void finish(Output& out, const uint16_t* text)
{
    if (out.max < 1)
        return;
    if (out.wrap != 0 && out.count > out.max) {
        const int32_t first = out.count % out.max;
        rotate(out.ids, out.max, first);
        rotate(out.starts, out.max, first);
        rotate(out.lengths, out.max, first);
        rotate(out.matches, out.max, first);
    }
    if (out.flags == nullptr || out.starts == nullptr)
        return;
    const int32_t kept = out.count < out.max ? out.count : out.max;
    for (int32_t k = 1; k < kept; ++k)
        if (infoOf(text[out.starts[k]]).script != infoOf(text[out.starts[k - 1]]).script)
            out.flags[k] |= kScriptChangeBit;
}

// What the tokenizers share: the text, its length, a bounded window for the
// matcher and room for one candidate's forms.
struct Context {
    const Voc* voc;
    const uint16_t* text;
    int32_t length;
    int32_t window;      // longest surface form
    uint16_t* piece;     // window + 1 units
    uint16_t* surface;   // longest surface form + 2
    uint16_t* spoken;    // longest spoken form + 2
    VocId candidates[kMaxCandidates];
};

bool makeContext(Context& c, const Voc* voc, const uint16_t* text)
{
    c.voc = voc;
    c.text = text;
    c.length = DVKUnicode_Length(text);
    c.window = Voc_GetMaxSurfaceFormLength(voc);
    if (c.window < 1)
        c.window = 1;
    const int32_t spoken = Voc_GetMaxSpokenFormLength(voc);
    c.piece = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(c.window + 1) * 2));
    c.surface = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(c.window + 2) * 2));
    c.spoken = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>((spoken > 0 ? spoken : 0) + 2) * 2));
    return true;
}

// The window of the text from start, terminated.
const uint16_t* pieceAt(Context& c, int32_t start)
{
    int32_t n = c.length - start;
    if (n > c.window)
        n = c.window;
    std::memcpy(c.piece, c.text + start, static_cast<size_t>(n) * 2);
    c.piece[n] = 0;
    return c.piece;
}

int32_t matchesAt(Context& c, int32_t start, int32_t matchMode)
{
    return Voc_GetMatchesAtStart(c.voc, pieceAt(c, start), matchMode, 1, 0, kMaxCandidates, c.candidates);
}

// The candidate's surface length (its forms left in c.surface, c.spoken).
int32_t formsOf(Context& c, VocId id)
{
    Voc_GetOrthography(c.voc, id, c.surface, c.spoken);
    return DVKUnicode_Length(c.surface);
}

VocId firstExactMatch(Context& c, int32_t start, int32_t length, int32_t caseFlag)
{
    if (length > c.window)
        return kVocNoId;
    std::memcpy(c.piece, c.text + start, static_cast<size_t>(length) * 2);
    c.piece[length] = 0;
    VocId id = kVocNoId;
    return Voc_GetMatches(c.voc, c.piece, caseFlag, 1, 0, 1, &id) > 0 ? id : kVocNoId;
}

void emitDigits(Context& c, Output& out, int32_t start, int32_t length)
{
    for (int32_t k = 0; k < length; ++k)
        emit(out, firstExactMatch(c, start + k, 1, 0), start + k, 1, 0);
}

int32_t skipSpace(const Context& c, int32_t at)
{
    while (at < c.length && DVKUnicode_IsSpace(c.text[at]))
        ++at;
    return at;
}

// ---- general tokenizer ----

// False when the matcher gave too many candidates (tokenizing stops).
bool generalTokenize(Context& c, Output& out, int32_t matchMode)
{
    int32_t at = skipSpace(c, 0);
    while (at < c.length) {
        const CharInfo first = infoOf(c.text[at]);
        int32_t run = 1;
        if (first.digit || first.grapheme)
            while (at + run < c.length && sameClass(infoOf(c.text[at + run]), first))
                ++run;
        const int32_t n = matchesAt(c, at, matchMode);
        if (tooManyAt(n, at))
            return false;
        VocId best = kVocNoId;
        int32_t bestLength = run;
        bool bestExact = false;
        for (int32_t k = n - 1; k >= 0; --k) {
            const int32_t length = formsOf(c, c.candidates[k]);
            if (length < bestLength || length < 1 || at + length > c.length ||
                DVKUnicode_IsSpace(c.surface[length - 1]))
                continue;
            const CharInfo last = infoOf(c.text[at + length - 1]);
            const bool endsRun = at + length == c.length || !sameClass(infoOf(c.text[at + length]), last) ||
                                 !(last.digit || last.grapheme);
            if (!endsRun)
                continue;
            const bool exact = DVKUnicode_NCompare(c.surface, c.text + at, length) == 0;
            if (best == kVocNoId || length > bestLength || (!bestExact && exact)) {
                best = c.candidates[k];
                bestLength = length;
                bestExact = exact;
            }
        }
        if (best != kVocNoId) {
            emit(out, best, at, bestLength, bestExact ? 1 : 0);
            at += bestLength;
        } else {
            if (first.digit)
                emitDigits(c, out, at, run);
            else
                emit(out, kVocNoId, at, run, 0);
            at += run;
        }
        at = skipSpace(c, at);
    }
    return true;
}

// ---- number- and punctuation-aware tokenizer ----

struct Punctuation {
    const char* language;
    char16_t decimalChar;
    const char16_t* words[5];   // decimal, comma, sentence end, internet dot, point
};

const Punctuation kPunctuation[] = {
    {"dede", u',', {u"Dezimalkomma", u"Komma", u"Punkt", u"Internetpunkt", u"Punkt"}},
    {"engb", u'.', {u"point", u"point", u"full-stop", u"dot", u"dot"}},
    {"enus", u'.', {u"point", u"point", u"period", u"dot", u"dot"}},
    {"eses", u',', {u"coma-decimal", u"coma", u"punto", u"punto-internet", u"punto"}},
    {"frfr", u',', {u"virgule-d\u00E9cimale", u"virgule", u"point", u"point-internet", u"point"}},
    {"itit", u',', {u"virgola-decimale", u"virgola", u"punto", u"punto-internet", u"punto"}},
};

struct PunctuationWords {
    uint16_t decimalChar;
    VocId decimal;
    VocId dot;
    VocId sentenceEnd;
};

bool sameNoCase(const uint16_t* a, const char16_t* b)
{
    const auto* b16 = reinterpret_cast<const uint16_t*>(b);
    return DVKUnicode_Length(a) == DVKUnicode_Length(b16) && DVKUnicode_CompareNoCase(a, b16) == 0;
}

// The word spelled ch whose spoken form is word, -1 when none.
VocId punctuationWord(Context& c, uint16_t ch, const char16_t* word)
{
    const uint16_t spelled[2] = {ch, 0};
    VocId ids[kMaxCandidates];
    const int32_t n = Voc_GetMatches(c.voc, spelled, 0, 1, 0, kMaxCandidates, ids);
    for (int32_t k = 0; k < n && k < kMaxCandidates; ++k) {
        formsOf(c, ids[k]);
        if (sameNoCase(c.spoken, word))
            return ids[k];
    }
    return kVocNoId;
}

bool findPunctuation(Context& c, PunctuationWords& p)
{
    const char* language = Voc_GetLanguage(c.voc);
    if (language == nullptr)
        return false;
    for (const Punctuation& row : kPunctuation) {
        if (std::strncmp(language, row.language, 4) != 0)
            continue;
        p.decimalChar = row.decimalChar;
        p.decimal = punctuationWord(c, p.decimalChar, row.words[0]);
        if (p.decimal == kVocNoId)
            p.decimal = punctuationWord(c, p.decimalChar, row.words[1]);
        p.sentenceEnd = punctuationWord(c, u'.', row.words[2]);
        p.dot = punctuationWord(c, u'.', row.words[3]);
        if (p.dot == kVocNoId)
            p.dot = punctuationWord(c, u'.', row.words[4]);
        return p.decimal != kVocNoId && p.dot != kVocNoId && p.sentenceEnd != kVocNoId;
    }
    return false;
}

bool isWordChar(uint16_t ch)
{
    const CharInfo i = infoOf(ch);
    return i.digit || i.grapheme;
}

int32_t digitsFrom(const Context& c, int32_t at)
{
    int32_t n = 0;
    while (at + n < c.length && DVKUnicode_IsDigit(c.text[at + n]))
        ++n;
    return n;
}

// Decimal characters joining the digit runs from at (a digit run); its end
// in *end.
int32_t joinedDecimals(const Context& c, int32_t at, uint16_t decimalChar, int32_t* end)
{
    int32_t count = 0;
    at += digitsFrom(c, at);
    while (at + 1 < c.length && c.text[at] == decimalChar && DVKUnicode_IsDigit(c.text[at + 1])) {
        ++count;
        at += 1 + digitsFrom(c, at + 1);
    }
    *end = at;
    return count;
}

// A number: the integer part as one word or digit by digit, the decimal
// word, the fraction digit by digit. Returns where it ends.
int32_t emitNumber(Context& c, Output& out, const PunctuationWords& p, int32_t at, int32_t digits)
{
    const VocId whole = firstExactMatch(c, at, digits, 0);
    if (whole != kVocNoId)
        emit(out, whole, at, digits, 0);
    else
        emitDigits(c, out, at, digits);
    emit(out, p.decimal, at + digits, 1, 0);
    const int32_t fraction = digitsFrom(c, at + digits + 1);
    emitDigits(c, out, at + digits + 1, fraction);
    return at + digits + 1 + fraction;
}

bool numberTokenize(Context& c, Output& out)
{
    PunctuationWords p{};
    if (!findPunctuation(c, p)) {
        emit(out, kVocNoId, 0, c.length, 0);
        return true;
    }
    int32_t plainUntil = 0;   // digit runs before this are no numbers
    int32_t at = skipSpace(c, 0);
    while (at < c.length) {
        int32_t run = 1;
        bool allDigits = DVKUnicode_IsDigit(c.text[at]);
        if (isWordChar(c.text[at]))
            while (at + run < c.length && isWordChar(c.text[at + run])) {
                allDigits = allDigits && DVKUnicode_IsDigit(c.text[at + run]);
                ++run;
            }
        if (allDigits && at >= plainUntil) {
            int32_t end = 0;
            const int32_t decimals = joinedDecimals(c, at, p.decimalChar, &end);
            if (decimals == 1) {
                at = skipSpace(c, emitNumber(c, out, p, at, run));
                continue;
            }
            if (decimals > 1)
                plainUntil = end;
        }
        const int32_t n = matchesAt(c, at, 0);
        if (tooManyAt(n, at))
            return false;
        VocId best = kVocNoId;
        int32_t bestLength = run;
        bool bestExact = false;
        for (int32_t k = n - 1; k >= 0; --k) {
            const int32_t length = formsOf(c, c.candidates[k]);
            if (length < bestLength || length < 1 || at + length > c.length ||
                DVKUnicode_IsSpace(c.surface[length - 1]))
                continue;
            if (at + length < c.length && isWordChar(c.text[at + length - 1]) && isWordChar(c.text[at + length]))
                continue;
            const bool exact = DVKUnicode_NCompare(c.surface, c.text + at, length) == 0;
            if (best == kVocNoId || length > bestLength || !bestExact || exact) {
                best = c.candidates[k];
                bestLength = length;
                bestExact = exact;
            }
        }
        if (best != kVocNoId) {
            if (bestLength == 1 && c.text[at] == u'.')
                best = at + 1 == c.length || inWhiteSet(c.text[at + 1]) ? p.sentenceEnd : p.dot;
            emit(out, best, at, bestLength, bestExact ? 1 : 0);
            at += bestLength;
        } else {
            if (allDigits)
                emitDigits(c, out, at, run);
            else
                emit(out, kVocNoId, at, run, 0);
            at += run;
        }
        at = skipSpace(c, at);
    }
    return true;
}

// ---- script-aware tokenizer ----

void scriptTokenize(Context& c, Output& out, int32_t mode, int32_t matchMode)
{
    auto* infos = static_cast<CharInfo*>(DVKTempMem_Malloc(static_cast<uint32_t>(c.length + 1) * sizeof(CharInfo)));
    for (int32_t k = 0; k < c.length; ++k)
        infos[k] = infoOf(c.text[k]);
    bool previousGrapheme = false;
    int32_t at = skipSpace(c, 0);
    while (at < c.length) {
        const CharInfo first = infos[at];
        const bool wholeWords = mode == 1 && out.count > 0;
        int32_t run = 1;
        if ((DVKUnicode_ScriptHasCase(first.script) != 0 || wholeWords) && (first.digit || first.grapheme))
            while (at + run < c.length && sameClass(infos[at + run], first))
                ++run;
        int32_t n = 0;
        if (wholeWords && run <= c.window) {
            std::memcpy(c.piece, c.text + at, static_cast<size_t>(run) * 2);
            c.piece[run] = 0;
            n = Voc_GetMatches(c.voc, c.piece, matchMode, 1, 0, kMaxCandidates, c.candidates);
        } else {
            n = matchesAt(c, at, matchMode);
        }
        if (n > kMaxCandidates)
            n = kMaxCandidates;
        VocId best = kVocNoId;
        int32_t bestLength = run;
        bool bestExact = false;
        bool bestSpoken = false;
        for (int32_t k = n - 1; k >= 0; --k) {
            const int32_t length = formsOf(c, c.candidates[k]);
            if (length < bestLength || length < 1 || at + length > c.length ||
                DVKUnicode_IsSpace(c.surface[length - 1]))
                continue;
            if (at + length < c.length) {
                const CharInfo& last = infos[at + length - 1];
                const CharInfo& next = infos[at + length];
                if (DVKUnicode_ScriptHasCase(last.script) != 0 && last.script == next.script &&
                    ((last.digit && next.digit) || (last.grapheme && next.grapheme)))
                    continue;
            }
            const bool exact = DVKUnicode_NCompare(c.surface, c.text + at, length) == 0;
            const bool spoken = c.spoken[0] != 0;
            if (best == kVocNoId || length > bestLength || (exact && !bestExact) ||
                (exact == bestExact && !spoken && bestSpoken)) {
                best = c.candidates[k];
                bestLength = length;
                bestExact = exact;
                bestSpoken = spoken;
            }
        }
        if (best != kVocNoId) {
            emit(out, best, at, bestLength, bestExact ? 1 : 0);
            previousGrapheme = infos[at].grapheme;
            at += bestLength;
        } else if (first.digit) {
            emitDigits(c, out, at, run);
            previousGrapheme = false;
            at += run;
        } else {
            if (out.count > 0 && out.lastId == kVocNoId && out.lastStart + out.lastLength == at &&
                infos[out.lastStart].script == first.script && previousGrapheme && first.grapheme)
                growLast(out, run);
            else
                emit(out, kVocNoId, at, run, 0);
            previousGrapheme = first.grapheme;
            at += run;
        }
        at = skipSpace(c, at);
    }
}

}  // namespace

int32_t Voc_Tokenize(const Voc* voc, int32_t kind, const uint16_t* text, int32_t wrapFlag, int32_t matchMode,
                     int32_t max, uint32_t* ids, int32_t* starts, int32_t* lengths, uint8_t* flagBytes,
                     uint8_t* matchBytes)
{
    if (voc == nullptr || text == nullptr)
        return 0;
    if (kind == 1)
        kind = MWL_GetTokenizeType(voc->wordList);
    if (kind < 2 || kind > 9)
        return 0;
    if (max < 0)
        max = 0;
    Output out{max, max > 0 ? wrapFlag : 0, ids, starts, lengths, flagBytes, matchBytes, 0, kVocNoId, 0, 0};
    const uint32_t mark = DVKTempMem_GetMark();
    Context c{};
    makeContext(c, voc, text);
    begin(out);
    bool kept = true;
    if (kind == 2) {
        kept = generalTokenize(c, out, matchMode);
    } else if (kind == 3) {
        kept = numberTokenize(c, out);
    } else {
        if (kind <= 7) {
            generalTokenize(c, out, matchMode);
            finish(out, text);
            begin(out);
        }
        scriptTokenize(c, out, kind == 9 ? 1 : 0, matchMode);
    }
    DVKTempMem_ReleaseToMark(mark);
    if (!kept)
        return 0;
    finish(out, text);
    return out.count;
}

int32_t Voc_CreateTokenVariants(const Voc*, int32_t, const uint16_t*, int32_t, const uint32_t*, const int32_t*,
                                int32_t, uint32_t*)
{
    return 0;
}
