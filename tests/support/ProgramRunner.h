#pragma once
// The real program for the end-to-end tests: a portable copy in a folder of
// its own (program, library, run-time DLLs and a settings file beside them),
// started, watched through its log and its windows, and killed if a test
// leaves it running.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Probe.h"
#include "Settings.h"
#include "TempFolder.h"

namespace programtest
{
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kEndTimeoutMs = 20000;

// A started process of the program, asked to close and then killed if the
// test leaves it running.
class ProgramProcess
{
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Starts exe in workingFolder with a command line, on the named desktop
    // when one is given; false when it could not start.
    bool Start(const std::wstring& exe, const std::wstring& workingFolder, const std::wstring& arguments,
               const wchar_t* desktop = nullptr);
    // Asks a running process to close, kills it when it does not, and forgets it.
    void Stop();
    bool Ended(DWORD timeoutMs) const;
    DWORD ExitCode() const;
    DWORD ProcessId() const { return m_info.dwProcessId; }

    // Its hidden main window (class and title the same name), or null.
    HWND MainWindow() const;
    // Waits for the main window; null after the time-out or when the program ended.
    HWND WaitForMainWindow(DWORD timeoutMs = kStartTimeoutMs) const;

private:
    PROCESS_INFORMATION m_info{};
};

class ProgramCopy : public ProgramProcess
{
public:
    explicit ProgramCopy(const wchar_t* folderPrefix);
    ~ProgramCopy();

    // Copies the program beside the test executable into the folder; fails,
    // naming the part, when one is missing or a copy failed.
    ::testing::AssertionResult Prepare();
    // Writes the settings file that makes the copy portable. Inline: the
    // support library links no copy of the library of its own.
    bool WriteSettings(CSettings& settings) { return settings.Save(m_folder.PathOf(L"Brindlemap.xml").c_str()); }

    // Starts the copy in its folder.
    bool Start(const std::wstring& arguments, const wchar_t* desktop = nullptr)
    {
        return ProgramProcess::Start(ExePath(), m_folder.Path(), arguments, desktop);
    }
    // A later start of the copy, which hands its command line over to the
    // running one; true when it ended in time.
    bool StartLater(const std::wstring& arguments, DWORD timeoutMs = kStartTimeoutMs) const;
    std::wstring ExePath() const { return m_folder.PathOf(L"Brindlemap.exe"); }

    // The log beside the program (narrow text).
    std::string Log() const;
    bool LogHas(const char* text) const { return Log().find(text) != std::string::npos; }
    // The last lines of the log, for failure messages.
    std::string LogTail(std::size_t lines = 40) const;
    // How many times the log holds the text.
    int LogCount(const char* text) const;
    bool WaitForLog(const char* text, DWORD timeoutMs = kStartTimeoutMs) const;

    const brmptest::TempFolder& Folder() const { return m_folder; }

private:
    brmptest::TempFolder m_folder;
};

// Whether the program's icon (id 1 of its main window) is in the tray: the
// shell accepts a change to it.
bool TrayHasIcon(HWND mainWindow);
// Where Wine's taskbar draws the only tray icon: the last icon-sized square of the bar.
POINT TrayIconPoint();

// A picture of the whole X screen beside the test executable (Wine's drive Z:
// is the Unix root); a person looks at it, no test reads it.
bool SaveScreenshot(const std::wstring& fileName);

// Waits until window (of any process) and each of its visible descendants has
// nothing left to paint, and then until its thread has answered a message: a
// thread of Wine hands what it painted to the X server before it waits for the
// next message, so that a screenshot taken afterwards shows the painting.
::testing::AssertionResult WaitUntilPainted(HWND window, DWORD timeoutMs = 10000);

// A window of another process by a class name (top-level windows and their
// children), visible only when visibleOnly; null when there is none.
HWND FindWindowOfClass(const wchar_t* className, bool visibleOnly);

// Every window's class, size and visibility (top-level windows and their
// children), for failure messages.
std::string DescribeWindows();

// The text of a window of another process through WM_GETTEXT (bounded, with a
// time-out), as controls such as tooltips answer it.
std::wstring WindowTextOf(HWND window);

// What a middle click on a probe produced: the characters it typed, and "M" for
// each middle-button release that arrived unchanged; waits until either shows.
std::wstring TypedOrMiddleClick(brmptest::Probe& probe, DWORD timeoutMs = 10000);

// Brings the probe forward and clicks the middle button once at its centre,
// dx pixels to the side (a click on the very spot of the last one would count
// as its double click): what TypedOrMiddleClick reads then, or a text in
// brackets saying what could not be done.
std::wstring MiddleClickInProbe(brmptest::Probe& probe, int dx = 0);
} // namespace programtest
