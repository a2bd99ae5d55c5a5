#include "core/brevit/runtime/dvk_version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DVKVersionTest, NumbersAndFullText)
{
    EXPECT_EQ(DVKVersion_GetMajor(), 10);
    EXPECT_EQ(DVKVersion_GetMinor(), 53);
    EXPECT_EQ(DVKVersion_GetBuild(), 3);

    const std::string text = DVKVersion_GetFullVersion();
    const std::string head = "Brevit v10.0053.3 (depot #";
    const std::string tail = ", Embedded Build";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    ASSERT_GE(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.compare(text.size() - tail.size(), tail.size(), tail), 0) << text;
    const size_t close = text.find("), Arm, Linux, ", head.size());
    ASSERT_NE(close, std::string::npos) << text;
    const std::string depot = text.substr(head.size(), close - head.size());
    EXPECT_FALSE(depot.empty());
    EXPECT_EQ(depot.find_first_not_of("0123456789"), std::string::npos) << depot;
}

}  // namespace
