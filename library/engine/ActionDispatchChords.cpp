// Chords (a second button pressed while the chord button is held) and timed
// clicks (the action chosen by how long the button is held), with the replays
// of stored actions they need.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include <memory>

#include "ActionData.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "ChordTimers.h"
#include "Chords.h"
#include "Clock.h"
#include "Control.h"
#include "EngineCursors.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "MouseHook.h"
#include "RepeatTimers.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"
#include "TimedClicks.h"
#include "TimerThread.h"

namespace
{
// The source button of the chord in force (it survives the chord's own record
// clearing its source for the replays), and the source whose own action was
// pressed by the chord's time-out or movement and still waits for its release.
int s_nChordSource = -1;
int s_nChordFired = -1;

const wchar_t* Name(int button)
{
    return GetButtonName(button, g_pSettings != nullptr && g_pSettings->m_bQuillon);
}

bool ChordCursorOption()
{
    return g_pSettings != nullptr && g_pSettings->m_nChangeCursorChord != 0;
}
} // namespace

namespace dispatch
{
BYTE RunStored(const Event& e, int code, CActionData* action, int kind)
{
    BYTE result = ProcessButtonAction(e.button, code, action, e.profile, kind, e.layer, e.replayed, e.window,
                                      e.point, e.block, e.click);
    delete action;
    return result;
}

void ReplayButton(int button, int kind, bool skipWindowCheck, POINT point)
{
    BYTE fixUp = 0, block = 0, click = 0;
    if (ProcessButton(button, kind, skipWindowCheck, point, fixUp, block, click) != 0)
        return;
    if (g_threads.pSendInput == nullptr)
        return;
    g_nQueueWait += SendMouseButton(button, kind, point, false, Quillon());
    g_threads.pSendInput->SignalQueue();
}

namespace
{
CActionData* OwnEntryAction(const Event& e, int& code)
{
    CBRMPChords* chords = e.action != nullptr ? e.action->GetChords() : nullptr;
    CBRMPChord* own = chords != nullptr ? chords->GetChord(e.button) : nullptr;
    if (own == nullptr)
    {
        code = ACTION_NO_CHANGE;
        return nullptr;
    }
    code = own->GetAction();
    return own->GetActionData();
}

void StartChord(const Event& e, CBRMPChords& chords)
{
    CLogger::LogDebug(L"Setting global chord");
    g_ptChordStart = POINT{0, 0};
    CBRMPChord* own = chords.GetChord(e.button);
    if (own == nullptr)
        return;
    own->SetCurrentChords(&chords);
    own->ClearChordedFlag();
    own->SetChordSourceButton(static_cast<MouseButtons>(e.button));
    g_pGlobalChord = own;
    s_nChordSource = e.button;
    s_nChordFired = -1;
    if (g_pSettings != nullptr && g_pSettings->m_nChangeCursorChord == 1)
        ShowChordCursor(true);
    if (chords.DelayUntilChordKnown())
    {
        DropPendingChord();
        if (chords.UnblockAfterDelay() && !SetPendingChord(e.button, e.point, chords.UnblockTime()))
            CLogger::LogMessage(L"ProcessButtonAction - _BUTTON_CHORDING: Unable to set QT Timer\n");
        if (chords.UnblockAfterMovement())
            g_ptChordStart = e.point;
        return;
    }
    RunStored(e, own->GetAction(), own->GetActionData(), kEventDown);
}

void ReleaseChordedButton(const Event& e, CBRMPChords* chords, int chorded)
{
    if (chorded >= 0 && chorded < ButtonCount && g_held.UserHolds(chorded))
    {
        CLogger::LogDebug(L"Release chorded button (%s) action...", Name(chorded));
        CBRMPChord* entry = chords != nullptr ? chords->GetChord(chorded) : nullptr;
        BYTE handled = 0;
        if (entry != nullptr)
        {
            CActionData* action = entry->GetActionData();
            BYTE block = 0, click = 0;
            handled = ProcessButtonAction(chorded, entry->GetAction(), action, e.profile, 2, e.layer, e.replayed,
                                          e.window, e.point, block, click);
            delete action;
        }
        if (handled == 0)
        {
            CLogger::LogDebug(L"ProcessButtonAction failed...");
            if (g_threads.pSendInput != nullptr)
            {
                g_nQueueWait += SendMouseButton(chorded, kEventUp, e.point, false, Quillon());
                g_threads.pSendInput->SignalQueue();
            }
        }
        if (g_engine.hSetupWnd != nullptr && ::IsWindow(g_engine.hSetupWnd))
            ::PostMessageW(g_engine.hSetupWnd, BRMP_SetupHelperMsg, static_cast<WPARAM>(chorded), 2);
        // Its own release comes later and was already acted on.
        g_held.ReleaseTakenByChord(chorded);
    }
    else if (chorded == g_nRepeatButton.load())
    {
        CLogger::LogDebug(L"Aborting repeating (%s) button", Name(chorded));
        StopRepeat();
    }
    else
        CLogger::LogDebug(L"Unable to release chorded button (%s) as it is not down", Name(chorded));
}

void EndChord(const Event& e, CBRMPChord& chord)
{
    chord.ClearChordedFlag();
    g_ptChordStart = POINT{0, 0};
    if (g_pSettings != nullptr && g_pSettings->m_bSwitchOnMouseOver &&
        !CApplicationSettings::GetDisableMouseOver(e.profile))
    {
        AskMouseOverCheck(e.point, 300);
    }
    CLogger::LogDebug(L"ProcessButton: Chord active; Releasing global chord");
    DropPendingChord();
    ReleaseGlobalChord();
    s_nChordSource = -1;
    s_nChordFired = -1;
    if (ChordCursorOption())
        ShowProfileCursor();
}
} // namespace

BYTE Chording(const Event& e)
{
    CThreadLock lock(L"ProcessButtonAction - _BUTTON_CHORDING");
    if (e.Down())
    {
        if (e.action == nullptr)
            return 0;
        CBRMPChords* chords = e.action->GetChords();
        if (chords != nullptr)
            StartChord(e, *chords);
        else
        {
            CLogger::LogDebug(L"ProcessButton: Releasing global chord");
            AbandonChord();
            s_nChordSource = -1;
            s_nChordFired = -1;
        }
        return 1;
    }
    if (!e.Up())
        return 1;

    CBRMPChord* chord = g_pGlobalChord;
    if (chord == nullptr || s_nChordSource != e.button)
    {
        // The time-out or a movement already pressed this button's own action
        // and released the chord: its release belongs to that action.
        if (s_nChordFired == e.button)
        {
            s_nChordFired = -1;
            if (s_nChordSource == e.button)
                s_nChordSource = -1;
            CLogger::LogDebug(L"Release chord default button (%s) action...", Name(e.button));
            int code = ACTION_NO_CHANGE;
            CActionData* action = OwnEntryAction(e, code);
            if (action != nullptr)
                RunStored(e, code, action, kEventUp);
        }
        return 1;
    }

    CBRMPChords* chords = chord->GetCurrentChords();
    const bool delayed = chords == nullptr || chords->DelayUntilChordKnown();
    const int chorded = chord->GetChordedButton();
    if (chorded == NoButton)
    {
        // No second button: the chord button does what it does on its own.
        chord->SetChordSourceButton(NoButton);
        if (delayed)
        {
            if (!chord->GetChordUsed())
            {
                ReplayButton(e.button, kEventDown, true, e.point);
                ReplayButton(e.button, kEventUp, false, e.point);
            }
        }
        else
        {
            int code = ACTION_NO_CHANGE;
            CActionData* action = OwnEntryAction(e, code);
            if (action != nullptr)
                RunStored(e, code, action, kEventUp);
        }
    }
    else
    {
        ReleaseChordedButton(e, chords, chorded);
        if (!delayed)
        {
            g_bMTSMoved = true;
            int code = ACTION_NO_CHANGE;
            CActionData* action = OwnEntryAction(e, code);
            if (action != nullptr)
                RunStored(e, code, action, kEventUp);
            if (chord->GetChordUsed())
                CLogger::LogDebug(L"ProcessButton:  Chord Used; Releasing global chord");
        }
    }
    EndChord(e, *chord);
    return 1;
}

namespace
{
// The rest of a timed click's chosen entry at the release: what of it has not
// run yet (an entry that ran once never runs again).
void FinishEntry(const Event& e, CBRMPTimedClick& click)
{
    // Taken before the reset: what of the entry already ran.
    const bool downDone = click.GetProcessedDown();
    const bool upDone = click.GetProcessedUp();
    int code = static_cast<int>(click.GetAction());
    CActionData* action = click.GetActionData();
    click.SetProcessedDown(false);
    click.SetProcessedUp(false);
    // The entries name physical buttons; with the buttons swapped the click
    // must come from the other one.
    if (::GetSystemMetrics(SM_SWAPBUTTON) != 0)
    {
        if (code == ACTION_LEFT_CLICK)
            code = ACTION_RIGHT_CLICK;
        else if (code == ACTION_RIGHT_CLICK)
            code = ACTION_LEFT_CLICK;
    }
    if (!downDone)
    {
        CLogger::LogDebug(L"ButtonTimeClick: Action %d DOWN", code);
        ProcessButtonAction(e.button, code, action, e.profile, 1, e.layer, e.replayed, e.window, e.point, e.block,
                            e.click);
    }
    if (!upDone)
    {
        CLogger::LogDebug(L"ButtonTimeClick: Action %d UP", code);
        ProcessButtonAction(e.button, code, action, e.profile, 2, e.layer, e.replayed, e.window, e.point, e.block,
                            e.click);
    }
    delete action;
}

// A "Button Held" press that a reload found in progress, on a copy of its list
// (the list goes with the old profiles): the entries with what of them ran,
// the entry chosen (-1 while the press still waited: the hold chooses at the
// release, as it does for every entry but the last), and where it acts.
struct CarriedTimedClick
{
    // Read for its entries, times and flags only: it names the old profile.
    std::unique_ptr<CBRMPTimedClicks> list;
    int entry = -1;
    DWORD pressTime = 0;
    int layer = 0;
    BYTE replayed = 0;
    HWND window = nullptr;
};
CarriedTimedClick s_carriedTimedClicks[ButtonCount];

// The entry a release after held milliseconds chooses (the list's own choice,
// CBRMPTimedClicks::GetClickAction, for a press that was not aborted).
CBRMPTimedClick* EntryForHold(CBRMPTimedClicks& list, DWORD held)
{
    for (int i = TimedClickCount - 1; i >= 0; --i)
    {
        if ((i == 0 || list.GetEnabled(i)) && static_cast<long long>(held) > list.GetTime(i))
            return list.GetTimedClick(i);
    }
    return list.GetEnabled(TimedClickCount - 1) ? list.GetTimedClick(TimedClickCount - 1) : nullptr;
}
} // namespace

BYTE TimedClicks(const Event& e)
{
    CThreadLock lock(L"ProcessButtonAction - _BUTTON_TIMECLICK");
    if (e.Down())
    {
        CBRMPTimedClicks* clicks = e.action != nullptr ? e.action->GetTimedClicks() : nullptr;
        if (clicks == nullptr)
            return 0;
        g_pTimedClicks[e.button] = clicks;
        clicks->SetPressed(DispatchTimedClickTimer, DispatchTimedClickAbort, static_cast<MouseButtons>(e.button),
                           e.layer, e.replayed != 0, e.window, e.point, e.profile, g_threads.pSPIThread);
        return 1;
    }
    CBRMPTimedClicks* clicks = g_pTimedClicks[e.button];
    if (clicks == nullptr && e.action != nullptr)
        clicks = e.action->GetTimedClicks();
    g_pTimedClicks[e.button] = nullptr;
    CBRMPTimedClick* click = clicks != nullptr ? clicks->GetClickAction() : nullptr;
    if (click == nullptr)
    {
        if (clicks != nullptr)
            clicks->Reset();
        CLogger::LogDebug(L"ProcessButtonAction - _BUTTON_TIMECLICK: Releasing button but CLICK was null!");
        return 1;
    }
    clicks->Reset();
    FinishEntry(e, *click);
    return 1;
}

// --- for button processing --------------------------------------------------------

ChordResolution ResolveThroughChord(int button, int kind, int& code, CActionData*& action)
{
    CBRMPChord* chord = g_pGlobalChord;
    if (chord == nullptr)
        return ChordResolution::NotChorded;
    const int source = s_nChordSource >= 0 ? s_nChordSource : static_cast<int>(chord->GetChordSourceButton());
    if (kind == kEventUp && button == chord->GetChordSourceButton())
    {
        CLogger::LogDebug(L"Chording: Release original chord button");
        return ChordResolution::NotChorded;
    }
    CBRMPChords* chords = chord->GetCurrentChords();
    CBRMPChord* entry = chords != nullptr ? chords->GetChord(button) : nullptr;
    if (entry == nullptr)
        return ChordResolution::NotChorded;
    const int chorded = chord->GetChordedButton();
    if (button != source && chorded != NoButton && chorded != button && chorded >= 0 && chorded < ButtonCount &&
        g_held.UserHolds(chorded))
    {
        CLogger::LogDebug(L"Unable to chord with [%s] while chorded with [%s]", Name(button), Name(chorded));
        return ChordResolution::Refused;
    }
    if (kind == kEventDown)
    {
        if (button == source)
        {
            // The source's own press, released by the time-out or a movement.
            if (chord->GetChordSourceButton() != NoButton)
                s_nChordFired = button;
        }
        else
        {
            chord->SetChordedButton(static_cast<MouseButtons>(button));
            if (g_threads.pSPIThread != nullptr && chord->GetChordSourceButton() != NoButton &&
                entry->GetAction() != ACTION_NO_CHANGE && ChordCursorOption())
                ShowChordCursor(true);
        }
    }
    code = entry->GetAction();
    delete action;
    action = entry->GetActionData();
    return ChordResolution::Chorded;
}

bool IsChordSource(int button)
{
    return g_pGlobalChord != nullptr && button == s_nChordSource;
}

void ForgetChordSource()
{
    s_nChordSource = -1;
    s_nChordFired = -1;
}
} // namespace dispatch

// --- timed-click callbacks --------------------------------------------------------

namespace
{
void PostHeldFeedback(const CBRMPTimedClicks& list)
{
    if (g_engine.hSetupWnd != nullptr && ::IsWindow(g_engine.hSetupWnd))
        ::PostMessageW(g_engine.hSetupWnd, BRMP_SetupHelperMsg, static_cast<WPARAM>(list.GetButton()), 0x10001);
}

BYTE RunClick(CBRMPTimedClicks& list, CBRMPTimedClick& click, int kind)
{
    int button = static_cast<int>(list.GetButton());
    if (button < 0 || button >= ButtonCount)
        return 0;
    CActionData* action = click.GetActionData();
    BYTE block = 0, handled = 0;
    const BYTE result = ProcessButtonAction(button, click.GetAction(), action, list.GetProfile(), kind, list.GetLayer(),
                                            list.GetReplayed() ? 1 : 0, list.GetWindow(), list.GetStartPoint(), block,
                                            handled);
    delete action;
    return result;
}
} // namespace

void DispatchTimedClickTimer(CBRMPTimedClicks* list, CBRMPTimedClick* click, DWORD)
{
    if (list == nullptr || click == nullptr)
        return;
    CLogger::LogDebug(L"TimedClickTimer called");
    PostHeldFeedback(*list);
    RunClick(*list, *click, 1);
    click->SetProcessedDown(true);
    if (!list->GetReleaseOnUp())
    {
        RunClick(*list, *click, 2);
        click->SetProcessedUp(true);
        ProxySetTimer(nullptr, 0, ID_TIMER_CLEARCURSOR, 100, ClearCursorFeedback, &g_idClearCursorTimer);
    }
}

void CALLBACK ClearCursorFeedback(HWND, UINT, UINT_PTR id, DWORD)
{
    CLogger::LogDebug(L"ClearCursorFeedback Timer fired");
    const UINT_PTR stored = g_idClearCursorTimer;
    ::KillTimer(nullptr, stored != 0 ? stored : id);
    g_idClearCursorTimer = 0;
    // The timed-click step mark goes; the cursor of the whole state returns.
    UpdateCursors();
}

namespace
{
[[maybe_unused]] const bool g_clearCursorRegistered = [] {
    SetTimerThreadHandler(ID_TIMER_CLEARCURSOR, ClearCursorFeedback);
    return true;
}();
}

void DispatchTimedClickAbort(CBRMPTimedClicks* list, CBRMPTimedClick* click, DWORD, POINT point)
{
    if (list == nullptr || click == nullptr)
        return;
    CLogger::LogDebug(L"TimedClickAbort called");
    PostHeldFeedback(*list);
    const int button = static_cast<int>(list->GetButton());
    if ((button == Left || button == Right) && g_threads.pSendInput != nullptr && (point.x != 0 || point.y != 0))
    {
        // The click belongs where the button went down, not where the move
        // that aborted the wait has taken the pointer.
        g_ptForcedCursor = list->GetStartPoint();
        MouseMove(point, list->GetStartPoint());
    }
    RunClick(*list, *click, 1);
    click->SetProcessedDown(true);
}

// --- a timed click across a reload ---------------------------------------------

void CarryTimedClicksAcrossReload()
{
    using dispatch::CarriedTimedClick;
    for (int button = 0; button < ButtonCount; ++button)
    {
        CBRMPTimedClicks* clicks = g_pTimedClicks[button];
        // Without a list in progress, what an earlier reload carried stays.
        if (clicks == nullptr)
            continue;
        CarriedTimedClick& carried = dispatch::s_carriedTimedClicks[button];
        carried = CarriedTimedClick{};
        carried.list = std::make_unique<CBRMPTimedClicks>(*clicks);
        for (int i = 0; i < TimedClickCount; ++i)
        {
            if (clicks->GetTimedClick(i)->GetProcessedDown())
                carried.entry = i;
        }
        carried.pressTime = clicks->GetPressTime();
        carried.layer = clicks->GetLayer();
        carried.replayed = clicks->GetReplayed() ? 1 : 0;
        carried.window = clicks->GetWindow();
    }
}

bool FinishPressCarriedByReload(int button, POINT point, BYTE& block, BYTE& click)
{
    // Another program's click of the button leaves the user's press as it is.
    if (button < 0 || button >= ButtonCount || g_held.m_source != HeldSource::User)
        return false;
    dispatch::CarriedTimedClick& slot = dispatch::s_carriedTimedClicks[button];
    if (!slot.list && g_held.CarriedDuringKeys(button) == nullptr)
        return false;
    CThreadLock lock(L"FinishPressCarriedByReload");
    ReleaseCarriedDuringKeys(button, point);
    dispatch::CarriedTimedClick carried = std::move(slot);
    slot = dispatch::CarriedTimedClick{};
    // The engine's press ended meanwhile (the hooks stopped): nothing of it is
    // left to finish, and the event is the new road's.
    if (!g_held.TookOverPress(button))
        return false;
    if (carried.list)
    {
        CBRMPTimedClick* entry = carried.entry >= 0 ? carried.list->GetTimedClick(carried.entry)
                                                    : dispatch::EntryForHold(*carried.list, TickNow() - carried.pressTime);
        CApplicationSettings* profile = g_engine.pCurrentApp;
        if (profile == nullptr && g_pSettings != nullptr)
            profile = g_pSettings->GetDefaultApp();
        if (entry != nullptr)
        {
            const dispatch::Event e{button, ACTION_BUTTON_HELD, nullptr, profile, kEventUp, carried.layer,
                                    carried.replayed, carried.window, point, block, click};
            dispatch::FinishEntry(e, *entry);
        }
    }
    return true;
}
