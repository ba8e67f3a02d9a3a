#pragma once
// The library's switch of debug logging. Switching it on first writes a short
// picture of the environment (version, hook time-out, monitor DPI, cursor
// speeds), then the recent debug lines kept while it was off.

#include "SnareholdApi.h"

// from names the cause ("start-up", a hotkey, the crash handler) in the log.
SNAREHOLD_API void SetDebug(bool on, const wchar_t* from);
SNAREHOLD_API bool GetDebug();

// Logs every monitor's effective DPI (or the screen's when per-monitor DPI is
// not available).
void LogMonitorDpi();
