#pragma once
// Scroll Lock's toggle as the engine's rules see it (GetKeyState's low bit),
// read again only when ScrollLockReadDue says so. Any thread; no allocation.

// Whether Scroll Lock is toggled on.
bool ScrollLockToggled();
// The keyboard hook saw Scroll Lock go down or up.
void NoteScrollLockKey();
// Forgets the reading (hooks starting, tests).
void ForgetScrollLockReading();
