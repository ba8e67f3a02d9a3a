// The global chord as the mouse hook's move path and horizontal wheel see it.
// Kept apart so that only the chord machinery's own header is needed here.

#include "ChordTimers.h"
#include "Chords.h"
#include "MouseHookMovement.h"

bool MouseHookUnblockChord(POINT point)
{
    CBRMPChord* chord = g_pGlobalChord;
    if (chord == nullptr || chord->ChordCancelled() || chord->GetChordUsed())
        return false;
    const POINT start = g_ptChordStart;
    if (start.x == 0 && start.y == 0)
        return false;
    const CBRMPChords* chords = chord->GetCurrentChords();
    if (chords == nullptr || !BeyondDistance(start, point, chords->UnblockMPixels()))
        return false;
    ClearChord(point);
    return true;
}

int MouseHookChordSourceButton()
{
    const CBRMPChord* chord = g_pGlobalChord;
    return chord != nullptr ? static_cast<int>(chord->GetChordSourceButton()) : -1;
}
