#pragma once
// Helpers of the engine tests: bounded polls, reading the log file, a guard
// that puts the system mouse settings back whatever a test did, and a holder
// of the global lock on another thread.

#include <windows.h>

#include <functional>
#include <string>

namespace enginetest
{
// Polls cond every few milliseconds (pumping this thread's messages) until it
// holds or timeoutMs passed. Returns whether it held.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 5000);

// The log file's text as it is now (the logger's lines are ANSI).
std::string ReadLog();
// Length of the log file now: lines after this offset were written later.
size_t LogSize();
std::string LogSince(size_t offset);
// The same for any file.
size_t FileSize(const std::wstring& path);
std::string FileTextSince(const std::wstring& path, size_t offset);

// Round trip through the timer thread's queue: returns once everything posted
// to it before has been handled.
bool TimerThreadIdle(DWORD timeoutMs = 5000);

// The system mouse values; restored by the destructor.
struct MouseState
{
    int speed = 0;
    int mouse[3] = {0, 0, 0};
    int swap = 0;
    UINT wheelLines = 3;

    static MouseState Read();
    // Values that differ from every value the library saw at start-up.
    static MouseState UnlikeStartup();
    void Write() const;
    bool SameMouse(const int (&values)[3]) const;
};

class MouseStateGuard
{
public:
    MouseStateGuard() : m_saved(MouseState::Read()) {}
    ~MouseStateGuard() { m_saved.Write(); }
    const MouseState& Saved() const { return m_saved; }

private:
    MouseState m_saved;
};

std::wstring ThisExecutable();

// Another thread holding the library's global lock until Release (or the end
// of the test), as the timer thread does while it looks a window up.
class GlobalLockHolder
{
public:
    GlobalLockHolder();
    ~GlobalLockHolder();
    GlobalLockHolder(const GlobalLockHolder&) = delete;
    GlobalLockHolder& operator=(const GlobalLockHolder&) = delete;

    // Waits until the thread holds the lock.
    bool Holding() const;
    void Release();

private:
    HANDLE m_holding = nullptr;
    HANDLE m_release = nullptr;
    HANDLE m_thread = nullptr;
};
}
