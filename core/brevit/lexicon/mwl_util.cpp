#include "core/brevit/lexicon/mwl_util.h"

#include "core/brevit/runtime/dvk_latin1.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_utf8.h"

#include <cstring>

namespace {

int32_t pronLength(const uint16_t* pron)
{
    int32_t n = 0;
    while (pron[n] != kMWLPronEnd)
        ++n;
    return n;
}

// Expansion k of a table whose entries first..last exist (empty otherwise).
int32_t expansion(const uint16_t* pool, const uint32_t* offsets, int64_t k, int64_t first,
                  int64_t last, const uint16_t** begin)
{
    *begin = nullptr;
    if (k < first || k > last)
        return 0;
    const uint32_t from = offsets[k];
    const uint32_t to = offsets[k + 1];
    int32_t n = 0;
    while (from + n < to && pool[from + n] != kMWLPronEnd)
        ++n;
    *begin = pool + from;
    return n;
}

int32_t slotExpansion(const uint16_t* pool, const uint32_t* slotOffsets, int32_t highestSlot,
                      int32_t maxMaster, uint16_t id, const uint16_t** begin)
{
    return expansion(pool, slotOffsets, int64_t{id} - maxMaster, 1, highestSlot, begin);
}

bool isStatic(const uint16_t* pron, int32_t maxMaster)
{
    return pron[0] != kMWLPronEnd && pron[0] <= maxMaster;
}

bool encodable(const uint16_t* pron)
{
    int32_t n = 0;
    for (; pron[n] != kMWLPronEnd; ++n)
        if (n >= kMWLMaxEncodedPhonemes || pron[n] > kMWLMaxEncodedPhonemeId)
            return false;
    return true;
}

// Next phoneme id of an encoded pron at p; bytes used.
int32_t decodeId(const uint8_t* p, uint16_t* id)
{
    if ((p[0] & 0x80) == 0) {
        *id = p[0];
        return 1;
    }
    *id = static_cast<uint16_t>((p[0] & 0x7F) | (p[1] << 7));
    return 2;
}

uint8_t latin9Lower(uint8_t b)
{
    switch (b) {
    case 0xA6: return 0xA8;   // S caron
    case 0xB4: return 0xB8;   // Z caron
    case 0xBC: return 0xBD;   // OE
    case 0xBE: return 0xFF;   // Y diaeresis
    default: return DVKLatin1_ToLower(b);
    }
}

int32_t sign(int64_t v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// A character of a compared string: its raw and folded values and its bytes.
struct Unit {
    uint32_t raw;
    uint32_t folded;
    int32_t bytes;
};

Unit utf8Unit(const uint8_t* s)
{
    uint16_t u = 0;
    int32_t n = DVKUTF8_ToUnicodeChar(reinterpret_cast<const char*>(s), &u);
    if (n < 0) {
        u = *s;
        n = 1;
    }
    return {u, DVKUnicode_ToLower(u), n};
}

// Compact form: ASCII and escaped characters fold, window bytes stand apart.
Unit compactUnit(const uint8_t* s)
{
    if (*s == 0)
        return {0, 0, 0};
    if (*s == 0x0E) {
        uint16_t u = 0;
        const int32_t n = DVKUTF8_ToUnicodeChar(reinterpret_cast<const char*>(s + 1), &u);
        if (n > 0)
            return {u, DVKUnicode_ToLower(u), 1 + n};
    }
    if (*s >= 0x80)
        return {0x10000u + *s, 0x10000u + *s, 1};
    const uint32_t c = *s;
    return {c, c >= 'A' && c <= 'Z' ? c + 32 : c, 1};
}

template <typename Read>
int32_t compareUnits(const uint8_t* a, const uint8_t* b, int32_t limit, int32_t* caseDifference,
                     Read read)
{
    for (int32_t at = 0; at < limit;) {
        const Unit ua = read(a);
        const Unit ub = read(b);
        if (ua.folded != ub.folded)
            return ua.folded < ub.folded ? -1 : 1;
        if (ub.bytes == 0)
            return 0;
        if (ua.raw != ub.raw && caseDifference != nullptr && *caseDifference == 0)
            *caseDifference = ua.raw < ub.raw ? -1 : 1;
        a += ua.bytes;
        b += ub.bytes;
        at += ub.bytes;
    }
    return 0;
}

} // namespace

int32_t MWLUtil_ConvertMasterToRecogPron(const PhoneRewrite* rules, int32_t maxMaster,
                                         const uint16_t* pool, const uint32_t* slotOffsets,
                                         int32_t highestSlot, const uint16_t* pron, uint16_t* out)
{
    const int32_t n = pronLength(pron);
    int32_t length = 0;
    if (isStatic(pron, maxMaster)) {
        length = PhoneRewrite_Apply(rules, n, pron, PhoneRewrite_GetMaxOutputLength(rules, n), out);
    } else {
        for (int32_t i = 0; i < n; ++i) {
            const uint16_t* begin = nullptr;
            const int32_t m = slotExpansion(pool, slotOffsets, highestSlot, maxMaster, pron[i], &begin);
            if (m > 0)
                std::memcpy(out + length, begin, static_cast<size_t>(m) * sizeof(uint16_t));
            length += m;
        }
    }
    out[length] = kMWLPronEnd;
    return length;
}

int32_t MWLUtil_GetRecogPronLength(const PhoneRewrite* rules, int32_t maxMaster,
                                   const uint16_t* pool, const uint32_t* slotOffsets,
                                   int32_t highestSlot, const uint16_t* pron)
{
    const int32_t n = pronLength(pron);
    if (isStatic(pron, maxMaster)) {
        const int32_t length = PhoneRewrite_Apply(rules, n, pron, 0, nullptr);
        return length <= PhoneRewrite_GetMaxOutputLength(rules, n) ? length : 0;
    }
    int32_t length = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t* begin = nullptr;
        length += slotExpansion(pool, slotOffsets, highestSlot, maxMaster, pron[i], &begin);
    }
    return length;
}

int32_t MWLUtil_ArePronunciationsEquivalent(const uint16_t* a, const uint16_t* b,
                                            const PhoneRewrite* rules, int32_t maxMaster,
                                            const uint16_t* pool, const uint32_t* slotOffsets,
                                            int32_t highestSlot)
{
    const bool staticA = isStatic(a, maxMaster);
    if (staticA != isStatic(b, maxMaster))
        return 0;
    if (!staticA) {
        int32_t i = 0;
        for (; a[i] != kMWLPronEnd && b[i] != kMWLPronEnd; ++i) {
            const uint16_t* begin = nullptr;
            if (a[i] != b[i] &&
                slotExpansion(pool, slotOffsets, highestSlot, maxMaster, a[i], &begin) != 0)
                return 0;
        }
        return a[i] == kMWLPronEnd && b[i] == kMWLPronEnd ? 1 : 0;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    const int32_t roomA = PhoneRewrite_GetMaxOutputLength(rules, pronLength(a)) + 1;
    const int32_t roomB = PhoneRewrite_GetMaxOutputLength(rules, pronLength(b)) + 1;
    auto* recogA = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(roomA) * 2));
    auto* recogB = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(roomB) * 2));
    MWLUtil_ConvertMasterToRecogPron(rules, maxMaster, pool, slotOffsets, highestSlot, a, recogA);
    MWLUtil_ConvertMasterToRecogPron(rules, maxMaster, pool, slotOffsets, highestSlot, b, recogB);
    const bool same = MWLUtil_IsSamePronunciation(recogA, recogB);
    DVKTempMem_ReleaseToMark(mark);
    return same ? 1 : 0;
}

int32_t MWLUtil_IsEquivalentVariant(const uint16_t* a, const uint16_t* b, const PhoneRewrite* rules,
                                    int32_t maxMaster, const uint16_t* pool,
                                    const uint32_t* slotOffsets, int32_t highestSlot)
{
    if (MWLUtil_IsSamePronunciation(a, b))
        return 0;
    return MWLUtil_ArePronunciationsEquivalent(a, b, rules, maxMaster, pool, slotOffsets,
                                               highestSlot);
}

int32_t MWLUtil_SegmentPronunciation(int32_t maxMaster, int32_t, const uint16_t* pool,
                                     const uint32_t* slotOffsets, int32_t highestSlot,
                                     const uint16_t* recog, uint16_t* out)
{
    const int32_t n = pronLength(recog);
    if (n == 0)
        return 0;
    // The slot that a depth-first search in slot order takes first from a
    // position depends only on that position: decide every position once,
    // from the end (0 = no segmentation from there).
    const uint32_t mark = DVKTempMem_GetMark();
    auto* firstSlot = static_cast<int32_t*>(
        DVKTempMem_Malloc(static_cast<uint32_t>(n + 1) * sizeof(int32_t)));
    firstSlot[n] = -1;   // the end: done
    for (int32_t p = n - 1; p >= 0; --p) {
        firstSlot[p] = 0;
        for (int32_t s = 1; s <= highestSlot; ++s) {
            const uint16_t* begin = nullptr;
            const int32_t m = expansion(pool, slotOffsets, s, 1, highestSlot, &begin);
            if (m == 0 || m > n - p || std::memcmp(begin, recog + p, static_cast<size_t>(m) * 2) != 0 ||
                firstSlot[p + m] == 0)
                continue;
            firstSlot[p] = s;
            break;
        }
    }
    const bool found = firstSlot[0] > 0;
    if (found) {
        int32_t written = 0;
        for (int32_t p = 0; p < n;) {
            const int32_t s = firstSlot[p];
            const uint16_t* begin = nullptr;
            out[written++] = static_cast<uint16_t>(maxMaster + s);
            p += expansion(pool, slotOffsets, s, 1, highestSlot, &begin);
        }
        out[written] = kMWLPronEnd;
    }
    DVKTempMem_ReleaseToMark(mark);
    return found ? 1 : 0;
}

int32_t MWLUtil_GetEncodedSize(const uint16_t* const* prons, int32_t count)
{
    int32_t size = 0;
    for (int32_t k = 0; k < count; ++k) {
        if (!encodable(prons[k]))
            return -1;
        ++size;
        for (const uint16_t* p = prons[k]; *p != kMWLPronEnd; ++p)
            size += *p < 128 ? 1 : 2;
    }
    return size;
}

int32_t MWLUtil_EncodePronunciations(const uint16_t* const* prons, uint8_t* out, int32_t count)
{
    for (int32_t k = 0; k < count; ++k)
        if (!encodable(prons[k]))
            return 0;
    for (int32_t k = 0; k < count; ++k) {
        *out++ = static_cast<uint8_t>(pronLength(prons[k]));
        for (const uint16_t* p = prons[k]; *p != kMWLPronEnd; ++p) {
            if (*p < 128) {
                *out++ = static_cast<uint8_t>(*p);
            } else {
                *out++ = static_cast<uint8_t>(0x80 | (*p & 0x7F));
                *out++ = static_cast<uint8_t>(*p >> 7);
            }
        }
    }
    return 1;
}

int32_t MWLUtil_DecodePronunciations(uint16_t* const* buffers, const uint8_t* encoded,
                                     int32_t count)
{
    const uint8_t* p = encoded;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t n = *p++;
        for (int32_t i = 0; i < n; ++i)
            p += decodeId(p, &buffers[k][i]);
        buffers[k][n] = kMWLPronEnd;
    }
    return static_cast<int32_t>(p - encoded);
}

int32_t MWLUtil_GetEncodedPronLength(const uint8_t* encoded)
{
    int32_t at = 1;
    for (int32_t i = 0; i < encoded[0]; ++i)
        at += (encoded[at] & 0x80) != 0 ? 2 : 1;
    return at;
}

int32_t MWLUtil_GetEncodedPronsLength(const uint8_t* encoded)
{
    int32_t at = 1;
    for (int32_t k = 0; k < encoded[0]; ++k)
        at += MWLUtil_GetEncodedPronLength(encoded + at);
    return at;
}

int32_t MWLUtil_GetRecogPronLengthFromEncoded(const uint16_t* staticPool,
                                              const uint32_t* staticOffsets, int32_t staticCount,
                                              int32_t boundary, const uint16_t* pool,
                                              const uint32_t* slotOffsets, int32_t highestSlot,
                                              const uint8_t* encoded)
{
    int32_t length = 0;
    const uint8_t* p = encoded + 1;
    for (int32_t i = 0; i < encoded[0]; ++i) {
        uint16_t id = 0;
        p += decodeId(p, &id);
        const uint16_t* begin = nullptr;
        length += id > boundary
                      ? expansion(pool, slotOffsets, int64_t{id} - boundary, 1, highestSlot, &begin)
                      : expansion(staticPool, staticOffsets, id, 0, int64_t{staticCount} - 1, &begin);
    }
    return length;
}

void MWLUtil_CopyPronunciations(uint16_t* const* buffers, const uint16_t* prons, int32_t count)
{
    for (int32_t k = 0; k < count; ++k) {
        const int32_t n = pronLength(prons);
        std::memcpy(buffers[k], prons, static_cast<size_t>(n + 1) * sizeof(uint16_t));
        prons += n + 1;
    }
}

void MWLUtil_InsertMarkerPhoneme(uint16_t* pron, int32_t position, uint16_t marker)
{
    const int32_t n = pronLength(pron);
    // 254 means the word has no marker, however long its pron.
    if (position == kMWLNoMarker || position < 1 || position > n + 1)
        return;
    std::memmove(pron + position, pron + position - 1,
                 static_cast<size_t>(n - position + 2) * sizeof(uint16_t));
    pron[position - 1] = marker;
}

int32_t MWLUtil_ExtractMarkerPhoneme(uint16_t* pron, uint16_t marker)
{
    int32_t at = -1;
    int32_t i = 0;
    for (; pron[i] != kMWLPronEnd; ++i) {
        if (i >= kMWLNoMarker)
            return kMWLNoMarker;
        if (pron[i] == marker) {
            if (at >= 0)
                return kMWLNoMarker;
            at = i;
        }
    }
    if (at < 0 || i >= kMWLNoMarker)
        return kMWLNoMarker;
    std::memmove(pron + at, pron + at + 1, static_cast<size_t>(i - at) * sizeof(uint16_t));
    return at + 1;
}

bool MWLUtil_IsSamePronunciation(const uint16_t* a, const uint16_t* b)
{
    for (; *a == *b; ++a, ++b)
        if (*a == kMWLPronEnd)
            return true;
    return false;
}

const char** MWLUtil_MakePhonemeNamesCopy(const char* const* names, int32_t maxId)
{
    if (maxId < 0)
        return nullptr;
    const size_t entries = static_cast<size_t>(maxId) + 1;
    size_t bytes = entries * sizeof(char*);
    for (size_t i = 0; i < entries; ++i)
        if (names[i] != nullptr)
            bytes += std::strlen(names[i]) + 1;
    if (bytes > kDVKMemMaxRequest)
        return nullptr;
    auto** copy = static_cast<const char**>(DVKMem_Malloc(static_cast<uint32_t>(bytes)));
    if (copy == nullptr)
        return nullptr;
    char* text = reinterpret_cast<char*>(copy + entries);
    for (size_t i = 0; i < entries; ++i) {
        copy[i] = nullptr;
        if (names[i] == nullptr)
            continue;
        const size_t n = std::strlen(names[i]) + 1;
        std::memcpy(text, names[i], n);
        copy[i] = text;
        text += n;
    }
    return copy;
}

int32_t MWLUtil_CompareStringsCaseInsensitive(const uint8_t* a, const uint8_t* b, int32_t limit,
                                              int32_t encoding, int32_t* caseDifference)
{
    switch (encoding) {
    case 0:
        return 0;
    case 1:
    case 2:
    case 5: {
        const bool latin9 = encoding == 5;
        return compareUnits(a, b, limit, caseDifference, [latin9](const uint8_t* s) {
            const uint8_t folded = latin9 ? latin9Lower(*s) : DVKLatin1_ToLower(*s);
            return Unit{*s, folded, *s != 0 ? 1 : 0};
        });
    }
    case 3:
        return compareUnits(a, b, limit, caseDifference, utf8Unit);
    case 4:
        return compareUnits(a, b, limit, caseDifference, compactUnit);
    default:
        for (int32_t i = 0; i < limit; ++i) {
            if (a[i] != b[i])
                return sign(int32_t{a[i]} - int32_t{b[i]});
            if (a[i] == 0)
                return 0;
        }
        return 0;
    }
}
