#pragma once
// Every window timer of the library runs on one thread, the "Timer Thread".
// Window timers belong to the thread that sets them, so other threads start and
// kill them through the proxy functions, which post to that thread.

#include <windows.h>

// Timer ids: they select the slot and the handler; the system chooses the id a
// thread timer really gets, which is kept in the slot's g_id...Timer.
constexpr UINT_PTR ID_TIMER_REPEAT = 5;             // refused: the repeat timer is a multimedia timer
constexpr UINT_PTR ID_TIMER_KEYSWITCH = 0x1010;
constexpr UINT_PTR ID_TIMER_SCROLLLINE = 0x1012;    // refused: belongs to the SPI thread
constexpr UINT_PTR ID_TIMER_ACTIVATEONHOVER = 0x1013;
constexpr UINT_PTR ID_TIMER_AUTOSWITCHLAYER = 0x1014;
constexpr UINT_PTR ID_TIMER_MOUSEOVER = 0x1015;     // a start request while it runs is ignored
constexpr UINT_PTR ID_TIMER_RESETHOOK = 0x1016;
constexpr UINT_PTR ID_TIMER_JIGGLER = 0x1017;
constexpr UINT_PTR ID_TIMER_CLEARCURSOR = 0x1018;

// System ids of the running timers, 0 when a timer does not run.
extern UINT_PTR g_idKeySwitchTimer;
extern UINT_PTR g_idActivateOnHoverTimer;
extern UINT_PTR g_idAutoSwitchLayerTimer;
extern UINT_PTR g_idMouseOverTimer;
extern UINT_PTR g_idResetHookTimer;
extern UINT_PTR g_idJigglerTimer;
extern UINT_PTR g_idClearCursorTimer;

// Starts a timer. From another thread while the timer thread runs: posts the
// request and returns 0 (the handler is chosen by id on the timer thread; proc
// is not used). On the timer thread, or when it does not run: sets the timer
// here and returns the system id (also through idOut). The first two
// parameters are ignored (the shape of SetTimer).
UINT_PTR ProxySetTimer(HWND ignored, UINT_PTR ignored2, UINT_PTR id, UINT periodMs,
                                     TIMERPROC proc, UINT_PTR* idOut);

// Kills a timer: from another thread posts the request and returns 0; on the
// timer thread kills it and returns the KillTimer result.
BOOL ProxyKillTimer(HWND ignored, UINT_PTR id);

// The stored system id for the slots above; any other id unchanged.
UINT_PTR GetTimerId(UINT_PTR id);

// Kills every running timer of the library except the clear-cursor timer, and
// the repeat event timer. Runs on the timer thread on its way out.
void KillTimerThreadTimers();

// The handler the timer thread gives a slot's timer (null: the slot exists but
// its handler is not there yet; its timer runs and does nothing). Returns the
// previous handler. The engine registers its handlers; tests register probes.
TIMERPROC SetTimerThreadHandler(UINT_PTR id, TIMERPROC handler);

// What the timer thread does with BRMP_ActivateWindow and BRMP_ShellExecute.
// The window-activation and process-launching code registers itself here.
using ActivateWindowRequest = void (*)(HWND window);
using ShellExecuteRequest = void (*)(void* info);   // runs and deletes the request
void SetTimerThreadRequestHandlers(ActivateWindowRequest activate, ShellExecuteRequest shellExecute);
