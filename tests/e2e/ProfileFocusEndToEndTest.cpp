// Which window's profile is in force, and which window comes forward, as the
// keyboard focus and the pointer move between three probe windows: the
// keyboard brings back a window's profile after a click elsewhere, and a hover
// activation only ever brings forward the window the pointer still rests over.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "Settings.h"
#include "TempFolder.h"
#include "ThreadLock.h"
#include "TimerThread.h"
#include "WaitFor.h"
#include "WindowActivation.h"

using namespace brmptest;

namespace
{
const wchar_t kFirstTitle[] = L"Brmp Focus First";
const wchar_t kSecondTitle[] = L"Brmp Focus Second";
const wchar_t kElsewhereTitle[] = L"Brmp Focus Elsewhere";

struct Options
{
    bool mouseOver = true;
    bool firstActivatesOnHover = false;
    int hoverDelayMs = 1500;
};

class ProfileFocusEndToEnd : public ProbeSuite<ProfileFocusEndToEnd>
{
protected:
    ProfileFocusEndToEnd() : ProbeSuite(L"ProfileFocus") {}

    static void SetUpTestSuite()
    {
        StartProbes({Placed(kFirstTitle, RECT{20, 60, 420, 560}), Placed(kSecondTitle, RECT{440, 60, 840, 560}),
                     Placed(kElsewhereTitle, RECT{860, 60, 1260, 560})});
    }
    static Probe& First() { return ProbeAt(0); }
    static Probe& Second() { return ProbeAt(1); }
    static Probe& Elsewhere() { return ProbeAt(2); }

    // The first two windows have profiles of their own; the keyboard hook
    // watches Ctrl and Alt while layer keys are on.
    static ::testing::AssertionResult LoadAndHook(const Options& options)
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = options.mouseOver;
        settings.m_bActivateOnMouseOver = false;
        settings.m_nActivateOnMouseOverDelay = options.hoverDelayMs;
        settings.m_bLayerModifierKeys = true;
        CApplicationSettings* first = AddProbeProfile(settings, kFirstTitle);
        first->ActivateOnHover(options.firstActivatesOnHover);
        first->SetActions(Middle, 0, ACTION_DISABLE);
        CApplicationSettings* second = AddProbeProfile(settings, kSecondTitle);
        second->SetActions(Middle, 0, ACTION_DISABLE);
        return IsolatedSettings::LoadAndHook(settings);
    }

    static bool InForce(const wchar_t* title)
    {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == title;
    }

    // Two moves, so that the pointer really moves to the centre of the probe.
    static ::testing::AssertionResult MoveOver(Probe& probe)
    {
        const POINT at = probe.Center();
        return PhysicalInput::Run({L"mousemove", std::to_wstring(at.x - 3), std::to_wstring(at.y), L"mousemove",
                                   std::to_wstring(at.x), std::to_wstring(at.y)});
    }

    // Once the timer thread has taken a request posted now, it has finished
    // whatever it was doing when the request was posted.
    static ::testing::AssertionResult TimerThreadFence()
    {
        ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, 600000, nullptr, nullptr);
        if (!WaitFor([] { return g_idJigglerTimer != 0; }))
            return ::testing::AssertionFailure() << "the timer thread never took the request";
        ProxyKillTimer(nullptr, ID_TIMER_JIGGLER);
        if (!WaitFor([] { return g_idJigglerTimer == 0; }))
            return ::testing::AssertionFailure() << "the timer thread never took the kill request";
        return ::testing::AssertionSuccess();
    }

};

} // namespace

TEST_F(ProfileFocusEndToEnd, TheKeyboardFocusBringsAWindowsProfileBackAfterAClickElsewhere)
{
    Options options;
    options.mouseOver = false;
    ASSERT_TRUE(LoadAndHook(options));

    ASSERT_TRUE(Second().Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    ASSERT_TRUE(WaitFor([] { return InForce(kSecondTitle); })) << "the keyboard focus never switched the profile";

    ASSERT_TRUE(First().Activate());
    const POINT at = First().Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle); })) << "the click never switched the profile";

    // Back to the window the keyboard switched to before.
    ASSERT_TRUE(Second().Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    EXPECT_TRUE(WaitFor([] { return InForce(kSecondTitle); })) << "the keyboard refused to switch back";
}

TEST_F(ProfileFocusEndToEnd, MovingOnToAWindowWhoseProfileDoesNotActivateCancelsAPendingActivation)
{
    Options options;
    options.firstActivatesOnHover = true;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(Elsewhere().Activate());
    First().Clear();

    ASSERT_TRUE(MoveOver(First()));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle) && g_idActivateOnHoverTimer != 0; }))
        << "resting over the first window armed no activation";
    ASSERT_TRUE(MoveOver(Second()));
    ASSERT_TRUE(WaitFor([] { return InForce(kSecondTitle); }));
    ASSERT_TRUE(TimerThreadFence());
    EXPECT_EQ(g_idActivateOnHoverTimer, 0u) << "the first window's activation is still to come";
    EXPECT_FALSE(First().IsFocused());
    EXPECT_TRUE(First().Records(Named(L"WM_ACTIVATE", L"state", WA_ACTIVE)).empty()) << First().Describe();
}

TEST_F(ProfileFocusEndToEnd, AnActivationThatComesDueActivatesNoWindowThePointerHasLeft)
{
    // The activation can come due after the pointer went on and before the
    // look-up of the window it reached: the engine is busy while the pointer
    // moves on, and the activation's timer fires then (called here while the
    // lock is still held, as the timer thread would call it).
    Options options;
    options.firstActivatesOnHover = true;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(Elsewhere().Activate());

    ASSERT_TRUE(MoveOver(First()));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle) && g_idActivateOnHoverTimer != 0; }))
        << "resting over the first window armed no activation";
    First().Clear();
    {
        CThreadLock busy(L"ProfileFocusEndToEnd");
        ASSERT_TRUE(MoveOver(Second()));
        const POINT at = Second().Center();
        ASSERT_TRUE(WaitFor([&] {
            POINT cursor{};
            return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
        }));
        ActivateWindowTimerProc(nullptr, WM_TIMER, g_idActivateOnHoverTimer, 0);
    }
    // Once the engine is free the resting pointer brings the second window's
    // profile, which ends the first one's activation.
    ASSERT_TRUE(WaitFor([] { return InForce(kSecondTitle) && g_idActivateOnHoverTimer == 0; }, 10000))
        << "the resting pointer never brought its window's profile";
    ASSERT_TRUE(TimerThreadFence());
    EXPECT_NE(::GetForegroundWindow(), First().Window());
    EXPECT_TRUE(First().Records(Named(L"WM_ACTIVATE", L"state", WA_ACTIVE)).empty()) << First().Describe();
}
