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
// The configurations take turns, one click each, round after round (each round
// starting one configuration further on), until each has its clicks, so that
// whatever drifts during the run falls on every configuration alike. Hooks are
// put in for a configuration's turn and taken out after it; a first click after
// putting them in is not counted (a user's hooks have been in for long).
//
// Times: the click's physical time is its message time (whole milliseconds of
// the tick count); the window stamps its receipt with the tick count too, so
// that both are cut to the millisecond alike (a receipt in finer units would
// add half a millisecond to every click). For the mapped and remap clicks,
// whose message is the simulated one, the physical time is the one a recording
// hook (put in last, so it runs first) saw; it runs in both, so the two compare
// alike. Medians and 90th percentiles are read from the whole milliseconds as
// from grouped data (interpolated within the millisecond).
//
// Each click is one action and its receipt is checked to be that click: a down
// and an up no earlier than the click was sent, physical where the click is not
// remapped, the library's own where it is mapped (a mapped row with any other
// click fails), the remapping hook's own for the floor. A click whose down and
// up do not both arrive within the wait is lost; more than 1 % lost fails the run.
// Run under Wine from the build's bin folder on a desktop xdotool can drive
// (scripts/bench.sh does all of this).

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
#include "Hooks.h"
#include "LibraryLifetime.h"
#include "Settings.h"
#include "StringFormat.h"
#include "ThreadLock.h"

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
constexpr int kMostRounds = 400;
constexpr DWORD kClickWaitMs = 3000;
constexpr double kMostLostPercent = 1.0;
constexpr RECT kWindowRect = {200, 200, 600, 500};

enum Row
{
    None,
    Pass,
    Library,
    Mapped,
    Remap,
    RowCount
};
const char* const kRowNames[RowCount] = {"none", "pass", "library", "mapped", "remap"};
// The row each is measured against (itself: none).
const Row kYardstick[RowCount] = {None, None, Pass, Remap, Remap};

// What the window received: each button message with its receipt tick, message
// time and extra information.
struct Receipt
{
    UINT message;
    DWORD received;
    DWORD messageTime;
    ULONG_PTR extra;
};
std::vector<Receipt> g_receipts;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)
    {
        const DWORD received = ::GetTickCount();
        g_receipts.push_back(
            {message, received, static_cast<DWORD>(::GetMessageTime()), static_cast<ULONG_PTR>(::GetMessageExtraInfo())});
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

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
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The physical downs the recording hook saw (their event times), in order.
constexpr int kMostRecorded = 8192;
DWORD g_physicalDowns[kMostRecorded];
std::atomic<int> g_physicalDownCount{0};

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONDOWN)
    {
        const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        const int at = g_physicalDownCount.load();
        if ((data->flags & LLMHF_INJECTED) == 0 && at < kMostRecorded)
        {
            g_physicalDowns[at] = data->time;
            g_physicalDownCount.store(at + 1);
        }
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
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
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
    // This program's own profile maps nothing until a mapped turn.
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

// Puts in and takes out what one configuration's turn needs.
class Turn
{
public:
    Turn(Row row, CApplicationSettings* own) : m_row(row), m_own(own) {}
    ~Turn() { End(); }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

    bool Begin()
    {
        switch (m_row)
        {
        case None:
            return true;
        case Pass:
            m_hook = std::make_unique<HookThread>(PassThroughHook);
            return m_hook->Installed();
        case Library:
        case Mapped:
        {
            {
                CThreadLock lock(L"ClickLatencyBench");
                m_own->SetActions(Left, 0, m_row == Mapped ? ACTION_LEFT_CLICK : ACTION_NO_CHANGE);
            }
            m_library = SetMouseHook();
            if (m_library && m_row == Mapped)
                m_recorder = std::make_unique<HookThread>(RecordingHook);
            return m_library && (m_row != Mapped || m_recorder->Installed());
        }
        case Remap:
            m_hook = std::make_unique<HookThread>(RemappingHook);
            m_recorder = std::make_unique<HookThread>(RecordingHook);
            return m_hook->Installed() && m_recorder->Installed();
        default:
            return false;
        }
    }

    void End()
    {
        m_recorder.reset();
        m_hook.reset();
        if (m_library)
            RemoveMouseHook(false);
        m_library = false;
    }

private:
    Row m_row;
    CApplicationSettings* m_own;
    std::unique_ptr<HookThread> m_hook;
    std::unique_ptr<HookThread> m_recorder;
    bool m_library = false;
};

enum class Outcome
{
    Measured,
    Lost,     // its down and up did not both arrive, or not as one click that was sent then
    Foreign   // a click arrived, but not one this configuration delivers (another sender's)
};

// One click, its receipt checked; on Measured, latency holds its milliseconds.
Outcome Click(Row row, int& latency)
{
    g_receipts.clear();
    const int recordedBefore = g_physicalDownCount.load();
    const DWORD sent = ::GetTickCount();
    if (!Xdotool(L"click 1"))
        return Outcome::Lost;
    const auto arrived = [&](UINT message) {
        for (const Receipt& receipt : g_receipts)
            if (receipt.message == message)
                return true;
        return false;
    };
    const bool recorded = row != Mapped && row != Remap;
    if (!PumpUntil(kClickWaitMs, [&] {
            return arrived(WM_LBUTTONDOWN) && arrived(WM_LBUTTONUP) &&
                   (recorded || g_physicalDownCount.load() > recordedBefore);
        }))
        return Outcome::Lost;

    const Receipt* down = nullptr;
    for (const Receipt& receipt : g_receipts)
        if (receipt.message == WM_LBUTTONDOWN)
        {
            down = &receipt;
            break;
        }
    const auto signedBy = [&](ULONG_PTR mark) { return down->extra == mark; };
    ULONG_PTR expected = 0;
    if (row == Mapped)
        expected = reinterpret_cast<ULONG_PTR>(g_threads.hMouseHook);
    else if (row == Remap)
        expected = kRemapMark;
    if (!signedBy(expected))
        return Outcome::Foreign;
    const DWORD physical = recorded ? down->messageTime : g_physicalDowns[recordedBefore];
    // Message times come from the X server's clock mapped onto the tick count:
    // a millisecond earlier than the tick at sending still belongs to this click.
    if (g_receipts.size() != 2 || static_cast<LONG>(physical - sent) < -1 ||
        g_physicalDownCount.load() > recordedBefore + 1)
        return Outcome::Lost;
    latency = static_cast<int>(down->received - physical);
    return Outcome::Measured;
}

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
}

int wmain(int argc, wchar_t** argv)
{
    // --clicks N: fewer (or more) clicks for each configuration.
    int clicksPerRow = kClicksPerRow;
    if (argc > 2 && std::wcscmp(argv[1], L"--clicks") == 0)
        clicksPerRow = std::max(1, _wtoi(argv[2]));
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    BecomePerMonitorAware();
    if (g_pSettings == nullptr)
    {
        std::printf("no settings object\n");
        return 1;
    }
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* ownName = std::wcsrchr(path, L'\\') != nullptr ? std::wcsrchr(path, L'\\') + 1 : path;
    LoadProfiles(ownName);
    g_pSettings->m_uSimKeyDelay = 0;
    CApplicationSettings* own = FindProfile(ownName);
    if (own == nullptr)
    {
        std::printf("no profile for this program\n");
        return 1;
    }

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
    ::SetForegroundWindow(window);
    wchar_t move[64];
    Format(move, 64, L"mousemove %d %d", (kWindowRect.left + kWindowRect.right) / 2,
           (kWindowRect.top + kWindowRect.bottom) / 2);
    Xdotool(move);
    PumpFor(500);

    std::printf("click-to-window latency of a physical left click, configurations in turns of one click, %d clicks each\n",
                clicksPerRow);
    std::vector<int> latencies[RowCount];
    int lost[RowCount] = {};
    int foreign[RowCount] = {};
    int attempts[RowCount] = {};
    int turnsRefused = 0;
    int rounds = 0;
    const auto done = [&] {
        for (int row = 0; row < RowCount; ++row)
            if (static_cast<int>(latencies[row].size()) < clicksPerRow)
                return false;
        return true;
    };
    const DWORD start = ::GetTickCount();
    const int mostRounds = clicksPerRow + kMostRounds - kClicksPerRow;
    for (; rounds < mostRounds && !done(); ++rounds)
    {
        for (int step = 0; step < RowCount; ++step)
        {
            const Row row = static_cast<Row>((rounds + step) % RowCount);
            if (static_cast<int>(latencies[row].size()) >= clicksPerRow)
                continue;
            Turn turn(row, own);
            if (!turn.Begin())
            {
                ++turnsRefused;
                continue;
            }
            // Two clicks a turn; the first after the hooks went in is checked
            // like every click but its time is not counted.
            for (int click = 0; click < 2; ++click)
            {
                int latency = 0;
                ++attempts[row];
                switch (Click(row, latency))
                {
                case Outcome::Measured:
                    if (click == 1)
                        latencies[row].push_back(latency);
                    break;
                case Outcome::Lost:
                    ++lost[row];
                    break;
                case Outcome::Foreign:
                    ++foreign[row];
                    break;
                }
            }
        }
        if (rounds % 50 == 49)
            std::printf("  %d rounds, %lu s\n", rounds + 1, (::GetTickCount() - start) / 1000);
    }
    {
        CThreadLock lock(L"ClickLatencyBench");
        own->SetActions(Left, 0, ACTION_NO_CHANGE);
    }
    ::DestroyWindow(window);

    std::printf("%d rounds in %lu s; turns whose hooks did not go in: %d\n", rounds, (::GetTickCount() - start) / 1000,
                turnsRefused);
    std::printf("%-8s %6s %5s %7s %8s %8s %8s %8s %9s\n", "", "clicks", "lost", "foreign", "median", "p90", "mean",
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
        const Row yardstick = kYardstick[row];
        std::printf("%-8s %6zu %5d %7d %8.2f %8.2f %8.2f", kRowNames[row], latencies[row].size(), lost[row], foreign[row],
                    median[row], GroupedQuantile(latencies[row], 0.9), Mean(latencies[row]));
        if (yardstick != static_cast<Row>(row) && median[yardstick] > 0)
            std::printf(" %8.2f %+9.2f  (against %s)\n", median[row] / median[yardstick], median[row] - median[yardstick],
                        kRowNames[yardstick]);
        else
            std::printf("\n");
    }

    const double lostPercent = allAttempts > 0 ? 100.0 * allLost / allAttempts : 100.0;
    benchgoal::AtMost("click-lost-percent", lostPercent, kMostLostPercent);
    // Foreign clicks in the mapped row are clicks the library did not send.
    benchgoal::AtMost("click-mapped-not-the-librarys", foreign[Mapped], 0);
    const auto ratioGoal = [&](const char* name, Row row, double limit) {
        if (static_cast<int>(latencies[row].size()) < clicksPerRow ||
            static_cast<int>(latencies[kYardstick[row]].size()) < clicksPerRow || median[kYardstick[row]] <= 0)
        {
            std::printf("%s: too few clicks measured\n", name);
            benchgoal::NotMeasured(name, limit);
            return;
        }
        benchgoal::AtMost(name, median[row] / median[kYardstick[row]], limit);
    };
    ratioGoal("click-unmapped-per-pass", Library, 1.10);
    ratioGoal("click-mapped-per-remap", Mapped, 1.15);
    return benchgoal::ExitCode();
}
