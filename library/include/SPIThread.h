#pragma once
// The "SPI Thread": the one thread that changes system-wide mouse settings and
// cursors. This is the thread's lifetime only (start, message loop, stop); the
// requests it serves are added by the code that makes them.

#include <windows.h>

#include "SnareholdApi.h"

// Id of the running SPI thread, 0 while none runs; every poster tests it first.
extern SNAREHOLD_API DWORD g_dwSPIThreadId;

class SNAREHOLD_API CSPIThread
{
public:
    // Reads the current swap state and wheel lines and starts the thread.
    CSPIThread();
    ~CSPIThread();
    CSPIThread(const CSPIThread&) = delete;
    CSPIThread& operator=(const CSPIThread&) = delete;

    bool Start();
    // Asks the thread to end and waits for it (terminated after 10 s + 2 s).
    // False when no thread ran.
    bool Stop();

    HANDLE GetThreadHandle() const { return m_hThread; }

private:
    static unsigned __stdcall SPIThread(void* self);

    DWORD m_dwStartTick = 0;
    CRITICAL_SECTION m_cs{};
    HANDLE m_hExitEvent = nullptr;
    HANDLE m_hThread = nullptr;
    HANDLE m_hReadyEvent = nullptr;
    int m_nWheelLines = 3;
    int m_nSwapButtons = 0;
};
