#pragma once
// The button-up of a wheel or tilt notch that an action took over, sent after
// the profile's ignore interval so that further notches of one turn are eaten.

#include <windows.h>

class CApplicationSettings;

struct PendingScroll
{
    int kind;      // 1 horizontal, 2 vertical
    int button;    // MouseButtons
    POINT point;
    CApplicationSettings* profile;   // only compared, never dereferenced after a reload
};
extern PendingScroll* g_pPendingScroll;

// Replaces the pending record and arms slot 1 (kind 1) or 2 (kind 2) with the
// matching callback. False when the timer could not be created. The caller has
// taken button's press over (HeldInput); a record replaced or dropped before
// its release ends the press of its own button.
bool SetPendingScroll(int kind, int button, POINT point, CApplicationSettings* profile, int ms);
void DropPendingScroll();

void CALLBACK HScrollTimerCallback(PVOID slot, BOOLEAN fired);
void CALLBACK VScrollTimerCallback(PVOID slot, BOOLEAN fired);

