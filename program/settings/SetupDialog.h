#pragma once
// The settings dialog: a modal window that edits a copy of the settings of
// its own. The profile list is on the left, one page per layer and the
// scrolling and options pages in a tab control on the right, the selected
// profile's details below. Nothing reaches the library until Apply (or the
// save offered on Close or on a switch of settings file) writes the file and
// makes the library reload it.
//
// The code is split by concern: SetupDialog.cpp (the frame: set-up, title,
// Apply and Close, tabs, messages of the library), SetupDialogFiles.cpp
// (loading, saving, import, export, settings files), SetupDialogProfiles.cpp
// (the profile list).

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ColourCheckListBox.h"
#include "Dialog.h"
#include "Handles.h"
#include "ListControls.h"
#include "PictureCtrl.h"
#include "PostedOnce.h"
#include "ProfileRules.h"
#include "SetupPages.h"
#include "TabCtrlSSL.h"
#include "ToolTip.h"

class CAboutDlg;
class CApplicationSettings;
class CLangSupport;
class CSettings;

class CSetupDialog : public CDialog
{
public:
    static constexpr int kLayerPages = 10;
    // Timers.
    static constexpr UINT_PTR kImportTimer = 1092;
    static constexpr UINT_PTR kLanguageTimer = 1093;
    static constexpr UINT_PTR kStatusTimer = 1094;
    // Colours of a pressed button's picker.
    static constexpr COLORREF kHighlight = 0x38C7FC;
    static constexpr COLORREF kSecondHighlight = 0xFFC891;

    // importFile and languageFile may be empty; initialSelection is the
    // profile list entry to select (the previous run's InitialSelection()).
    CSetupDialog(bool portable, bool quillon, CWindow* parent, const std::wstring& importFile,
                 const std::wstring& languageFile, int initialSelection);
    ~CSetupDialog() override;

    // --- read by the caller after the dialog closed ---
    int InitialSelection() const { return m_initialSelection; }
    CSettings* Settings() const { return m_settings.get(); }

    // --- used by the main window while the dialog is open ---
    // Requests of another instance. While a dialog, menu or box of this one
    // runs on top, they wait until it has closed.
    int Import(const std::wstring& file);
    bool SwitchProfile(const std::wstring& file);
    bool SelectLanguage(const std::wstring& language);
    // Brings the dialog to the front.
    void BringToFront();
    // The program ends: whatever runs on top is asked to close, then the dialog ends (result 0).
    void EndForExit();

    // --- used by the pages ---
    void EnableApply();
    bool IsApplyEnabled() const;
    // Every page writes its controls into the profile it shows. False when a
    // page refused a value: that page is shown and the caller stops.
    bool StoreTabs();
    bool PopulateTabs();
    void ShowProfileInfo(CApplicationSettings* profile);
    void ShowGlobalSettings(int startPage);
    void RebuildLayerTabs(bool layerCountChanged, ISetupLayerPage* leaveOut);
    void SetTitle(const wchar_t* profileName = nullptr);
    // Stores the controls and writes the settings file; false when it failed.
    bool Save();
    // Apply: store, save, make the library reload. True when the file was written.
    bool OnApply();
    const ActionList& Actions() const { return m_actions; }
    std::array<std::unique_ptr<ISetupLayerPage>, kLayerPages>& LayerPages() { return m_layerTabs; }
    CLangSupport* Language() const { return m_language; }
    bool IsQuillon() const;
    bool IsPortable() const { return m_portable; }

    // --- settings files ---
    // The settings file in use and whether it is the default one; false when
    // it does not exist (path still holds where it would be).
    bool FindSettingsFile(std::wstring& path, bool forSaving);
    bool LoadSettings();
    bool LoadXMLSettings();
    bool SaveXMLSettings();
    void ReloadAll();

    BOOL PreTranslateMessage(MSG* msg) override;

    // The proposed file name of an export: characters no file name may hold
    // become '_' (the wildcards are dropped).
    static std::wstring ExportFileName(const std::wstring& entryText);
    // path, with "." and extension added unless it already ends in that
    // extension (in any letter case).
    static std::wstring WithExtension(const std::wstring& path, const std::wstring& extension);
    // The name of a settings file for the title: the text after the last '\'
    // and before the last '.'.
    static std::wstring BaseName(const std::wstring& path);

protected:
    BOOL OnInitDialog() override;
    HWND ShownKeyTarget() const override { return m_tabs.GetSafeHwnd(); }
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    // The frame.
    void CreateTooltips();
    // What every page is created and filled with.
    SetupPageContext PageContext();
    void CreateTabs();
    // Creates the windows of the layer pages in use that have none and adds
    // every page's tab; fill: new pages show the selected profile.
    void AddTabs(bool fillNewPages);
    // Locks the tab control's drawing (the caller unlocks it), takes every page
    // out and hides it, and adds the tabs of the current layer count again.
    void RebuildTabItems();
    std::wstring LayerTabLabel(int layer) const;
    // The tab that shows the page, or -1.
    int TabOfPage(const CTabPageSSL& page) const;
    void OnCloseButton();
    void OnAbout();
    void OnSettingsButton();
    LRESULT OnSetupHelperMsg(WPARAM button, LPARAM kind);
    LRESULT OnLayerChanged(WPARAM layer, LPARAM);
    LRESULT OnFixScrollBar(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM id, LPARAM);
    LRESULT OnDpiChanged(WPARAM, LPARAM);
    LRESULT OnCtlColorStatic(WPARAM dc, LPARAM control);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnEnable(WPARAM enabled, LPARAM);
    LRESULT OnRunQueuedRequests(WPARAM, LPARAM);
    void UpdateStatusLine();
    bool HasModalChild() const;

    // The profile list (SetupDialogProfiles.cpp).
    void InitProfileList();
    // Empties the list and adds the default profile and every profile of the
    // copy; select names the profile whose entry is selected (null: none).
    void FillProfileList(CApplicationSettings* select);
    int AddProfileEntry(const std::wstring& text, CApplicationSettings* profile, bool checked);
    CApplicationSettings* ProfileAt(int index) const;
    int ProfileCount() const;
    int SelectedEntry() const;
    void SelectEntry(int index);
    void OnProfileSelChange();
    // Profile management.
    void BindProfileHandlers();
    LRESULT OnCheckChanged(WPARAM, LPARAM entry);
    // The library's note that another profile is in force, and the look-up
    // of that profile among the listed ones that it leads to.
    LRESULT OnProcessChangeMessage(WPARAM, LPARAM);
    LRESULT OnShowActiveProfile(WPARAM, LPARAM);
    void AskActiveProfile();
    static constexpr UINT kShowActiveProfileMessage = WM_APP + 0x22;
    // Asked of the dialog itself once a modal child has closed.
    static constexpr UINT kRunQueuedMessage = WM_APP + 0x21;
    void OnProfileDblClk();
    void OnAdd();
    void OnEdit();
    void OnCopy();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void MoveEntry(int from, int to);
    // The first entry (but skip) that candidate would duplicate, or -1.
    int FindDuplicateEntry(const ProfileIdentity& candidate, int skip, bool compareMatchTypes) const;
    void ShowDuplicate(int entry);
    void ShowProfileMessage(const wchar_t* text);

    // Files (SetupDialogFiles.cpp).
    void OnImport();
    void OnExport();
    void OnMenuExportAll();
    bool OnExportAll(int entry);
    void OnBnClickedSaveProfile();
    bool SaveProfile(const std::wstring& path);
    void OnBnClickedLoadProfile();
    bool SwitchProfileNow(const std::wstring& file);
    int ImportNow(const std::wstring& file);
    // The copy's default profile and profile order become the list's.
    void OrderProfilesAsListed();
    // Answers an "overwrite the file?" question before a save over an existing file.
    bool ConfirmOverwrite(const std::wstring& path);

    struct QueuedRequest
    {
        enum Kind
        {
            ImportFile,
            Switch,
            Language
        } kind;
        std::wstring argument;
    };

    ActionList m_actions;
    CToolTipCtrl m_tooltip;
    bool m_tooltipReady = false;
    CAboutDlg* m_aboutBox = nullptr;
    std::wstring m_pendingLanguage;
    std::unique_ptr<CSettings> m_settings;
    UniqueIcon m_icon;
    UniqueIcon m_smallIcon;
    bool m_portable;
    bool m_quillon;
    int m_lastSelection = 0;
    bool m_remoteDesktopDisable = false;
    std::wstring m_pendingImport;
    CPictureCtrl m_picture;
    CColourCheckListBox m_profiles;
    // Profiles removed from the list that the pages may still show; freed as
    // soon as the pages are given a listed profile.
    std::vector<std::unique_ptr<CApplicationSettings>> m_removedProfiles;
    CTabCtrlSSL m_tabs;
    std::array<std::unique_ptr<ISetupLayerPage>, kLayerPages> m_layerTabs;
    std::unique_ptr<ISetupProfilePage> m_scrollingTab;
    std::unique_ptr<ISetupProfilePage> m_optionsTab;
    int m_initialSelection;
    CLangSupport* m_language;
    // Set while an import or a switch rebuilds the list: the library's
    // profile notes are not matched then.
    bool m_reloading = false;
    // The last load found no settings file at all (a first run).
    bool m_missingSettingsFile = false;
    std::vector<QueuedRequest> m_queued;
    // The run of the queued requests once no modal window is on top.
    CPostedOnce m_runQueued{kRunQueuedMessage};
    // The look-up of the profile in force, posted once for any number of notes.
    CPostedOnce m_activeProfileAsk{kShowActiveProfileMessage};

    friend class CSetupDialogTestAccess;

public:
    bool IsReloading() const { return m_reloading; }
};
