#pragma once
// Cursor positions and window lookups in physical (per-monitor DPI) pixels.
// The system functions that give them exist only on newer Windows, so they are
// bound at run time; each unbound one falls back to its plain counterpart.

#include <windows.h>

#include "SnareholdApi.h"

// Binds the optional functions (only from modules already loaded) and sets the
// scaling flag on Windows 8.1 and later. Safe to call again; the first lookup
// binds them too.
void InitScalingFunctions();
// Whether the low-level hook's point is the cursor position as GetCursorPos
// gives it: in a per-monitor DPI aware process (the program's manifest makes
// it one) both are physical pixels. Asked once per process.
bool HookPointIsCursorPosition();
// Whether the scaling flag is set (Windows 8.1 or later).
bool ScalingActive();

// GetPhysicalCursorPos when bound, else GetCursorPos.
SNAREHOLD_API BOOL GetPhysCursorPos(LPPOINT point);
// The physical cursor position converted for window when both physical
// functions are bound, else GetCursorPos.
BOOL GetLogicalCursorPos(HWND window, LPPOINT point);
// WindowFromPhysicalPoint (and the child at that point) when bound, else WindowFromPoint.
// childFound (may be null) is set when the answer is a child that the search for
// it gave, hidden ones included; any other answer is a visible window.
HWND WindowFromPhysPoint(POINT point, bool* childFound = nullptr);
// Its two steps: WindowFromPhysicalPoint alone (null when unbound or nothing
// is there), and the child of window at a screen point, hidden ones included
// (window itself when none is there or the point cannot be converted).
HWND PhysicalWindowAt(POINT point);
HWND ChildAtScreenPoint(HWND window, POINT point, bool* childFound);
// With the scaling flag: divides the point by its monitor's effective DPI
// scale and returns 1. Without it (or without a DPI answer): returns 0 and
// leaves the point.
int ScaleWin81CursorPos(LPPOINT point);
// With the scaling flag: GetCursorPos. Without it: returns 1 and leaves the point.
int GetWin81CursorPos(LPPOINT point);

// Whether WindowFromPhysicalPoint is bound (WindowFromPointEx uses it only
// without the scaling flag).
bool PhysicalWindowLookupBound();
