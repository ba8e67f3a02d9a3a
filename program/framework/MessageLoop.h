#pragma once
// The one message pump of the framework, used by the application's loop and by
// every modal dialog, so that nested loops pre-translate alike.

#include <windows.h>

#include <functional>

// The application's PreTranslateMessage, or the walk from the target window up
// to its top-level window when no application object exists.
bool PreTranslateThreadMessage(MSG* msg);

// Gets, pre-translates and dispatches messages until done() is true (asked
// before every wait) or WM_QUIT arrives. Returns false for WM_QUIT, whose exit
// code goes to quitCode; the quit message is not posted again.
bool PumpMessagesUntil(const std::function<bool()>& done, int* quitCode);
