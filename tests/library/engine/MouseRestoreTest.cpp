// Putting the system mouse settings back when the hooks are removed.

#include <gtest/gtest.h>

#include <windows.h>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "Settings.h"

using namespace enginetest;

TEST(MouseRestore, RemovingTheHooksRestoresTheStartupValuesPerRestoreFlagAndCursorAllowOption)
{
    ASSERT_NE(g_pSettings, nullptr);
    struct Case
    {
        bool restore;
        bool allow;
        bool speedAndPrecisionBack;
        bool swapAndWheelBack;
    };
    const Case cases[] = {
        {false, true, false, false},
        {false, false, false, false},
        {true, true, true, true},
        // Speed and precision are the library's only while it may change them.
        {true, false, false, true},
    };
    const bool allowBefore = g_pSettings->m_bAllowSetSpeed;
    MouseStateGuard guard;
    const MouseState changed = MouseState::UnlikeStartup();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "restore " << c.restore << ", allow " << c.allow);
        g_pSettings->m_bAllowSetSpeed = c.allow;
        ASSERT_TRUE(SetMouseHook());
        changed.Write();
        const MouseState written = MouseState::Read();
        ASSERT_EQ(written.speed, changed.speed);
        ASSERT_TRUE(written.SameMouse(changed.mouse));
        ASSERT_EQ(written.swap, changed.swap);
        ASSERT_EQ(written.wheelLines, changed.wheelLines);

        ASSERT_TRUE(RemoveMouseHook(c.restore));

        const MouseState now = MouseState::Read();
        EXPECT_EQ(now.speed, c.speedAndPrecisionBack ? g_system.nStartupMouseSpeed : changed.speed);
        EXPECT_TRUE(now.SameMouse(c.speedAndPrecisionBack ? g_system.nStartupMouse : changed.mouse));
        EXPECT_EQ(now.swap, c.swapAndWheelBack ? g_system.nStartupSwapButtons : changed.swap);
        EXPECT_EQ(static_cast<int>(now.wheelLines), c.swapAndWheelBack ? g_system.nDefaultWheelLines : static_cast<int>(changed.wheelLines));
        // What the library believes follows what it restored.
        if (c.restore)
        {
            EXPECT_EQ(g_system.nSwapButtons, g_system.nStartupSwapButtons);
            EXPECT_EQ(g_system.nWheelLines, g_system.nDefaultWheelLines);
        }
        guard.Saved().Write();
    }
    g_pSettings->m_bAllowSetSpeed = allowBefore;
}
