#include <deque>
#include <string>

#include "Logger.h"
#include "ThreadLock.h"

namespace
{
constexpr DWORD kLongWaitMs = 1000;
constexpr DWORD kLongHoldMs = 500;

struct QueueState
{
    CRITICAL_SECTION cs;
    bool ready = false;
    std::deque<std::wstring> lines;

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

std::wstring Separator()
{
    std::wstring separator(158, L'-');
    separator += L"\r\n";
    return separator;
}
}

void CDebugLogQueue::Initialise() { Queue(); }

void CDebugLogQueue::PushDebugLog(const wchar_t* line)
{
    QueueState& q = Queue();
    if (line == nullptr || !q.ready)
        return;
    // Taken without the logger's lock, so the long wait and hold reports (which
    // log) come after the queue's lock is left: the queue's lock is only ever
    // taken inside the logger's, never the other way round.
    const DWORD start = LockTickCount();
    DWORD waited = 0;
    if (!::TryEnterCriticalSection(&q.cs))
    {
        ::EnterCriticalSection(&q.cs);
        waited = LockTickCount() - start;
    }
    try
    {
        while (q.lines.size() >= MaxLines)
            q.lines.pop_front();
        q.lines.emplace_back(line);
    }
    catch (...)
    {
        // Out of memory: the line is lost, the queue stays consistent.
    }
    ::LeaveCriticalSection(&q.cs);
    const DWORD held = LockTickCount() - start;
    if (waited > kLongWaitMs)
        CLogger::LogMessage(L"CGenericThreadLock::Constructor It took a long time to obtain the lock for '%s' (%dms).",
                            L"CDebugLogQueue::PushDebugLog", static_cast<int>(waited));
    if (held > kLongHoldMs)
        CLogger::LogMessage(L"CGenericThreadLock::Destructor The lock for '%s' took %dms to release!", L"CDebugLogQueue::PushDebugLog",
                            static_cast<int>(held));
}

void CDebugLogQueue::FlushDebugLog()
{
    QueueState& q = Queue();
    if (!q.ready)
        return;
    CGenericThreadLock lock(&q.cs, L"CDebugLogQueue::FlushDebugLog", true);
    if (q.lines.empty())
        return;
    CLogger::LogDebug(L"Flushing %d recent lines of debug log...", static_cast<int>(q.lines.size()));
    const std::wstring separator = Separator();
    CLogger::_InternalLogDebug(separator.c_str());
    while (!q.lines.empty())
    {
        CLogger::_InternalLogDebug(q.lines.front().c_str());
        q.lines.pop_front();
    }
    CLogger::_InternalLogDebug(separator.c_str());
}

std::size_t CDebugLogQueue::QueuedLines()
{
    QueueState& q = Queue();
    if (!q.ready)
        return 0;
    ::EnterCriticalSection(&q.cs);
    const std::size_t count = q.lines.size();
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
    q.lines.clear();
    ::LeaveCriticalSection(&q.cs);
}
