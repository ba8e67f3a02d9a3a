#pragma once
// The language page of the global settings sheet: picks one of the language
// packs found in the settings folder and shows its author and description.

#include <windows.h>

#include <map>
#include <string>

#include "LanguagePackFile.h"
#include "SettingsPage.h"

class CLanguageSettings : public CSettingsPage
{
public:
    CLanguageSettings();

    // Scans the settings folder for packs and fills the list; the entry of
    // m_languageFile is selected (the built-in language when it is not found).
    void ProcessLanguageFiles();

    // The chosen pack's file name; empty: the built-in language.
    std::wstring m_languageFile;
    // Packs of the last scan by their language name.
    std::map<std::wstring, LanguagePackInfo> m_packs;

    // Where the packs are looked for (ending in a backslash); tests point it
    // at a folder of their own. Null restores the settings folder.
    using FolderSource = bool (*)(std::wstring& folder);
    static void SetFolderSource(FolderSource source);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void ShowSelection();
    std::wstring SelectedText() const;
};

// The built-in language's entry in the list.
constexpr wchar_t kBuiltInLanguageEntry[] = L"English (UK - Default)";
