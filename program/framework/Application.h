#pragma once
// The one application object of the process and its message loop.
//
//   class CMyApp : public CApplication { BOOL InitInstance() override; int ExitInstance() override; };
//   CMyApp theApp;                                  // static object
//   int WINAPI wWinMain(HINSTANCE i, HINSTANCE, PWSTR line, int show) { return theApp.Main(i, line, show); }
//
// Main runs InitInstance; FALSE ends at once through ExitInstance. TRUE runs
// the message loop until WM_QUIT (posted when the main window is destroyed),
// then ExitInstance, whose result is the process's exit code.

#include <windows.h>

#include <string>

class CWindow;

class CApplication
{
public:
    explicit CApplication(const wchar_t* title = nullptr);
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // The application object, or null when none exists (tests).
    static CApplication* Get();

    int Main(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

    virtual BOOL InitInstance();
    // The message loop; returns ExitInstance's result.
    virtual int Run();
    // Returns the exit code (WM_QUIT's, 0 when the loop never ran).
    virtual int ExitInstance();
    // Every message of every loop of the thread passes here before it is
    // dispatched: the walk from the target window up to its top-level window.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // The main window: its destruction ends the message loop. The pointer is
    // not cleared by the framework; its owner deletes the object.
    CWindow* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CWindow* window) { m_mainWindow = window; }

    HINSTANCE GetInstance() const { return m_instance; }
    // The command line without the program's name, as wWinMain receives it.
    const std::wstring& CommandLine() const { return m_commandLine; }
    int ShowCommand() const { return m_showCommand; }
    // The caption of framework message boxes.
    const std::wstring& Title() const { return m_title; }
    void SetTitle(std::wstring title) { m_title = std::move(title); }

protected:
    int m_exitCode = 0;

private:
    HINSTANCE m_instance = nullptr;
    std::wstring m_commandLine;
    int m_showCommand = SW_SHOWDEFAULT;
    std::wstring m_title;
    CWindow* m_mainWindow = nullptr;
};

// Where dialog templates, strings and icons of the program are loaded from
// (the program's own module unless set).
HINSTANCE GetResourceInstance();
void SetResourceInstance(HINSTANCE instance);
