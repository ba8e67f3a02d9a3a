#pragma once
// The tray's icons: one per layer, one for "remapping off", and variants that
// mark debug mode and the cursor-speed position. Icon files in the program's
// own folder ("Layer%d.ico", "Disabled.ico") replace the drawn ones.

#include <windows.h>

#include <array>
#include <string>

#include "Handles.h"

// Index of the disabled icon in the icon table; 0..9 are the layers.
constexpr int kDisabledIconIndex = 10;
constexpr int kLayerIconCount = 10;

// Which icon the tray shows: the disabled one while remapping is off,
// otherwise the layer's. A layer outside the table shows the first layer's
// icon, so a stray number never indexes past the table.
int TrayIconIndex(bool hooked, bool brmpDisabled, int layer);

// Draws the program's own icon for a layer (0..9) or, with kDisabledIconIndex,
// the disabled one, at size x size pixels. The caller destroys it.
HICON DrawLayerIcon(int index, int size);

// The icon with the cursor-speed marks (one yellow dot per step of the
// position, none when negative) and the icon on a red disc with the same
// marks (debug mode).
// Drawn at the tray's size; a new icon the caller destroys.
HICON CreateSpeedIcon(HICON icon, int speedPosition);
HICON CreateDebugIcon(HICON icon, int speedPosition = -1);

// The icon table, loaded once.
class CLayerIcons
{
public:
    CLayerIcons() = default;
    ~CLayerIcons();
    CLayerIcons(const CLayerIcons&) = delete;
    CLayerIcons& operator=(const CLayerIcons&) = delete;

    // Loads "Layer1.ico".."Layer10.ico" and "Disabled.ico" from folder (ending
    // in a backslash) where present, else draws them.
    void Load(const std::wstring& folder);
    // The plain icon of an index; out of range gives the first layer's.
    HICON Get(int index) const;
    bool LoadedFromFile(int index) const;

    // The icon the tray shows, composed: the disabled icon as it is (or its
    // debug variant), a layer icon with the speed marks or its debug variant.
    // A new icon the caller destroys.
    HICON Compose(int index, bool debug, int speedPosition) const;

    // Destroys the icons; Load fills the table again.
    void Release();

private:
    std::array<UniqueIcon, kLayerIconCount + 1> m_icons{};
    std::array<bool, kLayerIconCount + 1> m_fromFile{};
};
