#pragma once
// Helpers of the framework tests: bounded message pumping and a guard against
// a modal loop that never ends.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "Dialog.h"
#include "MessageLoop.h"

namespace framework_test
{
// Dispatches the thread's messages (through the framework's pre-translation)
// until condition() holds or timeoutMs pass. Returns condition().
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return condition();
            }
            if (!PreTranslateThreadMessage(&msg))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Dispatches what is queued now.
inline void PumpPending()
{
    PumpUntil([] { return false; }, 0);
}

// Ends a modal dialog that is still open after timeoutMs (with -2), so that a
// failing test ends instead of waiting for ever.
class ModalWatchdog
{
public:
    explicit ModalWatchdog(CDialog& dialog, UINT timeoutMs = 10000) : m_dialog(dialog)
    {
        m_timer = ::SetTimer(nullptr, 0, timeoutMs, &ModalWatchdog::OnTimer);
        Active().push_back(this);
    }
    ~ModalWatchdog()
    {
        ::KillTimer(nullptr, m_timer);
        auto& active = Active();
        active.erase(std::remove(active.begin(), active.end(), this), active.end());
    }
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

    bool Fired() const { return m_fired; }

private:
    static std::vector<ModalWatchdog*>& Active()
    {
        static std::vector<ModalWatchdog*> active;
        return active;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD)
    {
        for (ModalWatchdog* watchdog : Active())
        {
            if (watchdog->m_timer == timer)
            {
                ::KillTimer(nullptr, timer);
                watchdog->m_fired = true;
                watchdog->m_dialog.EndDialog(-2);
            }
        }
    }

    CDialog& m_dialog;
    UINT_PTR m_timer = 0;
    bool m_fired = false;
};
}
