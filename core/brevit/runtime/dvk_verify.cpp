#include "core/brevit/runtime/dvk_verify.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

constexpr int32_t kStride = 4096;

std::mutex s_probeLock;
struct sigaction s_previous;
// The probing thread's jump target; a fault on any other thread is not ours.
thread_local sigjmp_buf t_segvJmpBuf;
thread_local volatile sig_atomic_t t_armed = 0;

void segvHandler(int)
{
    if (t_armed) {
        t_armed = 0;
        siglongjmp(t_segvJmpBuf, 1);
    }
    // Someone else's fault: hand it to the previous action by re-executing
    // the faulting instruction under it.
    sigaction(SIGSEGV, &s_previous, nullptr);
}

enum class Touch { String, Read, Write };

// The touching itself must not be checked by the address sanitizer: finding
// out whether the memory is there is the point.
__attribute__((no_sanitize("address"), noinline)) void touch(Touch kind, void* p, int32_t size)
{
    auto* bytes = static_cast<volatile unsigned char*>(p);
    volatile unsigned char sink = 0;
    switch (kind) {
    case Touch::String:
        for (int32_t i = 0; i < size; ++i) {
            const unsigned char c = bytes[i];
            if (c == 0)
                break;
        }
        break;
    case Touch::Read:
    case Touch::Write:
        for (int64_t i = 0; i < size; i += kStride) {
            const unsigned char c = bytes[i];
            sink = sink ^ c;
            if (kind == Touch::Write)
                bytes[i] = c;
        }
        {
            const unsigned char c = bytes[size - 1];
            sink = sink ^ c;
            if (kind == Touch::Write)
                bytes[size - 1] = c;
        }
        break;
    }
    (void)sink;
}

int32_t probe(Touch kind, const void* p, int32_t size)
{
    if (size < 1)
        return 1;
    if (p == nullptr)
        return 1;
    std::lock_guard<std::mutex> lock(s_probeLock);
    struct sigaction action = {};
    action.sa_handler = segvHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    if (sigaction(SIGSEGV, &action, &s_previous) != 0)
        return 1;
    volatile int32_t result = 0;
    if (sigsetjmp(t_segvJmpBuf, 1) == 0) {
        t_armed = 1;
        touch(kind, const_cast<void*>(p), size);
        t_armed = 0;
    } else {
        result = 1;
    }
    sigaction(SIGSEGV, &s_previous, nullptr);
    return result;
}

} // namespace

int32_t DVKVerify_StringPtr(const char* s)
{
    return DVKVerify_String(s, 0x7FFFFFFF);
}

int32_t DVKVerify_String(const char* s, int32_t maxLength)
{
    return probe(Touch::String, s, maxLength);
}

int32_t DVKVerify_ReadPtr(const void* p, int32_t size)
{
    return probe(Touch::Read, p, size);
}

int32_t DVKVerify_WritePtr(void* p, int32_t size)
{
    return probe(Touch::Write, p, size);
}
