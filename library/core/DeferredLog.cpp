// Lines of the hook and timer threads, written by a thread of the logger's own.
// The ring is allocated once and shared without a lock: a push claims a slot
// with one compare-and-swap, copies the line and publishes it, so it never waits
// for the writer or another pushing thread; a line is lost only when the ring
// is really full. When the writer sleeps, the push wakes it.

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

static_assert((CDeferredLogWrites::MaxLines & (CDeferredLogWrites::MaxLines - 1)) == 0,
              "the ring's positions wrap by masking");

// A bounded queue of many writers and readers after Dmitry Vyukov's: each slot
// carries a sequence number that says whose turn it is. A slot at position p
// is free for the push of p when its sequence is p, holds the line of p for
// the pop of p when it is p + 1, and is free again for the push of
// p + MaxLines once the pop set it to that.
struct DeferredRing
{
    struct Slot
    {
        std::atomic<std::size_t> sequence;
        DeferredLine line;
    };
    Slot slots[CDeferredLogWrites::MaxLines];
    std::atomic<std::size_t> pushAt{0};
    std::atomic<std::size_t> popAt{0};

    DeferredRing()
    {
        for (std::size_t i = 0; i < CDeferredLogWrites::MaxLines; ++i)
            slots[i].sequence.store(i);
    }

    Slot& At(std::size_t position) { return slots[position & (CDeferredLogWrites::MaxLines - 1)]; }
};

DeferredRing& Ring()
{
    static DeferredRing ring;
    return ring;
}

// The ring exists from library load on, so a first push never waits for its
// construction by another thread.
struct RingStartup
{
    RingStartup() { Ring(); }
} g_ringStartup;

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

// Takes the oldest line out of the ring; false when it is empty (or its oldest
// line is still being copied in: its push wakes the writer once it is there).
bool Pop(DeferredLine& line)
{
    DeferredRing& ring = Ring();
    std::size_t position = ring.popAt.load();
    for (;;)
    {
        DeferredRing::Slot& slot = ring.At(position);
        const std::size_t sequence = slot.sequence.load();
        const auto lag = static_cast<std::ptrdiff_t>(sequence - (position + 1));
        if (lag < 0)
            return false;
        if (lag > 0)
        {
            position = ring.popAt.load();
            continue;
        }
        if (ring.popAt.compare_exchange_weak(position, position + 1))
        {
            line = slot.line;
            slot.sequence.store(position + CDeferredLogWrites::MaxLines);
            return true;
        }
    }
}

bool RingEmpty()
{
    DeferredRing& ring = Ring();
    const std::size_t position = ring.popAt.load();
    return ring.At(position).sequence.load() != position + 1;
}

void ReportDrops()
{
    const long dropped = g_dropped.load();
    const long lost = dropped - g_reportedDrops.exchange(dropped);
    if (lost <= 0)
        return;
    CLogger::LogMessage(L"CDeferredLogWrites: %d log lines of the hook and timer threads were lost (the queue was full).",
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

// The ring takes no lock, so a thread terminated in a push leaves none taken.
CRITICAL_SECTION* DeferredRingLock() { return nullptr; }

bool CDeferredLogWrites::Push(const wchar_t* line, bool debugLine)
{
    if (line == nullptr)
        return false;
    DeferredRing& ring = Ring();
    std::size_t position = ring.pushAt.load();
    DeferredRing::Slot* slot = nullptr;
    for (;;)
    {
        slot = &ring.At(position);
        const std::size_t sequence = slot->sequence.load();
        const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
        if (lag < 0)
        {
            // The slot still holds the line of one lap before: the ring is full.
            ++g_dropped;
            return false;
        }
        if (lag > 0)
            position = ring.pushAt.load();
        else if (ring.pushAt.compare_exchange_weak(position, position + 1))
            break;
    }
    DeferredLine& out = slot->line;
    out.debug = debugLine;
    std::size_t i = 0;
    for (; i + 1 < LineChars && line[i] != L'\0'; ++i)
        out.text[i] = line[i];
    if (line[i] != L'\0')
    {
        i = LineChars - 3;
        out.text[i++] = L'\r';
        out.text[i++] = L'\n';
    }
    out.text[i] = L'\0';
    slot->sequence.store(position + 1);
    ++g_pushed;
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
