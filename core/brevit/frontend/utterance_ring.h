// Ring bookkeeping shared by the byte and the float utterance buffers (both
// records carry the same ring fields), and zeroed arrays sized from frame
// counts that may come from outside.
#pragma once

#include "core/brevit/runtime/dvk_mem.h"

#include <cassert>
#include <cstdint>

// A product beyond the allocator's limit fails like a short heap.
inline void* UtteranceMem_CallocArray(int64_t count, uint32_t elementSize)
{
    const uint64_t bytes = static_cast<uint64_t>(count < 0 ? 0 : count) * elementSize;
    if (bytes > kDVKMemMaxRequest)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(bytes));
}

// Slot of frame i counted from base; the ring wraps once.
inline int32_t UtteranceRing_Slot(int32_t base, int32_t i, int32_t capacity)
{
    const int32_t slot = base + i;
    return slot >= capacity ? slot - capacity : slot;
}

template <typename Ring>
void UtteranceRing_Rewind(Ring* ring)
{
    ring->readPosition = ring->firstFrame;
    ring->remaining = ring->count;
}

template <typename Ring>
void UtteranceRing_Load(Ring* ring, int32_t first, int32_t count)
{
    assert(count <= ring->capacity);
    assert(count <= 0 || (first >= 0 && first < ring->capacity));
    ring->firstFrame = first;
    ring->count = count;
    UtteranceRing_Rewind(ring);
}

// The slot of the next unread frame, which is then read; -1 when none is left.
template <typename Ring>
int32_t UtteranceRing_TakeNext(Ring* ring)
{
    if (ring->remaining <= 0)
        return -1;
    const int32_t slot = ring->readPosition;
    --ring->remaining;
    if (++ring->readPosition >= ring->capacity)
        ring->readPosition = 0;
    return slot;
}

// The slot of frame i, or -1 outside the held frames.
template <typename Ring>
int32_t UtteranceRing_IndexSlot(const Ring* ring, int32_t i)
{
    if (i < 0 || i >= ring->count)
        return -1;
    return UtteranceRing_Slot(ring->firstFrame, i, ring->capacity);
}

// The slot after the unread frames, or -1 when the ring is full.
template <typename Ring>
int32_t UtteranceRing_PutSlot(const Ring* ring)
{
    if (ring->remaining >= ring->capacity)
        return -1;
    return UtteranceRing_Slot(ring->readPosition, ring->remaining, ring->capacity);
}

// After a frame went into the put slot: the held frames are the unread ones
// and the new one, so they start at the read position (frames already read
// are gone).
template <typename Ring>
void UtteranceRing_Appended(Ring* ring)
{
    ring->firstFrame = ring->readPosition;
    ring->remaining += 1;
    ring->count = ring->remaining;
}
