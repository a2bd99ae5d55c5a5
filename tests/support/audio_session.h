// Helpers for tests that record through the whole chain (the desktop
// capture, the named-pipe recorder, "rworker", the porting layer's audio)
// or play into $VOICEDIAL_OUT, with "VR" as the suite thread.
#pragma once

#include "platform/core/wex_root.h"
#include "sdk/common/dvk_msg.h"
#include "src/QrvFileSystem.h"
#include "src/QrvRecordInhibitor.h"
#include "tests/support/vr_thread.h"
#include "tests/support/wav_fixture.h"

#include <glib/gstdio.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <string>

// The pipe's directory, the data directory and the two sound files.
inline void prepareAudioRoot()
{
    ensureWorkQueues();
    g_mkdir_with_parents(wexRootPath("/tmp").c_str(), 0755);
    g_mkdir_with_parents(QrvFileSystem::makeFullPathname1("test001").c_str(), 0700);
    ::setenv("VOICEDIAL_OUT", wexRootPath("/voicedial.raw").c_str(), 1);
    ::unsetenv("MERROWIND_CAPTURE_WAV");
}

inline std::vector<int16_t> played()
{
    return readSamples(wexRootPath("/voicedial.raw"));
}

// The capture's source: a WAV file of these samples.
inline void captureFrom(const std::vector<int16_t>& samples)
{
    const std::string path = wexRootPath("/capture.wav");
    writeBytes(path, wavImage(samples));
    ::setenv("MERROWIND_CAPTURE_WAV", path.c_str(), 1);
}

// A suite message that counts its deliveries (on the suite thread).
struct MessageCounter {
    std::atomic<int> count{0};
    std::atomic<bool> onSuiteThread{true};
    // Read on delivery: the 200 ms period may be over by the time a loaded
    // machine lets the test look.
    std::atomic<bool> recordingInhibited{false};

    dvk_msg_Message* message()
    {
        return dvk_msg_create(this, [](void* self, dvk_msg_Address) {
            auto* counter = static_cast<MessageCounter*>(self);
            counter->onSuiteThread = counter->onSuiteThread && dvk_msg_getMyAddr() == dvk_msg_getDvkAddr();
            counter->recordingInhibited = RecordInhibitor::S_active();
            ++counter->count;
        }, nullptr);
    }
};
