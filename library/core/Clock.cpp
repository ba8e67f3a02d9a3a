#include "Clock.h"

#include <atomic>

namespace
{
std::atomic<TickSource> g_tickSource{nullptr};
}

DWORD TickNow()
{
    const TickSource source = g_tickSource.load(std::memory_order_relaxed);
    return source != nullptr ? source() : ::GetTickCount();
}

TickSource SetTickSource(TickSource source)
{
    return g_tickSource.exchange(source);
}
