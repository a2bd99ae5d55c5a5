#include "core/brevit/runtime/dvk_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

// A stand-in for the suite core's phone-information service, so that the
// engine clock can be fed known time fields or made unavailable.
struct dvk_oem_check_PhoneInfo {
    int32_t time[4];
};

namespace {

bool gPhoneInfoAvailable = true;
int gPhoneInfoLive = 0;
dvk_oem_check_PhoneInfo gPhoneInfo = {{13, 45, 7, 250}};

}  // namespace

dvk_oem_check_PhoneInfo* dvk_check_getPhoneInfo(void)
{
    if (!gPhoneInfoAvailable) {
        return nullptr;
    }
    ++gPhoneInfoLive;
    return new dvk_oem_check_PhoneInfo(gPhoneInfo);
}

void dvk_check_getTime(dvk_oem_check_PhoneInfo* info, int32_t* first, int32_t* second,
                       int32_t* third, int32_t* fourth)
{
    *first = info->time[0];
    *second = info->time[1];
    *third = info->time[2];
    *fourth = info->time[3];
}

void dvk_check_destroyPhoneInfo(dvk_oem_check_PhoneInfo** info)
{
    --gPhoneInfoLive;
    delete *info;
    *info = nullptr;
}

namespace {

class DVKTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gPhoneInfoAvailable = true;
        gPhoneInfoLive = 0;
        gPhoneInfo = dvk_oem_check_PhoneInfo{{13, 45, 7, 250}};
    }
};

TEST_F(DVKTimeTest, GetTimeStoresThePhoneFieldsLastToFirstAndReleasesTheRecord)
{
    DVKTimeRecord record;
    std::memset(&record, 0x5A, sizeof(record));
    DVK_GetTime(&record);
    EXPECT_EQ(record.words[0], 250u);
    EXPECT_EQ(record.words[1], 7u);
    EXPECT_EQ(record.words[2], 45u);
    EXPECT_EQ(record.words[3], 13u);
    EXPECT_EQ(record.words[4], 0u);
    EXPECT_EQ(gPhoneInfoLive, 0);

    gPhoneInfo = dvk_oem_check_PhoneInfo{{-1, -1, -1, -1}};
    DVK_GetTime(&record);
    EXPECT_EQ(record.words[0], 0xFFFFFFFFu);
    EXPECT_EQ(record.words[4], 0u);
}

TEST_F(DVKTimeTest, GetTimeWithoutPhoneInformationFillsEveryByte)
{
    gPhoneInfoAvailable = false;
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
