// The library's process attach and detach work.

#include <windows.h>
#include <mmsystem.h>

#include "Control.h"
#include "Globals.h"
#include "HookThread.h"
#include "HookWorkers.h"
#include "Hooks.h"
#include "LibraryLifetime.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "ThreadLock.h"

namespace
{
int SystemInt(UINT action, int fallback)
{
    int value = fallback;
    if (!::SystemParametersInfoW(action, 0, &value, 0))
        return fallback;
    return value;
}
}

void ReadStartupSystemValues()
{
    g_nStartupMouseSpeed = SystemInt(SPI_GETMOUSESPEED, 10);
    int mouse[3] = {0, 0, 0};
    if (::SystemParametersInfoW(SPI_GETMOUSE, 0, mouse, 0))
    {
        for (int i = 0; i < 3; ++i)
            g_nStartupMouse[i] = mouse[i];
    }
    g_bStartupEPP = g_nStartupMouse[2] != 0;

    g_nStartupSwapButtons = ::GetSystemMetrics(SM_SWAPBUTTON);
    g_nSwapButtons = g_nStartupSwapButtons;

    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    g_nStartupWheelLines = static_cast<int>(lines);
    g_nDefaultWheelLines = g_nStartupWheelLines == 0 ? 3 : g_nStartupWheelLines;
    g_nWheelLines = g_nDefaultWheelLines;
    g_bWheelPageScroll = g_nDefaultWheelLines == -1;

    UINT chars = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLCHARS, 0, &chars, 0))
        chars = 3;
    g_nWheelChars = (chars == 0 || static_cast<int>(chars) == -1) ? 3 : static_cast<int>(chars);

    const int delay = SystemInt(SPI_GETKEYBOARDDELAY, 1);
    const int speed = SystemInt(SPI_GETKEYBOARDSPEED, 31);
    g_nKeyRepeatDelay = (delay + 1) * 250;
    g_nKeyRepeatInterval = static_cast<int>(400.0 - 12.0 * speed);
}

void LibraryAttach(HINSTANCE instance)
{
    g_hInstance = instance;
    ::timeGetDevCaps(&g_tcTimerCaps, sizeof(g_tcTimerCaps));

    CThreadLock::InitGlobalCS();
    CAudioThreadLock::InitGlobalCS();
    CLogger::Initialise();
    if (!::InitializeCriticalSectionAndSpinCount(&g_csHookControl, 1000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise independant critical section");
    // After the logger: the lookup may log.
    g_nIntegrityLevel = GetProcessIntegrityLevel(::GetCurrentProcessId(), ::GetCurrentProcess());

    g_hMouseHook = g_hKeyHook = g_hFindHook = nullptr;
    g_nCurrentLayer = 0;
    g_hMainWnd = g_hVolumeOSDWnd = g_hBrightnessOSDWnd = g_hSetupWnd = g_hFindWnd = nullptr;
    g_hCurrentWnd = g_hProfileWnd = nullptr;
    ::QueryPerformanceFrequency(&g_liFrequency);

    ReadStartupSystemValues();
    g_pBrightness = nullptr;
    g_pSendInput = nullptr;
    g_pSPIThread = nullptr;

    CreateLibraryObjects();
}

void LibraryDetach()
{
    RemoveMouseHook(true);
    g_hMainWnd = g_hVolumeOSDWnd = g_hBrightnessOSDWnd = g_hSetupWnd = g_hFindWnd = nullptr;
    DeleteRogueWorkers();
    if (g_hEnglishLayout != nullptr && g_bLoadedEnglishLayout)
    {
        ::UnloadKeyboardLayout(g_hEnglishLayout);
        g_hEnglishLayout = nullptr;
        g_bLoadedEnglishLayout = false;
    }
    if (g_hWtsapi32 != nullptr)
    {
        ::FreeLibrary(g_hWtsapi32);
        g_hWtsapi32 = nullptr;
    }
    g_hMouseHook = g_hKeyHook = g_hFindHook = nullptr;
    if (g_hHooksStartWaitEvent != nullptr)
    {
        ::CloseHandle(g_hHooksStartWaitEvent);
        g_hHooksStartWaitEvent = nullptr;
    }
    DestroyLibraryObjects();
    ::DeleteCriticalSection(&g_csHookControl);
    CThreadLock::DeleteCS();
    CAudioThreadLock::DeleteCS();
    CLogger::CloseLogFile(true);
    CLogger::Shutdown();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason)
    {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        LibraryAttach(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved set) every other thread is already gone,
        // possibly while holding a lock: joining, locking or COM would hang.
        // The system frees the rest.
        if (reserved == nullptr)
            LibraryDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
