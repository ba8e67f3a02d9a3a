#pragma once
// State of the action engine that lives from a press to its release: momentary
// layers, timed clicks and movement-to-scroll (repeats and chords keep theirs
// beside their timers). The dispatch writes it; the timers, the mouse hook and
// the resets read it. Hook thread and timer callbacks, under the global lock
// (the move path only tries it).

#include <windows.h>

class CApplicationSettings;
class CBRMPTimedClicks;
class CMovement2Scroll;

// Layer a held layer button returns to on its release, -1 for none, and whether
// the layer in force was switched by a held button.
extern int g_nReturnLayer;
extern bool g_bLayerSwitchedByButton;
// The held layer button and the layer its press was resolved on: its release
// is resolved there too, so that it returns whatever the new layer gives it.
extern int g_nLayerButton;
extern int g_nLayerButtonLayer;

// Timed clicks of each button while it is held (the slot's list, not owned).
extern CBRMPTimedClicks* g_pTimedClicks[9];

// Movement-to-scroll: the options in force while their button is held (the
// slot's options, not owned; null when none), the last options used, whether
// the mouse moved since the press, the cursor state (0 scroll, 1 scroll X,
// 2 scroll Y), where it began, and the options whose no-movement action is
// being replayed (null when none).
extern CMovement2Scroll* g_pActiveMTS;
extern CMovement2Scroll* g_pLastMTS;
extern bool g_bMTSMoved;
extern int g_nMTSCursorState;
extern POINT g_ptMTSStart;
extern CMovement2Scroll* g_pReplayingMTS;

// Forgets everything above that points into the profiles (the settings reload
// and the hook's stop call it through the engine resets).
void ResetActionDispatchState();

// A reload is about to free the lists of the "Button Held" presses in
// progress: each goes on, on a copy, to its button's release.
void CarryTimedClicksAcrossReload();
// The button's next event of the user ends what a reload carried of its press:
// the keys it holds go up and its timed click gets the rest of its entry. True
// when that press was still the engine's (its release is then taken).
bool FinishPressCarriedByReload(int button, POINT point, BYTE& block, BYTE& click);
