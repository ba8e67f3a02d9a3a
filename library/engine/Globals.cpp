#include "Globals.h"

HookState g_hook;
ThreadState g_threads;
EngineState g_engine;

void HookState::Reset()
{
    bInputSeen = false;
    dwLastInput = 0;
}

void EngineState::Reset()
{
    pCurrentApp = nullptr;
    nCurrentLayer = 0;
    szCurrentProcess[0] = L'\0';
    hCurrentWnd = hProfileWnd = nullptr;
    bCurrentModernUI = false;
    hMainWnd = hVolumeOSDWnd = hBrightnessOSDWnd = hSetupWnd = hFindWnd = nullptr;
}
