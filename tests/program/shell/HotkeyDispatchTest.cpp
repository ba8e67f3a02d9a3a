#include <gtest/gtest.h>

#include <windows.h>

#include "HotkeyDispatch.h"
#include "WaitFor.h"

namespace
{
struct DispatchCase
{
    int id;
    bool remappingOff;
    int maxLayers;
    HotkeyAction action;
    int layer;
};

TEST(HotkeyDispatch, EachHotkeyAsksForItsActionAndLayerHotkeysOnlyForLayersInUse)
{
    using A = HotkeyAction;
    const DispatchCase cases[] = {
        {0, false, 10, A::SetLayer, 0},
        {4, false, 10, A::SetLayer, 4},
        {4, false, 4, A::None, -1},          // layer 5 of four
        {3, false, 4, A::SetLayer, 3},
        {13, false, 10, A::SetLayer, 5},
        {17, false, 10, A::SetLayer, 9},
        {13, false, 4, A::None, -1},
        {17, false, 9, A::None, -1},
        {17, false, 50, A::SetLayer, 9},     // a count beyond the profile's ten is not trusted
        {16, false, 50, A::SetLayer, 8},
        {0, false, 0, A::None, -1},
        {0, false, -3, A::None, -1},
        {5, false, 10, A::NextLayer, -1},
        {6, false, 10, A::PreviousLayer, -1},
        {7, false, 10, A::ToggleDisable, -1},
        {8, false, 10, A::ToggleDebug, -1},
        {9, false, 10, A::SaveDesktopIcons, -1},
        {10, false, 10, A::RestoreDesktopIcons, -1},
        {11, false, 10, A::ToggleXAxisLock, -1},
        {12, false, 10, A::ToggleYAxisLock, -1},
        {18, false, 10, A::OpenSettings, -1},
        {19, false, 10, A::CentreCursor, -1},
        {20, false, 10, A::SnapToForeground, -1},
        {21, false, 10, A::SnapToProfileWindow, -1},
        {22, false, 10, A::CycleCursorSpeed, -1},
        {23, false, 10, A::ToggleXAxisInvert, -1},
        {24, false, 10, A::ToggleYAxisInvert, -1},
        {25, false, 10, A::None, -1},
        {-1, false, 10, A::None, -1},
        {1000, true, 10, A::None, -1},
    };
    for (const DispatchCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " max " << c.maxLayers);
        const HotkeyDecision d = DecideHotkey(c.id, c.remappingOff, c.maxLayers);
        EXPECT_EQ(d.action, c.action);
        if (c.action == A::SetLayer)
        {
            EXPECT_EQ(d.layer, c.layer);
        }
    }
}

TEST(HotkeyDispatch, WhileRemappingIsOffOnlyToggleDebugAndSettingsAct)
{
    for (int id = 0; id < kGlobalHotkeyCount; ++id)
    {
        SCOPED_TRACE(id);
        const HotkeyDecision d = DecideHotkey(id, true, 10);
        const bool acts = id == 7 || id == 8 || id == 18;
        EXPECT_EQ(d.action != HotkeyAction::None, acts);
        EXPECT_EQ(HotkeyActsWhileDisabled(id), acts);
    }
}

TEST(HotkeyDispatch, StoredModifierBitsBecomeTheSystemsModifiers)
{
    const struct
    {
        unsigned short stored;
        WORD registered;
    } cases[] = {
        {0x0, 0},
        {0x1, MOD_SHIFT},
        {0x2, MOD_CONTROL},
        {0x4, MOD_ALT},
        {0x8, MOD_WIN},
        {0x10, MOD_WIN},
        {0x7, MOD_SHIFT | MOD_CONTROL | MOD_ALT},
        {0x8000 | 0x2, MOD_CONTROL},      // the extended-key flag is no modifier
        {0x20, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(HotkeyModifiersToRegister(c.stored), c.registered);
    }
}

TEST(HotkeyDispatch, TheCursorGoesToTheMiddleOfTheWindow)
{
    EXPECT_EQ(MiddleOf(RECT{0, 0, 1280, 1024}).x, 640);
    EXPECT_EQ(MiddleOf(RECT{0, 0, 1280, 1024}).y, 512);
    const POINT p = MiddleOf(RECT{-300, 100, -100, 301});
    EXPECT_EQ(p.x, -200);
    EXPECT_EQ(p.y, 200);
}

TEST(HotkeyDispatch, SnappingMovesTheCursorIntoTheForegroundWindow)
{
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"snap target", WS_POPUP | WS_VISIBLE, 200, 150, 300,
                                    200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    // A window of the calling thread comes forward at once.
    ::SetForegroundWindow(window);
    struct Destroy
    {
        HWND window;
        ~Destroy() { ::DestroyWindow(window); }
    } destroy{window};
    ASSERT_EQ(::GetForegroundWindow(), window) << "the test window could not be brought to the foreground";
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    // Wine moves the X pointer after the call returns and may report the
    // place of an earlier move meanwhile: the cursor (moved once) is polled
    // until it is where it was sent.
    POINT cursor = {};
    const auto cursorAt = [&](POINT wanted) {
        return brmptest::WaitFor([&] {
            ::GetCursorPos(&cursor);
            return cursor.x == wanted.x && cursor.y == wanted.y;
        });
    };
    ASSERT_TRUE(SnapCursorToActiveWindow(false));
    EXPECT_TRUE(cursorAt(MiddleOf(rect))) << cursor.x << "," << cursor.y;

    CentreCursorOnPrimaryMonitor();
    EXPECT_TRUE(cursorAt(POINT{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2}))
        << cursor.x << "," << cursor.y;
}
} // namespace
