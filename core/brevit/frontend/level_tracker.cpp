#include "core/brevit/frontend/level_tracker.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

// x times the Q15 rate, rounded.
int32_t scaled(const LevelTracker* tracker, int32_t x) { return (tracker->rate * x + 16384) >> 15; }

// floor + d x fraction, for a fraction given as a Q15 left shift of d.
int16_t between(int32_t floor, int32_t d, int32_t shift)
{
    return static_cast<int16_t>(floor + (((d << shift) + 16384) >> 15));
}

} // namespace

LevelTracker* LevelTracker_Create(int32_t sampleRate, int32_t samplesInShift)
{
    auto* tracker = static_cast<LevelTracker*>(DVKMem_Calloc(sizeof(LevelTracker)));
    if (tracker == nullptr)
        return nullptr;
    const bool scale11 = BrevitParam_Word(kBrevitParamCepstralScale11) != 0;
    const bool scale6 = BrevitParam_Word(kBrevitParamCepstralScale6) != 0;
    tracker->shift = scale11 ? 11 : (scale6 ? 6 : 7);
    tracker->loudStart = scale6 && !scale11;
    tracker->resetEachUtterance = BrevitParam_Word(kBrevitParamResetEachUtterance) != 0;
    tracker->rate = static_cast<int16_t>(((int64_t{100} * samplesInShift) / sampleRate) << 7);
    // A shift longer than 100 ms would leave the history without a slot.
    const int32_t frames =
        static_cast<int16_t>((int64_t{100} * sampleRate) / (int64_t{1000} * samplesInShift));
    tracker->L = std::max(frames, 1);
    tracker->history = static_cast<int16_t*>(DVKMem_Calloc(tracker->L * sizeof(int16_t)));
    if (tracker->history == nullptr) {
        DVKMem_Free(tracker);
        return nullptr;
    }
    LevelTracker_SetDefaults(tracker);
    return tracker;
}

void LevelTracker_SetDefaults(LevelTracker* tracker)
{
    if (tracker->resetEachUtterance) {
        tracker->floor = 32767;
        tracker->peak = 0;
        tracker->peakMargin =
            static_cast<int16_t>(std::min((tracker->loudStart ? 80 : 40) << tracker->shift, 32767));
    } else {
        tracker->peakMargin = 0;
        tracker->floor = static_cast<int16_t>(std::min(100 << tracker->shift, 32767));
        tracker->peak = static_cast<int16_t>(std::min(200 << tracker->shift, 32767));
    }
}

void LevelTracker_StartUtterance(LevelTracker* tracker)
{
    tracker->sum = 0;
    tracker->index = 0;
    std::memset(tracker->history, 0, tracker->L * sizeof(int16_t));
    tracker->lastDecision = 0;
    if (tracker->resetEachUtterance)
        LevelTracker_SetDefaults(tracker);
}

int32_t LevelTracker_Process(LevelTracker* tracker, int16_t c0)
{
    if (tracker->floor < c0)
        tracker->floor = static_cast<int16_t>(tracker->floor + scaled(tracker, c0 - tracker->floor));
    else
        tracker->floor = c0;

    const int16_t raised = static_cast<int16_t>(tracker->floor + tracker->peakMargin);
    const int16_t t = std::max(raised, c0);
    if (t < tracker->peak)
        tracker->peak = static_cast<int16_t>(tracker->peak + scaled(tracker, c0 - tracker->peak));
    else
        tracker->peak = t;

    const int16_t oldest = tracker->history[tracker->index];
    tracker->history[tracker->index] = c0;
    if (++tracker->index == tracker->L)
        tracker->index = 0;
    tracker->sum = tracker->sum - oldest + c0;

    const int32_t d = tracker->peak - tracker->floor;
    const int16_t threshold = between(tracker->floor, d, tracker->lastDecision == 2 ? 12 : 14);
    const bool speech = int64_t{tracker->sum} > int64_t{tracker->L} * threshold;
    tracker->lastDecision = speech ? 2 : 1;
    return (speech ? 2 : 0) + (c0 > between(tracker->floor, d, 13) ? 1 : 0);
}

void LevelTracker_GetFloorPeak(const LevelTracker* tracker, uint16_t out[2])
{
    out[0] = static_cast<uint16_t>(tracker->floor);
    out[1] = static_cast<uint16_t>(tracker->peak);
}

void LevelTracker_SetFloorPeak(LevelTracker* tracker, const uint16_t in[2])
{
    tracker->floor = static_cast<int16_t>(in[0]);
    tracker->peak = static_cast<int16_t>(in[1]);
}

void LevelTracker_Destroy(LevelTracker* tracker)
{
    if (tracker == nullptr)
        return;
    DVKMem_Free(tracker->history);
    DVKMem_Free(tracker);
}
