#pragma once
// The running Windows version as one bit value. Callers compare it numerically
// (below ActionOS_Win8 means before Windows 8, ActionOS_Win10 or more Windows 10
// or later).

#include <windows.h>

#include "SnareholdApi.h"

enum _ActionOSVersion : int
{
    ActionOS_Failed = 0,     // the version could not be read
    ActionOS_Win2000 = 1,    // 5.0
    ActionOS_WinXP = 2,      // 5.x, x > 0
    ActionOS_Vista = 4,      // 6.0
    ActionOS_Win7 = 8,       // 6.1
    ActionOS_Win8 = 16,      // 6.2
    ActionOS_Win81 = 32,     // 6.3
    ActionOS_Win10 = 64,     // 6.4 and 10.0
    ActionOS_Win11 = 128,    // 10.0 from build 22000 on, and 11.0
    ActionOS_Other = 255     // any other version
};

// Windows 11 reports itself as 10.0: its build number tells it apart.
constexpr DWORD kFirstWindows11Build = 22000;

// Maps what the system reports (queryOk false: the query failed) to the value.
_ActionOSVersion OSVersionFromNumbers(bool queryOk, DWORD major, DWORD minor, DWORD build);

// The running version; the pinned value while one is pinned.
SNAREHOLD_API _ActionOSVersion GetOSVersion();

// Pins the value that GetOSVersion answers (tests, and a host whose reported
// version cannot be trusted); UnpinOSVersion returns to the system's answer.
SNAREHOLD_API void PinOSVersion(_ActionOSVersion version);
SNAREHOLD_API void UnpinOSVersion();
