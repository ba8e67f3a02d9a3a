// Click-to-window latency: how long a physical left click (xdotool, through the
// X server and Wine, like a real mouse) takes to reach a window, in one run:
//   none        no low-level hook
//   pass        one pass-through low-level hook
//   library     the library's hooks with 200 profiles, the click unmapped
//   mapped      the library's hooks, the window's profile maps the left button
//               to a left click (the window gets the library's simulated click)
// The window records the receipt time of each WM_LBUTTONDOWN against the time
// of the physical event: the message time for the physical down; for the mapped
// clicks (whose message is the library's own) the time a recording hook saw the
// physical down, installed last so that it runs first. "pass+recorder" measures
// that recording hook on its own, for scale, and "remap+recorder" the least any
// remapping costs: a hook that takes the physical click over and sends the same
// click itself, from inside the hook, with the recording hook in front of it.
// The mapped click is measured against that floor: its simulated click passes
// every hook a second time, whoever sends it.
// Run under Wine from the build's bin folder on a desktop xdotool can drive.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Globals.h"
#include "Hooks.h"
#include "LibraryLifetime.h"
#include "Settings.h"
#include "StringFormat.h"

namespace
{
// The program is per-monitor DPI aware (its manifest says so); the bench
// process runs the same way.
void BecomePerMonitorAware()
{
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set != nullptr)
        set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));   // per monitor, version 2
}

constexpr int kClicks = 200;
constexpr int kClickGapMs = 30;
constexpr RECT kWindowRect = {200, 200, 600, 500};

double g_msPerCount = 0;
LONGLONG g_countAtTick = 0;
DWORD g_tickAtCount = 0;

// Receipt times on the message time's scale (GetTickCount), with the
// performance counter's fraction of a millisecond.
double NowOnTickScale()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return g_tickAtCount + static_cast<double>(counter.QuadPart - g_countAtTick) * g_msPerCount;
}

void Calibrate()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_msPerCount = 1000.0 / static_cast<double>(frequency.QuadPart);
    // Align at a change of the tick count, so that both clocks agree on its start.
    const DWORD first = ::GetTickCount();
    DWORD tick = first;
    LARGE_INTEGER counter;
    while ((tick = ::GetTickCount()) == first)
        ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceCounter(&counter);
    g_countAtTick = counter.QuadPart;
    g_tickAtCount = tick;
}

struct Receipt
{
    double received;
    DWORD messageTime;
    bool injected;
};
std::vector<Receipt> g_receipts;
std::vector<DWORD> g_physicalDowns;   // times the recording hook saw

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN)
    {
        const double received = NowOnTickScale();
        const LPARAM extra = ::GetMessageExtraInfo();
        g_receipts.push_back({received, static_cast<DWORD>(::GetMessageTime()), extra != 0});
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A low-level hook on a thread of its own, as a real hook runs.
struct HookThreadRunner
{
    HOOKPROC procedure;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE ready = nullptr;

    static DWORD WINAPI Main(LPVOID parameter)
    {
        auto* self = static_cast<HookThreadRunner*>(parameter);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        HHOOK hook = ::SetWindowsHookExW(WH_MOUSE_LL, self->procedure, ::GetModuleHandleW(nullptr), 0);
        ::SetEvent(self->ready);
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&message);
        if (hook != nullptr)
            ::UnhookWindowsHookEx(hook);
        return 0;
    }
    explicit HookThreadRunner(HOOKPROC hookProcedure) : procedure(hookProcedure)
    {
        ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread = ::CreateThread(nullptr, 0, Main, this, 0, &threadId);
        ::WaitForSingleObject(ready, 5000);
    }
    ~HookThreadRunner()
    {
        ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        ::WaitForSingleObject(thread, 5000);
        ::CloseHandle(thread);
        ::CloseHandle(ready);
    }
};

LRESULT CALLBACK PassThroughHook(int code, WPARAM wParam, LPARAM lParam)
{
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONDOWN)
    {
        const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        if ((data->flags & LLMHF_INJECTED) == 0)
            g_physicalDowns.push_back(data->time);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Marks the remapping hook's own clicks, so that it lets them through.
constexpr ULONG_PTR kRemapMark = 0x52454D50;

LRESULT CALLBACK RemappingHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && (wParam == WM_LBUTTONDOWN || wParam == WM_LBUTTONUP) && data->dwExtraInfo != kRemapMark)
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = wParam == WM_LBUTTONDOWN ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        input.mi.dwExtraInfo = kRemapMark;
        ::SendInput(1, &input, sizeof(input));
        return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void Pump(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    MSG message;
    while (::GetTickCount() - start < milliseconds)
    {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
}

bool Xdotool(const std::wstring& arguments)
{
    std::wstring commandLine = L"/usr/bin/xdotool " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hProcess != nullptr)
        ::CloseHandle(process.hProcess);
    if (process.hThread != nullptr)
        ::CloseHandle(process.hThread);
    return true;
}

// Clicks the window and waits (bounded) until every down has arrived.
bool ClickRun(HWND window, int clicks)
{
    g_receipts.clear();
    g_physicalDowns.clear();
    ::SetForegroundWindow(window);
    Pump(200);
    const int x = (kWindowRect.left + kWindowRect.right) / 2;
    const int y = (kWindowRect.top + kWindowRect.bottom) / 2;
    wchar_t arguments[160];
    Format(arguments, 160, L"mousemove %d %d click --repeat %d --delay %d 1", x, y, clicks, kClickGapMs);
    if (!Xdotool(arguments))
        return false;
    const DWORD start = ::GetTickCount();
    const DWORD limit = static_cast<DWORD>(clicks) * (kClickGapMs + 20) + 10000;
    while (static_cast<int>(g_receipts.size()) < clicks && ::GetTickCount() - start < limit)
        Pump(20);
    Pump(200);
    return static_cast<int>(g_receipts.size()) >= clicks;
}

void Report(const char* name, bool fromRecorder)
{
    std::vector<double> latencies;
    for (std::size_t i = 0; i < g_receipts.size(); ++i)
    {
        double physical = g_receipts[i].messageTime;
        if (fromRecorder)
        {
            if (i >= g_physicalDowns.size())
                break;
            physical = g_physicalDowns[i];
        }
        latencies.push_back(g_receipts[i].received - physical);
    }
    if (latencies.empty())
    {
        std::printf("%-16s no clicks arrived\n", name);
        return;
    }
    double sum = 0;
    for (double latency : latencies)
        sum += latency;
    std::sort(latencies.begin(), latencies.end());
    std::printf("%-16s mean %6.3f ms   median %6.3f ms   p90 %6.3f ms   p99 %6.3f ms   (%zu clicks)\n", name,
                sum / static_cast<double>(latencies.size()), latencies[latencies.size() / 2],
                latencies[latencies.size() * 9 / 10], latencies[latencies.size() * 99 / 100], latencies.size());
}

void LoadProfiles(const wchar_t* ownName)
{
    for (int i = 0; i < 200; ++i)
    {
        auto* profile = new CApplicationSettings(g_pSettings, false, i + 1);
        wchar_t name[64];
        Format(name, 64, L"benchapp%03d.exe", i);
        profile->SetApplication(name);
        profile->SetDescription(name);
        profile->SetActions(7, 0, ACTION_BACK);
        profile->SetActions(8, 0, ACTION_FORWARD);
        if (!g_pSettings->AddApplication(profile))
            delete profile;
    }
    // This program's own profile maps nothing until the mapped run.
    auto* own = new CApplicationSettings(g_pSettings, false, 201);
    own->SetApplication(ownName);
    own->SetDescription(ownName);
    if (!g_pSettings->AddApplication(own))
        delete own;
}

CApplicationSettings* FindProfile(const wchar_t* application)
{
    for (int i = 0; i < g_pSettings->GetApplicationCount(); ++i)
    {
        CApplicationSettings* profile = g_pSettings->GetApplication(i);
        if (profile != nullptr && profile->GetApplication() != nullptr && _wcsicmp(profile->GetApplication(), application) == 0)
            return profile;
    }
    return nullptr;
}
}

int wmain()
{
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    BecomePerMonitorAware();
    Calibrate();
    if (g_pSettings == nullptr)
    {
        std::printf("no settings object\n");
        return 1;
    }
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* ownName = std::wcsrchr(path, L'\\') != nullptr ? std::wcsrchr(path, L'\\') + 1 : path;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BrmpClickLatencyProbe";
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Click latency probe", WS_POPUP | WS_VISIBLE,
                                    kWindowRect.left, kWindowRect.top, kWindowRect.right - kWindowRect.left,
                                    kWindowRect.bottom - kWindowRect.top, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr)
    {
        std::printf("no probe window\n");
        return 1;
    }
    Pump(500);
    // A first run warms the desktop and the X connection; it is not counted.
    ClickRun(window, 20);

    std::printf("click-to-window latency of a physical left click, %d clicks each\n", kClicks);
    ClickRun(window, kClicks);
    Report("none", false);
    {
        HookThreadRunner pass(PassThroughHook);
        ClickRun(window, kClicks);
        Report("pass", false);
    }

    LoadProfiles(ownName);
    g_pSettings->m_uSimKeyDelay = 0;
    if (!SetMouseHook())
    {
        std::printf("the library's hooks did not start\n");
        return 1;
    }
    Pump(300);
    ClickRun(window, kClicks);
    Report("library", false);

    CApplicationSettings* own = FindProfile(ownName);
    if (own != nullptr)
        own->SetActions(0, 0, ACTION_LEFT_CLICK);
    {
        HookThreadRunner recorder(RecordingHook);
        ClickRun(window, kClicks);
        Report("mapped", true);
    }
    RemoveMouseHook(false);
    if (own != nullptr)
        own->SetActions(0, 0, ACTION_NO_CHANGE);

    {
        HookThreadRunner pass(PassThroughHook);
        HookThreadRunner recorder(RecordingHook);
        ClickRun(window, kClicks);
        Report("pass+recorder", true);
    }
    {
        HookThreadRunner remap(RemappingHook);
        HookThreadRunner recorder(RecordingHook);
        ClickRun(window, kClicks);
        Report("remap+recorder", true);
    }
    ClickRun(window, kClicks);
    Report("none (again)", false);
    ::DestroyWindow(window);
    return 0;
}
