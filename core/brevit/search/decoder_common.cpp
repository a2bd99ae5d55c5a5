// Rejection, search limits and the common checksum: what the decoder
// interface computes the same way for every kind.
#include "core/brevit/search/decoder.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint.h"

namespace {

constexpr int32_t kRejectionWordRoom = 128;
constexpr int32_t kRejectionScale = 306;

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

struct LimitRow {
    int32_t below;
    int32_t out[4];
};

constexpr LimitRow kLimits[] = {
    {25, {500, 200, 500, 4000}},
    {520, {3000, 1000, 1500, 10000}},
    {1100, {6000, 3000, 2500, 20000}},
    {3100, {20000, 8000, 5000, 40000}},
    {INT32_MAX, {30000, 12000, 7000, 60000}},
};

bool allClassPair(Constraint* const* constraints, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (Constraint_GetType(constraints[i]) != kConstraintTypeClassPair)
            return false;
    return true;
}

// The size the limits are chosen by; false when it cannot be had.
bool searchSize(Decoder* decoder, ClassManager* classManager, Constraint* const* constraints, int32_t count,
                int32_t* n)
{
    *n = 0;
    if (classManager != nullptr)
        return ClassManager_GetMaxNumMembers(classManager, n) != 0;
    if (count > 0 && constraints != nullptr && allClassPair(constraints, count))
        return Constraint_GetMaxClassMembers(constraints, count, n) != 0;
    *n = Voc_GetNumActiveEntries(decoder->vocabulary);
    return true;
}

} // namespace

int32_t Decoder_SetRejection(Decoder* decoder, int32_t on, int32_t threshold)
{
    if (!on) {
        decoder->rejectionScore = kDecoderNoScore;
        decoder->rejectionOn = 0;
        decoder->rejectionThreshold = kDecoderRejectionOff;
        return 1;
    }
    decoder->rejectionScore = 0;
    decoder->rejectionThreshold = threshold;
    decoder->rejectionOn = 1;
    int32_t result = (word(kBrevitParamBestCachedFiller) != 0 || word(kBrevitParamFillerScore) != 0)
                         ? 1
                         : AM_HasFillerModel(decoder->model);
    if (word(kBrevitParamNoFillerScore) != 0 && word(kBrevitParamFillerMargin) != 0)
        result = 0;
    return result;
}

int32_t Decoder_AccumulateRejectionScore(Decoder* decoder)
{
    int32_t fillerWon = 0;
    const int32_t score = static_cast<int16_t>(AM_GetNonSpeechScore(decoder->model, &fillerWon));
    decoder->rejectionScore += score;
    if (fillerWon)
        ++decoder->fillerFrames;
    return score;
}

int32_t Decoder_GetRejectionScore(const Decoder* decoder)
{
    return decoder->rejectionOn ? decoder->rejectionScore : kDecoderNoScore;
}

int64_t Decoder_RejectionMargin(const Decoder* decoder, int32_t best, int32_t nonAcoustic, int32_t threshold)
{
    const int64_t s = best, n = nonAcoustic, r = decoder->rejectionScore, t = threshold;
    if (gpBrevitGlobalParameters == nullptr)
        return s - n - r - t;
    if (word(kBrevitParamNoFillerScore) != 0)
        return (kRejectionScale - t) * (s - n) / 256 - r;
    int64_t m = s - n - r;
    // No filler frame: nothing to scale by, the margin stays as it is.
    if (word(kBrevitParamFillerMargin) != 0 && decoder->fillerFrames != 0)
        m = int64_t{word(kBrevitParamFillerMarginScale)} * m / decoder->fillerFrames;
    return m - t;
}

int32_t Decoder_IsRejected(Decoder* decoder, int32_t threshold)
{
    if (!decoder->rejectionOn)
        return 0;
    int32_t score = 0;
    int16_t share = 0;
    uint32_t words[kRejectionWordRoom];
    uint8_t perWord[kRejectionWordRoom] = {};
    if (Decoder_GetChoicesAndScores(decoder, nullptr, nullptr, 1, &score, &share, kRejectionWordRoom, words,
                                    perWord, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) < 1)
        return 1;
    int32_t n = 0;
    while (n < kRejectionWordRoom && words[n] != kDecoderEndOfChoice)
        ++n;
    uint32_t left[2];
    for (int32_t i = 0; i < decoder->leftCount && i < 2; ++i)
        left[i] = Voc_ActiveIdToVocId(decoder->vocabulary, decoder->leftIds[i]);
    const int32_t nonAcoustic = Decoder_GetNonAcousticScore(decoder, decoder->leftCount, left,
                                                            n + decoder->leftCount, n, words, perWord);
    return Decoder_RejectionMargin(decoder, score, nonAcoustic, threshold) > 0 ? 1 : 0;
}

int32_t Decoder_GetSearchLimits(Decoder* decoder, ClassManager* classManager, Constraint* const* constraints,
                                int32_t constraintCount, int32_t, int32_t, int32_t* out1, int32_t* out2,
                                int32_t* out3, int32_t* out4)
{
    *out1 = 0;
    *out2 = 0;
    if (word(kBrevitParamClassSizeHint) == 0) {
        *out1 = word(kBrevitParamHypothesisSpace);
        *out2 = word(kBrevitParamDecoderOut2);
        *out3 = word(kBrevitParamPronCacheSize1);
        *out4 = word(kBrevitParamPronCacheSize2);
        return 1;
    }
    int32_t n = 0;
    if (!searchSize(decoder, classManager, constraints, constraintCount, &n))
        return 0;
    for (const LimitRow& row : kLimits)
        if (n < row.below) {
            *out1 = row.out[0];
            *out2 = row.out[1];
            *out3 = row.out[2];
            *out4 = row.out[3];
            break;
        }
    return 1;
}

uint32_t Decoder_ComputeCommonCRC(const Decoder* decoder)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(static_cast<uint32_t>(decoder->kindWord), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(decoder->rejectionScore), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(decoder->rejectionOn), 1, crc);
    if (decoder->rejectionOn)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(decoder->rejectionThreshold), 4, crc);
    else
        crc = DVKCrc_AddValue(static_cast<uint32_t>(kDecoderRejectionOff), 2, crc);
    for (uint16_t id : decoder->leftIds)
        crc = DVKCrc_AddValue(id, 2, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(decoder->leftCount), 4, crc);
    for (uint16_t id : decoder->rightIds)
        crc = DVKCrc_AddValue(id, 2, crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(decoder->adaptationCount), 4, crc);
}

int32_t Decoder_CountStateTableConstraints(Constraint* const* constraints, int32_t count)
{
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i)
        if (Constraint_GetType(constraints[i]) == kConstraintTypeClassPair &&
            Constraint_GetStateTableFlag(constraints[i]) != 0)
            ++n;
    return n;
}

int32_t Decoder_HasStateTableConstraint(Constraint* const* constraints, int32_t count)
{
    return Decoder_CountStateTableConstraints(constraints, count) > 0;
}

int32_t Decoder_MassagePronSequence(const uint16_t*, const void*, const void*, const void*, int32_t,
                                    int32_t* count, int32_t* score)
{
    const int32_t given = *count;
    *score = kDecoderNoScore;
    *count = 0;
    return given;
}
