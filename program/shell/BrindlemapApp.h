#pragma once
// The program's application object: start-up (command line, portable or
// installed mode, single instance, settings, hooks, the hidden main window)
// and shutdown.

#include <windows.h>

#include <string>

#include "Application.h"
#include "CrashReport.h"
#include "ExceptionHandlerInstaller.h"
#include "LangSupportHold.h"
#include "SingleInstance.h"

class CMyMessageWnd;

class CBrindlemapApp : public CApplication
{
public:
    CBrindlemapApp();
    ~CBrindlemapApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // A later start's hand-over of its command to the running instance.
    static bool SendToFirstInstance(DWORD word, const std::wstring& text);

private:
    // Everything after the logging decision: single instance, environment log,
    // settings, hooks and the main window.
    BOOL StartFirstInstance(DWORD word, const std::wstring& argument, const std::wstring& lowered, bool debug,
                            bool portable, int portableReason, const std::wstring& warning);
    void LogIntegrityLevel();
    void LogEnvironment(bool portable, int portableReason);
    void ClearMainWindow();
    void LoadLanguagePack();

    ExceptionHandlerInstaller m_crashReport;
    InvalidParameterInstaller m_invalidParameters;
    CSingleInstance m_singleInstance;
    CProgramLanguage m_language;
    CMyMessageWnd* m_pMainWnd = nullptr;
    std::wstring m_programFolder;
    std::wstring m_programFilesFolder;
    bool m_bOleInitialised = false;
};
