// A running session whose user interface is merrowind-sim's phone
// application: the request handler of this process owns
// "com.orvel.merrowind" on the private bus, a client has started a session,
// and the sim has subscribed with "registerUI" (its registration's
// "initializing" state already printed). The handler's outside steps and
// the ending of the service are doubles. SIM_PATH names the sim.
#pragma once

#include "oem/dvk_oem_ui.h"
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvWorkQueues.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/src/handler/handler_doubles.h"
#include "tests/src/service_end_double.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

// The phone peer's line for one display request.
inline std::string displayed(const std::string& reply)
{
    return R"({"error":0,"method":"registerUI","reply":)" + reply + "}";
}

class PhonePeerTest : public ::testing::Test {
protected:
    using Handler = QrVoiceCmdServiceHandler;

    // Answers the start request so that a session runs.
    class Client : public WexSignalHandler {
    public:
        WexErr Result(WexObject&, WexErr)
        {
            ++replies;
            return WexErrNone;
        }
        int replies = 0;
        WexReplySlot slot{this, &Client::Result};
    };

    void SetUp() override
    {
        QrvWorkQueuesInit();
        DvkOemUI::resetStateForTesting();
        ASSERT_EQ(service.open("com.orvel.merrowind"), WexErrNone);
        handler = Handler::newService(service);
        ASSERT_TRUE(handler);
        ASSERT_EQ(handler->Init(), WexErrNone);
        ASSERT_EQ(service.setDefaultCategory(handler), WexErrNone);
        ASSERT_EQ(client.open("com.orvel.test.client"), WexErrNone);

        WexRefCountedPtr<WexServiceRequest> request;
        ASSERT_EQ(WexServiceRequest::create(&client, request), WexErrNone);
        WexObject params = WexObject::object();
        params.put("source", "test");
        ASSERT_EQ(request->send(starter->slot, "com.orvel.merrowind", "startVoiceCommand", params, 1), WexErrNone);
        ASSERT_TRUE(runUntil([&] { return starter->replies == 1; }));
        ASSERT_EQ(handler->state(), Handler::STATE_RUNNING);

        sim.send("register");
        ASSERT_TRUE(runUntil([&] { return handler->uiSubscription() != nullptr; }));
        // The registration's own reply, then the state a registration shows.
        ASSERT_EQ(sim.waitLine(R"("state":"initializing")"), 1);
    }

    void TearDown() override
    {
        Handler::shutdown();
        handler.reset();
        client.close();
        service.close();
    }

    // Runs `show` and returns the next line the phone peer prints.
    std::string next(const std::function<void()>& show)
    {
        const size_t before = sim.lines.size();
        show();
        if (!sim.waitLines(before + 1))
            return "(nothing)";
        return sim.lines[before];
    }

    ServiceEndDouble end;
    BringupStartDouble bringup;
    InitCheckDouble initCheck;
    WexSornaService service{true, nullptr};
    WexSornaService client{true, nullptr};
    WexRefCountedPtr<Handler> handler;
    WexRefCountedPtr<Client> starter = wexMakeRefCounted<Client>();
    SimProcess sim;
};
