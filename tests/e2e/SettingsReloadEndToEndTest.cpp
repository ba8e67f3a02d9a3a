// A reload that fails keeps the settings in force whole: a probe window with a
// profile limited to its left part and one for the whole window, the library's
// hooks in this process, a settings file that no longer parses, and xdotool
// clicking the middle button in either part. A reload keeps a sticky drag
// whose action stays; a changed action and a stop of the hooks end it. A
// wheel's release that a reload or a tilt drops leaves mouse-over switching
// on, onto a second window.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "ScrollTimers.h"
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
const wchar_t kTitle[] = L"Brmp Reload Window";
const wchar_t kOtherTitle[] = L"Brmp Reload Other Window";
constexpr LONG kAreaWidth = 200;

class SettingsReloadEndToEnd : public ProbeSuite<SettingsReloadEndToEnd>
{
protected:
    SettingsReloadEndToEnd() : ProbeSuite(L"Reload", true) {}

    static void SetUpTestSuite()
    {
        ProbeOptions options;
        options.title = kTitle;
        options.rect = RECT{80, 100, 680, 500};
        // A press soon after a release is a press, not a double click.
        options.doubleClicks = false;
        StartProbes({options, Placed(kOtherTitle, RECT{760, 100, 1200, 500})});
    }

    static bool InForce(const wchar_t* title)
    {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == title;
    }
    // Rests the pointer in the window; true once its profile is in force.
    static ::testing::AssertionResult RestIn(Probe& probe, const wchar_t* title)
    {
        const POINT at = probe.Center();
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "no move";
        if (!WaitFor([&] { return InForce(title); }))
            return ::testing::AssertionFailure() << "the window's profile never came in force";
        return ::testing::AssertionSuccess();
    }

    static void TypeOnMiddle(CApplicationSettings* profile, const wchar_t* keys)
    {
        profile->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
        profile->SetKeystrokes(Middle, 0, keys, 0, 0, false, true, false, false);
    }

    // A middle click at x pixels from the window's left edge; what it typed.
    static wchar_t MiddleClickTypes(LONG x)
    {
        RECT window{};
        ::GetWindowRect(ProbeAt().Window(), &window);
        ProbeAt().Clear();
        if (!PhysicalInput::ClickAt(window.left + x, (window.top + window.bottom) / 2, PhysicalInput::kMiddle))
            return L'?';
        const auto typed = ProbeAt().WaitForRecord(Named(L"WM_CHAR"));
        return typed ? static_cast<wchar_t>(typed->Value(L"char")) : L'-';
    }
};
} // namespace

TEST_F(SettingsReloadEndToEnd, AFailedReloadKeepsTheProfilesOfAPartOfTheWindowInForce)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    CApplicationSettings* left = AddProbeProfile(settings, kTitle, 1);
    left->SetUseWindowArea(true);
    left->SetWindowArea(RECT{0, 0, kAreaWidth, 0});
    TypeOnMiddle(left, L"l");
    TypeOnMiddle(AddProbeProfile(settings, kTitle, 2), L"w");
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    wchar_t path[kMaxPathChars] = L"";
    ASSERT_EQ(GetDefaultSettingsFile(path, kMaxPathChars), 0u);
    ASSERT_TRUE(WriteFileBytes(path, "<not settings"));
    ASSERT_FALSE(UpdateSettings());

    EXPECT_EQ(MiddleClickTypes(kAreaWidth / 2), L'l') << ProbeAt().Describe();
    EXPECT_EQ(MiddleClickTypes(kAreaWidth * 2), L'w') << "the part of the window was forgotten\n" << ProbeAt().Describe();
    EXPECT_EQ(MiddleClickTypes(kAreaWidth / 2), L'l') << ProbeAt().Describe();
}

TEST_F(SettingsReloadEndToEnd, AReloadKeepsAStickyDragWhoseActionStaysAndEndsOneWhoseActionChangedAsAStopDoes)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    CApplicationSettings* profile = AddProbeProfile(settings, kTitle);
    profile->SetActions(XLeft, 0, ACTION_STICKY_LEFT);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    const POINT at = ProbeAt().Center();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(at.x, at.y));
    // X1 clicks, then a right click that comes after whatever they sent: the
    // left button's messages on the way.
    const auto clicks = [&](int x1Clicks) {
        for (int i = 0; i < x1Clicks; ++i)
            PhysicalInput::Click(PhysicalInput::kBack);
        PhysicalInput::Click(PhysicalInput::kRight);
        ProbeAt().WaitForRecord(Named(L"WM_RBUTTONUP"));
        std::vector<std::wstring> left = ProbeAt().RecordNames(L"WM_LBUTTON");
        ProbeAt().Clear();
        return left;
    };
    const std::vector<std::wstring> press = {L"WM_LBUTTONDOWN"};
    const std::vector<std::wstring> release = {L"WM_LBUTTONUP"};
    ProbeAt().Clear();
    ASSERT_EQ(clicks(1), press) << ProbeAt().Describe();

    // Reloaded as it is, the drag goes on until the second click.
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(clicks(1), release) << "the reload ended the drag";

    // A reload that gives X1 another action ends the drag.
    ASSERT_EQ(clicks(1), press);
    profile->SetActions(XLeft, 0, ACTION_NO_CHANGE);
    ASSERT_TRUE(IsolatedSettings::WriteSettings(settings));
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(clicks(0), release);

    // So does a stop of the hooks: after a start the next click begins a new drag.
    profile->SetActions(XLeft, 0, ACTION_STICKY_LEFT);
    ASSERT_TRUE(IsolatedSettings::WriteSettings(settings));
    ASSERT_TRUE(UpdateSettings());
    ASSERT_EQ(clicks(1), press);
    ASSERT_TRUE(RemoveMouseHook(false));
    ASSERT_TRUE(SetMouseHook());
    const std::vector<std::wstring> released = {L"WM_LBUTTONUP", L"WM_LBUTTONDOWN"};
    EXPECT_EQ(clicks(1), released) << "a click after the start ended a drag that was no longer there";
    clicks(1);
}

TEST_F(SettingsReloadEndToEnd, AWheelReleaseThatAReloadOrATiltDropsLeavesMouseOverSwitchingOn)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = true;
    CApplicationSettings* profile = AddProbeProfile(settings, kTitle);
    // A notch down types "d" and a tilt right "t"; the wheel's release waits
    // for it to rest a minute, the tilt's a moment.
    profile->SetActions(WheelDown, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(WheelDown, 0, L"d", 0, 0, true, true, false, false);
    profile->SetIgnoreVScroll(true);
    profile->SetIgnoreVScrollTime(60000);
    profile->SetActions(TiltRight, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(TiltRight, 0, L"t", 0, 0, true, true, false, false);
    profile->SetIgnoreHScroll(true);
    profile->SetIgnoreHScrollTime(1);
    AddProbeProfile(settings, kOtherTitle, 2);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    const auto typed = [](wchar_t c) { return ProbeAt().WaitForRecord(Named(L"WM_CHAR", L"char", c)).has_value(); };

    ASSERT_TRUE(RestIn(ProbeAt(), kTitle));
    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(typed(L'd')) << ProbeAt().Describe();
    ASSERT_TRUE(UpdateSettings());
    EXPECT_TRUE(RestIn(ProbeAt(1), kOtherTitle)) << "the reload kept the wheel held";

    ASSERT_TRUE(RestIn(ProbeAt(), kTitle));
    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(typed(L'd')) << ProbeAt().Describe();
    ASSERT_TRUE(PhysicalInput::HorizontalWheel(1));
    ASSERT_TRUE(typed(L't')) << ProbeAt().Describe();
    // The tilt's own release ends its record; the pointer moves after it.
    ASSERT_TRUE(WaitFor([] { return g_pPendingScroll == nullptr; }));
    EXPECT_TRUE(RestIn(ProbeAt(1), kOtherTitle)) << "the tilt's record kept the wheel held";
}
