// The axis lock as the program's hotkeys and the simulated-keystroke actions
// reach it: thin steps over the library's one CLockAxis.

#include "ApplicationSettings.h"
#include "Control.h"
#include "EngineTokenServices.h"
#include "Globals.h"
#include "LockAxis.h"
#include "Logger.h"
#include "Settings.h"
#include "ThreadLock.h"

namespace
{
// Locking by hotkey is for profiles that allow it (and when none is in force).
bool AxisLockingAllowed()
{
    return g_engine.pCurrentApp == nullptr || g_engine.pCurrentApp->AxisLocking();
}

void ToggleAxisLockByHotkey(bool xAxis, const wchar_t* lockName)
{
    CThreadLock lock(lockName);
    const int layer = g_engine.nCurrentLayer;
    const bool locked = xAxis ? g_LockAxis.LockedX() : g_LockAxis.LockedY();
    if (locked)
    {
        // A lock a button holds ends with that button, not here.
        if (xAxis)
            g_LockAxis.UnlockX(g_threads.pSPIThread, layer, g_pSettings, g_engine.pCurrentApp, false);
        else
            g_LockAxis.UnlockY(g_threads.pSPIThread, layer, g_pSettings, g_engine.pCurrentApp, false);
        return;
    }
    if (!AxisLockingAllowed())
    {
        CLogger::LogDebug(L"%s: the profile does not allow axis locking", lockName);
        return;
    }
    if (xAxis)
        g_LockAxis.LockX(g_threads.pSPIThread, layer, false, false);
    else
        g_LockAxis.LockY(g_threads.pSPIThread, layer, false, false);
}
} // namespace

void HookToggleXAxisLock()
{
    ToggleAxisLockByHotkey(true, L"HookToggleXAxisLock");
}

void HookToggleYAxisLock()
{
    ToggleAxisLockByHotkey(false, L"HookToggleYAxisLock");
}

void HookToggleXAxisInvert()
{
    if (g_LockAxis.IsXInverted())
        g_LockAxis.UninvertX();
    else
        g_LockAxis.InvertX();
}

void HookToggleYAxisInvert()
{
    if (g_LockAxis.IsYInverted())
        g_LockAxis.UninvertY();
    else
        g_LockAxis.InvertY();
}

// The axis actions of simulated keystrokes, performed by the send-input thread.
void CEngineTokenServices::AxisAction(int code)
{
    CSPIThread* const thread = g_threads.pSPIThread;
    const int layer = g_engine.nCurrentLayer;
    CApplicationSettings* const profile = g_engine.pCurrentApp;
    switch (code)
    {
    case 6:
        if (g_LockAxis.IsXInverted() && g_LockAxis.IsYInverted())
            g_LockAxis.UninvertXY();
        else
            g_LockAxis.InvertXY();
        break;
    case 7: HookToggleXAxisInvert(); break;
    case 8: HookToggleYAxisInvert(); break;
    case 9: g_LockAxis.ToggleXAxisLock(thread, layer, g_pSettings, profile); break;
    case 10: g_LockAxis.ToggleYAxisLock(thread, layer, g_pSettings, profile); break;
    case 11: g_LockAxis.LockCycle(thread, layer, g_pSettings, profile, false); break;
    case 12: g_LockAxis.InternalLockXY(); break;
    case 13: g_LockAxis.InternalUnlockXY(); break;
    case 14: g_LockAxis.LockXY(thread, layer, false); break;
    case 15: g_LockAxis.UnlockX(thread, layer, g_pSettings, profile, false); break;
    case 16: g_LockAxis.UnlockY(thread, layer, g_pSettings, profile, false); break;
    case 17: g_LockAxis.UnlockXY(thread, layer, g_pSettings, profile, false); break;
    default: CLogger::LogDebug(L"AxisAction: unknown action %d", code); break;
    }
}
