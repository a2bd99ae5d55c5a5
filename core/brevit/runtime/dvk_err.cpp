#include "core/brevit/runtime/dvk_err.h"

#include "core/brevit/runtime/brevit_global_parameters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Fatal errors of this unit carry its own source name and fixed lines.
constexpr const char* kErrUnitFile = "dvk_err.cpp";
constexpr int kPushLine = 287;
constexpr int kPopLine = 313;
constexpr int kThrowLine = 359;

DVKErrStack* s_errorStack = nullptr;
DVKErrBottomFunc s_bottomFunc = nullptr;

void printWarningV(const char* file, int line, const char* format, va_list args)
{
    std::printf("Warning in %s on line %d: ", file != nullptr ? file : "", line);
    std::vprintf(format, args);
    std::putchar('\n');
    std::fflush(stdout);
}

} // namespace

void DVKErr_InitErrorStack(DVKErrStack* stack)
{
    std::memset(stack, 0, sizeof(*stack));
    stack->capacity = kDVKErrFrameCapacity;
    stack->frames = stack->frameStore;
    stack->messageSize = kDVKErrMessageSize;
    stack->message = stack->messageStore;
    stack->file = "";
}

DVKErrStack* DVKErr_SetErrorStack(DVKErrStack* stack)
{
    DVKErrStack* previous = s_errorStack;
    s_errorStack = stack;
    return previous;
}

DVKErrStack* DVKErr_GetErrorStack(void)
{
    return s_errorStack;
}

DVKErrJumpFrame* DVKErr_PushJump(void)
{
    DVKErrStack* stack = s_errorStack;
    if (stack == nullptr)
        _dvk_error(kErrUnitFile, kPushLine, "No error handling installed");
    // A region nested deeper than the stack holds has nowhere to keep its frame.
    if (stack->depth < 0 || stack->depth >= stack->capacity)
        _dvk_error(kErrUnitFile, kPushLine, "Error frames nested too deeply");
    DVKErrJumpFrame* frame = &stack->frames[stack->depth];
    frame->index = stack->depth;
    stack->depth += 1;
    if (stack->depth > stack->deepest)
        stack->deepest = stack->depth;
    return frame;
}

void DVKErr_PopJump(void)
{
    DVKErrStack* stack = s_errorStack;
    if (stack == nullptr)
        _dvk_error(kErrUnitFile, kPopLine, "No error handling installed");
    if (stack->depth <= 0)
        _dvk_error(kErrUnitFile, kPopLine, "Error frame popped below depth 0");
    stack->depth -= 1;
}

void DVKErr_Raise(const char* file, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    DVKErr_RaiseV(file, line, format, args);
}

void DVKErr_RaiseV(const char* file, int line, const char* format, va_list args)
{
    DVKErrStack* stack = s_errorStack;
    if (stack == nullptr)
        _dvk_error(file, line, "Recognizer error");
    stack->file = file;
    stack->line = line;
    if (stack->message != nullptr)
        DVKVsnprintf(stack->message, stack->messageSize, format, args);
    DVKErr_Throw();
}

void DVKErr_Throw(void)
{
    DVKErrStack* stack = s_errorStack;
    // Model data asking for an abort must not end the whole service: say so
    // and unwind as usual.
    if (BrevitParam_Word(kBrevitParamAbortOnError) != 0) {
        const char* message = stack != nullptr && stack->message != nullptr ? stack->message : "";
        _dvk_warning(kErrUnitFile, kThrowLine, "Abort on error requested, unwinding instead: %s",
                     message);
    }
    if (stack == nullptr)
        _dvk_error(kErrUnitFile, kThrowLine, "No error handling installed");
    if (stack->depth > 0) {
        stack->depth -= 1;
        throw dvk_detail::DVKErrUnwind{stack, &stack->frames[stack->depth]};
    }
    if (s_bottomFunc == nullptr)
        _dvk_error("", 0, "Recognizer error");
    s_bottomFunc();
    _dvk_error(kErrUnitFile, kThrowLine, "No error handling installed");
}

DVKErrBottomFunc DVKErr_SetBottomFunc(DVKErrBottomFunc func)
{
    DVKErrBottomFunc previous = s_bottomFunc;
    s_bottomFunc = func;
    return previous;
}

void DVKErr_Warn(const char* file, int line, const char* format, ...)
{
    if (BrevitParam_Word(kBrevitParamWarnings) == 0)
        return;
    va_list args;
    va_start(args, format);
    printWarningV(file, line, format, args);
    va_end(args);
}

void DVKErr_Trace(const char* file, int line, const char* text, long a, long b)
{
    _dvk_trace(file, line, text, a, b);
}

void DVKErr_ClearState(void) {}

const char* DVKErr_GetErrorFile(void)
{
    return "";
}

int DVKErr_GetErrorLine(void)
{
    return 0;
}

const char* DVKErr_GetErrorText(void)
{
    return "";
}

int DVKVsnprintf(char* buffer, int size, const char* format, va_list args)
{
    static const char kMark[] = "Truncated";
    constexpr int kMarkLength = sizeof(kMark) - 1;
    if (buffer == nullptr || size <= 0)
        return -1;
    int n = std::vsnprintf(buffer, static_cast<size_t>(size), format, args);
    if (n >= 0 && n < size)
        return n;
    if (size > kMarkLength) {
        std::memcpy(buffer + size - (kMarkLength + 1), kMark, kMarkLength + 1);
    } else {
        std::memcpy(buffer, kMark + kMarkLength - (size - 1), static_cast<size_t>(size - 1));
        buffer[size - 1] = '\0';
    }
    return -1;
}

void _dvk_trace(const char* file, int line, const char* text, long a, long b)
{
    std::printf("Trace in %s on line %d: %s %ld %ld\n", file != nullptr ? file : "", line,
                text != nullptr ? text : "", a, b);
    std::fflush(stdout);
}

void _dvk_warning(const char* file, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printWarningV(file, line, format, args);
    va_end(args);
}

void _dvk_error(const char* file, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printWarningV(file, line, format, args);
    va_end(args);
    std::exit(1);
}
