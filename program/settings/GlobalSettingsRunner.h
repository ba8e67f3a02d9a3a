#pragma once
// The settings dialog's road to the global settings sheet: the sheet's pages
// are loaded from the dialog's settings copy, run modally on start page, and
// stored back into the copy when the user confirmed a change.

class CSettings;
class CSetupDialog;

struct GlobalSettingsOutcome
{
    // The copy was changed (Apply is to be enabled and the pages refilled).
    bool changed = false;
};

// Start pages: 0 General, 1 Pointer, 2 Advanced, 3 Language, 4 Updates and
// Logging, 5 Hotkeys, 6 Layer modifiers.
GlobalSettingsOutcome RunGlobalSettings(CSetupDialog& dialog, CSettings& settings, int startPage);
// Whether the sheet is open (over the dialog) now.
bool GlobalSettingsOpen();
