#pragma once
// The logger's own write of one finished line (time stamp and line break
// included) on the calling thread: the logger's lock, the debugger output and
// the file. who names the writer in the lock-wait report ("LogMessage",
// "LogDebug", ...).

#include <windows.h>

void WriteLogLineNow(const wchar_t* line, const wchar_t* who);

// Holds every lock a thread may hold while it logs - the logger's, the recent
// debug lines' and the deferred lines' - waiting at most timeoutMs for all of
// them. False, holding none, when one stayed busy: its holder may be the very
// thread that is about to be terminated, which would leave it taken for good.
bool HoldLoggingLocks(DWORD timeoutMs);
void ReleaseLoggingLocks();

// The locks of the recent debug lines and of the deferred lines (null when the
// queue has none).
CRITICAL_SECTION* DebugQueueLock();
CRITICAL_SECTION* DeferredRingLock();

// Called by a push between claiming its slot and filling it (tests: a thread
// that ends or stalls there); null for none.
using DeferredPushPause = void (*)();
void SetDeferredPushPause(DeferredPushPause pause);
