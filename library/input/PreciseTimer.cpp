#include "SendInput.h"

#include <mmsystem.h>

#include "Logger.h"

namespace
{
// Below this many milliseconds left the wait spins: a sleep may overshoot.
constexpr double SpinMs = 2.0;

LONGLONG Now()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Finer system timer for the duration of one wait, so that sleeping on the
// events ends close to the time asked for.
class FineTimerResolution
{
public:
    FineTimerResolution() : m_ok(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~FineTimerResolution()
    {
        if (m_ok)
            ::timeEndPeriod(1);
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    bool m_ok;
};
}

CPreciseTimer::CPreciseTimer()
{
    LARGE_INTEGER frequency;
    if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
        m_llFrequency = frequency.QuadPart;
    else
        CLogger::LogOSMessage(::GetLastError(), L"CPreciseTimer:: High precision timers not available!");
}

CPreciseTimer::~CPreciseTimer() = default;

void CPreciseTimer::Wait(UINT ms)
{
    Wait(ms, nullptr, 0, nullptr);
}

bool CPreciseTimer::Wait(UINT ms, const HANDLE* events, DWORD eventCount, const std::atomic<bool>* abort)
{
    if (ms == 0)
        return true;
    if (!Available())
    {
        CLogger::LogMessage(L"CPreciseTimer::Wait(%d, %d): High precision timers not available!", ms,
                            abort != nullptr && abort->load() ? 1 : 0);
        if (ms <= 15)
            return true;
        if (eventCount == 0)
        {
            ::Sleep(ms);
            return true;
        }
        return ::WaitForMultipleObjects(eventCount, events, FALSE, ms) == WAIT_TIMEOUT;
    }

    FineTimerResolution resolution;
    const LONGLONG start = Now();
    int iterations = 0;
    bool complete = false;
    double elapsed = 0.0;
    for (;; ++iterations)
    {
        elapsed = static_cast<double>(Now() - start) * 1000.0 / static_cast<double>(m_llFrequency);
        if (elapsed >= ms)
        {
            complete = true;
            break;
        }
        if (abort != nullptr && abort->load())
            break;
        const double remaining = ms - elapsed;
        const DWORD sleep = remaining > SpinMs + 1.0 ? static_cast<DWORD>(remaining - SpinMs) : 0;
        if (eventCount > 0)
        {
            const DWORD result = ::WaitForMultipleObjects(eventCount, events, FALSE, sleep);
            if (result != WAIT_TIMEOUT)
                break;
        }
        else if (sleep > 0)
        {
            ::Sleep(sleep);
        }
        else
        {
            ::SwitchToThread();
        }
    }
    if (!complete)
        CLogger::LogDebug(L"CPreciseTimer::Aborted waiting after %d iterations (%.4lfms) (High precision timer %d)",
                          iterations, elapsed, 1);
    return complete;
}
