// The run-time side of a timed-click list: one press with its click timer,
// pointer-overlay feedback timer, move aborts and the choice at the release.

#include "TimedClickPresses.h"

#include <atomic>
#include <cstdlib>

#include "ApplicationSettings.h"
#include "Clock.h"
#include "Logger.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "TimedClicks.h"

namespace
{
constexpr UINT_PTR ClickTimerId = 0x1020;
constexpr UINT_PTR FeedbackTimerId = 0x1021;
// Time value handed to the timer callback after an abort that jumps to the
// last entry (the entry was not reached by holding).
constexpr DWORD JumpTimeValue = 10000000;

// The functions a test installs, else the engine's (null until it registers them).
std::atomic<TimedClickShowStepFn> g_showStep{nullptr};
std::atomic<TimedClickRestoreFn> g_restore{nullptr};
std::atomic<TimedClickShowStepFn> g_defaultShowStep{nullptr};
std::atomic<TimedClickRestoreFn> g_defaultRestore{nullptr};

// Id -> list tables. Fixed size so that arming a timer never allocates; the
// lock is only ever held for a table walk.
struct TimerSlot
{
    UINT_PTR id;
    CBRMPTimedClicks* list;
};

SRWLOCK g_tableLock = SRWLOCK_INIT;
TimerSlot g_clickTimers[TimedClickTimerTableSize] = {};
TimerSlot g_feedbackTimers[TimedClickTimerTableSize] = {};

void EnterTimer(TimerSlot* table, UINT_PTR id, CBRMPTimedClicks* list)
{
    if (id == 0)
        return;
    AcquireSRWLockExclusive(&g_tableLock);
    TimerSlot* freeSlot = nullptr;
    for (int i = 0; i < TimedClickTimerTableSize; ++i)
    {
        if (table[i].id == id)
        {
            freeSlot = &table[i];
            break;
        }
        if (freeSlot == nullptr && table[i].id == 0)
            freeSlot = &table[i];
    }
    if (freeSlot != nullptr)
        *freeSlot = {id, list};
    ReleaseSRWLockExclusive(&g_tableLock);
    if (freeSlot == nullptr)
        CLogger::LogMessage(L"CBRMPTimedClicks::SetPressed: Timer table is full - timer 0x%X will be ignored", static_cast<unsigned>(id));
}

CBRMPTimedClicks* FindTimer(const TimerSlot* table, UINT_PTR id)
{
    if (id == 0)
        return nullptr;
    CBRMPTimedClicks* list = nullptr;
    AcquireSRWLockShared(&g_tableLock);
    for (int i = 0; i < TimedClickTimerTableSize; ++i)
    {
        if (table[i].id == id)
        {
            list = table[i].list;
            break;
        }
    }
    ReleaseSRWLockShared(&g_tableLock);
    return list;
}

CBRMPTimedClicks* TakeTimer(TimerSlot* table, UINT_PTR id)
{
    if (id == 0)
        return nullptr;
    CBRMPTimedClicks* list = nullptr;
    AcquireSRWLockExclusive(&g_tableLock);
    for (int i = 0; i < TimedClickTimerTableSize; ++i)
    {
        if (table[i].id == id)
        {
            list = table[i].list;
            table[i] = {0, nullptr};
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_tableLock);
    return list;
}

void ForgetTimer(TimerSlot* table, UINT_PTR id, const CBRMPTimedClicks* list)
{
    AcquireSRWLockExclusive(&g_tableLock);
    for (int i = 0; i < TimedClickTimerTableSize; ++i)
    {
        if (table[i].list == list && (id == 0 || table[i].id == id))
            table[i] = {0, nullptr};
    }
    ReleaseSRWLockExclusive(&g_tableLock);
}

// The Cursor/ChangeHeld option of the press's settings, or -1 when the press
// has no overlay (no SPI thread, profile or settings).
int OverlayMode(CSPIThread* spiThread, const CApplicationSettings* profile)
{
    if (spiThread == nullptr || profile == nullptr || profile->Settings() == nullptr)
        return -1;
    return profile->Settings()->m_nChangeCursorHeld;
}

void ShowStep(CSPIThread* spiThread, int step, int mode)
{
    TimedClickShowStepFn fn = g_showStep.load();
    if (fn == nullptr)
        fn = g_defaultShowStep.load();
    if (fn != nullptr)
        fn(spiThread, step, mode);
}

void RestoreCursors()
{
    TimedClickRestoreFn fn = g_restore.load();
    if (fn == nullptr)
        fn = g_defaultRestore.load();
    if (fn != nullptr)
        fn();
}

bool BeyondDistance(LONG from, LONG to, int distance)
{
    return std::llabs(static_cast<long long>(to) - static_cast<long long>(from)) > static_cast<long long>(distance);
}
} // namespace

void SetTimedClickCursorFunctions(TimedClickShowStepFn showStep, TimedClickRestoreFn restore)
{
    g_showStep.store(showStep);
    g_restore.store(restore);
}

void SetTimedClickCursorDefaults(TimedClickShowStepFn showStep, TimedClickRestoreFn restore)
{
    g_defaultShowStep.store(showStep);
    g_defaultRestore.store(restore);
}

CBRMPTimedClicks* FindTimedClickTimer(UINT_PTR id)
{
    return FindTimer(g_clickTimers, id);
}

CBRMPTimedClicks* FindTimedClickFeedbackTimer(UINT_PTR id)
{
    return FindTimer(g_feedbackTimers, id);
}

int CountTimedClickTimers()
{
    int count = 0;
    AcquireSRWLockShared(&g_tableLock);
    for (int i = 0; i < TimedClickTimerTableSize; ++i)
        count += (g_clickTimers[i].id != 0 ? 1 : 0) + (g_feedbackTimers[i].id != 0 ? 1 : 0);
    ReleaseSRWLockShared(&g_tableLock);
    return count;
}

void ForgetTimedClickTimers(const CBRMPTimedClicks* list)
{
    if (list == nullptr)
        return;
    ForgetTimer(g_clickTimers, 0, list);
    ForgetTimer(g_feedbackTimers, 0, list);
}

// ---- the press ----

void CBRMPTimedClicks::SetPressed(TimedClickTimerCallback timerCallback, TimedClickAbortCallback abortCallback,
                                  MouseButtons button, int layer, bool replayed, HWND window, POINT point,
                                  CApplicationSettings* profile, CSPIThread* spiThread)
{
    // A press that was never reset must not leave its timers running: they
    // would fire for this new press at the old press's times.
    if (m_clickTimerId != 0 || m_feedbackTimerId != 0)
    {
        if (m_clickTimerId != 0)
            ::KillTimer(nullptr, m_clickTimerId);
        if (m_feedbackTimerId != 0)
            ::KillTimer(nullptr, m_feedbackTimerId);
        ForgetTimedClickTimers(this);
        m_clickTimerId = 0;
        m_feedbackTimerId = 0;
    }

    m_pressTime = TickNow();
    m_timerCallback = timerCallback;
    m_abortCallback = abortCallback;
    m_spiThread = spiThread;
    m_replayed = replayed;
    m_startPoint = point;
    m_layer = layer;
    m_profile = profile;
    m_window = window;
    m_button = button;
    m_aborted = false;
    m_abortedToShortPress = false;
    m_pending = true;
    for (CBRMPTimedClick& entry : m_clicks)
        entry.SetProcessedDown(false);

    for (int i = TimedClickCount - 1; i >= 0; --i)
    {
        if (!m_enabled[i])
            continue;
        m_clickTimerId = ::SetTimer(nullptr, ClickTimerId, static_cast<UINT>(m_times[i] > 0 ? m_times[i] : 0),
                                    &CBRMPTimedClicks::TimedClickTimer);
        if (m_clickTimerId == 0)
            CLogger::LogOSMessage(::GetLastError(), L"CBRMPTimedClicks::SetPressed: Unable to start the click timer");
        EnterTimer(g_clickTimers, m_clickTimerId, this);
        break;
    }

    int lowest = -1;
    for (int i = 0; i < TimedClickCount; ++i)
    {
        if (m_enabled[i])
        {
            lowest = i;
            break;
        }
    }
    if (lowest < 0)
        return;
    m_feedbackStep = lowest;
    if (lowest < TimedClickCount - 1)
    {
        const int next = m_times[lowest + 1];
        m_feedbackTimerId = ::SetTimer(nullptr, FeedbackTimerId, static_cast<UINT>(next > 0 ? next : 0),
                                       &CBRMPTimedClicks::TimedClickFeedbackTimer);
        if (m_feedbackTimerId == 0)
            CLogger::LogOSMessage(::GetLastError(), L"CBRMPTimedClicks::SetPressed: Unable to start the feedback timer");
        EnterTimer(g_feedbackTimers, m_feedbackTimerId, this);
    }

    const int mode = OverlayMode(m_spiThread, m_profile);
    if (mode >= 0)
        ShowStep(m_spiThread, m_feedbackStep, mode);
}

void CALLBACK CBRMPTimedClicks::TimedClickTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    // The timer is dead, so its entry goes too: a list freed later can never
    // be reached through a stale id, and the list forgets the id, which the
    // system may give to another timer of this thread.
    if (CBRMPTimedClicks* list = TakeTimer(g_clickTimers, id))
    {
        if (list->m_clickTimerId == id)
            list->m_clickTimerId = 0;
        list->ExecuteTimer();
    }
}

void CBRMPTimedClicks::ExecuteTimer()
{
    CThreadLock lock(L"CBRMPTimedClicks::ExecuteTimer");
    m_pending = false;
    m_executed = true;
    if (m_timerCallback == nullptr)
        return;
    for (int i = TimedClickCount - 1; i >= 0; --i)
    {
        if (m_enabled[i])
        {
            m_timerCallback(this, &m_clicks[i], m_pressTime - TickNow());
            return;
        }
    }
}

void CALLBACK CBRMPTimedClicks::TimedClickFeedbackTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    CBRMPTimedClicks* list = TakeTimer(g_feedbackTimers, id);
    CLogger::LogDebug(L"TimedClickFeedbackTimer: End last buttonheld cursor feedback.");
    if (list == nullptr || list->m_aborted)
        return;
    if (list->m_feedbackTimerId == id)
        list->m_feedbackTimerId = 0;

    const DWORD elapsed = TickNow() - list->m_pressTime;
    int candidate = -1;
    for (int i = TimedClickCount - 1; i > list->m_feedbackStep; --i)
    {
        if (!list->m_enabled[i])
            continue;
        candidate = i;
        if (static_cast<long long>(elapsed) >= list->m_times[i])
            break;
    }
    if (candidate < 0)
        return;
    list->m_feedbackStep = candidate;

    for (int next = candidate + 1; next < TimedClickCount; ++next)
    {
        if (!list->m_enabled[next])
            continue;
        const long long wait = static_cast<long long>(list->m_times[next]) - list->m_times[candidate];
        if (wait > 0)
        {
            list->m_feedbackTimerId = ::SetTimer(nullptr, FeedbackTimerId, static_cast<UINT>(wait),
                                                 &CBRMPTimedClicks::TimedClickFeedbackTimer);
            EnterTimer(g_feedbackTimers, list->m_feedbackTimerId, list);
        }
        break;
    }

    const int mode = OverlayMode(list->m_spiThread, list->m_profile);
    if (mode >= 0)
    {
        ShowStep(list->m_spiThread, list->m_feedbackStep, mode);
        CLogger::LogDebug(L"TimedClickFeedbackTimer: Start feedback for %d.", list->m_feedbackStep);
    }
}

void CBRMPTimedClicks::CheckAbort(POINT point)
{
    if (m_aborted || !m_pending)
        return;
    if (!BeyondDistance(m_startPoint.x, point.x, m_abortPixels) && !BeyondDistance(m_startPoint.y, point.y, m_abortPixels))
        return;
    if (m_abortOnMove)
        Abort(point, false);
    else if (m_abortOnMove2)
        Abort(point, true);
}

void CBRMPTimedClicks::Abort(POINT point, bool jumpToLast)
{
    // Timers are killed before the lock is taken. Their ids go with them: a
    // later Reset must not kill another timer that was given the same id.
    if (m_clickTimerId != 0)
        ::KillTimer(nullptr, m_clickTimerId);
    if (m_feedbackTimerId != 0)
        ::KillTimer(nullptr, m_feedbackTimerId);
    m_clickTimerId = 0;
    m_feedbackTimerId = 0;
    ForgetTimedClickTimers(this);

    CThreadLock lock(L"CBRMPTimedClicks::Abort");
    CLogger::LogDebug(L"Aborting timed clicks");
    const int mode = OverlayMode(m_spiThread, m_profile);
    if (mode == 1 || (m_executed && mode > 0))
        RestoreCursors();
    m_executed = false;
    m_aborted = true;

    if (!jumpToLast)
    {
        // Entry 0 is pressed now and released with the button, whatever
        // the abort options say (a profile switch aborts this way too).
        m_abortedToShortPress = m_pending;
        if (m_pending && m_abortCallback != nullptr)
            m_abortCallback(this, &m_clicks[0], m_pressTime - TickNow(), point);
        return;
    }
    if (m_timerCallback == nullptr)
        return;
    int index = 0;
    for (int i = TimedClickCount - 1; i > 0; --i)
    {
        if (m_enabled[i])
        {
            index = i;
            break;
        }
    }
    if (mode >= 0)
        ShowStep(m_spiThread, index, mode);
    m_timerCallback(this, &m_clicks[index], JumpTimeValue);
}

CBRMPTimedClick* CBRMPTimedClicks::GetClickAction()
{
    if (m_aborted && (m_abortOnMove || m_abortedToShortPress))
        return &m_clicks[0];
    const DWORD elapsed = TickNow() - m_pressTime;
    for (int i = TimedClickCount - 1; i >= 0; --i)
    {
        if (!m_enabled[i] && i != 0)
            continue;
        if (m_aborted || static_cast<long long>(elapsed) > m_times[i])
            return &m_clicks[i];
    }
    return m_enabled[TimedClickCount - 1] ? &m_clicks[TimedClickCount - 1] : nullptr;
}

void CBRMPTimedClicks::Reset()
{
    if (m_clickTimerId != 0)
    {
        ::KillTimer(nullptr, m_clickTimerId);
        m_clickTimerId = 0;
    }
    if (m_feedbackTimerId != 0)
    {
        ::KillTimer(nullptr, m_feedbackTimerId);
        m_feedbackTimerId = 0;
    }
    ForgetTimedClickTimers(this);
    if (OverlayMode(m_spiThread, m_profile) > 0)
        RestoreCursors();
    m_pressTime = 0;
    m_timerCallback = nullptr;
    m_abortCallback = nullptr;
    m_profile = nullptr;
    m_aborted = false;
    m_abortedToShortPress = false;
    m_executed = false;
}
