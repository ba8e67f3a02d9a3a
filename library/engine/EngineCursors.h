#pragma once
// The pointer as the engine's state asks for it: each call reads the profile
// and layer in force and posts to the SPI thread (CSPIThread, CLockAxis).
//
// Who changes the pointer, and how (all are posts to the SPI thread):
//   layer / profile cursor   ShowProfileCursor, UpdateCursors
//   chord mark               ShowChordCursor
//   timed-click progress     ShowTimedClickCursor (Cursor/ChangeHeld)
//   scroll cursors           ShowLibraryCursor(CursorScrollY)
//   system cursors back      ResetSystemCursors

#include <windows.h>

#include "SnareholdApi.h"

// The layer / profile cursor for the current state (locks, layer, profile).
bool ShowProfileCursor();
// The chord mark, or back to the profile cursor when the chord ends.
bool ShowChordCursor(bool active);
// Timed-click progress with the Cursor/ChangeHeld option.
bool ShowTimedClickCursor(int step);
// A cursor of the library (scroll cursors) on all 16 system cursors with the layer overlay.
void ShowLibraryCursor(HCURSOR cursor);
// The system cursors back to the user's.
void ResetSystemCursors();
