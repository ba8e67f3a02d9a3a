#pragma once
// The three cursors of the scrolling and movement-to-scroll actions, loaded when
// the library loads: from the settings folder when the user put files there,
// else from the library's own resources.

#include <windows.h>

extern HCURSOR CursorScroll;
extern HCURSOR CursorScrollX;
extern HCURSOR CursorScrollY;

// Resource ids of the library's own scroll cursors.
constexpr int IDC_BRMP_SCROLL = 104;
constexpr int IDC_BRMP_SCROLLX = 108;
constexpr int IDC_BRMP_SCROLLY = 109;

void LoadCursors(HINSTANCE module);
void DestroyCursors();
