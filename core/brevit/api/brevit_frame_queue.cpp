// The frame queue: blocks of samples through the front end into a ring of
// feature frames, each run through the utterance end-pointer.
#include "core/brevit/api/brevit_audio_input.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/decoder.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool isFrame(int32_t status) { return status == kFEStatusSpeech || status == kFEStatusNoSpeech; }

int32_t wrap(const BrevitFrameQueue& q, int32_t slot)
{
    return ((slot % q.capacity) + q.capacity) % q.capacity;
}

} // namespace

int32_t BrevitPriv_QueuedFrames(const BrevitEngine* e)
{
    const BrevitFrameQueue& q = e->audioInput.queue;
    return q.capacity > 0 ? wrap(q, q.writeIndex - q.readIndex) : 0;
}

bool BrevitPriv_QueueFull(const BrevitEngine* e)
{
    const BrevitFrameQueue& q = e->audioInput.queue;
    return !e->audioInput.queueAllocated || wrap(q, q.writeIndex + 1) == q.readIndex;
}

void BrevitPriv_ResetFrameQueue(BrevitEngine* e)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    q.readIndex = q.writeIndex;
    q.mark = q.writeIndex;
    q.framesSinceMark = 0;
    q.speechStartFrame = -1;
    q.speechEndFrame = -1;
}

void BrevitPriv_MarkFrameQueue(BrevitEngine* e)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    q.mark = q.readIndex;
    q.framesSinceMark = BrevitPriv_QueuedFrames(e);
    q.speechStartFrame = -1;
    q.speechEndFrame = -1;
}

int32_t BrevitPriv_FramesConsumedSinceMark(const BrevitEngine* e)
{
    const BrevitFrameQueue& q = e->audioInput.queue;
    return q.capacity > 0 ? wrap(q, q.readIndex - q.mark) : 0;
}

void BrevitPriv_ReleaseCNBuffer(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    if (!a.cnBuffering)
        return;
    a.cnBuffering = 0;
    FE_ReleaseCNBuffer(e->frontEnd);
    a.cnSpeechFrames = 0;
}

void BrevitPriv_CountCNFrame(BrevitEngine* e, int32_t status)
{
    BrevitAudioInput& a = e->audioInput;
    if (status != kFEStatusSpeech)
        return;
    a.cnSpeechFrames += 1;
    if (a.cnSpeechFrames >= word(kBrevitParamMinRingCheck))
        BrevitPriv_ReleaseCNBuffer(e);
}

void BrevitPriv_NoteEndFound(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    if (a.endFound)
        return;
    a.endFound = 1;
    a.endFoundFrames = a.queue.framesSinceMark;
    BrevitPriv_ReleaseCNBuffer(e);
}

int32_t BrevitPriv_ListenStatus(const BrevitEngine* e)
{
    const BrevitAudioInput& a = e->audioInput;
    return a.endFound ? 2 : a.speechSeen ? 1 : 0;
}

int32_t BrevitPriv_FetchFrame(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitFrameQueue& q = a.queue;
    uint16_t info[2] = {0, 0};
    int32_t status = 0;
    for (;;) {
        status = FE_GetNextFrame(e->frontEnd, q.currentFrame, info);
        if (!isFrame(status))
            return status;
        if (!a.halfShift)
            break;
        // Of each pair of half-shift frames the first is dropped.
        a.alternateFrame ^= 1;
        if (a.alternateFrame == 0)
            break;
    }
    q.currentSideValue = uint32_t{info[0]} | (uint32_t{info[1]} << 16);
    if (word(kBrevitParamCrcTracing) != 0)
        (void)DVKCrc_AddArray(q.currentFrame, 1, q.frameSize, 0xFFFFFFFFu);
    if (e->acousticModel0 != nullptr)
        AM_ClampFeature(e->acousticModel0, q.currentFrame);
    return status;
}

int32_t BrevitPriv_EndPointFrame(BrevitEngine* e, int32_t silence)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    UttDet* det = e->endPointerSettings;
    if (det == nullptr)
        return kUttDetNoSpeech;
    int32_t state = UttDet_ProcessFrame(det, silence);
    if (state == kUttDetEndFound) {
        if (q.speechEndFrame == -1)
            q.speechEndFrame = UttDet_GetEndFrame(det);
    } else if (state == kUttDetNoSpeech) {
        q.speechStartFrame = -1;
        q.speechEndFrame = -1;
    } else if (state == kUttDetInSpeech) {
        if (q.speechStartFrame == -1) {
            q.speechStartFrame = UttDet_GetStartFrame(det);
        } else if (silence && word(kBrevitParamFutureSilenceFrames) != 0) {
            const int32_t n = FE_GetNumFutureSilenceFrames(e->frontEnd);
            if (n > 0)
                state = UttDet_CheckFinalSilence(det, n, 1);
        }
    }
    return state;
}

int32_t BrevitPriv_QueueFrame(BrevitEngine* e, int32_t silence)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    const int32_t w = q.writeIndex;
    std::memcpy(q.frames + static_cast<size_t>(w) * q.frameSize, q.currentFrame, q.frameSize);
    q.sideValues[w] = static_cast<int32_t>(q.currentSideValue);
    q.silenceFlags[w] = silence ? 1 : 0;
    q.endPointerBytes[w] = 0;
    if (q.firstFeatureBytes != nullptr)
        q.firstFeatureBytes[w] = q.currentFrame[0];
    const int32_t state = BrevitPriv_EndPointFrame(e, silence);
    if (state >= 1 && state <= 3 && silence && word(kBrevitParamFutureSilenceFrames) != 0)
        q.endPointerBytes[w] = static_cast<uint8_t>(
            std::clamp(FE_GetNumFutureSilenceFrames(e->frontEnd), 0, 255));
    q.writeIndex = wrap(q, w + 1);
    q.framesSinceMark += 1;
    q.maximumFill = std::max(q.maximumFill, BrevitPriv_QueuedFrames(e));
    return state;
}

void BrevitPriv_RestartListening(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitFrameQueue& q = a.queue;
    if (e->currentDecoder != nullptr)
        Decoder_UttRestart(e->currentDecoder);
    FE_RestartChannelMap(e->frontEnd, word(kBrevitParamChannelMapRestart));
    q.readIndex = q.mark;
    q.writeIndex = q.mark;
    q.framesSinceMark = 0;
    q.speechStartFrame = -1;
    q.speechEndFrame = -1;
    a.alternateFrame = 0;
    a.stopped = 0;
    a.queueOverflowed = 0;
    a.speechSeen = 0;
    e->listening = 1;
}

int32_t BrevitPriv_FeedBlock(BrevitEngine* e, const int16_t* block)
{
    BrevitAudioInput& a = e->audioInput;
    if (BrevitPriv_QueueFull(e))
        return 4;
    int32_t status = FE_FeedSamples(e->frontEnd, block);
    if (a.halfShift)
        status = FE_FeedSamples(e->frontEnd, block + a.blockSize / 2);
    if (status == kFEStatusChannelJump) {
        BrevitPriv_RestartListening(e);
        return 3;
    }
    if (!isFrame(status))
        return 5;
    if (a.cnBuffering)
        BrevitPriv_CountCNFrame(e, status);
    if (a.deferredFetching != 0 && !a.enrollmentFlag && e->recognitionMode != 6)
        return 5;
    int32_t result = 5;
    while (!BrevitPriv_QueueFull(e)) {
        const int32_t fetched = BrevitPriv_FetchFrame(e);
        if (!isFrame(fetched))
            break;
        result = BrevitPriv_QueueFrame(e, fetched == kFEStatusNoSpeech);
    }
    return result;
}

int32_t BrevitPriv_PushWaveSamples(BrevitEngine* e, const int16_t* block)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitPriv_TraceEvent(e, kBrevitTraceBlock);
    const int32_t r = BrevitPriv_FeedBlock(e, block);
    BrevitPriv_KeepBlock(e, r, block);
    if (word(kBrevitParamCrcTracing) != 0)
        (void)FE_ComputeCRC(e->frontEnd, 0);
    int32_t result = 0;
    if (r == 4) {
        a.queueOverflowed = 1;
        BrevitPriv_ReleaseCNBuffer(e);
        result = 14;
    } else if (r == kUttDetEndFound) {
        BrevitPriv_NoteEndFound(e);
    }
    if (!a.speechSeen && r == kUttDetInSpeech)
        a.speechSeen = 1;
    BrevitPriv_TraceEndStamp(e);
    return result;
}

bool BrevitPriv_HasQueuedFrames(const BrevitEngine* e)
{
    const BrevitAudioInput& a = e->audioInput;
    if (a.readingStoredUtterance)
        return a.queue.utteranceBuffer != nullptr &&
               Utterance_GetNumFramesRemaining(a.queue.utteranceBuffer) > 0;
    return a.queue.readIndex != a.queue.writeIndex;
}

bool BrevitPriv_NextQueuedFrame(BrevitEngine* e, BrevitQueuedFrame* out, bool wantRuns)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitFrameQueue& q = a.queue;
    *out = BrevitQueuedFrame{};
    if (a.readingStoredUtterance) {
        int32_t* side = nullptr;
        const uint8_t* frame = q.utteranceBuffer != nullptr
                                   ? Utterance_GetNextFrame(q.utteranceBuffer, &side)
                                   : nullptr;
        if (frame == nullptr)
            return false;
        out->frame = frame;
        out->sideValue = side != nullptr ? static_cast<uint32_t>(*side) : 0;
        return true;
    }
    if (!a.queueAllocated)
        return false;
    if (BrevitPriv_QueuedFrames(e) == 0 && e->listeningUtteranceId == e->recognizingUtteranceId) {
        const int32_t status = BrevitPriv_FetchFrame(e);
        if (e->listening && status == kFEStatusEnded)
            a.stopped = 1;
        if (isFrame(status) && !BrevitPriv_QueueFull(e) &&
            BrevitPriv_QueueFrame(e, status == kFEStatusNoSpeech) == kUttDetEndFound &&
            e->listening)
            BrevitPriv_NoteEndFound(e);
    }
    if (BrevitPriv_QueuedFrames(e) == 0)
        return false;
    const int32_t r = q.readIndex;
    out->frame = q.frames + static_cast<size_t>(r) * q.frameSize;
    out->sideValue = static_cast<uint32_t>(q.sideValues[r]);
    out->silence = q.silenceFlags[r];
    if (wantRuns) {
        for (int32_t k = 0, i = r; i != q.writeIndex && q.endPointerBytes[i] != 0;
             ++k, i = wrap(q, i + 1))
            out->forwardSilence = std::max(out->forwardSilence, k + q.endPointerBytes[i]);
        for (int32_t i = r; q.endPointerBytes[i] != 0; i = wrap(q, i - 1)) {
            out->backwardSilence += 1;
            if (i == q.mark)
                break;
        }
    }
    q.readIndex = wrap(q, r + 1);
    return true;
}
