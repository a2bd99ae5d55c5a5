// A fake of the whole suite audio (dvk_audio_*) for tests of what plays
// through it: every queued item is written down with a copy of its data and
// keeps its done message until the test plays it; a stop drops what is
// queued (their messages unsent) and sends its own message at once.
#pragma once

#include "sdk/common/dvk_msg.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct FakeAudioItem {
    std::string kind;  // "pcm", "vocoded" or "stream"
    int32_t device = 0;
    int32_t pcmType = 0;
    int32_t vocoderType = 0;
    int32_t leadMs = 0;
    std::string bytes;             // the data as queued (samples as bytes)
    const void* data = nullptr;    // where it lay
    dvk_msg_Message* message = nullptr;  // while queued
    bool withMessage = false;
};

struct FakeAudio {
    std::deque<FakeAudioItem> queued;  // waiting to be played, oldest first
    std::vector<FakeAudioItem> log;    // every item ever queued, in order
    std::vector<std::string> calls;    // "stop", "stop+message", "end"
    int32_t pcmPlaybackType = 0;
    int refuseNext = 0;  // the next queue calls refuse (their messages are destroyed)
    // A player slow to stop: the stop's message waits for fakeAudioStopped.
    bool slowStop = false;
    dvk_msg_Message* stopMessage = nullptr;
};

FakeAudio& fakeAudio();
void resetFakeAudio();
// On the suite thread: the oldest n queued items finish in order; each one's
// message goes to the suite thread. False when fewer were queued.
bool fakeAudioPlay(size_t n);
// On the suite thread: a slow player has stopped; the stop's message goes.
void fakeAudioStopped();
