#pragma once
// How the main window answers the system's session, power and settings
// events, as decisions over values; the window carries them out.

#include <windows.h>

// What an unlock of the workstation does to the hooks.
enum class UnlockStep
{
    InstallAfterLockedStart,    // started while locked: hooks and displays go in now
    Reinstall,                  // re-install the hooks (the option is on and the last install is old)
    IgnoreRecentInstall,        // the option is on but hooks went in moments ago
    IgnoreOptionOff,            // the option is off
};

// Hooks installed within this time are not re-installed on unlock.
constexpr DWORD kUnlockReinstallGuardMs = 30000;

// elapsed: milliseconds since the last re-installation (unsigned tick difference).
UnlockStep DecideUnlock(bool desktopLocked, bool reinstallOnResume, DWORD elapsed);

// What a power event does.
enum class PowerStep
{
    LogOnly,
    Suspend,    // remove the hooks before the system sleeps (when the option is on)
    Resume,     // re-install them (when the option is on)
};

struct PowerDecision
{
    PowerStep step = PowerStep::LogOnly;
    LRESULT result = 0;
    const wchar_t* log = nullptr;    // null: nothing
    bool debugOnly = false;
};

PowerDecision DecidePowerEvent(WPARAM event);

// The debug text of a session event without an action of its own; null for
// an unknown event.
const wchar_t* SessionEventText(WPARAM event);

// Whether a WM_SETTINGCHANGE action concerns the library's system parameters
// (button swap, wheel scroll lines).
bool SettingChangeConcernsLibrary(WPARAM action);
