#pragma once
// What happens to a C++ exception that reaches a window procedure, a dialog
// procedure or a message pre-translation of the program: it is logged with the
// window and the message, and the window goes on working. Every window and
// dialog of the framework runs its handlers inside this guard.

#include <windows.h>

// Call only from inside a catch block: logs "Caught an exception in the window
// procedure of <class> 0x<handle> (message 0x<message>)..." and a line naming
// the exception.
void LogWindowProcException(HWND window, UINT message);

// The result a window procedure gives for a message whose handler threw:
// creation fails (WM_NCCREATE, WM_CREATE), a paint is validated so that it is
// not asked for again at once, everything else answers 0.
LRESULT WindowProcFallbackResult(HWND window, UINT message);
