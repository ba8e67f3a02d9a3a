#pragma once
// Action dispatch: what the engine does for one resolved action code on a press
// or release of a button.

#include <windows.h>

#include "SnareholdApi.h"

class CActionData;
class CApplicationSettings;

// Returns 1 when the event is handled (swallowed), 0 when it goes on to the
// system. block is written by the simulated-keys action, click set when a click
// of our own was sent.
SNAREHOLD_API BYTE ProcessButtonAction(int button, int code, CActionData* action, CApplicationSettings* profile,
                                       int kind, int layer, BYTE replayed, HWND window, POINT point, BYTE& block,
                                       BYTE& click);

// What a simulated-keys slot sends on an event: nothing, the sequence once
// (release flag as given), or the press / release half of a held sequence.
enum class KeyModeWork
{
    None,
    SendOnce,
    SendOnceRelease,
    HoldPress,
    HoldRelease,
    NotAvailable,   // repeat and sticky modes: their machinery is not in the engine yet
};
// kind: 1 down, 2 up. heldFlag: the slot's "held keys sent" flag.
SNAREHOLD_API KeyModeWork KeyModeWorkFor(int keyMode, int kind, bool heldFlag);

// A repeat delay spread around delay by a random value: the span is 3 ms for
// delays under 100 ms, else a tenth of the delay rounded down to 10 ms steps.
// Never below 1 ms, so that a short delay cannot become a busy repeat.
SNAREHOLD_API int RandomisedRepeatDelay(int delay, unsigned random);
