#pragma once
// Global hotkeys and layer modifier keys: fixed tables of key combinations.

#include "SnareholdApi.h"

// Index of a global hotkey.
enum GlobalHotkeys : int
{
    HK_Layer1 = 0,
    HK_Layer2,
    HK_Layer3,
    HK_Layer4,
    HK_Layer5,
    HK_NextLayer,
    HK_PreviousLayer,
    HK_ToggleEnable,        // works while remapping is disabled
    HK_ToggleDebug,         // works while remapping is disabled
    HK_SaveIconLayout,      // works while remapping is disabled
    HK_RestoreIconLayout,   // works while remapping is disabled
    HK_ToggleXAxisLock,
    HK_ToggleYAxisLock,
    HK_Layer6,
    HK_Layer7,
    HK_Layer8,
    HK_Layer9,
    HK_Layer10,
    HK_OpenSettings,        // works while remapping is disabled
    HK_SnapToPrimaryMonitor,
    HK_SnapToActiveWindow,
    HK_SnapToProfileWindow,
    HK_CycleCursorSpeed,
    HK_InvertXAxis,
    HK_InvertYAxis,
    HK_Count                // 25
};

// Index of a layer modifier key (held down to switch a layer or a function on).
enum ModifierKeys : int
{
    MK_Layer1 = 0,
    MK_Layer2,
    MK_Layer3,
    MK_Layer4,
    MK_Layer5,
    MK_LockXAxis,
    MK_LockYAxis,
    MK_Layer6,
    MK_Layer7,
    MK_Layer8,
    MK_Layer9,
    MK_Layer10,
    MK_SlowCursor,
    MK_Count                // 13
};

// Modifier bits of a hotkey; bit 15 marks an extended virtual key.
constexpr unsigned short HOTKEY_MOD_SHIFT = 0x1;
constexpr unsigned short HOTKEY_MOD_CTRL = 0x2;
constexpr unsigned short HOTKEY_MOD_ALT = 0x4;
constexpr unsigned short HOTKEY_MOD_LWIN = 0x8;
constexpr unsigned short HOTKEY_MOD_RWIN = 0x10;
constexpr unsigned short HOTKEY_MOD_APPS = 0x20;
constexpr unsigned short HOTKEY_EXTENDED = 0x8000;

// One key combination: a virtual key with modifier bits.
class SNAREHOLD_API CHotkey
{
public:
    explicit CHotkey(int index);
    virtual ~CHotkey() = default;
    CHotkey(const CHotkey&) = default;
    CHotkey& operator=(const CHotkey&) = default;

    unsigned short GetModifier() const { return m_modifier; }
    unsigned short GetVirtualKey() const { return m_virtualKey; }
    bool IsExtended() const { return (m_modifier & HOTKEY_EXTENDED) != 0; }
    int GetUseWhenDisabled() const { return m_useWhenDisabled; }

    // Each returns 1 when the value changed, 0 when it was already stored.
    int SetModifier(unsigned short modifier);
    int SetVirtualKey(unsigned short virtualKey);

    // Packed form of a hotkey control: low byte the virtual key, next byte the
    // control's flags (Shift 0x1, Ctrl 0x2, Alt 0x4, extended key 0x8). The
    // control's extended flag is this key's HOTKEY_EXTENDED; it has no
    // Windows keys, so setting it clears them.
    int SetHotkey(unsigned long packed);
    unsigned long GetHotkey() const;

    // The modifier of a global hotkey as files store it: bit 0x8 there is the
    // extended flag (a global hotkey never holds a Windows key), kept so that
    // files of every version read and write alike.
    static unsigned short GlobalModifierFromFile(unsigned short stored);
    static unsigned short GlobalModifierToFile(unsigned short modifier);

    // Whether a key of this table index works while remapping is disabled.
    static bool UseWhenDisabledForIndex(int index);

private:
    unsigned short m_modifier = 0;
    unsigned short m_virtualKey = 0;
    int m_useWhenDisabled = 0;
};

// The 25 global hotkeys. Copies are deep: each table owns its keys.
class SNAREHOLD_API CHotKeys
{
public:
    CHotKeys();
    virtual ~CHotKeys();
    CHotKeys(const CHotKeys& other);
    CHotKeys& operator=(const CHotKeys& other);

    // Null for an index outside 0..24.
    CHotkey* GetHotkey(GlobalHotkeys index) const;

private:
    CHotkey* m_keys[HK_Count] = {};
};

// The 13 layer modifier keys. Copies are deep: each table owns its keys.
class SNAREHOLD_API CLayerModifierKeys
{
public:
    CLayerModifierKeys();
    virtual ~CLayerModifierKeys();
    CLayerModifierKeys(const CLayerModifierKeys& other);
    CLayerModifierKeys& operator=(const CLayerModifierKeys& other);

    // Null for an index outside 0..12.
    CHotkey* GetHotkey(ModifierKeys index) const;

private:
    CHotkey* m_keys[MK_Count] = {};
};
