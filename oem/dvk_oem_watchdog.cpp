#include "oem/dvk_oem_watchdog.h"

#include <atomic>

namespace {

std::atomic<DvkOemAlivePing> s_ping{nullptr};

} // namespace

void dvkOemSetAlivePing(DvkOemAlivePing ping)
{
    s_ping.store(ping, std::memory_order_release);
}

void dvkOemIAmAlive()
{
    if (DvkOemAlivePing ping = s_ping.load(std::memory_order_acquire))
        ping();
}
