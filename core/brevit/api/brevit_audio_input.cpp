#include "core/brevit/api/brevit_audio_input.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>
#include <initializer_list>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

void* zeroedOrRaise(int64_t count, int64_t elementSize)
{
    const int64_t bytes = count * elementSize;
    if (count < 0 || bytes > INT32_MAX)
        DVKErr_Raise(__FILE__, __LINE__, "audio input: %lld bytes asked", static_cast<long long>(bytes));
    return DVKMem_CallocOrThrow(static_cast<uint32_t>(bytes));
}

// The frame queue and its utterance view; 2 when the view cannot be made.
int32_t initFrameQueue(BrevitEngine* e)
{
    BrevitFrameQueue& q = e->audioInput.queue;
    q.capacity = word(kBrevitParamFrameQueueCapacity);
    q.frameSize = FE_GetFeatureDim(e->frontEnd);
    q.frames = static_cast<uint8_t*>(zeroedOrRaise(q.capacity, q.frameSize));
    q.sideValues = static_cast<int32_t*>(zeroedOrRaise(q.capacity, sizeof(int32_t)));
    q.silenceFlags = static_cast<uint8_t*>(zeroedOrRaise(q.capacity, 1));
    q.endPointerBytes = static_cast<uint8_t*>(zeroedOrRaise(q.capacity, 1));
    if (word(kBrevitParamFirstFeatureBytes) != 0)
        q.firstFeatureBytes = static_cast<uint8_t*>(zeroedOrRaise(q.capacity, 1));
    q.currentFrame = static_cast<uint8_t*>(zeroedOrRaise(q.frameSize, 1));
    e->audioInput.queueAllocated = 1;
    BrevitPriv_ResetFrameQueue(e);
    q.utteranceBuffer = Utterance_CreateOnBuffer(q.frames, q.sideValues, q.capacity, q.frameSize);
    return q.utteranceBuffer != nullptr ? 0 : 2;
}

} // namespace

int32_t BrevitPriv_InitAudioInput(BrevitEngine* e, int32_t featureDim)
{
    BrevitAudioInput& a = e->audioInput;
    FE* fe = e->frontEnd;
    if (fe == nullptr)
        return 0;
    if (featureDim >= 0 && word(kBrevitParamFrameQueueCapacity) > 0 && !a.queueAllocated &&
        initFrameQueue(e) != 0)
        return 2;
    a.snapshotSize = FE_GetSnapshotSize(fe);
    if (a.snapshotSize > 0 && a.snapshot == nullptr)
        a.snapshot = static_cast<uint8_t*>(zeroedOrRaise(a.snapshotSize, 1));
    a.blockSize = FE_GetNumberSamplesInShift(fe);
    a.halfShift = word(kBrevitParamHalfShift) != 0;
    if (a.halfShift)
        a.blockSize *= 2;
    const int32_t rate = FE_GetSampleRate(fe);
    a.blockDurationMs = rate > 0 ? static_cast<int32_t>(int64_t{1000} * a.blockSize / rate) : 0;
    a.blockCount414 = a.blockDurationMs > 0 ? word(kBrevitParamBlockDuration) / a.blockDurationMs : 0;
    BrevitPriv_InitSigProcFormats(e);
    const int32_t records = word(kBrevitParamUtteranceRecords);
    if (records > 0 && a.records == nullptr) {
        a.records = static_cast<BrevitUttRecord*>(zeroedOrRaise(records, sizeof(BrevitUttRecord)));
        a.recordCount = records;
        for (int32_t i = 0; i < records; ++i)
            a.records[i].id = kBrevitUttEmpty;
    }
    a.deferredFetching = word(kBrevitParamDeferredFetching);
    a.snapshotCRC = 0xFFFFFFFFu;
    a.secondSnapshotCRC = 0xFFFFFFFFu;
    a.savedId = 0xFFFFFFFFu;
    BrevitPriv_AllocFrameBuffer16(e);
    return 0;
}

void BrevitPriv_AllocFrameBuffer16(BrevitEngine*) {}

void BrevitPriv_FreeFrameBuffer16(BrevitEngine*) {}

uint32_t BrevitPriv_SigProcFormatCRC(const BrevitSigProcFormat* format)
{
    if (format == nullptr)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t v : {format->coderType, format->packetSize, format->ownFlag1, format->ownFlag2})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    return crc;
}

uint32_t BrevitPriv_AudioInputCRC(BrevitEngine* e)
{
    const BrevitAudioInput& a = e->audioInput;
    const BrevitFrameQueue& q = a.queue;
    auto add = [](uint32_t crc, int64_t v) { return DVKCrc_AddInt(static_cast<uint32_t>(v), crc); };
    auto bytes = [&](uint32_t crc, const void* p, int32_t count) {
        return p != nullptr && count > 0 ? DVKCrc_AddArray(p, 1, count, crc) : crc;
    };
    uint32_t crc = add(0xFFFFFFFFu, q.mode);
    crc = bytes(crc, q.frames, q.frames != nullptr ? q.capacity * q.frameSize : 0);
    crc = bytes(crc, q.silenceFlags, q.capacity);
    crc = bytes(crc, q.endPointerBytes, q.capacity);
    crc = bytes(crc, q.firstFeatureBytes, q.capacity);
    for (int32_t v : {q.readIndex, q.writeIndex, q.frameSize, q.capacity, q.framesSinceMark, q.mark,
                      q.maximumFill, static_cast<int32_t>(q.currentSideValue)})
        crc = add(crc, v);
    if (a.partialBlock != nullptr && a.partialCount > 0)
        crc = DVKCrc_AddArray(a.partialBlock, 2, a.partialCount, crc);
    for (int32_t v : {a.partialCount, a.blockSize, a.waveRead, a.waveWrite, a.waveCapacity,
                      e->listening, a.stopped, a.queueOverflowed, a.deferredFetching, a.speechSeen,
                      a.cnBuffering, a.cnSpeechFrames})
        crc = add(crc, v);
    for (const UttDet& det : e->endPointers)
        crc = add(crc, UttDet_ComputeCRC(&det));
    crc = add(crc, a.endFound);
    crc = add(crc, a.endFoundFrames);
    crc = add(crc, BrevitPriv_SigProcFormatCRC(&a.incoming));
    crc = add(crc, BrevitPriv_SigProcFormatCRC(&a.outgoing));
    crc = add(crc, a.infoWritten);
    for (int32_t i = 0; i < a.recordCount; ++i) {
        crc = add(crc, a.records[i].firstFrame);
        crc = add(crc, a.records[i].frames);
        crc = add(crc, a.records[i].id);
    }
    return crc;
}

void BrevitPriv_FreeAudioInput(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    DVKMem_Free(a.snapshot);
    a.snapshot = nullptr;
    DVKMem_Free(a.partialBlock);
    a.partialBlock = nullptr;
    a.partialCount = 0;
    BrevitPriv_FreeFrameBuffer16(e);
}

void BrevitPriv_FreeUtteranceArrays(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitFrameQueue& q = a.queue;
    Utterance_Delete(q.utteranceBuffer);
    for (void* p : {static_cast<void*>(q.frames), static_cast<void*>(q.sideValues),
                    static_cast<void*>(q.silenceFlags), static_cast<void*>(q.endPointerBytes),
                    static_cast<void*>(q.firstFeatureBytes), static_cast<void*>(q.currentFrame),
                    static_cast<void*>(a.records)})
        DVKMem_Free(p);
    q = BrevitFrameQueue{};
    a.records = nullptr;
    a.recordCount = 0;
    a.queueAllocated = 0;
}

void BrevitPriv_DiscardUtteranceData(BrevitEngine* e, uint32_t utteranceId)
{
    BrevitPriv_ReleaseUtterance(e, utteranceId);
}
