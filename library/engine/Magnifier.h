#pragma once
// The system magnifier: started, closed and zoomed on behalf of the actions.

#include <windows.h>

// The magnifier's window, null when it does not run.
HWND FindMagnifierWindow();
// Closes the magnifier when it runs, else starts it.
void ToggleMagnifier();
// Zooms in or out; a zoom in with no magnifier running starts it first.
void MagnifierZoom(bool zoomIn);
