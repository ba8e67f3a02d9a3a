// Profile targeting on the real road: a settings file with a profile bound to
// one of two probe windows is loaded, the library's hooks are installed in this
// process, and xdotool clicks over the windows. Over the bound window (or the
// bound quarter of it) the right button is remapped to "Disable" and never
// arrives; elsewhere it passes.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <type_traits>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "MouseHook.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"
#include "WindowFacts.h"

using namespace brmptest;

namespace
{
constexpr int kRightButton = 1;
constexpr int kActionDisable = 6;
const wchar_t kBoundTitle[] = L"Brmp Targeted Window";
const wchar_t kOtherTitle[] = L"Brmp Other Window";

class ProfileTargetingEndToEnd : public ProbeSuite<ProfileTargetingEndToEnd>
{
protected:
    ProfileTargetingEndToEnd() : ProbeSuite(L"Targeting") {}

    static void SetUpTestSuite() { StartProbePair(kBoundTitle, kOtherTitle); }
    static Probe& Bound() { return ProbeAt(0); }
    static Probe& Other() { return ProbeAt(1); }

    // A settings file whose one window profile is bound to the bound probe by
    // caption, process and class, limited to the given quarters; its right
    // button is disabled. Then the library loads it and installs its hooks.
    ::testing::AssertionResult LoadAndHook(int quarters, bool switchOnMouseOver = false)
    {
        CSettings settings(false, CMouseInfo());
        CApplicationSettings* profile = AddProbeProfile(settings, kBoundTitle);
        profile->SetDescription(L"Targeted probe");
        profile->SetWindowMask(quarters);
        profile->SetActions(kRightButton, 0, kActionDisable);
        settings.m_bSwitchOnMouseOver = switchOnMouseOver;
        return IsolatedSettings::LoadAndHook(settings);
    }

    // Moves first and clicks once the system reports the cursor there: the
    // hook takes the cursor position as the click's point, and Wine may still
    // report the previous one while a move and a click arrive together.
    static bool ClickWhenThere(POINT at, int button)
    {
        return PhysicalInput::MoveToAndWait(at.x, at.y) && PhysicalInput::Click(button);
    }

    // Right-clicks at the point of the probe and tells whether the probe got
    // the click. A left click after it (never remapped) proves that everything
    // before it has been delivered.
    static ::testing::AssertionResult RightClickArrives(Probe& probe, POINT at, bool& arrived)
    {
        probe.Clear();
        if (!ClickWhenThere(at, PhysicalInput::kRight))
            return ::testing::AssertionFailure() << "xdotool right click failed";
        if (!ClickWhenThere(POINT{at.x + 7, at.y + 5}, PhysicalInput::kLeft))
            return ::testing::AssertionFailure() << "xdotool left click failed";
        if (!probe.WaitForRecord(Named(L"WM_LBUTTONUP")))
            return ::testing::AssertionFailure() << "the fence click never arrived\n" << probe.Describe();
        arrived = !probe.Records(Named(L"WM_RBUTTONDOWN")).empty() || !probe.Records(Named(L"WM_RBUTTONUP")).empty();
        return ::testing::AssertionSuccess();
    }

    static POINT Inside(Probe& probe, double fx, double fy)
    {
        RECT window{};
        ::GetWindowRect(probe.Window(), &window);
        return {window.left + static_cast<LONG>((window.right - window.left) * fx),
                window.top + static_cast<LONG>((window.bottom - window.top) * fy)};
    }

};

} // namespace

// Without the mouse-over switch a click goes to the profile of the window with
// the focus, so each window is activated before it is clicked.
TEST_F(ProfileTargetingEndToEnd, AClickOverTheBoundWindowIsRemappedAndOverTheOtherItPasses)
{
    ASSERT_TRUE(LoadAndHook(WINDOWMASK_ALL));
    struct Case
    {
        const char* name;
        Probe* probe;
        bool arrives;
    };
    const Case cases[] = {
        {"over the bound window", &Bound(), false},
        {"over the other window", &Other(), true},
        {"over the bound window again", &Bound(), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.probe->Activate());
        bool arrived = false;
        ASSERT_TRUE(RightClickArrives(*c.probe, Inside(*c.probe, 0.5, 0.6), arrived));
        EXPECT_EQ(arrived, c.arrives) << c.probe->Describe();
    }
}

// With the mouse-over switch the profile follows the cursor when it rests, into
// another window or another quarter of the same one; the click then goes to
// the profile of the window part under it, whichever window has the focus.
TEST_F(ProfileTargetingEndToEnd, AProfileLimitedToAQuarterAppliesOnlyThere)
{
    ASSERT_TRUE(LoadAndHook(WINDOWMASK_TOPLEFT, true));
    struct Case
    {
        const char* name;
        double fx, fy;
        bool arrives;
    };
    ASSERT_TRUE(Other().Activate());
    const Case cases[] = {
        {"top-left quarter", 0.3, 0.3, false},
        {"bottom-right quarter", 0.7, 0.7, true},
        {"top-right quarter", 0.7, 0.3, true},
        {"top-left quarter again", 0.25, 0.35, false},
        {"bottom-left quarter", 0.3, 0.7, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const POINT at = Inside(Bound(), c.fx, c.fy);
        ASSERT_TRUE(PhysicalInput::MoveTo(at.x, at.y));
        const bool switched = WaitFor([&] {
            const CApplicationSettings* profile = g_engine.pCurrentApp;
            const bool targeted = profile != nullptr && profile->GetDescription() != nullptr &&
                                  std::wstring(profile->GetDescription()) == L"Targeted probe";
            return targeted == !c.arrives;
        });
        EXPECT_TRUE(switched) << "the profile in force never followed the cursor";
        bool arrived = false;
        ASSERT_TRUE(RightClickArrives(Bound(), at, arrived));
        EXPECT_EQ(arrived, c.arrives) << Bound().Describe();
    }
}

// A button held down keeps the profile of its press: a check of the window
// under the pointer that comes due while the button is held (asked for by the
// move just before the press) is skipped, and the release asks for a new one.
TEST_F(ProfileTargetingEndToEnd, AButtonHeldWhileThePointerMovesOnKeepsTheProfileOfItsPressUntilTheRelease)
{
    ASSERT_TRUE(LoadAndHook(WINDOWMASK_ALL, true));
    const auto targeted = [] {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr &&
               std::wstring(profile->GetDescription()) == L"Targeted probe";
    };
    const POINT bound = Inside(Bound(), 0.5, 0.5);
    ASSERT_TRUE(PhysicalInput::MoveTo(bound.x, bound.y));
    ASSERT_TRUE(WaitFor(targeted)) << "the bound window's profile never came into force";
    ASSERT_TRUE(WaitFor([] { return !MouseOverCheckPending(); }));
    const unsigned taken = MouseOverChecksTaken();

    // A move within the bound window asks for a check; the press follows at
    // once and the pointer goes on to the other window with the button held.
    const POINT other = Inside(Other(), 0.5, 0.5);
    ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(bound.x + 10), std::to_wstring(bound.y + 10), L"mousedown",
                                    L"1", L"mousemove", std::to_wstring(other.x), std::to_wstring(other.y)}));
    const bool checked = WaitFor([&] { return MouseOverChecksTaken() != taken; });
    const bool kept = targeted();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    ASSERT_TRUE(checked) << "the check asked for by the move never came due";
    EXPECT_TRUE(kept) << "the profile changed while the button was held";
    EXPECT_TRUE(WaitFor([&] { return !targeted(); })) << "the release did not lead to the other window's profile";
}

// The hook keeps the class and the process of a window it has looked up; once
// the window is gone (its program closed) the library's timer thread forgets
// them, so that a later window given the same handle is looked up anew.
TEST_F(ProfileTargetingEndToEnd, WhatTheHookKeptOfAWindowIsForgottenOnceTheWindowIsGone)
{
    ASSERT_TRUE(LoadAndHook(WINDOWMASK_ALL));
    ProbeOptions options;
    options.title = L"Brmp Short-lived Window";
    options.rect = RECT{620, 480, 1100, 700};
    Probe passing(options);
    ASSERT_TRUE(passing.Start());
    const HWND window = passing.Window();
    ASSERT_TRUE(passing.Activate());
    bool arrived = false;
    ASSERT_TRUE(RightClickArrives(passing, Inside(passing, 0.5, 0.5), arrived));
    ASSERT_TRUE(arrived) << "no profile is bound to this window\n" << passing.Describe();

    ASSERT_TRUE(passing.Close());
    const bool forgotten = WaitFor([&] {
        // As the hook procedures read facts.
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        wchar_t name[64] = {};
        return !windowfacts::ClassName(window, name, 64);
    });
    EXPECT_TRUE(forgotten) << "the class of a window gone is still given";
}

// A window of the host of "modern UI" apps is named after the app it hosts,
// and what it hosts may change while the window stays: the profile of such a
// window is looked up anew on each click that comes from another window,
// never taken from the windows the hook remembers. Here the frame hosts a
// window of this test's program first, and nothing after.
TEST_F(ProfileTargetingEndToEnd, AWindowOfTheAppFrameHostIsLookedUpAgainAfterWhatItHostsHasChanged)
{
    ProbeOptions options = Placed(L"Brmp Frame Host Window", RECT{620, 480, 1100, 700});
    options.program = L"ApplicationFrameHost.exe";
    Probe frame(options);
    ASSERT_TRUE(frame.Start());
    std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)> hosted(
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 40, 40, frame.Window(), nullptr,
                          ::GetModuleHandleW(nullptr), nullptr),
        &::DestroyWindow);
    ASSERT_NE(hosted, nullptr);

    // The profile of this test's program disables the right button.
    wchar_t path[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    auto* profile = new CApplicationSettings(&settings, false, 1);
    profile->SetApplication(std::wcsrchr(path, L'\\') + 1);
    profile->SetDescription(L"Hosted program");
    profile->SetActions(kRightButton, 0, kActionDisable);
    settings.AddApplication(profile);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    struct Step
    {
        const char* name;
        Probe* probe;
        bool arrives;
    };
    const Step steps[] = {
        {"the frame hosting this program", &frame, false},
        {"another window", &Other(), true},
        {"the frame hosting nothing", &frame, true},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        if (step.probe == &frame && step.arrives)
            hosted.reset();
        ASSERT_TRUE(step.probe->Activate());
        bool arrived = false;
        ASSERT_TRUE(RightClickArrives(*step.probe, Inside(*step.probe, 0.6, 0.6), arrived));
        EXPECT_EQ(arrived, step.arrives) << step.probe->Describe();
    }
}

// Back goes by the kind of window the click's profile decision found, not by
// the window another thread looked up last (here the host of "modern UI" apps,
// whose windows take Back as an X button): a window of its own kind gets the
// command as a message.
TEST_F(ProfileTargetingEndToEnd, BackGoesByTheClickedWindowsKindNotByTheWindowAnotherThreadNamedLast)
{
    ProbeOptions options = Placed(L"Brmp Frame Host Window", RECT{620, 480, 1100, 700});
    options.program = L"ApplicationFrameHost.exe";
    Probe frame(options);
    ASSERT_TRUE(frame.Start());
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    AddProbeProfile(settings, kBoundTitle)->SetActions(kRightButton, 0, ACTION_BACK);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    ASSERT_TRUE(Bound().Activate());
    const POINT at = Inside(Bound(), 0.5, 0.5);
    ASSERT_TRUE(ClickWhenThere(at, PhysicalInput::kLeft));
    ASSERT_TRUE(Bound().WaitForRecord(Named(L"WM_LBUTTONUP"))) << Bound().Describe();
    wchar_t name[MAX_PATH] = {};
    ASSERT_TRUE(GetProcessName(frame.Window(), 0, name, MAX_PATH, nullptr, PNR_MouseMove));
    Bound().Clear();

    ASSERT_TRUE(ClickWhenThere(at, PhysicalInput::kRight));
    ASSERT_TRUE(Bound().WaitForRecord(Named(L"WM_APPCOMMAND"))) << Bound().Describe();
    EXPECT_TRUE(Bound().Records(Named(L"WM_XBUTTONDOWN")).empty()) << "Back went as an X button\n" << Bound().Describe();
}

// A press made before the hooks went in is never seen by them; its release in
// a window whose profile disables the button still goes through, or the
// system would be left with the button held down.
TEST_F(ProfileTargetingEndToEnd, TheReleaseOfAPressMadeBeforeTheHooksPassesWhereTheButtonIsDisabled)
{
    ASSERT_TRUE(Bound().Activate());
    const POINT at = Inside(Bound(), 0.5, 0.5);
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(at.x, at.y));
    Bound().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kRight));
    ASSERT_TRUE(Bound().WaitForRecord(Named(L"WM_RBUTTONDOWN"))) << Bound().Describe();
    ASSERT_TRUE(LoadAndHook(WINDOWMASK_ALL));
    // A click of another button brings the window's profile into force.
    ASSERT_TRUE(ClickWhenThere(POINT{at.x + 7, at.y + 5}, PhysicalInput::kLeft));
    ASSERT_TRUE(Bound().WaitForRecord(Named(L"WM_LBUTTONUP"))) << Bound().Describe();
    ASSERT_TRUE(WaitFor([] {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr &&
               std::wstring(profile->GetDescription()) == L"Targeted probe";
    })) << "the bound window's profile never came into force";
    Bound().Clear();

    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kRight));
    ASSERT_TRUE(ClickWhenThere(POINT{at.x + 3, at.y + 9}, PhysicalInput::kLeft));
    ASSERT_TRUE(Bound().WaitForRecord(Named(L"WM_LBUTTONUP"))) << "the fence click never arrived\n" << Bound().Describe();
    EXPECT_FALSE(Bound().Records(Named(L"WM_RBUTTONUP")).empty()) << Bound().Describe();
}
