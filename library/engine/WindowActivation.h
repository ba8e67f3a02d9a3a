#pragma once
// Bringing a window to the foreground. The work is done on the timer thread:
// a request from any other thread is posted there, so that the hook thread
// never waits on another application.

#include <windows.h>

// The window itself when it is enabled, else its nearest enabled ancestor, else null.
HWND GetFirstEnabledWindow(HWND window);

// The window to activate when window is to be brought forward while active is
// the active window; null when none should be.
HWND GetWindowToActivate(HWND window, HWND active);
// The class rule of the above, on names alone (parentClass may be empty).
enum class ActivateClassRule
{
    Window,      // activate the window itself
    Parent,      // activate its parent instead
    Never,       // do not activate
    Chrome,      // decided by the process and thread of the active window
};
ActivateClassRule ActivateRuleForClass(const wchar_t* className, const wchar_t* parentClass);

// Activates one window: posted to the timer thread unless direct.
void ActivateWindow(HWND window, bool parents, bool direct);
void ForceForegroundWindow(HWND window, bool tryHard, bool direct);

// The window the last forcing acted on and the thread that did it (for the
// tests: activation must not run on the hook thread).
struct ForcedForeground
{
    HWND window;
    DWORD thread;
};
ForcedForeground LastForcedForeground();

// mode 1 the window under the cursor, 2 its parent, 3 its top-level window.
void ActivateWindowUnderCursor(int mode);

// Timer procedure of the hover-activation timer; the hovered window is
// recorded with SetHoverActivateWindow.
void CALLBACK ActivateWindowTimerProc(HWND, UINT, UINT_PTR id, DWORD);
void SetHoverActivateWindow(HWND window);

// Terminates the first process whose executable name equals name (ignoring
// case). True when one was terminated.
bool KillProcess(const wchar_t* name);

// Gives the timer thread its handlers of BRMP_ActivateWindow and
// BRMP_ShellExecute (done when the library loads and before each request).
void RegisterWindowRequestHandlers();
