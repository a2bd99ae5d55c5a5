// The fast decoder's utterance slots: set-up, the per-frame step with its
// frame options, the end of an utterance, choices and the non-acoustic score.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_matcher.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/decoder_utils.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t searchFrame(FastDecoder* d, const uint8_t* frame, const int32_t* side)
{
    const int32_t dim = AM_GetFeatureDim(d->base.model);
    if ((word(594) != 0 || word(595) != 0) && d->frameIndex > 0 && frame != nullptr)
        d->frameChanged = AM_GetFrameDistance(d->base.model, frame, d->keptFrame) > word(550);
    if (d->frameChangeThreshold != 0 && frame != nullptr) {
        if (d->frameChanged || d->frameIndex == 0) {
            std::memcpy(d->keptFrame, frame, static_cast<size_t>(dim));
            d->keptSide = side != nullptr ? *side : 0;
        } else if (word(551) != 0) {
            frame = d->keptFrame;
            side = &d->keptSide;
        }
    }
    const int32_t state = d->isoProcessFrame(d, frame, side);
    if (d->frameChangeThreshold != 0)
        d->frameChanged = !d->frameChanged;
    return state;
}

int32_t skipOrSearch(FastDecoder* d, const uint8_t* frame, const int32_t* sideValue)
{
    if (word(584) != 0) {
        d->skipToggle = !d->skipToggle;
        if (!d->skipToggle) {
            if (word(558) != 0)
                ++d->frameIndex;
            return d->state;
        }
    }
    return searchFrame(d, frame, sideValue);
}

const uint8_t* ringFrame(const FastDecoder* d, int32_t j, int32_t dim)
{
    return d->delayRing + static_cast<size_t>(j % d->ringSize) * static_cast<size_t>(dim);
}

}  // namespace

DecoderHandle FastDecoder_UttInit(Decoder* decoder, const uint16_t* leftIds, int32_t leftCount,
                                  Constraint* const* constraints, int32_t constraintCount, int32_t mode, int32_t,
                                  int32_t, int32_t, int32_t)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    FastIso_Install(d);
    if (!FastDecoder_ReserveHypotheses(d)) {
        d->state = kDecoderStateStarting;
        return 0;
    }
    return d->isoUttInit(d, leftIds, leftCount, constraints, constraintCount, mode);
}

int32_t FastDecoder_ProcessFrame(Decoder* decoder, const uint8_t* frame, const int32_t* sideValue)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (!d->ringActive)
        return frame != nullptr ? skipOrSearch(d, frame, sideValue) : d->state;
    const int32_t L = d->ringSize;
    const int32_t dim = AM_GetFeatureDim(d->base.model);
    if (frame == nullptr) {
        // The end of the frames: what the ring still holds is searched in
        // order, now without an average to look ahead with.
        d->ringActive = 0;
        for (int32_t j = std::max(d->ringFill - L + 1, 0); j < d->ringFill; ++j)
            skipOrSearch(d, ringFrame(d, j, dim), &d->ringSides[j % L]);
        return d->state;
    }
    const int32_t slot = d->ringFill % L;
    std::memcpy(d->delayRing + static_cast<size_t>(slot) * static_cast<size_t>(dim), frame, static_cast<size_t>(dim));
    d->ringSides[slot] = sideValue != nullptr ? *sideValue : 0;
    ++d->ringFill;
    if (d->ringFill < L)
        return d->state;
    // The oldest frame is searched with the frames after it averaged.
    const int32_t oldest = d->ringFill - L;
    for (int32_t i = 0; i < L; ++i)
        d->ringOrder[i] = ringFrame(d, oldest + i, dim);
    const AMWordMatcher* matcher = d->base.model->matcher;
    if (matcher != nullptr && matcher->frameEnd <= L)
        AM_AverageFrames(d->base.model, d->ringOrder);
    // The ring counts up without bound; keep it in a range that cannot wrap.
    if (d->ringFill >= 0x40000000)
        d->ringFill -= (0x20000000 / L) * L;
    return skipOrSearch(d, d->ringOrder[0], &d->ringSides[oldest % L]);
}

int32_t FastDecoder_UttFinish(Decoder* decoder, Utterance*)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    d->isoUttFinish(d);
    if (d->state == kDecoderStateNoHypothesis)
        return d->state;
    if (d->state == kDecoderStateRunning)
        d->state = kDecoderStateFinishedFast;
    if (Decoder_IsRejected(decoder, decoder->rejectionThreshold))
        d->state = kDecoderStateFailed;
    return d->state;
}

int32_t FastDecoder_GetChoicesAndScores(Decoder* decoder, int32_t limit, int32_t* scores, int16_t* perChoice,
                                        int32_t capacity, uint32_t* wordIds, uint8_t* classEnds,
                                        uint32_t* classIds, uint32_t* memberValues, uint8_t* classStarts,
                                        uint16_t* decoderValues, Constraint**, const void*, const int32_t*)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (d->state == kDecoderStateFailed || d->state == kDecoderStateStarting)
        return 0;
    return d->isoGetChoicesAndScores(d, limit, scores, perChoice, capacity, wordIds, classEnds, classIds,
                                     memberValues, classStarts, decoderValues);
}

int32_t FastDecoder_GetNonAcousticScore(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds, int32_t,
                                        int32_t wordCount, const uint32_t* wordIds, const uint8_t*)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (wordCount < 1)
        return 0;
    int64_t sum = 0;
    if (decoder->vocabulary != nullptr)
        sum += Decoder_ScoreWordSequenceLM(decoder, leftCount, leftIds, 2, wordCount, wordIds);
    sum += static_cast<int64_t>(d->wordPenalty) * wordCount;
    if (d->mode == 1)
        sum += d->wordEndPenalty;
    const int32_t phonePenalty = word(582);
    if (phonePenalty != 0 && decoder->vocabulary != nullptr) {
        Voc* voc = decoder->vocabulary;
        const int32_t longest = std::max(Voc_GetMaxRecogPronunciationLength(voc), 1);
        auto* buffer = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(longest + 2) * 2));
        if (buffer != nullptr) {
            for (int32_t i = 0; i < wordCount; ++i) {
                const int32_t pron = Voc_GetFirstPronId(voc, wordIds[i]);
                if (pron >= 0)
                    sum += static_cast<int64_t>(phonePenalty) * Voc_GetRecogPronunciation(voc, pron, buffer);
            }
            DVKMem_Free(buffer);
        }
    }
    // Held to 16 bits by saturating instead of wrapping.
    return static_cast<int16_t>(std::clamp<int64_t>(sum, -0x8000, 0x7FFF));
}
