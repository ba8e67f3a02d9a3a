// The timer thread: every timer of the library is set, run and killed there,
// whichever thread asks.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "HookThread.h"
#include "Hooks.h"
#include "Logger.h"
#include "Settings.h"
#include "TimerThread.h"

using namespace enginetest;

namespace
{
std::atomic<int> g_calls{0};
std::atomic<DWORD> g_callThread{0};
std::atomic<bool> g_killOnFirstCall{false};

void CALLBACK CountingTimer(HWND, UINT, UINT_PTR, DWORD)
{
    g_callThread = ::GetCurrentThreadId();
    if (g_calls.fetch_add(1) == 0 && g_killOnFirstCall.load())
        ProxyKillTimer(nullptr, ID_TIMER_MOUSEOVER);
}

std::atomic<HWND> g_activated{nullptr};
std::atomic<DWORD> g_activateThread{0};
void RecordActivation(HWND window)
{
    g_activateThread = ::GetCurrentThreadId();
    g_activated = window;
}

class TimerThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_calls = 0;
        g_callThread = 0;
        g_killOnFirstCall = false;
        // Without mouse-over switching the engine runs no poll of its own on
        // the mouse-over timer: its slot is free for these tests.
        ASSERT_NE(g_pSettings, nullptr);
        m_switch = g_pSettings->m_bSwitchOnMouseOver;
        m_activate = g_pSettings->m_bActivateOnMouseOver;
        g_pSettings->m_bSwitchOnMouseOver = false;
        g_pSettings->m_bActivateOnMouseOver = false;
        ASSERT_TRUE(SetMouseHook());
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        g_pSettings->m_bSwitchOnMouseOver = m_switch;
        g_pSettings->m_bActivateOnMouseOver = m_activate;
        for (UINT_PTR id : {ID_TIMER_KEYSWITCH, ID_TIMER_ACTIVATEONHOVER, ID_TIMER_AUTOSWITCHLAYER, ID_TIMER_MOUSEOVER,
                            ID_TIMER_RESETHOOK, ID_TIMER_JIGGLER, ID_TIMER_CLEARCURSOR})
            SetTimerThreadHandler(id, nullptr);
        SetTimerThreadRequestHandlers(nullptr, nullptr);
    }

    bool m_switch = true;
    bool m_activate = false;
};
}

TEST_F(TimerThreadTest, ATimerStartedFromAnotherThreadRunsOnTheTimerThread)
{
    SetTimerThreadHandler(ID_TIMER_JIGGLER, CountingTimer);
    EXPECT_EQ(ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 10, nullptr, nullptr), 0u) << "posted, not set here";
    ASSERT_TRUE(WaitFor([] { return g_calls.load() >= 2; }));
    EXPECT_EQ(g_callThread.load(), g_threads.dwTimerThreadId);
    EXPECT_NE(g_idJigglerTimer, 0u);
    EXPECT_EQ(GetTimerId(ID_TIMER_JIGGLER), g_idJigglerTimer);
}

TEST_F(TimerThreadTest, ATimerKilledFromAnotherThreadIsKilledByItsOwnThread)
{
    SetTimerThreadHandler(ID_TIMER_RESETHOOK, CountingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_RESETHOOK, 10, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return g_calls.load() >= 1; }));
    ASSERT_NE(g_idResetHookTimer, 0u);

    EXPECT_FALSE(ProxyKillTimer(nullptr, ID_TIMER_RESETHOOK)) << "posted, not killed here";
    // The stored id is cleared only when KillTimer succeeded on the owning thread.
    EXPECT_TRUE(WaitFor([] { return g_idResetHookTimer == 0; }));
}

TEST_F(TimerThreadTest, RefusedAndUnknownTimerIdsStartNothingAndTheRefusalsAreLogged)
{
    const bool debug = CLogger::DebugEnabled();
    CLogger::EnableDebug(true);
    const size_t logAt = LogSize();
    const UINT_PTR slots[] = {g_idKeySwitchTimer, g_idActivateOnHoverTimer, g_idAutoSwitchLayerTimer, g_idMouseOverTimer,
                              g_idResetHookTimer, g_idJigglerTimer, g_idClearCursorTimer};

    ProxySetTimer(nullptr, 0, ID_TIMER_REPEAT, 10, nullptr, nullptr);
    ProxySetTimer(nullptr, 0, ID_TIMER_SCROLLLINE, 10, nullptr, nullptr);
    ProxySetTimer(nullptr, 0, 0x1011, 10, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());

    const std::string log = LogSince(logAt);
    CLogger::EnableDebug(debug);
    EXPECT_NE(log.find("ProxyStartTimer called with ID_TIMER_REPEAT which is no longer valid. Use SetQTTime instead!!!"),
              std::string::npos);
    EXPECT_NE(log.find("Invalid call to Set Scroll Line Timer on the Timer Thread (should use SPI Thread)"), std::string::npos);
    EXPECT_EQ(log.find("Started"), std::string::npos) << log;
    const UINT_PTR after[] = {g_idKeySwitchTimer, g_idActivateOnHoverTimer, g_idAutoSwitchLayerTimer, g_idMouseOverTimer,
                              g_idResetHookTimer, g_idJigglerTimer, g_idClearCursorTimer};
    for (size_t i = 0; i < std::size(slots); ++i)
        EXPECT_EQ(after[i], slots[i]) << i;
}

TEST_F(TimerThreadTest, AMouseOverRequestWhileThatTimerRunsDoesNotRestartIt)
{
    SetTimerThreadHandler(ID_TIMER_MOUSEOVER, CountingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, 5000, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());
    const UINT_PTR first = g_idMouseOverTimer;
    ASSERT_NE(first, 0u);

    ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, 10, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());
    EXPECT_EQ(g_idMouseOverTimer, first);
    EXPECT_EQ(g_calls.load(), 0) << "the 5 s timer kept its period";
}

TEST_F(TimerThreadTest, OtherTimersRestartWithTheNewPeriod)
{
    SetTimerThreadHandler(ID_TIMER_AUTOSWITCHLAYER, CountingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_AUTOSWITCHLAYER, 60000, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());
    ASSERT_NE(g_idAutoSwitchLayerTimer, 0u);

    ProxySetTimer(nullptr, 0, ID_TIMER_AUTOSWITCHLAYER, 10, nullptr, nullptr);
    EXPECT_TRUE(WaitFor([] { return g_calls.load() >= 1; })) << "the one-minute timer was replaced by a 10 ms one";
}

TEST_F(TimerThreadTest, AMouseOverTimerKilledOnTheTimerThreadCanBeStartedAgain)
{
    // The handler kills its own timer, as the mouse-over handler does when it is done.
    g_killOnFirstCall = true;
    SetTimerThreadHandler(ID_TIMER_MOUSEOVER, CountingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, 10, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return g_calls.load() >= 1; }));
    ASSERT_TRUE(TimerThreadIdle());
    EXPECT_EQ(g_idMouseOverTimer, 0u) << "a stale id would make the slot look busy for ever";

    ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, 10, nullptr, nullptr);
    EXPECT_TRUE(WaitFor([] { return g_calls.load() >= 2; }));
}

TEST_F(TimerThreadTest, TheClearCursorTimerCanBeKilledFromAnotherThread)
{
    SetTimerThreadHandler(ID_TIMER_CLEARCURSOR, CountingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_CLEARCURSOR, 10, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return g_calls.load() >= 1; }));
    ASSERT_NE(g_idClearCursorTimer, 0u);
    ProxyKillTimer(nullptr, ID_TIMER_CLEARCURSOR);
    EXPECT_TRUE(WaitFor([] { return g_idClearCursorTimer == 0; }));
}

TEST_F(TimerThreadTest, KillTimerThreadTimersFromAnotherThreadStopsAllButTheClearCursorTimer)
{
    for (UINT_PTR id : {ID_TIMER_KEYSWITCH, ID_TIMER_JIGGLER, ID_TIMER_CLEARCURSOR})
        ProxySetTimer(nullptr, 0, id, 60000, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());
    ASSERT_NE(g_idKeySwitchTimer, 0u);
    ASSERT_NE(g_idJigglerTimer, 0u);
    ASSERT_NE(g_idClearCursorTimer, 0u);

    KillTimerThreadTimers();
    ASSERT_TRUE(TimerThreadIdle());
    EXPECT_EQ(g_idKeySwitchTimer, 0u);
    EXPECT_EQ(g_idJigglerTimer, 0u);
    EXPECT_NE(g_idClearCursorTimer, 0u);
}

TEST_F(TimerThreadTest, TheTimerThreadKillsItsTimersOnItsWayOut)
{
    ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 60000, nullptr, nullptr);
    ProxySetTimer(nullptr, 0, ID_TIMER_RESETHOOK, 60000, nullptr, nullptr);
    ASSERT_TRUE(TimerThreadIdle());
    ASSERT_NE(g_idJigglerTimer, 0u);
    ASSERT_TRUE(RemoveMouseHook(false));
    EXPECT_EQ(g_idJigglerTimer, 0u);
    EXPECT_EQ(g_idResetHookTimer, 0u);
}

TEST_F(TimerThreadTest, AnActivationRequestRunsOnTheTimerThreadAndEndsTheHoverTimer)
{
    ProxySetTimer(nullptr, 0, ID_TIMER_ACTIVATEONHOVER, 60000, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return g_idActivateOnHoverTimer != 0; }));
    g_activated = nullptr;
    SetTimerThreadRequestHandlers(RecordActivation, nullptr);

    const HWND window = ::GetDesktopWindow();
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_ActivateWindow, reinterpret_cast<WPARAM>(window), 0));
    ASSERT_TRUE(WaitFor([] { return g_activated.load() != nullptr; }));
    EXPECT_EQ(g_activated.load(), window);
    EXPECT_EQ(g_activateThread.load(), g_threads.dwTimerThreadId);
    EXPECT_EQ(g_idActivateOnHoverTimer, 0u);
}

namespace
{
std::atomic<int> g_removeResult{-1};
void CALLBACK RemovingTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_removeResult = RemoveMouseHook(false) ? 1 : 0;
}
}

TEST_F(TimerThreadTest, RemovingTheHooksFromTheTimerThreadItselfIsRefused)
{
    g_removeResult = -1;
    const long forcedBefore = GetForcedThreadTerminations();
    SetTimerThreadHandler(ID_TIMER_JIGGLER, RemovingTimer);
    ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 10, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return g_removeResult.load() != -1; }));
    EXPECT_EQ(g_removeResult.load(), 0);
    EXPECT_NE(g_threads.hMouseHook, nullptr);
    EXPECT_NE(g_threads.dwTimerThreadId, 0u);
    EXPECT_EQ(GetForcedThreadTerminations(), forcedBefore);
}

TEST(TimerWithoutTimerThread, ProxySetTimerSetsTheTimerOnTheCallingThreadWhenNoTimerThreadRuns)
{
    ASSERT_EQ(g_threads.dwTimerThreadId, 0u);
    g_calls = 0;
    UINT_PTR id = 0;
    const UINT_PTR result = ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 10, CountingTimer, &id);
    ASSERT_NE(result, 0u);
    EXPECT_EQ(id, result);
    // Its WM_TIMER comes to this thread's queue.
    EXPECT_TRUE(WaitFor([] { return g_calls.load() >= 1; }));
    EXPECT_EQ(g_callThread.load(), ::GetCurrentThreadId());
    ::KillTimer(nullptr, result);
}
