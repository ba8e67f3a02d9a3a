// The system's mouse settings under the real program, with a probe window that
// has a profile of its own beside the bare desktop under the default profile,
// mouse-over switching and real pointer moves, clicks and keys: a profile
// switch and a reload keep the pointer speed the user chose last, a profile's
// pointer precision is stored as the user's only when it forces its values,
// and the wheel lines, button swap and precision a profile stored as the
// user's are the user's own again in store once the pointer has left it and
// the program has ended, also when remapping was disabled in the profile's
// window before.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Hotkeys.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using brmptest::ProbeOptions;
using programtest::ProgramCopy;

namespace
{
const wchar_t kProbeTitle[] = L"Brmp Program Mouse Window";
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kMouseKey[] = L"Control Panel\\Mouse";
// A point of the bare desktop, away from the probe and the taskbar.
constexpr POINT kDesktop = {200, 700};
constexpr DWORD kSystemTimeoutMs = 30000;

// A value the system keeps in the user's profile; fallback when none is stored.
int StoredValue(const wchar_t* key, const wchar_t* name, int fallback)
{
    wchar_t text[32] = L"";
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return fallback;
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

// The stored "enhance pointer precision": the acceleration, which the system
// keeps under the name MouseSpeed.
int StoredPrecision(int fallback)
{
    const int acceleration = StoredValue(kMouseKey, L"MouseSpeed", fallback);
    return acceleration == fallback ? fallback : (acceleration != 0 ? 1 : 0);
}

class ProgramMouseSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        // The user's values are the stored ones, in force as well.
        m_userLines = StoredValue(kDesktopKey, L"WheelScrollLines", 3);
        m_userSwap = StoredValue(kMouseKey, L"SwapMouseButtons", 0);
        ASSERT_TRUE(::SystemParametersInfoW(SPI_GETMOUSE, 0, m_userMouse, 0));
        std::copy(m_userMouse, m_userMouse + 3, m_machineMouse);
        m_userPrecision = m_userMouse[2] != 0 ? 1 : 0;
        ASSERT_TRUE(PutUsersValues());
        if (auto system = brmptest::ReadSystemParameters())
            m_userSpeed = static_cast<int>(system->Value(L"speed"));
    }

    void TearDown() override
    {
        m_program.Stop();
        m_probe.reset();
        std::copy(m_machineMouse, m_machineMouse + 3, m_userMouse);
        PutUsersValues();
        if (m_userSpeed > 0)
            CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(m_userSpeed));
    }

    bool PutUsersValues() const
    {
        constexpr UINT store = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
        int mouse[3] = {m_userMouse[0], m_userMouse[1], m_userMouse[2]};
        return ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, static_cast<UINT>(m_userLines), nullptr, store) &&
               ::SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(m_userSwap), nullptr, store) &&
               ::SystemParametersInfoW(SPI_SETMOUSE, 0, mouse, store);
    }

    // Settings with mouse-over switching and the probe's profile.
    static CApplicationSettings* ProbeProfile(CSettings& settings)
    {
        settings.m_bSwitchOnMouseOver = true;
        settings.m_bNotifications = false;
        return brmptest::AddProbeProfile(settings, kProbeTitle);
    }

    // The program starts with the pointer over the desktop.
    void StartProbeAndProgram(CSettings& settings)
    {
        ProbeOptions options;
        options.title = kProbeTitle;
        options.rect = RECT{700, 150, 1200, 600};
        m_probe = std::make_unique<Probe>(options);
        ASSERT_TRUE(m_probe->Start());
        ASSERT_TRUE(PhysicalInput::MoveTo(kDesktop.x, kDesktop.y));
        ASSERT_TRUE(m_program.WriteSettings(settings));
        ASSERT_TRUE(m_program.Start(L"/debug"));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the mouse hook thread.")) << m_program.Log();
        ASSERT_NE(m_program.WaitForMainWindow(), nullptr) << m_program.Log();
    }

    ::testing::AssertionResult EnterProbe()
    {
        const POINT at = m_probe->Center();
        return PhysicalInput::MoveTo(at.x, at.y);
    }

    // The default profile's X right button cycles the pointer speed (10, then
    // the cycle's second speed doubled: 6); the probe's profile has no speed
    // of its own, and its wheel lines (returned) tell that a switch into it is
    // done.
    int CyclingSettings(CSettings& settings) const
    {
        settings.m_bAllowSetSpeed = true;
        settings.m_nCursorSpeed = 10;
        const int cycle[4] = {10, 3, 8, 2};
        std::copy(cycle, cycle + 4, settings.m_nCursorSpeedCycle);
        settings.GetDefaultApp()->SetActions(XRight, 0, ACTION_CYCLE_CURSOR_SPEED);
        const int fence = m_userLines == 5 ? 6 : 5;
        ProbeProfile(settings)->SetScrollLines(fence);
        return fence;
    }

    // Starts with such settings and cycles once, over the desktop.
    void StartAndCycleOnce(CSettings& settings)
    {
        ASSERT_NO_FATAL_FAILURE(StartProbeAndProgram(settings));
        ASSERT_TRUE(SystemBecomes(L"speed", 10));
        ASSERT_TRUE(PhysicalInput::ClickAt(kDesktop.x, kDesktop.y, PhysicalInput::kForward));
        ASSERT_TRUE(SystemBecomes(L"speed", 6));
    }

    // Waits until a fresh process sees the value ("speed" or "lines") and
    // tells what it saw last.
    ::testing::AssertionResult SystemBecomes(const wchar_t* key, long long wanted)
    {
        long long seen = -1;
        if (brmptest::WaitFor(
                [&] {
                    const auto system = brmptest::ReadSystemParameters(kSystemTimeoutMs);
                    seen = system ? system->Value(key, -1) : -1;
                    return seen == wanted;
                },
                kSystemTimeoutMs, 50))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << std::string(key, key + std::wcslen(key)) << " is " << seen << ", not "
                                             << wanted << "\n" << m_program.LogTail();
    }

    long long System(const wchar_t* key)
    {
        const auto system = brmptest::ReadSystemParameters(kSystemTimeoutMs);
        return system ? system->Value(key, -1) : -1;
    }

    ProgramCopy m_program{L"brmp-mouse"};
    std::unique_ptr<Probe> m_probe;
    int m_userLines = 3;
    int m_userSwap = 0;
    int m_userSpeed = 0;
    int m_userMouse[3] = {0, 0, 0};
    // What the machine had before a test chose the user's values.
    int m_machineMouse[3] = {0, 0, 0};
    int m_userPrecision = 0;
};
} // namespace

TEST_F(ProgramMouseSettings, ACycledPointerSpeedOutlivesProfileSwitchesAndSlowDownsAndAHeldSlowDownKeyKeepsItSlowed)
{
    CSettings settings(false, GetStartupMouseInfo());
    const int fence = CyclingSettings(settings);
    settings.m_bLayerModifierKeys = true;
    settings.GetLayerModifierKeys()->GetHotkey(MK_SlowCursor)->SetVirtualKey(VK_F8);
    settings.GetDefaultApp()->SetActions(XLeft, 0, ACTION_SLOW_CURSOR_PRESSED);
    settings.GetDefaultApp()->SetActions(Middle, 0, ACTION_SLOW_CURSOR_STICKY);
    settings.m_bResetStickyOnLayerChange = true;
    settings.SetMaxLayers(2);
    ASSERT_NO_FATAL_FAILURE(StartAndCycleOnce(settings));
    ASSERT_TRUE(EnterProbe());
    ASSERT_TRUE(SystemBecomes(L"lines", fence));
    EXPECT_EQ(System(L"speed"), 6) << "the switch into the probe's profile undid the cycle\n" << m_program.LogTail();
    ASSERT_TRUE(PhysicalInput::MoveTo(kDesktop.x, kDesktop.y));
    ASSERT_TRUE(SystemBecomes(L"lines", m_userLines));
    EXPECT_EQ(System(L"speed"), 6) << "the switch back undid the cycle\n" << m_program.LogTail();

    // Slowed to a fifth while the key is held, across a switch.
    ASSERT_TRUE(PhysicalInput::KeyDown(L"F8"));
    const ::testing::AssertionResult slowed = SystemBecomes(L"speed", 1);
    const ::testing::AssertionResult entered = EnterProbe();
    const ::testing::AssertionResult switched = SystemBecomes(L"lines", fence);
    const long long speedInside = System(L"speed");
    ASSERT_TRUE(PhysicalInput::KeyUp(L"F8"));
    ASSERT_TRUE(slowed);
    ASSERT_TRUE(entered);
    ASSERT_TRUE(switched);
    EXPECT_EQ(speedInside, 1) << "the switch ended the slow-down of the held key\n" << m_program.LogTail();
    EXPECT_TRUE(SystemBecomes(L"speed", 6)) << "the key's release did not give the cycled speed back";

    // A held slow-down button, and a sticky one that a layer change ends,
    // slow the cycled speed and give it back.
    ASSERT_TRUE(PhysicalInput::MoveTo(kDesktop.x, kDesktop.y));
    ASSERT_TRUE(SystemBecomes(L"lines", m_userLines));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    const ::testing::AssertionResult slowedByButton = SystemBecomes(L"speed", 1);
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    ASSERT_TRUE(slowedByButton);
    EXPECT_TRUE(SystemBecomes(L"speed", 6)) << "the button's release did not give the cycled speed back";
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(SystemBecomes(L"speed", 1));
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    EXPECT_TRUE(SystemBecomes(L"speed", 6)) << "the layer change ended the sticky slow-down at another speed";
}

TEST_F(ProgramMouseSettings, ASpeedSetAgainInTheSettingsEndsTheCycleAndAReloadOfTheSameSpeedsKeepsIt)
{
    CSettings settings(false, GetStartupMouseInfo());
    const int fence = CyclingSettings(settings);
    ASSERT_NO_FATAL_FAILURE(StartAndCycleOnce(settings));

    // The layer command is handled after the reload before it.
    ASSERT_TRUE(m_program.StartLater(L"/debug /reload /layer:1"));
    ASSERT_TRUE(m_program.WaitForLog("OnNextInstance: Switching to layer")) << m_program.LogTail();
    EXPECT_EQ(System(L"speed"), 6) << "a reload of the same speeds ended the cycle\n" << m_program.LogTail();
    ASSERT_TRUE(EnterProbe());
    ASSERT_TRUE(SystemBecomes(L"lines", fence));
    EXPECT_EQ(System(L"speed"), 6) << m_program.LogTail();

    settings.m_nCursorSpeed = 18;
    ASSERT_TRUE(m_program.WriteSettings(settings));
    ASSERT_TRUE(m_program.StartLater(L"/debug /reload"));
    ASSERT_TRUE(SystemBecomes(L"speed", 18));
    ASSERT_TRUE(PhysicalInput::MoveTo(kDesktop.x, kDesktop.y));
    ASSERT_TRUE(SystemBecomes(L"lines", m_userLines));
    EXPECT_EQ(System(L"speed"), 18) << "the switch put the cycled speed back\n" << m_program.LogTail();
}

TEST_F(ProgramMouseSettings, AProfilesForcedWheelLinesAndSwapAreNotLeftInStoreOnceThePointerLeftIt)
{
    CSettings settings(false, GetStartupMouseInfo());
    const int own = m_userLines == 7 ? 8 : 7;
    CApplicationSettings* profile = ProbeProfile(settings);
    profile->SetScrollLines(own);
    profile->SetSwapButtons(m_userSwap != 0 ? SWAPBUTTONS_NO : SWAPBUTTONS_YES);
    settings.m_bAllowSetSpeed = true;
    profile->OverrideMouseSpeed(true);
    profile->EnhancePointerPrecision(m_userPrecision == 0);
    profile->SetForceSPIMessage(true);
    ASSERT_NO_FATAL_FAILURE(StartProbeAndProgram(settings));

    // Inside, the profile's values are stored as the user's.
    ASSERT_TRUE(EnterProbe());
    ASSERT_TRUE(brmptest::WaitFor([&] { return StoredValue(kDesktopKey, L"WheelScrollLines", -1) == own; },
                                  kSystemTimeoutMs))
        << m_program.LogTail();
    EXPECT_NE(StoredValue(kMouseKey, L"SwapMouseButtons", -1), m_userSwap);
    EXPECT_NE(StoredPrecision(-1), m_userPrecision);
    ASSERT_TRUE(PhysicalInput::MoveTo(kDesktop.x, kDesktop.y));
    ASSERT_TRUE(SystemBecomes(L"lines", m_userLines));

    ASSERT_TRUE(m_program.StartLater(L"/debug /exit"));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.LogTail();
    EXPECT_EQ(StoredValue(kDesktopKey, L"WheelScrollLines", -1), m_userLines) << m_program.LogTail();
    EXPECT_EQ(StoredValue(kMouseKey, L"SwapMouseButtons", -1), m_userSwap) << m_program.LogTail();
    EXPECT_EQ(StoredPrecision(-1), m_userPrecision) << m_program.LogTail();
}

TEST_F(ProgramMouseSettings, ADisableInAForcingProfilesWindowLeavesTheUsersOwnValuesInStoreAtTheExit)
{
    // The user's precision is on with thresholds of the user's own, which the
    // settings' thresholds differ from.
    const int userMouse[3] = {4, 9, 1};
    std::copy(userMouse, userMouse + 3, m_userMouse);
    ASSERT_TRUE(PutUsersValues());
    CSettings settings(false, GetStartupMouseInfo());
    settings.m_bAllowSetSpeed = true;
    settings.m_bEnhancePointerPrecision = false;
    settings.m_nEPPThreshold1 = 6;
    settings.m_nEPPThreshold2 = 12;
    settings.m_bGlobalHotkeys = true;
    settings.GetHotKeys()->GetHotkey(HK_ToggleEnable)->SetVirtualKey(VK_F7);
    const int own = m_userLines == 7 ? 8 : 7;
    CApplicationSettings* profile = ProbeProfile(settings);
    profile->SetScrollLines(own);
    profile->SetSwapButtons(m_userSwap != 0 ? SWAPBUTTONS_NO : SWAPBUTTONS_YES);
    profile->OverrideMouseSpeed(true);
    profile->EnhancePointerPrecision(true);
    profile->SetForceSPIMessage(true);
    ASSERT_NO_FATAL_FAILURE(StartProbeAndProgram(settings));
    ASSERT_TRUE(SystemBecomes(L"precision", 0));

    // The profile forces its lines and swap, and the user's own precision.
    ASSERT_TRUE(EnterProbe());
    ASSERT_TRUE(brmptest::WaitFor([&] { return StoredValue(kDesktopKey, L"WheelScrollLines", -1) == own; },
                                  kSystemTimeoutMs))
        << m_program.LogTail();
    ASSERT_TRUE(m_program.WaitForLog("SetHotkeys installed 1 global hotkeys")) << m_program.LogTail();
    ASSERT_TRUE(PhysicalInput::KeyTap(L"F7"));
    ASSERT_TRUE(m_program.WaitForLog("OnToggleDisable: Disable")) << m_program.LogTail();
    ASSERT_TRUE(m_program.StartLater(L"/debug /exit"));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.LogTail();
    EXPECT_EQ(StoredValue(kDesktopKey, L"WheelScrollLines", -1), m_userLines) << m_program.LogTail();
    EXPECT_EQ(StoredValue(kMouseKey, L"SwapMouseButtons", -1), m_userSwap) << m_program.LogTail();
    EXPECT_EQ(StoredPrecision(-1), 1) << m_program.LogTail();
    EXPECT_EQ(StoredValue(kMouseKey, L"MouseThreshold1", -1), userMouse[0]) << "the settings' thresholds were stored as the user's";
    EXPECT_EQ(StoredValue(kMouseKey, L"MouseThreshold2", -1), userMouse[1]);
}

TEST_F(ProgramMouseSettings, AProfilesOwnPointerPrecisionIsNotStoredAsTheUsersUnlessItForcesItsValues)
{
    CSettings settings(false, GetStartupMouseInfo());
    settings.m_bAllowSetSpeed = true;
    CApplicationSettings* profile = ProbeProfile(settings);
    profile->OverrideMouseSpeed(true);
    profile->SetMouseSpeed(4);
    profile->EnhancePointerPrecision(m_userPrecision == 0);
    ASSERT_NO_FATAL_FAILURE(StartProbeAndProgram(settings));

    ASSERT_TRUE(EnterProbe());
    ASSERT_TRUE(SystemBecomes(L"precision", m_userPrecision == 0 ? 1 : 0));
    EXPECT_EQ(StoredPrecision(-1), m_userPrecision) << "the profile's precision was stored as the user's\n"
                                                    << m_program.LogTail();
}
