// Mouse hook cost per event: synthetic events through the real hook procedure
// (outside a hook chain) with 200 profiles loaded. Prints the median and the
// 99th percentile of each kind of event, and per event the library's calls to
// the system that may cross to another process and its heap allocations.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "ImportCounter.h"
#include "LockAxis.h"
#include "Logger.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "LibraryLifetime.h"
#include "SendInput.h"
#include "MouseHook.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimerThread.h"

// The bench's own allocations count too (the library's are counted through
// its imports of the shared runtime).
void* operator new(std::size_t size)
{
    importcount::Count(importcount::OperatorNew);
    if (void* memory = ::HeapAlloc(::GetProcessHeap(), 0, size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    if (memory != nullptr)
        ::HeapFree(::GetProcessHeap(), 0, memory);
}
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }

namespace
{
double g_usPerTick = 0;

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

LONGLONG Now()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

template <typename Event>
void Measure(const char* name, int rounds, Event event)
{
    std::vector<double> times;
    times.reserve(static_cast<size_t>(rounds));
    for (int i = 0; i < rounds; ++i)
    {
        const LONGLONG start = Now();
        event(i);
        times.push_back(static_cast<double>(Now() - start) * g_usPerTick);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-52s median %8.2f us   p99 %8.2f us   (%d events)\n", name, times[times.size() / 2],
                times[times.size() * 99 / 100], rounds);
}

LRESULT Event(UINT message, POINT point, DWORD mouseData = 0, DWORD time = 0)
{
    MSLLHOOKSTRUCT data{};
    data.pt = point;
    data.mouseData = mouseData;
    data.time = time;
    return MouseHookLLProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&data));
}

// Button events with the window under the cursor and its profile looked up,
// as the button processing does, then handed to the engine's processor.
bool LookupProcessor(int, int, bool, MSLLHOOKSTRUCT* data, BYTE& passAnyway, BYTE& injected, BYTE& throttle)
{
    passAnyway = injected = throttle = 0;
    const HWND window = ::WindowFromPoint(data->pt);
    wchar_t process[MAX_PATH] = {};
    GetProcessName(window, 0, process, MAX_PATH, nullptr, PNR_ProcessButton);
    return FindAppSettings(window, process, data->pt, nullptr) == nullptr;
}

// The simulated input of the axis lock goes nowhere: the bench must not move
// the real cursor.
class DiscardingSink : public ISimulatedInputSink
{
public:
    UINT Send(UINT count, INPUT*) override { return count; }
    bool GetCursor(POINT& point) override { return ::GetCursorPos(&point) != FALSE; }
    bool SetCursor(int, int) override { return true; }
};
DiscardingSink g_discard;

LRESULT NoNextHook(int, WPARAM, LPARAM)
{
    return 0;
}

// Every event kind, once with the real CallNextHookEx and once with the next
// hook replaced, so that the procedure's own cost shows apart from Wine's.
template <typename Body>
void Both(const char* name, int rounds, Body body)
{
    char label[96];
    std::snprintf(label, sizeof label, "%s", name);
    Measure(label, rounds, body);
    SetMouseHookNextHook(NoNextHook);
    std::snprintf(label, sizeof label, "%s [own cost]", name);
    const importcount::Snapshot before = importcount::Snapshot::Take();
    Measure(label, rounds, body);
    importcount::PrintPerEvent(before, importcount::Snapshot::Take(), rounds);
    SetMouseHookNextHook(nullptr);
}
}

int wmain()
{
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    // Figures appear as they are measured, also through a pipe.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    BecomePerMonitorAware();
    // As on the hook thread, lines go to the logger's writer thread.
    CDeferredLogWrites deferredLog;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_usPerTick = 1e6 / static_cast<double>(frequency.QuadPart);
    if (g_pSettings == nullptr)
    {
        std::printf("no settings object\n");
        return 1;
    }
    const int patched = importcount::Install(::GetModuleHandleW(nullptr));
    importcount::g_countedThread = ::GetCurrentThreadId();
    std::printf("library imports counted: %d\n", patched);

    std::vector<CApplicationSettings*> profiles;
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
    g_threads.hMouseHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4800));
    g_engine.pCurrentApp = g_pSettings->GetDefaultApp();
    g_pSettings->m_uSimKeyDelay = 0;
    ResetMouseHookState();
    std::printf("profiles loaded: %d\n", g_pSettings->GetApplicationCount());

    POINT cursor{};
    ::GetCursorPos(&cursor);
    constexpr int Rounds = 20000;

    // The system calls every path makes, for scale: under Wine each is a
    // round trip to the server.
    Measure("(0) CallNextHookEx alone", Rounds, [&](int) {
        MSLLHOOKSTRUCT data{};
        ::CallNextHookEx(g_threads.hMouseHook, HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&data));
    });
    Measure("(0) GetCursorPos alone", Rounds / 4, [&](int) {
        POINT point;
        ::GetCursorPos(&point);
    });

    g_pSettings->m_bSwitchOnMouseOver = false;
    Both("(a) plain moves", Rounds, [&](int i) { Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y}); });

    // The move paths below act only while the hooks count as running.
    g_threads.hHookThread = ::GetCurrentThread();
    // The mouse-over timer is not running in this process: every qualifying
    // move asks for it.
    g_pSettings->m_bSwitchOnMouseOver = true;
    Both("(b) moves with mouse-over switching", Rounds, [&](int i) {
        g_idMouseOverTimer = 0;
        Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y});
    });
    g_pSettings->m_bSwitchOnMouseOver = false;

    // Axis lock on X: every move is rewritten and re-sent.
    g_threads.pSendInput = new CSendInput(&g_discard);
    g_engine.pCurrentApp->SetAxisLocking(true);
    g_LockAxis.LockX(nullptr, 0, false, false);
    Both("(b') moves with the X axis locked", Rounds, [&](int i) { Event(WM_MOUSEMOVE, {cursor.x, cursor.y + (i % 7)}); });
    g_LockAxis.Init();
    g_threads.hHookThread = nullptr;

    SetMouseButtonProcessor(LookupProcessor);
    Both("(c) button down/up with profile lookup", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });
    SetMouseButtonProcessor(nullptr);
    Both("(c') button down/up, engine processor", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });

    // The program's default: the profile follows the window under the cursor.
    g_pSettings->m_bSwitchOnMouseOver = true;
    Both("(c'') button down/up, engine processor, mouse-over on", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });
    Both("(d) wheel notches", Rounds / 4, [&](int i) {
        Event(WM_MOUSEWHEEL, cursor, MAKELONG(0, static_cast<WORD>((i & 1) == 0 ? 120 : -120)));
    });

    // Button events while another thread reloads the settings file of the
    // 200 profiles (every slot of every layer filled) again and again.
    const std::wstring key = L"Software\\BrindlemapBench\\MouseHook-" + std::to_wstring(::GetCurrentProcessId());
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    HKEY registry = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &registry, nullptr) ==
        ERROR_SUCCESS)
    {
        ::RegSetValueExW(registry, L"SettingsFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                         static_cast<DWORD>((std::wcslen(folder) + 1) * sizeof(wchar_t)));
        ::RegCloseKey(registry);
    }
    SetProgramRegistryKeys(key.c_str(), key.c_str());
    wchar_t settingsFile[MAX_PATH] = {};
    GetDefaultSettingsFile(settingsFile, MAX_PATH);
    for (int i = 0; i < g_pSettings->GetApplicationCount(); ++i)
        for (int layer = 0; layer < 10; ++layer)
            for (int button = 0; button < 9; ++button)
            {
                g_pSettings->GetApplication(i)->SetActions(button, layer, ACTION_SIMULATED_KEYS);
                g_pSettings->GetApplication(i)->SetKeystrokes(button, layer, L"{CTRL}{SHIFT}k{ENTER}", 0, 0, true, true,
                                                             false, false, 5);
            }
    ::DeleteFileW(settingsFile);
    const bool saved = g_pSettings->Save(settingsFile);
    std::printf("settings file for the reloads written: %s\n", saved ? "yes" : "no");
    std::atomic<bool> stop{false};
    std::atomic<int> reloads{0};
    std::thread reloader([&] {
        while (!stop.load())
        {
            LoadXMLSettings();
            ++reloads;
        }
    });
    while (reloads.load() == 0)
        ::Sleep(1);
    SetMouseButtonProcessor(nullptr);
    // Few events: with the parse under the lock, each may wait for a whole reload.
    Both("(e) button down/up during settings reloads", 200, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });
    stop = true;
    reloader.join();
    std::printf("      reloads meanwhile: %d\n", reloads.load());
    ::DeleteFileW(settingsFile);
    SetProgramRegistryKeys(nullptr, nullptr);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());

    g_threads.hMouseHook = nullptr;
    return 0;
}
