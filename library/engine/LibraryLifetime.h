#pragma once
// The library's process attach and detach work (called from DllMain).

#include <windows.h>

void LibraryAttach(HINSTANCE instance);
void LibraryDetach();

// The objects that live from attach to detach (the settings object).
void CreateLibraryObjects();
void DestroyLibraryObjects();
