#include "platform/core/wex_reactor_app.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A reactor application that records its steps and can fail any of them.
class RecordingApp : public WexReactorApp<WexGmainReactor> {
public:
    RecordingApp() : WexReactorApp(1, 0, nullptr) {}
    // A run that failed never ran the shutdown idle: it must not reach the
    // next test's loop with this app gone.
    ~RecordingApp() override
    {
        if (m_idle != 0)
            g_source_remove(m_idle);
    }

    WexErr init() override
    {
        steps.push_back("init");
        return failIn == "init" ? WexErrBus : WexReactorApp::init();
    }
    WexErr open() override
    {
        steps.push_back("open");
        if (failIn == "open")
            return WexErrBus;
        if (shutdownFromIdle)
            m_idle = g_idle_add(
                [](gpointer data) {
                    auto* self = static_cast<RecordingApp*>(data);
                    self->m_idle = 0;
                    self->shutdown();
                    return G_SOURCE_REMOVE;
                },
                this);
        return WexErrNone;
    }
    WexErr run() override
    {
        steps.push_back("run");
        return failIn == "run" ? WexErrBus : WexReactorApp::run();
    }
    WexErr close() override
    {
        steps.push_back("close");
        return failIn == "close" ? WexErrBus : WexErrNone;
    }
    WexErr shutdown() override
    {
        steps.push_back("shutdown");
        return WexReactorApp::shutdown();
    }

    int runMain(std::vector<std::string> args = {})
    {
        std::vector<char*> argv{const_cast<char*>("/usr/bin/testservice")};
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        return main(static_cast<int>(argv.size() - 1), argv.data());
    }

    std::string failIn;
    bool shutdownFromIdle = true;
    std::vector<std::string> steps;

private:
    guint m_idle = 0;
};

using Steps = std::vector<std::string>;

TEST(WexReactorApp, MainReturnsSuccessAfterShutdownStopsTheLoop)
{
    LogCapture capture;
    RecordingApp app;
    EXPECT_EQ(app.runMain(), EXIT_SUCCESS);
    EXPECT_EQ(app.steps, (Steps{"init", "open", "run", "shutdown", "close"}));
    EXPECT_TRUE(app.isShutdown());
    EXPECT_FALSE(app.reactor().isRunning());
    EXPECT_STREQ(app.name(), "testservice");
    EXPECT_TRUE(capture.lines().empty());  // the framework has nothing to say on success
}

struct FailureCase {
    const char* step;
    std::vector<std::string> steps;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.step; }

class WexReactorAppFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(WexReactorAppFailure, EndsMainWithAFailureStatus)
{
    LogCapture capture;
    RecordingApp app;
    app.failIn = GetParam().step;
    EXPECT_EQ(app.runMain(), EXIT_FAILURE);
    EXPECT_EQ(app.steps, GetParam().steps);
    EXPECT_TRUE(capture.contains("WexServiceApp", WexLogError, "error -5005 (bus failure)  CHECKED"));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WexReactorAppFailure,
    ::testing::Values(FailureCase{"init", {"init"}},
                      // close still runs after a failed open, to undo what open did
                      FailureCase{"open", {"init", "open", "close"}},
                      FailureCase{"run", {"init", "open", "run", "close"}},
                      FailureCase{"close", {"init", "open", "run", "shutdown", "close"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.step); });

TEST(WexReactorApp, ShutdownBeforeInitLogsTheReactorFailureAndStillShutsDown)
{
    LogCapture capture;
    RecordingApp app;
    EXPECT_EQ(app.shutdown(), WexErrNone);
    EXPECT_TRUE(app.isShutdown());
    EXPECT_TRUE(capture.contains("not initialised)  CAUGHT"));
}

TEST(WexReactorApp, ShutdownFromAnotherThreadStopsTheLoop)
{
    RecordingApp app;
    app.shutdownFromIdle = false;
    std::thread stopper([&app] {
        while (!app.reactor().isRunning())
            std::this_thread::yield();
        app.shutdown();
    });
    EXPECT_EQ(app.runMain(), EXIT_SUCCESS);
    stopper.join();
}

TEST(WexGmainReactor, StopBeforeRunMakesRunReturnAtOnce)
{
    WexGmainReactor reactor;
    EXPECT_EQ(reactor.run(), WexErrNotInitialized);
    EXPECT_EQ(reactor.stop(), WexErrNotInitialized);
    ASSERT_EQ(reactor.init(), WexErrNone);
    EXPECT_EQ(reactor.context(), g_main_context_default());
    ASSERT_EQ(reactor.stop(), WexErrNone);
    EXPECT_EQ(reactor.run(), WexErrNone);
}

TEST(WexServiceApp, OptionsPrintAndEndMainWithoutRunning)
{
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {{{"--version"}, EXIT_SUCCESS}, {{"--help"}, EXIT_SUCCESS}, {{"--bogus"}, EXIT_FAILURE}};
    for (const auto& c : cases) {
        LogCapture capture;
        RecordingApp app;
        EXPECT_EQ(app.runMain(c.args), c.status) << c.args[0];
        EXPECT_TRUE(app.steps.empty()) << c.args[0];
    }
}

} // namespace
