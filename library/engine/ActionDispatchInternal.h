#pragma once
// The groups of cases of the action dispatch, one file each. Hook thread.

#include <windows.h>

#include "ButtonEventKind.h"

class CActionData;
class CApplicationSettings;

namespace dispatch
{
// One event as the dispatch sees it; the out-flags belong to the caller.
struct Event
{
    int button;
    int code;
    CActionData* action;
    CApplicationSettings* profile;
    int kind;
    int layer;
    BYTE replayed;
    HWND window;
    POINT point;
    BYTE& block;
    BYTE& click;

    bool Down() const { return kind == kEventDown; }
    bool Up() const { return kind == kEventUp; }
    bool DownSeen() const;
};

bool Quillon();

// Clicks, wheel, tilt and window-scroll actions (ActionDispatchInput.cpp).
BYTE Click(const Event& e, int mouseButton);
BYTE DoubleClick(const Event& e);
BYTE DoubleClickDrag(const Event& e);
BYTE WheelOrTilt(const Event& e);
BYTE ScrollWindow(const Event& e);
BYTE RevealDesktop(const Event& e);

// Simulated keys (ActionDispatchKeys.cpp).
BYTE SimulatedKeys(const Event& e);

// Window commands, programs and folders (ActionDispatchWindows.cpp).
BYTE CloseWindow(const Event& e);
BYTE MinMaxRestore(const Event& e, int showCommand);
BYTE Shell(const Event& e);

// Layers (ActionDispatchLayers.cpp).
BYTE StepLayerAction(const Event& e, int step);
BYTE MomentaryLayer(const Event& e, int layer);

// Movement-to-scroll, axis locks and the slowed cursor (ActionDispatchMovement.cpp).
BYTE MovementToScroll(const Event& e);
BYTE StickyLeftAxis(const Event& e);
BYTE AxisLockWhilePressed(const Event& e, bool xAxis);
BYTE AxisLockToggle(const Event& e, bool xAxis);
BYTE SlowCursor(const Event& e);
BYTE SlowCursorSticky(const Event& e);

// Chords and timed clicks (ActionDispatchChords.cpp).
BYTE Chording(const Event& e);
BYTE TimedClicks(const Event& e);

// The global chord's part in resolving a button's action (button processing):
// while a chord is possible every button but the releasing source takes its
// entry in the chord list, and a press of another button becomes the chorded one.
enum class ChordResolution
{
    NotChorded,   // resolve as usual
    Chorded,      // code and action are the chord entry's
    Refused,      // another button is chorded and held: swallow the event
};
ChordResolution ResolveThroughChord(int button, int kind, int& code, CActionData*& action);
// Whether button started the chord in force.
bool IsChordSource(int button);
void ForgetChordSource();

// Runs a stored action (a chord or timed-click entry) for the event's button.
BYTE RunStored(const Event& e, int code, CActionData* action, int kind);
// Replays the button through button processing; a half nobody handled becomes
// the same simulated button event.
void ReplayButton(int button, int kind, bool skipWindowCheck, POINT point);
} // namespace dispatch
