// The rules of the action dispatch on plain values: which key an action sends
// and on which event, which layer a held layer button goes to and comes back
// to, when wheel actions repeat, which windows take minimise and maximise.

#include <gtest/gtest.h>

#include <initializer_list>

#include "ActionDispatch.h"
#include "Actions.h"
#include "EngineInput.h"
#include "OSVersion.h"

namespace
{
TEST(ActionKeys, EachKeyActionSendsItsKeyWithItsModifiersOnItsOwnEvent)
{
    constexpr UINT shift = 1, ctrl = 2, alt = 4, win = 8;
    constexpr UINT noScan = static_cast<UINT>(-1);
    struct Case { int code; int vk; bool extended; UINT modifiers; UINT scan; int kind; };
    const Case cases[] = {
        {ACTION_NEXT_WINDOW, VK_ESCAPE, false, alt, noScan, 1},
        {ACTION_PREVIOUS_WINDOW, VK_ESCAPE, false, alt | shift, noScan, 1},
        {ACTION_COPY, 'C', false, ctrl, noScan, 2},
        {ACTION_CUT, 'X', false, ctrl, noScan, 2},
        {ACTION_NEW, 'N', false, ctrl, noScan, 2},
        {ACTION_OPEN, 'O', false, ctrl, noScan, 2},
        {ACTION_PASTE, 'V', false, ctrl, noScan, 2},
        {ACTION_REDO, 'Y', false, ctrl, noScan, 2},
        {ACTION_UNDO, 'Z', false, ctrl, noScan, 2},
        {ACTION_ENTER, VK_RETURN, false, 0, noScan, 2},
        {ACTION_ESCAPE, VK_ESCAPE, false, 0, noScan, 2},
        {ACTION_OPEN_HELP, VK_F1, false, 0, noScan, 2},
        {ACTION_SHOW_DESKTOP, 'D', false, win, noScan, 1},
        {ACTION_MEDIA_NEXT_TRACK, 176, true, 0, 0, 1},
        {ACTION_MEDIA_LAST_TRACK, 177, true, 0, 0, 1},
        {ACTION_MEDIA_STOP, 178, true, 0, 0, 1},
        {ACTION_MEDIA_PLAY_PAUSE, 179, true, 0, 0, 1},
        {ACTION_LAUNCH_EMAIL, 180, true, 0, 0, 1},
        {ACTION_OPEN_EXPLORER, 'E', false, win, noScan, 2},
        {ACTION_OPEN_RUN_COMMAND, 'R', false, win, noScan, 2},
        {ACTION_SHOW_SIDEBAR, VK_SPACE, false, win, noScan, 2},
        {ACTION_OPEN_WEB_BROWSER, 172, true, 0, 0, 2},
        {ACTION_FLIP_3D, VK_TAB, false, win, noScan, 1},
        {ACTION_PRINT_SCREEN, 44, false, 0, noScan, 2},
        {ACTION_PRINT_ACTIVE_WINDOW, 44, false, alt, noScan, 2},
        {ACTION_SYSTEM_MENU, 'X', false, win, noScan, 1},
        {ACTION_CHARMS_BAR, 'C', false, win, noScan, 1},
        {ACTION_PC_SETTINGS, 'I', false, win, noScan, 1},
        {ACTION_SEARCH_CHARM, 'Q', false, win, noScan, 1},
        {ACTION_SEARCH_APPS, 'W', false, win, noScan, 1},
        {ACTION_SEARCH_FILES, 'F', false, win, noScan, 1},
        {ACTION_SNAP_MODERN_RIGHT, 190, false, win, noScan, 1},
        {ACTION_EMOJI_KEYBOARD, 190, false, win, noScan, 1},
        {ACTION_SNAP_MODERN_LEFT, 190, false, win | shift, noScan, 1},
        {ACTION_SNAP_WINDOW_LEFT, VK_LEFT, true, win, noScan, 1},
        {ACTION_SNAP_WINDOW_RIGHT, VK_RIGHT, true, win, noScan, 1},
        {ACTION_SNAP_WINDOW_UP, VK_UP, true, win, noScan, 1},
        {ACTION_SNAP_WINDOW_DOWN, VK_DOWN, true, win, noScan, 1},
        {ACTION_VIRTUAL_DESKTOP_NEW, 'D', false, ctrl | win, noScan, 1},
        {ACTION_VIRTUAL_DESKTOP_CLOSE, VK_F4, false, ctrl | win, noScan, 1},
        {ACTION_VIRTUAL_DESKTOP_LEFT, VK_LEFT, true, ctrl | win, noScan, 1},
        {ACTION_VIRTUAL_DESKTOP_RIGHT, VK_RIGHT, true, ctrl | win, noScan, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "action " << c.code);
        const ActionKey key = ActionKeyFor(c.code, ActionOS_Win10);
        EXPECT_EQ(key.vk, c.vk);
        EXPECT_EQ(key.extended, c.extended);
        EXPECT_EQ(key.modifiers, c.modifiers);
        EXPECT_EQ(key.scan, c.scan);
        EXPECT_EQ(key.kind, c.kind);
    }
}

TEST(ActionKeys, AltTabKeepsTheSwitcherOpenFromVistaOnAndOtherActionsSendNoPlainKey)
{
    EXPECT_EQ(ActionKeyFor(ACTION_ALT_TAB, ActionOS_WinXP).modifiers, 4u);
    EXPECT_EQ(ActionKeyFor(ACTION_ALT_TAB, ActionOS_Vista).modifiers, 6u);
    EXPECT_EQ(ActionKeyFor(ACTION_ALT_TAB, ActionOS_Win11).modifiers, 6u);
    const std::initializer_list<int> others = {ACTION_LEFT_CLICK, ACTION_SIMULATED_KEYS, ACTION_NO_CHANGE,
                                               ACTION_LAYER_2, ACTION_BACK, -1, 140};
    for (int code : others)
        EXPECT_EQ(ActionKeyFor(code, ActionOS_Win10).vk, 0) << code;
}

TEST(ActionCodes, BrowserCommandsClicksAndLayersMapToTheirTargets)
{
    const int commands[][2] = {{ACTION_BACK, 1}, {ACTION_FORWARD, 2}, {ACTION_BROWSER_STOP, 4},
                               {ACTION_BROWSER_REFRESH, 3}, {ACTION_BROWSER_SEARCH, 5},
                               {ACTION_BROWSER_FAVOURITES, 6}, {ACTION_COPY, 0}};
    for (const auto& c : commands)
        EXPECT_EQ(AppCommandFor(c[0]), c[1]) << c[0];

    const int clicks[][2] = {{ACTION_LEFT_CLICK, 0}, {ACTION_RIGHT_CLICK, 1}, {ACTION_MIDDLE_CLICK, 2},
                             {ACTION_CLICK_BUTTON_4, 3}, {ACTION_CLICK_BUTTON_5, 4}, {ACTION_DOUBLE_CLICK, -1}};
    for (const auto& c : clicks)
        EXPECT_EQ(ClickButtonFor(c[0]), c[1]) << c[0];

    const int layers[][2] = {{ACTION_LAYER_1, 0}, {ACTION_LAYER_5, 4}, {ACTION_LAYER_6, 5}, {ACTION_LAYER_10, 9},
                             {ACTION_LAYER_NEXT, -1}, {ACTION_OPEN_FOLDER, -1}, {ACTION_RESERVED_FIRST, -1}};
    for (const auto& c : layers)
        EXPECT_EQ(MomentaryLayerFor(c[0]), c[1]) << c[0];
}

TEST(MomentaryLayers, AReleaseReturnsToTheLayerLeftOrTheFirstAndNeverToANonLayer)
{
    EXPECT_EQ(MomentaryReturnLayer(3, false), 3);
    EXPECT_EQ(MomentaryReturnLayer(3, true), 0);
    EXPECT_EQ(MomentaryReturnLayer(0, true), 0);

    struct Case { int returnLayer; int layerCount; bool allowed; };
    const Case cases[] = {
        {0, 10, true}, {9, 10, true}, {4, 5, true},
        {5, 5, false},    // above the layers in use
        {-1, 10, false},  // nothing recorded
        {-7, 10, false},  // damaged record: never an index
        {10, 12, false},  // a profile has ten layers whatever the count says
    };
    for (const Case& c : cases)
        EXPECT_EQ(CanReturnToLayer(c.returnLayer, c.layerCount), c.allowed) << c.returnLayer << " of " << c.layerCount;
}

TEST(WheelActions, OnlyButtonsWhoseNotchesDoNotRepeatByThemselvesRepeat)
{
    struct Case { int button; bool ignoreV; bool ignoreH; bool quillon; bool repeats; };
    const Case cases[] = {
        {Middle, false, false, false, true},    // a held ordinary button repeats
        {XLeft, false, false, false, true},
        {WheelUp, false, false, false, false},  // each notch is an event of its own
        {WheelDown, true, false, false, true},  // ignored notches: the timer repeats instead
        {TiltLeft, false, false, false, false},
        {TiltRight, false, true, false, true},
        {TiltRight, true, false, false, false},
        {Middle, false, false, true, false},    // Quillon mode never repeats
    };
    for (const Case& c : cases)
        EXPECT_EQ(WheelActionRepeats(c.button, c.ignoreV, c.ignoreH, c.quillon), c.repeats) << c.button;
}

TEST(RepeatDelay, TheFirstRepeatWaitsTheSlotsDelayOrTheSystemsPlusTheKeysOwnTime)
{
    EXPECT_EQ(KeyRepeatStartDelay(300, 1, 20, 500), 321);
    EXPECT_EQ(KeyRepeatStartDelay(0, 1, 20, 500), 521);
    EXPECT_EQ(KeyRepeatStartDelay(0, 0, 0, 0), 1);          // never a busy repeat
    EXPECT_EQ(KeyRepeatStartDelay(-50, -1, -10, 0), 1);     // damaged values
    EXPECT_EQ(KeyRepeatStartDelay(0x7FFFFFFF, 60, 100, 0), 0x7FFFFFFF);
}

TEST(SimulatedKeysResult, AClickIsSwallowedOnlyWhenTheSlotBlocksTheMouse)
{
    EXPECT_EQ(SimulatedKeysResult(true, 1), 1);
    EXPECT_EQ(SimulatedKeysResult(true, 0), 0);
    EXPECT_EQ(SimulatedKeysResult(false, 1), 0);
}

TEST(WindowCommands, CloseAndRestoreActOnThePressMaximiseAndMinimiseOnTheRelease)
{
    struct Case { int code; UINT command; int kind; };
    const Case cases[] = {
        {ACTION_CLOSE, SC_CLOSE, 1},
        {ACTION_RESTORE_WINDOW, SC_RESTORE, 1},
        {ACTION_MAXIMIZE_WINDOW, SC_MAXIMIZE, 2},
        {ACTION_MINIMIZE_WINDOW, SC_MINIMIZE, 2},
        {ACTION_COPY, 0, 0},
    };
    for (const Case& c : cases)
    {
        int kind = -1;
        EXPECT_EQ(WindowCommandFor(c.code, kind), c.command) << c.code;
        EXPECT_EQ(kind, c.kind) << c.code;
    }
}

TEST(WindowCommands, MinimiseMaximiseAndRestoreNeedTheWindowsMatchingStyle)
{
    const LONG_PTR captioned = WS_CAPTION | WS_SYSMENU;
    struct Case { LONG_PTR style; const wchar_t* className; int show; bool accepted; };
    const Case cases[] = {
        {captioned | WS_MAXIMIZEBOX, L"Any", SW_MAXIMIZE, true},
        {captioned, L"Any", SW_MAXIMIZE, false},                     // a dialog cannot be maximised
        {captioned | WS_MINIMIZEBOX, L"Any", SW_MINIMIZE, true},
        {captioned | WS_MAXIMIZEBOX, L"Any", SW_MINIMIZE, false},
        {WS_SYSMENU, L"Any", SW_RESTORE, true},
        {WS_POPUP, L"Any", SW_RESTORE, false},                       // no caption, no system menu
        {WS_POPUP, L"VMUIFrame", SW_MAXIMIZE, true},                 // full-screen virtual machines
        {WS_POPUP, L"QWidget", SW_MINIMIZE, true},
        {WS_POPUP, nullptr, SW_RESTORE, false},
        {captioned | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, L"Any", SW_SHOW, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AcceptsMinMaxRestore(c.style, c.className, c.show), c.accepted)
            << (c.className != nullptr ? "" : "null class ") << c.show;
}

TEST(AppCommands, HostedAppsAndRemoteDesktopsGetButtonsOrKeysInsteadOfMessages)
{
    using R = AppCommandRoute;
    struct Case { int command; bool modern; bool enabledWindow; R route; };
    const Case cases[] = {
        {APPCMD_BACK, false, true, R::Message},
        {APPCMD_FAVOURITES, false, true, R::Message},
        {APPCMD_REFRESH, false, false, R::BrowserKey},   // no window takes it: the key does
        {APPCMD_BACK, true, true, R::XButton1},
        {APPCMD_FORWARD, true, false, R::XButton2},
        {APPCMD_SEARCH, true, true, R::BrowserKey},
        {0, false, true, R::None},
        {7, true, true, R::None},
        {-1, false, true, R::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RouteAppCommand(c.command, c.modern, c.enabledWindow), c.route) << c.command << " " << c.modern;
}
} // namespace
