// Movement-to-scroll, axis lock and timed-click aborts on the mouse hook's move
// path. No allocation and no waiting here: the hook thread holds the global
// lock only because it could take it at once.

#include "MouseHookMovement.h"

#include <atomic>
#include <cmath>
#include <cstdlib>

#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "Control.h"
#include "DpiScaling.h"
#include "EngineInput.h"
#include "Globals.h"
#include "LockAxis.h"
#include "Logger.h"
#include "Movement2Scroll.h"
#include "ScrollCursors.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "TimedClicks.h"

MovementToScrollProgress g_MTSProgress;

namespace
{
// Moves closer together than this add up instead of scrolling.
constexpr DWORD kStepMs = 30;
constexpr double kMultiplierStep = 0.0125;
// Axis-lock values of the options: fixed vertical, fixed horizontal, chosen by
// the first clear movement.
constexpr int kLockVertical = 2;
constexpr int kLockHorizontal = 32;
constexpr int kLockAuto = 1;

bool DefaultScroll(int vertical, int horizontal)
{
    return MovementToScroll(vertical, horizontal);
}

// The hook's own record of the cursor (hook thread only).
POINT g_ptKnownCursor{0, 0};
bool g_bCursorKnown = false;
unsigned g_nKnownPlacements = 0;

bool DefaultMoveToMessagePoint(const MSLLHOOKSTRUCT* data, bool vertical)
{
    POINT cursor;
    if (!MouseHookCursor(cursor))
        return false;
    const POINT target = vertical ? POINT{cursor.x, data->pt.y} : POINT{data->pt.x, cursor.y};
    return MouseMove(cursor, target);
}

bool DefaultMoveInverted(const MSLLHOOKSTRUCT* data)
{
    const bool invertX = g_LockAxis.IsXInverted();
    const bool invertY = g_LockAxis.IsYInverted();
    if (!invertX && !invertY)
        return false;
    POINT cursor;
    if (!MouseHookCursor(cursor))
        return false;
    const LONG dx = invertX ? cursor.x - data->pt.x : data->pt.x - cursor.x;
    const LONG dy = invertY ? cursor.y - data->pt.y : data->pt.y - cursor.y;
    return MouseMove(POINT{0, 0}, POINT{dx, dy});
}

const MouseMoveOutput kDefaultOutput = {DefaultScroll, DefaultMoveToMessagePoint, DefaultMoveInverted};
std::atomic<const MouseMoveOutput*> g_output{&kDefaultOutput};

long long Distance(LONG from, LONG to)
{
    return std::llabs(static_cast<long long>(to) - static_cast<long long>(from));
}

int Layer(const CSettings* settings)
{
    return settings->m_bChangeCursorLayer ? g_engine.nCurrentLayer : 0;
}
} // namespace

bool BeyondDistance(POINT origin, POINT point, int distance)
{
    return Distance(origin.x, point.x) > distance || Distance(origin.y, point.y) > distance;
}

void MouseHookNoteCursor(POINT point)
{
    g_ptKnownCursor = point;
    g_nKnownPlacements = g_nCursorPlacements.load(std::memory_order_acquire);
    g_bCursorKnown = HookPointIsCursorPosition();
}

void MouseHookReadCursor()
{
    POINT cursor;
    g_bCursorKnown = false;
    if (::GetCursorPos(&cursor))
        MouseHookNoteCursor(cursor);
}

bool MouseHookCursor(POINT& cursor)
{
    if (g_bCursorKnown && g_nKnownPlacements == g_nCursorPlacements.load(std::memory_order_acquire))
    {
        cursor = g_ptKnownCursor;
        return true;
    }
    if (!::GetCursorPos(&cursor))
        return false;
    MouseHookNoteCursor(cursor);
    return true;
}

void SetMouseMoveOutput(const MouseMoveOutput* output)
{
    g_output.store(output != nullptr ? output : &kDefaultOutput);
}

MovementToScrollVerdict MovementToScrollStep(MovementToScrollProgress& progress, POINT start, POINT point, DWORD time,
                                             int axisLock, int sensitivityX, int sensitivityY, bool invertVertical,
                                             bool invertHorizontal)
{
    MovementToScrollVerdict verdict;
    const long long offsetX = static_cast<long long>(point.x) - start.x;
    const long long offsetY = static_cast<long long>(point.y) - start.y;

    if (time - progress.lastStep < kStepMs)
    {
        progress.accum.x = static_cast<LONG>(progress.accum.x + offsetX);
        progress.accum.y = static_cast<LONG>(progress.accum.y + offsetY);
        if (std::labs(progress.accum.x) > 2 || std::labs(progress.accum.y) > 2)
        {
            verdict.drop = true;
            verdict.moved = true;
        }
        progress.multiplier = progress.multiplier == 0.0 ? 1.0 : progress.multiplier + kMultiplierStep;
        CLogger::LogDebug(L"MTS: Multiplier = %lf", progress.multiplier);
        return verdict;
    }

    progress.lastStep = time;
    double rows = -static_cast<double>(progress.accum.y + offsetY);
    double columns = static_cast<double>(progress.accum.x + offsetX);
    progress.accum = POINT{0, 0};
    if (progress.multiplier < 1.0)
        progress.multiplier = 1.0;
    const double multiplier = progress.multiplier;
    CLogger::LogDebug(L"MouseHookLLProc: MTS: Rows = %lf Columns = %lf, Multiplier = %lf", rows, columns, multiplier);
    if (std::fabs(rows) > 2 || std::fabs(columns) > 2)
    {
        verdict.drop = true;
        // A step that scrolls is movement too, however slowly it came.
        verdict.moved = true;
    }
    rows *= multiplier;
    columns *= multiplier;

    const int before = progress.lock;
    if (axisLock == kLockVertical)
        progress.lock = 1;
    else if (axisLock == kLockHorizontal)
        progress.lock = 2;
    else if (axisLock == kLockAuto)
    {
        if (progress.lock == 0)
        {
            if (std::fabs(columns) < 3 && std::fabs(rows) > 2)
                progress.lock = 1;
            else if (std::fabs(columns) >= 3 && std::fabs(rows) <= 3)
                progress.lock = 2;
        }
    }
    else
        progress.lock = 0;
    if (progress.lock != before && progress.lock != 0)
        verdict.lockDecided = progress.lock;

    if (progress.lock == 1)
    {
        const double length = std::sqrt(rows * rows + columns * columns) * multiplier;
        rows = rows < 0 ? -length : length;
        columns = 0;
    }
    else if (progress.lock == 2)
    {
        const double length = std::sqrt(rows * rows + columns * columns) * multiplier;
        columns = columns < 0 ? -length : length;
        rows = 0;
    }
    progress.multiplier = 0.0;
    CLogger::LogDebug(L"MouseHookLLProc: MTS: Lock = %d start pt(%d,%d) current pt(%d,%d) Rows=%.3lf, Columns=%.3f",
                      progress.lock, static_cast<int>(start.x), static_cast<int>(start.y), static_cast<int>(point.x),
                      static_cast<int>(point.y), rows, columns);

    // Far beyond any screen, a product would no longer fit a wheel amount.
    const double limit = 1e6;
    rows = rows > limit ? limit : (rows < -limit ? -limit : rows);
    columns = columns > limit ? limit : (columns < -limit ? -limit : columns);
    const long long vertical = static_cast<long long>(std::trunc(rows)) * sensitivityY;
    const long long horizontal = static_cast<long long>(std::trunc(columns)) * sensitivityX;
    const auto clamp = [](long long value) {
        return static_cast<int>(value > INT_MAX / 2 ? INT_MAX / 2 : (value < -(INT_MAX / 2) ? -(INT_MAX / 2) : value));
    };
    verdict.vertical = clamp(invertVertical ? -vertical : vertical);
    verdict.horizontal = clamp(invertHorizontal ? -horizontal : horizontal);
    return verdict;
}

bool MouseHookMovementToScroll(MSLLHOOKSTRUCT* data, bool& passNow)
{
    passNow = false;
    CMovement2Scroll* options = g_pActiveMTS;
    const CSettings* settings = g_pSettings;
    if (options == nullptr || settings == nullptr)
        return false;
    if (IsBRMPDisabled(true))
    {
        ResetAllSticky(data->pt);
        if (settings->m_bMovementToScrollCursor)
            g_LockAxis.ResetCursor(g_threads.pSPIThread);
        passNow = true;
        return false;
    }
    // A new movement-to-scroll starts without the lock, sum and acceleration
    // of the one before it.
    const POINT start = g_ptMTSStart;
    if (g_MTSProgress.owner != options || g_MTSProgress.ownerStart.x != start.x || g_MTSProgress.ownerStart.y != start.y)
    {
        g_MTSProgress = MovementToScrollProgress{};
        g_MTSProgress.owner = options;
        g_MTSProgress.ownerStart = start;
    }
    const MovementToScrollVerdict verdict =
        MovementToScrollStep(g_MTSProgress, start, data->pt, data->time, options->GetAxisLocked(),
                             options->getSensitivityX(), options->getSensitivityY(), options->InvertVertical(),
                             options->InvertHorizontal());
    if (verdict.moved)
        g_bMTSMoved = true;
    if (verdict.lockDecided != 0 && settings->m_bMovementToScrollCursor)
        g_LockAxis.ChangeCursor(g_threads.pSPIThread, verdict.lockDecided == 1 ? CursorScrollY : CursorScrollX, Layer(settings));
    if (verdict.vertical != 0 || verdict.horizontal != 0)
        g_output.load()->scroll(verdict.vertical, verdict.horizontal);
    return verdict.drop;
}

namespace
{
// Puts the locked co-ordinates of the move back and moves the pointer along the
// free axis instead; the move itself is dropped.
void KeepLockedAxes(MSLLHOOKSTRUCT* data, bool lockedX, bool lockedY)
{
    const MouseMoveOutput* output = g_output.load();
    const int x = static_cast<int>(data->pt.x);
    const int y = static_cast<int>(data->pt.y);
    if (lockedX)
    {
        if (lockedY)
        {
            CLogger::LogDebug(L"MouseHookLLProc: LockAxis: X=%d, Y=%d, Locking XAxis at %d and YAxis at %d", x, y,
                              g_LockAxis.XPos(), g_LockAxis.YPos());
            data->pt.y = g_LockAxis.YPos();
        }
        else
            CLogger::LogDebug(L"MouseHookLLProc: LockAxis: X=%d, Y=%d, Locking XAxis at %d", x, y, g_LockAxis.XPos());
        data->pt.x = g_LockAxis.XPos();
        output->moveToMessagePoint(data, true);
        return;
    }
    CLogger::LogDebug(L"MouseHookLLProc: LockAxis: X=%d, Y=%d, Locking YAxis at %d", x, y, g_LockAxis.YPos());
    data->pt.y = g_LockAxis.YPos();
    output->moveToMessagePoint(data, false);
}
} // namespace

bool MouseHookAxisLock(MSLLHOOKSTRUCT* data, bool& toMouseOver)
{
    toMouseOver = false;
    const CSettings* settings = g_pSettings;
    const MouseMoveOutput* output = g_output.load();
    const bool lockedX = g_LockAxis.LockedX();
    const bool lockedY = g_LockAxis.LockedY();
    if (lockedX || lockedY)
    {
        // A locked axis without a position takes this move's.
        g_LockAxis.XLocked(static_cast<int>(data->pt.x));
        g_LockAxis.YLocked(static_cast<int>(data->pt.y));
        if (IsBRMPDisabled(true))
        {
            g_LockAxis.Unlock(g_threads.pSPIThread, g_engine.nCurrentLayer, settings, g_engine.pCurrentApp, true);
            toMouseOver = true;
            return false;
        }
        KeepLockedAxes(data, lockedX, lockedY);
        return true;
    }
    if (g_LockAxis.IsInverted())
    {
        if (IsBRMPDisabled(true))
        {
            g_LockAxis.UninvertXY();
            return false;
        }
        return output->moveInverted(data);
    }
    return false;
}

bool MouseHookAxisLockWhileBusy(MSLLHOOKSTRUCT* data)
{
    // What needs the global lock (the unlock once remapping is off, the steps
    // of movement-to-scroll) is left to a move that gets it; this one passes.
    if (g_pActiveMTS != nullptr || g_engine.pCurrentApp == nullptr || IsBRMPDisabled(true))
        return false;
    const bool lockedX = g_LockAxis.LockedX();
    const bool lockedY = g_LockAxis.LockedY();
    if (lockedX || lockedY)
    {
        g_LockAxis.XLocked(static_cast<int>(data->pt.x));
        g_LockAxis.YLocked(static_cast<int>(data->pt.y));
        KeepLockedAxes(data, lockedX, lockedY);
        return true;
    }
    if (g_LockAxis.IsInverted())
        return g_output.load()->moveInverted(data);
    return false;
}

void MouseHookCheckTimedClickAborts(POINT point)
{
    for (CBRMPTimedClicks* list : g_pTimedClicks)
    {
        if (list != nullptr && (list->GetAbortOnMouseMove() || list->GetAbort2OnMouseMove()) && !list->GetAborted())
            list->CheckAbort(point);
    }
}

bool MouseHookMTSActive()
{
    return g_pActiveMTS != nullptr;
}

bool MouseHookStickyMTSDrop(int button, int kind)
{
    CMovement2Scroll* options = g_pActiveMTS;
    if (options == nullptr || g_nStickyState[STICKY_SCROLL] == 0 || button < 0)
        return false;
    const int owner = static_cast<int>(options->GetMouseButton());
    if (options->IsStickyBlock())
    {
        if (owner == -1 || button == owner)
            return false;
        CLogger::LogDebug(L"MouseHookLLProc: Button %d is blocked (ignored) because %d is 'sticky' MTS with block.", button,
                          owner);
        return true;
    }
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    const int action = profile != nullptr ? static_cast<int>(profile->GetActions(button, g_engine.nCurrentLayer, true))
                                          : static_cast<int>(ACTION_NO_CHANGE);
    if (button == owner && !(action == 133 || (action == 128 && options->GetButtonUpCount() > 0)))
    {
        if (kind == kEventUp)
            options->IncButtonUpCount();
        return false;
    }
    if (kind == kEventUp)
    {
        const CSettings* settings = g_pSettings;
        if (settings != nullptr && settings->m_bMovementToScrollCursor)
            g_LockAxis.ChangeCursor(g_threads.pSPIThread, profile, g_engine.nCurrentLayer, false, settings->m_bChangeCursorLayer);
        options->SetMouseButton(NoButton);
        g_pActiveMTS = nullptr;
        g_MTSProgress.lock = 0;
        SetStickyState(STICKY_SCROLL, 0);
        CLogger::LogDebug(L"MouseHookLLProc: Cancel sticky MTS %d with [other] button %d.", owner, button);
        return true;
    }
    CLogger::LogDebug(L"MouseHookLLProc: Ignore button %d down because sticky MTS %d is set.", button, owner);
    return true;
}
