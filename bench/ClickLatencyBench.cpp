// Click-to-window latency: how long a physical left click (xdotool, through the
// X server and Wine, like a real mouse) takes to reach a window, for each of
// these configurations:
//   none      no low-level hook (for scale)
//   pass      one pass-through low-level hook: the yardstick of "library"
//   library   the library's hooks with 200 profiles, the click unmapped
//   mapped    the library's hooks, the window's profile maps the left button to
//             a left click: the window gets the library's own simulated click
//   remap     the least any remapping costs, the yardstick of "mapped": a hook
//             that takes the click over and sends it again from inside itself
// and for each of these places of the click:
//   at one spot    the bench's own window, the pointer never moves, each
//                  counted click after an uncounted one at the same spot (the
//                  library's cheapest case: every cache warm)
//   2 windows      two windows of another process (the ClickTargets helper)
//                  in turn, the pointer moved onto each right before its click:
//                  the first click after a move, in a window seen before
//   new window     a window of that process made anew for each counted click,
//                  the pointer moved onto it right before: a window not seen
// The rows take turns, one counted click each, round after round (each round
// starting one row further on), until each has its clicks, so that whatever
// drifts during the run falls on every row alike. Hooks are put in for a row's
// turn and taken out after it; the first click after putting them in is not
// counted (a user's hooks have been in for long).
//
// Times: the click's physical time is its message time (whole milliseconds of
// the tick count); the window stamps its receipt with the tick count too, so
// that both are cut to the millisecond alike. For the mapped and remap clicks,
// whose message is the simulated one, the physical time is the one the hook
// saw: the library's procedure (through the bench's wrapper of it) or the
// remapping hook. A recording hook of its own, put in first, would hold up the
// library's simulated press behind the release: while it waits for the
// simulated press's answer Wine has it take the release's call, and the
// release's whole road comes first; the remapping hook, sending from inside
// its own call, escapes that. The traced rows have such a recording hook in
// every configuration. Medians and 90th percentiles are read from the whole
// milliseconds as
// from grouped data (interpolated within the millisecond).
//
// Each click is one action and its receipt is checked to be that click: a down
// and an up in the window clicked, no earlier than the click was sent, physical
// where the click is not remapped, the library's own (down and up) where it is
// mapped (a mapped row with any other click fails), the remapping hook's own
// for the floor. A click whose down and up do not both arrive within the wait
// is lost; more than 1 % lost fails the run.
//
// Where the time goes: the traced rows repeat the 2-windows rows (and the
// library's new-window row) with the recording hook in every configuration and
// time stamps (the performance counter, in every process alike) at each step:
// the recorder's call to the next hook, the hook procedure's entry and return,
// the simulated input's SendInput, the window's receipt. The library's calls
// to other modules on the hook thread are counted and timed through the import
// table (ImportCounter.h). They print a step-by-step table; their figures are
// not goals (the recorder's hop adds to them). The mapped and remap rows stamp
// their hook's own steps as well (no recording hook, no counting) and print
// the same table for those. Beside the hook thread, the library's timer thread
// may read the window under the pointer while a click is on its way: the
// checks it took in each library row's turns (and during the counted clicks)
// are printed with the turns' length.
//
// Run under Wine from the build's bin folder on a desktop xdotool can drive
// (scripts/bench.sh does all of this). --clicks N sets the clicks of each row;
// --only I,J,... runs those rows of kRows alone (for a closer look, e.g. under
// a server trace): a goal whose row or yardstick is left out gets no line.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "BenchGoals.h"
#include "Globals.h"
#include "HeldInput.h"
#include "HelperProcess.h"
#include "Hooks.h"
#include "ImportCounter.h"
#include "LibraryLifetime.h"
#include "MouseHook.h"
#include "Settings.h"
#include "StringFormat.h"
#include "ThreadLock.h"
#include "helpers/ClickTargetsShared.h"

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

constexpr int kClicksPerRow = 300;
constexpr int kMostRoundsOver = 100;
constexpr DWORD kClickWaitMs = 3000;
constexpr double kMostLostPercent = 1.0;
constexpr RECT kWindowRect = {40, 200, 600, 500};
constexpr wchar_t kTargetsProgram[] = L"ClickTargets.exe";

// The clock every process reads alike, read past the import table (the hook
// thread's calls through it are counted).
using QueryCounterFn = BOOL(WINAPI*)(LARGE_INTEGER*);
QueryCounterFn g_queryCounter = nullptr;
double g_usPerCount = 0;

LONGLONG CounterNow()
{
    LARGE_INTEGER counter;
    g_queryCounter(&counter);
    return counter.QuadPart;
}

enum Config
{
    None,
    Pass,
    Library,
    Mapped,
    Remap
};

enum Place
{
    Spot,
    Pair,
    Fresh
};

struct RowSpec
{
    const char* name;
    Config config;
    Place place;
    int yardstick;   // the row it is measured against; -1: none
    bool traced;
};

enum RowIndex
{
    NoneSpot,
    PassSpot,
    LibrarySpot,
    MappedSpot,
    RemapSpot,
    PassPair,
    LibraryPair,
    MappedPair,
    RemapPair,
    PassFresh,
    LibraryFresh,
    MappedFresh,
    RemapFresh,
    PassPairTraced,
    LibraryPairTraced,
    LibraryFreshTraced,
    MappedPairTraced,
    RemapPairTraced,
    RowCount
};

const RowSpec kRows[RowCount] = {
    {"none", None, Spot, -1, false},
    {"pass", Pass, Spot, -1, false},
    {"library", Library, Spot, PassSpot, false},
    {"mapped", Mapped, Spot, RemapSpot, false},
    {"remap", Remap, Spot, -1, false},
    {"pass 2 windows", Pass, Pair, -1, false},
    {"library 2 windows", Library, Pair, PassPair, false},
    {"mapped 2 windows", Mapped, Pair, RemapPair, false},
    {"remap 2 windows", Remap, Pair, -1, false},
    {"pass new window", Pass, Fresh, -1, false},
    {"library new window", Library, Fresh, PassFresh, false},
    {"mapped new window", Mapped, Fresh, RemapFresh, false},
    {"remap new window", Remap, Fresh, -1, false},
    {"pass 2 windows, traced", Pass, Pair, -1, true},
    {"library 2 windows, traced", Library, Pair, PassPairTraced, true},
    {"library new window, traced", Library, Fresh, -1, true},
    {"mapped 2 windows, traced", Mapped, Pair, RemapPairTraced, true},
    {"remap 2 windows, traced", Remap, Pair, -1, true},
};

// --- what the bench's own window received -----------------------------------

struct Receipt
{
    UINT message;
    DWORD received;
    DWORD messageTime;
    ULONG_PTR extra;
    LONGLONG counter;
};
std::vector<Receipt> g_receipts;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK)
    {
        const LONGLONG counter = CounterNow();
        const DWORD received = ::GetTickCount();
        g_receipts.push_back({message, received, static_cast<DWORD>(::GetMessageTime()),
                              static_cast<ULONG_PTR>(::GetMessageExtraInfo()), counter});
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The physical downs the first hook saw (their event times), in order.
constexpr int kMostRecorded = 16384;
DWORD g_physicalDowns[kMostRecorded];
std::atomic<int> g_physicalDownCount{0};

// Which hook notes the physical downs: the first in the chain.
enum class Noter
{
    Nobody,
    Recorder,
    Library,
    Remapper
};
std::atomic<Noter> g_noter{Noter::Nobody};

void NotePhysicalDown(Noter who, WPARAM message, const MSLLHOOKSTRUCT* data)
{
    if (message != WM_LBUTTONDOWN || (data->flags & LLMHF_INJECTED) != 0 || g_noter.load() != who)
        return;
    const int at = g_physicalDownCount.load();
    if (at < kMostRecorded)
    {
        g_physicalDowns[at] = data->time;
        g_physicalDownCount.store(at + 1);
    }
}

// --- time stamps of the traced rows ------------------------------------------

enum class Step
{
    RecorderIn,
    RecorderCallNext,
    RecorderCallNextDone,
    RecorderOut,
    HookIn,
    HookOut,
    SendStart,
    SendEnd
};

struct Stamp
{
    Step step;
    UINT message;
    bool injected;
    LONGLONG at;
    double systemCallUs;   // HookOut of the library: its system calls' time
};

constexpr int kMostStamps = 96;
struct ClickTrace
{
    std::atomic<int> count{0};
    Stamp stamps[kMostStamps];
};
ClickTrace g_trace;
std::atomic<bool> g_tracing{false};
std::atomic<int> g_tracedRow{-1};

// Stamps a step; returns the stamp (null outside traced clicks).
Stamp* Note(Step step, UINT message, bool injected)
{
    if (!g_tracing.load(std::memory_order_acquire))
        return nullptr;
    const int at = g_trace.count.fetch_add(1);
    if (at >= kMostStamps)
        return nullptr;
    g_trace.stamps[at] = {step, message, injected, CounterNow(), 0};
    return &g_trace.stamps[at];
}

// The library's calls on its hook thread, per traced row: physical events and
// its own injected ones apart. Static: snapshots are large.
importcount::Snapshot g_callSums[RowCount][2];
int g_callEvents[RowCount][2] = {};
importcount::Snapshot g_hookBefore;
importcount::Snapshot g_hookAfter;

HOOKPROC g_libraryProcedure = nullptr;

// The library's hook procedure as the traced rows see it: stamped, and its
// calls counted per event.
LRESULT CALLBACK TracedLibraryHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        NotePhysicalDown(Noter::Library, wParam, reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam));
    if (!g_tracing.load(std::memory_order_acquire) || code != HC_ACTION)
        return g_libraryProcedure(code, wParam, lParam);
    const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const UINT message = static_cast<UINT>(wParam);
    const bool injected = (data->flags & LLMHF_INJECTED) != 0;
    const bool counted = message != WM_MOUSEMOVE && importcount::CountedThread() == ::GetCurrentThreadId();
    if (counted)
        g_hookBefore = importcount::Snapshot::Take();
    Note(Step::HookIn, message, injected);
    const LRESULT result = g_libraryProcedure(code, wParam, lParam);
    Stamp* out = Note(Step::HookOut, message, injected);
    if (counted)
    {
        g_hookAfter = importcount::Snapshot::Take();
        const importcount::Delta delta{g_hookBefore, g_hookAfter};
        if (out != nullptr)
            out->systemCallUs = delta.SystemCallMicroseconds();
        const int row = g_tracedRow.load();
        if (row >= 0)
        {
            g_callSums[row][injected ? 1 : 0].Add(g_hookBefore, g_hookAfter);
            ++g_callEvents[row][injected ? 1 : 0];
        }
    }
    return result;
}

using SetHookFn = HHOOK(WINAPI*)(int, HOOKPROC, HINSTANCE, DWORD);
SetHookFn g_setHook = nullptr;

// The library installs its mouse hook through here: the traced wrapper goes in
// its place (it calls the library's procedure at once outside traced rows).
HHOOK WINAPI SetHookThroughBench(int id, HOOKPROC procedure, HINSTANCE module, DWORD thread)
{
    if (id == WH_MOUSE_LL && procedure == MouseHookLLProc)
    {
        g_libraryProcedure = procedure;
        procedure = TracedLibraryHook;
    }
    return g_setHook(id, procedure, module, thread);
}

using SendInputFn = UINT(WINAPI*)(UINT, LPINPUT, int);
SendInputFn g_sendInput = nullptr;

UINT MessageOfInput(const INPUT& input)
{
    if (input.type != INPUT_MOUSE)
        return 0;
    if ((input.mi.dwFlags & MOUSEEVENTF_LEFTDOWN) != 0)
        return WM_LBUTTONDOWN;
    if ((input.mi.dwFlags & MOUSEEVENTF_LEFTUP) != 0)
        return WM_LBUTTONUP;
    return 0;
}

// Every SendInput of the module (the library's worker, the remapping hook).
UINT WINAPI SendInputThroughBench(UINT count, LPINPUT inputs, int size)
{
    const UINT message = count > 0 ? MessageOfInput(inputs[0]) : 0;
    Note(Step::SendStart, message, true);
    const UINT sent = g_sendInput(count, inputs, size);
    Note(Step::SendEnd, message, true);
    return sent;
}

// --- hooks of the bench ------------------------------------------------------

// A low-level hook on a thread of its own, as a real hook runs.
class HookThread
{
public:
    explicit HookThread(HOOKPROC procedure) : m_procedure(procedure)
    {
        m_ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = ::CreateThread(nullptr, 0, Main, this, 0, &m_threadId);
        ::WaitForSingleObject(m_ready, 5000);
    }
    ~HookThread()
    {
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        ::WaitForSingleObject(m_thread, 5000);
        ::CloseHandle(m_thread);
        ::CloseHandle(m_ready);
    }
    HookThread(const HookThread&) = delete;
    HookThread& operator=(const HookThread&) = delete;
    bool Installed() const { return m_installed.load(); }

private:
    static DWORD WINAPI Main(LPVOID parameter)
    {
        auto* self = static_cast<HookThread*>(parameter);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        HHOOK hook = ::SetWindowsHookExW(WH_MOUSE_LL, self->m_procedure, ::GetModuleHandleW(nullptr), 0);
        self->m_installed = hook != nullptr;
        ::SetEvent(self->m_ready);
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&message);
        if (hook != nullptr)
            ::UnhookWindowsHookEx(hook);
        return 0;
    }

    HOOKPROC m_procedure;
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    std::atomic<bool> m_installed{false};
};

LRESULT CALLBACK PassThroughHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam != WM_MOUSEMOVE)
    {
        const bool injected = (reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->flags & LLMHF_INJECTED) != 0;
        Note(Step::HookIn, static_cast<UINT>(wParam), injected);
        const LRESULT result = ::CallNextHookEx(nullptr, code, wParam, lParam);
        Note(Step::HookOut, static_cast<UINT>(wParam), injected);
        return result;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION || wParam == WM_MOUSEMOVE)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const bool injected = (data->flags & LLMHF_INJECTED) != 0;
    const UINT message = static_cast<UINT>(wParam);
    Note(Step::RecorderIn, message, injected);
    NotePhysicalDown(Noter::Recorder, wParam, data);
    Note(Step::RecorderCallNext, message, injected);
    const LRESULT result = ::CallNextHookEx(nullptr, code, wParam, lParam);
    Note(Step::RecorderCallNextDone, message, injected);
    Note(Step::RecorderOut, message, injected);
    return result;
}

// Marks the remapping hook's own clicks, so that it lets them through.
constexpr ULONG_PTR kRemapMark = 0x52454D50;

LRESULT CALLBACK RemappingHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && (wParam == WM_LBUTTONDOWN || wParam == WM_LBUTTONUP) && data->dwExtraInfo != kRemapMark)
    {
        const UINT message = static_cast<UINT>(wParam);
        Note(Step::HookIn, message, false);
        NotePhysicalDown(Noter::Remapper, wParam, data);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = wParam == WM_LBUTTONDOWN ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        input.mi.dwExtraInfo = kRemapMark;
        ::SendInput(1, &input, sizeof(input));
        Note(Step::HookOut, message, false);
        return 1;
    }
    if (code == HC_ACTION && wParam != WM_MOUSEMOVE)
    {
        const bool injected = (data->flags & LLMHF_INJECTED) != 0;
        Note(Step::HookIn, static_cast<UINT>(wParam), injected);
        const LRESULT result = ::CallNextHookEx(nullptr, code, wParam, lParam);
        Note(Step::HookOut, static_cast<UINT>(wParam), injected);
        return result;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// --- pumping, xdotool --------------------------------------------------------

void PumpFor(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    MSG message;
    do
    {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    } while (::GetTickCount() - start < milliseconds);
}

// Pumps until done() or the time is up; done()'s last answer.
template <typename Done>
bool PumpUntil(DWORD milliseconds, Done done)
{
    const DWORD start = ::GetTickCount();
    MSG message;
    while (!done())
    {
        if (::GetTickCount() - start >= milliseconds)
            return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    return true;
}

bool Xdotool(const std::wstring& arguments)
{
    std::wstring commandLine = L"/usr/bin/xdotool " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Wine starts a Unix program without process or thread objects and leaves
    // the two handles unset: they are not ours to close.
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process) != FALSE;
}

POINT Centre(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// --- the helper's windows ----------------------------------------------------

class ClickTargets
{
public:
    ClickTargets()
    {
        const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
        const std::wstring names[4] = {L"Local\\BrmpClickTargetsMemory" + tag, L"Local\\BrmpClickTargetsRequest" + tag,
                                       L"Local\\BrmpClickTargetsDone" + tag, L"Local\\BrmpClickTargetsQuit" + tag};
        m_mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ClickTargetsShared),
                                         names[0].c_str());
        if (m_mapping == nullptr)
            return;
        m_shared = static_cast<ClickTargetsShared*>(
            ::MapViewOfFile(m_mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(ClickTargetsShared)));
        m_request = ::CreateEventW(nullptr, FALSE, FALSE, names[1].c_str());
        m_done = ::CreateEventW(nullptr, FALSE, FALSE, names[2].c_str());
        m_quit = ::CreateEventW(nullptr, TRUE, FALSE, names[3].c_str());
        if (m_shared == nullptr || m_request == nullptr || m_done == nullptr || m_quit == nullptr)
            return;
        m_up = m_helper.Start(kTargetsProgram, names[0] + L" " + names[1] + L" " + names[2] + L" " + names[3], m_done, m_quit);
    }
    ~ClickTargets()
    {
        m_helper.Stop();
        for (HANDLE handle : {m_request, m_done, m_quit})
            if (handle != nullptr)
                ::CloseHandle(handle);
        if (m_shared != nullptr)
            ::UnmapViewOfFile(m_shared);
        if (m_mapping != nullptr)
            ::CloseHandle(m_mapping);
    }
    ClickTargets(const ClickTargets&) = delete;
    ClickTargets& operator=(const ClickTargets&) = delete;

    bool Up() const { return m_up; }
    // A new window in the fresh window's place; false when it did not come.
    bool MakeFresh()
    {
        const LONG before = m_shared->freshSerial;
        ::SetEvent(m_request);
        return m_helper.WaitFor(m_done, 10000) && m_shared->freshSerial != before;
    }
    LONG FreshSerial() const { return m_shared->freshSerial; }
    LONG ReceiptCount() const { return ::InterlockedCompareExchange(&m_shared->receiptCount, 0, 0); }
    const ClickReceipt& ReceiptAt(LONG at) const { return m_shared->receipts[at % kClickReceipts]; }

private:
    HelperProcess m_helper;
    HANDLE m_mapping = nullptr;
    ClickTargetsShared* m_shared = nullptr;
    HANDLE m_request = nullptr;
    HANDLE m_done = nullptr;
    HANDLE m_quit = nullptr;
    bool m_up = false;
};

// --- profiles ----------------------------------------------------------------

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
    // This program's own profile and the helper's map nothing until a mapped turn.
    int index = 201;
    for (const wchar_t* name : {ownName, kTargetsProgram})
    {
        auto* own = new CApplicationSettings(g_pSettings, false, index++);
        own->SetApplication(name);
        own->SetDescription(name);
        if (!g_pSettings->AddApplication(own))
            delete own;
    }
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

// --- one turn ----------------------------------------------------------------

// Puts in and takes out what one row's turn needs.
class Turn
{
public:
    Turn(const RowSpec& row, int index, CApplicationSettings* const* profiles)
        : m_row(row), m_index(index), m_profiles(profiles)
    {
    }
    ~Turn() { End(); }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

    bool Begin()
    {
        const bool recorder = m_row.traced;
        const bool remapped = m_row.config == Mapped || m_row.config == Remap;
        g_noter = recorder ? Noter::Recorder : !remapped ? Noter::Nobody : m_row.config == Mapped ? Noter::Library : Noter::Remapper;
        switch (m_row.config)
        {
        case None:
            break;
        case Pass:
            m_hook = std::make_unique<HookThread>(PassThroughHook);
            if (!m_hook->Installed())
                return false;
            break;
        case Library:
        case Mapped:
        {
            {
                CThreadLock lock(L"ClickLatencyBench");
                for (int i = 0; i < 2; ++i)
                    m_profiles[i]->SetActions(Left, 0, m_row.config == Mapped ? ACTION_LEFT_CLICK : ACTION_NO_CHANGE);
            }
            m_library = SetMouseHook();
            if (!m_library)
                return false;
            if (m_row.traced)
                importcount::SetCountedThread(g_threads.dwHookThreadId);
            break;
        }
        case Remap:
            m_hook = std::make_unique<HookThread>(RemappingHook);
            if (!m_hook->Installed())
                return false;
            break;
        }
        // Put in last, so that it runs first.
        if (recorder)
        {
            m_recorder = std::make_unique<HookThread>(RecordingHook);
            if (!m_recorder->Installed())
                return false;
        }
        if (m_row.traced)
            g_tracedRow = m_index;
        return true;
    }

    void End()
    {
        g_noter = Noter::Nobody;
        g_tracing = false;
        g_tracedRow = -1;
        m_recorder.reset();
        m_hook.reset();
        if (m_library)
        {
            importcount::SetCountedThread(0);
            RemoveMouseHook(false);
        }
        m_library = false;
    }

private:
    const RowSpec& m_row;
    int m_index;
    CApplicationSettings* const* m_profiles;
    std::unique_ptr<HookThread> m_hook;
    std::unique_ptr<HookThread> m_recorder;
    bool m_library = false;
};

// --- one click ---------------------------------------------------------------

enum class Outcome
{
    Measured,
    Lost,     // its down and up did not both arrive, or not as one click that was sent then
    Foreign   // a click arrived, but not one this row delivers (another sender's)
};

// A receipt wherever it arrived: the bench's window (-1) or a helper's window.
struct Arrival
{
    UINT message;
    DWORD received;
    DWORD messageTime;
    ULONG_PTR extra;
    LONGLONG counter;
    int window;
    LONG serial;
};

// The steps of one traced click's down or up, in microseconds (negative: not seen).
struct TracedEvent
{
    double toHook = -1;          // recorder's call to the next hook until the hook runs
    double hook = -1;            // the hook procedure (the physical event)
    double hookSystemCalls = -1; // of which the library's system calls
    double back = -1;            // the hook's return until the recorder has the answer
    double toWindow = -1;        // unmapped: the recorder's return until the window has it
    double toSend = -1;          // remapped: the hook's return until SendInput starts
    double send = -1;            // SendInput
    double sentToRecorder = -1;  // SendInput's start until the recorder sees the simulated event
    double simulatedChain = -1;  // the simulated event through the hooks
    double simulatedToHook = -1; // of which: the recorder's call to the next hook, until the hook runs
    double simulatedHook = -1;   //   the hook procedure
    double simulatedBack = -1;   //   the hook's return, until the recorder has the answer
    double simulatedToWindow = -1;
    // Without a recording hook (the remapped rows that are not traced):
    double sentToHook = -1;       // SendInput's start until the hook sees the simulated event
    double hookToWindow = -1;     // the hook's return for the simulated event until the window has it
    double hookWhole = -1;        // the hook's entry for the physical event until the window has it
    double whole = -1;           // the recorder's entry until the window has it
};

struct ClickResult
{
    Outcome outcome = Outcome::Lost;
    int latency = 0;
    TracedEvent down;
    TracedEvent up;
};

const Stamp* FindStamp(Step step, UINT message, bool injected, int count)
{
    for (int i = 0; i < count; ++i)
    {
        const Stamp& stamp = g_trace.stamps[i];
        if (stamp.step == step && stamp.message == message && stamp.injected == injected)
            return &stamp;
    }
    return nullptr;
}

double Between(const Stamp* from, const Stamp* to)
{
    if (from == nullptr || to == nullptr)
        return -1;
    return static_cast<double>(to->at - from->at) * g_usPerCount;
}

double Between(const Stamp* from, LONGLONG to)
{
    if (from == nullptr)
        return -1;
    return static_cast<double>(to - from->at) * g_usPerCount;
}

TracedEvent TraceOf(UINT message, LONGLONG receipt, bool remapped)
{
    TracedEvent event;
    const int count = std::min(g_trace.count.load(), kMostStamps);
    const Stamp* recIn = FindStamp(Step::RecorderIn, message, false, count);
    const Stamp* recCall = FindStamp(Step::RecorderCallNext, message, false, count);
    const Stamp* recDone = FindStamp(Step::RecorderCallNextDone, message, false, count);
    const Stamp* recOut = FindStamp(Step::RecorderOut, message, false, count);
    const Stamp* hookIn = FindStamp(Step::HookIn, message, false, count);
    const Stamp* hookOut = FindStamp(Step::HookOut, message, false, count);
    event.toHook = Between(recCall, hookIn);
    event.hook = Between(hookIn, hookOut);
    event.hookSystemCalls = hookOut != nullptr ? hookOut->systemCallUs : -1;
    event.back = Between(hookOut, recDone);
    event.whole = Between(recIn, receipt);
    if (recIn == nullptr && remapped)
    {
        // Only the hook's own steps were stamped.
        const Stamp* sendStart = FindStamp(Step::SendStart, message, true, count);
        const Stamp* sendEnd = FindStamp(Step::SendEnd, message, true, count);
        const Stamp* simHookIn = FindStamp(Step::HookIn, message, true, count);
        const Stamp* simHookOut = FindStamp(Step::HookOut, message, true, count);
        event.toSend = Between(hookOut, sendStart);
        event.send = Between(sendStart, sendEnd);
        event.sentToHook = Between(sendStart, simHookIn);
        event.simulatedHook = Between(simHookIn, simHookOut);
        event.hookToWindow = Between(simHookOut, receipt);
        event.hookWhole = Between(hookIn, receipt);
        return event;
    }
    if (!remapped)
    {
        event.toWindow = Between(recOut, receipt);
        return event;
    }
    const Stamp* sendStart = FindStamp(Step::SendStart, message, true, count);
    const Stamp* sendEnd = FindStamp(Step::SendEnd, message, true, count);
    const Stamp* simIn = FindStamp(Step::RecorderIn, message, true, count);
    const Stamp* simOut = FindStamp(Step::RecorderOut, message, true, count);
    event.toSend = Between(hookOut, sendStart);
    event.send = Between(sendStart, sendEnd);
    event.sentToRecorder = Between(sendStart, simIn);
    event.simulatedChain = Between(simIn, simOut);
    const Stamp* simCall = FindStamp(Step::RecorderCallNext, message, true, count);
    const Stamp* simDone = FindStamp(Step::RecorderCallNextDone, message, true, count);
    const Stamp* simHookIn = FindStamp(Step::HookIn, message, true, count);
    const Stamp* simHookOut = FindStamp(Step::HookOut, message, true, count);
    event.simulatedToHook = Between(simCall, simHookIn);
    event.simulatedHook = Between(simHookIn, simHookOut);
    event.simulatedBack = Between(simHookOut, simDone);
    event.simulatedToWindow = Between(simOut, receipt);
    return event;
}

class Clicker
{
public:
    Clicker(ClickTargets& targets, const RECT& spot) : m_targets(targets), m_spot(spot) {}

    // One click at the row's place; moveFirst: the pointer is moved there in
    // the same breath (the pair's windows are clicked in turn).
    ClickResult Click(const RowSpec& row, bool toFresh)
    {
        ClickResult result;
        g_receipts.clear();
        const LONG receiptsBefore = m_targets.ReceiptCount();
        const int recordedBefore = g_physicalDownCount.load();
        int window = -1;
        POINT point = Centre(m_spot);
        bool move = false;
        if (row.place == Pair || (row.place == Fresh && !toFresh))
        {
            window = m_nextPair;
            m_nextPair = 1 - m_nextPair;
            point = Centre(kClickTargetPlaces[window]);
            move = true;
        }
        else if (row.place == Fresh)
        {
            window = kFreshWindow;
            point = Centre(kClickTargetPlaces[window]);
            move = true;
        }
        else if (!m_atSpot)
        {
            move = true;
        }
        m_atSpot = row.place == Spot;
        const LONG serial = window == kFreshWindow ? m_targets.FreshSerial() : 0;
        g_trace.count = 0;
        // The remapped rows stamp the hooks' own steps too (the performance
        // counter only: the counting of calls is the traced rows').
        const bool remapped = row.config == Mapped || row.config == Remap;
        g_tracing = row.traced || remapped;
        wchar_t command[96];
        if (move)
            Format(command, 96, L"mousemove --sync %d %d click 1", static_cast<int>(point.x), static_cast<int>(point.y));
        else
            Format(command, 96, L"click 1");
        const DWORD sent = ::GetTickCount();
        if (!Xdotool(command))
            return result;

        std::vector<Arrival> arrivals;
        const auto collect = [&] {
            arrivals.clear();
            for (const Receipt& receipt : g_receipts)
                arrivals.push_back({receipt.message, receipt.received, receipt.messageTime, receipt.extra, receipt.counter, -1, 0});
            for (LONG at = receiptsBefore; at < m_targets.ReceiptCount(); ++at)
            {
                const ClickReceipt& receipt = m_targets.ReceiptAt(at);
                arrivals.push_back({receipt.message, receipt.received, receipt.messageTime,
                                    static_cast<ULONG_PTR>(receipt.extra), receipt.counter, receipt.window, receipt.serial});
            }
        };
        const auto arrived = [&](UINT message) {
            for (const Arrival& arrival : arrivals)
                if (arrival.message == message && arrival.window == window)
                    return true;
            return false;
        };
        if (!PumpUntil(kClickWaitMs, [&] {
                collect();
                return arrived(WM_LBUTTONDOWN) && arrived(WM_LBUTTONUP) &&
                       (!remapped || g_physicalDownCount.load() > recordedBefore);
            }))
        {
            g_tracing = false;
            return result;
        }
        // The up's answer reaches the recorder just before the window has it.
        PumpUntil(50, [&] { return !row.traced || FindStamp(Step::RecorderOut, WM_LBUTTONUP, remapped, std::min(g_trace.count.load(), kMostStamps)) != nullptr; });
        g_tracing = false;
        collect();

        const Arrival* down = nullptr;
        const Arrival* up = nullptr;
        for (const Arrival& arrival : arrivals)
        {
            if (arrival.window != window)
                continue;
            if (arrival.message == WM_LBUTTONDOWN && down == nullptr)
                down = &arrival;
            else if (arrival.message == WM_LBUTTONUP && up == nullptr)
                up = &arrival;
        }
        ULONG_PTR expected = 0;
        if (row.config == Mapped)
            expected = OwnInputSignature();
        else if (row.config == Remap)
            expected = kRemapMark;
        if (down->extra != expected || up->extra != expected)
        {
            result.outcome = Outcome::Foreign;
            return result;
        }
        const DWORD physical = remapped ? g_physicalDowns[recordedBefore] : down->messageTime;
        // Message times come from the X server's clock mapped onto the tick count:
        // a millisecond earlier than the tick at sending still belongs to this click.
        if (arrivals.size() != 2 || static_cast<LONG>(physical - sent) < -1 || g_physicalDownCount.load() > recordedBefore + 1 ||
            (window == kFreshWindow && (down->serial != serial || up->serial != serial)))
            return result;
        result.outcome = Outcome::Measured;
        result.latency = static_cast<int>(down->received - physical);
        if (row.traced || remapped)
        {
            result.down = TraceOf(WM_LBUTTONDOWN, down->counter, remapped);
            result.up = TraceOf(WM_LBUTTONUP, up->counter, remapped);
        }
        return result;
    }

private:
    ClickTargets& m_targets;
    RECT m_spot;
    int m_nextPair = 0;
    bool m_atSpot = false;
};

// --- figures -----------------------------------------------------------------

// The q-quantile of whole-millisecond values read as grouped data: the value's
// millisecond is spread evenly over [value - 0.5, value + 0.5).
double GroupedQuantile(std::vector<int> values, double q)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double wanted = q * static_cast<double>(values.size());
    size_t below = 0;
    while (below < values.size())
    {
        size_t end = below;
        while (end < values.size() && values[end] == values[below])
            ++end;
        if (static_cast<double>(end) >= wanted)
            return values[below] - 0.5 + (wanted - static_cast<double>(below)) / static_cast<double>(end - below);
        below = end;
    }
    return values.back() + 0.5;
}

double Mean(const std::vector<int>& values)
{
    double sum = 0;
    for (int value : values)
        sum += value;
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

// Median and mean of the values seen (negative ones were not).
struct Spread
{
    double median = -1;
    double mean = -1;
    int count = 0;
};

Spread SpreadOf(const std::vector<TracedEvent>& events, double TracedEvent::*field)
{
    std::vector<double> values;
    for (const TracedEvent& event : events)
        if (event.*field >= 0)
            values.push_back(event.*field);
    Spread spread;
    spread.count = static_cast<int>(values.size());
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    spread.median = values[values.size() / 2];
    double sum = 0;
    for (double value : values)
        sum += value;
    spread.mean = sum / static_cast<double>(values.size());
    return spread;
}

struct TraceRow
{
    std::vector<TracedEvent> downs;
    std::vector<TracedEvent> ups;
};

struct StepLine
{
    const char* label;
    double TracedEvent::*field;
};

// One table: the steps of the events of rows, side by side, with the added
// time of the last over the first.
void PrintSteps(const char* title, const std::vector<int>& rows, const TraceRow* traces, const StepLine* lines,
                int lineCount)
{
    bool any = false;
    for (int row : rows)
        any = any || !traces[row].downs.empty();
    if (!any)
        return;
    for (int pass = 0; pass < 2; ++pass)
    {
        std::printf("%s, %s (median / mean us):\n", title, pass == 0 ? "press" : "release");
        std::printf("  %-58s", "");
        for (int row : rows)
            std::printf(" %26s", kRows[row].name);
        if (rows.size() == 2)
            std::printf(" %15s", "added");
        std::printf("\n");
        for (int l = 0; l < lineCount; ++l)
        {
            std::printf("  %-58s", lines[l].label);
            double first[2] = {0, 0};
            double last[2] = {0, 0};
            for (size_t r = 0; r < rows.size(); ++r)
            {
                const std::vector<TracedEvent>& events = pass == 0 ? traces[rows[r]].downs : traces[rows[r]].ups;
                const Spread spread = SpreadOf(events, lines[l].field);
                if (spread.count == 0)
                    std::printf(" %26s", "-");
                else
                    std::printf(" %12.1f / %11.1f", spread.median, spread.mean);
                (r == 0 ? first : last)[0] = spread.median;
                (r == 0 ? first : last)[1] = spread.mean;
            }
            if (rows.size() == 2)
                std::printf(" %+7.1f/%+7.1f", last[0] - first[0], last[1] - first[1]);
            std::printf("\n");
        }
    }
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    int clicksPerRow = kClicksPerRow;
    // The rows --only names (all when empty).
    std::vector<int> only;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"--clicks") == 0)
            clicksPerRow = std::max(1, _wtoi(argv[i + 1]));
        if (std::wcscmp(argv[i], L"--only") == 0)
            for (const wchar_t* at = argv[i + 1]; *at != L'\0';)
            {
                wchar_t* end = nullptr;
                const long row = std::wcstol(at, &end, 10);
                if (end == at || (*end != L'\0' && *end != L',') || row < 0 || row >= RowCount)
                {
                    std::printf("--only takes row numbers from 0 to %d, separated by commas: %ls\n", RowCount - 1, argv[i + 1]);
                    return 2;
                }
                only.push_back(static_cast<int>(row));
                at = *end == L',' ? end + 1 : end;
            }
    }
    // Traced rows only explain the others: half their clicks.
    const int tracedClicks = std::max(1, clicksPerRow / 2);
    const auto chosen = [&](int row) { return only.empty() || std::find(only.begin(), only.end(), row) != only.end(); };
    const auto wanted = [&](int row) { return !chosen(row) ? 0 : kRows[row].traced ? tracedClicks : clicksPerRow; };

    g_queryCounter = reinterpret_cast<QueryCounterFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "QueryPerformanceCounter")));
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_usPerCount = 1e6 / static_cast<double>(frequency.QuadPart);
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    BecomePerMonitorAware();
    if (g_pSettings == nullptr)
    {
        std::printf("no settings object\n");
        return 1;
    }
    const HMODULE self = ::GetModuleHandleW(nullptr);
    importcount::Install(self);
    g_setHook = reinterpret_cast<SetHookFn>(importcount::ReplaceImport(self, "SetWindowsHookExW",
                                                                       reinterpret_cast<void*>(&SetHookThroughBench)));
    g_sendInput = reinterpret_cast<SendInputFn>(
        importcount::ReplaceImport(self, "SendInput", reinterpret_cast<void*>(&SendInputThroughBench)));
    if (g_setHook == nullptr || g_sendInput == nullptr)
    {
        std::printf("the bench's imports of SetWindowsHookExW and SendInput were not found\n");
        return 1;
    }
    importcount::PrintCoverage(stdout);

    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* ownName = std::wcsrchr(path, L'\\') != nullptr ? std::wcsrchr(path, L'\\') + 1 : path;
    LoadProfiles(ownName);
    g_pSettings->m_uSimKeyDelay = 0;
    CApplicationSettings* profiles[2] = {FindProfile(ownName), FindProfile(kTargetsProgram)};
    if (profiles[0] == nullptr || profiles[1] == nullptr)
    {
        std::printf("no profile for this program or its helper\n");
        return 1;
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = self;
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
    ::SetForegroundWindow(window);
    ClickTargets targets;
    if (!targets.Up())
        return 1;
    wchar_t move[64];
    Format(move, 64, L"mousemove %d %d", static_cast<int>(Centre(kWindowRect).x), static_cast<int>(Centre(kWindowRect).y));
    Xdotool(move);
    PumpFor(500);

    std::printf("click-to-window latency of a physical left click, rows in turns of one counted click, %d clicks each "
                "(%d in the traced rows)\n",
                clicksPerRow, tracedClicks);
    std::vector<int> latencies[RowCount];
    TraceRow traces[RowCount];
    int lost[RowCount] = {};
    int foreign[RowCount] = {};
    int attempts[RowCount] = {};
    int turnsRefused = 0;
    int freshRefused = 0;
    // The mouse-over checks the library's timer thread took during a row's
    // turns, and during its counted clicks (the xdotool call until the click
    // arrived): work beside the hook thread's that its counts miss. With the
    // turns' length: a move's check comes due 150 ms after it.
    unsigned checksInTurns[RowCount] = {};
    DWORD turnMs[RowCount] = {};
    unsigned checksInCounted[RowCount] = {};
    int turnsTaken[RowCount] = {};
    int rounds = 0;
    const auto done = [&] {
        for (int row = 0; row < RowCount; ++row)
            if (static_cast<int>(latencies[row].size()) < wanted(row))
                return false;
        return true;
    };
    Clicker clicker(targets, kWindowRect);
    const DWORD start = ::GetTickCount();
    const int mostRounds = clicksPerRow + kMostRoundsOver;
    for (; rounds < mostRounds && !done(); ++rounds)
    {
        for (int step = 0; step < RowCount; ++step)
        {
            const int index = (rounds + step) % RowCount;
            const RowSpec& row = kRows[index];
            if (static_cast<int>(latencies[index].size()) >= wanted(index))
                continue;
            if (row.place == Fresh && !targets.MakeFresh())
            {
                ++freshRefused;
                continue;
            }
            Turn turn(row, index, profiles);
            if (!turn.Begin())
            {
                ++turnsRefused;
                continue;
            }
            ++turnsTaken[index];
            const unsigned checksAtBegin = MouseOverChecksTaken();
            const DWORD turnStart = ::GetTickCount();
            // Two clicks a turn; the first after the hooks went in is checked
            // like every click but its time is not counted (a new window's
            // turn: the first goes to the pair, the second to the new window).
            for (int click = 0; click < 2; ++click)
            {
                ++attempts[index];
                const unsigned checksBefore = MouseOverChecksTaken();
                const ClickResult result = clicker.Click(row, click == 1);
                if (click == 1)
                    checksInCounted[index] += MouseOverChecksTaken() - checksBefore;
                switch (result.outcome)
                {
                case Outcome::Measured:
                    if (click == 1)
                    {
                        latencies[index].push_back(result.latency);
                        if (row.traced || row.config == Mapped || row.config == Remap)
                        {
                            traces[index].downs.push_back(result.down);
                            traces[index].ups.push_back(result.up);
                        }
                    }
                    break;
                case Outcome::Lost:
                    ++lost[index];
                    break;
                case Outcome::Foreign:
                    ++foreign[index];
                    break;
                }
            }
            checksInTurns[index] += MouseOverChecksTaken() - checksAtBegin;
            turnMs[index] += ::GetTickCount() - turnStart;
        }
        if (rounds % 25 == 24)
            std::printf("  %d rounds, %lu s\n", rounds + 1, (::GetTickCount() - start) / 1000);
    }
    {
        CThreadLock lock(L"ClickLatencyBench");
        for (CApplicationSettings* profile : profiles)
            profile->SetActions(Left, 0, ACTION_NO_CHANGE);
    }
    ::DestroyWindow(window);

    std::printf("%d rounds in %lu s; turns whose hooks did not go in: %d; new windows that did not come: %d\n", rounds,
                (::GetTickCount() - start) / 1000, turnsRefused, freshRefused);
    std::printf("%-28s %6s %5s %7s %8s %8s %8s %8s %9s\n", "", "clicks", "lost", "foreign", "median", "p90", "mean",
                "ratio", "added ms");
    double median[RowCount] = {};
    for (int row = 0; row < RowCount; ++row)
        median[row] = GroupedQuantile(latencies[row], 0.5);
    int allLost = 0;
    int allAttempts = 0;
    for (int row = 0; row < RowCount; ++row)
    {
        allLost += lost[row];
        allAttempts += attempts[row];
        const int yardstick = kRows[row].yardstick;
        std::printf("%-28s %6zu %5d %7d %8.2f %8.2f %8.2f", kRows[row].name, latencies[row].size(), lost[row], foreign[row],
                    median[row], GroupedQuantile(latencies[row], 0.9), Mean(latencies[row]));
        if (yardstick >= 0 && median[yardstick] > 0)
            std::printf(" %8.2f %+9.2f  (against %s)\n", median[row] / median[yardstick], median[row] - median[yardstick],
                        kRows[yardstick].name);
        else
            std::printf("\n");
    }

    std::printf("mouse-over checks the library's timer thread took, per turn of two clicks / during its counted click, "
                "and the turn's mean length:\n");
    for (int row = 0; row < RowCount; ++row)
        if ((kRows[row].config == Library || kRows[row].config == Mapped) && turnsTaken[row] > 0)
            std::printf("  %-28s %5.2f / %5.2f  %6.1f ms\n", kRows[row].name,
                        static_cast<double>(checksInTurns[row]) / turnsTaken[row],
                        static_cast<double>(checksInCounted[row]) / turnsTaken[row],
                        static_cast<double>(turnMs[row]) / turnsTaken[row]);

    // Where the time goes, step by step.
    const StepLine unmappedLines[] = {
        {"recorder's call to the next hook, until the hook runs", &TracedEvent::toHook},
        {"the hook procedure", &TracedEvent::hook},
        {"  of which the library's system calls", &TracedEvent::hookSystemCalls},
        {"the hook's return, until the recorder has the answer", &TracedEvent::back},
        {"the recorder's return, until the window has the click", &TracedEvent::toWindow},
        {"whole: the recorder's entry until the window has it", &TracedEvent::whole},
    };
    PrintSteps("an unmapped click in one of 2 windows", {PassPairTraced, LibraryPairTraced}, traces, unmappedLines, 6);
    for (int kind = 0; kind < 2; ++kind)
        if (g_callEvents[LibraryPairTraced][kind] > 0)
        {
            std::printf("  the library's calls on its hook thread, per %s event:\n", kind == 0 ? "physical" : "own simulated");
            static importcount::Snapshot zero;
            zero = importcount::Snapshot::Zero();
            importcount::PrintPerEvent(zero, g_callSums[LibraryPairTraced][kind], g_callEvents[LibraryPairTraced][kind]);
        }
    PrintSteps("an unmapped click in a new window", {LibraryFreshTraced}, traces, unmappedLines, 6);
    if (g_callEvents[LibraryFreshTraced][0] > 0)
    {
        std::printf("  the library's calls on its hook thread, per physical event (press and release of a new window):\n");
        static importcount::Snapshot zero;
        zero = importcount::Snapshot::Zero();
        importcount::PrintPerEvent(zero, g_callSums[LibraryFreshTraced][0], g_callEvents[LibraryFreshTraced][0]);
    }
    const StepLine mappedLines[] = {
        {"recorder's call to the next hook, until the hook runs", &TracedEvent::toHook},
        {"the hook procedure (the physical event)", &TracedEvent::hook},
        {"  of which the library's system calls", &TracedEvent::hookSystemCalls},
        {"the hook's return, until the recorder has the answer", &TracedEvent::back},
        {"the hook's return, until SendInput starts", &TracedEvent::toSend},
        {"SendInput", &TracedEvent::send},
        {"SendInput's start, until the recorder sees its event", &TracedEvent::sentToRecorder},
        {"the simulated event through the hooks", &TracedEvent::simulatedChain},
        {"  recorder's call to the next hook, until the hook runs", &TracedEvent::simulatedToHook},
        {"  the hook procedure", &TracedEvent::simulatedHook},
        {"  the hook's return, until the recorder has the answer", &TracedEvent::simulatedBack},
        {"the recorder's return, until the window has it", &TracedEvent::simulatedToWindow},
        {"whole: the recorder's entry until the window has it", &TracedEvent::whole},
    };
    PrintSteps("a mapped click in one of 2 windows", {RemapPairTraced, MappedPairTraced}, traces, mappedLines, 13);
    const StepLine ownLines[] = {
        {"the hook procedure (the physical event)", &TracedEvent::hook},
        {"  of which the library's system calls (traced rows only)", &TracedEvent::hookSystemCalls},
        {"the hook's return, until SendInput starts", &TracedEvent::toSend},
        {"SendInput", &TracedEvent::send},
        {"SendInput's start, until the hook sees its event", &TracedEvent::sentToHook},
        {"the hook procedure (the simulated event)", &TracedEvent::simulatedHook},
        {"the hook's return, until the window has it", &TracedEvent::hookToWindow},
        {"whole: the hook's entry until the window has it", &TracedEvent::hookWhole},
    };
    PrintSteps("a mapped click at one spot, no recording hook", {RemapSpot, MappedSpot}, traces, ownLines, 8);
    PrintSteps("a mapped click in one of 2 windows, no recording hook", {RemapPair, MappedPair}, traces, ownLines, 8);
    PrintSteps("a mapped click in a new window, no recording hook", {RemapFresh, MappedFresh}, traces, ownLines, 8);
    for (int kind = 0; kind < 2; ++kind)
        if (g_callEvents[MappedPairTraced][kind] > 0)
        {
            std::printf("  the library's calls on its hook thread, per %s event:\n", kind == 0 ? "physical" : "own simulated");
            static importcount::Snapshot zero;
            zero = importcount::Snapshot::Zero();
            importcount::PrintPerEvent(zero, g_callSums[MappedPairTraced][kind], g_callEvents[MappedPairTraced][kind]);
        }

    const double lostPercent = allAttempts > 0 ? 100.0 * allLost / allAttempts : 100.0;
    benchgoal::AtMost("click-lost-percent", lostPercent, kMostLostPercent);
    // Foreign clicks in the mapped rows are clicks the library did not send.
    benchgoal::AtMost("click-mapped-not-the-librarys", foreign[MappedSpot] + foreign[MappedPair] + foreign[MappedFresh] +
                                                           foreign[MappedPairTraced], 0);
    const auto complete = [&](const char* name, int row, double limit) {
        const int yardstick = kRows[row].yardstick;
        if (!chosen(row) || !chosen(yardstick))
        {
            std::printf("%s: not among the rows run (--only)\n", name);
            return false;
        }
        if (static_cast<int>(latencies[row].size()) < wanted(row) ||
            static_cast<int>(latencies[yardstick].size()) < wanted(yardstick) || median[yardstick] <= 0)
        {
            std::printf("%s: too few clicks measured\n", name);
            benchgoal::NotMeasured(name, limit);
            return false;
        }
        return true;
    };
    const auto ratioGoal = [&](const char* name, int row, double limit) {
        if (complete(name, row, limit))
            benchgoal::AtMost(name, median[row] / median[kRows[row].yardstick], limit);
    };
    const auto addedGoal = [&](const char* name, int row, double limit) {
        if (complete(name, row, limit))
            benchgoal::AtMost(name, median[row] - median[kRows[row].yardstick], limit);
    };
    ratioGoal("click-unmapped-per-pass", LibrarySpot, 1.10);
    ratioGoal("click-unmapped-2-windows-per-pass", LibraryPair, 1.10);
    addedGoal("click-unmapped-new-window-added-ms", LibraryFresh, 1.0);
    ratioGoal("click-mapped-per-remap", MappedSpot, 1.15);
    ratioGoal("click-mapped-2-windows-per-remap", MappedPair, 1.15);
    return benchgoal::ExitCode();
}
