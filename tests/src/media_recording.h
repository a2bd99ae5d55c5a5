// One recording through the named-pipe recorder, on a thread of its own
// while this thread ("UI") runs the capture client.
#pragma once

#include "src/Recorder.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Reads `reads` buffers of 160 frames (each primed with a pattern, so that
// untouched samples show), appends them to samples and returns each read's
// result.
inline std::vector<int32_t> recordBuffers(int reads, std::vector<int16_t>& samples)
{
    std::vector<int32_t> results;
    std::atomic<bool> done{false};
    std::thread recorder([&] {
        {
            MediaRecorder mediaRecorder;
            for (int i = 0; i < reads; ++i) {
                std::vector<int16_t> buffer(160, 0x5555);
                Recorder::RecordBufInfo info{buffer.data(), 160};
                results.push_back(mediaRecorder.read(info));
                samples.insert(samples.end(), buffer.begin(), buffer.end());
            }
        }
        done = true;
    });
    EXPECT_TRUE(waitFor([&] { return done.load(); }, std::chrono::milliseconds(10000)));
    recorder.join();
    return results;
}
