// Installing and removing the hooks with real threads and real low-level hooks.

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "HeldInput.h"
#include "HookThread.h"
#include "Hooks.h"
#include "Logger.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "ThreadStop.h"
#include "TimerThread.h"

using namespace enginetest;

namespace
{
HANDLE Duplicate(HANDLE thread)
{
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION,
                      FALSE, 0);
    return copy;
}

DWORD ExitCode(HANDLE thread)
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeThread(thread, &code);
    return code;
}

// Another thread holds the logger's lock until Release: a thread stopped
// meanwhile cannot be terminated, since it might hold that lock itself.
class LoggerLockHeldElsewhere
{
public:
    LoggerLockHeldElsewhere()
    {
        m_thread = std::thread([this] {
            CLogger::GetLock();
            ::SetEvent(m_holding);
            ::WaitForSingleObject(m_release, INFINITE);
            CLogger::ReleaseLock();
        });
        m_held = ::WaitForSingleObject(m_holding, 10000) == WAIT_OBJECT_0;
    }
    ~LoggerLockHeldElsewhere()
    {
        Release();
        ::CloseHandle(m_holding);
        ::CloseHandle(m_release);
    }
    bool Held() const { return m_held; }
    void Release()
    {
        ::SetEvent(m_release);
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    HANDLE m_holding = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread m_thread;
    bool m_held = false;
};

class HookLifetime : public ::testing::Test
{
protected:
    void TearDown() override
    {
        RemoveMouseHook(false);
        SetThreadStopTimeouts(0, 0);
    }
};
}

TEST_F(HookLifetime, SetMouseHookInstallsBothHooksBeforeItReturns)
{
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(SetMouseHook());
    // It returned on the hook thread's start signal, not on the 10 s time-out.
    EXPECT_LT(::GetTickCount64() - start, 10000u);
    EXPECT_NE(g_threads.hMouseHook, nullptr);
    EXPECT_NE(g_threads.hKeyHook, nullptr);
    EXPECT_NE(g_threads.hHookThread, nullptr);
    EXPECT_NE(g_threads.hTimerThread, nullptr);
    EXPECT_NE(g_threads.dwHookThreadId, 0u);
    EXPECT_NE(g_threads.dwTimerThreadId, 0u);
    EXPECT_EQ(::GetThreadPriority(g_threads.hHookThread), THREAD_PRIORITY_TIME_CRITICAL);
    HANDLE named = ::OpenEventW(SYNCHRONIZE, FALSE, L"Local\\HooksStartWaitEvent");
    EXPECT_NE(named, nullptr) << "the start event is the named one other processes can see";
    if (named != nullptr)
        ::CloseHandle(named);
}

TEST_F(HookLifetime, ASecondSetMouseHookReplacesTheRunningThreadsAndClearsTheButtonState)
{
    ASSERT_TRUE(SetMouseHook());
    const DWORD hookTid = g_threads.dwHookThreadId;
    const DWORD timerTid = g_threads.dwTimerThreadId;
    g_held.Pressed(0, HeldSource::User);

    ASSERT_TRUE(SetMouseHook());
    EXPECT_NE(g_threads.hMouseHook, nullptr);
    EXPECT_NE(g_threads.hKeyHook, nullptr);
    EXPECT_NE(g_threads.dwHookThreadId, 0u);
    EXPECT_NE(g_threads.dwHookThreadId, hookTid) << "a new hook thread";
    EXPECT_NE(g_threads.dwTimerThreadId, timerTid) << "a new timer thread";
    EXPECT_FALSE(g_held.UserHolds(0));
}

TEST_F(HookLifetime, RemoveMouseHookEndsBothThreadsOnRequestWithoutTerminatingThem)
{
    ASSERT_TRUE(SetMouseHook());
    HANDLE hook = Duplicate(g_threads.hHookThread);
    HANDLE timer = Duplicate(g_threads.hTimerThread);
    ASSERT_NE(hook, nullptr);
    ASSERT_NE(timer, nullptr);
    const long forcedBefore = GetForcedThreadTerminations();
    const size_t logAt = LogSize();

    const ULONGLONG start = ::GetTickCount64();
    EXPECT_TRUE(RemoveMouseHook(false));
    EXPECT_LT(::GetTickCount64() - start, 1000u);

    EXPECT_EQ(::WaitForSingleObject(hook, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(timer, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(hook), 0u) << "a terminated thread ends with -1";
    EXPECT_EQ(ExitCode(timer), 0u);
    EXPECT_EQ(GetForcedThreadTerminations(), forcedBefore);
    EXPECT_EQ(LogSince(logAt).find("terminating it"), std::string::npos);

    EXPECT_EQ(g_threads.hMouseHook, nullptr);
    EXPECT_EQ(g_threads.hKeyHook, nullptr);
    EXPECT_EQ(g_threads.hHookThread, nullptr);
    EXPECT_EQ(g_threads.hTimerThread, nullptr);
    EXPECT_EQ(g_threads.dwHookThreadId, 0u);
    EXPECT_EQ(g_threads.dwTimerThreadId, 0u);
    EXPECT_EQ(g_threads.hHookExitEvent, nullptr);
    EXPECT_EQ(g_threads.hTimerExitEvent, nullptr);
    EXPECT_EQ(g_threads.pSPIThread, nullptr) << "the hook thread deletes its workers on its way out";
    EXPECT_EQ(g_threads.pBrightness, nullptr);
    ::CloseHandle(hook);
    ::CloseHandle(timer);
}

TEST_F(HookLifetime, RemoveMouseHookWithNothingRunningNorLeftToRestoreReturnsFalseAndChangesNoSetting)
{
    MouseStateGuard guard;
    // Puts back what a stop without the restore (an earlier test's) left.
    RemoveMouseHook(true);
    // A value that differs from the start-up one, which a restore would undo.
    const UINT changedLines = static_cast<UINT>(g_system.nStartupWheelLines) == 7u ? 8u : 7u;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, changedLines, nullptr, 0));

    EXPECT_FALSE(RemoveMouseHook(true));

    UINT lines = 0;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    EXPECT_EQ(lines, changedLines);
}

TEST_F(HookLifetime, HooksCanBeInstalledAndRemovedRepeatedlyWithoutAStopRequestGettingLost)
{
    const long forcedBefore = GetForcedThreadTerminations();
    // A stop request that arrives while the threads are still starting must
    // not be lost: each pair ends on request.
    SetThreadStopTimeouts(3000, 500);
    for (int round = 0; round < 5; ++round)
    {
        ASSERT_TRUE(SetMouseHook()) << "round " << round;
        ASSERT_TRUE(RemoveMouseHook(false)) << "round " << round;
    }
    EXPECT_EQ(GetForcedThreadTerminations(), forcedBefore);
}

TEST_F(HookLifetime, SetMouseHookClearsThePerButtonState)
{
    g_held.Pressed(0, HeldSource::User);
    g_held.TookOver(8);
    g_held.ReleaseTakenByChord(4);
    ASSERT_TRUE(SetMouseHook());
    EXPECT_FALSE(g_held.AnythingHeld());
    EXPECT_FALSE(g_held.ChordTookRelease(4));
}

TEST_F(HookLifetime, AStrayTimerRequestOnTheHookThreadIsIgnoredAndTheLoopGoesOn)
{
    ASSERT_TRUE(SetMouseHook());
    HANDLE hook = Duplicate(g_threads.hHookThread);
    const HHOOK before = g_threads.hMouseHook;
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_SetTimer, 0x1015, 100));
    // A re-install request behind it is still served: the loop did not end.
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_BOTH, 0));
    EXPECT_TRUE(WaitFor([&] { return g_threads.hMouseHook != nullptr && g_threads.hMouseHook != before; }));
    EXPECT_EQ(::WaitForSingleObject(hook, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_NE(g_threads.hKeyHook, nullptr);
    ::CloseHandle(hook);
}

TEST_F(HookLifetime, ReinstallRequestsReplaceOnlyTheHooksTheyName)
{
    ASSERT_TRUE(SetMouseHook());
    struct Case
    {
        WPARAM which;
        bool mouseChanges;
        bool keyChanges;
    };
    const Case cases[] = {{WP_MOUSEHOOK, true, false}, {WP_KEYHOOK, false, true}, {WP_BOTH, true, true}};
    for (const Case& c : cases)
    {
        const HHOOK mouse = g_threads.hMouseHook;
        const HHOOK key = g_threads.hKeyHook;
        ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, c.which, 0));
        // Hold on until the last hook the request names has changed.
        ASSERT_TRUE(WaitFor([&] { return c.keyChanges ? g_threads.hKeyHook != key : g_threads.hMouseHook != mouse; })) << c.which;
        EXPECT_EQ(g_threads.hMouseHook != mouse, c.mouseChanges) << c.which;
        EXPECT_EQ(g_threads.hKeyHook != key, c.keyChanges) << c.which;
        EXPECT_NE(g_threads.hMouseHook, nullptr);
        EXPECT_NE(g_threads.hKeyHook, nullptr);
    }
}

TEST_F(HookLifetime, ASetMouseHookThatCannotCreateTheStartEventLeavesNothingRunning)
{
    // Another object holds the start event's name, so the event cannot be made.
    if (g_threads.hHooksStartWaitEvent != nullptr)
    {
        ::CloseHandle(g_threads.hHooksStartWaitEvent);
        g_threads.hHooksStartWaitEvent = nullptr;
    }
    HANDLE squatter = ::CreateMutexW(nullptr, FALSE, L"Local\\HooksStartWaitEvent");
    ASSERT_NE(squatter, nullptr);

    EXPECT_FALSE(SetMouseHook());
    EXPECT_EQ(g_threads.hTimerThread, nullptr) << "the timer thread already started is stopped again";
    EXPECT_EQ(g_threads.dwTimerThreadId, 0u);
    EXPECT_EQ(g_threads.hTimerExitEvent, nullptr);
    EXPECT_EQ(g_threads.hHookThread, nullptr);
    EXPECT_EQ(g_threads.hMouseHook, nullptr);
    ::CloseHandle(squatter);

    // Nothing was left behind that would refuse the next call.
    EXPECT_TRUE(SetMouseHook());
}

TEST_F(HookLifetime, ThreadsThatHangAreTerminatedAndALockALiveThreadOwnsIsLeftAlone)
{
    SetThreadStopTimeouts(300, 200);
    ASSERT_TRUE(SetMouseHook());
    HANDLE hook = Duplicate(g_threads.hHookThread);
    const long forcedBefore = GetForcedThreadTerminations();
    {
        // This thread holds the global lock, so neither the timer thread nor
        // the hook thread can finish their clean-up: both are terminated. The
        // lock is this thread's and must survive that.
        CThreadLock held(L"HookLifetimeTest");
        EXPECT_TRUE(RemoveMouseHook(false));
        EXPECT_EQ(CThreadLock::m_sdwOwner, ::GetCurrentThreadId());
        EXPECT_EQ(CThreadLock::m_snEntryCount, 1);
    }
    EXPECT_EQ(GetForcedThreadTerminations(), forcedBefore + 2);
    EXPECT_EQ(ExitCode(hook), static_cast<DWORD>(-1));
    EXPECT_EQ(g_threads.hMouseHook, nullptr) << "the system removed the dead thread's hooks";
    EXPECT_EQ(CThreadLock::m_sdwOwner, 0u);
    ::CloseHandle(hook);
    // The killed waiters are still counted by the lock; nobody owns it now, so
    // it can be made anew (what the stop sequence does when it finds it free).
    CThreadLock::ResetGlobalCS();
    EXPECT_TRUE(CThreadLock::TryEnterCS(L"HookLifetimeTest after"));
    CThreadLock::LeaveCS();
    // The next installation works as usual.
    SetThreadStopTimeouts(0, 0);
    EXPECT_TRUE(SetMouseHook());
}

TEST_F(HookLifetime, AThreadTheStopCannotEndKeepsWhatItUsesAndNoSecondPairStartsBesideIt)
{
    SetThreadStopTimeouts(300, 200);
    ASSERT_TRUE(SetMouseHook());
    const HANDLE hookThread = g_threads.hHookThread;
    const HANDLE timerThread = g_threads.hTimerThread;
    HANDLE hook = Duplicate(hookThread);
    HANDLE timer = Duplicate(timerThread);
    const HHOOK mouseHook = g_threads.hMouseHook;
    const void* const sendInput = g_threads.pSendInput;
    // This thread's own lines do not wait for the logger's lock either.
    CDeferredLogWrites deferred;
    LoggerLockHeldElsewhere loggerLock;
    ASSERT_TRUE(loggerLock.Held());
    {
        // Neither thread can finish its clean-up while this thread holds the
        // global lock, nor be killed while the logger's lock is taken.
        CThreadLock held(L"HookLifetimeTest");
        EXPECT_FALSE(RemoveMouseHook(false)) << "the stop reported success";
        EXPECT_EQ(g_threads.hHookThread, hookThread);
        EXPECT_EQ(g_threads.hTimerThread, timerThread);
        EXPECT_EQ(g_threads.hMouseHook, mouseHook);
        EXPECT_EQ(g_threads.pSendInput, sendInput) << "the running thread's workers were deleted";
        EXPECT_NE(g_threads.hHookExitEvent, nullptr);

        EXPECT_FALSE(SetMouseHook());
        EXPECT_EQ(g_threads.hHookThread, hookThread) << "a second hook thread beside the first";
        EXPECT_EQ(g_threads.hTimerThread, timerThread);
    }
    loggerLock.Release();
    // Free to go on, both end on the request they kept.
    EXPECT_EQ(::WaitForSingleObject(hook, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(::WaitForSingleObject(timer, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(ExitCode(hook), 0u);
    ::CloseHandle(hook);
    ::CloseHandle(timer);
    EXPECT_TRUE(RemoveMouseHook(false));
    EXPECT_EQ(g_threads.hHookThread, nullptr);
    SetThreadStopTimeouts(0, 0);
    EXPECT_TRUE(SetMouseHook());
}

namespace
{
HANDLE g_timerHeld = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE g_timerRelease = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
void CALLBACK HoldingTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    ::SetEvent(g_timerHeld);
    ::WaitForSingleObject(g_timerRelease, INFINITE);
}
}

TEST_F(HookLifetime, AStopThatCanEndAllButTheTimerThreadStillGivesTheUserHisMouseSettingsBack)
{
    const bool allowBefore = g_pSettings->m_bAllowSetSpeed;
    g_pSettings->m_bAllowSetSpeed = true;
    MouseStateGuard guard;
    SetThreadStopTimeouts(300, 200);
    ASSERT_TRUE(SetMouseHook());
    ::ResetEvent(g_timerHeld);
    ::ResetEvent(g_timerRelease);
    SetTimerThreadHandler(ID_TIMER_JIGGLER, HoldingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 10, nullptr, nullptr);
    ASSERT_EQ(::WaitForSingleObject(g_timerHeld, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    // The stop may wait for the timer thread but not kill it.
    const HANDLE timerThread = g_threads.hTimerThread;
    g_threads.hTimerThread = Duplicate(timerThread);
    const MouseState changed = MouseState::UnlikeStartup();
    changed.Write();

    EXPECT_FALSE(RemoveMouseHook(true)) << "the stop reported success";
    EXPECT_EQ(g_threads.hHookThread, nullptr) << "the hook thread was left running";
    EXPECT_NE(g_threads.hTimerThread, nullptr);
    const MouseState now = MouseState::Read();
    EXPECT_EQ(now.speed, g_system.nStartupMouseSpeed);
    EXPECT_TRUE(now.SameMouse(g_system.nStartupMouse));
    EXPECT_EQ(now.swap, g_system.nStartupSwapButtons);
    EXPECT_EQ(static_cast<int>(now.wheelLines), g_system.nDefaultWheelLines);

    ::SetEvent(g_timerRelease);
    EXPECT_TRUE(RemoveMouseHook(false));
    ::CloseHandle(timerThread);
    SetTimerThreadHandler(ID_TIMER_JIGGLER, nullptr);
    g_pSettings->m_bAllowSetSpeed = allowBefore;
}
