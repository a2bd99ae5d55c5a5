// Dynamic silence model: a byte mean of the background, moved by an
// exponential average of frames judged silence (delayed through a ring of
// recent frames), bounding the silence state's cost at every new frame.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

// Averages one frame in; with update the current mean follows the new
// deviation, else it keeps the deviation from before the step.
void AM_DynSilAverageFrame(AM* am, const uint8_t* frame, int32_t update);
void AM_AdaptDynamicSilenceModel(AM* am);
void AM_SetDynamicSilenceModel(AM* am, const uint8_t* mean);
int32_t AM_GetDynamicSilenceModel(const AM* am, uint8_t* out);
int32_t AM_DynSilRestoreFromSnapshot(AM* am, const uint8_t* snapshot);
// At a new frame: the silence cost bounded by the frame's distance to the
// mean (or, with parameter word 954, the score ceiling set to it).
void AM_DynSilScoreFrame(AM* am);
