#include "oem/dvk_oem_file.h"

#include "oem/dvk_oem_mmap.h"
#include "oem/dvk_oem_watchdog.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kInstall = "/usr/orvel/services/com.orvel.service.merrowind";
const std::string kLangPack = kInstall + "/language-packs";
const std::string kWritable = "/media/cryptofs/data/com.orvel.service.merrowind";
const std::string kAppData = "/media/cryptofs/apps/usr/orvel/data/com.orvel.service.merrowind";
const std::string kDirs[] = {kInstall, kLangPack, kWritable, kAppData};

int s_pings = 0;
void countPing() { ++s_pings; }

class OemFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The service creates the writable directory's parents at start.
        std::filesystem::create_directories(m_root.at("/media/cryptofs/data"));
        s_pings = 0;
        dvkOemSetAlivePing(countPing);
    }
    void TearDown() override { dvkOemSetAlivePing(nullptr); }

    std::string readAll(dvk_oem_file_Stream* stream)
    {
        std::string text;
        char c;
        while (dvk_oem_file_fread(&c, 1, 1, stream) == 1)
            text += c;
        return text;
    }

    std::string readDisk(const std::string& absolutePath)
    {
        std::ifstream in(m_root.at(absolutePath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempRoot m_root;
    LogCapture m_log;
};

TEST_F(OemFileTest, ReadingTakesTheFirstDirectoryInSearchOrder)
{
    struct Case {
        std::vector<int> present;  // indexes into kDirs
        int expected;
    };
    const Case cases[] = {
        {{0, 1, 2, 3}, 0}, {{1, 2, 3}, 1}, {{2, 3}, 2}, {{3}, 3}, {{0, 2}, 0}, {{1, 3}, 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "str_enus" + std::to_string(n++) + ".bin";
        for (int dir : c.present)
            m_root.writeFile(kDirs[dir] + "/" + name, "dir" + std::to_string(dir));
        dvk_oem_file_Stream* stream = dvk_oem_file_fopen(name.c_str(), DVK_OEM_FILE_MODE_READ);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_EQ(readAll(stream), "dir" + std::to_string(c.expected)) << name;
        EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    }
}

TEST_F(OemFileTest, FirstWriteCreatesThePrivateWritableDirectory)
{
    ASSERT_FALSE(std::filesystem::exists(m_root.at(kWritable)));
    m_root.writeFile(kInstall + "/dvk_voc_enus.dat", "installed");
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("dvk_voc_enus.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(stream, nullptr);
    struct stat info {};
    ASSERT_EQ(::stat(m_root.at(kWritable).c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(dvk_oem_file_fwrite("new", 1, 3, stream), 3);
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    EXPECT_EQ(readDisk(kWritable + "/dvk_voc_enus.dat"), "new");
    EXPECT_EQ(readDisk(kInstall + "/dvk_voc_enus.dat"), "installed");
    EXPECT_EQ(s_pings, 1);
}

TEST_F(OemFileTest, WritingFallsBackToTheApplicationDataDirectory)
{
    // No parents: the writable directory cannot be made; the open goes on.
    std::filesystem::remove_all(m_root.at("/media/cryptofs/data"));
    std::filesystem::create_directories(m_root.at(kAppData));
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("x.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(m_log.contains("Error creating data directory"));
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    EXPECT_TRUE(std::filesystem::exists(m_root.at(kAppData + "/x.dat")));
}

TEST_F(OemFileTest, AbsoluteNamesAreUsedAsTheyAre)
{
    const std::string path = m_root.at("/elsewhere/abs.bin");
    m_root.writeFile("/elsewhere/abs.bin", "abs");
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen(path.c_str(), DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(stream), "abs");
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    EXPECT_EQ(dvk_oem_file_fsize(path.c_str()), 3);
    EXPECT_EQ(dvk_oem_file_remove(path.c_str()), 0);
    EXPECT_EQ(dvk_oem_file_fexist(path.c_str()), 0);
}

TEST_F(OemFileTest, RefusesNamesOutsideTheAllowedSet)
{
    struct Case {
        const char* name;
        const char* logged;
    };
    const Case refused[] = {
        {"str enus.bin", "invalid char 32"},  {"str:enus.bin", "invalid char 58"},
        {"a\tb.bin", "invalid char 9"},       {"../secret.bin", "\"..\""},
        {"packs/../../x.bin", "\"..\""},      {"..", "\"..\""},
    };
    for (const Case& c : refused) {
        // Even when such a file exists, it is neither opened nor mapped.
        if (std::string(c.name).find("..") == std::string::npos)
            m_root.writeFile(kInstall + "/" + c.name, "data");
        EXPECT_EQ(dvk_oem_file_fopen(c.name, DVK_OEM_FILE_MODE_READ), nullptr) << c.name;
        EXPECT_EQ(dvk_oem_file_fopen(c.name, DVK_OEM_FILE_MODE_WRITE), nullptr) << c.name;
        EXPECT_EQ(dvk_oem_mmap_openFile(c.name), nullptr) << c.name;
        EXPECT_EQ(dvk_oem_file_fexist(c.name), 0) << c.name;
        EXPECT_EQ(dvk_oem_file_remove(c.name), -1) << c.name;
        EXPECT_TRUE(m_log.contains(c.logged)) << c.name;
    }
    EXPECT_TRUE(m_log.contains("invalid filename \"str enus.bin\""));
    // Dots inside a name and subdirectories are fine.
    for (const char* name : {"a..b.bin", "sub/dir/c.bin", ".hidden"}) {
        m_root.writeFile(kInstall + "/" + name, "ok");
        dvk_oem_file_Stream* stream = dvk_oem_file_fopen(name, DVK_OEM_FILE_MODE_READ);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    }
}

TEST_F(OemFileTest, SizeAndExistence)
{
    m_root.writeFile(kWritable + "/empty.dat", "");
    m_root.writeFile(kAppData + "/five.dat", "12345");
    std::filesystem::create_directories(m_root.at(kInstall + "/adir"));
    struct Case {
        const char* name;
        long size;
        int exists;
    };
    const Case cases[] = {
        {"empty.dat", 0, 0}, {"five.dat", 5, 1}, {"missing.dat", 0, 0}, {"adir", 0, 0}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dvk_oem_file_fsize(c.name), c.size) << c.name;
        EXPECT_EQ(dvk_oem_file_fexist(c.name), c.exists) << c.name;
    }
    EXPECT_TRUE(m_log.contains("dvk_oem_file_fsize: stat(missing.dat) failure"));
    EXPECT_EQ(dvk_oem_file_fopen("", DVK_OEM_FILE_MODE_READ), nullptr);
}

TEST_F(OemFileTest, RenameStaysInTheDirectoryHoldingTheFile)
{
    m_root.writeFile(kAppData + "/only-app.dat", "app");
    m_root.writeFile(kWritable + "/both.dat", "writable");
    m_root.writeFile(kAppData + "/both.dat", "app");
    EXPECT_EQ(dvk_oem_file_rename("only-app.dat", "renamed.dat"), 0);
    EXPECT_EQ(readDisk(kAppData + "/renamed.dat"), "app");
    EXPECT_FALSE(std::filesystem::exists(m_root.at(kWritable + "/renamed.dat")));
    EXPECT_EQ(dvk_oem_file_rename("both.dat", "b2.dat"), 0);
    EXPECT_EQ(readDisk(kWritable + "/b2.dat"), "writable");
    EXPECT_TRUE(std::filesystem::exists(m_root.at(kAppData + "/both.dat")));
    EXPECT_EQ(dvk_oem_file_rename("missing.dat", "x.dat"), -1);
    EXPECT_TRUE(m_log.contains("dvk_oem_file_rename: failure.  old=missing.dat new=x.dat"));
    EXPECT_EQ(s_pings, 3);
}

TEST_F(OemFileTest, RemoveTriesWritableThenApplicationData)
{
    m_root.writeFile(kWritable + "/r.dat", "w");
    m_root.writeFile(kAppData + "/r.dat", "a");
    m_root.writeFile(kInstall + "/r.dat", "i");
    EXPECT_EQ(dvk_oem_file_remove("r.dat"), 0);
    EXPECT_FALSE(std::filesystem::exists(m_root.at(kWritable + "/r.dat")));
    EXPECT_EQ(dvk_oem_file_remove("r.dat"), 0);
    EXPECT_FALSE(std::filesystem::exists(m_root.at(kAppData + "/r.dat")));
    EXPECT_EQ(dvk_oem_file_remove("r.dat"), -1);
    EXPECT_TRUE(std::filesystem::exists(m_root.at(kInstall + "/r.dat")));
}

TEST_F(OemFileTest, RemoveLeavesDirectoriesAlone)
{
    // Empty directories, the ones the system library's remove would take. An
    // empty name names the data directories themselves.
    for (const std::string& dir : {kWritable, kAppData, std::string("/elsewhere")})
        std::filesystem::create_directories(m_root.at(dir));
    EXPECT_EQ(dvk_oem_file_remove(""), -1);
    EXPECT_TRUE(std::filesystem::is_directory(m_root.at(kWritable)));
    EXPECT_TRUE(std::filesystem::is_directory(m_root.at(kAppData)));

    for (const std::string& dir : {kWritable, kAppData})
        std::filesystem::create_directories(m_root.at(dir + "/sub"));
    EXPECT_EQ(dvk_oem_file_remove("sub"), -1);
    EXPECT_TRUE(std::filesystem::is_directory(m_root.at(kWritable + "/sub")));
    EXPECT_TRUE(std::filesystem::is_directory(m_root.at(kAppData + "/sub")));

    EXPECT_EQ(dvk_oem_file_remove(m_root.at("/elsewhere").c_str()), -1);
    EXPECT_TRUE(std::filesystem::is_directory(m_root.at("/elsewhere")));
}

TEST_F(OemFileTest, CloseReportsDataTheDeviceRefused)
{
    std::filesystem::create_directories(m_root.at(kWritable));
    std::filesystem::create_symlink("/dev/full", m_root.at(kWritable + "/full.dat"));
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("full.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(stream, nullptr);
    // Small enough for the system library's buffer: the loss shows only at close.
    EXPECT_EQ(dvk_oem_file_fwrite("0123456789", 1, 10, stream), 10);
    EXPECT_NE(dvk_oem_file_fclose(stream), 0);
    EXPECT_TRUE(m_log.contains("dvk_oem_file_fclose: close failure."));
}

TEST_F(OemFileTest, EveryHundredthReadWriteAndSeekPingsTheWatchdog)
{
    m_root.writeFile(kInstall + "/p.bin", std::string(1000, 'p'));
    dvk_oem_file_Stream* in = dvk_oem_file_fopen("p.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(s_pings, 1);
    char c;
    for (int i = 0; i < 99; ++i)
        dvk_oem_file_fread(&c, 1, 1, in);
    EXPECT_EQ(s_pings, 1);
    dvk_oem_file_fread(&c, 1, 1, in);
    EXPECT_EQ(s_pings, 2);
    for (int i = 0; i < 200; ++i)
        dvk_oem_file_fseek(in, 0, 0);
    EXPECT_EQ(s_pings, 4);
    for (int i = 0; i < 99; ++i)
        dvk_oem_file_fread(&c, 1, 1, in);
    EXPECT_EQ(s_pings, 4);
    EXPECT_EQ(dvk_oem_file_fclose(in), 0);

    dvk_oem_file_Stream* out = dvk_oem_file_fopen("q.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 100; ++i)
        dvk_oem_file_fwrite(&c, 1, 1, out);
    EXPECT_EQ(s_pings, 6);
    EXPECT_EQ(dvk_oem_file_fclose(out), 0);
}

TEST_F(OemFileTest, SeekAndTell)
{
    m_root.writeFile(kInstall + "/s.bin", "0123456789");
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("s.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(dvk_oem_file_fseek(stream, -3, DVK_OEM_FILE_SEEK_END), 0);
    EXPECT_EQ(dvk_oem_file_ftell(stream), 7);
    EXPECT_EQ(dvk_oem_file_fseek(stream, -2, DVK_OEM_FILE_SEEK_CURRENT), 0);
    EXPECT_EQ(dvk_oem_file_ftell(stream), 5);
    EXPECT_NE(dvk_oem_file_fseek(stream, 0, 3), 0);
    EXPECT_NE(dvk_oem_file_fseek(stream, -1, DVK_OEM_FILE_SEEK_START), 0);
    EXPECT_TRUE(m_log.contains("seek failure.  offset=0 origin=3"));
    EXPECT_EQ(dvk_oem_file_ftell(stream), 5);
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
}

TEST_F(OemFileTest, VoiceDataStreamIsTracedInDetail)
{
    WexLogger* logger = WexLogger::find("DvkOemFile");
    ASSERT_NE(logger, nullptr);
    const int level = logger->level();
    logger->setLevel(WexLogTrace);
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("dvk_voc_enus.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(stream, nullptr);
    unsigned char bytes[20];
    for (int i = 0; i < 20; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(dvk_oem_file_fwrite(bytes, 1, 20, stream), 20);
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
    logger->setLevel(level);
    EXPECT_TRUE(m_log.contains("fopen(dvk_voc_enus.dat, wb)"));
    EXPECT_TRUE(m_log.contains("  03020100 07060504 0b0a0908 0f0e0d0c"));
    EXPECT_TRUE(m_log.contains("  10111213"));
    EXPECT_TRUE(m_log.contains("fclose("));
}

using OemFileDeathTest = OemFileTest;

TEST_F(OemFileDeathTest, ArgumentErrorsStopWithFileLineFunctionAndCondition)
{
    m_root.writeFile(kInstall + "/d.bin", "abc");
    dvk_oem_file_Stream* stream = dvk_oem_file_fopen("d.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(stream, nullptr);
    char c;
    EXPECT_DEATH(dvk_oem_file_fread(&c, 1, 0, stream),
                 "Assertion failed: count > 0, file .*dvk_oem_file\\.cpp, line [0-9]+, function "
                 "dvk_oem_file_fread");
    EXPECT_DEATH(dvk_oem_file_fwrite(nullptr, 1, 1, stream), "buffer != __null");
    EXPECT_DEATH(dvk_oem_file_fclose(nullptr), "fileStream != __null");
    EXPECT_DEATH(dvk_oem_file_fopen("d.bin", 2), "mode == DVK_OEM_FILE_MODE_READ");
    EXPECT_DEATH(dvk_oem_file_rename("d.bin", nullptr), "newName != __null");
    EXPECT_DEATH(dvk_oem_mmap_mapFile(nullptr), "fileHandle != __null, file .*dvk_oem_mmap\\.cpp");
    EXPECT_EQ(dvk_oem_file_fclose(stream), 0);
}

} // namespace
