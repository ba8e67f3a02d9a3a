// The profile follows the keyboard focus: a released Ctrl or Alt (the end of a
// window switch by keyboard) starts the key-switch timer, and when it fires the
// window with the focus decides the profile, without waiting for a click.

#include <atomic>
#include <cwchar>

#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "Debug.h"
#include "DpiScaling.h"
#include "Globals.h"
#include "HeldInput.h"
#include "LockAxis.h"
#include "Logger.h"
#include "ProfileSwitch.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"
#include "TimerThread.h"
#include "WindowFacts.h"
#include "WindowFromPoint.h"

namespace
{
// Timer thread only, under the global lock.
HWND g_hLastKeyWindow = nullptr;     // the focus window examined last
constexpr UINT kKeySwitchRetryMs = 100;

// The window with the keyboard focus in the thread of window (the window
// itself when the thread tells nothing).
HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    if (thread != 0 && ::GetGUIThreadInfo(thread, &info))
        window = info.hwndFocus;
    if (window != nullptr)
    {
        wchar_t className[64] = {};
        ::GetClassNameW(window, className, 64);
        if (std::wcscmp(className, L"Windows.UI.Core.CoreComponentInputSource") == 0)
            window = ::GetAncestor(window, GA_ROOT);
    }
    return window;
}

// While a window comes forward there is a moment without a foreground window
// (and when the foreground window's process ends, none until the next
// activation): without mouse-over switching the key-switch timer keeps
// ticking, up to this many ticks, so that the window that comes forward
// decides instead of the switch being lost.
constexpr int kKeySwitchWaitTicks = 50;
// Timer thread, under the global lock: the ticks waited so far (read by
// others), counted for the timer started last.
std::atomic<int> g_nKeySwitchWaits{0};
UINT_PTR g_idKeySwitchWaitTimer = 0;

const bool g_registered = [] {
    SetTimerThreadHandler(ID_TIMER_KEYSWITCH, KeySwitchTimerProc);
    return true;
}();
} // namespace

int KeySwitchWaitedTicks()
{
    return g_nKeySwitchWaits.load();
}

unsigned GetKeyStateMask()
{
    struct Bit
    {
        int vk;
        unsigned bit;
    };
    static const Bit bits[] = {{VK_LBUTTON, 1},    {VK_RBUTTON, 2},  {VK_SHIFT, 4},     {VK_CONTROL, 8},
                               {VK_MBUTTON, 16},   {VK_XBUTTON1, 32}, {VK_XBUTTON2, 64}, {VK_MENU, 256},
                               {VK_LWIN, 512},     {VK_RWIN, 1024},   {VK_APPS, 2048}};
    unsigned mask = 0;
    for (const Bit& b : bits)
    {
        if ((::GetAsyncKeyState(b.vk) & 0x8000) != 0)
            mask |= b.bit;
    }
    return mask;
}

WORD GetMouseKeyState()
{
    return static_cast<WORD>(GetKeyStateMask() & 0x7F);
}

namespace
{
// The window whose profile the keyboard focus asks for, or null.
HWND KeyboardWindow(const CSettings& settings, POINT point)
{
    HWND window = settings.m_bSwitchOnMouseOver ? RealWindowFromPoint_SkipLocked(point, true) : ::GetForegroundWindow();
    return window != nullptr ? FocusOf(window) : nullptr;
}

// The global lock was busy: the check comes again with the next tick.
bool CheckAgainLater()
{
    CLogger::LogDebug(L"GetKeyboardActiveAppSettings: Thread locked - checking again later");
    ProxySetTimer(nullptr, 0, ID_TIMER_KEYSWITCH, kKeySwitchRetryMs, KeySwitchTimerProc, &g_idKeySwitchTimer);
    return false;
}
} // namespace

bool GetKeyboardActiveAppSettings()
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return false;
    // Each fact of the window is read once, the ones the profile rules ask
    // for before the lock is taken for the decision.
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    POINT point{};
    GetPhysCursorPos(&point);
    const HWND window = KeyboardWindow(*settings, point);
    if (window == nullptr)
        return false;

    unsigned switches = 0;
    {
        CThreadTryLock lock(L"GetKeyboardActiveAppSettings");
        if (!lock)
            return CheckAgainLater();
        if (window == g_hLastKeyWindow && window == LastSwitchWindow() && MatchWindowArea(window, g_engine.pCurrentApp, point))
            return false;
        switches = ProfileSwitchCount();
    }

    // The process and the captions are read before the lock is taken again:
    // the hooks never wait for those answers of the system.
    wchar_t process[MAX_PATH] = {};
    bool modernUI = false;
    GetProcessName(window, 0, process, MAX_PATH, nullptr, PNR_Keyboard, &modernUI);
    const CCaptionPrefetch captions(window, process);
    windowfacts::Prefetch(window);

    CThreadTryLock lock(L"GetKeyboardActiveAppSettings");
    if (!lock)
        return CheckAgainLater();
    // A switch made meanwhile is newer than this check.
    if (ProfileSwitchCount() != switches)
        return false;
    CApplicationSettings* current = g_engine.pCurrentApp;
    CApplicationSettings* profile = FindAppSettings(window, process, point, nullptr);
    if (profile == current)
    {
        CLogger::LogDebug(L"Detected new HWND %08X (due to keyboard) from %08X. The active profile has not changed.",
                          HandleNumber(window), HandleNumber(g_hLastKeyWindow));
        g_hLastKeyWindow = window;
        AbortMovementToScroll(L"GetKeyboardActiveAppSettings: Aborting movement to scroll.");
        return false;
    }

    if (g_engine.szCurrentProcess[0] != L'\0')
        CLogger::LogMessage(L"Detected active app/window change (due to keyboard) from '%s' to '%s'.",
                            g_engine.szCurrentProcess, process);
    else
        CLogger::LogMessage(L"Detected active app/window change (due to keyboard) from <unknown> to '%s'.", process);
    if (g_nStickyState[STICKY_KEYREPEAT] > 0)
        ResetSticky(point, STICKY_KEYREPEAT, g_engine.nCurrentLayer, -1);
    if ((profile == nullptr || !profile->AxisLocking()) && g_LockAxis.Locked())
    {
        CLogger::LogMessage(L"CLockAxis::Unlock - change cursor to default for app/layer %d", g_engine.nCurrentLayer + 1);
        g_LockAxis.Unlock(g_threads.pSPIThread, g_engine.nCurrentLayer, settings, current, false);
    }
    // A button held keeps the profile of its press: the user's own, and one
    // the library holds for the user (a sticky drag must not be dropped).
    if (g_held.ButtonHeld())
    {
        CLogger::LogMessage(L"Changing application settings while button is down... Ignoring app switch until NEXT button down!");
        return false;
    }
    ResetDuringKeys(point);
    ResetAllSticky(point);
    if (profile != nullptr && GetDebug())
        profile->Log(process);
    g_hLastKeyWindow = window;
    InstallProfile(window, process, profile, modernUI);
    SetLastProfileWindow(window);
    lock.Release();
    ApplyProfileSwitch(window, profile);
    return true;
}

void CALLBACK KeySwitchTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    (void)g_registered;
    // The timer's id is the timer thread's own; the check takes the lock
    // itself, and only while no other application is asked anything.
    const UINT_PTR stored = g_idKeySwitchTimer;
    if (id != stored)
    {
        CLogger::LogMessage(L"KeySwitchTimerProc: Unexpected timer ID 0x%08X (0x%08X)", static_cast<unsigned>(id),
                            static_cast<unsigned>(stored));
        if (!::KillTimer(nullptr, id))
            CLogger::LogMessage(L"KeySwitchTimerProc: Unable to kill timer 0x%08X", static_cast<unsigned>(id));
    }
    if (id == stored && g_pSettings != nullptr && !g_pSettings->m_bSwitchOnMouseOver)
    {
        if (stored != g_idKeySwitchWaitTimer)
        {
            g_idKeySwitchWaitTimer = stored;
            g_nKeySwitchWaits = 0;
        }
        const HWND foreground = ::GetForegroundWindow();
        if ((foreground == nullptr || FocusOf(foreground) == nullptr) && ++g_nKeySwitchWaits < kKeySwitchWaitTicks)
        {
            if (g_nKeySwitchWaits == 1)
                CLogger::LogDebug(L"KeySwitchTimerProc: No window has the keyboard focus yet, checking on the next tick.");
            return;
        }
    }
    g_nKeySwitchWaits = 0;
    g_idKeySwitchWaitTimer = 0;
    if (stored != 0 && !::KillTimer(nullptr, stored))
        CLogger::LogOSMessage(::GetLastError(), L"KeySwitchTimerProc: Unable to stop timer id 0x%08X (ptrID: 0x%08X).",
                              static_cast<unsigned>(stored), static_cast<unsigned>(ID_TIMER_KEYSWITCH));
    g_idKeySwitchTimer = 0;
    CLogger::LogDebug(L"KeySwitchTimerProc: Checking active app profile...");
    try
    {
        GetKeyboardActiveAppSettings();
    }
    catch (...)
    {
        CLogger::LogMessage(L"KeySwitchTimerProc: An exception ended the check");
    }
}
