// The contact reader against database replies the desktop database never
// gives (empty pages that name a next one), from a scripted database in this
// process.
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvContactV2Sem.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/steps/scripted_db.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

} // namespace
