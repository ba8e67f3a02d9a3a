#pragma once
// The horizontal wheel (tilt) in the mouse hook: the filter that drops the
// auto-repeat messages of a held tilt, the tilt buttons' actions and the
// redirection of the tilt to the window under the cursor.

#include <windows.h>

// Event times of the first and the last tilt message of a series.
extern DWORD g_dwTiltFirst;
extern DWORD g_dwTiltLast;

// Whether a tilt message at time now is an auto-repeat of the series
// (first, last) for a device repeat delay of repeatDelay ms.
bool IsTiltRepeat(DWORD now, DWORD first, DWORD last, int repeatDelay);

// WM_MOUSEHWHEEL of the mouse hook (hook thread). True: the hook swallows the
// event. injected is set when the action injected input.
bool ProcessHWheel(MSLLHOOKSTRUCT* data, BYTE& injected);

// The tilt no action took, sent to the window under the cursor by the
// profile's scroll method or as a posted WM_MOUSEHWHEEL (also used for the
// library's own injected tilts). True: the hook swallows the event.
// ownInput: a tilt the library sent; its delta is final (never inverted again)
// and it never leads to another simulated tilt.
bool RedirectTilt(MSLLHOOKSTRUCT* data, short delta, bool ownInput = false);
