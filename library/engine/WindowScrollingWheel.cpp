// The mouse hook's vertical wheel redirection: the window under the cursor is
// scrolled although it is not the foreground window. Runs inside the hook:
// everything is posted, nothing waits on another application.

#include <climits>
#include <cwchar>

#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "DpiScaling.h"
#include "EngineInput.h"
#include "Globals.h"
#include "LastWheel.h"
#include "Logger.h"
#include "ScrollLockState.h"
#include "SendInput.h"
#include "Settings.h"
#include "WindowFromPoint.h"
#include "WindowScrolling.h"

namespace
{
constexpr int kClassChars = 261;

bool StartsWith(const wchar_t* text, const wchar_t* prefix)
{
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

short Clamp(long long value)
{
    return static_cast<short>(value > SHRT_MAX ? SHRT_MAX : value < SHRT_MIN ? SHRT_MIN : value);
}

bool Down(int key)
{
    return (::GetAsyncKeyState(key) & 0x8000) != 0;
}

bool Inverts(const CApplicationSettings* profile)
{
    if (profile == nullptr || !profile->InvertedScrolling())
        return false;
    return !(g_pSettings != nullptr && g_pSettings->m_bDisableInvertedScrollInRDP &&
             ::GetSystemMetrics(SM_REMOTESESSION) != 0);
}

bool RemappingOff(const CSettings* settings)
{
    if (g_threads.hMouseHook == nullptr || g_threads.hHookThread == nullptr)
        return true;
    if (settings->m_bDisableInRDP && ::GetSystemMetrics(SM_REMOTESESSION) != 0)
        return true;
    return settings->m_bScrollLockBypassAll && ScrollLockToggled();
}

bool PointInRecordBox(POINT point)
{
    const RECT& box = g_LastWheel.m_rc;
    return g_LastWheel.m_hWnd2 != nullptr && point.x >= box.left && point.x <= box.right && point.y >= box.top &&
           point.y <= box.bottom;
}

// The last steps: the class decides whether and where the wheel message goes.
bool Redirect(MSLLHOOKSTRUCT* hookData, HWND window, CApplicationSettings* profile, short delta, bool allowSimulated)
{
    const CSettings* settings = g_pSettings;
    const WPARAM wParam =
        static_cast<WPARAM>((static_cast<DWORD>(delta & 0xFFFF) << 16) | (hookData->mouseData & 0xFFFF));
    const LPARAM lParam = static_cast<LPARAM>((static_cast<DWORD>(hookData->pt.y & 0xFFFF) << 16) |
                                              static_cast<DWORD>(hookData->pt.x & 0xFFFF));
    wchar_t cls[kClassChars];
    if (::GetClassNameW(window, cls, kClassChars) <= 0)
        cls[0] = L'\0';

    if (settings->m_bFixVS2010 && StartsWith(cls, L"HwndWrapper[DefaultDomain;;"))
    {
        CLogger::LogDebug(L"Redirecting vertical wheel message to WPF window 0x%08X: '%s'", HandleNumber(window), cls);
        return Scroll(window, WM_VSCROLL, Clamp(static_cast<long long>(delta) * g_system.nDefaultWheelLines),
                      kScrollWindowLines);
    }

    bool special = false;
    if (!IsWheelTargetClass(cls, &special))
    {
        if (allowSimulated && special && Inverts(profile) && g_threads.pSendInput != nullptr)
        {
            CLogger::LogDebug(L"Sending simulating inverted vertical wheel message to 0x%08X with class: %s",
                              HandleNumber(window), cls);
            // The notch carries the library's signature: the hook does not turn it again.
            const bool leftDown = settings->m_bDoubleClickFix;
            if (SendMouseButton(delta < 0 ? 8 : 7, kEventDown, hookData->pt, leftDown, false) == 0)
                return false;
            g_threads.pSendInput->SignalQueue();
            return true;
        }
        CLogger::LogDebug(L"Unable to redirect vertical wheel message to window 0x%08X with class: %s", HandleNumber(window),
                          cls);
        return false;
    }

    bool wantsKeys = false;
    const HWND receiver = ScrollTargetForClass(window, cls, ::GetForegroundWindow(), &wantsKeys);
    if (receiver == nullptr)
    {
        CLogger::LogDebug(L"Unable to redirect vertical wheel message for app with class '%s' (0x%08X) to 0x%08X", cls,
                          static_cast<unsigned>(wParam), 0u);
        return false;
    }
    if (receiver != window)
    {
        const int target = CachedWindowIntegrityLevel(receiver);
        if (!IntegrityAllowsSend(g_engine.nIntegrityLevel, target))
        {
            CLogger::LogDebug(L"Unable to redirect vertical wheel message for elevated app with class '%s' (0x%08X) to 0x%08X",
                              cls, static_cast<unsigned>(wParam), HandleNumber(receiver));
            return false;
        }
        CLogger::LogDebug(L"Redirecting vertical wheel message from app with class '%s' (0x%08X) to 0x%08X", cls,
                          static_cast<unsigned>(wParam), HandleNumber(receiver));
        const WPARAM posted = wantsKeys ? ((wParam & 0xFFFF0000u) | ReceiverKeyState()) : wParam;
        ::PostMessageW(receiver, WM_MOUSEWHEEL, posted, lParam);
        return true;
    }

    const bool comboList = EqualsNoCase(cls, L"DataComboListWndClass");
    if (comboList || EqualsNoCase(cls, L"Afx:11660000:880"))
    {
        CLogger::LogDebug(comboList ? L"Window 0x%08X is a VB6 DataComboListWndClass. Force scroll method 1"
                                    : L"Window 0x%08X is a sheridan drop-down list. Force scroll method 1",
                          HandleNumber(window));
        CLogger::LogDebug(L"Window 0x%08X with class '%s' requires DoFidScroll method 1", HandleNumber(window), cls);
        return Scroll(window, WM_VSCROLL, Clamp(static_cast<long long>(delta) * g_system.nDefaultWheelLines), kScrollLines);
    }

    const int target = CachedWindowIntegrityLevel(window);
    CLogger::LogDebug(L"CanSendToProcess: Process integrity 0x%08X (%d), our integrity 0x%08X (%d)", target, target,
                      g_engine.nIntegrityLevel, g_engine.nIntegrityLevel);
    if (!IntegrityAllowsSend(g_engine.nIntegrityLevel, target))
    {
        CLogger::LogDebug(L"Unable to redirect vertical wheel message 0x%08X to elevated window 0x%08X: '%s'",
                          static_cast<unsigned>(wParam), HandleNumber(window), cls);
        return false;
    }
    CLogger::LogDebug(L"Redirecting vertical wheel message 0x%08X to 0x%08X: '%s'", static_cast<unsigned>(wParam),
                      HandleNumber(window), cls);
    ::PostMessageW(window, WM_MOUSEWHEEL, wParam, lParam);
    return true;
}

bool ClassStarts(HWND window, const wchar_t* prefix)
{
    wchar_t cls[kClassChars];
    if (window == nullptr || ::GetClassNameW(window, cls, kClassChars) <= 0)
        return false;
    return StartsWith(cls, prefix);
}

bool ClassIs(HWND window, const wchar_t* name)
{
    wchar_t cls[kClassChars];
    return window != nullptr && ::GetClassNameW(window, cls, kClassChars) > 0 && std::wcscmp(cls, name) == 0;
}

// A browser draws into a child of its frame: the wheel goes to the frame's
// first child (which also wants the key state), or to the frame when it has
// none; null when that child is the window scrolled already.
HWND HostChild(HWND parent, HWND scrolled, bool* wantsKeys)
{
    if (wantsKeys != nullptr)
        *wantsKeys = true;
    const HWND child = ::GetWindow(parent, GW_CHILD);
    if (child == nullptr)
        return parent;
    return child == scrolled ? nullptr : child;
}

} // namespace

WORD ReceiverKeyState()
{
    WORD keys = 0;
    if (::GetKeyState(VK_SHIFT) & 0x8000)
        keys |= MK_SHIFT;
    if (::GetKeyState(VK_CONTROL) & 0x8000)
        keys |= MK_CONTROL;
    if (::GetKeyState(VK_MENU) & 0x8000)
        keys |= 0x20;
    return keys;
}

HWND ScrollTargetForClass(HWND window, const wchar_t* className, HWND scrolled, bool* wantsKeys)
{
    if (wantsKeys != nullptr)
        *wantsKeys = false;
    if (window == nullptr)
        return nullptr;
    const wchar_t* cls = className != nullptr ? className : L"";
    const HWND parent = ::GetParent(window);
    const bool disabled = !::IsWindowEnabled(window);
    if (disabled || StartsWith(cls, L"MozillaCompositor"))
    {
        if (disabled)
            return parent != nullptr ? parent : window;
        if (!ClassStarts(parent, L"MozillaWindow"))
            return window;
        return HostChild(parent, scrolled, wantsKeys);
    }
    if (StartsWith(cls, L"Chrome_WidgetWin_") || std::wcscmp(cls, L"Intermediate D3D Window") == 0 ||
        std::wcscmp(cls, L"Intermediate Software Window") == 0)
    {
        if (!ClassStarts(parent, L"Chrome_WidgetWin_"))
            return window;
        return HostChild(parent, scrolled, wantsKeys);
    }
    if (std::wcscmp(cls, L"Chrome_RenderWidgetHostHWND") == 0)
    {
        if (wantsKeys != nullptr)
            *wantsKeys = true;
        return window;
    }
    if (std::wcscmp(cls, L"OPWindowClass") == 0)
    {
        HWND from = ClassIs(parent, L"OPContainerClass") ? parent : window;
        // Bounded: the z-order above a window is finite but may be long.
        for (int i = 0; i < 256 && from != nullptr; ++i)
        {
            from = ::GetWindow(from, GW_HWNDPREV);
            if (ClassIs(from, L"IHWindowClass"))
                return from;
        }
        return window;
    }
    if (std::wcscmp(cls, L"NetUIHWND") == 0 && ClassIs(parent, L"OneNote::NavigationUIHost"))
    {
        wchar_t parentClass[kClassChars] = L"";
        ::GetClassNameW(parent, parentClass, kClassChars);
        CLogger::LogDebug(L"Redirecting vertical wheel message to OneNote parent window 0x%08X: '%s'", HandleNumber(parent),
                          parentClass);
        return parent == scrolled ? nullptr : parent;
    }
    return window;
}

bool IsWheelTargetClass(const wchar_t* className, bool* special)
{
    const wchar_t* cls = className != nullptr ? className : L"";
    const bool isSpecial = StartsWith(cls, L"Microsoft.UI.Content") || StartsWith(cls, L"Windows.UI.Core") ||
                           StartsWith(cls, L"Windows.UI.Composition") ||
                           std::wcsncmp(cls, L"ApplicationFrameInputSinkWindow", 22) == 0 ||
                           std::wcsstr(cls, L"TrayNotifyWnd") != nullptr;
    if (special != nullptr)
        *special = isSpecial;
    return !isSpecial && std::wcscmp(cls, L"tooltips_class32") != 0;
}

bool ScrollVertical(MSLLHOOKSTRUCT* hookData, short delta, bool allowSimulated, bool ownInput)
{
    if (hookData == nullptr)
        return false;
    HWND foreground = ::GetForegroundWindow();
    CApplicationSettings* profile = g_engine.pCurrentApp;
    HWND window = g_engine.hCurrentWnd;
    HWND second = window;
    const CSettings* settings = g_pSettings;
    if (profile == nullptr || settings == nullptr)
    {
        CLogger::LogDebug(L"ScrollVertical: No settings object!");
        return false;
    }
    if (RemappingOff(settings))
    {
        CLogger::LogDebug(L"ScrollVertical: %s is disabled", L"BRMP");
        return false;
    }

    if (!settings->m_bSwitchOnMouseOver || settings->m_bActivateOnScroll)
    {
        const bool had = g_LastWheel.m_hWnd != nullptr;
        POINT cursor{};
        GetPhysCursorPos(&cursor);
        if (!PointInRecordBox(cursor) || g_LastWheel.m_hWnd == nullptr)
        {
            // The hook holds the process-wide lock: the lookup never waits on it.
            HWND under = RealWindowFromPoint_SkipLocked(cursor, true);
            if (under != nullptr)
                RefreshWheelRecord(under, cursor);
        }
        if (g_LastWheel.m_pApp == nullptr)
        {
            CLogger::LogDebug(L"ScrollVertical: Unable to get window from cursor position");
            return false;
        }
        profile = g_LastWheel.m_pApp;
        window = g_LastWheel.m_hWnd;
        second = g_LastWheel.m_hWnd2;
        if (had)
        {
            if (window == nullptr || !::IsWindow(window))
            {
                CLogger::LogDebug(L"ScrollVertical: Window handle 0x%08X is not valid", HandleNumber(window));
                return false;
            }
            ActivateBeforeScroll(foreground, second, window);
        }
    }

    const bool ctrl = Down(VK_CONTROL);
    const bool shift = Down(VK_SHIFT);
    const bool enabled = profile->IsEnabled();
    const int method = profile->AdvScrollMethod();
    const bool redirect = !(enabled && profile->GetDisableScrollUnderCursor()) &&
                          settings->m_bScrollWindowUnderCursor && !ctrl && !shift && window != nullptr;
    if (redirect)
    {
        short posted = delta;
        if (enabled)
        {
            const short scaled = Clamp(static_cast<long long>(delta) * profile->AdvScrollVertical());
            if (method == kScrollDisabled || method == kScrollDisabledAlt)
                return true;
            if (method != kScrollDefault && method != kScrollDefaultAlt && Scroll(second, WM_VSCROLL, scaled, method))
                return true;
            if (method == kScrollDefault || method == kScrollDefaultAlt)
            {
                posted = static_cast<short>(HIWORD(hookData->mouseData));
                if (!ownInput && Inverts(profile))
                    posted = Clamp(-static_cast<long long>(posted));
            }
            else
            {
                posted = Clamp(static_cast<long long>(scaled < 0 ? -WHEEL_DELTA : WHEEL_DELTA) *
                               profile->AdvScrollVertical());
            }
        }
        if (window == foreground && (ownInput || !Inverts(g_engine.pCurrentApp)))
        {
            CLogger::LogDebug(L"Not redirecting vertical wheel message as it is over the active window (0x%08X) anyway",
                              HandleNumber(window));
            return false;
        }
        return Redirect(hookData, window, profile, posted, allowSimulated);
    }

    if (enabled && method != kScrollDefault && method != kScrollDefaultAlt)
    {
        if (method == kScrollDisabled || method == kScrollDisabledAlt)
            return true;
        HWND up = window;
        while (up != nullptr && up != foreground)
            up = ::GetParent(up);
        if (up == nullptr && foreground != nullptr)
            return false;
        return Scroll(second, WM_VSCROLL, Clamp(static_cast<long long>(delta) * profile->AdvScrollVertical()),
                      ctrl ? kScrollDefault : method);
    }
    if (!ownInput && Inverts(g_engine.pCurrentApp))
        return MouseWheel(delta);
    return false;
}
