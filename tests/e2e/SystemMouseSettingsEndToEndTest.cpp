// A profile's own button swap and pointer speed stay inside its window: two
// probe windows side by side, the left one with a profile that swaps the
// buttons and sets the speed, the right one under the default profile, the
// library's hooks in this process and xdotool turning the wheel. Outside the
// profile's window the user's values are in force, also when the wheel turned
// while the profile's swap was still on its way, and once the hooks stop.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

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
#include "WaitFor.h"

using namespace brmptest;

namespace
{
const wchar_t kOwnTitle[] = L"Brmp Own Mouse Window";
const wchar_t kPlainTitle[] = L"Brmp Plain Mouse Window";

int Swap()
{
    return ::GetSystemMetrics(SM_SWAPBUTTON);
}

int Speed()
{
    return CMouseInfo::GetMouseSpeed();
}

class SystemMouseSettingsEndToEnd : public ProbeSuite<SystemMouseSettingsEndToEnd>
{
protected:
    SystemMouseSettingsEndToEnd() : ProbeSuite(L"MouseSettings") { m_unhookRestores = true; }

    static void SetUpTestSuite() { StartProbePair(kOwnTitle, kPlainTitle); }
    static Probe& Own() { return ProbeAt(0); }
    static Probe& Plain() { return ProbeAt(1); }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        m_startSwap = Swap();
        m_startSpeed = Speed();
    }
    void TearDown() override
    {
        ProbeSuite::TearDown();
        // A failed test must not leave the next ones with swapped buttons.
        if (Swap() != m_startSwap)
            ::SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(m_startSwap), nullptr, 0);
        if (Speed() != m_startSpeed)
            CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(m_startSpeed));
    }

    // The left window's profile; clicks and wheels decide the profile of the
    // focused window (no mouse-over switching).
    static CApplicationSettings* OwnProfile(CSettings& settings)
    {
        settings.m_bSwitchOnMouseOver = false;
        return AddProbeProfile(settings, kOwnTitle);
    }

    static bool InForce(const wchar_t* title)
    {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == title;
    }
    static bool DefaultInForce()
    {
        return g_engine.pCurrentApp != nullptr && g_engine.pCurrentApp == g_pSettings->GetDefaultApp();
    }

    // The window comes forward with the pointer over it.
    static ::testing::AssertionResult Enter(Probe& probe)
    {
        if (auto activated = probe.Activate(); !activated)
            return activated;
        const POINT at = probe.Center();
        return PhysicalInput::MoveTo(at.x, at.y);
    }

    std::string Values() const
    {
        return "swap " + std::to_string(Swap()) + " (user's " + std::to_string(m_startSwap) + "), speed " +
               std::to_string(Speed()) + " (user's " + std::to_string(m_startSpeed) + ")";
    }

    int m_startSwap = 0;
    int m_startSpeed = 10;
};

} // namespace

TEST_F(SystemMouseSettingsEndToEnd, AProfilesButtonSwapStaysInItsWindowAlsoWhenTheWheelTurnsWhileItComesIn)
{
    CSettings settings(false, CMouseInfo());
    OwnProfile(settings)->SetSwapButtons(m_startSwap != 0 ? SWAPBUTTONS_NO : SWAPBUTTONS_YES);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    // The first notch switches to the window's profile; its swap is applied a
    // moment later, while the wheel goes on turning.
    ASSERT_TRUE(Enter(Own()));
    ASSERT_TRUE(PhysicalInput::Run({L"click", L"--repeat", L"30", L"--delay", L"20", std::to_wstring(PhysicalInput::kWheelDown)}));
    ASSERT_TRUE(WaitFor([&] { return InForce(kOwnTitle) && Swap() != m_startSwap; })) << Values();

    ASSERT_TRUE(Enter(Plain()));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    EXPECT_TRUE(WaitFor([&] { return DefaultInForce() && Swap() == m_startSwap; }))
        << "the profile's swap stayed outside its window: " << Values();

    ASSERT_TRUE(Enter(Own()));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(WaitFor([&] { return InForce(kOwnTitle) && Swap() != m_startSwap; })) << Values();
    EXPECT_TRUE(RemoveMouseHook(true));
    EXPECT_EQ(Swap(), m_startSwap) << "the profile's swap outlived the hooks";
}

TEST_F(SystemMouseSettingsEndToEnd, AProfilesPointerSpeedStaysInItsWindowAndTheUsersComesBackElsewhere)
{
    const int own = m_startSpeed == 3 ? 5 : 3;
    CSettings settings(false, CMouseInfo());
    CApplicationSettings* profile = OwnProfile(settings);
    profile->OverrideMouseSpeed(true);
    profile->SetMouseSpeed(own);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    ASSERT_TRUE(Enter(Own()));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(WaitFor([&] { return InForce(kOwnTitle) && Speed() == own; })) << Values();

    ASSERT_TRUE(Enter(Plain()));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    EXPECT_TRUE(WaitFor([&] { return DefaultInForce() && Speed() == m_startSpeed; }))
        << "the profile's speed stayed outside its window: " << Values();

    ASSERT_TRUE(Enter(Own()));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(WaitFor([&] { return InForce(kOwnTitle) && Speed() == own; })) << Values();
    EXPECT_TRUE(RemoveMouseHook(true));
    EXPECT_EQ(Speed(), m_startSpeed) << "the profile's speed outlived the hooks";
}

TEST_F(SystemMouseSettingsEndToEnd, WithoutAnOwnSpeedAProfileTakesTheDefaultProfilesAndElseTheCursorOption)
{
    const int byDefault = m_startSpeed == 4 ? 6 : 4;
    const int byOption = m_startSpeed == 8 ? 9 : 8;
    for (const bool defaultOverrides : {true, false})
    {
        SCOPED_TRACE(defaultOverrides ? "the default profile sets a speed" : "the Cursor option sets a speed");
        const int expected = defaultOverrides ? byDefault : byOption;
        CSettings settings(false, CMouseInfo());
        CApplicationSettings* profile = OwnProfile(settings);
        profile->OverrideMouseSpeed(true);
        profile->SetMouseSpeed(m_startSpeed == 3 ? 5 : 3);
        settings.m_nCursorSpeed = byOption;
        settings.GetDefaultApp()->OverrideMouseSpeed(defaultOverrides);
        settings.GetDefaultApp()->SetMouseSpeed(byDefault);
        ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

        ASSERT_TRUE(Enter(Own()));
        ASSERT_TRUE(PhysicalInput::Wheel(-1));
        ASSERT_TRUE(WaitFor([&] { return InForce(kOwnTitle) && Speed() == profile->GetMouseSpeed(); })) << Values();
        ASSERT_TRUE(Enter(Plain()));
        ASSERT_TRUE(PhysicalInput::Wheel(-1));
        EXPECT_TRUE(WaitFor([&] { return DefaultInForce() && Speed() == expected; })) << Values();
        EXPECT_TRUE(RemoveMouseHook(true));
        EXPECT_EQ(Speed(), m_startSpeed);
    }
}

TEST_F(SystemMouseSettingsEndToEnd, AStickySlowDownButtonGivesTheUsersSpeedBackOnItsSecondClick)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    settings.m_bAllowSetSpeed = true;
    settings.m_nCursorSpeed = -1;   // the system's speed, read at the load
    settings.GetDefaultApp()->SetActions(Middle, 0, ACTION_SLOW_CURSOR_STICKY);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    ASSERT_TRUE(Enter(Plain()));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    const int slowed = std::max(1, m_startSpeed / 5);
    EXPECT_TRUE(WaitFor([&] { return Speed() == slowed; })) << Values();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([&] { return Speed() == m_startSpeed; })) << "the second click set another speed: " << Values();
}
