// A link-time fake of the recogniser wrapper's synthesis calls: scripted
// answers filling whole or partial buffers, a refused start, and every call
// written down.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct FakeTtsAnswer {
    int32_t bytes = -1;  // -1: the whole buffer
    int32_t done = 0;
};

struct FakeVreTts {
    int32_t startResult = 0;
    int32_t pcmType = 0;      // reported by the starts
    int32_t vocoderType = 9;
    std::deque<FakeTtsAnswer> answers;  // when none is left: nothing more, done
    std::vector<std::string> calls;     // "startText hello 100 0", "startIds 3", "get 1600", "stop"
    int32_t filled = 0;  // buffers filled so far; buffer n is filled with bytes n + 1
};

FakeVreTts& fakeVreTts();
void resetFakeVreTts();
