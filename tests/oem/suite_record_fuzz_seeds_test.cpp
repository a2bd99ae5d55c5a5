// The seeds of the record fuzz targets come from the record writers.
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/suite_records.h"

namespace {

TEST(SuiteRecordFuzzSeeds, AreMadeByTheWriters)
{
    const struct {
        const char* target;
        const char* name;
        std::string bytes;
    } seeds[] = {
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
    for (const auto& seed : seeds)
        checkFuzzSeed(seed.target, seed.name, seed.bytes);
}

} // namespace
