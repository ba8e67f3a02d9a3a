// Lines of the hook and timer threads, written by a thread of the logger's own.
// The ring is allocated once; a push only tries its lock, copies the line and,
// when the writer sleeps, wakes it.

#include <windows.h>

#include <process.h>

#include <atomic>

#include "Folders.h"
#include "Logger.h"
#include "LoggerWrite.h"

namespace
{
constexpr DWORD kWriterStopMs = 2000;

struct DeferredLine
{
    bool debug;
    wchar_t text[CDeferredLogWrites::LineChars];
};

struct DeferredRing
{
    CRITICAL_SECTION cs;
    DeferredLine lines[CDeferredLogWrites::MaxLines];
    std::size_t first = 0;
    std::size_t count = 0;

    DeferredRing() { ::InitializeCriticalSectionAndSpinCount(&cs, 4000); }
};

DeferredRing& Ring()
{
    static DeferredRing ring;
    return ring;
}

thread_local int t_depth = 0;

// Start and stop of the writer (several threads may open and close scopes).
SRWLOCK g_lifeLock = SRWLOCK_INIT;
int g_scopes = 0;
HANDLE g_writer = nullptr;
HANDLE g_wake = nullptr;
std::atomic<bool> g_stop{false};
std::atomic<bool> g_writerSleeping{false};
std::atomic<long> g_dropped{0};
std::atomic<unsigned long> g_pushed{0};
std::atomic<unsigned long> g_written{0};
std::atomic<long> g_reportedDrops{0};

// Takes the oldest line out of the ring; false when it is empty.
bool Pop(DeferredLine& line)
{
    DeferredRing& ring = Ring();
    ::EnterCriticalSection(&ring.cs);
    const bool any = ring.count > 0;
    if (any)
    {
        line = ring.lines[ring.first];
        ring.first = (ring.first + 1) % CDeferredLogWrites::MaxLines;
        --ring.count;
    }
    ::LeaveCriticalSection(&ring.cs);
    return any;
}

bool RingEmpty()
{
    DeferredRing& ring = Ring();
    ::EnterCriticalSection(&ring.cs);
    const bool empty = ring.count == 0;
    ::LeaveCriticalSection(&ring.cs);
    return empty;
}

void ReportDrops()
{
    const long lost = g_dropped.load() - g_reportedDrops.exchange(g_dropped.load());
    if (lost <= 0)
        return;
    CLogger::LogMessage(L"CDeferredLogWrites: %d log lines of the hook and timer threads were lost (the queue was full or busy).",
                        static_cast<int>(lost));
}

unsigned __stdcall WriterThread(void*)
{
    // Looking up the log path must not ask the user anything from here either.
    SetThreadMessageBoxesAllowed(false);
    for (;;)
    {
        CDeferredLogWrites::Drain();
        if (g_stop.load())
            break;
        g_writerSleeping.store(true);
        // A line pushed before the flag was seen would otherwise wait for the next.
        if (!RingEmpty())
        {
            g_writerSleeping.store(false);
            continue;
        }
        ::WaitForSingleObject(g_wake, INFINITE);
        g_writerSleeping.store(false);
    }
    return 0;
}

void StartWriter()
{
    g_stop.store(false);
    g_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    unsigned id = 0;
    g_writer = g_wake != nullptr ? reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, WriterThread, nullptr, 0, &id)) : nullptr;
}

void StopWriter()
{
    g_stop.store(true);
    bool ended = true;
    if (g_writer != nullptr)
    {
        ::SetEvent(g_wake);
        ended = ::WaitForSingleObject(g_writer, kWriterStopMs) == WAIT_OBJECT_0;
        // A writer stuck on the file keeps running; its handles stay with it.
        if (ended)
            ::CloseHandle(g_writer);
        g_writer = nullptr;
    }
    if (ended && g_wake != nullptr)
        ::CloseHandle(g_wake);
    g_wake = nullptr;
}
}

CDeferredLogWrites::CDeferredLogWrites() : m_bOuter(t_depth++ == 0)
{
    if (!m_bOuter)
        return;
    ::AcquireSRWLockExclusive(&g_lifeLock);
    if (g_scopes++ == 0)
        StartWriter();
    ::ReleaseSRWLockExclusive(&g_lifeLock);
}

CDeferredLogWrites::~CDeferredLogWrites()
{
    --t_depth;
    if (!m_bOuter)
        return;
    ::AcquireSRWLockExclusive(&g_lifeLock);
    if (--g_scopes == 0)
    {
        StopWriter();
        Drain();
    }
    ::ReleaseSRWLockExclusive(&g_lifeLock);
}

bool CDeferredLogWrites::Active() { return t_depth > 0; }

CRITICAL_SECTION* DeferredRingLock() { return &Ring().cs; }

bool CDeferredLogWrites::Push(const wchar_t* line, bool debugLine)
{
    if (line == nullptr)
        return false;
    DeferredRing& ring = Ring();
    if (!::TryEnterCriticalSection(&ring.cs))
    {
        ++g_dropped;
        return false;
    }
    if (ring.count == MaxLines)
    {
        ::LeaveCriticalSection(&ring.cs);
        ++g_dropped;
        return false;
    }
    DeferredLine& slot = ring.lines[(ring.first + ring.count) % MaxLines];
    slot.debug = debugLine;
    std::size_t i = 0;
    for (; i + 1 < LineChars && line[i] != L'\0'; ++i)
        slot.text[i] = line[i];
    if (line[i] != L'\0')
    {
        i = LineChars - 3;
        slot.text[i++] = L'\r';
        slot.text[i++] = L'\n';
    }
    slot.text[i] = L'\0';
    ++ring.count;
    ++g_pushed;
    ::LeaveCriticalSection(&ring.cs);
    if (g_writerSleeping.exchange(false) && g_wake != nullptr)
        ::SetEvent(g_wake);
    return true;
}

void CDeferredLogWrites::Drain()
{
    // The writer's own lines (the drop report) are written at once.
    const int depth = t_depth;
    t_depth = 0;
    DeferredLine line;
    while (Pop(line))
    {
        WriteLogLineNow(line.text, line.debug ? L"LogDebug" : L"LogMessage");
        ++g_written;
    }
    ReportDrops();
    t_depth = depth;
}

long CDeferredLogWrites::DroppedLines() { return g_dropped.load(); }

bool CDeferredLogWrites::WaitUntilWritten(DWORD timeoutMs)
{
    const unsigned long pushed = g_pushed.load();
    const DWORD start = ::GetTickCount();
    while (static_cast<long>(g_written.load() - pushed) < 0)
    {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(1);
    }
    return true;
}
