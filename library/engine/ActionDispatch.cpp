// Action dispatch: one switch over the action codes. Each case looks at the kind
// of the event first and acts on the press, the release or both; the groups of
// cases with state of their own live in the ActionDispatch*.cpp files beside.

#include "ActionDispatch.h"

#include <process.h>

#include <memory>


#include "ActionData.h"
#include "ActionDispatchInternal.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "Brightness.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "OSVersion.h"
#include "ScrollLockState.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "WindowOperation.h"

// --- rules -------------------------------------------------------------------

KeyModeWork KeyModeWorkFor(int keyMode, int kind, bool heldFlag)
{
    const bool down = kind == kEventDown;
    const bool up = kind == kEventUp;
    switch (keyMode)
    {
    case KEYMODE_PRESSED:
    case KEYMODE_THREAD_DOWN:
        return down ? KeyModeWork::SendOnce : KeyModeWork::None;
    case KEYMODE_RELEASED:
    case KEYMODE_THREAD_UP:
        return up ? KeyModeWork::SendOnceRelease : KeyModeWork::None;
    case KEYMODE_PRESSED_RELEASED:
        return down ? KeyModeWork::SendOnce : (up ? KeyModeWork::SendOnceRelease : KeyModeWork::None);
    case KEYMODE_DURING:
        if (down && !heldFlag)
            return KeyModeWork::HoldPress;
        if (up && heldFlag)
            return KeyModeWork::HoldRelease;
        return KeyModeWork::None;
    case KEYMODE_REPEAT:
        return down ? KeyModeWork::RepeatStart : KeyModeWork::RepeatStop;
    case KEYMODE_STICKY_REPEAT:
        return down ? KeyModeWork::StickyRepeat : KeyModeWork::None;
    case KEYMODE_STICKY_HOLD:
        return down || up ? KeyModeWork::StickyHold : KeyModeWork::None;
    default:
        // Modes outside 0-8 come only from a damaged settings file: do nothing.
        return KeyModeWork::None;
    }
}

int RandomisedRepeatDelay(int delay, unsigned random)
{
    if (delay < 0)
        delay = 0;
    const int span = delay / 100 < 1 ? 3 : (delay / 100) * 10;
    const long long spread = static_cast<long long>(random % static_cast<unsigned>(2 * span));
    const long long result = spread + delay - span;
    const int clamped = result < 1 ? 1 : (result > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(result));
    CLogger::LogDebug(L"ProcessButtonAction: Randomised repeat delay is %dms (%d)", clamped, 2 * span);
    return clamped;
}

int KeyRepeatStartDelay(int keyRepeat, int simKeyDelay, int waitHoldTime, int systemKeyDelay)
{
    const long long total = static_cast<long long>(keyRepeat != 0 ? keyRepeat : systemKeyDelay) +
                            (simKeyDelay > 0 ? simKeyDelay : 0) + (waitHoldTime > 0 ? waitHoldTime : 0);
    if (total < 1)
        return 1;
    return total > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(total);
}

ActionKey ActionKeyFor(int code, int osVersion)
{
    constexpr UINT none = 0, shift = 1, ctrl = 2, alt = 4, win = 8;
    constexpr UINT noScan = static_cast<UINT>(-1);
    constexpr int D = 1, U = 2;
    switch (code)
    {
    case ACTION_NEXT_WINDOW: return {VK_ESCAPE, false, alt, noScan, D};
    case ACTION_PREVIOUS_WINDOW: return {VK_ESCAPE, false, alt | shift, noScan, D};
    case ACTION_COPY: return {'C', false, ctrl, noScan, U};
    case ACTION_CUT: return {'X', false, ctrl, noScan, U};
    case ACTION_NEW: return {'N', false, ctrl, noScan, U};
    case ACTION_OPEN: return {'O', false, ctrl, noScan, U};
    case ACTION_PASTE: return {'V', false, ctrl, noScan, U};
    case ACTION_REDO: return {'Y', false, ctrl, noScan, U};
    case ACTION_UNDO: return {'Z', false, ctrl, noScan, U};
    case ACTION_ENTER: return {VK_RETURN, false, none, noScan, U};
    case ACTION_ESCAPE: return {VK_ESCAPE, false, none, noScan, U};
    case ACTION_OPEN_HELP: return {VK_F1, false, none, noScan, U};
    case ACTION_SHOW_DESKTOP: return {'D', false, win, noScan, D};
    case ACTION_MEDIA_NEXT_TRACK: return {VK_MEDIA_NEXT_TRACK, true, none, 0, D};
    case ACTION_MEDIA_LAST_TRACK: return {VK_MEDIA_PREV_TRACK, true, none, 0, D};
    case ACTION_MEDIA_STOP: return {VK_MEDIA_STOP, true, none, 0, D};
    case ACTION_MEDIA_PLAY_PAUSE: return {VK_MEDIA_PLAY_PAUSE, true, none, 0, D};
    case ACTION_LAUNCH_EMAIL: return {VK_LAUNCH_MAIL, true, none, 0, D};
    case ACTION_OPEN_EXPLORER: return {'E', false, win, noScan, U};
    case ACTION_OPEN_RUN_COMMAND: return {'R', false, win, noScan, U};
    case ACTION_SHOW_SIDEBAR: return {VK_SPACE, false, win, noScan, U};
    case ACTION_OPEN_WEB_BROWSER: return {VK_BROWSER_HOME, true, none, 0, U};
    case ACTION_FLIP_3D: return {VK_TAB, false, win, noScan, D};
    case ACTION_ALT_TAB:
        // From Windows Vista on Ctrl+Alt+Tab keeps the switcher open.
        return {VK_TAB, false, osVersion > 3 ? ctrl | alt : alt, noScan, D};
    case ACTION_PRINT_SCREEN: return {VK_SNAPSHOT, false, none, noScan, U};
    case ACTION_PRINT_ACTIVE_WINDOW: return {VK_SNAPSHOT, false, alt, noScan, U};
    case ACTION_SYSTEM_MENU: return {'X', false, win, noScan, D};
    case ACTION_CHARMS_BAR: return {'C', false, win, noScan, D};
    case ACTION_PC_SETTINGS: return {'I', false, win, noScan, D};
    case ACTION_SEARCH_CHARM: return {'Q', false, win, noScan, D};
    case ACTION_SEARCH_APPS: return {'W', false, win, noScan, D};
    case ACTION_SEARCH_FILES: return {'F', false, win, noScan, D};
    case ACTION_SNAP_MODERN_RIGHT:
    case ACTION_EMOJI_KEYBOARD: return {VK_OEM_PERIOD, false, win, noScan, D};
    case ACTION_SNAP_MODERN_LEFT: return {VK_OEM_PERIOD, false, win | shift, noScan, D};
    case ACTION_SNAP_WINDOW_LEFT: return {VK_LEFT, true, win, noScan, D};
    case ACTION_SNAP_WINDOW_RIGHT: return {VK_RIGHT, true, win, noScan, D};
    case ACTION_SNAP_WINDOW_UP: return {VK_UP, true, win, noScan, D};
    case ACTION_SNAP_WINDOW_DOWN: return {VK_DOWN, true, win, noScan, D};
    case ACTION_VIRTUAL_DESKTOP_NEW: return {'D', false, ctrl | win, noScan, D};
    case ACTION_VIRTUAL_DESKTOP_CLOSE: return {VK_F4, false, ctrl | win, noScan, D};
    case ACTION_VIRTUAL_DESKTOP_LEFT: return {VK_LEFT, true, ctrl | win, noScan, D};
    case ACTION_VIRTUAL_DESKTOP_RIGHT: return {VK_RIGHT, true, ctrl | win, noScan, D};
    default: return {0, false, none, noScan, 0};
    }
}

int AppCommandFor(int code)
{
    switch (code)
    {
    case ACTION_BACK: return APPCMD_BACK;
    case ACTION_FORWARD: return APPCMD_FORWARD;
    case ACTION_BROWSER_STOP: return APPCMD_STOP;
    case ACTION_BROWSER_REFRESH: return APPCMD_REFRESH;
    case ACTION_BROWSER_SEARCH: return APPCMD_SEARCH;
    case ACTION_BROWSER_FAVOURITES: return APPCMD_FAVOURITES;
    default: return 0;
    }
}

int ClickButtonFor(int code)
{
    switch (code)
    {
    case ACTION_LEFT_CLICK: return 0;
    case ACTION_RIGHT_CLICK: return 1;
    case ACTION_MIDDLE_CLICK: return 2;
    case ACTION_CLICK_BUTTON_4: return 3;
    case ACTION_CLICK_BUTTON_5: return 4;
    default: return -1;
    }
}

int MomentaryLayerFor(int code)
{
    if (code >= ACTION_LAYER_1 && code <= ACTION_LAYER_5)
        return code - ACTION_LAYER_1;
    if (code >= ACTION_LAYER_6 && code <= ACTION_LAYER_10)
        return code - ACTION_LAYER_6 + 5;
    return -1;
}

int MomentaryReturnLayer(int currentLayer, bool revertToFirst)
{
    return revertToFirst ? 0 : currentLayer;
}

bool CanReturnToLayer(int returnLayer, int layerCount)
{
    return returnLayer >= 0 && returnLayer < layerCount && returnLayer < LayerCount;
}

bool WheelActionRepeats(int button, bool ignoreVScroll, bool ignoreHScroll, bool quillon)
{
    if (quillon)
        return false;
    if ((button == WheelUp || button == WheelDown) && !ignoreVScroll)
        return false;
    if ((button == TiltLeft || button == TiltRight) && !ignoreHScroll)
        return false;
    return true;
}

BYTE SimulatedKeysResult(bool blockMouse, BYTE workResult)
{
    return blockMouse ? workResult : 0;
}

UINT WindowCommandFor(int code, int& kind)
{
    switch (code)
    {
    case ACTION_CLOSE: kind = 1; return SC_CLOSE;
    case ACTION_MAXIMIZE_WINDOW: kind = 2; return SC_MAXIMIZE;
    case ACTION_MINIMIZE_WINDOW: kind = 2; return SC_MINIMIZE;
    case ACTION_RESTORE_WINDOW: kind = 1; return SC_RESTORE;
    default: kind = 0; return 0;
    }
}

// --- the switch ----------------------------------------------------------------

namespace dispatch
{
bool Event::DownSeen() const
{
    // A handled press, or a button held down while a layer change replays it
    // (the hook itself clears its down mark before a release arrives here).
    return button >= 0 && button < ButtonCount && g_held.PressSeen(button);
}

bool Quillon()
{
    return g_pSettings != nullptr && g_pSettings->m_bQuillon;
}
} // namespace dispatch

namespace
{
using dispatch::Event;

BYTE PlainKey(const Event& e)
{
    const ActionKey key = ActionKeyFor(e.code, static_cast<int>(GetOSVersion()));
    if (key.vk != 0 && key.kind == e.kind)
        SendKey(key.vk, key.extended, key.modifiers, key.scan);
    return 1;
}

BYTE Disable()
{
    if (g_pSettings != nullptr && g_pSettings->m_bScrollLockBypassDisabled && ScrollLockToggled())
    {
        CLogger::LogDebug(L"Bypassing disabled action because scroll lock is ON");
        return 0;
    }
    return 1;
}

BYTE MediaVolume(const Event& e, const wchar_t* tag)
{
    if (e.Down())
        SendKeysStateSingleShot(tag, e.point, e.window, false, false);
    return 1;
}

BYTE StickyMouseButton(const Event& e, int stickyKind)
{
    return StickyButton(e.point, e.window, e.button, stickyKind, e.kind) ? 1 : 0;
}

BYTE Brightness(const Event& e, bool up)
{
    if (!e.Down())
        return 1;
    if (g_threads.pBrightness == nullptr)
    {
        CLogger::LogDebug(L"ProcessButtonAction: Brightness is not available");
        return 1;
    }
    // Reading and setting the level goes through WMI, which can take seconds:
    // never on the hook thread. The worker reports to the same display window.
    struct Request
    {
        HWND osd;
        bool up;
        POINT point;
    };
    auto* request = new Request{g_threads.pBrightness->GetOSD(), up, e.point};
    const auto worker = [](void* argument) -> unsigned {
        std::unique_ptr<Request> request(static_cast<Request*>(argument));
        // One change at a time, in the order of the presses.
        static CRITICAL_SECTION* const serial = [] {
            auto* cs = new CRITICAL_SECTION;
            ::InitializeCriticalSection(cs);
            return cs;
        }();
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ::EnterCriticalSection(serial);
        try
        {
            CBrightness brightness(request->osd);
            if (request->up)
                brightness.Up(request->point);
            else
                brightness.Down(request->point);
        }
        catch (...)
        {
            LogCaughtException(L"ProcessButtonAction - Brightness");
        }
        ::LeaveCriticalSection(serial);
        if (SUCCEEDED(com))
            ::CoUninitialize();
        return 0;
    };
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, worker, request, 0, nullptr);
    if (thread == 0)
    {
        CLogger::LogMessage(L"ProcessButtonAction: Unable to start the brightness change");
        delete request;
        return 1;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 1;
}

BYTE WindowDrag(const Event& e, int operation)
{
    if (e.Down())
        StartWindowOperation(operation, e.window, e.point);
    else
        EndWindowOperation();
    return 1;
}

BYTE Dispatch(const Event& e)
{
    switch (e.code)
    {
    case ACTION_LEFT_CLICK:
    case ACTION_RIGHT_CLICK:
    case ACTION_MIDDLE_CLICK:
    case ACTION_CLICK_BUTTON_4:
    case ACTION_CLICK_BUTTON_5:
        return dispatch::Click(e, ClickButtonFor(e.code));
    case ACTION_DOUBLE_CLICK:
        return dispatch::DoubleClick(e);
    case ACTION_DOUBLE_CLICK_DRAG:
        return dispatch::DoubleClickDrag(e);

    case ACTION_BACK:
    case ACTION_FORWARD:
    case ACTION_BROWSER_STOP:
    case ACTION_BROWSER_REFRESH:
    case ACTION_BROWSER_SEARCH:
    case ACTION_BROWSER_FAVOURITES:
        if (e.Up())
            SendAppCommand(e.window != nullptr ? e.window : g_engine.hCurrentWnd, AppCommandFor(e.code));
        return 1;

    case ACTION_DISABLE:
        return Disable();

    case ACTION_CLOSE:
        return dispatch::CloseWindow(e);
    case ACTION_MAXIMIZE_WINDOW:
        return dispatch::MinMaxRestore(e, SW_MAXIMIZE);
    case ACTION_MINIMIZE_WINDOW:
        return dispatch::MinMaxRestore(e, SW_MINIMIZE);
    case ACTION_RESTORE_WINDOW:
        return dispatch::MinMaxRestore(e, SW_RESTORE);

    case ACTION_MEDIA_MUTE:
        return MediaVolume(e, L"{MUTE}");
    case ACTION_MEDIA_VOLUME_UP:
        return MediaVolume(e, L"{VOL+}");
    case ACTION_MEDIA_VOLUME_DOWN:
        return MediaVolume(e, L"{VOL-}");

    case ACTION_SIMULATED_KEYS:
        return dispatch::SimulatedKeys(e);

    case ACTION_LOCK_WORKSTATION:
        if (e.Up())
        {
            CLogger::LogMessage(L"Locking workstation...");
            if (!::LockWorkStation())
                CLogger::LogOSMessage(::GetLastError(), L"ProcessButtonAction: Unable to lock the workstation");
        }
        return 1;

    case ACTION_NO_CHANGE:
    case ACTION_SAME_AS_DEFAULT:
    case ACTION_MTS_STICKY_OLD:
    case ACTION_SAME_AS_LAYER_1:
        return 0;

    case ACTION_RUN_APPLICATION:
    case ACTION_OPEN_FOLDER:
    case ACTION_OPEN_MY_DOCUMENTS:
    case ACTION_OPEN_MY_COMPUTER:
    case ACTION_OPEN_NETWORK_FAVOURITES:
    case ACTION_OPEN_CONTROL_PANEL:
        return dispatch::Shell(e);

    case ACTION_MOUSE_WHEEL_UP:
    case ACTION_MOUSE_WHEEL_DOWN:
    case ACTION_MOUSE_TILT_LEFT:
    case ACTION_MOUSE_TILT_RIGHT:
        return dispatch::WheelOrTilt(e);
    case ACTION_SCROLL_WINDOW_UP:
    case ACTION_SCROLL_WINDOW_DOWN:
    case ACTION_SCROLL_WINDOW_LEFT:
    case ACTION_SCROLL_WINDOW_RIGHT:
        return dispatch::ScrollWindow(e);

    case ACTION_STICKY_LEFT:
        return StickyMouseButton(e, STICKY_LEFT);
    case ACTION_STICKY_RIGHT:
        return StickyMouseButton(e, STICKY_RIGHT);
    case ACTION_STICKY_MIDDLE:
        return StickyMouseButton(e, STICKY_MIDDLE);
    case ACTION_STICKY_4TH:
        return StickyMouseButton(e, STICKY_XLEFT);
    case ACTION_STICKY_5TH:
        return StickyMouseButton(e, STICKY_XRIGHT);

    case ACTION_LAYER_NEXT:
        return dispatch::StepLayerAction(e, 1);
    case ACTION_LAYER_PREVIOUS:
        return dispatch::StepLayerAction(e, -1);

    case ACTION_SCREENSAVER:
        if (e.Up())
        {
            CLogger::LogDebug(L"Starting screen saver...");
            ::PostMessageW(HWND_BROADCAST, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        }
        return 1;
    case ACTION_MONITOR_POWER_SAVE:
        if (e.Up())
        {
            CLogger::LogDebug(L"Putting monitors to sleep...");
            ::PostMessageW(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
        }
        return 1;

    case ACTION_MOVEMENT_TO_SCROLL:
        return dispatch::MovementToScroll(e);
    case ACTION_STICKY_LEFT_X:
    case ACTION_STICKY_LEFT_Y:
        return dispatch::StickyLeftAxis(e);
    case ACTION_REVEAL_DESKTOP:
        return dispatch::RevealDesktop(e);

    case ACTION_MAGNIFIER_TOGGLE:
        if (e.Down())
            ToggleMagnifier();
        return 1;
    case ACTION_MAGNIFIER_ZOOM_IN:
    case ACTION_MAGNIFIER_ZOOM_OUT:
        if (e.Down())
            MagnifierZoom(e.code == ACTION_MAGNIFIER_ZOOM_IN);
        return 1;
    case ACTION_BRIGHTNESS_UP:
        return Brightness(e, true);
    case ACTION_BRIGHTNESS_DOWN:
        return Brightness(e, false);

    case ACTION_WEB_SEARCH:
        if (e.Up() && !StartWebSearch())
            CLogger::LogMessage(L"ProcessButtonAction: Unable to start the web search");
        return 1;
    case ACTION_BUTTON_CHORDING:
        return dispatch::Chording(e);
    case ACTION_LOCK_X_PRESSED:
        return dispatch::AxisLockWhilePressed(e, true);
    case ACTION_LOCK_Y_PRESSED:
        return dispatch::AxisLockWhilePressed(e, false);
    case ACTION_LOCK_X_TOGGLE:
        return dispatch::AxisLockToggle(e, true);
    case ACTION_LOCK_Y_TOGGLE:
        return dispatch::AxisLockToggle(e, false);
    case ACTION_BUTTON_HELD:
        return dispatch::TimedClicks(e);
    case ACTION_DRAG_MOVE_WINDOW:
        return WindowDrag(e, CWindowOperation::Move);
    case ACTION_DRAG_SIZE_WINDOW:
        return WindowDrag(e, CWindowOperation::Size);
    case ACTION_SLOW_CURSOR_PRESSED:
        return dispatch::SlowCursor(e);
    case ACTION_SLOW_CURSOR_STICKY:
        return dispatch::SlowCursorSticky(e);
    case ACTION_CYCLE_CURSOR_SPEED:
        if (e.Down())
            CycleCursorSpeed();
        return 1;

    default:
        break;
    }

    const int layer = MomentaryLayerFor(e.code);
    if (layer >= 0)
        return dispatch::MomentaryLayer(e, layer);
    if (ActionKeyFor(e.code, ActionOS_Win10).vk != 0)
        return PlainKey(e);
    // Reserved codes, the retired movement-to-scroll codes (converted to 77 when
    // the settings load) and anything outside 0-139 do nothing.
    return 0;
}
} // namespace

BYTE ProcessButtonAction(int button, int code, CActionData* action, CApplicationSettings* profile, int kind,
                         int layer, BYTE replayed, HWND window, POINT point, BYTE& block, BYTE& click)
{
    if (button < 0 || button >= ButtonCount)
    {
        CLogger::LogMessage(L"ProcessButtonAction: Invalid button %d", button);
        return 0;
    }
    const Event e{button, code, action, profile, kind, layer, replayed, window, point, block, click};
    try
    {
        return Dispatch(e);
    }
    catch (...)
    {
        LogCaughtException(L"ProcessButtonAction");
        return 0;
    }
}
