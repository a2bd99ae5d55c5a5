// Segmentation records: per-state frame counts, word positions and phoneme
// ids of an alignment with the words' pronunciations and its score.
#include "core/brevit/acoustic/segmenter.h"

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"

#include <algorithm>
#include <cstring>

namespace {

void* zeroed(int64_t bytes)
{
    if (bytes < 1 || bytes > 0xFFFFFFFFll)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(bytes));
}

void unsetProns(Segmentation* seg, int32_t from, int32_t to)
{
    for (int32_t w = from; w < to; ++w)
        seg->pronIds[w] = kSegmentationUnsetPron;
}

// Entries of the per-word arrays a record can hold: the flags keep their
// first size when the pronunciation ids grow.
int32_t flagCapacity(const Segmentation* seg)
{
    return static_cast<int32_t>(DVKMem_GetSize(seg->wordFlags));
}

} // namespace

Segmentation* Segmentation_Alloc(int32_t stateCapacity, int32_t wordCapacity)
{
    if (stateCapacity < 1 || wordCapacity < 1)
        return nullptr;
    auto* seg = static_cast<Segmentation*>(DVKMem_Calloc(sizeof(Segmentation)));
    if (seg == nullptr)
        return nullptr;
    const int64_t states = stateCapacity;
    seg->stateIds = static_cast<uint16_t*>(zeroed(2 * states));
    seg->durations = seg->stateIds == nullptr ? nullptr : static_cast<uint16_t*>(zeroed(2 * states));
    seg->wordPositions = seg->durations == nullptr ? nullptr : static_cast<int16_t*>(zeroed(2 * states));
    seg->phonemeIds = seg->wordPositions == nullptr ? nullptr : static_cast<uint16_t*>(zeroed(2 * states));
    seg->pronIds = seg->phonemeIds == nullptr ? nullptr : static_cast<uint16_t*>(zeroed(2 * int64_t{wordCapacity}));
    seg->wordFlags = seg->pronIds == nullptr ? nullptr : static_cast<uint8_t*>(zeroed(wordCapacity));
    if (seg->wordFlags == nullptr) {
        Segmentation_Delete(seg);
        return nullptr;
    }
    seg->stateCapacity = stateCapacity;
    seg->wordCapacity = wordCapacity;
    seg->score = kSegmentationNoScore;
    return seg;
}

Segmentation* Segmentation_Create(Voc* voc, int32_t n)
{
    if (n < 1 || n > kSegmentationMaxWords)
        return nullptr;
    const int32_t longest = voc == nullptr ? 0 : std::max(Voc_GetMaxRecogPronunciationLength(voc), 0);
    const int64_t capacity = 3 * static_cast<int64_t>(n) * (1 + longest) + 1;
    if (capacity > 0x7FFFFFFF)
        return nullptr;
    Segmentation* seg = Segmentation_Alloc(static_cast<int32_t>(capacity), n);
    if (seg == nullptr)
        return nullptr;
    seg->wordCount = n;
    unsetProns(seg, 0, n);
    return seg;
}

void Segmentation_Reset(Segmentation* seg)
{
    if (seg == nullptr)
        return;
    seg->score = kSegmentationNoScore;
    seg->stateCount = seg->wordCount = seg->frameCount = 0;
}

void Segmentation_Delete(Segmentation* seg)
{
    if (seg == nullptr)
        return;
    DVKMem_Free(seg->stateIds);
    DVKMem_Free(seg->durations);
    DVKMem_Free(seg->wordPositions);
    DVKMem_Free(seg->phonemeIds);
    DVKMem_Free(seg->pronIds);
    DVKMem_Free(seg->wordFlags);
    DVKMem_Free(seg);
}

int32_t Segmentation_ResizeFrames(Segmentation* seg, int32_t n)
{
    if (seg == nullptr)
        return 1;
    if (n < 0)
        return 0;
    if (seg->wordCapacity < n) {
        // The word flags grow with the ids, so no word count can pass them.
        auto* prons = static_cast<uint16_t*>(zeroed(2 * int64_t{n}));
        auto* flags = prons == nullptr ? nullptr : static_cast<uint8_t*>(zeroed(n));
        if (flags == nullptr) {
            DVKMem_Free(prons);
            return 0;
        }
        std::memcpy(flags, seg->wordFlags, static_cast<size_t>(flagCapacity(seg)));
        DVKMem_Free(seg->pronIds);
        DVKMem_Free(seg->wordFlags);
        seg->pronIds = prons;
        seg->wordFlags = flags;
        seg->wordCapacity = n;
    }
    seg->wordCount = 0;
    unsetProns(seg, 0, n);
    return 1;
}

void Segmentation_Copy(Segmentation* dst, const Segmentation* src)
{
    if (dst == nullptr || src == nullptr)
        return;
    const int32_t states = std::min(dst->stateCapacity, src->stateCount);
    const auto bytes = static_cast<size_t>(std::max(states, 0)) * 2;
    std::memcpy(dst->stateIds, src->stateIds, bytes);
    std::memcpy(dst->durations, src->durations, bytes);
    std::memcpy(dst->wordPositions, src->wordPositions, bytes);
    std::memcpy(dst->phonemeIds, src->phonemeIds, bytes);
    const int32_t words = std::max(0, std::min({dst->wordCapacity, src->wordCount, flagCapacity(dst)}));
    std::memcpy(dst->pronIds, src->pronIds, static_cast<size_t>(words) * 2);
    std::memcpy(dst->wordFlags, src->wordFlags, static_cast<size_t>(words));
    dst->stateCount = std::max(states, 0);
    dst->wordCount = words;
    dst->frameCount = src->frameCount;
    dst->score = src->score;
}

void Segmentation_CopyIfBetter(Segmentation* dst, const Segmentation* src)
{
    if (dst != nullptr && src != nullptr && src->score < dst->score)
        Segmentation_Copy(dst, src);
}

Segmentation* Segmentation_Clone(const Segmentation* src)
{
    if (src == nullptr || src->stateCount < 1 || src->wordCount < 1)
        return nullptr;
    Segmentation* copy = Segmentation_Alloc(src->stateCount, src->wordCount);
    if (copy != nullptr)
        Segmentation_Copy(copy, src);
    return copy;
}

int32_t Segmentation_GetScore(const Segmentation* seg)
{
    return seg == nullptr ? kSegmentationNoScore : seg->score;
}

int32_t Segmentation_GetNumFrames(const Segmentation* seg)
{
    return seg == nullptr ? 0 : seg->frameCount;
}

int32_t Segmentation_GetNumWords(const Segmentation* seg)
{
    return seg == nullptr ? 0 : seg->wordCount;
}

const uint16_t* Segmentation_GetPronIds(const Segmentation* seg, int32_t* count)
{
    if (count != nullptr)
        *count = seg == nullptr ? 0 : seg->wordCount;
    return seg == nullptr ? nullptr : seg->pronIds;
}

const uint16_t* Segmentation_GetPhonemeIds(const Segmentation* seg, int32_t* count)
{
    if (count != nullptr)
        *count = seg == nullptr ? 0 : seg->stateCount;
    return seg == nullptr ? nullptr : seg->phonemeIds;
}

int32_t Segmentation_GetFirstSpeechFrame(const Segmentation* seg)
{
    return seg == nullptr || seg->stateCount < 1 ? 0 : seg->durations[0];
}

int32_t Segmentation_GetLastSpeechFrame(const Segmentation* seg)
{
    if (seg == nullptr || seg->stateCount < 2)
        return 0;
    int32_t sum = 0;
    for (int32_t i = 0; i + 1 < seg->stateCount; ++i)
        sum += seg->durations[i];
    return sum;
}

int32_t Segmentation_CountSpeechFrames(const Segmentation* seg)
{
    if (seg == nullptr || seg->stateCount < 2)
        return 0;
    int32_t sum = 0;
    for (int32_t i = 0; i + 1 < seg->stateCount; ++i)
        if (seg->stateIds[i] != 0)
            sum += seg->durations[i];
    return sum;
}

namespace {

// One entry per frame in state order, never past n entries.
template <typename T, typename F>
int32_t perFrame(const Segmentation* seg, int32_t n, T* out, int32_t total, F value)
{
    if (seg == nullptr || out == nullptr || n < seg->frameCount || total != seg->frameCount)
        return 0;
    int32_t k = 0;
    for (int32_t i = 0; i < seg->stateCount; ++i)
        for (int32_t f = 0; f < seg->durations[i] && k < n; ++f)
            out[k++] = value(i);
    return 1;
}

} // namespace

int32_t Segmentation_GetSpeechFrames(const Segmentation* seg, int32_t n, uint8_t* out, int32_t total)
{
    if (seg == nullptr || out == nullptr || n < seg->frameCount || total != seg->frameCount)
        return 0;
    std::memset(out, 0, static_cast<size_t>(n));
    return perFrame(seg, n, out, total, [&](int32_t i) { return static_cast<uint8_t>(seg->stateIds[i] != 0); });
}

int32_t Segmentation_GetPhonemeArray(const Segmentation* seg, int32_t n, uint16_t* out, int32_t total)
{
    return perFrame(seg, n, out, total, [&](int32_t i) { return seg->stateIds[i]; });
}

uint32_t Segmentation_ComputeCRC(const Segmentation* seg)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (seg == nullptr)
        return crc;
    crc = DVKCrc_AddArray(seg->stateIds, 2, seg->stateCount, crc);
    crc = DVKCrc_AddArray(seg->durations, 2, seg->stateCount, crc);
    crc = DVKCrc_AddArray(seg->wordPositions, 2, seg->stateCount, crc);
    crc = DVKCrc_AddArray(seg->phonemeIds, 2, seg->stateCount, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->stateCapacity), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->stateCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->wordCapacity), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->wordCount), crc);
    crc = DVKCrc_AddArray(seg->pronIds, 2, seg->wordCount, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->frameCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->score), crc);
    return crc;
}

int32_t Segmentation_GetPartialTranscript(const Segmentation* seg, const Voc* voc, int32_t firstFrame,
                                          int32_t lastFrame, char* text, int32_t size, int32_t mode,
                                          int32_t markSpeech)
{
    if (text == nullptr || size < 1)
        return 0;
    text[0] = '\0';
    if (seg == nullptr || voc == nullptr || seg->wordCount < 1)
        return 1;
    // Word positions past the word count are taken as none.
    int32_t first = -1, last = -1, end = -1;
    for (int32_t i = 0; i < seg->stateCount; ++i) {
        end += seg->durations[i];
        const int32_t w = seg->wordPositions[i];
        if (w < 0 || w >= seg->wordCount)
            continue;
        if (first < 0 && end >= firstFrame)
            first = w;
        if (end <= lastFrame)
            last = w;
    }
    if (first < 0 || last < first)
        return 1;
    char word[256];
    bool any = false;
    for (int32_t w = first; w <= last; ++w) {
        const uint16_t pron = seg->pronIds[w];
        if (pron == kSegmentationSilencePron)
            continue;
        word[0] = '\0';
        if (mode == 0)
            Voc_GetWordNameText(voc, Voc_PronIdToVocId(voc, pron), sizeof word, word, 0);
        else if (pron < kSegmentationUnsetPron)
            Voc_GetPronWordNameText(voc, pron, sizeof word, word, 0);
        if (any)
            DVKStr_NConcat(text, " ", size);
        DVKStr_NConcat(text, word, size);
        if (markSpeech && seg->wordFlags[w] != 0)
            DVKStr_NConcat(text, "(S)", size);
        any = true;
    }
    return 1;
}
