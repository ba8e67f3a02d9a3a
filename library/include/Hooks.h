#pragma once
// Installing and removing the library's low-level hooks and the threads that
// serve them. The program calls SetMouseHook at start and to re-install, and
// RemoveMouseHook when it ends or disables remapping.

#include <windows.h>

#include "SnareholdApi.h"
#include "ThreadName.h"

// Starts the timer thread and the hook thread and waits (at most 10 s) until the
// hook thread has put its hooks in. True when the hook thread runs and the mouse
// hook is installed. A call while the threads of an earlier call still run stops
// them first (without restoring system settings).
SNAREHOLD_API bool SetMouseHook();

// Stops both threads. restore: put the system mouse settings the library may
// have changed back to their start-up values. False when nothing was running.
SNAREHOLD_API bool RemoveMouseHook(bool restore);

// Unhooks the keyboard hook, then the mouse hook. The handles are cleared even
// when the system had already removed a hook.
void RemoveHooks();

// Re-reads the screen size (the program calls it on a display change).
SNAREHOLD_API void DisplayChanged();

// The find-window tool's mouse hook, installed from the calling thread, whose
// message loop must run for the hook to be called.
SNAREHOLD_API bool SetFindHook(HWND window);
SNAREHOLD_API bool RemoveFindHook();
