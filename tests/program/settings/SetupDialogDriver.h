#pragma once
// Drives the real program's settings dialog from the test process: finds it
// and its message boxes by title and class, reads its controls and presses
// its buttons with posted messages (a sent click would wait for any box the
// click opens), and writes a screenshot beside the test output.

#include <windows.h>

#include <string>

#include "ProgramRunner.h"

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

// Presses a button of the dialog.
void Click(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
std::wstring TextOf(HWND window);
std::wstring TextOf(HWND dialog, int id);
} // namespace setuptest
