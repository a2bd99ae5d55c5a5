// Texts of the run-time words: encoding a word's surface and spoken forms,
// the text order searched by key, the lookups by text, and the forms and the
// generator's text restored from what is stored.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t byteLength(const uint8_t* text)
{
    return static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(text)));
}

uint8_t* encode(const uint16_t* text, int32_t lower, int32_t encoding, const DVKSCSU* coder,
                int32_t* prefix)
{
    const int32_t n = DVKUnicode_Length(text);
    auto* out = static_cast<uint8_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(4 * n + 1)));
    return MWLCode_ConvertFromUnicode(out, text, lower, encoding, coder, prefix) == kMWLCodeDone
               ? out
               : nullptr;
}

// Decoded by code (1: as stored) into out of (bytes + 1) units.
void decode(uint16_t* out, const uint8_t* text, int32_t code, int32_t encoding, const DVKSCSU* coder)
{
    MWLCode_RestoreSpelling(out, text, byteLength(text), code, encoding, coder);
}

uint16_t* decodeToScratch(const uint8_t* text, int32_t code, int32_t encoding, const DVKSCSU* coder)
{
    auto* out = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(byteLength(text) + 1) * 2));
    decode(out, text, code, encoding, coder);
    return out;
}

// The surface as written: the exact form for class 16, else the key cased
// by its class.
void restoreSurface(const MWLDynamic* s, const MWLDynamicTexts& t, uint16_t* out)
{
    if (t.classByte == kMWLCodeExact && t.exact != nullptr)
        decode(out, t.exact, kMWLCodeNoUpper, mwlPlainEncoding(s), &s->encodings.surfaceCoder);
    else
        decode(out, t.surface, s->exactText != 0 ? t.classByte : kMWLCodeNoUpper,
               s->encodings.surfaceEncoding, &s->encodings.surfaceCoder);
}

// First text-order position whose surface is not below key over n bytes.
uint32_t lowerBound(const MWLDynamic* s, const uint8_t* key, int32_t n)
{
    uint32_t low = 0;
    uint32_t high = s->textOrderCount;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const MWLDynamicRecord& r = mwlRecord(s, mwlAt<uint16_t>(s->textOrder, mid));
        if (mwlCompareString(s->texts, r.textOffset, key, n) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace

int32_t mwlPlainEncoding(const MWLDynamic* s)
{
    return s->encodings.surfaceEncoding == kMWLEncodingSCSU ? kMWLEncodingUTF8
                                                            : s->encodings.surfaceEncoding;
}

uint8_t* mwlEncodeKey(const MWLDynamic* s, const uint16_t* text, int32_t* prefix)
{
    return encode(text, s->exactText != 0 ? 1 : 0, s->encodings.surfaceEncoding,
                  &s->encodings.surfaceCoder, prefix);
}

bool mwlEncodeTexts(const MWLDynamic* s, const uint16_t* surface, const uint16_t* spoken,
                    MWLDynamicTexts* out)
{
    static const uint16_t kEmpty[] = {0};
    if (spoken == nullptr)
        spoken = kEmpty;
    out->surface = mwlEncodeKey(s, surface, nullptr);
    out->spoken = encode(spoken, 0, s->encodings.spokenEncoding, &s->encodings.spokenCoder, nullptr);
    out->classByte = s->exactText != 0 ? static_cast<uint8_t>(MWLCode_GetCode(surface)) : kMWLDynamicNoClass;
    out->exact = nullptr;
    if (out->classByte == kMWLCodeExact)
        out->exact = encode(surface, 0, mwlPlainEncoding(s), &s->encodings.surfaceCoder, nullptr);
    out->surfaceChars = DVKUnicode_Length(surface);
    out->spokenChars = DVKUnicode_Length(spoken);
    return out->surface != nullptr && out->spoken != nullptr &&
           (out->classByte != kMWLCodeExact || out->exact != nullptr);
}

uint32_t mwlTextEntryLength(const MWLDynamic* s, uint32_t index)
{
    const uint32_t at = mwlRecord(s, index).textOffset;
    uint32_t length = mwlStringLength(s->texts, at) + 1;
    length += mwlStringLength(s->texts, at + length) + 1;
    if (mwlClassByte(s, index) == kMWLCodeExact)
        length += mwlStringLength(s->texts, at + length) + 1;
    return length;
}

void mwlRecordTexts(const MWLDynamic* s, uint32_t index, MWLDynamicTexts* out)
{
    const uint32_t at = mwlRecord(s, index).textOffset;
    out->surface = mwlCopyString(s->texts, at);
    const uint32_t spokenAt = at + static_cast<uint32_t>(byteLength(out->surface)) + 1;
    out->spoken = mwlCopyString(s->texts, spokenAt);
    out->classByte = mwlClassByte(s, index);
    out->exact = out->classByte == kMWLCodeExact
                     ? mwlCopyString(s->texts, spokenAt + static_cast<uint32_t>(byteLength(out->spoken)) + 1)
                     : nullptr;
    out->surfaceChars = 0;
    out->spokenChars = 0;
}

void mwlDecodedLengths(const MWLDynamic* s, const MWLDynamicTexts& texts, int32_t* surface,
                       int32_t* spoken)
{
    const uint32_t mark = DVKTempMem_GetMark();
    const uint8_t* written = texts.exact != nullptr ? texts.exact : texts.surface;
    const int32_t units = std::max(byteLength(written), byteLength(texts.spoken)) + 1;
    auto* out = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(units) * 2));
    restoreSurface(s, texts, out);
    *surface = DVKUnicode_Length(out);
    decode(out, texts.spoken, kMWLCodeNoUpper, s->encodings.spokenEncoding, &s->encodings.spokenCoder);
    *spoken = DVKUnicode_Length(out);
    DVKTempMem_ReleaseToMark(mark);
}

uint16_t* mwlPronText(const MWLDynamic* s, const MWLDynamicTexts& texts)
{
    if (texts.spoken[0] != 0)
        return decodeToScratch(texts.spoken, kMWLCodeNoUpper, s->encodings.spokenEncoding,
                               &s->encodings.spokenCoder);
    const uint8_t* longest = texts.exact != nullptr ? texts.exact : texts.surface;
    auto* out = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(byteLength(longest) + 1) * 2));
    restoreSurface(s, texts, out);
    return out;
}

int32_t mwlGeneratePron(const MWLDynamic* s, const uint16_t* text, uint8_t type, uint16_t* out)
{
    if (s->generator == nullptr)
        return -1;
    int32_t score = 0;
    if (PG_TextToMasterPron(s->generator, text, type, out, kMWLDecodedPronUnits, &score, 1, nullptr) < 1)
        return -1;
    return mwlPronLength(out);
}

int32_t MWLDynamic_GetPronText(const MWLDynamic* store, uint32_t index, uint16_t* out, int32_t size)
{
    if (index >= store->recordCount || mwlRecord(store, index).textOffset == kMWLDynamicNoOffset)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    MWLDynamicTexts texts;
    mwlRecordTexts(store, index, &texts);
    const uint16_t* text = mwlPronText(store, texts);
    const int32_t n = DVKUnicode_Length(text);
    const bool fits = n < size;
    if (fits)
        std::memcpy(out, text, static_cast<size_t>(n + 1) * 2);
    DVKTempMem_ReleaseToMark(mark);
    return fits ? 1 : 0;
}

uint32_t MWLDynamic_FindTextPosition(const MWLDynamic* store, const uint8_t* key)
{
    return lowerBound(store, key, byteLength(key) + 1);
}

int32_t MWLDynamic_GetSurfaceAndSpokenForms(const MWLDynamic* store, uint32_t id, uint16_t* surface,
                                            uint8_t* encodedSurface, uint16_t* spoken)
{
    uint32_t index = 0;
    if (!MWLDynamic_FindRecord(store, id, &index) ||
        mwlRecord(store, index).textOffset == kMWLDynamicNoOffset)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    MWLDynamicTexts texts;
    mwlRecordTexts(store, index, &texts);
    if (surface != nullptr)
        restoreSurface(store, texts, surface);
    if (encodedSurface != nullptr)
        std::memcpy(encodedSurface, texts.surface, static_cast<size_t>(byteLength(texts.surface) + 1));
    if (spoken != nullptr)
        decode(spoken, texts.spoken, kMWLCodeNoUpper, store->encodings.spokenEncoding,
               &store->encodings.spokenCoder);
    DVKTempMem_ReleaseToMark(mark);
    return 1;
}

uint32_t MWLDynamic_GetId(const MWLDynamic* store, const uint16_t* surface, const uint16_t* spoken)
{
    const uint32_t mark = DVKTempMem_GetMark();
    uint32_t id = kMWLDynamicNoWord;
    MWLDynamicTexts t;
    if (mwlEncodeTexts(store, surface, spoken, &t)) {
        const int32_t keyBytes = byteLength(t.surface) + 1;
        const int32_t spokenBytes = byteLength(t.spoken) + 1;
        for (uint32_t pos = lowerBound(store, t.surface, keyBytes); pos < store->textOrderCount; ++pos) {
            const uint32_t index = mwlAt<uint16_t>(store->textOrder, pos);
            const uint32_t at = mwlRecord(store, index).textOffset;
            if (mwlCompareString(store->texts, at, t.surface, keyBytes) != 0)
                break;
            const uint32_t spokenAt = at + static_cast<uint32_t>(keyBytes);
            if (mwlCompareString(store->texts, spokenAt, t.spoken, spokenBytes) != 0 ||
                mwlClassByte(store, index) != t.classByte)
                continue;
            if (t.classByte == kMWLCodeExact &&
                mwlCompareString(store->texts, spokenAt + static_cast<uint32_t>(spokenBytes), t.exact,
                                 byteLength(t.exact) + 1) != 0)
                continue;
            id = mwlRecord(store, index).wordId;
            break;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return id;
}

int32_t MWLDynamic_GetIdsFromSpoken(const MWLDynamic* store, const uint16_t* spoken, uint32_t* ids,
                                    int32_t size, int32_t countAll)
{
    const uint32_t mark = DVKTempMem_GetMark();
    const uint8_t* key = encode(spoken, 0, store->encodings.spokenEncoding, &store->encodings.spokenCoder, nullptr);
    int32_t count = 0;
    if (key != nullptr) {
        const int32_t n = byteLength(key) + 1;
        for (uint32_t i = 0; i < store->recordCount && (countAll != 0 || count < size); ++i) {
            const MWLDynamicRecord& r = mwlRecord(store, i);
            if (r.textOffset == kMWLDynamicNoOffset)
                continue;
            const uint32_t spokenAt = r.textOffset + mwlStringLength(store->texts, r.textOffset) + 1;
            if (mwlCompareString(store->texts, spokenAt, key, n) != 0)
                continue;
            if (count < size)
                ids[count] = r.wordId;
            ++count;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

int32_t MWLDynamic_GetMatches(const MWLDynamic* store, const uint16_t* text, int32_t textCode,
                              uint32_t* ids, int32_t size, int32_t stop)
{
    const uint32_t mark = DVKTempMem_GetMark();
    const uint8_t* key = mwlEncodeKey(store, text, nullptr);
    int32_t count = 0;
    if (key != nullptr) {
        const int32_t n = byteLength(key) + 1;
        for (uint32_t pos = lowerBound(store, key, n); pos < store->textOrderCount; ++pos) {
            const uint32_t index = mwlAt<uint16_t>(store->textOrder, pos);
            if (mwlCompareString(store->texts, mwlRecord(store, index).textOffset, key, n) != 0)
                break;
            if (textCode != 0 && store->exactText != 0) {
                const uint32_t inner = DVKTempMem_GetMark();
                MWLDynamicTexts t;
                mwlRecordTexts(store, index, &t);
                const bool exact = t.classByte == kMWLCodeExact;
                const int32_t matches = MWLCode_MatchesSpelling(
                    text, textCode, t.surface, t.classByte, t.exact,
                    exact ? mwlPlainEncoding(store) : store->encodings.surfaceEncoding,
                    &store->encodings.surfaceCoder);
                DVKTempMem_ReleaseToMark(inner);
                if (matches == 0)
                    continue;
            }
            if (count < size)
                ids[count] = mwlRecord(store, index).wordId;
            ++count;
            if (stop != 0 && count >= size)
                break;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

int32_t MWLDynamic_GetMatchesAtStart(const MWLDynamic* store, const uint16_t* text, int32_t length,
                                     uint32_t* ids, int32_t size)
{
    const uint32_t mark = DVKTempMem_GetMark();
    int32_t prefix = length > 0 ? length : 0;
    const uint8_t* key = mwlEncodeKey(store, text, &prefix);
    int32_t count = 0;
    if (key != nullptr) {
        const int32_t keyBytes = byteLength(key);
        for (uint32_t pos = lowerBound(store, key, prefix); pos < store->textOrderCount && count < size; ++pos) {
            const uint32_t index = mwlAt<uint16_t>(store->textOrder, pos);
            const uint32_t at = mwlRecord(store, index).textOffset;
            if (mwlCompareString(store->texts, at, key, prefix) != 0)
                break;
            const auto wordBytes = static_cast<int32_t>(mwlStringLength(store->texts, at));
            if (wordBytes <= keyBytes && mwlCompareString(store->texts, at, key, wordBytes) == 0)
                ids[count++] = mwlRecord(store, index).wordId;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return count;
}
