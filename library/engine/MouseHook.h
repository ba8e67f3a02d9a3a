#pragma once
// The low-level mouse hook procedure's surroundings: the state it keeps between
// events, the two timer procedures that complete it, and the seams the tests and
// the benchmark drive it through (the button processor and the tick source).

#include <windows.h>

#include "MouseHookDecisions.h"

// A cursor position to force on the next injected button event; (0, 0) none.
// While set, physical moves are dropped.
extern POINT g_ptForcedCursor;
// Debounce records of Left, Right, Middle, XLeft, XRight.
extern DebounceRecord g_Debounce[5];
// Wheel delta not yet worth a notch, and the last notch an action took over.
extern int g_nWheelAccum;
extern LastWheelNotch g_LastNotch;
// Position of the last mouse move.
extern POINT g_ptLastMove;

// Forgets the debounce records, the wheel sum and notch, the forced cursor and
// the remembered mouse-over window (hooks starting, tests).
void ResetMouseHookState();

// What a button event becomes: true when an action took it over. The three
// out-bytes: pass the event on anyway, the action injected input, the action
// asks for wheel throttling. The default hands the event to ProcessButton.
using MouseButtonProcessor = bool (*)(int button, int kind, bool fastWheel, MSLLHOOKSTRUCT* data, BYTE& passAnyway,
                                      BYTE& injected, BYTE& throttle);
// Installs a processor (null restores the default); returns the previous one.
MouseButtonProcessor SetMouseButtonProcessor(MouseButtonProcessor processor);

// What a horizontal wheel event becomes once the hook hands it over: true when
// taken over. The default is ProcessHWheel.
using MouseHWheelProcessor = bool (*)(MSLLHOOKSTRUCT* data, BYTE& injected);
MouseHWheelProcessor SetMouseHWheelProcessor(MouseHWheelProcessor processor);

// The call that passes an event on (CallNextHookEx with the hook's handle by
// default). The benchmark replaces it to measure the procedure's own cost.
using MouseHookNextFn = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
MouseHookNextFn SetMouseHookNextHook(MouseHookNextFn next);

// Whether an event whose call ran past the system's hook time-out goes on to
// the system whatever the procedure decided, as some systems do with it (off:
// the procedure's verdict stands, and the system does with a late answer what
// it does). The tests take those systems' part with it where the system they
// run on keeps a time-out of its own.
void SetOverrunEventsPassOn(bool passOn);

// The hook procedure itself (also declared with the hook thread's pieces).
LRESULT CALLBACK MouseHookLLProc(int code, WPARAM wParam, LPARAM lParam);

// Timer 0x1015 polls on the timer thread while mouse-over switching or hover
// activation may be wanted (quickly while the pointer moves, slowly when it
// has long rested, not at all without those options). Each tick takes a due
// request for the check and switches to the profile of the window under the
// cursor, unless a button is held or remapping is switched off.
void CALLBACK ProcessMouseOverTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
// The check of a request that had seen decisions button decisions (see
// MouseOverRequest). False when no window lies under the cursor (the check is
// asked for again).
bool ProcessMouseOver(POINT point, unsigned long long decisions);
// Makes ProcessMouseOverTimerProc the timer thread's handler of timer 0x1015.
void RegisterMouseOverTimerHandler();
// Starts the poll when it may be wanted and does not run (asks the timer
// thread once; nothing without a timer thread). Any thread, global lock held.
void EnsureMouseOverPoll();
// Asks for the check at point after delayMs; a request already pending keeps
// its time. No call to the system: any thread, moves included.
void AskMouseOverCheck(POINT point, UINT delayMs);
// A button decided the profile (whether it switched or kept it): every check
// asked for or running before it is void, and the pointer's window must not
// overrule the decision. Hook thread, global lock held.
void VoidMouseOverChecks();
// Whether a check is asked for and not yet taken, and how many requests the
// poll has taken and dealt with so far (tests and diagnosis).
bool MouseOverCheckPending();
unsigned MouseOverChecksTaken();
// Timer 0x1016: re-install both hooks (the timer thread's handler from the start).
void CALLBACK ResetHookTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
