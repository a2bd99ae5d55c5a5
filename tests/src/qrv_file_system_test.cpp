#include "platform/core/wex_root.h"
#include "src/QrvFileSystem.h"
#include "src/QrvJemalloc.h"
#include "tests/src/file_util.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

TEST(FileSystem, PathFunctionsJoinTheirDirectoryBelowTheRoot)
{
    const std::string root = wexRootPrefix();
    ASSERT_FALSE(root.empty());
    const struct {
        std::string (*make)(const char*);
        const char* directory;
    } cases[] = {
        {QrvFileSystem::makeFullPathname0, "/usr/orvel/services/com.orvel.service.merrowind"},
        {QrvFileSystem::makeFullPathname1, "/media/cryptofs/data/com.orvel.service.merrowind"},
        {QrvFileSystem::makeFullPathname2, "/media/cryptofs/apps/usr/orvel/data/com.orvel.service.merrowind"},
        {QrvFileSystem::makeFullPathnameLangpack, "/usr/orvel/services/com.orvel.service.merrowind/language-packs"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.make("downchirp.bin"), root + c.directory + "/downchirp.bin");
        EXPECT_EQ(c.make(""), root + c.directory + "/");
    }
    EXPECT_EQ(QrvFileSystem::mkFnString("a", "b/c"), "a/b/c");
}

TEST(FileSystem, PathsWithoutARootAreThePlatformPaths)
{
    const std::string saved = std::getenv("MERROWIND_ROOT");
    unsetenv("MERROWIND_ROOT");
    EXPECT_EQ(QrvFileSystem::makeFullPathname0("downchirp.bin"),
              "/usr/orvel/services/com.orvel.service.merrowind/downchirp.bin");
    setenv("MERROWIND_ROOT", saved.c_str(), 1);
}

TEST(FileSystem, InitMakesTheParentsButNotTheWritableDirectory)
{
    LogCapture capture;
    QrvFileSystem::qrvFileSystemInit();
    EXPECT_TRUE(isDirectory(wexRootPath("/media")));
    EXPECT_TRUE(isDirectory(wexRootPath("/media/cryptofs")));
    EXPECT_TRUE(isDirectory(wexRootPath("/media/cryptofs/data")));
    EXPECT_FALSE(isDirectory(wexRootPath(QrvFileSystem::QRV_WRITEABLE_DIR)));
    EXPECT_TRUE(capture.contains("QrvLogUI", WexLogError, "mkdir(" + wexRootPath("/media/cryptofs/data") + ")"));
    EXPECT_EQ(capture.count("mkdir("), 3u);

    struct stat st {};
    ASSERT_EQ(stat(wexRootPath("/media/cryptofs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0007, 0u) << "others get no access";

    // Existing directories are fine.
    QrvFileSystem::qrvFileSystemInit();
    EXPECT_TRUE(isDirectory(wexRootPath("/media/cryptofs/data")));
}

class FileSystemDeathTest : public ::testing::TestWithParam<const char*> {};

// A plain file where a directory must go, at each level: the last one would
// otherwise pass as an existing directory and leave nowhere to write.
TEST_P(FileSystemDeathTest, InitEndsTheProcessWhenAParentIsNoDirectory)
{
    const std::string path = wexRootPath(GetParam());
    ASSERT_EQ(g_mkdir_with_parents(path.c_str(), 0700), 0);
    ASSERT_EQ(g_rmdir(path.c_str()), 0);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), "", 0, nullptr));
    EXPECT_EXIT(QrvFileSystem::qrvFileSystemInit(), ::testing::ExitedWithCode(1), "");
}

INSTANTIATE_TEST_SUITE_P(Levels, FileSystemDeathTest,
                         ::testing::Values("/media", "/media/cryptofs", "/media/cryptofs/data"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::to_string(info.index);
                         });

TEST(Jemalloc, PreloadIsSetOnlyOutsideSanitizerBuildsAndChildrenRun)
{
    unsetenv("LD_PRELOAD");
    enableJemalloc marker;
    const char* preload = std::getenv("LD_PRELOAD");
    if (enableJemalloc::enabled()) {
        ASSERT_NE(preload, nullptr);
        EXPECT_EQ(std::string(preload), wexRootPath("/usr/lib/libjemalloc_mt.so"));
    } else {
        EXPECT_EQ(preload, nullptr);
    }

    gchar* out = nullptr;
    gint status = -1;
    const gchar* argv[] = {"/bin/sh", "-c", "echo child", nullptr};
    ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr,
                             nullptr, &out, nullptr, &status, nullptr));
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr));
    EXPECT_STREQ(out, "child\n");
    g_free(out);
}

} // namespace
