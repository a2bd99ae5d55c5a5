// A scripted "com.orvel.db" inside the test process, on the default main
// context: each "find" is recorded and answered with the next of the replies
// queued (JSON texts); with none left it stays unanswered. For replies the
// desktop database never gives.
#pragma once

#include "platform/bus/wex_service_message.h"
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "platform/db/wex_db_service_client.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

class ScriptedDb {
public:
    ScriptedDb()
    {
        static const WexService::CategoryHandler::Method methods[] = {
            WexService::CategoryHandler::method("find", &Handler::find),
            WexService::CategoryHandler::method("ping", &Handler::ping),
            {},
        };
        EXPECT_EQ(m_service.open(WexDbServiceDefs::ServiceName), WexErrNone);
        EXPECT_EQ(m_service.attach(nullptr), WexErrNone);
        EXPECT_EQ(m_handler->addMethods(methods, false), WexErrNone);
        EXPECT_EQ(m_service.setDefaultCategory(m_handler), WexErrNone);
    }
    ~ScriptedDb() { m_service.close(); }
    ScriptedDb(const ScriptedDb&) = delete;
    ScriptedDb& operator=(const ScriptedDb&) = delete;

    void answer(const std::string& reply) { m_handler->replies.push_back(reply); }

    // A round trip from `client`: every find it sent before has been received.
    void settle(WexService& client)
    {
        struct Pong : WexSignalHandler {
            WexErr result(WexObject&, WexErr)
            {
                done = true;
                return WexErrNone;
            }
            bool done = false;
            WexReplySlot slot{this, &Pong::result};
        };
        auto pong = wexMakeRefCounted<Pong>();
        WexRefCountedPtr<WexServiceRequest> request;
        ASSERT_EQ(client.createRequest(request), WexErrNone);
        ASSERT_EQ(request->send(pong->slot, WexDbServiceDefs::ServiceName, "ping", WexObject::object(), 1), WexErrNone);
        ASSERT_TRUE(runUntil([&] { return pong->done; }));
    }
    // The payloads of the finds received so far, as JSON.
    const std::vector<std::string>& finds() const { return m_handler->finds; }

private:
    class Handler : public WexService::CategoryHandler {
    public:
        WexErr find(WexServiceMessage* message)
        {
            std::string text;
            message->payload().toJson(text);
            finds.push_back(text);
            if (replies.empty())
                return WexErrNone;
            WexObject reply;
            EXPECT_EQ(WexObject::parse(replies.front(), reply), WexErrNone) << replies.front();
            replies.pop_front();
            return message->reply(reply);
        }
        WexErr ping(WexServiceMessage* message) { return message->reply(); }
        std::deque<std::string> replies;
        std::vector<std::string> finds;
    };

    WexSornaService m_service{true, nullptr};
    WexRefCountedPtr<Handler> m_handler = wexMakeRefCounted<Handler>();
};
