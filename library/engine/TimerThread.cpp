// The "Timer Thread": owns every window timer of the library and carries out
// window activation and shell-execute requests for the hook thread.

#include "TimerThread.h"

#include <atomic>
#include <exception>

#include "CrashReport.h"
#include "Folders.h"
#include "Globals.h"
#include "HookThread.h"
#include "HookWorkers.h"
#include "Hooks.h"
#include "Logger.h"
#include "ThreadLock.h"
#include "WindowFacts.h"

UINT_PTR g_idKeySwitchTimer = 0;
UINT_PTR g_idActivateOnHoverTimer = 0;
UINT_PTR g_idAutoSwitchLayerTimer = 0;
UINT_PTR g_idMouseOverTimer = 0;
UINT_PTR g_idResetHookTimer = 0;
UINT_PTR g_idJigglerTimer = 0;
UINT_PTR g_idClearCursorTimer = 0;

namespace
{
struct TimerSlot
{
    UINT_PTR id;
    const wchar_t* name;
    UINT_PTR* stored;
    std::atomic<TIMERPROC> handler;
};

TimerSlot g_slots[] = {
    {ID_TIMER_KEYSWITCH, L"KEYSWITCH", &g_idKeySwitchTimer, nullptr},
    {ID_TIMER_ACTIVATEONHOVER, L"ACTIVATE ON HOVER", &g_idActivateOnHoverTimer, nullptr},
    {ID_TIMER_AUTOSWITCHLAYER, L"AUTO SWITCH LAYER", &g_idAutoSwitchLayerTimer, nullptr},
    {ID_TIMER_MOUSEOVER, L"MOUSE OVER", &g_idMouseOverTimer, nullptr},
    {ID_TIMER_RESETHOOK, L"RESET HOOK", &g_idResetHookTimer, nullptr},
    {ID_TIMER_JIGGLER, L"JIGGLER", &g_idJigglerTimer, nullptr},
    {ID_TIMER_CLEARCURSOR, L"CLEAR CURSOR", &g_idClearCursorTimer, nullptr},
};

std::atomic<ActivateWindowRequest> g_activateRequest{nullptr};
std::atomic<ShellExecuteRequest> g_shellExecuteRequest{nullptr};

TimerSlot* FindSlot(UINT_PTR id)
{
    for (TimerSlot& slot : g_slots)
    {
        if (slot.id == id)
            return &slot;
    }
    return nullptr;
}

bool OnTimerThread()
{
    return g_threads.dwTimerThreadId != 0 && g_threads.dwTimerThreadId == ::GetCurrentThreadId();
}

bool TimerThreadRuns()
{
    return g_threads.dwTimerThreadId != 0;
}

void KillSlot(TimerSlot& slot)
{
    if (*slot.stored != 0)
    {
        ::KillTimer(nullptr, *slot.stored);
        *slot.stored = 0;
    }
}

void OnSetTimer(DWORD tid, UINT_PTR id, UINT period)
{
    if (id == ID_TIMER_REPEAT)
    {
        CLogger::LogMessage(L"ProxyStartTimer called with ID_TIMER_REPEAT which is no longer valid. Use SetQTTime instead!!!");
        return;
    }
    if (id == ID_TIMER_SCROLLLINE)
    {
        CLogger::LogDebug(L"Invalid call to Set Scroll Line Timer on the Timer Thread (should use SPI Thread)");
        return;
    }
    TimerSlot* slot = FindSlot(id);
    if (slot == nullptr)
        return;
    if (id == ID_TIMER_MOUSEOVER && *slot->stored != 0)
        return;
    KillSlot(*slot);
    *slot->stored = ::SetTimer(nullptr, id, period, slot->handler.load());
    CLogger::LogDebug(L"TimerThread[0x%X]: Started %s timer %X for %dms - ID %08X", tid, slot->name,
                      static_cast<unsigned>(id), static_cast<int>(period), static_cast<unsigned>(*slot->stored));
}

void OnKillTimer(DWORD tid, UINT_PTR id)
{
    // The clear-cursor timer is looked up like the others: its raw slot id is
    // not the id the system gave it, so killing by slot id would leave it running.
    TimerSlot* slot = FindSlot(id);
    if (slot != nullptr && *slot->stored != 0)
    {
        CLogger::LogDebug(L"TimerThread[0x%X]: Killing timer %d (ID: 0x%08X)", tid, static_cast<int>(id),
                          static_cast<unsigned>(*slot->stored));
        if (::KillTimer(nullptr, *slot->stored))
            *slot->stored = 0;
        else
            CLogger::LogDebug(L"TimerThread[0x%X]: KillTimer(%d) failed", tid, static_cast<int>(id));
    }
    else
    {
        CLogger::LogDebug(L"TimerThread[0x%X]: Killing timer %d (Global timer ID is NULL!)", tid, static_cast<int>(id));
        if (!::KillTimer(nullptr, id))
            CLogger::LogDebug(L"TimerThread[0x%X]: KillTimer(%d) failed", tid, static_cast<int>(id));
    }
    if (g_threads.pSendInput != nullptr)
    {
        CLogger::LogDebug(L"TimerThread[0x%X]: Unblocking sendinput", tid);
        UnblockSendInput();
    }
}

void OnActivateWindow(DWORD tid, HWND window)
{
    TimerSlot* hover = FindSlot(ID_TIMER_ACTIVATEONHOVER);
    KillSlot(*hover);
    if (ActivateWindowRequest activate = g_activateRequest.load())
        activate(window);
    else
        CLogger::LogDebug(L"TimerThread[0x%X]: No window activation available for 0x%X", tid,
                          HandleNumber(window));
}

void OnShellExecute(DWORD tid, void* info)
{
    if (ShellExecuteRequest run = g_shellExecuteRequest.load())
        run(info);
    else if (info != nullptr)
        CLogger::LogMessage(L"TimerThread[0x%X]: Unable to launch: no process launcher is available", tid);
}

// Returns false when the message asks the thread to end.
bool HandleTimerThreadMessage(DWORD tid, MSG& msg)
{
    if (msg.hwnd == nullptr)
    {
        if (msg.message == BRMP_ResetHook)
            return msg.wParam != WP_EXITTHREAD;
        if (msg.message == BRMP_ActivateWindow)
        {
            OnActivateWindow(tid, reinterpret_cast<HWND>(msg.wParam));
            return true;
        }
        if (msg.message == BRMP_KillTimer)
        {
            OnKillTimer(tid, static_cast<UINT_PTR>(msg.wParam));
            return true;
        }
        if (msg.message == BRMP_SetTimer)
        {
            const LPARAM period = msg.lParam;
            OnSetTimer(tid, static_cast<UINT_PTR>(msg.wParam),
                       period < 0 ? 0u : static_cast<UINT>(period > 0x7FFFFFFF ? 0x7FFFFFFF : period));
            return true;
        }
        if (msg.message == BRMP_ShellExecute)
        {
            OnShellExecute(tid, reinterpret_cast<void*>(msg.wParam));
            return true;
        }
    }
    if (msg.message == WM_TIMER)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

// The facts the hook keeps of windows are dropped once a window is gone.
constexpr UINT kForgetGoneWindowsMs = 1000;

void CALLBACK ForgetGoneWindowsProc(HWND, UINT, UINT_PTR, DWORD)
{
    windowfacts::ForgetGoneWindows();
}

bool ExitRequested(DWORD tid)
{
    if (g_threads.bTimerExitAsked.load())
    {
        CLogger::LogThreadDebug(L"TimerThread[0x%X]: Recieved exit event.", tid);
        return true;
    }
    return false;
}
}

unsigned __stdcall TimerThread(void* readyEvent)
{
    std::set_terminate(CrashTerminateHandler);
    // The queue exists before the thread announces itself, so that no request
    // posted after the announcement is lost.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetThreadMessageBoxesAllowed(false);
    CDeferredLogWrites deferredLog;
    const DWORD tid = ::GetCurrentThreadId();
    g_threads.dwTimerThreadId = tid;
    SetThreadName(tid, "Timer Thread");
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    const UINT_PTR forgetGoneWindows = ::SetTimer(nullptr, 0, kForgetGoneWindowsMs, ForgetGoneWindowsProc);
    if (forgetGoneWindows == 0)
        CLogger::LogOSMessage(::GetLastError(), L"TimerThread: The check for windows gone could not be started.");
    if (readyEvent != nullptr)
        ::SetEvent(static_cast<HANDLE>(readyEvent));

    try
    {
        for (;;)
        {
            if (ExitRequested(tid))
                break;
            const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
            if (result == -1)
            {
                CLogger::LogOSMessage(::GetLastError(), L"TimerThread: Error in timer thread message queue.");
                break;
            }
            if (ExitRequested(tid) || result == 0)
                break;
            try
            {
                if (!HandleTimerThreadMessage(tid, msg))
                    break;
            }
            catch (...)
            {
                CLogger::LogMessage(L"TimerThread[0x%X]: Caught exception in timer thread while processing message 0x%08X.",
                                    tid, msg.message);
            }
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"TimerThread[0x%X]: Caught exception in timer thread.", tid);
    }
    try
    {
        KillTimerThreadTimers();
    }
    catch (...)
    {
        CLogger::LogMessage(L"TimerThread[0x%X]: Caught exception removing timers.", tid);
    }
    if (forgetGoneWindows != 0)
        ::KillTimer(nullptr, forgetGoneWindows);
    return 0;
}

UINT_PTR GetTimerId(UINT_PTR id)
{
    if (const TimerSlot* slot = FindSlot(id))
        return *slot->stored;
    return id;
}

UINT_PTR ProxySetTimer(HWND, UINT_PTR, UINT_PTR id, UINT periodMs, TIMERPROC proc, UINT_PTR* idOut)
{
    if (TimerThreadRuns() && !OnTimerThread())
    {
        ::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_SetTimer, id, static_cast<LPARAM>(periodMs));
        return 0;
    }
    ::KillTimer(nullptr, id);
    if (const UINT_PTR stored = GetTimerId(id); stored != 0 && stored != id)
        ::KillTimer(nullptr, stored);
    // A timer of the table runs its handler however it was started.
    if (proc == nullptr)
    {
        if (TimerSlot* slot = FindSlot(id))
            proc = slot->handler.load();
    }
    const UINT_PTR result = ::SetTimer(nullptr, id, periodMs, proc);
    if (idOut != nullptr)
        *idOut = result;
    CLogger::LogDebug(L"ProxySetTimer [TID: 0x%08X]: Started timer %X for %dms - ID %08X", ::GetCurrentThreadId(),
                      static_cast<unsigned>(id), static_cast<int>(periodMs), static_cast<unsigned>(result));
    return result;
}

BOOL ProxyKillTimer(HWND, UINT_PTR id)
{
    if (TimerThreadRuns() && !OnTimerThread())
    {
        ::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_KillTimer, id, 0);
        return FALSE;
    }
    const UINT_PTR systemId = GetTimerId(id);
    if (g_threads.pSendInput != nullptr)
        UnblockSendInput();
    if (systemId == 0)
        return FALSE;
    CLogger::LogDebug(L"ProxyKillTimer [TID: 0x%08X]: Killing timer %d (0x%08X)", ::GetCurrentThreadId(),
                      static_cast<int>(id), static_cast<unsigned>(systemId));
    const BOOL killed = ::KillTimer(nullptr, systemId);
    // A stale stored id would make the slot look busy: the mouse-over timer
    // would never start again.
    if (killed)
    {
        if (TimerSlot* slot = FindSlot(id))
            *slot->stored = 0;
    }
    return killed;
}

void KillTimerThreadTimers()
{
    if (TimerThreadRuns() && !OnTimerThread())
    {
        // Thread timers can only be killed by their own thread.
        for (const TimerSlot& slot : g_slots)
        {
            if (slot.id != ID_TIMER_CLEARCURSOR && *slot.stored != 0)
                ::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_KillTimer, slot.id, 0);
        }
        return;
    }
    CThreadLock lock(L"KillTimers");
    CLogger::LogThreadDebug(L"Removing any active BRMPHook Timers...");
    for (TimerSlot& slot : g_slots)
    {
        if (slot.id != ID_TIMER_CLEARCURSOR)
            KillSlot(slot);
    }
    CLogger::LogDebug(L"Removed active timers.");
}

TIMERPROC SetTimerThreadHandler(UINT_PTR id, TIMERPROC handler)
{
    if (TimerSlot* slot = FindSlot(id))
        return slot->handler.exchange(handler);
    return nullptr;
}

void SetTimerThreadRequestHandlers(ActivateWindowRequest activate, ShellExecuteRequest shellExecute)
{
    g_activateRequest = activate;
    g_shellExecuteRequest = shellExecute;
}
