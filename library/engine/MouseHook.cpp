// The low-level mouse hook procedure: decides for every mouse event of the
// desktop whether the engine takes it over (1: the system drops it) or passes it
// on. Buttons and wheel notches go to the button processor under the global
// lock; moves only try the lock and never allocate.

#include "MouseHook.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "ChordTimers.h"
#include "Clock.h"
#include "Control.h"
#include "DpiScaling.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HWheel.h"
#include "HeldInput.h"
#include "HookThread.h"
#include "LastWheel.h"
#include "MouseHookMovement.h"
#include "Logger.h"
#include "ProfileTargeting.h"
#include "RepeatTimers.h"
#include "ScrollLockState.h"
#include "ScrollTimers.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"
#include "TimerThread.h"
#include "WindowFacts.h"
#include "WindowFromPoint.h"
#include "WindowOperation.h"
#include "WindowScrolling.h"
#include "WindowActivation.h"
#include "ButtonProcessing.h"
#include "Debug.h"
#include "LockAxis.h"

POINT g_ptForcedCursor = {0, 0};
DebounceRecord g_Debounce[5];
int g_nWheelAccum = 0;
LastWheelNotch g_LastNotch;
POINT g_ptLastMove = {0, 0};

namespace
{
constexpr UINT kMouseOverAfterMoveMs = 150;
constexpr UINT kMouseOverAfterUpMs = 300;
constexpr UINT kMouseOverRetryMs = 100;
constexpr LONG kNoArea = -1000000;

MouseOverRequest g_mouseOverRequest;
// Set once the timer thread was asked to start the poll, until the poll runs.
std::atomic<bool> g_mouseOverPollAsked{false};
// The poll's period as last set (timer thread; 0 while it does not run).
DWORD g_mouseOverPollPeriod = 0;
std::atomic<unsigned> g_mouseOverChecksTaken{0};

// Counts a request the poll took once it has been dealt with.
struct CheckDealtWith
{
    ~CheckDealtWith() { g_mouseOverChecksTaken.fetch_add(1); }
};

bool DefaultProcessor(int button, int kind, bool fastWheel, MSLLHOOKSTRUCT* data, BYTE& passAnyway, BYTE& injected,
                      BYTE& throttle)
{
    return ProcessButton(button, kind, fastWheel, data->pt, passAnyway, injected, throttle) != 0;
}

std::atomic<MouseButtonProcessor> g_processor{DefaultProcessor};

bool DefaultHWheelProcessor(MSLLHOOKSTRUCT* data, BYTE& injected)
{
    return ProcessHWheel(data, injected);
}

std::atomic<MouseHWheelProcessor> g_hwheelProcessor{DefaultHWheelProcessor};

// Remembered by the mouse-over check between its runs (timer thread).
int g_nMouseOverQuarter = kNoArea;
wchar_t g_szMouseOverCaption[kMaxCaptionChars] = {};
// The window a check last decided hover activation for, and whether the
// options in force at the check's start may activate one (timer thread).
HWND g_hHoverDecidedWnd = nullptr;
bool g_bHoverMayActivate = false;

// Names shown in log lines, built here rather than kept as one literal.
const wchar_t* ShortTag()
{
    static const wchar_t tag[] = {L'B', L'R', L'M', L'P', 0};
    return tag;
}
const wchar_t* LongTag()
{
    static const wchar_t tag[] = L"Brindlemap mouse remap";
    return tag;
}

const wchar_t* MessageName(UINT message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN: return L" (WM_LBUTTONDOWN)";
    case WM_LBUTTONUP: return L" (WM_LBUTTONUP)";
    case WM_LBUTTONDBLCLK: return L" (WM_LBUTTONDBLCLK)";
    case WM_RBUTTONDOWN: return L" (WM_RBUTTONDOWN)";
    case WM_RBUTTONUP: return L" (WM_RBUTTONUP)";
    case WM_RBUTTONDBLCLK: return L" (WM_RBUTTONDBLCLK)";
    case WM_MBUTTONDOWN: return L" (WM_MBUTTONDOWN)";
    case WM_MBUTTONUP: return L" (WM_MBUTTONUP)";
    case WM_MBUTTONDBLCLK: return L" (WM_MBUTTONDBLCLK)";
    case WM_XBUTTONDOWN: return L" (WM_XBUTTONDOWN)";
    case WM_XBUTTONUP: return L" (WM_XBUTTONUP)";
    case WM_XBUTTONDBLCLK: return L" (WM_XBUTTONDBLCLK)";
    case WM_NCLBUTTONDOWN: return L" (WM_NCLBUTTONDOWN)";
    case WM_NCLBUTTONUP: return L" (WM_NCLBUTTONUP)";
    case WM_NCRBUTTONDOWN: return L" (WM_NCRBUTTONDOWN)";
    case WM_NCRBUTTONUP: return L" (WM_NCRBUTTONUP)";
    case WM_NCMBUTTONDOWN: return L" (WM_NCMBUTTONDOWN)";
    case WM_NCMBUTTONUP: return L" (WM_NCMBUTTONUP)";
    case WM_NCXBUTTONDOWN: return L" (WM_NCXBUTTONDOWN)";
    case WM_NCXBUTTONUP: return L" (WM_NCXBUTTONUP)";
    case WM_MOUSEWHEEL: return L" (WM_MOUSEWHEEL)";
    case WM_MOUSEHWHEEL: return L" (WM_MOUSEHWHEEL)";
    case WM_MOUSEMOVE: return L" (WM_MOUSEMOVE)";
    default: return L"";
    }
}

LRESULT DefaultNextHook(int code, WPARAM wParam, LPARAM lParam)
{
    return ::CallNextHookEx(g_threads.hMouseHook, code, wParam, lParam);
}

std::atomic<MouseHookNextFn> g_nextHook{DefaultNextHook};
std::atomic<bool> g_overrunEventsPassOn{false};

LRESULT NextHook(int code, WPARAM wParam, LPARAM lParam)
{
    return g_nextHook.load(std::memory_order_relaxed)(code, wParam, lParam);
}

// System metrics the button path reads on every event, re-read at most once
// per period: each read is a round trip to the window server on some systems,
// and the values change only when the user changes a setting.
struct CachedMetric
{
    int index;
    DWORD period;
    int value;
    DWORD readAt;
    bool valid;

    int Get(DWORD now)
    {
        if (!valid || now - readAt >= period)
        {
            value = ::GetSystemMetrics(index);
            readAt = now;
            valid = true;
        }
        return value;
    }
};
CachedMetric g_remoteMetric{SM_REMOTESESSION, 1000, 0, 0, false};

bool RemoteSession()
{
    return g_remoteMetric.Get(TickNow()) != 0;
}


// Posts a wheel event to a visible on-screen display that asked for the wheel.
bool RedirectWheelToDisplay(const CSettings* settings, const MSLLHOOKSTRUCT* data, bool post)
{
    if (!settings->m_bRedirectWheelToOSD)
        return false;
    for (HWND display : {g_engine.hVolumeOSDWnd, g_engine.hBrightnessOSDWnd})
    {
        if (display != nullptr && ::IsWindowVisible(display))
        {
            if (post)
                ::PostMessageW(display, WM_MOUSEWHEEL, data->mouseData,
                               MAKELPARAM(static_cast<WORD>(data->pt.x), static_cast<WORD>(data->pt.y)));
            return true;
        }
    }
    return false;
}

// The profile-independent mouse-over options, and the profile's own.
bool MouseOverWanted(const CSettings* settings, const CApplicationSettings* profile)
{
    if (profile == nullptr || profile->GetDisableMouseOver())
        return false;
    return settings->m_bSwitchOnMouseOver || settings->m_bActivateOnMouseOver || profile->ActivateOnHover();
}

// Whether the horizontal wheel goes to its tilt action: never in Quillon mode
// or without a profile, and not while a button that no chord is about is held
// over a tilt without an action (the system's own drag-scroll then).
bool HorizontalWheelWanted(const CSettings* settings, const CApplicationSettings* profile, const MSLLHOOKSTRUCT* data)
{
    if (settings->m_bQuillon || profile == nullptr)
        return false;
    const int delta = static_cast<short>(HIWORD(data->mouseData));
    const int button = delta > 0 ? 6 : 5;
    bool left = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    bool right = (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0;
    const int chordButton = MouseHookChordSourceButton();
    if (chordButton == 0)
        left = false;
    else if (chordButton == 1)
        right = false;
    return !(profile->GetActions(button, g_engine.nCurrentLayer) == ACTION_NO_CHANGE && (left || right));
}

// While movement-to-scroll runs the cursor moves but the window being scrolled
// stays: the window-from-point cache keeps answering it. Hook thread, lock held.
bool g_bScrollWindowHeld = false;

void SyncScrollWindowHold()
{
    const bool active = MouseHookMTSActive();
    if (active != g_bScrollWindowHeld)
    {
        g_bScrollWindowHeld = active;
        SetWindowCacheHeldForScroll(active);
    }
}

struct HookRun
{
    bool takenOver = false;
    BYTE passAnyway = 0;
};

// The end of every path that ran: the self-timing, then the verdict. pressed:
// the button of a press of the user's (or another program's), else -1.
LRESULT Finish(int code, WPARAM wParam, MSLLHOOKSTRUCT* data, DWORD entry, const HookRun& run, int pressed = -1)
{
    bool overran = false;
    if (HookOverran(entry, TickNow(), g_system.dwHookTimeout))
    {
        overran = true;
        // A system may pass on an event whose call ran past its time-out, or
        // drop it as the hook says: a press taken over here may have gone on
        // to the system all the same.
        if (pressed >= 0 && run.takenOver)
            g_held.PressOverran(pressed);
        const DWORD spent = TickNow() - entry;
        static const wchar_t stars[] = L"***************************************************************************";
        CLogger::LogMessage(L"%s", stars);
        CLogger::LogMessage(L"WARNING: Mouse hook has taken too long (%d ms). Hook may be disabled.", static_cast<int>(spent));
        CLogger::LogMessage(L"MouseHookData: Msg=0x%04x%s, X=%d, Y=%d, Data=0x%08X, Flags=0x%08X, Time=%d, Info=0x%X, Ptr=0x%X, Layer=%d",
                            static_cast<unsigned>(wParam), MessageName(static_cast<UINT>(wParam)),
                            static_cast<int>(data->pt.x), static_cast<int>(data->pt.y),
                            static_cast<unsigned>(data->mouseData), static_cast<unsigned>(data->flags),
                            static_cast<int>(data->time), static_cast<unsigned>(data->dwExtraInfo),
                            HandleNumber(g_threads.hMouseHook), g_engine.nCurrentLayer);
        CLogger::LogMessage(L"%s", stars);
        // The system may have removed the hook: the hook thread installs it again.
        ::PostThreadMessageW(::GetCurrentThreadId(), BRMP_ResetHook, WP_MOUSEHOOK, 0);
    }
    if (overran && g_overrunEventsPassOn.load(std::memory_order_relaxed))
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    if (run.takenOver && run.passAnyway != 0)
    {
        CLogger::LogDebug(L"MouseHookLLProc: Processed message 0x%04X (%d,%d) but not removing it because last process was FooBar2000.",
                          static_cast<unsigned>(wParam), static_cast<int>(data->pt.x), static_cast<int>(data->pt.y));
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    }
    if (run.takenOver)
    {
        CLogger::LogDebug(L"MouseHookLLProc: Removing message 0x%04X (%d,%d) from mouse hook queue as we have overridden it.",
                          static_cast<unsigned>(wParam), static_cast<int>(data->pt.x), static_cast<int>(data->pt.y));
        return 1;
    }
    if (wParam != WM_MOUSEMOVE)
        CLogger::LogDebug(L"MouseHookLLProc: Passing original mouse message 0x%08X through....", static_cast<unsigned>(wParam));
    return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
}

// A move that finds the global lock busy is passed at once, without the check
// of the window under the pointer it would have asked for; the poll asks for
// that check under the lock, on the same conditions (AskForUnaskedMove), so a
// pointer that comes to rest after such a move still gets its window's profile.
struct UnaskedMove
{
    std::atomic<unsigned long long> point{0};   // x in the low half, y in the high half
    std::atomic<DWORD> time{0};
    std::atomic<bool> pending{false};
};
UnaskedMove g_unaskedMove;

void NoteUnaskedMove(POINT point, DWORD time)
{
    g_unaskedMove.point.store(static_cast<unsigned long long>(static_cast<unsigned>(point.x)) |
                                  (static_cast<unsigned long long>(static_cast<unsigned>(point.y)) << 32),
                              std::memory_order_relaxed);
    g_unaskedMove.time.store(time, std::memory_order_relaxed);
    g_unaskedMove.pending.store(true, std::memory_order_release);
}

// Moves: never wait, never allocate.
LRESULT MovePath(int code, WPARAM wParam, MSLLHOOKSTRUCT* data, DWORD entry)
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    if ((data->flags & LLMHF_INJECTED) != 0 && data->dwExtraInfo == OwnInputSignature())
    {
        CLogger::LogDebug(L"MouseHookLLProc: We injected movement: X=%d, Y=%d", static_cast<int>(data->pt.x),
                          static_cast<int>(data->pt.y));
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    }
    if (g_ptForcedCursor.x != 0 || g_ptForcedCursor.y != 0)
        return 1;
    CThreadTryLock lock(L"WM_MOUSEMOVE");
    if (!lock)
    {
        HookRun run;
        run.takenOver = MouseHookAxisLockWhileBusy(data);
        if (run.takenOver)
            return Finish(code, wParam, data, entry, run);
        NoteUnaskedMove(data->pt, entry);
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    }
    // This move decides now, whatever an earlier one left to the poll.
    g_unaskedMove.pending.store(false, std::memory_order_relaxed);
    SyncScrollWindowHold();

    if (g_threads.pWindowOperation != nullptr)
    {
        StepWindowOperation(data->pt);
        lock.Release();
        return Finish(code, wParam, data, entry, HookRun{});
    }

    g_hook.dwLastInput = entry;
    g_hook.bInputSeen = true;
    HookRun run;
    CApplicationSettings* profile = g_engine.pCurrentApp;
    if (profile != nullptr)
    {
        if (MovedAwayFromLast(g_ptLastMove, data->pt))
        {
            g_LastNotch.time = 0;
            g_LastNotch.button = 0;
        }
        g_ptLastMove = data->pt;
        MouseHookUnblockChord(data->pt);
        MouseHookCheckTimedClickAborts(data->pt);

        bool toMouseOver = true;
        if (MouseHookMTSActive())
        {
            bool passNow = false;
            run.takenOver = MouseHookMovementToScroll(data, passNow);
            if (passNow)
            {
                lock.Release();
                return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
            }
        }
        else
        {
            run.takenOver = MouseHookAxisLock(data, toMouseOver);
            toMouseOver = toMouseOver || !run.takenOver;
        }
        // The check of the window under the resting pointer is asked for
        // without a call to the system; the timer thread's poll makes it
        // (and skips it while remapping is switched off). Nothing is asked
        // while anything is held: a held button keeps the profile of its press.
        if (toMouseOver && MouseOverWanted(settings, profile) && !g_held.AnythingHeld())
            g_mouseOverRequest.Ask(data->pt, entry, kMouseOverAfterMoveMs);
    }
    lock.Release();
    return Finish(code, wParam, data, entry, run);
}

// Vertical wheel of a real (or remapped) event; the global lock is held.
HookRun WheelPath(const CSettings* settings, CApplicationSettings* profile, MSLLHOOKSTRUCT* data, DWORD entry)
{
    HookRun run;
    int delta = static_cast<short>(HIWORD(data->mouseData));
    if (profile != nullptr && profile->InvertedScrolling() && !(settings->m_bDisableInvertedScrollInRDP && RemoteSession()))
    {
        CLogger::LogDebug(L"MouseHookLLProc: Invert mouse wheel is enabled!");
        delta = -delta;
    }
    const int button = delta > 0 ? 7 : 8;
    const bool notch = AccumulateWheel(g_nWheelAccum, delta);
    if (!notch)
        CLogger::LogDebug(L"Ignoring small scroll movement %d (smooth scrolling)", delta);

    if (RedirectWheelToDisplay(settings, data, notch))
    {
        run.takenOver = true;
        return run;
    }
    // A wheel that keeps turning within the profile's ignore time only
    // stretches that time: the release of the last notch comes when it ends.
    if (profile != nullptr && profile->GetIgnoreVScroll() && StopQTTimer(ID_QTTIMER_VSCROLL, false))
    {
        CLogger::LogDebug(L"MouseHookLLProc: Setting ignore VScroll Timer for %dms", profile->GetIgnoreVScrollTime());
        StartQTTimer(profile->GetIgnoreVScrollTime(), VScrollTimerCallback, ID_QTTIMER_VSCROLL);
        run.takenOver = true;
        return run;
    }
    // Notches of a wheel whose action asked for it are throttled, unless the
    // action clicks, types or scrolls: then every notch counts.
    if (notch && ThrottleWheel(g_LastNotch, button, entry) && ThrottleScrollWheel(button, data->pt))
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring/throttling mouse wheel. Time %dms Delta %d.",
                          static_cast<int>(entry - g_LastNotch.time), delta);
        run.takenOver = true;
        return run;
    }
    if (notch)
    {
        const bool fast = IsFastWheel(g_LastNotch, button, entry);
        if (fast)
        {
            const HWND window = RealWindowFromPoint_SkipLocked(data->pt, true);
            if (window != nullptr && ::IsWindow(window))
                g_engine.hCurrentWnd = window;
            CLogger::LogDebug(L"MouseHookLLProc: Fast wheel (%dms)- Skipping window under cursor check. Delta %d.",
                              static_cast<int>(entry - g_LastNotch.time), delta);
        }
        BYTE injected = 0;
        BYTE throttle = 0;
        const MouseButtonProcessor processor = g_processor.load();
        if (processor(button, 1, fast, data, run.passAnyway, injected, throttle))
        {
            // The pause between the notch's down and up is the input thread's to wait.
            const UINT delay = settings->m_uSimKeyDelay;
            if (injected != 0)
                QueueInputWait(delay + 30);
            else if (!fast && delay != 0)
                QueueInputWait(delay);
            run.takenOver = true;
            if (profile != nullptr && profile->GetIgnoreVScroll())
            {
                // The release waits until the wheel has rested for the ignore time.
                g_held.TookOver(button);
                SetPendingScroll(2, button, data->pt, profile, profile->GetIgnoreVScrollTime());
                return run;
            }
            BYTE upPass = 0;
            BYTE upInjected = 0;
            throttle = 0;
            processor(button, 2, true, data, upPass, upInjected, throttle);
            run.passAnyway = static_cast<BYTE>(run.passAnyway | upPass);
            run.takenOver = true;
            g_LastNotch.throttle = throttle != 0;
            g_LastNotch.time = entry;
            g_LastNotch.button = button;
            g_LastNotch.delta = delta;
            return run;
        }
    }
    else if (profile != nullptr && profile->GetActions(button, g_engine.nCurrentLayer) != ACTION_NO_CHANGE)
    {
        // Part of a notch of a wheel that has an action: the window must not
        // scroll by it as well.
        run.takenOver = true;
        return run;
    }
    // Nothing took the wheel over: it may still scroll the window under the
    // cursor rather than the one in focus, or by the profile's own method.
    if (ScrollVertical(data, static_cast<short>(delta), true))
        run.takenOver = true;
    return run;
}

// Buttons and wheels of real (or remapped) input; the global lock is held.
HookRun RealEventPath(int code, WPARAM wParam, MSLLHOOKSTRUCT* data, DWORD entry, bool& passNow)
{
    HookRun run;
    passNow = false;
    g_ptForcedCursor = POINT{0, 0};
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
    {
        passNow = true;
        return run;
    }
    g_hook.dwLastInput = entry;
    g_hook.bInputSeen = true;

    if (settings->m_bScrollLockBypassAll && ScrollLockToggled())
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring %s configuration because SCROLL Lock is enabled!", LongTag());
        passNow = true;
        return run;
    }
    if (settings->m_bDisableInRDP && RemoteSession())
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring %s configuration because current session is RDP and Disable in RDP set!",
                          LongTag());
        passNow = true;
        return run;
    }
    const UINT message = static_cast<UINT>(wParam);
    if (IsXButtonMessage(message) && XButtonSwapApplies(settings->m_bSwap4and5, settings->m_bSwap4and5InRDP,
                                                        settings->m_bSwap4and5 ? false : RemoteSession()))
    {
        const int pressed = HIWORD(data->mouseData) + 3;
        data->mouseData = SwapXButtonData(data->mouseData);
        const int translated = HIWORD(data->mouseData) + 3;
        if (settings->m_bSwap4and5)
            CLogger::LogDebug(L"MouseHookLLProc: Swapping 4th/5th buttons (Pressed Button %d, Translated to button %d)",
                              pressed, translated);
        else
            CLogger::LogDebug(L"MouseHookLLProc: Swapping 4th/5th buttons for RDP  (Pressed Button %d, Translated to button %d)",
                              pressed, translated);
    }
    if (!settings->m_bProcessNonClientMsgs)
    {
        // The hit test gives up on a hung window (and then counts as client area).
        const LRESULT hit = NonClientHitTest(::GetForegroundWindow(), data->pt);
        if (IsNonClientHit(hit))
        {
            CLogger::LogDebug(L"MouseHookLLProc: Ignoring non-client message %d", static_cast<int>(hit));
            passNow = true;
            return run;
        }
    }
    // Another button while a chord waits for its time-out: the chord is
    // decided by this event, not by the clock.
    if (g_pPendingChord != nullptr && QTTimerActive(ID_QTTIMER_CHORD) && !StopQTTimer(ID_QTTIMER_CHORD, false))
        CLogger::LogDebug(L"MouseHookLLProc: ChordTimer was not active - unable to stop it.");
    {
        int button = -1;
        int kind = 1;
        if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL)
        {
            const int delta = static_cast<short>(HIWORD(data->mouseData));
            button = message == WM_MOUSEWHEEL ? (delta > 0 ? 7 : 8) : (delta > 0 ? 6 : 5);
        }
        else
        {
            const MouseEventButton event = ButtonOfMessage(message, data->mouseData, data->dwExtraInfo, settings->m_bQuillon);
            button = event.button;
            kind = event.kind;
        }
        if (MouseHookStickyMTSDrop(button, kind))
        {
            HookRun dropped;
            dropped.takenOver = true;
            return dropped;
        }
    }
    // A process that is not per-monitor aware may get hook points in other
    // pixels than the cursor's; then the cursor position wins.
    POINT cursor;
    if (!HookPointIsCursorPosition() && ::GetCursorPos(&cursor) && (cursor.x != data->pt.x || cursor.y != data->pt.y))
    {
        CLogger::LogDebug(L"MouseHookLLProc: DPI Issue detected... Hook coordinates (%d,%d) are different from GetCursorPos() coordinates (%d,%d)",
                          static_cast<int>(cursor.x), static_cast<int>(cursor.y), static_cast<int>(data->pt.x),
                          static_cast<int>(data->pt.y));
        data->pt = cursor;
    }

    CApplicationSettings* profile = g_engine.pCurrentApp;
    if (message == WM_MOUSEWHEEL)
        return WheelPath(settings, profile, data, entry);
    if (message == WM_MOUSEHWHEEL)
    {
        passNow = !HorizontalWheelWanted(settings, profile, data);
        if (!passNow)
        {
            BYTE injected = 0;
            run.takenOver = g_hwheelProcessor.load()(data, injected);
        }
        return run;
    }

    const MouseEventButton event = ButtonOfMessage(message, data->mouseData, data->dwExtraInfo, settings->m_bQuillon);
    if (event.button < 0 || event.kind == 0)
        return run;
    EnsureMouseOverPoll();
    BYTE injected = 0;
    BYTE throttle = 0;
    const MouseButtonProcessor processor = g_processor.load();
    run.takenOver = processor(event.button, event.kind, false, data, run.passAnyway, injected, throttle);
    // A press of the very button a sticky button holds drops the drag at its
    // release; the system has that button down already.
    if (event.kind == 1 && !run.takenOver && EndStickyByPress(event.button, g_engine.nCurrentLayer))
        run.takenOver = true;
    // The release asks for the check of the window under the pointer; what
    // is held then (a sticky drag goes on after its first click) is asked
    // when the check comes due.
    if (event.kind == 2 && profile != nullptr && !profile->GetDisableMouseOver() && settings->m_bSwitchOnMouseOver)
    {
        g_LastWheel.m_hWnd = nullptr;
        g_mouseOverRequest.Ask(data->pt, entry, kMouseOverAfterUpMs);
    }
    (void)code;
    return run;
}

// An injected wheel scrolls the window under the cursor, as a real one would:
// another program's, and the library's own (a wheel or tilt action). Our own
// is sent as it is, never turned or simulated again, and never runs the tilt
// buttons' actions: a tilt action on a tilt would feed itself.
bool RedirectInjectedWheel(UINT message, MSLLHOOKSTRUCT* data, bool own)
{
    const HWND window = RealWindowFromPoint_SkipLocked(data->pt, true);
    if (window == nullptr)
        return false;
    const int target = CachedWindowIntegrityLevel(window);
    CLogger::LogDebug(L"CanSendToProcess: Process integrity 0x%08X (%d), our integrity 0x%08X (%d)", target, target,
                      g_engine.nIntegrityLevel, g_engine.nIntegrityLevel);
    wchar_t className[256] = L"";
    ::GetClassNameW(window, className, 256);
    if (!IntegrityAllowsSend(g_engine.nIntegrityLevel, target) || !IsWheelTargetClass(className, nullptr))
        return false;
    const bool horizontal = message == WM_MOUSEHWHEEL;
    CLogger::LogDebug(L"MouseHookLLProc: Redirecting injected %s wheel message to 0x%08X",
                      horizontal ? L"horizontal" : L"vertical", HandleNumber(window));
    if (horizontal)
    {
        if (own)
            return RedirectTilt(data, static_cast<short>(HIWORD(data->mouseData)), true);
        BYTE injected = 0;
        return g_hwheelProcessor.load()(data, injected);
    }
    return ScrollVertical(data, static_cast<short>(HIWORD(data->mouseData)), false, own);
}

bool CtrlOrShiftDown()
{
    return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 || (::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
}

// Own input and foreign input that is not remapped; the global lock is held.
bool InjectedPath(const CSettings* settings, UINT message, MSLLHOOKSTRUCT* data, bool foreign)
{
    const bool wheel = message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL;
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    const bool redirect = settings->m_bScrollWindowUnderCursor &&
                          !(profile != nullptr && profile->IsEnabled() && profile->GetDisableScrollUnderCursor());
    if (!wheel || MouseHookMTSActive())
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring mouse message injected by %s", ShortTag());
    }
    else if (redirect && !CtrlOrShiftDown())
    {
        if (RedirectInjectedWheel(message, data, !foreign))
            return true;
    }
    else if (message == WM_MOUSEWHEEL && RedirectWheelToDisplay(settings, data, true))
    {
        return true;
    }
    else
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring mouse wheel message injected by %s", ShortTag());
    }
    if (g_ptForcedCursor.x != 0 || g_ptForcedCursor.y != 0)
    {
        CLogger::LogDebug(L"MouseHookLLProc: Forcing cursor position to %d,%d", static_cast<int>(g_ptForcedCursor.x),
                          static_cast<int>(g_ptForcedCursor.y));
        g_nCursorPlacements.fetch_add(1, std::memory_order_acq_rel);
        ::SetCursorPos(g_ptForcedCursor.x, g_ptForcedCursor.y);
        g_ptForcedCursor = POINT{0, 0};
    }
    return false;
}

LRESULT ButtonPath(int code, WPARAM wParam, MSLLHOOKSTRUCT* data, DWORD entry)
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    // Windows are asked each thing once per event, and other applications
    // nothing at all: captions come from the window server.
    CWindowFactsScope facts(CWindowFactsScope::Captions::FromWindowServer);

    const int swap = g_swapWatch.UserChange(entry);
    if (swap >= 0)
    {
        CLogger::LogDebug(L"MouseHookLLProc: Button swap state has changed outside BRMP");
        g_system.nStartupSwapButtons = swap;
    }

    CThreadLock lock(L"MouseHookLLProc 1");
    SyncScrollWindowHold();
    const UINT message = static_cast<UINT>(wParam);
    const bool injected = (data->flags & LLMHF_INJECTED) != 0;
    const bool up = IsUpMessage(message);

    DebounceVerdict verdict{false, false, 0};
    const int physical = PhysicalButtonOfMessage(message, data->mouseData);
    if (!injected && settings->m_bDebounceButtons && physical >= 0 && physical < 5)
    {
        DebounceRecord& record = g_Debounce[physical];
        if (up)
        {
            if (DebounceUp(record, data->time, settings->m_bDebounceFromUp))
            {
                CLogger::LogDebug(L"MouseHookLLProc: De-Bounce mouse button - ignoring %s button UP as the down was de-bounced!",
                                  GetButtonName(physical));
                return 1;
            }
        }
        else if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
                 message == WM_XBUTTONDOWN || message == WM_NCLBUTTONDOWN || message == WM_NCRBUTTONDOWN ||
                 message == WM_NCMBUTTONDOWN || message == WM_NCXBUTTONDOWN)
        {
            verdict = DebounceDown(record, data->time, settings->m_nDebounceTime);
            if (verdict.drop)
            {
                CLogger::LogDebug(L"MouseHookLLProc: De-Bounce mouse button - ignoring %s button DOWN as it only %dms since the last time (<%dms)!",
                                  GetButtonName(physical), static_cast<int>(verdict.diff), settings->m_nDebounceTime);
                return 1;
            }
        }
    }

    if (verdict.measured)
        CLogger::LogDebug(L"MouseHookLLProc: MouseHookData: Msg=0x%04x%s%s, X=%d, Y=%d, Data=0x%08X, Flags=0x%08X, Time=%d (Diff=%dms), Info=0x%X, Ptr=0x%X, Layer=%d",
                          message, MessageName(message), injected ? L" Injected" : L"", static_cast<int>(data->pt.x),
                          static_cast<int>(data->pt.y), static_cast<unsigned>(data->mouseData),
                          static_cast<unsigned>(data->flags), static_cast<int>(data->time), static_cast<int>(verdict.diff),
                          static_cast<unsigned>(data->dwExtraInfo), HandleNumber(g_threads.hMouseHook), g_engine.nCurrentLayer);
    else
        CLogger::LogDebug(L"MouseHookLLProc: MouseHookData: Msg=0x%04x%s%s, X=%d, Y=%d, Data=0x%08X, Flags=0x%08X, Time=%d, Info=0x%X, Ptr=0x%X, Layer=%d",
                          message, MessageName(message), injected ? L" Injected" : L"", static_cast<int>(data->pt.x),
                          static_cast<int>(data->pt.y), static_cast<unsigned>(data->mouseData),
                          static_cast<unsigned>(data->flags), static_cast<int>(data->time),
                          static_cast<unsigned>(data->dwExtraInfo), HandleNumber(g_threads.hMouseHook), g_engine.nCurrentLayer);

    const InjectedSource source =
        ClassifyInjected(injected, data->dwExtraInfo, OwnInputSignature(), settings->m_bRemapSimulatedInput);
    if (source == InjectedSource::ForeignRemapped && message != WM_MOUSEWHEEL && message != WM_MOUSEHWHEEL)
        CLogger::LogDebug(L"MouseHookLLProc: Message was injected by someone else (and remap simulated input is enabled) therefore process it. ExtraInfo = 0x%08x, Hook = 0x%08x",
                          static_cast<unsigned>(data->dwExtraInfo), HandleNumber(g_threads.hMouseHook));
    if (source == InjectedSource::Foreign)
        CLogger::LogDebug(L"MouseHookLLProc: Injected button will not be remapped (Remap Simulated Input is disabled)");

    // Who holds the button, with the same 4th/5th swap the event will get
    // (the library's own events are sent as they are meant): the user's
    // buttons and another program's are marked apart, so that one never ends
    // the other's press; what the library sent itself (a sticky drag, a
    // button that clicks another, a layer change's re-press) is a press it
    // holds in the system for the user, no button the user holds.
    DWORD stateData = data->mouseData;
    if (source != InjectedSource::Own && IsXButtonMessage(message) &&
        XButtonSwapApplies(settings->m_bSwap4and5, settings->m_bSwap4and5InRDP, settings->m_bSwap4and5 ? false : RemoteSession()))
        stateData = SwapXButtonData(stateData);
    const MouseEventButton event = ButtonOfMessage(message, stateData, data->dwExtraInfo, settings->m_bQuillon);
    const bool isButton = event.button >= 0 && event.button < 9 && (event.kind == 1 || event.kind == 2);
    const HeldSource holder = source == InjectedSource::Real ? HeldSource::User : HeldSource::OtherProgram;
    if (isButton && source == InjectedSource::Own)
    {
        if (event.kind == 1)
            g_held.LibraryPressed(event.button);
        else
            g_held.ReleasedInSystem(event.button);
    }
    else if (isButton && event.kind == 1)
        g_held.Pressed(event.button, holder);
    else if (isButton)
        g_held.Released(event.button, holder);

    HookRun run;
    bool passNow = false;
    if (source == InjectedSource::Own || source == InjectedSource::Foreign)
    {
        run.takenOver = InjectedPath(settings, message, data, source == InjectedSource::Foreign);
    }
    else
    {
        const CHeldSourceScope scope(holder);
        run = RealEventPath(code, wParam, data, entry, passNow);
    }
    // A release of the user's or another program's that goes on to the
    // system ends the library's press of that button there too: the system
    // has the button up now, and the stop must not release it again.
    if (isButton && event.kind == 2 && source != InjectedSource::Own && (passNow || !run.takenOver || run.passAnyway != 0))
    {
        g_held.ReleasedInSystem(event.button);
        if (CSendInput* queue = g_threads.pSendInput)
            queue->PressReleasedElsewhere(event.button);
    }
    if (passNow)
        return NextHook(code, wParam, reinterpret_cast<LPARAM>(data));
    const bool userPress = isButton && event.kind == 1 && source != InjectedSource::Own && source != InjectedSource::Foreign;
    return Finish(code, wParam, data, entry, run, userPress ? event.button : -1);
}

// The reset-hook procedure is the timer thread's handler for its id from the
// start; the mouse-over switch is handed over by RegisterMouseOverTimerHandler.
const bool g_timerHandlersRegistered = [] {
    SetTimerThreadHandler(ID_TIMER_RESETHOOK, ResetHookTimerProc);
    return true;
}();
}

void ResetMouseHookState()
{
    for (DebounceRecord& record : g_Debounce)
        record = DebounceRecord{};
    g_nWheelAccum = 0;
    g_LastNotch = LastWheelNotch{};
    g_ptForcedCursor = POINT{0, 0};
    g_ptLastMove = POINT{0, 0};
    g_nMouseOverQuarter = kNoArea;
    g_szMouseOverCaption[0] = 0;
    g_hHoverDecidedWnd = nullptr;
    g_mouseOverRequest.Forget();
    g_unaskedMove.pending.store(false);
    g_mouseOverPollAsked = false;
    g_mouseOverPollPeriod = 0;
    ForgetScrollLockReading();
    g_swapWatch.ForgetReading();
    g_remoteMetric.valid = false;
    g_bScrollWindowHeld = false;
    SetWindowCacheHeldForScroll(false);
    MouseHookReadCursor();
}

void RegisterMouseOverTimerHandler()
{
    SetTimerThreadHandler(ID_TIMER_MOUSEOVER, ProcessMouseOverTimerProc);
}

namespace
{
// The poll is needed while some option or the profile in force may ask for
// the check. Read under the global lock (the profile may be freed by a reload).
bool MouseOverPollWanted()
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return false;
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    return settings->m_bSwitchOnMouseOver || settings->m_bActivateOnMouseOver ||
           (profile != nullptr && profile->ActivateOnHover());
}

// Timer thread, global lock held: the check a move left unasked (it found the
// lock busy) is asked now, as that move would have asked it.
void AskForUnaskedMove()
{
    if (!g_unaskedMove.pending.exchange(false, std::memory_order_acquire))
        return;
    const CSettings* settings = g_pSettings;
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    if (settings == nullptr || !MouseOverWanted(settings, profile) || g_held.AnythingHeld() ||
        g_threads.pWindowOperation != nullptr || g_LockAxis.LockedX() || g_LockAxis.LockedY())
        return;
    const unsigned long long packed = g_unaskedMove.point.load(std::memory_order_relaxed);
    const POINT point{static_cast<LONG>(static_cast<unsigned>(packed & 0xFFFFFFFFu)),
                      static_cast<LONG>(static_cast<unsigned>(packed >> 32))};
    g_mouseOverRequest.Ask(point, g_unaskedMove.time.load(std::memory_order_relaxed), kMouseOverAfterMoveMs);
}

// Timer thread, global lock held: the poll runs at the pace the pointer asks
// for, and stops when nothing can ask for it any more.
void PaceMouseOverPoll(DWORD now)
{
    if (!MouseOverPollWanted() && !g_mouseOverRequest.Pending())
    {
        CLogger::LogDebug(L"ProcessMouseOverTimerProc: Mouse over switching is off - stopping the timer");
        ProxyKillTimer(nullptr, ID_TIMER_MOUSEOVER);
        g_idMouseOverTimer = 0;
        g_mouseOverPollPeriod = 0;
        return;
    }
    const DWORD period = MouseOverPollPeriod(g_mouseOverRequest.Pending(), g_mouseOverRequest.LastAsked(), now);
    const DWORD current = g_mouseOverPollPeriod != 0 ? g_mouseOverPollPeriod : kMouseOverPollMs;
    if (period != current)
        ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, period, nullptr, &g_idMouseOverTimer);
    g_mouseOverPollPeriod = period;
}
} // namespace

void EnsureMouseOverPoll()
{
    // Only the timer thread's own poll: a thread timer set here would never fire.
    if (g_threads.dwTimerThreadId == 0 || g_idMouseOverTimer != 0 || !MouseOverPollWanted())
        return;
    if (!g_mouseOverPollAsked.exchange(true))
        ProxySetTimer(nullptr, 0, ID_TIMER_MOUSEOVER, kMouseOverPollMs, nullptr, &g_idMouseOverTimer);
}

void AskMouseOverCheck(POINT point, UINT delayMs)
{
    g_mouseOverRequest.Ask(point, TickNow(), delayMs);
}

void VoidMouseOverChecks()
{
    g_mouseOverRequest.Decided();
    // A move that left its check to the poll came before the decision too.
    g_unaskedMove.pending.store(false, std::memory_order_relaxed);
}

bool MouseOverCheckPending()
{
    return g_mouseOverRequest.Pending();
}

unsigned MouseOverChecksTaken()
{
    return g_mouseOverChecksTaken.load();
}

MouseButtonProcessor SetMouseButtonProcessor(MouseButtonProcessor processor)
{
    return g_processor.exchange(processor != nullptr ? processor : DefaultProcessor);
}

MouseHookNextFn SetMouseHookNextHook(MouseHookNextFn next)
{
    return g_nextHook.exchange(next != nullptr ? next : DefaultNextHook);
}

void SetOverrunEventsPassOn(bool passOn)
{
    g_overrunEventsPassOn = passOn;
}

MouseHWheelProcessor SetMouseHWheelProcessor(MouseHWheelProcessor processor)
{
    return g_hwheelProcessor.exchange(processor != nullptr ? processor : DefaultHWheelProcessor);
}

namespace
{
LRESULT MouseHookEvent(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
    {
        CLogger::LogDebug(L"MouseHookLLProc: HC_ACTION - wParam 0x%08X lParam 0x%08X", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
        return NextHook(code, wParam, lParam);
    }
    if (g_threads.hMouseHook == nullptr)
    {
        CLogger::LogDebug(L"MouseHookLLProc: Code %d, hook handle is NULL!", code);
        return 1;
    }
    auto* data = reinterpret_cast<MSLLHOOKSTRUCT*>(lParam);
    if (data == nullptr)
        return NextHook(code, wParam, lParam);

    const CSettings* settings = g_pSettings;
    if (settings != nullptr && settings->m_bFilterTouch && IsTouchEvent(data->dwExtraInfo))
    {
        CLogger::LogDebug(L"MouseHookLLProc: Ignoring (filtering) Mouse Event from touch");
        return NextHook(code, wParam, lParam);
    }

    const DWORD entry = TickNow();
    // A button leaves the cursor where it is; a move that goes on puts it at
    // its point (the paths may rewrite the point of a move they take over).
    const POINT point = data->pt;
    if (wParam != WM_MOUSEMOVE)
    {
        MouseHookNoteCursor(point);
        return ButtonPath(code, wParam, data, entry);
    }
    const LRESULT result = MovePath(code, wParam, data, entry);
    if (result == 0)
        MouseHookNoteCursor(point);
    return result;
}

std::atomic<bool> g_exceptionLogged{false};
}

LRESULT CALLBACK MouseHookLLProc(int code, WPARAM wParam, LPARAM lParam)
{
    (void)g_timerHandlersRegistered;
    try
    {
        return MouseHookEvent(code, wParam, lParam);
    }
    catch (...)
    {
        // A fault of ours must not take the user's mouse away: the event goes on.
        if (!g_exceptionLogged.exchange(true))
            CLogger::LogMessage(L"MouseHookLLProc: Caught an exception while processing message 0x%04X; the event is passed on.",
                                static_cast<unsigned>(wParam));
    }
    return NextHook(code, wParam, lParam);
}

void CALLBACK ProcessMouseOverTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    const UINT_PTR expected = g_idMouseOverTimer;
    if (id != expected)
    {
        CLogger::LogMessage(L"ProcessMouseOverTimerProc: Unexpected timer ID 0x%08X (0x%08X)", static_cast<unsigned>(id),
                            static_cast<unsigned>(expected));
        ::KillTimer(nullptr, id);
        return;
    }
    g_mouseOverPollAsked = false;
    CThreadTryLock lock(L"ProcessMouseOverTimerProc");
    if (!lock)
    {
        // A request waits for the next tick.
        CLogger::LogDebug(L"ProcessMouseOverTimerProc: Thread locked - skipping");
        return;
    }
    AskForUnaskedMove();
    const DWORD now = TickNow();
    PaceMouseOverPoll(now);
    POINT point{};
    unsigned long long decisions = 0;
    if (!g_mouseOverRequest.TakeDue(now, point, decisions))
        return;
    const CheckDealtWith counted;
    // Whatever is held keeps the profile of its press (a sticky drag, a
    // button that clicks another, a repeat): the release asks again.
    if (g_held.AnythingHeld() || IsBRMPDisabled(true))
    {
        CLogger::LogDebug(L"ProcessMouseOverTimerProc: A button is down or remapping is off - skipping");
        return;
    }
    // A button decided the profile since: the check may still bring the
    // window forward by hovering, but switches no profile.
    if (g_mouseOverRequest.Voided(decisions))
        CLogger::LogDebug(L"ProcessMouseOverTimerProc: A button decided the profile since the check was asked - hover activation only");
    const CApplicationSettings* current = g_engine.pCurrentApp;
    g_bHoverMayActivate = g_pSettings != nullptr &&
                          (g_pSettings->m_bActivateOnMouseOver || (current != nullptr && current->ActivateOnHover()));
    CLogger::LogDebug(L"ProcessMouseOverTimerProc: Checking MouseOver(%d,%d)...", static_cast<int>(point.x),
                      static_cast<int>(point.y));
    lock.Release();
    if (!ProcessMouseOver(point, decisions))
        CLogger::LogDebug(L"ProcessMouseOverTimerProc: ProcessMouseOver(%d,%d) failed - no window was detected under cursor.",
                          static_cast<int>(point.x), static_cast<int>(point.y));
}

namespace
{
void CancelHoverActivation()
{
    if (g_idActivateOnHoverTimer == 0)
        return;
    SetHoverActivateWindow(nullptr);
    ProxyKillTimer(nullptr, ID_TIMER_ACTIVATEONHOVER);
}

// Resting over an inactive window activates it after the configured delay
// (timer 0x1013); anything else stops a pending activation, also resting over
// a window whose profile does not activate on hover.
void HoverActivation(HWND window, const CApplicationSettings* profile)
{
    g_hHoverDecidedWnd = window;
    const CSettings* settings = g_pSettings;
    if (settings == nullptr || !(settings->m_bActivateOnMouseOver || (profile != nullptr && profile->ActivateOnHover())))
    {
        CancelHoverActivation();
        return;
    }
    const HWND foreground = ::GetForegroundWindow();
    const HWND recorded = g_LastWheel.m_hWnd;
    if (recorded != nullptr && recorded != foreground && foreground != window)
    {
        SetHoverActivateWindow(window);
        ProxySetTimer(nullptr, 0, ID_TIMER_ACTIVATEONHOVER, static_cast<UINT>(settings->m_nActivateOnMouseOverDelay), ActivateWindowTimerProc,
                      &g_idActivateOnHoverTimer);
    }
    else
    {
        CancelHoverActivation();
    }
}

bool IsLayeredBrowserClass(const wchar_t* name)
{
    return _wcsnicmp(name, L"Chrome_", 7) == 0 || _wcsnicmp(name, L"MozillaCompositor", 17) == 0 ||
           _wcsicmp(name, L"Intermediate D3D Window") == 0 || _wcsicmp(name, L"Intermediate Software Window") == 0;
}
}

bool ProcessMouseOver(POINT point, unsigned long long decisions)
{
    // The window's facts are read once, and as far as the profile rules may
    // ask for them before the global lock is taken: the hooks wait for that
    // lock, never for the window server's answers.
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    POINT cursor;
    if (::GetCursorPos(&cursor))
        point = cursor;
    const HWND window = RealWindowFromPoint_SkipLocked(point, true);
    if (window == nullptr || !::IsWindow(window))
    {
        g_nMouseOverQuarter = kNoArea;
        g_hHoverDecidedWnd = nullptr;
        ClearActiveWindowArea();
        CLogger::LogDebug(L"ProcessMouseOver(%d,%d): No valid window (0x%08X) was detected under current cursor position (will retry).",
                          static_cast<int>(point.x), static_cast<int>(point.y), HandleNumber(window));
        g_mouseOverRequest.AskAsOf(point, TickNow(), kMouseOverRetryMs, decisions);
        return false;
    }

    wchar_t className[256] = {};
    windowfacts::ClassName(window, className, 256);
    if (window == g_engine.hCurrentWnd)
    {
        bool force = false;
        if (g_bAreaAppsPresent)
        {
            RECT rect;
            if (::GetWindowRect(window, &rect))
            {
                const int quarter = WindowQuarterOf(rect, point);
                if (quarter != g_nMouseOverQuarter)
                {
                    CLogger::LogDebug(L"ProcessMouseOver: Quadrant changed from %d to %d", g_nMouseOverQuarter, quarter);
                    g_nMouseOverQuarter = quarter;
                    force = true;
                }
            }
            if (!PointInActiveWindowArea(window, point))
            {
                CLogger::LogDebug(L"ProcessMouseOver: Mouse in different window area.");
                force = true;
            }
        }
        if (IsLayeredBrowserClass(className))
        {
            CLogger::LogDebug(L"ProcessMouseOver: Detected chrome window - forcing process check...");
            force = true;
        }
        bool changed = false;
        wchar_t caption[kMaxCaptionChars] = {};
        if (GetWindowCaption(window, g_engine.szCurrentProcess, caption, kMaxCaptionChars, className) &&
            std::wcscmp(caption, g_szMouseOverCaption) != 0)
        {
            CLogger::LogDebug(L"Window caption has changed from '%s' to '%s'!", g_szMouseOverCaption, caption);
            wcsncpy_s(g_szMouseOverCaption, caption, _TRUNCATE);
            changed = true;
        }
        // A click decided the window's profile before any check came to it
        // (a remapped click right after the pointer came in, which leaves the
        // window behind): whether the resting pointer brings it forward is
        // still to be decided.
        if (!force && !changed && window != g_hHoverDecidedWnd && g_bHoverMayActivate)
        {
            CLogger::LogDebug(L"ProcessMouseOver: Hover activation not yet decided for the window - checking");
            force = true;
        }
        if (!force && !changed)
            return true;
    }

    // The process behind the window and the captions the profiles may ask of
    // it and its ancestors are read before the lock is taken: the hooks never
    // wait for those answers of the system.
    wchar_t processName[MAX_PATH] = {};
    bool modernUI = false;
    GetProcessName(window, 0, processName, MAX_PATH, nullptr, PNR_MouseMove, &modernUI);
    const CCaptionPrefetch captions(window, processName);
    windowfacts::Prefetch(window);
    const unsigned switches = ProfileSwitchCount();

    // The profiles are looked up and installed under the global lock: a reload
    // on another thread frees them. When it is busy this round is skipped.
    CThreadTryLock lock(L"ProcessMouseOver");
    if (!lock)
    {
        // Asked again as of this check: a click that holds the lock now
        // makes it void.
        CLogger::LogDebug(L"ProcessMouseOver: Thread locked - skipping");
        g_mouseOverRequest.AskAsOf(point, TickNow(), kMouseOverRetryMs, decisions);
        return true;
    }
    if (!::IsWindow(window))
        return true;

    // The wheel record of the window under the cursor names its profile.
    g_LastWheel.Reset();
    RefreshWheelRecord(window, point);
    CApplicationSettings* profile = g_LastWheel.m_pApp;
    const wchar_t* process = g_LastWheel.m_szProcess;
    // A switch made while the window was read (the keyboard) and a button's
    // decision, whether it switched or not, are newer: the window under the
    // pointer does not overrule them, but it still comes forward by hovering.
    const bool decidedMeanwhile = ProfileSwitchCount() != switches || g_mouseOverRequest.Voided(decisions);
    if (profile != nullptr && profile->GetDisableMouseOver())
    {
        g_hHoverDecidedWnd = window;
        CancelHoverActivation();
        if (!decidedMeanwhile)
            g_engine.hCurrentWnd = window;
        return true;
    }
    if (decidedMeanwhile)
    {
        CLogger::LogDebug(L"ProcessMouseOver: The profile was decided meanwhile - hover activation only");
        HoverActivation(window, profile);
        return true;
    }
    bool switched = false;
    if (profile != nullptr && profile != g_engine.pCurrentApp)
    {
        if (!profile->AxisLocking())
            g_LockAxis.Unlock(g_threads.pSPIThread, g_engine.nCurrentLayer, g_pSettings, g_engine.pCurrentApp, false);
        if (g_engine.szCurrentProcess[0] != 0)
            CLogger::LogDebug(L"Detected active app/window change (due to mouse over [%d,%d]) from '%s' (0x%08X) to '%s' (0x%08X).",
                              static_cast<int>(point.x), static_cast<int>(point.y), g_engine.szCurrentProcess,
                              HandleNumber(g_engine.hCurrentWnd), process, HandleNumber(window));
        else
            CLogger::LogDebug(L"Detected active app/window change (due to mouse over [%d,%d]) from <unknown> (0x%08X) to '%s' (0x%08X).",
                              static_cast<int>(point.x), static_cast<int>(point.y), HandleNumber(g_engine.hCurrentWnd), process,
                              HandleNumber(window));
        if (GetDebug())
            profile->Log(process);
        switched = InstallProfile(window, process, profile, modernUI);
        CLogger::LogDebug(L"Enabling layer %d", g_engine.nCurrentLayer + 1);
    }
    // The next click here finds the profile decided without a new look-up.
    SetLastProfileWindow(window);
    HoverActivation(window, profile);
    g_engine.hCurrentWnd = window;
    g_engine.bCurrentModernUI = modernUI;
    lock.Release();
    if (switched)
        ApplyProfileSwitch(window, profile);
    return true;
}

void CALLBACK ResetHookTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    const UINT_PTR expected = g_idResetHookTimer;
    ::KillTimer(nullptr, expected);
    if (id != expected)
    {
        CLogger::LogMessage(L"ResetHookTimerProc: Unexpected timer ID 0x%08X (0x%08X)", static_cast<unsigned>(id),
                            static_cast<unsigned>(expected));
        ::KillTimer(nullptr, id);
    }
    g_idResetHookTimer = 0;
    CLogger::LogMessage(L"ResetHookTimerProc: Re-installing %s hooks.", ShortTag());
    ::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_BOTH, 0);
}
