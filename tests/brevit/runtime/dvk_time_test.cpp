#include "core/brevit/runtime/dvk_time.h"

#include "platform/core/wex_root.h"
#include "sdk/common/dvk_check.h"
#include "sdk/common/dvk_mem.h"
#include "tests/support/suite_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The clock reads the phone's time through the suite's phone-information
// service, from the porting layer's record file.
class DVKTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
        forgetSuiteRecordCaches();
    }
    void TearDown() override { dvk_mem_failAfter(-1); }
};

TEST_F(DVKTimeTest, GetTimeStoresThePhoneFieldsLastToFirstAndReleasesTheRecord)
{
    // Referenced here, so the suite's service is linked and not left weak.
    ASSERT_NE(&dvk_check_getPhoneInfo, nullptr);
    const long live = dvk_mem_liveBlocks();
    DVKTimeRecord record;
    std::memset(&record, 0x5A, sizeof(record));
    DVK_GetTime(&record);  // no file: the sample record
    const uint32_t expected[5] = {485, 23, 10, 13, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(record.words[i], expected[i]) << i;
    EXPECT_EQ(dvk_mem_liveBlocks(), live);

    writeSuiteRecord("dvk_oem_check_app.dat",
                     PhoneInfoRecordWriter().word(7, -1).word(8, 45).word(9, 7).word(10, 250).bytes());
    forgetSuiteRecordCaches();
    DVK_GetTime(&record);
    EXPECT_EQ(record.words[0], 250u);
    EXPECT_EQ(record.words[1], 7u);
    EXPECT_EQ(record.words[2], 45u);
    EXPECT_EQ(record.words[3], 0xFFFFFFFFu);
    EXPECT_EQ(record.words[4], 0u);
}

TEST_F(DVKTimeTest, GetTimeWithoutPhoneInformationFillsEveryByte)
{
    dvk_mem_failAfter(0);
    DVKTimeRecord record = {};
    DVK_GetTime(&record);
    for (uint32_t word : record.words) {
        EXPECT_EQ(word, 0xFFFFFFFFu);
    }
    DVK_GetTime(nullptr);  // no record: nothing to fill
}

TEST_F(DVKTimeTest, CalendarTimeAndDifference)
{
    time_t stored = 0;
    const time_t now = DVKTime_GetTime(&stored);
    EXPECT_EQ(now, stored);
    EXPECT_GT(DVKTime_GetTime(nullptr), 0);

    const time_t a = 1000;
    const time_t b = 250;
    EXPECT_DOUBLE_EQ(DVKTime_DiffTime(&a, &b), 750.0);
    EXPECT_DOUBLE_EQ(DVKTime_DiffTime(&b, &a), -750.0);
    EXPECT_DOUBLE_EQ(DVKTime_DiffTime(nullptr, &a), 0.0);
}

TEST_F(DVKTimeTest, TimeStringMatchesAsctimeAndCopesWithFarYears)
{
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        time_t value;
        const char* text;
    };
    const Case cases[] = {
        {0, "Thu Jan  1 00:00:00 1970\n"},
        {1796914128, "Thu Dec 10 14:48:48 2026\n"},
        // Past year 9999 asctime's 26-byte buffer overflows.
        {253402300800, "Sat Jan  1 00:00:00 10000\n"},
        {-62135596800 - 86400, "Sun Dec 31 00:00:00 0\n"},
    };
    for (const Case& c : cases) {
        const char* text = DVKTime_GetTimeString(&c.value);
        ASSERT_NE(text, nullptr) << c.text;
        EXPECT_STREQ(text, c.text);
    }
    const time_t tooLarge = static_cast<time_t>(1) << 62;
    EXPECT_EQ(DVKTime_GetTimeString(&tooLarge), nullptr);
    EXPECT_EQ(DVKTime_GetTimeString(nullptr), nullptr);
}

TEST_F(DVKTimeTest, UserCpuTimeInMilliseconds)
{
    struct rusage usage = {};
    usage.ru_utime.tv_sec = 2;
    usage.ru_utime.tv_usec = 345678;
    usage.ru_stime.tv_sec = 9;  // system time is not counted
    EXPECT_EQ(DVKTime_UserMillis(&usage), 2345);

    usage.ru_utime.tv_sec = 3000000;  // past 32 bits of milliseconds
    usage.ru_utime.tv_usec = 999;
    EXPECT_EQ(DVKTime_UserMillis(&usage), INT64_C(3000000000));

    const int64_t before = DVKTime_GetRusage();
    EXPECT_GE(before, 0);
    EXPECT_GE(DVKTime_GetRusage(), before);
}

TEST_F(DVKTimeTest, PerformanceTimerMovesForward)
{
    DVKPerformanceTimer timer;
    DVKTime_StartPerformanceTimer(&timer);
    EXPECT_EQ(std::memcmp(&timer.start, &timer.previous, sizeof(timer.start)), 0);
    EXPECT_EQ(std::memcmp(&timer.start, &timer.last, sizeof(timer.start)), 0);
    EXPECT_DOUBLE_EQ(DVKTime_DiffPerformanceTimes(&timer), 0.0);

    DVKTime_StopPerformanceTimer(&timer);
    const double total = DVKTime_DiffPerformanceTimes(&timer);
    EXPECT_GE(total, 0.0);

    const struct rusage lastBefore = timer.last;
    const double interval = DVKTime_GetPerformanceTimerIntervalTime(&timer);
    EXPECT_EQ(std::memcmp(&timer.previous, &lastBefore, sizeof(lastBefore)), 0);
    EXPECT_GE(interval, 0.0);
    EXPECT_GE(DVKTime_DiffPerformanceTimes(&timer), total);
    EXPECT_DOUBLE_EQ(DVKTime_GetPerformanceTimerClocksPerSecond(), 1000000.0);
}

TEST_F(DVKTimeTest, PerformanceTimesAreUserMicroseconds)
{
    DVKPerformanceTimer timer = {};
    timer.start.ru_utime.tv_sec = 1;
    timer.start.ru_utime.tv_usec = 900000;
    timer.last.ru_utime.tv_sec = 3;
    timer.last.ru_utime.tv_usec = 100000;
    timer.last.ru_stime.tv_sec = 50;
    EXPECT_DOUBLE_EQ(DVKTime_DiffPerformanceTimes(&timer), 1200000.0);
}

}  // namespace
