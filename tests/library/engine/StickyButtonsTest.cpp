// Sticky buttons and keys: the first press holds, the second press and release
// let go, and the resets end what is held without touching the calling button.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "EngineTestSupport.h"
#include "HookedProbeTest.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Probe.h"
#include "RepeatTimers.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"

using brmptest::Named;

namespace
{
TEST(StickyMachine, EachPressAndReleaseMovesTheStateAsTheHoldRequires)
{
    struct Case
    {
        const char* what;
        int state, kind;
        bool downSeen;
        int next;
        bool consumed;
        int press;
    } cases[] = {
        {"first press holds the button", 0, 1, false, 1, true, 1},
        {"release after the first press is eaten", 1, 2, true, 1, true, 0},
        {"second press arms the release", 1, 1, true, 2, true, 0},
        {"second release lets go", 2, 2, true, 0, true, 2},
        {"a release without a sticky press engages", 0, 2, true, 1, true, 1},
        {"a state beyond armed lets go on release", 7, 2, true, 0, true, 2},
        {"a release whose press the engine never saw is not ours", 1, 2, false, 1, false, 0},
        {"a double click is not ours", 1, 3, true, 1, false, 0},
    };
    for (const Case& c : cases)
    {
        const StickyStep step = StickyTransition(c.state, c.kind, c.downSeen);
        EXPECT_EQ(step.state, c.next) << c.what;
        EXPECT_EQ(step.consumed, c.consumed) << c.what;
        EXPECT_EQ(step.press, c.press) << c.what;
    }
}

class StickyEndToEnd : public enginetest::HookedProbeTest
{
protected:
    StickyEndToEnd() : HookedProbeTest(true) {}

    void SetUp() override
    {
        HookedProbeTest::SetUp();
        if (HasFatalFailure())
            return;
        ForgetStickyStates();
        g_held.Forget();
        g_engine.hCurrentWnd = m_probe->Window();
    }
    void TearDown() override
    {
        if (m_probe)
            ResetAllSticky(m_probe->Center());
        StopRepeat();
        HookedProbeTest::TearDown();
    }
    int Button(int button, int kind)
    {
        BYTE fixUp = 0, block = 0, click = 0;
        return ProcessButton(button, kind, true, m_probe->Center(), fixUp, block, click);
    }
};

TEST_F(StickyEndToEnd, AStickyLeftPressesOnTheFirstClickAndReleasesOnTheSecond)
{
    m_guard->Profile()->SetActions(2, 0, ACTION_STICKY_LEFT);
    EXPECT_EQ(Button(2, 1), 1);
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << m_probe->Describe();
    EXPECT_EQ(Button(2, 2), 1);
    EXPECT_EQ(g_nStickyState[STICKY_LEFT], 1) << "the button stays held after the first release";
    EXPECT_EQ(Button(2, 1), 1);
    EXPECT_EQ(g_nStickyState[STICKY_LEFT], 2);
    EXPECT_EQ(Button(2, 2), 1);
    EXPECT_EQ(g_nStickyState[STICKY_LEFT], 0);
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_LBUTTONUP"))) << m_probe->Describe();
    EXPECT_EQ(m_probe->Records(Named(L"WM_LBUTTONDOWN")).size(), 1u) << m_probe->Describe();
    EXPECT_EQ(m_probe->Records(Named(L"WM_LBUTTONUP")).size(), 1u) << m_probe->Describe();
}

TEST_F(StickyEndToEnd, TheOutValueTellsWhenTheButtonWasPressedAndWhenReleased)
{
    const POINT point = m_probe->Center();
    int out = -1;
    EXPECT_TRUE(StickyButton(point, nullptr, 4, STICKY_RIGHT, 1, &out));
    EXPECT_EQ(out, 1);
    g_held.Pressed(4, HeldSource::User);
    EXPECT_TRUE(StickyButton(point, nullptr, 4, STICKY_RIGHT, 2, &out));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(StickyButton(point, nullptr, 4, STICKY_RIGHT, 1, &out));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(StickyButton(point, nullptr, 4, STICKY_RIGHT, 2, &out));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(StickyButton(point, nullptr, 4, 9, 1, &out)) << "a kind beyond the buttons is refused";
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_RBUTTONUP"))) << m_probe->Describe();
}

TEST_F(StickyEndToEnd, ResettingOtherStickiesLeavesTheCallingButtonsOwnHoldAlone)
{
    CApplicationSettings* profile = m_guard->Profile();
    profile->SetActions(3, 0, ACTION_STICKY_MIDDLE);
    SetStickyState(STICKY_MIDDLE, 1);

    ResetOtherSticky(m_probe->Center(), 3, false);
    EXPECT_EQ(g_nStickyState[STICKY_MIDDLE], 1) << "the calling button's slot on the current layer is skipped";

    ResetOtherSticky(m_probe->Center(), 4, false);
    EXPECT_EQ(g_nStickyState[STICKY_MIDDLE], 0) << "another button ends it";
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_MBUTTONUP"))) << m_probe->Describe();
}

TEST_F(StickyEndToEnd, AStickyHoldKeepsItsKeysUntilTheSecondReleaseOrAReset)
{
    const POINT point = m_probe->Center();
    EXPECT_TRUE(StickyKeyHold(point, nullptr, 3, 0, L"{SHIFT}", 1));
    EXPECT_STREQ(GetStickyKeys(3, 0), L"{SHIFT}");
    g_held.Pressed(3, HeldSource::User);
    EXPECT_TRUE(StickyKeyHold(point, nullptr, 3, 0, L"{SHIFT}", 2));
    EXPECT_TRUE(StickyKeyHold(point, nullptr, 3, 0, L"{SHIFT}", 1));
    EXPECT_EQ(g_nStickyState[STICKY_KEYHOLD], 2);
    EXPECT_TRUE(StickyKeyHold(point, nullptr, 3, 0, L"{SHIFT}", 2));
    EXPECT_EQ(g_nStickyState[STICKY_KEYHOLD], 0);
    EXPECT_STREQ(GetStickyKeys(3, 0), L"");

    EXPECT_TRUE(StickyKeyHold(point, nullptr, 3, 0, L"{SHIFT}", 1));
    ResetAllSticky(point);
    EXPECT_EQ(g_nStickyState[STICKY_KEYHOLD], 0);
    EXPECT_STREQ(GetStickyKeys(3, 0), L"") << "a reset releases the held keys";
    EXPECT_TRUE(enginetest::WaitFor([] { return (::GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0; }));
    EXPECT_FALSE(StickyKeyHold(point, nullptr, 9, 0, L"x", 1)) << "a slot outside the profile is refused";
}

TEST_F(StickyEndToEnd, ASecondStickyRepeatOnAnotherButtonFirstEndsTheRunningOne)
{
    const POINT point = m_probe->Center();
    ASSERT_TRUE(StickyKeyRepeat(point, nullptr, 3, 0, L"a", 60000));
    EXPECT_EQ(g_nRepeatButton.load(), 3);
    EXPECT_STREQ(GetStickyKeys(3, 0), L"a");

    ASSERT_TRUE(StickyKeyRepeat(point, nullptr, 4, 0, L"b", 60000));
    EXPECT_EQ(g_nRepeatButton.load(), 4);
    EXPECT_STREQ(GetStickyKeys(3, 0), L"") << "the first repeat's keys were released";
    EXPECT_STREQ(GetStickyKeys(4, 0), L"b");

    // The repeating button pressed again ends its own repeat.
    ASSERT_TRUE(StickyKeyRepeat(point, nullptr, 4, 0, L"b", 60000));
    EXPECT_EQ(g_nRepeatButton.load(), -1);
    EXPECT_EQ(g_nStickyState[STICKY_KEYREPEAT], 0);
    EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
}

TEST_F(StickyEndToEnd, ResettingTheSlowCursorLetsTheNextPressSlowItAgain)
{
    const bool allowed = g_pSettings->m_bAllowSetSpeed;
    g_pSettings->m_bAllowSetSpeed = false;   // leave the system's speed alone
    SetStickyState(STICKY_SLOWCURSOR, 1);
    ResetSticky(m_probe->Center(), STICKY_SLOWCURSOR, 0, -1);
    g_pSettings->m_bAllowSetSpeed = allowed;
    EXPECT_EQ(g_nStickyState[STICKY_SLOWCURSOR], 0);
}

TEST_F(StickyEndToEnd, ResetsWithKindsOrSlotsOutsideTheTablesDoNothing)
{
    const POINT point = m_probe->Center();
    for (int kind : {-1, static_cast<int>(StickyKindCount), 1000})
        ResetSticky(point, kind, 0, -1);
    ResetSticky(point, STICKY_KEYHOLD, 42, 42);
    EXPECT_STREQ(GetStickyKeys(-1, 0), L"");
    EXPECT_STREQ(GetStickyKeys(0, 10), L"");
}
} // namespace
