// A profile switch on the real road: two probe windows with profiles of their
// own, the library's hooks in this process, and xdotool moving the pointer,
// clicking and pressing keys. Whichever way the profile changes (resting over
// a window, clicking it, switching to it by keyboard) the new profile's button
// swap and wheel lines are in force as the system reports them, its change
// script runs once, and hover activation brings the window forward after its
// delay, also right after a remapped click; a click's profile is not overruled
// by a mouse-over check asked before it. A reload storm while the pointer wanders never leaves a freed profile
// in force.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

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
#include "ProfileTargeting.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
const wchar_t kSwappedTitle[] = L"Brmp Swapped Window";
const wchar_t kScriptTitle[] = L"Brmp Script Window";

struct Options
{
    bool mouseOver = true;
    bool hoverActivation = false;
    int hoverDelayMs = 100;
    // The script runs in a console window of its own, which takes the
    // foreground while it runs and leaves none when it closes: only the test
    // of the script has it.
    bool changeScript = false;
    // The key the swapped window's profile's middle button types (0: none).
    wchar_t swappedMiddleKey = 0;
};

int WheelLines()
{
    UINT lines = 0;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    return static_cast<int>(lines);
}

class ProfileSwitchEndToEnd : public ProbeSuite<ProfileSwitchEndToEnd>
{
protected:
    // Removing the hooks puts the system's swap and wheel lines back as they were.
    ProfileSwitchEndToEnd() : ProbeSuite(L"ProfileSwitch") { m_unhookRestores = true; }

    static void SetUpTestSuite() { StartProbePair(kSwappedTitle, kScriptTitle); }
    static Probe& Swapped() { return ProbeAt(0); }
    static Probe& Script() { return ProbeAt(1); }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        m_startSwap = ::GetSystemMetrics(SM_SWAPBUTTON);
        m_startLines = WheelLines();
        m_runs = m_folder.Path() + L"\\runs.txt";
    }
    // The swapped window's profile swaps the buttons and scrolls 5 lines; the
    // script window's profile keeps the system's values and runs a script that
    // appends a line to runs.txt.
    ::testing::AssertionResult LoadAndHook(const Options& options)
    {
        const std::wstring script = ScriptPath();
        {
            std::wofstream bat(script.c_str());
            bat << L"@echo switched>>\"" << m_runs << L"\"\r\n";
        }
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = options.mouseOver;
        settings.m_bActivateOnMouseOver = options.hoverActivation;
        // The keyboard hook watches Ctrl and Alt while layer keys are on.
        settings.m_bLayerModifierKeys = true;
        settings.m_nActivateOnMouseOverDelay = options.hoverDelayMs;
        CApplicationSettings* swapped = AddProbeProfile(settings, kSwappedTitle);
        swapped->SetSwapButtons(m_startSwap != 0 ? SWAPBUTTONS_NO : SWAPBUTTONS_YES);
        swapped->SetScrollLines(m_startLines == 5 ? 7 : 5);
        if (options.swappedMiddleKey != 0)
        {
            const wchar_t keys[2] = {options.swappedMiddleKey, L'\0'};
            swapped->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
            swapped->SetKeystrokes(Middle, 0, keys, 0, 0, false, true, false, false);
        }
        CApplicationSettings* scripted = AddProbeProfile(settings, kScriptTitle);
        scripted->SetScrollLines(m_startLines);
        scripted->SetProfileChangeScript(script.c_str());
        scripted->EnableProfileScript(options.changeScript);
        return IsolatedSettings::LoadAndHook(settings);
    }

    // Hover activation after delayMs, without mouse-over switching. The
    // swapped window's middle button types "x": a middle click goes to the
    // focus window and is taken away from the window under the pointer, which
    // does not come forward by it.
    ::testing::AssertionResult LoadAndHookForHoverActivation(int delayMs)
    {
        Options options;
        options.mouseOver = false;
        options.hoverActivation = true;
        options.hoverDelayMs = delayMs;
        options.swappedMiddleKey = L'x';
        return LoadAndHook(options);
    }

    std::wstring ScriptPath() const { return m_folder.Path() + L"\\switched.bat"; }

    static bool InForce(const wchar_t* title)
    {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == title;
    }

    // The system's own values, as every other program reads them.
    bool SwappedValuesInForce() const
    {
        return ::GetSystemMetrics(SM_SWAPBUTTON) != m_startSwap && WheelLines() != m_startLines;
    }
    bool StartValuesInForce() const
    {
        return ::GetSystemMetrics(SM_SWAPBUTTON) == m_startSwap && WheelLines() == m_startLines;
    }

    int ScriptRuns() const
    {
        std::wifstream in(m_runs.c_str());
        int count = 0;
        std::wstring line;
        while (std::getline(in, line))
            count += line.find(L"switched") != std::wstring::npos ? 1 : 0;
        return count;
    }

    static ::testing::AssertionResult MoveOver(Probe& probe)
    {
        const POINT at = probe.Center();
        return PhysicalInput::MoveTo(at.x, at.y);
    }

    std::wstring m_runs;
    int m_startSwap = 0;
    int m_startLines = 3;
};

} // namespace

TEST_F(ProfileSwitchEndToEnd, RestingOverAWindowAppliesItsProfilesMouseSettingsAndRunsItsScriptOncePerSwitch)
{
    Options options;
    options.changeScript = true;
    ASSERT_TRUE(LoadAndHook(options));
    for (int round = 1; round <= 2; ++round)
    {
        SCOPED_TRACE(round);
        ASSERT_TRUE(MoveOver(Swapped()));
        EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }))
            << "swap " << ::GetSystemMetrics(SM_SWAPBUTTON) << " lines " << WheelLines();
        ASSERT_TRUE(MoveOver(Script()));
        EXPECT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && StartValuesInForce(); }))
            << "swap " << ::GetSystemMetrics(SM_SWAPBUTTON) << " lines " << WheelLines();
        EXPECT_TRUE(WaitFor([&] { return ScriptRuns() >= round; }, 10000)) << "the change script never ran";
        EXPECT_EQ(ScriptRuns(), round) << "one run per switch into the profile";
        // Its console window, there before the script wrote its line, goes
        // before the next step: it would take the foreground from the tests.
        EXPECT_TRUE(WaitFor([&] { return ::FindWindowW(nullptr, ScriptPath().c_str()) == nullptr; }, 10000))
            << "the script's console window stays";
    }
}

TEST_F(ProfileSwitchEndToEnd, WithoutMouseOverAClickOrTheKeyboardFocusSwitchesTheProfile)
{
    Options options;
    options.mouseOver = false;
    ASSERT_TRUE(LoadAndHook(options));

    // A click (the middle button: the swap never changes what it is).
    ASSERT_TRUE(Swapped().Activate());
    const POINT swappedAt = Swapped().Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(swappedAt.x, swappedAt.y, PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }));

    // The keyboard: the other window comes forward and a key is released,
    // with the pointer still resting over the first one.
    ASSERT_TRUE(Script().Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    EXPECT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && StartValuesInForce(); }))
        << "the keyboard focus never switched the profile";
    ASSERT_TRUE(Swapped().Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }));

    // A click puts the other window's profile in force; the keyboard focus
    // back on the window that switched last brings its profile back.
    ASSERT_TRUE(Script().Activate());
    const POINT scriptAt = Script().Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(scriptAt.x, scriptAt.y, PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && StartValuesInForce(); }));
    ASSERT_TRUE(Swapped().Activate());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }))
        << "the keyboard focus on the window that switched last was ignored";
}

TEST_F(ProfileSwitchEndToEnd, RestingOverAnInactiveWindowActivatesItAfterTheDelayAndNotBefore)
{
    Options options;
    options.hoverActivation = true;
    options.hoverDelayMs = 1500;
    ASSERT_TRUE(LoadAndHook(options));
    ASSERT_TRUE(Swapped().Activate());
    ASSERT_TRUE(MoveOver(Swapped()));
    ASSERT_TRUE(WaitFor([&] { return InForce(kSwappedTitle); }));

    Script().Clear();
    // The pointer arrives over the window after this moment; the window's
    // activation, as the window itself records it, comes a whole delay later.
    const DWORD beforeMove = ::GetTickCount();
    ASSERT_TRUE(MoveOver(Script()));
    EXPECT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && Script().IsFocused(); }))
        << "never activated by hovering\n" << Script().Describe();
    const std::optional<ProbeRecord> activated =
        Script().WaitForRecord([](const ProbeRecord& r) { return r.Is(L"WM_ACTIVATE") && r.Value(L"state") != 0; });
    ASSERT_TRUE(activated.has_value()) << Script().Describe();
    EXPECT_GE(static_cast<DWORD>(activated->Value(L"tick")) - beforeMove, static_cast<DWORD>(options.hoverDelayMs))
        << "activated before its delay\n" << Script().Describe();
}

TEST_F(ProfileSwitchEndToEnd, WithHoverActivationAClickDecidesTheProfileOverTheMouseOverCheckOfAMoveJustBeforeIt)
{
    // No window comes forward by hovering while the test runs.
    ASSERT_TRUE(LoadAndHookForHoverActivation(600000));
    ASSERT_TRUE(Swapped().Activate());
    ASSERT_TRUE(MoveOver(Script()));
    ASSERT_TRUE(WaitFor([&] { return InForce(kScriptTitle); })) << "hovering never looked at the window";
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([&] { return InForce(kSwappedTitle); })) << "the click did not decide the profile";

    // The pointer moves on over the window and a click follows at once: the
    // check the move asked for comes due after the click, which belongs to the
    // focus window. The first such click keeps the profile in force, the
    // second switches back to it from the one the resting pointer chose.
    const POINT at = Script().Center();
    for (const bool fromTheRestingPointersProfile : {false, true})
    {
        SCOPED_TRACE(fromTheRestingPointersProfile ? "the click switches back" : "the click keeps the profile");
        if (fromTheRestingPointersProfile)
        {
            const unsigned rested = MouseOverChecksTaken();
            ASSERT_TRUE(MoveOver(Script()));
            ASSERT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && MouseOverChecksTaken() != rested; }));
        }
        const unsigned checks = MouseOverChecksTaken();
        Swapped().Clear();
        ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(at.x + 10), std::to_wstring(at.y), L"click", L"2"}));
        ASSERT_TRUE(Swapped().WaitForRecord(Named(L"WM_CHAR", L"char", L'x'))) << Swapped().Describe();
        ASSERT_TRUE(WaitFor([&] { return MouseOverChecksTaken() != checks; })) << "the move's check never came due";
        EXPECT_TRUE(InForce(kSwappedTitle)) << "the pointer's window's profile overruled the click's";
    }
}

TEST_F(ProfileSwitchEndToEnd, WithHoverActivationAWindowStillComesForwardWhenARemappedClickFollowsThePointerAtOnce)
{
    ASSERT_TRUE(LoadAndHookForHoverActivation(300));
    ASSERT_TRUE(Swapped().Activate());
    ASSERT_TRUE(MoveOver(Swapped()));
    Swapped().Clear();

    // The pointer arrives over the other window and clicks there at once,
    // before the check the move asked for comes due: the click decides the
    // profile, and the resting pointer still brings the window forward.
    const POINT at = Script().Center();
    ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(at.x), std::to_wstring(at.y), L"click", L"2"}));
    ASSERT_TRUE(Swapped().WaitForRecord(Named(L"WM_CHAR", L"char", L'x'))) << Swapped().Describe();
    EXPECT_TRUE(WaitFor([&] { return Script().IsFocused(); })) << "the click cancelled hover activation\n" << Script().Describe();
    EXPECT_TRUE(InForce(kSwappedTitle)) << "the pointer's window's profile overruled the click's";
}

TEST_F(ProfileSwitchEndToEnd, ACtrlReleasedWhileNoWindowHasTheForegroundLetsTheWindowThatComesForwardDecide)
{
    Options options;
    options.mouseOver = false;
    ASSERT_TRUE(LoadAndHook(options));

    ASSERT_TRUE(Script().Activate());
    const POINT scriptAt = Script().Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(scriptAt.x, scriptAt.y, PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([&] { return InForce(kScriptTitle) && StartValuesInForce(); }));

    // A window that had the foreground ends with its process: none has it now.
    ProbeOptions goneOptions;
    goneOptions.title = L"Brmp Ended Window";
    goneOptions.rect = RECT{40, 500, 240, 700};
    Probe gone(goneOptions);
    ASSERT_TRUE(gone.Start());
    ASSERT_TRUE(gone.Terminate());
    ASSERT_EQ(::GetForegroundWindow(), nullptr);

    // The Ctrl release finds no window to decide; the profile stays.
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    ASSERT_TRUE(WaitFor([] { return KeySwitchWaitedTicks() > 0; })) << "the key-switch timer never looked";
    EXPECT_TRUE(InForce(kScriptTitle));

    // The window that then comes forward decides, without another key.
    ASSERT_TRUE(Swapped().Activate());
    EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }))
        << "the keyboard switch was lost";
}

TEST_F(ProfileSwitchEndToEnd, AReloadStormWhileThePointerWandersLeavesOnlyLiveProfilesInForce)
{
    ASSERT_TRUE(LoadAndHook(Options{}));
    for (int i = 0; i < 40; ++i)
    {
        Probe& probe = i % 2 == 0 ? Swapped() : Script();
        const POINT at = probe.Center();
        ASSERT_TRUE(PhysicalInput::MoveTo(at.x + (i % 7), at.y));
        ASSERT_TRUE(UpdateSettings());
        // Whatever is in force is one of the profiles loaded now.
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        bool live = profile == nullptr || profile == g_pSettings->GetDefaultApp();
        for (int p = 0; p < g_pSettings->GetApplicationCount() && !live; ++p)
            live = g_pSettings->GetApplication(p) == profile;
        EXPECT_TRUE(live) << "a freed profile is in force";
    }
    // Once the pointer rests, the profile of the window under it is in force.
    EXPECT_TRUE(WaitFor([&] { return InForce(kScriptTitle); }));
    ASSERT_TRUE(MoveOver(Swapped()));
    EXPECT_TRUE(WaitFor([&] { return InForce(kSwappedTitle) && SwappedValuesInForce(); }));
}
