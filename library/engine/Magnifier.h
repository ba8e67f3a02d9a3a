#pragma once
// The system magnifier: started, closed and zoomed on behalf of the actions.

#include <windows.h>

#include "SnareholdApi.h"

// The magnifier's window, null when it does not run.
SNAREHOLD_API HWND FindMagnifierWindow();
// Closes the magnifier when it runs, else starts it.
SNAREHOLD_API void ToggleMagnifier();
// Zooms in or out; a zoom in with no magnifier running starts it first.
SNAREHOLD_API void MagnifierZoom(bool zoomIn);
