#pragma once
// The library's run-time state shared by the hook thread, the timer thread, the
// worker threads and the exported control functions, in a few structures grouped
// by who writes them and when:
//   g_hook     what the hook procedures record as input arrives
//   g_threads  the hooks, the hook and timer threads and the worker objects
//   g_engine   the profile, layer and windows in force, and the program's windows
//   g_system   start-up system values (SystemValues.h)
//   g_pSettings the settings object (LibrarySettings.h)
// The program reaches them only through exported functions. Plain members, so
// the hook procedures read them without a call, a lock or an allocation.

#include <windows.h>

#include <atomic>
#include <list>

#include "LibrarySettings.h"
#include "RegisteredMessages.h"
#include "SystemValues.h"

class CSettings;
class CApplicationSettings;
class CSendInput;
class CSPIThread;
class CBrightness;
class CPreciseTimer;
class CWindowOperation;

// wParam values of BRMP_ResetHook.
constexpr WPARAM WP_MOUSEHOOK = 1;      // re-install the mouse hook (hook thread only)
constexpr WPARAM WP_KEYHOOK = 2;        // re-install the keyboard hook (hook thread only)
constexpr WPARAM WP_BOTH = 3;           // re-install both, mouse first
constexpr WPARAM WP_EXITTHREAD = 0xA5A5; // wake-up that comes with an exit request (both threads)

// What the hook procedures record as input arrives.
struct HookState
{
    // (What is held, and by whom, is g_held's: HeldInput.h.)
    // Set by the hook procedures on real input; read and cleared by the jiggler.
    bool bInputSeen = false;
    DWORD dwLastInput = 0;

    // No input seen.
    void Reset();
};

// The hooks and the threads that serve them, written by the start and stop
// sequence; the find-window hook by its own set and remove calls. The worker
// objects are created by the hook thread, which deletes them on its way out;
// whatever a dead hook thread leaves behind is deleted by the stop sequence or
// at detach.
struct ThreadState
{
    HHOOK hMouseHook = nullptr;
    HHOOK hKeyHook = nullptr;
    HHOOK hFindHook = nullptr;
    HANDLE hHookThread = nullptr;
    DWORD dwHookThreadId = 0;
    HANDLE hTimerThread = nullptr;
    DWORD dwTimerThreadId = 0;
    HANDLE hHookExitEvent = nullptr;
    HANDLE hTimerExitEvent = nullptr;
    // Set with hTimerExitEvent: what the timer thread checks on each message
    // (its poll ticks often; no call to the system for that).
    std::atomic<bool> bTimerExitAsked{false};
    HANDLE hHooksStartWaitEvent = nullptr;
    CRITICAL_SECTION csHookControl = {};

    CSendInput* pSendInput = nullptr;
    CSPIThread* pSPIThread = nullptr;
    CBrightness* pBrightness = nullptr;
    CPreciseTimer* pPreciseTimer = nullptr;   // attach to detach
    CWindowOperation* pWindowOperation = nullptr;
    HKL hEnglishLayout = nullptr;             // chosen by the hook thread
    bool bLoadedEnglishLayout = false;        // ... and loaded by it
};

// What is in force: written by settings loading, profile targeting, layer
// changes and the program's control calls.
struct EngineState
{
    CApplicationSettings* pCurrentApp = nullptr; // profile in force, may be null
    int nCurrentLayer = 0;                       // 0-based
    wchar_t szCurrentProcess[MAX_PATH] = {};
    HWND hCurrentWnd = nullptr;
    // The look-up of hCurrentWnd met a host of "modern UI" apps (GetProcessName's
    // flag): app commands for it are sent as such an app takes them.
    bool bCurrentModernUI = false;
    HWND hProfileWnd = nullptr;
    int nIntegrityLevel = 0;                     // of the target's process

    // Windows handed in by the program.
    HWND hMainWnd = nullptr;
    HWND hVolumeOSDWnd = nullptr;
    HWND hBrightnessOSDWnd = nullptr;
    HWND hSetupWnd = nullptr;
    HWND hFindWnd = nullptr;

    // Profiles restricted to an area of their window, in the settings' order;
    // built by the settings loader, which owns it; null while there are none.
    std::list<CApplicationSettings*>* pAreaApps = nullptr;

    // No profile, layer, target or program window (the area list stays with
    // the settings it was built from).
    void Reset();
};

extern HookState g_hook;
extern ThreadState g_threads;
extern EngineState g_engine;
