#pragma once
// The arrows of an up-down control beside a number field. The control steps
// its own position, which a field may not show: a value beyond the arrows'
// range (a file may hold one) or one typed in leaves the position where it
// was, and an arrow would replace the number shown by a step from there.
// Dialogs therefore step from the number the field shows.

#include <windows.h>
#include <commctrl.h>

// One step (delta, with its sign) from shown, kept within low..high: a value
// beyond the range comes to its nearer end, and an arrow that points further
// out than the value already lies changes nothing (as at the range's end).
int StepWithinRange(int shown, int delta, int low, int high);
double StepWithinRange(double shown, double delta, double low, double high);

// Answers an up-down's UDN_DELTAPOS for a control that writes its number into
// its buddy (UDS_SETBUDDYINT): the buddy shows the step from the number it
// showed. True when it did so (the control's own step must then not follow:
// the notification returns nonzero); false for another control, or a buddy
// whose text is no number, which the control handles as it does.
bool StepBuddyFromShown(const NMUPDOWN& change);

// The up-down control whose buddy is field (a sibling of it), or null.
HWND ArrowsOf(HWND field);
