// The playback worker over the desktop's ALSA device "voicedial", which
// writes what is played into $VOICEDIAL_OUT.
#include "oem/dvk_oem_mem.h"
#include "platform/core/wex_root.h"
#include "src/QrvAlsa.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "src/QrvPlayerWorkerThread.h"
#include "tests/support/vr_thread.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"
#include "tests/support/wav_fixture.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

namespace {

// The buffers a playback plays: each callback hands out the next one (a
// block of dvk_oem_mem_alloc, as the worker frees the last), then 0 frames.
struct Script {
    std::vector<std::vector<int16_t>> buffers;
    size_t next = 0;
    int callbacks = 0;
    int dones = 0;
    bool allOnStarter = true;
    workqueue* starter = nullptr;
};
Script s_script;

void giveBuffer(QrvPlayerBufInfo* info)
{
    ++s_script.callbacks;
    s_script.allOnStarter = s_script.allOnStarter && workqueue_self() == s_script.starter;
    dvk_oem_mem_free(info->pcmData);
    info->pcmData = nullptr;
    info->numFrames = 0;
    if (s_script.next == s_script.buffers.size())
        return;
    const std::vector<int16_t>& buffer = s_script.buffers[s_script.next++];
    info->pcmData = static_cast<int16_t*>(dvk_oem_mem_alloc(buffer.size() * sizeof(int16_t)));
    std::memcpy(info->pcmData, buffer.data(), buffer.size() * sizeof(int16_t));
    info->numFrames = static_cast<int32_t>(buffer.size());
}

void playbackDone(void*)
{
    ++s_script.dones;
    s_script.allOnStarter = s_script.allOnStarter && workqueue_self() == s_script.starter;
}

class PlayerWorker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        s_script = Script{};
        s_script.starter = workqueue_self();
        ::setenv("VOICEDIAL_OUT", out.c_str(), 1);
        QrvLog::multiThread::qrvLogPlayer().setLevel(WexLogDebug);
        QrvLog::VRthread::qrvLogPlayer.setLevel(WexLogDebug);
    }
    void TearDown() override { qrvAlsaRestore(); }

    // Plays the buffers from this thread ("UI") and waits for the end.
    void play(std::vector<std::vector<int16_t>> buffers)
    {
        s_script.buffers = std::move(buffers);
        s_script.next = 0;
        const int before = s_script.dones;
        QrvPlayerWorkerThreadStart(giveBuffer, playbackDone);
        ASSERT_TRUE(waitFor([&] { return s_script.dones == before + 1; }));
    }

    void makeDataDirectory() { g_mkdir_with_parents(QrvFileSystem::makeFullPathname1("").c_str(), 0700); }

    const std::string out = wexRootPath("/voicedial.raw");
    LogCapture logs;
};

std::vector<std::vector<int16_t>> ramps(int count)
{
    std::vector<std::vector<int16_t>> buffers;
    for (int i = 0; i < count; ++i)
        buffers.push_back(rampSamples(800, i * 1000));
    return buffers;
}

std::vector<int16_t> joined(const std::vector<std::vector<int16_t>>& buffers)
{
    std::vector<int16_t> all;
    for (const auto& b : buffers)
        all.insert(all.end(), b.begin(), b.end());
    return all;
}

TEST_F(PlayerWorker, PlaysEveryBufferIntoTheDevice)
{
    play(ramps(3));
    EXPECT_EQ(readSamples(out), joined(ramps(3)));
    EXPECT_EQ(s_script.callbacks, 4);
    EXPECT_TRUE(s_script.allOnStarter);
    EXPECT_TRUE(logs.contains("defaults: threshold=1920 bufferSize=1920 periodSize=480"));
    EXPECT_TRUE(logs.contains("frames written=800  frames left: "));
    EXPECT_TRUE(logs.contains("numPlayed=2400"));
}

TEST_F(PlayerWorker, AnEmptyFirstBufferEndsThePlaybackAtOnce)
{
    play({});
    EXPECT_EQ(s_script.callbacks, 1);
    EXPECT_EQ(s_script.dones, 1);
    EXPECT_TRUE(readSamples(out).empty());
    EXPECT_TRUE(logs.contains("<- QrvPlayerWorkerThreadMainCloseChannel"));
}

TEST_F(PlayerWorker, DumpsEachPlaybackAtTraceLevel)
{
    makeDataDirectory();
    QrvLog::VRthread::qrvLogPlayer.setLevel(WexLogTrace);
    QrvLog::multiThread::qrvLogPlayer().setLevel(WexLogTrace);
    play(ramps(1));
    play(ramps(2));
    EXPECT_EQ(readSamples(QrvFileSystem::makeFullPathname1("000PlayWorker.pcm")), joined(ramps(1)));
    EXPECT_EQ(readSamples(QrvFileSystem::makeFullPathname1("001PlayWorker.pcm")), joined(ramps(2)));
    EXPECT_TRUE(logs.contains("dumpSndBuf: setup "));
    EXPECT_TRUE(logs.contains("dumpSndBuf: status "));
}

TEST_F(PlayerWorker, DumpsNothingAboveTraceLevel)
{
    makeDataDirectory();
    play(ramps(2));
    struct stat st {};
    EXPECT_NE(::stat(QrvFileSystem::makeFullPathname1("000PlayWorker.pcm").c_str(), &st), 0);
    EXPECT_FALSE(logs.contains("dumpSndBuf"));
}

TEST_F(PlayerWorker, AnUnderrunIsRecoveredAndCounted)
{
    static int writes = 0;
    static int recoveries = 0;
    qrvAlsa().writei = [](snd_pcm_t* pcm, const void* buffer, snd_pcm_uframes_t frames) -> snd_pcm_sframes_t {
        if (++writes == 2)
            return -EPIPE;
        return snd_pcm_writei(pcm, buffer, frames);
    };
    qrvAlsa().recover = [](snd_pcm_t* pcm, int err, int silent) {
        ++recoveries;
        return snd_pcm_recover(pcm, err, silent);
    };
    play(ramps(3));
    EXPECT_TRUE(logs.contains("QrvPlayerWorkerThreadMainPlayBuf: writei error EPIPE (-32)"));
    EXPECT_EQ(recoveries, 1);
    EXPECT_TRUE(logs.contains("numPlayed=2400"));
    std::vector<int16_t> expected = joined(ramps(3));
    expected.erase(expected.begin() + 800, expected.begin() + 1600); // not written again
    EXPECT_EQ(readSamples(out), expected);
}

TEST_F(PlayerWorker, AFailingDrainStartsTheShutDown)
{
    ServiceEndDouble end;
    qrvAlsa().drain = [](snd_pcm_t*) { return -EIO; };
    play(ramps(1));
    EXPECT_TRUE(logs.contains("failure draining sound device: "));
    EXPECT_TRUE(waitFor([&] { return end.shutdowns.load() == 1; }));
}

TEST_F(PlayerWorker, WithoutTheDeviceTheServiceShutsDown)
{
    const std::string conf = wexRootPath("/empty-asound.conf");
    writeBytes(conf, "# no devices\n");
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ServiceEndDouble end;
    play(ramps(1));
    EXPECT_TRUE(logs.contains("snd_pcm_open failed: No such file or directory.  device=voicedial"));
    EXPECT_EQ(s_script.callbacks, 0);
    EXPECT_TRUE(waitFor([&] { return end.shutdowns.load() == 1; }));
}

} // namespace
