#pragma once
// The window that really lies under a screen point: the deepest visible child,
// seen through tooltips, answered from a short cache because the hook asks on
// every mouse event.

#include <windows.h>

#include "SnareholdApi.h"

// The deepest child window at point (smallest rectangle containing it).
// includeHidden 1 also considers hidden windows and does not climb to a visible one.
SNAREHOLD_API HWND WindowFromPointEx(POINT point, int includeHidden);
// Cached lookup seen through tooltips; takes the global lock (may wait).
SNAREHOLD_API HWND RealWindowFromPoint(POINT point);
// The same with its own tooltip record; never waits: without skipLock it only
// tries the global lock and answers null when it is busy, with skipLock it takes
// no lock at all. No allocation.
HWND RealWindowFromPoint_SkipLocked(POINT point, bool skipLock);
// Forgets the cached window.
void ResetWindowFromPointCache();
// While movement-to-scroll runs, the cached window holds wherever the cursor goes.
void SetWindowCacheHeldForScroll(bool held);

// The cache rule: whether the window cached at cachedPoint, last used at
// lastUse, answers a lookup at point at tick now.
constexpr DWORD kWindowCacheMs = 500;
constexpr LONG kWindowCachePixels = 5;
bool UseCachedWindow(POINT cachedPoint, DWORD lastUse, POINT point, DWORD now, bool heldForScroll);
// The deepest-child rule: whether a candidate of area (with class name) replaces
// the one kept so far (keptArea < 0: none kept yet).
bool ReplacesKeptWindow(long long keptArea, long long area, const wchar_t* className);

// WM_NCHITTEST with a short time-out that gives up on a hung window; a failed or
// timed-out hit test counts as the client area.
constexpr UINT kHitTestTimeoutMs = 50;
LRESULT NonClientHitTest(HWND window, POINT point);
