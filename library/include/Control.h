#pragma once
// The exported control interface of the library: loading the settings file into
// the running engine, the program's windows that receive notifications, and the
// small getters and setters of options and state. A getter of an option answers
// a fixed default while no settings object exists.

#include <windows.h>

#include <atomic>
#include <string>

#include "SnareholdApi.h"

class CSettings;
class CHotKeys;
class CMouseInfo;

// --- settings -----------------------------------------------------------------

// Loads the settings file into the library's settings object, re-selects the
// profile in force and applies the settings (priority, jiggler, persisted
// layer, mouse speed when Cursor/Allow). False when the file could not be loaded.
SNAREHOLD_API bool UpdateSettings();
CSettings* GetSettings();
// Portable mode: the state file is saved, dropped and read anew.
SNAREHOLD_API void SetPortable(bool portable);
SNAREHOLD_API bool GetPortable();
SNAREHOLD_API bool SavePersistantSettings();
// Asks the SPI thread to read the settings again.
SNAREHOLD_API void UpdateSPIThread();

// Questions about a settings file that cannot be parsed, asked only during the
// first load of the process. ask answers like MessageBoxW (IDYES, IDNO, IDABORT,
// IDRETRY, IDIGNORE); endProcess ends the process with the code (1). Tests
// install their own; null restores the message box and ExitProcess.
using SettingsQuestionFn = int (*)(const wchar_t* text, const wchar_t* caption, UINT type);
using EndProcessFn = void (*)(UINT exitCode);
SNAREHOLD_API void SetSettingsLoadQuestions(SettingsQuestionFn ask, EndProcessFn endProcess);
// Parse-error questions are asked only while this is set (first load).
extern bool g_bFirstXMLLoad;
// Set while at least one profile is restricted to an area of its window.
extern bool g_bAreaAppsPresent;

// --- the program's windows -------------------------------------------------------

SNAREHOLD_API void SetHookMainWindow(HWND window);
SNAREHOLD_API void SetHookVolumeOSDWindow(HWND window);
SNAREHOLD_API void SetHookBrightnessOSDWindow(HWND window);
SNAREHOLD_API void SetSetupWindow(HWND window);
// The window the window-specific profile in force matched, while it exists.
SNAREHOLD_API HWND GetProfileWindow();

// What tells the profile in force apart from the others, copied out of the
// library's settings: the settings dialog finds it among its own copies by
// these values (its note BRMP_ProcessChanged carries nothing the dialog may
// follow). False, with the identity untouched, when no application profile is
// in force (none, or the default profile). Global lock "GetActiveProfileIdentity".
struct ActiveProfileIdentity
{
    std::wstring fullName;
    std::wstring description;
    int matchType = 1;
    int windowMask = 15;
    bool usesArea = false;
    RECT area{};
};
SNAREHOLD_API bool GetActiveProfileIdentity(ActiveProfileIdentity& identity);

// --- options (default without settings in brackets) ------------------------------

SNAREHOLD_API bool GetShowIcon();               // TrayIcon/Show [true]
SNAREHOLD_API bool GetReinstallOnResume();      // not ReinstallHook/Disable [false]
SNAREHOLD_API bool GetHooked();                 // the mouse hook is installed
SNAREHOLD_API void SetQuillon(bool on);         // Quillon/Enable
SNAREHOLD_API bool GetQuillon();                // [false]
SNAREHOLD_API CHotKeys* GetHotkeys();           // when GlobalHotkeys/Enable [null]
SNAREHOLD_API bool CheckVersionEnabled();       // CheckVersion/Enable [true]
SNAREHOLD_API bool CheckBetaVersionEnabled();   // CheckVersion/Beta [false]
SNAREHOLD_API int CheckVersionDays();           // CheckVersion/Days [5]
// Copies Language/filename into buffer (count characters, terminator
// included); false without settings, for an empty name or one that does not fit.
SNAREHOLD_API bool GetLanguageFile(wchar_t* buffer, int count);
SNAREHOLD_API bool GetEnableOSD();              // OnScreenDisplay/Enabled [false]
SNAREHOLD_API bool GetAlwaysShowOSD();          // OnScreenDisplay/AlwaysShow [false]
SNAREHOLD_API bool NotificatcionsEnabled();     // BalloonNotification/Enable [false]
SNAREHOLD_API const CMouseInfo& GetStartupMouseInfo();

// Remapping is off: no mouse hook or hook thread, a remote session with
// RemoteDesktop/Disable, or Scroll Lock on with ScrollLock/BypassAll. quiet: no log line.
SNAREHOLD_API bool IsBRMPDisabled(bool quiet);

// --- system ------------------------------------------------------------------------

// "LowLevelHooksTimeout" of HKCU\Control Panel\Desktop in ms; 0 when missing.
SNAREHOLD_API unsigned long GetHooktimeoutValue();
// The process name of the profile in force. With a buffer of at least the
// name's length plus its terminator (size in characters): copies it and returns
// the length. Otherwise stores the size needed (terminator included) in size and
// returns 0. Never writes past size characters.
int GetCurrentProcessName(wchar_t* buffer, int& size);
// The last sub-authority of the process token's integrity level (0x1000 low,
// 0x2000 medium, 0x3000 high); -1 when it cannot be read.
SNAREHOLD_API int GetProcessIntegrityLevel(unsigned long pid, HANDLE process);
// True when the current session reports itself locked (Windows 10 and later).
SNAREHOLD_API bool IsDesktopLocked();
// Decision behind IsDesktopLocked on an answer of WTSSessionInfoEx: the answer's
// size in bytes and its session-flags word.
bool SessionInfoSaysLocked(DWORD bytes, LONG sessionFlags);

// The day of the last update check that found a new version: the state file in
// portable mode, else the per-user registry value "LastVersionCheck"; 0 when none.
SNAREHOLD_API int GetLastUpdateCheck();
SNAREHOLD_API void SetLastUpdateCheck(int day);

// --- cursor speed cycle -----------------------------------------------------------

// Position 0..3 of the cycle; -1 unless Cursor/Allow is on.
SNAREHOLD_API int GetCycleCursorSpeed();
// Next position (3 wraps to 0); sets twice Cursor/CS<n> of it as pointer speed.
SNAREHOLD_API void CycleCursorSpeed();
// Shows the cursor that fits the layer and profile while remapping runs; else
// puts the system cursors back.
SNAREHOLD_API void UpdateCursors();

// Hotkeys of the pointer's axis lock and inversion. Locking needs no profile in
// force or one that allows axis locking; a lock held by a button stays.
SNAREHOLD_API void HookToggleXAxisLock();
SNAREHOLD_API void HookToggleYAxisLock();
SNAREHOLD_API void HookToggleXAxisInvert();
SNAREHOLD_API void HookToggleYAxisInvert();

// Logs and hands the process to the crash reporter. Diagnostics only.
void TestCrash();

// --- engine internals (not exported; the library's tests link its objects) -------

// LoadSettings: the whole reload under the global lock; NewApplicationSettings:
// applies the profile's (or the global) mouse parameters.
bool LoadSettings();
bool LoadXMLSettings();
bool NewApplicationSettings();
// Set when a profile that forces its system-parameter messages must not send
// them (the shell's desktop preview is showing): NewApplicationSettings then
// drops the forced request and reports false.
extern std::atomic<bool> g_bAeroPeekDetected;
