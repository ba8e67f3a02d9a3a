#pragma once
// Drives the real program's settings dialog from the test process: finds it
// and its message boxes by title and class, reads its controls and presses
// its buttons with posted messages (a sent click would wait for any box the
// click opens), and writes a screenshot beside the test output.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "Probe.h"
#include "ProgramRunner.h"
#include "SetupDialogIds.h"

class CSettings;

namespace setuptest
{
constexpr DWORD kDialogTimeoutMs = 20000;

// The settings dialog of the process (a visible window whose title begins
// with the dialog's title), null when none.
HWND FindSetupDialog(DWORD processId);
HWND WaitForSetupDialog(DWORD processId, DWORD timeoutMs = kDialogTimeoutMs);
// Every visible settings dialog of the process.
int CountSetupDialogs(DWORD processId);

// A visible message box of the process ("#32770" that is not the settings
// dialog) and its longest static text, null when none.
HWND FindMessageBox(DWORD processId, std::wstring* text = nullptr);
HWND WaitForMessageBox(DWORD processId, std::wstring* text = nullptr, DWORD timeoutMs = kDialogTimeoutMs);
// Presses the box's button (IDYES, IDNO, IDOK, ...).
void Answer(HWND box, int button);

// Answers the system's open or save dialog as a user does: the path typed as
// the file name, then OK.
::testing::AssertionResult AnswerFileDialog(HWND dialog, const std::wstring& path);
// A visible top-level window of the process that has a control of that id
// (and, when given, exactly that title), or null.
HWND DialogWithControl(DWORD processId, int controlId, const wchar_t* title = nullptr);
// The visible dialog of the process whose title begins with titleStart.
HWND WaitForDialogTitled(DWORD processId, const std::wstring& titleStart, DWORD timeoutMs = kDialogTimeoutMs);

// Presses a button of the dialog.
void Click(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
std::wstring TextOf(HWND window);
std::wstring TextOf(HWND dialog, int id);

// The real program in a portable copy of its own with its settings dialog
// open. SetUp fails the test when the program is missing beside the tests,
// writes the settings Prepare fills, starts the copy and waits for the dialog;
// m_dialog stays null when any of it failed.
class SetupDialogTest : public ::testing::Test
{
protected:
    explicit SetupDialogTest(const wchar_t* folderPrefix, const wchar_t* arguments = L"/setup")
        : m_program(folderPrefix), m_arguments(arguments)
    {
    }

    void SetUp() override;
    // Fills the settings the copy starts with (notifications are off) and
    // readies what must be there before it starts, such as a probe.
    virtual void Prepare(CSettings&) {}

    // Starts a probe window in that part of the desktop.
    void StartProbe(const RECT& rect, const wchar_t* switches = L"");

    std::wstring SettingsFile() const { return m_program.Folder().PathOf(L"Brindlemap.xml"); }
    // The settings file as the library reads it, or null. It is read through
    // a copy, so that the test holds the file only for a moment (a save
    // meanwhile is tried again by the program).
    std::unique_ptr<CSettings> Saved() const;

    // Presses Apply with a posted click once it is enabled and waits until it
    // is disabled again, which it is once the file is written.
    void Apply();
    // Presses Apply with one real click once it is enabled, waits until it is
    // disabled again (the file is written) and checks the saved file.
    ::testing::AssertionResult ClickApply(const std::function<bool()>& saved);

    // A real left click in the middle of a window that is there and enabled.
    static ::testing::AssertionResult ClickOn(HWND window);
    // Selects an entry of the profile list (0 the default profile) with a real
    // click on its text and waits until the dialog shows that profile.
    ::testing::AssertionResult SelectProfileByClick(int entry);

    programtest::ProgramCopy m_program;
    std::unique_ptr<brmptest::Probe> m_probe;
    HWND m_dialog = nullptr;

private:
    std::wstring m_arguments;
};
// --- single actions of a user, each checked once ---

// The page (a child dialog) of the settings dialog that holds a control with
// that id; shownOnly: the one shown now.
HWND FindPage(HWND dialog, int controlId, bool shownOnly = false);
// The index of the tab the dialog (or a page with tabs of its own) shows.
int SelectedTab(HWND dialog, int tabsId = IDC_SETUP_TABS);
// A real click on the tab of that index, then a wait until it is the tab shown.
::testing::AssertionResult ClickTab(HWND dialog, int index, int tabsId = IDC_SETUP_TABS);
// A real click on a control of another process's window, in its middle or at a
// point given relative to its top left corner.
::testing::AssertionResult ClickControl(HWND control);
::testing::AssertionResult ClickControlAt(HWND control, int x, int y);
// A real click into an edit, its text selected by the keyboard and replaced by
// typing (an empty text deletes it); then a wait until the edit holds it.
::testing::AssertionResult TypeIntoEdit(HWND edit, const std::wstring& text);
// A check box's state (BST_*) as its window answers.
LRESULT CheckState(HWND box);
// The visible popup menu of a process, null when none.
HWND FindPopupMenu(DWORD processId);
// The global settings sheet of a process once its first page is up, null before;
// and a control of the page it shows.
HWND FindSettingsSheet(DWORD processId);
HWND SheetPageControl(HWND sheet, int id);

} // namespace setuptest
