#pragma once
// The one clock of the library's decisions, in GetTickCount units: the hook's
// event times, double clicks and debounce, timed-click presses, the idle time
// of the jiggler, the window cache, the start-up grace of the SPI thread.
// Reading it takes no lock and allocates nothing (the mouse hook reads it on
// every event). Tests set a virtual clock; null gives GetTickCount back.

#include <windows.h>

#include "SnareholdApi.h"

using TickSource = DWORD (*)();

DWORD TickNow();
// Returns the source it replaced.
TickSource SetTickSource(TickSource source);
