#include "core/brevit/runtime/dvk_time.h"

#include <cstdio>
#include <cstring>

// The suite core's phone-information service. Weak, so that an engine
// linked without the suite sees the phone's clock as unavailable.
struct dvk_oem_check_PhoneInfo;
dvk_oem_check_PhoneInfo* dvk_check_getPhoneInfo(void) __attribute__((weak));
void dvk_check_getTime(dvk_oem_check_PhoneInfo* info, int32_t* first, int32_t* second,
                       int32_t* third, int32_t* fourth) __attribute__((weak));
void dvk_check_destroyPhoneInfo(dvk_oem_check_PhoneInfo** info) __attribute__((weak));

void DVK_GetTime(DVKTimeRecord* record)
{
    if (record == nullptr) {
        return;
    }
    std::memset(record, 0xFF, sizeof(*record));
    if (dvk_check_getPhoneInfo == nullptr || dvk_check_getTime == nullptr ||
        dvk_check_destroyPhoneInfo == nullptr) {
        return;
    }
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    if (info == nullptr) {
        return;
    }
    int32_t fields[4] = {-1, -1, -1, -1};
    dvk_check_getTime(info, &fields[0], &fields[1], &fields[2], &fields[3]);
    dvk_check_destroyPhoneInfo(&info);
    for (int i = 0; i < 4; ++i) {
        record->words[i] = static_cast<uint32_t>(fields[3 - i]);
    }
    record->words[4] = 0;
}

time_t DVKTime_GetTime(time_t* out)
{
    return time(out);
}

const char* DVKTime_GetTimeString(const time_t* value)
{
    // asctime's own buffer overflows for years past 9999 and it takes no
    // null; the same text is formatted here into room for any int year.
    static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static char text[64];
    if (value == nullptr) {
        return nullptr;
    }
    struct tm parts;
    if (localtime_r(value, &parts) == nullptr || parts.tm_wday < 0 || parts.tm_wday > 6 ||
        parts.tm_mon < 0 || parts.tm_mon > 11) {
        return nullptr;
    }
    const long long year = static_cast<long long>(parts.tm_year) + 1900;
    std::snprintf(text, sizeof(text), "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n", kDays[parts.tm_wday],
                  kMonths[parts.tm_mon], parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  year);
    return text;
}

double DVKTime_DiffTime(const time_t* a, const time_t* b)
{
    if (a == nullptr || b == nullptr) {
        return 0.0;
    }
    return difftime(*a, *b);
}

int64_t DVKTime_UserMillis(const struct rusage* usage)
{
    return static_cast<int64_t>(usage->ru_utime.tv_sec) * 1000 +
           static_cast<int64_t>(usage->ru_utime.tv_usec) / 1000;
}

int64_t DVKTime_GetRusage(void)
{
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return 0;
    }
    return DVKTime_UserMillis(&usage);
}

namespace {

void takeSnapshot(struct rusage* usage)
{
    if (getrusage(RUSAGE_SELF, usage) != 0) {
        std::memset(usage, 0, sizeof(*usage));
    }
}

double userMicros(const struct rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec) * 1000000.0 +
           static_cast<double>(usage.ru_utime.tv_usec);
}

}  // namespace

void DVKTime_StartPerformanceTimer(DVKPerformanceTimer* timer)
{
    takeSnapshot(&timer->start);
    timer->previous = timer->start;
    timer->last = timer->start;
}

void DVKTime_StopPerformanceTimer(DVKPerformanceTimer* timer)
{
    takeSnapshot(&timer->last);
}

double DVKTime_DiffPerformanceTimes(const DVKPerformanceTimer* timer)
{
    return userMicros(timer->last) - userMicros(timer->start);
}

double DVKTime_GetPerformanceTimerIntervalTime(DVKPerformanceTimer* timer)
{
    timer->previous = timer->last;
    takeSnapshot(&timer->last);
    return userMicros(timer->last) - userMicros(timer->previous);
}

double DVKTime_GetPerformanceTimerClocksPerSecond(void)
{
    return 1000000.0;
}
