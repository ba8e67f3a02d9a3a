#pragma once
// The whole configuration in memory: the global options, the hotkey and layer
// modifier key tables, the default profile and the application profiles.
// Options are public fields that both deliverables read and write; the table
// in SettingsOptions.h says where the settings file keeps each one.

#include <windows.h>

#include <list>
#include <memory>
#include <vector>

#include "Hotkeys.h"
#include "MouseInfo.h"
#include "SnareholdApi.h"

class CApplicationSettings;

// What a save keeps of the settings file this object last read or wrote
// (SettingsFile.cpp).
class KeptSettingsFile;
struct KeptSettingsFileDeleter
{
    void operator()(KeptSettingsFile* kept) const;
};

// The write call of the settings file writer (WriteFile's form); tests replace
// it to make a save fail midway.
using SettingsFileWriteFn = BOOL (WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
// The read call of the settings file's readers (ReadFile's form); tests replace
// it to make a read fail midway, as a range another program has locked does.
using SettingsFileReadFn = BOOL (WINAPI*)(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);
// The close of a settings file just written and put in place (CloseHandle's
// form); tests replace it to do what a file system does at the close.
using SettingsFileCloseFn = BOOL (WINAPI*)(HANDLE file);

// Answers the import question "replace the existing profile?" with IDYES, IDNO
// or IDCANCEL. The default shows a message box; tests install their own.
using ImportQuestionFn = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption);

class SNAREHOLD_API CSettings
{
public:
    static constexpr int VersionMajor = 2;
    static constexpr int VersionMinor = 20;
    static constexpr int VersionRevision = 5;
    static constexpr int DefaultLayers = 2;
    static constexpr int MaxLayerCount = 10;
    static constexpr unsigned int MaxSimKeyDelay = 60;

    CSettings(bool forceQuillon, CMouseInfo startupMouse);
    virtual ~CSettings();
    // Deep copies: profiles, tables and strings are duplicated, and the normal
    // and custom-window lists point at the copy's own profiles.
    CSettings(const CSettings& other);
    CSettings& operator=(const CSettings& other);

    // Everything but the profiles (options, strings, hotkey and layer modifier
    // key tables) copied from other: a fresh object that a reload parses into
    // starts from the values in force, as a reload of this object would.
    void CopyOptionsFrom(const CSettings& other);
    // Takes other's whole contents (profiles included) without copying them and
    // leaves this object's former contents in other, to be freed by its owner.
    // Pointers to this object stay valid; pointers into its former profiles now
    // point into other.
    void TakeOver(CSettings& other);

    // --- settings file (SettingsFile.cpp) ---
    // regionsDefined is set when a loaded profile is restricted to an area of
    // its window; it is never cleared here.
    bool Load(const wchar_t* path, bool& regionsDefined, bool logDetails);
    bool Save(const wchar_t* path);
    bool Export(CApplicationSettings* profile, const wchar_t* path);
    int Import(const wchar_t* path, HWND owner, const wchar_t* prompt, CApplicationSettings*& lastImported);
    static void SetImportQuestion(ImportQuestionFn fn);   // null restores the message box
    static void SetFileWriteFunction(SettingsFileWriteFn fn); // null restores WriteFile
    static void SetFileReadFunction(SettingsFileReadFn fn);   // null restores ReadFile
    static void SetFileCloseFunction(SettingsFileCloseFn fn); // null restores CloseHandle
    // Where the last settings file that could not be parsed was copied before
    // anything could overwrite it; null when none.
    const wchar_t* GetUnreadableFileCopy() const { return m_pszUnreadableCopy; }

    // --- profiles ---
    int GetApplicationCount() const;
    // Throws std::out_of_range ("invalid vector<T> subscript") for an index
    // outside the profiles; null when there is no profile vector.
    CApplicationSettings* GetApplication(int index) const;
    // First profile whose application key equals name exactly; null for null or empty.
    CApplicationSettings* GetApplication(const wchar_t* name) const;
    bool AddApplication(CApplicationSettings* profile);
    // Takes the profile out (first occurrence) without deleting it; the caller owns it again.
    bool RemoveApplication(CApplicationSettings* profile);
    // Drops the profile vector without deleting the profiles (the caller has taken
    // them over). The normal and custom-window lists are emptied with it.
    void ClearApplications();

    CHotKeys* GetHotKeys() const { return m_pHotKeys; }
    CLayerModifierKeys* GetLayerModifierKeys() const { return m_pLayerModifierKeys; }
    CApplicationSettings* GetDefaultApp() const { return m_pDefaultApp; }
    // Takes ownership; a different previous default profile is deleted.
    void SetDefaultApp(CApplicationSettings* profile);
    // Profiles that match by program only / custom-window profiles, in file order.
    // They only ever hold profiles of the profile vector.
    std::list<CApplicationSettings*>* GetApplications() { return &m_NormalApplications; }
    std::list<CApplicationSettings*>* GetCustomApplications() { return &m_CustomApplications; }
    // Rebuilds the two lists from the profile vector.
    void RebuildApplicationLists();

    void SetLanguage(const wchar_t* language);
    const wchar_t* GetLanguage() const { return m_pszLanguage; }
    const wchar_t* GetFilename() const { return m_pszSettingsFile; }
    const wchar_t* get_SearchURL() const { return m_pszSearchURL; }
    void SetSearchURL(const wchar_t* url);   // null or empty keeps the current address

    int MaxLayers() const;
    bool SetMaxLayers(int layers);

    bool get_EnableDebounce() const { return m_bDebounceButtons; }
    void put_EnableDebounce(bool value) { m_bDebounceButtons = value; }
    int get_DebounceTime() const { return m_nDebounceTime; }
    void put_DebounceTime(int value) { m_nDebounceTime = value; }
    bool get_DebounceFromUp() const { return m_bDebounceFromUp; }
    void put_DebounceFromUp(bool value) { m_bDebounceFromUp = value; }
    bool get_ResetStickyOnAnyButton() const { return m_bResetStickyOnAnyButton; }
    void put_ResetStickyOnAnyButton(bool value) { m_bResetStickyOnAnyButton = value; }
    bool get_ResetStickyOnAnyKey() const { return m_bResetStickyOnAnyKey; }
    void put_ResetStickyOnAnyKey(bool value) { m_bResetStickyOnAnyKey = value; }
    bool get_ResetStickyOnLayerChange() const { return m_bResetStickyOnLayerChange; }
    void put_ResetStickyOnLayerChange(bool value) { m_bResetStickyOnLayerChange = value; }
    // Null-safe forms for callers that may have no settings: the defaults for null.
    static bool get_EnableDebounce(const CSettings* settings);
    static int get_DebounceTime(const CSettings* settings);
    static bool get_DebounceFromUp(const CSettings* settings);
    static bool get_ResetStickyOnAnyButton(const CSettings* settings);
    static bool get_ResetStickyOnAnyKey(const CSettings* settings);
    static bool get_ResetStickyOnLayerChange(const CSettings* settings);
    // Jiggler period in milliseconds, 0 while the jiggler is off.
    unsigned long get_MouseJigglerTickTimeout() const;

    // The wheel scroll lines the system reports, WHEEL_PAGESCROLL (-1) read as 3.
    static int WheelScrollLinesFromSystem(int reported);

    // --- options ---
    // Each option is described once, in the table of SettingsOptions.h: where the
    // file keeps it, its range and its default (the constructor sets them all).
    int m_nVersionMajor;
    int m_nVersionMinor;
    int m_nVersionRevision;
    int m_nCursorSpeed;
    CMouseInfo m_StartupMouseInfo;               // system mouse state at start
    bool m_bEnhancePointerPrecision;
    bool m_bQuillonForced;                       // forces Quillon mode on every load (not stored)
    bool m_bQuillon;
    bool m_bDebugging;                           // debug logging was on at construction (not stored)

    bool m_bDisableLogging;
    bool m_bDoubleClickFix;
    bool m_bScrollWindowUnderCursor;
    bool m_bScrollLockBypassAll;
    bool m_bScrollLockBypassDisabled;
    bool m_bSwap4and5;
    bool m_bSwap4and5InRDP;
    bool m_bDisableInRDP;
    bool m_bDisableInvertedScrollInRDP;
    bool m_bShowTrayIcon;
    bool m_bNotifications;
    bool m_bNotifyLayer;
    bool m_bNotifyCursorSpeed;
    int m_nChangeCursorChord;
    int m_nChangeCursorHeld;
    bool m_bChangeCursorLayer;
    bool m_bMovementToScrollCursor;
    bool m_bGlobalHotkeys;
    bool m_bLayerModifierKeys;
    bool m_bProcessNonClientMsgs;
    bool m_bFixVS2010;
    bool m_bDisableReinstallOnResume;
    bool m_bAlwaysShowOSD;
    bool m_bRedirectWheelToOSD;
    bool m_bEnableOSD;
    bool m_bSortActionsAlphabetically;
    bool m_bLoadUSEnglish;
    bool m_bFooBar2000Fix;
    bool m_bCaptionProfiles;                     // a loaded custom-window profile has a caption (not stored)
    bool m_bCheckVersion;
    bool m_bCheckBetaVersion;
    unsigned int m_uCheckVersionDays;
    bool m_bSwitchOnMouseOver;
    bool m_bActivateOnScroll;
    bool m_bActivateOnMouseOver;
    int m_nActivateOnMouseOverDelay;             // milliseconds
    bool m_bIgnoreNumlock;
    bool m_bLeftClickCycleLayers;
    bool m_bRemapSimulatedInput;
    bool m_bFixTiltRepeat;
    bool m_bPersistLayer;
    bool m_bFilterTouch;
    bool m_bAllowSetSpeed;
    unsigned int m_uPriority;
    unsigned int m_uSimKeyDelay;                 // milliseconds between simulated keys
    unsigned int m_uInitialTiltDelay;
    unsigned int m_uRepeatTiltDelay;
    int m_nWheelScrollLines;                     // system wheel scroll lines at construction (not stored)
    bool m_bMouseJiggler;
    unsigned int m_uMouseJigglerTimeout;         // minutes
    int m_nHookTimeout;                          // mirror of the system's LowLevelHooksTimeout (ms, not stored)
    int m_nCursorSpeedCycle[4];                  // the speeds the cursor-speed cycle steps through
    bool m_bThreadDebugging;
    int m_nLayerOverlayFontSize;
    int m_nOverlayFontSize;
    int m_nEPPThreshold1;
    int m_nEPPThreshold2;
    bool m_bDebounceButtons;
    bool m_bDebounceFromUp;
    int m_nDebounceTime;                         // milliseconds
    bool m_bResetStickyOnAnyButton;
    bool m_bResetStickyOnAnyKey;
    bool m_bResetStickyOnLayerChange;
    int m_nLayers;

private:
    friend struct SettingsOption;

    void SetFilename(const wchar_t* path);
    // Deletes every profile, the lists and both tables; with recreate, starts
    // again with empty ones and new default tables.
    void DeleteApplications(bool recreate);
    void CopyFrom(const CSettings& other);
    // Strings and plain options (not the owned tables and profiles).
    void CopyOptions(const CSettings& other);
    static void ClearString(wchar_t*& text);

    wchar_t* m_pszSettingsFile = nullptr;
    wchar_t* m_pszLanguage = nullptr;
    wchar_t* m_pszSearchURL = nullptr;
    wchar_t* m_pszUnreadableCopy = nullptr;
    CHotKeys* m_pHotKeys = nullptr;
    CLayerModifierKeys* m_pLayerModifierKeys = nullptr;
    CApplicationSettings* m_pDefaultApp = nullptr;
    std::vector<CApplicationSettings*>* m_pApplications = nullptr;
    std::list<CApplicationSettings*> m_NormalApplications;
    std::list<CApplicationSettings*> m_CustomApplications;
    // The file's elements that this object does not write, as last read or
    // written, with what identified that version of the file: a save while the
    // file is still that version starts from them instead of reading the file
    // again. Never copied (a copy reads the file at its first save); a
    // TakeOver swaps it with the contents.
    std::unique_ptr<KeptSettingsFile, KeptSettingsFileDeleter> m_keptFile;
};
