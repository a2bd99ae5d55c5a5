// Feature frames a decoder keeps for a second pass, each with one 32-bit
// side value. Utterance buffers wrap its storage without copying it.
#pragma once

#include <cstdint>

struct FrameBuffer {
    uint8_t** frames;     // capacity rows of frameSize bytes, one contiguous block
    int32_t* sideValues;  // one per frame
    int32_t frameSize;    // bytes per frame
    int32_t capacity;     // frames allocated
    int32_t count;        // frames stored
};

// Null when either array cannot be allocated.
FrameBuffer* FrameBuffer_Create(int32_t frameSize, int32_t capacity);
// Copies the frame and its side value; 0 when the buffer is full.
int32_t FrameBuffer_AddFrame(FrameBuffer* buffer, const uint8_t* frame, const int32_t* sideValue);
// No bounds check: index < count. sideValue receives the address of the
// frame's side value.
uint8_t* FrameBuffer_GetFrame(FrameBuffer* buffer, int32_t index, int32_t** sideValue);
int32_t FrameBuffer_GetNumFrames(const FrameBuffer* buffer);
int32_t FrameBuffer_GetNumAllocatedFrames(const FrameBuffer* buffer);
void FrameBuffer_Reset(FrameBuffer* buffer);
// Frees both arrays and zeroes capacity and count; null allowed.
void FrameBuffer_FreeContents(FrameBuffer* buffer);
void FrameBuffer_Delete(FrameBuffer* buffer);
