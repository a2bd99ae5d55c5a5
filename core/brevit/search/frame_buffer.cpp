// A bounded store of feature frames and their side values for a decoder's
// second pass.
#include "core/brevit/search/frame_buffer.h"

#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

FrameBuffer* FrameBuffer_Create(int32_t frameSize, int32_t capacity)
{
    auto* buffer = static_cast<FrameBuffer*>(DVKMem_Calloc(sizeof(FrameBuffer)));
    if (buffer == nullptr)
        return nullptr;
    buffer->frameSize = frameSize;
    buffer->frames = static_cast<uint8_t**>(DVKMem_2DCalloc(1, capacity, frameSize));
    buffer->sideValues = static_cast<int32_t*>(DVKMem_Calloc(static_cast<uint32_t>(capacity) * sizeof(int32_t)));
    if (buffer->frames == nullptr || buffer->sideValues == nullptr) {
        FrameBuffer_Delete(buffer);
        return nullptr;
    }
    buffer->capacity = capacity;
    return buffer;
}

int32_t FrameBuffer_AddFrame(FrameBuffer* buffer, const uint8_t* frame, const int32_t* sideValue)
{
    if (buffer->count >= buffer->capacity)
        return 0;
    std::memcpy(buffer->frames[buffer->count], frame, static_cast<size_t>(buffer->frameSize));
    buffer->sideValues[buffer->count] = sideValue != nullptr ? *sideValue : 0;
    ++buffer->count;
    return 1;
}

uint8_t* FrameBuffer_GetFrame(FrameBuffer* buffer, int32_t index, int32_t** sideValue)
{
    if (sideValue != nullptr)
        *sideValue = &buffer->sideValues[index];
    return buffer->frames[index];
}

int32_t FrameBuffer_GetNumFrames(const FrameBuffer* buffer) { return buffer->count; }

int32_t FrameBuffer_GetNumAllocatedFrames(const FrameBuffer* buffer) { return buffer->capacity; }

void FrameBuffer_Reset(FrameBuffer* buffer) { buffer->count = 0; }

void FrameBuffer_FreeContents(FrameBuffer* buffer)
{
    if (buffer == nullptr)
        return;
    DVKMem_2DFree(buffer->frames);
    DVKMem_Free(buffer->sideValues);
    buffer->frames = nullptr;
    buffer->sideValues = nullptr;
    buffer->capacity = 0;
    buffer->count = 0;
}

void FrameBuffer_Delete(FrameBuffer* buffer)
{
    if (buffer == nullptr)
        return;
    FrameBuffer_FreeContents(buffer);
    DVKMem_Free(buffer);
}
