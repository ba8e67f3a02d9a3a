// Actions about the pointer's movement: movement-to-scroll, the axis locks and
// the slowed cursor.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include "ActionData.h"
#include "ActionDispatchState.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "Cursors.h"
#include "EngineCursors.h"
#include "Globals.h"
#include "KeyHook.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "Movement2Scroll.h"
#include "ScrollCursors.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"

namespace dispatch
{
namespace
{
// Set while a sticky left button (78, 79) holds the axis lock: the release of a
// while-pressed lock button must not end it.
bool s_bLockHeldBySticky = false;

bool MtsCursorOption()
{
    return g_pSettings == nullptr || g_pSettings->m_bMovementToScrollCursor;
}

int MtsCursorState(const CMovement2Scroll& options)
{
    switch (options.GetAxisLocked())
    {
    case 2: return 1;
    case 3: return 2;
    default: return 0;
    }
}

void ShowMtsCursor(int state)
{
    if (!MtsCursorOption())
        return;
    g_nMTSCursorState = state;
    ShowLibraryCursor(state == 1 ? CursorScrollX : state == 2 ? CursorScrollY : CursorScroll);
}

void RestoreLayerCursor()
{
    if (MtsCursorOption())
        ShowProfileCursor();
}

BYTE Blocked(const CMovement2Scroll& options)
{
    return options.IsButtonBlocked() ? 1 : 0;
}

BYTE StickyMovementToScroll(const Event& e, CMovement2Scroll& options)
{
    StickyStateRef state(STICKY_SCROLL);
    if (e.Down())
    {
        if (state == 1)
        {
            CLogger::LogDebug(L"Sticky Movement to Scroll: Ignore button down");
            state = 2;
            return Blocked(options);
        }
        CLogger::LogDebug(L"Sticky Movement to Scroll: Button *DOWN*");
        g_bMTSMoved = false;
        g_pActiveMTS = &options;
        g_pLastMTS = &options;
        options.SetMouseButton(static_cast<MouseButtons>(e.button));
        g_ptMTSStart = e.point;
        state = 1;
        ShowMtsCursor(MtsCursorState(options));
        return Blocked(options);
    }
    if (!e.Up())
        return Blocked(options);
    if (!e.DownSeen())
        return 0;
    if (state > 2)
    {
        CLogger::LogDebug(L"Sticky Movement to Scroll: Button UP with no button down (state %d)!", static_cast<int>(state));
        state = 2;
    }
    switch (state)
    {
    case 0:
        CLogger::LogDebug(L"Sticky Movement to Scroll: Seen button up without down - initiate sticky mode.");
        g_pActiveMTS = &options;
        g_pLastMTS = &options;
        options.SetMouseButton(static_cast<MouseButtons>(e.button));
        g_ptMTSStart = e.point;
        state = 1;
        ShowMtsCursor(0);
        break;
    case 1:
        CLogger::LogDebug(L"Sticky Movement to Scroll: Ignore button up");
        break;
    default:
        CLogger::LogDebug(L"Sticky Movement to Scroll: Button *UP*");
        state = 0;
        RestoreLayerCursor();
        options.SetMouseButton(NoButton);
        g_pActiveMTS = nullptr;
        g_nMTSCursorState = 0;
        break;
    }
    return Blocked(options);
}

CSPIThread* Spi()
{
    return g_threads.pSPIThread;
}

int CurrentSpeed()
{
    int speed = 0;
    if (!::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0))
        return 0;
    return speed;
}

// A slow-down slows the speed the user chose (the cycled one too) and gives
// back the speed a profile switch would give: the two never disagree.
int SlowedSpeed()
{
    int speed = UsersMouseSpeed(g_engine.pCurrentApp);
    if (speed < 1 || speed > 20)
        speed = 10;
    return SlowCursorSpeed(speed);
}

// A speed the system does not take (none in the settings nor at start-up) is
// not set.
void SetSpeed(int speed)
{
    if (speed < 1 || speed > 20 || CurrentSpeed() == speed)
        return;
    SetSystemMouseSpeed(speed);
}

bool SpeedAllowed()
{
    return g_pSettings != nullptr && g_pSettings->m_bAllowSetSpeed;
}
} // namespace

BYTE MovementToScroll(const Event& e)
{
    CMovement2Scroll* options = e.action != nullptr ? e.action->GetMovement2Scroll() : nullptr;
    if (options == nullptr)
    {
        CLogger::LogMessage(L"Movement To Scroll: Not configured!");
        return 1;
    }
    if (options->IsSticky())
        return StickyMovementToScroll(e, *options);

    if (e.Down())
    {
        g_pActiveMTS = options;
        g_pLastMTS = options;
        // A press right after a scroll that moved is bounce of that one: keep
        // it counted as moved so that it does not fire the no-movement action.
        g_bMTSMoved = options->LastMTSMoved();
        options->SetMouseButton(static_cast<MouseButtons>(e.button));
        ShowMtsCursor(MtsCursorState(*options));
        g_ptMTSStart = e.point;
        return Blocked(*options);
    }

    if (g_threads.pSendInput != nullptr)
        g_threads.pSendInput->FlushQueue(false);
    RestoreLayerCursor();
    const bool moved = g_bMTSMoved;
    if (!moved && g_pReplayingMTS != options)
    {
        g_pReplayingMTS = options;
        CLogger::LogMessage(L"Movement to scroll cancelled with no movement");
        ReplayButton(e.button, kEventDown, e.replayed != 0, e.point);
        ReplayButton(e.button, kEventUp, e.replayed != 0, e.point);
        g_pReplayingMTS = nullptr;
    }
    options->SetLastMTS(moved);
    g_pActiveMTS = nullptr;
    g_nMTSCursorState = 0;
    return Blocked(*options);
}

BYTE StickyLeftAxis(const Event& e)
{
    int out = 0;
    if (!StickyButton(e.point, e.window, e.button, STICKY_LEFT, e.kind, &out))
        return 0;
    if (out == 1)
    {
        s_bLockHeldBySticky = true;
        if (e.code == ACTION_STICKY_LEFT_X)
            g_LockAxis.LockX(Spi(), e.layer, true, false);
        else
            g_LockAxis.LockY(Spi(), e.layer, true, false);
    }
    else if (out == 2)
    {
        s_bLockHeldBySticky = false;
        g_LockAxis.Unlock(Spi(), e.layer, g_pSettings, g_engine.pCurrentApp, false);
    }
    return 1;
}

BYTE AxisLockWhilePressed(const Event& e, bool xAxis)
{
    if (e.Down())
    {
        if (xAxis)
            g_LockAxis.LockX(Spi(), e.layer, false, false);
        else
            g_LockAxis.LockY(Spi(), e.layer, false, false);
        return 1;
    }
    if (s_bLockHeldBySticky)
        return 1;
    if (xAxis)
        g_LockAxis.UnlockX(Spi(), e.layer, g_pSettings, g_engine.pCurrentApp, false);
    else
        g_LockAxis.UnlockY(Spi(), e.layer, g_pSettings, g_engine.pCurrentApp, false);
    return 1;
}

BYTE AxisLockToggle(const Event& e, bool xAxis)
{
    if (!e.Down())
        return 1;
    const bool locked = xAxis ? g_LockAxis.LockedX() : g_LockAxis.LockedY();
    if (locked)
    {
        if (xAxis)
            g_LockAxis.UnlockX(Spi(), e.layer, g_pSettings, g_engine.pCurrentApp, false);
        else
            g_LockAxis.UnlockY(Spi(), e.layer, g_pSettings, g_engine.pCurrentApp, false);
    }
    else if (xAxis)
        g_LockAxis.LockX(Spi(), e.layer, false, false);
    else
        g_LockAxis.LockY(Spi(), e.layer, false, false);
    return 1;
}

BYTE SlowCursor(const Event& e)
{
    if (!SpeedAllowed())
    {
        CLogger::LogDebug(L"ProcessButtonAction: Not changing mouse speed as %s is not allowed to touch it!", L"BRMP");
        return 1;
    }
    if (e.Down())
    {
        const int slow = SlowedSpeed();
        CLogger::LogMessage(L"ProcessButtonAction: Slowing the cursor to 80%% (%d).", slow);
        SetSpeed(slow);
    }
    else
    {
        const int base = ProfileMouseSpeed(g_engine.pCurrentApp);
        CLogger::LogMessage(L"ProcessButtonAction: Resetting mouse cursor speed to %d after 'Slowdown cursor'", base);
        SetSpeed(base);
    }
    return 1;
}

BYTE SlowCursorSticky(const Event& e)
{
    if (!SpeedAllowed())
    {
        CLogger::LogDebug(L"ProcessButtonAction: Not changing sticky mouse speed as %s is not allowed to touch it!",
                          L"BRMP");
        return 0;
    }
    const int slow = SlowedSpeed();
    StickyStateRef state(STICKY_SLOWCURSOR);
    if (e.Down())
    {
        if (state == 1)
        {
            CLogger::LogDebug(L"Sticky Slowdown Cursor: Ignore button down");
            state = 2;
            return 1;
        }
        CLogger::LogDebug(L"ProcessButtonAction: Sticky Slowing the cursor to 80%% (%d).", slow);
        state = 1;
        SetSpeed(slow);
        return 1;
    }
    if (!e.Up() || !e.DownSeen())
        return 0;
    if (state > 2)
    {
        CLogger::LogDebug(L"Sticky Slowdown Cursor: Button UP with no button down (state %d)!", static_cast<int>(state));
        state = 2;
    }
    switch (state)
    {
    case 0:
        CLogger::LogDebug(L"Sticky Slowdown Cursor: Seen button up without down. Slowing the cursor to 80%% (%d).", slow);
        state = 1;
        SetSpeed(slow);
        break;
    case 1:
        CLogger::LogDebug(L"Sticky Slowdown Cursor: Ignore button up");
        break;
    default:
    {
        const int base = ProfileMouseSpeed(g_engine.pCurrentApp);
        CLogger::LogThreadDebug(L"Sticky Slowdown Cursor: Button *UP* - Resetting mouse cursor speed to %d after 'Slowdown cursor'",
                                base);
        state = 0;
        SetSpeed(base);
        break;
    }
    }
    return 1;
}
} // namespace dispatch
