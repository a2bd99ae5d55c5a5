#include "platform/core/wex_object.h"
#include "src/QrvLog.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(QrvLog, EveryLoggerExistsUnderItsName)
{
    const struct {
        const WexLogger* logger;
        const char* name;
    } sets[] = {
        {&QrvLog::multiThread::qrvLog(), "QrvLogMT"},
        {&QrvLog::multiThread::qrvLogFile(), "QrvLogMTFile"},
        {&QrvLog::multiThread::qrvLogRecorder(), "QrvLogMTRecorder"},
        {&QrvLog::multiThread::qrvLogPlayer(), "QrvLogMTPlayer"},
        {&QrvLog::UIthread::qrvLog, "QrvLogUI"},
        {&QrvLog::UIthread::qrvLogContacts, "QrvLogUIContacts"},
        {&QrvLog::UIthread::qrvLogRecord, "QrvLogUIRecord"},
        {&QrvLog::VRthread::qrvLog, "QrvLogVR"},
        {&QrvLog::VRthread::qrvLogContacts, "QrvLogVRContacts"},
        {&QrvLog::VRthread::qrvLogPlayer, "QrvLogVRPlayer"},
        {&QrvLog::VRthread::qrvLogRecord, "QrvLogVRRecord"},
    };
    for (const auto& set : sets) {
        EXPECT_STREQ(set.logger->name(), set.name);
        EXPECT_EQ(WexLogger::find(set.name), set.logger) << set.name;
    }
}

TEST(QrvLog, LevelsComeFromTheEnvironment)
{
    WexLogger::configure("QrvLogVRPlayer=0,*=4");
    EXPECT_TRUE(QrvLog::VRthread::qrvLogPlayer.isTrace());
    EXPECT_FALSE(QrvLog::UIthread::qrvLog.isEnabled(WexLogNotice));
    WexLogger::configure("");
}

TEST(QrvLog, PrintObjectWithAndWithoutLabel)
{
    WexObject object = WexObject::object();
    object.put("source", "x");
    LogCapture capture;
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogInfo, "startVoiceCommand", "message received", object);
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogInfo, "caller", object);
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0].text, "startVoiceCommand: message received: {\"source\":\"x\"}");
    EXPECT_EQ(capture.lines()[1].text, "caller: {\"source\":\"x\"}");
}

TEST(QrvLog, PrintObjectKeepsOnlyTheHeadOfALongPayload)
{
    WexObject object = WexObject::object();
    object.put("source", std::string(1 << 20, 'a'));
    const std::string whole = "{\"source\":\"" + std::string(1 << 20, 'a') + "\"}";
    WexObject straddling = WexObject::object();
    std::string text(505, 'a');
    for (int i = 0; i < 10; ++i)
        text += "\u00e9";
    straddling.put("s", text);  // byte 512 is the second byte of an "é"
    LogCapture capture;
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogInfo, "startVoiceCommand", "message received", object);
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogInfo, "caller", object);
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogInfo, "caller", straddling);
    ASSERT_EQ(capture.lines().size(), 3u);
    const std::string tail = "\u2026 (" + std::to_string(whole.size()) + " bytes)";
    EXPECT_EQ(capture.lines()[0].text,
              "startVoiceCommand: message received: " + whole.substr(0, 512) + tail);
    EXPECT_EQ(capture.lines()[1].text, "caller: " + whole.substr(0, 512) + tail);
    EXPECT_LT(capture.lines()[0].text.size(), 1024u);
    // {"s":" is 6 bytes, then 505 a's: the cut falls back before the "é".
    EXPECT_EQ(capture.lines()[2].text, "caller: {\"s\":\"" + std::string(505, 'a') + "\u2026 (" +
                                           std::to_string(6 + 505 + 20 + 2) + " bytes)");
}

TEST(QrvLog, PrintObjectThatIsNotJsonLogsTheFailure)
{
    WexObject object = WexObject::object();
    object.put("name", std::string_view("bad \xff byte"));
    LogCapture capture;
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogWarning, "caller", "label", object);
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogWarning, "caller", object);
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0].text, "caller: label: printObject failed");
    EXPECT_EQ(capture.lines()[1].text, "caller: printObject failed");
    EXPECT_EQ(capture.lines()[0].level, WexLogWarning);
}

TEST(QrvLog, PrintObjectBelowTheLoggersLevelPrintsNothing)
{
    LogCapture capture;
    QrvLog::printObject(QrvLog::UIthread::qrvLog, WexLogDebug, "caller", "label", WexObject::object());
    EXPECT_EQ(capture.lines().size(), 0u);
}

} // namespace
