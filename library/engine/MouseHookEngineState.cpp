// What the sticky buttons and the repeat timer tell the mouse hook, kept apart
// so that only their own headers are needed here.

#include "MouseHookMovement.h"
#include "RepeatTimers.h"
#include "StickyButtons.h"

bool MouseHookEngineBusy()
{
    return AnyStickyActive() || g_idRepeatTimer.load(std::memory_order_relaxed) != 0;
}
