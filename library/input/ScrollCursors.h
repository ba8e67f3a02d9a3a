#pragma once
// The three cursors of the scrolling and movement-to-scroll actions, loaded when
// the library loads: from the settings folder when the user put files there,
// else from the library's own resources.

#include <windows.h>

#include "SnareholdApi.h"

extern SNAREHOLD_API HCURSOR CursorScroll;
extern SNAREHOLD_API HCURSOR CursorScrollX;
extern SNAREHOLD_API HCURSOR CursorScrollY;

// Resource ids of the library's own scroll cursors.
constexpr int IDC_BRMP_SCROLL = 104;
constexpr int IDC_BRMP_SCROLLX = 108;
constexpr int IDC_BRMP_SCROLLY = 109;

SNAREHOLD_API void LoadCursors(HINSTANCE module);
SNAREHOLD_API void DestroyCursors();
