// The system magnifier, started and closed through the shell and its own window.

#include "Magnifier.h"

#include <atomic>
#include <string>

#include "EngineInput.h"
#include "Logger.h"
#include "ProcessLaunch.h"

namespace
{
std::atomic<bool> g_startedForZoom{false};

void LaunchMagnifier()
{
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring file = L"magnify.exe";
    if (length > 0 && length < MAX_PATH)
        file = std::wstring(folder, length) + L"\\magnify.exe";
    ThreadShellExecute(L"open", file.c_str(), nullptr);
}
}

HWND FindMagnifierWindow()
{
    HWND window = ::FindWindowW(L"MagUIClass", nullptr);
    return window != nullptr ? window : ::FindWindowW(L"MagUIIconClass", nullptr);
}

void ToggleMagnifier()
{
    if (HWND window = FindMagnifierWindow())
    {
        CLogger::LogDebug(L"ToggleMagnifier: Found magnifier window: 0x%08X", HandleNumber(window));
        ::PostMessageW(window, WM_QUIT, 0, 0);
        return;
    }
    CLogger::LogDebug(L"ToggleMagnifier: Launch magnifier");
    LaunchMagnifier();
}

void MagnifierZoom(bool zoomIn)
{
    HWND window = FindMagnifierWindow();
    if (window == nullptr && zoomIn && !g_startedForZoom.load())
    {
        CLogger::LogDebug(L"Magnifier: Launch magnifier");
        LaunchMagnifier();
        g_startedForZoom = true;
        return;
    }
    g_startedForZoom = false;
    if (window != nullptr)
        SendKey(zoomIn ? VK_ADD : VK_SUBTRACT, false, 8, 0);
}
