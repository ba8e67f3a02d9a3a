#pragma once
// What the library learns of its process and of the system's mouse and keyboard
// when it loads. The start-up values are put back when the hooks stop; the
// system-parameters thread keeps the current swap state here as it changes it.

#include <windows.h>
#include <mmsystem.h>

struct SystemValues
{
    HINSTANCE hInstance = nullptr;        // the library's module
    LARGE_INTEGER liFrequency = {};       // performance counter
    TIMECAPS tcTimerCaps = {};
    int nScreenWidth = 0;
    int nScreenHeight = 0;
    HMODULE hWtsapi32 = nullptr;          // loaded on first use, freed at unload
    DWORD dwHookTimeout = 0;              // LowLevelHooksTimeout, read with the settings

    // The system's mouse and keyboard values.
    int nStartupMouseSpeed = 0;
    int nStartupMouse[3] = {};            // threshold 1, threshold 2, acceleration
    bool bStartupEPP = false;
    int nStartupSwapButtons = 0;
    int nSwapButtons = 0;                 // current, as the SPI thread set it
    int nStartupWheelLines = 3;           // raw value
    int nDefaultWheelLines = 3;           // 0 replaced by 3
    int nWheelLines = 3;
    bool bWheelPageScroll = false;
    int nWheelChars = 3;
    int nKeyRepeatDelay = 500;            // ms
    int nKeyRepeatInterval = 33;          // ms

    // Reads the mouse and keyboard values from the system again (the module,
    // timer, screen and hook time-out values stay).
    void Reset();
};

extern SystemValues g_system;
