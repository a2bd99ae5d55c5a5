// Engine time: the phone's clock as a five-word record, calendar time and
// its text, and user-CPU-time readings for measuring engine work.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <ctime>

// Words 0-3 hold the phone's four time fields last to first (word 0 the
// milliseconds-like fourth field, word 1 the third, ...); word 4 is 0.
// Every byte is 0xFF when the phone information is unavailable.
struct DVKTimeRecord {
    uint32_t words[5];
};

void DVK_GetTime(DVKTimeRecord* record);

time_t DVKTime_GetTime(time_t* out);
// The local time of *value as asctime text ("Thu Dec 10 14:48:48 2026\n"),
// kept in a buffer owned by this module until the next call. Null when value
// is null or the time cannot be broken down.
const char* DVKTime_GetTimeString(const time_t* value);
double DVKTime_DiffTime(const time_t* a, const time_t* b);

// The process's user CPU time in milliseconds.
int64_t DVKTime_GetRusage(void);
// The same reading from a given usage record.
int64_t DVKTime_UserMillis(const struct rusage* usage);

struct DVKPerformanceTimer {
    struct rusage start;
    struct rusage previous;
    struct rusage last;
};

void DVKTime_StartPerformanceTimer(DVKPerformanceTimer* timer);
void DVKTime_StopPerformanceTimer(DVKPerformanceTimer* timer);
// Microseconds of user CPU time from start to last.
double DVKTime_DiffPerformanceTimes(const DVKPerformanceTimer* timer);
// Moves last to previous, takes a new last, and returns last - previous.
double DVKTime_GetPerformanceTimerIntervalTime(DVKPerformanceTimer* timer);
double DVKTime_GetPerformanceTimerClocksPerSecond(void);
