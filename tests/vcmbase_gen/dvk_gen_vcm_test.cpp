// Until the modules land, their constructors fail, saying so.
#include "vcmbase_gen/dvk_gen_vcm.h"

#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

namespace {

TEST(GenVcmStandIns, FailAndSaySo)
{
    LogCapture log;
    EXPECT_EQ(dvk_gen_vcm_newAdaptation(nullptr), nullptr);
    EXPECT_EQ(dvk_gen_vcm_newAlwaysAvailableCmd(nullptr, 3, 82, 0), nullptr);
    EXPECT_EQ(dvk_gen_vcm_newHelp(nullptr, 1, 2, 3, 4, 5), nullptr);
    EXPECT_EQ(dvk_gen_vcm_newRoot(nullptr, 0), nullptr);
    EXPECT_EQ(dvk_gen_vcm_newSettings(nullptr), nullptr);
    EXPECT_EQ(dvk_gen_vcm_newTutorial(nullptr, 0), nullptr);
    EXPECT_EQ(dvk_gen_vcm_pushSettingsMenuItem(nullptr, 1), 1);
    EXPECT_EQ(log.count("module not built"), 7u);
    EXPECT_TRUE(log.contains("DvkGenVcm", WexLogError, "dvk_gen_vcm_newTutorial: module not built"));
}

} // namespace
