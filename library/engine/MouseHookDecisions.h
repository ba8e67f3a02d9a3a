#pragma once
// The mouse hook's decisions as plain functions of values, so that the rules
// (debounce by ticks, wheel notches, throttling, injected input) are tested on a
// virtual clock without a hook chain. Ticks are 32-bit and may wrap.

#include <windows.h>

#include <atomic>

// Extra information that touch screens and pens put on the mouse events they
// synthesise.
constexpr DWORD kTouchSignature = 0xFF515700;
bool IsTouchEvent(ULONG_PTR extraInfo);

// The button and event kind of a mouse message: kind 1 down, 2 up, 3 double
// click, 0 for the wheels (button 7/8 vertical by the delta's sign, 6/5
// horizontal) and anything else (button -1). The non-client twins count as the
// client messages. An X-button message whose high word is not 1 or 2 has no
// button (-1): the value is not trusted as an index.
struct MouseEventButton
{
    int button;
    int kind;
};
MouseEventButton ButtonOfMessage(UINT message, DWORD mouseData, ULONG_PTR extraInfo, bool quillon);
// The physical button (0 left, 1 right, 2 middle, 3/4 X) whose debounce record
// an event uses; -1 for events that are not debounced.
int PhysicalButtonOfMessage(UINT message, DWORD mouseData);
bool IsXButtonMessage(UINT message);
bool IsUpMessage(UINT message);

// The 4th/5th swap: applies always, or in a remote session when asked for there.
bool XButtonSwapApplies(bool always, bool inRemoteSession, bool remoteSession);
// X button 1 becomes 2 and 2 becomes 1 in the high word; the low word is kept.
DWORD SwapXButtonData(DWORD mouseData);

// Debounce of one physical button.
struct DebounceRecord
{
    DWORD lastTime = 0;
    BYTE debounced = 0;
};
struct DebounceVerdict
{
    bool drop;
    bool measured;   // diff holds the time since the last down
    DWORD diff;
};
// A down within debounceMs (inclusive) of the previous down is dropped; the
// record takes the down's time either way.
DebounceVerdict DebounceDown(DebounceRecord& record, DWORD time, int debounceMs);
// The up of a dropped down is dropped too; fromUp measures the next down from
// this up.
bool DebounceUp(DebounceRecord& record, DWORD time, bool fromUp);

// Adds a wheel delta; true when it completes a notch (the sum reached 120 either
// way), which empties the sum. A change of direction starts a new sum.
bool AccumulateWheel(int& accumulated, int delta);

// The last wheel notch an action took over.
struct LastWheelNotch
{
    DWORD time = 0;
    int button = 0;      // 7 or 8; 0 none
    int delta = 0;
    bool throttle = false;
};
constexpr DWORD kWheelThrottleMs = 80;
constexpr DWORD kFastWheelMs = 150;
// A notch of the same button within 80 ms of a throttled one is dropped.
bool ThrottleWheel(const LastWheelNotch& last, int button, DWORD now);
// A notch of the same button within 150 ms skips the window look-up.
bool IsFastWheel(const LastWheelNotch& last, int button, DWORD now);

// Who produced an event.
enum class InjectedSource
{
    Real,             // physical input
    Own,              // the library's own simulated input
    Foreign,          // another program's, left alone
    ForeignRemapped,  // another program's, processed like physical input
};
// Own input is recognised by the library's signature in the extra
// information, one for the whole process (a count of events in flight would
// take another program's event for one of ours).
InjectedSource ClassifyInjected(bool injected, ULONG_PTR extraInfo, ULONG_PTR ownSignature, bool remapForeign);

// Whether a hook run from entry to now exceeded the system time-out (0: unknown).
bool HookOverran(DWORD entry, DWORD now, DWORD timeoutMs);
// A move more than 10 pixels from the last one on either axis ends a fast wheel.
bool MovedAwayFromLast(POINT last, POINT point);
// A hit-test result that is neither nowhere nor the client area.
bool IsNonClientHit(LRESULT hit);

// The mouse-over check (is the pointer over another profile's window?) is
// asked for by the moves and releases of the hook, and by other threads,
// without a call to the system: they leave a request here, and a poll of the
// timer thread takes it once it is due. A request while one is pending only
// moves the point: the check comes the first request's delay after it, as a
// running timer is not restarted, so that a pointer that keeps moving is
// still followed. Any thread may ask; one thread takes.
//
// A button's decision of the profile is newer than every check asked before
// it: each request and each check taken remembers how many decisions it has
// seen, and one asked before the last decision is void (taken when due, it
// switches no profile, though the window under the pointer may still come
// forward by hovering; a check running meanwhile neither switches nor asks
// again as of its own time). A request asked while a void one is pending
// replaces it, with its own delay.
class MouseOverRequest
{
public:
    void Ask(POINT point, DWORD now, DWORD delayMs) { AskAsOf(point, now, delayMs, Decisions()); }
    // Asks as one that has seen only decisions decisions (a check asking
    // again): void from the start when a decision came since.
    void AskAsOf(POINT point, DWORD now, DWORD delayMs, unsigned long long decisions);
    // The point of a request due at now, which is then no longer pending, and
    // the decisions it had seen.
    bool TakeDue(DWORD now, POINT& point, unsigned long long& decisions);
    bool Pending() const { return (m_state.load(std::memory_order_acquire) & 1) != 0; }
    // When the last request was made (for the poll's pace).
    DWORD LastAsked() const { return m_lastAsked.load(std::memory_order_relaxed); }
    void Forget() { m_state.fetch_and(~1ull, std::memory_order_acq_rel); }

    // A button decided the profile.
    void Decided() { m_decisions.fetch_add(1, std::memory_order_acq_rel); }
    unsigned long long Decisions() const { return m_decisions.load(std::memory_order_acquire); }
    // Whether a check asked as of decisions is older than the last decision.
    bool Voided(unsigned long long decisions) const { return decisions != Decisions(); }

private:
    std::atomic<unsigned long long> m_point{0};   // x in the low half, y in the high half
    std::atomic<DWORD> m_due{0};
    std::atomic<DWORD> m_lastAsked{0};
    // Pending in the lowest bit, the decisions the request has seen above it:
    // one word, so that a request merged into a pending one and one taken
    // meanwhile cannot mix up whose decisions count.
    std::atomic<unsigned long long> m_state{0};
    std::atomic<unsigned long long> m_decisions{0};
};
// The poll's period: quick while the pointer moves (a request pending or made
// within the last second), slower when it has long rested. The slow period is
// no longer than the shortest delay asked for after a move, so a request made
// while the poll is slow is still seen before it comes due.
constexpr DWORD kMouseOverPollMs = 50;
constexpr DWORD kMouseOverIdlePollMs = 150;
constexpr DWORD kMouseOverIdleAfterMs = 1000;
DWORD MouseOverPollPeriod(bool pending, DWORD lastAsked, DWORD now);

// Scroll Lock's toggle is asked on every button and wheel event (the "ignore
// everything while Scroll Lock is on" option), and each GetKeyState is a
// round trip to the server under Wine. A reading is kept for a while, except
// just after the keyboard hook saw the key: the toggle lands once the system
// has taken the key, so for a while after it every event reads it again.
constexpr DWORD kScrollLockKeepMs = 1000;
constexpr DWORD kScrollLockAfterKeyMs = 1000;
struct ScrollLockReading
{
    bool valid = false;
    bool on = false;
    DWORD readAt = 0;
    bool keySeen = false;
    DWORD keyAt = 0;
};
bool ScrollLockReadDue(const ScrollLockReading& reading, DWORD now);
