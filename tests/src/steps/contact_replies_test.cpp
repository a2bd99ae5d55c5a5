// The contact reader and the update decision against database replies the
// desktop database never gives (empty pages that name a next one, counts
// that are no counts), from a scripted database in this process.
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvContactV2Sem.h"
#include "src/QrvContactsQuerySizeGetter.h"
#include "src/QrvSettings.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/service_end_double.h"
#include "tests/src/steps/scripted_db.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// A valid person whose only number is `number`.
std::string person(const char* given, const char* number)
{
    return std::string(R"({"_rev": 1, "name": {"givenName": ")") + given +
           R"(", "familyName": "Lee"}, "phoneNumbers": [{"value": ")" + number + R"(", "type": "type_mobile"}]})";
}

class ContactReplies : public ::testing::Test {
protected:
    void SetUp() override
    {
        WexLogger::configure("*=0");
        ASSERT_EQ(m_app.open(), WexErrNone);
    }
    void TearDown() override { m_app.close(); }

    TempRoot m_root;
    ScriptedDb m_db;
    QrVoiceCmdServiceApp m_app;
    LogCapture log;
};

TEST_F(ContactReplies, AnEmptyPageThatNamesANextOneDoesNotEndTheWalk)
{
    m_db.answer(R"({"results": [)" + person("Ann", "1") + R"(], "next": "azE="})");
    m_db.answer(R"({"results": [], "next": "azI="})");
    m_db.answer(R"({"results": [)" + person("Bob", "2") + "]}");
    std::vector<std::string> found;
    runOnVr([&] {
        for (auto it = QrvContactV2Sem::getFirst(false); it != nullptr; it = QrvContactV2Sem::getNext(it, false))
            if (auto p = QrvContactV2Sem::getCurrent(it)) {
                WexObject name;
                std::string given;
                p->get("name", name);
                name.get("givenName", given);
                found.push_back(given);
            }
    });
    EXPECT_EQ(found, (std::vector<std::string>{"Ann", "Bob"}));
    EXPECT_EQ(m_db.finds().size(), 3u);
}

// The update decision's owner, as the request handler has it.
class Counts : public QrvContactsQuerySizeGetter {
public:
    explicit Counts(WexService* service) : QrvContactsQuerySizeGetter(service) { start(); }
    void getterDone(long long previous, long long newCount) override { done.emplace_back(previous, newCount); }
    std::vector<std::pair<long long, long long>> done;
};

TEST_F(ContactReplies, CountsThatAreNoCountsEndTheDecisionWithoutGoingOn)
{
    struct Case {
        std::vector<const char*> replies;
        size_t finds;  // how many counts are asked for
    };
    const Case cases[] = {
        {{R"({"count": -1})"}, 1},
        {{R"({"count": -9223372036854775808})"}, 1},
        {{R"({"count": "4"})"}, 1},
        {{R"({"count": 2.5})"}, 1},
        {{R"({})"}, 1},
        {{R"({"count": 3})", R"({"count": -2})"}, 2},
        {{R"({"count": 3})", R"({"count": 18446744073709551615})"}, 2},
    };
    QrvSettings::setBackgroundProcessingFlag(false);
    ServiceEndDouble end;
    size_t asked = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replies.back());
        for (const char* reply : c.replies)
            m_db.answer(reply);
        const size_t checked = log.count("CHECKED");
        Counts counts(QrVoiceCmdServiceApp::getSornaService());
        ASSERT_TRUE(runUntil([&] { return log.count("CHECKED") > checked || m_db.finds().size() > asked + c.finds; }));
        m_db.settle(*QrVoiceCmdServiceApp::getSornaService());
        EXPECT_EQ(m_db.finds().size(), asked + c.finds);
        EXPECT_TRUE(counts.done.empty());
        asked = m_db.finds().size();
    }
    EXPECT_EQ(end.total(), 0);
    QrvSettings::setBackgroundProcessingFlag(true);
}

} // namespace
