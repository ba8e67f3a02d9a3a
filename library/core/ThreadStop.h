#pragma once
// The one way a worker thread is stopped once it has been asked to end: wait,
// wait a little more, then terminate it while holding the logger's locks so
// that it does not die in the middle of a log line. A thread that keeps one of
// them is left running rather than killed with it.

#include <windows.h>

// Log texts of one thread kind; each takes the thread handle, the "code" texts
// also the exit code.
struct ThreadStopTexts
{
    const wchar_t* exitedWithCode;
    const wchar_t* exited;
    const wchar_t* late;
    const wchar_t* lateExitedWithCode;
    const wchar_t* lateExited;
    const wchar_t* terminating;
};

enum class ThreadEnd
{
    Exited,        // ended on its own
    Terminated,    // killed after both waits
    StillRunning   // could not be killed, or held a lock of the logger
};

// Waits for a thread that has been asked to end. Does not close the handle.
// afterTerminateMs: pause (logger lock still held) after a forced end.
ThreadEnd AwaitThreadEnd(HANDLE thread, const ThreadStopTexts& texts, DWORD afterTerminateMs = 0);

// The two waits (10,000 ms and 2,000 ms). Tests shorten them; 0, 0 restores them.
void SetThreadStopTimeouts(DWORD firstMs, DWORD secondMs);
