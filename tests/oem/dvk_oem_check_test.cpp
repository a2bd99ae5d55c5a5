#include "oem/dvk_oem_check.h"

#include "platform/core/wex_root.h"
#include "sdk/common/dvk_check.h"
#include "tests/support/suite_memory.h"
#include "tests/support/suite_records.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace {

const char kName[] = "dvk_oem_check_app.dat";

class OemCheckTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
        forgetSuiteRecordCaches();
    }

    static std::array<int32_t, 7> timeAndDate()
    {
        std::array<int32_t, 7> out{};
        dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
        EXPECT_NE(info, nullptr);
        dvk_check_getTime(info, &out[0], &out[1], &out[2], &out[3]);
        dvk_check_getDate(info, &out[4], &out[5], &out[6]);
        dvk_check_destroyPhoneInfo(&info);
        return out;
    }
};

TEST_F(OemCheckTest, MissingFileGivesTheSampleValues)
{
    EXPECT_EQ(timeAndDate(), (std::array<int32_t, 7>{13, 10, 23, 485, 5, 10, 31}));
    EXPECT_EQ(readSuiteRecord(kName), PhoneInfoRecordWriter().bytes());
}

TEST_F(OemCheckTest, UnusableFilesAreReplaced)
{
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"own number not terminated", PhoneInfoRecordWriter()
                                          .number(u"12345678901234567890123456789012")
                                          .word(4, 99).bytes()},
        {"167 bytes", PhoneInfoRecordWriter().word(4, 99).bytes(167)},
        {"169 bytes", PhoneInfoRecordWriter().word(4, 99).bytes(169)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSuiteRecord(kName, c.bytes);
        forgetSuiteRecordCaches();
        dvk_oem_check_PhoneInfo info;
        dvk_oem_check_getPhoneInfo(&info);
        EXPECT_EQ(info.batteryLevel, 3);
        EXPECT_EQ(readSuiteRecord(kName), PhoneInfoRecordWriter().bytes());
    }
}

TEST_F(OemCheckTest, ATerminatedRecordIsServedAsItIs)
{
    writeSuiteRecord(kName, PhoneInfoRecordWriter().number(u"5550100").word(4, 99).word(25, -7).bytes());
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(dvk_check_getBatteryLevel(info), 99);
    EXPECT_EQ(dvk_check_getVoiceMessages(info), -7);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(dvk_check_getPhoneNumber(info))),
              u"5550100");
    dvk_check_destroyPhoneInfo(&info);
    EXPECT_EQ(info, nullptr);

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_check_getPhoneInfo(), nullptr);
}

TEST_F(OemCheckTest, EveryAccessorReadsItsWord)
{
    PhoneInfoRecordWriter writer;
    for (int i = 0; i < 26; ++i)
        writer.word(i, 100 + i);
    writeSuiteRecord(kName, writer.bytes());
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    int32_t (*const accessors[])(const dvk_oem_check_PhoneInfo*) = {
        dvk_check_getNetworkCoverage, dvk_check_getNetworkType, dvk_check_getSignalStrength,
        dvk_check_get2ndSignalStrength, dvk_check_getBatteryLevel, dvk_check_getVolumeLevel,
        dvk_check_getLocationMode};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(accessors[i](info), 100 + i) << i;
    int32_t (*const counts[])(const dvk_oem_check_PhoneInfo*) = {
        dvk_check_getMissedCalls, dvk_check_getVoiceMails, dvk_check_getMessages,
        dvk_check_getTextMessages, dvk_check_getPictureMessages, dvk_check_getSMSMessages,
        dvk_check_getMMSMessages, dvk_check_getVideoMessages, dvk_check_getVoiceSMSMessages,
        dvk_check_getVoiceClipMessages, dvk_check_getVoiceNoteMessages,
        dvk_check_getVoiceMessages};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(counts[i](info), 114 + i) << i;
    dvk_check_destroyPhoneInfo(&info);
    EXPECT_EQ(timeAndDate(), (std::array<int32_t, 7>{107, 108, 109, 110, 113, 111, 112}));
}

} // namespace
