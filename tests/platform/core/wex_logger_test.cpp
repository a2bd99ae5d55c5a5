#include "platform/core/wex_errlog.h"
#include "platform/core/wex_logger.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Constructed before main, as the service's own loggers are.
WexLogger s_early("TestEarlyLogger");
WexLogger s_earlyOther("TestEarlyOther");

struct LevelCase {
    const char* spec;
    const char* logger;
    int expected;
};

class LoggerLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LoggerLevels, LevelListSetsLevels)
{
    WexLogger a("QrvLogVRPlayer");
    WexLogger b("QrvLogUI");
    WexLogger::configure(GetParam().spec);
    WexLogger* logger = WexLogger::find(GetParam().logger);
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(logger->level(), GetParam().expected);
    WexLogger::configure("");
}

INSTANTIATE_TEST_SUITE_P(
    Specs, LoggerLevels,
    ::testing::Values(LevelCase{"", "QrvLogUI", WexLogInfo},
                      LevelCase{"QrvLogVRPlayer=0,*=2", "QrvLogVRPlayer", WexLogTrace},
                      LevelCase{"QrvLogVRPlayer=0,*=2", "QrvLogUI", WexLogInfo},
                      LevelCase{"*=5", "QrvLogUI", WexLogError},
                      LevelCase{"QrvLogUI=x,*=4", "QrvLogUI", WexLogWarning},
                      LevelCase{"QrvLogUI=9", "QrvLogUI", 6}),
    [](const ::testing::TestParamInfo<LevelCase>& info) { return std::to_string(info.index); });

TEST(Logger, PrintsOnlyAtOrAboveItsLevel)
{
    LogCapture capture;
    WexLogger logger("TestPrint");
    logger.setLevel(WexLogNotice);
    logger.log(WexLogInfo, "hidden %d", 1);
    logger.log(WexLogNotice, "shown %d", 2);
    logger.log(WexLogError, "shown %s", "too");
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0].text, "shown 2");
    EXPECT_TRUE(capture.contains("TestPrint", WexLogError, "shown too"));
}

TEST(Logger, TracerLogsEntryAndExitAtTraceOnly)
{
    LogCapture capture;
    WexLogger logger("TestTracer");
    {
        WexTracer trace(logger, "quiet");
    }
    EXPECT_TRUE(capture.lines().empty());
    logger.setLevel(WexLogTrace);
    {
        WexTracer trace(logger, "loud");
    }
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0].text, "> loud");
    EXPECT_EQ(capture.lines()[1].text, "< loud");
}

TEST(Logger, ManyThreadsLogWholeLines)
{
    LogCapture capture;
    WexLogger logger("TestThreads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&logger, t] {
            for (int i = 0; i < 100; ++i)
                logger.log(WexLogInfo, "thread %d line %d", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(capture.lines().size(), 400u);
}

TEST(ErrLog, EveryTagIsLoggedWithFileLineAndCode)
{
    LogCapture capture;
    WexLogger logger("TestErr");
    EXPECT_EQ(WEX_CHECKED(logger, WexErrMissingProperty), WexErrMissingProperty);
    EXPECT_EQ(WEX_ACCUMULATED(logger, WexErrBadState), WexErrBadState);
    EXPECT_EQ(WEX_CAUGHT(logger, WexErrNoMemory), WexErrNoMemory);
    EXPECT_EQ(WEX_THROWN(logger, WexErrNotRunning), WexErrNotRunning);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].text.find("wex_logger_test.cpp("), std::string::npos);
    EXPECT_NE(lines[0].text.find("missing property)  CHECKED"), std::string::npos);
    EXPECT_NE(lines[1].text.find("error 13 (Bad state)  ACCUMULATED"), std::string::npos);
    EXPECT_NE(lines[2].text.find("  CAUGHT"), std::string::npos);
    EXPECT_NE(lines[3].text.find("error -980 (merrowind wasn't running)THROWN"), std::string::npos);
}

TEST(ErrText, FrameworkCodesAreDistinctFromThePlatformOnes)
{
    EXPECT_STREQ(wexErrText(WexErrNone), "success");
    EXPECT_STREQ(wexErrText(WexErrBadState), "Bad state");
    EXPECT_STRNE(wexErrText(WexErrNoMemory), wexErrText(WexErrMissingProperty));
    EXPECT_STREQ(wexErrText(12345), "unknown error");
    for (WexErr given : {-980, 13, -4996, -999, -3975, -3976, -3977, -3978, -3988}) {
        EXPECT_NE(given, WexErrNoMemory);
        EXPECT_NE(given, WexErrMissingProperty);
    }
}

// The environment is only read at start-up, so this runs the binary again
// with MERROWIND_LOG set and lets the child check its static loggers.
TEST(LoggerEnvironment, SwitchesOneLoggerConstructedBeforeMain)
{
    if (std::getenv("MERROWIND_LOGGER_CHILD") != nullptr) {
        EXPECT_EQ(s_early.level(), WexLogTrace);
        EXPECT_EQ(s_earlyOther.level(), WexLogInfo);
        WexLogger late("TestEarlyLogger");
        EXPECT_EQ(late.level(), WexLogTrace);
        return;
    }
    gchar* self = g_file_read_link("/proc/self/exe", nullptr);
    ASSERT_NE(self, nullptr);
    std::string filter = "--gtest_filter=LoggerEnvironment.SwitchesOneLoggerConstructedBeforeMain";
    gchar* argv[] = {self, filter.data(), nullptr};
    gchar** envp = g_get_environ();
    envp = g_environ_setenv(envp, "MERROWIND_LOG", "TestEarlyLogger=0,*=2", TRUE);
    envp = g_environ_setenv(envp, "MERROWIND_LOGGER_CHILD", "1", TRUE);
    gint status = 0;
    GError* error = nullptr;
    gboolean spawned = g_spawn_sync(nullptr, argv, envp, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                                    nullptr, &status, &error);
    g_strfreev(envp);
    g_free(self);
    ASSERT_TRUE(spawned) << (error ? error->message : "");
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "child failed";
}

} // namespace
