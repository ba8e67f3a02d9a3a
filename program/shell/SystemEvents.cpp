#include "SystemEvents.h"

#include <wtsapi32.h>

UnlockStep DecideUnlock(bool desktopLocked, bool reinstallOnResume, DWORD elapsed)
{
    if (desktopLocked)
        return UnlockStep::InstallAfterLockedStart;
    if (!reinstallOnResume)
        return UnlockStep::IgnoreOptionOff;
    if (elapsed <= kUnlockReinstallGuardMs)
        return UnlockStep::IgnoreRecentInstall;
    return UnlockStep::Reinstall;
}

PowerDecision DecidePowerEvent(WPARAM event)
{
    switch (event)
    {
    case PBT_APMQUERYSUSPEND:
        return {PowerStep::LogOnly, 0, L"Power State: Request for permission to suspend.", false};
    case PBT_APMQUERYSUSPENDFAILED:
        return {PowerStep::LogOnly, 0, L"Power State: Suspension request denied.", false};
    case PBT_APMSUSPEND:
        return {PowerStep::Suspend, 1, L"Power State: System is suspending operation.", false};
    case PBT_APMRESUMECRITICAL:
        return {PowerStep::Resume, 1, L"Power State: Operation resuming after critical suspension.", false};
    case PBT_APMBATTERYLOW:
        return {PowerStep::LogOnly, 0, L"Power State: Battery low.", false};
    case PBT_APMPOWERSTATUSCHANGE:
        return {PowerStep::LogOnly, 0, L"Power State: Power state changed.", true};
    case PBT_APMOEMEVENT:
        return {PowerStep::LogOnly, 0, L"Power State: OEM Power event.", true};
    case PBT_APMRESUMEAUTOMATIC:
        return {PowerStep::Resume, 1, L"Power State: Operation resuming automatically after event.", false};
    default:
        return {};
    }
}

const wchar_t* SessionEventText(WPARAM event)
{
    switch (event)
    {
    case WTS_CONSOLE_CONNECT: return L"Session State: Console connect.";
    case WTS_CONSOLE_DISCONNECT: return L"Session State: Console disconnect.";
    case WTS_REMOTE_CONNECT: return L"Session State: Remote connect.";
    case WTS_REMOTE_DISCONNECT: return L"Session State: Remote disconnect.";
    case WTS_SESSION_LOGON: return L"Session State: User logged on.";
    case WTS_SESSION_LOGOFF: return L"Session State: User logged off.";
    case WTS_SESSION_LOCK: return L"Session State: Locking workstation.";
    case WTS_SESSION_UNLOCK: return L"Session State: Unlocking workstation.";
    case WTS_SESSION_REMOTE_CONTROL: return L"Session State: Remote control initiated.";
    default: return nullptr;
    }
}

bool SettingChangeConcernsLibrary(WPARAM action)
{
    return action == SPI_SETMOUSEBUTTONSWAP || action == SPI_SETWHEELSCROLLLINES;
}
