// The exported getters and setters: defaults without settings, bounded copies
// into the caller's buffers, the update-check day, the cursor speed cycle and
// the session and process queries.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <functional>
#include <string>

#include "ApplicationSettings.h"
#include "Brightness.h"
#include "Control.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "Globals.h"
#include "KeyHook.h"
#include "LayerTestSupport.h"
#include "Layers.h"
#include "MouseInfo.h"
#include "OSVersion.h"
#include "PersistantSettings.h"
#include "Settings.h"
#include "ThreadLock.h"

using namespace enginetest;
using namespace layertest;

namespace
{
// Takes the settings object away for the scope (the library as it is before
// anything was created).
struct NoSettings
{
    NoSettings()
    {
        CThreadLock lock(L"NoSettings");
        saved = g_pSettings;
        g_pSettings = nullptr;
        g_engine.Reset();
    }
    ~NoSettings()
    {
        CThreadLock lock(L"NoSettings");
        g_pSettings = saved;
        g_engine.Reset();
    }
    CSettings* saved;
};
}

TEST(ControlInterface, GettersAnswerTheirDefaultsWithoutSettings)
{
    NoSettings none;
    wchar_t language[32] = L"x";
    struct Case
    {
        const char* what;
        std::function<long long()> get;
        long long expected;
    } cases[] = {
        {"GetShowIcon", [] { return GetShowIcon(); }, 1},
        {"GetReinstallOnResume", [] { return GetReinstallOnResume(); }, 0},
        {"GetQuillon", [] { return GetQuillon(); }, 0},
        {"CheckVersionEnabled", [] { return CheckVersionEnabled(); }, 1},
        {"CheckBetaVersionEnabled", [] { return CheckBetaVersionEnabled(); }, 0},
        {"CheckVersionDays", [] { return CheckVersionDays(); }, 5},
        {"GetEnableOSD", [] { return GetEnableOSD(); }, 0},
        {"GetAlwaysShowOSD", [] { return GetAlwaysShowOSD(); }, 0},
        {"NotificatcionsEnabled", [] { return NotificatcionsEnabled(); }, 0},
        {"MaxLayers", [] { return MaxLayers(); }, 10},
        {"LeftClickCycleLayer", [] { return LeftClickCycleLayer(); }, 0},
        {"GetCycleCursorSpeed", [] { return GetCycleCursorSpeed(); }, -1},
        {"GetHotkeys is null", [] { return GetHotkeys() == nullptr ? 1 : 0; }, 1},
        {"GetSettings is null", [] { return GetSettings() == nullptr ? 1 : 0; }, 1},
        {"GetLanguageFile", [&] { return GetLanguageFile(language, 32); }, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.get(), c.expected) << c.what;
    EXPECT_STREQ(language, L"");

    // Setters and switches do nothing harmful without settings.
    SetQuillon(true);
    SetCurrentLayer(1, true, true, true);
    NextLayer();
    PreviousLayer();
    CycleCursorSpeed();
    EXPECT_EQ(GetCurrentLayer(), 0);
}

TEST(ControlInterface, GettersFollowTheLoadedSettings)
{
    CSettings saved(*g_pSettings);
    g_pSettings->m_bShowTrayIcon = false;
    g_pSettings->m_bDisableReinstallOnResume = false;
    g_pSettings->m_uCheckVersionDays = 12;
    g_pSettings->m_bGlobalHotkeys = true;
    g_pSettings->m_bLeftClickCycleLayers = true;
    SetQuillon(true);
    EXPECT_FALSE(GetShowIcon());
    EXPECT_TRUE(GetReinstallOnResume());
    EXPECT_EQ(CheckVersionDays(), 12);
    EXPECT_EQ(GetHotkeys(), g_pSettings->GetHotKeys());
    EXPECT_TRUE(LeftClickCycleLayer());
    EXPECT_TRUE(GetQuillon());
    g_pSettings->m_bGlobalHotkeys = false;
    EXPECT_EQ(GetHotkeys(), nullptr);
    CApplicationSettings* app = g_engine.pCurrentApp;
    g_engine.pCurrentApp = nullptr;
    *g_pSettings = saved;
    g_engine.pCurrentApp = app == nullptr ? nullptr : g_pSettings->GetDefaultApp();
}

TEST(ControlInterface, GetCurrentProcessNameNeverWritesPastTheCallersBuffer)
{
    NoSettings none;
    wchar_t savedName[MAX_PATH];
    std::wmemcpy(savedName, g_engine.szCurrentProcess, MAX_PATH);
    std::wcscpy(g_engine.szCurrentProcess, L"notepad.exe");   // 11 characters

    struct Case
    {
        int size;
        int result;
        int sizeAfter;
    } cases[] = {
        {11, 0, 12},     // one too small: the terminator has no room
        {12, 11, 12},
        {200, 11, 200},
        {0, 0, 12},
        {-5, 0, 12},
    };
    for (const Case& c : cases)
    {
        wchar_t buffer[64];
        std::wmemset(buffer, L'#', 64);
        int size = c.size;
        EXPECT_EQ(GetCurrentProcessName(buffer, size), c.result) << c.size;
        EXPECT_EQ(size, c.sizeAfter) << c.size;
        const int limit = c.size > 0 ? (c.size < 64 ? c.size : 64) : 0;
        for (int i = limit; i < 64; ++i)
            ASSERT_EQ(buffer[i], L'#') << "written at " << i << " with size " << c.size;
        if (c.result > 0)
        {
            EXPECT_STREQ(buffer, L"notepad.exe");
        }
    }
    int size = 0;
    EXPECT_EQ(GetCurrentProcessName(nullptr, size), 0);
    EXPECT_EQ(size, 12);

    // A name without a terminator in the global is still bounded.
    std::wmemset(g_engine.szCurrentProcess, L'a', MAX_PATH);
    size = 1000;
    std::wstring big(1000, L'#');
    EXPECT_EQ(GetCurrentProcessName(big.data(), size), MAX_PATH - 1);
    std::wmemcpy(g_engine.szCurrentProcess, savedName, MAX_PATH);
}

TEST(ControlInterface, TheProcessNameOfAnApplicationProfileIsItsFullName)
{
    EngineStateGuard state;
    int size = 64;
    wchar_t buffer[64] = L"";
    EXPECT_EQ(GetCurrentProcessName(buffer, size), static_cast<int>(std::wcslen(state.Profile()->GetFullName())));
    EXPECT_STREQ(buffer, state.Profile()->GetFullName());
}

TEST(ControlInterface, TheLanguageFileIsCopiedOnlyWhenItFits)
{
    CSettings saved(*g_pSettings);
    g_pSettings->SetLanguage(L"Deutsch.brmplp");   // 14 characters
    wchar_t small[14];
    std::wmemset(small, L'#', 14);
    EXPECT_FALSE(GetLanguageFile(small, 14));
    wchar_t exact[15];
    EXPECT_TRUE(GetLanguageFile(exact, 15));
    EXPECT_STREQ(exact, L"Deutsch.brmplp");
    EXPECT_FALSE(GetLanguageFile(nullptr, 15));
    CApplicationSettings* app = g_engine.pCurrentApp;
    g_engine.pCurrentApp = nullptr;
    *g_pSettings = saved;
    g_engine.pCurrentApp = app == nullptr ? nullptr : g_pSettings->GetDefaultApp();
}

TEST(ControlInterface, TheWindowsOfTheProgramAreStoredAndNullRemovesThem)
{
    RecordingWindow a;
    SetHookMainWindow(a.Handle());
    SetHookVolumeOSDWindow(a.Handle());
    SetSetupWindow(a.Handle());
    CBrightness brightness(nullptr);
    CBrightness* saved = g_threads.pBrightness;
    g_threads.pBrightness = &brightness;
    SetHookBrightnessOSDWindow(a.Handle());
    EXPECT_EQ(g_engine.hMainWnd, a.Handle());
    EXPECT_EQ(g_engine.hVolumeOSDWnd, a.Handle());
    EXPECT_EQ(g_engine.hSetupWnd, a.Handle());
    EXPECT_EQ(g_engine.hBrightnessOSDWnd, a.Handle());
    EXPECT_EQ(brightness.GetOSD(), a.Handle()) << "a live brightness control gets the window too";
    for (auto set : {SetHookMainWindow, SetHookVolumeOSDWindow, SetSetupWindow, SetHookBrightnessOSDWindow})
        set(nullptr);
    EXPECT_EQ(g_engine.hMainWnd, nullptr);
    EXPECT_EQ(brightness.GetOSD(), nullptr);
    g_threads.pBrightness = saved;
}

TEST(ControlInterface, TheProcessIntegrityLevelIsTheTokensLabelOrMinusOne)
{
    const int own = GetProcessIntegrityLevel(::GetCurrentProcessId(), ::GetCurrentProcess());
    // The own process's token always has a label.
    EXPECT_GE(own, 0x1000);
    EXPECT_LE(own, 0x4000);
    EXPECT_EQ(GetProcessIntegrityLevel(0, nullptr), -1);
}

TEST(ControlInterface, TheDesktopCountsAsLockedOnlyWhenTheSessionSaysSo)
{
    EXPECT_TRUE(SessionInfoSaysLocked(160, 0));
    EXPECT_FALSE(SessionInfoSaysLocked(160, 1));
    EXPECT_FALSE(SessionInfoSaysLocked(160, -1));
    EXPECT_FALSE(SessionInfoSaysLocked(12, 0)) << "an answer too short to hold the flags";
    PinOSVersion(ActionOS_Win81);
    EXPECT_FALSE(IsDesktopLocked()) << "not asked before Windows 10";
    PinOSVersion(ActionOS_Win10);
    EXPECT_FALSE(IsDesktopLocked()) << "the test session is not locked";
    UnpinOSVersion();
}

TEST(ControlInterface, TheLastUpdateCheckIsKeptInTheRegistryOrInTheStateFile)
{
    const std::wstring key = L"Software\\BrindlemapTest\\UpdateCheck-" + std::to_wstring(::GetCurrentProcessId());
    SetProgramRegistryKeys(key.c_str(), key.c_str());
    EXPECT_EQ(GetLastUpdateCheck(), 0) << "no key yet";
    SetLastUpdateCheck(45123);
    EXPECT_EQ(GetLastUpdateCheck(), 45123);

    // Portable: the state object, marked for saving only on a change.
    const bool portable = IsPortableMode();
    CPersistantSettings* saved = g_pPersist;
    CPersistantSettings state(L"C:\\nonexistent\\Persist.brmpps", 0, 0, false);
    g_pPersist = &state;
    SetPortableMode(true);
    EXPECT_EQ(GetLastUpdateCheck(), 0);
    SetLastUpdateCheck(0);
    EXPECT_FALSE(state.IsDirty());
    SetLastUpdateCheck(45200);
    EXPECT_TRUE(state.IsDirty());
    EXPECT_EQ(GetLastUpdateCheck(), 45200);
    g_pPersist = nullptr;
    EXPECT_EQ(GetLastUpdateCheck(), 0) << "no state object";
    SetPortableMode(portable);
    g_pPersist = saved;
    EXPECT_EQ(GetLastUpdateCheck(), 45123) << "the registry value is untouched";

    SetProgramRegistryKeys(nullptr, nullptr);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

namespace
{
int g_speed = 10;
BOOL WINAPI FakeSpeed(UINT action, UINT param, PVOID data, UINT flags)
{
    if (action == SPI_GETMOUSESPEED)
    {
        *static_cast<int*>(data) = g_speed;
        return TRUE;
    }
    if (action == SPI_SETMOUSESPEED)
    {
        g_speed = static_cast<int>(reinterpret_cast<INT_PTR>(data));
        return TRUE;
    }
    return ::SystemParametersInfoW(action, param, data, flags);
}
}

TEST(ControlInterface, CycleCursorSpeedStepsThroughFourPositionsAndTellsTheMainWindowWhichShowsNoneOnceTheCycleEnds)
{
    CSettings saved(*g_pSettings);
    CMouseInfo::SetSystemParametersFunction(FakeSpeed);
    RecordingWindow main;
    SetHookMainWindow(main.Handle());
    g_pSettings->m_bAllowSetSpeed = true;
    g_pSettings->m_bNotifyCursorSpeed = true;
    const int cycle[4] = {5, 3, 8, 1};
    std::copy(cycle, cycle + 4, g_pSettings->m_nCursorSpeedCycle);
    // Bring the cycle to position 0 whatever earlier tests left.
    while (GetCycleCursorSpeed() != 0)
        CycleCursorSpeed();
    g_speed = 10;
    main.Clear();

    const int expectedSpeed[4] = {6, 16, 2, 10};
    for (int step = 1; step <= 4; ++step)
    {
        CycleCursorSpeed();
        const int position = step % 4;
        EXPECT_EQ(GetCycleCursorSpeed(), position);
        EXPECT_EQ(g_speed, expectedSpeed[step - 1]) << "twice CS" << position + 1;
    }
    ASSERT_TRUE(WaitFor([&] { return main.Received(BRMP_CursorSpeedChanged).size() == 4; }));
    const auto got = main.Received(BRMP_CursorSpeedChanged);
    EXPECT_EQ(got[0].wParam, 1u);
    EXPECT_EQ(got[3].wParam, 0u) << "position 3 wraps to 0";
    EXPECT_EQ(got[0].lParam, 1);

    // Settings that name another speed end the cycle: the tray icon is drawn
    // again, without a position.
    CycleCursorSpeed();
    ASSERT_EQ(GetCycleCursorSpeed(), 1);
    CSettings incoming(*g_pSettings);
    ++incoming.m_nCursorSpeed;
    {
        CThreadLock lock(L"ControlInterfaceTest");
        EndCursorSpeedCycleFor(incoming);
    }
    EXPECT_EQ(GetCycleCursorSpeed(), 0) << "the tray icon keeps the ended cycle's position";
    EXPECT_TRUE(WaitFor([&] { return main.Received(BRMP_MainWindow).size() == 1; })) << "the tray icon is not drawn again";

    // Not allowed: the speed stays and the position reads -1.
    g_pSettings->m_bAllowSetSpeed = false;
    g_speed = 7;
    CycleCursorSpeed();
    EXPECT_EQ(g_speed, 7);
    EXPECT_EQ(GetCycleCursorSpeed(), -1);

    CMouseInfo::SetSystemParametersFunction(nullptr);
    g_engine.hMainWnd = nullptr;
    CApplicationSettings* app = g_engine.pCurrentApp;
    g_engine.pCurrentApp = nullptr;
    *g_pSettings = saved;
    g_engine.pCurrentApp = app == nullptr ? nullptr : g_pSettings->GetDefaultApp();
}

TEST(ControlInterface, RemappingCountsAsDisabledWithoutTheHooks)
{
    ASSERT_EQ(g_threads.hMouseHook, nullptr);
    EXPECT_TRUE(IsBRMPDisabled(true));
    EXPECT_FALSE(GetHooked());
}
