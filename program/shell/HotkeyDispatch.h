#pragma once
// What each of the 25 global hotkeys does, as plain decisions over values, and
// the two cursor moves that hotkeys ask for.

#include <windows.h>

// What a pressed hotkey asks for.
enum class HotkeyAction
{
    None,               // unknown id, a layer not in use, or remapping is off
    SetLayer,           // layer holds the 0-based layer
    NextLayer,
    PreviousLayer,
    ToggleDisable,
    ToggleDebug,
    SaveDesktopIcons,
    RestoreDesktopIcons,
    ToggleXAxisLock,
    ToggleYAxisLock,
    OpenSettings,
    CentreCursor,
    SnapToForeground,
    SnapToProfileWindow,
    CycleCursorSpeed,
    ToggleXAxisInvert,
    ToggleYAxisInvert,
};

struct HotkeyDecision
{
    HotkeyAction action = HotkeyAction::None;
    int layer = -1;
};

constexpr int kGlobalHotkeyCount = 25;

// The hotkey's action. remappingOff: IsBRMPDisabled(true); only the toggle,
// debug and settings hotkeys act then. maxLayers: layers in use; a layer
// hotkey of a layer not in use (or of a nonsensical count) does nothing.
HotkeyDecision DecideHotkey(int id, bool remappingOff, int maxLayers);

// Whether the hotkey acts while remapping is off (ids 7, 8 and 18).
bool HotkeyActsWhileDisabled(int id);

// RegisterHotKey modifiers of a stored hotkey's modifier bits: Shift 0x1,
// Ctrl 0x2, Alt 0x4 and the Windows keys (0x8, 0x10). The extended-key flag
// and other bits are not modifiers and are dropped.
WORD HotkeyModifiersToRegister(unsigned short stored);

// Moves the cursor to the middle of the primary monitor.
void CentreCursorOnPrimaryMonitor();
// Moves the cursor to the middle of the foreground window, or of the window
// the profile in force matched. False (logged) when there is no such window.
bool SnapCursorToActiveWindow(bool profileWindow);
// The point SnapCursorToActiveWindow moves to.
POINT MiddleOf(const RECT& rect);
