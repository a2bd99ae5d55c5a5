#include "oem/dvk_oem_app.h"

#include "oem/dvk_oem_ui.h"
#include "src/QrvRecordInhibitor.h"
#include "src/QrvSettings.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

std::string s_number;
void* s_callThread = nullptr;
std::chrono::steady_clock::time_point s_callTime;

void recordCall(const char* number)
{
    s_number = number;
    s_callThread = workqueue_self();
    s_callTime = std::chrono::steady_clock::now();
}

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

class OemAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        saved_ = dvkOemUiFuncs_p;
        funcs_.notifyCallCmd = recordCall;
        dvkOemUiFuncs_p = &funcs_;
        s_number.clear();
        s_callThread = nullptr;
    }
    void TearDown() override { dvkOemUiFuncs_p = saved_; }

    ServiceEndDouble end_;
    dvk_oem_ui_Funcs funcs_{};
    const dvk_oem_ui_Funcs* saved_ = nullptr;
};

TEST_F(OemAppTest, ExitEndsTheServiceLoggingFailures)
{
    LogCapture log;
    dvk_notifyExit(DVK_APP_SUCCESS, nullptr);
    ASSERT_TRUE(waitFor([&] { return end_.closings == 1; }));
    EXPECT_EQ(log.count("failure."), 0u);
    dvk_notifyExit(DVK_APP_CANCELLED, nullptr);
    ASSERT_TRUE(waitFor([&] { return end_.closings == 2; }));
    EXPECT_TRUE(log.contains("DvkOemApp", WexLogError,
                             "dvk_notifyExit: failure.  Error was \"Unknown error\""));
    EXPECT_EQ(dvkCallbacks.notifyExit, dvk_notifyExit);
}

TEST_F(OemAppTest, ACallReachesTheUiTableOnUi)
{
    EXPECT_FALSE(QrvSettings::getDialingOutFlag());
    dvkCallbacks.notifyCallCmd(u(u"Ann"), u(u"Mobile"), u(u"5550100"), nullptr);
    ASSERT_TRUE(waitFor([] { return !s_number.empty(); }));
    EXPECT_EQ(s_number, "5550100");
    EXPECT_EQ(s_callThread, static_cast<void*>(appWorkQueue.load()));
    EXPECT_TRUE(QrvSettings::getDialingOutFlag());
    EXPECT_EQ(end_.closings.load(), 0);  // the UI table's call slot ends the service
}

TEST_F(OemAppTest, ACallWaitsForTheRunningInhibition)
{
    RecordInhibitor::S_start();
    drainVr();
    const auto start = std::chrono::steady_clock::now();
    dvk_NotifyCallCmd(nullptr, nullptr, u(u"5550100"), nullptr);
    ASSERT_TRUE(waitFor([] { return !s_number.empty(); }));
    EXPECT_GE(s_callTime - start, std::chrono::milliseconds(150));
}

TEST_F(OemAppTest, ANumberThatCannotBeConvertedPlacesNoCall)
{
    const dvk_ucs2_Char broken[] = {'5', 0xD800, '1', 0};
    dvk_NotifyCallCmd(nullptr, nullptr, broken, nullptr);
    ASSERT_TRUE(waitFor([&] { return end_.closings == 1; }));
    drainVr();
    waitFor([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_TRUE(s_number.empty());
}

TEST_F(OemAppTest, OtherNotificationsOnlyTrace)
{
    dvkCallbacks.notifySendCmd(u(u"a"), nullptr, nullptr, nullptr, 1, nullptr);
    dvkCallbacks.notifyLookupCmd(u(u"a"), 1, nullptr);
    dvkCallbacks.notifyConnectToCmd(u(u"a"), nullptr);
    dvkCallbacks.notifyGoToCmd(u(u"a"), 1, nullptr);
    dvkCallbacks.notifyGoToCalendarCmd(1, nullptr);
    dvkCallbacks.notifyPlayCmd(u(u"a"), u(u"b"), u(u"c"), u(u"d"), 1, 2, 3, 4, nullptr);
    dvkCallbacks.notifyCheckCmd(7, nullptr);
    drainVr();
    waitFor([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(end_.total(), 0);
    EXPECT_TRUE(s_number.empty());
    EXPECT_EQ(dvkCallbacks.notifyAddContactCmd, nullptr);
    EXPECT_EQ(dvkCallbacks.notifyHelpCmd, nullptr);
    EXPECT_EQ(dvk_app_Version(), nullptr);
}

} // namespace
