// The repeat timer and the timer-queue slots: repeats reach the window while
// held and end for good when stopped, also when a stop races a repetition; a
// repetition that ends its repeat leaves a new one its marks.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "EngineTestSupport.h"
#include "HookedProbeTest.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "Logger.h"
#include "LayerTestSupport.h"
#include "EngineInput.h"
#include "Probe.h"
#include "RepeatTimers.h"
#include "ThreadLock.h"

using brmptest::Named;

namespace
{
std::atomic<int> g_fired[TimerSlotCount];

void CALLBACK CountingCallback(PVOID slot, BOOLEAN)
{
    const int id = static_cast<int>(reinterpret_cast<INT_PTR>(slot));
    if (id >= 0 && id < TimerSlotCount)
        ++g_fired[id];
}

void CALLBACK OtherCallback(PVOID, BOOLEAN)
{
    g_fired[0] += 100;
}

class QueueTimerSlots : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_debug = CLogger::DebugEnabled();
        CLogger::EnableDebug(true);
        for (auto& count : g_fired)
            count = 0;
    }
    void TearDown() override
    {
        CLogger::EnableDebug(m_debug);
        for (int slot = 1; slot < ID_TIMER_REPEAT_SLOT; ++slot)
            StopQTTimer(slot, true);
    }
    bool m_debug = false;
};

TEST_F(QueueTimerSlots, AOneShotTimerFiresOnceWithItsSlotAndEmptiesNothingElse)
{
    ASSERT_TRUE(StartQTTimer(5, CountingCallback, 3));
    EXPECT_TRUE(enginetest::WaitFor([] { return g_fired[3].load() == 1; }));
    EXPECT_EQ(g_fired[1].load() + g_fired[2].load() + g_fired[4].load(), 0);
}

TEST_F(QueueTimerSlots, AStoppedTimerNeverFiresAndASecondStopReportsNothingDeleted)
{
    ASSERT_TRUE(StartQTTimer(60000, CountingCallback, 2));
    EXPECT_TRUE(QTTimerActive(2));
    EXPECT_TRUE(StopQTTimer(2, false));
    EXPECT_FALSE(QTTimerActive(2));
    EXPECT_FALSE(StopQTTimer(2, false));
}

TEST_F(QueueTimerSlots, ArmingAnOccupiedSlotReplacesItsTimer)
{
    ASSERT_TRUE(StartQTTimer(60000, OtherCallback, 1));
    ASSERT_TRUE(StartQTTimer(5, CountingCallback, 1));
    EXPECT_TRUE(enginetest::WaitFor([] { return g_fired[1].load() == 1; }));
    EXPECT_EQ(g_fired[0].load(), 0) << "the replaced timer still ran";
}

TEST_F(QueueTimerSlots, SlotsOutsideTheTableAndTheRepeatSlotAreRefused)
{
    const size_t offset = enginetest::LogSize();
    EXPECT_FALSE(StopQTTimer(ID_TIMER_REPEAT_SLOT, false));
    EXPECT_NE(enginetest::LogSince(offset).find("Invalid call to StopQTTimer for ID_TIMER_REPEAT"), std::string::npos);
    for (int slot : {-1, 0, ID_TIMER_REPEAT_SLOT, TimerSlotCount, 1000})
    {
        EXPECT_FALSE(StartQTTimer(5, CountingCallback, slot)) << slot;
        EXPECT_FALSE(StopQTTimer(slot, true)) << slot;
    }
}

TEST(KeyRepeatDelays, TheWaitHoldTimeIsAddedToTheSlotsOwnDelayOrTheDefault)
{
    struct Case
    {
        int waitHold, keyRepeat, defaultDelay, expected;
    } cases[] = {
        {0, 0, 100, 100},        // no own delay: the default
        {40, 250, 100, 290},     // own delay replaces the default
        {40, 0, 100, 140},
        {-5, 0, 100, 100},       // a damaged wait time does not shorten the repeat
        {0, 0, 0, 1},            // never a busy repeat
        {0x7FFFFFFF, 0x7FFFFFFF, 0, 0x7FFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyRepeatDelay(c.waitHold, c.keyRepeat, c.defaultDelay), c.expected)
            << c.waitHold << " " << c.keyRepeat << " " << c.defaultDelay;
}

// Repeats through the real hooks and the real simulated-input thread.
class RepeatEndToEnd : public enginetest::HookedProbeTest
{
protected:
    RepeatEndToEnd() : HookedProbeTest(true) {}

    void SetUp() override
    {
        m_debug = CLogger::DebugEnabled();
        CLogger::EnableDebug(true);
        m_savedDelay = g_nRepeatDelay.load();
        HookedProbeTest::SetUp();
        if (HasFatalFailure())
            return;
        // The probe's window is the one in force, so the repeat's profile check keeps the test profile.
        g_engine.hCurrentWnd = m_probe->Window();
        g_nRepeatDelay = 20;
    }
    void TearDown() override
    {
        CLogger::EnableDebug(m_debug);
        StopRepeat();
        g_nRepeatDelay = m_savedDelay;
        HookedProbeTest::TearDown();
    }
    size_t Wheels() { return m_probe->Records(Named(L"WM_MOUSEWHEEL")).size(); }

    // A fence on the repetitions' own road: a one-shot multimedia timer, due
    // afterMs from now, queues F9 for the probe. The multimedia timer thread
    // runs its callbacks one after another in the order they fall due, and the
    // simulated-input queue sends in order: once the probe has this F9, every
    // repetition due before it has arrived.
    ::testing::AssertionResult RepeatFence(UINT afterMs)
    {
        const size_t before = m_probe->Records(Named(L"WM_KEYUP", L"vk", VK_F9)).size();
        const UINT timer = ::timeSetEvent(afterMs, 1, &QueueFenceKey, 0, TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
        if (timer == 0)
            return ::testing::AssertionFailure() << "no multimedia timer for the fence";
        if (m_probe->WaitForRecords(Named(L"WM_KEYUP", L"vk", VK_F9), before + 1).size() <= before)
            return ::testing::AssertionFailure() << "the fence key never arrived\n" << m_probe->Describe();
        return ::testing::AssertionSuccess();
    }
    static void CALLBACK QueueFenceKey(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { SendKey(VK_F9, false, 0, 0); }

    int m_savedDelay = 100;
    bool m_debug = false;
};

TEST_F(RepeatEndToEnd, AWheelRepeatReachesTheWindowAgainAndAgainUntilStopped)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_UP);
    ASSERT_TRUE(StartRepeat(2, 20));
    const auto records = m_probe->WaitForRecords(Named(L"WM_MOUSEWHEEL"), 3);
    ASSERT_GE(records.size(), 3u) << m_probe->Describe();
    for (const auto& record : records)
        EXPECT_GT(record.Value(L"delta"), 0);

    StopRepeat();
    EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
    EXPECT_EQ(g_nRepeatButton.load(), -1);
    // A repetition that was running at the stop may still land (the first
    // fence lets it); after that, none in five times the repeat's delay.
    ASSERT_TRUE(RepeatFence(1));
    const size_t settled = Wheels();
    ASSERT_TRUE(RepeatFence(100));
    EXPECT_EQ(Wheels(), settled) << m_probe->Describe();
}

TEST_F(RepeatEndToEnd, HoldingAButtonMappedToWheelDownRepeatsAndItsReleaseStopsTheRepeat)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_DOWN);
    BYTE fixUp = 0, block = 0, click = 0;
    ASSERT_EQ(ProcessButton(2, 1, true, m_probe->Center(), fixUp, block, click), 1);
    const auto records = m_probe->WaitForRecords(Named(L"WM_MOUSEWHEEL"), 3, 10000);
    ASSERT_GE(records.size(), 3u) << m_probe->Describe();
    EXPECT_LT(records.back().Value(L"delta"), 0);

    ProcessButton(2, 2, true, m_probe->Center(), fixUp, block, click);
    EXPECT_EQ(g_nRepeatButton.load(), -1);
    EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
}

TEST_F(RepeatEndToEnd, ARepeatStoppedWhileItsTickWaitsForTheLockNeverComesBack)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_UP);
    const size_t offset = enginetest::LogSize();
    {
        // Holding the lock makes every tick retry; the stop comes while one is pending.
        CThreadLock lock(L"RepeatTimersTest busy");
        ASSERT_TRUE(StartRepeat(2, 5));
        ASSERT_TRUE(enginetest::WaitFor([&] {
            return enginetest::LogSince(offset).find("Unable to enter thread lock") != std::string::npos;
        }));
        StopRepeat();
    }
    // Ten periods of the repeat later, nothing came back.
    ASSERT_TRUE(RepeatFence(50));
    EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
    EXPECT_TRUE(m_probe->Records(Named(L"WM_MOUSEWHEEL")).empty()) << m_probe->Describe();
}

TEST_F(RepeatEndToEnd, ARepeatEndsWhenTheWindowUnderItBelongsToAnotherProfile)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_UP);
    // The window in force is not the foreground probe: its profile (the default) differs.
    g_engine.hCurrentWnd = ::GetDesktopWindow();
    const size_t offset = enginetest::LogSize();
    ASSERT_TRUE(StartRepeat(2, 10));
    EXPECT_TRUE(enginetest::WaitFor([] { return g_nRepeatButton.load() == -1; }));
    EXPECT_NE(enginetest::LogSince(offset).find("Cancelling repeat timer"), std::string::npos);
    EXPECT_TRUE(m_probe->Records(Named(L"WM_MOUSEWHEEL")).empty()) << m_probe->Describe();
}

// The lock's clock is read as the lock is let go: there this one starts a
// repeat, as the hook thread does the moment it gets the lock.
std::atomic<DWORD> g_startRepeatOn{0};
DWORD StartRepeatAsTheLockGoes()
{
    const DWORD self = ::GetCurrentThreadId();
    if (g_startRepeatOn.load() == self && CThreadLock::m_sdwOwner == self && CThreadLock::m_snEntryCount == 1 &&
        g_nRepeatButton.load() < 0 && g_startRepeatOn.exchange(0) == self)
        StartRepeat(2, 60000);
    return ::GetTickCount();
}

TEST_F(RepeatEndToEnd, ARepetitionThatEndsItsRepeatLeavesTheMarksOfOneStartedAsItLetsTheLockGo)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_UP);
    // The window in force is not the foreground probe: the repetition finds
    // another profile and ends the repeat.
    g_engine.hCurrentWnd = ::GetDesktopWindow();
    ASSERT_TRUE(StartRepeat(2, 60000));
    g_startRepeatOn = ::GetCurrentThreadId();
    SetLockTickSource(StartRepeatAsTheLockGoes);
    RepeatTimerProc(g_idRepeatTimer.load(), 0, ID_TIMER_REPEAT_SLOT, 0, 0);
    SetLockTickSource(nullptr);
    ASSERT_EQ(g_startRepeatOn.load(), 0u) << "no repeat started as the lock went";
    EXPECT_TRUE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
    EXPECT_NE(g_idRepeatTimer.load(), 0u) << "the new repeat lost its timer's mark";
    EXPECT_TRUE(g_held.AnythingHeld()) << "the new repeat is not held";
}
} // namespace
