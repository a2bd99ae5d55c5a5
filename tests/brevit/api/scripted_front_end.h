// A front end whose operations are test functions: each shift fed answers
// the next scripted status (then a default), every frame it makes carries
// a counter (in its bytes, its side value and its cepstra), and the calls
// the engine makes are logged.
#pragma once

#include "core/brevit/frontend/fe.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct ScriptedFrontEnd {
    static constexpr int32_t kSnapshotSize = 468;  // as a received snapshot block
    FE head;  // first: the engine holds &head
    std::deque<int32_t> feedStatuses;
    int32_t defaultStatus = kFEStatusNoSpeech;
    int32_t futureSilence = 0;
    int32_t drainFrames = 0;  // silence frames that appear at the end
    bool ended = false;
    int32_t counter = 0;
    struct Frame {
        int32_t counter;
        int32_t status;
    };
    std::deque<Frame> frames;
    std::deque<Frame> cepstra;
    std::vector<std::string> log;
    std::vector<int16_t> firstSamples;  // the first sample of every shift fed

    ScriptedFrontEnd()
    {
        head = FE{};
        head.sampleRate = 8000;
        head.samplesInShift = 80;
        head.numCepstra = 4;
        head.featureDim = 4;
        head.ringSize = 64;
        head.ops.Destroy = [](FE*) {};
        head.ops.Reset = [](FE* fe, int32_t mode) { of(fe)->log.push_back("Reset " + std::to_string(mode)); };
        head.ops.RestartChannelMap = [](FE* fe, int32_t ms) {
            of(fe)->log.push_back("RestartChannelMap " + std::to_string(ms));
            return 0;
        };
        head.ops.StartUtterance = [](FE* fe, int32_t accumulate) {
            of(fe)->ended = false;
            of(fe)->log.push_back("StartUtterance " + std::to_string(accumulate));
        };
        head.ops.EndUtterance = [](FE* fe) {
            ScriptedFrontEnd* s = of(fe);
            s->ended = true;
            for (int32_t i = 0; i < s->drainFrames; ++i)
                s->make(kFEStatusNoSpeech);
            s->log.push_back("EndUtterance");
            return 0;
        };
        head.ops.FeedSamples = [](FE* fe, const int16_t* samples) {
            ScriptedFrontEnd* s = of(fe);
            s->firstSamples.push_back(samples[0]);
            return s->feed();
        };
        head.ops.FeedCepstra = [](FE* fe, const int16_t* cepstra, int32_t) {
            of(fe)->log.push_back("FeedCepstra " + std::to_string(cepstra[0]));
            return of(fe)->feed();
        };
        head.ops.GetNextCepstra = [](FE* fe, int16_t* out) {
            ScriptedFrontEnd* s = of(fe);
            if (s->ended)
                return kFEStatusEnded;
            if (s->cepstra.empty())
                return kFEStatusNotReady;
            const Frame f = s->cepstra.front();
            s->cepstra.pop_front();
            for (int32_t i = 0; i < fe->numCepstra; ++i)
                out[i] = static_cast<int16_t>(f.counter + i);
            return f.status;
        };
        head.ops.ReleaseCNBuffer = [](FE* fe) {
            of(fe)->log.push_back("ReleaseCNBuffer");
            return 1;
        };
        head.ops.GetNumFutureSilenceFrames = [](FE* fe) { return of(fe)->futureSilence; };
        head.ops.GetNextFrame = [](FE* fe, uint8_t* out, uint16_t info[2]) {
            ScriptedFrontEnd* s = of(fe);
            if (s->frames.empty())
                return s->ended ? kFEStatusEnded : kFEStatusNotReady;
            const Frame f = s->frames.front();
            s->frames.pop_front();
            for (int32_t i = 0; i < fe->featureDim; ++i)
                out[i] = static_cast<uint8_t>(f.counter + i);
            info[0] = static_cast<uint16_t>(f.counter);
            info[1] = 0;
            return f.status;
        };
        head.ops.GetRMS = [](FE*) { return uint16_t{77}; };
        head.ops.GetSnapshotSize = [](FE*) { return kSnapshotSize; };
        head.ops.FillInSnapshot = [](FE*, void* buffer) {
            for (int32_t i = 0; i < kSnapshotSize; ++i)
                static_cast<uint8_t*>(buffer)[i] = 0;
            return 1;
        };
        head.ops.ComputeCRC = [](FE*, int32_t) { return 5u; };
    }

    static ScriptedFrontEnd* of(FE* fe) { return reinterpret_cast<ScriptedFrontEnd*>(fe); }

    void make(int32_t status)
    {
        ++counter;
        frames.push_back({counter, status});
        cepstra.push_back({counter, status});
    }

    int32_t feed()
    {
        int32_t status = defaultStatus;
        if (!feedStatuses.empty()) {
            status = feedStatuses.front();
            feedStatuses.pop_front();
        }
        if (status == kFEStatusSpeech || status == kFEStatusNoSpeech)
            make(status);
        return status;
    }

    // count shifts of the given status.
    void script(int32_t count, int32_t status)
    {
        for (int32_t i = 0; i < count; ++i)
            feedStatuses.push_back(status);
    }
};
