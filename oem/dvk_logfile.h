// The suite's log file hooks; the service logs through its own loggers, so
// both do nothing.
#pragma once

void dvk_logfile_open();
void dvk_logfile_log(const char* format, ...);
