#include "core/brevit/frontend/utterance.h"

#include "core/brevit/frontend/utterance_ring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/frame_buffer.h"

#include <algorithm>
#include <cstring>

namespace {

uint8_t* slotBytes(const Utterance* utt, int32_t slot)
{
    return utt->frames + static_cast<size_t>(slot) * utt->bytesPerFrame;
}

const uint8_t* frameAt(Utterance* utt, int32_t slot, int32_t** sideValueOut)
{
    if (sideValueOut != nullptr)
        *sideValueOut = utt->sideValues != nullptr ? &utt->sideValues[slot] : nullptr;
    const uint8_t* stored = slotBytes(utt, slot);
    if (!utt->packed)
        return stored;
    for (int32_t i = 0; i < utt->bytesPerFrame; ++i) {
        utt->unpackBuffer[2 * i] = stored[i] & 0x0F;
        utt->unpackBuffer[2 * i + 1] = stored[i] >> 4;
    }
    return utt->unpackBuffer;
}

Utterance* allocateRecord(int32_t capacity, int32_t frameSize)
{
    auto* utt = static_cast<Utterance*>(DVKMem_Calloc(sizeof(Utterance)));
    if (utt == nullptr)
        return nullptr;
    utt->capacity = capacity;
    utt->frameSize = frameSize;
    utt->bytesPerFrame = frameSize;
    return utt;
}

// Room for capacity frames of bytesPerFrame bytes (and side values when
// asked), owned by the record.
bool allocateStorage(Utterance* utt, bool withSideValues)
{
    utt->ownsStorage = 1;
    utt->frames = static_cast<uint8_t*>(
        UtteranceMem_CallocArray(utt->capacity, static_cast<uint32_t>(utt->bytesPerFrame)));
    if (utt->frames == nullptr)
        return false;
    if (withSideValues) {
        utt->sideValues =
            static_cast<int32_t*>(UtteranceMem_CallocArray(utt->capacity, sizeof(int32_t)));
        if (utt->sideValues == nullptr)
            return false;
    }
    if (utt->packed) {
        utt->unpackBuffer = static_cast<uint8_t*>(DVKMem_Calloc(utt->frameSize));
        if (utt->unpackBuffer == nullptr)
            return false;
    }
    return true;
}

// Reads the source from its first frame and puts every frame into the
// packed copy; the source ends fully read.
void fillPacked(Utterance* copy, Utterance* source)
{
    Utterance_Rewind(source);
    int32_t* side = nullptr;
    while (const uint8_t* frame = Utterance_GetNextFrame(source, &side))
        Utterance_PutFrame(copy, frame, copy->sideValues != nullptr ? side : nullptr);
    Utterance_Rewind(copy);
}

// The held frames in ring order: from the first frame to the end of the
// ring, then the wrapped part from slot 0.
void copyInRingOrder(Utterance* copy, const Utterance* source)
{
    const int32_t head = std::min(source->count, source->capacity - source->firstFrame);
    const size_t frameBytes = source->bytesPerFrame;
    std::memcpy(copy->frames, slotBytes(source, source->firstFrame), head * frameBytes);
    std::memcpy(copy->frames + head * frameBytes, source->frames,
                (source->count - head) * frameBytes);
    if (copy->sideValues != nullptr) {
        std::memcpy(copy->sideValues, source->sideValues + source->firstFrame,
                    head * sizeof(int32_t));
        std::memcpy(copy->sideValues + head, source->sideValues,
                    (source->count - head) * sizeof(int32_t));
    }
    copy->count = source->count;
    Utterance_Rewind(copy);
}

} // namespace

Utterance* Utterance_CreateOnBuffer(uint8_t* frames, int32_t* sideValues, int32_t capacity,
                                    int32_t frameSize)
{
    Utterance* utt = allocateRecord(capacity, frameSize);
    if (utt == nullptr)
        return nullptr;
    utt->frames = frames;
    utt->sideValues = sideValues;
    return utt;
}

Utterance* Utterance_ConvertFrameBuffer(FrameBuffer* frameBuffer)
{
    uint8_t* frames = frameBuffer->frames != nullptr ? frameBuffer->frames[0] : nullptr;
    Utterance* utt = Utterance_CreateOnBuffer(frames, frameBuffer->sideValues,
                                              frameBuffer->capacity, frameBuffer->frameSize);
    if (utt == nullptr)
        return nullptr;
    utt->count = frameBuffer->count;
    utt->remaining = frameBuffer->count;
    return utt;
}

void Utterance_Load(Utterance* utt, int32_t first, int32_t count)
{
    UtteranceRing_Load(utt, first, count);
}

void Utterance_Clear(Utterance* utt) { UtteranceRing_Load(utt, 0, 0); }

void Utterance_Rewind(Utterance* utt) { UtteranceRing_Rewind(utt); }

const uint8_t* Utterance_GetNextFrame(Utterance* utt, int32_t** sideValueOut)
{
    const int32_t slot = UtteranceRing_TakeNext(utt);
    return slot < 0 ? nullptr : frameAt(utt, slot, sideValueOut);
}

const uint8_t* Utterance_GetFrame(Utterance* utt, int32_t i, int32_t** sideValueOut)
{
    const int32_t slot = UtteranceRing_IndexSlot(utt, i);
    return slot < 0 ? nullptr : frameAt(utt, slot, sideValueOut);
}

int32_t Utterance_GetNumFrames(const Utterance* utt) { return utt->count; }

int32_t Utterance_GetNumFramesRemaining(const Utterance* utt) { return utt->remaining; }

int32_t Utterance_PutFrame(Utterance* utt, const uint8_t* values, const int32_t* sideValue)
{
    const int32_t slot = UtteranceRing_PutSlot(utt);
    if (slot < 0)
        return 0;
    uint8_t* stored = slotBytes(utt, slot);
    if (utt->packed) {
        for (int32_t i = 0; i < utt->bytesPerFrame; ++i) {
            const int32_t low = std::min<int32_t>(values[2 * i], 15);
            const int32_t high = std::min<int32_t>(values[2 * i + 1], 15);
            stored[i] = static_cast<uint8_t>(low | (high << 4));
        }
    } else {
        std::memcpy(stored, values, utt->bytesPerFrame);
    }
    if (sideValue != nullptr && utt->sideValues != nullptr)
        utt->sideValues[slot] = *sideValue;
    UtteranceRing_Appended(utt);
    return 1;
}

Utterance* Utterance_Clone(Utterance* utt)
{
    const bool packCopy = BrevitParam_Word(kBrevitParamPackedFrames0) != 0 ||
                          BrevitParam_Word(kBrevitParamPackedFrames1) != 0 || utt->packed;
    const bool repack = packCopy && !utt->packed;
    if (repack && utt->frameSize % 2 != 0)
        return nullptr;
    Utterance* copy = allocateRecord(utt->count, utt->frameSize);
    if (copy == nullptr)
        return nullptr;
    const int64_t headBytes =
        int64_t{std::min(utt->count, utt->capacity - utt->firstFrame)} * utt->bytesPerFrame;
    if (utt->count <= 0 || headBytes <= 0) {
        copy->capacity = 0;
        return copy;
    }
    copy->packed = packCopy;
    copy->bytesPerFrame = packCopy ? utt->frameSize / 2 : utt->frameSize;
    if (!allocateStorage(copy, utt->sideValues != nullptr)) {
        Utterance_Delete(copy);
        return nullptr;
    }
    if (repack)
        fillPacked(copy, utt);
    else
        copyInRingOrder(copy, utt);
    return copy;
}

void Utterance_Delete(Utterance* utt)
{
    if (utt == nullptr)
        return;
    if (utt->ownsStorage) {
        DVKMem_Free(utt->frames);
        DVKMem_Free(utt->sideValues);
        DVKMem_Free(utt->unpackBuffer);
    }
    DVKMem_Free(utt);
}
