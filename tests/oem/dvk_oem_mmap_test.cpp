#include "oem/dvk_oem_mmap.h"

#include "sdk/common/dvk_mmap.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const std::string kInstall = "/usr/orvel/services/com.orvel.service.merrowind";
const std::string kLangPack = kInstall + "/language-packs";
const std::string kWritable = "/media/cryptofs/data/com.orvel.service.merrowind";
const std::string kAppData = "/media/cryptofs/apps/usr/orvel/data/com.orvel.service.merrowind";

class MmapTest : public ::testing::Test {
protected:
    // The mapped contents, or "<null>".
    static std::string mapped(const char* name)
    {
        dvk_oem_mmap_Handle* handle = dvk_oem_mmap_openFile(name);
        if (handle == nullptr)
            return "<null>";
        std::string text(static_cast<const char*>(dvk_oem_mmap_mapFile(handle)), handle->size);
        dvk_oem_mmap_unmapFile(handle);
        return text;
    }

    TempRoot m_root;
    LogCapture m_log;
};

TEST_F(MmapTest, LanguagePacksAreSearchedOnlyForBinNames)
{
    struct Case {
        std::string dir;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {kInstall, "prm_enus.bin", "prm_enus.bin"},
        {kLangPack, "prm_dede.bin", "prm_dede.bin"},
        {kLangPack, "prm_frfr.dat", "<null>"},
        {kLangPack, "x.binary", "x.binary"},  // contains ".bin"
        {kWritable, "w.dat", "w.dat"},
        {kAppData, "a.dat", "a.dat"},
    };
    for (const Case& c : cases)
        m_root.writeFile(c.dir + "/" + c.name, c.name);
    for (const Case& c : cases)
        EXPECT_EQ(mapped(c.name), c.expected) << c.name;
    EXPECT_TRUE(m_log.contains("dvk_oem_mmap_openFile: Unable to map file prm_frfr.dat"));
}

TEST_F(MmapTest, InstallationCopyWinsAndEmptyFilesMapToNull)
{
    m_root.writeFile(kInstall + "/str_enus.bin", "install");
    m_root.writeFile(kLangPack + "/str_enus.bin", "pack");
    m_root.writeFile(kWritable + "/str_enus.bin", "writable");
    EXPECT_EQ(mapped("str_enus.bin"), "install");
    m_root.writeFile(kInstall + "/empty.bin", "");
    EXPECT_EQ(mapped("empty.bin"), "<null>");
    EXPECT_EQ(mapped("missing.bin"), "<null>");
}

TEST_F(MmapTest, SuiteWrapperClearsTheCallersHandle)
{
    m_root.writeFile(kInstall + "/img_enus.bin", std::string(10000, 'i'));
    dvk_mmap_Handle* handle = dvk_mmap_openFile("img_enus.bin");
    ASSERT_NE(handle, nullptr);
    const char* data = static_cast<const char*>(dvk_mmap_mapFile(handle));
    EXPECT_EQ(std::string(data, 10000), std::string(10000, 'i'));
    dvk_mmap_unmapFile(&handle);
    EXPECT_EQ(handle, nullptr);
    dvk_mmap_unmapFile(&handle);  // a null handle is left alone
    EXPECT_EQ(dvk_mmap_openFile("missing.bin"), nullptr);
}

} // namespace
