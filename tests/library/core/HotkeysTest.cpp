#include <gtest/gtest.h>

#include <memory>

#include "Hotkeys.h"

TEST(Hotkeys, NewTablesHoldUnsetKeysAndOnlyTheFixedOnesWorkWhileDisabled)
{
    CHotKeys hotkeys;
    int useWhenDisabled = 0;
    for (int i = 0; i < HK_Count; ++i)
    {
        CHotkey* key = hotkeys.GetHotkey(static_cast<GlobalHotkeys>(i));
        ASSERT_NE(key, nullptr) << i;
        EXPECT_EQ(key->GetVirtualKey(), 0) << i;
        EXPECT_EQ(key->GetModifier(), 0) << i;
        const bool expected = i == 7 || i == 8 || i == 9 || i == 10 || i == 18;
        EXPECT_EQ(key->GetUseWhenDisabled() != 0, expected) << i;
        useWhenDisabled += key->GetUseWhenDisabled() != 0;
    }
    EXPECT_EQ(useWhenDisabled, 5);

    // The modifier table takes the first 13 entries of the same rule.
    CLayerModifierKeys modifiers;
    for (int i = 0; i < MK_Count; ++i)
    {
        CHotkey* key = modifiers.GetHotkey(static_cast<ModifierKeys>(i));
        ASSERT_NE(key, nullptr) << i;
        EXPECT_EQ(key->GetUseWhenDisabled() != 0, i >= 7 && i <= 10) << i;
    }
}

TEST(Hotkeys, IndexesOutsideTheTablesGiveNull)
{
    CHotKeys hotkeys;
    CLayerModifierKeys modifiers;
    for (int bad : {-1, 25, 26, 1000, -1000})
        EXPECT_EQ(hotkeys.GetHotkey(static_cast<GlobalHotkeys>(bad)), nullptr) << bad;
    for (int bad : {-1, 13, 24, 25})
        EXPECT_EQ(modifiers.GetHotkey(static_cast<ModifierKeys>(bad)), nullptr) << bad;
    EXPECT_NE(hotkeys.GetHotkey(HK_InvertYAxis), nullptr);
    EXPECT_NE(modifiers.GetHotkey(MK_SlowCursor), nullptr);
}

TEST(Hotkeys, SettersReportWhetherTheValueChanged)
{
    CHotkey key(0);
    EXPECT_EQ(key.SetVirtualKey(0x41), 1);
    EXPECT_EQ(key.SetVirtualKey(0x41), 0);
    EXPECT_EQ(key.SetModifier(HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT), 1);
    EXPECT_EQ(key.SetModifier(HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT), 0);
    EXPECT_EQ(key.GetVirtualKey(), 0x41);
    EXPECT_EQ(key.GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT);
}

TEST(Hotkeys, ModifierBitsAndTheExtendedFlag)
{
    const struct
    {
        unsigned short modifier;
        bool extended;
    } cases[] = {
        {0, false},
        {HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT | HOTKEY_MOD_LWIN | HOTKEY_MOD_RWIN | HOTKEY_MOD_APPS, false},
        {HOTKEY_EXTENDED, true},
        {HOTKEY_EXTENDED | HOTKEY_MOD_SHIFT, true},
        {0x7FFF, false},
        {0xFFFF, true},
    };
    for (const auto& c : cases)
    {
        CHotkey key(3);
        key.SetModifier(c.modifier);
        EXPECT_EQ(key.IsExtended(), c.extended) << c.modifier;
        EXPECT_EQ(key.GetModifier(), c.modifier);
    }
}

TEST(Hotkeys, AHotkeyControlValueSetsKeyModifiersAndTheExtendedFlag)
{
    const struct
    {
        unsigned long packed;
        unsigned short key;
        unsigned short modifier;
        unsigned long readBack;
    } cases[] = {
        {0x0341, 0x41, HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL, 0x0341},
        {0x0070, 0x70, 0, 0x0070},
        // Ctrl+Insert of the navigation block: the control's extended flag
        // (0x8) is the key's extended bit, never the Windows key.
        {0x0A2D, 0x2D, HOTKEY_MOD_CTRL | HOTKEY_EXTENDED, 0x0A2D},
        // Flags the control never sets carry nothing; nor do bits above the two low bytes.
        {0xF72E, 0x2E, HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT, 0x072E},
        {0xABCD0641, 0x41, HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT, 0x0641},
    };
    for (const auto& c : cases)
    {
        CHotkey key(0);
        EXPECT_EQ(key.SetHotkey(c.packed), 1) << c.packed;
        EXPECT_EQ(key.GetVirtualKey(), c.key);
        EXPECT_EQ(key.GetModifier(), c.modifier) << c.packed;
        EXPECT_EQ(key.GetHotkey(), c.readBack);
        EXPECT_EQ(key.SetHotkey(key.GetHotkey()), 0) << "the same value again changes nothing";
    }
}

TEST(Hotkeys, AControlValueHasNoWindowsKeysAndClearsThem)
{
    CHotkey key(0);
    key.SetModifier(HOTKEY_MOD_LWIN | HOTKEY_MOD_SHIFT);
    key.SetVirtualKey(0x2E);
    EXPECT_EQ(key.SetHotkey(0x012E), 1);
    EXPECT_EQ(key.GetModifier(), HOTKEY_MOD_SHIFT);
}

TEST(Hotkeys, AGlobalHotkeysExtendedFlagIsBitThreeInFiles)
{
    EXPECT_EQ(CHotkey::GlobalModifierFromFile(0x0A), HOTKEY_MOD_CTRL | HOTKEY_EXTENDED);
    EXPECT_EQ(CHotkey::GlobalModifierFromFile(0x07), 0x07);
    EXPECT_EQ(CHotkey::GlobalModifierToFile(HOTKEY_MOD_CTRL | HOTKEY_EXTENDED), 0x0A);
    for (unsigned short stored = 0; stored < 0x100; ++stored)
        EXPECT_EQ(CHotkey::GlobalModifierToFile(CHotkey::GlobalModifierFromFile(stored)), stored) << stored;
}

TEST(Hotkeys, ACopiedTableOwnsItsOwnKeys)
{
    auto original = std::make_unique<CHotKeys>();
    original->GetHotkey(HK_Layer2)->SetVirtualKey(0x32);
    CHotKeys copy(*original);
    original->GetHotkey(HK_Layer2)->SetVirtualKey(0x33);
    EXPECT_NE(copy.GetHotkey(HK_Layer2), original->GetHotkey(HK_Layer2));
    original.reset();   // the copy's keys outlive the original
    EXPECT_EQ(copy.GetHotkey(HK_Layer2)->GetVirtualKey(), 0x32);
    EXPECT_EQ(copy.GetHotkey(HK_ToggleEnable)->GetUseWhenDisabled(), 1);

    CLayerModifierKeys modifiers;
    modifiers.GetHotkey(MK_LockXAxis)->SetModifier(HOTKEY_MOD_ALT | HOTKEY_EXTENDED);
    CLayerModifierKeys assigned;
    assigned = modifiers;
    modifiers.GetHotkey(MK_LockXAxis)->SetModifier(0);
    EXPECT_TRUE(assigned.GetHotkey(MK_LockXAxis)->IsExtended());
}
