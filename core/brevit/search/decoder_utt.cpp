// What every kind shares around an utterance: set-up with the word context
// and statistic arrays, the state-gated per-frame step, decoding a stored
// utterance, and fetching choices with their confidence.
#include "core/brevit/search/decoder.h"

#include "core/brevit/frontend/utterance.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_watchdog.h"
#include "core/brevit/search/constraint.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kNoWord = 65535;
constexpr uint16_t kContextMarker = 65533;
constexpr uint16_t kRightMarker = 65532;
constexpr int32_t kMaxContext = 2;
constexpr int32_t kConfidenceGapCap = 6400;
constexpr int32_t kConfidenceFull = 3232;

void freeStats(Decoder* decoder)
{
    DVKMem_Free(decoder->statsA);
    DVKMem_Free(decoder->statsB);
    decoder->statsA = nullptr;
    decoder->statsB = nullptr;
}

// Made at the first utterance, zeroed at each.
bool prepareStats(Decoder* decoder)
{
    if (decoder->statsA == nullptr || decoder->statsB == nullptr) {
        freeStats(decoder);
        decoder->statsLength = static_cast<int32_t>(BrevitParam_Word(kBrevitParamFrameQueueCapacity));
        const uint32_t bytes = static_cast<uint32_t>(std::max(decoder->statsLength, 1)) * sizeof(int32_t);
        decoder->statsA = static_cast<int32_t*>(DVKMem_Calloc(bytes));
        decoder->statsB = static_cast<int32_t*>(DVKMem_Calloc(bytes));
        if (decoder->statsA == nullptr || decoder->statsB == nullptr) {
            freeStats(decoder);
            return false;
        }
    }
    const size_t bytes = static_cast<size_t>(std::max(decoder->statsLength, 0)) * sizeof(int32_t);
    std::memset(decoder->statsA, 0, bytes);
    std::memset(decoder->statsB, 0, bytes);
    return true;
}

bool needsConstraints(int32_t mode) { return mode == 3 || mode == 4 || mode == 5 || mode == 10; }

bool constraintsFit(int32_t mode, int32_t count, Constraint* const* constraints)
{
    if (!needsConstraints(mode))
        return true;
    if (count < 1 || constraints == nullptr)
        return false;
    const int32_t type = Constraint_GetType(constraints[0]);
    for (int32_t i = 1; i < count; ++i)
        if (Constraint_GetType(constraints[i]) != type)
            return false;
    return true;
}

void clearRight(Decoder* decoder)
{
    decoder->rightIds[0] = kNoWord;
    decoder->rightIds[1] = kNoWord;
    decoder->rightCount = 0;
}

void setLeftContext(Decoder* decoder, int32_t count, const uint16_t* ids)
{
    decoder->leftIds[0] = kNoWord;
    decoder->leftIds[1] = kNoWord;
    clearRight(decoder);
    if (count <= 0 || ids == nullptr) {
        decoder->leftCount = 0;
        return;
    }
    const int32_t kept = std::min(count, kMaxContext);
    for (int32_t i = 0; i < kept; ++i)
        decoder->leftIds[i] = ids[count - kept + i];
    decoder->leftCount = kept;
    if (ids[count - 1] == kContextMarker) {
        decoder->rightIds[0] = kRightMarker;
        decoder->rightCount = 1;
    }
}

} // namespace

DecoderHandle Decoder_UttInit(Decoder* decoder, int32_t leftCount, const uint16_t* leftIds,
                              int32_t constraintCount, Constraint* const* constraints, int32_t mode, int32_t a,
                              int32_t b, int32_t c, int32_t d)
{
    decoder->activeConstraint = 0;
    decoder->utterance = nullptr;
    decoder->frameChecksum = 0;
    decoder->uttDone = 0;
    // A left count below 1 is no context.
    decoder->leftCount = std::max(leftCount, 0);
    if (!prepareStats(decoder))
        return 0;
    if (!constraintsFit(mode, constraintCount, constraints))
        return 0;
    setLeftContext(decoder, leftCount, leftIds);
    if (decoder->uttInit != nullptr)
        decoder->activeConstraint =
            decoder->uttInit(decoder, leftIds, leftCount, constraints, constraintCount, mode, a, b, c, d);
    if (decoder->rejectionOn) {
        decoder->rejectionScore = 0;
        decoder->fillerFrames = 0;
    } else {
        decoder->rejectionScore = kDecoderNoScore;
        decoder->fillerFrames = -1;
    }
    return decoder->activeConstraint;
}

void Decoder_SetRightContext(Decoder* decoder, int32_t count, const uint16_t* ids)
{
    clearRight(decoder);
    if (count <= 0 || ids == nullptr)
        return;
    int32_t taken = 0;
    for (int32_t i = 0; i < std::min(count, kMaxContext); ++i) {
        const uint16_t id = ids[i];
        if (id == kNoWord) {
            decoder->rightIds[i] = id;
            break;
        }
        if (id != kRightMarker && !Voc_IsActiveIdMapped(decoder->vocabulary, id))
            break;
        decoder->rightIds[i] = id;
        ++taken;
    }
    decoder->rightCount = taken;
}

int32_t Decoder_ProcessFrame(Decoder* decoder, const uint8_t* frame, const int32_t* sideValue)
{
    const int32_t state = Decoder_GetState(decoder);
    if (state != kDecoderStateRunning && state != kDecoderStateFinished && state != kDecoderStateNoHypothesis &&
        state != kDecoderStateFrameLimit)
        return state;
    return decoder->processFrame != nullptr ? decoder->processFrame(decoder, frame, sideValue) : 0;
}

int32_t Decoder_DecodeUtterance(Decoder* decoder, int32_t leftCount, const uint16_t* leftIds,
                                int32_t constraintCount, Constraint* const* constraints, int32_t mode,
                                int32_t a, int32_t b, int32_t c, int32_t d, Utterance* utterance)
{
    Utterance_Rewind(utterance);
    if (Decoder_UttInit(decoder, leftCount, leftIds, constraintCount, constraints, mode, a, b, c, d) == 0)
        return kDecoderStateFailed;
    int32_t* side = nullptr;
    for (const uint8_t* frame = Utterance_GetNextFrame(utterance, &side); frame != nullptr;
         frame = Utterance_GetNextFrame(utterance, &side)) {
        const int32_t state = Decoder_ProcessFrame(decoder, frame, side);
        if (state == kDecoderStateFinished || state == kDecoderStateFailed)
            break;
        if (DVKWatchDog_Call()) {
            Decoder_SetRejected(decoder);
            break;
        }
    }
    Decoder_UttFinish(decoder, utterance);
    return Decoder_GetState(decoder);
}

int32_t Decoder_GetChoicesAndScores(Decoder* decoder, const void* frames, const int32_t* sideValues,
                                    int32_t limit, int32_t* scores, int16_t* grammarShares, int32_t capacity,
                                    uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds,
                                    uint32_t* memberValues, uint8_t* classStarts, uint16_t* decoderValues,
                                    Constraint** constraints, int32_t* confidence)
{
    if (confidence != nullptr)
        *confidence = 0;
    const int32_t state = Decoder_GetState(decoder);
    if (decoder->activeConstraint == 0 || state == kDecoderStateStarting) {
        // Empty lists may be empty blocks: mark only where there is room.
        if (capacity > 0 && wordIds != nullptr)
            wordIds[0] = kDecoderEndOfChoice;
        if (limit > 0 && scores != nullptr)
            scores[0] = kDecoderNoScore;
        return 0;
    }
    if (state == kDecoderStateFailed)
        return 0;
    int32_t count = 0;
    if (decoder->getChoicesAndScores != nullptr)
        count = decoder->getChoicesAndScores(decoder, limit, scores, grammarShares, capacity, wordIds, classEnds,
                                             classIds, memberValues, classStarts, decoderValues, constraints,
                                             frames, sideValues);
    if (count == 0)
        Decoder_SetRejected(decoder);
    if (confidence != nullptr) {
        if (count < 1)
            *confidence = 0;
        else if (count == 1)
            *confidence = 100;
        else
            *confidence = Decoder_ComputeConfidence(decoder, scores[0], scores[1]);
    }
    return count;
}

int32_t Decoder_ComputeConfidence(Decoder*, int32_t best, int32_t second)
{
    if (gpBrevitGlobalParameters == nullptr)
        return 0;
    // Formed in 64 bits: a large scale times a capped gap overflows 32.
    const int64_t gap = std::min<int64_t>(int64_t{second} - best, kConfidenceGapCap);
    const int64_t p = int64_t{static_cast<int32_t>(BrevitParam_Word(kBrevitParamGapScale))} * gap;
    if (p < 0)
        return 0;
    return p < kConfidenceFull ? static_cast<int32_t>(p / 32) : 100;
}
