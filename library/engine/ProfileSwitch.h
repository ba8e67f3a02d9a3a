#pragma once
// Switching the library's profile in force.

class CApplicationSettings;

// Makes profile (or none) the profile in force: a chord, timed clicks,
// movement-to-scroll and a window drag of the old profile end, a layer held by
// a modifier button the new profile lacks is left, and the new profile's
// change script is queued.
void SetNewApp(CApplicationSettings* profile);

// Ends a movement-to-scroll in progress (logging logLine first): its cursor
// goes, and the hook's progress and sticky state are cleared.
void AbortMovementToScroll(const wchar_t* logLine);
