// The profile in force changes: what belongs to the old profile ends (a chord,
// timed clicks, movement-to-scroll, a window drag, a layer held by a modifier
// button of the old profile), the new profile's change script is queued, and
// the new profile's window mask is recorded.

#include "ProfileSwitch.h"

#include "ActionDispatchInternal.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ChordTimers.h"
#include "Chords.h"
#include "DpiScaling.h"
#include "Globals.h"
#include "Layers.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseHookMovement.h"
#include "Movement2Scroll.h"
#include "ProfileTargeting.h"
#include "SendInput.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "ThreadLock.h"
#include "TimedClicks.h"
#include "WindowFromPoint.h"
#include "WindowOperation.h"

namespace
{
constexpr int kButtons = 9;

void ReleaseChord()
{
    if (g_pGlobalChord == nullptr)
        return;
    CThreadLock lock(L"SetNewApp - Chords");
    CLogger::LogDebug(L"SetNewApp: Chord Button %d active while profile changes... New profile has no chord on that button - releasing chord!",
                      static_cast<int>(g_pGlobalChord->GetChordSourceButton()));
    AbandonChord();
    dispatch::ForgetChordSource();
}

// A held "Button Held" press becomes its short press: entry 0 is pressed now
// and released with the button (the list stays in its slot for that release).
void AbortTimedClicks()
{
    bool logged = false;
    POINT point = {0, 0};
    for (CBRMPTimedClicks* clicks : g_pTimedClicks)
    {
        if (clicks == nullptr || clicks->GetAborted() || clicks->GetTimerCallback() == nullptr)
            continue;
        if (!logged)
        {
            CLogger::LogDebug(L"SetNewApp: Aborting button timed clicks.");
            GetPhysCursorPos(&point);
            logged = true;
        }
        clicks->Abort(point, false);
    }
}

void AbortWindowOperation()
{
    if (g_threads.pWindowOperation == nullptr)
        return;
    CLogger::LogDebug(L"SetNewApp: Aborting window operation.");
    EndWindowOperation();
}

// The layer a held layer button of the old profile selected stays only when
// the new profile has the same button for it. No new profile (the hooks stop)
// has none: the release that would end the layer will never be seen.
void ResetHeldLayer(CApplicationSettings* previous, CApplicationSettings* next)
{
    if (!g_bLayerSwitchedByButton || previous == nullptr || next == previous)
        return;
    const int modifierLayer = g_nLayerButtonLayer >= 0 ? g_nLayerButtonLayer : g_nReturnLayer;
    if (!CApplicationSettings::ValidLayer(modifierLayer))
        return;
    int button = g_nLayerButton;
    if (button < 0 || button >= kButtons)
    {
        // The button is found by the action that selects the layer in force.
        const int current = g_engine.nCurrentLayer;
        const int wanted = current < 5 ? ACTION_LAYER_1 + current : ACTION_LAYER_6 + (current - 5);
        for (int b = 0; b < kButtons && button < 0; ++b)
        {
            if (static_cast<int>(previous->GetActions(b, modifierLayer)) == wanted)
                button = b;
        }
    }
    if (next != nullptr && button >= 0 && button < kButtons &&
        previous->GetActions(button, modifierLayer) == next->GetActions(button, modifierLayer))
    {
        CLogger::LogMessage(L"Not resetting layer as the new application has the same layer modifiers!");
        return;
    }
    CLogger::LogMessage(L"Resetting layer as the new application does not have the same layer modifiers!");
    const int back = g_nReturnLayer >= 0 ? g_nReturnLayer : modifierLayer;
    g_nReturnLayer = -1;
    g_bLayerSwitchedByButton = false;
    g_nLayerButton = -1;
    g_nLayerButtonLayer = -1;
    if (back != g_engine.nCurrentLayer)
        ChangeLayer(back, false);
}

void QueueProfileScript(CApplicationSettings* previous, CApplicationSettings* next)
{
    CSendInput* queue = g_threads.pSendInput;
    if (queue == nullptr || previous == nullptr || next == nullptr || previous == next)
        return;
    const wchar_t* script = next->GetProfileChangeScript();
    if (script == nullptr || *script == L'\0')
        return;
    if (queue->SendProfileAction(previous, next, g_engine.nCurrentLayer))
        queue->SignalQueue();
}
} // namespace

void AbortMovementToScroll(const wchar_t* logLine)
{
    if (g_pActiveMTS == nullptr)
        return;
    CLogger::LogDebug(L"%s", logLine);
    if (g_pSettings != nullptr && g_pSettings->m_bMovementToScrollCursor)
        RestoreLayerCursor();
    g_pActiveMTS->SetMouseButton(NoButton);
    g_pActiveMTS = nullptr;
    g_nMTSCursorState = 0;
    g_MTSProgress = MovementToScrollProgress{};
    SetStickyState(STICKY_SCROLL, 0);
    SetWindowCacheHeldForScroll(false);
}

void SetNewApp(CApplicationSettings* profile)
{
    CThreadLock lock(L"SetNewApp");
    CApplicationSettings* previous = g_engine.pCurrentApp;
    ReleaseChord();
    AbortTimedClicks();
    AbortMovementToScroll(L"SetNewApp: Aborting movement to scroll.");
    AbortWindowOperation();
    ResetHeldLayer(previous, profile);
    QueueProfileScript(previous, profile);
    g_engine.pCurrentApp = profile;
    RecordProfileMask(profile);
}
