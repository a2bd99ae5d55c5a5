#include "src/QrvSettings.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>

namespace {

// Each test runs in a process of its own, so every case sees the start values.

TEST(Settings, StartValues)
{
    LogCapture capture;
    EXPECT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_FALSE(QrvSettings::getDialingOutFlag());
    EXPECT_TRUE(QrvSettings::getLastOutgoingCall().name.empty());
    EXPECT_TRUE(QrvSettings::getLastOutgoingCall().addr.empty());
    EXPECT_TRUE(QrvSettings::getLastOutgoingCall().personAddressType.empty());
    EXPECT_EQ(capture.lines().size(), 0u);
}

TEST(Settings, AudioSourceTypeReadBeforeSetIsZeroAndLogged)
{
    LogCapture capture;
    EXPECT_EQ(QrvSettings::getAudioSourceType(), QrvSettings::AUDIO_SOURCE_NONE);
    EXPECT_TRUE(capture.contains("QrvLogUI", WexLogError, "Audio source checked before it was set"));

    QrvSettings::setAudioSourceType(QrvSettings::AUDIO_SOURCE_BLUETOOTH);
    EXPECT_EQ(QrvSettings::getAudioSourceType(), QrvSettings::AUDIO_SOURCE_BLUETOOTH);
    QrvSettings::setAudioSourceType(QrvSettings::AUDIO_SOURCE_NONE);
    EXPECT_EQ(QrvSettings::getAudioSourceType(), QrvSettings::AUDIO_SOURCE_NONE);
    EXPECT_EQ(capture.count("Audio source checked before it was set"), 1u);
}

TEST(Settings, BoardTypeReadBeforeSetIsEmptyAndLogged)
{
    LogCapture capture;
    EXPECT_TRUE(QrvSettings::getBoardType().empty());
    EXPECT_TRUE(capture.contains("QrvLogUI", WexLogError, "attempt to get board type before setting it"));

    char board[] = "castle";
    QrvSettings::setBoardType(board);
    board[0] = 'X';  // the setting keeps its own copy
    EXPECT_EQ(QrvSettings::getBoardType().str(), "castle");
    QrvSettings::setBoardType(nullptr);
    EXPECT_TRUE(QrvSettings::getBoardType().empty());
    EXPECT_EQ(capture.count("attempt to get board type before setting it"), 1u);
}

TEST(Settings, LastOutgoingCallIsCopied)
{
    QrvSettings::OutgoingCall call{"Ann Lee", "5551234", "MOBILE"};
    QrvSettings::setLastOutgoingCall(call);
    call.addr = "0";
    const QrvSettings::OutgoingCall& stored = QrvSettings::getLastOutgoingCall();
    EXPECT_EQ(stored.name.str(), "Ann Lee");
    EXPECT_EQ(stored.addr.str(), "5551234");
    EXPECT_EQ(stored.personAddressType.str(), "MOBILE");
}

TEST(Settings, DialingOutFlag)
{
    QrvSettings::setDialingOutFlag();
    EXPECT_TRUE(QrvSettings::getDialingOutFlag());
}

TEST(Settings, ForegroundLowersNicenessByTwo)
{
    errno = 0;
    const int before = nice(0);
    ASSERT_EQ(errno, 0);
    LogCapture capture;
    QrvSettings::setBackgroundProcessingFlag(false);
    EXPECT_FALSE(QrvSettings::getBackgroundProcessingFlag());
    errno = 0;
    const int after = nice(0);
    if (capture.contains("Unable to decrease nice value")) {
        // Not permitted here: the failure is logged and nothing else changes.
        EXPECT_EQ(after, before);
        EXPECT_TRUE(capture.contains("QrvLogUI", WexLogWarning, "setBackgroundProcessingFlag: Unable to decrease nice value"));
    } else {
        EXPECT_EQ(after, before - 2);
    }
}

} // namespace
