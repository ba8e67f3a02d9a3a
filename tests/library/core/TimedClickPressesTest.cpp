// A timed-click press: which entry the release performs by how long the button
// was held (virtual clock), move aborts, and the real click and overlay timers
// on this thread (bounded polls).

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include <memory>
#include <vector>

#include "ApplicationSettings.h"
#include "Clock.h"
#include "Settings.h"
#include "TimedClickPresses.h"
#include "TimedClicks.h"
#include "WaitFor.h"

namespace
{
struct Fired
{
    int entry;      // index in the list, -1 for another pointer
    DWORD time;
    bool abort;
    POINT point;
};

std::vector<Fired> g_fired;
std::vector<int> g_steps;
int g_restores = 0;
DWORD g_now = 0;

CBRMPTimedClicks* g_list = nullptr;

int IndexOf(CBRMPTimedClick* entry)
{
    for (int i = 0; i < TimedClickCount; ++i)
    {
        if (g_list != nullptr && g_list->GetTimedClick(i) == entry)
            return i;
    }
    return -1;
}

void OnTimer(CBRMPTimedClicks*, CBRMPTimedClick* entry, DWORD time)
{
    g_fired.push_back({IndexOf(entry), time, false, {0, 0}});
}

void OnAbort(CBRMPTimedClicks*, CBRMPTimedClick* entry, DWORD time, POINT point)
{
    g_fired.push_back({IndexOf(entry), time, true, point});
}

void RecordStep(CSPIThread*, int step, int)
{
    g_steps.push_back(step);
}

void RecordRestore()
{
    ++g_restores;
}

DWORD VirtualNow()
{
    return g_now;
}

// Stands in for the SPI thread: the recording seam never touches it.
CSPIThread* const kFakeSPI = reinterpret_cast<CSPIThread*>(static_cast<UINT_PTR>(0x5150));

class TimedClickPress : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings->m_nChangeCursorHeld = 1;
        m_profile = std::make_unique<CApplicationSettings>(m_settings.get(), false, 1);
        m_list = std::make_unique<CBRMPTimedClicks>();
        g_list = m_list.get();
        g_fired.clear();
        g_steps.clear();
        g_restores = 0;
        g_now = 50000;
        SetTimedClickCursorFunctions(RecordStep, RecordRestore);
    }
    void TearDown() override
    {
        m_list.reset();
        g_list = nullptr;
        SetTickSource(nullptr);
        SetTimedClickCursorFunctions(nullptr, nullptr);
        EXPECT_EQ(CountTimedClickTimers(), 0) << "a press left timers in the tables";
    }

    void Enable(const std::vector<std::pair<int, int>>& entries)
    {
        for (int i = 0; i < TimedClickCount; ++i)
            m_list->SetEnabled(i, false);
        for (const auto& [index, time] : entries)
        {
            m_list->SetEnabled(index, true);
            m_list->SetTime(index, time);
        }
    }

    void Press(POINT point = {500, 500}, bool virtualClock = true)
    {
        SetTickSource(virtualClock ? VirtualNow : nullptr);
        m_list->SetPressed(OnTimer, OnAbort, Left, 2, false, nullptr, point, m_profile.get(), kFakeSPI);
    }

    int ChosenAfter(DWORD held)
    {
        g_now += held;
        CBRMPTimedClick* chosen = m_list->GetClickAction();
        return chosen == nullptr ? -1 : IndexOf(chosen);
    }

    std::unique_ptr<CSettings> m_settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    std::unique_ptr<CApplicationSettings> m_profile;
    std::unique_ptr<CBRMPTimedClicks> m_list;
};
}

TEST_F(TimedClickPress, TheReleaseChoosesTheEntryOfTheLongestTimeReached)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<int, int>> enabled;
        DWORD held;
        int chosen;
    };
    const Case cases[] = {
        {"short press", {{0, 0}, {1, 500}}, 300, 0},
        {"past entry 1", {{0, 0}, {1, 500}}, 700, 1},
        {"exactly at entry 1's time is not past it", {{0, 0}, {1, 500}}, 500, 0},
        {"one past entry 1's time", {{0, 0}, {1, 500}}, 501, 1},
        {"disabled entries in between are skipped", {{0, 0}, {2, 1000}}, 900, 0},
        {"released in the tick of the press, entry 3 disabled", {{0, 0}, {1, 500}}, 0, -1},
        {"released in the tick of the press, entry 3 enabled", {{0, 0}, {3, 1500}}, 0, 3},
        {"every entry", {{0, 0}, {1, 500}, {2, 1000}, {3, 1500}}, 1200, 2},
        {"no entry enabled answers from entry 0's time", {}, 10, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Enable(c.enabled);
        Press();
        EXPECT_EQ(ChosenAfter(c.held), c.chosen);
        m_list->Reset();
    }
}

TEST_F(TimedClickPress, HoldingTimeSurvivesTheTickCountWrapping)
{
    Enable({{0, 0}, {1, 500}});
    g_now = 0xFFFFFF00u;
    Press();
    EXPECT_EQ(ChosenAfter(0x200), 1) << "512 ms across the wrap";
    m_list->Reset();
}

TEST_F(TimedClickPress, MovingBeyondTheAbortDistanceAbortsTheHold)
{
    struct Case
    {
        const char* name;
        bool abortOnMove, abortOnMove2;
        POINT move;
        bool fired;
        int entry;
        bool viaAbortCallback;
    };
    const Case cases[] = {
        {"exactly the distance does nothing", true, false, {505, 495}, false, 0, false},
        {"one pixel more on y presses entry 0 at once", true, false, {500, 506}, true, 0, true},
        {"one pixel more on x, negative direction", true, false, {494, 500}, true, 0, true},
        {"the second kind performs the last enabled entry", false, true, {520, 500}, true, 2, false},
        {"with both kinds the first wins", true, true, {520, 500}, true, 0, true},
        {"no abort option, no abort", false, false, {900, 900}, false, 0, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        g_fired.clear();
        Enable({{0, 0}, {1, 500}, {2, 1000}});
        m_list->SetAbortPixels(5);
        m_list->SetAbortOnMouseMove(c.abortOnMove);
        m_list->SetAbort2OnMouseMove(c.abortOnMove2);
        Press();
        g_now += 100;
        m_list->CheckAbort(c.move);
        ASSERT_EQ(g_fired.size(), c.fired ? 1u : 0u);
        if (c.fired)
        {
            EXPECT_EQ(g_fired[0].entry, c.entry);
            EXPECT_EQ(g_fired[0].abort, c.viaAbortCallback);
            if (c.viaAbortCallback)
            {
                EXPECT_EQ(g_fired[0].time, static_cast<DWORD>(-100)) << "press time minus now";
                EXPECT_EQ(g_fired[0].point.y, c.move.y);
            }
            else
                EXPECT_EQ(g_fired[0].time, 10000000u);
            EXPECT_TRUE(m_list->GetAborted());
            // A second move past the distance does not abort again.
            m_list->CheckAbort(POINT{c.move.x + 50, c.move.y});
            EXPECT_EQ(g_fired.size(), 1u);
        }
        m_list->Reset();
    }
}

TEST_F(TimedClickPress, AnAbortedShortPressIsEntryZeroWhateverTheTime)
{
    Enable({{0, 0}, {1, 500}});
    m_list->SetAbortOnMouseMove(true);
    Press();
    m_list->CheckAbort(POINT{600, 500});
    EXPECT_EQ(ChosenAfter(5000), 0);
    EXPECT_EQ(g_restores, 1) << "ChangeHeld 1 restores the cursors at the abort";
    m_list->Reset();
    EXPECT_FALSE(m_list->GetAborted());
    EXPECT_EQ(m_list->GetTimerCallback(), nullptr);
    EXPECT_EQ(m_list->GetProfile(), nullptr);
}

TEST_F(TimedClickPress, TheLastEnabledEntryFiresWhenItsTimeComesAndThenNoMoveAborts)
{
    Enable({{0, 0}, {1, 40}});
    m_list->SetAbortOnMouseMove(true);
    Press({500, 500}, false);
    ASSERT_TRUE(brmptest::WaitFor([] { return !g_fired.empty(); })) << "the click timer never fired";
    ASSERT_EQ(g_fired.size(), 1u);
    EXPECT_EQ(g_fired[0].entry, 1);
    EXPECT_FALSE(g_fired[0].abort);
    EXPECT_FALSE(m_list->GetPending());
    EXPECT_TRUE(m_list->GetExecuted());

    m_list->CheckAbort(POINT{900, 900});
    EXPECT_FALSE(m_list->GetAborted()) << "past the last entry a move changes nothing";
    EXPECT_EQ(g_fired.size(), 1u);
    m_list->Reset();
}

TEST_F(TimedClickPress, TheOverlayStepsThroughTheEnabledEntries)
{
    // Entries 0 and 3: the first feedback timer comes at entry 1's time and
    // moves straight to step 3; the click timer fires later.
    Enable({{0, 0}, {3, 400}});
    m_list->SetTime(1, 30);
    Press({500, 500}, false);
    EXPECT_EQ(g_steps, std::vector<int>{0});
    ASSERT_TRUE(brmptest::WaitFor([] { return g_steps.size() >= 2; })) << "the feedback timer never fired";
    EXPECT_EQ(g_steps[1], 3);
    EXPECT_EQ(m_list->GetFeedbackStep(), 3);
    ASSERT_TRUE(brmptest::WaitFor([] { return !g_fired.empty(); }));
    EXPECT_EQ(g_fired[0].entry, 3);
    m_list->Reset();
    EXPECT_EQ(g_restores, 1);
}

TEST_F(TimedClickPress, OnlyEntryThreeEnabledShowsStepThreeAndArmsNoFeedbackTimer)
{
    Enable({{3, 1500}});
    Press();
    EXPECT_EQ(g_steps, std::vector<int>{3});
    EXPECT_NE(m_list->GetClickTimerId(), 0u);
    EXPECT_EQ(m_list->GetFeedbackTimerId(), 0u);
    EXPECT_EQ(CountTimedClickTimers(), 1);
    m_list->Reset();
}

TEST_F(TimedClickPress, NoOverlayWithoutTheCursorOptionOrAnSPIThread)
{
    Enable({{0, 0}, {1, 500}});
    m_settings->m_nChangeCursorHeld = 0;
    Press();
    m_list->Reset();
    EXPECT_EQ(g_restores, 0) << "ChangeHeld 0 never restores";
    SetTickSource(VirtualNow);
    m_list->SetPressed(OnTimer, OnAbort, Left, 0, false, nullptr, POINT{1, 1}, m_profile.get(), nullptr);
    EXPECT_EQ(g_steps, std::vector<int>{0}) << "only the first press (mode 0) showed its step";
    m_list->Reset();
}

TEST_F(TimedClickPress, APressWithoutResetDoesNotLeaveTheOldTimersRunning)
{
    Enable({{0, 0}, {1, 40}});
    Press({500, 500}, false);
    Press({500, 500}, false);
    EXPECT_EQ(CountTimedClickTimers(), 2) << "one click and one feedback timer";
    ASSERT_TRUE(brmptest::WaitFor([] { return !g_fired.empty(); }));
    // A timer of this thread (the presses' timers are this thread's too) that
    // falls due after a stray timer of the first press would have: once it
    // has fired, the stray one had its chance.
    static std::atomic<bool> fenced;
    fenced = false;
    ASSERT_NE(::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
                  ::KillTimer(nullptr, id);
                  fenced = true;
              }),
              0u);
    ASSERT_TRUE(brmptest::WaitFor([] { return fenced.load(); }));
    EXPECT_EQ(g_fired.size(), 1u);
    m_list->Reset();
}

TEST_F(TimedClickPress, AListThatGoesAwayDuringAPressLeavesNoTimerBehind)
{
    Enable({{0, 0}, {1, 40}});
    Press({500, 500}, false);
    const UINT_PTR id = m_list->GetClickTimerId();
    ASSERT_NE(id, 0u);
    EXPECT_EQ(FindTimedClickTimer(id), m_list.get());
    m_list.reset();
    g_list = nullptr;
    EXPECT_EQ(FindTimedClickTimer(id), nullptr);
    // A late tick of that id reaches nothing.
    CBRMPTimedClicks::TimedClickTimer(nullptr, WM_TIMER, id, 0);
    EXPECT_TRUE(g_fired.empty());
}

TEST_F(TimedClickPress, ACopyOfAListInUseCarriesNoPress)
{
    Enable({{0, 0}, {1, 500}});
    Press();
    CBRMPTimedClicks copy(*m_list);
    EXPECT_EQ(copy.GetClickTimerId(), 0u);
    EXPECT_EQ(copy.GetTimerCallback(), nullptr);
    EXPECT_EQ(copy.GetButton(), NoButton);
    EXPECT_TRUE(copy.GetEnabled(1));
    m_list->Reset();
}
