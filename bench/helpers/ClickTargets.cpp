// Windows of another process for the click-latency bench: two windows side by
// side that clicks go to in turn ("pair"), and one that is made anew on
// request, so that a click can go to a window nobody has seen ("fresh"). Each
// is built as an application's window is, a frame with a caption and a pane
// (a child window) filling its client area, which the clicks hit. None of them
// takes the foreground when clicked (the bench's yardsticks measure the
// click's road, not an activation). Every button message a pane receives is
// stamped on arrival and written to shared memory, where the bench reads it.
//   ClickTargets.exe <shared memory name> <request event> <done event> <quit event>
// The bench creates the shared memory (ClickTargetsShared) and the events; on
// the request event the fresh window is made anew, and the done event is set
// once its handle and place are in the shared memory (also after start-up).

#include <windows.h>

#include "ClickTargetsShared.h"

namespace
{
ClickTargetsShared* g_shared = nullptr;
HWND g_frames[kClickTargetWindows] = {};
HWND g_windows[kClickTargetWindows] = {};   // the panes
LONG g_freshSerial = 0;

int WindowIndex(HWND window)
{
    for (int i = 0; i < kClickTargetWindows; ++i)
        if (g_windows[i] == window)
            return i;
    return -1;
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    {
        // Stamped first: what follows is the helper's own time.
        LARGE_INTEGER counter;
        ::QueryPerformanceCounter(&counter);
        const DWORD received = ::GetTickCount();
        const LONG at = g_shared->receiptCount;
        ClickReceipt& receipt = g_shared->receipts[at % kClickReceipts];
        receipt.message = message;
        receipt.received = received;
        receipt.messageTime = static_cast<DWORD>(::GetMessageTime());
        receipt.extra = static_cast<unsigned long long>(::GetMessageExtraInfo());
        receipt.counter = counter.QuadPart;
        receipt.window = WindowIndex(window);
        receipt.serial = receipt.window == kFreshWindow ? g_freshSerial : 0;
        ::InterlockedExchange(&g_shared->receiptCount, at + 1);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEACTIVATE)
        return MA_NOACTIVATE;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND Show(int index)
{
    const RECT& place = kClickTargetPlaces[index];
    const wchar_t* const titles[kClickTargetWindows] = {L"Click target A", L"Click target B", L"Click target new"};
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND frame = ::CreateWindowExW(WS_EX_NOACTIVATE, L"BrmpClickTargetFrame", titles[index], WS_OVERLAPPED | WS_CAPTION,
                                   place.left, place.top, place.right - place.left, place.bottom - place.top, nullptr,
                                   nullptr, instance, nullptr);
    if (frame == nullptr)
        return nullptr;
    RECT client{};
    ::GetClientRect(frame, &client);
    HWND pane = ::CreateWindowExW(0, L"BrmpClickTarget", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom,
                                  frame, nullptr, instance, nullptr);
    if (pane == nullptr)
    {
        ::DestroyWindow(frame);
        return nullptr;
    }
    ::ShowWindow(frame, SW_SHOWNOACTIVATE);
    // Painted before it is announced: a click then finds it as a user would.
    ::UpdateWindow(frame);
    g_shared->windows[index] = reinterpret_cast<unsigned long long>(pane);
    g_frames[index] = frame;
    g_windows[index] = pane;
    return pane;
}

bool MakeFresh()
{
    if (g_frames[kFreshWindow] != nullptr)
        ::DestroyWindow(g_frames[kFreshWindow]);
    g_frames[kFreshWindow] = nullptr;
    g_windows[kFreshWindow] = nullptr;
    ++g_freshSerial;
    if (Show(kFreshWindow) == nullptr)
        return false;
    ::InterlockedExchange(&g_shared->freshSerial, g_freshSerial);
    return true;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5)
        return 2;
    HANDLE mapping = ::OpenFileMappingW(FILE_MAP_WRITE | FILE_MAP_READ, FALSE, argv[1]);
    HANDLE request = ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE done = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE quit = ::OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    if (mapping == nullptr || request == nullptr || done == nullptr || quit == nullptr)
        return 3;
    g_shared = static_cast<ClickTargetsShared*>(::MapViewOfFile(mapping, FILE_MAP_WRITE | FILE_MAP_READ, 0, 0,
                                                                sizeof(ClickTargetsShared)));
    if (g_shared == nullptr)
        return 3;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BrmpClickTarget";
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (::RegisterClassW(&windowClass) == 0)
        return 4;
    windowClass.lpfnWndProc = FrameProc;
    windowClass.lpszClassName = L"BrmpClickTargetFrame";
    if (::RegisterClassW(&windowClass) == 0)
        return 4;
    if (Show(0) == nullptr || Show(1) == nullptr || !MakeFresh())
        return 5;
    ::SetEvent(done);
    const HANDLE waits[2] = {quit, request};
    for (;;)
    {
        const DWORD woken = ::MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
            break;
        if (woken == WAIT_OBJECT_0 + 1)
        {
            if (!MakeFresh())
                return 5;
            ::SetEvent(done);
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    return 0;
}
