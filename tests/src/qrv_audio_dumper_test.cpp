// Numbered PCM dumps, switched on by the owning logger's trace level.
#include "platform/core/wex_root.h"
#include "src/QrvAudioDumper.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "tests/support/wav_fixture.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <sys/stat.h>

namespace {

class AudioDumper : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_mkdir_with_parents(QrvFileSystem::makeFullPathname1("").c_str(), 0700);
        logger.setLevel(WexLogTrace);
    }
    void TearDown() override { QrvLog::UIthread::qrvLogContacts.setLevel(WexLogInfo); }

    static bool exists(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    WexLogger logger{"AudioDumperTest"};
};

TEST_F(AudioDumper, DumpsNothingAboveTraceLevel)
{
    logger.setLevel(WexLogDebug);
    QrvAudioDumper dumper(logger, "Recording.pcm", false);
    dumper.Start();
    const int16_t samples[] = {1, 2};
    dumper.Write(samples, sizeof samples);
    EXPECT_FALSE(exists(QrvFileSystem::makeFullPathname1("000Recording.pcm")));
}

TEST_F(AudioDumper, NumbersItsFilesAndWrapsAfterAThousand)
{
    QrvAudioDumper dumper(logger, "Recording.pcm", false);
    dumper.Start();
    const std::vector<int16_t> first = rampSamples(10);
    dumper.Write(first.data(), first.size() * 2);
    dumper.Start(); // the first file is closed complete
    EXPECT_EQ(readSamples(QrvFileSystem::makeFullPathname1("000Recording.pcm")), first);
    EXPECT_TRUE(exists(QrvFileSystem::makeFullPathname1("001Recording.pcm")));
    for (int i = 2; i < 1000; ++i)
        dumper.Start();
    EXPECT_TRUE(exists(QrvFileSystem::makeFullPathname1("999Recording.pcm")));
    dumper.Start(); // the 1,001st
    const std::vector<int16_t> again = rampSamples(3, 9);
    dumper.Write(again.data(), again.size() * 2);
    EXPECT_EQ(readSamples(QrvFileSystem::makeFullPathname1("000Recording.pcm")), again);
    EXPECT_EQ(QrvAudioDumper::fileName(1234, "x"), "234x");
}

TEST_F(AudioDumper, UsesTheLogDirectoryOnlyWithContactsAtErrorLevel)
{
    g_mkdir_with_parents(wexRootPath("/var/log").c_str(), 0755);
    const std::string logDirectory = wexRootPath(QrvAudioDumper::kLogDirectory);
    const struct {
        int contactsLevel;
        bool flag;
        bool inLogDirectory;
    } cases[] = {{WexLogError, true, true}, {WexLogWarning, true, false}, {WexLogError, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contactsLevel);
        g_remove((logDirectory + "/000RecordWorker.pcm").c_str());
        g_remove(QrvFileSystem::makeFullPathname1("000RecordWorker.pcm").c_str());
        QrvLog::UIthread::qrvLogContacts.setLevel(c.contactsLevel);
        QrvAudioDumper dumper(logger, "RecordWorker.pcm", c.flag);
        dumper.Start();
        EXPECT_EQ(exists(logDirectory + "/000RecordWorker.pcm"), c.inLogDirectory);
        EXPECT_EQ(exists(QrvFileSystem::makeFullPathname1("000RecordWorker.pcm")), !c.inLogDirectory);
    }
    struct stat st {};
    ASSERT_EQ(::stat(logDirectory.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(AudioDumper, ALogDirectoryThatCannotBeMadeEndsTheProcess)
{
    QrvLog::UIthread::qrvLogContacts.setLevel(WexLogError);
    QrvAudioDumper dumper(logger, "RecordWorker.pcm", true);
    EXPECT_EXIT(dumper.Start(), ::testing::ExitedWithCode(1), "mkdir failed: No such file or directory \\(2\\)");
}

} // namespace
