// The buscall command line: arguments, limits and exit status, and the
// scripts/buscall wrapper, against a service in this test process.
#include "platform/bus/wex_sorna_service.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

class Ticker : public WexService::CategoryHandler {
public:
    // Answers once, then keeps the message for replies the test sends.
    WexErr subscribe(WexServiceMessage* message)
    {
        kept = WexRefCountedPtr<WexServiceMessage>(message);
        return message->reply();
    }
    WexErr echo(WexServiceMessage* message) { return message->reply(message->payload()); }
    WexRefCountedPtr<WexServiceMessage> kept;
};

const WexService::CategoryHandler::Method kMethods[] = {
    WexService::CategoryHandler::method("subscribe", &Ticker::subscribe),
    WexService::CategoryHandler::method("echo", &Ticker::echo),
    {},
};

struct Result {
    int status = -1;
    std::string out;
};

// Runs a command to its end while the loop keeps serving the bus.
Result run(const std::vector<std::string>& args)
{
    BusProcess process(args);
    EXPECT_TRUE(process.finish());
    return Result{process.status(), process.out()};
}

class Buscall : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_service.open("com.orvel.test"), WexErrNone);
        ASSERT_EQ(m_ticker->addMethods(kMethods, false), WexErrNone);
        ASSERT_EQ(m_service.setDefaultCategory(m_ticker), WexErrNone);
    }
    void TearDown() override
    {
        m_ticker->kept.reset();
        m_service.close();
    }

    WexSornaService m_service{true, nullptr};
    WexRefCountedPtr<Ticker> m_ticker = wexMakeRefCounted<Ticker>();
};

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};

class BuscallUsage : public Buscall, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(BuscallUsage, RefusesWithStatusTwoAndCallsNothing)
{
    std::vector<std::string> args{BUSCALL_PATH};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    Result result = run(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(m_ticker->kept);
}

INSTANTIATE_TEST_SUITE_P(
    Args, BuscallUsage,
    ::testing::Values(UsageCase{"NoArgs", {}}, UsageCase{"OnlyService", {"com.orvel.test"}},
                      UsageCase{"TooMany", {"com.orvel.test", "subscribe", "{}", "x"}},
                      UsageCase{"BadCount", {"-n", "-1", "com.orvel.test", "subscribe"}},
                      UsageCase{"BadTime", {"-t", "soon", "com.orvel.test", "subscribe"}},
                      UsageCase{"UnknownOption", {"-x", "1", "com.orvel.test", "subscribe"}},
                      UsageCase{"PayloadNotJson", {"com.orvel.test", "subscribe", "{oops"}},
                      UsageCase{"PayloadNotObject", {"com.orvel.test", "subscribe", "[1]"}},
                      UsageCase{"BadServiceName", {"not a name", "subscribe"}}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

TEST_F(Buscall, TimeLimitEndsAnUnlimitedSubscription)
{
    Result result = run({BUSCALL_PATH, "-n", "0", "-t", "1", "com.orvel.test", "subscribe", "{}"});
    EXPECT_EQ(result.status, 0);
    // On a loaded machine the time may run out before the first reply is in.
    EXPECT_TRUE(result.out.empty() || result.out == "{\"returnValue\":true}\n") << result.out;
    // Either way the subscription ends on the service's side too.
    ASSERT_TRUE(runUntil([&] { return m_ticker->kept && m_ticker->kept->isCancelled(); }));
}

TEST_F(Buscall, MissingServiceIsABusFailure)
{
    Result result = run({BUSCALL_PATH, "com.orvel.nobody", "echo"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("\"errorCode\":-5005"), std::string::npos) << result.out;
}

TEST_F(Buscall, WrapperScriptRunsTheTool)
{
    std::string script = std::string(std::getenv("MERROWIND_TEST_SOURCE_DIR")) + "/scripts/buscall";
    g_setenv("MERROWIND_BUSCALL", BUSCALL_PATH, TRUE);
    Result result = run({"bash", script, "com.orvel.test", "echo", R"({"via":"script"})"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "{\"returnValue\":true,\"via\":\"script\"}\n");

    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    result = run({"bash", script, "com.orvel.test", "echo"});
    EXPECT_EQ(result.status, 2);
}

#if defined(__SANITIZE_ADDRESS__)
// A sanitizer build links no jemalloc into its programs: the two allocators
// would fight over every allocation.
TEST(SanitizerBuild, ProgramsLinkNoJemalloc)
{
    gchar* out = nullptr;
    gint status = 0;
    const gchar* argv[] = {"ldd", BUSCALL_PATH, nullptr};
    ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                             &out, nullptr, &status, nullptr));
    std::string text = out != nullptr ? out : "";
    g_free(out);
    EXPECT_NE(text.find("libglib"), std::string::npos) << text;
    EXPECT_EQ(text.find("jemalloc"), std::string::npos) << text;
}
#endif

} // namespace
