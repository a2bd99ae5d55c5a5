#include "oem/dvk_oem_settings.h"

#include "platform/core/wex_root.h"
#include "tests/support/log_capture.h"
#include "tests/support/suite_records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const char kName[] = "dvk_oem_settings.dat";

int32_t wordOf(const std::string& record, int index)
{
    int32_t value = 0;
    std::memcpy(&value, record.data() + 4 * index, 4);
    return value;
}

int32_t s_language = 5;
int32_t language()
{
    return s_language;
}

class OemSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The service creates the writable directory's parents at start.
        std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
        forgetSuiteRecordCaches();
    }
    void TearDown() override { dvkOemSettingsSetLanguageSource(nullptr); }
};

TEST_F(OemSettingsTest, MissingFileBecomesTheDefaultRecord)
{
    EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 5000);
    std::string record = readSuiteRecord(kName);
    ASSERT_EQ(record.size(), 484u);
    EXPECT_EQ(record.substr(0, 4), std::string("\x79\x56\x34\x12", 4));
    EXPECT_EQ(record.substr(332, 4), std::string("\x88\x13\x00\x00", 4));
    for (int feature = 0; feature < 68; ++feature) {
        bool on = std::string(",0,1,2,3,43,44,48,49,58,59,60,63,").find(
                      "," + std::to_string(feature) + ",") != std::string::npos;
        EXPECT_EQ(dvk_oem_settings_isFeatureEnabled(feature), on ? 1 : 0) << feature;
    }
    EXPECT_EQ(record, SettingsRecordWriter().bytes());
    EXPECT_FALSE(std::filesystem::exists(suiteRecordPath("dvk_oem_settings.dat.tmp")));
}

TEST_F(OemSettingsTest, RecordsOfAnotherSizeOrMagicAreReplaced)
{
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"483 bytes", SettingsRecordWriter().word(83, 7000).bytes(483)},
        {"485 bytes", SettingsRecordWriter().word(83, 7000).bytes(485)},
        {"magic one below", SettingsRecordWriter().word(0, 0x12345678).word(83, 7000).bytes()},
        {"magic one above", SettingsRecordWriter().word(0, 0x1234567A).word(83, 7000).bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSuiteRecord(kName, c.bytes);
        forgetSuiteRecordCaches();
        EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 5000);
        EXPECT_EQ(readSuiteRecord(kName), SettingsRecordWriter().bytes());
    }
}

TEST_F(OemSettingsTest, ValuesOutliveTheProcess)
{
    dvk_oem_settings_setSilenceTimeout(7000);
    forgetSuiteRecordCaches();  // as a new process would
    EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 7000);
    EXPECT_EQ(wordOf(readSuiteRecord(kName), 83), 7000);
}

TEST_F(OemSettingsTest, FeaturesAndGateCommandsReadTheirWords)
{
    writeSuiteRecord(kName, SettingsRecordWriter().word(69, 1).word(68, 0).word(117, 9).bytes());
    EXPECT_EQ(dvk_oem_settings_isFeatureEnabled(67), 1);
    EXPECT_EQ(dvk_oem_settings_isFeatureEnabled(66), 0);
    EXPECT_EQ(dvk_oem_settings_getAudioTipPlayCount(33), 9);
    dvk_oem_settings_setAudioTipPlayCount(0, 4);
    EXPECT_EQ(wordOf(readSuiteRecord(kName), 84), 4);
    EXPECT_DEATH(dvk_oem_settings_isFeatureEnabled(68), "feature < DVK_OEM_SETTINGS_FEATURES");
    EXPECT_DEATH(dvk_oem_settings_isFeatureEnabled(-1), "feature >= 0");
    EXPECT_DEATH(dvk_oem_settings_getAudioTipPlayCount(34), "gateCommand < ");
    EXPECT_DEATH(dvk_oem_settings_setAudioTipPlayCount(-1, 0), "gateCommand >= 0");
}

TEST_F(OemSettingsTest, DialingRegionFollowsTheLanguage)
{
    writeSuiteRecord(kName, SettingsRecordWriter().word(79, 1).bytes());
    dvkOemSettingsSetLanguageSource(language);
    const struct {
        int32_t language, region;
    } cases[] = {{5, 0}, {7, 0}, {9, 0}, {4, 1}, {1, 1}};
    for (auto c : cases) {
        s_language = c.language;
        EXPECT_EQ(dvk_oem_settings_getDialingRegion(), c.region) << c.language;
    }
    dvk_oem_settings_setDialingRegion(0);
    s_language = 4;
    EXPECT_EQ(dvk_oem_settings_getDialingRegion(), 1);
}

TEST_F(OemSettingsTest, AnInvalidLanguageIsLoggedAndReturned)
{
    dvkOemSettingsSetLanguageSource(language);
    s_language = 30;
    LogCapture log;
    EXPECT_EQ(dvk_oem_settings_getCurrentLanguage(), 30);
    EXPECT_TRUE(log.contains("DvkOemSettings", WexLogError,
                             "dvk_oem_settings_getCurrentLanguage: returning invalid language (30) "
                             "to dravik"));
    s_language = 29;
    EXPECT_EQ(dvk_oem_settings_getCurrentLanguage(), 29);
    EXPECT_EQ(log.count("invalid language"), 1u);
}

TEST_F(OemSettingsTest, WordsLaterCodeAssertsOnAreBroughtInRange)
{
    writeSuiteRecord(kName, SettingsRecordWriter().word(73, 4).word(119, 1).word(120, 2)
                                .word(83, 6000).word(71, 9).bytes());
    EXPECT_EQ(dvk_oem_settings_getPromptMode(), 1);
    EXPECT_EQ(dvk_oem_settings_getImageSizeClass(), 0);
    EXPECT_EQ(dvk_oem_settings_getVCMBase(), 0);
    EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 6000);
    EXPECT_EQ(dvk_oem_settings_getChoiceListConfirmMode(), 9);
    std::string stored = readSuiteRecord(kName);
    EXPECT_EQ(wordOf(stored, 73), 1);
    EXPECT_EQ(wordOf(stored, 83), 6000);

    for (int32_t mode : {0, 3}) {
        writeSuiteRecord(kName, SettingsRecordWriter().word(73, mode).bytes());
        forgetSuiteRecordCaches();
        EXPECT_EQ(dvk_oem_settings_getPromptMode(), mode);
    }
    oemSettingsSetVCMBase(2);  // lasts for the process only
    EXPECT_EQ(dvk_oem_settings_getVCMBase(), 2);
    forgetSuiteRecordCaches();
    EXPECT_EQ(dvk_oem_settings_getVCMBase(), 0);
}

TEST_F(OemSettingsTest, AFailedWriteKeepsTheOldRecord)
{
    dvk_oem_settings_setSilenceTimeout(6000);
    const std::string before = readSuiteRecord(kName);
    std::filesystem::create_directory(suiteRecordPath("dvk_oem_settings.dat.tmp"));
    dvk_oem_settings_setSilenceTimeout(9000);
    EXPECT_EQ(readSuiteRecord(kName), before);
    EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 9000);

    std::filesystem::remove(suiteRecordPath("dvk_oem_settings.dat.tmp"));
    writeSuiteRecord("dvk_oem_settings.dat.tmp", "a leftover of a crash, longer than nothing");
    dvk_oem_settings_setGPS(0);
    EXPECT_FALSE(std::filesystem::exists(suiteRecordPath("dvk_oem_settings.dat.tmp")));
    forgetSuiteRecordCaches();
    EXPECT_EQ(dvk_oem_settings_getSilenceTimeout(), 9000);
    EXPECT_EQ(dvk_oem_settings_getGPS(), 0);
}

TEST_F(OemSettingsTest, FixedValues)
{
    int32_t minimum = 0, maximum = 0;
    dvk_oem_settings_getCallExtensionDigitLen(&minimum, &maximum);
    EXPECT_EQ(minimum, 3);
    EXPECT_EQ(maximum, 5);
    EXPECT_EQ(dvk_oem_settings_getMaxRootCommandsPerPage(), 5);
    EXPECT_EQ(dvk_oem_settings_getMaxSelectItemsPerPage(), 5);
    EXPECT_EQ(dvk_oem_settings_getMaxLocationItemsPerPage(), 8);
    EXPECT_EQ(dvk_oem_settings_getEarconVolume(), 2);
    EXPECT_EQ(dvk_oem_settings_getTTSVolume(), 2);
    EXPECT_EQ(dvk_oem_settings_getTTSSpeed(), 100);
    char digits[4] = "xyz";
    sprint3DigNum(digits, 12345);
    EXPECT_STREQ(digits, "345");
    sprint3DigNum(digits, 7);
    EXPECT_STREQ(digits, "007");
}

} // namespace
