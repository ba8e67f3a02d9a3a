#include "OSVersion.h"

#include <atomic>

namespace
{
    std::atomic<bool> g_osVersionPinned{false};
    std::atomic<int> g_pinnedOSVersion{ActionOS_Failed};
}

_ActionOSVersion OSVersionFromNumbers(bool queryOk, DWORD major, DWORD minor, DWORD build)
{
    if (!queryOk)
        return ActionOS_Failed;
    switch (major)
    {
    case 5:
        return minor == 0 ? ActionOS_Win2000 : ActionOS_WinXP;
    case 6:
        switch (minor)
        {
        case 0: return ActionOS_Vista;
        case 1: return ActionOS_Win7;
        case 2: return ActionOS_Win8;
        case 3: return ActionOS_Win81;
        case 4: return ActionOS_Win10;
        default: return ActionOS_Other;
        }
    case 10:
        if (minor != 0)
            return ActionOS_Other;
        return build >= kFirstWindows11Build ? ActionOS_Win11 : ActionOS_Win10;
    case 11:
        return minor == 0 ? ActionOS_Win11 : ActionOS_Other;
    default:
        return ActionOS_Other;
    }
}

_ActionOSVersion GetOSVersion()
{
    if (g_osVersionPinned.load())
        return static_cast<_ActionOSVersion>(g_pinnedOSVersion.load());

    // Without the manifest's supportedOS entries the system reports 6.2 from
    // Windows 8 on; the program and the test executables carry them.
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    const bool ok = ::GetVersionExW(&info) != FALSE;
    return OSVersionFromNumbers(ok, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
}

void PinOSVersion(_ActionOSVersion version)
{
    g_pinnedOSVersion.store(version);
    g_osVersionPinned.store(true);
}

void UnpinOSVersion()
{
    g_osVersionPinned.store(false);
}
