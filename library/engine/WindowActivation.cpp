// Bringing windows to the foreground, on the timer thread, and ending processes by name.

#include "WindowActivation.h"

#include <psapi.h>

#include <atomic>
#include <cwchar>
#include <cwctype>

#include "ApplicationSettings.h"
#include "Globals.h"
#include "Logger.h"
#include "ProcessLaunch.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "MouseHook.h"
#include "TimerThread.h"
#include "WindowFromPoint.h"
#include "DpiScaling.h"

namespace
{
constexpr int kClassChars = 261;

std::atomic<bool> g_requestTryHard{false};
std::atomic<HWND> g_hoverWindow{nullptr};
std::atomic<HWND> g_lastForcedWindow{nullptr};
std::atomic<DWORD> g_lastForcedThread{0};

// The class name, truncated to the buffer; empty when it can't be read.
struct ClassName
{
    explicit ClassName(HWND window)
    {
        if (window == nullptr || ::GetClassNameW(window, text, kClassChars) <= 0)
            text[0] = L'\0';
    }
    wchar_t text[kClassChars];
};

bool Contains(const wchar_t* text, const wchar_t* part)
{
    return std::wcsstr(text, part) != nullptr;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix)
{
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Controls that take the activation themselves.
bool IsEditClass(const wchar_t* className)
{
    return std::wcscmp(className, L"Edit") == 0 || std::wcscmp(className, L"Button") == 0 ||
           std::wcscmp(className, L"ListBox") == 0 || std::wcscmp(className, L"msctls_updown32") == 0 ||
           StartsWith(className, L"RichEdit") || StartsWith(className, L"SysTabControl") ||
           StartsWith(className, L"#32770") || Contains(className, L"ComboBox");
}

bool OnTimerThread()
{
    return g_threads.dwTimerThreadId != 0 && g_threads.dwTimerThreadId == ::GetCurrentThreadId();
}

// Whether window or one of its ancestors is candidate.
bool IsSelfOrAncestor(HWND window, HWND candidate)
{
    for (HWND w = window; w != nullptr; w = ::GetParent(w))
    {
        if (w == candidate)
            return true;
    }
    return false;
}

void OnActivateRequest(HWND window)
{
    ForceForegroundWindow(window, g_requestTryHard.load(), true);
}

void OnShellExecuteRequest(void* request)
{
    auto* info = static_cast<CShellExecuteInfo*>(request);
    try
    {
        LaunchProcessThreadProc(info);
    }
    catch (...)
    {
        // Already logged by the launch; the timer thread goes on.
    }
    delete info;
}

// The timer thread inside a step of the engine that holds the global lock (a
// profile switch, a layer change): work that waits on other applications is
// handed to the timer thread itself, to run once that step has left the lock.
bool TimerThreadHoldsLock()
{
    return OnTimerThread() && CThreadLock::m_sdwOwner == ::GetCurrentThreadId();
}

// A launch from another thread goes to the timer thread; the hook thread never
// launches itself, since the shell may wait on other applications.
LaunchHandOver HandLaunchToTimerThread(CShellExecuteInfo* info)
{
    if (g_threads.dwTimerThreadId == 0 || (OnTimerThread() && !TimerThreadHoldsLock()))
        return LaunchHandOver::RunHere;
    RegisterWindowRequestHandlers();
    if (::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_ShellExecute, reinterpret_cast<WPARAM>(info), 0))
        return LaunchHandOver::HandedOver;
    CLogger::LogOSMessage(::GetLastError(), L"ThreadShellExecute: Unable to hand the launch to the timer thread");
    return ::GetCurrentThreadId() == g_threads.dwHookThreadId ? LaunchHandOver::Refused : LaunchHandOver::RunHere;
}

// The handlers are in place as soon as the library is loaded.
const bool g_registered = [] {
    RegisterWindowRequestHandlers();
    SetLaunchHandOver(HandLaunchToTimerThread);
    SetTimerThreadHandler(ID_TIMER_ACTIVATEONHOVER, ActivateWindowTimerProc);
    return true;
}();

void StartMouseOverSwitch()
{
    if (g_pSettings == nullptr || !g_pSettings->m_bSwitchOnMouseOver)
        return;
    if (CApplicationSettings::GetDisableMouseOver(g_engine.pCurrentApp))
        return;
    // The check reads the cursor itself; the last move's point is its fallback.
    AskMouseOverCheck(g_ptLastMove, 100);
}

bool IsForeground(HWND window)
{
    return ::GetForegroundWindow() == window;
}
}

ForcedForeground LastForcedForeground()
{
    return {g_lastForcedWindow.load(), g_lastForcedThread.load()};
}

void RegisterWindowRequestHandlers()
{
    SetTimerThreadRequestHandlers(OnActivateRequest, OnShellExecuteRequest);
}

HWND GetFirstEnabledWindow(HWND window)
{
    for (HWND w = window; w != nullptr; w = ::GetParent(w))
    {
        if (::IsWindowEnabled(w))
            return w;
        CLogger::LogDebug(L"GetFirstEnabledWindow: Window to send to is disabled, send to its parent..");
    }
    return nullptr;
}

ActivateClassRule ActivateRuleForClass(const wchar_t* className, const wchar_t* parentClass)
{
    const wchar_t* parent = parentClass != nullptr ? parentClass : L"";
    if (Contains(className, L"MozillaCompositorWindow"))
        return ActivateClassRule::Parent;
    if (Contains(className, L"SALSUBFRAME"))
        return ActivateClassRule::Never;
    if (EqualsNoCase(className, L"Intermediate D3D Window") || EqualsNoCase(className, L"EXCEL7") ||
        EqualsNoCase(className, L"SurfCamDrawWindow") || Contains(className, L"Chrome_Render"))
        return ActivateClassRule::Parent;
    if (Contains(className, L"ToolbarWindow32") || Contains(className, L"MSTaskListWClass") ||
        Contains(className, L"Shell_TrayWnd") || Contains(className, L"TrayNotifyWnd"))
        return ActivateClassRule::Never;
    if (Contains(className, L"SysListView32") && Contains(parent, L"ListviewPopup"))
        return ActivateClassRule::Never;
    if (IsEditClass(className))
        return ActivateClassRule::Window;
    if (Contains(className, L"Chrome_WidgetWin"))
        return ActivateClassRule::Chrome;
    return ActivateClassRule::Window;
}

HWND GetWindowToActivate(HWND window, HWND active)
{
    if (window == nullptr)
        return nullptr;
    // The active window is a child of the window (or of one of its ancestors).
    if (active != nullptr)
    {
        for (HWND up = ::GetParent(active); up != nullptr; up = ::GetParent(up))
        {
            if (IsSelfOrAncestor(window, up))
            {
                CLogger::LogDebug(L"GetWindowToActivate: Unable to activate parent as active window is a child");
                return nullptr;
            }
        }
    }

    ClassName cls(window);
    if (Contains(cls.text, L"MozillaCompositorWindow"))
    {
        CLogger::LogDebug(L"GetWindowToActivate: Window 0x%08X is a firefox window (class='%s')", HandleNumber(window), cls.text);
        if (HWND parent = ::GetParent(window))
        {
            window = parent;
            cls = ClassName(window);
            CLogger::LogDebug(L"GetWindowToActivate: Getting parent window 0x%08X (class='%s')", HandleNumber(window), cls.text);
        }
    }
    if (Contains(cls.text, L"SALSUBFRAME"))
    {
        CLogger::LogDebug(L"GetWindowToActivate: Not activating SALSUBFRAME window 0x%08X on scroll wheel", HandleNumber(window));
        return nullptr;
    }
    const wchar_t* kind = EqualsNoCase(cls.text, L"Intermediate D3D Window") ? L"Intermediate D3D"
                          : EqualsNoCase(cls.text, L"EXCEL7")                ? L"Excel"
                          : EqualsNoCase(cls.text, L"SurfCamDrawWindow")     ? L"SurfCam"
                          : Contains(cls.text, L"Chrome_Render")             ? L"Chrome Render"
                                                                              : nullptr;
    if (kind != nullptr)
    {
        HWND parent = ::GetParent(window);
        CLogger::LogDebug(L"GetWindowToActivate: Window 0x%08X is a %s window (class='%s') using parent 0x%08X",
                          HandleNumber(window), kind, cls.text, HandleNumber(parent));
        if (parent != nullptr)
        {
            window = parent;
            cls = ClassName(window);
        }
    }
    if (!::IsWindowEnabled(window))
    {
        CLogger::LogDebug(L"GetWindowToActivate: Not activating disabled window 0x%08X (class='%s') on scroll wheel",
                          HandleNumber(window), cls.text);
        return nullptr;
    }
    if ((::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0)
    {
        CLogger::LogDebug(L"GetWindowToActivate: Window 0x%08X (class='%s') has the NO ACTIVATE style - aborting.",
                          HandleNumber(window), cls.text);
        return nullptr;
    }
    ClassName parentClass(::GetParent(window));
    const ActivateClassRule rule = ActivateRuleForClass(cls.text, parentClass.text);
    if (rule == ActivateClassRule::Never)
    {
        CLogger::LogDebug(L"GetWindowToActivate: Not activating window %08X (%s)", HandleNumber(window), cls.text);
        return nullptr;
    }
    if (IsEditClass(cls.text))
    {
        CLogger::LogDebug(L"GetWindowToActivate: Activating edit window under cursor - window: 0x%08X (class='%s')",
                          HandleNumber(window), cls.text);
        return window;
    }
    if (rule == ActivateClassRule::Chrome && active != nullptr)
    {
        DWORD windowPid = 0;
        DWORD activePid = 0;
        ::GetWindowThreadProcessId(window, &windowPid);
        ::GetWindowThreadProcessId(active, &activePid);
        if (windowPid == activePid)
        {
            CLogger::LogDebug(L"GetWindowToActivate: Not activating chrome widget window: 0x%08X (class='%s', parent "
                              L"0x%08X) of the same process which is already active. Ignoring!",
                              HandleNumber(window), cls.text, HandleNumber(::GetParent(window)));
            return nullptr;
        }
    }
    if (StartsWith(cls.text, L"Chrome_Render"))
    {
        HWND foreground = ::GetForegroundWindow();
        if (foreground != nullptr &&
            ::GetWindowThreadProcessId(window, nullptr) == ::GetWindowThreadProcessId(foreground, nullptr) &&
            ::GetParent(foreground) != nullptr)
        {
            CLogger::LogDebug(L"GetWindowToActivate: Not activating chrome window under cursor - window: 0x%08X "
                              L"(class='%s'), parent 0x%08X",
                              HandleNumber(window), cls.text, HandleNumber(::GetParent(window)));
            return nullptr;
        }
    }
    return window;
}

void ActivateWindow(HWND window, bool parents, bool direct)
{
    if (window == nullptr)
        return;
    ClassName cls(window);
    CLogger::LogDebug(L"Activating foreground window: 0x%08X", HandleNumber(window));
    CLogger::LogDebug(L"ActivateWindow: Activating window: 0x%08X (class='%s')", HandleNumber(window), cls.text);
    // A child whose top-level window is already in front only needs to be told
    // it was clicked: forcing the foreground would change nothing.
    HWND foreground = ::GetForegroundWindow();
    if (parents && foreground != nullptr && foreground != window && IsSelfOrAncestor(::GetParent(window), foreground))
    {
        CLogger::LogDebug(L"ActivateWindow: Parent of window 0x%08X (class='%s') is already active sending "
                          L"WA_CLICKACTIVE instead.",
                          HandleNumber(window), cls.text);
        ::PostMessageW(window, WM_ACTIVATE, WA_CLICKACTIVE, reinterpret_cast<LPARAM>(foreground));
        return;
    }
    ForceForegroundWindow(window, parents, direct);
}

void ForceForegroundWindow(HWND window, bool tryHard, bool direct)
{
    if (window == nullptr)
        return;
    // The activation waits on other applications: the timer thread does it,
    // and not while it holds the global lock.
    const bool handOver = TimerThreadHoldsLock() || (!direct && !OnTimerThread());
    if (handOver && g_threads.dwTimerThreadId != 0)
    {
        CLogger::LogDebug(L"Activte window in the timer thread...");
        RegisterWindowRequestHandlers();
        g_requestTryHard = tryHard;
        if (::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_ActivateWindow, reinterpret_cast<WPARAM>(window), 0))
            return;
        CLogger::LogOSMessage(::GetLastError(), L"ForceForegroundWindow: Unable to post to the timer thread");
        // Never wait on another application from the hook thread.
        if (::GetCurrentThreadId() == g_threads.dwHookThreadId)
            return;
    }

    if (tryHard)
    {
        for (HWND parent = ::GetParent(window); parent != nullptr; parent = ::GetParent(window))
        {
            CLogger::LogDebug(L"Target window 0x%08X appears to be the desktop - dont try and get parent!", HandleNumber(window));
            ClassName cls(parent);
            if (std::wcscmp(cls.text, L"SHELLDLL_DefView") == 0)
            {
                ::SwitchToThisWindow(window, TRUE);
                break;
            }
            window = parent;
        }
    }
    else
    {
        ::Sleep(25);
    }

    if (!::IsWindow(window))
    {
        CLogger::LogMessage(L"Unable to force invalid window handle 0x%08X to foreground", HandleNumber(window));
        return;
    }
    g_lastForcedThread = ::GetCurrentThreadId();
    g_lastForcedWindow = window;
    HWND before = ::GetForegroundWindow();
    CLogger::LogDebug(L"Force foreground window from 0x%08X to 0x%08X", HandleNumber(before), HandleNumber(window));
    ::SetLastError(0);
    ::SwitchToThisWindow(window, TRUE);
    if (const DWORD error = ::GetLastError())
        CLogger::LogOSDebug(error, L"Unable to force active window from 0x%08X to 0x%08X", HandleNumber(before), HandleNumber(window));

    if (tryHard)
    {
        ::Sleep(20);
        HWND now = ::GetForegroundWindow();
        if (now == before && now != window)
        {
            CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow failed to switch active window to 0x%08X. "
                              L"Foreground window is 0x%08X.",
                              HandleNumber(window), HandleNumber(now));
            const DWORD foregroundThread = ::GetWindowThreadProcessId(now, nullptr);
            const DWORD thisThread = ::GetCurrentThreadId();
            const bool attached = foregroundThread != 0 && foregroundThread != thisThread &&
                                  ::AttachThreadInput(thisThread, foregroundThread, TRUE);
            if (!attached)
                CLogger::LogDebug(L"ForceForegroundWindow: Unable to attach thread input.");
            DWORD oldTimeout = 0;
            ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &oldTimeout, 0);
            ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
            if (!::LockSetForegroundWindow(LSFW_UNLOCK))
                CLogger::LogDebug(L"ForceForegroundWindow: Unable to allow unlock set foreground window. Trying "
                                  L"SwitchToThisWindow again...");
            if (!::AllowSetForegroundWindow(ASFW_ANY))
                CLogger::LogDebug(L"ForceForegroundWindow: Unable to allow set foreground window.");
            ::SwitchToThisWindow(window, TRUE);
            ::Sleep(20);
            if (!IsForeground(window))
            {
                CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow (attempt 2) failed to switch active "
                                  L"window to 0x%08X. Foreground window is 0x%08X.",
                                  HandleNumber(window), HandleNumber(::GetForegroundWindow()));
                ::SetForegroundWindow(window);
                ::Sleep(20);
            }
            ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                    reinterpret_cast<PVOID>(static_cast<UINT_PTR>(oldTimeout)), 0);
            if (attached && !::AttachThreadInput(thisThread, foregroundThread, FALSE))
                CLogger::LogDebug(L"ForceForegroundWindow: Unable to detach thread input.");
            if (!IsForeground(window))
            {
                CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow (attempt 3) failed to switch active "
                                  L"window to 0x%08X. Foreground window is 0x%08X.",
                                  HandleNumber(window), HandleNumber(::GetForegroundWindow()));
                ::SetLastError(0);
                ::SwitchToThisWindow(window, TRUE);
                if (const DWORD error = ::GetLastError())
                    CLogger::LogOSDebug(error, L"Unable to force active window.");
                if (!IsForeground(window))
                    CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow (attempt 4) failed to switch "
                                      L"active window to 0x%08X. Foreground window is 0x%08X.",
                                      HandleNumber(window), HandleNumber(::GetForegroundWindow()));
            }
        }
        else
        {
            ClassName cls(now);
            if (now == window)
                CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow succeeded. Active window is now 0x%08X (%s).",
                                  HandleNumber(now), cls.text);
            else
                CLogger::LogDebug(L"ForceForegroundWindow: SwitchToThisWindow succeeded BUT switched to a different "
                                  L"window. Active window is now 0x%08X (%s).",
                                  HandleNumber(now), cls.text);
        }
        return;
    }
    StartMouseOverSwitch();
}

void ActivateWindowUnderCursor(int mode)
{
    POINT point{};
    GetPhysCursorPos(&point);
    HWND window = RealWindowFromPoint(point);
    if (window == nullptr)
        return;
    HWND foreground = ::GetForegroundWindow();
    GUITHREADINFO info{sizeof(info)};
    HWND focus = ::GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
    if (window == foreground || window == focus)
    {
        CLogger::LogDebug(L"ActivateWindowUnderCursor<%d>: Window under cursor is already active.", mode);
        return;
    }
    HWND parent = ::GetParent(window);
    if (parent != nullptr && parent == foreground)
    {
        CLogger::LogDebug(L"ActivateWindowUnderCursor<%d>: Window under cursor's parent is already active.", mode);
        return;
    }
    HWND target = window;
    if (mode == 2)
    {
        if (parent != nullptr)
            target = parent;
        else
            CLogger::LogDebug(L"ActivateParentWindowUnderCursor<PARENT>: No parent window found. Defaulting to window "
                              L"under cursor.");
    }
    else if (mode == 3)
    {
        HWND root = ::GetAncestor(window, GA_ROOT);
        if (root != nullptr)
            target = root;
        else
            CLogger::LogDebug(L"ActivateWindowUnderCursor<TOP>: No top level (root) window found. Defaulting to window "
                              L"under cursor.");
    }
    else
    {
        HWND root = ::GetAncestor(window, GA_ROOT);
        if (root != nullptr && foreground != nullptr && root == ::GetAncestor(foreground, GA_ROOT))
        {
            CLogger::LogDebug(L"ActivateWindowUnderCursor<%d>: Window under cursor's top root parent is already active.",
                              mode);
            ::PostMessageW(window, WM_ACTIVATE, WA_CLICKACTIVE, reinterpret_cast<LPARAM>(foreground));
            return;
        }
    }
    if (HWND activate = GetWindowToActivate(target, foreground))
        ActivateWindow(activate, true, false);
}

void SetHoverActivateWindow(HWND window)
{
    g_hoverWindow = window;
}

namespace
{
bool PointerRestsOver(HWND window)
{
    POINT point{};
    if (!GetPhysCursorPos(&point))
        return false;
    HWND under = RealWindowFromPoint_SkipLocked(point, true);
    return under != nullptr && ::GetAncestor(under, GA_ROOT) == ::GetAncestor(window, GA_ROOT);
}
} // namespace

void CALLBACK ActivateWindowTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND hover = nullptr;
    {
        CThreadTryLock lock(L"ActivateWindowTimerProc");
        if (!lock)
            return;
        const UINT_PTR stored = GetTimerId(ID_TIMER_ACTIVATEONHOVER);
        const UINT_PTR kill = stored != 0 ? stored : id;
        ::KillTimer(nullptr, kill);
        CLogger::LogDebug(L"ActivateWindowTimerProc: Killed timer %08X", static_cast<unsigned>(kill));
        g_idActivateOnHoverTimer = 0;
        hover = g_hoverWindow.exchange(nullptr);
    }
    // The activation waits on the window's application: it runs without the
    // lock. Only the window the pointer still rests over comes forward.
    if (hover == nullptr || !::IsWindow(hover))
        return;
    if (!PointerRestsOver(hover))
    {
        CLogger::LogDebug(L"ActivateWindowTimerProc: The pointer left window 0x%08X - not activating it", HandleNumber(hover));
        return;
    }
    if (HWND activate = GetWindowToActivate(hover, ::GetForegroundWindow()))
        ActivateWindow(activate, false, true);
}

bool KillProcess(const wchar_t* name)
{
    if (name == nullptr || *name == L'\0')
        return false;
    CLogger::LogDebug(L"Kill Process '%s'", name);
    DWORD ids[1024];
    DWORD bytes = 0;
    if (!::EnumProcesses(ids, sizeof(ids), &bytes))
    {
        CLogger::LogOSMessage(::GetLastError(), L"KillProcess: Unable to list the processes");
        return false;
    }
    const DWORD count = bytes / sizeof(DWORD);
    const DWORD self = ::GetCurrentProcessId();
    for (DWORD i = 0; i < count; ++i)
    {
        if (ids[i] == 0 || ids[i] == self)
            continue;
        HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, ids[i]);
        if (process == nullptr)
            continue;
        wchar_t path[MAX_PATH];
        DWORD size = MAX_PATH;
        bool match = false;
        if (::QueryFullProcessImageNameW(process, 0, path, &size))
        {
            const wchar_t* slash = std::wcsrchr(path, L'\\');
            const wchar_t* file = slash != nullptr ? slash + 1 : path;
            match = EqualsNoCase(file, name);
        }
        if (match)
        {
            CLogger::LogMessage(L"KillProcess: Terminating '%s'", name);
            const BOOL terminated = ::TerminateProcess(process, 1);
            if (!terminated)
                CLogger::LogOSMessage(::GetLastError(), L"KillProcess: Unable to terminate '%s'", name);
            ::CloseHandle(process);
            return terminated != FALSE;
        }
        ::CloseHandle(process);
    }
    return false;
}
