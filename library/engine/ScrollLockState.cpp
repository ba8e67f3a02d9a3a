#include "ScrollLockState.h"

#include <windows.h>

#include "Clock.h"
#include "MouseHookDecisions.h"
#include "ThreadLock.h"

namespace
{
// Copied in and out whole under its slim lock, never held across a call.
SRWLOCK g_lock = SRWLOCK_INIT;
ScrollLockReading g_reading;
} // namespace

bool ScrollLockToggled()
{
    const DWORD now = TickNow();
    ScrollLockReading reading;
    {
        SlimLock lock(g_lock);
        reading = g_reading;
    }
    if (!ScrollLockReadDue(reading, now))
        return reading.on;
    const bool on = (::GetKeyState(VK_SCROLL) & 1) != 0;
    SlimLock lock(g_lock);
    g_reading.valid = true;
    g_reading.on = on;
    g_reading.readAt = now;
    return on;
}

void NoteScrollLockKey()
{
    const DWORD now = TickNow();
    SlimLock lock(g_lock);
    g_reading.keySeen = true;
    g_reading.keyAt = now;
}

void ForgetScrollLockReading()
{
    SlimLock lock(g_lock);
    g_reading = ScrollLockReading{};
}
