#include "src/QrVoiceCmdServiceApp.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(ServiceApp, TheFirstApplicationIsTheOneAndASecondIsRefused)
{
    EXPECT_EQ(QrVoiceCmdServiceApp::getSornaService(), nullptr);
    LogCapture log;
    auto first = std::make_unique<QrVoiceCmdServiceApp>();
    EXPECT_EQ(QrVoiceCmdServiceApp::s_app, first.get());
    WexSornaService* service = QrVoiceCmdServiceApp::getSornaService();
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(log.lines().size(), 0u);

    {
        QrVoiceCmdServiceApp second;
        EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "can't have two QrVoiceCmdServiceApp's"));
        EXPECT_EQ(QrVoiceCmdServiceApp::s_app, first.get());
    }
    // The refused one going leaves the first in place.
    EXPECT_EQ(QrVoiceCmdServiceApp::s_app, first.get());
    EXPECT_EQ(QrVoiceCmdServiceApp::getSornaService(), service);

    first.reset();
    EXPECT_EQ(QrVoiceCmdServiceApp::s_app, nullptr);
    EXPECT_EQ(QrVoiceCmdServiceApp::getSornaService(), nullptr);
}

} // namespace
