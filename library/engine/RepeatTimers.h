#pragma once
// The repeat timer: a one-shot multimedia timer that re-arms itself to repeat
// the action of a held button (wheel, tilt, window scroll, simulated keys), and
// the timer-queue slots used for one-shot delays (scroll button-up, chord
// time-out). Timer callbacks never wait on the global lock: they try it and
// re-arm or skip when it is busy.

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

// Slots of the timer-handle table. The last slot holds the multimedia repeat timer.
constexpr int ID_QTTIMER_HSCROLL = 1;
constexpr int ID_QTTIMER_VSCROLL = 2;
// Retry of keyboard-hook work that found the global lock busy.
constexpr int ID_QTTIMER_KEYRETRY = 3;
constexpr int ID_QTTIMER_CHORD = 4;
// Retry of a layer change asked for on the hook thread while the lock was busy.
constexpr int ID_QTTIMER_LAYERRETRY = 5;
constexpr int ID_TIMER_REPEAT_SLOT = 6;
constexpr int TimerSlotCount = 7;

// Multimedia id of the running repeat timer, 0 when none.
extern std::atomic<UINT> g_idRepeatTimer;
// Set when the repeat timer is stopped; a repetition in flight then does not re-arm.
extern std::atomic<bool> g_bRepeatStopped;
// The button whose action repeats, -1 for none.
extern std::atomic<int> g_nRepeatButton;
// Delay between repetitions when the action does not give its own (ms).
extern std::atomic<int> g_nRepeatDelay;
// Set when a repetition of a wheel or tilt action queued a notch since the
// repeat started: the release then has something of the repeat to cut off.
extern std::atomic<bool> g_bRepetitionQueued;

bool StartEventTimer(int delayMs);
// True when a timer was stopped.
bool StopEventTimer();

// Arms a one-shot timer-queue timer in slot (1-5); the callback gets the slot
// as its parameter. Replaces what the slot held.
bool StartQTTimer(int ms, WAITORTIMERCALLBACK callback, int slot);
// The body of a timer-queue retry of work that found the global lock busy on
// the hook thread: runs work under the lock, or arms callback in the slot
// again while the lock is still busy. An exception is logged under name and
// ends the retry.
void RetryUnderGlobalLock(const wchar_t* name, int retryMs, WAITORTIMERCALLBACK callback, int slot, void (*work)());
// True when a timer was deleted. The repeat slot is refused (use StopEventTimer).
bool StopQTTimer(int slot, bool quiet);
// Whether a slot holds a timer (tests and diagnosis).
bool QTTimerActive(int slot);
// Deletes every timer-queue timer and the repeat timer, waiting for callbacks
// in flight to finish; for the hook thread on its way out and for reloads.
// Must not be called from a timer callback.
void StopAllEngineTimers();

// Starts repeating button's action every delayMs (the first action was already
// done by the caller).
bool StartRepeat(int button, int delayMs);
// Ends any repeat: stops the timer, flushes the simulated-input queue and
// forgets the repeating button.
void StopRepeat();
// Whether the simulated-input queue is sending or holds queued work.
bool SimulatedInputBusy();

// One repetition (multimedia timer thread).
void CALLBACK RepeatTimerProc(UINT id, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                            DWORD_PTR reserved2);

// What a repetition sends for an action code.
enum class RepeatWork
{
    None,
    Keys,          // the slot's simulated keys once more
    WheelUp,       // +120
    WheelDown,     // -120
    TiltLeft,      // -120
    TiltRight,     // +120
    ScrollUp,      // window scroll vertical +120
    ScrollDown,
    ScrollLeft,
    ScrollRight,
};
RepeatWork RepeatWorkFor(int code);

// Next delay of a repeating key sequence: the keys' wait/hold time plus the
// slot's own repeat delay, or the default when that is 0.
int KeyRepeatDelay(int waitHoldTime, int keyRepeat, int defaultDelay);
