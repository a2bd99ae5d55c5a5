// The recorder over the ALSA capture device "record" ($RECORD_IN).
#include "platform/core/wex_root.h"
#include "src/QrvAlsa.h"
#include "src/QrvLog.h"
#include "src/Recorder.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"
#include "tests/support/wav_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(AlsaRecorder, ReadsTheDeviceAndZerosWhatItLacks)
{
    const std::vector<int16_t> input = rampSamples(320, 1);
    const std::string path = wexRootPath("/record.raw");
    writeBytes(path, rawBytes(input));
    ::setenv("RECORD_IN", path.c_str(), 1);
    ServiceEndDouble end;
    AlsaRecorder recorder;
    std::vector<int16_t> all;
    for (int i = 0; i < 3; ++i) {
        std::vector<int16_t> buffer(160, 0x5555);
        Recorder::RecordBufInfo info{buffer.data(), 160};
        EXPECT_EQ(recorder.read(info), 160);
        all.insert(all.end(), buffer.begin(), buffer.end());
    }
    std::vector<int16_t> expected = input;
    expected.resize(480, 0);
    EXPECT_EQ(all, expected);
    EXPECT_EQ(end.total(), 0);
}

TEST(AlsaRecorder, AReadErrorIsLoggedByName)
{
    ServiceEndDouble end;
    LogCapture logs;
    qrvAlsa().readi = [](snd_pcm_t*, void*, snd_pcm_uframes_t) -> snd_pcm_sframes_t { return -EBUSY; };
    {
        AlsaRecorder recorder;
        std::vector<int16_t> buffer(160, 7);
        Recorder::RecordBufInfo info{buffer.data(), 160};
        EXPECT_EQ(recorder.read(info), 0);
        EXPECT_EQ(buffer, std::vector<int16_t>(160, 0));
    }
    qrvAlsaRestore();
    EXPECT_TRUE(logs.contains("read: EBUSY (-16)"));
}

TEST(AlsaRecorder, WithoutTheDeviceTheSessionCloses)
{
    const std::string conf = wexRootPath("/empty-asound.conf");
    writeBytes(conf, "# no devices\n");
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ServiceEndDouble end;
    LogCapture logs;
    AlsaRecorder recorder;
    EXPECT_TRUE(logs.contains("snd_pcm_open failed: No such file or directory"));
    EXPECT_EQ(end.closings.load(), 1);
    std::vector<int16_t> buffer(160, 7);
    Recorder::RecordBufInfo info{buffer.data(), 160};
    EXPECT_EQ(recorder.read(info), 0);
}

TEST(AlsaErrors, NameTheCodes)
{
    const std::pair<long, const char*> names[] = {{-32, "EPIPE"}, {-86, "ESTRPIPE"}, {-77, "EBADFD"},
                                                  {-16, "EBUSY"}, {-11, "EAGAIN"},   {-5, "UNKNOWN ERROR"}};
    for (const auto& [code, name] : names)
        EXPECT_STREQ(qrvAlsaErrName(code), name) << code;
}

} // namespace
