#pragma once
// The modal About box: name, version and credit of the program, and buttons
// that open its web pages, the user guide, the settings folder, and run a
// version check at the user's request.

#include <windows.h>

#include <string>

#include "Dialog.h"
#include "Handles.h"

class CLangSupport;

// What the About box's buttons do outside the dialog; tests record them.
class IAboutActions
{
public:
    virtual ~IAboutActions() = default;
    // Hands target to the shell with verb ("open", "explore"), shown normally.
    virtual void ShellOpen(HWND owner, const wchar_t* verb, const std::wstring& target);
    // A version check forced and asked for by the user, answered to window.
    virtual void CheckForUpdate(HWND window);
    virtual bool FileExists(const std::wstring& path);
};
IAboutActions& DefaultAboutActions();

// Addresses and texts of the About box, built at run time.
std::wstring AboutHomePage();
std::wstring AboutForumPage();
std::wstring AboutDonatePage();
std::wstring AboutUserGuideAddress();
std::wstring AboutUserGuideFileName();
std::wstring AboutProductLine();
std::wstring AboutFixedCreditLine();

// The credit line in the language's wording; the fixed line when the
// translation drops the author or cannot be formatted.
std::wstring AboutCreditLine(CLangSupport* language);

// The local guide beside the program when it exists, else its web address.
// exeFolder with or without a trailing backslash; empty: the web address.
std::wstring UserGuideTarget(const std::wstring& exeFolder, IAboutActions& actions);

class CAboutDlg : public CDialog
{
public:
    explicit CAboutDlg(CWindow* parent = nullptr, IAboutActions& actions = DefaultAboutActions());
    ~CAboutDlg() override;
    CAboutDlg(const CAboutDlg&) = delete;
    CAboutDlg& operator=(const CAboutDlg&) = delete;

protected:
    BOOL OnInitDialog() override;

private:
    void OnHomepage();
    void OnForums();
    void OnDonate();
    void OnUserGuide();
    void OnOpenFolder();
    void OnCheckForUpdate();
    LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);

    CLangSupport* m_language;
    IAboutActions& m_actions;
    UniqueGdiObject<HBITMAP> m_donateBitmap;
};
