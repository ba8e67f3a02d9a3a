#pragma once
// The tray icon's menu. Its content is decided from the program's state as a
// plain list (so the rule can be checked without a window), then made into a
// popup menu with the texts translated.

#include <windows.h>

#include <string>
#include <vector>

class CLangSupport;

// Command ids of the tray menu.
enum : UINT
{
    IdTraySetup = 109,
    IdTrayHideIcon = 110,
    IdTrayExit = 32778,
    IdTraySaveDesktop = 32781,
    IdTrayRestoreDesktop = 32782,
    IdTrayOpenLog = 32784,
    IdTrayDisable = 32786,
    IdTrayCheckUpdate = 32803,
    IdTrayLayerFirst = 32900,
};

struct TrayMenuItem
{
    UINT id = 0;          // 0 with no children: a separator
    std::wstring text;    // translated, with its & mnemonic
    bool checked = false;
    std::vector<TrayMenuItem> children;  // a popup when not empty

    bool IsSeparator() const { return id == 0 && children.empty(); }
};

struct TrayMenuState
{
    int maxLayers = 10;
    int currentLayer = 0;
    std::vector<std::wstring> layerNames;  // by layer; missing or empty: unnamed
    bool hooked = true;
    bool desktopIcons = true;  // the desktop icon layout can be kept
    std::wstring productName;
};

// The menu for a state. The layer popup lists the layers in use (at least one,
// at most ten) and checks the current one; with one layer it is left out.
std::vector<TrayMenuItem> BuildTrayMenu(const TrayMenuState& state, CLangSupport* language);

// Makes the popup menu; the caller destroys it.
HMENU CreateTrayMenu(const std::vector<TrayMenuItem>& items);

// Shows the menu at the cursor for the window; commands arrive as WM_COMMAND.
void ShowTrayMenu(HWND window, const TrayMenuState& state, CLangSupport* language);

// Opens the log file in the user's editor (a box tells when it cannot).
void OpenLogFile(HWND window, CLangSupport* language, const std::wstring& productName);
