#pragma once
// Bounded polling for the tests: wait until a condition holds or a time-out
// passes, never a bare sleep.

#include <windows.h>

#include <functional>

namespace brmptest
{

// The default time-out of the waits on the desktop: generous, because a loaded
// machine under Wine can be slow; a wait that succeeds returns at once.
constexpr DWORD kDefaultTimeoutMs = 5000;

// Checks condition every intervalMs until it returns true (true) or timeoutMs
// have passed (false; the condition is checked one last time). Meanwhile the
// calling thread's messages are dispatched, so a hook or a window owned by the
// waiting thread keeps working.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs, DWORD intervalMs = 10);

// Dispatches every message waiting in the calling thread's queue.
void PumpMessages();

} // namespace brmptest
