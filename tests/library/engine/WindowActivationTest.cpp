// Which window is activated, and that activation asked for on another thread is
// carried out on the timer thread.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "ThreadLock.h"
#include "TimerThread.h"
#include "WindowActivation.h"

using namespace enginetest;

TEST(WindowActivationRules, ClassesDecideWhetherAWindowItsParentOrNothingIsActivated)
{
    struct Case
    {
        const wchar_t* cls;
        const wchar_t* parent;
        ActivateClassRule rule;
    } const cases[] = {
        {L"MozillaCompositorWindowClass", L"", ActivateClassRule::Parent},
        {L"EXCEL7", L"", ActivateClassRule::Parent},
        {L"excel7", L"", ActivateClassRule::Parent},
        {L"Intermediate D3D Window", L"", ActivateClassRule::Parent},
        {L"Chrome_RenderWidgetHostHWND", L"", ActivateClassRule::Parent},
        {L"SALSUBFRAME", L"", ActivateClassRule::Never},
        {L"Shell_TrayWnd", L"", ActivateClassRule::Never},
        {L"MSTaskListWClass", L"", ActivateClassRule::Never},
        {L"TrayNotifyWnd", L"", ActivateClassRule::Never},
        {L"SysListView32", L"ListviewPopup", ActivateClassRule::Never},
        {L"SysListView32", L"SHELLDLL_DefView", ActivateClassRule::Window},
        {L"Edit", L"", ActivateClassRule::Window},
        {L"RichEdit20W", L"", ActivateClassRule::Window},
        {L"#32770", L"", ActivateClassRule::Window},
        {L"Chrome_WidgetWin_1", L"", ActivateClassRule::Chrome},
        {L"SomeAppWindow", L"", ActivateClassRule::Window},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ActivateRuleForClass(c.cls, c.parent), c.rule) << c.cls << L" in " << c.parent;
}

namespace
{
class Windows
{
public:
    Windows()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpActivateTarget";
        ::RegisterClassW(&wc);
    }
    ~Windows()
    {
        for (HWND w : m_windows)
            ::DestroyWindow(w);
    }
    HWND Make(HWND parent, DWORD exStyle = 0)
    {
        HWND w = ::CreateWindowExW(exStyle, L"BrmpActivateTarget", L"t",
                                   parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                   10, 100, 100, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        m_windows.insert(m_windows.begin(), w);
        return w;
    }

private:
    std::vector<HWND> m_windows;
};

} // namespace

TEST(WindowActivation, ANormalWindowIsActivatedButNotOneThatCannotBe)
{
    Windows windows;
    HWND plain = windows.Make(nullptr);
    HWND other = windows.Make(nullptr);
    EXPECT_EQ(GetWindowToActivate(plain, other), plain);

    HWND noActivate = windows.Make(nullptr, WS_EX_NOACTIVATE);
    EXPECT_EQ(GetWindowToActivate(noActivate, other), nullptr);

    HWND disabled = windows.Make(nullptr);
    ::EnableWindow(disabled, FALSE);
    EXPECT_EQ(GetWindowToActivate(disabled, other), nullptr);

    // The active window is a child of the candidate: activating would take it away.
    HWND child = windows.Make(plain);
    HWND grandChild = windows.Make(child);
    EXPECT_EQ(GetWindowToActivate(plain, grandChild), nullptr);
    EXPECT_EQ(GetWindowToActivate(nullptr, other), nullptr);
}

TEST(WindowActivation, ActivationAskedForOnAnotherThreadIsCarriedOutOnTheTimerThread)
{
    ASSERT_TRUE(SetMouseHook());
    ASSERT_NE(g_threads.dwTimerThreadId, 0u);
    Windows windows;
    HWND window = windows.Make(nullptr);

    ActivateWindow(window, false, false);
    EXPECT_TRUE(WaitFor([&] { return LastForcedForeground().window == window; }));
    EXPECT_EQ(LastForcedForeground().thread, g_threads.dwTimerThreadId);

    // Asked for directly, it runs where it is asked.
    HWND second = windows.Make(nullptr);
    ForceForegroundWindow(second, false, true);
    EXPECT_EQ(LastForcedForeground().window, second);
    EXPECT_EQ(LastForcedForeground().thread, ::GetCurrentThreadId());
    RemoveMouseHook(false);
}

namespace
{
HWND g_lockedTarget = nullptr;
std::atomic<int> g_forcedUnderLock{-1};   // -1 not yet asked, 1 forced while the lock was held, 0 not

// A step of the timer thread that holds the global lock and asks for an activation.
void CALLBACK ActivateUnderTheLock(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_idClearCursorTimer = 0;
    CThreadLock lock(L"WindowActivationTest");
    ForceForegroundWindow(g_lockedTarget, false, true);
    g_forcedUnderLock = LastForcedForeground().window == g_lockedTarget ? 1 : 0;
}
} // namespace

TEST(WindowActivation, TheTimerThreadActivatesAWindowOnlyOnceItHasLeftTheGlobalLock)
{
    ASSERT_TRUE(SetMouseHook());
    Windows windows;
    g_lockedTarget = windows.Make(nullptr);
    g_forcedUnderLock = -1;
    const TIMERPROC previous = SetTimerThreadHandler(ID_TIMER_CLEARCURSOR, ActivateUnderTheLock);
    ProxySetTimer(nullptr, 0, ID_TIMER_CLEARCURSOR, 1, nullptr, nullptr);
    EXPECT_TRUE(WaitFor([] { return g_forcedUnderLock.load() >= 0; }));
    EXPECT_EQ(g_forcedUnderLock.load(), 0) << "the hooks waited while the window was activated";
    EXPECT_TRUE(WaitFor([] { return LastForcedForeground().window == g_lockedTarget; }));
    EXPECT_EQ(LastForcedForeground().thread, g_threads.dwTimerThreadId);
    SetTimerThreadHandler(ID_TIMER_CLEARCURSOR, previous);
    RemoveMouseHook(false);
}
