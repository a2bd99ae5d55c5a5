// The seeds of the record fuzz targets (fuzz/suite_settings/corpus,
// fuzz/suite_phone_info/corpus) come from the record writers. This test
// checks that the committed files are current; with
// MERROWIND_WRITE_FUZZ_SEEDS=1 it writes them instead.
#include "tests/support/suite_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct Seed {
    const char* directory;
    const char* name;
    std::string bytes;
};

void checkOrWrite(const Seed& seed)
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string path = std::string(source) + "/fuzz/" + seed.directory + "/corpus/" + seed.name;
    const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
    if (write != nullptr && std::string(write) == "1") {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << seed.bytes;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path;
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), seed.bytes) << path;
}

TEST(SuiteRecordFuzzSeeds, AreMadeByTheWriters)
{
    const Seed seeds[] = {
        {"suite_settings", "defaults", SettingsRecordWriter().bytes()},
        {"suite_settings", "changed", SettingsRecordWriter().word(83, 7000).word(69, 1).word(117, 3).bytes()},
        {"suite_settings", "out_of_range", SettingsRecordWriter().word(73, 4).word(119, 1).word(120, 2).bytes()},
        {"suite_settings", "short", SettingsRecordWriter().bytes(483)},
        {"suite_settings", "long", SettingsRecordWriter().bytes(485)},
        {"suite_settings", "magic", SettingsRecordWriter().word(0, 0x1234567A).bytes()},
        {"suite_phone_info", "defaults", PhoneInfoRecordWriter().bytes()},
        {"suite_phone_info", "served", PhoneInfoRecordWriter().number(u"5550100").word(4, 99).bytes()},
        {"suite_phone_info", "unterminated", PhoneInfoRecordWriter().number(std::u16string(32, u'7')).bytes()},
        {"suite_phone_info", "short", PhoneInfoRecordWriter().bytes(167)},
        {"suite_phone_info", "long", PhoneInfoRecordWriter().bytes(169)},
    };
    for (const Seed& seed : seeds)
        checkOrWrite(seed);
}

} // namespace
