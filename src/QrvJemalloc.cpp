#include "src/QrvJemalloc.h"

#include "platform/core/wex_root.h"

#include <cstdlib>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#define QRV_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QRV_SANITIZED 1
#endif
#endif

const char* const enableJemalloc::LIBRARY = "/usr/lib/libjemalloc_mt.so";

bool enableJemalloc::enabled()
{
#ifdef QRV_SANITIZED
    return false;
#else
    return true;
#endif
}

enableJemalloc::enableJemalloc()
{
    if (!enabled())
        return;
    if (setenv("LD_PRELOAD", wexRootPath(LIBRARY).c_str(), 1) != 0)
        throw std::runtime_error("setenv error");
}
