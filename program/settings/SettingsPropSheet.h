#pragma once
// The "Global Settings" sheet: the program-wide options on seven pages. The
// sheet holds no values itself; its owner loads each page's members from the
// settings copy before the sheet runs and stores them after OK.

#include <windows.h>

#include <string>

#include "Handles.h"
#include "HotkeySettings.h"
#include "LanguageSettings.h"
#include "LayerSettings.h"
#include "OptionPages.h"
#include "PropertySheet.h"
#include "UpdateAndLogSettings.h"

class CSettings;

class CSettingsPropSheet : public CPropertySheet
{
public:
    // The pages in the order of the tabs; the index is the start page.
    enum Page
    {
        GeneralPage = 0,
        PointerPage,
        AdvancedPage,
        LanguagePage,
        UpdatesPage,
        HotkeysPage,
        ModifiersPage,
    };

    explicit CSettingsPropSheet(const wchar_t* caption, CWindow* parent = nullptr,
                                ILogFileShell& shell = DefaultLogFileShell());
    ~CSettingsPropSheet() override;
    CSettingsPropSheet(const CSettingsPropSheet&) = delete;
    CSettingsPropSheet& operator=(const CSettingsPropSheet&) = delete;

    // The owner's side of the sheet, around DoModal:
    // Fills every page's members from the settings (the key pages edit the
    // settings' own tables, in place, at OK).
    void LoadPages(CSettings& settings);
    // Whether OK left anything different from the settings.
    bool PagesDiffer(const CSettings& settings) const;
    // Stores every page into the settings; true when the layer count changed.
    bool StorePages(CSettings& settings);
    // While the sheet runs: the language page shows the settings' language
    // among the packs found now.
    void RefreshLanguagePage(const CSettings& settings);

    CGeneralSettings m_general;
    CPointerSettings m_pointer;
    CAdvancedSettings m_advanced;
    CLanguageSettings m_languagePage;
    CUpdateAndLogSettings m_updates;
    CHotkeySettings m_hotkeys;
    CLayerSettings m_modifiers;

protected:
    BOOL OnInitDialog() override;

private:
    UniqueIcon m_icon;
    int m_hotkeysChanged = 0;
    int m_modifiersChanged = 0;
};

// The settings dialog's road to the sheet: loads the pages from the settings,
// runs the sheet on the start page and, after OK with a change, stores every
// page back. True when the settings changed. While the sheet runs, a further
// call only shows the settings' language on the language page and turns the
// sheet to the start page.
bool RunGlobalSettingsSheet(CWindow* owner, CSettings& settings, int startPage);
// Whether that sheet is open now.
bool GlobalSettingsSheetRunning();
