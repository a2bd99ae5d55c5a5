// Entry points of the audio intake: listens and utterances, samples in, and
// the front end's values out.
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/decoder.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool isFrame(int32_t status) { return status == kFEStatusSpeech || status == kFEStatusNoSpeech; }

void resetFrontEnd(BrevitEngine* e)
{
    FE_Reset(e->frontEnd, 0);
    if (e->acousticModel0 != nullptr && AM_IsWarpIndexSet(e->acousticModel0))
        AM_SetWarpIndex(e->acousticModel0, 0);
}

// Marks the trailing silence frames and, when the end-pointer gave none,
// puts the end of speech before them.
void markTrailingSilence(BrevitEngine* e)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    if (!e->audioInput.queueAllocated)
        return;
    const int32_t cap = q.capacity;
    int32_t i = q.readIndex;
    if (BrevitPriv_QueuedFrames(e) >= 2) {
        i = (q.writeIndex - 2 + cap) % cap;
        while (i != q.readIndex && q.silenceFlags[i]) {
            q.endPointerBytes[i] = 255;
            i = (i - 1 + cap) % cap;
        }
    }
    if (q.speechEndFrame == -1) {
        int32_t end = q.framesSinceMark - q.writeIndex + i + 1;
        if (end < 0)
            end += cap;
        else if (end >= cap)
            end -= cap;
        q.speechEndFrame = end;
    }
}

// Empties the current choice list and rejects the pass when listening ends
// before any speech was found.
void rejectSilentPass(BrevitEngine* e)
{
    if (word(kBrevitParamEarlyEndOfSpeech) == 0 || !e->recognitionRunning ||
        e->endPointerSettings == nullptr || UttDet_GetState(e->endPointerSettings) != kUttDetNoSpeech ||
        e->recognitionMode == 6 || e->audioInput.readingStoredUtterance)
        return;
    BrevitChoiceList* list = e->decoder0 != nullptr && e->currentDecoder != e->decoder1
                                 ? e->choiceLists[0]
                                 : e->choiceLists[1];
    if (list != nullptr) {
        list->count = 0;
        list->passWord1 = -1;
    }
    if (e->currentDecoder != nullptr)
        Decoder_SetRejected(e->currentDecoder);
}

int32_t stopListening(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    if (e->listening) {
        const uint32_t id = e->listeningUtteranceId;
        BrevitPriv_EndUtterance(e, 1);
        BrevitPriv_TraceEvent(e, kBrevitTraceStop);
        if (a.queue.mode != 2 && a.queueAllocated) {
            for (;;) {
                int32_t status = BrevitPriv_FetchFrame(e);
                if (a.halfShift && status == kFEStatusNotReady)
                    status = BrevitPriv_FetchFrame(e);
                if (!isFrame(status))
                    break;
                if (!BrevitPriv_QueueFull(e))
                    BrevitPriv_QueueFrame(e, status == kFEStatusNoSpeech);
            }
        }
        BrevitPriv_TraceEndStamp(e);
        markTrailingSilence(e);
        e->listening = 0;
        if (BrevitPriv_FindUtterance(e, id, nullptr) != 1)
            BrevitPriv_CloseUtteranceRecord(e, id, 1);
    }
    rejectSilentPass(e);
    a.stopped = 1;
    return 0;
}

} // namespace

int32_t BrevitPriv_StartUtterance(BrevitEngine* e, int32_t mode, int32_t reset, uint32_t* utteranceId)
{
    BrevitAudioInput& a = e->audioInput;
    FE* fe = e->frontEnd;
    const uint32_t id = e->utteranceCounter++;
    *utteranceId = id;
    e->listeningUtteranceId = id;
    a.queue.mode = mode;
    if (a.snapshot != nullptr) {
        FE_FillInSnapshot(fe, a.snapshot);
        a.snapshotCRC = FE_ComputeCRC(fe, 1);
    }
    if (reset)
        a.partialCount = 0;
    a.cnBuffering = 0;
    if (mode != 2) {
        if (gpBrevitGlobalParameters != nullptr) {
            if (reset) {
                BrevitPriv_ResetFrameQueue(e);
                if (word(kBrevitParamResetWarpIndex) != 0)
                    resetFrontEnd(e);
                else if (word(kBrevitParamResetKeepWarpIndex) != 0)
                    FE_ResetKeepWarpIndex(fe, word(kBrevitParamResetMode));
            }
            if (word(kBrevitParamMinRingCheck) != 0) {
                (void)FE_GetMinRingFrames(fe);
                FE_StartUtterance(fe, 1);
                a.cnBuffering = 1;
            } else if (reset) {
                FE_StartUtterance(fe, 0);
            }
        } else if (reset) {
            BrevitPriv_ResetFrameQueue(e);
            FE_StartUtterance(fe, 0);
        }
    } else {
        BrevitPriv_ResetFrameQueue(e);
    }
    a.cnSpeechFrames = 0;
    if (a.enrollmentFlag || a.keepFlag) {
        a.enrollmentCounter = 0;
        BrevitPriv_ResetWaveHistory(e);
        a.keptCount = 0;
    }
    return 0;
}

int32_t BrevitPriv_StartListening(BrevitEngine* e, int32_t mode, int32_t reset, uint32_t* utteranceId)
{
    BrevitAudioInput& a = e->audioInput;
    if (e->listening)
        stopListening(e);
    const int32_t result = BrevitPriv_StartUtterance(e, mode, reset, utteranceId);
    a.stopped = 0;
    a.alternateFrame = 0;
    a.queueOverflowed = 0;
    a.endFound = 0;
    a.speechSeen = 0;
    e->listening = 1;
    BrevitPriv_TraceEvent(e, kBrevitTraceListen);
    return result;
}

int32_t BrevitPriv_EndUtterance(BrevitEngine* e, int32_t end)
{
    BrevitAudioInput& a = e->audioInput;
    if (a.queue.mode == 2)
        return 0;
    BrevitPriv_ReleaseCNBuffer(e);
    if (end)
        FE_EndUtterance(e->frontEnd);
    if (a.enrollmentFlag && a.keepFlag && a.keptCount == 0)
        BrevitPriv_MoveWaveHistoryToKept(e);
    return 0;
}

EBrevit Brevit_StartListening(BrevitEngine* engine, uint32_t* utteranceId)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (utteranceId == nullptr)
            return EBrevit_BadArgument;
        return BrevitPriv_StartListening(e, 1, 1, utteranceId);
    });
}

EBrevit Brevit_StartListeningEnhanced(BrevitEngine* engine, int32_t mode, int32_t reset,
                                      int32_t, uint32_t* utteranceId)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (utteranceId == nullptr) {
            e->listening = 0;
            return EBrevit_BadArgument;
        }
        return BrevitPriv_StartListening(e, mode, reset, utteranceId);
    });
}

EBrevit Brevit_StartUtterance(BrevitEngine* engine, int32_t mode, int32_t reset, int32_t,
                              uint32_t* utteranceId)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (utteranceId == nullptr)
            return EBrevit_BadArgument;
        return BrevitPriv_StartUtterance(e, mode, reset, utteranceId);
    });
}

EBrevit Brevit_StopUtterance(BrevitEngine* engine, uint32_t utteranceId, int32_t end)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (!e->listening || (utteranceId != kBrevitUttCurrent && utteranceId != e->listeningUtteranceId))
            return EBrevit_BadArgument;
        BrevitPriv_EndUtterance(e, end);
        return EBrevit_OK;
    });
}

EBrevit Brevit_SplitUtterance(BrevitEngine* engine, uint32_t* newUtteranceId)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (newUtteranceId == nullptr)
            return EBrevit_BadArgument;
        if (!e->listening)
            return EBrevit_WrongState;
        BrevitAudioInput& a = e->audioInput;
        const int32_t mode = a.queue.mode;
        const uint32_t oldId = e->listeningUtteranceId;
        const uint32_t secondCRC = a.secondSnapshotCRC;
        BrevitPriv_EndUtterance(e, 0);
        const bool recorded = BrevitPriv_FindUtterance(e, oldId, nullptr) == 1;
        if (!recorded)
            BrevitPriv_CloseUtteranceRecord(e, oldId, 0);
        FE_ResetKeepWarpIndex(e->frontEnd, 1);
        BrevitPriv_StartUtterance(e, mode, 0, newUtteranceId);
        a.secondSnapshotCRC = secondCRC;
        if (recorded) {
            BrevitPriv_SplitUtteranceRecord(e, oldId, BrevitPriv_FramesConsumedSinceMark(e),
                                            *newUtteranceId);
            BrevitFrameQueue& q = a.queue;
            q.mark = q.readIndex;
            q.framesSinceMark = 0;
            q.speechStartFrame = -1;
            q.speechEndFrame = -1;
        } else {
            BrevitPriv_MarkFrameQueue(e);
        }
        return EBrevit_OK;
    });
}

EBrevit Brevit_StopListening(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit { return stopListening(e); });
}

EBrevit Brevit_PutWaveSamples(BrevitEngine* engine, const int16_t* samples, int32_t count,
                              int32_t* status)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (status == nullptr || count < 0)
            return EBrevit_BadArgument;
        *status = 0;
        BrevitPriv_TraceEvent(e, kBrevitTracePut);
        if (samples == nullptr)
            return EBrevit_BadArgument;
        if (!e->listening) {
            *status = 2;
            return EBrevit_OK;
        }
        BrevitAudioInput& a = e->audioInput;
        const int32_t block = a.blockSize;
        if (block < 1)
            return EBrevit_OK;
        int32_t used = 0;
        if (a.partialCount > 0) {
            used = std::min(block - a.partialCount, count);
            std::memcpy(a.partialBlock + a.partialCount, samples, used * sizeof(int16_t));
            a.partialCount += used;
            if (a.partialCount == block) {
                a.partialCount = 0;
                if (const int32_t r = BrevitPriv_PushWaveSamples(e, a.partialBlock); r != 0)
                    return r;
            }
        }
        for (; count - used >= block; used += block)
            if (const int32_t r = BrevitPriv_PushWaveSamples(e, samples + used); r != 0)
                return r;
        if (used < count) {
            if (a.partialBlock == nullptr)
                a.partialBlock = static_cast<int16_t*>(
                    DVKMem_MallocOrThrow(static_cast<uint32_t>(block) * sizeof(int16_t)));
            a.partialCount = count - used;
            std::memcpy(a.partialBlock, samples + used, a.partialCount * sizeof(int16_t));
        }
        *status = BrevitPriv_ListenStatus(e);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetSampleRate(BrevitEngine* engine, int32_t* hertz)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (hertz == nullptr)
            return EBrevit_BadArgument;
        *hertz = e->frontEnd != nullptr ? FE_GetSampleRate(e->frontEnd) : 0;
        return e->frontEnd != nullptr ? EBrevit_OK : EBrevit_EngineError;
    });
}

EBrevit Brevit_GetNumberSamplesInFrame(BrevitEngine* engine, int32_t* samples)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (samples == nullptr)
            return EBrevit_BadArgument;
        *samples = e->audioInput.blockSize;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetFeatureCount(BrevitEngine* engine, int32_t* frames)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (frames == nullptr)
            return EBrevit_BadArgument;
        *frames = BrevitPriv_QueuedFrames(e);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetUttDetInfo(BrevitEngine* engine, int32_t* startMs, int32_t* endMs)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (startMs == nullptr || endMs == nullptr)
            return EBrevit_BadArgument;
        const BrevitAudioInput& a = e->audioInput;
        const int32_t start =
            e->endPointerSettings != nullptr ? UttDet_GetStartFrame(e->endPointerSettings) : -1;
        const int32_t end = a.queue.speechEndFrame;
        *startMs = start > 0 ? a.blockDurationMs * start : -1;
        *endMs = end > 0 ? a.blockDurationMs * end : -1;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetNFramesInUtt(BrevitEngine* engine, uint32_t utteranceId, int32_t* frames)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (frames == nullptr)
            return EBrevit_BadArgument;
        *frames = BrevitPriv_UtteranceFrames(e, utteranceId, false);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetNFramesRecognizedInUtt(BrevitEngine* engine, uint32_t utteranceId,
                                         int32_t* frames)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (frames == nullptr)
            return EBrevit_BadArgument;
        *frames = BrevitPriv_UtteranceFrames(e, utteranceId, true);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetFeatureQueueStats(BrevitEngine* engine, int32_t* capacity, int32_t* fill,
                                    int32_t* maximumFill)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (capacity == nullptr || fill == nullptr || maximumFill == nullptr)
            return EBrevit_BadArgument;
        FE_GetFeatureQueueStats(e->frontEnd, capacity, fill, maximumFill);
        const BrevitAudioInput& a = e->audioInput;
        if (a.readingStoredUtterance) {
            const int32_t n = Utterance_GetNumFrames(a.queue.utteranceBuffer);
            *fill += n;
            *maximumFill += n;
        } else {
            *capacity += a.queue.capacity;
            *fill += BrevitPriv_QueuedFrames(e);
            *maximumFill += a.queue.maximumFill;
        }
        return EBrevit_OK;
    });
}

EBrevit Brevit_ClearFeatureQueueStats(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        e->audioInput.queue.maximumFill = 0;
        FE_ClearFeatureQueueStats(e->frontEnd);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetSNRLevel(BrevitEngine* engine, int32_t* level)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (level == nullptr)
            return EBrevit_BadArgument;
        *level = FE_GetSNR(e->frontEnd);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetAverageSoundLevel(BrevitEngine* engine, int32_t* level)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (level == nullptr)
            return EBrevit_BadArgument;
        *level = FE_GetRMS(e->frontEnd);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetChannelInfoSize(BrevitEngine* engine, int32_t* size)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (size == nullptr)
            return EBrevit_BadArgument;
        *size = FE_GetSnapshotSize(e->frontEnd);
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetChannelInfo(BrevitEngine* engine, void* buffer)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (buffer == nullptr)
            return EBrevit_BadArgument;
        return FE_FillInSnapshot(e->frontEnd, buffer) != 0 ? EBrevit_OK : EBrevit_EngineError;
    });
}

EBrevit Brevit_SetChannelInfo(BrevitEngine* engine, const void* buffer)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (buffer == nullptr)
            return EBrevit_BadArgument;
        return FE_RestoreFromSnapshot(e->frontEnd, buffer) != 0 ? EBrevit_OK : EBrevit_EngineError;
    });
}

EBrevit Brevit_ResetChannel(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        FE_ResetKeepWarpIndex(e->frontEnd, 0);
        return EBrevit_OK;
    });
}

EBrevit Brevit_ResetFrontEnd(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        resetFrontEnd(e);
        return EBrevit_OK;
    });
}

EBrevit Brevit_ReleaseCNBuffer(BrevitEngine* engine)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        BrevitPriv_ReleaseCNBuffer(e);
        return EBrevit_OK;
    });
}
