// Speech level tracker: follows a noise floor and a peak of c0 and marks
// each frame with two bits (1: c0 above a quarter of the way from floor to
// peak; 2: the smoothed speech decision).
#pragma once

#include <cstdint>

struct LevelTracker {
    int32_t sum;        // of the last L c0 values
    int16_t rate;       // Q15 adaptation rate
    int16_t floor;
    int16_t peak;
    int16_t peakMargin;
    int16_t* history;   // L c0 values, a ring
    int32_t shift;      // cepstral scale as a power of two
    int32_t L;          // frames in 100 ms, at least 1
    int32_t index;
    int32_t lastDecision;  // 0 before the first frame, 1 no speech, 2 speech
    int32_t loudStart;
    int32_t resetEachUtterance;
};

// Reads its scale and reset flags from the current parameter block; null
// without memory.
LevelTracker* LevelTracker_Create(int32_t sampleRate, int32_t samplesInShift);
void LevelTracker_SetDefaults(LevelTracker* tracker);
void LevelTracker_StartUtterance(LevelTracker* tracker);
// The frame's bits for this c0.
int32_t LevelTracker_Process(LevelTracker* tracker, int16_t c0);
void LevelTracker_GetFloorPeak(const LevelTracker* tracker, uint16_t out[2]);
void LevelTracker_SetFloorPeak(LevelTracker* tracker, const uint16_t in[2]);
void LevelTracker_Destroy(LevelTracker* tracker);
