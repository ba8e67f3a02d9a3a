// The library's process attach and detach work.

#include <windows.h>
#include <mmsystem.h>

#include "Control.h"
#include "Globals.h"
#include "HeldInput.h"
#include "HookThread.h"
#include "HookWorkers.h"
#include "Hooks.h"
#include "LibraryLifetime.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "PersistantSettings.h"
#include "ThreadLock.h"

void LibraryAttach(HINSTANCE instance)
{
    g_system.hInstance = instance;
    ::timeGetDevCaps(&g_system.tcTimerCaps, sizeof(g_system.tcTimerCaps));

    CThreadLock::InitGlobalCS();
    CAudioThreadLock::InitGlobalCS();
    CLogger::Initialise();
    if (!::InitializeCriticalSectionAndSpinCount(&g_threads.csHookControl, 1000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise independant critical section");
    // After the logger: the lookup may log.
    g_engine.nIntegrityLevel = GetProcessIntegrityLevel(::GetCurrentProcessId(), ::GetCurrentProcess());

    g_hook.Reset();
    g_held.Forget();
    g_engine.Reset();
    ::QueryPerformanceFrequency(&g_system.liFrequency);
    g_system.Reset();

    CreateLibraryObjects();
}

void LibraryDetach()
{
    RemoveMouseHook(true);
    DeletePersistantSettings();
    g_engine.hMainWnd = g_engine.hVolumeOSDWnd = g_engine.hBrightnessOSDWnd = g_engine.hSetupWnd = g_engine.hFindWnd = nullptr;
    DeleteRogueWorkers();
    if (g_threads.hEnglishLayout != nullptr && g_threads.bLoadedEnglishLayout)
    {
        ::UnloadKeyboardLayout(g_threads.hEnglishLayout);
        g_threads.hEnglishLayout = nullptr;
        g_threads.bLoadedEnglishLayout = false;
    }
    if (g_system.hWtsapi32 != nullptr)
    {
        ::FreeLibrary(g_system.hWtsapi32);
        g_system.hWtsapi32 = nullptr;
    }
    g_threads.hMouseHook = g_threads.hKeyHook = g_threads.hFindHook = nullptr;
    if (g_threads.hHooksStartWaitEvent != nullptr)
    {
        ::CloseHandle(g_threads.hHooksStartWaitEvent);
        g_threads.hHooksStartWaitEvent = nullptr;
    }
    DestroyLibraryObjects();
    ::DeleteCriticalSection(&g_threads.csHookControl);
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
