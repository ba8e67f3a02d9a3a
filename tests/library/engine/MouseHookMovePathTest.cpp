// The mouse hook's move path and horizontal wheel, through MouseHookLLProc with
// synthetic events (0 passed on, 1 dropped): movement-to-scroll, the axis lock
// and inversion, timed-click aborts. What the path sends is recorded through
// its output seam. The step rule of movement-to-scroll is also checked on
// plain values.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "Globals.h"
#include "HeldInput.h"
#include "LockAxis.h"
#include "MouseHook.h"
#include "MouseHookMovement.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "TimedClickPresses.h"
#include "TimedClicks.h"

namespace
{
struct Sent
{
    char kind; // 's' scroll, 'm' move to message point, 'i' inverted move
    int a;
    int b;
};
std::vector<Sent> g_sent;
int g_hwheelCalls = 0;
bool g_hwheelTakeOver = false;

bool RecordScroll(int vertical, int horizontal)
{
    g_sent.push_back({'s', vertical, horizontal});
    return true;
}
bool RecordMoveToMessagePoint(const MSLLHOOKSTRUCT* data, bool vertical)
{
    g_sent.push_back({'m', vertical ? 1 : 0, static_cast<int>(vertical ? data->pt.y : data->pt.x)});
    return true;
}
bool RecordInverted(const MSLLHOOKSTRUCT* data)
{
    g_sent.push_back({'i', static_cast<int>(data->pt.x), static_cast<int>(data->pt.y)});
    return true;
}
const MouseMoveOutput kRecorder = {RecordScroll, RecordMoveToMessagePoint, RecordInverted};

bool RecordHWheel(MSLLHOOKSTRUCT*, BYTE& injected)
{
    injected = 0;
    ++g_hwheelCalls;
    return g_hwheelTakeOver;
}

int g_aborts = 0;
void CountAbort(CBRMPTimedClicks*, CBRMPTimedClick*, DWORD, POINT)
{
    ++g_aborts;
}

const HHOOK kFakeHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4801));

class MouseHookMovePath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(g_pSettings, nullptr);
        g_engine.Reset();
        g_hook.Reset();
        g_held.Forget();
        m_timeout = g_system.dwHookTimeout;
        // The engine counts as running only with a hook thread.
        g_threads.hHookThread = ::GetCurrentThread();
        m_switch = g_pSettings->m_bSwitchOnMouseOver;
        m_activate = g_pSettings->m_bActivateOnMouseOver;
        m_scrollLock = g_pSettings->m_bScrollLockBypassAll;
        m_rdp = g_pSettings->m_bDisableInRDP;
        m_quillon = g_pSettings->m_bQuillon;
        m_mtsCursor = g_pSettings->m_bMovementToScrollCursor;
        g_threads.hMouseHook = kFakeHook;
        g_system.dwHookTimeout = 0;
        g_pSettings->m_bSwitchOnMouseOver = false;
        g_pSettings->m_bActivateOnMouseOver = false;
        g_pSettings->m_bScrollLockBypassAll = false;
        g_pSettings->m_bDisableInRDP = false;
        g_pSettings->m_bQuillon = false;
        g_pSettings->m_bMovementToScrollCursor = false;
        m_profile = std::make_unique<CApplicationSettings>(g_pSettings, false, 1);
        g_engine.pCurrentApp = m_profile.get();
        ResetMouseHookState();
        g_MTSProgress = MovementToScrollProgress{};
        g_LockAxis.Unlock(nullptr, 0, g_pSettings, nullptr, true);
        g_LockAxis.UninvertXY();
        g_sent.clear();
        g_hwheelCalls = 0;
        g_hwheelTakeOver = false;
        g_aborts = 0;
        SetMouseMoveOutput(&kRecorder);
        SetMouseHWheelProcessor(RecordHWheel);
    }
    void TearDown() override
    {
        g_pActiveMTS = nullptr;
        g_ptMTSStart = POINT{0, 0};
        g_bMTSMoved = false;
        for (CBRMPTimedClicks*& list : g_pTimedClicks)
            list = nullptr;
        g_LockAxis.Unlock(nullptr, 0, g_pSettings, nullptr, true);
        g_LockAxis.UninvertXY();
        SetMouseMoveOutput(nullptr);
        SetMouseHWheelProcessor(nullptr);
        g_threads.hMouseHook = nullptr;
        g_threads.hHookThread = nullptr;
        g_engine.Reset();
        g_hook.Reset();
        g_held.Forget();
        g_system.dwHookTimeout = m_timeout;
        g_pSettings->m_bSwitchOnMouseOver = m_switch;
        g_pSettings->m_bActivateOnMouseOver = m_activate;
        g_pSettings->m_bScrollLockBypassAll = m_scrollLock;
        g_pSettings->m_bDisableInRDP = m_rdp;
        g_pSettings->m_bQuillon = m_quillon;
        g_pSettings->m_bMovementToScrollCursor = m_mtsCursor;
        ResetMouseHookState();
        g_MTSProgress = MovementToScrollProgress{};
    }

    static LRESULT Move(LONG x, LONG y, DWORD time, MSLLHOOKSTRUCT* out = nullptr)
    {
        MSLLHOOKSTRUCT data{};
        data.pt = POINT{x, y};
        data.time = time;
        const LRESULT result = MouseHookLLProc(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&data));
        if (out != nullptr)
            *out = data;
        return result;
    }
    static LRESULT HWheel(int delta)
    {
        MSLLHOOKSTRUCT data{};
        data.mouseData = MAKELONG(0, static_cast<WORD>(static_cast<short>(delta)));
        return MouseHookLLProc(HC_ACTION, WM_MOUSEHWHEEL, reinterpret_cast<LPARAM>(&data));
    }

    std::unique_ptr<CApplicationSettings> m_profile;
    DWORD m_timeout = 0;
    bool m_switch = false, m_activate = false, m_scrollLock = false, m_rdp = false, m_quillon = false,
         m_mtsCursor = false;
};
}

TEST_F(MouseHookMovePath, MovementToScrollTurnsMovesIntoWheelRequestsAndDropsThem)
{
    CMovement2Scroll options;
    options.SetSensitivityX(5);
    options.SetSensitivityY(4);
    g_pActiveMTS = &options;
    g_ptMTSStart = POINT{400, 400};

    // Each move arrives 40 ms after the one before: a step every time. The
    // cursor never leaves the start point because every move is dropped.
    EXPECT_EQ(Move(400, 390, 10000), 1) << "10 up";
    EXPECT_EQ(Move(406, 400, 10040), 1) << "6 right";
    EXPECT_EQ(Move(401, 401, 10080), 0) << "a move of one pixel reaches the cursor";
    ASSERT_EQ(g_sent.size(), 3u);
    EXPECT_EQ(g_sent[0].kind, 's');
    EXPECT_EQ(g_sent[0].a, 40) << "10 rows up x sensitivity 4";
    EXPECT_EQ(g_sent[0].b, 0);
    EXPECT_EQ(g_sent[1].a, 0);
    EXPECT_EQ(g_sent[1].b, 30) << "6 columns x sensitivity 5";
    EXPECT_EQ(g_sent[2].a, -4);
    EXPECT_EQ(g_sent[2].b, 5);
    EXPECT_TRUE(g_bMTSMoved);
}

TEST_F(MouseHookMovePath, QuickMovesAddUpBeforeTheNextStep)
{
    CMovement2Scroll options;
    g_pActiveMTS = &options;
    g_ptMTSStart = POINT{400, 400};
    EXPECT_EQ(Move(400, 396, 20000), 1) << "the first move is a step";
    g_sent.clear();
    EXPECT_EQ(Move(400, 399, 20010), 0) << "1 pixel summed: passes";
    EXPECT_EQ(Move(400, 398, 20020), 1) << "3 pixels summed: dropped";
    EXPECT_TRUE(g_sent.empty()) << "no scroll between steps";
    EXPECT_EQ(Move(400, 399, 20060), 1) << "the step scrolls the sum of 4 rows";
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_GT(g_sent[0].a, 0);
}

TEST_F(MouseHookMovePath, InvertedMovementToScrollScrollsTheOtherWay)
{
    CMovement2Scroll options;
    options.SetInvertVertical(true);
    options.SetInvertHorizontal(true);
    g_pActiveMTS = &options;
    g_ptMTSStart = POINT{400, 400};
    Move(410, 390, 30000);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].a, -50);
    EXPECT_EQ(g_sent[0].b, -50);
}

TEST_F(MouseHookMovePath, AxisLockKeepsTheLockedCoordinateAndDropsTheMove)
{
    MSLLHOOKSTRUCT out{};
    g_LockAxis.LockX(nullptr, 0, false, false);
    EXPECT_EQ(Move(300, 200, 1000, &out), 1);
    EXPECT_EQ(g_LockAxis.XPos(), 300) << "the first move sets the lock position";
    EXPECT_EQ(Move(340, 260, 1040, &out), 1);
    EXPECT_EQ(out.pt.x, 300);
    EXPECT_EQ(out.pt.y, 260);
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_EQ(g_sent[1].kind, 'm');
    EXPECT_EQ(g_sent[1].a, 1) << "only the vertical part moves the cursor";
    EXPECT_EQ(g_sent[1].b, 260);

    g_LockAxis.Unlock(nullptr, 0, g_pSettings, nullptr, true);
    g_sent.clear();
    g_LockAxis.LockY(nullptr, 0, false, false);
    EXPECT_EQ(Move(350, 270, 1080, &out), 1);
    EXPECT_EQ(Move(390, 300, 1120, &out), 1);
    EXPECT_EQ(out.pt.y, 270);
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_EQ(g_sent[1].a, 0) << "only the horizontal part";
    EXPECT_EQ(g_sent[1].b, 390);

    g_LockAxis.Unlock(nullptr, 0, g_pSettings, nullptr, true);
    g_sent.clear();
    EXPECT_EQ(Move(10, 10, 1160), 0) << "unlocked moves pass";
    EXPECT_TRUE(g_sent.empty());
}

TEST_F(MouseHookMovePath, InvertedAxesAreMovedByTheEngineInstead)
{
    g_LockAxis.InvertX();
    EXPECT_EQ(Move(120, 130, 500), 1);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].kind, 'i');
}

TEST_F(MouseHookMovePath, WithoutAProfileTheMoveOnlyPasses)
{
    g_engine.pCurrentApp = nullptr;
    g_LockAxis.LockX(nullptr, 0, false, false);
    EXPECT_EQ(Move(300, 200, 1000), 0);
    EXPECT_TRUE(g_sent.empty());
}

TEST_F(MouseHookMovePath, ATimedClickHoldIsAbortedByMovingTooFar)
{
    CBRMPTimedClicks list;
    list.SetEnabled(1, true);
    list.SetAbortOnMouseMove(true);
    list.SetAbortPixels(5);
    list.SetPressed(nullptr, CountAbort, Middle, 0, false, nullptr, POINT{200, 200}, nullptr, nullptr);
    g_pTimedClicks[Middle] = &list;

    EXPECT_EQ(Move(205, 195, 100), 0);
    EXPECT_EQ(g_aborts, 0) << "exactly the distance";
    EXPECT_EQ(Move(200, 206, 140), 0) << "the move itself still reaches the cursor";
    EXPECT_EQ(g_aborts, 1);
    EXPECT_TRUE(list.GetAborted());
    Move(260, 260, 180);
    EXPECT_EQ(g_aborts, 1) << "an aborted hold is not checked again";
    list.Reset();
    g_pTimedClicks[Middle] = nullptr;
}

TEST_F(MouseHookMovePath, TheHorizontalWheelGoesToItsActionUnlessQuillonModeIsOn)
{
    g_hwheelTakeOver = true;
    m_profile->SetActions(6, 0, 70);
    EXPECT_EQ(HWheel(120), 1);
    EXPECT_EQ(g_hwheelCalls, 1);
    g_pSettings->m_bQuillon = true;
    EXPECT_EQ(HWheel(120), 0);
    EXPECT_EQ(g_hwheelCalls, 1) << "never taken over in Quillon mode";
    g_pSettings->m_bQuillon = false;
    g_hwheelTakeOver = false;
    EXPECT_EQ(HWheel(-120), 0) << "a tilt the handler leaves alone passes";
    EXPECT_EQ(g_hwheelCalls, 2);
}

// The step rule on plain values.
TEST(MovementToScrollStep, TheAxisLockIsDecidedByTheOptionAndTheFirstClearMovement)
{
    struct Case
    {
        const char* name;
        int option;
        POINT point;
        int lock;
        int vertical;
        int horizontal;
    };
    const POINT start{100, 100};
    const Case cases[] = {
        {"no lock scrolls both ways", 0, {104, 90}, 0, 50, 20},
        {"fixed vertical lock puts the whole length on rows", 2, {103, 96}, 1, 25, 0},
        {"fixed horizontal lock puts it on columns", 32, {96, 103}, 2, 0, -25},
        {"auto: mostly vertical locks vertical", 1, {101, 90}, 1, 50, 0},
        {"auto: mostly horizontal locks horizontal", 1, {110, 102}, 2, 0, 50},
        {"auto: diagonal decides nothing yet", 1, {110, 90}, 0, 50, 50},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MovementToScrollProgress progress;
        const MovementToScrollVerdict v = MovementToScrollStep(progress, start, c.point, 1000, c.option, 5, 5, false, false);
        EXPECT_EQ(progress.lock, c.lock);
        EXPECT_EQ(v.lockDecided, c.lock);
        EXPECT_EQ(v.vertical, c.vertical);
        EXPECT_EQ(v.horizontal, c.horizontal);
        EXPECT_TRUE(v.drop);
    }
}

TEST(MovementToScrollStep, AnAutomaticLockHoldsAndIsReportedOnlyOnce)
{
    MovementToScrollProgress progress;
    const POINT start{0, 0};
    MovementToScrollVerdict v = MovementToScrollStep(progress, start, POINT{1, 10}, 1000, 1, 1, 1, false, false);
    EXPECT_EQ(v.lockDecided, 1);
    v = MovementToScrollStep(progress, start, POINT{10, 0}, 1100, 1, 1, 1, false, false);
    EXPECT_EQ(v.lockDecided, 0);
    EXPECT_EQ(progress.lock, 1) << "a horizontal move keeps the vertical lock";
    EXPECT_EQ(v.horizontal, 0);
    EXPECT_EQ(v.vertical, 10);
}

TEST(MovementToScrollStep, QuickMovesRaiseTheMultiplierForTheNextStep)
{
    MovementToScrollProgress progress;
    const POINT start{0, 0};
    MovementToScrollStep(progress, start, POINT{0, 0}, 1000, 0, 1, 1, false, false);
    for (DWORD t = 1001; t < 1005; ++t)
        MovementToScrollStep(progress, start, POINT{0, 0}, t, 0, 1, 1, false, false);
    EXPECT_DOUBLE_EQ(progress.multiplier, 1.0 + 3 * 0.0125);
    const MovementToScrollVerdict v = MovementToScrollStep(progress, start, POINT{0, -100}, 1030, 0, 1, 1, false, false);
    EXPECT_EQ(v.vertical, 103) << "100 rows x 1.0375, truncated";
    EXPECT_DOUBLE_EQ(progress.multiplier, 0.0);
}

TEST(MovementToScrollStep, ASlowScrollingStepCountsAsMovement)
{
    MovementToScrollProgress progress;
    const MovementToScrollVerdict v = MovementToScrollStep(progress, POINT{0, 0}, POINT{0, 5}, 5000, 0, 5, 5, false, false);
    EXPECT_TRUE(v.drop);
    EXPECT_TRUE(v.moved) << "otherwise the release would also perform the no-movement action";
}

TEST(MovementToScrollStep, AHugeJumpGivesABoundedAmount)
{
    MovementToScrollProgress progress;
    const MovementToScrollVerdict v =
        MovementToScrollStep(progress, POINT{-2000000000, 0}, POINT{2000000000, 0}, 5000, 0, 1000, 1000, false, false);
    EXPECT_GT(v.horizontal, 0);
    EXPECT_LE(v.horizontal, INT_MAX / 2);
}

TEST_F(MouseHookMovePath, ANewMovementToScrollStartsWithoutTheOldLock)
{
    CMovement2Scroll options;
    options.SetAxisLock(1);
    g_pActiveMTS = &options;
    g_ptMTSStart = POINT{400, 400};
    Move(400, 380, 40000);
    EXPECT_EQ(g_MTSProgress.lock, 1);
    // The button is released and pressed again elsewhere.
    g_ptMTSStart = POINT{600, 600};
    g_sent.clear();
    Move(620, 600, 40100);
    EXPECT_EQ(g_MTSProgress.lock, 2);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].a, 0);
    EXPECT_GT(g_sent[0].b, 0);
}

namespace
{
int g_buttonCalls = 0;
bool CountButton(int, int, bool, MSLLHOOKSTRUCT*, BYTE& passAnyway, BYTE& injected, BYTE& throttle)
{
    passAnyway = injected = throttle = 0;
    ++g_buttonCalls;
    return false;
}

LRESULT Button(UINT message)
{
    MSLLHOOKSTRUCT data{};
    ::GetCursorPos(&data.pt);
    return MouseHookLLProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&data));
}
}

TEST_F(MouseHookMovePath, WhileAStickyMovementToScrollBlocksOtherButtonsOnlyItsOwnGetThrough)
{
    CMovement2Scroll options;
    options.SetSticky(true);
    options.SetStickyBlock(true);
    options.SetMouseButton(Middle);
    g_pActiveMTS = &options;
    SetStickyState(STICKY_SCROLL, 1);
    g_buttonCalls = 0;
    SetMouseButtonProcessor(CountButton);
    struct Step
    {
        UINT message;
        LRESULT result;
        int processed;
    };
    const Step steps[] = {
        {WM_LBUTTONDOWN, 1, 0}, {WM_LBUTTONUP, 1, 0}, {WM_RBUTTONDOWN, 1, 0},
        {WM_RBUTTONUP, 1, 0},   {WM_MBUTTONDOWN, 0, 1}, {WM_MBUTTONUP, 0, 2},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(::testing::Message() << "message 0x" << std::hex << step.message);
        EXPECT_EQ(Button(step.message), step.result);
        EXPECT_EQ(g_buttonCalls, step.processed);
    }
    EXPECT_EQ(g_pActiveMTS, &options) << "blocked buttons never end it";
    SetMouseButtonProcessor(nullptr);
    SetStickyState(STICKY_SCROLL, 0);
}

TEST_F(MouseHookMovePath, WithoutBlockAnotherButtonEndsTheStickyMovementToScroll)
{
    CMovement2Scroll options;
    options.SetSticky(true);
    options.SetMouseButton(Middle);
    g_pActiveMTS = &options;
    SetStickyState(STICKY_SCROLL, 1);
    g_MTSProgress.lock = 2;
    g_buttonCalls = 0;
    SetMouseButtonProcessor(CountButton);
    EXPECT_EQ(Button(WM_RBUTTONDOWN), 1) << "the press is swallowed";
    EXPECT_EQ(g_pActiveMTS, &options);
    EXPECT_EQ(Button(WM_RBUTTONUP), 1) << "its release ends the movement-to-scroll";
    EXPECT_EQ(g_pActiveMTS, nullptr);
    EXPECT_EQ(g_nStickyState[STICKY_SCROLL], 0);
    EXPECT_EQ(g_MTSProgress.lock, 0);
    EXPECT_EQ(options.GetMouseButton(), NoButton);
    EXPECT_EQ(g_buttonCalls, 0);
    EXPECT_EQ(Button(WM_RBUTTONDOWN), 0) << "afterwards buttons are processed again";
    EXPECT_EQ(g_buttonCalls, 1);
    Button(WM_RBUTTONUP);
    SetMouseButtonProcessor(nullptr);
}
