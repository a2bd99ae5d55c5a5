// The engine watchdog: a client callback that long computations poll so that
// the client can ask them to stop early.
#pragma once

#include <cstdint>

// Returns non-zero to ask the running computation to abort.
typedef int32_t (*DVKWatchDogFunc)(void* argument);

// Installs the callback and its argument; returns the previous callback and,
// when previousArgument is not null, stores the previous argument there.
DVKWatchDogFunc DVKWatchDog_SetCallback(DVKWatchDogFunc func, void* argument,
                                        void** previousArgument);
// 1 when the callback asks to abort, else 0 (0 without a callback).
int32_t DVKWatchDog_Call(void);
// Raises "Aborting due to WatchDog Request" at file and line when the
// callback asks to abort.
void DVKWatchDog_CallAndAbort(const char* file, int line);
