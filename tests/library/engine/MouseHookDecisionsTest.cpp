// The mouse hook's rules on plain values and a virtual clock.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <climits>

#include "HeldInput.h"
#include "MouseHookDecisions.h"

namespace
{
struct DebounceStep
{
    bool down;
    DWORD time;
    bool dropped;
};

void RunDebounce(const char* name, int debounceMs, bool fromUp, std::initializer_list<DebounceStep> steps)
{
    SCOPED_TRACE(name);
    DebounceRecord record;
    int index = 0;
    for (const DebounceStep& step : steps)
    {
        SCOPED_TRACE(::testing::Message() << "step " << index++ << " at " << step.time);
        const bool dropped = step.down ? DebounceDown(record, step.time, debounceMs).drop
                                       : DebounceUp(record, step.time, fromUp);
        EXPECT_EQ(dropped, step.dropped);
    }
}
}

TEST(MouseHookDebounce, ADownWithinTheDebounceTimeIsDroppedWithItsUp)
{
    RunDebounce("inclusive boundary", 50, false,
                {{true, 1000, false}, {false, 1010, false}, {true, 1050, true}, {false, 1060, true},
                 {true, 1200, false}, {false, 1210, false}});
    RunDebounce("one past the boundary", 50, false, {{true, 1000, false}, {false, 1010, false}, {true, 1051, false}});
    RunDebounce("measured from the last down, bounced or not", 50, false,
                {{true, 1000, false}, {true, 1040, true}, {true, 1080, true}, {true, 1131, false}});
    RunDebounce("from the up when asked", 50, true,
                {{true, 1000, false}, {false, 1100, false}, {true, 1140, true}, {false, 1150, true}});
    RunDebounce("not from the up otherwise", 50, false, {{true, 1000, false}, {false, 1100, false}, {true, 1140, false}});
    RunDebounce("across the tick count wrapping", 50, false, {{true, 0xFFFFFFF0u, false}, {true, 0x10, true}});
    RunDebounce("a time before the last down is not measured", 50, false, {{true, 5000, false}, {true, 4990, false}});
    RunDebounce("the same time is not measured", 50, false, {{true, 5000, false}, {true, 5000, false}});
    RunDebounce("the first press shortly after start-up", 50, false, {{true, 20, false}, {true, 200, false}});
    RunDebounce("no debounce time drops nothing", 0, false, {{true, 1000, false}, {true, 1001, false}});
}

TEST(MouseHookWheel, SmallDeltasMakeANotchOnceTheyAddUpTo120)
{
    struct Case
    {
        const char* name;
        std::initializer_list<int> deltas;
        std::initializer_list<bool> notches;
        int left;
    };
    const Case cases[] = {
        {"high-resolution wheel: one notch in three", {40, 40, 40, 40, 40, 40}, {false, false, true, false, false, true}, 0},
        {"downwards", {-40, -40, -40}, {false, false, true}, 0},
        {"a whole notch at once", {120, -120}, {true, true}, 0},
        {"an overshoot empties the sum", {80, 80, 40}, {false, true, false}, 40},
        {"a reversal does not lose the notch the other way", {40, -120, 40}, {false, true, false}, 40},
        {"a reversal starts a new sum", {80, -40, -40, -40}, {false, false, false, true}, 0},
        {"absurd deltas do not overflow", {INT_MAX, INT_MAX}, {true, true}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        int accumulated = 0;
        auto expected = c.notches.begin();
        for (int delta : c.deltas)
            EXPECT_EQ(AccumulateWheel(accumulated, delta), *expected++) << "delta " << delta;
        EXPECT_EQ(accumulated, c.left);
    }
}

TEST(MouseHookWheel, ThrottleAndFastWheelDependOnTheSameButtonWithinTheirWindows)
{
    struct Case
    {
        const char* name;
        LastWheelNotch last;
        int button;
        DWORD now;
        bool throttled;
        bool fast;
    };
    const Case cases[] = {
        {"throttled notch 79 ms later", {1000, 7, 120, true}, 7, 1079, true, true},
        {"throttle ends at 80 ms", {1000, 7, 120, true}, 7, 1080, false, true},
        {"fast wheel ends at 150 ms", {1000, 7, 120, true}, 7, 1150, false, false},
        {"other direction", {1000, 7, 120, true}, 8, 1010, false, false},
        {"last notch did not ask for throttling", {1000, 8, -120, false}, 8, 1010, false, true},
        {"no last notch", {0, 0, 0, true}, 7, 10, false, false},
        {"across the tick count wrapping", {0xFFFFFFF0u, 7, 120, true}, 7, 0x20, true, true},
        {"a clock before the last notch is not recent", {5000, 7, 120, true}, 7, 4000, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ThrottleWheel(c.last, c.button, c.now), c.throttled);
        EXPECT_EQ(IsFastWheel(c.last, c.button, c.now), c.fast);
    }
}

TEST(MouseHookMessages, EveryButtonMessageMapsToItsButtonAndKind)
{
    struct Case
    {
        UINT message;
        LONG data;
        ULONG_PTR extra;
        bool quillon;
        int button;
        int kind;
    };
    const Case cases[] = {
        {WM_LBUTTONDOWN, 0, 0, false, 0, 1},
        {WM_LBUTTONUP, 0, 0, false, 0, 2},
        {WM_LBUTTONDBLCLK, 0, 0, false, 0, 3},
        {WM_NCRBUTTONDOWN, 0, 0, false, 1, 1},
        {WM_NCRBUTTONUP, 0, 0, false, 1, 2},
        {WM_MBUTTONDOWN, 0, 0x400, false, 2, 1},
        {WM_MBUTTONDOWN, 0, 0x400, true, 5, 1},
        {WM_MBUTTONUP, 0, 0x400, true, 5, 2},
        {WM_MBUTTONDBLCLK, 0, 0x400, true, 2, 3},
        {WM_MBUTTONDOWN, 0, 0, true, 2, 1},
        {WM_XBUTTONDOWN, MAKELONG(0, XBUTTON1), 0, false, 3, 1},
        {WM_XBUTTONUP, MAKELONG(0, XBUTTON2), 0, false, 4, 2},
        {WM_NCXBUTTONDBLCLK, MAKELONG(0, XBUTTON2), 0, false, 4, 3},
        {WM_XBUTTONDOWN, MAKELONG(0, 0x8000), 0, false, -1, 0},
        {WM_XBUTTONDOWN, MAKELONG(0, 0), 0, false, -1, 0},
        {WM_MOUSEWHEEL, MAKELONG(0, 120), 0, false, 7, 0},
        {WM_MOUSEWHEEL, MAKELONG(0, static_cast<WORD>(-40)), 0, false, 8, 0},
        {WM_MOUSEHWHEEL, MAKELONG(0, 120), 0, false, 6, 0},
        {WM_MOUSEHWHEEL, MAKELONG(0, static_cast<WORD>(-120)), 0, false, 5, 0},
        {WM_MOUSEMOVE, 0, 0, false, -1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "message 0x" << std::hex << c.message << " data 0x" << c.data);
        const MouseEventButton event = ButtonOfMessage(c.message, static_cast<DWORD>(c.data), c.extra, c.quillon);
        EXPECT_EQ(event.button, c.button);
        EXPECT_EQ(event.kind, c.kind);
    }
    // Debounce records are indexed by the physical button: never out of range.
    EXPECT_EQ(PhysicalButtonOfMessage(WM_XBUTTONDOWN, MAKELONG(0, 0xFFFF)), -1);
    EXPECT_EQ(PhysicalButtonOfMessage(WM_NCXBUTTONUP, MAKELONG(0, XBUTTON2)), 4);
    EXPECT_EQ(PhysicalButtonOfMessage(WM_LBUTTONDBLCLK, 0), -1);
}

TEST(MouseHookMessages, TheFourthFifthSwapExchangesOnlyTheXButtonWord)
{
    EXPECT_EQ(SwapXButtonData(MAKELONG(0x1234, XBUTTON1)), static_cast<DWORD>(MAKELONG(0x1234, XBUTTON2)));
    EXPECT_EQ(SwapXButtonData(MAKELONG(0x00FF, XBUTTON2)), static_cast<DWORD>(MAKELONG(0x00FF, XBUTTON1)));
    EXPECT_EQ(SwapXButtonData(MAKELONG(7, 9)), static_cast<DWORD>(MAKELONG(7, 9)));
    EXPECT_TRUE(XButtonSwapApplies(true, false, false));
    EXPECT_TRUE(XButtonSwapApplies(false, true, true));
    EXPECT_FALSE(XButtonSwapApplies(false, true, false));
    EXPECT_FALSE(XButtonSwapApplies(false, false, true));
}

TEST(MouseHookInjected, OwnInputIsKnownBySignatureAndForeignInputByTheRemapOption)
{
    constexpr ULONG_PTR own = 0x4D480;
    struct Case
    {
        const char* name;
        bool injected;
        ULONG_PTR extra;
        bool remap;
        InjectedSource source;
    };
    const Case cases[] = {
        {"physical input", false, own, true, InjectedSource::Real},
        {"own by signature", true, own, true, InjectedSource::Own},
        {"foreign, remapped", true, 0x77, true, InjectedSource::ForeignRemapped},
        {"foreign, left alone", true, 0x77, false, InjectedSource::Foreign},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyInjected(c.injected, c.extra, own, c.remap), c.source);
    }
}

TEST(MouseHookInjected, TheLibrarysOwnSignatureIsReadAsNoFlagByAnyRule)
{
    const ULONG_PTR own = OwnInputSignature();
    EXPECT_FALSE(IsTouchEvent(own)) << "taken for touch input";
    for (const UINT message : {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP})
        EXPECT_EQ(ButtonOfMessage(message, 0, own, true).button, 2) << "a middle press taken for a tilt, message 0x"
                                                                    << std::hex << message;
    EXPECT_EQ(ClassifyInjected(true, own, own, true), InjectedSource::Own);
    EXPECT_EQ(ClassifyInjected(true, static_cast<DWORD>(own), own, true), InjectedSource::ForeignRemapped)
        << "another instance's input";
}

TEST(MouseHookRules, TouchSignatureOverranHookAndFarMoves)
{
    EXPECT_TRUE(IsTouchEvent(0xFF515700));
    EXPECT_TRUE(IsTouchEvent(0xFF5157FF));
    EXPECT_TRUE(IsTouchEvent(static_cast<ULONG_PTR>(0x12345678FF515780ull)));
    EXPECT_FALSE(IsTouchEvent(0xFF515600));
    EXPECT_FALSE(IsTouchEvent(0));

    EXPECT_FALSE(HookOverran(1000, 1200, 200));
    EXPECT_TRUE(HookOverran(1000, 1201, 200));
    EXPECT_FALSE(HookOverran(1000, 9000, 0)) << "no known time-out";
    EXPECT_TRUE(HookOverran(0xFFFFFF00u, 0x100, 200)) << "across the wrap";

    EXPECT_FALSE(MovedAwayFromLast({100, 100}, {110, 90}));
    EXPECT_TRUE(MovedAwayFromLast({100, 100}, {111, 100}));
    EXPECT_TRUE(MovedAwayFromLast({100, 100}, {100, 89}));

    EXPECT_FALSE(IsNonClientHit(HTNOWHERE));
    EXPECT_FALSE(IsNonClientHit(HTCLIENT));
    EXPECT_TRUE(IsNonClientHit(HTCAPTION));
    EXPECT_FALSE(IsNonClientHit(HTERROR));
}

TEST(MouseOverRequest, TheCheckComesTheFirstRequestsDelayAfterItAtTheLastPoint)
{
    MouseOverRequest request;
    POINT point{};
    unsigned long long decisions = 0;
    EXPECT_FALSE(request.TakeDue(1000, point, decisions)) << "nothing asked";
    request.Ask(POINT{10, 20}, 1000, 150);
    EXPECT_TRUE(request.Pending());
    // A pointer that keeps moving moves the point, not the time.
    request.Ask(POINT{30, 40}, 1100, 150);
    request.Ask(POINT{-5, 60}, 1149, 150);
    EXPECT_FALSE(request.TakeDue(1149, point, decisions)) << "one tick before";
    ASSERT_TRUE(request.TakeDue(1150, point, decisions)) << "at the first request's time";
    EXPECT_EQ(point.x, -5);
    EXPECT_EQ(point.y, 60);
    EXPECT_FALSE(request.Pending());
    EXPECT_FALSE(request.TakeDue(1151, point, decisions)) << "taken once";

    // The next request starts its own delay: a release asks for 300 ms.
    request.Ask(POINT{1, 2}, 1200, 300);
    EXPECT_FALSE(request.TakeDue(1499, point, decisions));
    EXPECT_TRUE(request.TakeDue(1500, point, decisions));
    EXPECT_EQ(request.LastAsked(), 1200u);
}

TEST(MouseOverRequest, ARequestAfterAButtonsDecisionAsksAfreshWithItsOwnDelay)
{
    MouseOverRequest request;
    POINT point{};
    unsigned long long decisions = 0;
    // A move asks; a click decides before it is due, and its release asks.
    request.Ask(POINT{10, 20}, 1000, 150);
    request.Decided();
    request.Ask(POINT{30, 40}, 1100, 300);
    EXPECT_FALSE(request.TakeDue(1150, point, decisions)) << "not at the void request's time";
    EXPECT_FALSE(request.TakeDue(1399, point, decisions)) << "one tick before its own";
    ASSERT_TRUE(request.TakeDue(1400, point, decisions));
    EXPECT_EQ(point.x, 30);
    EXPECT_FALSE(request.Voided(decisions)) << "asked after the decision";

    // A void request taken when due still names its decisions, and is void.
    request.Ask(POINT{1, 2}, 2000, 150);
    request.Decided();
    ASSERT_TRUE(request.TakeDue(2150, point, decisions));
    EXPECT_TRUE(request.Voided(decisions));
}

TEST(MouseOverRequest, ARequestAcrossTheTickCountWrappingComesDueOnTime)
{
    MouseOverRequest request;
    POINT point{};
    unsigned long long decisions = 0;
    request.Ask(POINT{7, 7}, 0xFFFFFFA0u, 150);
    EXPECT_FALSE(request.TakeDue(0xFFFFFFFFu, point, decisions));
    EXPECT_FALSE(request.TakeDue(0x35u, point, decisions)) << "0x36 is 150 ms after";
    EXPECT_TRUE(request.TakeDue(0x36u, point, decisions));
    request.Ask(POINT{8, 8}, 5000, 100);
    request.Forget();
    EXPECT_FALSE(request.TakeDue(6000, point, decisions)) << "forgotten";
}

TEST(MouseOverRequest, ThePollIsQuickWhileThePointerMovesAndSlowOnceItHasLongRested)
{
    EXPECT_EQ(MouseOverPollPeriod(true, 0, 50000), kMouseOverPollMs) << "a request is pending";
    EXPECT_EQ(MouseOverPollPeriod(false, 10000, 10000 + kMouseOverIdleAfterMs - 1), kMouseOverPollMs);
    EXPECT_EQ(MouseOverPollPeriod(false, 10000, 10000 + kMouseOverIdleAfterMs), kMouseOverIdlePollMs);
    EXPECT_EQ(MouseOverPollPeriod(false, 0xFFFFFF00u, 0x10u), kMouseOverPollMs) << "across the wrap";
    // A request made while the poll is slow is seen before it comes due.
    EXPECT_LE(kMouseOverIdlePollMs, 150u);
}

TEST(ScrollLockReading, KeptForASecondUnlessTheKeyWasJustSeen)
{
    ScrollLockReading reading;
    EXPECT_TRUE(ScrollLockReadDue(reading, 1000)) << "never read";
    reading.valid = true;
    reading.readAt = 1000;
    EXPECT_FALSE(ScrollLockReadDue(reading, 1000));
    EXPECT_FALSE(ScrollLockReadDue(reading, 1000 + kScrollLockKeepMs - 1));
    EXPECT_TRUE(ScrollLockReadDue(reading, 1000 + kScrollLockKeepMs));

    // The key was seen at 1500: every event reads again for a second.
    reading.keySeen = true;
    reading.keyAt = 1500;
    reading.readAt = 1600;
    EXPECT_TRUE(ScrollLockReadDue(reading, 1600));
    EXPECT_TRUE(ScrollLockReadDue(reading, 1500 + kScrollLockAfterKeyMs - 1));
    EXPECT_FALSE(ScrollLockReadDue(reading, 1500 + kScrollLockAfterKeyMs));
    reading.readAt = 0xFFFFFFF0u;
    reading.keySeen = false;
    EXPECT_FALSE(ScrollLockReadDue(reading, 0x10u)) << "across the wrap";
}
