#include "core/brevit/frontend/utterance.h"
#include "core/brevit/frontend/utterance_ring.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

float* slotValues(const UtteranceF* uttF, int32_t slot)
{
    return uttF->frames + static_cast<size_t>(slot) * uttF->frameSize;
}

// An owning, rewound buffer of count frames (room for at least one) with no
// values yet.
UtteranceF* createFull(int32_t count, int32_t frameSize)
{
    UtteranceF* copy = UtteranceF_Create(std::max(count, 1), frameSize);
    if (copy != nullptr)
        UtteranceF_Load(copy, 0, count);
    return copy;
}

} // namespace

UtteranceF* UtteranceF_Create(int32_t capacity, int32_t frameSize)
{
    auto* uttF = static_cast<UtteranceF*>(DVKMem_Calloc(sizeof(UtteranceF)));
    if (uttF == nullptr)
        return nullptr;
    uttF->capacity = capacity;
    uttF->frameSize = frameSize;
    if (int64_t{capacity} * frameSize < 1 || capacity < 0)
        return uttF;
    uttF->frames = static_cast<float*>(
        UtteranceMem_CallocArray(int64_t{capacity} * frameSize, sizeof(float)));
    if (uttF->frames == nullptr) {
        DVKMem_Free(uttF);
        return nullptr;
    }
    uttF->ownsStorage = 1;
    return uttF;
}

void UtteranceF_Load(UtteranceF* uttF, int32_t first, int32_t count)
{
    UtteranceRing_Load(uttF, first, count);
}

void UtteranceF_Clear(UtteranceF* uttF) { UtteranceRing_Load(uttF, 0, 0); }

void UtteranceF_Rewind(UtteranceF* uttF) { UtteranceRing_Rewind(uttF); }

int32_t UtteranceF_GetNumFrames(const UtteranceF* uttF) { return uttF->count; }

int32_t UtteranceF_GetNumFramesRemaining(const UtteranceF* uttF) { return uttF->remaining; }

const float* UtteranceF_GetNextFrame(UtteranceF* uttF)
{
    const int32_t slot = UtteranceRing_TakeNext(uttF);
    return slot < 0 ? nullptr : slotValues(uttF, slot);
}

const float* UtteranceF_GetFrame(UtteranceF* uttF, int32_t i)
{
    const int32_t slot = UtteranceRing_IndexSlot(uttF, i);
    return slot < 0 ? nullptr : slotValues(uttF, slot);
}

int32_t UtteranceF_PutFrame(UtteranceF* uttF, const float* values)
{
    const int32_t slot = UtteranceRing_PutSlot(uttF);
    if (slot < 0)
        return 0;
    std::memcpy(slotValues(uttF, slot), values, static_cast<size_t>(uttF->frameSize) * sizeof(float));
    UtteranceRing_Appended(uttF);
    return 1;
}

UtteranceF* UtteranceF_CopyFromFixed(Utterance* utt)
{
    UtteranceF* copy = createFull(utt->count, utt->frameSize);
    if (copy == nullptr)
        return nullptr;
    for (int32_t i = 0; i < copy->count && copy->frames != nullptr; ++i) {
        const uint8_t* frame = Utterance_GetFrame(utt, i, nullptr);
        float* out = slotValues(copy, i);
        for (int32_t k = 0; k < copy->frameSize; ++k)
            out[k] = static_cast<float>(frame[k]);
    }
    return copy;
}

UtteranceF* UtteranceF_Clone(const UtteranceF* uttF)
{
    UtteranceF* copy = createFull(uttF->count, uttF->frameSize);
    if (copy == nullptr)
        return nullptr;
    for (int32_t i = 0; i < copy->count && copy->frames != nullptr; ++i)
        std::memcpy(slotValues(copy, i), slotValues(uttF, UtteranceRing_IndexSlot(uttF, i)),
                    static_cast<size_t>(copy->frameSize) * sizeof(float));
    return copy;
}

void UtteranceF_Delete(UtteranceF* uttF)
{
    if (uttF == nullptr)
        return;
    if (uttF->ownsStorage)
        DVKMem_Free(uttF->frames);
    DVKMem_Free(uttF);
}
