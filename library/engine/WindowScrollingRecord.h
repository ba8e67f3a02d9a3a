#pragma once
// The wheel record (g_LastWheel) as the scrolling code refreshes it.

#include <windows.h>

// Fills the record for window at point: the windows activation looks at, the
// profile, its scroll method (m_nAppValue) and a box of 4 pixels around point.
void RefreshWheelRecord(HWND window, POINT point);
