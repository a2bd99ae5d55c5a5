// Engine error handling: a stack of error frames per engine, raising an error
// that unwinds to the innermost frame, the fatal fall-backs when there is no
// frame, bounded formatting and the warning and trace outputs.
//
// The unwind is one internal exception type; only a protected region
// (DVKErr_Protect, used by the engine's entry frames) catches it. Like the
// jump it replaces, it runs no clean-up of the engine frames it skips beyond
// what their own code chooses to do.
#pragma once

#include <cstdarg>
#include <cstdint>

inline constexpr int32_t kDVKErrFrameCapacity = 5;
inline constexpr int32_t kDVKErrMessageSize = 500;

// One protected region's place on the stack (stands where a saved jump
// context stood; the unwind names the frame it targets).
struct DVKErrJumpFrame {
    int32_t index;
};

struct DVKErrStack {
    int32_t capacity;          // frames available: 5
    int32_t depth;             // frames in use
    DVKErrJumpFrame* frames;   // the frames (points into frameStore)
    int32_t deepest;           // largest depth reached
    int32_t messageSize;       // 500
    char* message;             // message of the last raise (points into messageStore)
    const char* file;          // source file of the last raise
    int32_t line;              // source line of the last raise
    DVKErrJumpFrame frameStore[kDVKErrFrameCapacity];
    char messageStore[kDVKErrMessageSize];
};

typedef void (*DVKErrBottomFunc)(void);

// Zero-fills the record and points its frames and message into itself.
void DVKErr_InitErrorStack(DVKErrStack* stack);

DVKErrStack* DVKErr_SetErrorStack(DVKErrStack* stack);
DVKErrStack* DVKErr_GetErrorStack(void);

// Takes the next frame of the current stack. No current stack, or a sixth
// nested frame: fatal error.
DVKErrJumpFrame* DVKErr_PushJump(void);
// Drops the innermost frame (normal exit of a protected region). No current
// stack, or nothing to pop: fatal error.
void DVKErr_PopJump(void);

[[noreturn]] void DVKErr_Raise(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void DVKErr_RaiseV(const char* file, int line, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));
[[noreturn]] void DVKErr_Throw(void);

DVKErrBottomFunc DVKErr_SetBottomFunc(DVKErrBottomFunc func);

// Prints a warning only when the current parameter block enables warnings.
void DVKErr_Warn(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void DVKErr_Trace(const char* file, int line, const char* text, long a, long b);

void DVKErr_ClearState(void);
const char* DVKErr_GetErrorFile(void);
int DVKErr_GetErrorLine(void);
const char* DVKErr_GetErrorText(void);

// Bounded formatting: the length written, or -1 when the buffer is missing
// or the text did not fit (its end then reads "Truncated").
int DVKVsnprintf(char* buffer, int size, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Output sinks, one line each on standard output.
void _dvk_trace(const char* file, int line, const char* text, long a, long b);
void _dvk_warning(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Prints as a warning, then ends the process with exit status 1.
[[noreturn]] void _dvk_error(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

namespace dvk_detail {

// The unwind of an engine error; targets one frame of one stack.
struct DVKErrUnwind {
    DVKErrStack* stack;
    DVKErrJumpFrame* frame;
};

} // namespace dvk_detail

// Runs body as a protected region on the current error stack: 0 when it
// completed, 1 when an engine error unwound to this region (the frame is then
// already popped; the stack keeps the message, file and line).
template <typename Body>
int DVKErr_Protect(Body&& body)
{
    DVKErrJumpFrame* frame = DVKErr_PushJump();
    try {
        body();
    } catch (const dvk_detail::DVKErrUnwind& unwind) {
        if (unwind.frame != frame)
            throw;
        return 1;
    } catch (...) {
        DVKErr_PopJump();
        throw;
    }
    DVKErr_PopJump();
    return 0;
}
