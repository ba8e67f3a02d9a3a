// Scrolling the window under the cursor by posted window messages.

#include "WindowScrolling.h"

#include <cstdlib>
#include <cwchar>

#include "ApplicationSettings.h"
#include "DpiScaling.h"
#include "Globals.h"
#include "LastWheel.h"
#include "Logger.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "WindowActivation.h"
#include "WindowFacts.h"
#include "WindowFromPoint.h"

namespace
{
constexpr int kClassChars = 261;
constexpr int kHighIntegrity = 0x3000;

LPARAM PackPoint(POINT point)
{
    return static_cast<LPARAM>((static_cast<DWORD>(point.y & 0xFFFF) << 16) | static_cast<DWORD>(point.x & 0xFFFF));
}

WPARAM PackWheel(int delta, WORD keys)
{
    return static_cast<WPARAM>((static_cast<DWORD>(delta & 0xFFFF) << 16) | keys);
}

// The key-state word of the mouse messages.
WORD MouseKeyState()
{
    struct
    {
        int key;
        WORD bit;
    } const keys[] = {{VK_LBUTTON, MK_LBUTTON}, {VK_RBUTTON, MK_RBUTTON}, {VK_SHIFT, MK_SHIFT},
                      {VK_CONTROL, MK_CONTROL}, {VK_MBUTTON, MK_MBUTTON}, {VK_XBUTTON1, MK_XBUTTON1},
                      {VK_XBUTTON2, MK_XBUTTON2}};
    WORD state = 0;
    for (const auto& k : keys)
    {
        if (::GetAsyncKeyState(k.key) & 0x8000)
            state |= k.bit;
    }
    return state;
}

// A delta times a profile's multiplier, kept within a wheel delta's range: the
// multiplier comes from the settings file and may be anything.
int Multiply(int delta, int multiplier)
{
    long long value = static_cast<long long>(delta) * multiplier;
    if (value > SHRT_MAX)
        value = SHRT_MAX;
    if (value < SHRT_MIN)
        value = SHRT_MIN;
    return static_cast<int>(value);
}

short ToShort(int delta)
{
    return static_cast<short>(delta > SHRT_MAX ? SHRT_MAX : delta < SHRT_MIN ? SHRT_MIN : delta);
}

bool InRemoteSessionWithoutInversion()
{
    return g_pSettings != nullptr && g_pSettings->m_bDisableInvertedScrollInRDP &&
           ::GetSystemMetrics(SM_REMOTESESSION) != 0;
}

struct ScrollBarSearch
{
    bool horizontal;
    HWND found;
};

BOOL CALLBACK FindScrollBarProc(HWND child, LPARAM param)
{
    auto& search = *reinterpret_cast<ScrollBarSearch*>(param);
    const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
    if ((style & WS_VISIBLE) == 0)
        return TRUE;
    wchar_t cls[kClassChars];
    if (::GetClassNameW(child, cls, kClassChars) <= 0 || std::wcsstr(cls, L"Scroll") == nullptr)
        return TRUE;
    const bool vertical = (style & SBS_VERT) != 0;
    if (search.horizontal)
    {
        if (vertical)
            return TRUE;
        search.found = child;
        return FALSE;
    }
    if (!vertical)
        return TRUE;
    if (search.found == nullptr)
    {
        search.found = child;
        return TRUE;
    }
    // Two vertical bars (a split view): the one beside the cursor.
    POINT cursor{};
    GetPhysCursorPos(&cursor);
    RECT rect{};
    if (::GetWindowRect(child, &rect) && cursor.y <= rect.bottom)
        search.found = child;
    return FALSE;
}

void PostLines(HWND bar, HWND window, UINT message, WORD code, int lines)
{
    const bool own = bar == window;
    for (int i = 0; i < lines; ++i)
    {
        ::PostMessageW(bar, message, code, reinterpret_cast<LPARAM>(bar));
        if (!own)
            ::PostMessageW(window, message, code, reinterpret_cast<LPARAM>(bar));
    }
    ::PostMessageW(bar, message, SB_ENDSCROLL, own ? 0 : reinterpret_cast<LPARAM>(bar));
    if (!own)
        ::PostMessageW(window, message, SB_ENDSCROLL, reinterpret_cast<LPARAM>(bar));
}

}

// Refreshes the wheel record for window at point: its profile and the windows
// activation looks at.
void RefreshWheelRecord(HWND window, POINT point)
{
    CLastWheel record;
    record.m_hWnd = window;
    record.m_hWnd2 = window;
    record.m_hParent = windowfacts::Parent(window);
    HWND root = windowfacts::Root(window);
    const LONG rootExStyle = root != nullptr ? windowfacts::ExStyle(root) : 0;
    if (root != nullptr && (rootExStyle & WS_EX_TOPMOST) == 0)
    {
        record.m_hTopLevel = root;
        record.m_bNoActivate = (rootExStyle & WS_EX_NOACTIVATE) != 0;
        HWND foreground = ::GetForegroundWindow();
        record.m_bForegroundIsChild = foreground != nullptr && foreground != root && ::IsChild(root, foreground);
    }
    wchar_t process[MAX_PATH] = L"";
    if (GetProcessName(window, 0, process, MAX_PATH, nullptr, PNR_WindowFromHWND))
    {
        std::wcsncpy(record.m_szProcess, process, MAX_PATH - 1);
        record.m_szProcess[MAX_PATH - 1] = L'\0';
        record.m_pApp = FindAppSettings(window, process, point, nullptr);
    }
    record.m_nAppValue = record.m_pApp != nullptr ? record.m_pApp->AdvScrollMethod() : kScrollDefault;
    record.m_pt = point;
    record.m_rc = {point.x - 4, point.y - 4, point.x + 4, point.y + 4};
    g_LastWheel.Copy(record);
}

namespace
{

bool ScrollWindowAt(const POINT& point, int delta, bool horizontal)
{
    const wchar_t* name = horizontal ? L"brmpScrollWindowHorz" : L"brmpScrollWindow";
    const UINT message = horizontal ? WM_HSCROLL : WM_VSCROLL;
    const UINT wheelMessage = horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL;
    HWND window = RealWindowFromPoint(point);
    if (window == nullptr)
        return false;
    RefreshWheelRecord(window, point);

    CApplicationSettings* profile = g_LastWheel.m_pApp;
    int method = kScrollLines;
    HWND target = nullptr;
    if (profile != nullptr)
    {
        if (g_pSettings == nullptr && !horizontal)
        {
            CLogger::LogMessage(L"%s: Settings object is NULL can't continue.", name);
            return false;
        }
        const bool inverted = horizontal ? profile->InvertedHorzScrolling()
                                         : profile->InvertedScrolling() && !InRemoteSessionWithoutInversion();
        if (inverted)
            delta = -delta;
        method = g_LastWheel.m_nAppValue;
        if (method != kScrollDefault && method != kScrollDefaultAlt)
            delta = Multiply(delta, horizontal ? profile->AdvScrollHorizontal() : profile->AdvScrollVertical());
        HWND second = g_LastWheel.m_hWnd2;
        target = GetFirstEnabledWindow(second);
        if (target == nullptr)
            target = second;
    }
    else
    {
        CApplicationSettings* current = g_engine.pCurrentApp;
        const bool inverted = current != nullptr &&
                              (horizontal ? current->InvertedHorzScrolling()
                                          : current->InvertedScrolling() && !InRemoteSessionWithoutInversion());
        if (inverted)
            delta = -delta;
        target = GetFirstEnabledWindow(window);
        if (target == nullptr)
            target = window;
    }
    if (g_pSettings != nullptr && g_pSettings->m_bActivateOnScroll)
        ActivateBeforeScroll(::GetForegroundWindow(), window, window);

    const short amount = ToShort(delta);
    if (!Scroll(target, message, amount, method))
        ::PostMessageW(target, wheelMessage, PackWheel(amount, 0), PackPoint(point));
    return true;
}
}

void GetMouseMessageName(UINT message, wchar_t* buffer)
{
    if (buffer == nullptr)
        return;
    const wchar_t* name = L" (UNKNOWN)";
    switch (message)
    {
    case WM_MOUSEMOVE: name = L" (WM_MOUSEMOVE)"; break;
    case WM_LBUTTONDOWN: name = L" (WM_LBUTTONDOWN)"; break;
    case WM_LBUTTONUP: name = L" (WM_LBUTTONUP)"; break;
    case WM_LBUTTONDBLCLK: name = L" (WM_LBUTTONDBLCLK)"; break;
    case WM_RBUTTONDOWN: name = L" (WM_RBUTTONDOWN)"; break;
    case WM_RBUTTONUP: name = L" (WM_RBUTTONUP)"; break;
    case WM_RBUTTONDBLCLK: name = L" (WM_RBUTTONDBLCLK)"; break;
    case WM_MBUTTONDOWN: name = L" (WM_MBUTTONDOWN)"; break;
    case WM_MBUTTONUP: name = L" (WM_MBUTTONUP)"; break;
    case WM_MBUTTONDBLCLK: name = L" (WM_MBUTTONDBLCLK)"; break;
    case WM_MOUSEWHEEL: name = L" (WM_MOUSEWHEEL)"; break;
    case WM_XBUTTONDOWN: name = L" (WM_XBUTTONDOWN)"; break;
    case WM_XBUTTONUP: name = L" (WM_XBUTTONUP)"; break;
    case WM_XBUTTONDBLCLK: name = L" (WM_XBUTTONDBLCLK)"; break;
    case WM_MOUSEHWHEEL: name = L" (WM_MOUSEHWHEEL)"; break;
    default: break;
    }
    wcscpy_s(buffer, kMouseMessageNameChars, name);
}

int ScrollNotches(int delta)
{
    return std::abs(delta / WHEEL_DELTA);
}

int ScrollLineCount(int delta)
{
    const int magnitude = std::abs(delta);
    return magnitude > 0 ? (magnitude - 1) / WHEEL_DELTA + 1 : 0;
}

WORD ScrollLineCode(bool horizontal, int delta)
{
    if (horizontal)
        return delta > 0 ? SB_LINERIGHT : SB_LINELEFT;
    return delta <= 0 ? SB_LINEDOWN : SB_LINEUP;
}

int ScrollThumbPosition(int position, int minimum, int maximum, int delta)
{
    int result = position + delta / WHEEL_DELTA;
    if (result > maximum)
        result = maximum;
    if (result < minimum)
        result = minimum;
    return result;
}

bool IntegrityAllowsSend(int own, int target)
{
    return own >= kHighIntegrity || target <= own;
}

int WindowIntegrityLevel(HWND window)
{
    DWORD pid = 0;
    if (window == nullptr || ::GetWindowThreadProcessId(window, &pid) == 0 || pid == 0)
        return 0;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return 0;
    int level = 0;
    HANDLE token = nullptr;
    if (::OpenProcessToken(process, TOKEN_QUERY, &token))
    {
        alignas(TOKEN_MANDATORY_LABEL) BYTE buffer[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size))
        {
            const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer);
            PSID sid = label->Label.Sid;
            if (sid != nullptr && ::IsValidSid(sid))
            {
                const UCHAR count = *::GetSidSubAuthorityCount(sid);
                if (count > 0)
                    level = static_cast<int>(*::GetSidSubAuthority(sid, count - 1u));
            }
        }
        ::CloseHandle(token);
    }
    ::CloseHandle(process);
    return level;
}

int CachedWindowIntegrityLevel(HWND window)
{
    // Each thread keeps the last window it asked for: a process cannot change
    // its level, and opening it on every notch costs a round trip to the system.
    struct Cached
    {
        HWND window = nullptr;
        DWORD pid = 0;
        int level = 0;
    };
    thread_local Cached cached;
    DWORD pid = 0;
    if (window == nullptr || ::GetWindowThreadProcessId(window, &pid) == 0)
        return 0;
    if (cached.window != window || cached.pid != pid)
        cached = Cached{window, pid, WindowIntegrityLevel(window)};
    return cached.level;
}

HWND FindScrollBar(HWND window, bool horizontal)
{
    if (window == nullptr)
        return nullptr;
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    if ((style & WS_VISIBLE) != 0 && (style & (horizontal ? WS_HSCROLL : WS_VSCROLL)) != 0)
        return window;
    ScrollBarSearch search{horizontal, nullptr};
    ::EnumChildWindows(window, FindScrollBarProc, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
    {
        // A window without parent makes this an enumeration of the top-level windows.
        ::EnumChildWindows(::GetParent(window), FindScrollBarProc, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

bool Scroll(HWND window, UINT message, short delta, int method)
{
    const bool horizontal = message == WM_HSCROLL;
    const wchar_t* direction = horizontal ? L"horizontal" : L"vertical";
    if (method == kScrollDisabled || method == kScrollDisabledAlt)
    {
        CLogger::LogDebug(L"Scroll: Scroll method = disabled; don't scroll!");
        return true;
    }
    if (method == kScrollDefault || method == kScrollDefaultAlt)
    {
        CLogger::LogDebug(L"Scroll: Scroll method = default.");
        return false;
    }
    if (window == nullptr)
        return false;

    const int target = CachedWindowIntegrityLevel(window);
    CLogger::LogDebug(L"CanSendToProcess: Process integrity 0x%08X (%d), our integrity 0x%08X (%d)", target, target,
                      g_engine.nIntegrityLevel, g_engine.nIntegrityLevel);
    if (!IntegrityAllowsSend(g_engine.nIntegrityLevel, target))
    {
        CLogger::LogDebug(L"Unable to send %s scroll message to elevated process!", direction);
        return false;
    }

    const int notches = ScrollNotches(delta);
    if (method == kScrollArrowKeys && horizontal)
    {
        const WORD key = delta >= 0 ? VK_RIGHT : VK_LEFT;
        CLogger::LogDebug(L"Simulating VK_%s to scroll window 0x%08X (Method 3)", delta >= 0 ? L"RIGHT" : L"LEFT",
                          HandleNumber(window));
        const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
        const LPARAM down = static_cast<LPARAM>(1u | ((scan & 0xFFu) << 16));
        const LPARAM up = static_cast<LPARAM>(static_cast<DWORD>(down) | 0xC0000000u);
        if (HWND receiver = GetFirstEnabledWindow(window))
        {
            for (int i = 0; i < notches; ++i)
            {
                ::PostMessageW(receiver, WM_KEYDOWN, key, down);
                ::PostMessageW(receiver, WM_KEYUP, key, up);
            }
        }
        return true;
    }
    if (method == kScrollWheelMessage)
    {
        CLogger::LogDebug(L"Simulating %s scroll for window 0x%08X (method 4) delta %d", direction, HandleNumber(window),
                          static_cast<int>(delta));
        POINT cursor{};
        GetPhysCursorPos(&cursor);
        if (HWND receiver = GetFirstEnabledWindow(window))
            ::PostMessageW(receiver, horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL, PackWheel(delta / 3, MouseKeyState()),
                           PackPoint(cursor));
        return true;
    }
    if (method == kScrollWindowLines)
    {
        POINT cursor{};
        GetPhysCursorPos(&cursor);
        CLogger::LogDebug(L"Simulating WPF %s scroll for window 0x%08X (method 5) delta %d", direction, HandleNumber(window),
                          static_cast<int>(delta));
        const WORD code = ScrollLineCode(horizontal, delta);
        if (HWND receiver = GetFirstEnabledWindow(window))
        {
            for (int i = 0; i < notches; ++i)
                ::PostMessageW(receiver, message, code, PackPoint(cursor));
        }
        return true;
    }

    HWND bar = FindScrollBar(window, horizontal);
    if (bar == nullptr)
        bar = FindScrollBar(GetFirstEnabledWindow(window), horizontal);
    if (bar == nullptr)
    {
        CLogger::LogDebug(L"Can't find scrollbar for the active window / window under the cursor");
        return false;
    }
    const bool own = bar == window;
    if (method == kScrollThumb)
    {
        CLogger::LogDebug(L"Simulating %s scroll for window 0x%08X (method 2, scrollbar 0x%08X) delta %d", direction,
                          HandleNumber(window), HandleNumber(bar), static_cast<int>(delta));
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_POS;
        if (!::GetScrollInfo(bar, own ? (horizontal ? SB_HORZ : SB_VERT) : SB_CTL, &info))
            info.nMin = info.nMax = info.nPos = 0;
        // Up (a positive delta) lowers a vertical position, right raises a
        // horizontal one, whether the bar is the window's own or a control.
        const int step = horizontal ? delta : -delta;
        const int position = ScrollThumbPosition(info.nPos, info.nMin, info.nMax, step);
        ::PostMessageW(bar, message, static_cast<WPARAM>((static_cast<DWORD>(position & 0xFFFF) << 16) | SB_THUMBPOSITION),
                       reinterpret_cast<LPARAM>(bar));
        return true;
    }

    CLogger::LogDebug(L"Simulating %s scroll for window 0x%08X (method 1, scrollbar 0x%08X) delta %d", direction,
                      HandleNumber(window), HandleNumber(bar), static_cast<int>(delta));
    PostLines(bar, window, message, ScrollLineCode(horizontal, delta), ScrollLineCount(delta));
    return true;
}

bool brmpScrollWindow(const POINT& point, int delta)
{
    return ScrollWindowAt(point, delta, false);
}

bool brmpScrollWindowHorz(const POINT& point, int delta)
{
    return ScrollWindowAt(point, delta, true);
}

void ActivateBeforeScroll(HWND active, HWND window, HWND target)
{
    HWND ancestor = g_LastWheel.m_hTopLevel;
    if (ancestor == nullptr || ancestor == active || window == active)
        return;
    if (g_LastWheel.m_bForegroundIsChild)
        return;
    if (g_LastWheel.m_bNoActivate)
    {
        CLogger::LogDebug(L"Not activating because window under the cursor has the style WS_EX_NOACTIVATE");
        return;
    }
    // Handed to the timer thread: the callers run in the mouse hook.
    if (HWND activate = GetWindowToActivate(target, active))
        ActivateWindow(activate, false, false);
}
