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
