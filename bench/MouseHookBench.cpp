// Mouse hook cost per event: synthetic events through the real hook procedure
// (outside a hook chain) with 200 profiles loaded, among them profiles matched
// by caption. Prints the median and the 99th percentile of each kind of event,
// and per event every function of another module the library called (counted
// through the import table, see ImportCounter.h): the system calls with their
// time, the allocations and the calls that stay in the process. The button
// rows at the program's default (the profile follows the window under the
// pointer) press in windows of another process after the pointer moved there,
// and after it rested there until the timer thread's check of the window had
// run; the look-up row presses in turn in more windows than the engine keeps
// decisions for, so that each press looks its profile up on the engine's own
// road. Besides those, the rows a user pays now and then: the first press in
// a window not seen before (process name, classes and caption read), a press
// once the timer thread has checked a slow window (of another process, which
// answers WM_GETTEXT after 250 ms: the check must not ask it, and the rounds
// in which it was asked are counted), and moves with mouse-over switching over seconds, so
// that the moves that ask for the next check of the window under the pointer
// (one every 150 ms or so) are among them. The windows of another process
// come from the BenchWindows helper beside the bench. The goal lines at the
// end hold the own costs (the next hook replaced) to their limits.

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

#include "BenchGoals.h"
#include "HelperProcess.h"
#include "ImportCounter.h"
#include "SamplingProfiler.h"
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
#include "ThreadLock.h"
#include "TimerThread.h"
#include "Hooks.h"

// The library's operator new is this one (it is linked into the bench): its
// HeapAlloc is counted through the import table.
void* operator new(std::size_t size)
{
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

// The bench's clock is read past the import table, so that its own readings
// are not counted as the library's calls.
using QueryCounterFn = BOOL(WINAPI*)(LARGE_INTEGER*);
QueryCounterFn g_queryCounter = nullptr;

LONGLONG Now()
{
    LARGE_INTEGER counter;
    g_queryCounter(&counter);
    return counter.QuadPart;
}

struct Figures
{
    double median = 0;
    double p99 = 0;
    int events = 0;
};

Figures Summarise(std::vector<double> times)
{
    Figures figures;
    figures.events = static_cast<int>(times.size());
    if (times.empty())
        return figures;
    std::sort(times.begin(), times.end());
    figures.median = times[times.size() / 2];
    figures.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    return figures;
}

void Print(const char* name, const Figures& figures)
{
    std::printf("%-58s median %8.2f us   p99 %8.2f us   (%d events)\n", name, figures.median, figures.p99, figures.events);
}

double Microseconds(LONGLONG ticks)
{
    return static_cast<double>(ticks) * g_usPerTick;
}

// What the measured thread asked of the system and of the heap between two
// snapshots, per event.
struct Calls
{
    double system = 0;
    double allocations = 0;
};

Calls PerEvent(const importcount::Snapshot& before, const importcount::Snapshot& after, int events)
{
    Calls calls;
    if (events <= 0)
        return calls;
    const importcount::Delta delta{before, after};
    calls.system = static_cast<double>(delta.SystemCalls()) / events;
    calls.allocations = static_cast<double>(delta.Allocations()) / events;
    importcount::PrintPerEvent(before, after, events);
    return calls;
}

// Snapshots are large: the bench keeps its few in static storage.
importcount::Snapshot g_before;
importcount::Snapshot g_after;
importcount::Snapshot g_eventBefore;
importcount::Snapshot g_eventAfter;

// The slowest events of a row with the system calls each made: a slow event
// with many calls took a long road, one with few waited (for a lock, the
// window server, or the processor).
class SlowestEvents
{
public:
    // Room for every event up front: the bench's own allocations count too.
    explicit SlowestEvents(size_t events) { m_events.reserve(events); }

    // Times one event and counts its calls.
    template <typename Body>
    double Run(Body body)
    {
        g_eventBefore = importcount::Snapshot::Take();
        const LONGLONG start = Now();
        body();
        const double time = Microseconds(Now() - start);
        g_eventAfter = importcount::Snapshot::Take();
        Add(time, g_eventBefore, g_eventAfter);
        return time;
    }

    void Add(double time, const importcount::Snapshot& before, const importcount::Snapshot& after)
    {
        const importcount::Delta delta{before, after};
        m_events.push_back({time, static_cast<long>(delta.SystemCalls())});
    }

    void Print() const
    {
        std::vector<Entry> sorted = m_events;
        std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return a.time > b.time; });
        std::printf("      slowest:");
        for (size_t i = 0; i < sorted.size() && i < 4; ++i)
            std::printf(" %.0f us (%ld calls)", sorted[i].time, sorted[i].calls);
        std::printf("\n");
    }

private:
    struct Entry
    {
        double time;
        long calls;
    };
    std::vector<Entry> m_events;
};

// Times each event; with calls, also counts what the events alone (not the
// bench's own bookkeeping) asked of the system and the heap.
template <typename Event>
Figures Measure(const char* name, int rounds, Event event, Calls* calls = nullptr)
{
    std::vector<double> times;
    times.reserve(static_cast<size_t>(rounds));
    SlowestEvents slowest(static_cast<size_t>(rounds));
    g_before = importcount::Snapshot::Take();
    for (int i = 0; i < rounds; ++i)
    {
        if (calls != nullptr)
        {
            times.push_back(slowest.Run([&] { event(i); }));
            continue;
        }
        const LONGLONG start = Now();
        event(i);
        times.push_back(Microseconds(Now() - start));
    }
    g_after = importcount::Snapshot::Take();
    const Figures figures = Summarise(std::move(times));
    Print(name, figures);
    if (calls != nullptr)
    {
        *calls = PerEvent(g_before, g_after, rounds);
        slowest.Print();
    }
    return figures;
}

LRESULT Event(UINT message, POINT point, DWORD mouseData = 0, DWORD time = 0)
{
    MSLLHOOKSTRUCT data{};
    data.pt = point;
    data.mouseData = mouseData;
    data.time = time;
    return MouseHookLLProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&data));
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

// A row of presses (each with its release) in windows in turn, each made once
// before(round, target) has brought the pointer there (false: the round is
// left out). The presses are timed and their calls counted; the releases are
// timed. Own cost: the next hook replaced.
struct PressRow
{
    Figures figures;
    Calls calls;
};

template <typename Before>
PressRow PressInTurn(const char* name, const std::vector<POINT>& windows, int rounds, Before before)
{
    PressRow row;
    std::vector<double> presses;
    std::vector<double> releases;
    presses.reserve(static_cast<size_t>(rounds));
    releases.reserve(static_cast<size_t>(rounds));
    SlowestEvents slowest(static_cast<size_t>(rounds));
    static importcount::Snapshot sum;
    static importcount::Snapshot zero;
    sum = importcount::Snapshot::Zero();
    SetMouseHookNextHook(NoNextHook);
    for (int i = 0; i < rounds; ++i)
    {
        const POINT target = windows[static_cast<size_t>(i) % windows.size()];
        if (!before(i, target))
            continue;
        presses.push_back(slowest.Run([&] { Event(WM_RBUTTONDOWN, target); }));
        sum.Add(g_eventBefore, g_eventAfter);
        const LONGLONG start = Now();
        Event(WM_RBUTTONUP, target);
        releases.push_back(Microseconds(Now() - start));
    }
    SetMouseHookNextHook(nullptr);
    const int made = static_cast<int>(presses.size());
    row.figures = Summarise(std::move(presses));
    Print(name, row.figures);
    std::printf("      (system calls and allocations per press)\n");
    zero = importcount::Snapshot::Zero();
    row.calls = PerEvent(zero, sum, made);
    slowest.Print();
    const Figures up = Summarise(std::move(releases));
    std::printf("      their releases: median %.2f us, p99 %.2f us\n", up.median, up.p99);
    return row;
}

// Every event kind, once with the real CallNextHookEx and once with the next
// hook replaced, so that the procedure's own cost shows apart from Wine's. The
// own cost's figures and calls are returned.
struct OwnCost
{
    Figures figures;
    Calls calls;
};

template <typename Body>
OwnCost Both(const char* name, int rounds, Body body)
{
    char label[96];
    std::snprintf(label, sizeof label, "%s", name);
    Measure(label, rounds, body);
    SetMouseHookNextHook(NoNextHook);
    std::snprintf(label, sizeof label, "%s [own cost]", name);
    OwnCost own;
    own.figures = Measure(label, rounds, body, &own.calls);
    SetMouseHookNextHook(nullptr);
    return own;
}

// The helper's windows: a grid of ordinary ones and two slow to give their caption.
struct ForeignWindows
{
    std::vector<POINT> grid;
    POINT slow[2] = {};
    int slowFound = 0;
};

struct FindContext
{
    DWORD pid;
    ForeignWindows* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    auto* context = reinterpret_cast<FindContext*>(parameter);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != context->pid || !::IsWindowVisible(window))
        return TRUE;
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (std::wcscmp(className, L"BrmpBenchGrid") == 0)
        context->windows->grid.push_back(centre);
    else if (std::wcscmp(className, L"BrmpBenchSlow") == 0 && context->windows->slowFound < 2)
        context->windows->slow[context->windows->slowFound++] = centre;
    return TRUE;
}

// Starts the helper (another process) and waits until its windows are up.
class BenchWindows
{
public:
    explicit BenchWindows(int gridCount)
    {
        const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
        const std::wstring names[4] = {L"Local\\BrmpBenchReady" + tag, L"Local\\BrmpBenchAsked" + tag,
                                       L"Local\\BrmpBenchAnswered" + tag, L"Local\\BrmpBenchQuit" + tag};
        m_ready = ::CreateEventW(nullptr, FALSE, FALSE, names[0].c_str());
        m_asked = ::CreateEventW(nullptr, TRUE, FALSE, names[1].c_str());
        m_answered = ::CreateEventW(nullptr, TRUE, FALSE, names[2].c_str());
        m_quit = ::CreateEventW(nullptr, TRUE, FALSE, names[3].c_str());
        const std::wstring arguments = std::to_wstring(gridCount) + L" " + names[0] + L" " + names[1] + L" " + names[2] +
                                       L" " + names[3];
        if (!m_helper.Start(L"BenchWindows.exe", arguments, m_ready, m_quit))
            return;
        FindContext context{m_helper.Id(), &m_windows};
        ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
        // In the order they were made: row by row, left to right.
        std::sort(m_windows.grid.begin(), m_windows.grid.end(),
                  [](const POINT& a, const POINT& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
        m_up = static_cast<int>(m_windows.grid.size()) == gridCount && m_windows.slowFound == 2;
        if (!m_up)
            std::printf("the helper shows %zu grid and %d slow windows\n", m_windows.grid.size(), m_windows.slowFound);
    }
    ~BenchWindows()
    {
        m_helper.Stop();
        for (HANDLE event : {m_ready, m_asked, m_answered, m_quit})
            if (event != nullptr)
                ::CloseHandle(event);
    }
    BenchWindows(const BenchWindows&) = delete;
    BenchWindows& operator=(const BenchWindows&) = delete;

    bool Up() const { return m_up; }
    const ForeignWindows& Windows() const { return m_windows; }
    // Set by a slow window when a caption request arrives / when it has answered.
    HANDLE Asked() const { return m_asked; }
    HANDLE Answered() const { return m_answered; }

private:
    HelperProcess m_helper;
    ForeignWindows m_windows;
    HANDLE m_ready = nullptr;
    HANDLE m_asked = nullptr;
    HANDLE m_answered = nullptr;
    HANDLE m_quit = nullptr;
    bool m_up = false;
};
}

namespace
{
// Moves the pointer to target as a user does (xdotool, through the X server):
// Wine's SetCursorPos may leave the X server's pointer where it was (it is not
// moved without a grab), and the cursor soon reads from there again. Returns
// once the cursor is at target (false when it did not get there in 3 s).
bool PlaceCursor(POINT target)
{
    std::wstring commandLine =
        L"/usr/bin/xdotool mousemove --sync " + std::to_wstring(target.x) + L" " + std::to_wstring(target.y);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Wine starts a Unix program without process or thread objects and leaves
    // the two handles unset: they are not ours to close.
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) ==
        FALSE)
        return false;
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        POINT now{};
        if (::GetCursorPos(&now) && now.x == target.x && now.y == target.y)
            return true;
        if (::GetTickCount() - start > 3000)
            return false;
        ::Sleep(1);
    }
}

// A move of the resting pointer at target through the hook, and the wait until
// the timer thread's check of the window under it has run: then the engine's
// window is that window (false when it is not within 3 s).
bool RestUntilChecked(POINT target, HWND window)
{
    Event(WM_MOUSEMOVE, target);
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        {
            CThreadLock lock(L"MouseHookBench rest");
            if (g_engine.hCurrentWnd == window)
                return true;
        }
        if (::GetTickCount() - start > 3000)
            return false;
        ::Sleep(1);
    }
}

// Busy-waits until the performance counter passes when (the moves of a run
// come at a steady rate, in real time, as a mouse sends them).
void WaitUntil(LONGLONG when)
{
    while (Now() < when)
        ::YieldProcessor();
}

void FakeHooks()
{
    g_threads.hMouseHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4800));
    g_engine.pCurrentApp = g_pSettings->GetDefaultApp();
    g_pSettings->m_uSimKeyDelay = 0;
    ResetMouseHookState();
}

// A profile that matches windows of the helper by process and class and then
// reads their caption (which never matches): every look-up in such a window
// reads its caption, as with a user's caption profiles.
void AddCaptionProfile(const wchar_t* className, int index)
{
    auto* profile = new CApplicationSettings(g_pSettings, false, index);
    const std::wstring key = std::wstring(L"W3:No such caption \\;| BenchWindows.exe \\;| ") + className + L" \\;| *";
    profile->SetApplication(key.c_str());
    profile->SetDescription(key.c_str());
    if (!g_pSettings->AddApplication(profile))
        delete profile;
}
}

int wmain(int argc, wchar_t** argv)
{
    // --profile-press: where the presses after a move spend their time, sampled
    // (see SamplingProfiler.h for turning the addresses into functions).
    const bool profilePress = argc > 1 && std::wcscmp(argv[1], L"--profile-press") == 0;
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
    g_queryCounter = reinterpret_cast<QueryCounterFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "QueryPerformanceCounter")));
    const int patched = importcount::Install(::GetModuleHandleW(nullptr));
    importcount::SetCountedThread(::GetCurrentThreadId());
    std::printf("library imports counted: %d\n", patched);
    importcount::PrintCoverage(stdout);

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
    AddCaptionProfile(L"BrmpBenchGrid", 201);
    AddCaptionProfile(L"BrmpBenchSlow", 202);
    // As a load of a file with these profiles sets it.
    g_pSettings->m_bCaptionProfiles = true;
    FakeHooks();
    std::printf("profiles loaded: %d\n", g_pSettings->GetApplicationCount());

    constexpr int GridWindows = 200;
    BenchWindows helper(GridWindows);
    const ForeignWindows& foreign = helper.Windows();

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
    const OwnCost plainMoves =
        Both("(a) plain moves", Rounds, [&](int i) {
            Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y});
        });

    // Axis lock on X: every move is rewritten and re-sent (for scale: these
    // moves are taken over, not passed).
    g_threads.hHookThread = ::GetCurrentThread();
    g_threads.pSendInput = new CSendInput(&g_discard);
    g_engine.pCurrentApp->SetAxisLocking(true);
    g_LockAxis.LockX(nullptr, 0, false, false);
    Both("(b') moves with the X axis locked", Rounds, [&](int i) { Event(WM_MOUSEMOVE, {cursor.x, cursor.y + (i % 7)}); });
    g_LockAxis.Init();
    g_engine.pCurrentApp->SetAxisLocking(false);
    g_threads.hHookThread = nullptr;

    // Windows of the helper's last grid row for the button rows: the first
    // rows are left for the first presses in windows not seen before.
    constexpr int TurnWindows = 16;
    std::vector<POINT> lookupWindows;
    POINT pair[2] = {};
    const bool gridUp = helper.Up() && static_cast<int>(foreign.grid.size()) == GridWindows;
    if (gridUp)
    {
        for (int i = 0; i < TurnWindows; ++i)
            lookupWindows.push_back(foreign.grid[GridWindows - 20 + 2 + i]);
        pair[0] = foreign.grid[GridWindows - 20];
        pair[1] = foreign.grid[GridWindows - 1];
    }

    // The program's default: the profile follows the window under the cursor.
    g_pSettings->m_bSwitchOnMouseOver = true;
    // (c) Presses in 16 windows in turn, more than the engine keeps decisions
    // for, the pointer moved onto each first: each press looks its profile up
    // (the window under the pointer, its process and classes, the profiles).
    PressRow lookup;
    if (gridUp)
        lookup = PressInTurn("(c) press with profile look-up, 16 windows in turn [own cost]", lookupWindows, Rounds / 20,
                             [](int, POINT target) {
                                 Event(WM_MOUSEMOVE, target);
                                 return true;
                             });

    g_pSettings->m_bSwitchOnMouseOver = false;
    const OwnCost engine = Both("(c') button down/up, engine processor, mouse-over off", Rounds / 4, [&](int i) {
        Event((i & 1) == 0 ? WM_RBUTTONDOWN : WM_RBUTTONUP, cursor);
    });
    g_pSettings->m_bSwitchOnMouseOver = true;
    const OwnCost wheel = Both("(d) wheel notches", Rounds / 4, [&](int i) {
        Event(WM_MOUSEWHEEL, cursor, MAKELONG(0, static_cast<WORD>((i & 1) == 0 ? 120 : -120)));
    });

    // (f) The first press in each window of the helper's grid, none of them
    // seen before: its process's name (the first only: names are kept per
    // process), its classes and, for the caption profile, its caption.
    Figures newWindow;
    Calls newWindowCalls;
    if (helper.Up())
    {
        SetMouseHookNextHook(NoNextHook);
        std::vector<double> times;
        const size_t fresh = foreign.grid.size() - 20;
        times.reserve(fresh);
        g_before = importcount::Snapshot::Take();
        SlowestEvents slowest(fresh);
        for (size_t i = 0; i < fresh; ++i)
        {
            const POINT centre = foreign.grid[i];
            times.push_back(slowest.Run([&] { Event(WM_RBUTTONDOWN, centre); }));
            Event(WM_RBUTTONUP, centre);
        }
        g_after = importcount::Snapshot::Take();
        SetMouseHookNextHook(nullptr);
        newWindow = Summarise(std::move(times));
        Print("(f) first press in a window not seen before [own cost]", newWindow);
        std::printf("      (system calls and allocations per press and release)\n");
        newWindowCalls = PerEvent(g_before, g_after, newWindow.events);
        slowest.Print();
    }

    // With the real hook and timer threads: the timer thread reads captions
    // for mouse-over switching, as it does in the program.
    Figures slowCaption;
    int slowCaptionsAsked = 0;
    int slowChecksMissed = 0;
    Figures mouseOverMoved;
    Figures mouseOverRested;
    int mouseOverRestsMissed = 0;
    OwnCost overMoves;
    int overMovesCount = 0;
    // The rows above ran without a timer thread: the mouse-over checks they
    // asked for are forgotten before the threads start.
    ResetMouseHookState();
    if (helper.Up() && SetMouseHook())
    {
        // (g) The pointer comes to rest on a slow window (of another process),
        // the timer thread's check of it runs, and a press follows in a window
        // seen before. The check reads the caption from the window server's
        // copy: a round in which the slow window was asked for its caption
        // (the timer thread, and a press behind it, waiting 250 ms for an
        // application) is counted, and so is one whose check did not run.
        const POINT seen = foreign.grid[0];
        const HWND slowHandles[2] = {::WindowFromPoint(foreign.slow[0]), ::WindowFromPoint(foreign.slow[1])};
        SetMouseHookNextHook(NoNextHook);
        Event(WM_RBUTTONDOWN, seen);
        Event(WM_RBUTTONUP, seen);
        constexpr int SlowPresses = 60;
        std::vector<double> times;
        SlowestEvents slowest(SlowPresses);
        for (int i = 0; i < SlowPresses; ++i)
        {
            ::ResetEvent(helper.Asked());
            if (!PlaceCursor(foreign.slow[i % 2]) || !RestUntilChecked(foreign.slow[i % 2], slowHandles[i % 2]))
            {
                ++slowChecksMissed;
                continue;
            }
            if (::WaitForSingleObject(helper.Asked(), 0) == WAIT_OBJECT_0)
            {
                ++slowCaptionsAsked;
                ::WaitForSingleObject(helper.Answered(), 3000);
            }
            times.push_back(slowest.Run([&] { Event(WM_RBUTTONDOWN, seen); }));
            Event(WM_RBUTTONUP, seen);
        }
        SetMouseHookNextHook(nullptr);
        slowCaption = Summarise(std::move(times));
        Print("(g) press after the check of a slow window [own cost]", slowCaption);
        std::printf("      rounds in which the slow window was asked for its caption: %d of %d; whose check had not run within 3 s: %d\n",
                    slowCaptionsAsked, SlowPresses, slowChecksMissed);
        slowest.Print();

        // (c'') The program's default, in two windows of another process in
        // turn, both seen before: each press once the pointer has moved onto
        // its window (the window under the pointer, and the engine's decision
        // for it, asked again), and each press once the pointer has rested
        // there until the timer thread's check of the window has run (then the
        // press finds that window's decision in force).
        const std::vector<POINT> pairWindows = {pair[0], pair[1]};
        const HWND pairHandles[2] = {::WindowFromPoint(pair[0]), ::WindowFromPoint(pair[1])};
        for (const POINT& target : pairWindows)
        {
            Event(WM_MOUSEMOVE, target);
            Event(WM_RBUTTONDOWN, target);
            Event(WM_RBUTTONUP, target);
        }
        PressRow moved;
        PressRow rested;
        int restsMissed = 0;
        if (gridUp && profilePress)
        {
            HANDLE self = nullptr;
            ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self, 0, FALSE,
                              DUPLICATE_SAME_ACCESS);
            SetMouseHookNextHook(NoNextHook);
            sampling::Profiler profiler(self);
            profiler.Start();
            for (int i = 0; i < 20000; ++i)
            {
                const POINT target = pairWindows[static_cast<size_t>(i) % 2];
                Event(WM_MOUSEMOVE, target);
                Event(WM_RBUTTONDOWN, target);
                Event(WM_RBUTTONUP, target);
            }
            profiler.Stop();
            SetMouseHookNextHook(nullptr);
            profiler.Report(stdout, 40);
            ::CloseHandle(self);
            RemoveMouseHook(false);
            return 0;
        }
        if (gridUp)
        {
            moved = PressInTurn("(c'') press after a move, two windows in turn, mouse-over on [own cost]", pairWindows, 400,
                                [](int, POINT target) {
                                    PlaceCursor(target);
                                    Event(WM_MOUSEMOVE, target);
                                    return true;
                                });
            rested = PressInTurn("(c'') press after a rest, two windows in turn, mouse-over on [own cost]", pairWindows, 200,
                                 [&](int round, POINT target) {
                                     if (!PlaceCursor(target))
                                     {
                                         ++restsMissed;
                                         return false;
                                     }
                                     if (RestUntilChecked(target, pairHandles[round % 2]))
                                         return true;
                                     ++restsMissed;
                                     return false;
                                 });
            std::printf("      rests in which the pointer could not be placed or the check had not run within 3 s: %d of 200\n",
                        restsMissed);
        }
        mouseOverMoved = moved.figures;
        mouseOverRested = rested.figures;
        mouseOverRestsMissed = restsMissed;

        // (b) Moves with mouse-over switching, one every half millisecond for
        // three seconds, with the real timer thread: a check of the window
        // under the pointer comes due every 150 ms or so, and the moves ask
        // for the next one, as they do while a user moves the mouse.
        ::SetCursorPos(cursor.x, cursor.y);
        const LONGLONG period = static_cast<LONGLONG>(500.0 / g_usPerTick);
        const int moves = 6000;
        SetMouseHookNextHook(NoNextHook);
        std::vector<double> moveTimes;
        moveTimes.reserve(moves);
        g_before = importcount::Snapshot::Take();
        LONGLONG next = Now();
        for (int i = 0; i < moves; ++i)
        {
            next += period;
            WaitUntil(next);
            const LONGLONG start = Now();
            Event(WM_MOUSEMOVE, {cursor.x + (i % 7), cursor.y});
            moveTimes.push_back(Microseconds(Now() - start));
        }
        g_after = importcount::Snapshot::Take();
        SetMouseHookNextHook(nullptr);
        overMoves.figures = Summarise(std::move(moveTimes));
        overMovesCount = moves;
        Print("(b) moves with mouse-over switching, 3 s in real time [own cost]", overMoves.figures);
        overMoves.calls = PerEvent(g_before, g_after, moves);
        RemoveMouseHook(false);
    }
    else
    {
        std::printf("the hook and timer threads did not start, or the helper's windows are missing\n");
    }
    g_threads.hHookThread = nullptr;
    FakeHooks();
    g_pSettings->m_bSwitchOnMouseOver = true;

    // (e) Presses while another thread reloads the settings file of the 200
    // profiles (every slot of every layer filled) again and again: after each
    // reload has ended, one press (its window unknown again: the reload forgets
    // the windows) and three more in the same window, while the next reload
    // reads the file. A press with a reload ending during it counts as unknown.
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
    SetMouseHookNextHook(NoNextHook);
    std::vector<double> seenDuringReloads;
    std::vector<double> afterReload;
    constexpr int ReloadRounds = 40;
    SlowestEvents slowestSeen(4 * ReloadRounds);
    SlowestEvents slowestAfter(4 * ReloadRounds);
    static importcount::Snapshot seenCalls;
    static importcount::Snapshot afterCalls;
    static importcount::Snapshot zero;
    seenCalls = afterCalls = zero = importcount::Snapshot::Zero();
    for (int round = 0; round < ReloadRounds; ++round)
    {
        const int ended = reloads.load();
        const DWORD waitStart = ::GetTickCount();
        while (reloads.load() == ended && ::GetTickCount() - waitStart < 5000)
            ::Sleep(0);
        for (int press = 0; press < 4; ++press)
        {
            const int reloadsBefore = reloads.load();
            g_eventBefore = importcount::Snapshot::Take();
            const LONGLONG start = Now();
            Event(WM_RBUTTONDOWN, cursor);
            const double time = Microseconds(Now() - start);
            g_eventAfter = importcount::Snapshot::Take();
            Event(WM_RBUTTONUP, cursor);
            const bool unknown = press == 0 || reloads.load() != reloadsBefore;
            (unknown ? afterReload : seenDuringReloads).push_back(time);
            (unknown ? slowestAfter : slowestSeen).Add(time, g_eventBefore, g_eventAfter);
            (unknown ? afterCalls : seenCalls).Add(g_eventBefore, g_eventAfter);
        }
    }
    SetMouseHookNextHook(nullptr);
    stop = true;
    reloader.join();
    const Figures seenReload = Summarise(std::move(seenDuringReloads));
    const Figures unknownReload = Summarise(std::move(afterReload));
    Print("(e) press during reloads, window seen before [own cost]", seenReload);
    importcount::PrintPerEvent(zero, seenCalls, std::max(1, seenReload.events));
    slowestSeen.Print();
    Print("(e) press during reloads, first after a reload [own cost]", unknownReload);
    importcount::PrintPerEvent(zero, afterCalls, std::max(1, unknownReload.events));
    slowestAfter.Print();
    std::printf("      reloads meanwhile: %d\n", reloads.load());
    ::DeleteFileW(settingsFile);
    SetProgramRegistryKeys(nullptr, nullptr);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    g_threads.hMouseHook = nullptr;

    // Goals: own cost, 99th percentile.
    const auto pressGoal = [](const char* name, const Figures& figures, double limit, bool complete) {
        if (figures.events > 0 && complete)
            benchgoal::AtMost(name, figures.p99, limit);
        else
            benchgoal::NotMeasured(name, limit);
    };
    pressGoal("button-seen-p99-us-lookup", lookup.figures, 300, true);
    benchgoal::AtMost("button-seen-p99-us-engine", engine.figures.p99, 300);
    pressGoal("button-seen-p99-us-mouse-over-moved", mouseOverMoved, 300, true);
    pressGoal("button-seen-p99-us-mouse-over-rested", mouseOverRested, 300, mouseOverRestsMissed == 0);
    if (seenReload.events > 0)
        benchgoal::AtMost("button-seen-p99-us-during-reloads", seenReload.p99, 300);
    else
        benchgoal::NotMeasured("button-seen-p99-us-during-reloads", 300);
    if (newWindow.events > 0)
        benchgoal::AtMost("button-new-window-p99-us", newWindow.p99, 1000);
    else
        benchgoal::NotMeasured("button-new-window-p99-us", 1000);
    if (unknownReload.events > 0)
        benchgoal::AtMost("button-first-after-reload-p99-us", unknownReload.p99, 1000);
    else
        benchgoal::NotMeasured("button-first-after-reload-p99-us", 1000);
    if (slowCaption.events > 0 && slowChecksMissed == 0)
        benchgoal::AtMost("button-after-slow-window-check-p99-us", slowCaption.p99, 1000);
    else
        benchgoal::NotMeasured("button-after-slow-window-check-p99-us", 1000);
    benchgoal::AtMost("slow-window-caption-requests", slowCaptionsAsked, 0);
    benchgoal::AtMost("wheel-p99-us", wheel.figures.p99, 200);
    benchgoal::AtMost("moves-plain-allocations", plainMoves.calls.allocations, 0);
    benchgoal::AtMost("moves-plain-system-calls", plainMoves.calls.system, 0);
    if (overMovesCount > 0)
    {
        benchgoal::AtMost("moves-mouse-over-allocations", overMoves.calls.allocations, 0);
        benchgoal::AtMost("moves-mouse-over-system-calls", overMoves.calls.system, 0);
    }
    else
    {
        benchgoal::NotMeasured("moves-mouse-over-allocations", 0);
        benchgoal::NotMeasured("moves-mouse-over-system-calls", 0);
    }
    return benchgoal::ExitCode();
}
