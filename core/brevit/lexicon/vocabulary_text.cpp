// Ids turned into display text: the two forms of a word, its long name in
// UTF-8 for partial transcripts, the formatting context of a word after a
// sequence, and (offset, length) pairs moved between UTF-16 positions and
// byte positions of the word list's encoded text.
#include "core/brevit/lexicon/long_name.h"
#include "core/brevit/lexicon/vocabulary.h"

#include "core/brevit/runtime/dvk_language.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_utf8.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <cstdio>
#include <cstring>

namespace {

void putAscii(uint16_t* out, const char* text)
{
    if (out == nullptr)
        return;
    int32_t k = 0;
    for (; text[k] != 0; ++k)
        out[k] = static_cast<uint8_t>(text[k]);
    out[k] = 0;
}

const char* specialText(int32_t activeId)
{
    switch (activeId) {
    case kAWLSilence: return "<SILENCE>";
    case kVocActiveSentenceStart: return "<s>";
    case kVocActiveSentenceEnd: return "<e>";
    case kVocActiveStartDocument: return "<START_DOCUMENT>";
    default: return nullptr;
    }
}

// Byte lengths of the characters of UTF-8 text (at most limit of them);
// the number read, -1 when a character is not valid UTF-8.
int32_t characterLengths(const char* text, int32_t limit, int32_t* lengths)
{
    int32_t n = 0;
    char one[8];
    while (n < limit) {
        const int32_t length = DVKUTF8_GetChar(text, one);
        if (length < 0)
            return -1;
        if (length == 0)
            break;
        lengths[n++] = length;
        text += length;
    }
    return n;
}

bool isByteEncoding(int32_t encoding) { return encoding == 1 || encoding == 2 || encoding == 5; }
bool isMultiByteEncoding(int32_t encoding) { return encoding == 3 || encoding == 4; }

// (offset, length) pairs over UTF-16 text and its encoded form: count 0
// gives 1, empty text 0, one-byte encodings need no change (1), other
// encodings than 3 and 4 give 0; else convert(character byte sizes, their
// number, offset, length) moves each pair, 0 at the first it refuses.
template <typename Convert>
int32_t convertPairs(const char* encoded, int32_t encoding, const uint16_t* text, int32_t count,
                     int32_t* offsets, int32_t* lengths, Convert convert)
{
    if (count == 0)
        return 1;
    if (text == nullptr || text[0] == 0)
        return 0;
    if (isByteEncoding(encoding))
        return 1;
    if (!isMultiByteEncoding(encoding) || encoded == nullptr)
        return 0;
    const int32_t characters = DVKUnicode_Length(text);
    const uint32_t mark = DVKTempMem_GetMark();
    auto* sizes = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(characters) * 4));
    const int32_t known = characterLengths(encoded, characters, sizes);
    int32_t done = known >= 0 ? 1 : 0;
    for (int32_t k = 0; done && k < count; ++k)
        if (!convert(sizes, known, offsets[k], lengths[k]))
            done = 0;
    DVKTempMem_ReleaseToMark(mark);
    return done;
}

} // namespace

void Voc_GetOrthography(const Voc* voc, VocId id, uint16_t* surface, uint16_t* spoken)
{
    const char* special = nullptr;
    if (id >= kVocStartDocument && id != kVocNoId)
        special = specialText(Voc_GetActiveId(voc, id));
    else if ((id & kVocKindMask) == kVocKindActive)
        special = specialText(static_cast<int32_t>(id & 0xFFFFu));
    if (special == nullptr && (id == kVocNoId || !Voc_IsWordIdInUse(voc, id)))
        special = "<NOID>";
    if (special != nullptr) {
        putAscii(surface, special);
        if (spoken != nullptr)
            spoken[0] = 0;
        return;
    }
    if (surface != nullptr)
        surface[0] = 0;
    if (spoken != nullptr)
        spoken[0] = 0;
    MWL_GetSurfaceAndSpokenForms(voc->wordList, Voc_GetMasterId(voc, id), surface, spoken);
}

int32_t Voc_GetWordNameText(const Voc* voc, VocId id, int32_t size, char* output, int32_t withIndex)
{
    if (output == nullptr || size < 1)
        return 0;
    output[0] = 0;
    const int32_t surfaceRoom = Voc_GetMaxSurfaceFormLength(voc) + 1;
    const int32_t spokenRoom = Voc_GetMaxSpokenFormLength(voc) + 1;
    // Every character may be escaped, plus the separator, the index and the end.
    const int32_t nameRoom = 2 * (surfaceRoom + spokenRoom) + 16;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* surface = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(surfaceRoom) * 2));
    auto* spoken = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(spokenRoom) * 2));
    auto* name = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(nameRoom) * 2));
    Voc_GetOrthography(voc, id, surface, spoken);
    int32_t done = WU_ConvertSurfaceSpokenToLongNameU(surface, spoken, name, nameRoom);
    if (done && withIndex && (id & kVocKindMask) == kVocKindPron) {
        int32_t index = 0;
        Voc_GetActiveIdFromPronId(voc, static_cast<int32_t>(id & 0xFFFFu), &index);
        if (index > 0) {
            char text[16];
            std::snprintf(text, sizeof(text), "(%d)", static_cast<int>(index));
            done = DVKUnicode_NConcatAscii(name, text, nameRoom) ? 1 : 0;
        }
    }
    if (done && DVKUTF8_FromUnicode(name, size, output) != 0)
        done = 0;
    DVKTempMem_ReleaseToMark(mark);
    return done;
}

int32_t Voc_GetPronWordNameText(const Voc* voc, int32_t pronId, int32_t size, char* output, int32_t withIndex)
{
    if (pronId == kAWLSilence) {
        static const char kSilence[] = "SILENCE";
        if (output == nullptr || size < static_cast<int32_t>(sizeof(kSilence)))
            return 0;
        std::memcpy(output, kSilence, sizeof(kSilence));
        return 1;
    }
    return Voc_GetWordNameText(voc, Voc_PronIdToVocId(voc, pronId), size, output, withIndex);
}

void Voc_FormatTextFromIds(const Voc* voc, VocId id, int32_t count, const VocId* ids, int32_t* flag,
                           int32_t* result)
{
    *flag = Language_IsNonCJK(MWL_GetLanguage(voc->wordList)) ? 1 : 0;
    if (voc->textContext == nullptr)
        return;
    const int32_t n = count > 0 ? count : 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* masters = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n > 0 ? n : 1) * 4));
    for (int32_t k = 0; k < n; ++k)
        masters[k] = ids[k] == kVocNoId            ? kMWLNoWord
                     : ids[k] == kVocStartDocument ? 0xFFFFFBu
                                                   : Voc_GetMasterId(voc, ids[k]);
    auto inOut = static_cast<uint32_t>(*flag);
    uint32_t context = static_cast<uint32_t>(*result);
    Cling_LookupContext(voc->textContext, masters, n, Voc_GetMasterId(voc, id), &inOut, &context, voc->wordList);
    *flag = static_cast<int32_t>(inOut);
    *result = static_cast<int32_t>(context);
    DVKTempMem_ReleaseToMark(mark);
}

int32_t Voc_ConvertUnicodeOffsetsToEncodedOffsets(int32_t, const char* encoded, int32_t encoding,
                                                  const uint16_t* text, int32_t count, int32_t* offsets,
                                                  int32_t* lengths)
{
    return convertPairs(encoded, encoding, text, count, offsets, lengths,
                        [](const int32_t* sizes, int32_t known, int32_t& offset, int32_t& length) {
                            const int32_t first = offset;
                            const int32_t end = first + length;
                            if (first < 0 || length < 0 || end > known)
                                return false;
                            int32_t byteOffset = 0;
                            int32_t byteLength = 0;
                            for (int32_t c = 0; c < end; ++c)
                                (c < first ? byteOffset : byteLength) += sizes[c];
                            offset = byteOffset;
                            length = byteLength;
                            return true;
                        });
}

int32_t Voc_ConvertVocInternalOffsetsToUnicode(const Voc* voc, const uint16_t* text, const char* encoded,
                                               int32_t count, int32_t* offsets, int32_t* lengths)
{
    const int32_t encoding = count != 0 && text != nullptr && text[0] != 0 ? Voc_GetCharacterEncoding(voc) : 0;
    return convertPairs(encoded, encoding, text, count, offsets, lengths,
                        [](const int32_t* sizes, int32_t known, int32_t& offset, int32_t& length) {
                            // The character starting at the byte offset, then
                            // characters until their bytes make up the length.
                            int32_t c = 0;
                            int32_t at = 0;
                            while (c < known && at < offset)
                                at += sizes[c++];
                            int32_t covered = 0;
                            int32_t n = 0;
                            while (c + n < known && covered < length)
                                covered += sizes[c + n++];
                            if (at != offset || covered != length)
                                return false;
                            offset = c;
                            length = n;
                            return true;
                        });
}
