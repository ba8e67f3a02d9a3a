#include "WaitFor.h"

#include <algorithm>

namespace brmptest
{

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            // Not ours to consume: leave it for the thread's own loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD intervalMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        PumpMessages();
        if (condition())
            return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(intervalMs, deadline - now));
        // Wakes early when a message arrives, so a hook thread never waits on us.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

} // namespace brmptest
