#pragma once
// Keys go to the window with the focus, and the focus may be left in a page
// that was hidden under it: a property sheet turned to another page by the
// keyboard (Ctrl+Tab) hides the page it leaves without taking the focus out
// of it. The system's dialog navigation walks only shown windows; started from
// a window hidden inside the dialog it steps through that hidden page's
// controls on Tab, and its search for a mnemonic never comes back to where it
// began, so that a letter key would keep the thread busy for ever.
//
// These helpers keep the keyboard on what the user sees: the dialog's focus
// is moved out of a hidden part to a shown control, and a key already on its
// way to a hidden window goes to the control that moves between the parts (a
// tab row) instead, or is dropped.

#include <windows.h>

// True when window is dialog or lies inside it and neither it nor a window
// between it and dialog is hidden.
bool IsShownWithin(HWND dialog, HWND window);

// When the focus lies hidden inside dialog, moves it to preferred (when that
// is shown and enabled), else to the dialog's first shown tab stop. True when
// the focus is on something the user sees (or outside the dialog) afterwards.
bool KeepFocusShown(HWND dialog, HWND preferred = nullptr);

// Before the dialog's keyboard handling: a key message aimed at a hidden
// window of dialog moves the focus as KeepFocusShown does and is aimed at
// preferred once that has it. False when it has not (no preferred, or it
// cannot take the focus): the key is then to be dropped.
bool AimKeyAtShownFocus(HWND dialog, MSG* msg, HWND preferred = nullptr);
