// The shut-down without an application object: nothing can be stopped in
// order, so the process ends at once.
#include "src/QrVoiceCmdServiceApp.h"

#include <gtest/gtest.h>

namespace {

TEST(ShutdownWithoutApplication, EndsTheProcessWithStatusOne)
{
    ASSERT_EQ(QrVoiceCmdServiceApp::s_app, nullptr);
    EXPECT_EXIT(QrVoiceCmdServiceApp::S_shutdownStart(), ::testing::ExitedWithCode(1),
                "not active.  Exiting the bad way");
}

} // namespace
