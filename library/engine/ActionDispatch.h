#pragma once
// Action dispatch: what the engine does for one resolved action code on a press
// or release of a button. Event kinds: 0 unknown, 1 down, 2 up, 3 double click.

#include <windows.h>

class CActionData;
class CApplicationSettings;
class CBRMPTimedClick;
class CBRMPTimedClicks;

// Returns 1 when the event is handled (swallowed), 0 when it goes on to the
// system. block is written by the simulated-keys action, click set when a click
// of our own was sent. replayed: the event is a replay of a stored action (its
// window check was skipped).
BYTE ProcessButtonAction(int button, int code, CActionData* action, CApplicationSettings* profile,
                                       int kind, int layer, BYTE replayed, HWND window, POINT point, BYTE& block,
                                       BYTE& click);

// The callbacks a timed-click press is given: the hold time of an entry was
// reached (its action is pressed, and released too unless the list releases on
// the button's release), or a move aborted the wait (the entry's action is
// pressed where the button went down).
void DispatchTimedClickTimer(CBRMPTimedClicks* list, CBRMPTimedClick* click, DWORD time);
// Timer 0x1018, 100 ms after a timed click fired: the cursor shows the state
// in force again instead of the click's step.
void CALLBACK ClearCursorFeedback(HWND, UINT, UINT_PTR id, DWORD);
void DispatchTimedClickAbort(CBRMPTimedClicks* list, CBRMPTimedClick* click, DWORD time, POINT point);

// --- decisions on plain values (tested directly) ------------------------------

// What a simulated-keys slot does on an event.
enum class KeyModeWork
{
    None,
    SendOnce,          // the sequence once, release flag off
    SendOnceRelease,   // the sequence once, release flag on
    HoldPress,         // the press half of a held sequence
    HoldRelease,       // the release half of a held sequence
    RepeatStart,       // send once and start repeating
    RepeatStop,        // stop the repeat and send the release tokens
    StickyRepeat,      // the sticky key repeat machine (presses only)
    StickyHold,        // the sticky key hold machine
};
// kind: 1 down, 2 up. heldFlag: the slot's "held keys sent" flag. Modes outside
// 0-8 do nothing.
KeyModeWork KeyModeWorkFor(int keyMode, int kind, bool heldFlag);

// A repeat delay spread around delay by a random value: the span is 3 ms for
// delays under 100 ms, else a tenth of the delay rounded down to 10 ms steps.
// Never below 1 ms, so that a short delay cannot become a busy repeat.
int RandomisedRepeatDelay(int delay, unsigned random);

// The first delay of a repeating key sequence: the slot's repeat delay (the
// system key delay when it has none) plus the simulated-key delay and the keys'
// own wait/hold time. At least 1 ms.
int KeyRepeatStartDelay(int keyRepeat, int simKeyDelay, int waitHoldTime, int systemKeyDelay);

// The key an action sends: one press and release of vk with the modifier mask
// (Shift 1, Ctrl 2, Alt 4, Win 8), on the press (kind 1) or the release (kind 2).
struct ActionKey
{
    int vk;             // 0: the code sends no plain key
    bool extended;
    UINT modifiers;
    UINT scan;          // -1, or 0 for the media keys
    int kind;
};
// osVersion: the _ActionOSVersion value (ALT-TAB differs before 6.0).
ActionKey ActionKeyFor(int code, int osVersion);

// Browser command (1-6) of the application-command actions, 0 for other codes.
int AppCommandFor(int code);

// The mouse button (0-4) a click action presses, -1 for other codes.
int ClickButtonFor(int code);

// The layer (0-9) a held layer button switches to, -1 for other codes.
int MomentaryLayerFor(int code);
// The layer a held layer button returns to on its release: the layer it left,
// or the first layer when that layer asks to revert to it.
int MomentaryReturnLayer(int currentLayer, bool revertToFirst);
// Whether a release may return to the recorded layer: only a real layer below
// layerCount (a damaged or forgotten record is refused).
bool CanReturnToLayer(int returnLayer, int layerCount);

// Whether a wheel or tilt action keeps repeating while its button is held: the
// wheel and tilt buttons repeat by themselves unless the profile ignores their
// further notches; in Quillon mode nothing repeats.
bool WheelActionRepeats(int button, bool ignoreVScroll, bool ignoreHScroll, bool quillon);

// Result of a simulated-keys action: the work's result when the slot blocks the
// mouse, else 0 (the click goes on).
BYTE SimulatedKeysResult(bool blockMouse, BYTE workResult);

// The system command of the window actions (SC_CLOSE, SC_MAXIMIZE, SC_MINIMIZE,
// SC_RESTORE), 0 for other codes; kind gets the event kind it acts on.
UINT WindowCommandFor(int code, int& kind);

// The window a minimise, maximise or restore acts on, decided on its style and
// class: a captioned or system-menu window for restore, with the matching box
// for maximise (showCommand 3) and minimise (6); a window without them only
// when it is a full-screen virtual machine.
bool AcceptsMinMaxRestore(LONG_PTR style, const wchar_t* className, int showCommand);
// The window of that rule for window: the active window of its thread (else its
// root), or null.
HWND GetMinMaxRestoreWnd(HWND window, int showCommand);
