#pragma once
// The one log writer of the library and the program: time-stamped lines in one
// log file, mirrored to the debugger output. Debug lines written while debug
// logging is off are kept (the newest 200) and written out when it is switched on.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "SnareholdApi.h"

// Handles and addresses as numbers for log lines. Windows keeps 32 significant
// bits in every handle (windows, hooks, cursors, threads, events) so that 32-
// and 64-bit processes can share them: a handle prints as "0x%08X". An address
// (a module base, an object) prints whole as "0x%016llX".
inline unsigned HandleNumber(const void* handle)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handle));
}
inline unsigned long long AddressNumber(const void* address)
{
    return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address));
}

class SNAREHOLD_API CLogger
{
public:
    // Usable between Initialise (library load) and Shutdown. Initialise may be
    // called again; a second call on a live logger changes nothing.
    static void Initialise();
    static void Shutdown();

    static void DisableBanner();
    static bool LoggingDisabled();
    static void DisableLogging(bool disable);

    static bool DebugEnabled();
    // Switching debug logging on writes the queued recent debug lines.
    static void EnableDebug(bool enable);
    static void ThreadDebugging(bool enable);
    static bool ThreadDebuggingEnabled();

    // Printf-style wide formats with the Microsoft rules (%s wide, %S narrow).
    static void LogMessage(const wchar_t* format, ...);
    static void LogDebug(const wchar_t* format, ...);
    static void LogThreadDebug(const wchar_t* format, ...);
    static void LogOSMessage(DWORD error, const wchar_t* format, ...);
    static void LogOSDebug(DWORD error, const wchar_t* format, ...);
    // To the debugger output only: no file, no lock, also while logging is disabled.
    static void DebugOutput(const wchar_t* format, ...);

    // Appends text as it is (no time stamp), opening the file when needed.
    // The caller holds the logger's lock (the debug queue's flush does).
    static void _InternalLogDebug(const wchar_t* text);

    static void FlushLog();
    // Closes the file; true appends an empty line first. The next line opens
    // the file again, resolving its path anew.
    static void CloseLogFile(bool addEmptyLine);

    // Takes and releases the logger's lock for a caller (for example around
    // TerminateThread of a worker, so that no thread dies holding it).
    static bool GetLock();
    static void ReleaseLock();

    // Finds the log file's path now, outside every lock of the logger, so that
    // a later first line needs no folder lookup. Threads that must never show
    // a message box (the hook thread) call it before they start, or mark
    // themselves with SetThreadMessageBoxesAllowed(false) (Folders.h).
    // Returns false when no path could be found.
    static bool ResolveLogPath();
    // The path of the open log file, or of the one resolved for the next opening;
    // empty when neither. Copies at most size-1 characters.
    static void GetLogPath(wchar_t* buffer, std::size_t size);

    // Data of the logger (read without the lock by the message functions).
    static HANDLE m_hLogFile;
    static CRITICAL_SECTION csLogMutex;
    static std::atomic<bool> m_bDead;
    static std::atomic<bool> m_bDebugging;
    static std::atomic<bool> m_bThreadDebugging;
    static std::atomic<bool> m_bDisableLogging;
    static std::atomic<bool> m_bDisableBanner;

    // Sizes of the formatting buffers (characters); longer texts are cut.
    static constexpr std::size_t TextBufferSize = 4096;
    // A log file larger than this is cut back when it is opened.
    static constexpr LONGLONG TrimThreshold = 3000000;
    static constexpr LONGLONG TrimKeep = 2000000;
};

// While one exists on a thread, the lines that thread writes go to a ring of
// fixed-size lines that a writer thread of the logger takes to the file and the
// debugger, so that the thread never touches a file, never looks up the log
// path and never waits for the logger's lock. For the hook and timer threads:
// create one at the top of the thread procedure. The writer runs while any
// thread has one; the last to go writes what is left on its own thread.
// A push never waits, neither for the writer nor for another thread pushing; a
// line that finds the ring full is dropped and counted, and the writer reports
// the count.
class SNAREHOLD_API CDeferredLogWrites
{
public:
    CDeferredLogWrites();
    ~CDeferredLogWrites();
    CDeferredLogWrites(const CDeferredLogWrites&) = delete;
    CDeferredLogWrites& operator=(const CDeferredLogWrites&) = delete;

    static constexpr std::size_t MaxLines = 128;
    static constexpr std::size_t LineChars = 1024;

    // True on a thread whose lines are deferred.
    static bool Active();
    // Queues a finished line; false when it was dropped.
    static bool Push(const wchar_t* line, bool debugLine);
    // Writes every queued line on the calling thread (the last scope's end).
    static void Drain();
    // Waits (at most timeoutMs) until every line queued so far is written.
    static bool WaitUntilWritten(DWORD timeoutMs);
    static long DroppedLines();

private:
    bool m_bOuter;
};

// Time source of the lines' time stamps (local time). Tests install a fixed
// clock; null restores GetLocalTime.
using LogTimeSource = void (*)(SYSTEMTIME* time);
void SetLogTimeSource(LogTimeSource source);

// The recent debug lines written while debug logging was off, in a ring of
// fixed-size lines allocated once.
class CDebugLogQueue
{
public:
    static constexpr std::size_t MaxLines = 200;
    // A longer line is cut (it keeps its line break).
    static constexpr std::size_t LineChars = 1024;

    // Keeps a copy of a finished line (time stamp and line break included),
    // dropping the oldest when MaxLines are queued. Never allocates and never
    // waits: while another thread uses the ring the line is dropped.
    static void PushDebugLog(const wchar_t* line);
    // Writes the queued lines between two separators, oldest first, and
    // empties the queue. Runs with the logger's lock held.
    static void FlushDebugLog();
    static std::size_t QueuedLines();
    static void Clear();

    // Set-up of the queue's critical section (at library load; repeated calls
    // are harmless).
    static void Initialise();
};
