#pragma once
// Seams and timer tables of a timed-click press (the run-time side of
// CBRMPTimedClicks). The press itself is driven through CBRMPTimedClicks.

#include <windows.h>

class CBRMPTimedClicks;
class CSPIThread;


// Pointer overlay of a press: show the overlay of an entry (step 0-3) in the
// given Cursor/ChangeHeld mode, and restore the cursors at the end. The engine
// registers its defaults when the library loads (the SPI thread and
// UpdateCursors); tests record instead, and null puts the defaults back.
using TimedClickShowStepFn = void (*)(CSPIThread* spiThread, int step, int mode);
using TimedClickRestoreFn = void (*)();
void SetTimedClickCursorFunctions(TimedClickShowStepFn showStep, TimedClickRestoreFn restore);
void SetTimedClickCursorDefaults(TimedClickShowStepFn showStep, TimedClickRestoreFn restore);

// Which list armed a click or feedback timer id (null when none), and the
// number of timers in the tables. A table holds at most this many timers;
// beyond it a timer is still armed but its list is not found (logged).
constexpr int TimedClickTimerTableSize = 64;
CBRMPTimedClicks* FindTimedClickTimer(UINT_PTR id);
CBRMPTimedClicks* FindTimedClickFeedbackTimer(UINT_PTR id);
int CountTimedClickTimers();

// A list that goes away forgets its table entries so that a late timer never
// reaches freed memory.
void ForgetTimedClickTimers(const CBRMPTimedClicks* list);
