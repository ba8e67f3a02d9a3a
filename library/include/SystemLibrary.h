#pragma once
// Loading the system's own libraries so that a file of the same name beside
// the program (a portable copy often runs from Downloads) or in the current
// folder is never picked up: the program holds hooks on every mouse and
// keyboard event, and code planted into it would see all of them.

#include <windows.h>

#include "SnareholdApi.h"

// Loads a system library by its file name from the system folder only. Null
// when it is not there (the system's error is left for GetLastError).
SNAREHOLD_API HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Limits every later library search of the process (ours and the system's
// components') to the program's folder, the system folder and folders added
// explicitly, dropping the current folder and PATH. Called first thing at
// start-up. The function is looked up at run time; without it, the current
// folder is at least taken out of the search. False when neither was possible.
SNAREHOLD_API bool RestrictLibrarySearch();
