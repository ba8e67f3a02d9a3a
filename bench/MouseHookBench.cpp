// Mouse hook cost per event: synthetic events through the real hook procedure
// (outside a hook chain) with 200 profiles loaded. Prints the median and the
// 99th percentile of each kind of event.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Globals.h"
#include "MouseHook.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimerThread.h"

namespace
{
double g_usPerTick = 0;

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
    Measure(label, rounds, body);
    SetMouseHookNextHook(nullptr);
}
}

int wmain()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_usPerTick = 1e6 / static_cast<double>(frequency.QuadPart);
    if (g_pSettings == nullptr)
    {
        std::printf("no settings object\n");
        return 1;
    }

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
    g_hMouseHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4800));
    g_pCurrentApp = g_pSettings->GetDefaultApp();
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
        ::CallNextHookEx(g_hMouseHook, HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&data));
    });
    Measure("(0) GetCursorPos alone", Rounds / 4, [&](int) {
        POINT point;
        ::GetCursorPos(&point);
    });

    g_pSettings->m_bSwitchOnMouseOver = false;
    Both("(a) plain moves", Rounds, [&](int i) { Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y}); });

    // The mouse-over timer is not running in this process: every qualifying
    // move asks for it.
    g_pSettings->m_bSwitchOnMouseOver = true;
    Both("(b) moves with mouse-over switching", Rounds, [&](int i) {
        g_idMouseOverTimer = 0;
        Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y});
    });
    g_pSettings->m_bSwitchOnMouseOver = false;

    SetMouseButtonProcessor(LookupProcessor);
    Both("(c) button down/up with profile lookup", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });
    SetMouseButtonProcessor(nullptr);
    Both("(c') button down/up, engine processor", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });

    Both("(d) wheel notches", Rounds / 4, [&](int i) {
        Event(WM_MOUSEWHEEL, cursor, MAKELONG(0, static_cast<WORD>((i & 1) == 0 ? 120 : -120)));
    });

    g_hMouseHook = nullptr;
    return 0;
}
