#include "oem/dvk_logfile.h"

void dvk_logfile_open() {}

void dvk_logfile_log(const char* /*format*/, ...) {}
