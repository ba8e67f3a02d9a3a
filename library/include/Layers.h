#pragma once
// Layers: every profile holds ten layers of nine button actions and the library
// has one current layer for all profiles (0-based). Every change of the layer
// goes through ChangeLayer: held buttons are released with their old action and
// pressed again with the new one, and the program's windows hear of it through
// BRMP_LayerChanged (wParam = layer, lParam = 1 when a balloon is wanted).

#include <windows.h>

#include "SnareholdApi.h"

class CApplicationSettings;

// --- exported to the program -------------------------------------------------

// The current layer. Never waits for the global lock and never answers a wrong
// layer because another thread holds it.
SNAREHOLD_API int GetCurrentLayer();
// The name of a layer in the profile in force: null without a profile; an empty
// text (and a log line) for a layer outside 0..9 or without a name.
SNAREHOLD_API const wchar_t* GetLayername(int layer);
// notify: the program may show a balloon; autoSwitch: arm the automatic switch
// of the new layer; rememberLast: the layer left becomes g_nLastLayer.
SNAREHOLD_API void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast);
// Layers in use (Layers/Number); 10 without settings.
SNAREHOLD_API int MaxLayers();
// Step to the next / previous layer, cyclically, skipping layers of the profile
// in force that are disabled or excluded from next/previous.
SNAREHOLD_API void NextLayer();
SNAREHOLD_API void PreviousLayer();
// LeftClickTrayIcon/Cycle; false without settings.
SNAREHOLD_API bool LeftClickCycleLayer();

// --- engine internals (not exported; the library's tests link its objects) ----

// The layer in force before the last SetCurrentLayer that asked to remember it.
extern int g_nLastLayer;

// Makes layer current (global lock "ChangeLayer"): refuses it without settings
// or when it is not below MaxLayers; ends drags, held "during" keys, sticky
// buttons and repeats of the old layer; re-presses held buttons; notifies.
void ChangeLayer(int layer, bool notify);
void ChangeButtonOnLayerChange(int newLayer, POINT cursor);
void LayerNotify(bool notify);

// The layer a step from current lands on: step +1 (next) or -1 (previous) over
// layerCount layers, wrapping; with a profile, layers that are disabled or
// excluded from next/previous are skipped. Answers current when no other layer
// qualifies.
int StepLayer(const CApplicationSettings* profile, int current, int layerCount, int step);

// The automatic switch-back time of a layer in whole milliseconds (seconds x
// 1000, truncated); 0 for a negative, not-a-number or absurd time.
UINT AutoSwitchPeriodMs(double seconds);

// What the jiggler does when its timer fires.
enum class JigglerStep
{
    Nothing,    // not armed, or no user input seen since it was disarmed
    Jiggle,     // the user was active within the time-out: simulate activity
    Disarm      // no input for longer than the time-out: let the system idle
};
JigglerStep DecideJiggle(bool timerRunning, bool inputSeen, DWORD now, DWORD lastInput, DWORD timeoutMs);

// Timer procedures of the timer thread.
void CALLBACK AutoSwitchTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
void CALLBACK JigglerTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
// Gives the timer thread the layer timers' handlers (idempotent).
void RegisterLayerTimerHandlers();
