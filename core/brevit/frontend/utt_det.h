// Utterance end-pointer: a frame-counting state machine that finds, from one
// speech/silence flag per frame, where speech starts and where the utterance
// ends. Frame indices count from 0 in the order frames are processed.
#pragma once

#include <cstdint>

inline constexpr int32_t kUttDetNoSpeech = 1;
inline constexpr int32_t kUttDetEndFound = 2;
inline constexpr int32_t kUttDetInSpeech = 3;

struct UttDet {
    int32_t state;               // kUttDetNoSpeech, kUttDetInSpeech or kUttDetEndFound
    int32_t minSpeechFrames;     // at least 1
    int32_t minSilenceFrames;    // at least 1
    int32_t speechCount;         // speech frames since speech started
    int32_t silenceRun;          // silence frames since the last speech frame
    int32_t resumeCount;         // speech frames seen since the end was found
    int32_t frameCount;          // frames processed
    int32_t startFrame;          // first speech frame, -1 before
    int32_t endFrame;            // last frame before the ending silence, -1 before
    int32_t silenceLimit;        // a run must exceed it before a final-silence check ends
    int32_t extraSilenceFrames;  // added to the minimum silence before an end
    int32_t flag;                // kept for the checksum
};

// Minimums in milliseconds become frames of period milliseconds (at least
// 1); the period must be positive. Then resets.
void UttDet_Init(UttDet* det, int32_t period, int32_t minSpeechMs, int32_t minSilenceMs,
                 int32_t limit, int32_t flag);
// Starts an utterance; the resume count is kept.
void UttDet_Reset(UttDet* det);
// Advances by one frame (silence non-zero for a silence frame); the new state.
int32_t UttDet_ProcessFrame(UttDet* det, int32_t silence);
int32_t UttDet_GetState(const UttDet* det);
int32_t UttDet_IsEndFound(const UttDet* det);
// In speech with a silence run going, or ended.
int32_t UttDet_IsSpeechPaused(const UttDet* det);
int32_t UttDet_GetStartFrame(const UttDet* det);
int32_t UttDet_GetNumFrames(const UttDet* det);
// The end of speech so far: the end found, or while in speech the frame
// before the current silence run; -1 when there is none.
int32_t UttDet_GetEndFrame(const UttDet* det);
// Whether the current silence run, lengthened by addedFrames of silence
// still to come, ends the utterance: kUttDetEndFound (entered with commit)
// or kUttDetInSpeech; other states are returned unchanged.
int32_t UttDet_CheckFinalSilence(UttDet* det, int32_t addedFrames, int32_t commit);
void UttDet_SetExtraSilenceFrames(UttDet* det, int32_t n);
uint32_t UttDet_ComputeCRC(const UttDet* det);
