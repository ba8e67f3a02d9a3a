#include "Globals.h"

CSettings* g_pSettings = nullptr;
CApplicationSettings* g_pCurrentApp = nullptr;
int g_nCurrentLayer = 0;
wchar_t g_szCurrentProcess[MAX_PATH] = {};
HWND g_hCurrentWnd = nullptr;
HWND g_hProfileWnd = nullptr;

HHOOK g_hMouseHook = nullptr;
HHOOK g_hKeyHook = nullptr;
HHOOK g_hFindHook = nullptr;
HANDLE g_hHookThread = nullptr;
DWORD g_dwHookThreadId = 0;
HANDLE g_hTimerThread = nullptr;
DWORD g_dwTimerThreadId = 0;
HANDLE g_hHookExitEvent = nullptr;
HANDLE g_hTimerExitEvent = nullptr;
HANDLE g_hHooksStartWaitEvent = nullptr;
CRITICAL_SECTION g_csHookControl = {};
HINSTANCE g_hInstance = nullptr;

HWND g_hMainWnd = nullptr;
HWND g_hVolumeOSDWnd = nullptr;
HWND g_hBrightnessOSDWnd = nullptr;
HWND g_hSetupWnd = nullptr;
HWND g_hFindWnd = nullptr;

CSendInput* g_pSendInput = nullptr;
CSPIThread* g_pSPIThread = nullptr;
CBrightness* g_pBrightness = nullptr;
CPreciseTimer* g_pPreciseTimer = nullptr;
CWindowOperation* g_pWindowOperation = nullptr;

std::atomic<int> g_nInjectCount{0};
bool g_bInputSeen = false;
DWORD g_dwLastInput = 0;

int g_nIntegrityLevel = 0;
DWORD g_dwHookTimeout = 0;
BYTE g_bButtonDown[9] = {};
BYTE g_bReleasedByChord[9] = {};
LARGE_INTEGER g_liFrequency = {};
TIMECAPS g_tcTimerCaps = {};
int g_nScreenWidth = 0;
int g_nScreenHeight = 0;
HMODULE g_hWtsapi32 = nullptr;

int g_nStartupMouseSpeed = 0;
int g_nStartupMouse[3] = {};
bool g_bStartupEPP = false;
int g_nStartupSwapButtons = 0;
int g_nSwapButtons = 0;
int g_nStartupWheelLines = 3;
int g_nDefaultWheelLines = 3;
int g_nWheelLines = 3;
bool g_bWheelPageScroll = false;
int g_nWheelChars = 3;
int g_nKeyRepeatDelay = 500;
int g_nKeyRepeatInterval = 33;
HKL g_hEnglishLayout = nullptr;
bool g_bLoadedEnglishLayout = false;

std::list<CApplicationSettings*>* g_pAreaApps = nullptr;
