// End to end: with the hooks installed and nothing configured for the window,
// physical input reaches the window under the pointer as it was made.

#include <gtest/gtest.h>

#include <windows.h>

#include "Globals.h"
#include "Hooks.h"
#include "PhysicalInput.h"
#include "Probe.h"

using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using brmptest::ProbeOptions;

namespace
{
class PassThrough : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ProbeOptions options;
        options.doubleClicks = false;
        m_probe = std::make_unique<Probe>(options);
        ASSERT_TRUE(m_probe->Start());
        ASSERT_TRUE(SetMouseHook());
        ASSERT_NE(g_threads.hMouseHook, nullptr);
        ASSERT_NE(g_threads.hKeyHook, nullptr);
        // The probe's warm-up left the pointer at its centre.
        m_probe->Clear();
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        m_probe.reset();
    }

    std::unique_ptr<Probe> m_probe;
};
}

TEST_F(PassThrough, EveryButtonReachesTheWindowUnderThePointerUnchanged)
{
    struct Case
    {
        int button;
        const wchar_t* down;
        const wchar_t* up;
        long long xbutton;   // 0: not an X button
    };
    const Case cases[] = {
        {PhysicalInput::kLeft, L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", 0},
        {PhysicalInput::kRight, L"WM_RBUTTONDOWN", L"WM_RBUTTONUP", 0},
        {PhysicalInput::kMiddle, L"WM_MBUTTONDOWN", L"WM_MBUTTONUP", 0},
        {PhysicalInput::kBack, L"WM_XBUTTONDOWN", L"WM_XBUTTONUP", 1},
        {PhysicalInput::kForward, L"WM_XBUTTONDOWN", L"WM_XBUTTONUP", 2},
    };
    const POINT centre = m_probe->Center();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "button " << c.button);
        m_probe->Clear();
        ASSERT_TRUE(PhysicalInput::Click(c.button));
        const auto up = m_probe->WaitForRecord(Named(c.up));
        ASSERT_TRUE(up.has_value()) << m_probe->Describe();
        const auto downs = m_probe->Records(Named(c.down));
        ASSERT_EQ(downs.size(), 1u) << m_probe->Describe();
        EXPECT_EQ(downs[0].Value(L"sx", -1), centre.x);
        EXPECT_EQ(downs[0].Value(L"sy", -1), centre.y);
        EXPECT_EQ(downs[0].Value(L"extra", -1), 0) << "physical input carries no signature";
        if (c.xbutton != 0)
        {
            EXPECT_EQ(downs[0].Value(L"button"), c.xbutton);
            EXPECT_EQ(up->Value(L"button"), c.xbutton);
        }
        EXPECT_EQ(m_probe->Records(Named(c.up)).size(), 1u);
    }
}

TEST_F(PassThrough, WheelNotchesInBothDirectionsAndBothAxesArriveUnchanged)
{
    struct Case
    {
        int notches;
        bool horizontal;
        const wchar_t* message;
        long long delta;
    };
    const Case cases[] = {
        {1, false, L"WM_MOUSEWHEEL", WHEEL_DELTA},
        {-1, false, L"WM_MOUSEWHEEL", -WHEEL_DELTA},
        {1, true, L"WM_MOUSEHWHEEL", WHEEL_DELTA},
        {-1, true, L"WM_MOUSEHWHEEL", -WHEEL_DELTA},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "notches " << c.notches << (c.horizontal ? " horizontal" : " vertical"));
        m_probe->Clear();
        ASSERT_TRUE(c.horizontal ? PhysicalInput::HorizontalWheel(c.notches) : PhysicalInput::Wheel(c.notches));
        const auto wheel = m_probe->WaitForRecord(Named(c.message));
        ASSERT_TRUE(wheel.has_value()) << m_probe->Describe();
        EXPECT_EQ(wheel->Value(L"delta"), c.delta);
        EXPECT_EQ(m_probe->Records(Named(c.message)).size(), 1u) << m_probe->Describe();
    }
}

TEST_F(PassThrough, KeysReachTheFocusedWindowUnchanged)
{
    ASSERT_TRUE(m_probe->Activate());
    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::KeyTap(L"a"));
    const auto up = m_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'A'));
    ASSERT_TRUE(up.has_value()) << m_probe->Describe();
    const auto downs = m_probe->Records(Named(L"WM_KEYDOWN", L"vk", 'A'));
    ASSERT_EQ(downs.size(), 1u) << m_probe->Describe();
    EXPECT_EQ(downs[0].Value(L"extra", -1), 0);
    EXPECT_EQ(m_probe->Records(Named(L"WM_CHAR", L"char", 'a')).size(), 1u) << m_probe->Describe();
}
