// Lines of the hook and timer threads, written by a thread of the logger's own.
// The ring is allocated once and shared without a lock: a push claims a slot
// with one compare-and-swap, copies the line and publishes it, so it never waits
// for the writer or another pushing thread; a line is lost only when the ring
// is really full, or when its thread did not publish it in time (it may have
// been ended between claim and publish). When the writer sleeps, the push wakes it.

#include <windows.h>

#include <process.h>

#include <atomic>

#include "Folders.h"
#include "Logger.h"
#include "LoggerWrite.h"

namespace
{
constexpr DWORD kWriterStopMs = 2000;
// A claimed slot is published within microseconds; one still unpublished after
// this long is stepped over, or every later line would wait behind it for good.
constexpr DWORD kUnpublishedDeadlineMs = 1000;

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
// A slot claimed for p (push position past p) whose sequence stays p past the
// deadline is retired by the reader: its sequence becomes kRetired, which only
// that compare-and-swap can write and nothing changes back. Its writer, if it
// still lives, finds its publish refused and leaves; the slot's text is then
// read by nobody, and pushes and pops on every later lap step over the slot,
// so a late copy into it can never land in another line. A retired slot is
// out of use for the life of the process.
constexpr std::size_t kRetired = ~static_cast<std::size_t>(0);

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
std::atomic<long> g_abandoned{0};
std::atomic<unsigned long> g_pushed{0};
std::atomic<unsigned long> g_written{0};
std::atomic<long> g_reportedDrops{0};
std::atomic<long> g_reportedAbandoned{0};

// The claimed slot the reader found unpublished, and since when.
std::atomic<std::size_t> g_stalledAt{kRetired};
std::atomic<DWORD> g_stalledSince{0};

std::atomic<DeferredPushPause> g_pushPause{nullptr};

void PauseAfterClaim()
{
    if (const DeferredPushPause pause = g_pushPause.load(std::memory_order_relaxed))
        pause();
}

enum class PopResult
{
    Line,
    Empty,
    Stalled   // the oldest line is claimed and not yet published
};

bool StalledPastDeadline(std::size_t position)
{
    const DWORD now = ::GetTickCount();
    if (g_stalledAt.load() != position)
    {
        g_stalledSince.store(now);
        g_stalledAt.store(position);
        return false;
    }
    return now - g_stalledSince.load() >= kUnpublishedDeadlineMs;
}

// Takes the oldest line out of the ring.
PopResult Pop(DeferredLine& line)
{
    DeferredRing& ring = Ring();
    std::size_t retiredSeen = 0;
    for (;;)
    {
        std::size_t position = ring.popAt.load();
        DeferredRing::Slot& slot = ring.At(position);
        const std::size_t sequence = slot.sequence.load();
        if (sequence == kRetired)
        {
            // Out of use: no push claims it, so nothing of this lap is there.
            if (++retiredSeen > CDeferredLogWrites::MaxLines)
                return PopResult::Empty;
            ring.popAt.compare_exchange_weak(position, position + 1);
            continue;
        }
        if (sequence == position + 1)
        {
            if (ring.popAt.compare_exchange_weak(position, position + 1))
            {
                line = slot.line;
                slot.sequence.store(position + CDeferredLogWrites::MaxLines);
                return PopResult::Line;
            }
            continue;
        }
        if (sequence != position)
            continue;   // another reader took this position meanwhile
        if (static_cast<std::ptrdiff_t>(ring.pushAt.load() - position) <= 0)
            return PopResult::Empty;
        // Claimed, not published yet.
        if (!StalledPastDeadline(position))
            return PopResult::Stalled;
        std::size_t claimed = position;
        if (slot.sequence.compare_exchange_strong(claimed, kRetired))
        {
            ++g_abandoned;
            ring.popAt.compare_exchange_strong(position, position + 1);
        }
    }
}

// What a pop would find first, past the slots out of use.
PopResult Peek()
{
    DeferredRing& ring = Ring();
    const std::size_t first = ring.popAt.load();
    for (std::size_t position = first; position - first < CDeferredLogWrites::MaxLines; ++position)
    {
        const std::size_t sequence = ring.At(position).sequence.load();
        if (sequence == kRetired)
            continue;
        if (sequence == position + 1)
            return PopResult::Line;
        if (sequence == position && static_cast<std::ptrdiff_t>(ring.pushAt.load() - position) > 0)
            return PopResult::Stalled;
        return PopResult::Empty;
    }
    return PopResult::Empty;
}

void ReportLost(std::atomic<long>& count, std::atomic<long>& reported, const wchar_t* format)
{
    const long total = count.load();
    const long lost = total - reported.exchange(total);
    if (lost > 0)
        CLogger::LogMessage(format, static_cast<int>(lost));
}

void ReportDrops()
{
    ReportLost(g_dropped, g_reportedDrops,
               L"CDeferredLogWrites: %d log lines of the hook and timer threads were lost (the queue was full).");
    ReportLost(g_abandoned, g_reportedAbandoned,
               L"CDeferredLogWrites: %d log lines of the hook and timer threads were lost (their thread did not finish writing them).");
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
        const PopResult next = Peek();
        if (next == PopResult::Line)
        {
            g_writerSleeping.store(false);
            continue;
        }
        // A line claimed and not published wakes nobody if its thread is gone:
        // the writer looks again until it is there or overdue.
        ::WaitForSingleObject(g_wake, next == PopResult::Stalled ? kUnpublishedDeadlineMs / 4 : INFINITE);
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

void SetDeferredPushPause(DeferredPushPause pause) { g_pushPause = pause; }

// The ring takes no lock, so a thread terminated in a push leaves none taken.
CRITICAL_SECTION* DeferredRingLock() { return nullptr; }

bool CDeferredLogWrites::Push(const wchar_t* line, bool debugLine)
{
    if (line == nullptr)
        return false;
    DeferredRing& ring = Ring();
    std::size_t position = ring.pushAt.load();
    DeferredRing::Slot* slot = nullptr;
    std::size_t retiredSeen = 0;
    for (;;)
    {
        slot = &ring.At(position);
        const std::size_t sequence = slot->sequence.load();
        if (sequence == kRetired)
        {
            // Stepped over by the reader too; a ring of nothing but such slots takes no line.
            if (++retiredSeen > CDeferredLogWrites::MaxLines)
            {
                ++g_dropped;
                return false;
            }
            if (ring.pushAt.compare_exchange_weak(position, position + 1))
                ++position;
            continue;
        }
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
    PauseAfterClaim();
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
    // Refused when the reader gave up on this slot: the line is counted lost there.
    std::size_t claimed = position;
    if (!slot->sequence.compare_exchange_strong(claimed, position + 1))
        return false;
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
    while (Pop(line) == PopResult::Line)
    {
        WriteLogLineNow(line.text, line.debug ? L"LogDebug" : L"LogMessage");
        ++g_written;
    }
    ReportDrops();
    t_depth = depth;
}

long CDeferredLogWrites::DroppedLines() { return g_dropped.load() + g_abandoned.load(); }

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
