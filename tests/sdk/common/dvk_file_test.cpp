#include "sdk/common/dvk_file.h"

#include "sdk/common/dvk_mem.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kWritable = "/media/cryptofs/data/com.orvel.service.merrowind";
const std::string kInstall = "/usr/orvel/services/com.orvel.service.merrowind";

class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_root.at("/media/cryptofs/data"));
    }
    void TearDown() override { dvk_mem_failAfter(-1); }

    std::string writablePath(const std::string& name) const { return m_root.at(kWritable + "/" + name); }

    std::string readDisk(const std::string& name) const
    {
        std::ifstream in(writablePath(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    long diskSize(const std::string& name) const
    {
        struct stat info {};
        return ::stat(writablePath(name).c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
    }

    static std::string pattern(size_t length)
    {
        std::string data(length, '\0');
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
        return data;
    }

    TempRoot m_root;
};

size_t openDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST_F(FileTest, ReadsWholeItemsOnlyAtTheEnd)
{
    m_root.writeFile(kInstall + "/str_enus.bin", pattern(100));
    dvk_file_Stream* s = dvk_file_fopen("str_enus.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(dvk_file_fseek(s, 72, 0), 0);  // 28 bytes left
    char items[30] = {};
    EXPECT_EQ(dvk_file_fread(items, 3, 10, s), 9);
    EXPECT_EQ(std::string(items, 28), pattern(100).substr(72));
    EXPECT_EQ(dvk_file_ftell(s), 100);
    EXPECT_EQ(dvk_file_fread(items, 1, 1, s), 0);
    EXPECT_EQ(dvk_file_fclose(&s), 0);
    EXPECT_EQ(s, nullptr);
}

TEST_F(FileTest, TellCountsBufferedBytesBeforeTheyReachTheDisk)
{
    dvk_file_Stream* s = dvk_file_fopen("dvk_voc_enus.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    const std::string data = pattern(100);
    EXPECT_EQ(dvk_file_fwrite(data.data(), 1, 100, s), 100);
    EXPECT_EQ(dvk_file_ftell(s), 100);
    EXPECT_EQ(diskSize("dvk_voc_enus.dat"), 0);
    EXPECT_EQ(dvk_file_fclose(&s), 0);
    EXPECT_EQ(readDisk("dvk_voc_enus.dat"), data);
}

TEST_F(FileTest, SeekFromTheEndWritesTheWindowFirst)
{
    dvk_file_Stream* s = dvk_file_fopen("a.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    const std::string data = pattern(100);
    ASSERT_EQ(dvk_file_fwrite(data.data(), 10, 10, s), 10);
    EXPECT_EQ(dvk_file_fseek(s, 0, 2), 0);
    EXPECT_EQ(diskSize("a.dat"), 100);
    EXPECT_EQ(dvk_file_ftell(s), 100);
    ASSERT_EQ(dvk_file_fseek(s, -10, 2), 0);
    EXPECT_EQ(dvk_file_ftell(s), 90);
    ASSERT_EQ(dvk_file_fwrite("XY", 1, 2, s), 2);
    EXPECT_EQ(dvk_file_fclose(&s), 0);
    EXPECT_EQ(readDisk("a.dat"), data.substr(0, 90) + "XY" + data.substr(92));
}

TEST_F(FileTest, SeekInsideTheWindowDoesNotTouchTheFile)
{
    const std::string data = pattern(200);
    m_root.writeFile(kWritable + "/w.dat", data);
    dvk_file_Stream* s = dvk_file_fopen("w.dat", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(s, nullptr);
    char got[50];
    ASSERT_EQ(dvk_file_fread(got, 1, 50, s), 50);
    // Change the file underneath: reads inside the window still see the old bytes.
    m_root.writeFile(kWritable + "/w.dat", std::string(200, 'z'));
    ASSERT_EQ(dvk_file_fseek(s, 20, 0), 0);
    ASSERT_EQ(dvk_file_fread(got, 1, 50, s), 50);
    EXPECT_EQ(std::string(got, 50), data.substr(20, 50));
    ASSERT_EQ(dvk_file_fseek(s, -30, 1), 0);
    EXPECT_EQ(dvk_file_ftell(s), 40);
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

TEST_F(FileTest, WriteStreamReadsBackOnlyItsWindow)
{
    dvk_file_Stream* s = dvk_file_fopen("b.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(dvk_file_fwrite("0123456789", 1, 10, s), 10);
    ASSERT_EQ(dvk_file_fseek(s, 4, 0), 0);
    char got[20] = {};
    EXPECT_EQ(dvk_file_fread(got, 1, 20, s), 6);
    EXPECT_EQ(std::string(got), "456789");
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

// Random reads and seeks across window borders against the file's bytes.
TEST_F(FileTest, RandomReadsMatchTheFile)
{
    const std::string data = pattern(3 * DVK_FILE_BUFFER_SIZE + 123);
    m_root.writeFile(kInstall + "/lvr_enus.bin", data);
    dvk_file_Stream* s = dvk_file_fopen("lvr_enus.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(s, nullptr);
    std::mt19937 rng(7);
    long pos = 0;
    const long size = static_cast<long>(data.size());
    std::vector<char> got(9000);
    for (int step = 0; step < 400; ++step) {
        switch (rng() % 4) {
        case 0: {
            long target = static_cast<long>(rng() % (data.size() + 10));
            ASSERT_EQ(dvk_file_fseek(s, target, 0), 0);
            pos = target;
            break;
        }
        case 1: {
            long delta = static_cast<long>(rng() % 9000) - 4500;
            if (pos + delta < 0)
                delta = -pos;
            ASSERT_EQ(dvk_file_fseek(s, delta, 1), 0);
            pos += delta;
            break;
        }
        case 2: {
            long back = static_cast<long>(rng() % 5000);
            if (back > size)
                back = size;
            ASSERT_EQ(dvk_file_fseek(s, -back, 2), 0);
            pos = size - back;
            break;
        }
        default: {
            long itemSize = 1 + static_cast<long>(rng() % 5);
            long count = 1 + static_cast<long>(rng() % (8000 / itemSize));
            long available = std::max(0L, size - pos);
            long bytes = std::min(available, itemSize * count);
            ASSERT_EQ(dvk_file_fread(got.data(), itemSize, count, s), bytes / itemSize) << step;
            if (bytes > 0) {
                ASSERT_EQ(std::string(got.data(), bytes), data.substr(pos, bytes)) << step;
            }
            pos += bytes;
            break;
        }
        }
        ASSERT_EQ(dvk_file_ftell(s), pos) << step;
    }
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

// Random writes and seeks, then the file must hold what a plain byte array holds.
TEST_F(FileTest, RandomWritesMatchAPlainArray)
{
    dvk_file_Stream* s = dvk_file_fopen("dvk_voc_dede.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    std::string model;
    long pos = 0;
    std::mt19937 rng(11);
    for (int step = 0; step < 300; ++step) {
        if (rng() % 3 == 0 && !model.empty()) {
            long target = static_cast<long>(rng() % model.size());
            ASSERT_EQ(dvk_file_fseek(s, target, 0), 0);
            pos = target;
        } else {
            std::string chunk = pattern(1 + rng() % 6000);
            std::rotate(chunk.begin(), chunk.begin() + static_cast<long>(rng() % chunk.size()), chunk.end());
            ASSERT_EQ(dvk_file_fwrite(chunk.data(), 1, static_cast<long>(chunk.size()), s),
                      static_cast<long>(chunk.size()));
            if (model.size() < pos + chunk.size())
                model.resize(pos + chunk.size());
            model.replace(static_cast<size_t>(pos), chunk.size(), chunk);
            pos += static_cast<long>(chunk.size());
        }
        ASSERT_EQ(dvk_file_ftell(s), pos);
    }
    EXPECT_EQ(dvk_file_fclose(&s), 0);
    EXPECT_EQ(readDisk("dvk_voc_dede.dat"), model);
}

TEST_F(FileTest, CloseFailsWhenTheLastBytesCannotBeWritten)
{
    std::filesystem::create_directories(writablePath(""));
    std::filesystem::create_symlink("/dev/full", writablePath("full.dat"));
    const std::string data = pattern(100);

    dvk_file_Stream* s = dvk_file_fopen("full.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(dvk_file_fwrite(data.data(), 1, 100, s), 100);
    EXPECT_NE(dvk_file_fclose(&s), 0);
    EXPECT_EQ(s, nullptr);

    // More than a window: the full device stops the write early.
    const std::string big = pattern(3 * DVK_FILE_BUFFER_SIZE);
    s = dvk_file_fopen("full.dat", DVK_OEM_FILE_MODE_WRITE);
    ASSERT_NE(s, nullptr);
    EXPECT_LT(dvk_file_fwrite(big.data(), 1, static_cast<long>(big.size()), s),
              static_cast<long>(big.size()));
    EXPECT_NE(dvk_file_fclose(&s), 0);
}

TEST_F(FileTest, OpenUnderMemoryShortageLeavesTheFileAlone)
{
    m_root.writeFile(kInstall + "/c.bin", "abc");
    m_root.writeFile(kWritable + "/dvk_voc_enus.dat", "saved");
    const size_t before = openDescriptors();
    const long blocks = dvk_mem_liveBlocks();
    for (long allowed : {0L, 1L}) {
        dvk_mem_failAfter(allowed);
        EXPECT_EQ(dvk_file_fopen("c.bin", DVK_OEM_FILE_MODE_READ), nullptr) << allowed;
        EXPECT_EQ(dvk_file_fopen("dvk_voc_enus.dat", DVK_OEM_FILE_MODE_WRITE), nullptr) << allowed;
        EXPECT_EQ(openDescriptors(), before) << allowed;
        EXPECT_EQ(dvk_mem_liveBlocks(), blocks) << allowed;
        // The voice data written earlier is still whole.
        EXPECT_EQ(readDisk("dvk_voc_enus.dat"), "saved") << allowed;
    }
    dvk_mem_failAfter(-1);
    EXPECT_EQ(dvk_file_fopen("missing.bin", DVK_OEM_FILE_MODE_READ), nullptr);
    EXPECT_EQ(dvk_mem_liveBlocks(), blocks);
    dvk_file_Stream* s = dvk_file_fopen("c.bin", DVK_OEM_FILE_MODE_READ);
    EXPECT_NE(s, nullptr);
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

TEST_F(FileTest, RefusesBadSeeksAndWritesToAReadStream)
{
    m_root.writeFile(kInstall + "/d.bin", "abcdef");
    dvk_file_Stream* s = dvk_file_fopen("d.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(s, nullptr);
    EXPECT_NE(dvk_file_fseek(s, 0, 3), 0);
    EXPECT_NE(dvk_file_fseek(s, -1, 0), 0);
    EXPECT_NE(dvk_file_fseek(s, -7, 2), 0);
    EXPECT_EQ(dvk_file_ftell(s), 0);
    EXPECT_EQ(dvk_file_fwrite("xy", 1, 2, s), 0);
    char got[6];
    EXPECT_EQ(dvk_file_fread(got, 1, 6, s), 6);
    EXPECT_EQ(std::string(got, 6), "abcdef");
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

TEST_F(FileTest, NamesPassStraightToThePortingLayer)
{
    dvk_file_Stream* none = nullptr;
    EXPECT_EQ(dvk_file_fclose(&none), 0);
    EXPECT_EQ(dvk_file_fopen("missing.bin", DVK_OEM_FILE_MODE_READ), nullptr);
    EXPECT_EQ(dvk_file_fsize("missing.bin"), 0);
    m_root.writeFile(kWritable + "/e.dat", "12345");
    EXPECT_EQ(dvk_file_fsize("e.dat"), 5);
    EXPECT_EQ(dvk_file_fexist("e.dat"), 1);
    EXPECT_EQ(dvk_file_rename("e.dat", "f.dat"), 0);
    EXPECT_EQ(dvk_file_fexist("e.dat"), 0);
    EXPECT_EQ(dvk_file_remove("f.dat"), 0);
    EXPECT_EQ(dvk_file_remove("f.dat"), -1);
}

using FileDeathTest = FileTest;

TEST_F(FileDeathTest, ArgumentErrorsStopWithFileLineFunctionAndCondition)
{
    m_root.writeFile(kInstall + "/g.bin", "abc");
    dvk_file_Stream* s = dvk_file_fopen("g.bin", DVK_OEM_FILE_MODE_READ);
    ASSERT_NE(s, nullptr);
    char got[4];
    EXPECT_DEATH(dvk_file_fread(got, 0, 1, s),
                 "Assertion failed: size > 0, file .*dvk_file\\.cpp, line [0-9]+, function dvk_file_fread");
    EXPECT_DEATH(dvk_file_fread(nullptr, 1, 1, s), "buffer != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_file_fwrite(got, 1, 0, s), "count > 0");
    EXPECT_DEATH(dvk_file_fopen(nullptr, 0), "fileName != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_file_fopen("g.bin", 2), "mode == DVK_OEM_FILE_MODE_READ");
    EXPECT_DEATH(dvk_file_fclose(nullptr), "stream != \\(\\(void \\*\\)0\\)");
    EXPECT_EQ(dvk_file_fclose(&s), 0);
}

} // namespace
