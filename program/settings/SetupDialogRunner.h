#pragma once
// Runs the settings dialog for the main window and hands the open dialog to
// it: requests of later starts (import, settings file, language) go to the
// dialog while it is open, and an exit ends it.

#include <windows.h>

#include <string>

#include "MainWindowServices.h"

class CSetupDialog;

class CSetupDialogRunner final : public ISetupDialogControl
{
public:
    // Runs the dialog modally for owner; returns when it has closed. The
    // profile selected at the end is selected again at the next opening, and
    // the language the dialog's settings name becomes the program's.
    void Run(HWND owner, const std::wstring& importFile, const std::wstring& languageFile, bool portable, bool quillon);
    // The open dialog, null when none.
    ISetupDialogControl* Open() { return m_dialog != nullptr ? this : nullptr; }

    void BringToFront() override;
    void Import(const std::wstring& file) override;
    bool SwitchProfile(const std::wstring& file) override;
    void SelectLanguage(const std::wstring& file) override;
    void EndForExit() override;

private:
    CSetupDialog* m_dialog = nullptr;
    int m_setupValue = 0;
};
