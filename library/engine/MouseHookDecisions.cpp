// The mouse hook's decisions on plain values.

#include "MouseHookDecisions.h"

#include <cstdlib>

#include "ButtonEventKind.h"

bool IsTouchEvent(ULONG_PTR extraInfo)
{
    return (static_cast<DWORD>(extraInfo) & kTouchSignature) == kTouchSignature;
}

bool IsXButtonMessage(UINT message)
{
    switch (message)
    {
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONUP:
    case WM_NCXBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

bool IsUpMessage(UINT message)
{
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP || message == WM_XBUTTONUP;
}

namespace
{
// The client message of a non-client button message.
UINT ClientMessage(UINT message)
{
    if (message >= WM_NCLBUTTONDOWN && message <= WM_NCMBUTTONDBLCLK)
        return message - WM_NCLBUTTONDOWN + WM_LBUTTONDOWN;
    if (message >= WM_NCXBUTTONDOWN && message <= WM_NCXBUTTONDBLCLK)
        return message - WM_NCXBUTTONDOWN + WM_XBUTTONDOWN;
    return message;
}

int XButtonOf(DWORD mouseData)
{
    const WORD x = HIWORD(mouseData);
    return (x == XBUTTON1 || x == XBUTTON2) ? x + 2 : -1;
}
}

MouseEventButton ButtonOfMessage(UINT message, DWORD mouseData, ULONG_PTR extraInfo, bool quillon)
{
    const bool tilt = quillon && (extraInfo & 0x400) != 0;
    switch (ClientMessage(message))
    {
    case WM_LBUTTONDOWN: return {0, kEventDown};
    case WM_LBUTTONUP: return {0, kEventUp};
    case WM_LBUTTONDBLCLK: return {0, kEventDoubleClick};
    case WM_RBUTTONDOWN: return {1, kEventDown};
    case WM_RBUTTONUP: return {1, kEventUp};
    case WM_RBUTTONDBLCLK: return {1, kEventDoubleClick};
    case WM_MBUTTONDOWN: return {tilt ? 5 : 2, kEventDown};
    case WM_MBUTTONUP: return {tilt ? 5 : 2, kEventUp};
    case WM_MBUTTONDBLCLK: return {2, kEventDoubleClick};
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
    {
        const int button = XButtonOf(mouseData);
        if (button < 0)
            return {-1, kEventNone};
        const UINT client = ClientMessage(message);
        return {button, client == WM_XBUTTONDOWN ? 1 : client == WM_XBUTTONUP ? 2 : 3};
    }
    case WM_MOUSEWHEEL:
        return {static_cast<short>(HIWORD(mouseData)) > 0 ? 7 : 8, kEventNone};
    case WM_MOUSEHWHEEL:
        return {static_cast<short>(HIWORD(mouseData)) > 0 ? 6 : 5, kEventNone};
    default:
        return {-1, kEventNone};
    }
}

int PhysicalButtonOfMessage(UINT message, DWORD mouseData)
{
    switch (ClientMessage(message))
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 1;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 2;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return XButtonOf(mouseData);
    default:
        return -1;
    }
}

bool XButtonSwapApplies(bool always, bool inRemoteSession, bool remoteSession)
{
    return always || (inRemoteSession && remoteSession);
}

DWORD SwapXButtonData(DWORD mouseData)
{
    const WORD x = HIWORD(mouseData);
    const WORD swapped = x == XBUTTON1 ? XBUTTON2 : x == XBUTTON2 ? XBUTTON1 : x;
    return MAKELONG(LOWORD(mouseData), swapped);
}

DebounceVerdict DebounceDown(DebounceRecord& record, DWORD time, int debounceMs)
{
    DebounceVerdict verdict{false, false, 0};
    // Unsigned difference: a down just after the tick count wrapped is still
    // measured; a time at or before the last one is not.
    const DWORD diff = time - record.lastTime;
    if (record.lastTime != 0 && diff != 0 && diff < 0x80000000u)
    {
        verdict.measured = true;
        verdict.diff = diff;
        verdict.drop = debounceMs > 0 && diff <= static_cast<DWORD>(debounceMs);
    }
    record.debounced = verdict.drop ? 1 : 0;
    record.lastTime = time;
    return verdict;
}

bool DebounceUp(DebounceRecord& record, DWORD time, bool fromUp)
{
    const bool drop = record.debounced != 0;
    record.debounced = 0;
    if (fromUp)
        record.lastTime = time;
    return drop;
}

bool AccumulateWheel(int& accumulated, int delta)
{
    if ((accumulated > 0 && delta < 0) || (accumulated < 0 && delta > 0))
        accumulated = 0;
    // Saturate rather than overflow on absurd deltas.
    const long long sum = static_cast<long long>(accumulated) + delta;
    if (sum >= WHEEL_DELTA || sum <= -WHEEL_DELTA)
    {
        accumulated = 0;
        return true;
    }
    accumulated = static_cast<int>(sum);
    return false;
}

bool ThrottleWheel(const LastWheelNotch& last, int button, DWORD now)
{
    return last.throttle && last.button != 0 && last.button == button && now - last.time < kWheelThrottleMs;
}

bool IsFastWheel(const LastWheelNotch& last, int button, DWORD now)
{
    return last.button != 0 && last.button == button && now - last.time < kFastWheelMs;
}

InjectedSource ClassifyInjected(bool injected, ULONG_PTR extraInfo, ULONG_PTR ownSignature, bool remapForeign)
{
    if (!injected)
        return InjectedSource::Real;
    if (extraInfo == ownSignature)
        return InjectedSource::Own;
    return remapForeign ? InjectedSource::ForeignRemapped : InjectedSource::Foreign;
}

bool HookOverran(DWORD entry, DWORD now, DWORD timeoutMs)
{
    return timeoutMs != 0 && now - entry > timeoutMs;
}

bool MovedAwayFromLast(POINT last, POINT point)
{
    return std::labs(point.x - last.x) > 10 || std::labs(point.y - last.y) > 10;
}

bool IsNonClientHit(LRESULT hit)
{
    return hit >= 2;
}

namespace
{
unsigned long long PackPoint(POINT point)
{
    return static_cast<unsigned long long>(static_cast<DWORD>(point.x)) |
           (static_cast<unsigned long long>(static_cast<DWORD>(point.y)) << 32);
}

POINT UnpackPoint(unsigned long long packed)
{
    return POINT{static_cast<LONG>(static_cast<DWORD>(packed)), static_cast<LONG>(static_cast<DWORD>(packed >> 32))};
}
} // namespace

void MouseOverRequest::AskAsOf(POINT point, DWORD now, DWORD delayMs, unsigned long long decisions)
{
    m_point.store(PackPoint(point), std::memory_order_relaxed);
    m_lastAsked.store(now, std::memory_order_relaxed);
    const unsigned long long asked = (decisions << 1) | 1;
    unsigned long long state = m_state.load(std::memory_order_acquire);
    for (;;)
    {
        if ((state & 1) != 0)
        {
            // Merged: the pending request stands for its newest asker too.
            if ((state >> 1) >= decisions)
                return;
            // The pending one is void for this asker, which asks afresh with
            // its own delay rather than the void request's time.
            m_due.store(now + delayMs, std::memory_order_relaxed);
            if (m_state.compare_exchange_weak(state, asked, std::memory_order_acq_rel))
                return;
            continue;
        }
        m_due.store(now + delayMs, std::memory_order_relaxed);
        if (m_state.compare_exchange_weak(state, asked, std::memory_order_acq_rel))
            return;
    }
}

bool MouseOverRequest::TakeDue(DWORD now, POINT& point, unsigned long long& decisions)
{
    unsigned long long state = m_state.load(std::memory_order_acquire);
    if ((state & 1) == 0)
        return false;
    if (static_cast<LONG>(now - m_due.load(std::memory_order_relaxed)) < 0)
        return false;
    if (!m_state.compare_exchange_strong(state, state & ~1ull, std::memory_order_acq_rel))
        return false;
    point = UnpackPoint(m_point.load(std::memory_order_relaxed));
    decisions = state >> 1;
    return true;
}

DWORD MouseOverPollPeriod(bool pending, DWORD lastAsked, DWORD now)
{
    return pending || now - lastAsked < kMouseOverIdleAfterMs ? kMouseOverPollMs : kMouseOverIdlePollMs;
}

bool ScrollLockReadDue(const ScrollLockReading& reading, DWORD now)
{
    if (!reading.valid || now - reading.readAt >= kScrollLockKeepMs)
        return true;
    return reading.keySeen && now - reading.keyAt < kScrollLockAfterKeyMs;
}
