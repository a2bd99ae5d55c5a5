#include "core/brevit/frontend/utt_det.h"

#include "core/brevit/runtime/dvk_crc.h"

#include <cassert>
#include <initializer_list>

namespace {

int32_t framesAtLeastOne(int32_t ms, int32_t period)
{
    const int32_t frames = ms / period;
    return frames < 1 ? 1 : frames;
}

// Minimum silence plus the extra frames; both can come near the int32 limit
// (a minimum meant as "never" plus a decoder's extension), so in 64 bits.
int64_t requiredSilence(const UttDet* det)
{
    return int64_t{det->extraSilenceFrames} + det->minSilenceFrames;
}

void endSpeech(UttDet* det, int32_t endFrame)
{
    det->endFrame = endFrame;
    det->resumeCount = 0;
    det->state = kUttDetEndFound;
}

void processInSpeech(UttDet* det, bool silence)
{
    if (!silence) {
        det->silenceRun = 0;
        ++det->speechCount;
        return;
    }
    ++det->silenceRun;
    if (det->speechCount < det->minSpeechFrames) {
        if (det->silenceRun >= det->minSilenceFrames)
            det->state = kUttDetNoSpeech;  // a false start
    } else if (det->silenceRun >= requiredSilence(det)) {
        endSpeech(det, det->frameCount - det->silenceRun);
    }
}

} // namespace

void UttDet_Init(UttDet* det, int32_t period, int32_t minSpeechMs, int32_t minSilenceMs,
                 int32_t limit, int32_t flag)
{
    assert(period > 0 && "the frame period must be non-zero");
    det->minSpeechFrames = framesAtLeastOne(minSpeechMs, period);
    det->minSilenceFrames = framesAtLeastOne(minSilenceMs, period);
    det->silenceLimit = limit;
    det->flag = flag;
    UttDet_Reset(det);
}

void UttDet_Reset(UttDet* det)
{
    det->state = kUttDetNoSpeech;
    det->speechCount = 0;
    det->silenceRun = 0;
    det->frameCount = 0;
    det->startFrame = -1;
    det->endFrame = -1;
    det->extraSilenceFrames = 0;
}

int32_t UttDet_ProcessFrame(UttDet* det, int32_t silence)
{
    switch (det->state) {
    case kUttDetNoSpeech:
        if (silence == 0) {
            det->speechCount = 1;
            det->silenceRun = 0;
            det->startFrame = det->frameCount;
            det->state = kUttDetInSpeech;
        }
        break;
    case kUttDetInSpeech:
        processInSpeech(det, silence != 0);
        break;
    case kUttDetEndFound:
        if (silence == 0 && ++det->resumeCount == det->minSpeechFrames) {
            det->silenceRun = 0;
            det->state = kUttDetInSpeech;
        }
        break;
    default:
        break;
    }
    ++det->frameCount;
    return det->state;
}

int32_t UttDet_GetState(const UttDet* det) { return det->state; }

int32_t UttDet_IsEndFound(const UttDet* det) { return det->state == kUttDetEndFound; }

int32_t UttDet_IsSpeechPaused(const UttDet* det)
{
    return (det->state == kUttDetInSpeech && det->silenceRun > 0) || det->state == kUttDetEndFound;
}

int32_t UttDet_GetStartFrame(const UttDet* det)
{
    return det->state == kUttDetNoSpeech ? -1 : det->startFrame;
}

int32_t UttDet_GetNumFrames(const UttDet* det) { return det->frameCount; }

int32_t UttDet_GetEndFrame(const UttDet* det)
{
    switch (det->state) {
    case kUttDetNoSpeech:
        return -1;
    case kUttDetInSpeech:
        if (det->silenceRun == 0)
            return -1;
        if (det->endFrame > 0)
            return det->endFrame;
        if (det->frameCount >= 1)
            return det->frameCount - det->silenceRun;
        return det->endFrame;
    default:
        return det->endFrame;
    }
}

int32_t UttDet_CheckFinalSilence(UttDet* det, int32_t addedFrames, int32_t commit)
{
    if (det->state != kUttDetInSpeech)
        return det->state;
    if (det->silenceRun <= det->silenceLimit ||
        int64_t{addedFrames} + det->silenceRun < requiredSilence(det) ||
        det->speechCount < det->minSpeechFrames)
        return kUttDetInSpeech;
    // A committed end is an end like any other: resuming counts afresh.
    if (commit)
        endSpeech(det, det->frameCount - det->silenceRun);
    return kUttDetEndFound;
}

void UttDet_SetExtraSilenceFrames(UttDet* det, int32_t n) { det->extraSilenceFrames = n; }

uint32_t UttDet_ComputeCRC(const UttDet* det)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t value : {det->state, det->minSpeechFrames, det->minSilenceFrames, det->speechCount,
                          det->silenceRun, det->frameCount, det->flag})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(value), crc);
    return crc;
}
