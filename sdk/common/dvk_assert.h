// The suite's assertion: a broken precondition is a programming error, so the
// process stops at once, naming the source file, line, function and condition.
// Used by the suite and by its porting layer alike.
#pragma once

#include "platform/core/wex_logger.h"

#include <cstddef>
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

// The condition is named after macro expansion, as the system library's
// assertion names it: a null pointer reads "__null" in the porting layer
// (NULL) and "((void *)0)" in the suite (DVK_NULL).
#define DVK_ASSERT(expression)                                                                     \
    ((expression) ? static_cast<void>(0)                                                           \
                  : dvk_assertFail(__FILE__, __LINE__, __func__, DVK_ASSERT_TEXT_(expression)))
#define DVK_ASSERT_TEXT_(expression) #expression

// The suite's null pointer, in its assertions.
#define DVK_NULL ((void *)0)
