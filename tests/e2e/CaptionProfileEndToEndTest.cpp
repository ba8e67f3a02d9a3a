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

class CaptionProfileEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ProbeOptions slow;
        slow.title = kSlowTitle;
        slow.rect = RECT{20, 60, 420, 360};
        slow.slowCaptionMs = 250;
        s_slow = std::make_unique<Probe>(slow);
        s_started = s_slow->Start();
        if (!s_started)
            return;
        ProbeOptions named;
        named.title = kNamedTitle;
        named.rect = RECT{440, 60, 840, 360};
        s_named = std::make_unique<Probe>(named);
        s_started = s_named->Start();
        if (!s_started)
            return;
        ProbeOptions other;
        other.title = kOtherTitle;
        other.rect = RECT{860, 60, 1260, 360};
        s_other = std::make_unique<Probe>(other);
        s_started = s_other->Start();
    }
    static void TearDownTestSuite()
    {
        s_other.reset();
        s_named.reset();
        s_slow.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"CaptionProfile", m_folder.Path()));
        ::SetWindowTextW(s_named->Window(), kNamedTitle);
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        m_isolated.End();
        ::SetWindowTextW(s_named->Window(), kNamedTitle);
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
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "xdotool move failed";
        WaitFor([&] {
            POINT cursor{};
            return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
        });
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

    TempFolder m_folder{L"brmpcaption"};
    IsolatedSettings m_isolated;
    static std::unique_ptr<Probe> s_slow;
    static std::unique_ptr<Probe> s_named;
    static std::unique_ptr<Probe> s_other;
    static ::testing::AssertionResult s_started;
};

std::unique_ptr<Probe> CaptionProfileEndToEnd::s_slow;
std::unique_ptr<Probe> CaptionProfileEndToEnd::s_named;
std::unique_ptr<Probe> CaptionProfileEndToEnd::s_other;
::testing::AssertionResult CaptionProfileEndToEnd::s_started = ::testing::AssertionFailure();
} // namespace

TEST_F(CaptionProfileEndToEnd, AClickInAWindowThatAnswersCaptionRequestsSlowlyGetsTheProfileOfItsCaption)
{
    ASSERT_TRUE(LoadAndHook());
    bool remapped = false;
    ASSERT_TRUE(MiddleClickIsRemapped(*s_slow, remapped));
    EXPECT_TRUE(remapped) << "the click went on as it came: the caption was not read\n" << s_slow->Describe();
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
        {"the named window", nullptr, s_named.get(), true},
        {"the other window", nullptr, s_other.get(), false},
        {"the named window, renamed", kRenamedTitle, s_named.get(), false},
        {"the other window again", nullptr, s_other.get(), false},
        {"the named window, named again", kNamedTitle, s_named.get(), true},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        if (step.title != nullptr)
        {
            ASSERT_TRUE(::SetWindowTextW(s_named->Window(), step.title));
        }
        bool remapped = false;
        ASSERT_TRUE(MiddleClickIsRemapped(*step.probe, remapped));
        EXPECT_EQ(remapped, step.remapped) << step.probe->Describe();
    }
}
