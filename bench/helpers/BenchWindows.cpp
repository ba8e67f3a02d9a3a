// Windows of another process for the mouse hook bench: the hook never asks its
// own process's windows for their captions, and a window seen for the first
// time must be new to it. Shows a grid of small windows with ordinary captions
// (class "BrmpBenchGrid") and two windows that answer WM_GETTEXT only after
// 250 ms (class "BrmpBenchSlow"); these set one event when such a request
// arrives, before they take their time, and another when they have answered.
//   BenchWindows.exe <grid windows> <ready event> <asked event> <answered event> <quit event>
// The events are named and created by the bench, which resets the asked and
// answered events.

#include <windows.h>

#include <cwchar>
#include <algorithm>
#include <cstdlib>

namespace
{
HANDLE g_captionAsked = nullptr;
HANDLE g_captionAnswered = nullptr;

LRESULT CALLBACK SlowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETTEXT)
    {
        ::SetEvent(g_captionAsked);
        ::Sleep(250);
        const LRESULT copied = ::DefWindowProcW(window, message, wParam, lParam);
        ::SetEvent(g_captionAnswered);
        return copied;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool Register(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    return ::RegisterClassW(&windowClass) != 0;
}

HWND Show(const wchar_t* className, const wchar_t* title, int x, int y, int width, int height)
{
    return ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className, title, WS_POPUP | WS_VISIBLE,
                             x, y, width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 6)
        return 2;
    const int grid = std::max(0, std::min(400, _wtoi(argv[1])));
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    g_captionAsked = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    g_captionAnswered = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
    HANDLE quit = ::OpenEventW(SYNCHRONIZE, FALSE, argv[5]);
    if (ready == nullptr || g_captionAsked == nullptr || g_captionAnswered == nullptr || quit == nullptr)
        return 3;
    if (!Register(L"BrmpBenchGrid", ::DefWindowProcW) || !Register(L"BrmpBenchSlow", SlowProc))
        return 4;
    // 20 columns of 44 x 36 from (20, 60); the slow windows to the right.
    for (int i = 0; i < grid; ++i)
    {
        wchar_t title[64];
        std::swprintf(title, 64, L"Grid window %d", i);
        if (Show(L"BrmpBenchGrid", title, 20 + (i % 20) * 46, 60 + (i / 20) * 38, 44, 36) == nullptr)
            return 5;
    }
    if (Show(L"BrmpBenchSlow", L"Slow caption A", 980, 60, 120, 120) == nullptr ||
        Show(L"BrmpBenchSlow", L"Slow caption B", 980, 220, 120, 120) == nullptr)
        return 5;
    ::SetEvent(ready);
    for (;;)
    {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            break;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    return 0;
}
