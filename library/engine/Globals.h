#pragma once
// The library's run-time state shared by the hook thread, the timer thread, the
// worker threads and the exported control functions. Plain globals, owned by the
// library; the program reaches them only through exported functions. They are
// exported only so that the tests, which link against the real DLL, can read them.

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "RegisteredMessages.h"
#include "SnareholdApi.h"

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

// ---------------------------------------------------------------------------
// Settings, profile, layer.
extern SNAREHOLD_API CSettings* g_pSettings;           // created at attach, never replaced
extern SNAREHOLD_API CApplicationSettings* g_pCurrentApp; // profile in force, may be null
extern SNAREHOLD_API int g_nCurrentLayer;              // 0-based
extern SNAREHOLD_API wchar_t g_szCurrentProcess[MAX_PATH];
extern SNAREHOLD_API HWND g_hCurrentWnd;
extern SNAREHOLD_API HWND g_hProfileWnd;

// Hooks and threads.
extern SNAREHOLD_API HHOOK g_hMouseHook;
extern SNAREHOLD_API HHOOK g_hKeyHook;
extern SNAREHOLD_API HHOOK g_hFindHook;
extern SNAREHOLD_API HANDLE g_hHookThread;
extern SNAREHOLD_API DWORD g_dwHookThreadId;
extern SNAREHOLD_API HANDLE g_hTimerThread;
extern SNAREHOLD_API DWORD g_dwTimerThreadId;
extern SNAREHOLD_API HANDLE g_hHookExitEvent;
extern SNAREHOLD_API HANDLE g_hTimerExitEvent;
extern SNAREHOLD_API HANDLE g_hHooksStartWaitEvent;
extern SNAREHOLD_API CRITICAL_SECTION g_csHookControl;
extern SNAREHOLD_API HINSTANCE g_hInstance;

// Windows handed in by the program.
extern SNAREHOLD_API HWND g_hMainWnd;
extern SNAREHOLD_API HWND g_hVolumeOSDWnd;
extern SNAREHOLD_API HWND g_hBrightnessOSDWnd;
extern SNAREHOLD_API HWND g_hSetupWnd;
extern SNAREHOLD_API HWND g_hFindWnd;

// Worker objects: created by the hook thread, which deletes them on its way out;
// whatever a dead hook thread leaves behind is deleted by the stop sequence or at
// detach.
extern SNAREHOLD_API CSendInput* g_pSendInput;
extern SNAREHOLD_API CSPIThread* g_pSPIThread;
extern SNAREHOLD_API CBrightness* g_pBrightness;
extern SNAREHOLD_API CPreciseTimer* g_pPreciseTimer;   // attach to detach
extern SNAREHOLD_API CWindowOperation* g_pWindowOperation;

// Own input: events the library injected and has not yet seen come back through
// the mouse hook. Raised by the senders, lowered by the mouse hook.
extern SNAREHOLD_API std::atomic<int> g_nInjectCount;
// Set by the hook procedures on real input; read and cleared by the jiggler.
extern SNAREHOLD_API bool g_bInputSeen;
extern SNAREHOLD_API DWORD g_dwLastInput;

// Flags and modes.
extern SNAREHOLD_API int g_nIntegrityLevel;
extern SNAREHOLD_API DWORD g_dwHookTimeout;
extern SNAREHOLD_API BYTE g_bButtonDown[9];
extern SNAREHOLD_API BYTE g_bReleasedByChord[9];
extern SNAREHOLD_API LARGE_INTEGER g_liFrequency;
extern SNAREHOLD_API TIMECAPS g_tcTimerCaps;
extern SNAREHOLD_API int g_nScreenWidth;
extern SNAREHOLD_API int g_nScreenHeight;
extern SNAREHOLD_API HMODULE g_hWtsapi32;

// System mouse and keyboard values seen at attach (restored when the hooks stop).
extern SNAREHOLD_API int g_nStartupMouseSpeed;
extern SNAREHOLD_API int g_nStartupMouse[3];           // threshold 1, threshold 2, acceleration
extern SNAREHOLD_API bool g_bStartupEPP;
extern SNAREHOLD_API int g_nStartupSwapButtons;
extern SNAREHOLD_API int g_nSwapButtons;
extern SNAREHOLD_API int g_nStartupWheelLines;         // raw value
extern SNAREHOLD_API int g_nDefaultWheelLines;         // 0 replaced by 3
extern SNAREHOLD_API int g_nWheelLines;
extern SNAREHOLD_API bool g_bWheelPageScroll;
extern SNAREHOLD_API int g_nWheelChars;
extern SNAREHOLD_API int g_nKeyRepeatDelay;            // ms
extern SNAREHOLD_API int g_nKeyRepeatInterval;         // ms
extern SNAREHOLD_API HKL g_hEnglishLayout;
extern SNAREHOLD_API bool g_bLoadedEnglishLayout;

// Profiles restricted to an area of their window, in the settings' order; built
// by the settings loader, null while there are none.
#include <list>
extern SNAREHOLD_API std::list<CApplicationSettings*>* g_pAreaApps;
