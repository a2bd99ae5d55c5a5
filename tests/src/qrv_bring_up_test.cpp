// The bring-up's decisions on a handler of its own, without a bus: the
// outside steps and the ending of the service are doubles.
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvBringUp.h"
#include "src/QrvSettings.h"
#include "src/QrvWorkQueues.h"
#include "tests/src/loop_util.h"
#include "tests/src/service_end_double.h"
#include "tests/src/session/session_doubles.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

namespace {

class BringUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        WexLogger::configure("*=1");
        QrvWorkQueuesInit();
        handler = QrVoiceCmdServiceHandler::newService(service);
        ASSERT_TRUE(handler);
    }
    void TearDown() override
    {
        QrVoiceCmdServiceHandler::shutdown();
        handler.reset();
    }

    ServiceEndDouble end;
    SessionDoubles doubles;
    LogCapture log;
    WexSornaService service{true, nullptr};
    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler;
};

TEST_F(BringUp, ASecondLaunchWithoutRegistrationIsLoggedAndIgnored)
{
    QrvBringUp::startUI(*handler, QrvUiStep::REASON_SESSION_START);
    QrvBringUp::startUI(*handler, QrvUiStep::REASON_SESSION_START);
    EXPECT_EQ(doubles.events.count("ui launch 2"), 1);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError,
                             "Internal download state inconsistency.  Ignoring startVoiceCommand primitive. 1 0"));
}

TEST_F(BringUp, LanguageAfterAudioIsAnEventSequenceErrorButGoesOn)
{
    QrvBringUp::notifyAudiodSubscrReceived();
    QrvBringUp::loadLanguage(*handler);
    EXPECT_TRUE(handler->languageReady());
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "event sequence error related to audiod and language packs"));
    EXPECT_EQ(doubles.events.count("board type"), 1);
}

TEST_F(BringUp, TheSuiteIsAskedForOnceAndARefusalThrows)
{
    doubles.suite.createResult = 1;
    doubles.suite.answers.clear();
    EXPECT_THROW(QrvBringUp::startVRThread(*handler), std::runtime_error);
    EXPECT_NO_THROW(QrvBringUp::startVRThread(*handler));
    EXPECT_EQ(doubles.events.count("suite create"), 1);
}

TEST_F(BringUp, InitCheckCatchesTheSuitesRefusal)
{
    doubles.suite.createResult = 1;
    doubles.suite.answers.clear();
    EXPECT_EQ(QrvBringUp::initCheck(*handler), WexErrNone);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "failure starting Dravik"));
    EXPECT_EQ(end.closings, 1);
}

TEST_F(BringUp, BackgroundEndsOnceTheSuiteHasStartedAndNeverStartsRecognition)
{
    ASSERT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(QrvBringUp::initCheck(*handler), WexErrNone);
    EXPECT_EQ(doubles.events.count("suite create"), 1);
    EXPECT_EQ(end.closings, 0);
    ASSERT_TRUE(iterateUntil([&] { return end.closings == 1; }));
    EXPECT_TRUE(handler->suiteReady());
    EXPECT_EQ(doubles.events.count("suite start recognition"), 0);
}

TEST_F(BringUp, ACreationReportAfterTheShutDownIsIgnored)
{
    QrVoiceCmdServiceHandler* context = handler.get();
    QrVoiceCmdServiceHandler::shutdown();
    handler.reset();
    QrvBringUp::app_create_notify(QrvBringUp::DVK_APP_INVALID_LANGUAGE, context);
    QrvBringUp::app_create_notify(QrvBringUp::DVK_APP_SUCCESS, context);
    EXPECT_EQ(end.total(), 0);
    EXPECT_EQ(doubles.events.count("suite create"), 0);
}

TEST_F(BringUp, EveryErrorCodeStartsTheClosingSequenceAndTheOthersNothing)
{
    struct Case {
        int32_t code;
        int closings;
    } cases[] = {{-1, 0}, {6, 0}, {99, 0}, {-7, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {7, 6}, {8, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        QrvBringUp::app_create_notify(static_cast<dvk_app_CompletionCode>(c.code), handler.get());
        EXPECT_EQ(end.closings, c.closings);
    }
    EXPECT_FALSE(handler->suiteReady());
    for (const char* text : {"ERROR: Aborted", "ERROR: timed out", "ERROR: invalid language", "ERROR: No memory",
                             "ERROR: Cancelled", "ERROR: already created", "User request to exit"})
        EXPECT_TRUE(log.contains("QrvLogUI", WexLogDebug, text)) << text;
    EXPECT_EQ(log.count("INCOMPLETE.  Continuing..."), 2u);
}

} // namespace
