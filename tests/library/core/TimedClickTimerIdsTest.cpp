// A timed-click press keeps the ids of its two window timers only while they
// run: the system hands a dead id to the next timer of the thread, which a
// later reset of the press would otherwise kill.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "ApplicationSettings.h"
#include "Settings.h"
#include "TimedClickPresses.h"
#include "TimedClicks.h"
#include "WaitFor.h"

namespace
{
int g_timerCalls = 0;
int g_abortCalls = 0;

void CountTimer(CBRMPTimedClicks*, CBRMPTimedClick*, DWORD)
{
    ++g_timerCalls;
}

void CountAbort(CBRMPTimedClicks*, CBRMPTimedClick*, DWORD, POINT)
{
    ++g_abortCalls;
}

void NoStep(CSPIThread*, int, int) {}
void NoRestore() {}

class TimedClickTimerIds : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_timerCalls = 0;
        g_abortCalls = 0;
        SetTimedClickCursorFunctions(NoStep, NoRestore);
        m_profile = std::make_unique<CApplicationSettings>(m_settings.get(), false, 1);
    }
    void TearDown() override
    {
        m_list.Reset();
        SetTimedClickCursorFunctions(nullptr, nullptr);
        EXPECT_EQ(CountTimedClickTimers(), 0);
    }

    // Entries 0 and last enabled, the last one after lastMs.
    void Press(int last, int lastMs)
    {
        for (int i = 0; i < TimedClickCount; ++i)
            m_list.SetEnabled(i, i == 0 || i == last);
        m_list.SetTime(0, 0);
        m_list.SetTime(last, lastMs);
        m_list.SetPressed(CountTimer, CountAbort, Left, 0, false, nullptr, POINT{10, 10}, m_profile.get(), nullptr);
    }

    std::unique_ptr<CSettings> m_settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    std::unique_ptr<CApplicationSettings> m_profile;
    CBRMPTimedClicks m_list;
};
} // namespace

TEST_F(TimedClickTimerIds, AFiredClickTimerLeavesNoIdBehind)
{
    Press(1, 30);
    ASSERT_NE(m_list.GetClickTimerId(), 0u);
    ASSERT_TRUE(brmptest::WaitFor([] { return g_timerCalls == 1; })) << "the click timer never fired";
    EXPECT_EQ(m_list.GetClickTimerId(), 0u) << "the id of a timer that fired is still kept";
    // The feedback timer of entry 1 came at the same time and ended the steps.
    ASSERT_TRUE(brmptest::WaitFor([&] { return m_list.GetFeedbackTimerId() == 0; }));
}

TEST_F(TimedClickTimerIds, AnAbortedPressLeavesNoIdBehind)
{
    Press(3, 60000);
    ASSERT_NE(m_list.GetClickTimerId(), 0u);
    ASSERT_NE(m_list.GetFeedbackTimerId(), 0u);
    m_list.Abort(POINT{500, 500}, false);
    EXPECT_EQ(g_abortCalls, 1);
    EXPECT_EQ(m_list.GetClickTimerId(), 0u);
    EXPECT_EQ(m_list.GetFeedbackTimerId(), 0u);
    EXPECT_EQ(CountTimedClickTimers(), 0);
}
