// The held-back chord press and the delayed button-up of a taken-over wheel
// notch: each fires once, never waits on the lock, and a reload leaves no
// timer and no record behind.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ChordTimers.h"
#include "Chords.h"
#include "EngineResets.h"
#include "EngineTestSupport.h"
#include "HookedProbeTest.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "Logger.h"
#include "LayerTestSupport.h"
#include "Probe.h"
#include "RepeatTimers.h"
#include "ScrollTimers.h"
#include "ThreadLock.h"

using brmptest::Named;

namespace
{
class ChordAndScrollTimers : public enginetest::HookedProbeTest
{
protected:
    ChordAndScrollTimers() : HookedProbeTest(true) {}

    void SetUp() override
    {
        m_debug = CLogger::DebugEnabled();
        CLogger::EnableDebug(true);
        HookedProbeTest::SetUp();
    }
    void TearDown() override
    {
        CLogger::EnableDebug(m_debug);
        AbandonChord();
        DropPendingScroll();
        HookedProbeTest::TearDown();
    }

    CBRMPChord m_chord;
    bool m_debug = false;
};

TEST_F(ChordAndScrollTimers, AChordTimeOutGivesTheHeldBackPressToTheWindowAndEndsTheChord)
{
    // The middle button does nothing of its own here, so its press goes to the system.
    m_guard->Profile()->SetActions(2, 0, ACTION_NO_CHANGE);
    {
        CThreadLock lock(L"ChordTimersTest");
        g_pGlobalChord = &m_chord;
        ASSERT_TRUE(SetPendingChord(2, m_probe->Center(), 10));
    }
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << m_probe->Describe();
    EXPECT_TRUE(enginetest::WaitFor([] { return g_pPendingChord == nullptr; }));
    EXPECT_EQ(g_pGlobalChord, nullptr);
    EXPECT_FALSE(QTTimerActive(ID_QTTIMER_CHORD));
    // The system saw a press: give it its release.
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
    ::SendInput(1, &up, sizeof(up));
}

TEST_F(ChordAndScrollTimers, AnAbandonedChordDropsItsPressAndItsTimeOut)
{
    {
        CThreadLock lock(L"ChordTimersTest");
        g_pGlobalChord = &m_chord;
        ASSERT_TRUE(SetPendingChord(2, m_probe->Center(), 60000));
    }
    EXPECT_TRUE(QTTimerActive(ID_QTTIMER_CHORD));
    AbandonChord();
    EXPECT_EQ(g_pPendingChord, nullptr);
    EXPECT_EQ(g_pGlobalChord, nullptr);
    EXPECT_FALSE(QTTimerActive(ID_QTTIMER_CHORD));
}

TEST_F(ChordAndScrollTimers, ATimeOutThatFindsTheLockBusyComesBackInsteadOfWaitingOrGettingLost)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_DISABLE);   // the press is taken over: nothing reaches the window
    const size_t offset = enginetest::LogSize();
    {
        CThreadLock lock(L"ChordTimersTest busy");
        g_pGlobalChord = &m_chord;
        ASSERT_TRUE(SetPendingChord(2, m_probe->Center(), 5));
        // Several retries pass while the lock is held; the record survives them.
        ASSERT_TRUE(enginetest::WaitFor([&] {
            const std::string log = enginetest::LogSince(offset);
            const size_t first = log.find("HChordTimerCallback: Lock busy");
            return first != std::string::npos && log.find("HChordTimerCallback: Lock busy", first + 1) != std::string::npos;
        }));
        EXPECT_NE(g_pPendingChord, nullptr);
    }
    EXPECT_TRUE(enginetest::WaitFor([] { return g_pPendingChord == nullptr; }));
    EXPECT_EQ(g_pGlobalChord, nullptr);
    EXPECT_NE(enginetest::LogSince(offset).find("HChordTimerCallback: Releasing global chord"), std::string::npos);
}

TEST_F(ChordAndScrollTimers, TheDelayedTiltUpReleasesTheButtonOnceAfterTheInterval)
{
    g_held.TookOver(6);
    ASSERT_TRUE(SetPendingScroll(1, 6, m_probe->Center(), m_guard->Profile(), 10));
    // The record goes first, then the button is released: wait for both.
    EXPECT_TRUE(enginetest::WaitFor([] { return g_pPendingScroll == nullptr && !g_held.TookOverPress(6); }));
    EXPECT_FALSE(QTTimerActive(ID_QTTIMER_HSCROLL));
}

TEST_F(ChordAndScrollTimers, ScrollRecordsWithAnUnknownAxisAreRefused)
{
    for (int kind : {0, 3, -1})
    {
        EXPECT_FALSE(SetPendingScroll(kind, 7, POINT{}, nullptr, 10)) << kind;
        EXPECT_EQ(g_pPendingScroll, nullptr);
    }
}

TEST_F(ChordAndScrollTimers, AReloadLeavesNoTimerRecordOrRepeatThatCouldReachTheOldProfiles)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_MOUSE_WHEEL_UP);
    {
        CThreadLock lock(L"ChordTimersTest reload");
        g_pGlobalChord = &m_chord;
        ASSERT_TRUE(SetPendingChord(2, m_probe->Center(), 60000));
        ASSERT_TRUE(SetPendingScroll(2, 7, m_probe->Center(), m_guard->Profile(), 60000));
        ASSERT_TRUE(StartRepeat(2, 60000));
        RunEngineResets(EngineResetReason::SettingsReload, m_probe->Center());
    }
    EXPECT_EQ(g_pPendingChord, nullptr);
    EXPECT_EQ(g_pGlobalChord, nullptr);
    EXPECT_EQ(g_pPendingScroll, nullptr);
    EXPECT_EQ(g_nRepeatButton.load(), -1);
    for (int slot = 1; slot < TimerSlotCount; ++slot)
        EXPECT_FALSE(QTTimerActive(slot)) << slot;
}
} // namespace
