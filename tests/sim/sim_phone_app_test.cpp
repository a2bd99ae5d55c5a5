// The phone-application peer of merrowind-sim, run as its own process
// against a stand-in voice-command service in this test.
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "sim/sim_host.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
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

using Sim = SimProcess;

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

// The replies of one request.
class Answers : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr err)
    {
        bool ok = false;
        reply.get("returnValue", ok);
        results.push_back(err == WexErrNone && ok);
        return WexErrNone;
    }
    std::vector<bool> results;
    WexReplySlot slot{this, &Answers::Result};
};

TEST_F(SimPhoneApp, DatabaseAndApplicationManagerAnswerOnTheOneConnection)
{
    Sim sim;
    auto answers = wexMakeRefCounted<Answers>();
    const std::pair<const char*, const char*> calls[] = {
        {"com.orvel.db/find", R"({"query":{"from":"com.orvel.person:1","limit":1}})"},
        {"com.orvel.applicationManager/launch",
         R"({"id":"com.orvel.app.phone","params":{"action":"voicecommand","reason":"session start"}})"},
    };
    std::vector<WexRefCountedPtr<WexServiceRequest>> requests;
    for (const auto& [target, payload] : calls) {
        const std::string name(target);
        const size_t slash = name.find('/');
        WexObject params;
        ASSERT_EQ(WexObject::parse(payload, params), WexErrNone);
        WexRefCountedPtr<WexServiceRequest> request;
        ASSERT_EQ(m_service.createRequest(request), WexErrNone);
        ASSERT_TRUE(waitForName(m_service.getService()->connection, name.substr(0, slash).c_str()));
        ASSERT_EQ(request->send(answers->slot, name.substr(0, slash).c_str(), name.substr(slash + 1).c_str(), params,
                                1),
                  WexErrNone);
        requests.push_back(request);
        ASSERT_TRUE(runUntil([&] { return answers->results.size() == requests.size(); }));
    }
    EXPECT_EQ(answers->results, (std::vector<bool>{true, true}));
    // The launch is printed, and a voice-command launch registers the UI.
    ASSERT_GE(sim.waitLine(R"("method":"launch")"), 0);
    EXPECT_NE(std::find(sim.lines.begin(), sim.lines.end(),
                        R"({"method":"launch","params":{"id":"com.orvel.app.phone","params":)"
                        R"({"action":"voicecommand","reason":"session start"}}})"),
              sim.lines.end());
    ASSERT_TRUE(runUntil([&] { return bool(m_handler->ui); }));
}

// Two peers that answer one method cannot share the connection.
class MethodPeer : public ::SimPeer {
public:
    MethodPeer(const char* name, std::vector<std::string> methods) : m_name(name), m_methods(std::move(methods)) {}
    const char* busName() const override { return m_name; }
    WexErr start(WexService&) override { return WexErrNone; }
    WexErr command(const std::vector<std::string>&) override { return WexErrNotFound; }
    void stop() override {}
    std::vector<std::string> methods() const override { return m_methods; }

private:
    const char* m_name;
    std::vector<std::string> m_methods;
};

TEST(SimHost, RefusesTwoPeersListingOneMethod)
{
    SimHost host;
    host.addPeer(std::make_unique<MethodPeer>("com.orvel.test.one", std::vector<std::string>{"find", "get"}));
    host.addPeer(std::make_unique<MethodPeer>("com.orvel.test.two", std::vector<std::string>{"launch", "find"}));
    EXPECT_EQ(host.start(), WexErrInvalidArg);
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
