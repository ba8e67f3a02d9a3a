// The small exports through which the program hands its windows to the library
// and reads options and state back.

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include "ApplicationSettings.h"
#include "Brightness.h"
#include "Control.h"
#include "CrashReport.h"
#include "EngineCursors.h"
#include "Folders.h"
#include "Globals.h"
#include "Handles.h"
#include "KeyHook.h"
#include "Layers.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "OSVersion.h"
#include "PersistantSettings.h"
#include "RegKey.h"
#include "SPIThread.h"
#include "ScrollLockState.h"
#include "Settings.h"
#include "SystemLibrary.h"
#include "ThreadLock.h"
#include "TimedClickPresses.h"

namespace
{
int g_nCursorSpeedPosition = 0;
// The position counts for the speed the pointer returns to only once the user
// has cycled: before that the speed the settings name is the normal one.
bool g_bCursorSpeedCycled = false;

const wchar_t* ShortName()
{
    static const wchar_t name[] = {L'B', L'R', L'M', L'P', 0};
    return name;
}

bool CursorChangesAllowed()
{
    return g_pSettings != nullptr && g_pSettings->m_bAllowSetSpeed;
}

bool ScrollLockOn()
{
    return ScrollLockToggled();
}

bool RemoteSession()
{
    return ::GetSystemMetrics(SM_REMOTESESSION) != 0;
}

// Remapping switched off by the remote-session or Scroll Lock rule.
bool RemappingSwitchedOff()
{
    if (g_pSettings == nullptr)
        return false;
    return (g_pSettings->m_bDisableInRDP && RemoteSession()) || (g_pSettings->m_bScrollLockBypassAll && ScrollLockOn());
}

const wchar_t* kLastCheckValue = L"LastVersionCheck";

// WTSINFOEXA: Level (DWORD), then the level-1 record at offset 8: session id,
// connect state, session flags.
constexpr DWORD kSessionFlagsOffset = 16;
constexpr LONG kSessionStateLock = 0;
constexpr int kWtsSessionInfoEx = 25;

using WtsQueryFn = BOOL(WINAPI*)(HANDLE, DWORD, int, LPSTR*, DWORD*);
using WtsFreeFn = void(WINAPI*)(PVOID);
}

// --- windows -----------------------------------------------------------------

void SetHookMainWindow(HWND window)
{
    CThreadLock lock(L"SetHookMainWindow");
    g_engine.hMainWnd = window;
}

void SetHookVolumeOSDWindow(HWND window)
{
    CThreadLock lock(L"SetHookVolOSDWindow");
    g_engine.hVolumeOSDWnd = window;
}

void SetHookBrightnessOSDWindow(HWND window)
{
    CThreadLock lock(L"SetHookBrightnessOSDWindow");
    g_engine.hBrightnessOSDWnd = window;
    if (g_threads.pBrightness != nullptr)
        g_threads.pBrightness->SetOSD(window);
}

void SetSetupWindow(HWND window)
{
    CThreadLock lock(L"SetSetupWindow");
    g_engine.hSetupWnd = window;
}

HWND GetProfileWindow()
{
    const HWND window = g_engine.hProfileWnd;
    return (window != nullptr && ::IsWindow(window)) ? window : nullptr;
}

bool GetActiveProfileIdentity(ActiveProfileIdentity& identity)
{
    CThreadLock lock(L"GetActiveProfileIdentity");
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    if (profile == nullptr || profile->IsDefault())
        return false;
    const auto text = [](const wchar_t* value) { return value != nullptr ? std::wstring(value) : std::wstring(); };
    identity.fullName = text(profile->GetFullName());
    identity.description = text(profile->GetDescription());
    identity.matchType = profile->GetMatchType();
    identity.windowMask = profile->GetWindowMask();
    identity.usesArea = profile->GetUseWindowArea();
    identity.area = profile->GetWindowArea();
    return true;
}

// --- options -----------------------------------------------------------------

bool GetShowIcon()
{
    CThreadLock lock(L"GetShowIcon");
    return g_pSettings == nullptr || g_pSettings->m_bShowTrayIcon;
}

bool GetReinstallOnResume()
{
    CThreadLock lock(L"GetReinstallOnResume");
    return g_pSettings != nullptr && !g_pSettings->m_bDisableReinstallOnResume;
}

bool GetHooked()
{
    CThreadLock lock(L"GetHooked");
    return g_threads.hMouseHook != nullptr;
}

void SetPortable(bool portable)
{
    CThreadLock lock(L"SetPortable");
    SetPortableMode(portable);
    CreatePersistantSettings();
}

bool GetPortable()
{
    CThreadLock lock(L"GetPortable");
    return IsPortableMode();
}

void SetQuillon(bool on)
{
    CThreadLock lock(L"SetQuillon");
    if (g_pSettings != nullptr)
        g_pSettings->m_bQuillon = on;
}

bool GetQuillon()
{
    CThreadLock lock(L"GetQuillon");
    return g_pSettings != nullptr && g_pSettings->m_bQuillon;
}

CHotKeys* GetHotkeys()
{
    CSettings* settings = g_pSettings;
    if (settings == nullptr || !settings->m_bGlobalHotkeys)
        return nullptr;
    return settings->GetHotKeys();
}

bool CheckVersionEnabled()
{
    CThreadLock lock(L"CheckVersionEnabled");
    return g_pSettings == nullptr || g_pSettings->m_bCheckVersion;
}

bool CheckBetaVersionEnabled()
{
    CThreadLock lock(L"CheckBetaVersionEnabled");
    return g_pSettings != nullptr && g_pSettings->m_bCheckBetaVersion;
}

int CheckVersionDays()
{
    CThreadLock lock(L"CheckVersionDays");
    return g_pSettings != nullptr ? static_cast<int>(g_pSettings->m_uCheckVersionDays) : 5;
}

bool GetLanguageFile(wchar_t* buffer, int count)
{
    if (buffer == nullptr || count <= 0)
        return false;
    buffer[0] = 0;
    // The name is copied under the lock: a reload replaces the string.
    CThreadLock lock(L"GetLanguageFile");
    const wchar_t* name = g_pSettings != nullptr ? g_pSettings->GetLanguage() : nullptr;
    if (name == nullptr || *name == 0)
        return false;
    const std::size_t length = std::wcslen(name);
    if (length >= static_cast<std::size_t>(count))
    {
        CLogger::LogMessage(L"GetLanguageFile: The language file name does not fit (%d characters)", static_cast<int>(length));
        return false;
    }
    std::wmemcpy(buffer, name, length + 1);
    return true;
}

bool GetEnableOSD()
{
    const CSettings* settings = g_pSettings;
    return settings != nullptr && settings->m_bEnableOSD;
}

bool GetAlwaysShowOSD()
{
    const CSettings* settings = g_pSettings;
    return settings != nullptr && settings->m_bAlwaysShowOSD;
}

bool NotificatcionsEnabled()
{
    CThreadLock lock(L"EnableNotifications");
    return g_pSettings != nullptr && g_pSettings->m_bNotifications;
}

const CMouseInfo& GetStartupMouseInfo()
{
    static const CMouseInfo startup(g_system.nStartupMouse[0], g_system.nStartupMouse[1], g_system.nStartupMouse[2]);
    return startup;
}

bool IsBRMPDisabled(bool quiet)
{
    if (g_threads.hMouseHook == nullptr)
    {
        if (!quiet)
            CLogger::LogDebug(L"IsDisabled: %s disabled because the mouse hook is NULL. Hook thread = %d", ShortName(),
                              HandleNumber(g_threads.hHookThread));
        return true;
    }
    if (g_threads.hHookThread == nullptr)
    {
        if (!quiet)
            CLogger::LogDebug(L"IsDisabled: %s disabled because the hook thread is NULL", ShortName());
        return true;
    }
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return false;
    if (settings->m_bDisableInRDP && RemoteSession())
    {
        if (!quiet)
            CLogger::LogDebug(L"IsDisabled: %s disabled because we are in an RDP session", ShortName());
        return true;
    }
    if (settings->m_bScrollLockBypassAll && ScrollLockOn())
    {
        if (!quiet)
            CLogger::LogDebug(L"IsDisabled: %s disabled because SCROLL LOCK is on", ShortName());
        return true;
    }
    return false;
}

// --- system --------------------------------------------------------------------

unsigned long GetHooktimeoutValue()
{
    CMyRegKey key(L"Control Panel\\Desktop", HKEY_CURRENT_USER, KEY_READ);
    DWORD value = 0;
    if (!key.IsValid() || !key.GetValue(L"LowLevelHooksTimeout", &value))
        return 0;
    return value;
}

int GetCurrentProcessName(wchar_t* buffer, int& size)
{
    // The profile's name is only read while no reload can free it; without the
    // lock the name of the last profile decision is used.
    wchar_t name[MAX_PATH] = L"";
    if (CThreadTryLock lock(L"GetCurrentProcessName"); lock)
    {
        const wchar_t* full = g_engine.pCurrentApp != nullptr ? g_engine.pCurrentApp->GetFullName() : nullptr;
        const wchar_t* source = (full != nullptr && *full != 0) ? full : g_engine.szCurrentProcess;
        const std::size_t length = wcsnlen(source, MAX_PATH - 1);
        std::wmemcpy(name, source, length);
        name[length] = 0;
    }
    else
    {
        const std::size_t length = wcsnlen(g_engine.szCurrentProcess, MAX_PATH - 1);
        std::wmemcpy(name, g_engine.szCurrentProcess, length);
        name[length] = 0;
    }
    const int length = static_cast<int>(std::wcslen(name));
    // The terminator needs a character of its own.
    if (buffer == nullptr || size <= length)
    {
        size = length + 1;
        return 0;
    }
    std::wmemcpy(buffer, name, static_cast<std::size_t>(length) + 1);
    return length;
}

int GetProcessIntegrityLevel(unsigned long pid, HANDLE process)
{
    HANDLE rawToken = nullptr;
    if (process != nullptr && ::OpenProcessToken(process, TOKEN_QUERY, &rawToken))
    {
        UniqueHandle token(rawToken);
        DWORD needed = 0;
        ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &needed);
        if (needed >= sizeof(TOKEN_MANDATORY_LABEL) && needed < 65536)
        {
            std::string data(needed, '\0');
            if (::GetTokenInformation(token.Get(), TokenIntegrityLevel, data.data(), needed, &needed))
            {
                const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(data.data());
                PSID sid = label->Label.Sid;
                if (sid != nullptr && ::IsValidSid(sid))
                {
                    const UCHAR count = *::GetSidSubAuthorityCount(sid);
                    if (count > 0)
                    {
                        const int level = static_cast<int>(*::GetSidSubAuthority(sid, count - 1u));
                        CLogger::LogDebug(L"GetProcessIntegrityLevel for PID %d returned 0x%08X", static_cast<int>(pid), level);
                        return level;
                    }
                }
            }
        }
    }
    CLogger::LogDebug(L"GetProcessIntegrityLevel for PID %d failed", static_cast<int>(pid));
    return -1;
}

bool SessionInfoSaysLocked(DWORD bytes, LONG sessionFlags)
{
    return bytes >= kSessionFlagsOffset + sizeof(LONG) && sessionFlags == kSessionStateLock;
}

bool IsDesktopLocked()
{
    if (GetOSVersion() < ActionOS_Win10)
        return false;
    WtsQueryFn query = nullptr;
    WtsFreeFn freeMemory = nullptr;
    {
        CThreadLock lock(L"IsDesktopLocked");
        if (g_system.hWtsapi32 == nullptr)
            g_system.hWtsapi32 = LoadSystemLibrary(L"wtsapi32.dll");
        if (g_system.hWtsapi32 != nullptr)
        {
            query = reinterpret_cast<WtsQueryFn>(
                reinterpret_cast<void*>(::GetProcAddress(g_system.hWtsapi32, "WTSQuerySessionInformationA")));
            freeMemory = reinterpret_cast<WtsFreeFn>(reinterpret_cast<void*>(::GetProcAddress(g_system.hWtsapi32, "WTSFreeMemory")));
        }
    }
    if (query == nullptr || freeMemory == nullptr)
    {
        CLogger::LogMessage(L"BRMP can not get the WTS Session Information this version of Windows!");
        return false;
    }
    LPSTR data = nullptr;
    DWORD bytes = 0;
    if (!query(nullptr, static_cast<DWORD>(-1), kWtsSessionInfoEx, &data, &bytes) || data == nullptr)
        return false;
    LONG flags = -1;
    if (bytes >= kSessionFlagsOffset + sizeof(LONG))
        std::memcpy(&flags, data + kSessionFlagsOffset, sizeof(flags));
    const bool locked = SessionInfoSaysLocked(bytes, flags);
    freeMemory(data);
    return locked;
}

int GetLastUpdateCheck()
{
    CThreadLock lock(L"GetLastUpdateCheck");
    if (IsPortableMode())
        return g_pPersist != nullptr ? g_pPersist->GetLastUpdateCheck() : 0;
    CMyRegKey key(GetUserRegistryKey().c_str(), HKEY_CURRENT_USER, KEY_READ);
    DWORD value = 0;
    if (!key.IsValid() || !key.GetValue(kLastCheckValue, &value))
        return 0;
    return static_cast<int>(value);
}

void SetLastUpdateCheck(int day)
{
    CThreadLock lock(L"SetLastUpdateCheck");
    if (IsPortableMode())
    {
        if (g_pPersist != nullptr && g_pPersist->GetLastUpdateCheck() != day)
        {
            g_pPersist->SetLastUpdateCheck(day);
            g_pPersist->SetDirty(true);
        }
        return;
    }
    const std::wstring path = GetUserRegistryKey();
    CMyRegKey key(path.c_str(), HKEY_CURRENT_USER, KEY_WRITE);
    if (!key.IsValid() && !key.CreateKey(path.c_str(), HKEY_CURRENT_USER))
        return;
    key.SetValue(kLastCheckValue, static_cast<DWORD>(day));
}

bool SavePersistantSettings()
{
    return SaveGlobalPersistantSettings();
}

void UpdateSPIThread()
{
    if (g_threads.pSPIThread == nullptr)
        return;
    const DWORD id = g_dwSPIThreadId;
    if (id == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to send SPI_SETTINGS_CHANGED.");
        return;
    }
    ::PostThreadMessageW(id, BRMP_SettingsChanged, 0, 0);
}

// --- cursor speed cycle ----------------------------------------------------------

int GetCycleCursorSpeed()
{
    CThreadLock lock(L"GetCycleCursorSpeed");
    return CursorChangesAllowed() ? g_nCursorSpeedPosition : -1;
}

int CycledCursorSpeedPosition()
{
    CThreadLock lock(L"CycledCursorSpeedPosition");
    return CursorChangesAllowed() && g_bCursorSpeedCycled ? g_nCursorSpeedPosition : -1;
}

void EndCursorSpeedCycleFor(const CSettings& incoming)
{
    if (g_pSettings == nullptr || !g_bCursorSpeedCycled)
        return;
    const bool same = incoming.m_nCursorSpeed == g_pSettings->m_nCursorSpeed &&
                      std::equal(std::begin(incoming.m_nCursorSpeedCycle), std::end(incoming.m_nCursorSpeedCycle),
                                 std::begin(g_pSettings->m_nCursorSpeedCycle));
    if (same)
        return;
    CLogger::LogDebug(L"EndCursorSpeedCycleFor: The settings name other cursor speeds - the cycled speed (position %d) ends",
                      g_nCursorSpeedPosition);
    g_bCursorSpeedCycled = false;
    // The cycle starts again as at start-up, and the tray icon, drawn from the
    // position, shows none any more.
    g_nCursorSpeedPosition = 0;
    if (g_engine.hMainWnd != nullptr)
        ::PostMessageW(g_engine.hMainWnd, BRMP_MainWindow, 0, 0);
}

void CycleCursorSpeed()
{
    CThreadLock lock(L"CycleCursorSpeed");
    if (!CursorChangesAllowed())
    {
        CLogger::LogMessage(L"Ignoring cycle mouse cursor speed as %s is not allowed to change it", ShortName());
        return;
    }
    g_nCursorSpeedPosition = (g_nCursorSpeedPosition + 1) % 4;
    g_bCursorSpeedCycled = true;
    if (g_nCursorSpeedPosition < 0)
        g_nCursorSpeedPosition = 0;
    const int position = g_nCursorSpeedPosition;
    const int speed = 2 * g_pSettings->m_nCursorSpeedCycle[position];
    const int current = CMouseInfo::GetMouseSpeed();
    if (speed == current)
    {
        CLogger::LogDebug(L"No need to set mouse cursor speed to %d in cycle mouse cursor speed position %d as it is already %d",
                          speed, position, current);
        return;
    }
    // A value from the settings file outside the system's range is not set.
    if (speed < 1 || speed > 20)
    {
        CLogger::LogMessage(L"CycleCursorSpeed: Ignoring cursor speed %d of cycle position %d", speed, position);
        return;
    }
    if (g_engine.hMainWnd != nullptr)
        ::PostMessageW(g_engine.hMainWnd, BRMP_CursorSpeedChanged, static_cast<WPARAM>(position),
                       g_pSettings->m_bNotifyCursorSpeed ? 1 : 0);
    CLogger::LogDebug(L"Cycle mouse cursor speed %d (%d)", speed, position);
    CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(speed));
}

void UpdateCursors()
{
    if (g_threads.hMouseHook != nullptr && g_threads.hHookThread != nullptr && !RemappingSwitchedOff())
        ShowProfileCursor();
    else
        ResetSystemCursors();
}

namespace
{
// A timed-click press shows its steps through the SPI thread and restores the
// cursors here.
void ShowTimedClickStep(CSPIThread* spiThread, int step, int mode)
{
    if (spiThread != nullptr)
        spiThread->ChangeCursorTimedClick(step, mode);
}

const bool g_timedClickCursors = [] {
    SetTimedClickCursorDefaults(ShowTimedClickStep, UpdateCursors);
    return true;
}();
}

void TestCrash()
{
    CLogger::LogMessage(L"BRMP is about to simulate a crash - this should NEVER be called in a released version!");
    ReportCrashHere(CRASH_CPP_EXCEPTION, L"TestCrash");
}
