#pragma once
// The logger's own write of one finished line (time stamp and line break
// included) on the calling thread: the logger's lock, the debugger output and
// the file. who names the writer in the lock-wait report ("LogMessage",
// "LogDebug", ...).

void WriteLogLineNow(const wchar_t* line, const wchar_t* who);
