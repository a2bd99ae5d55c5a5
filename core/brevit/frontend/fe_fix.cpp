#include "core/brevit/frontend/fe_fix.h"

#include "core/brevit/frontend/fe_fix_parts.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool isFrame(int32_t status) { return status == kFEStatusSpeech || status == kFEStatusNoSpeech; }

bool secondReadIndex(const FE* fe) { return fe->altOutput || fe->channelCheck; }

void advance(const FEFix* f, int32_t* index) { *index = FEFix_Wrap(f, *index + 1); }

void updateQueueStats(FEFix* f)
{
    const FE* fe = &f->head;
    int32_t depth = FEFix_Wrap(f, f->writeIndex - f->readIndex) - fe->deltaHalfWidth;
    if (!f->ended)
        depth -= fe->cnLag;
    if (depth < 0 || ChannelNorm_IsAccumulating(f->channelNorm))
        depth = 0;
    f->maxQueueDepth = std::max(f->maxQueueDepth, depth);
}

void markRows(FEFix* f, int32_t from, int32_t through, uint8_t bit)
{
    for (int32_t i = from;; i = FEFix_Wrap(f, i + 1)) {
        f->flags[i] |= bit;
        if (i == through)
            break;
    }
}

// ---- operations ---------------------------------------------------------------

void FEFix_Destroy(FE* fe)
{
    FEFix* f = FEFix_Of(fe);
    DVKMem_Free(f->ring);
    DVKMem_Free(f->work);
    DVKMem_Free(f->flags);
    DVKMem_Free(f->snapshot);
    DVKMem_Free(f->warpRing);
    DVKMem_Free(f->scales);
    DVKMem_Free(f->bytes);
    FEFixSampleStage_Destroy(f->sampleStage);
    DeltaFilter_Destroy(f->delta);
    ChannelNorm_Destroy(f->channelNorm);
    EnergyStage_Destroy(f->energy);
    CepstralWarp_Destroy(f->cepstralWarp);
    LinearTransform_Destroy(f->transform);
    LinearTransform_Destroy(f->altTransform);
    DVKMem_Free(f);
}

void FEFix_Reset(FE* fe, int32_t mode)
{
    FEFix* f = FEFix_Of(fe);
    if (mode == 0) {
        f->framesInUtterance = 0;
        f->speechFrameCount = 0;
        f->framesWritten = 0;
        f->framesRead = 0;
        f->cepstraRead = 0;
        f->writeIndex = 0;
        f->overflow = 0;
        f->readIndex = fe->ringSize - fe->deltaHalfWidth;
        ChannelNorm_Reset(f->channelNorm);
    }
    if (f->energy != nullptr)
        EnergyStage_Reset(f->energy, mode);
    if (mode == 0) {
        FEFixSampleStage_Reset(f->sampleStage);
        if (f->cepstralWarp != nullptr)
            CepstralWarp_Reset(f->cepstralWarp);
        std::memset(f->flags, 0, fe->ringSize);
    }
    FEFixSampleStage_SetWarpIndex(f->sampleStage, 0);
}

void FEFix_ReleaseChannelMap(FE* fe) { fe->cnCatchUp = 1; }

int32_t FEFix_RestartChannelMap(FE* fe, int32_t milliseconds)
{
    FEFix* f = FEFix_Of(fe);
    fe->altOutput = 0;
    fe->channelCheck = 0;
    ChannelNorm_Restart(f->channelNorm);
    const int32_t window = 2 * fe->deltaHalfWidth + 1;
    int32_t backlog = FEFix_Wrap(f, f->writeIndex - f->readIndex);
    if (backlog > window)
        backlog -= window;
    const int32_t span = std::min(backlog, milliseconds / fe->frameShiftMs);
    f->readIndex = FEFix_Wrap(f, f->writeIndex - 1 - span);
    bool marking = fe->cnLag < span;
    for (int32_t i = f->readIndex; i != f->writeIndex; i = FEFix_Wrap(f, i + 1)) {
        if (!(f->flags[i] & kFEFlagDynamicsDone))
            continue;
        if (f->energy != nullptr)
            EnergyStage_Process(f->energy, FEFix_Row(f, i), f->channelNorm);
        if (FEFix_Wrap(f, i + fe->cnLag) == f->writeIndex)
            marking = false;
        else if (marking)
            f->flags[i] |= kFEFlagPastLag;
    }
    return f->writeIndex;
}

void FEFix_StartUtterance(FE* fe, int32_t accumulate)
{
    FEFix* f = FEFix_Of(fe);
    f->state = kFEStatusNoFrame;
    f->ended = 0;
    f->flushGiven = 0;
    f->overflow = 0;
    f->droppedShifts = 0;
    const int32_t n = fe->deltaHalfWidth;
    if (fe->hasEnergyStage) {
        // The lag may not outgrow the ring the model sized for it.
        const int32_t lag = static_cast<int32_t>(BrevitParam_Word(kBrevitParamChannelNormDelay));
        fe->cnLag = std::clamp(lag, 0, fe->ringSize - (2 * n + 1));
        fe->cnCatchUp = 0;
    }
    fe->altOutput = BrevitParam_Word(kBrevitParamAltOutput) != 0 && f->altTransform != nullptr;
    fe->channelCheck = BrevitParam_Word(kBrevitParamChannelCheck) != 0;
    f->accumulateChannel = accumulate != 0;
    FEFixSampleStage_StartUtterance(f->sampleStage);
    ChannelNorm_StartUtterance(f->channelNorm, accumulate);
    std::memset(f->flags, 0, fe->ringSize);
    f->readIndex = fe->ringSize - n;
    if (secondReadIndex(fe))
        f->altReadIndex = fe->ringSize - n;
    f->writeIndex = 0;
    f->framesInUtterance = 0;
    f->framesWritten = 0;
    f->framesRead = 0;
    f->cepstraRead = 0;
}

int32_t FEFix_ProcessFrame(FEFix* f, int32_t s)
{
    FE* fe = &f->head;
    const int32_t n = fe->deltaHalfWidth;
    const int32_t w = f->writeIndex;
    const int32_t d = FEFix_Wrap(f, w - n);
    int16_t* row = FEFix_Row(f, w);

    const bool limited = BrevitParam_Word(kBrevitParamEnergyStageLimited) != 0 &&
                         static_cast<uint32_t>(f->speechFrameCount) >=
                             BrevitParam_Word(kBrevitParamEnergyStageFrameLimit);
    if (isFrame(s) && !limited) {
        if (fe->altOutput) {
            if (f->energy != nullptr)
                EnergyStage_Observe(f->energy, row[0]);
        } else if (fe->hasEnergyStage) {
            EnergyStage_Process(f->energy, row, f->channelNorm);
            // Saturates: a restored count may already stand at the top.
            if ((f->flags[w] & kFEFlagAboveQuarter) && f->speechFrameCount < INT32_MAX)
                f->speechFrameCount += 1;
        }
    }
    // The speech decision moves back with the row it completes.
    f->flags[d] = static_cast<uint8_t>((f->flags[d] & ~kFEFlagSpeech) | (f->flags[w] & kFEFlagSpeech));

    if (isFrame(s)) {
        if (DeltaFilter_Process(f->delta, f->ring, w, fe->ringSize, f->framesInUtterance, f->ended)) {
            f->flags[d] |= kFEFlagDynamicsDone;
            if (f->accumulateChannel)
                ChannelNorm_Accumulate(f->channelNorm, FEFix_Row(f, d), f->flags[d]);
            if (fe->hasEnergyStage && !fe->altOutput) {
                const int32_t needed = fe->cnLag + (fe->flushDeltaAtEnd ? n : 2 * n);
                if (f->framesInUtterance >= needed)
                    f->flags[FEFix_Wrap(f, d - fe->cnLag)] |= kFEFlagPastLag;
                if (fe->cnCatchUp && fe->cnLag > 1) {
                    fe->cnLag -= 1;
                    f->flags[FEFix_Wrap(f, d - fe->cnLag)] |= kFEFlagPastLag;
                }
            }
        } else {
            advance(f, secondReadIndex(fe) ? &f->altReadIndex : &f->readIndex);
            s = kFEStatusNoFrame;
        }
        f->writeIndex = FEFix_Wrap(f, w + 1);
        f->framesInUtterance += 1;
        f->framesWritten += 1;
    }
    updateQueueStats(f);
    if (!f->accumulateChannel)
        f->state = s;
    if (fe->channelCheck && f->framesInUtterance > 2 * n + 1 && f->energy != nullptr &&
        EnergyStage_LevelJump(f->energy))
        return kFEStatusChannelJump;
    return s;
}

// Room for one more row; false (samples dropped) once the ring is full.
bool makeRoom(FEFix* f)
{
    FE* fe = &f->head;
    if (secondReadIndex(fe)) {
        if (FEFix_Wrap(f, f->readIndex - f->writeIndex) < 2)
            advance(f, &f->readIndex);  // the oldest frame goes
        return true;
    }
    if (f->writeIndex == f->readIndex && !f->overflow) {
        f->overflow = 1;
        DVKErr_Warn(__FILE__, __LINE__, "front end: frame ring full, dropping samples until the next utterance");
    }
    if (f->overflow) {
        f->droppedShifts += 1;
        return false;
    }
    return true;
}

int32_t FEFix_FeedSamples(FE* fe, const int16_t* samples)
{
    FEFix* f = FEFix_Of(fe);
    if (!makeRoom(f))
        return kFEStatusNotReady;
    const int32_t status = FEFixSampleStage_FeedSamples(f->sampleStage, samples,
                                                        FEFix_Row(f, f->writeIndex),
                                                        &f->flags[f->writeIndex]);
    return FEFix_ProcessFrame(f, status);
}

int32_t FEFix_FeedCepstra(FE* fe, const int16_t* cepstra, int32_t energy)
{
    FEFix* f = FEFix_Of(fe);
    if (!makeRoom(f))
        return kFEStatusNotReady;
    const int32_t status = FEFixSampleStage_FeedCepstra(f->sampleStage, cepstra, energy,
                                                        FEFix_Row(f, f->writeIndex),
                                                        &f->flags[f->writeIndex]);
    return FEFix_ProcessFrame(f, status);
}

int32_t FEFix_FeedFloatFeatures(FE* fe, const float* values, int32_t count, int32_t speechGiven,
                          int32_t speech)
{
    FEFix* f = FEFix_Of(fe);
    if (!makeRoom(f))
        return kFEStatusNotReady;
    const int32_t w = f->writeIndex;
    int16_t* row = FEFix_Row(f, w);
    const float scale = static_cast<float>(1 << fe->cepstralShift);
    const int32_t stored = std::min(count, fe->featureLength);
    for (int32_t i = 0; i < stored; ++i)
        row[i] = static_cast<int16_t>(
            std::clamp(std::floor(values[i] * scale + 0.5f), -32768.0f, 32767.0f));
    f->flags[w] = speechGiven
                      ? static_cast<uint8_t>(speech ? kFEFlagSpeech : 0)
                      : static_cast<uint8_t>(FEFixSampleStage_RunTracker(f->sampleStage, row[0]));
    if (count == fe->featureLength) {
        f->flags[w] |= kFEFlagDynamicsDone;
        f->flushGiven = 1;
    }
    return FEFix_ProcessFrame(f, (f->flags[w] & kFEFlagSpeech) ? kFEStatusSpeech : kFEStatusNoSpeech);
}

int32_t FEFix_GetNextCepstra(FE* fe, int16_t* out)
{
    FEFix* f = FEFix_Of(fe);
    // Cepstra are read at their own position, so packets neither take
    // frames from the frame reader nor hold the ring for it.
    if (f->state == kFEStatusEnded || f->ended)
        return kFEStatusEnded;
    const int32_t held = fe->ringSize - 1;
    if (f->framesWritten - f->cepstraRead > held)
        f->cepstraRead = f->framesWritten - held;  // skip to the oldest row held
    if (f->cepstraRead == f->framesWritten)
        return kFEStatusNotReady;
    const int32_t row = FEFix_Wrap(f, f->cepstraRead);
    std::memcpy(out, FEFix_Row(f, row), fe->numCepstra * sizeof(int16_t));
    f->cepstraRead += 1;
    return (f->flags[row] & kFEFlagSpeech) ? kFEStatusSpeech : kFEStatusNoSpeech;
}

int32_t FEFix_ReleaseCNBuffer(FE* fe)
{
    FEFix* f = FEFix_Of(fe);
    const int32_t released = ChannelNorm_Release(f->channelNorm);
    if (released) {
        markRows(f, f->readIndex, f->writeIndex, kFEFlagReleased);
        f->state = kFEStatusNoSpeech;
    }
    return released;
}

int32_t FEFix_GetMaxWarpIndex(FE* fe) { return FEFixSampleStage_GetMaxWarpIndex(FEFix_Of(fe)->sampleStage); }
int32_t FEFix_GetWarpIndex(FE* fe) { return FEFixSampleStage_GetWarpIndex(FEFix_Of(fe)->sampleStage); }

int32_t FEFix_SetWarpIndex(FE* fe, int32_t index)
{
    return FEFixSampleStage_SetWarpIndex(FEFix_Of(fe)->sampleStage, index);
}

int32_t FEFix_GetNumFutureSilenceFrames(FE* fe)
{
    FEFix* f = FEFix_Of(fe);
    const int32_t n = fe->deltaHalfWidth;
    const int32_t r = fe->channelCheck ? f->altReadIndex : f->readIndex;
    if (FEFix_Wrap(f, f->writeIndex - r) <= n)
        return 0;
    const int32_t stop = FEFix_Wrap(f, f->writeIndex - n);
    int32_t count = 0;
    for (int32_t i = FEFix_Wrap(f, r + 1); i != stop && !(f->flags[i] & kFEFlagSpeech);
         i = FEFix_Wrap(f, i + 1))
        ++count;
    return count;
}

int32_t FEFix_GetNextFrame(FE* fe, uint8_t* out, uint16_t info[2])
{
    FEFix* f = FEFix_Of(fe);
    info[0] = 0;
    info[1] = 0;
    // No frame yet, unless the utterance has ended: one shorter than the
    // delta filter's reach never left that state and still has its end (and,
    // with the flush, its frames) to give.
    if (f->state == kFEStatusEnded || (f->state == kFEStatusNoFrame && !f->ended))
        return f->state;
    int32_t r = kFEStatusNotReady;
    if (f->ended) {
        f->state = kFEStatusEnded;
        r = kFEStatusEnded;
    }
    int32_t* readIndex = secondReadIndex(fe) ? &f->altReadIndex : &f->readIndex;
    const int32_t n = fe->deltaHalfWidth;

    if (f->ended && (fe->flushDeltaAtEnd || f->flushGiven) &&
        FEFix_Wrap(f, f->writeIndex - *readIndex) > f->framesWritten) {
        // The read position starts N rows behind the first frame; an utterance
        // that ended before catching up leaves it on rows of no utterance.
        *readIndex = FEFix_Wrap(f, f->writeIndex - f->framesWritten);
    }
    const int32_t x = *readIndex;
    info[1] = static_cast<uint16_t>(x);

    if (f->ended && (fe->flushDeltaAtEnd || f->flushGiven)) {
        if (f->writeIndex != x) {
            // The rows queued after x bound the last dynamics.
            f->framesInUtterance = FEFix_Wrap(f, f->writeIndex - 1 - x);
            if (!(f->flags[x] & kFEFlagDynamicsDone) &&
                DeltaFilter_Process(f->delta, f->ring, x + n, fe->ringSize, f->framesInUtterance, 1))
                f->flags[x] |= kFEFlagDynamicsDone;
        } else if (secondReadIndex(fe) || !(f->flags[x] & kFEFlagDynamicsDone)) {
            // Caught up with the writer: nothing is left.
            f->flags[x] = 0;
        }
        // Otherwise the writer met x by filling the ring: the single read
        // index clears every row it delivers, so a completed row at x is the
        // oldest of a full ring, and it and the rest are still to be given.
        r = kFEStatusEnded;
    }

    bool ready = false;
    if (fe->hasEnergyStage && !f->ended && !fe->altOutput)
        ready = (f->flags[x] & kFEFlagPastLag) != 0;
    else
        ready = (f->flags[x] & kFEFlagDynamicsDone) &&
                (f->ended || FEFix_Wrap(f, f->writeIndex - x) >= 2);
    int16_t* row = FEFix_Row(f, x);
    if (ready) {
        std::memcpy(f->work, row, fe->featureLength * sizeof(int16_t));
        ready = ChannelNorm_Normalise(f->channelNorm, row, f->flags[x], f->work) != 0;
    }
    if (!ready) {
        updateQueueStats(f);
        return r;
    }
    f->lastC0 = row[0];

    if (f->cepstralWarp != nullptr) {
        const int32_t stored = CepstralWarp_GetDim(f->cepstralWarp) + 1;
        std::memcpy(f->warpRing + x * stored, f->work, stored * sizeof(int16_t));
        CepstralWarp_Apply(f->cepstralWarp, f->transform->rowIndex, f->transform->numOutputs, f->work);
    }
    LinearTransform_Apply(fe->altOutput ? f->altTransform : f->transform, f->work, out);

    const LinearTransform* t = f->transform;
    const int32_t shift = t->shiftA + t->shiftB - fe->cepstralShift;
    const int32_t m = t->matrix[0][0];
    int16_t std0 = 0;
    int16_t stds[kFESnapshotChannels];
    ChannelNorm_GetStds(f->channelNorm, stds);
    std0 = stds[0];
    if (m >= 1)
        info[0] = static_cast<uint16_t>(shift < 0 || shift > 31 ? 0 : (int64_t{std0} << shift) / m);

    f->state = kFEStatusNotReady;
    r = (f->flags[x] & kFEFlagSpeech) ? kFEStatusSpeech : kFEStatusNoSpeech;
    if (!secondReadIndex(fe))
        f->flags[x] = 0;
    f->framesRead += 1;
    advance(f, readIndex);
    updateQueueStats(f);
    return r;
}

int32_t FEFix_EndUtterance(FE* fe)
{
    FEFix* f = FEFix_Of(fe);
    if (fe->hasEnergyStage) {
        if (f->ended)
            f->state = kFEStatusEnded;
        f->ended = 1;
        return f->state;
    }
    if (f->ended && !fe->flushDeltaAtEnd && !f->flushGiven) {
        f->state = kFEStatusEnded;
        return f->state;
    }
    if (!f->accumulateChannel) {
        f->ended = 1;
        return f->state;
    }
    const int32_t n = fe->deltaHalfWidth;
    if (fe->flushDeltaAtEnd) {
        int32_t position = f->writeIndex;
        for (int32_t k = n; k >= 1; --k, ++position) {
            if (k > f->framesInUtterance)
                continue;  // before the utterance's first row
            const int32_t row = FEFix_Wrap(f, f->writeIndex - k);
            if (DeltaFilter_Process(f->delta, f->ring, position, fe->ringSize, k - 1, 1)) {
                ChannelNorm_Accumulate(f->channelNorm, FEFix_Row(f, row), f->flags[row]);
                f->flags[row] |= kFEFlagDynamicsDone;
            }
        }
    }
    const int32_t released = ChannelNorm_Release(f->channelNorm);
    if (released) {
        markRows(f, f->readIndex, f->writeIndex, kFEFlagReleased);
        f->state = kFEStatusNoSpeech;
    }
    f->ended = 1;
    return released;
}

void FEFix_UpdateCepstralWarp(FE* fe, const uint8_t* target, int32_t row)
{
    FEFix* f = FEFix_Of(fe);
    if (f->cepstralWarp == nullptr || row < 0 || row >= fe->ringSize)
        return;
    const int32_t stored = CepstralWarp_GetDim(f->cepstralWarp) + 1;
    std::memset(f->work, 0, fe->featureLength * sizeof(int16_t));
    std::memcpy(f->work, f->warpRing + row * stored, stored * sizeof(int16_t));
    LinearTransform_Apply(f->transform, f->work, f->bytes);
    int32_t shift = 0;
    LinearTransform_GetScales(f->transform, f->scales, &shift);
    CepstralWarp_Update(f->cepstralWarp, f->energy, f->work, FEFix_Row(f, row)[0], f->scales, shift,
                        f->transform->rowIndex, f->transform->numOutputs, f->bytes, target);
}

void FEFix_GetMinMaxEnergy(FE* fe, uint16_t* minEnergy, uint16_t* maxEnergy)
{
    const EnergyStage* e = FEFix_Of(fe)->energy;
    *minEnergy = e != nullptr ? static_cast<uint16_t>(e->minEnergy) : 1;
    *maxEnergy = e != nullptr ? static_cast<uint16_t>(e->maxEnergy) : 0;
}

int32_t FEFix_GetSNR(FE* fe)
{
    FEFix* f = FEFix_Of(fe);
    if (f->energy == nullptr)
        return 0;
    const int32_t channels = FEFixSampleStage_GetNumChannels(f->sampleStage);
    // 23 << 15 times a few thousand channels passes 32 bits.
    const int64_t divisor = (int64_t{23} << fe->cepstralShift) * channels;
    if (divisor == 0)
        return 0;
    return static_cast<int32_t>(
        (static_cast<int64_t>(f->energy->maxEnergy - f->energy->minEnergy) * 200) / divisor);
}

void FEFix_GetChannelMeans(FE* fe, int16_t* out) { ChannelNorm_GetMeans(FEFix_Of(fe)->channelNorm, out); }
void FEFix_GetChannelVars(FE* fe, int16_t* out) { ChannelNorm_GetStds(FEFix_Of(fe)->channelNorm, out); }
void FEFix_SetChannelMeans(FE* fe, const int16_t* in) { ChannelNorm_SetMeans(FEFix_Of(fe)->channelNorm, in); }
void FEFix_SetChannelVars(FE* fe, const int16_t* in) { ChannelNorm_SetStds(FEFix_Of(fe)->channelNorm, in); }
uint16_t FEFix_GetRMS(FE* fe) { return FEFixSampleStage_GetEnergy(FEFix_Of(fe)->sampleStage); }

void FEFix_GetFeatureQueueStats(FE* fe, int32_t* capacity, int32_t* depth, int32_t* maxDepth)
{
    FEFix* f = FEFix_Of(fe);
    *capacity = *depth = *maxDepth = 0;
    if (fe->ringSize <= 0)
        return;
    const int32_t n = fe->deltaHalfWidth;
    const int32_t r = fe->channelCheck ? f->altReadIndex : f->readIndex;
    *capacity = fe->ringSize - n;
    *depth = FEFix_Wrap(f, f->writeIndex - r) - n;
    if (!f->ended) {
        *capacity -= fe->cnLag;
        *depth -= fe->cnLag;
    }
    if (*depth < 0 || ChannelNorm_IsAccumulating(f->channelNorm))
        *depth = 0;
    *maxDepth = f->maxQueueDepth;
}

void FEFix_ClearFeatureQueueStats(FE* fe) { FEFix_Of(fe)->maxQueueDepth = 0; }

const FEFunctionTable kFEFixTable = {
    FEFix_Destroy,
    FEFix_Reset,
    FEFix_ReleaseChannelMap,
    FEFix_RestartChannelMap,
    FEFix_StartUtterance,
    FEFix_EndUtterance,
    FEFix_FeedSamples,
    FEFix_FeedFloatFeatures,
    FEFix_FeedCepstra,
    FEFix_GetNextCepstra,
    FEFix_ReleaseCNBuffer,
    FEFix_GetMaxWarpIndex,
    FEFix_GetWarpIndex,
    FEFix_SetWarpIndex,
    FEFix_GetNumFutureSilenceFrames,
    nullptr,  // no float frames
    FEFix_GetNextFrame,
    FEFix_UpdateCepstralWarp,
    FEFix_GetMinMaxEnergy,
    FEFix_GetSNR,
    FEFix_GetChannelMeans,
    FEFix_GetChannelVars,
    FEFix_SetChannelMeans,
    FEFix_SetChannelVars,
    FEFix_GetRMS,
    FEFix_GetFeatureQueueStats,
    FEFix_ClearFeatureQueueStats,
    nullptr,  // no C files
    FEFix_GetSnapshotSize,
    FEFix_FillInSnapshot,
    FEFix_RestoreFromSnapshot,
    FEFix_WritePSAFile,
    FEFix_ReadPSAFile,
    FEFix_ComputeCRC,
};

// ---- loading ------------------------------------------------------------------

bool readConfiguration(DVKTar* tar, const char* prefix, FE* fe)
{
    BinFileReader* reader = FEReader_Open(tar, "bfx1", prefix);
    if (reader == nullptr)
        return false;
    bool ok = FEReader_ReadInts(reader, &fe->sampleRate, 14);
    int32_t* flags[] = {&fe->hasEnergyStage, &fe->hasCepstralWarp, &fe->flushDeltaAtEnd,
                        &fe->altOutput, &fe->channelCheck, &fe->diagonalTransform};
    for (int32_t* flag : flags)
        ok = ok && BinFileReader_ReadBoolean(reader, flag);
    BinFileReader_Delete(reader);
    return ok;
}

// Everything the pipeline indexes by must agree across the sub-files.
bool consistent(const FEFix* f)
{
    const FE* fe = &f->head;
    const FEFixSampleStage* s = f->sampleStage;
    const DeltaFilter* d = f->delta;
    const ChannelNorm* cn = f->channelNorm;
    const int32_t n = fe->deltaHalfWidth;
    const int32_t length = fe->featureLength;
    if (fe->frameShiftMs < 1 || fe->cnLag < 0 || fe->cnLag > (1 << 16) || n < 0 || n > 1024 ||
        fe->ringSize < 2 * n + 1 + fe->cnLag ||
        fe->ringSize > (1 << 16) || length > kFESnapshotChannels || length < fe->numCepstra ||
        fe->cepstralShift < 0 || fe->cepstralShift > 15)
        return false;
    // The tracker's decision reaches back at most its whole history.
    if (fe->trackerLagFrames < 0 ||
        fe->trackerLagFrames > FEFixSampleStage_GetTrackerHistoryLength(s))
        return false;
    if (s->sampleRate != fe->sampleRate || s->samplesInShift != fe->samplesInShift ||
        s->samplesInWindow != fe->samplesInWindow || s->numCepstra != fe->numCepstra)
        return false;
    if (d->halfWidth != n || d->featureLength != length)
        return false;
    if (cn->dim > length || cn->dim > kFESnapshotChannels)
        return false;
    if (f->energy != nullptr &&
        (f->energy->dim > cn->dim || f->energy->arrayLength < cn->dim + 1))
        return false;
    for (const LinearTransform* t : {f->transform, f->altTransform}) {
        if (t == nullptr)
            continue;
        if (t->numOutputs != fe->featureDim ||
            (t->rowLength == 1 ? t->numRows > length : t->rowLength > length))
            return false;
    }
    if (f->cepstralWarp != nullptr) {
        const int32_t span = 3 * f->cepstralWarp->numStatics;
        const LinearTransform* t = f->transform;
        if (span > length || f->cepstralWarp->numUsed + 1 > length)
            return false;
        for (int32_t j = 0; j < t->numOutputs; ++j)
            if (t->rowIndex[j] >= span || t->rowIndex[j] >= std::max(t->numDiagonal, 1))
                return false;
    }
    return true;
}

template <typename T>
T* allocate(int32_t count)
{
    return static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(count) * sizeof(T)));
}

} // namespace

FE* FEFix_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    auto* f = static_cast<FEFix*>(DVKMem_Calloc(sizeof(FEFix)));
    if (f == nullptr)
        return nullptr;
    FE* fe = &f->head;
    fe->ops = kFEFixTable;
    bool ok = readConfiguration(tar, prefix, fe);
    f->state = kFEStatusNoFrame;
    ok = ok && (f->sampleStage = FEFixSampleStage_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (f->delta = DeltaFilter_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (f->channelNorm = ChannelNorm_LoadFromBinFile(tar, prefix)) != nullptr;
    if (ok && fe->hasEnergyStage)
        ok = (f->energy = EnergyStage_LoadFromBinFile(tar, prefix)) != nullptr;
    if (ok && fe->hasCepstralWarp)
        ok = (f->cepstralWarp = CepstralWarp_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (f->transform = LinearTransform_LoadFromBinFile(tar, prefix, &f->altTransform)) != nullptr;
    ok = ok && consistent(f);
    if (ok) {
        f->snapshot = allocate<uint8_t>(kFESnapshotSize);
        f->ring = allocate<int16_t>(fe->ringSize * fe->featureLength);
        f->flags = allocate<uint8_t>(fe->ringSize);
        f->work = allocate<int16_t>(fe->featureLength);
        ok = f->snapshot != nullptr && f->ring != nullptr && f->flags != nullptr && f->work != nullptr;
    }
    if (ok && f->cepstralWarp != nullptr) {
        f->warpRing = allocate<int16_t>(fe->ringSize * (CepstralWarp_GetDim(f->cepstralWarp) + 1));
        f->scales = allocate<int16_t>(std::max(f->transform->numRows, f->transform->numOutputs));
        f->bytes = allocate<uint8_t>(fe->featureDim);
        ok = f->warpRing != nullptr && f->scales != nullptr && f->bytes != nullptr;
    }
    if (!ok) {
        FEFix_Destroy(fe);
        return nullptr;
    }
    f->readIndex = fe->ringSize - fe->deltaHalfWidth;
    return fe;
}

bool FEFix_ConfigureFromParameters(FE* fe, int32_t transformRows, int32_t trackerHistory)
{
    if (gpBrevitGlobalParameters == nullptr)
        return false;
    const auto word = [](int index) { return static_cast<int32_t>(BrevitParam_Word(index)); };
    const int64_t rate = word(kBrevitParamSampleRate);
    fe->sampleRate = static_cast<int32_t>(rate);
    fe->frameShiftMs = word(kBrevitParamFrameShiftMs);
    fe->windowMs = word(kBrevitParamWindowMs);
    fe->samplesInShift = static_cast<int32_t>((fe->frameShiftMs * rate + 500) / 1000);
    fe->samplesInWindow = static_cast<int32_t>((fe->windowMs * rate + 500) / 1000);
    fe->numCepstra = word(kBrevitParamCepstrumCount);
    const int32_t dimension = word(kBrevitParamFeatureDimension);
    fe->featureLength = transformRows > 0 ? transformRows
                        : dimension != 0  ? dimension
                                          : 3 * fe->numCepstra;
    fe->cepstralShift = word(kBrevitParamCepstralScale11) != 0 ? 11
                        : word(kBrevitParamCepstralScale6) != 0 ? 6
                                                                : 7;
    fe->minRingFrames = word(kBrevitParamMinRingFrames);
    fe->deltaHalfWidth = word(kBrevitParamDynamicCoefDelay);
    fe->cnLag = word(kBrevitParamChannelNormDelay);
    fe->hasEnergyStage = word(kBrevitParamEnergyStage) != 0;
    fe->hasCepstralWarp = word(kBrevitParamCepstralWarp) != 0;
    fe->flushDeltaAtEnd = word(kBrevitParamFlushDeltaAtEnd) != 0;
    fe->altOutput = word(kBrevitParamAltOutput) != 0;
    fe->channelCheck = word(kBrevitParamChannelCheck) != 0;
    fe->trackerLagFrames = trackerHistory - fe->deltaHalfWidth;
    const int32_t n = fe->deltaHalfWidth;
    fe->ringSize = std::max(2 * n + 1, fe->minRingFrames) + fe->cnLag;
    if (fe->altOutput || fe->channelCheck)
        fe->ringSize += word(kBrevitParamExtraRingFrames);
    return true;
}

FE* FEFix_CreateFromParameters(int32_t type, void*)
{
    FE config{};
    if (type != 2 || !FEFix_ConfigureFromParameters(&config, 0, 0))
        return nullptr;
    // No stage creators are installed: nothing to build the stages with.
    return nullptr;
}

uint32_t FEFix_GetDroppedShifts(const FE* fe)
{
    return reinterpret_cast<const FEFix*>(fe)->droppedShifts;
}
