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

class ProfileFocusEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_started = Start(s_first, kFirstTitle, RECT{20, 60, 420, 560});
        if (s_started)
            s_started = Start(s_second, kSecondTitle, RECT{440, 60, 840, 560});
        if (s_started)
            s_started = Start(s_elsewhere, kElsewhereTitle, RECT{860, 60, 1260, 560});
    }
    static void TearDownTestSuite()
    {
        s_first.reset();
        s_second.reset();
        s_elsewhere.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"ProfileFocus", m_folder.Path()));
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        m_isolated.End();
    }

    static ::testing::AssertionResult Start(std::unique_ptr<Probe>& probe, const wchar_t* title, RECT rect)
    {
        ProbeOptions options;
        options.title = title;
        options.rect = rect;
        probe = std::make_unique<Probe>(options);
        return probe->Start();
    }

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

    TempFolder m_folder{L"brmpfocus"};
    IsolatedSettings m_isolated;
    static std::unique_ptr<Probe> s_first;
    static std::unique_ptr<Probe> s_second;
    static std::unique_ptr<Probe> s_elsewhere;
    static ::testing::AssertionResult s_started;
};

std::unique_ptr<Probe> ProfileFocusEndToEnd::s_first;
std::unique_ptr<Probe> ProfileFocusEndToEnd::s_second;
std::unique_ptr<Probe> ProfileFocusEndToEnd::s_elsewhere;
::testing::AssertionResult ProfileFocusEndToEnd::s_started = ::testing::AssertionFailure();
} // namespace

TEST_F(ProfileFocusEndToEnd, TheKeyboardFocusBringsAWindowsProfileBackAfterAClickElsewhere)
{
    Options options;
    options.mouseOver = false;
    ASSERT_TRUE(LoadAndHook(options));

    ASSERT_TRUE(s_second->Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    ASSERT_TRUE(WaitFor([] { return InForce(kSecondTitle); })) << "the keyboard focus never switched the profile";

    ASSERT_TRUE(s_first->Activate());
    const POINT at = s_first->Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle); })) << "the click never switched the profile";

    // Back to the window the keyboard switched to before.
    ASSERT_TRUE(s_second->Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    EXPECT_TRUE(WaitFor([] { return InForce(kSecondTitle); })) << "the keyboard refused to switch back";
}

TEST_F(ProfileFocusEndToEnd, MovingOnToAWindowWhoseProfileDoesNotActivateCancelsAPendingActivation)
{
    Options options;
    options.firstActivatesOnHover = true;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(s_elsewhere->Activate());
    s_first->Clear();

    ASSERT_TRUE(MoveOver(*s_first));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle) && g_idActivateOnHoverTimer != 0; }))
        << "resting over the first window armed no activation";
    ASSERT_TRUE(MoveOver(*s_second));
    ASSERT_TRUE(WaitFor([] { return InForce(kSecondTitle); }));
    ASSERT_TRUE(TimerThreadFence());
    EXPECT_EQ(g_idActivateOnHoverTimer, 0u) << "the first window's activation is still to come";
    EXPECT_FALSE(s_first->IsFocused());
    EXPECT_TRUE(s_first->Records(Named(L"WM_ACTIVATE", L"state", WA_ACTIVE)).empty()) << s_first->Describe();
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
    ASSERT_TRUE(s_elsewhere->Activate());

    ASSERT_TRUE(MoveOver(*s_first));
    ASSERT_TRUE(WaitFor([] { return InForce(kFirstTitle) && g_idActivateOnHoverTimer != 0; }))
        << "resting over the first window armed no activation";
    s_first->Clear();
    {
        CThreadLock busy(L"ProfileFocusEndToEnd");
        ASSERT_TRUE(MoveOver(*s_second));
        const POINT at = s_second->Center();
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
    EXPECT_NE(::GetForegroundWindow(), s_first->Window());
    EXPECT_TRUE(s_first->Records(Named(L"WM_ACTIVATE", L"state", WA_ACTIVE)).empty()) << s_first->Describe();
}
