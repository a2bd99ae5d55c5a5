#include "core/brevit/runtime/dvk_watchdog.h"

#include "core/brevit/runtime/dvk_err.h"

namespace {

DVKWatchDogFunc s_func = nullptr;
void* s_argument = nullptr;

} // namespace

DVKWatchDogFunc DVKWatchDog_SetCallback(DVKWatchDogFunc func, void* argument,
                                        void** previousArgument)
{
    DVKWatchDogFunc previous = s_func;
    if (previousArgument != nullptr)
        *previousArgument = s_argument;
    s_func = func;
    s_argument = argument;
    return previous;
}

int32_t DVKWatchDog_Call(void)
{
    if (s_func == nullptr)
        return 0;
    return s_func(s_argument) != 0 ? 1 : 0;
}

void DVKWatchDog_CallAndAbort(const char* file, int line)
{
    if (DVKWatchDog_Call() != 0)
        DVKErr_Raise(file, line, "Aborting due to WatchDog Request");
}
