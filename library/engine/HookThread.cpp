// The hook lifetime: starting and stopping the hook thread and the timer thread,
// the hook thread itself, and putting back the system mouse settings at the end.

#include "HookThread.h"

#include <process.h>

#include <atomic>
#include <exception>

#include "Actions.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "CrashReport.h"
#include "Folders.h"
#include "Globals.h"
#include "HeldInput.h"
#include "StickyButtons.h"
#include "Handles.h"
#include "LastWheel.h"
#include "HookWorkers.h"
#include "Hooks.h"
#include "KeyHook.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseHook.h"
#include "MouseHookMovement.h"
#include "MouseInfo.h"
#include "OSVersion.h"
#include "PersistantSettings.h"
#include "ProfileSwitch.h"
#include "RepeatTimers.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "ThreadStop.h"
#include "TimerThread.h"
#include "WindowOperation.h"

namespace
{
std::atomic<long> g_forcedTerminations{0};
// A stop without the restore (a disable, a suspension) left the library's mouse
// values in force and in store: the next stop with the restore puts the user's
// back even when no thread is left to stop.
bool g_bUserMouseValuesDue = false;

// The four-character name under which the library says it is not allowed to
// change the cursor settings.
const wchar_t* ShortName()
{
    static const wchar_t name[] = {L'B', L'R', L'M', L'P', 0};
    return name;
}

void CloseAndClear(HANDLE& handle)
{
    if (handle != nullptr)
    {
        ::CloseHandle(handle);
        handle = nullptr;
    }
}

HANDLE StartThread(unsigned(__stdcall* proc)(void*), void* argument)
{
    unsigned id = 0;
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, proc, argument, 0, &id));
}

bool HookExitRequested(DWORD tid)
{
    if (g_threads.hHookExitEvent != nullptr && ::WaitForSingleObject(g_threads.hHookExitEvent, 0) == WAIT_OBJECT_0)
    {
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Recieved exit event.", tid);
        return true;
    }
    return false;
}

void ChooseEnglishLayout(DWORD tid)
{
    try
    {
        if (g_threads.hEnglishLayout != nullptr && g_threads.bLoadedEnglishLayout)
        {
            CLogger::LogDebug(L"HookThreadProc[0x%X]: Unloading keyboard layout...", tid);
            if (!::UnloadKeyboardLayout(g_threads.hEnglishLayout))
                CLogger::LogOSMessage(::GetLastError(), L"HookThreadProc[0x%X]: Unable to unload the keyboard layout", tid);
            g_threads.hEnglishLayout = nullptr;
        }
        else
        {
            CLogger::LogDebug(L"HookThreadProc[0x%X]: No keyboard layout loaded, nothing to unload.", tid);
        }
        g_threads.bLoadedEnglishLayout = false;
        g_threads.hEnglishLayout = nullptr;

        CLogger::LogDebug(L"HookThreadProc[0x%X]: Current language is 0x%08X", tid,
                          HandleNumber(::GetKeyboardLayout(0)));
        HKL layouts[64] = {};
        const int count = ::GetKeyboardLayoutList(64, layouts);
        for (int i = 0; i < count; ++i)
        {
            const UINT_PTR h = reinterpret_cast<UINT_PTR>(layouts[i]);
            CLogger::LogDebug(L"HookThreadProc[0x%X]: Checking installed keyboard layout: 0x%08X", tid, static_cast<unsigned>(h));
            if ((h & 0xF900F9) == 0x90009 || (h & 0x409) == 0x409)
            {
                g_threads.hEnglishLayout = layouts[i];
                break;
            }
        }
        if (g_threads.hEnglishLayout != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Using keyboard language 0x%08X", tid, HandleNumber(g_threads.hEnglishLayout));
            return;
        }
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Unable to find suitable English keyboard layout...", tid);
        if (g_pSettings != nullptr && g_pSettings->m_bLoadUSEnglish)
        {
            CLogger::LogMessage(L"HookThreadProc: Loading US English.");
            g_threads.hEnglishLayout = ::LoadKeyboardLayoutW(L"04090409", KLF_NOTELLSHELL);
            if (g_threads.hEnglishLayout != nullptr)
                g_threads.bLoadedEnglishLayout = true;
            else
                CLogger::LogMessage(L"HookThreadProc[0x%X]: Unable to load suitable English keyboard layout required by some actions.", tid);
        }
        else
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Use of US English has been disabled. Some keyboard input functions may not work.", tid);
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to load/set keyboard language", tid);
    }
}

void InstallHooks(DWORD tid)
{
    try
    {
        CThreadLock lock(L"HookThread InstallHooks");
        g_system.nScreenWidth = ::GetSystemMetrics(SM_CXSCREEN);
        g_system.nScreenHeight = ::GetSystemMetrics(SM_CYSCREEN);
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Installing low level mouse hook", tid);
        // Nothing a previous pair of hooks saw may decide about the new events.
        ResetMouseHookState();
        g_threads.hMouseHook = ::SetWindowsHookExW(WH_MOUSE_LL, MouseHookLLProc, g_system.hInstance, 0);
        if (g_threads.hMouseHook == nullptr)
        {
            CLogger::LogOSMessage(::GetLastError(), L"HookThreadProc[0x%X]: Unable to set low level mouse hook", tid);
            return;
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Successfully set the mouse hook 0x%X", tid, HandleNumber(g_threads.hMouseHook));
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Installing low level key hook (for layer modifier keys)", tid);
        ResetKeyHookState();
        g_threads.hKeyHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyHookLLProc, g_system.hInstance, 0);
        if (g_threads.hKeyHook != nullptr)
            CLogger::LogDebug(L"HookThreadProc[0x%X]: Successfully set the keyboard hook 0x%X", tid, HandleNumber(g_threads.hKeyHook));
        else
            CLogger::LogOSMessage(::GetLastError(), L"HookThreadProc[0x%X]: Unable to set low level keyboard hook (for layer modifier keys)", tid);
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Exception installing low level hooks", tid);
    }
}

void HandleResetHook(WPARAM which)
{
    if (which == WP_MOUSEHOOK)
    {
        CThreadLock lock(L"HookThread WP_MOUSEHOOK");
        InstallMouseHook();
    }
    else if (which == WP_KEYHOOK)
    {
        CThreadLock lock(L"HookThread WP_KEYHOOK");
        InstallKeyHook();
    }
    else if (which == WP_BOTH)
    {
        CThreadLock lock(L"HookThread WP_BOTH");
        InstallMouseHook();
        InstallKeyHook();
    }
}

void RunHookMessageLoop(DWORD tid)
{
    try
    {
        MSG msg;
        for (;;)
        {
            if (HookExitRequested(tid))
                break;
            const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
            if (result == -1)
            {
                CLogger::LogOSMessage(::GetLastError(), L"HookThreadProc[0x%X]: Error in hook thread message queue.", tid);
                break;
            }
            if (HookExitRequested(tid) || result == 0)
                break;
            if (msg.hwnd == nullptr && msg.message == BRMP_ResetHook)
            {
                HandleResetHook(msg.wParam);
                continue;
            }
            if (msg.hwnd == nullptr && msg.message == BRMP_SetTimer)
            {
                // Timers belong to the timer thread; a stray request here is
                // somebody's mistake, not a reason to drop the hooks.
                CLogger::LogDebug(L"HookThreadProc[0x%X]: Invalid Set Timer call to hook thread", tid);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Caught exception in thread message loop.", tid);
    }
}

void CleanUpHookThread(DWORD tid)
{
    HookWorkers workers;
    {
        CThreadLock lock(L"HookThread Clean-up");
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Finished the message loop. Cleaning up...", tid);
        RemoveHooks();
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Removed hooks...", tid);
        if (g_engine.hMainWnd != nullptr)
            ::PostMessageW(g_engine.hMainWnd, BRMP_MainWindow, 0, 0);
        g_LastWheel.Reset();
        g_engine.hCurrentWnd = nullptr;
        g_engine.szCurrentProcess[0] = L'\0';
        workers = DetachHookWorkers();
    }
    // Repeats, chord and scroll time-outs end before the workers they feed;
    // their callbacks only try the global lock, so wait for them outside it.
    StopAllEngineTimers();
    // Worker threads may need the global lock to finish: join them outside it.
    StopHookWorkers(workers);
    CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Finished cleaning up.", tid);
}

void RestoreMouseSettings(bool restore)
{
    g_bUserMouseValuesDue = !restore;
    const bool allowed = g_pSettings != nullptr && g_pSettings->m_bAllowSetSpeed;
    if (allowed)
    {
        const int speed = CMouseInfo::GetMouseSpeed();
        if (!restore)
        {
            CLogger::LogDebug(L"Not resetting mouse cursor speed (%d) to system default (%d) as resettodefault is disabled",
                              speed, g_system.nStartupMouseSpeed);
        }
        else if (speed == g_system.nStartupMouseSpeed)
        {
            CLogger::LogDebug(L"No need to reset mouse cursor speed to system default (%d) as it is already %d!",
                              g_system.nStartupMouseSpeed, speed);
        }
        else
        {
            CLogger::LogThreadDebug(L"Reset mouse cursor speed to system default (%d)", g_system.nStartupMouseSpeed);
            if (!SetSystemMouseSpeed(g_system.nStartupMouseSpeed))
                CLogger::LogMessage(L"Unable to reset mouse speed to default! (%d)", g_system.nStartupMouseSpeed);
        }

        CMouseInfo current;
        // A precision a forced profile change stored is stored over also when
        // the user's value is the one in force.
        const bool precisionStored = restore && g_system.bPrecisionStored.exchange(false);
        if (!restore)
        {
            CLogger::LogDebug(L"Not resetting enhanced pointer precision as resettodefault is disabled");
        }
        else if (current.EnhancePointerPrecision() == g_system.bStartupEPP && !precisionStored)
        {
            CLogger::LogDebug(L"No need to reset enhanced pointer precision as it hasnt changed since startup!");
        }
        else
        {
            // The user's own thresholds come back, not the settings' ones.
            int values[3] = {g_system.nStartupMouse[0], g_system.nStartupMouse[1], g_system.nStartupMouse[2]};
            if (::SystemParametersInfoW(SPI_SETMOUSE, 0, values, SPIF_UPDATEINIFILE))
                CLogger::LogThreadDebug(L"CMouseInfo: Set mouse pointer precision %s (%d, %d, %d)",
                                        g_system.bStartupEPP ? L"On" : L"Off", values[0], values[1], values[2]);
            else
                CLogger::LogMessage(L"CMouseInfo: Failed to set mouse pointer precision");
        }
    }
    else
    {
        CLogger::LogDebug(L"Unable to reset mouse cursor speed to system default as %s is not allowed to change it", ShortName());
        CLogger::LogDebug(L"Unable to reset Enhance Pointer Precision as %s is not allowed to change it", ShortName());
    }

    if (!restore)
        return;
    // A value a forced profile change stored as the user's is stored over also
    // when the user's value is the one in force.
    const bool swapStored = g_system.bSwapStored.exchange(false);
    const bool linesStored = g_system.bWheelLinesStored.exchange(false);
    if (::GetSystemMetrics(SM_SWAPBUTTON) != g_system.nStartupSwapButtons || swapStored)
    {
        CLogger::LogDebug(L"Reset Swap Mouse Buttons to system default (%d)", g_system.nStartupSwapButtons);
        g_swapWatch.ApplyOwnChange(
            [] {
                if (!::SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(g_system.nStartupSwapButtons), nullptr,
                                             SPIF_UPDATEINIFILE))
                    CLogger::LogMessage(L"Unable to reset Swap Mouse Buttons to default! (%d)", g_system.nStartupSwapButtons);
            },
            &::GetSystemMetrics);
    }
    UINT lines = 0;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (static_cast<int>(lines) != g_system.nStartupWheelLines || linesStored)
    {
        CLogger::LogDebug(L"Reset Wheel Scroll Lines to default (%d)", g_system.nDefaultWheelLines);
        if (!::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, static_cast<UINT>(g_system.nDefaultWheelLines), nullptr, SPIF_UPDATEINIFILE))
            CLogger::LogMessage(L"Unable to reset Wheel Scroll Lines to default (%d)", g_system.nDefaultWheelLines);
    }
    EndWindowOperation();
    g_system.nSwapButtons = g_system.nStartupSwapButtons;
    g_system.nWheelLines = g_system.nDefaultWheelLines;
    g_system.bWheelPageScroll = g_system.nDefaultWheelLines == -1;
}

const ThreadStopTexts kTimerTexts = {
    L"Timer thread [0x%X] exited with exit code %d.",
    L"Timer thread [0x%X] exited successfully.",
    L"Timer thread [0x%X] did not exit in a timely fashion...",
    L"Timer thread [0x%X] exited (2nd attempt) with exit code %d.",
    L"Timer thread [0x%X] exited (2nd attempt) successfully.",
    L"Timer thread [0x%X] still did not exit in a timely fashion (2nd attempt) - terminating it...",
};

const ThreadStopTexts kHookTexts = {
    L"Hook thread [0x%X] exited with error code %d.",
    L"Hook thread [0x%X] exited successfully.",
    L"Hook thread [0x%X] did not exit in a timely fashion!",
    L"Hook thread [0x%X] exited (2nd attempt) with error code %d.",
    L"Hook thread [0x%X] exited (2nd attempt) successfully.",
    L"Hook thread [0x%X] still did not exit in a timely fashion (2nd attempt) - terminating it...",
};

// After a thread was killed: a lock it owned would block everyone, and one it
// was waiting for keeps a waiter that never comes, so that it can no longer be
// tried. The lock is made anew then, unless a live thread owns it: deleting
// a lock in use would break that thread.
void RepairGlobalLockAfter(DWORD deadTid)
{
    const DWORD owner = CThreadLock::m_sdwOwner;
    if (deadTid == 0 || (owner != deadTid && owner != 0))
        return;
    CThreadLock::ResetGlobalCS();
    CThreadLock::m_snEntryCount = 0;
    CThreadLock::m_sdwOwner = 0;
    lstrcpynW(CThreadLock::m_stcName, L"unknown", 255);
}

// What the hooks knew of the buttons: without hooks nobody follows them, so a
// press taken over before a stop tells nothing about a release after a start,
// and a change of layer while the hooks are out must not press them again.
// What the library held for the user went with the input thread, whose end
// released it: no sticky state is engaged any more.
void ForgetButtonStates()
{
    g_held.Forget();
    ForgetStickyStates();
}

bool SystemHoldsButton(int button)
{
    const int vk = ButtonVirtualKey(button, g_system.nSwapButtons != 0);
    return vk != 0 && (::GetAsyncKeyState(vk) & 0x8000) != 0;
}

// The hook put in again may have missed releases while it was out, or presses:
// a button counts as the user's exactly when the system has it down, unless
// the library holds that press itself (a sticky drag, a click held for
// another button). A press the engine took over never reached the system when
// its own call kept within the time-out, and the system reports that button up
// while the user may well hold it: it keeps its marks until its own release
// comes. One whose call overran may have gone on to the system (some systems
// pass such an event on, others drop it as the hook said): the system's state
// tells, and the release is decided by it. A press of the library's own that
// went up in the system meanwhile (the user's release of that button) is no
// longer the input queue's to release, nor a sticky button's to hold. The
// wheel's pending releases are timers of the engine, not buttons the system
// knows.
void TakeButtonStatesFromSystem()
{
    const unsigned ended = g_held.TakeFromSystem(SystemHoldsButton);
    CSendInput* queue = g_threads.pSendInput;
    for (int button = 0; button < 5; ++button)
    {
        if ((ended & (1u << button)) == 0)
            continue;
        if (queue != nullptr)
            queue->PressReleasedElsewhere(button);
        EndStickyLetGoInSystem(button, g_engine.nCurrentLayer);
    }
}

// Stops what SetMouseHook had started when it cannot go on; the events of a
// thread that could not be stopped stay with it.
void AbandonStart()
{
    EndHookThread(false);
    if (g_threads.hTimerThread == nullptr)
        CloseAndClear(g_threads.hTimerExitEvent);
    if (g_threads.hHookThread == nullptr)
    {
        CloseAndClear(g_threads.hHookExitEvent);
        CloseAndClear(g_threads.hHooksStartWaitEvent);
    }
}
}

long GetForcedThreadTerminations()
{
    return g_forcedTerminations.load();
}

unsigned __stdcall HookThreadProc(void*)
{
    std::set_terminate(CrashTerminateHandler);
    // The queue exists before the thread announces its id, so that a stop
    // request posted after that is never lost.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetThreadMessageBoxesAllowed(false);
    // The hooks never touch the log file: a writer thread takes their lines.
    CDeferredLogWrites deferredLog;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const DWORD tid = ::GetCurrentThreadId();
    g_threads.dwHookThreadId = tid;
    try
    {
        SetThreadName(tid, "Hook Thread");
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Hook thread starting...", tid);
        CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Current mouse cursor speed=%d, system default cursor speed=%d", tid,
                                CMouseInfo::GetMouseSpeed(), g_system.nStartupMouseSpeed);
        {
            CThreadLock lock(L"HookThread Init");
            CreateHookWorkers(tid);
        }
        if (!NewApplicationSettings())
            CLogger::LogThreadDebug(L"HookThreadProc[0x%X]: Skipped NewApplicationSettings(true)", tid);
        CSecureAttentionSequence sas;
        if (!sas.IsSasAvailable() && GetOSVersion() > ActionOS_Win7)
            CLogger::LogOSMessage(::GetLastError(), L"HookThreadProc[0x%X]: Secure attention sequence (SAS) is not available", tid);
        ChooseEnglishLayout(tid);
        RegisterMouseOverTimerHandler();
        InstallHooks(tid);
        {
            CThreadLock lock(L"HookThread MouseOver");
            EnsureMouseOverPoll();
        }
        g_LockAxis.ChangeCursor(g_threads.pSPIThread, g_engine.pCurrentApp, g_engine.nCurrentLayer, false,
                                g_pSettings == nullptr || g_pSettings->m_bChangeCursorLayer);
        if (g_threads.hHooksStartWaitEvent != nullptr)
            ::SetEvent(g_threads.hHooksStartWaitEvent);
        if (g_engine.hMainWnd != nullptr)
            ::PostMessageW(g_engine.hMainWnd, BRMP_MainWindow, 0, 0);
        RunHookMessageLoop(tid);
        CleanUpHookThread(tid);
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Hook thread.", tid);
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

// The new hook goes in before the old one comes out, so that the handle other
// threads read (the signature of the library's own input) is never null.
void InstallMouseHook()
{
    const HHOOK installed = ::SetWindowsHookExW(WH_MOUSE_LL, MouseHookLLProc, g_system.hInstance, 0);
    const HHOOK old = g_threads.hMouseHook;
    if (installed != nullptr || old == nullptr)
        g_threads.hMouseHook = installed;
    if (old != nullptr && installed != nullptr)
        ::UnhookWindowsHookEx(old);
    if (installed != nullptr)
        CLogger::LogDebug(L"HookThread: WP_MOUSEHOOK - Successfully set the mouse hook 0x%X", HandleNumber(g_threads.hMouseHook));
    else
        CLogger::LogOSMessage(::GetLastError(), L"HookThread: WP_MOUSEHOOK - Unable to set low level mouse hook.");
    // Buttons and the pointer may have moved on while the hook was out.
    TakeButtonStatesFromSystem();
    MouseHookReadCursor();
}

void InstallKeyHook()
{
    const HHOOK installed = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyHookLLProc, g_system.hInstance, 0);
    const HHOOK old = g_threads.hKeyHook;
    if (installed != nullptr || old == nullptr)
        g_threads.hKeyHook = installed;
    if (old != nullptr && installed != nullptr)
        ::UnhookWindowsHookEx(old);
    if (installed != nullptr)
        CLogger::LogDebug(L"HookThread: WP_KEYHOOK - Successfully set the keyboard hook 0x%X", HandleNumber(g_threads.hKeyHook));
    else
        CLogger::LogOSMessage(::GetLastError(), L"HookThread: WP_KEYHOOK - Unable to set low level keyboard hook (for layer modifier keys).");
    // The system drops a hook that timed out without telling: releases may
    // have gone by unseen while it was out.
    ForgetHeldKeys();
}

void RemoveHooks()
{
    CLogger::LogThreadDebug(L"RemoveHooks: Removing hooks...");
    g_LockAxis.ResetCursor(g_threads.pSPIThread);
    if (g_threads.hKeyHook != nullptr)
    {
        CLogger::LogDebug(L"RemoveHooks: Removing keyboard hook...");
        if (!::UnhookWindowsHookEx(g_threads.hKeyHook))
            CLogger::LogOSMessage(::GetLastError(), L"RemoveHooks: Unable to remove keyboard hook (the hook was probably removed by Windows)");
        g_threads.hKeyHook = nullptr;
        CLogger::LogDebug(L"RemoveHooks: Removed keyboard hook.");
    }
    if (g_threads.hMouseHook != nullptr)
    {
        CLogger::LogDebug(L"RemoveHooks: Removing mouse hook...");
        if (!::UnhookWindowsHookEx(g_threads.hMouseHook))
            CLogger::LogOSMessage(::GetLastError(), L"RemoveHooks: Unable to remove mouse hook (the hook was probably removed by Windows)");
        g_threads.hMouseHook = nullptr;
        CLogger::LogDebug(L"RemoveHooks: Removed mouse hook.");
    }
}

bool SetMouseHook()
{
    const DWORD self = ::GetCurrentThreadId();
    if (self == g_threads.dwHookThreadId || self == g_threads.dwTimerThreadId)
    {
        CLogger::LogMessage(L"SetMouseHook called on the hook or timer thread (0x%X) - ignored", self);
        return false;
    }
    CGenericThreadLock control(&g_threads.csHookControl, L"SetMouseHook");
    if (g_threads.hHookThread != nullptr || g_threads.hTimerThread != nullptr)
    {
        // A second start replaces the running pair of threads; the system's
        // mouse settings stay as they are.
        CLogger::LogThreadDebug(L"SetMouseHook: Hook thread exists [0x%X]", HandleNumber(g_threads.hHookThread));
        // Never a second pair beside one that could not be stopped: both
        // would take every event.
        if (!EndHookThread(false))
        {
            CLogger::LogMessage(L"SetMouseHook: The running hook or timer thread could not be stopped - no new ones are started.");
            return false;
        }
    }
    ForgetButtonStates();
    g_LockAxis.Init();
    g_system.dwHookTimeout = GetHooktimeoutValue();
    SetThreadName(::GetCurrentThreadId(), "Main Thread");
    // The threads must never wait on a message box while finding the log file.
    CLogger::ResolveLogPath();

    g_threads.bTimerExitAsked = false;
    g_threads.hTimerExitEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (g_threads.hTimerExitEvent == nullptr || ready.Get() == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"SetMouseHook: Unable to start Timer thread.");
        AbandonStart();
        return false;
    }
    g_threads.hTimerThread = StartThread(TimerThread, ready.Get());
    if (g_threads.hTimerThread == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"SetMouseHook: Unable to start Timer thread.");
        AbandonStart();
        return false;
    }
    CLogger::LogThreadDebug(L"SetMouseHook: Starting timer thread [0x%X]...", HandleNumber(g_threads.hTimerThread));
    // Requests may be posted to the timer thread as soon as this returns.
    const HANDLE timerStart[2] = {ready.Get(), g_threads.hTimerThread};
    ::WaitForMultipleObjects(2, timerStart, FALSE, 10000);

    CloseAndClear(g_threads.hHooksStartWaitEvent);
    g_threads.hHooksStartWaitEvent = ::CreateEventW(nullptr, FALSE, FALSE, L"Local\\HooksStartWaitEvent");
    if (g_threads.hHooksStartWaitEvent == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"SetMouseHook: Unable to create wait event. This is not good!");
        AbandonStart();
        return false;
    }
    CLogger::LogThreadDebug(L"SetMouseHook: Started timer thread [0x%X]...", HandleNumber(g_threads.hTimerThread));

    g_threads.hHookExitEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_threads.hHookThread = g_threads.hHookExitEvent != nullptr ? StartThread(HookThreadProc, nullptr) : nullptr;
    if (g_threads.hHookThread == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"SetMouseHook: Unable to start Hook thread.");
        AbandonStart();
        return false;
    }
    CLogger::LogThreadDebug(L"SetMouseHook: Starting hook thread [0x%X]...", HandleNumber(g_threads.hHookThread));
    if (g_pSettings != nullptr && !::SetPriorityClass(::GetCurrentProcess(), g_pSettings->m_uPriority))
        CLogger::LogOSMessage(::GetLastError(), L"SetMouseHook: Unable to set process priority.");

    // A hook thread that dies early ends the wait at once.
    const HANDLE hookStart[2] = {g_threads.hHooksStartWaitEvent, g_threads.hHookThread};
    const DWORD waited = ::WaitForMultipleObjects(2, hookStart, FALSE, 10000);
    if (waited == WAIT_TIMEOUT)
        CLogger::LogMessage(L"SetMouseHook: Timeout (10s) waiting for hook thread [0x%X] to start and install hooks. This is not good!",
                            HandleNumber(g_threads.hHookThread));
    else
        CLogger::LogThreadDebug(L"SetMouseHook: Started hook thread [0x%X]...", HandleNumber(g_threads.hHookThread));

    if (g_threads.hHookThread != nullptr && g_threads.hMouseHook != nullptr)
        return true;
    // Without a mouse hook nothing works: leave nothing running behind a false.
    CLogger::LogMessage(L"SetMouseHook: The mouse hook is not installed - stopping the hook and timer threads.");
    AbandonStart();
    ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    return false;
}

bool EndHookThread(bool restore)
{
    if (g_threads.hHookThread == nullptr && g_threads.hTimerThread == nullptr && g_threads.dwHookThreadId == 0 && g_threads.dwTimerThreadId == 0)
    {
        CLogger::LogThreadDebug(L"EndHookThread called with no hook or timer thread initialised!");
        if (restore && g_bUserMouseValuesDue)
            RestoreMouseSettings(true);
        return false;
    }
    // A thread cannot wait for its own end: it would wait 12 s and then kill itself.
    const DWORD self = ::GetCurrentThreadId();
    if (self == g_threads.dwHookThreadId || self == g_threads.dwTimerThreadId)
    {
        CLogger::LogMessage(L"EndHookThread called on the hook or timer thread (0x%X) - ignored", self);
        return false;
    }
    if (g_threads.hTimerThread != nullptr)
    {
        CLogger::LogThreadDebug(L"Requesting timer thread [0x%X] (ID 0x%X) to exit...", HandleNumber(g_threads.hTimerThread), g_threads.dwTimerThreadId);
        g_threads.bTimerExitAsked = true;
        if (g_threads.hTimerExitEvent != nullptr)
            ::SetEvent(g_threads.hTimerExitEvent);
        if (g_threads.dwTimerThreadId != 0)
            ::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_ResetHook, WP_EXITTHREAD, 0);
    }
    if (g_threads.hHookThread != nullptr)
    {
        CLogger::LogThreadDebug(L"Requesting hook thread [0x%X] (ID 0x%X) to exit...", HandleNumber(g_threads.hHookThread), g_threads.dwHookThreadId);
        if (g_threads.hHookExitEvent != nullptr)
            ::SetEvent(g_threads.hHookExitEvent);
        if (g_threads.dwHookThreadId != 0)
            ::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_EXITTHREAD, 0);
    }

    // A thread that could be neither stopped nor killed keeps its handle, id
    // and exit request: it may still read them, and the next stop tries again.
    bool leftRunning = false;
    if (g_threads.hTimerThread != nullptr)
    {
        const DWORD timerTid = ::GetThreadId(g_threads.hTimerThread);
        const ThreadEnd end = AwaitThreadEnd(g_threads.hTimerThread, kTimerTexts);
        if (end == ThreadEnd::Terminated)
        {
            ++g_forcedTerminations;
            RepairGlobalLockAfter(timerTid);
        }
        if (end == ThreadEnd::StillRunning)
        {
            CLogger::LogMessage(L"EndHookThread: The timer thread [0x%X] could not be stopped - it keeps running.",
                                HandleNumber(g_threads.hTimerThread));
            leftRunning = true;
        }
        else
        {
            ::CloseHandle(g_threads.hTimerThread);
            g_threads.hTimerThread = nullptr;
        }
    }
    if (g_threads.hTimerThread == nullptr)
    {
        CloseAndClear(g_threads.hTimerExitEvent);
        g_threads.dwTimerThreadId = 0;
    }

    if (g_threads.hHookThread != nullptr)
    {
        const DWORD hookTid = ::GetThreadId(g_threads.hHookThread);
        const ThreadEnd end = AwaitThreadEnd(g_threads.hHookThread, kHookTexts, 250);
        if (end == ThreadEnd::Terminated)
        {
            ++g_forcedTerminations;
            RepairGlobalLockAfter(hookTid);
            // The system removed the dead thread's hooks with it.
            g_threads.hMouseHook = nullptr;
            g_threads.hKeyHook = nullptr;
            if (g_engine.hMainWnd != nullptr)
                ::PostMessageW(g_engine.hMainWnd, BRMP_MainWindow, 0, 0);
        }
        if (end == ThreadEnd::StillRunning)
        {
            // Its hooks, workers and events stay with it: they are in use.
            CLogger::LogMessage(L"EndHookThread: The hook thread [0x%X] could not be stopped - it keeps its hooks and workers.",
                                HandleNumber(g_threads.hHookThread));
            leftRunning = true;
        }
        else
        {
            ::CloseHandle(g_threads.hHookThread);
            g_threads.hHookThread = nullptr;
        }
    }
    if (g_threads.hHookThread == nullptr)
    {
        CloseAndClear(g_threads.hHookExitEvent);
        g_threads.dwHookThreadId = 0;
    }
    // What the engine holds is used by a thread still running: it stays as it is.
    // The user's mouse settings come back all the same once neither the hook
    // thread nor the system-parameters thread it started is left to change
    // them: a timer thread left running has no hooks left to act for.
    if (leftRunning)
    {
        if (g_threads.hHookThread == nullptr && g_threads.pSPIThread == nullptr)
            RestoreMouseSettings(restore);
        return false;
    }
    DeleteRogueWorkers();

    RestoreMouseSettings(restore);

    ForgetButtonStates();
    g_engine.hCurrentWnd = nullptr;
    g_engine.bCurrentModernUI = false;
    g_engine.szCurrentProcess[0] = L'\0';
    SetNewApp(nullptr);
    return true;
}

bool RemoveMouseHook(bool restore)
{
    // Checked before the control lock: a stop already under way on another
    // thread holds it while it waits for this very thread.
    const DWORD self = ::GetCurrentThreadId();
    if (self == g_threads.dwHookThreadId || self == g_threads.dwTimerThreadId)
    {
        CLogger::LogMessage(L"RemoveMouseHook called on the hook or timer thread (0x%X) - ignored", self);
        return false;
    }
    CGenericThreadLock control(&g_threads.csHookControl, L"RemoveMouseHook");
    CLogger::LogThreadDebug(L"RemoveMouseHook(%s)", restore ? L"true" : L"false");
    const DWORD start = ::GetTickCount();
    const bool ended = EndHookThread(restore);
    if (ended)
    {
        ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        const DWORD took = ::GetTickCount() - start;
        if (took > 20)
            CLogger::LogThreadDebug(L"RemoveMouseHook thread took %dms", static_cast<int>(took));
    }
    // The program stops the hooks before it ends, and the library is not told
    // again when the process ends: the remembered layer and, in portable mode,
    // the last update check are written now. Installed, the state file holds
    // only the layer, and only when the layer is to be remembered.
    if (IsPortableMode() || (g_pSettings != nullptr && g_pSettings->m_bPersistLayer))
        SaveGlobalPersistantSettings();
    return ended;
}

bool SetFindHook(HWND window)
{
    if (g_threads.hFindHook != nullptr)
    {
        ::UnhookWindowsHookEx(g_threads.hFindHook);
        g_threads.hFindHook = nullptr;
    }
    g_engine.hFindWnd = window;
    g_threads.hFindHook = ::SetWindowsHookExW(WH_MOUSE_LL, FindHookLLProc, g_system.hInstance, 0);
    return g_threads.hFindHook != nullptr;
}

bool RemoveFindHook()
{
    g_engine.hFindWnd = nullptr;
    if (g_threads.hFindHook == nullptr)
        return true;
    if (!::UnhookWindowsHookEx(g_threads.hFindHook))
        return false;
    g_threads.hFindHook = nullptr;
    return true;
}

void DisplayChanged()
{
    CThreadLock lock(L"DisplayChanged");
    g_system.nScreenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    g_system.nScreenHeight = ::GetSystemMetrics(SM_CYSCREEN);
}
