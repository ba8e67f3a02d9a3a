// The newest debug lines written while debug logging is off, in a ring of
// fixed-size lines allocated once. The hook procedures push here on every event,
// so a push never allocates and never waits: when another thread has the ring,
// the line is dropped.

#include <cwchar>

#include "Logger.h"
#include "LoggerWrite.h"
#include "ThreadLock.h"

namespace
{
struct QueueState
{
    CRITICAL_SECTION cs;
    bool ready = false;
    wchar_t lines[CDebugLogQueue::MaxLines][CDebugLogQueue::LineChars];
    std::size_t first = 0;   // the oldest line
    std::size_t count = 0;

    QueueState()
    {
        if (::InitializeCriticalSectionAndSpinCount(&cs, 4000))
            ready = true;
        else
            CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in CDebugLogQueue");
    }
    // At unload other threads may have died holding the lock: the lines go
    // without it.
    ~QueueState() = default;

    const wchar_t* Line(std::size_t index) const { return lines[(first + index) % CDebugLogQueue::MaxLines]; }
};

QueueState& Queue()
{
    static QueueState state;
    return state;
}

// The queue exists from library load on.
struct QueueStartup
{
    QueueStartup() { Queue(); }
} g_queueStartup;

// Copies a finished line into a slot; a line longer than the slot is cut and
// keeps its line break.
void CopyLine(wchar_t (&slot)[CDebugLogQueue::LineChars], const wchar_t* line)
{
    std::size_t i = 0;
    for (; i + 1 < CDebugLogQueue::LineChars && line[i] != L'\0'; ++i)
        slot[i] = line[i];
    if (line[i] != L'\0')
    {
        i = CDebugLogQueue::LineChars - 3;
        slot[i++] = L'\r';
        slot[i++] = L'\n';
    }
    slot[i] = L'\0';
}
}

void CDebugLogQueue::Initialise() { Queue(); }

CRITICAL_SECTION* DebugQueueLock()
{
    QueueState& q = Queue();
    return q.ready ? &q.cs : nullptr;
}

void CDebugLogQueue::PushDebugLog(const wchar_t* line)
{
    QueueState& q = Queue();
    if (line == nullptr || !q.ready || !::TryEnterCriticalSection(&q.cs))
        return;
    std::size_t slot = 0;
    if (q.count < MaxLines)
    {
        slot = (q.first + q.count) % MaxLines;
        ++q.count;
    }
    else
    {
        slot = q.first;
        q.first = (q.first + 1) % MaxLines;
    }
    CopyLine(q.lines[slot], line);
    ::LeaveCriticalSection(&q.cs);
}

void CDebugLogQueue::FlushDebugLog()
{
    QueueState& q = Queue();
    if (!q.ready)
        return;
    CGenericThreadLock lock(&q.cs, L"CDebugLogQueue::FlushDebugLog", true);
    if (q.count == 0)
        return;
    CLogger::LogDebug(L"Flushing %d recent lines of debug log...", static_cast<int>(q.count));
    wchar_t separator[161];
    for (int i = 0; i < 158; ++i)
        separator[i] = L'-';
    separator[158] = L'\r';
    separator[159] = L'\n';
    separator[160] = L'\0';
    CLogger::_InternalLogDebug(separator);
    for (std::size_t i = 0; i < q.count; ++i)
        CLogger::_InternalLogDebug(q.Line(i));
    q.first = 0;
    q.count = 0;
    CLogger::_InternalLogDebug(separator);
}

std::size_t CDebugLogQueue::QueuedLines()
{
    QueueState& q = Queue();
    if (!q.ready)
        return 0;
    ::EnterCriticalSection(&q.cs);
    const std::size_t count = q.count;
    ::LeaveCriticalSection(&q.cs);
    return count;
}

void CDebugLogQueue::Clear()
{
    QueueState& q = Queue();
    if (!q.ready)
        return;
    // Quick and silent: no report may log while the queue's lock is held.
    ::EnterCriticalSection(&q.cs);
    q.first = 0;
    q.count = 0;
    ::LeaveCriticalSection(&q.cs);
}
