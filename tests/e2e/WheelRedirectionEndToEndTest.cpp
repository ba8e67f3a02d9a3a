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
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
constexpr int kMiddle = 2, kWheelDown = 8;
constexpr int kLeftClick = 0, kScrollWindowUp = 67;
const wchar_t kTargetTitle[] = L"Brmp Wheel Target";
const wchar_t kFocusTitle[] = L"Brmp Wheel Focus";

struct Options
{
    int button = -1;
    int code = 40;
    bool invertTilt = false;
    bool remapInjected = false;
};

class WheelRedirectionEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_started = StartProbePair(kTargetTitle, s_target, kFocusTitle, s_focus);
    }
    static void TearDownTestSuite()
    {
        s_target.reset();
        s_focus.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"WheelRedirection", m_folder.Path()));
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        m_isolated.End();
    }

    // One profile bound to the target window; the wheel scrolls the window
    // under the pointer. Then the focus goes to the other probe and the pointer
    // rests over the target until its profile is in force.
    ::testing::AssertionResult LoadAndHook(const Options& options)
    {
        wchar_t path[kMaxPathChars] = L"";
        if (GetDefaultSettingsFile(path, kMaxPathChars) != 0)
            return ::testing::AssertionFailure() << "no settings file path";
        {
            CSettings settings(false, CMouseInfo());
            settings.m_bSwitchOnMouseOver = true;
            settings.m_bScrollWindowUnderCursor = true;
            settings.m_bRemapSimulatedInput = options.remapInjected;
            auto* profile = new CApplicationSettings(&settings, false, 1);
            const std::wstring sep = kWindowKeySeparator;
            profile->SetApplication(
                (L"W3:" + std::wstring(kTargetTitle) + sep + L"BrmpProbe.exe" + sep + L"BrmpProbeWindow" + sep + L"*").c_str());
            profile->SetDescription(kTargetTitle);
            profile->SetMatchType(1);
            profile->SetWindowMask(WINDOWMASK_ALL);
            profile->SetInvertHorzScrolling(options.invertTilt);
            if (options.button >= 0)
                profile->SetActions(options.button, 0, options.code);
            settings.AddApplication(profile);
            ::DeleteFileW(path);
            if (!settings.Save(path))
                return ::testing::AssertionFailure() << "the settings file could not be written";
        }
        if (!UpdateSettings())
            return ::testing::AssertionFailure() << "UpdateSettings failed";
        if (!SetMouseHook())
            return ::testing::AssertionFailure() << "SetMouseHook failed";
        if (!s_focus->Activate())
            return ::testing::AssertionFailure() << "the focus probe could not be activated";
        const POINT at = s_target->Center();
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "xdotool move failed";
        if (!WaitFor([] {
                const CApplicationSettings* profile = g_engine.pCurrentApp;
                return profile != nullptr && profile->GetDescription() != nullptr &&
                       std::wstring(profile->GetDescription()) == kTargetTitle;
            }))
            return ::testing::AssertionFailure() << "the target's profile never came into force";
        s_target->Clear();
        s_focus->Clear();
        return ::testing::AssertionSuccess();
    }

    static long long Delta(const ProbeRecord& record) { return record.Value(L"delta"); }

    TempFolder m_folder{L"brmpwheel"};
    IsolatedSettings m_isolated;
    static std::unique_ptr<Probe> s_target;
    static std::unique_ptr<Probe> s_focus;
    static ::testing::AssertionResult s_started;
};

std::unique_ptr<Probe> WheelRedirectionEndToEnd::s_target;
std::unique_ptr<Probe> WheelRedirectionEndToEnd::s_focus;
::testing::AssertionResult WheelRedirectionEndToEnd::s_started = ::testing::AssertionFailure();
} // namespace

TEST_F(WheelRedirectionEndToEnd, AWheelInjectedByAnotherProgramScrollsTheWindowUnderThePointer)
{
    ASSERT_TRUE(LoadAndHook(Options{}));
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    ASSERT_EQ(::SendInput(1, &wheel, sizeof(wheel)), 1u);
    const auto record = s_target->WaitForRecord(Named(L"WM_MOUSEWHEEL"));
    ASSERT_TRUE(record.has_value()) << s_target->Describe();
    EXPECT_EQ(Delta(*record), -WHEEL_DELTA);
    EXPECT_TRUE(s_focus->Records(Named(L"WM_MOUSEWHEEL")).empty()) << "the wheel also reached the focused window";
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
        const auto record = s_target->WaitForRecord(Named(L"WM_MOUSEHWHEEL"));
        ASSERT_TRUE(record.has_value()) << s_target->Describe();
        EXPECT_EQ(Delta(*record), inverted ? WHEEL_DELTA : -WHEEL_DELTA);
        EXPECT_TRUE(s_focus->Records(Named(L"WM_MOUSEHWHEEL")).empty());
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
    const auto wheels = s_target->WaitForRecords(Named(L"WM_MOUSEWHEEL"), 4, 10000);
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    ASSERT_GE(wheels.size(), 4u) << "the repeats never reached the window under the pointer\n" << s_target->Describe();
    for (const ProbeRecord& wheel : wheels)
        EXPECT_EQ(Delta(wheel), WHEEL_DELTA) << wheel.line;
    EXPECT_TRUE(s_focus->Records(Named(L"WM_MOUSEWHEEL")).empty()) << s_focus->Describe();
}

TEST_F(WheelRedirectionEndToEnd, AWheelMappedToALeftClickClicksOncePerNotchAfterTheHooksWereStartedTwice)
{
    Options options;
    options.button = kWheelDown;
    options.code = kLeftClick;
    ASSERT_TRUE(LoadAndHook(options));
    // A second start replaces the hook threads; the new hooks do the work.
    ASSERT_TRUE(SetMouseHook());
    ASSERT_TRUE(PhysicalInput::Wheel(-5));
    const auto ups = s_target->WaitForRecords(Named(L"WM_LBUTTONUP"), 5);
    EXPECT_EQ(ups.size(), 5u) << "notches 40 ms apart were throttled\n" << s_target->Describe();
    EXPECT_TRUE(s_target->Records(Named(L"WM_MOUSEWHEEL")).empty()) << s_target->Describe();
}
