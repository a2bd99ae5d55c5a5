// The phone-application peer of merrowind-sim, run as its own process
// against a stand-in voice-command service in this test.
#include "platform/bus/wex_sorna_service.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// What the phone application talks to: keeps "registerUI", notes "UIevent".
class FakeVoiceService : public WexService::CategoryHandler {
public:
    WexErr registerUI(WexServiceMessage* message)
    {
        ui = WexRefCountedPtr<WexServiceMessage>(message);
        registrations.push_back(ui);
        message->notifyCancel(watcher->slot);
        return message->reply();
    }
    WexErr UIevent(WexServiceMessage* message)
    {
        int32_t event = -1;
        int32_t index = -1;
        if (WexErr err = message->payload().get("event", event))
            return err;
        if (WexErr err = message->payload().get("index", index))
            return err;
        events.push_back(std::to_string(event) + "/" + std::to_string(index));
        return message->reply();
    }

    WexRefCountedPtr<WexServiceMessage> ui;
    std::vector<WexRefCountedPtr<WexServiceMessage>> registrations;
    std::vector<std::string> events;
    WexRefCountedPtr<CancelWatcher> watcher = wexMakeRefCounted<CancelWatcher>();
};

const WexService::CategoryHandler::Method kMethods[] = {
    WexService::CategoryHandler::method("registerUI", &FakeVoiceService::registerUI),
    WexService::CategoryHandler::method("UIevent", &FakeVoiceService::UIevent),
    {},
};

// merrowind-sim with its standard input and output as pipes.
class Sim {
public:
    explicit Sim(const std::vector<const char*>& args = {})
    {
        std::vector<const char*> argv{SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(nullptr);
        m_process = g_subprocess_newv(
            argv.data(), static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE),
            nullptr);
        m_out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(m_process));
        readNext();
    }
    ~Sim()
    {
        if (!m_eof)
            g_subprocess_force_exit(m_process);
        runUntil([this] { return m_eof; });
        g_subprocess_wait(m_process, nullptr, nullptr);
        g_object_unref(m_out);
        g_object_unref(m_process);
    }

    void send(const std::string& line)
    {
        std::string text = line + "\n";
        g_output_stream_write_all(g_subprocess_get_stdin_pipe(m_process), text.data(), text.size(), nullptr, nullptr,
                                  nullptr);
    }
    bool waitLines(size_t n) { return runUntil([&] { return lines.size() >= n; }); }
    bool waitExit() { return runUntil([&] { return m_eof; }); }
    int status()
    {
        g_subprocess_wait(m_process, nullptr, nullptr);
        return g_subprocess_get_exit_status(m_process);
    }

    std::vector<std::string> lines;

private:
    void readNext()
    {
        g_data_input_stream_read_line_async(
            m_out, G_PRIORITY_DEFAULT, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* self = static_cast<Sim*>(data);
                gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, nullptr);
                if (line == nullptr) {
                    self->m_eof = true;
                    return;
                }
                self->lines.push_back(line);
                g_free(line);
                self->readNext();
            },
            this);
    }

    GSubprocess* m_process = nullptr;
    GDataInputStream* m_out = nullptr;
    bool m_eof = false;
};

class SimPhoneApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_service.open("com.orvel.merrowind"), WexErrNone);
        ASSERT_EQ(m_handler->addMethods(kMethods, false), WexErrNone);
        ASSERT_EQ(m_service.setDefaultCategory(m_handler), WexErrNone);
    }
    void TearDown() override
    {
        m_handler->ui.reset();
        m_handler->registrations.clear();
        m_service.close();
    }

    WexSornaService m_service{true, nullptr};
    WexRefCountedPtr<FakeVoiceService> m_handler = wexMakeRefCounted<FakeVoiceService>();
};

TEST_F(SimPhoneApp, RegistersLogsDisplayRequestsSendsEventsAndCancels)
{
    Sim sim;
    sim.send("register");
    ASSERT_TRUE(runUntil([&] { return bool(m_handler->ui); }));
    WexObject request = WexObject::object();
    request.put(WexServiceMessage::ReturnValueKey, true);
    request.put("command", "state");
    ASSERT_EQ(m_handler->ui->reply(request), WexErrNone);
    ASSERT_TRUE(sim.waitLines(2));
    EXPECT_EQ(sim.lines[0], R"({"error":0,"method":"registerUI","reply":{"returnValue":true}})");
    EXPECT_EQ(sim.lines[1], R"({"error":0,"method":"registerUI","reply":{"command":"state","returnValue":true}})");

    sim.send("event 2 0   # exit");
    ASSERT_TRUE(sim.waitLines(3));
    EXPECT_EQ(m_handler->events, std::vector<std::string>{"2/0"});
    EXPECT_EQ(sim.lines[2], R"({"error":0,"method":"UIevent","reply":{"returnValue":true}})");

    sim.send("cancel");
    ASSERT_TRUE(runUntil([&] { return m_handler->watcher->cancels == 1; }));
    sim.send("quit");
    ASSERT_TRUE(sim.waitExit());
    EXPECT_EQ(sim.status(), 0);
}

TEST_F(SimPhoneApp, SecondRegisterReachesTheServiceBeforeTheOldSubscriptionIsCancelled)
{
    Sim sim;
    sim.send("register");
    ASSERT_TRUE(sim.waitLines(1));  // a reply still on its way is not printed once cancelled
    sim.send("register");
    ASSERT_TRUE(runUntil([&] { return m_handler->registrations.size() == 2; }));
    // The new call came first: when it was dispatched the old one still stood.
    ASSERT_TRUE(runUntil([&] { return m_handler->registrations[0]->isCancelled(); }));
    EXPECT_FALSE(m_handler->registrations[1]->isCancelled());

    WexObject request = WexObject::object();
    request.put("command", "displayListen");
    ASSERT_EQ(m_handler->registrations[1]->reply(request), WexErrNone);
    ASSERT_TRUE(sim.waitLines(3)) << testing::PrintToString(sim.lines);
    EXPECT_NE(sim.lines[2].find("displayListen"), std::string::npos) << sim.lines[2];
}

TEST_F(SimPhoneApp, ErrorRepliesAreLoggedWithTheirCode)
{
    Sim sim;
    sim.send("event x 0");  // refused by the peer: nothing sent
    sim.send("event 5");
    sim.send("event 7 1");
    ASSERT_TRUE(sim.waitLines(1));
    EXPECT_EQ(m_handler->events, std::vector<std::string>{"7/1"});
    m_service.close();  // the service leaves: the next call fails on the bus
    sim.send("event 1 1");
    ASSERT_TRUE(sim.waitLines(2));
    EXPECT_NE(sim.lines[1].find(R"("error":-5005)"), std::string::npos) << sim.lines[1];
}

TEST_F(SimPhoneApp, RunsAScriptFileWithPauses)
{
    char path[] = "/tmp/mwsim.XXXXXX";
    int fd = g_mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string script = "register\nwait 100\nevent 4 2\nwait 1000\nquit\n";
    ASSERT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
    close(fd);
    Sim sim({"--script", path});
    ASSERT_TRUE(sim.waitExit());
    EXPECT_EQ(sim.status(), 0);
    EXPECT_EQ(m_handler->events, std::vector<std::string>{"4/2"});
    ASSERT_EQ(sim.lines.size(), 2u);
    EXPECT_NE(sim.lines[0].find("registerUI"), std::string::npos);
    EXPECT_NE(sim.lines[1].find("UIevent"), std::string::npos);
    unlink(path);
}

// A quit the script reaches before the main loop runs still ends the process.
TEST(SimHost, QuitAtTheStartOfAScriptExits)
{
    for (const char* script : {"quit", "quit\n", "# first\n\nquit\nwait 100000\n"}) {
        SCOPED_TRACE(script);
        char path[] = "/tmp/mwsim.XXXXXX";
        int fd = g_mkstemp(path);
        ASSERT_GE(fd, 0);
        const size_t size = std::strlen(script);
        ASSERT_EQ(write(fd, script, size), static_cast<ssize_t>(size));
        close(fd);
        Sim sim({"--script", path});
        EXPECT_TRUE(sim.waitExit());
        EXPECT_EQ(sim.status(), 0);
        unlink(path);
    }
}

} // namespace
