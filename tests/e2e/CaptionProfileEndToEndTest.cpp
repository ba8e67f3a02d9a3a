// Profiles that match a window by its caption, decided by a click (no mouse-over
// switching, so the hook itself looks the window's profile up): a window whose
// application answers caption requests only after 250 ms still gets the
// profile of its caption at once, as the hook reads the caption the window
// server keeps instead of asking the application; and a window clicked before
// is matched by its new caption once its title has changed, either way.
// The middle button of the caption profile is a left click: a left click
// arriving for a middle click tells that the profile was in force.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
constexpr int kMiddle = 2;
const wchar_t kSlowTitle[] = L"Brmp Slow Titled Window";
const wchar_t kNamedTitle[] = L"Brmp Named Window";
const wchar_t kRenamedTitle[] = L"Brmp Renamed Window";
const wchar_t kOtherTitle[] = L"Brmp Unnamed Window";

class CaptionProfileEndToEnd : public ProbeSuite<CaptionProfileEndToEnd>
{
protected:
    CaptionProfileEndToEnd() : ProbeSuite(L"CaptionProfile") {}

    static void SetUpTestSuite()
    {
        ProbeOptions slow;
        slow.title = kSlowTitle;
        slow.rect = RECT{20, 60, 420, 360};
        slow.slowCaptionMs = 250;
        ProbeOptions named;
        named.title = kNamedTitle;
        named.rect = RECT{440, 60, 840, 360};
        ProbeOptions other;
        other.title = kOtherTitle;
        other.rect = RECT{860, 60, 1260, 360};
        StartProbes({slow, named, other});
    }
    static Probe& SlowProbe() { return ProbeAt(0); }
    static Probe& NamedProbe() { return ProbeAt(1); }
    static Probe& OtherProbe() { return ProbeAt(2); }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        ::SetWindowTextW(NamedProbe().Window(), kNamedTitle);
    }
    void TearDown() override
    {
        ProbeSuite::TearDown();
        ::SetWindowTextW(NamedProbe().Window(), kNamedTitle);
    }

    // Caption profiles for the slow and the named window; the click decides.
    static ::testing::AssertionResult LoadAndHook()
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = false;
        AddProbeProfile(settings, kSlowTitle, 1)->SetActions(kMiddle, 0, ACTION_LEFT_CLICK);
        AddProbeProfile(settings, kNamedTitle, 2)->SetActions(kMiddle, 0, ACTION_LEFT_CLICK);
        return IsolatedSettings::LoadAndHook(settings);
    }

    // Activates the probe (the click goes to the profile of the focused
    // window), middle-clicks it and tells whether the caption profile turned
    // the click into a left click. A right click after it, never remapped,
    // proves that everything before it has arrived.
    static ::testing::AssertionResult MiddleClickIsRemapped(Probe& probe, bool& remapped)
    {
        if (auto active = probe.Activate(); !active)
            return active;
        probe.Clear();
        const POINT at = probe.Center();
        if (auto moved = PhysicalInput::MoveToAndWait(at.x, at.y); !moved)
            return moved;
        if (!PhysicalInput::Click(kMiddle) || !PhysicalInput::Click(PhysicalInput::kRight))
            return ::testing::AssertionFailure() << "xdotool click failed";
        if (!probe.WaitForRecord(Named(L"WM_RBUTTONUP")))
            return ::testing::AssertionFailure() << "the fence click never arrived\n" << probe.Describe();
        const bool left = !probe.Records(Named(L"WM_LBUTTONUP")).empty();
        const bool middle = !probe.Records(Named(L"WM_MBUTTONDOWN")).empty() || !probe.Records(Named(L"WM_MBUTTONUP")).empty();
        if (left == middle)
            return ::testing::AssertionFailure() << "neither one click nor the other\n" << probe.Describe();
        remapped = left;
        return ::testing::AssertionSuccess();
    }
};
} // namespace

TEST_F(CaptionProfileEndToEnd, AClickInAWindowThatAnswersCaptionRequestsSlowlyGetsTheProfileOfItsCaption)
{
    ASSERT_TRUE(LoadAndHook());
    bool remapped = false;
    ASSERT_TRUE(MiddleClickIsRemapped(SlowProbe(), remapped));
    EXPECT_TRUE(remapped) << "the click went on as it came: the caption was not read\n" << SlowProbe().Describe();
}

TEST_F(CaptionProfileEndToEnd, AWindowClickedBeforeIsMatchedByItsNewTitle)
{
    ASSERT_TRUE(LoadAndHook());
    struct Step
    {
        const char* name;
        const wchar_t* title;   // the named window's title before the click (null: unchanged)
        Probe* probe;
        bool remapped;
    };
    const Step steps[] = {
        {"the named window", nullptr, &NamedProbe(), true},
        {"the other window", nullptr, &OtherProbe(), false},
        {"the named window, renamed", kRenamedTitle, &NamedProbe(), false},
        {"the other window again", nullptr, &OtherProbe(), false},
        {"the named window, named again", kNamedTitle, &NamedProbe(), true},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        if (step.title != nullptr)
        {
            ASSERT_TRUE(::SetWindowTextW(NamedProbe().Window(), step.title));
        }
        bool remapped = false;
        ASSERT_TRUE(MiddleClickIsRemapped(*step.probe, remapped));
        EXPECT_EQ(remapped, step.remapped) << step.probe->Describe();
    }
}
