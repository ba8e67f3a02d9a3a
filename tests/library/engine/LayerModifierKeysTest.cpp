// The keyboard hook's decisions as rules: the derived modifier entries of its
// key table, which layer modifier key is held, and the cursor speeds.

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>

#include "ApplicationSettings.h"
#include "Globals.h"
#include "Hotkeys.h"
#include "KeyHook.h"
#include "Settings.h"

namespace
{
struct KeyEvent
{
    DWORD vk;
    bool up;
};

// Plays key events into a fresh table the way the hook does.
struct KeyTable
{
    BYTE state[256] = {};

    bool Play(std::initializer_list<KeyEvent> events, bool extended = false)
    {
        bool matchExtended = extended;
        for (const KeyEvent& e : events)
        {
            state[e.vk] = e.up ? 0 : 0x80;
            matchExtended = DeriveModifierEntries(state, e.vk, extended);
        }
        return matchExtended;
    }
};

constexpr unsigned short S = HOTKEY_MOD_SHIFT;
constexpr unsigned short C = HOTKEY_MOD_CTRL;
constexpr unsigned short A = HOTKEY_MOD_ALT;
constexpr unsigned short LW = HOTKEY_MOD_LWIN;
constexpr unsigned short RW = HOTKEY_MOD_RWIN;
constexpr unsigned short AP = HOTKEY_MOD_APPS;
}

TEST(KeyHookModifierEntries, TheCombinedShiftCtrlAndAltEntriesFollowTheirLeftAndRightKeys)
{
    struct Case
    {
        const char* what;
        std::initializer_list<KeyEvent> events;
        unsigned short held;
    };
    const Case cases[] = {
        {"left shift down", {{VK_LSHIFT, false}}, S},
        {"right ctrl down", {{VK_RCONTROL, false}}, C},
        {"left alt down and up", {{VK_LMENU, false}, {VK_LMENU, true}}, 0},
        {"Alt Gr: left ctrl then right alt leaves ctrl up", {{VK_LCONTROL, false}, {VK_RMENU, false}}, A},
        {"Alt Gr released: ctrl stays up", {{VK_LCONTROL, false}, {VK_RMENU, false}, {VK_LCONTROL, true}, {VK_RMENU, true}}, 0},
        {"right ctrl with Alt Gr stays ctrl", {{VK_RCONTROL, false}, {VK_LCONTROL, false}, {VK_RMENU, false}}, C | A},
        {"one shift released while the other is held", {{VK_LSHIFT, false}, {VK_RSHIFT, false}, {VK_RSHIFT, true}}, S},
        {"one alt released while the other is held", {{VK_RMENU, false}, {VK_LMENU, false}, {VK_LMENU, true}}, A},
        {"one ctrl released while the other is held", {{VK_LCONTROL, false}, {VK_RCONTROL, false}, {VK_RCONTROL, true}}, C},
        {"windows and application keys", {{VK_LWIN, false}, {VK_RWIN, false}, {VK_APPS, false}}, LW | RW | AP},
        {"a letter is no modifier", {{'K', false}}, 0},
    };
    for (const Case& c : cases)
    {
        KeyTable table;
        table.Play(c.events);
        EXPECT_EQ(HeldModifiers(table.state), c.held) << c.what;
    }
}

TEST(KeyHookModifierEntries, ModifierKeysAreMatchedAsNotExtendedOtherKeysKeepTheirFlag)
{
    const struct
    {
        DWORD vk;
        bool expected;
    } cases[] = {
        {VK_RCONTROL, false}, {VK_RMENU, false}, {VK_LWIN, false}, {VK_APPS, false}, {VK_RSHIFT, false},
        {VK_RIGHT, true},     {VK_RETURN, true}, {'K', true},
    };
    for (const auto& c : cases)
    {
        BYTE state[256] = {};
        state[c.vk] = 0x80;
        EXPECT_EQ(DeriveModifierEntries(state, c.vk, true), c.expected) << "vk 0x" << std::hex << c.vk;
    }
}

TEST(LayerModifierKeyMatch, ModifiersMustBeExactlyThoseOfTheMaskAndMaskZeroTakesAny)
{
    struct Case
    {
        const char* what;
        unsigned short vk;
        unsigned short modifier;
        bool extended;
        std::initializer_list<KeyEvent> events;
        bool matches;
    };
    const Case cases[] = {
        {"key alone, mask 0", 'K', 0, false, {{'K', false}}, true},
        {"mask 0 takes any modifiers", 'K', 0, false, {{VK_LCONTROL, false}, {VK_LMENU, false}, {'K', false}}, true},
        {"key not down", 'K', 0, false, {{'J', false}}, false},
        {"ctrl+K with ctrl", 'K', C, false, {{VK_LCONTROL, false}, {'K', false}}, true},
        {"ctrl+K without ctrl", 'K', C, false, {{'K', false}}, false},
        {"ctrl+K with ctrl and shift", 'K', C, false, {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'K', false}}, false},
        {"ctrl+alt+K with Alt Gr is not ctrl+alt", 'K', C | A, false, {{VK_LCONTROL, false}, {VK_RMENU, false}, {'K', false}}, false},
        {"win+shift+K", 'K', LW | S, false, {{VK_LWIN, false}, {VK_LSHIFT, false}, {'K', false}}, true},
        {"right win + apps", 'K', RW | AP, false, {{VK_RWIN, false}, {VK_APPS, false}, {'K', false}}, true},
        // Four modifiers: an unusual mask that must still be exact.
        {"ctrl+alt+shift+win+K on the bare key", 'K', S | C | A | LW, false, {{'K', false}}, false},
        {"ctrl+alt+shift+win+K with all four", 'K', S | C | A | LW, false,
         {{VK_LSHIFT, false}, {VK_LCONTROL, false}, {VK_LMENU, false}, {VK_LWIN, false}, {'K', false}}, true},
        {"ctrl+alt+win+K on the bare key", 'K', C | A | LW, false, {{'K', false}}, false},
        {"modifier-only entry: ctrl held", 0, C, false, {{VK_RCONTROL, false}}, true},
        {"modifier-only entry: ctrl and alt held", 0, C, false, {{VK_RCONTROL, false}, {VK_LMENU, false}}, false},
        {"extended entry for a plain event", VK_RETURN, HOTKEY_EXTENDED, false, {{VK_RETURN, false}}, false},
        {"extended entry for an extended event", VK_RETURN, HOTKEY_EXTENDED, true, {{VK_RETURN, false}}, true},
        {"plain entry for an extended event", VK_RETURN, 0, true, {{VK_RETURN, false}}, false},
        {"empty entry", 0, 0, false, {{'K', false}}, false},
        {"key code beyond the table never matches", 0x141, 0, false, {{0x41, false}}, false},
    };
    for (const Case& c : cases)
    {
        KeyTable table;
        table.Play(c.events);
        EXPECT_EQ(LayerModifierKeyMatches(c.vk, c.modifier, c.extended, table.state), c.matches) << c.what;
    }
}

TEST(LayerModifierKeyTable, TheFirstHeldEntryInTableOrderWins)
{
    CLayerModifierKeys keys;
    keys.GetHotkey(MK_Layer2)->SetVirtualKey('K');
    keys.GetHotkey(MK_Layer2)->SetModifier(C);
    keys.GetHotkey(MK_Layer7)->SetVirtualKey('K');  // mask 0: any modifiers
    keys.GetHotkey(MK_SlowCursor)->SetVirtualKey('J');

    struct Case
    {
        const char* what;
        std::initializer_list<KeyEvent> events;
        int index;
    };
    const Case cases[] = {
        {"ctrl+K: the earlier layer 2 entry", {{VK_LCONTROL, false}, {'K', false}}, MK_Layer2},
        {"K alone: the mask-0 entry further down", {{'K', false}}, MK_Layer7},
        {"J: slow-down", {{'J', false}}, MK_SlowCursor},
        {"nothing held", {{'K', false}, {'K', true}}, -1},
    };
    for (const Case& c : cases)
    {
        KeyTable table;
        const bool extended = table.Play(c.events);
        EXPECT_EQ(FindLayerModifierKey(&keys, extended, table.state), c.index) << c.what;
    }
    BYTE state[256] = {};
    EXPECT_EQ(FindLayerModifierKey(nullptr, false, state), -1) << "no table";
}

TEST(LayerModifierKeyTable, EntriesMapToLayersOneToTenAroundTheAxisKeys)
{
    const int expected[MK_Count] = {0, 1, 2, 3, 4, -1, -1, 5, 6, 7, 8, 9, -1};
    for (int i = 0; i < MK_Count; ++i)
        EXPECT_EQ(LayerOfModifierKey(i), expected[i]) << "entry " << i;
    EXPECT_EQ(LayerOfModifierKey(-1), -1);
    EXPECT_EQ(LayerOfModifierKey(MK_Count), -1);
}

TEST(KeyHookCursorSpeed, TheNormalSpeedComesFromTheCycleOrSettingsUnlessAProfileOverridesIt)
{
    CSettings settings(*g_pSettings);
    settings.m_nCursorSpeed = 12;
    settings.m_nCursorSpeedCycle[0] = 3;
    settings.m_nCursorSpeedCycle[3] = 8;
    CApplicationSettings plain(&settings, false, 1);
    CApplicationSettings own(&settings, false, 2);
    own.OverrideMouseSpeed(true);
    own.SetMouseSpeed(17);
    CApplicationSettings unset(&settings, false, 3);
    unset.OverrideMouseSpeed(true);  // speed -1: no speed of its own

    struct Case
    {
        const char* what;
        int position;
        const CApplicationSettings* profile;
        const CApplicationSettings* defaultProfile;
        int speed;
    };
    const Case cases[] = {
        {"no cycle position: Cursor/Speed", -1, nullptr, nullptr, 12},
        {"cycle position: twice its value", 3, nullptr, nullptr, 16},
        {"cycle position out of range: Cursor/Speed", 4, nullptr, nullptr, 12},
        {"profile's own speed", 0, &own, nullptr, 17},
        {"profile without own speed: default profile's", 0, &plain, &own, 17},
        {"override without a speed counts as none", 0, &unset, nullptr, 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalCursorSpeed(&settings, c.position, c.profile, c.defaultProfile), c.speed) << c.what;
}

TEST(KeyHookCursorSpeed, TheSlowedSpeedIsAFifthAndNeverZero)
{
    const struct
    {
        int normal;
        int slowed;
    } cases[] = {{20, 4}, {10, 2}, {14, 2}, {5, 1}, {4, 1}, {1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(SlowCursorSpeed(c.normal), c.slowed) << "normal " << c.normal;
}
