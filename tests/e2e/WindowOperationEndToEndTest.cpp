// End to end: buttons mapped to the window actions act on a real window of
// another process through the library's hooks, with xdotool pressing the
// physical buttons; programs launched by the library really start and can be
// ended by name.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "ProcessLaunch.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"
#include "WindowActivation.h"

using namespace brmptest;

namespace
{
// Button indexes and action codes as the settings file stores them.
constexpr int kMiddle = 2, kXLeft = 3, kXRight = 4;
constexpr int kScrollWindowUp = 67, kScrollWindowRight = 70, kDragToMove = 134, kDragToSize = 135;

const wchar_t kScrolledTitle[] = L"Brmp Scrolled Window";
const wchar_t kWheeledTitle[] = L"Brmp Wheeled Window";

struct Slot
{
    int button;
    int code;
};

struct BoundProfile
{
    const wchar_t* title;
    std::vector<Slot> slots;
    int scrollMethod = 8;
};

// The probe's extra switches for the probes started while it lives.
class ProbeSwitches
{
public:
    explicit ProbeSwitches(const wchar_t* switches) { ::SetEnvironmentVariableW(L"BRMP_PROBE_SWITCHES", switches); }
    ~ProbeSwitches() { ::SetEnvironmentVariableW(L"BRMP_PROBE_SWITCHES", nullptr); }
};

RECT WindowRect(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

class WindowActionsEndToEnd : public ProbeSuite<WindowActionsEndToEnd>
{
protected:
    WindowActionsEndToEnd() : ProbeSuite(L"WindowActions") {}

    static void SetUpTestSuite()
    {
        ProbeOptions scrolled = Placed(kScrolledTitle, RECT{40, 60, 600, 520});
        scrolled.scrollChild = true;
        StartProbes({scrolled, Placed(kWheeledTitle, RECT{680, 60, 1180, 520})});
    }
    static Probe& Scrolled() { return ProbeAt(0); }
    static Probe& Wheeled() { return ProbeAt(1); }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        ::SetWindowPos(Scrolled().Window(), nullptr, 40, 60, 560, 460, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(Scrolled().Activate());
        Scrolled().Clear();
        Wheeled().Clear();
    }

    // Writes a settings file with one window profile per entry (bound to the
    // probe of that title), loads it and installs the hooks.
    ::testing::AssertionResult LoadAndHook(const std::vector<BoundProfile>& profiles)
    {
        CSettings settings(false, CMouseInfo());
        int index = 1;
        for (const BoundProfile& bound : profiles)
        {
            CApplicationSettings* profile = AddProbeProfile(settings, bound.title, index++);
            profile->SetAdvScrollMethod(bound.scrollMethod);
            for (const Slot& slot : bound.slots)
                profile->SetActions(slot.button, 0, slot.code);
        }
        return IsolatedSettings::LoadAndHook(settings);
    }

    static ::testing::AssertionResult MoveThere(POINT at)
    {
        return PhysicalInput::MoveToAndWait(at.x, at.y);
    }

    static POINT Inside(Probe& probe)
    {
        const RECT client = probe.ClientRect();
        return {(client.left + client.right) / 2 - 40, (client.top + client.bottom) / 2 - 40};
    }

    // The actions' scroll and move messages are posted or sent; a button that
    // leaked past the hook comes through the input queue. Once an unmapped
    // right click at the pointer has reached the probe, whatever input came
    // before it has been delivered.
    static ::testing::AssertionResult Fence(Probe& probe)
    {
        if (!PhysicalInput::Click(PhysicalInput::kRight))
            return ::testing::AssertionFailure() << "xdotool click failed";
        if (!probe.WaitForRecord(Named(L"WM_RBUTTONUP")))
            return ::testing::AssertionFailure() << "the fence click never arrived\n" << probe.Describe();
        return ::testing::AssertionSuccess();
    }
};
} // namespace

TEST_F(WindowActionsEndToEnd, DraggingWithTheMoveButtonMovesTheWindowByTheMouseMovement)
{
    ASSERT_TRUE(LoadAndHook({{kScrolledTitle, {{kMiddle, kDragToMove}}}}));
    const RECT start = WindowRect(Scrolled().Window());
    const POINT grab = Inside(Scrolled());
    ASSERT_TRUE(MoveThere(grab));

    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return g_threads.pWindowOperation != nullptr; })) << "the drag did not start";
    ASSERT_TRUE(MoveThere(POINT{grab.x + 30, grab.y + 20}));
    ASSERT_TRUE(MoveThere(POINT{grab.x + 70, grab.y + 45}));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return g_threads.pWindowOperation == nullptr; })) << "the drag did not end";

    const RECT expected{start.left + 70, start.top + 45, start.right + 70, start.bottom + 45};
    EXPECT_TRUE(WaitFor([&] {
        const RECT now = WindowRect(Scrolled().Window());
        return now.left == expected.left && now.top == expected.top && now.right == expected.right &&
               now.bottom == expected.bottom;
    })) << "the window is at " << WindowRect(Scrolled().Window()).left << ","
        << WindowRect(Scrolled().Window()).top << "\n"
        << Scrolled().Describe();
    EXPECT_FALSE(Scrolled().Records(Named(L"WM_MOVE")).empty()) << Scrolled().Describe();
    ASSERT_TRUE(Fence(Scrolled()));
    EXPECT_TRUE(Scrolled().Records(Named(L"WM_MBUTTONDOWN")).empty()) << "the drag button reached the window";

    // After the release the window stays where it is.
    ASSERT_TRUE(MoveThere(POINT{grab.x + 150, grab.y + 120}));
    const RECT after = WindowRect(Scrolled().Window());
    EXPECT_EQ(after.left, expected.left);
    EXPECT_EQ(after.top, expected.top);
}

TEST_F(WindowActionsEndToEnd, DraggingWithTheSizeButtonGrowsTheWindow)
{
    ASSERT_TRUE(LoadAndHook({{kScrolledTitle, {{kMiddle, kDragToSize}}}}));
    const RECT start = WindowRect(Scrolled().Window());
    const POINT grab = Inside(Scrolled());
    ASSERT_TRUE(MoveThere(grab));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return g_threads.pWindowOperation != nullptr; })) << "the drag did not start";
    ASSERT_TRUE(MoveThere(POINT{grab.x + 50, grab.y + 30}));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([&] {
        const RECT now = WindowRect(Scrolled().Window());
        return now.left == start.left && now.top == start.top && now.right == start.right + 50 &&
               now.bottom == start.bottom + 30;
    })) << Scrolled().Describe();
}

TEST_F(WindowActionsEndToEnd, AScrollActionSendsTheMessagesOfTheProfilesScrollMethod)
{
    // The scroll-bar method for the window with scroll-bar controls; the default
    // (a plain wheel message) for the other.
    ASSERT_TRUE(LoadAndHook({{kScrolledTitle, {{kXLeft, kScrollWindowUp}, {kXRight, kScrollWindowRight}}, 0},
                             {kWheeledTitle, {{kXLeft, kScrollWindowUp}}, 8}}));
    ASSERT_TRUE(MoveThere(Inside(Scrolled())));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    // One line up: to the vertical control, a copy to the window naming the
    // control, then the end of the scroll to both.
    const auto end = Scrolled().WaitForRecord(Named(L"WM_VSCROLL", L"code", SB_ENDSCROLL));
    ASSERT_TRUE(end.has_value()) << Scrolled().Describe();
    ASSERT_TRUE(Fence(Scrolled()));
    const auto toBar = Scrolled().Records([](const ProbeRecord& r) {
        return r.Is(L"WM_VSCROLL") && r.Value(L"target") == 1 && r.Value(L"code") == SB_LINEUP;
    });
    const auto toWindow = Scrolled().Records([](const ProbeRecord& r) {
        return r.Is(L"WM_VSCROLL") && r.Value(L"target") == 0 && r.Value(L"code") == SB_LINEUP &&
               r.Value(L"from") == 2;
    });
    EXPECT_GE(toBar.size(), 1u) << Scrolled().Describe();
    EXPECT_EQ(toBar.size(), toWindow.size()) << Scrolled().Describe();
    EXPECT_TRUE(Scrolled().Records(Named(L"WM_VSCROLL", L"code", SB_LINEDOWN)).empty());
    EXPECT_TRUE(Scrolled().Records(Named(L"WM_MOUSEWHEEL")).empty());
    EXPECT_TRUE(Scrolled().Records(Named(L"WM_XBUTTONDOWN")).empty()) << "the button reached the window";

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    EXPECT_TRUE(Scrolled()
                    .WaitForRecord([](const ProbeRecord& r) {
                        return r.Is(L"WM_HSCROLL") && r.Value(L"target") == 2 && r.Value(L"code") == SB_LINERIGHT;
                    })
                    .has_value())
        << Scrolled().Describe();

    // Declined by the default method: the window gets a plain wheel notch.
    ASSERT_TRUE(MoveThere(Inside(Wheeled())));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    const auto wheel = Wheeled().WaitForRecord(Named(L"WM_MOUSEWHEEL"));
    ASSERT_TRUE(wheel.has_value()) << Wheeled().Describe();
    EXPECT_EQ(wheel->Value(L"delta"), WHEEL_DELTA);
    ASSERT_TRUE(Fence(Wheeled()));
    EXPECT_EQ(Wheeled().Records(Named(L"WM_MOUSEWHEEL")).size(), 1u) << Wheeled().Describe();
    EXPECT_TRUE(Wheeled().Records(Named(L"WM_VSCROLL")).empty());
    EXPECT_TRUE(Wheeled().Records(Named(L"WM_XBUTTONDOWN")).empty()) << "the button reached the window";
}

namespace
{
// A copy of the probe under a name of this test alone, so that ending
// processes by that name touches nothing else.
class ProbeCopy
{
public:
    ProbeCopy()
    {
        m_name = L"BrmpLaunched" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
        m_path = ExecutableFolder() + m_name;
        m_valid = ::CopyFileW((ExecutableFolder() + L"BrmpProbe.exe").c_str(), m_path.c_str(), FALSE) != FALSE;
    }
    ~ProbeCopy()
    {
        for (HANDLE process : m_processes)
        {
            if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
            ::CloseHandle(process);
        }
        ::DeleteFileW(m_path.c_str());
    }
    bool Valid() const { return m_valid; }
    const std::wstring& Name() const { return m_name; }
    const std::wstring& Path() const { return m_path; }
    void Track(DWORD pid)
    {
        if (HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid))
            m_processes.push_back(process);
    }
    // How many of the tracked processes still run.
    size_t Running() const
    {
        size_t running = 0;
        for (HANDLE process : m_processes)
            running += ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? 1 : 0;
        return running;
    }

private:
    std::wstring m_name;
    std::wstring m_path;
    bool m_valid = false;
    std::vector<HANDLE> m_processes;
};

// The pid of the READY line of a probe's record file, once it is there.
std::optional<DWORD> ReadyPid(const std::wstring& file)
{
    // Shared reading: the probe keeps the file open for writing.
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(handle, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    ::CloseHandle(handle);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.rfind("READY", 0) != 0)
            continue;
        const auto record = ProbeRecord::Parse(std::wstring(line.begin(), line.end()));
        if (record && record->Has(L"pid"))
            return static_cast<DWORD>(record->Value(L"pid"));
    }
    return std::nullopt;
}
} // namespace

TEST(ProcessLaunchEndToEnd, LaunchedProgramsStartOffTheCallersThreadAndEndByName)
{
    ProbeCopy copy;
    ASSERT_TRUE(copy.Valid());
    TempFolder folder{L"brmplaunch"};
    ASSERT_TRUE(folder.IsValid());
    ASSERT_TRUE(SetMouseHook());

    std::vector<std::wstring> files;
    for (int i = 0; i < 2; ++i)
    {
        files.push_back(folder.PathOf(L"launched" + std::to_wstring(i) + L".txt"));
        const std::wstring parameters = L"--record \"" + files.back() + L"\" --no-activate --parent " +
                                        std::to_wstring(::GetCurrentProcessId()) + L" --rect " +
                                        std::to_wstring(100 + 300 * i) + L",600,200,100";
        EXPECT_TRUE(ThreadShellExecute(L"open", copy.Path().c_str(), parameters.c_str()));
    }
    for (const std::wstring& file : files)
    {
        std::optional<DWORD> pid;
        EXPECT_TRUE(WaitFor([&] { return (pid = ReadyPid(file)).has_value(); }, 20000)) << "not started";
        if (pid)
            copy.Track(*pid);
    }
    ASSERT_EQ(copy.Running(), 2u);

    // Only the first process of that name ends, then the other; then none is left.
    EXPECT_TRUE(KillProcess(copy.Name().c_str()));
    EXPECT_TRUE(WaitFor([&] { return copy.Running() == 1; }));
    EXPECT_TRUE(KillProcess(copy.Name().c_str()));
    EXPECT_TRUE(WaitFor([&] { return copy.Running() == 0; }));
    EXPECT_FALSE(KillProcess(copy.Name().c_str()));
    RemoveMouseHook(false);
}

TEST(ProbeWindowModes, TheProbeRecordsScrollAndPlacementMessagesAndCanOutliveAClose)
{
    std::unique_ptr<Probe> probe;
    {
        ProbeSwitches switches(L"--keep-on-close --own-scroll");
        ProbeOptions options;
        options.rect = RECT{200, 200, 600, 500};
        options.warmUp = false;
        probe = std::make_unique<Probe>(options);
        ASSERT_TRUE(probe->Start());
    }
    HWND window = probe->Window();
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_NE(style & WS_VSCROLL, 0);
    EXPECT_NE(style & WS_HSCROLL, 0);
    probe->Clear();

    ::PostMessageW(window, WM_VSCROLL, SB_LINEDOWN, 0);
    ::PostMessageW(window, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 42), reinterpret_cast<LPARAM>(window));
    const auto thumb = probe->WaitForRecord(Named(L"WM_HSCROLL"));
    ASSERT_TRUE(thumb.has_value()) << probe->Describe();
    EXPECT_EQ(thumb->Value(L"code"), SB_THUMBPOSITION);
    EXPECT_EQ(thumb->Value(L"pos"), 42);
    EXPECT_EQ(thumb->Value(L"from"), 1);
    const auto line = probe->Records(Named(L"WM_VSCROLL"));
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0].Value(L"code"), SB_LINEDOWN);
    EXPECT_EQ(line[0].Value(L"from"), 0);

    ::SetWindowPos(window, nullptr, 250, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    const auto placed = probe->WaitForRecord(Named(L"WM_WINDOWPOSCHANGED", L"x", 250));
    ASSERT_TRUE(placed.has_value()) << probe->Describe();
    EXPECT_EQ(placed->Value(L"y"), 260);
    EXPECT_EQ(placed->Value(L"width"), 400);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(probe->WaitForRecord(Named(L"WM_CLOSE")).has_value());
    // Still there: a later record proves the close was handled and ignored.
    ::PostMessageW(window, WM_VSCROLL, SB_LINEUP, 0);
    ASSERT_TRUE(probe->WaitForRecord(Named(L"WM_VSCROLL", L"code", SB_LINEUP)).has_value());
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_TRUE(probe->Records(Named(L"WM_DESTROY")).empty());

    // It will not close: end it.
    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, probe->ProcessId()))
    {
        ::TerminateProcess(process, 0);
        ::WaitForSingleObject(process, kDefaultTimeoutMs);
        ::CloseHandle(process);
    }
}
