// The merrowind program answering bus calls made with scripts/buscall, on a
// private bus, in the test's platform root. Without a suite a session never
// gets past the bring-up, which is enough for the request handler's answers.
#include "platform/bus/wex_bus_wire.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_root.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/file_util.h"

#include <gtest/gtest.h>

#include <gio/gio.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// How long to wait for what must come; a loaded machine may take a while.
constexpr int kPatienceMs = 20000;

constexpr const char* kName = "com.orvel.merrowind";

WexObject parse(const std::string& text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

int64_t errorCode(const WexObject& reply)
{
    int64_t code = 0;
    reply.get("errorCode", code);
    return code;
}

std::string errorText(const WexObject& reply)
{
    std::string text;
    reply.get("errorText", text);
    return text;
}

// scripts/buscall with the built tool, its output collected.
class Buscall {
public:
    explicit Buscall(const std::vector<std::string>& args) : m_process(command(args)) {}
    // Lets buscall cancel its call and leave, as a departing UI does.
    ~Buscall()
    {
        m_process.terminate();
        m_process.finish(kPatienceMs);
    }

    bool finish() { return m_process.finish(kPatienceMs); }
    void interrupt() { m_process.terminate(); }
    std::vector<WexObject> replies() const
    {
        std::vector<WexObject> out;
        for (const std::string& line : m_process.lines())
            if (!line.empty())
                out.push_back(parse(line));
        return out;
    }
    // The only reply of a finished call.
    WexObject reply()
    {
        EXPECT_TRUE(finish());
        std::vector<WexObject> all = replies();
        EXPECT_EQ(all.size(), 1u) << m_process.out();
        return all.empty() ? WexObject() : all[0];
    }
    size_t count() const { return replies().size(); }

private:
    static std::vector<std::string> command(const std::vector<std::string>& args)
    {
        const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
        std::vector<std::string> argv{"env", std::string("MERROWIND_BUSCALL=") + BUSCALL_PATH, "bash",
                                      std::string(source != nullptr ? source : ".") + "/scripts/buscall"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    BusProcess m_process;
};

class Merrowind : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_mkdir_with_parents(wexRootPath("/var/sorna/preferences").c_str(), 0700), 0);
        ASSERT_TRUE(g_file_set_contents(wexRootPath("/var/sorna/preferences/ran-first-use").c_str(), "", 0, nullptr));
        m_log = wexRootPath("/merrowind.log");
        GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_SILENCE);
        g_subprocess_launcher_setenv(launcher, "MERROWIND_LOG", "*=2", TRUE);
        g_subprocess_launcher_set_stderr_file_path(launcher, m_log.c_str());
        GError* error = nullptr;
        m_service = g_subprocess_launcher_spawn(launcher, &error, MERROWIND_PATH, nullptr);
        g_object_unref(launcher);
        ASSERT_NE(m_service, nullptr) << error->message;
        ASSERT_TRUE(runUntil([&] { return log().find("merrowind started.") != std::string::npos; }, kPatienceMs)) << log();
    }

    void TearDown() override
    {
        if (m_service == nullptr)
            return;
        if (g_subprocess_get_identifier(m_service) != nullptr) {
            g_subprocess_send_signal(m_service, SIGKILL);
            exited();
        }
        g_object_unref(m_service);
    }

    std::string log() const { return readFile(m_log); }
    bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }

    // Waits for the service to end (5 s at most); true when it ended by itself with status 0.
    bool exited()
    {
        if (!runUntil([&] { return g_subprocess_get_identifier(m_service) == nullptr; }, kPatienceMs))
            return false;
        g_subprocess_wait(m_service, nullptr, nullptr);
        return g_subprocess_get_if_exited(m_service) && g_subprocess_get_exit_status(m_service) == 0;
    }
    bool running() { return !runUntil([&] { return g_subprocess_get_identifier(m_service) == nullptr; }, 200); }

    // The service's niceness (the 19th field of its /proc stat line).
    int niceness() const
    {
        const char* pid = g_subprocess_get_identifier(m_service);
        const std::string stat = pid != nullptr ? readFile(std::string("/proc/") + pid + "/stat") : "";
        const size_t afterName = stat.rfind(')');
        if (afterName == std::string::npos)
            return 1000;
        gchar** fields = g_strsplit(stat.c_str() + afterName + 2, " ", 0);
        const int value = g_strv_length(fields) > 16 ? std::atoi(fields[16]) : 1000;
        g_strfreev(fields);
        return value;
    }
    // A foreground session lowers the niceness by 2, or says it could not.
    bool raisedPriority(int before) const
    {
        return niceness() == before - 2 || logHas("Unable to decrease nice value");
    }

    GSubprocess* m_service = nullptr;
    std::string m_log;
};

TEST_F(Merrowind, StopOnAFreshServiceAnswersNotRunningAndExits)
{
    Buscall stop({kName, "stopVoiceCommand", "{}"});
    WexObject reply = stop.reply();
    EXPECT_EQ(errorCode(reply), -980);
    EXPECT_EQ(errorText(reply), "merrowind wasn't running");
    EXPECT_TRUE(exited()) << log();
    EXPECT_TRUE(logHas("merrowind stopped."));
}

TEST_F(Merrowind, StartWithoutSourceAnswersMissingPropertyAndStaysInTheBackground)
{
    const int before = niceness();
    Buscall start({kName, "startVoiceCommand", "{}"});
    WexObject reply = start.reply();
    EXPECT_EQ(errorCode(reply), -5002);
    EXPECT_EQ(errorText(reply), "missing property");
    EXPECT_FALSE(raisedPriority(before));
    EXPECT_EQ(niceness(), before);
    EXPECT_TRUE(running());
}

TEST_F(Merrowind, ASecondStartIsIgnoredAndPayloadsAreLogged)
{
    const int before = niceness();
    Buscall first({kName, "startVoiceCommand", R"({"source":"x"})"});
    WexObject firstReply = first.reply();
    bool ok = false;
    EXPECT_EQ(firstReply.get("returnValue", ok), WexErrNone);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(firstReply.hasKey("info"));
    EXPECT_TRUE(raisedPriority(before));

    Buscall second({kName, "startVoiceCommand", R"({"source":"x"})"});
    WexObject secondReply = second.reply();
    std::string info;
    EXPECT_EQ(secondReply.get("info", info), WexErrNone);
    EXPECT_EQ(info, "ignored: already running");
    EXPECT_TRUE(logHas(R"(QrvLogUI info: startVoiceCommand: message received: {"source":"x"})")) << log();
    EXPECT_TRUE(running());
}

TEST_F(Merrowind, EventBeforeTheSuiteIsReadyIsABadStateAndExits)
{
    Buscall start({kName, "startVoiceCommand", R"({"source":"x"})"});
    start.reply();
    Buscall event({kName, "UIevent", R"({"event":2,"index":0})"});
    WexObject reply = event.reply();
    EXPECT_EQ(errorCode(reply), 13);
    EXPECT_EQ(errorText(reply), "Bad state");
    EXPECT_TRUE(exited()) << log();
    EXPECT_TRUE(logHas("UIevent: bad state"));
}

// The replacement of one UI by another is shown in-process (HandlerOnBus):
// here, with the suite installed but no suite data in the root, the first UI
// starts the suite, whose creation fails, and the service ends by itself.
TEST_F(Merrowind, WithoutSuiteDataTheFirstUiEndsTheSessionCleanly)
{
    Buscall start({kName, "startVoiceCommand", R"({"source":"x"})"});
    start.reply();
    Buscall ui({"-n", "0", kName, "registerUI", "{}"});
    EXPECT_TRUE(exited()) << log();
    EXPECT_TRUE(logHas("dvk_config_createConfigManager: cannot open dvk_config_gen.bin")) << log();
    EXPECT_TRUE(logHas("merrowind stopped.")) << log();
    EXPECT_TRUE(ui.finish());
}

// Sends a raw Call (any text as payload) straight over D-Bus; the reply text.
std::string rawCall(GDBusConnection* bus, const char* method, const std::string& payload)
{
    GError* error = nullptr;
    GVariant* value = g_dbus_connection_call_sync(bus, kName, WexBusWire::ObjectPath, WexBusWire::Interface,
                                                  WexBusWire::CallMethod, g_variant_new("(ss)", method, payload.c_str()),
                                                  G_VARIANT_TYPE("(sb)"), G_DBUS_CALL_FLAGS_NONE, kPatienceMs, nullptr, &error);
    if (value == nullptr) {
        std::string why = error->message;
        g_error_free(error);
        return "bus error: " + why;
    }
    const gchar* text = nullptr;
    gboolean last = FALSE;
    g_variant_get(value, "(&sb)", &text, &last);
    std::string reply = text;
    g_variant_unref(value);
    return reply;
}

TEST_F(Merrowind, MalformedPayloadsGetErrorRepliesAndTheServiceKeepsAnswering)
{
    GDBusConnection* bus = connectToBus();
    // Just over the limit: the service's watchdog ends it 15 s after its start
    // without a session, and a far larger payload crawls through a loaded bus.
    const std::string huge = R"({"source":")" + std::string(WexBusWire::MaxPayloadSize, 'y') + R"("})";
    const std::vector<std::string> payloads{"not json", "[]", "{\"source\":", std::string(100000, '{'), huge,
                                            R"({"source":"\ud800"})"};
    for (const char* method : {"startVoiceCommand", "UIevent", "registerUI"}) {
        for (const std::string& payload : payloads) {
            SCOPED_TRACE(std::string(method) + " " + payload.substr(0, 20));
            WexObject reply = parse(rawCall(bus, method, payload));
            bool ok = true;
            EXPECT_EQ(reply.get("returnValue", ok), WexErrNone);
            EXPECT_FALSE(ok);
        }
    }
    // Wrong types reach the handler and are refused there.
    WexObject wrongType = parse(rawCall(bus, "startVoiceCommand", R"({"source":["x"]})"));
    EXPECT_EQ(errorCode(wrongType), -5002);
    g_object_unref(bus);

    EXPECT_TRUE(running());
    Buscall start({kName, "startVoiceCommand", R"({"source":"x"})"});
    const WexObject reply = start.reply();
    bool ok = false;
    EXPECT_EQ(reply.get("returnValue", ok), WexErrNone);
    EXPECT_TRUE(ok) << errorCode(reply) << " " << errorText(reply) << "\n" << log();
}

} // namespace
