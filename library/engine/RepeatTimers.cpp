#include "RepeatTimers.h"

#include <cstdlib>

#include "ActionData.h"
#include "ActionDispatch.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "MouseHookMovement.h"
#include "ProfileTargeting.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"
#include "TimedClicks.h"
#include "WindowFromPoint.h"
#include "WindowScrolling.h"

std::atomic<UINT> g_idRepeatTimer{0};
std::atomic<bool> g_bRepeatStopped{false};
std::atomic<int> g_nRepeatButton{-1};
std::atomic<int> g_nRepeatDelay{100};
std::atomic<bool> g_bRepetitionQueued{false};

namespace
{
// The slot table has its own small lock, never held while calling out, so that
// the timer callbacks can re-arm without the global lock and a stop can never
// wait for a callback that waits for it.
SRWLOCK g_slotLock = SRWLOCK_INIT;
HANDLE g_hQueueTimer[TimerSlotCount] = {};
UINT g_uRepeatTimer = 0;
int g_nSlotDelay[TimerSlotCount] = {};

// The running repeat is something the library holds for the user.
void SetRepeatTimer(UINT id)
{
    g_idRepeatTimer = id;
    g_held.SetRepeating(id != 0);
}

UINT ResolutionFor(int delay)
{
    if (delay > 14)
        return 15;
    if (delay < 5)
        return 0;
    return 5;
}

// Arms the repeat timer. onlyIfRunning: a re-arm by the timer itself, which
// must not bring back a repeat that was stopped meanwhile.
bool ArmRepeat(int delay, bool onlyIfRunning)
{
    if (delay < 1)
        delay = 1;
    UINT old = 0;
    {
        SlimLock guard(g_slotLock);
        if (onlyIfRunning && (g_bRepeatStopped.load() || g_nRepeatButton.load() < 0))
        {
            SetRepeatTimer(0);
            return false;
        }
        old = g_uRepeatTimer;
        g_uRepeatTimer = 0;
        SetRepeatTimer(0);
        g_bRepeatStopped = false;
        g_nSlotDelay[ID_TIMER_REPEAT_SLOT] = delay;
    }
    if (old != 0)
        ::timeKillEvent(old);
    const UINT resolution = ResolutionFor(delay);
    // Without TIME_KILL_SYNCHRONOUS: a kill must never wait for a repetition
    // in flight (which may wait for the global lock the killer holds). A late
    // callback finds its id gone from the slot and does nothing.
    const UINT id = ::timeSetEvent(static_cast<UINT>(delay), resolution, RepeatTimerProc, ID_TIMER_REPEAT_SLOT,
                                   TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
    if (id == 0)
    {
        CLogger::LogOSMessage(::GetLastError(),
                              L"Unable to start high precision event timer %d for %dms with a resolution of %dms",
                              ID_TIMER_REPEAT_SLOT, delay, static_cast<int>(resolution));
        return false;
    }
    bool stale = false;
    {
        SlimLock guard(g_slotLock);
        if (onlyIfRunning && g_bRepeatStopped.load())
        {
            stale = true;
        }
        else
        {
            g_uRepeatTimer = id;
            SetRepeatTimer(id);
        }
    }
    if (stale)
    {
        ::timeKillEvent(id);
        return false;
    }
    CLogger::LogDebug(L"Started event timer %d, fire in %dms windows timer resolution %dms", static_cast<int>(id), delay,
                      static_cast<int>(resolution));
    return true;
}

// The end of a repetition that does not continue. A repeat started since its
// timer fired (the hook thread, once the lock was let go) keeps its marks.
void EndRepeat()
{
    SlimLock guard(g_slotLock);
    if (g_uRepeatTimer == 0)
        SetRepeatTimer(0);
}
} // namespace

bool StartEventTimer(int delayMs)
{
    return ArmRepeat(delayMs, false);
}

bool StopEventTimer()
{
    UINT id = 0;
    {
        SlimLock guard(g_slotLock);
        id = g_uRepeatTimer;
        g_uRepeatTimer = 0;
        SetRepeatTimer(0);
        // Set even without a timer: a repetition running right now must not re-arm.
        g_bRepeatStopped = true;
    }
    if (id == 0)
    {
        CLogger::LogDebug(L"StopEventTimer: Timer %d was not active, nothing to do!", ID_TIMER_REPEAT_SLOT);
        return false;
    }
    const MMRESULT result = ::timeKillEvent(id);
    if (result != TIMERR_NOERROR)
    {
        // A one-shot timer that already fired is gone; nothing is left running.
        CLogger::LogDebug(L"StopEventTimer: Unable to stop event timer %d: Result %d", static_cast<int>(id),
                          static_cast<int>(result));
        return false;
    }
    CLogger::LogDebug(L"StopEventTimer: Stopped event timer %d", static_cast<int>(id));
    return true;
}

bool StartQTTimer(int ms, WAITORTIMERCALLBACK callback, int slot)
{
    if (slot < 1 || slot >= ID_TIMER_REPEAT_SLOT || callback == nullptr)
    {
        CLogger::LogMessage(L"StartQTTimer: Invalid timer slot %d", slot);
        return false;
    }
    if (ms < 0)
        ms = 0;
    HANDLE old = nullptr;
    HANDLE timer = nullptr;
    {
        SlimLock guard(g_slotLock);
        old = g_hQueueTimer[slot];
        g_hQueueTimer[slot] = nullptr;
        g_nSlotDelay[slot] = ms;
        if (!::CreateTimerQueueTimer(&timer, nullptr, callback, reinterpret_cast<PVOID>(static_cast<INT_PTR>(slot)),
                                     static_cast<DWORD>(ms), 0, WT_EXECUTEINTIMERTHREAD | WT_EXECUTEONLYONCE))
        {
            timer = nullptr;
        }
        g_hQueueTimer[slot] = timer;
    }
    // Not waiting: the old timer's callback may be the caller.
    if (old != nullptr)
        ::DeleteTimerQueueTimer(nullptr, old, nullptr);
    if (timer == nullptr)
    {
        CLogger::LogOSDebug(::GetLastError(), L"Unable to create high precision TimerQueue timer %d", slot);
        return false;
    }
    return true;
}

void RetryUnderGlobalLock(const wchar_t* name, int retryMs, WAITORTIMERCALLBACK callback, int slot, void (*work)())
{
    try
    {
        CThreadTryLock lock(name);
        if (!lock)
        {
            StartQTTimer(retryMs, callback, slot);
            return;
        }
        StopQTTimer(slot, true);
        work();
    }
    catch (...)
    {
        CLogger::LogMessage(L"%s: An exception ended the retry", name);
    }
}

bool StopQTTimer(int slot, bool quiet)
{
    if (slot == ID_TIMER_REPEAT_SLOT)
    {
        CLogger::LogMessage(L"Invalid call to StopQTTimer for ID_TIMER_REPEAT. Use StopEventTimer instead!");
        return false;
    }
    if (slot < 1 || slot >= TimerSlotCount)
        return false;
    HANDLE timer = nullptr;
    {
        SlimLock guard(g_slotLock);
        timer = g_hQueueTimer[slot];
        g_hQueueTimer[slot] = nullptr;
    }
    if (timer == nullptr)
        return false;
    if (::DeleteTimerQueueTimer(nullptr, timer, nullptr))
    {
        CLogger::LogDebug(L"StopQTTimer: DeleteTimerQueueTimer %d (0x%016llx)\n", slot,
                          AddressNumber(timer));
    }
    else if (!quiet)
    {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING)
            CLogger::LogOSDebug(error,
                                L"StopQTTimer: Unable to delete QueueTimer %d (0x%016llx) as it is executing. The timer "
                                L"will be cleaned up when execution finishes.\n",
                                slot, AddressNumber(timer));
        else
            CLogger::LogOSDebug(error, L"StopQTTimer: Unable to delete QueueTimer %d (0x%016llx)\n", slot,
                                AddressNumber(timer));
    }
    return true;
}

bool QTTimerActive(int slot)
{
    if (slot < 0 || slot >= TimerSlotCount)
        return false;
    SlimLock guard(g_slotLock);
    return slot == ID_TIMER_REPEAT_SLOT ? g_uRepeatTimer != 0 : g_hQueueTimer[slot] != nullptr;
}

void StopAllEngineTimers()
{
    g_nRepeatButton = -1;
    StopEventTimer();
    for (int slot = 1; slot < ID_TIMER_REPEAT_SLOT; ++slot)
    {
        HANDLE timer = nullptr;
        {
            SlimLock guard(g_slotLock);
            timer = g_hQueueTimer[slot];
            g_hQueueTimer[slot] = nullptr;
        }
        // Waits for a callback in flight, so nothing of ours runs afterwards.
        if (timer != nullptr)
            ::DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    }
}

bool SimulatedInputBusy()
{
    CSendInput* input = g_threads.pSendInput;
    return input != nullptr && input->QueueLength() > 0;
}

bool StartRepeat(int button, int delayMs)
{
    g_bRepetitionQueued = false;
    g_nRepeatButton = button;
    return StartEventTimer(delayMs);
}

void StopRepeat()
{
    g_nRepeatButton = -1;
    StopEventTimer();
    if (g_threads.pSendInput != nullptr)
        g_threads.pSendInput->FlushQueue(false);
}

RepeatWork RepeatWorkFor(int code)
{
    switch (code)
    {
    case ACTION_SIMULATED_KEYS: return RepeatWork::Keys;
    case ACTION_MOUSE_WHEEL_UP: return RepeatWork::WheelUp;
    case ACTION_MOUSE_WHEEL_DOWN: return RepeatWork::WheelDown;
    case 65: return RepeatWork::TiltLeft;
    case 66: return RepeatWork::TiltRight;
    case ACTION_SCROLL_WINDOW_UP: return RepeatWork::ScrollUp;
    case ACTION_SCROLL_WINDOW_DOWN: return RepeatWork::ScrollDown;
    case ACTION_SCROLL_WINDOW_LEFT: return RepeatWork::ScrollLeft;
    case ACTION_SCROLL_WINDOW_RIGHT: return RepeatWork::ScrollRight;
    default: return RepeatWork::None;
    }
}

int KeyRepeatDelay(int waitHoldTime, int keyRepeat, int defaultDelay)
{
    long long delay = static_cast<long long>(waitHoldTime < 0 ? 0 : waitHoldTime) +
                      (keyRepeat != 0 ? keyRepeat : defaultDelay);
    if (delay < 1)
        delay = 1;
    if (delay > 0x7FFFFFFF)
        delay = 0x7FFFFFFF;
    return static_cast<int>(delay);
}

namespace
{
// A held "Scroll Window" button scrolls the window under the cursor on every
// repetition, the same way as its first step.
void ScrollRepeat(RepeatWork work, POINT point)
{
    switch (work)
    {
    case RepeatWork::ScrollUp:
    {
        CThreadLock lock(L"RepeatTimerProc _SCROLL_UP");
        brmpScrollWindow(point, WHEEL_DELTA);
        break;
    }
    case RepeatWork::ScrollDown:
    {
        CThreadLock lock(L"RepeatTimerProc _SCROLL_DOWN");
        brmpScrollWindow(point, -WHEEL_DELTA);
        break;
    }
    case RepeatWork::ScrollLeft:
    {
        CThreadLock lock(L"RepeatTimerProc _SCROLL_LEFT");
        brmpScrollWindowHorz(point, -WHEEL_DELTA);
        break;
    }
    case RepeatWork::ScrollRight:
    {
        CThreadLock lock(L"RepeatTimerProc _SCROLL_RIGHT");
        brmpScrollWindowHorz(point, WHEEL_DELTA);
        break;
    }
    default: break;
    }
}

// A repeat started by a timed click repeats the entry the hold time has
// chosen so far.
void ResolveTimedClick(int button, int& code, CActionData*& action)
{
    if (code != ACTION_BUTTON_HELD)
        return;
    CBRMPTimedClicks* list = button >= 0 && button < 9 ? g_pTimedClicks[button] : nullptr;
    if (list == nullptr && action != nullptr)
        list = action->GetTimedClicks();
    if (list == nullptr)
        return;
    const CBRMPTimedClick* click = list->GetClickAction();
    if (click == nullptr)
        return;
    delete action;
    action = click->GetActionData();
    code = static_cast<int>(click->GetAction());
}

// One repetition; the global lock is held. Returns the next delay, or -1 when
// the repeat ends here.
// Where the repetition lands: the cursor, the window there (or the foreground
// window) and its process.
struct RepeatTarget
{
    POINT point{};
    HWND window = nullptr;
    bool found = true;              // false: no window under the cursor
    bool named = false;             // process holds the window's process name
    wchar_t process[MAX_PATH] = {};
};

RepeatTarget FindRepeatTarget()
{
    RepeatTarget target;
    ::GetCursorPos(&target.point);
    if (g_pSettings != nullptr && g_pSettings->m_bSwitchOnMouseOver)
    {
        // Only tries the lock: a busy lock counts as no window, and the timer comes back.
        target.window = RealWindowFromPoint_SkipLocked(target.point, false);
        target.found = target.window != nullptr;
    }
    else
    {
        HWND foreground = ::GetForegroundWindow();
        target.window = foreground != nullptr ? ::GetAncestor(foreground, GA_ROOT) : nullptr;
    }
    // The window in force needs no name; a stale read only costs a look-up.
    if (target.window != nullptr && target.window != g_engine.hCurrentWnd)
        target.named = GetProcessName(target.window, 0, target.process, MAX_PATH, nullptr, PNR_RepeatTimer);
    return target;
}

int Repeat(int delay, RepeatTarget& found)
{
    // The hooks stopped: the workers the repetition needs are going away.
    if (g_threads.hMouseHook == nullptr)
        return -1;
    if (SimulatedInputBusy())
    {
        if (g_bRepeatStopped.load() || g_nRepeatButton.load() < 0)
            return -1;
        CLogger::LogDebug(L"RepeatTimerProc: Still sending previous simkeys. Resetting timer.");
        return delay;
    }
    const POINT point = found.point;
    const HWND target = found.window;
    if (!found.found)
    {
        CLogger::LogDebug(L"RepeatTimerProc: Unable to get the window under the cursor. Resetting timer.");
        if (g_bRepeatStopped.load() || g_nRepeatButton.load() < 0)
            return -1;
        return delay;
    }
    if (target != g_engine.hCurrentWnd && target != nullptr)
    {
        if (!found.named)
            GetProcessName(target, 0, found.process, MAX_PATH, nullptr, PNR_RepeatTimer);
        CApplicationSettings* profile = FindAppSettings(target, found.process, point, nullptr);
        if (profile != g_engine.pCurrentApp)
        {
            CLogger::LogDebug(L"Different app settings for this quadrant. Cancelling repeat timer!");
            SetStickyState(STICKY_KEYREPEAT, 0);
            if (g_threads.pSendInput != nullptr)
                g_threads.pSendInput->FlushQueue(false);
            const int button = g_nRepeatButton.exchange(-1);
            if (button >= 5 && button <= 8)
                g_held.DropTakenOver(button);
            return -1;
        }
    }
    if (g_engine.pCurrentApp == nullptr)
    {
        CLogger::LogMessage(L"KeyRepeatTimer: Current Application settings is NULL.");
        return -1;
    }
    const int button = g_nRepeatButton.load();
    if (button < 0)
        return -1;

    int layer = g_engine.nCurrentLayer;
    CApplicationSettings* profile = g_engine.pCurrentApp;
    int configured = 0;
    int code = 0;
    CActionData* action = nullptr;
    if (!ResolveButtonAction(button, kEventDown, layer, profile, configured, code, action))
        return -1;
    ResolveTimedClick(button, code, action);
    const RepeatWork work = RepeatWorkFor(code);
    switch (work)
    {
    case RepeatWork::Keys:
        if (action != nullptr && action->GetKeys() != nullptr)
        {
            CLogger::LogDebug(L"KeyRepeatTimer: Adding simulated keystrokes '%s' to input queue.", action->GetKeys());
            SendKeysStateSingleShot(action->GetKeys(), point, target, false, true);
            delay = KeyRepeatDelay(action->WaitHoldTime(), action->KeyRepeat(), g_nRepeatDelay.load());
            if (action->RandomiseDelay())
            {
                delay = RandomisedRepeatDelay(delay, static_cast<unsigned>(std::rand()));
                CLogger::LogDebug(L"KeyRepeatTimer: Randomised repeat delay is %dms", delay);
            }
        }
        break;
    case RepeatWork::WheelUp: g_bRepetitionQueued = MouseWheel(120); break;
    case RepeatWork::WheelDown: g_bRepetitionQueued = MouseWheel(-120); break;
    case RepeatWork::TiltLeft: g_bRepetitionQueued = MouseTilt(-120); break;
    case RepeatWork::TiltRight: g_bRepetitionQueued = MouseTilt(120); break;
    case RepeatWork::None: break;
    default: ScrollRepeat(work, point); break;
    }
    delete action;
    if (g_bRepeatStopped.load())
        return -1;
    CLogger::LogDebug(L"Re-enable Timer: Delay %d (milliseconds)", delay);
    return delay;
}
} // namespace

void CALLBACK RepeatTimerProc(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    CLogger::LogDebug(L"RepeatTimerProc(0x%08X): RepeatTimer(0x%08X (%d)) Fired", ::GetCurrentThreadId(), id,
                      static_cast<int>(user));
    int delay = 0;
    {
        SlimLock guard(g_slotLock);
        if (g_uRepeatTimer != id)
            return;   // stopped or replaced after it fired
        g_uRepeatTimer = 0;
        delay = g_nSlotDelay[ID_TIMER_REPEAT_SLOT];
    }
    try
    {
        // The window under the cursor, its process and its captions are asked
        // of other processes before the lock is tried: the lock is never held
        // while another application answers.
        RepeatTarget target = FindRepeatTarget();
        const CCaptionPrefetch captions(target.window != g_engine.hCurrentWnd ? target.window : nullptr, target.process);
        CThreadTryLock lock(L"RepeatTimerProc Still Sending");
        if (!lock)
        {
            CLogger::LogDebug(L"RepeatTimerProc: Unable to enter thread lock. Retry in next timer event!");
            ArmRepeat(delay, true);
            return;
        }
        const int next = Repeat(delay, target);
        lock.Release();
        if (next < 0)
            EndRepeat();
        else
            ArmRepeat(next, true);
    }
    catch (...)
    {
        CLogger::LogMessage(L"RepeatTimerProc: An exception ended the repeat");
        EndRepeat();
    }
}
