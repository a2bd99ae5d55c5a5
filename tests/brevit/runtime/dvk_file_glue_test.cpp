#include "core/brevit/runtime/dvk_file_glue.h"
#include "oem/dvk_oem_dirs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// Engine files are named without directories; the porting layer writes them
// to the service's writable data directory.
class EngineFiles : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dvkOemWritableDir()); }
    std::string path(const char* name) const { return name; }
};

TEST_F(EngineFiles, WriteSeekReadBack)
{
    const std::string file = path("model.bin");
    DVK_FILE* out = DVK_fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(DVK_fwrite("header\nbody", 1, 11, out), 11);
    EXPECT_EQ(DVK_ftell(out), 11);
    EXPECT_EQ(DVK_fwrite("x", 1, 0, out), 0);
    EXPECT_EQ(DVK_fflush(out), 0);
    EXPECT_EQ(DVK_fclose(out), 0);

    uint32_t size = 0;
    EXPECT_EQ(DVK_fsize(file.c_str(), &size), 0);
    EXPECT_EQ(size, 11u);
    EXPECT_NE(DVK_fexist(file.c_str()), 0);

    DVK_FILE* in = DVK_fopen(file.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char line[16];
    EXPECT_STREQ(DVK_fgets(line, sizeof(line), in), "header\n");
    EXPECT_STREQ(DVK_fgets(line, 3, in), "bo");
    EXPECT_STREQ(DVK_fgets(line, sizeof(line), in), "dy");
    EXPECT_EQ(DVK_fgets(line, sizeof(line), in), nullptr);
    EXPECT_EQ(DVK_feof(in), 0);
    EXPECT_EQ(DVK_fseek(in, 2, 0), 0);
    char bytes[4] = {};
    EXPECT_EQ(DVK_fread(bytes, 2, 2, in), 2);
    EXPECT_EQ(std::memcmp(bytes, "ader", 4), 0);
    EXPECT_EQ(DVK_fread(bytes, 4, 0, in), 0);
    EXPECT_EQ(DVK_fclose(in), 0);
    EXPECT_EQ(DVK_fclose(nullptr), 0);

    const std::string renamed = path("model2.bin");
    EXPECT_EQ(DVK_rename(file.c_str(), renamed.c_str()), 0);
    EXPECT_EQ(DVK_fexist(file.c_str()), 0);
    EXPECT_EQ(DVK_fremove(renamed.c_str()), 0);
    EXPECT_EQ(DVK_fexist(renamed.c_str()), 0);
}

TEST_F(EngineFiles, SizeOfMissingOrEmptyFileLeavesTheSizeAlone)
{
    uint32_t size = 1234;
    EXPECT_EQ(DVK_fsize(path("missing.bin").c_str(), &size), 1);
    EXPECT_EQ(size, 1234u);
    std::ofstream(dvkOemJoin(dvkOemWritableDir(), "empty.bin"));
    EXPECT_EQ(DVK_fsize(path("empty.bin").c_str(), &size), 1);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(DVK_fopen(path("missing.bin").c_str(), "rb"), nullptr);
}

TEST_F(EngineFiles, FailedCloseFailsTheSave)
{
    // Bytes held in the stream's window reach the device only at close.
    DVK_FILE* out = DVK_fopen("/dev/full", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(DVK_fwrite("data", 1, 4, out), 4);
    EXPECT_NE(DVK_fclose(out), 0);
}

class OtherModes : public EngineFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(OtherModes, StopTheProcess)
{
    EXPECT_DEATH(DVK_fopen(path("model.bin").c_str(), GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, OtherModes, ::testing::Values("r+b", "ab", "r", "w"),
                         [](const auto& info) { return std::to_string(info.index); });

} // namespace
