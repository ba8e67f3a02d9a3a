#pragma once
// The library's end of a catch-all block: logs the place and the kind and text
// of the exception being handled, and consumes it (nothing is rethrown).

// Call from inside a catch block. The format is printf-style with the Microsoft
// rules for wide formats (%s wide, %S narrow). Called outside a catch block it
// logs the place and that no exception was being handled.
void LogCaughtException(const wchar_t* format, ...);
