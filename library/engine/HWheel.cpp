#include "HWheel.h"

#include <climits>
#include <cwchar>

#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "EngineInput.h"
#include "Globals.h"
#include "Logger.h"
#include "ProfileTargeting.h"
#include "RepeatTimers.h"
#include "ScrollTimers.h"
#include "Settings.h"
#include "LastWheel.h"
#include "WindowFromPoint.h"
#include "WindowScrolling.h"

DWORD g_dwTiltFirst = 0;
DWORD g_dwTiltLast = 0;

namespace
{
constexpr int kTiltLeft = 5;
constexpr int kTiltRight = 6;
constexpr int kClassChars = 261;

short Clamp(long long value)
{
    return static_cast<short>(value > SHRT_MAX ? SHRT_MAX : value < SHRT_MIN ? SHRT_MIN : value);
}

bool IsDefaultMethod(int method)
{
    return method == kScrollDefault || method == kScrollDefaultAlt;
}

bool IsDisabledMethod(int method)
{
    return method == kScrollDisabled || method == kScrollDisabledAlt;
}

// Posts the tilt to receiver: the delta in the high word, the key state of the
// event (or the modifiers, for a receiver that reads them) in the low word.
bool PostTilt(HWND receiver, const MSLLHOOKSTRUCT* data, short delta, bool wantsKeys)
{
    const WORD low = wantsKeys ? ReceiverKeyState() : LOWORD(data->mouseData);
    const WPARAM wParam = static_cast<WPARAM>((static_cast<DWORD>(static_cast<WORD>(delta)) << 16) | low);
    const LPARAM lParam = static_cast<LPARAM>((static_cast<DWORD>(data->pt.y & 0xFFFF) << 16) |
                                              static_cast<DWORD>(data->pt.x & 0xFFFF));
    return ::PostMessageW(receiver, WM_MOUSEHWHEEL, wParam, lParam) != FALSE;
}
} // namespace

// The tilt no action took: it scrolls the window under the cursor (which need
// not have the focus) by the profile's method, or reaches it as a posted
// horizontal wheel message. Nothing here waits on the window.
bool RedirectTilt(MSLLHOOKSTRUCT* data, short delta, bool ownInput)
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr || data == nullptr)
        return false;
    HWND window = g_engine.hCurrentWnd;
    CApplicationSettings* profile = g_engine.pCurrentApp;
    if (!settings->m_bSwitchOnMouseOver || settings->m_bActivateOnScroll)
    {
        const HWND under = RealWindowFromPoint_SkipLocked(data->pt, true);
        if (under == nullptr)
            return false;
        RefreshWheelRecord(under, data->pt);
        if (!settings->m_bSwitchOnMouseOver)
        {
            if (g_LastWheel.m_pApp == nullptr)
                return false;
            window = g_LastWheel.m_hWnd;
            profile = g_LastWheel.m_pApp;
        }
        if (settings->m_bActivateOnScroll)
            ActivateBeforeScroll(::GetForegroundWindow(), g_LastWheel.m_hWnd2, g_LastWheel.m_hWnd);
    }
    if (profile == nullptr || window == nullptr || !::IsWindow(window))
        return false;

    const bool enabled = profile->IsEnabled();
    const int method = profile->AdvScrollMethod();
    const bool inverted = !ownInput && enabled && profile->InvertedHorzScrolling();
    const short tilt = inverted ? Clamp(-static_cast<long long>(delta)) : delta;
    const short scaled = Clamp(static_cast<long long>(tilt) * profile->AdvScrollHorizontal());
    const bool ctrl = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool redirect = settings->m_bScrollWindowUnderCursor && !(enabled && profile->GetDisableScrollUnderCursor());
    const HWND foreground = ::GetForegroundWindow();

    if (redirect && !ctrl)
    {
        if (enabled && IsDisabledMethod(method))
            return true;
        if (enabled && !IsDefaultMethod(method) && Scroll(window, WM_HSCROLL, scaled, method))
            return true;
        if (window == foreground && !inverted)
        {
            CLogger::LogDebug(L"Not redirecting horizontal wheel message as it is over the active window (0x%08X) anyway",
                              HandleNumber(window));
            return false;
        }
        wchar_t cls[kClassChars] = L"";
        ::GetClassNameW(window, cls, kClassChars);
        if (std::wcsncmp(cls, L"HwndWrapper[DefaultDomain;;", 27) == 0)
        {
            CLogger::LogDebug(L"Ignore Redirect horizontal wheel message to WPF window 0x%08X", HandleNumber(window));
            return Scroll(window, WM_HSCROLL, Clamp(static_cast<long long>(tilt) * g_system.nWheelChars), kScrollWindowLines);
        }
        if (!IsWheelTargetClass(cls, nullptr))
        {
            CLogger::LogDebug(L"Unable to redirect horizontal wheel message to window 0x%08X with class: %s", HandleNumber(window),
                              cls);
            return false;
        }
        bool wantsKeys = false;
        const HWND receiver = ScrollTargetForClass(window, cls, foreground, &wantsKeys);
        const unsigned wParamShown = (static_cast<unsigned>(static_cast<WORD>(tilt)) << 16) | LOWORD(data->mouseData);
        if (receiver == nullptr)
        {
            CLogger::LogDebug(L"Unable to redirect horizontal wheel message for app with class '%s' (0x%08X) to 0x%08X",
                              cls, wParamShown, 0u);
            return false;
        }
        if (!IntegrityAllowsSend(g_engine.nIntegrityLevel, CachedWindowIntegrityLevel(receiver)))
        {
            if (receiver == window)
                CLogger::LogDebug(L"Unable to redirect horizontal wheel message 0x%08X to elevated window 0x%08X: '%s'",
                                  wParamShown, HandleNumber(window), cls);
            else
                CLogger::LogDebug(L"Unable to redirect horizontal wheel message for elevated app with class '%s' (0x%08X) to 0x%08X",
                                  cls, wParamShown, HandleNumber(receiver));
            return false;
        }
        if (receiver == window)
            CLogger::LogDebug(L"Redirecting horizontal wheel message to 0x%08X", HandleNumber(window));
        else
            CLogger::LogDebug(L"Redirecting horizontal wheel message from app with class '%s' (0x%08X) to 0x%08X", cls,
                              wParamShown, HandleNumber(receiver));
        return PostTilt(receiver, data, tilt, wantsKeys && receiver != window);
    }

    if (!enabled || IsDefaultMethod(method))
    {
        // Inverted tilting without redirection: the inverted notch is simulated.
        if (enabled && inverted)
            return MouseTilt(tilt);
        return false;
    }
    if (IsDisabledMethod(method))
        return true;
    HWND up = window;
    for (int depth = 0; depth < 64 && up != nullptr && up != foreground; ++depth)
        up = ::GetParent(up);
    if (up != foreground && foreground != nullptr)
        return false;
    return Scroll(window, WM_HSCROLL, scaled, method);
}

bool IsTiltRepeat(DWORD now, DWORD first, DWORD last, int repeatDelay)
{
    const long long diff = static_cast<long long>(static_cast<LONG>(now - last));
    const long long r = repeatDelay;
    if (first == last)
    {
        if (diff == 0)
        {
            CLogger::LogDebug(L"    Same and time difference between messages is 0ms, so consider a repeat message");
            return true;
        }
        if (diff < r - 10 * (r / 100))
        {
            CLogger::LogDebug(L"    Same but %dms not within 10%% of initial repeat, so fast enough to be a new message",
                              static_cast<int>(diff));
            return false;
        }
        if (diff > r + 50)
        {
            CLogger::LogDebug(L"    Same but %dms slower than initial repeat + 10%% so slow enough to be a new message",
                              static_cast<int>(diff));
            return false;
        }
        CLogger::LogDebug(L"    Same and %dms within 10%% of initial repeat, so consider a repeat message",
                          static_cast<int>(diff));
        return true;
    }
    if (diff == 0)
    {
        CLogger::LogDebug(L"    Different but time difference between messages is 0ms, so consider a repeat message");
        return true;
    }
    if (diff >= 0 && diff <= 2 * r)
    {
        CLogger::LogDebug(L"    Different but %dms fast enough to be a repeat message", static_cast<int>(diff));
        return true;
    }
    CLogger::LogDebug(L"    Different but %dms slower than 2 * repeat delay thus considered a new message",
                      static_cast<int>(diff));
    return false;
}

bool ProcessHWheel(MSLLHOOKSTRUCT* data, BYTE& injected)
{
    injected = 0;
    if (data == nullptr || IsBRMPDisabled(true))
        return false;
    const short delta = static_cast<short>(HIWORD(data->mouseData));
    CLogger::LogDebug(L"WM_MOUSEHWHEEL: MouseData 0x%08x (%d), Flags 0x%08x, Time %dms, ExtraInfo %d",
                      static_cast<unsigned>(data->mouseData), static_cast<int>(delta), static_cast<unsigned>(data->flags),
                      static_cast<int>(data->time), static_cast<int>(data->dwExtraInfo));
    CApplicationSettings* profile = g_engine.pCurrentApp;
    const CSettings* settings = g_pSettings;

    // Further notches inside the ignore interval only push the button-up back.
    if (profile != nullptr && profile->GetIgnoreHScroll() && StopQTTimer(ID_QTTIMER_HSCROLL, false))
    {
        CLogger::LogDebug(L"MouseHookLLProc: Setting ignore HScroll Timer for %dms", profile->GetIgnoreHScrollTime());
        if (!StartQTTimer(profile->GetIgnoreHScrollTime(), HScrollTimerCallback, ID_QTTIMER_HSCROLL))
            HScrollTimerCallback(reinterpret_cast<PVOID>(static_cast<INT_PTR>(ID_QTTIMER_HSCROLL)), TRUE);
        return true;
    }

    const int button = delta >= 0 ? kTiltRight : kTiltLeft;
    const DWORD now = data->time;
    const int repeatDelay = settings != nullptr ? static_cast<int>(settings->m_uRepeatTiltDelay) : 100;
    if (settings != nullptr && settings->m_bFixTiltRepeat && g_pActiveMTS == nullptr)
    {
        CLogger::LogDebug(L"WM_MOUSEHWHEEL: M:%dms, F:%dms, L:%dms...", static_cast<int>(now),
                          static_cast<int>(g_dwTiltFirst), static_cast<int>(g_dwTiltLast));
        if (IsTiltRepeat(now, g_dwTiltFirst, g_dwTiltLast, repeatDelay))
        {
            if (!HasWheelAction(button))
                return RedirectTilt(data, delta);
            CLogger::LogDebug(L"    Ignore tilt repeat (DiffFirst %dms DiffLast %dms).", static_cast<int>(now - g_dwTiltFirst),
                              static_cast<int>(now - g_dwTiltLast));
            g_dwTiltLast = now;
            return true;
        }
        CLogger::LogDebug(L"    Allow tilt (DiffFirst %dms DiffLast %dms).", static_cast<int>(now - g_dwTiltFirst),
                          static_cast<int>(now - g_dwTiltLast));
        g_dwTiltFirst = now;
    }

    BYTE fixUp = 0;
    BYTE block = 0;
    BYTE click = 0;
    const POINT point = data->pt;
    if (ProcessButton(button, kEventDown, false, point, fixUp, block, click) != 0)
    {
        injected = click;
        UINT wait = settings != nullptr ? settings->m_uSimKeyDelay : 1;
        if (click != 0)
            wait += 30;
        QueueInputWait(wait);
        if (profile != nullptr && profile->GetIgnoreHScroll())
        {
            // The press stays taken over until the pending release.
            if (!SetPendingScroll(1, button, point, profile, profile->GetIgnoreHScrollTime() + repeatDelay))
                ProcessButton(button, kEventUp, true, point, fixUp, block, click);
        }
        else
        {
            ProcessButton(button, kEventUp, true, point, fixUp, block, click);
        }
        g_dwTiltLast = now;
        return true;
    }
    g_dwTiltLast = now;
    return RedirectTilt(data, delta);
}
