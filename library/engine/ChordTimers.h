#pragma once
// The global chord: the chord entry of the source button while a chord is
// possible, the held-back press waiting for the chord time-out, and the ways a
// chord ends without a second button (time-out, movement, abandonment).

#include <windows.h>

class CBRMPChord;

// Chord entry of the button that started the chord, null when none.
extern CBRMPChord* g_pGlobalChord;
// Point where a chord that unblocks on movement started; (0, 0) none.
extern POINT g_ptChordStart;

struct PendingChord
{
    int button;
    POINT point;
};
// The held-back press of the chord button, null when none. Owned here.
extern PendingChord* g_pPendingChord;

// Replaces the pending record and arms the chord time-out (slot 4) with
// HChordTimerCallback. False when the timer could not be created (the record
// is dropped then).
bool SetPendingChord(int button, POINT point, int timeoutMs);
// Drops the pending record and its time-out.
void DropPendingChord();
// Forgets the global chord (the chord entry itself belongs to the profile).
void ReleaseGlobalChord();

// The chord time-out: the held-back press goes to its own action.
void CALLBACK HChordTimerCallback(PVOID slot, BOOLEAN fired);
// The mouse moved beyond the unblock distance: the same as a time-out.
void ClearChord(POINT point);
// Forgets the chord and its pending record without acting (profile switch,
// hooks stopping).
void AbandonChord();
// The same without touching the cursor: for a reload, whose old profiles must
// not be handed to the cursor thread.
void ForgetChord();

// Shows the profile's cursor again (with the layer mark when the settings ask
// for it), ending a chord, lock or scroll cursor.
void RestoreLayerCursor();
// Sends the physical press of button that an action did not take over.
void SendPhysicalDown(int button, POINT point);
