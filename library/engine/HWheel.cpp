#include "HWheel.h"

#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "EngineInput.h"
#include "Globals.h"
#include "Logger.h"
#include "RepeatTimers.h"
#include "ScrollTimers.h"
#include "Settings.h"

DWORD g_dwTiltFirst = 0;
DWORD g_dwTiltLast = 0;

namespace
{
constexpr int kTiltLeft = 5;
constexpr int kTiltRight = 6;

bool HasWheelAction(int button)
{
    if (g_pSettings == nullptr)
        return false;
    const ResolvedSlot slot = ResolveSlot(g_pCurrentApp, g_pSettings->GetDefaultApp(), button, g_nCurrentLayer);
    return slot.code != ACTION_NO_CHANGE && slot.code != ACTION_SAME_AS_DEFAULT && slot.code != ACTION_SAME_AS_LAYER_1;
}
} // namespace

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
    CApplicationSettings* profile = g_pCurrentApp;
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
                return false;
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
    if (ProcessButton(button, 1, false, point, fixUp, block, click) != 0)
    {
        injected = click;
        UINT wait = settings != nullptr ? settings->m_uSimKeyDelay : 1;
        if (click != 0)
            wait += 30;
        QueueInputWait(wait);
        if (profile != nullptr && profile->GetIgnoreHScroll())
        {
            g_bButtonDown[button] = 1;
            if (!SetPendingScroll(1, button, point, profile, profile->GetIgnoreHScrollTime() + repeatDelay))
                ProcessButton(button, 2, true, point, fixUp, block, click);
        }
        else
        {
            ProcessButton(button, 2, true, point, fixUp, block, click);
        }
        g_dwTiltLast = now;
        return true;
    }
    g_dwTiltLast = now;
    // Redirecting the tilt to the window under the cursor is left to the system.
    return false;
}
