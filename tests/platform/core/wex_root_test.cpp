#include "platform/core/wex_root.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class RootPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("MERROWIND_ROOT"))
            m_saved = old;
    }
    void TearDown() override { setenv("MERROWIND_ROOT", m_saved.c_str(), 1); }

private:
    std::string m_saved;
};

const char* const kPlatformPaths[] = {
    "/var/sorna/preferences/ran-first-use",
    "/media/cryptofs/data/com.orvel.service.merrowind",
    "/media/internal",
    "/usr/orvel/services/com.orvel.service.merrowind",
    "/usr/lib/merrowind/resources",
    "/var/log/merrowind",
    "/tmp/com.orvel.service.merrowind_record_pipe",
    "/usr/bin/ipkg",
    "/usr/lib/libjemalloc_mt.so",
};

TEST_F(RootPathTest, PrefixesEveryPlatformPathWithTheRoot)
{
    setenv("MERROWIND_ROOT", "/tmp/mwroot.abc", 1);
    for (const char* path : kPlatformPaths)
        EXPECT_EQ(wexRootPath(path), std::string("/tmp/mwroot.abc") + path);
}

TEST_F(RootPathTest, LeavesPathsAloneWithoutARoot)
{
    for (const char* value : {"", "/"}) {
        setenv("MERROWIND_ROOT", value, 1);
        for (const char* path : kPlatformPaths)
            EXPECT_EQ(wexRootPath(path), path) << "root '" << value << "'";
    }
    unsetenv("MERROWIND_ROOT");
    for (const char* path : kPlatformPaths)
        EXPECT_EQ(wexRootPath(path), path);
}

TEST_F(RootPathTest, TrailingSlashOfTheRootIsNotDoubled)
{
    setenv("MERROWIND_ROOT", "/tmp/r/", 1);
    EXPECT_EQ(wexRootPath("/usr/bin/ipkg"), "/tmp/r/usr/bin/ipkg");
}

TEST(TestRoot, EveryTestProcessRunsInATemporaryRoot)
{
    const char* root = std::getenv("MERROWIND_ROOT");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::string(root).rfind("/tmp/mwroot.", 0), 0u);
}

} // namespace
