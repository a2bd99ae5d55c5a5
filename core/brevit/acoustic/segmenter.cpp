// The aligner: a left-to-right chain of states run through a beamed Viterbi
// pass, one back-pointer bit per state and frame, traced back at the end.
#include "core/brevit/acoustic/segmenter.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kPruned = kAMNotComputed;

// Sums and thresholds are formed in 32 bits and held at the 16-bit ceiling,
// so a wide beam or a high score can never wrap into a winning path.
int16_t saturate(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767));
}

void* zeroed(int64_t bytes)
{
    if (bytes < 0 || bytes > 0xFFFFFFFFll)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(std::max<int64_t>(bytes, 1)));
}

void releaseRun(Segmenter* seg)
{
    DVKMem_Free(seg->scores);
    DVKMem_Free(seg->backPointers);
    seg->scores = nullptr;
    seg->lastScore = nullptr;
    seg->backPointers = nullptr;
    seg->currentRow = nullptr;
}

uint16_t silenceState(const AM* am)
{
    int32_t n = 0;
    const uint16_t* states = AM_GetModelStates(am, am->silenceModelId, &n);
    return states != nullptr && n > 0 ? states[0] : 0;
}

// Appends states to the caller's arrays; false once they are full.
struct Builder {
    uint16_t* stateIds;
    int16_t* positions;
    uint16_t* phonemes;   // null on the phoneme path
    int32_t capacity;
    int32_t length = 0;

    bool put(uint16_t state, int16_t position, uint16_t phoneme)
    {
        if (length >= capacity)
            return false;
        stateIds[length] = state;
        positions[length] = position;
        if (phonemes != nullptr)
            phonemes[length] = phoneme;
        ++length;
        return true;
    }
};

// 1 built, 0 out of room, -1 a phoneme without a model.
int32_t expand(const AM* am, const uint16_t* phonemes, int32_t n, uint16_t left, uint16_t right,
               int16_t position, bool withPhonemes, Builder& out)
{
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t l = i > 0 ? phonemes[i - 1] : left;
        const uint16_t r = i + 1 < n ? phonemes[i + 1] : right;
        const uint16_t model = AM_GetTriphoneId(am, l, phonemes[i], r);
        if (model == kAMNoModel)
            return -1;
        int32_t count = 0;
        const uint16_t* states = AM_GetModelStates(am, model, &count);
        if (states == nullptr)
            return -1;
        for (int32_t s = 0; s < count; ++s)
            if (!out.put(states[s], position, withPhonemes ? phonemes[i] : 0))
                return 0;
    }
    return 1;
}

int32_t buildFromPhonemes(const AM* am, const uint16_t* phonemes, int32_t n, bool withSilence, Builder& out)
{
    const uint16_t sil = silenceState(am);
    if (withSilence && !out.put(sil, 0, 0))
        return 0;
    const int32_t r = expand(am, phonemes, n, 0, 0, 0, false, out);
    if (r != 1)
        return r;
    if (withSilence && !out.put(sil, 0, 0))
        return 0;
    return 1;
}

int32_t Segmenter_BuildFromProns(Segmenter* seg, int32_t crossWord, bool withSilence, int32_t wordCount,
                                 const uint16_t* pronIds, const uint8_t* flags, Builder& out)
{
    const AM* am = seg->am;
    if (seg->voc == nullptr)
        return -1;
    const int32_t most = Voc_GetMaxRecogPronunciationLength(seg->voc);
    std::vector<std::vector<uint16_t>> prons(static_cast<size_t>(wordCount));
    for (int32_t w = 0; w < wordCount; ++w) {
        std::vector<uint16_t> buffer(static_cast<size_t>(std::max(most, 0)) + 1, 0xFFFF);
        const int32_t n = Voc_GetRecogPronunciation(seg->voc, pronIds[w], buffer.data());
        if (n < 0)
            return -1;
        buffer.resize(static_cast<size_t>(std::min<int32_t>(n, most)));
        prons[static_cast<size_t>(w)] = std::move(buffer);
    }
    const uint16_t sil = silenceState(am);
    const auto flag = [&](int32_t w) { return flags != nullptr && flags[w] != 0; };
    if (withSilence && !out.put(sil, -1, 0))
        return 0;
    for (int32_t w = 0; w < wordCount; ++w) {
        const auto& p = prons[static_cast<size_t>(w)];
        uint16_t left = 0, right = 0;
        if (crossWord) {
            if (w > 0 && !flag(w - 1) && !prons[static_cast<size_t>(w) - 1].empty())
                left = prons[static_cast<size_t>(w) - 1].back();
            if (w + 1 < wordCount && !flag(w) && !prons[static_cast<size_t>(w) + 1].empty())
                right = prons[static_cast<size_t>(w) + 1].front();
        }
        const int32_t r = expand(am, p.data(), static_cast<int32_t>(p.size()), left, right,
                                 static_cast<int16_t>(w), true, out);
        if (r != 1)
            return r;
        if (flag(w) && w + 1 < wordCount && !out.put(sil, static_cast<int16_t>(w + 1), 0))
            return 0;
    }
    if (withSilence && !out.put(sil, -1, 0))
        return 0;
    return 1;
}

uint8_t* row(const Segmenter* seg, int32_t i)
{
    return seg->backPointers + static_cast<size_t>(i) * static_cast<size_t>(seg->bytesPerRow);
}

int32_t fail(Segmenter* seg)
{
    seg->state = 3;
    return 3;
}

} // namespace

Segmenter* Segmenter_Create(AM* am, Voc* voc, int32_t framePeriod)
{
    // The stable-frame target divides by the period.
    if (am == nullptr || framePeriod < 1)
        return nullptr;
    auto* seg = static_cast<Segmenter*>(DVKMem_Calloc(sizeof(Segmenter)));
    if (seg == nullptr)
        return nullptr;
    seg->am = am;
    seg->voc = voc;
    seg->framePeriod = framePeriod;
    return seg;
}

void Segmenter_Delete(Segmenter* seg)
{
    if (seg == nullptr)
        return;
    releaseRun(seg);
    DVKMem_Free(seg);
}

uint16_t* Segmenter_GetStateDurations(Segmenter* seg)
{
    return seg == nullptr ? nullptr : seg->durations;
}

int32_t Segmenter_Start(Segmenter* seg, int32_t maxFrames, int32_t crossWord, int32_t stableMs,
                        int32_t withSilence, int32_t preset, int32_t wordCount, const uint16_t* pronIds,
                        int32_t phonemeCount, uint16_t* phonemes, int32_t capacity, uint16_t* stateIds,
                        int16_t* wordPositions, uint16_t* durations, int32_t* stateCount,
                        const uint8_t* wordFlags)
{
    if (seg == nullptr)
        return 0;
    if (seg->state >= 1 && seg->state <= 6) {
        int32_t ignored = 0;
        Segmenter_Finish(seg, 1, &ignored);
    }
    releaseRun(seg);
    if (maxFrames <= 1) {
        seg->state = 3;
        return 0;
    }
    AM_ResetFrameState(seg->am);
    int32_t length = 0;
    if (preset) {
        length = capacity;
    } else {
        Builder out{stateIds, wordPositions, pronIds != nullptr ? phonemes : nullptr, capacity};
        const int32_t r = pronIds != nullptr
                              ? Segmenter_BuildFromProns(seg, crossWord, withSilence != 0, wordCount, pronIds,
                                                         wordFlags, out)
                              : buildFromPhonemes(seg->am, phonemes, phonemeCount, withSilence != 0, out);
        if (r == 0) {
            seg->state = 0;
            return 0;
        }
        if (r < 0) {
            seg->state = 3;
            return 0;
        }
        length = out.length;
    }
    if (stateCount != nullptr)
        *stateCount = length;
    if (length < 1 || length > maxFrames) {
        seg->state = 3;
        return 0;
    }
    const int32_t bytesPerRow = static_cast<int32_t>((static_cast<int64_t>(maxFrames) + 7) / 8);
    seg->scores = static_cast<int16_t*>(zeroed(2 * static_cast<int64_t>(length)));
    seg->backPointers = static_cast<uint8_t*>(zeroed(static_cast<int64_t>(length) * bytesPerRow));
    if (seg->scores == nullptr || seg->backPointers == nullptr) {
        releaseRun(seg);
        seg->state = 3;
        return 0;
    }
    seg->state = 1;
    seg->length = length;
    seg->stateIds = stateIds;
    seg->wordPositions = wordPositions;
    seg->durations = durations;
    seg->lowestActive = seg->highestActive = 0;
    for (int32_t i = 1; i < length; ++i)
        seg->scores[i] = kPruned;
    seg->lastScore = seg->scores + length - 1;
    seg->endOnFinalSilence = withSilence != 0;
    seg->previousBest = 0;
    seg->offset = 0;
    seg->framesProcessed = 0;
    seg->bitByte = seg->bitIndex = 0;
    seg->stableTarget = stableMs / seg->framePeriod;
    seg->stableCounter = 0;
    seg->maxFrames = maxFrames;
    seg->bytesPerRow = bytesPerRow;
    seg->currentRow = seg->backPointers;
    return 1;
}

int32_t Segmenter_ProcessFrame(Segmenter* seg, const uint8_t* frame, const int16_t* frameValue,
                               const AMScoringSet* set)
{
    if (seg == nullptr || seg->state != 1)
        return 3;
    if (seg->framesProcessed >= seg->maxFrames)
        return fail(seg);
    AM* am = seg->am;
    AM_NewFrame(am, frame, frameValue, set, seg->framesProcessed, 0);
    const int32_t previous = seg->previousBest;
    seg->offset += previous;
    const int32_t beam = static_cast<int32_t>(BrevitParam_Word(kBrevitParamPruneOffset) & 0xFFFF);
    const int32_t threshold = saturate(previous + beam);
    int32_t best = kPruned;
    int32_t highest = -1, lowest = -1;
    const uint8_t bit = static_cast<uint8_t>(1u << seg->bitIndex);
    for (int32_t i = seg->highestActive; i >= seg->lowestActive; --i) {
        int16_t& s = seg->scores[i];
        if (i > seg->lowestActive && seg->scores[i - 1] < s) {
            s = seg->scores[i - 1];
            seg->currentRow = row(seg, i);
            std::memcpy(seg->currentRow, row(seg, i - 1), static_cast<size_t>(seg->bytesPerRow));
            seg->currentRow[seg->bitByte] |= bit;
        }
        if (s > threshold) {
            s = kPruned;
            continue;
        }
        s = saturate(s - previous + AM_GetStateScoreUncached(am, seg->stateIds[i]));
        best = std::min<int32_t>(best, s);
        if (highest < 0)
            highest = i;
        lowest = i;
    }
    if (highest < 0)
        return fail(seg);
    if (highest + 1 < seg->length)
        seg->highestActive = highest + 1;
    else
        seg->highestActive = highest;
    seg->lowestActive = lowest;
    if (++seg->bitIndex == 8) {
        seg->bitIndex = 0;
        ++seg->bitByte;
    }
    if (best == kPruned)
        return fail(seg);
    AM_EndFrame(am, 0, nullptr);
    seg->previousBest = best;
    ++seg->framesProcessed;
    int32_t result = 1;
    if (seg->endOnFinalSilence) {
        if (*seg->lastScore == best) {
            if (++seg->stableCounter >= seg->stableTarget)
                result = 2;
        } else {
            seg->stableCounter = 0;
        }
    }
    if (BrevitParam_Word(kBrevitParamCrcTracing) != 0)
        (void)Segmenter_ComputeCRC(seg);
    return result;
}

int32_t Segmenter_Finish(Segmenter* seg, int32_t abort, int32_t* scoreOut)
{
    if (seg == nullptr)
        return 3;
    int32_t result = 3;
    if (seg->state == 1 && seg->scores != nullptr) {
        int32_t final = seg->length - 1;
        if (seg->endOnFinalSilence && final >= 1 && seg->scores[final - 1] < seg->scores[final])
            final -= 1;
        if (seg->scores[final] != kPruned) {
            if (abort) {
                if (scoreOut != nullptr)
                    *scoreOut = kSegmentationNoScore;
            } else {
                const uint8_t* r = row(seg, final);
                int32_t start = 0, k = 0;
                for (int32_t f = 0; f < seg->framesProcessed; ++f)
                    if ((r[f / 8] >> (f % 8)) & 1) {
                        if (seg->durations != nullptr)
                            seg->durations[k] = static_cast<uint16_t>(f - start);
                        ++k;
                        start = f;
                    }
                if (seg->durations != nullptr) {
                    seg->durations[k] = static_cast<uint16_t>(seg->framesProcessed - start);
                    if (final < seg->length - 1)
                        seg->durations[k + 1] = 0;
                }
                if (scoreOut != nullptr)
                    *scoreOut = seg->scores[final] + seg->offset;
            }
            result = 0;
        }
    }
    releaseRun(seg);
    seg->state = 0;
    return result;
}

int32_t Segmenter_ScoreFrame(Segmenter* seg, const uint8_t* frame, const int16_t* frameValue,
                             const AMScoringSet* set)
{
    if (seg == nullptr)
        return kAMNotComputed;
    AM_NewFrame(seg->am, frame, frameValue, set, seg->framesProcessed, 0);
    const int32_t score = AM_GetNonSpeechScore(seg->am, nullptr);
    AM_EndFrame(seg->am, 0, nullptr);
    return score;
}

uint32_t Segmenter_ComputeCRC(const Segmenter* seg)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (seg == nullptr)
        return crc;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->state), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->framesProcessed), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->length), crc);
    crc = DVKCrc_AddPair(static_cast<uint32_t>(seg->lowestActive), static_cast<uint32_t>(seg->highestActive), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->previousBest), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(seg->offset), crc);
    if (seg->scores != nullptr)
        crc = DVKCrc_AddArray(seg->scores, 2, seg->length, crc);
    return crc;
}
