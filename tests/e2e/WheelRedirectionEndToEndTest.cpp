// Wheels and tilts on the real road: a probe window under the pointer that is
// not the foreground window, another probe that has the focus, the library's
// hooks in this process. The window under the pointer gets what the wheel, the
// tilt, an injected wheel and a held "Scroll Window" button send, and the
// focused window gets none of it. A wheel mapped to a click clicks once per
// notch however fast the notches come.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
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
constexpr int kMiddle = 2, kTiltLeft = 5, kTiltRight = 6, kWheelUp = 7, kWheelDown = 8;
constexpr int kLeftClick = 0, kRightClick = 1, kScrollWindowUp = 67;
constexpr int kWheelDownAction = 43, kTiltLeftAction = 65, kTiltRightAction = 66;
constexpr int kLineMessagesToTheWindow = 4;
const wchar_t kTargetTitle[] = L"Brmp Wheel Target";
const wchar_t kFocusTitle[] = L"Brmp Wheel Focus";

struct Options
{
    int button = -1;
    int code = 40;
    bool invertTilt = false;
    bool remapInjected = false;
    int button2 = -1;
    int code2 = 40;
    bool invertWheel = false;
    int scrollMethod = 8;   // the profile's way of scrolling; 8: as the system does
};

class WheelRedirectionEndToEnd : public ProbeSuite<WheelRedirectionEndToEnd>
{
protected:
    WheelRedirectionEndToEnd() : ProbeSuite(L"WheelRedirection") {}

    static void SetUpTestSuite() { StartProbePair(kTargetTitle, kFocusTitle); }
    static Probe& Target() { return ProbeAt(0); }
    static Probe& Focus() { return ProbeAt(1); }

    // One profile bound to the target window; the wheel scrolls the window
    // under the pointer. Then the focus goes to the other probe and the pointer
    // rests over the target until its profile is in force.
    ::testing::AssertionResult LoadAndHook(const Options& options)
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = true;
        settings.m_bScrollWindowUnderCursor = true;
        settings.m_bRemapSimulatedInput = options.remapInjected;
        CApplicationSettings* profile = AddProbeProfile(settings, kTargetTitle);
        profile->SetInvertHorzScrolling(options.invertTilt);
        profile->SetInvertScrolling(options.invertWheel);
        profile->SetAdvScrollMethod(options.scrollMethod);
        if (options.button >= 0)
            profile->SetActions(options.button, 0, options.code);
        if (options.button2 >= 0)
            profile->SetActions(options.button2, 0, options.code2);
        if (auto hooked = IsolatedSettings::LoadAndHook(settings); !hooked)
            return hooked;
        if (!Focus().Activate())
            return ::testing::AssertionFailure() << "the focus probe could not be activated";
        // The fence's key goes to the focus probe.
        if (auto prepared = PhysicalInput::PrepareForInput(Focus().Window()); !prepared)
            return prepared;
        const POINT at = Target().Center();
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "xdotool move failed";
        if (!WaitFor([] {
                const CApplicationSettings* profile = g_engine.pCurrentApp;
                return profile != nullptr && profile->GetDescription() != nullptr &&
                       std::wstring(profile->GetDescription()) == kTargetTitle;
            }))
            return ::testing::AssertionFailure() << "the target's profile never came into force";
        Target().Clear();
        Focus().Clear();
        return ::testing::AssertionSuccess();
    }

    static long long Delta(const ProbeRecord& record) { return record.Value(L"delta"); }

    // A wheel that leaked past the hook would wait in the focus probe's or the
    // target's input queue ahead of these: once the focus probe has an
    // unmapped key and the target an unmapped click, every input before them
    // has been delivered. The click comes last, since it activates the target.
    static ::testing::AssertionResult Fence()
    {
        if (!PhysicalInput::KeyTap(L"F9"))
            return ::testing::AssertionFailure() << "xdotool key failed";
        if (!Focus().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F9)))
            return ::testing::AssertionFailure() << "the fence key never arrived\n" << Focus().Describe();
        if (!PhysicalInput::Click(PhysicalInput::kRight))
            return ::testing::AssertionFailure() << "xdotool click failed";
        if (!Target().WaitForRecord(Named(L"WM_RBUTTONUP")))
            return ::testing::AssertionFailure() << "the fence click never arrived\n" << Target().Describe();
        return ::testing::AssertionSuccess();
    }
};

} // namespace

TEST_F(WheelRedirectionEndToEnd, AWheelInjectedByAnotherProgramScrollsTheWindowUnderThePointer)
{
    ASSERT_TRUE(LoadAndHook(Options{}));
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    ASSERT_EQ(::SendInput(1, &wheel, sizeof(wheel)), 1u);
    const auto record = Target().WaitForRecord(Named(L"WM_MOUSEWHEEL"));
    ASSERT_TRUE(record.has_value()) << Target().Describe();
    EXPECT_EQ(Delta(*record), -WHEEL_DELTA);
    ASSERT_TRUE(Fence());
    EXPECT_EQ(Target().Records(Named(L"WM_MOUSEWHEEL")).size(), 1u) << Target().Describe();
    EXPECT_TRUE(Focus().Records(Named(L"WM_MOUSEWHEEL")).empty()) << "the wheel also reached the focused window";
}

TEST_F(WheelRedirectionEndToEnd, ATiltScrollsTheWindowUnderThePointerInvertedWhenTheProfileSaysSo)
{
    for (const bool inverted : {false, true})
    {
        SCOPED_TRACE(inverted ? "inverted" : "as it comes");
        Options options;
        options.invertTilt = inverted;
        ASSERT_TRUE(LoadAndHook(options));
        ASSERT_TRUE(PhysicalInput::HorizontalWheel(-1));
        const auto record = Target().WaitForRecord(Named(L"WM_MOUSEHWHEEL"));
        ASSERT_TRUE(record.has_value()) << Target().Describe();
        EXPECT_EQ(Delta(*record), inverted ? WHEEL_DELTA : -WHEEL_DELTA);
        ASSERT_TRUE(Fence());
        EXPECT_EQ(Target().Records(Named(L"WM_MOUSEHWHEEL")).size(), 1u) << Target().Describe();
        EXPECT_TRUE(Focus().Records(Named(L"WM_MOUSEHWHEEL")).empty()) << Focus().Describe();
        RemoveMouseHook(false);
    }
}

TEST_F(WheelRedirectionEndToEnd, AHeldScrollWindowUpButtonScrollsTheWindowUnderThePointerTheSameWayOnEveryRepeat)
{
    Options options;
    options.button = kMiddle;
    options.code = kScrollWindowUp;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    const auto wheels = Target().WaitForRecords(Named(L"WM_MOUSEWHEEL"), 4, 10000);
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    ASSERT_GE(wheels.size(), 4u) << "the repeats never reached the window under the pointer\n" << Target().Describe();
    ASSERT_TRUE(Fence());
    // How many repeats came depends on how long the button was held; each went one way.
    for (const ProbeRecord& wheel : Target().Records(Named(L"WM_MOUSEWHEEL")))
        EXPECT_EQ(Delta(wheel), WHEEL_DELTA) << wheel.line;
    EXPECT_TRUE(Target().Records(Named(L"WM_MBUTTONDOWN")).empty()) << Target().Describe();
    EXPECT_TRUE(Focus().Records(Named(L"WM_MOUSEWHEEL")).empty()) << Focus().Describe();
}

TEST_F(WheelRedirectionEndToEnd, AWheelMappedToALeftClickClicksOncePerNotchAfterTheHooksWereStartedTwice)
{
    Options options;
    options.button = kWheelDown;
    options.code = kLeftClick;
    // The marker after the notches takes their road: the hook, the action, the simulated input.
    options.button2 = kWheelUp;
    options.code2 = kRightClick;
    ASSERT_TRUE(LoadAndHook(options));
    // A second start replaces the hook threads; the new hooks do the work.
    ASSERT_TRUE(SetMouseHook());
    ASSERT_TRUE(PhysicalInput::Wheel(-5));
    ASSERT_TRUE(PhysicalInput::Wheel(1));
    ASSERT_TRUE(Target().WaitForRecord(Named(L"WM_RBUTTONUP"))) << "the marker never arrived\n" << Target().Describe();
    EXPECT_EQ(Target().Records(Named(L"WM_LBUTTONUP")).size(), 5u) << "one click per notch, none throttled\n"
                                                                   << Target().Describe();
    EXPECT_EQ(Target().Records(Named(L"WM_RBUTTONUP")).size(), 1u) << Target().Describe();
    EXPECT_TRUE(Target().Records(Named(L"WM_MOUSEWHEEL")).empty()) << Target().Describe();
}

TEST_F(WheelRedirectionEndToEnd, WheelAndTiltActionsScrollTheWindowUnderThePointerTheWayItsProfileScrolls)
{
    // The profile scrolls by line messages to the window: a notch that reaches
    // it as a plain wheel message went past the redirection (under Wine, as on
    // current Windows, a wheel lands under the pointer either way).
    struct Case
    {
        const char* name;
        int code;
        bool inverted;   // the profile turns the physical wheel and tilt round
        const wchar_t* scroll;
        int line;
        const wchar_t* wheel;
    };
    const Case cases[] = {
        {"wheel down", kWheelDownAction, false, L"WM_VSCROLL", SB_LINEDOWN, L"WM_MOUSEWHEEL"},
        {"wheel down, inverting profile", kWheelDownAction, true, L"WM_VSCROLL", SB_LINEDOWN, L"WM_MOUSEWHEEL"},
        {"tilt left", kTiltLeftAction, false, L"WM_HSCROLL", SB_LINELEFT, L"WM_MOUSEHWHEEL"},
        {"tilt left, inverting profile", kTiltLeftAction, true, L"WM_HSCROLL", SB_LINELEFT, L"WM_MOUSEHWHEEL"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Options options;
        options.button = kMiddle;
        options.code = c.code;
        options.invertWheel = c.inverted;
        options.invertTilt = c.inverted;
        options.scrollMethod = kLineMessagesToTheWindow;
        ASSERT_TRUE(LoadAndHook(options));
        ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
        const auto line = Target().WaitForRecord(Named(c.scroll));
        ASSERT_TRUE(line.has_value()) << "the action's notch missed the window under the pointer\n"
                                      << Target().Describe() << Focus().Describe();
        EXPECT_EQ(line->Value(L"code"), c.line) << "an action's notch goes the way the action says";
        ASSERT_TRUE(Fence());
        EXPECT_TRUE(Target().Records(Named(L"WM_MBUTTONDOWN")).empty()) << Target().Describe();
        EXPECT_TRUE(Target().Records(Named(c.wheel)).empty()) << Target().Describe();
        EXPECT_TRUE(Focus().Records(Named(c.wheel)).empty()) << Focus().Describe();
        RemoveMouseHook(false);
    }
}

TEST_F(WheelRedirectionEndToEnd, TiltButtonsThatSwapTheTiltSendOneTiltEach)
{
    // Each tilt's action is the other tilt: the tilt an action sends must not
    // run the other tilt's action in turn.
    Options options;
    options.button = kTiltLeft;
    options.code = kTiltRightAction;
    options.button2 = kTiltRight;
    options.code2 = kTiltLeftAction;
    options.scrollMethod = kLineMessagesToTheWindow;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(PhysicalInput::HorizontalWheel(-1));
    const auto tilt = Target().WaitForRecord(Named(L"WM_HSCROLL"));
    ASSERT_TRUE(tilt.has_value()) << Target().Describe();
    EXPECT_EQ(tilt->Value(L"code"), SB_LINERIGHT);
    // A wheel notch without an action reaches the window after anything the tilt caused.
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(Target().WaitForRecord(Named(L"WM_VSCROLL")).has_value()) << Target().Describe();
    ASSERT_TRUE(Fence());
    EXPECT_EQ(Target().Records(Named(L"WM_HSCROLL")).size(), 1u) << Target().Describe();
    EXPECT_TRUE(Target().Records(Named(L"WM_MOUSEHWHEEL")).empty()) << Target().Describe();
    EXPECT_TRUE(Focus().Records(Named(L"WM_MOUSEHWHEEL")).empty()) << Focus().Describe();
}
