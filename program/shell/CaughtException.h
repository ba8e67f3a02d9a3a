#pragma once
// The program's shared end of a catch-all block: names the place and the kind
// and message of the exception being handled in the log, and consumes it.

// Call only from inside a catch block. The format is printf-style with the
// Microsoft rules for wide formats (%s wide, %S narrow).
void LogCaughtException(const wchar_t* format, ...);
