// Actions that produce mouse input: clicks, the wheel and tilt notches, the
// window scroll and the reveal-desktop key that stays down while the button is.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include "Actions.h"
#include "ApplicationSettings.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "RepeatTimers.h"
#include "SendInput.h"
#include "Settings.h"
#include "WindowScrolling.h"

namespace dispatch
{
namespace
{
bool DoubleClickFix()
{
    return g_pSettings != nullptr && g_pSettings->m_bDoubleClickFix;
}

void Queue(int mouseButton, int kind, POINT point)
{
    g_nQueueWait += SendMouseButton(mouseButton, kind, point, DoubleClickFix(), Quillon());
}

void Signal()
{
    if (g_threads.pSendInput != nullptr)
        g_threads.pSendInput->SignalQueue();
}

int PrimaryButton()
{
    return ::GetSystemMetrics(SM_SWAPBUTTON) != 0 ? 1 : 0;
}

void FullDoubleClick(int mouseButton, POINT point)
{
    Queue(mouseButton, 1, point);
    Queue(mouseButton, 2, point);
    Queue(mouseButton, 1, point);
    Queue(mouseButton, 2, point);
}

// Any repeat ends with the release of a repeating action's button. The flush
// cuts off a notch that a repetition queued; before the first repetition the
// queue can only hold the press's own notch, which a quick click must still
// send.
void EndRepeat()
{
    if (g_nRepeatButton.load() < 0)
        return;
    if (g_bRepetitionQueued.load())
    {
        StopRepeat();
        return;
    }
    g_nRepeatButton = -1;
    StopEventTimer();
}
} // namespace

BYTE Click(const Event& e, int mouseButton)
{
    const bool downSeen = e.DownSeen();
    if (g_threads.pSendInput == nullptr)
        return e.Up() && !downSeen ? 0 : 1;
    if (e.Up() && !downSeen)
    {
        // The press went to the system as it was (another profile, or before the
        // hooks): complete our click and let the release through as well.
        Queue(mouseButton, 1, e.point);
        Queue(mouseButton, 2, e.point);
        Signal();
        e.click = 1;
        return 0;
    }
    Queue(mouseButton, e.kind, e.point);
    Signal();
    e.click = 1;
    return 1;
}

BYTE DoubleClick(const Event& e)
{
    const int primary = PrimaryButton();
    if (e.Down())
    {
        if (DoubleClickFix())
        {
            Queue(primary, 1, e.point);
            Queue(primary, 2, e.point);
        }
        else
            FullDoubleClick(primary, e.point);
    }
    else if (e.Up() && !e.DownSeen())
        FullDoubleClick(primary, e.point);
    else
        return 1;
    Signal();
    e.click = 1;
    return 1;
}

BYTE DoubleClickDrag(const Event& e)
{
    if (e.Down())
    {
        Queue(0, 1, e.point);
        Queue(0, 2, e.point);
        Queue(0, 1, e.point);
        Signal();
        e.click = 1;
        return 1;
    }
    if (!e.Up())
        return 1;
    Queue(0, 2, e.point);
    Signal();
    e.click = 1;
    return e.DownSeen() ? 1 : 0;
}

BYTE WheelOrTilt(const Event& e)
{
    if (!e.Down())
    {
        EndRepeat();
        return 1;
    }
    switch (e.code)
    {
    case ACTION_MOUSE_WHEEL_UP: MouseWheel(WHEEL_DELTA); break;
    case ACTION_MOUSE_WHEEL_DOWN: MouseWheel(-WHEEL_DELTA); break;
    case ACTION_MOUSE_TILT_LEFT: MouseTilt(-WHEEL_DELTA); break;
    default: MouseTilt(WHEEL_DELTA); break;
    }
    const bool ignoreV = e.profile != nullptr && e.profile->GetIgnoreVScroll();
    const bool ignoreH = e.profile != nullptr && e.profile->GetIgnoreHScroll();
    if (WheelActionRepeats(e.button, ignoreV, ignoreH, Quillon()))
        StartRepeat(e.button, g_system.nKeyRepeatDelay > 0 ? g_system.nKeyRepeatDelay : g_nRepeatDelay.load());
    return 1;
}

BYTE ScrollWindow(const Event& e)
{
    if (!e.Down())
    {
        if (g_threads.pSendInput != nullptr)
            g_threads.pSendInput->FlushQueue(false);
        StopEventTimer();
        g_nRepeatButton = -1;
        return 1;
    }
    switch (e.code)
    {
    case ACTION_SCROLL_WINDOW_UP: brmpScrollWindow(e.point, WHEEL_DELTA); break;
    case ACTION_SCROLL_WINDOW_DOWN: brmpScrollWindow(e.point, -WHEEL_DELTA); break;
    case ACTION_SCROLL_WINDOW_LEFT: brmpScrollWindowHorz(e.point, -WHEEL_DELTA); break;
    default: brmpScrollWindowHorz(e.point, WHEEL_DELTA); break;
    }
    StartRepeat(e.button, g_system.nKeyRepeatDelay > 0 ? g_system.nKeyRepeatDelay : g_nRepeatDelay.load());
    return 1;
}

BYTE RevealDesktop(const Event& e)
{
    if (!e.Down() && !e.Up())
        return 1;
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"ProcessButtonAction: SendInput Thread is not available!");
        return 1;
    }
    const UINT delay = g_pSettings != nullptr ? g_pSettings->m_uSimKeyDelay : 1;
    HKL layout = g_engine.hCurrentWnd != nullptr ? ::GetKeyboardLayout(::GetWindowThreadProcessId(g_engine.hCurrentWnd, nullptr))
                                          : nullptr;
    UINT pending = 0;
    g_threads.pSendInput->SendKeyState(VK_SPACE, false, 8, static_cast<UINT>(-1), false, e.Up(), delay,
                               OwnInputSignature(), layout, pending);
    g_threads.pSendInput->SignalQueue();
    return 1;
}
} // namespace dispatch
