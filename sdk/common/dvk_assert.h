// The suite's assertion: a broken precondition is a programming error, so the
// process stops at once, naming the source file, line, function and condition.
// Used by the suite and by its porting layer alike.
#pragma once

#include "platform/core/wex_logger.h"

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void dvk_assertFail(const char* file, int line, const char* function,
                                        const char* expression)
{
    static WexLogger logger("DvkAssert");
    logger.log(WexLogError, "Assertion failed: %s, file %s, line %d, function %s", expression,
               file, line, function);
    // The logger may be configured quiet; a stop must never go unexplained.
    if (!logger.isEnabled(WexLogError))
        std::fprintf(stderr, "Assertion failed: %s, file %s, line %d, function %s\n", expression,
                     file, line, function);
    std::fflush(stderr);
    std::abort();
}

#define DVK_ASSERT(expression)                                                                     \
    ((expression) ? static_cast<void>(0)                                                           \
                  : dvk_assertFail(__FILE__, __LINE__, __func__, #expression))
