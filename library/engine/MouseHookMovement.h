#pragma once
// The mouse hook's move path beyond the plain move: movement-to-scroll steps,
// the axis lock and inversion, timed-click aborts and chord unblocking. The
// step rules are plain functions on values; the hook gathers the values and
// carries out the verdict through a narrow output a test can record.

#include <windows.h>

class CMovement2Scroll;

// Movement-to-scroll progress between moves (hook thread, under the lock):
// lock 0 none, 1 vertical, 2 horizontal; the movement summed since the last
// step; the event time of the last step; the acceleration multiplier; and the
// movement-to-scroll it belongs to (a new one starts afresh).
struct MovementToScrollProgress
{
    int lock = 0;
    POINT accum{0, 0};
    DWORD lastStep = 0;
    double multiplier = 0.0;
    const CMovement2Scroll* owner = nullptr;
    POINT ownerStart{0, 0};
};
extern MovementToScrollProgress g_MTSProgress;

// What one move does while movement-to-scroll runs.
struct MovementToScrollVerdict
{
    bool drop = false;        // the move does not reach the cursor
    bool moved = false;       // the move counts as movement (no "no movement" action)
    int vertical = 0;         // wheel amounts to send (0: none)
    int horizontal = 0;
    int lockDecided = 0;      // a lock taken by this move: 1 vertical, 2 horizontal
};

// One move at point and event time, for options whose axis-lock value is
// axisLock, with sensitivities and inversions as given. progress carries over.
MovementToScrollVerdict MovementToScrollStep(MovementToScrollProgress& progress, POINT start, POINT point,
                                                           DWORD time, int axisLock, int sensitivityX, int sensitivityY,
                                                           bool invertVertical, bool invertHorizontal);

// Whether point lies farther than distance from origin on either axis.
bool BeyondDistance(POINT origin, POINT point, int distance);

// What the move path sends. Defaults go to the simulated-input queue; tests and
// the benchmark install their own (null restores the defaults).
struct MouseMoveOutput
{
    bool (*scroll)(int vertical, int horizontal);
    // Relative move from the cursor back to the message point along one axis.
    bool (*moveToMessagePoint)(const MSLLHOOKSTRUCT* data, bool vertical);
    // The move with the inverted axes mirrored; false when nothing is inverted.
    bool (*moveInverted)(const MSLLHOOKSTRUCT* data);
};
void SetMouseMoveOutput(const MouseMoveOutput* output);

// The cursor position as the hook knows it: the point of the last event the
// system was let to apply. The axis lock moves relative to it, so the move
// path asks the window server nothing. The library's own cursor placements
// (g_nCursorPlacements) and a process whose hook points are not cursor
// positions make it ask GetCursorPos again. Hook thread only.
void MouseHookNoteCursor(POINT point);
bool MouseHookCursor(POINT& cursor);
// The record taken afresh from the system, for a hook just installed: the
// pointer may have moved while no hook saw it.
void MouseHookReadCursor();

// The hook's steps (hook thread, global lock held). Each answers true when the
// move is dropped.
bool MouseHookMovementToScroll(MSLLHOOKSTRUCT* data, bool& passNow);
bool MouseHookAxisLock(MSLLHOOKSTRUCT* data, bool& toMouseOver);
// The axis lock and inversion of a move that found the global lock busy (hook
// thread, lock not held): their state is CLockAxis's own, so a busy lock never
// lets the pointer leave a locked axis. True when the move is dropped.
bool MouseHookAxisLockWhileBusy(MSLLHOOKSTRUCT* data);
void MouseHookCheckTimedClickAborts(POINT point);
bool MouseHookMTSActive();
// A button or wheel event while a sticky movement-to-scroll runs: true when
// the event is dropped (another button blocked, or the press that ends it).
bool MouseHookStickyMTSDrop(int button, int kind);

// Chord pieces, kept in their own file (MouseHookChord.cpp).
// Releases the global chord when the move left its unblock distance.
bool MouseHookUnblockChord(POINT point);
// The source button of the global chord, -1 when none.
int MouseHookChordSourceButton();
