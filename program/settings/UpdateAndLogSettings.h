#pragma once
// The updates and logging page of the global settings sheet: version-check
// options, the log folder, debug logging and a button that opens the log.

#include <windows.h>

#include <string>

#include "SettingsPage.h"

class CSettings;

// What the page asks of the shell; tests replace it.
class ILogFileShell
{
public:
    virtual ~ILogFileShell() = default;
    // The chosen folder, or false when the user cancelled.
    virtual bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start,
                                 std::wstring& chosen);
    // FindExecutableW: the program associated with the file, empty when none.
    virtual std::wstring FindAssociatedProgram(const std::wstring& file);
    // ShellExecuteW with the verb "OPEN": true when it succeeded (result above 32).
    virtual bool Open(HWND owner, const std::wstring& file, const std::wstring& parameters);
    virtual bool FileExists(const std::wstring& path);
};
ILogFileShell& DefaultLogFileShell();

class CUpdateAndLogSettings : public CSettingsPage
{
public:
    explicit CUpdateAndLogSettings(ILogFileShell& shell = DefaultLogFileShell());

    void LoadFromSettings(const CSettings& settings);
    // The debug flag of the settings is the running debug switch (not saved).
    bool DiffersFromSettings(const CSettings& settings) const;
    void StoreToSettings(CSettings& settings) const;

    int m_checkVersion = 1;
    int m_checkBeta = 0;
    int m_days = 0;
    int m_debug = 0;
    std::wstring m_logFolder;

    // The program to open the log with when its own association fails.
    static constexpr const wchar_t* kFallbackViewer = L"notepad.exe";

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void OnCheckVersion();
    void OnDebug();
    void OnBrowse();
    void OnOpenLog();

    ILogFileShell& m_shell;
    CMyStatic m_folderNote;
    CMyStatic m_debugNote;
    bool m_debugWarningAccepted = false;
};
