// The main window's answers to the system: session changes, power events,
// system-parameter and display changes.

#include "MyMessageWnd.h"

#include <wtsapi32.h>

#include "CaughtException.h"
#include "Logger.h"
#include "SystemEvents.h"

bool CMyMessageWnd::InstallAfterLockedStart(const wchar_t* success)
{
    m_services.CreateOSDWindows(m_hWnd);
    if (!m_services.SetMouseHook())
        return false;
    CLogger::LogThreadDebug(L"%s", success);
    m_bDesktopLocked = false;
    // The hotkeys registered at start saw no hooks: only those marked
    // use-when-disabled went in. Now all of them belong.
    ClearHotkeys();
    SetHotkeys(true);
    if (m_bShowIcon)
        m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
    return true;
}

LRESULT CMyMessageWnd::OnSessionChange(WPARAM event, LPARAM)
{
    const wchar_t* text = SessionEventText(event);
    if (text)
        CLogger::LogDebug(L"%s", text);

    if (event == WTS_SESSION_LOGON)
    {
        if (m_bDesktopLocked)
            InstallAfterLockedStart(L"Hooks have been added after user logon.");
        return 0;
    }
    if (event != WTS_SESSION_UNLOCK)
        return 0;

    const DWORD elapsed = m_services.TickCount() - m_dwLastHookInstall;
    switch (DecideUnlock(m_bDesktopLocked, m_services.GetReinstallOnResume(), elapsed))
    {
    case UnlockStep::InstallAfterLockedStart:
        InstallAfterLockedStart(L"Session Unlock: Hooks have been added after user session was unlocked.");
        break;
    case UnlockStep::IgnoreRecentInstall:
        CLogger::LogMessage(L"Session Unlock: Reinstall mouse hook on resume is enabled but we only installed hooks "
                            L"%dms ago - Ignoring session unlock.",
                            static_cast<int>(elapsed));
        break;
    case UnlockStep::IgnoreOptionOff:
        CLogger::LogMessage(L"Session Unlock: Reinstall mouse hook on resume is disabled - Ignoring session unlock.");
        break;
    case UnlockStep::Reinstall:
        CLogger::LogMessage(L"Session Unlock: Reinstall mouse hook on resume is enabled, and we last installed hooks "
                            L"more than 30sec ago - Resetting hooks on session logon...");
        m_services.RemoveMouseHook(false);
        CLogger::LogThreadDebug(L"Session Unlock: Hooks have been removed...");
        if (m_services.SetMouseHook())
        {
            CLogger::LogThreadDebug(L"Session Unlock: Hooks have been re-added.");
            m_dwLastHookInstall = m_services.TickCount();
        }
        else
        {
            CLogger::LogMessage(L"Session Unlock: SetMouseHook failed!");
        }
        break;
    }
    return 0;
}

LRESULT CMyMessageWnd::OnPowerBroadcast(WPARAM event, LPARAM)
{
    const PowerDecision decision = DecidePowerEvent(event);
    if (decision.log)
    {
        if (decision.debugOnly)
            CLogger::LogDebug(L"%s", decision.log);
        else
            CLogger::LogMessage(L"%s", decision.log);
    }
    switch (decision.step)
    {
    case PowerStep::Suspend:
        m_nHookedAtSuspend = m_services.GetHooked() ? 1 : 0;
        if (m_services.GetReinstallOnResume())
        {
            CLogger::LogMessage(L"Power State: Reinstall mouse hook on resume is enabled. Remove hook before suspending...");
            ClearHotkeys();
            KillTimer(TimerVersionCheck);
            m_services.RemoveMouseHook(false);
            CLogger::LogThreadDebug(L"Power State: Removed mouse hook...");
            m_services.PauseBeforeSuspend();
        }
        break;
    case PowerStep::Resume:
        RehookAfterResume();
        break;
    case PowerStep::LogOnly:
        break;
    }
    return decision.result;
}

void CMyMessageWnd::RehookAfterResume()
{
    if (!m_services.GetReinstallOnResume())
    {
        CLogger::LogMessage(L"Power State: Reinstall mouse hook on resume is disabled.");
        return;
    }
    // Remapping the user switched off (or a locked start left out) stays off.
    const bool wasHooked = m_nHookedAtSuspend < 0 ? m_services.GetHooked() : m_nHookedAtSuspend == 1;
    m_nHookedAtSuspend = -1;
    if (!wasHooked)
    {
        CLogger::LogMessage(L"Power State: Remapping was not running before the suspension - leaving it off.");
        // The suspension cleared the hotkeys and the update timer: the hotkeys
        // that work while disabled come back, and so do the update checks.
        ClearHotkeys();
        SetHotkeys(false);
        ArmVersionCheck(AfterResumeVersionCheckMs);
        return;
    }
    m_dwLastHookInstall = m_services.TickCount();
    CLogger::LogMessage(L"Power State: Reinstall mouse hook on resume is enabled. Re-hooking mouse...");
    ArmVersionCheck(AfterResumeVersionCheckMs);
    ClearHotkeys();
    if (m_services.RemoveMouseHook(false))
        CLogger::LogThreadDebug(L"Power State: Hooks have been removed...");
    m_services.UpdateSettings();
    SetHotkeys(true);
    if (m_services.SetMouseHook())
    {
        CLogger::LogThreadDebug(L"Power State: Hooks have been re-added.");
        m_dwLastHookInstall = m_services.TickCount();
    }
    else
    {
        CLogger::LogMessage(L"Power State: SetMouseHook failed!");
    }
}

LRESULT CMyMessageWnd::OnSettingChange(WPARAM action, LPARAM)
{
    if (SettingChangeConcernsLibrary(action))
    {
        CLogger::LogDebug(L"Received WM_SETTINGCHANGE message (Action 0x%08X)", static_cast<unsigned>(action));
        // A burst of changes ends in one refresh, a second after the last.
        SetTimer(TimerSettingChange, SettingChangeDelayMs);
    }
    else
    {
        CLogger::LogDebug(L"Skipped WM_SETTINGCHANGE message for Action 0x%08X", static_cast<unsigned>(action));
    }
    return 1;
}

LRESULT CMyMessageWnd::OnDisplayChange(WPARAM, LPARAM resolution)
{
    CLogger::LogDebug(L"Display resolution changed (%d, %d)", static_cast<int>(LOWORD(resolution)),
                      static_cast<int>(HIWORD(resolution)));
    m_services.DisplayChanged();
    return 1;
}

LRESULT CMyMessageWnd::OnQueryEndSession(WPARAM, LPARAM)
{
    // Nothing here may hold the session up, not even unsaved changes in an
    // open settings dialog: a question would only be answered by the system's
    // time-out.
    return TRUE;
}

LRESULT CMyMessageWnd::OnEndSession(WPARAM ending, LPARAM)
{
    if (ending == FALSE)
        return 0;
    try
    {
        CLogger::LogMessage(L"The session is ending.");
        // The system may end the process as soon as this returns, before the
        // message loop runs again: the hooks go now, which gives back the
        // user's mouse settings and writes the state file, and so does the icon.
        m_services.RemoveMouseHook(true);
        m_services.ShowTrayIcon(m_hWnd, false);
        // An open settings dialog ends without a question; its edits are given up.
        if (m_bSetupOpen)
            EndSetupForExit();
        else
            CloseProgram();
    }
    catch (...)
    {
        LogCaughtException(L"CMyMessageWnd::OnEndSession");
    }
    return 0;
}
