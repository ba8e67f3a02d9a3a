#pragma once
// The library's process attach and detach work (called from DllMain).

#include <windows.h>

#include "SnareholdApi.h"

void LibraryAttach(HINSTANCE instance);
void LibraryDetach();

// The system mouse and keyboard values seen at start; restored when the hooks stop.
SNAREHOLD_API void ReadStartupSystemValues();

// The objects that live from attach to detach (the settings object).
void CreateLibraryObjects();
void DestroyLibraryObjects();
