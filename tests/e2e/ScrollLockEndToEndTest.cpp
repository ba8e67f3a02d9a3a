// "Ignore everything while Scroll Lock is on": the key pressed on the real
// keyboard turns remapping off for the next click and back on for the one after
// the next press, as soon as the key has been taken (the hook keeps a reading
// of the toggle, which the key itself makes stale).

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

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
const wchar_t kTitle[] = L"Brmp Scroll Lock Window";

bool ScrollLockToggledHere()
{
    return (::GetKeyState(VK_SCROLL) & 1) != 0;
}

class ScrollLockEndToEnd : public ProbeSuite<ScrollLockEndToEnd>
{
protected:
    ScrollLockEndToEnd() : ProbeSuite(L"ScrollLock") {}

    static void SetUpTestSuite() { StartProbes({Placed(kTitle, RECT{100, 100, 600, 500})}); }

    void TearDown() override
    {
        // Scroll Lock is left off, as it was found.
        if (ScrollLockToggledHere())
            PhysicalInput::KeyTap(L"Scroll_Lock");
        ProbeSuite::TearDown();
    }

    // The probe's middle button is a left click; Scroll Lock turns remapping off.
    static ::testing::AssertionResult LoadAndHook()
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = false;
        settings.m_bScrollLockBypassAll = true;
        AddProbeProfile(settings, kTitle)->SetActions(kMiddle, 0, ACTION_LEFT_CLICK);
        return IsolatedSettings::LoadAndHook(settings);
    }

    // Middle-clicks the probe; a right click after it proves that everything
    // before it has arrived.
    static ::testing::AssertionResult MiddleClickIsRemapped(bool& remapped)
    {
        ProbeAt().Clear();
        if (!PhysicalInput::Click(kMiddle) || !PhysicalInput::Click(PhysicalInput::kRight))
            return ::testing::AssertionFailure() << "xdotool click failed";
        if (!ProbeAt().WaitForRecord(Named(L"WM_RBUTTONUP")))
            return ::testing::AssertionFailure() << "the fence click never arrived\n" << ProbeAt().Describe();
        remapped = !ProbeAt().Records(Named(L"WM_LBUTTONUP")).empty();
        return ::testing::AssertionSuccess();
    }

};

} // namespace

TEST_F(ScrollLockEndToEnd, TheKeyTurnsRemappingOffForTheNextClickAndOnAgain)
{
    ASSERT_FALSE(ScrollLockToggledHere()) << "Scroll Lock was on before the test";
    ASSERT_TRUE(LoadAndHook());
    ASSERT_TRUE(ProbeAt().Activate());
    const POINT at = ProbeAt().Center();
    ASSERT_TRUE(PhysicalInput::MoveTo(at.x, at.y));
    bool remapped = false;
    ASSERT_TRUE(MiddleClickIsRemapped(remapped));
    EXPECT_TRUE(remapped) << "Scroll Lock off: remapped\n" << ProbeAt().Describe();

    for (const bool on : {true, false})
    {
        SCOPED_TRACE(on ? "Scroll Lock on" : "Scroll Lock off again");
        ASSERT_TRUE(PhysicalInput::KeyTap(L"Scroll_Lock"));
        // The probe has the focus: once the key reached it, the system has taken it.
        ASSERT_TRUE(WaitFor([&] { return ScrollLockToggledHere() == on; })) << "the key did not toggle Scroll Lock";
        ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYUP")).has_value()) << ProbeAt().Describe();
        ASSERT_TRUE(MiddleClickIsRemapped(remapped));
        EXPECT_EQ(remapped, !on) << ProbeAt().Describe();
    }
}
